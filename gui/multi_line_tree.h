// MultiLineTree0: the outline tree. Every node shows up to four lines of
// text that carry caption codes (outline/caption_codes.h); its height is
// found from its lines' fonts when the view first needs it, its width
// measured once, when the view first shows it, both cached, and it is
// painted by a delegate with the toolkit's font metrics. The control
// knows nothing about traces: its owner adds nodes and sets their lines.
#pragma once

#include <QAbstractItemModel>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

constexpr int kItemLineCount = 4;
constexpr int32_t kNoTreeNode = -1;

// Text-layout flags for drawCodedText, named after the measuring rules
// they come from: one line, word-wrapped, or measure only.
constexpr int32_t kTextWordBreak = 0x0010;
constexpr int32_t kTextSingleLine = 0x0020;
constexpr int32_t kTextCalcRect = 0x0400;

// A node's line. Its text is not copied: the tree's owner keeps the bytes
// where they are until the node is cleared. An outline of a large trace
// has a hundred thousand nodes, and their captions are already held once.
struct ItemLine {
  std::string_view text;  // UTF-8 with caption codes; empty lines are skipped
  int32_t height;         // pixels, from the last measurement
  int16_t indent;         // left indent in pixels
  int16_t wrap;           // non-zero: word-wrapped within the available width
};

// What the tree keeps with each node.
struct MultiLineItem {
  int32_t userIndex;       // the owner's number for the node; not read here
  int32_t measuredWidth;   // widest line plus twice the text inset
  int32_t measuredHeight;  // sum of line heights from the last measurement, 0 before
  int32_t tagA;            // either non-zero: 20 pixels set aside at the right
  int32_t tagB;
  ItemLine lines[kItemLineCount];
};

// The control's font in its eight code styles, with their metrics, so
// that measuring does not build a font per segment.
struct CodedTextFonts {
  explicit CodedTextFonts(const QFont& base);
  QFont fonts[8];  // by style bits: 1 bold, 2 italic, 4 underline
  QFontMetrics metrics[8];
  QFont base;      // the look before any code
  QFontMetrics baseMetrics;
};

// Measures (format has kTextCalcRect, or no painter) or draws a text with
// caption codes in `rect`, starting in `colour` and the base font. With
// `keepColour` the codes change only the style. Single-line segments take
// their natural width; word-wrapped ones wrap within `width` when it is
// above 0. When measuring, `outWidth` receives the width of all segments
// side by side.
// Returns the height of the last measured segment, 0 when none.
int32_t drawCodedText(QPainter* painter, const CodedTextFonts& fonts, const QRect& rect,
                      const char* text, int32_t length, QColor colour, bool keepColour,
                      int32_t format, int32_t width, int32_t& outWidth);

// The nodes: each with its parent, its row under it and its children, so
// the view finds any node by row. Only the tree changes it.
class MultiLineModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  struct Node {
    int32_t parent;  // kNoTreeNode at top level
    int32_t row;
    int32_t height;     // pixels; 0 keeps the default node height
    int32_t alignment;  // distance of the expand button's centre from the top
    std::vector<int32_t> children;
    MultiLineItem item;
  };

  using QAbstractItemModel::QAbstractItemModel;

  QModelIndex index(int row, int column, const QModelIndex& parent) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent) const override;
  int columnCount(const QModelIndex& parent) const override;
  // DisplayRole: the first line without its codes; ToolTipRole: what
  // `toolTip` gives for the node, if it is set.
  QVariant data(const QModelIndex& index, int role) const override;
  // The index of a node, for the tree that owns the model.
  QModelIndex indexFor(int32_t node) const;
  // The reset bracket around filling and clearing.
  void beginFill() { beginResetModel(); }
  void endFill() { endResetModel(); }

  std::vector<Node> nodes;
  std::vector<int32_t> roots;  // top-level nodes in order
  std::function<QString(int32_t node)> toolTip;  // an empty text: no tooltip
};

class MultiLineTree0;

