#include "gui/compare_view.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStringList>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "compare/view_alignment.h"
#include "gui/aligned_scrolling.h"
#include "gui/comparison_job.h"
#include "gui/difference_list_model.h"
#include "gui/document_loader.h"
#include "gui/editor_colour.h"
#include "gui/editor_search.h"
#include "gui/elided_label.h"
#include "gui/find_bar.h"
#include "gui/trace_editor.h"
#include "gui/trace_lexer.h"

namespace {

using Sci = QsciScintillaBase;

// The differing lines' background: a light warm tint under the token
// colours. The chosen difference's differing lines take a deeper one, its
// other lines the chosen section's light blue.
const QColor kDifferingBackground(255, 238, 204);
const QColor kChosenDifferingBackground(255, 214, 150);
const QColor kDifferingBar(230, 140, 30);
// Noise inside a run: grey, as a thing left out.
const QColor kNoiseBackground(228, 228, 228);
constexpr int kBarWidth = 5;

// A swatch of `colour` and what it means, for the legend.
QString swatch(const QColor& colour, const char* meaning) {
  return QStringLiteral("<span style=\"background-color:%1\">&nbsp;&nbsp;&nbsp;&nbsp;</span>&nbsp;%2")
      .arg(colour.name(), QString::fromUtf8(meaning));
}

}  // namespace

CompareView::CompareView(QWidget* parent) : QWidget(parent) {
  summary_ = new ElidedLabel(this);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  closeButton_ = new QToolButton(this);
  closeButton_->setText("Close Comparison");
  closeButton_->setToolTip("Back to the one trace (Esc or Ctrl+D)");
  closeButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  connect(closeButton_, &QToolButton::clicked, this, [this] { emit closeRequested(); });
  scriptButton_ = new QToolButton(this);
  scriptButton_->setText("Copy try-script");
  scriptButton_->setToolTip("Copy to the clipboard one SQL*Plus line per differing parameter and fix control,\n"
                            "setting B's value in a session that runs as A, to try them one at a time");
  scriptButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  scriptButton_->setEnabled(false);
  connect(scriptButton_, &QToolButton::clicked, this, [this] {
    if (!comparison_) return;
    const SVString& script = comparison_->tryScript;
    QGuiApplication::clipboard()->setText(QString::fromUtf8(script.c_str(), script.length()));
  });
  legend_ = new QLabel(this);
  legend_->setTextFormat(Qt::RichText);
  legend_->setText(swatch(kDifferingBackground, "differs") + QStringLiteral("&nbsp;&nbsp; ") +
                   swatch(kChosenDifferingBackground, "differs, chosen") + QStringLiteral("&nbsp;&nbsp; ") +
                   swatch(kNoiseBackground, "left out (time stamps, addresses)"));
  // It gives way in a narrow window rather than widening it.
  legend_->setMinimumWidth(1);
  legend_->setToolTip("Line backgrounds: the lines that differ, those of the chosen difference, and the lines\n"
                      "inside a run of differing lines that the comparison leaves out as noise");
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(6, 2, 2, 2);
  bar->addWidget(summary_, 1);
  bar->addWidget(legend_);
  bar->addWidget(scriptButton_);
  bar->addWidget(closeButton_);

  splitter_ = new QSplitter(Qt::Vertical, this);
  splitter_->setChildrenCollapsible(false);
  editors_ = new QSplitter(Qt::Horizontal, splitter_);
  editors_->setChildrenCollapsible(false);
  editors_->setHandleWidth(5);
  editors_->addWidget(makePane("A", a_));
  editors_->addWidget(makePane("B", b_));
  // The find bar under both editors, searching the one last in use.
  auto* texts = new QWidget(splitter_);
  findBar_ = new TFFind(texts);
  findBar_->onSearch = [](QWidget* control, const QString& text, int flags) {
    auto* editor = qobject_cast<QsciScintilla*>(control);
    return editor != nullptr ? editorSearch(editor, text, flags) : -1;
  };
  findBar_->beepOnFailure = true;
  findBar_->hideFindBar();
  auto* textsLayout = new QVBoxLayout(texts);
  textsLayout->setContentsMargins(0, 0, 0, 0);
  textsLayout->setSpacing(0);
  textsLayout->addWidget(editors_, 1);
  textsLayout->addWidget(findBar_);
  model_ = new DifferenceListModel(this);
  list_ = new QTreeView(splitter_);
  list_->setModel(model_);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->header()->setStretchLastSection(true);
  list_->header()->setSectionResizeMode(QHeaderView::Interactive);
  splitter_->addWidget(texts);
  splitter_->addWidget(list_);
  splitter_->setStretchFactor(0, 3);
  splitter_->setStretchFactor(1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(bar);
  layout->addWidget(splitter_, 1);

  // A press on the current row shows it again, after the reader scrolled.
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { showDifference(current.row()); });
  connect(list_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) { showDifference(index.row()); });
  scrolling_ = new AlignedScrolling(a_.editor, b_.editor, this);
  b_.isA = false;
  // The markers of the lines a view comes to, before it paints them where
  // the scroll bar tells in time.
  for (Side* side : {&a_, &b_}) {
    connect(side->editor->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, side] { markAround(*side); });
    connect(side->editor, &QsciScintillaBase::SCN_UPDATEUI, this, [this, side](int) { markAround(*side); });
  }
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now == a_.editor || now == b_.editor) lastEditor_ = static_cast<TraceEditor*>(now);
  });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WidgetWithChildrenShortcut);
  connect(escape, &QShortcut::activated, this, [this] { emit closeRequested(); });
}

