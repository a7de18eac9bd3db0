#include "gui/trace_editor.h"

#include <QAccessible>
#include <QChildEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>

#include "gui/editor_accessible.h"

namespace {

// Bytes of the longest line that widen() lays out to find its width.
constexpr long kLongestMeasuredLine = 64 * 1024;

// Notes the object that the editor library's Scintilla object adopts while
// it is watched: the timer it makes for its idle work.
class IdleTimerCatcher : public QObject {
 public:
  QObject* timer = nullptr;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ChildAdded && timer == nullptr &&
        std::strcmp(watched->metaObject()->className(), "QsciScintillaQt") == 0) {
      timer = static_cast<QChildEvent*>(event)->child();
    }
    return false;
  }
};

}  // namespace

TraceEditor::TraceEditor(QWidget* parent) : QsciScintilla(parent) {
  findIdleTimer();
  installEditorAccessibility();
  setReadOnly(true);
  setFrameShape(QFrame::NoFrame);
  setEdgeMode(QsciScintilla::EdgeNone);
  // No annotations: with them shown, the editor visits every line of a
  // document it is given (tens of milliseconds for a large trace's).
  setAnnotationDisplay(QsciScintilla::AnnotationHidden);
  setMarginType(0, QsciScintilla::NumberMargin);
  setMarginLineNumbers(0, true);
  setMarginWidth(1, 0);
  setAutoIndent(true);
  setIndentationsUseTabs(false);
  setTabIndents(true);
  setBackspaceUnindents(true);
  // Scrolling past the last line and past the longest line, with the
  // horizontal range following the widest line shown.
  SendScintilla(SCI_SETENDATLASTLINE, 0L);
  // The lines in view keep their layouts between paints, not only the
  // caret's: a line of megabytes takes seconds to lay out again.
  SendScintilla(SCI_SETLAYOUTCACHE, long(SC_CACHE_PAGE));
  SendScintilla(SCI_SETSCROLLWIDTH, 1L);
  SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1L);
  // Alt with the mouse selects a column.
  SendScintilla(SCI_SETMOUSESELECTIONRECTANGULARSWITCH, 1L);
  // Where the caret went, for a listening assistive technology only.
  connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int) {
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(this);
    if (auto* editorAccessible = dynamic_cast<EditorAccessible*>(iface)) editorAccessible->caretMoved();
  });
}

void TraceEditor::findIdleTimer() {
  // Switching wrapping on gives the editor idle work at once, even in an
  // empty text; with wrapping off again that work ends by itself.
  IdleTimerCatcher catcher;
  QCoreApplication::instance()->installEventFilter(&catcher);
  SendScintilla(SCI_SETWRAPMODE, long(SC_WRAP_WORD));
  SendScintilla(SCI_SETWRAPMODE, long(SC_WRAP_NONE));
  QCoreApplication::instance()->removeEventFilter(&catcher);
  idleTimer_ = catcher.timer;
  if (idleTimer_ != nullptr) idleTimer_->installEventFilter(this);
}

bool TraceEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == idleTimer_ && event->type() == QEvent::Timer && SendScintilla(SCI_GETWRAPMODE) != SC_WRAP_NONE) {
    // Stopped, not only passed over: a timer of no interval would run on.
    // The editor takes its idle work as still pending and does not start
    // the timer again, so wrapping stays with the lines painted.
    if (auto* timer = qobject_cast<QTimer*>(watched)) timer->stop();
    return true;
  }
  return QsciScintilla::eventFilter(watched, event);
}

