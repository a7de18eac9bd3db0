#include "gui/native_paths.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QUrl>

QByteArray absoluteNativePath(const QByteArray& path) {
  const QString text = QFile::decodeName(path);
  if (QFile::encodeName(text) == path) return QFile::encodeName(QFileInfo(text).absoluteFilePath());
  if (path.startsWith('/')) return path;
  char directory[4096];
  if (::getcwd(directory, sizeof directory) == nullptr) return path;
  QByteArray joined(directory);
  if (!joined.endsWith('/')) joined += '/';
  return joined + path;
}

QByteArray localFileBytes(const QUrl& url) {
  if (!url.isLocalFile()) return QByteArray();
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}