CompareView::~CompareView() { setBusyCursor(false); }

QWidget* CompareView::makePane(const char* name, Side& side) {
  auto* pane = new QWidget(this);
  side.title = new ElidedLabel(pane);
  side.title->setContentsMargins(4, 2, 4, 2);
  side.title->setObjectName(QStringLiteral("title%1").arg(name));
  TraceEditor* editor = side.editor = new TraceEditor(pane);
  side.lexer = new TraceLexer(editor);
  editor->setLexer(side.lexer);
  // A dropped file goes on to the window, which opens it; the view is made
  // after the window's drop filter watched its children.
  editor->setAcceptDrops(false);
  editor->viewport()->setAcceptDrops(false);
  // No annotations: with them shown, the editor visits every line of a
  // document it is given.
  editor->setAnnotationDisplay(QsciScintilla::AnnotationHidden);
  // The differing lines: a background and a bar in the margin. Of two
  // background markers on a line the higher-numbered one shows.
  editor->SendScintilla(Sci::SCI_MARKERDEFINE, kDifferingLineMarker, long(Sci::SC_MARK_BACKGROUND));
  editor->SendScintilla(Sci::SCI_MARKERSETBACK, kDifferingLineMarker, bgr(kDifferingBackground));
  editor->SendScintilla(Sci::SCI_MARKERDEFINE, kChosenLineMarker, long(Sci::SC_MARK_BACKGROUND));
  editor->SendScintilla(Sci::SCI_MARKERSETBACK, kChosenLineMarker, bgr(kChosenDifferingBackground));
  editor->SendScintilla(Sci::SCI_MARKERDEFINE, kNoiseLineMarker, long(Sci::SC_MARK_BACKGROUND));
  editor->SendScintilla(Sci::SCI_MARKERSETBACK, kNoiseLineMarker, bgr(kNoiseBackground));
  editor->SendScintilla(Sci::SCI_MARKERDEFINE, kDifferingBarMarker, long(Sci::SC_MARK_FULLRECT));
  editor->SendScintilla(Sci::SCI_MARKERSETBACK, kDifferingBarMarker, bgr(kDifferingBar));
  editor->SendScintilla(Sci::SCI_SETMARGINTYPEN, kBarMargin, long(Sci::SC_MARGIN_SYMBOL));
  editor->SendScintilla(Sci::SCI_SETMARGINMASKN, kBarMargin, long(1 << kDifferingBarMarker));
  editor->SendScintilla(Sci::SCI_SETMARGINWIDTHN, kBarMargin, long(kBarWidth));
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(side.title);
  layout->addWidget(editor, 1);
  return pane;
}

void CompareView::setEditorFont(const QFont& font) {
  for (Side* side : {&a_, &b_}) {
    side->lexer->setFont(font);
    side->editor->setMarginsFont(font);
  }
  updateGutters();
}

