// A press on the row or node that is already chosen changes no selection,
// so a view that goes to what is chosen when the selection changes would
// not go there again after the reader scrolled away. PressAgain watches a
// view for that press: it reads the owner's count of choices when the
// mouse goes down on the view, and when the view's pressed() follows with
// the count unchanged (the press chose nothing new) it calls back.
#pragma once

#include <QAbstractItemView>
#include <QObject>

#include <cstdint>
#include <functional>

class PressAgain : public QObject {
 public:
  // `choices` reads the owner's count of choices made; `again` gets the
  // pressed index. The watcher is a child of `view`.
  PressAgain(QAbstractItemView* view, std::function<uint64_t()> choices,
             std::function<void(const QModelIndex&)> again);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAbstractItemView* view_;
  std::function<uint64_t()> choices_;
  uint64_t atPress_ = 0;
};
