// Files dropped anywhere on a window: a filter on every child that takes
// drops of its own (the editor takes dropped text) claims drags that carry
// a local file and hands the file to the window.
#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>

class QMimeData;
class QWidget;

// The first local file a drag carries, as the bytes of its name (see
// gui/native_paths.h), or nothing.
QByteArray droppedFile(const QMimeData* mime);

class FileDropFilter : public QObject {
 public:
  // `open` receives each dropped file.
  FileDropFilter(QObject* parent, std::function<void(const QByteArray&)> open);

  // Watches `window` and every child of it that accepts drops, viewports
  // of scroll areas included.
  void watch(QWidget* window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void(const QByteArray&)> open_;
};