void TraceEditor::widenToShownLines() {
  // The scroll area shows or hides a scroll bar in a queued call; made
  // now, the view is painted once, at its final size.
  if (widen()) QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

bool TraceEditor::widen() {
  if (SendScintilla(SCI_GETWRAPMODE) != SC_WRAP_NONE || SendScintilla(SCI_GETSCROLLWIDTHTRACKING) == 0) return false;
  long textStart = SendScintilla(SCI_GETMARGINLEFT);
  for (int margin = 0; margin < 5; ++margin) textStart += SendScintilla(SCI_GETMARGINWIDTHN, margin);
  const long xOffset = SendScintilla(SCI_GETXOFFSET);
  const long top = SendScintilla(SCI_GETFIRSTVISIBLELINE);
  const long lines = SendScintilla(SCI_GETLINECOUNT);
  // The rows the editor paints: the whole ones and the part one below.
  const long rows = SendScintilla(SCI_LINESONSCREEN) + 1;
  // Laying a line out costs tens of microseconds, so only the line of the
  // most bytes is measured: in the editor's fixed-pitch face it is the
  // widest but for tabs and wide characters, whose wider lines the editor
  // still widens to by itself, later.
  long longest = -1;
  long longestBytes = -1;
  for (long row = top; row <= top + rows; ++row) {
    const long line = SendScintilla(SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(row));
    if (line >= lines) break;
    const long bytes = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line)) -
                       SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    if (bytes > longestBytes) {
      longest = line;
      longestBytes = bytes;
    }
  }
  if (longest < 0) return false;
  const long before = SendScintilla(SCI_GETSCROLLWIDTH);
  const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(longest));
  MeasuredLine now;
  now.start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(longest));
  now.end = end;
  now.textLength = SendScintilla(SCI_GETLENGTH);
  now.zoom = SendScintilla(SCI_GETZOOM);
  now.digitWidth = SendScintilla(SCI_TEXTWIDTH, static_cast<unsigned long>(STYLE_DEFAULT), "0");
  if (now.start == measured_.start && now.end == measured_.end && now.textLength == measured_.textLength &&
      now.zoom == measured_.zoom && now.digitWidth == measured_.digitWidth && before == measured_.scrollWidth) {
    return false;
  }
  ++widthMeasurements_;
  // A line of more bytes than a screen could ever show side by side is
  // not laid out, which takes seconds for megabytes: its width is
  // reckoned from its characters instead.
  const long widest = longestBytes > kLongestMeasuredLine
                          ? reckonedWidth(now.start, end, now.digitWidth)
                          : SendScintilla(SCI_POINTXFROMPOSITION, 0UL, end) + xOffset - textStart;
  now.scrollWidth = std::max(before, widest);
  measured_ = now;
  if (widest <= before) return false;
  SendScintilla(SCI_SETSCROLLWIDTH, static_cast<unsigned long>(widest));
  return true;
}

long TraceEditor::reckonedWidth(long start, long end, long digitWidth) {
  const long length = end - start;
  const auto* text = reinterpret_cast<const unsigned char*>(
      SendScintilla(SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), length));
  if (text == nullptr || length <= 0) return std::max(0L, length) * digitWidth;
  // Widths to a fraction of a pixel, from runs of 64: a rounded width,
  // summed over a million characters, would be off by screens.
  const std::string zeros(64, '0');
  const std::string blanks(64, ' ');
  const double digit = static_cast<double>(SendScintilla(SCI_TEXTWIDTH, static_cast<unsigned long>(STYLE_DEFAULT),
                                                         zeros.c_str())) / 64;
  const double tab = static_cast<double>(std::max(1L, SendScintilla(SCI_GETTABWIDTH))) *
                     static_cast<double>(SendScintilla(SCI_TEXTWIDTH, static_cast<unsigned long>(STYLE_DEFAULT),
                                                       blanks.c_str())) / 64;
  // In the fixed-pitch face every printable ASCII character is a digit
  // wide; a tab goes on to the next stop; any other character (one of
  // several bytes, or a control character drawn as its name) is measured
  // once per line and kind.
  std::unordered_map<uint32_t, long> widths;
  double x = 0;
  for (long i = 0; i < length;) {
    const unsigned char c = text[i];
    if (c >= 0x20 && c < 0x7F) {
      x += digit;
      ++i;
      continue;
    }
    if (c == '\t') {
      x = tab > 0 ? (std::floor(x / tab) + 1) * tab : x;
      ++i;
      continue;
    }
    const long bytes = std::min(length - i, c >= 0xF0 ? 4L : c >= 0xE0 ? 3L : c >= 0xC0 ? 2L : 1L);
    char character[5] = {};
    uint32_t key = 0;
    for (long b = 0; b < bytes; ++b) {
      character[b] = static_cast<char>(text[i + b]);
      key = key << 8 | text[i + b];
    }
    auto found = widths.find(key);
    if (found == widths.end()) {
      const long width = c < 0x20 || c == 0x7F
                             ? 3 * digitWidth
                             : SendScintilla(SCI_TEXTWIDTH, static_cast<unsigned long>(STYLE_DEFAULT), character);
      found = widths.emplace(key, width).first;
    }
    x += static_cast<double>(found->second);
    i += bytes;
  }
  return std::lround(std::ceil(x));
}

void TraceEditor::paintEvent(QPaintEvent* event) {
  widen();
  QsciScintilla::paintEvent(event);
}

void TraceEditor::wheelEvent(QWheelEvent* event) {
  QsciScintilla::wheelEvent(event);
  widenToShownLines();
}

