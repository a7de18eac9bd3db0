#include "gui/multi_line_tree.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>

#include <algorithm>
#include <climits>

#include "outline/caption_codes.h"

namespace {

QFont styledFont(const QFont& base, int style) {
  QFont font(base);
  font.setBold((style & kCaptionBold) != 0);
  font.setItalic((style & kCaptionItalic) != 0);
  font.setUnderline((style & kCaptionUnderline) != 0);
  return font;
}

QColor captionColour(int digit) {
  const CaptionRgb& c = captionColours[digit];
  return QColor(c.red, c.green, c.blue);
}

}  // namespace

CodedTextFonts::CodedTextFonts(const QFont& baseFont)
    : fonts{styledFont(baseFont, 0), styledFont(baseFont, 1), styledFont(baseFont, 2),
            styledFont(baseFont, 3), styledFont(baseFont, 4), styledFont(baseFont, 5),
            styledFont(baseFont, 6), styledFont(baseFont, 7)},
      metrics{QFontMetrics(fonts[0]), QFontMetrics(fonts[1]), QFontMetrics(fonts[2]),
              QFontMetrics(fonts[3]), QFontMetrics(fonts[4]), QFontMetrics(fonts[5]),
              QFontMetrics(fonts[6]), QFontMetrics(fonts[7])},
      base(baseFont),
      baseMetrics(baseFont) {}

int32_t drawCodedText(QPainter* painter, const CodedTextFonts& fonts, const QRect& rect,
                      const char* text, int32_t length, QColor colour, bool keepColour,
                      int32_t format, int32_t width, int32_t& outWidth) {
  const bool measuring = painter == nullptr || (format & kTextCalcRect) != 0;
  const bool singleLine = (format & kTextSingleLine) != 0;
  if (!measuring) painter->save();  // codes never leak into the caller's pen or font

  // Segments sit side by side: each starts where the previous one's
  // measured width ended.
  const int32_t start = measuring ? 0 : rect.left();
  int32_t left = start;
  int32_t height = 0;
  CaptionCursor cursor;
  captionCursorInit(cursor, text, length);
  CaptionSegment segment;
  bool more = nextCaptionSegment(cursor, segment);
  while (more) {
    CaptionSegment next;
    more = nextCaptionSegment(cursor, next);
    const QFont& font = segment.style < 0 ? fonts.base : fonts.fonts[segment.style];
    const QFontMetrics& metrics =
        segment.style < 0 ? fonts.baseMetrics : fonts.metrics[segment.style];
    const QString words = QString::fromUtf8(text + segment.start, segment.length);
    int32_t segmentWidth = 0;
    const int wrapWidth = width > 0 ? width : rect.width();
    if (singleLine || wrapWidth <= 0) {
      // The last segment drawn needs no width: nothing goes after it.
      if (measuring || more) segmentWidth = metrics.horizontalAdvance(words);
      height = metrics.height();
    } else {
      const QRect bounds =
          metrics.boundingRect(QRect(0, 0, wrapWidth, INT_MAX / 2), Qt::TextWordWrap, words);
      segmentWidth = bounds.width();
      height = bounds.height();
    }
    if (!measuring) {
      painter->setFont(font);
      painter->setPen(segment.colour > 0 && !keepColour ? captionColour(segment.colour) : colour);
      const QRect drawRect(left, rect.top(), rect.right() - left + 1, rect.height());
      if (drawRect.width() > 0 && singleLine) {
        // At the baseline: laying the text out in a rect would shape it a
        // second time. The rect is as wide as the measured text, so there
        // is nothing to clip.
        painter->drawText(QPoint(left, rect.top() + metrics.ascent()), words);
      } else if (drawRect.width() > 0) {
        painter->drawText(drawRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, words);
      }
    }
    left += segmentWidth;
    segment = next;
  }
  outWidth = left - start;
  if (!measuring) painter->restore();
  return height;
}

QModelIndex MultiLineModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return QModelIndex();
  const std::vector<int32_t>& list =
      parent.isValid() ? nodes[parent.internalId()].children : roots;
  if (row >= static_cast<int>(list.size())) return QModelIndex();
  return createIndex(row, 0, static_cast<quintptr>(list[row]));
}

QModelIndex MultiLineModel::parent(const QModelIndex& child) const {
  if (!child.isValid()) return QModelIndex();
  const int32_t up = nodes[child.internalId()].parent;
  if (up == kNoTreeNode) return QModelIndex();
  return createIndex(nodes[up].row, 0, static_cast<quintptr>(up));
}

int MultiLineModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(roots.size());
  if (parent.column() != 0) return 0;
  return static_cast<int>(nodes[parent.internalId()].children.size());
}

QModelIndex MultiLineModel::indexFor(int32_t node) const {
  return createIndex(nodes[node].row, 0, static_cast<quintptr>(node));
}

int MultiLineModel::columnCount(const QModelIndex&) const { return 1; }

