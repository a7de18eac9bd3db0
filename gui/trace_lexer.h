// TraceLexer: colours the trace editor with the trace highlighter.
//
// A QsciLexerCustom adapter over ZAzozav_Hiliter_c. Style number k is the
// highlighter's token kind k; the scanner mode a line ends in is kept as
// the line's state (LineStates, the lexer's own), so styling a line needs
// only the state of the line before it. Styling is lazy: the editor asks for the lines it is
// about to paint, and a request that spans a long unstyled stretch (a jump
// to the end of a large trace) styles only the lines around the view and
// leaves the rest for when it is shown.
//
// The lines of the chosen outline section are drawn on (240, 240, 255)
// with the default text colour: for them the lexer uses a parallel set of
// styles, kind + kHighlightStyleOffset, which keep the token's bold and
// underline but none of its colours.
//
// Every style has a twin, style + kTwinStyleBit, that looks the same: long
// runs of punctuation (the trace's rules of dashes) are cut into pieces of
// alternating twins, so that the editor measures them once, not on every
// paint (see cutNeutralRuns in trace_lexer.cc).
#pragma once

#include <Qsci/qscilexercustom.h>

#include <QColor>
#include <QFont>
#include <cstdint>
#include <memory>
#include <vector>

#include "gui/line_states.h"

class ZAzozav_Hiliter_c;

class TraceLexer : public QsciLexerCustom {
  Q_OBJECT

 public:
  // Styles 32 to 39 are the editor's predefined ones (default, line
  // numbers, braces...), so the highlighted set starts above them.
  static constexpr int kHighlightStyleOffset = 64;
  // The background of the highlighted lines: a very light blue.
  static QColor highlightBackground() { return QColor(240, 240, 255); }
  // Set on a style, gives its twin: the same look, another number.
  static constexpr int kTwinStyleBit = 128;
  // Requests spanning more lines than this from the first unstyled line
  // are not styled whole; only the lines around the view are.
  static constexpr int kMaxContiguousLines = 4096;

  // Counters for tests and benchmarks: lines styled and SCI_SETSTYLINGEX
  // messages sent since construction.
  struct StylingStats {
    int64_t linesStyled = 0;
    int64_t styleBatches = 0;
  };

  explicit TraceLexer(QObject* parent = nullptr);
  ~TraceLexer() override;

  // QsciLexer: the language name and the per-style look. A style without a
  // colour of its own gets the defaults of style 0.
  const char* language() const override;
  QString description(int style) const override;
  QColor defaultColor(int style) const override;
  QColor defaultPaper(int style) const override;
  QFont defaultFont(int style) const override;
  bool defaultEolFill(int style) const override;
  int styleBitsNeeded() const override;

  // Sets the editor font. With style -1 (all styles) every style gets
  // `font` with its own bold and underline added, so a font change never
  // loses the section headers' bold: use this, not the editor's setFont.
  void setFont(const QFont& font, int style = -1) override;

  // Styles the lines that the range [start, end) touches, as far as they
  // are needed (see the class comment). Called by QsciLexerCustom when the
  // editor asks for styles.
  void styleText(int start, int end) override;

  // Attaches to `editor` (or detaches with null) and watches its text
  // changes, which make the line states of the lines after the change
  // untrustworthy until those lines are styled again.
  void setEditor(QsciScintilla* editor) override;

  // Gives the 0-based lines [start, end) the highlight background; end is
  // exclusive and may be INT32_MAX (to the end of the text); start < 0 or
  // end <= start means no highlight. Re-styles at once only the visible
  // lines whose look changes; the other changed lines are re-styled when
  // the editor next shows them.
  void setHighlightedLines(int32_t start, int32_t end);
  int32_t highlightStart() const { return highlightStart_; }
  int32_t highlightEnd() const { return highlightEnd_; }

  // The text changed while change notices were off: no line state
  // written before is trusted any longer.
  void textChanged();

  const StylingStats& stylingStats() const { return stats_; }

 private:
  long send(unsigned int message, unsigned long wParam = 0, long lParam = 0) const;
  int lineCount() const;
  int lineStart(int line) const;
  int lineOf(int position) const;
  // The document lines on screen, with a page of margin either side.
  void visibleLines(int& first, int& last) const;
  bool isHighlighted(int line) const;
  // The scanner mode at the start of `line`, as styling every line from
  // the top would carry it: the state of a line before it that can be
  // trusted, or the mode at the end of the nearest line before it that
  // ends in the same mode whatever it starts in (see trace_lexer.cc).
  int modeBefore(int line, int firstUnstyledLine);
  // The mode stored at the end of `line` when it is trusted: the line lies
  // above `firstUnstyledLine` or was styled since the text last changed;
  // otherwise -1.
  int trustedMode(int line, int firstUnstyledLine) const;
  // The mode `line` ends in when it starts in `entryMode`.
  int endMode(int line, int entryMode);
  // Styles lines [first, last], one SCI_SETSTYLINGEX per line, and stores
  // each line's end mode as its line state.
  void styleLines(int first, int last, int firstUnstyledLine);
  void nextGeneration();

  std::unique_ptr<ZAzozav_Hiliter_c> highlighter_;
  std::vector<uint8_t> lineStyles_;  // one line's styles, reused
  std::vector<std::pair<uint8_t, uint8_t>> passes_;  // modeBefore's walk, reused
  QMetaObject::Connection modifiedConnection_;
  uint32_t generation_ = 0;  // bumped by every text change
  LineStates states_;       // each styled line's end mode and generation
  QFont baseFont_;
  int32_t highlightStart_ = -1;
  int32_t highlightEnd_ = -1;
  StylingStats stats_;
};
