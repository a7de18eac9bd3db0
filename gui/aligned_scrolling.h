// AlignedScrolling: keeps the views of two editors on the same place of
// two compared texts. When the reader scrolls one of them (wheel, keys,
// scroll bar, a jump), the other is put at the top line that the maps give
// for the first one's top line, and sideways scrolling follows pixel for
// pixel.
//
// The editor tells of a moved view when it next paints, so the follower's
// own notice of being moved comes after the move. Each view's last place
// known here is kept: a notice from a view still at that place is the
// echo of a move made here and is ignored, so only a view the reader moved
// leads, neither pushes the other back, and nothing runs in circles.
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
  // Where a view was last known to be.
  struct Place {
    int32_t top = -1;
    long x = -1;
  };
  void watch(QsciScintilla* editor, const std::function<void()>& moved);
  void viewMoved(QsciScintilla* from, Place& fromPlace, QsciScintilla* to, Place& toPlace, const TopMap& map);
  void note(QsciScintilla* editor, Place& place);

  QsciScintilla* a_;
  QsciScintilla* b_;
  Place aPlace_;
  Place bPlace_;
  TopMap aToB_;
  TopMap bToA_;
  bool placing_ = false;
};
