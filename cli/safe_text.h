// Trace bytes made safe to print on a terminal, one record per line.
//
// A trace can hold any byte, and the listings print words taken from it.
// Printed raw, an ESC, a BEL or a C1 control could retitle the terminal,
// move its cursor or swallow the following output, and a line feed would
// split a record. These routines show every such byte as visible text
// instead, and copy every other byte unchanged, so text without control
// characters is printed exactly as it stands in the trace.
#pragma once

#include <cstddef>

#include "base/sv_string.h"

// Appends `length` bytes to `out`, with:
//  - C0 controls other than TAB, and DEL, in caret notation: ^@ .. ^_ and
//    ^? (a line feed is ^J, a carriage return ^M, ESC ^[);
//  - C1 controls as less shows them: a single byte 0x80..0x9F that is not
//    part of a well-formed UTF-8 character as <80> .. <9F>, and the UTF-8
//    form of U+0080..U+009F as <U+0080> .. <U+009F>.
// Everything else is copied: TAB, ASCII, well-formed UTF-8, and bytes of
// single-byte code pages from 0xA0 up. Returns 0, or -1 when memory ran
// out (`out` is then released, as SVString leaves it).
int appendTerminalSafe(SVString& out, const char* bytes, size_t length);

// appendTerminalSafe for one field of a TAB-separated record: a TAB is
// shown as ^I as well, so the field cannot split into two.
int appendFieldSafe(SVString& out, const char* bytes, size_t length);
