// TFMarrow: the trace frame. The outline tree at the left, a splitter, and
// the highlighted trace editor with the find bar under it. It owns the
// trace as loaded, its key points and its outline, and ties them together:
// choosing an outline node scrolls the editor to the node's place and
// shades the lines the node covers.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>

#include "app/viewer_settings.h"
#include "base/sv_string.h"
#include "outline/key_points.h"
#include "outline/outline_model.h"

class QSplitter;
class QsciScintilla;
class MultiLineTree0;
class TraceLexer;
class TFFind;
struct MultiLineItem;

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool isValidUtf8(const char* text, int64_t length);

class TFMarrow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int32_t kHighlightToEnd = INT32_MAX;

  // The search that the main window installs: (control, text, flags) ->
  // matches found, or -1 when the control cannot be searched.
  using SearchHandler = std::function<int(QWidget*, const QString&, int)>;

  explicit TFMarrow(QWidget* parent = nullptr);
  ~TFMarrow() override;

  // Applies the settings record, which the frame keeps by reference and
  // updates from then on: wrap, read only and final-query bits, the tree
  // width and the editor font height. Called once, before any load.
  void applySettings(ViewerSettings& settings, int32_t resolution, const QFont& font);

  // Shows a trace: appends "\r\n" to `text` (the caller's string, which it
  // may also re-format in place), keeps a copy of it as loaded, scans it,
  // fills the editor and the outline. Returns 0.
  int loadTrace(SVString& text);

  void setWrap(bool on);
  void setReadOnly(bool on);
  // Switches the final-query option; once the settings are applied it
  // rebuilds the editor text from the kept copy and keeps the view, the
  // highlight and the outline on the same key points.
  void setFormatFinalQuery(bool on);
  // direction > 0 enlarges, < 0 shrinks the editor font by one step.
  void stepFont(int direction);

  // The find commands of the main window's actions.
  void find();
  void findNext();
  void findPrevious();
  void setSearchHandler(SearchHandler handler) { searchHandler_ = std::move(handler); }

  // The editor line (1-based row) that choosing the range [first, last]
  // of 0-based lines should make the first visible row.
  int32_t topLineFor(int32_t first, int32_t last) const;

  QsciScintilla* editor() const { return SynEdit1; }
  MultiLineTree0* tree() const { return VirtualStringTree1; }
  TFFind* findBar() const { return TFFind1; }
  TraceLexer* lexer() const { return lexer_; }
  QSplitter* splitter() const { return Splitter1; }
  int32_t highlightStart() const { return highlightStart_; }
  int32_t highlightEnd() const { return highlightEnd_; }
  int32_t editorFontHeight() const { return fontHeight_; }
  // True when the shown trace is not UTF-8 and the editor shows it byte
  // per character in the single-byte code page.
  bool singleByteMode() const { return singleByte_; }
  const KeyPoints_c& keyPoints() const { return keyPoints_; }
  const NodeMarrow_Array_c& nodes() const { return nodes_; }
  // The 0-based document line at the top of the editor.
  int32_t firstVisibleLine() const;

  // View commands built on the accessors above (trace_frame_view.cc).
  // Where the reader is, described by the key points around it, so that
  // the same place can be found again in a reloaded trace.
  struct ViewPlace {
    int32_t topLine = 0;  // 0-based document lines
    int32_t caretLine = 0;
    int32_t caretOffset = 0;  // bytes from the start of the caret's line
    int32_t xOffset = 0;      // pixels scrolled sideways
    int32_t topAnchor = -1;   // the key point at or above topLine, or -1
    KeyPoint topAnchorPoint{};
    int32_t caretAnchor = -1;  // the key point at or above caretLine
    KeyPoint caretAnchorPoint{};
    int32_t chosenNode = -1;  // the outline node chosen in the tree, or -1
    QString chosenCaption;    // its first caption line, to know it again
  };
  ViewPlace viewPlace() const;
  // Goes back to `place` in the trace now shown: a line moves with its
  // key point where that key point is still there (same index, kind and
  // caption), else it keeps its number; the node chosen before is chosen
  // again (shading its lines) when the outline still has it.
  void restoreViewPlace(const ViewPlace& place);
  // Puts the caret at the start of 1-based `line` (brought within the
  // text), scrolls it into view as choosing a node does and gives the
  // editor the focus.
  void goToLine(int32_t line);
  // Number of lines of the shown text, at least 1.
  int32_t lineCount() const;

 private:
  void VirtualStringTree1Change(const MultiLineItem* item);
  void Splitter1Moved();
  void fillOutlineTree(int32_t node, int32_t parentItem);
  // Puts the bytes into the editor as they are, choosing UTF-8 or the
  // single-byte code page. Wrapping is switched off while the text goes in
  // so that the editor wraps lazily, visible lines first.
  void setEditorText(const SVString& text);
  void setEditorFont(int32_t pixelHeight);
  void updateGutterWidth();
  void showHighlight();
  int searchForwarder(QWidget* control, const QString& text, int flags);

  QSplitter* Splitter1;
  MultiLineTree0* VirtualStringTree1;
  QWidget* Panel1;
  QsciScintilla* SynEdit1;
  TFFind* TFFind1;
  TraceLexer* lexer_;

  KeyPoints_c keyPoints_;
  NodeMarrow_Array_c nodes_;
  SVString text_;  // the trace as loaded, with its "\r\n", before re-formatting
  SearchHandler searchHandler_;
  ViewerSettings ownSettings_;  // stands in until applySettings hands over the window's
  ViewerSettings* settings_;
  int32_t resolution_ = kDefaultResolution;
  int32_t defaultFontHeight_;
  int32_t fontHeight_;
  int32_t highlightStart_ = -1;
  int32_t highlightEnd_ = -1;
  bool applyingOptions_ = true;
  bool singleByte_ = false;
};