void CompareView::updateGutters() {
  for (TraceEditor* editor : {a_.editor, b_.editor}) {
    const long lines = editor->SendScintilla(Sci::SCI_GETLINECOUNT);
    editor->setMarginWidth(0, QString(QString::number(lines).size() + 1, QChar('9')));
  }
}

void releaseEditorKeys(QsciScintilla* editor, const QList<QAction*>& actions) {
  for (QAction* action : actions) {
    for (const QKeySequence& key : action->shortcuts()) {
      const int code = key[0].toCombined();
      for (QsciCommand* command : editor->standardCommands()->commands()) {
        if (command->key() == code) command->setKey(0);
        if (command->alternateKey() == code) command->setAlternateKey(0);
      }
    }
  }
}

void CompareView::releaseKeys(const QList<QAction*>& actions) {
  releaseEditorKeys(a_.editor, actions);
  releaseEditorKeys(b_.editor, actions);
}

const FileComparison* CompareView::comparison() const { return comparison_.get(); }

void CompareView::setBusyCursor(bool on) {
  if (on == busyCursor_) return;
  busyCursor_ = on;
  if (on) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void CompareView::dropJob() {
  if (!job_) return;
  // A job under way is left to end on its own thread; it then goes.
  job_->disconnect(this);
  connect(job_, &ComparisonJob::finished, job_, &QObject::deleteLater);
  job_ = nullptr;
  setBusyCursor(false);
}

void CompareView::start(const QByteArray& pathA, const QByteArray& pathB) {
  clear();
  // The editors give up the documents shown before now, not a turn later.
  ++emptying_;
  emptyEditor(a_);
  emptyEditor(b_);
  pathA_ = pathA;
  pathB_ = pathB;
  const QString nameA = QFileInfo(QString::fromLocal8Bit(pathA)).fileName();
  const QString nameB = QFileInfo(QString::fromLocal8Bit(pathB)).fileName();
  summary_->setFullText(QStringLiteral("Comparing %1 with %2…").arg(nameA, nameB));
  a_.title->setFullText("A: " + nameA);
  b_.title->setFullText("B: " + nameB);
  a_.title->setToolTip(QString::fromLocal8Bit(pathA));
  b_.title->setToolTip(QString::fromLocal8Bit(pathB));
  // Empty documents, made here and filled by the job.
  job_ = new ComparisonJob(pathA, pathB, std::make_unique<DocumentLoader>(*a_.editor),
                           std::make_unique<DocumentLoader>(*b_.editor), this);
  connect(job_, &ComparisonJob::documentsLoaded, this, [this] { showDocuments(); });
  connect(job_, &ComparisonJob::finished, this, [this] { jobFinished(); });
  setBusyCursor(true);
  job_->start();
}

void CompareView::clear() {
  dropJob();
  scrolling_->setMaps({}, {});
  model_->setList(nullptr);
  // Two large traces' line tables take tens of milliseconds to free.
  releaseAway(std::move(comparison_));
  releaseAway(std::move(arriving_));
  scriptButton_->setEnabled(false);
  emptyEditorsLater();
  summary_->setFullText(QString());
}

void CompareView::jobFinished() {
  // A small comparison can end before B's document had its turn.
  if (job_->code() == 0) showDocumentB();
  ComparisonJob* job = job_;
  job_ = nullptr;
  job->deleteLater();
  if (job->code() != 0) {
    const QByteArray path = job->path(job->failedSide());
    clear();
    emit failed(job->code(), path);
    return;
  }
  arriving_ = job->takeResult();
  presentLater();
}

void CompareView::present() {
  scriptButton_->setEnabled(comparison_->tryScript.length() > 0);
  setBusyCursor(false);

  a_.title->setFullText(QStringLiteral("A: %1 (%2 statements)")
                       .arg(QFileInfo(QString::fromLocal8Bit(pathA_)).fileName())
                       .arg(comparison_->a.statementCount));
  b_.title->setFullText(QStringLiteral("B: %1 (%2 statements)")
                       .arg(QFileInfo(QString::fromLocal8Bit(pathB_)).fileName())
                       .arg(comparison_->b.statementCount));
  summary_->setFullText(summaryText());
  for (Side* side : {&a_, &b_}) {
    const long lines = side->editor->SendScintilla(Sci::SCI_GETLINECOUNT);
    side->markedBlocks.assign(static_cast<size_t>(lines / kMarkBlockLines + 1), 0);
  }
  model_->setList(&comparison_->differences);
  const int width = std::max(200, list_->viewport()->width());
  list_->setColumnWidth(DifferenceListModel::kWhatColumn, width * 2 / 5);
  list_->setColumnWidth(DifferenceListModel::kAColumn, width * 3 / 10);
  int first = -1;
  for (int row = 0; row < model_->rowCount(); ++row) {
    if (model_->isHeading(row)) {
      list_->setFirstColumnSpanned(row, QModelIndex(), true);
    } else if (first < 0) {
      first = row;
    }
  }
  const TraceComparison* c = &comparison_->comparison;
  scrolling_->setMaps([c](int32_t top) { return alignedTopInB(*c, top); },
                      [c](int32_t top) { return alignedTopInA(*c, top); });
  if (first >= 0) chooseDifference(first);
  // The list takes the keys, unless the reader went into an editor meanwhile.
  if (!a_.editor->hasFocus() && !b_.editor->hasFocus()) list_->setFocus(Qt::OtherFocusReason);
  emit shown();
}

QString CompareView::summaryText() const {
  const TraceComparison& c = comparison_->comparison;
  if (!c.differs()) return QStringLiteral("No differences (addresses, time stamps, heap figures and elapsed times left out).");
  int pairs = 0;
  int alone = 0;
  for (const StatementPair& p : c.pairs) (p.a != kNoFact && p.b != kNoFact ? pairs : alone) += 1;
  int facts = 0;
  for (const DifferenceRow& r : comparison_->differences.rows) {
    facts += r.kind != kDifferenceHeading && r.kind != kDifferenceStatement && r.kind != kDifferenceText &&
             r.kind != kDifferenceFirstDivergence;
  }
  auto counted = [](int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
  };
  QStringList parts;
  parts << counted(pairs, "pair of statements", "pairs of statements");
  if (alone > 0) parts << counted(alone, "statement in one trace only", "statements in one trace only");
  parts << counted(facts, "differing fact", "differing facts");
  parts << counted(c.hunks.count(), "run of differing lines", "runs of differing lines");
  return parts.join(QStringLiteral(" · "));
}

TraceEditor* CompareView::searchedEditor() const { return lastEditor_ ? lastEditor_.data() : a_.editor; }

void CompareView::find() {
  if (!comparison_) return;
  TraceEditor* editor = searchedEditor();
  findBar_->showFindBar(editor, proposedFindText(editor));
}

void CompareView::findNext() {
  if (!comparison_) return;
  findBar_->targetEditor = searchedEditor();
  findBar_->runSearch(0);
}

void CompareView::findPrevious() {
  if (!comparison_) return;
  findBar_->targetEditor = searchedEditor();
  findBar_->runSearch(SearchBackward);
}

void CompareView::goToLine(int32_t line) {
  if (!comparison_) return;
  TraceEditor* editor = searchedEditor();
  const long lines = editor->SendScintilla(Sci::SCI_GETLINECOUNT);
  const long target = std::clamp<long>(line, 1, std::max(1L, lines)) - 1;
  editor->SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, editor->SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, std::max(0L, target - 1)));
  editor->SendScintilla(Sci::SCI_GOTOLINE, static_cast<unsigned long>(target));
  editor->setFocus(Qt::OtherFocusReason);
}

void CompareView::chooseDifference(int row) {
  list_->setCurrentIndex(model_->index(row, DifferenceListModel::kWhatColumn));
}

void CompareView::showDifference(int row) {
  const DifferenceRow* r = model_->rowAt(row);
  if (!comparison_ || !r || r->kind == kDifferenceHeading) return;
  const TraceComparison& c = comparison_->comparison;
  // A side without a place of its own shows the line aligned with the other's.
  const int32_t aLine = r->aLine > 0 ? r->aLine : alignedLineInA(c, r->bLine);
  const int32_t bLine = r->bLine > 0 ? r->bLine : alignedLineInB(c, r->aLine);
  scrolling_->placeBoth([&] {
    placeChosen(a_, aLine, r->aLine > 0 ? r->aCount : 0);
    placeChosen(b_, bLine, r->bLine > 0 ? r->bCount : 0);
  });
}

