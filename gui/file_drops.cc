#include "gui/file_drops.h"

#include <QAbstractScrollArea>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "gui/native_paths.h"

QByteArray droppedFile(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls()) return QByteArray();
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) return localFileBytes(url);
  }
  return QByteArray();
}

FileDropFilter::FileDropFilter(QObject* parent, std::function<void(const QByteArray&)> open)
    : QObject(parent), open_(std::move(open)) {}

void FileDropFilter::watch(QWidget* window) {
  window->setAcceptDrops(true);
  window->installEventFilter(this);
  for (QWidget* child : window->findChildren<QWidget*>()) {
    if (child->acceptDrops()) child->installEventFilter(this);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(child)) area->viewport()->installEventFilter(this);
  }
}

bool FileDropFilter::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (droppedFile(drag->mimeData()).isEmpty()) break;
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QByteArray path = droppedFile(drop->mimeData());
      if (path.isEmpty()) break;
      drop->acceptProposedAction();
      if (open_) open_(path);
      return true;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}
