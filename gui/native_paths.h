// File names as the system has them: bytes, which need not be valid
// UTF-8. A QString cannot hold such a name (the toolkit decodes it with a
// replacement character), so names travel from the command line, drops
// and the recent files to open(2) as byte arrays; a name the toolkit gives
// as text (a dialog's) is encoded with QFile::encodeName.
#pragma once

#include <QByteArray>

class QUrl;

// `path` made absolute against the current directory, byte for byte. A
// name that is valid text is also cleaned of "." and ".." as QFileInfo
// cleans it.
QByteArray absoluteNativePath(const QByteArray& path);

// The bytes of a local file's URL, percent escapes decoded as bytes: an
// escape that is no UTF-8 (file:///caf%E9.trc) stays the byte it names.
// Empty for a URL that is not a local file.
QByteArray localFileBytes(const QUrl& url);