void TraceEditor::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  const bool extend = (modifiers & Qt::ShiftModifier) != 0;
  const Qt::KeyboardModifiers others = modifiers & ~Qt::ShiftModifier;
  const bool control = others == Qt::ControlModifier;
  const bool plain = others == Qt::NoModifier;
  if (SendScintilla(SCI_GETWRAPMODE) == SC_WRAP_NONE) {
    const long top = SendScintilla(SCI_GETFIRSTVISIBLELINE);
    QsciScintilla::keyPressEvent(event);
    if (plain && event->key() == Qt::Key_PageDown) stopPagingAtTheEnd(top);
    widenToShownLines();
    return;
  }
  switch (event->key()) {
    case Qt::Key_End:
    case Qt::Key_Home:
      if (!control) break;
      moveCaret(event->key() == Qt::Key_End ? SendScintilla(SCI_GETLENGTH) : 0, extend);
      return;
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
      if (!plain) break;
      moveByRows(event->key() == Qt::Key_PageDown ? 1 : -1, true, extend);
      return;
    case Qt::Key_Down:
    case Qt::Key_Up:
      if (!plain) break;
      moveByRows(event->key() == Qt::Key_Down ? 1 : -1, false, extend);
      return;
    default:
      break;
  }
  QsciScintilla::keyPressEvent(event);
}

void TraceEditor::moveCaret(long position, bool extend) {
  // Neither message scrolls; the view follows below. A move that does not
  // extend sets caret and anchor at once: the anchor set first would
  // select everything in between for a moment, and the editor hands every
  // new selection to the system (the whole text, for Ctrl+End).
  if (extend) {
    SendScintilla(SCI_SETCURRENTPOS, static_cast<unsigned long>(position));
  } else {
    SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(position));
  }
  SendScintilla(SCI_CHOOSECARETX);
  const long line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
  const long top = SendScintilla(SCI_GETFIRSTVISIBLELINE);
  const long onScreen = std::max(1L, SendScintilla(SCI_LINESONSCREEN));
  const long row = SendScintilla(SCI_VISIBLEFROMDOCLINE, static_cast<unsigned long>(line));
  if (row < top) {
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(row));
  } else if (row + SendScintilla(SCI_WRAPCOUNT, static_cast<unsigned long>(line)) > top + onScreen) {
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(topShowingAtFoot(line)));
  }
}

long TraceEditor::topShowingAtFoot(long line) {
  // The rows of the lines above it are counted from their layout: the
  // editor may not have wrapped them yet, and does so only when they show.
  const long onScreen = std::max(1L, SendScintilla(SCI_LINESONSCREEN));
  long first = line;
  long rows = SendScintilla(SCI_WRAPCOUNT, static_cast<unsigned long>(line));
  while (first > 0) {
    const long above = SendScintilla(SCI_WRAPCOUNT, static_cast<unsigned long>(first - 1));
    if (rows + above > onScreen) break;
    rows += above;
    --first;
  }
  return SendScintilla(SCI_VISIBLEFROMDOCLINE, static_cast<unsigned long>(first));
}

void TraceEditor::stopPagingAtTheEnd(long topBefore) {
  const long top = SendScintilla(SCI_GETFIRSTVISIBLELINE);
  if (top <= topBefore) return;
  const long lastLine = std::max(0L, SendScintilla(SCI_GETLINECOUNT) - 1);
  const long stop = std::max(topBefore, topShowingAtFoot(lastLine));
  if (top > stop) SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(stop));
}

void TraceEditor::moveByRows(long rows, bool page, bool extend) {
  const long caret = SendScintilla(SCI_GETCURRENTPOS);
  const long rowHeight = std::max(1L, SendScintilla(SCI_TEXTHEIGHT, 0UL));
  const long onScreen = std::max(1L, SendScintilla(SCI_LINESONSCREEN));
  // A caret out of view is brought into it first, as the editor does.
  if (SendScintilla(SCI_POINTYFROMPOSITION, 0UL, caret) < 0 ||
      SendScintilla(SCI_POINTYFROMPOSITION, 0UL, caret) > (onScreen - 1) * rowHeight) {
    SendScintilla(SCI_SCROLLCARET);
  }
  const long x = SendScintilla(SCI_POINTXFROMPOSITION, 0UL, caret);
  long y = SendScintilla(SCI_POINTYFROMPOSITION, 0UL, caret);
  const long top = SendScintilla(SCI_GETFIRSTVISIBLELINE);
  if (page) {
    // The view moves a page and the caret keeps its place on the screen;
    // at either end of the text it goes to that end.
    SendScintilla(SCI_LINESCROLL, 0UL, rows * onScreen);
    if (rows > 0) stopPagingAtTheEnd(top);
    if (SendScintilla(SCI_GETFIRSTVISIBLELINE) == top) {
      moveCaret(rows > 0 ? SendScintilla(SCI_GETLENGTH) : 0, extend);
      return;
    }
  } else {
    y += rows * rowHeight;
    // Off the view: scroll a row and keep the caret's place on the screen.
    if (y < 0 || y > (onScreen - 1) * rowHeight) {
      SendScintilla(SCI_LINESCROLL, 0UL, rows);
      y -= rows * rowHeight;
    }
  }
  const long target = SendScintilla(SCI_POSITIONFROMPOINT, static_cast<unsigned long>(std::max(0L, x)), y);
  moveCaret(target, extend);
}