QVariant MultiLineModel::data(const QModelIndex& index, int role) const {
  if (index.isValid() && role == Qt::ToolTipRole && toolTip) {
    const QString tip = toolTip(static_cast<int32_t>(index.internalId()));
    return tip.isEmpty() ? QVariant() : QVariant(tip);
  }
  if (!index.isValid() || role != Qt::DisplayRole) return QVariant();
  const std::string_view caption = nodes[index.internalId()].item.lines[0].text;
  std::string plain(caption.size() + 1, '\0');
  const int32_t n = captionPlainText(caption.data(), static_cast<int32_t>(caption.size()),
                                     plain.data(), static_cast<int32_t>(plain.size()));
  return QString::fromUtf8(plain.data(), n);
}

MultiLineDelegate::MultiLineDelegate(MultiLineTree0* tree) : tree_(tree) {}

void MultiLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  const int32_t node = tree_->nodeOf(index);
  if (node == kNoTreeNode) return;
  if (!tree_->isMeasured(node)) tree_->measureItem(node);
  const MultiLineItem& item = tree_->item(node);
  const int32_t inset = tree_->textInset();
  // The chosen node is drawn in the highlight colours, which neither the
  // lines' starting colours nor the codes' colours override.
  const bool focused = option.state.testFlag(QStyle::State_Selected);
  const QPalette& palette = option.palette;
  const QColor brush = focused ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base);

  painter->save();
  QRect fill = option.rect;
  fill.setWidth(item.measuredWidth);
  painter->fillRect(fill, brush);
  int32_t top = option.rect.top() + inset;
  for (int i = 0; i < kItemLineCount; ++i) {
    const ItemLine& line = item.lines[i];
    if (line.text.empty() || line.height == 0) continue;
    const int32_t left = option.rect.left() + line.indent + inset;
    const QRect lineRect(left, top, item.measuredWidth - 2 * inset - line.indent, line.height);
    const QColor colour =
        focused ? palette.color(QPalette::HighlightedText) : captionColour(i + 1);
    int32_t width = 0;
    drawCodedText(painter, tree_->codedFonts(), lineRect, line.text.data(),
                  static_cast<int32_t>(line.text.size()), colour, focused,
                  line.wrap != 0 ? kTextWordBreak : kTextSingleLine, 0, width);
    top += line.height;
  }
  painter->restore();
}

QSize MultiLineDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
  const int32_t node = tree_->nodeOf(index);
  if (node == kNoTreeNode) return QSize(0, MultiLineTree0::kDefaultNodeHeight);
  // The view asks for the widths of the nodes it shows only, so a large
  // outline is measured as it is shown, each node once; heights it may ask
  // for every node above the one it scrolls to, and they cost no measuring
  // of text.
  if (!tree_->isMeasured(node)) {
    if (tree_->measuringWidths()) {
      tree_->measureItem(node);
    } else {
      tree_->measureHeights(node);
    }
  }
  const MultiLineItem& item = tree_->item(node);
  const int32_t tags = item.tagA != 0 || item.tagB != 0 ? MultiLineTree0::kTagWidth : 0;
  return QSize(item.measuredWidth + tags, tree_->nodeHeight(node));
}

MultiLineTree0::MultiLineTree0(QWidget* parent)
    : QTreeView(parent), delegate_(this), fonts_(font()) {
  setModel(&model_);
  setItemDelegate(&delegate_);
  setHeaderHidden(true);
  setIndentation(kIndent);
  setUniformRowHeights(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The column follows the widest shown node, so long captions scroll
  // sideways instead of being cut. A stretched last section would be held
  // at the view's width whatever its contents.
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  // The column follows the nodes in view only: by default the header also
  // measures up to a thousand nodes around them, tens of milliseconds on a
  // jump through a large outline.
  header()->setResizeContentsPrecision(0);
  // Selection, not the current index: the view moves the current index by
  // itself when it takes the focus, which is no choice of the user's.
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { onSelectionChanged(); });
}

MultiLineTree0::~MultiLineTree0() {
  // The view must let go of the model and delegate, which are members
  // destroyed after this body.
  setModel(nullptr);
}

void MultiLineTree0::beginUpdate() { model_.beginFill(); }

void MultiLineTree0::endUpdate() { model_.endFill(); }

void MultiLineTree0::clear() {
  model_.nodes.clear();
  model_.roots.clear();
}

int32_t MultiLineTree0::addChild(int32_t parent) {
  const int32_t id = nodeCount();
  std::vector<int32_t>& siblings = parent == kNoTreeNode ? model_.roots : model_.nodes[parent].children;
  MultiLineModel::Node node{};
  node.parent = parent;
  node.row = static_cast<int32_t>(siblings.size());
  siblings.push_back(id);
  model_.nodes.push_back(std::move(node));
  return id;
}

void MultiLineTree0::reserveNodes(int32_t count) { model_.nodes.reserve(static_cast<size_t>(std::max(0, count))); }

int32_t MultiLineTree0::nodeHeight(int32_t node) const {
  const int32_t h = model_.nodes[node].height;
  return h > 0 ? h : kDefaultNodeHeight;
}

