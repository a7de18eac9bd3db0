// TFMarrow: the trace frame. The outline tree at the left, a splitter, and
// the highlighted trace editor with the find bar under it. It owns the
// trace as loaded, its key points and its outline, and ties them together:
// choosing an outline node scrolls the editor to the node's place and
// shades the lines the node covers.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/kept_text.h"
#include "app/viewer_settings.h"
#include "base/sv_string.h"
#include "facts/trace_digest.h"
#include "sql/shown_text.h"
#include "outline/key_points.h"
#include "outline/outline_model.h"

class QSplitter;
class QTimer;
class QsciScintilla;
class QsciScintillaBase;
class DocumentLoader;
class TraceDocumentBuild;
class MultiLineTree0;
class TraceLexer;
class TFFind;
struct MultiLineItem;

class TFMarrow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int32_t kHighlightToEnd = INT32_MAX;
  // The indicators that draw selections (selection_colours.cc): a box
  // under the text and the text's colour, on plain and on shaded lines.
  static constexpr int kSelectionBoxIndicator = 8;
  static constexpr int kSelectionTextIndicator = 9;
  static constexpr int kShadedSelectionBoxIndicator = 10;
  static constexpr int kShadedSelectionTextIndicator = 11;

  // The search that the main window installs: (control, text, flags) ->
  // matches found, or -1 when the control cannot be searched.
  using SearchHandler = std::function<int(QWidget*, const QString&, int)>;

  explicit TFMarrow(QWidget* parent = nullptr);
  ~TFMarrow() override;

  // Applies the settings record, which the frame keeps by reference and
  // updates from then on: wrap, read only and final-query bits, the tree
  // width and the editor font height. Called once, before any load.
  void applySettings(ViewerSettings& settings, int32_t resolution, const QFont& font);

  // Shows a trace: appends "\r\n" to `text` and takes its buffer as the
  // kept text (the caller's string is left empty), scans it, fills the
  // editor and the outline. Returns 0, or LoadNoMemory when memory ran out
  // for the key points, facts or outline: the frame then shows an empty
  // trace, never an outline short of records. A large text shows its first
  // screens at once from a small document of their own, while a worker
  // thread builds the editor's document of the whole text, which is swapped
  // in when it is ready. Meanwhile the outline, key points and digest are
  // complete, the line count, line number margin and vertical scroll range
  // are those of the whole text, input is answered on the first screens,
  // and what needs the rest (choosing a node further on, a search, going to
  // a line, the final-query switch) is done once the whole text is in.
  // With `path`, the file `text` was read from, the worker reads the text
  // again from the file as it goes instead of holding the text beside the
  // document; when the file no longer holds it, traceChangedWhileOpening
  // is emitted and the trace is to be loaded anew.
  int loadTrace(SVString& text, const char* path = nullptr);
  // True while the editor's document of the whole text is being built.
  bool textPending() const { return pending_ != nullptr; }
  // Waits for the document of the whole text and shows it.
  void completeText();
  // Lines of the shown text not in the editor yet (0 once it is complete).
  int64_t linesToCome() const;
  // The bytes of the first screens' document (at least 1); a text no
  // longer than that goes in whole at once.
  void setFirstSlice(int64_t bytes);

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
  // True when the trace is not valid UTF-8 and the editor shows it as
  // Windows-1252, byte per character.
  bool singleByteMode() const { return kept_.singleByte(); }
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
  // Shades 1-based lines [first, last] of the shown text and places them
  // as choosing an outline node places its section, the caret at the
  // start of `first`.
  void showLines(int32_t first, int32_t last);
  // Number of lines of the shown text, at least 1.
  int32_t lineCount() const;
  // The lines outside the editor's margin (the summary, the panes, going
  // to a line) are the file's, as the command line and the comparison give
  // them; the margin numbers the text shown, where a formatted final query
  // takes more lines. Both 1-based; a row of a formatted query stands for
  // the query's line.
  int32_t fileLineCount() const;
  int32_t shownLineOf(int32_t fileLine) const;
  int32_t fileLineOf(int32_t shownLine) const;
  // goToLine for a line of the file.
  void goToFileLine(int32_t line);
  // What the summary pane and the outline's tooltips show, made at load.
  const TraceDigest& digest() const { return digest_; }

 signals:
  // A trace was loaded, or the final queries switched form: the key
  // points' lines may have moved.
  void shownTextChanged();
  // An outline node was chosen: the key point it stands for.
  void nodeChosen(int32_t keyPoint);
  // The file a large trace was loaded from changed before its text was
  // all in the editor (see loadTrace): what the frame shows is only part
  // of the trace, and the file is to be loaded anew (emitted from the
  // event loop).
  void traceChangedWhileOpening();
  // Memory ran out for the key points when the final queries switched
  // form, or the editor could not make room for the text: the frame was
  // emptied (emitted from the event loop).
  void traceDroppedForMemory();

 protected:
  // Notes presses on the tree, so that a press on the chosen node jumps
  // to it again; while the whole text is being built, notes the reader's
  // Ctrl+End and scroll bar moves past the first screens, to carry them
  // out once it is in.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The view's top: the document line of its first row and, when that row
  // continues a wrapped line, the rows of it above the next line.
  struct ViewTop {
    int32_t line = 0;
    int32_t rowsAbove = 0;
  };
  static constexpr int kLastLineMarker = 1;

  void setUpNavigation();
  void VirtualStringTree1Change(const MultiLineItem* item);
  // Shades 0-based lines [start, end) and puts `start` where a chosen
  // node's line goes.
  void placeSection(int32_t start, int32_t end);
  ViewTop captureTop() const;
  // Puts `line` at the top, with `rowsAbove` rows of the line before it
  // above it.
  void restoreTop(int32_t line, int32_t rowsAbove);
  // Selected text on the shaded lines shows the two colours swapped
  // (selection_colours.cc).
  void setUpSelectionColours();
  void updateSelectionColours();
  void Splitter1Moved();
  void fillOutlineTree(int32_t node, int32_t parentItem);
  // Text changes of the frame's own (trace_frame_text.cc): read only,
  // undo and change notices off for the length of one, the lexer told at
  // its end.
  class TextChange {
   public:
    explicit TextChange(TFMarrow& frame);
    ~TextChange();
    TextChange(const TextChange&) = delete;
    TextChange& operator=(const TextChange&) = delete;

   private:
    TFMarrow& frame_;
    long mask_ = 0;
    bool readOnly_ = false;
  };
  // The editor's document of the whole text while it is being built (see
  // loadTrace).
  struct PendingText {
    std::vector<FormattedPiece> pieces;  // read by the build
    std::unique_ptr<TraceDocumentBuild> build;
    bool keep = false;     // once in, the editor's text stands for the kept text
    int64_t lines = 0;     // the editor's line count once the text is complete
    int heldMaximum = -1;  // the vertical scroll bar's maximum while held
    long wantedTop = -1;   // the line the reader scrolled to past the first screens
    int toEnd = 0;         // the command of a Ctrl+End meanwhile, or 0
    std::vector<std::function<void()>> deferred;  // to do once the text is in
  };
  // Gives the editor a new empty document, the old one freed.
  void freshDocument();
  // Makes the kept text with `pieces` in place the editor's text (see
  // sql/shown_text.h): a text of up to `firstSlice` bytes at once, a larger
  // one in a document of its first `firstSlice` bytes while the whole is
  // built. With `keep`, once the whole text is in, the editor's text stands
  // for the kept text, which is let go. The kept text has `keptLineFeeds`
  // line feeds. With `backing`, the kept text's file, a large text's build
  // reads the kept text from it again (see loadTrace).
  void showText(std::vector<FormattedPiece>& pieces, bool keep, int64_t firstSlice, int64_t keptLineFeeds,
                const char* backing = nullptr);
  // Shows the document of the whole text once it is built, the view where
  // the reader left it, and does what waited for it.
  void swapInDocument();
  // While the whole text is being built, keeps `action` for when it is in
  // and returns true; else returns false.
  bool deferWhilePending(std::function<void()> action);
  // What follows once the whole text is in: the kept text given up when
  // the editor's stands for it (`keep`), and the marker array made, at
  // once or (`later`) in a turn of the event loop of its own.
  void textComplete(bool keep, bool later = false);
  // Empties the frame for memory that ran out, from the event loop, and
  // tells of it (traceDroppedForMemory).
  void dropTraceLater();
  // While slices remain, keeps the vertical scroll range that of the whole
  // text, so that the scroll bar does not change as they go in.
  void holdScrollRange();
  // Makes the editor's marker array as long as the text at once.
  void makeMarkerArray();
  // Copies the kept text out of the editor again.
  void restoreKeptText();
  // Shows the final queries formatted or as in the trace, rescanning the
  // key points.
  void rebuildShownText(bool format);
  // After a scan of the shown text: when the key points ran out of memory,
  // empties the frame, emits traceDroppedForMemory and returns true.
  bool droppedForMemory();
  void replaceShownRange(int64_t start, int64_t length, const char* bytes, int64_t count);
  void watchForEdits();
  void setEditorFont(int32_t pixelHeight);
  void updateGutterWidth();
  void showHighlight();
  int searchForwarder(QWidget* control, const QString& text, int flags);

  QSplitter* Splitter1;
  MultiLineTree0* VirtualStringTree1;
  QWidget* Panel1;
  QsciScintilla* SynEdit1;
  QsciScintillaBase* documentMaker_;  // never shown: makes the documents the builds fill
  TFFind* TFFind1;
  TraceLexer* lexer_;

  KeyPoints_c keyPoints_;
  NodeMarrow_Array_c nodes_;
  KeptText kept_;  // the trace as loaded, before re-formatting; outlives the build
  TraceDigest digest_;
  bool changingText_ = false;            // a TextChange is under way
  SearchHandler searchHandler_;
  ViewerSettings ownSettings_;  // stands in until applySettings hands over the window's
  ViewerSettings* settings_;
  int32_t resolution_ = kDefaultResolution;
  int32_t defaultFontHeight_;
  int32_t fontHeight_;
  int32_t highlightStart_ = -1;
  int32_t highlightEnd_ = -1;
  int32_t fileLines_ = 1;  // of the trace as loaded
  bool applyingOptions_ = true;
  std::pair<long, long> drawnSelection_{0, 0};  // the span the selection indicators cover
  std::unique_ptr<DocumentLoader> document_;  // the editor's document, when a build made it
  std::unique_ptr<PendingText> pending_;
  int64_t firstSliceBytes_ = 256 << 10;
  uint64_t jumps_ = 0;  // node choices so far
};
