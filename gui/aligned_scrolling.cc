#include "gui/aligned_scrolling.h"

#include <Qsci/qsciscintilla.h>

#include <QScrollBar>

#include <algorithm>

namespace {

using Sci = QsciScintillaBase;

}  // namespace

AlignedScrolling::AlignedScrolling(QsciScintilla* a, QsciScintilla* b, QObject* parent)
    : QObject(parent), a_(a), b_(b) {
  watch(a_, [this] { viewMoved(a_, aPlace_, b_, bPlace_, aToB_); });
  watch(b_, [this] { viewMoved(b_, bPlace_, a_, aPlace_, bToA_); });
}

void AlignedScrolling::watch(QsciScintilla* editor, const std::function<void()>& moved) {
  // The scroll bars tell at once when the reader drags them or turns the
  // wheel; the editor's update notice tells of every move, keys included.
  connect(editor->verticalScrollBar(), &QScrollBar::valueChanged, this, moved);
  connect(editor->horizontalScrollBar(), &QScrollBar::valueChanged, this, moved);
  connect(editor, &QsciScintillaBase::SCN_UPDATEUI, this, [moved](int updated) {
    if (updated & (Sci::SC_UPDATE_V_SCROLL | Sci::SC_UPDATE_H_SCROLL)) moved();
  });
}

void AlignedScrolling::setMaps(TopMap aToB, TopMap bToA) {
  aToB_ = std::move(aToB);
  bToA_ = std::move(bToA);
  note(a_, aPlace_);
  note(b_, bPlace_);
}

void AlignedScrolling::placeBoth(const std::function<void()>& place) {
  const bool was = placing_;
  placing_ = true;
  place();
  placing_ = was;
  note(a_, aPlace_);
  note(b_, bPlace_);
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

void AlignedScrolling::note(QsciScintilla* editor, Place& place) {
  place.top = topLine(editor);
  place.x = editor->SendScintilla(Sci::SCI_GETXOFFSET);
}

void AlignedScrolling::viewMoved(QsciScintilla* from, Place& fromPlace, QsciScintilla* to, Place& toPlace,
                                 const TopMap& map) {
  if (placing_ || !map) return;
  const int32_t top = topLine(from);
  const long x = from->SendScintilla(Sci::SCI_GETXOFFSET);
  if (top == fromPlace.top && x == fromPlace.x) return;  // where it was put: an echo
  const bool vertical = top != fromPlace.top;
  fromPlace = Place{top, x};
  placing_ = true;
  if (vertical) setTopLine(to, map(top + 1) - 1);
  to->SendScintilla(Sci::SCI_SETXOFFSET, static_cast<unsigned long>(x));
  placing_ = false;
  note(to, toPlace);
}
