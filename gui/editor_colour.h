// The editor library takes a colour as one number, 0xBBGGRR.
#pragma once

#include <QColor>

inline long bgr(const QColor& c) { return long{c.blue()} << 16 | long{c.green()} << 8 | c.red(); }
