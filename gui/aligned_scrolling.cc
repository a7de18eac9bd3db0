#include "gui/aligned_scrolling.h"

#include <Qsci/qsciscintilla.h>

#include <QScrollBar>

#include <algorithm>

namespace {

using Sci = QsciScintillaBase;

}  // namespace

AlignedScrolling::AlignedScrolling(QsciScintilla* a, QsciScintilla* b, QObject* parent)
    : QObject(parent), a_(a), b_(b) {
  // The editor sets its scroll bars whenever its view moves, however it
  // was moved, and at once: their values are the notice to follow.
  connect(a_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { follow(a_, b_, aToB_); });
  connect(b_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { follow(b_, a_, bToA_); });
  connect(a_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { followSideways(a_, b_); });
  connect(b_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { followSideways(b_, a_); });
}

void AlignedScrolling::setMaps(TopMap aToB, TopMap bToA) {
  aToB_ = std::move(aToB);
  bToA_ = std::move(bToA);
}

void AlignedScrolling::placeBoth(const std::function<void()>& place) {
  const bool was = moving_;
  moving_ = true;
  place();
  moving_ = was;
}

int32_t AlignedScrolling::topLine(QsciScintilla* editor) {
  const long row = editor->SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE);
  return static_cast<int32_t>(editor->SendScintilla(Sci::SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(row)));
}

void AlignedScrolling::setTopLine(QsciScintilla* editor, int32_t line) {
  const long last = std::max(0L, editor->SendScintilla(Sci::SCI_GETLINECOUNT) - 1);
  const long target = std::clamp<long>(line, 0, last);
  editor->SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE,
                        editor->SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, static_cast<unsigned long>(target)));
}

void AlignedScrolling::follow(QsciScintilla* from, QsciScintilla* to, const TopMap& map) {
  if (moving_ || !map) return;
  const int32_t line = map(topLine(from) + 1) - 1;
  placeBoth([&] { setTopLine(to, line); });
}

void AlignedScrolling::followSideways(QsciScintilla* from, QsciScintilla* to) {
  if (moving_ || !aToB_) return;
  const long x = from->SendScintilla(Sci::SCI_GETXOFFSET);
  placeBoth([&] { to->SendScintilla(Sci::SCI_SETXOFFSET, static_cast<unsigned long>(x)); });
}
