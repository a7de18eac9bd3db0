#include "gui/trace_dialog.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QListView>
#include <QScreen>
#include <QTreeView>

#include <memory>

namespace {

constexpr int kPreferredWidth = 1000;
constexpr int kPreferredHeight = 560;

}  // namespace

QFileDialog* makeTraceDialog(QWidget* parent, const QString& caption, const QString& folder) {
  auto* dialog = new QFileDialog(parent, caption, folder, "Trace files (*.trc *.TRC);;All Files (*)");
  dialog->setFileMode(QFileDialog::ExistingFile);
  // The toolkit's own dialog: its columns are ours to size.
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setViewMode(QFileDialog::Detail);
  QSize size(kPreferredWidth, kPreferredHeight);
  if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
  }
  dialog->resize(size);
  if (auto* list = dialog->findChild<QListView*>("listView")) list->setTextElideMode(Qt::ElideMiddle);
  if (auto* tree = dialog->findChild<QTreeView*>("treeView")) {
    tree->setTextElideMode(Qt::ElideMiddle);
    QHeaderView* header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column) {
      header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
  }
  return dialog;
}

QString chooseTraceFile(QWidget* parent, const QString& caption, const QString& folder) {
  std::unique_ptr<QFileDialog> dialog(makeTraceDialog(parent, caption, folder));
  if (dialog->exec() != QDialog::Accepted) return {};
  return dialog->selectedFiles().value(0);
}