// Paints and sizes the nodes from the cached measurements.
class MultiLineDelegate : public QStyledItemDelegate {
 public:
  explicit MultiLineDelegate(MultiLineTree0* tree);
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  MultiLineTree0* tree_;
};

class MultiLineTree0 : public QTreeView {
  Q_OBJECT

 public:
  static constexpr int32_t kDefaultNodeHeight = 18;
  static constexpr int32_t kIndent = 18;
  static constexpr int32_t kMargin = 4;
  static constexpr int32_t kTagWidth = 20;

  explicit MultiLineTree0(QWidget* parent = nullptr);
  ~MultiLineTree0() override;

  int32_t textInset() const { return textInset_; }
  void setTextInset(int32_t inset) { textInset_ = inset; }

  // Filling: nodes are added and cleared only between beginUpdate and
  // endUpdate, which keep the view from seeing a half-built tree.
  void beginUpdate();
  void endUpdate();
  void clear();
  // Adds a node with zeroed data as the last child of `parent`
  // (kNoTreeNode: top level). Returns its id.
  int32_t addChild(int32_t parent);
  // Makes room for `count` nodes in all, so that adding them moves none.
  void reserveNodes(int32_t count);

  int32_t nodeCount() const { return static_cast<int32_t>(model_.nodes.size()); }
  MultiLineItem& item(int32_t node) { return model_.nodes[node].item; }
  const MultiLineItem& item(int32_t node) const { return model_.nodes[node].item; }
  int32_t nodeHeight(int32_t node) const;
  void setNodeAlignment(int32_t node, int32_t value) { model_.nodes[node].alignment = value; }
  int32_t firstTopLevel() const { return model_.roots.empty() ? kNoTreeNode : model_.roots[0]; }
  int32_t nextSibling(int32_t node) const;
  int32_t level(int32_t node) const;

  QModelIndex indexOf(int32_t node) const;
  int32_t nodeOf(const QModelIndex& index) const;
  void expandNode(int32_t node) { expand(indexOf(node)); }
  bool isNodeExpanded(int32_t node) const { return isExpanded(indexOf(node)); }
  // Makes the node current and selected, which raises changed().
  void chooseNode(int32_t node);

  // Measures one node's lines (see drawCodedText) and stores their
  // heights and the node's width. The node height is set only when the
  // lines' total changed. Returns the width; `heightSet` tells whether the
  // height was set.
  int32_t measureItem(int32_t node, bool* heightSet = nullptr);
  // Stores the heights measureItem would find, and sets the node height as
  // it would, without measuring widths: a line that does not wrap is as
  // high as the font of its last segment. The view asks for the heights
  // of every node above the one it scrolls to, but for the widths of the
  // shown nodes only.
  void measureHeights(int32_t node);
  // A node is measured the first time the view lays it out; its width
  // then includes the insets, so it is never 0.
  bool isMeasured(int32_t node) const { return model_.nodes[node].item.measuredWidth > 0; }
  // True while the view asks for the nodes' widths (sizeHintForColumn).
  bool measuringWidths() const { return measuringWidths_; }
  // Makes every node measure again when next laid out (a new font).
  void forgetMeasurements();

  const CodedTextFonts& codedFonts() const { return fonts_; }

  // What the tree's owner has to say about a node when the pointer rests
  // on it.
  void setToolTipProvider(std::function<QString(int32_t node)> provider) { model_.toolTip = std::move(provider); }

 signals:
  // The chosen node changed: its item, or null when none is chosen.
  void changed(const MultiLineItem* item);

 protected:
  // The expand button sits level with the first line, not at the middle
  // of a tall node.
  void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
  void changeEvent(QEvent* event) override;
  // The column's width for the header: the shown nodes are measured.
  int sizeHintForColumn(int column) const override;

 private:
  void onSelectionChanged();

  MultiLineModel model_;
  MultiLineDelegate delegate_;
  CodedTextFonts fonts_;
  int32_t textInset_ = 3;
  mutable bool measuringWidths_ = false;
};