int32_t MultiLineTree0::nextSibling(int32_t node) const {
  const MultiLineModel::Node& n = model_.nodes[node];
  const std::vector<int32_t>& siblings =
      n.parent == kNoTreeNode ? model_.roots : model_.nodes[n.parent].children;
  const size_t next = static_cast<size_t>(n.row) + 1;
  return next < siblings.size() ? siblings[next] : kNoTreeNode;
}

int32_t MultiLineTree0::level(int32_t node) const {
  int32_t depth = 0;
  for (int32_t up = model_.nodes[node].parent; up != kNoTreeNode; up = model_.nodes[up].parent) {
    ++depth;
  }
  return depth;
}

QModelIndex MultiLineTree0::indexOf(int32_t node) const {
  if (node < 0 || node >= nodeCount()) return QModelIndex();
  return model_.indexFor(node);
}

int32_t MultiLineTree0::nodeOf(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != &model_) return kNoTreeNode;
  return static_cast<int32_t>(index.internalId());
}

void MultiLineTree0::chooseNode(int32_t node) {
  selectionModel()->setCurrentIndex(indexOf(node), QItemSelectionModel::ClearAndSelect);
}

int32_t MultiLineTree0::measureItem(int32_t node, bool* heightSet) {
  if (heightSet != nullptr) *heightSet = false;
  if (node < 0 || node >= nodeCount()) return 0;
  MultiLineItem& item = model_.nodes[node].item;
  int32_t available = viewport()->width() - ((level(node) + 1) * kIndent + kMargin) - 2 * textInset_;
  if (item.tagA != 0 || item.tagB != 0) available -= kTagWidth;

  int32_t widest = 0;
  int32_t total = 0;
  for (ItemLine& line : item.lines) {
    if (line.text.empty()) continue;
    int32_t width = 0;
    line.height = drawCodedText(nullptr, fonts_, QRect(), line.text.data(),
                                static_cast<int32_t>(line.text.size()), QColor(), false,
                                kTextCalcRect | (line.wrap != 0 ? kTextWordBreak : kTextSingleLine),
                                available - line.indent, width);
    total += line.height;
    widest = std::max(widest, width + line.indent);
  }
  item.measuredWidth = widest + 2 * textInset_;
  // Setting a height makes the view lay out again, so only a change does.
  if (total != 0 && total != item.measuredHeight) {
    item.measuredHeight = total;
    model_.nodes[node].height = std::min(total + 2 * textInset_, 65535);
    if (heightSet != nullptr) *heightSet = true;
  }
  return item.measuredWidth;
}

void MultiLineTree0::measureHeights(int32_t node) {
  if (node < 0 || node >= nodeCount()) return;
  MultiLineItem& item = model_.nodes[node].item;
  for (const ItemLine& line : item.lines) {
    // Word-wrapped lines are as high as the width lets them be.
    if (line.wrap != 0 && !line.text.empty()) {
      measureItem(node);
      return;
    }
  }
  int32_t total = 0;
  for (ItemLine& line : item.lines) {
    line.height = 0;
    if (line.text.empty()) continue;
    // drawCodedText returns the height of the last segment's font.
    CaptionCursor cursor;
    captionCursorInit(cursor, line.text.data(), static_cast<int32_t>(line.text.size()));
    CaptionSegment segment;
    int32_t style = -2;  // no segment
    while (nextCaptionSegment(cursor, segment)) style = segment.style;
    if (style == -2) continue;
    line.height = style < 0 ? fonts_.baseMetrics.height() : fonts_.metrics[style].height();
    total += line.height;
  }
  if (total != 0 && total != item.measuredHeight) {
    item.measuredHeight = total;
    model_.nodes[node].height = std::min(total + 2 * textInset_, 65535);
  }
}

int MultiLineTree0::sizeHintForColumn(int column) const {
  measuringWidths_ = true;
  const int width = QTreeView::sizeHintForColumn(column);
  measuringWidths_ = false;
  return width;
}

void MultiLineTree0::forgetMeasurements() {
  for (MultiLineModel::Node& node : model_.nodes) {
    node.item.measuredWidth = 0;
    node.item.measuredHeight = 0;
  }
}

void MultiLineTree0::drawBranches(QPainter* painter, const QRect& rect,
                                  const QModelIndex& index) const {
  const int32_t node = nodeOf(index);
  const int32_t alignment = node == kNoTreeNode ? 0 : model_.nodes[node].alignment;
  if (alignment <= 0) {
    QTreeView::drawBranches(painter, rect, index);
    return;
  }
  QRect top(rect);
  top.setHeight(std::min(rect.height(), 2 * alignment));
  QTreeView::drawBranches(painter, top, index);
}

void MultiLineTree0::changeEvent(QEvent* event) {
  QTreeView::changeEvent(event);
  if (event->type() != QEvent::FontChange) return;
  fonts_ = CodedTextFonts(font());
  forgetMeasurements();
  doItemsLayout();
}

void MultiLineTree0::onSelectionChanged() {
  const QModelIndexList chosen = selectionModel()->selectedIndexes();
  const int32_t node = chosen.isEmpty() ? kNoTreeNode : nodeOf(chosen.first());
  emit changed(node == kNoTreeNode ? nullptr : &model_.nodes[node].item);
}
