#include "gui/press_again.h"

#include <QEvent>

#include <utility>

PressAgain::PressAgain(QAbstractItemView* view, std::function<uint64_t()> choices,
                       std::function<void(const QModelIndex&)> again)
    : QObject(view), view_(view), choices_(std::move(choices)) {
  view->viewport()->installEventFilter(this);
  connect(view, &QAbstractItemView::pressed, this, [this, again = std::move(again)](const QModelIndex& index) {
    if (choices_() == atPress_) again(index);
  });
}

bool PressAgain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_->viewport() && event->type() == QEvent::MouseButtonPress) atPress_ = choices_();
  return QObject::eventFilter(watched, event);
}
