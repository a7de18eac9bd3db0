#include "gui/trace_frame.h"

#include <Qsci/qsciscintilla.h>

#include <QFontDatabase>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

#include "gui/editor_search.h"
#include "gui/find_bar.h"
#include "gui/multi_line_tree.h"
#include "gui/document_loader.h"
#include "gui/trace_document.h"
#include "gui/trace_editor.h"
#include "gui/trace_lexer.h"
#include "sql/sql_tokenizer.h"

namespace {

constexpr const char* kEditorFace = "Courier New";

// The editor's face: the trace's column layout needs a fixed pitch, so
// without the usual face any installed monospace face will do.
QString editorFace() {
  if (QFontDatabase::families().contains(kEditorFace, Qt::CaseInsensitive)) return kEditorFace;
  return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

}  // namespace

TFMarrow::TFMarrow(QWidget* parent) : QWidget(parent) {
  // The controls: tree | editor panel, the panel holding the editor.
  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setHandleWidth(5);
  Splitter1->setChildrenCollapsible(false);
  VirtualStringTree1 = new MultiLineTree0(Splitter1);
  Panel1 = new QWidget(Splitter1);
  SynEdit1 = new TraceEditor(Panel1);
  TFFind1 = new TFFind(Panel1);
  auto* panelLayout = new QVBoxLayout(Panel1);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(0);
  panelLayout->addWidget(SynEdit1);
  panelLayout->addWidget(TFFind1);
  Splitter1->addWidget(VirtualStringTree1);
  Splitter1->addWidget(Panel1);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Splitter1);

  applySettingDefaults(ownSettings_);
  settings_ = &ownSettings_;
  defaultFontHeight_ = defaultFontHeight(resolution_);
  fontHeight_ = defaultFontHeight_;

  buildSqlDispatch();

  lexer_ = new TraceLexer(this);
  SynEdit1->setLexer(lexer_);
  setEditorFont(fontHeight_);

  TFFind1->onSearch = [this](QWidget* control, const QString& text, int flags) {
    return searchForwarder(control, text, flags);
  };
  TFFind1->hideFindBar();
  TFFind1->beepOnFailure = true;

  VirtualStringTree1->setTextInset(2);
  connect(VirtualStringTree1, &MultiLineTree0::changed, this,
          [this](const MultiLineItem* item) { VirtualStringTree1Change(item); });
  connect(Splitter1, &QSplitter::splitterMoved, this, [this] { Splitter1Moved(); });
  setUpNavigation();
  setUpSelectionColours();
  watchForEdits();

  documentMaker_ = new QsciScintillaBase(this);
  documentMaker_->hide();
  QScrollBar* bar = SynEdit1->verticalScrollBar();
  connect(bar, &QScrollBar::rangeChanged, this, [this] { holdScrollRange(); });
  // A scroll past the first screens' lines, which the editor cannot show
  // yet, is shown once the whole text is in.
  connect(bar, &QScrollBar::actionTriggered, this, [this, bar] {
    if (pending_ && bar->sliderPosition() >= SynEdit1->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT)) {
      pending_->wantedTop = bar->sliderPosition();
    }
  });
  SynEdit1->installEventFilter(this);
}

TFMarrow::~TFMarrow() = default;

void TFMarrow::applySettings(ViewerSettings& settings, int32_t resolution, const QFont& font) {
  TFFind1->setComboFont(font);
  TFFind1->barResolution = resolution;
  settings_ = &settings;
  resolution_ = resolution;
  setWrap(hasOption(settings, OptWrapText));
  setReadOnly(hasOption(settings, OptReadOnly));
  setFormatFinalQuery(hasOption(settings, OptFormatFinalQuery));
  const int32_t treeWidth = treeWidthFor(settings, resolution);
  const int total = std::max(Splitter1->width(), treeWidth + 1);
  Splitter1->setSizes({treeWidth, total - treeWidth});
  defaultFontHeight_ = defaultFontHeight(resolution);
  setEditorFont(fontHeightFor(settings, resolution));
  applyingOptions_ = false;
}

void TFMarrow::fillOutlineTree(int32_t node, int32_t parentItem) {
  // Siblings iteratively: a trace can hold thousands of statements, each
  // a root, and recursion along the sibling chain would follow them all.
  for (int32_t n = node; n != kNoNode; n = nodes_[n].nextSibling) {
    const OutlineNode& outline = nodes_[n];
    const int32_t item = VirtualStringTree1->addChild(parentItem);
    MultiLineItem& data = VirtualStringTree1->item(item);
    data.userIndex = outline.nodeIndex;
    data.tagA = outline.tagA;
    data.tagB = outline.tagB;
    for (int which = 1; which <= kItemLineCount; ++which) {
      const char* caption = nodes_.caption(n, which);
      if (caption == nullptr) continue;
      data.lines[which - 1].text = caption;
      if (which > 1) data.lines[which - 1].indent = 10;
    }
    VirtualStringTree1->setNodeAlignment(item, MultiLineTree0::kDefaultNodeHeight / 2);
    if (outline.firstChild != kNoNode) fillOutlineTree(outline.firstChild, item);
  }
}

void TFMarrow::setEditorFont(int32_t pixelHeight) {
  fontHeight_ = pixelHeight;
  // The editor sizes its fonts in points; convert so the character cell is
  // `pixelHeight` pixels on this screen.
  QFont font(editorFace());
  font.setStyleHint(QFont::Monospace);
  font.setPointSizeF(pixelHeight * 72.0 / std::max(1, SynEdit1->logicalDpiY()));
  lexer_->setFont(font);
  SynEdit1->setMarginsFont(font);
  updateGutterWidth();
}

void TFMarrow::updateGutterWidth() {
  const long lines = SynEdit1->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT) + linesToCome();
  SynEdit1->setMarginWidth(0, QString(QString::number(lines).size() + 1, QChar('9')));
}

void TFMarrow::setReadOnly(bool on) {
  setOption(*settings_, OptReadOnly, on);
  // The first screens' document stays read only: the whole text's takes
  // the setting when it is swapped in.
  if (!pending_) SynEdit1->setReadOnly(on);
}

void TFMarrow::stepFont(int direction) {
  setEditorFont(::stepFont(*settings_, resolution_, direction));
}

void TFMarrow::Splitter1Moved() {
  if (applyingOptions_) return;
  storeSplitterPos(*settings_, VirtualStringTree1->width());
}

void TFMarrow::find() { TFFind1->showFindBar(SynEdit1, proposedFindText(SynEdit1)); }

void TFMarrow::findNext() { TFFind1->runSearch(0); }

void TFMarrow::findPrevious() { TFFind1->runSearch(SearchBackward); }

int TFMarrow::searchForwarder(QWidget* control, const QString& text, int flags) {
  // A search may need the lines still to come: it runs again, as the
  // find bar runs it, once they are in; meanwhile it neither finds nor
  // fails.
  if (deferWhilePending([this, flags] { TFFind1->runSearch(flags); })) return -1;
  return searchHandler_ ? searchHandler_(control, text, flags) : -1;
}
