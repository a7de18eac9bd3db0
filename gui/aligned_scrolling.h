// AlignedScrolling: keeps the views of two editors on the same place of
// two compared texts. When the reader scrolls one of them (wheel, keys,
// scroll bar, a jump), the other is put at the top line that the maps give
// for the first one's top line, and sideways scrolling follows pixel for
// pixel. Only the editor the reader moved leads: the other one's scroll
// notices are ignored while it is being moved, so neither pushes the other
// back and nothing runs in circles.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

class QsciScintilla;

class AlignedScrolling : public QObject {
  Q_OBJECT

 public:
  // A 1-based top line of one text to the top line for the other.
  using TopMap = std::function<int32_t(int32_t)>;

  AlignedScrolling(QsciScintilla* a, QsciScintilla* b, QObject* parent = nullptr);

  // The maps from A's top to B's and back; empty maps stop the following.
  void setMaps(TopMap aToB, TopMap bToA);
  // Runs `place`, which puts both views where it wants them, without
  // either following the other.
  void placeBoth(const std::function<void()>& place);

  // The 0-based document line at the top of `editor`'s view.
  static int32_t topLine(QsciScintilla* editor);
  // Puts 0-based document line `line` at the top of `editor`'s view.
  static void setTopLine(QsciScintilla* editor, int32_t line);

 private:
  void follow(QsciScintilla* from, QsciScintilla* to, const TopMap& map);
  void followSideways(QsciScintilla* from, QsciScintilla* to);

  QsciScintilla* a_;
  QsciScintilla* b_;
  TopMap aToB_;
  TopMap bToA_;
  bool moving_ = false;  // one view is being put in place
};
