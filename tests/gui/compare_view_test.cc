// "Compare with…" as a user drives it: Ctrl+D with a chosen second trace
// shows both traces and their differences; choosing a difference places
// both editors; exactly the differing lines are marked; scrolling one
// editor moves the other to the aligned line; closing brings the frame
// back as it was; an unreadable second trace gives Open's message.
#include <QCheckBox>
#include <QClipboard>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <set>

#include "compare/file_comparison.h"
#include "compare/view_alignment.h"
#include "gui/compare_view.h"
#include "gui/difference_list_model.h"
#include "gui/elided_label.h"
#include "gui/find_bar.h"
#include "gui/multi_line_tree.h"
#include "gui/trace_editor.h"
#include "gui/trace_frame.h"
#include "gui/trace_lexer.h"
#include "tests/gui/window_test_support.h"

namespace {

using Sci = QsciScintillaBase;

// B's changes to the two-statement sample, besides other noise everywhere.
constexpr int kChangedLine = 137;   // «cpu_count = 8» becomes 16
constexpr int kInsertedAfter = 400;  // B has one line more after this one
constexpr int kNoiseOnlyLine = 24;   // «Registered qb: SEL$1 0x…»: only its address differs

void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* focused = QApplication::focusWidget();
  QVERIFY(focused != nullptr);
  QTest::keyClick(focused, static_cast<Qt::Key>(key), modifiers);
}

// The sample with every address, time stamp and heap figure changed.
QByteArray withOtherNoise(QByteArray text) {
  QString s = QString::fromLatin1(text);
  s.replace(QRegularExpression("(^|[^0-9A-Za-z_])0x[0-9a-fA-F]+"), "\\10xbeef42");
  s.replace(QRegularExpression("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d+[+-]\\d\\d:\\d\\d"),
            "2030-12-31T23:59:58.000042+05:00");
  s.replace(QRegularExpression("(in-use|alloc)=\\d+"), "\\1=777");
  s.replace(QRegularExpression("pid: \\d+"), "pid: 31337");
  return s.toLatin1();
}

QByteArray changedCopy() {
  QList<QByteArray> lines = withOtherNoise(readFile(kTwoStatements)).split('\n');
  lines[kChangedLine - 1].replace("= 8", "= 16");
  lines.insert(kInsertedAfter, "a line only B has");
  return lines.join('\n');
}

int32_t topLine(QsciScintilla* editor) {
  return static_cast<int32_t>(send(editor, Sci::SCI_DOCLINEFROMVISIBLE, send(editor, Sci::SCI_GETFIRSTVISIBLELINE)));
}

void setTop(QsciScintilla* editor, int32_t line) { send(editor, Sci::SCI_SETFIRSTVISIBLELINE, line); }

int32_t caretLine(QsciScintilla* editor) {
  return static_cast<int32_t>(send(editor, Sci::SCI_LINEFROMPOSITION, send(editor, Sci::SCI_GETCURRENTPOS)));
}

// 1-based lines of `editor` that carry `marker`.
std::set<int32_t> markedLines(QsciScintilla* editor, int marker) {
  std::set<int32_t> lines;
  for (long line = send(editor, Sci::SCI_MARKERNEXT, 0, 1L << marker); line >= 0;
       line = send(editor, Sci::SCI_MARKERNEXT, static_cast<unsigned long>(line + 1), 1L << marker)) {
    lines.insert(static_cast<int32_t>(line + 1));
  }
  return lines;
}

// A shown window on the sample, B written beside it, and the file the
// chooser gives (B unless a test says otherwise).
struct Comparing {
  QTemporaryDir dir;
  QString pathB = dir.filePath("b.trc");
  QString chosen = pathB;
  QString folderAsked;
  std::unique_ptr<TForm1> window;
  // A is the sample, or `a` written beside B.
  explicit Comparing(const QByteArray& b = changedCopy(), const QByteArray& a = QByteArray()) {
    writeFile(pathB, b);
    std::string pathA = kTwoStatements;
    if (!a.isEmpty()) {
      writeFile(dir.filePath("a.trc"), a);
      pathA = dir.filePath("a.trc").toStdString();
    }
    window = start(dir, {pathA});
    window->setCompareFileChooser([this](QWidget*, const QString& folder) {
      folderAsked = folder;
      return chosen;
    });
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) window.reset();
  }
  CompareView* view() const { return window->compareView(); }
  QsciScintilla* a() const { return view()->editorA(); }
  QsciScintilla* b() const { return view()->editorB(); }
  // Ctrl+D from the focus, and the comparison shown.
  bool open() {
    window->frame()->editor()->setFocus();
    press(Qt::Key_D, Qt::ControlModifier);
    return QTest::qWaitFor([this] { return view()->comparison() != nullptr && !view()->busy(); }, 10000);
  }
};

}  // namespace

class CompareViewTest : public QObject {
  Q_OBJECT

 private slots:
  // The differing parameter as one line to try in a session, put on the
  // clipboard by a click; nothing to copy once the comparison is closed.
  void copyTryScriptPutsTheScriptOnTheClipboard() {
    Comparing c;
    QVERIFY(c.window);
    QVERIFY(!c.view()->scriptButton()->isEnabled());
    QVERIFY(c.open());
    QVERIFY(c.view()->scriptButton()->isEnabled());
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(c.view()->scriptButton(), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString("alter session set \"cpu_count\" = 16 /* as a hint: OPT_PARAM('cpu_count' 16) */;\n"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!c.view()->scriptButton()->isEnabled());
  }

  // A card that went another way comes first in the list, chosen at once,
  // each editor's caret on its side's card line.
  void theFirstDivergenceLeadsTheListAndIsPlacedInBoth() {
    const QByteArray a = readFile(ZAZOZAV_SAMPLES_DIR "/hr_join_search.trc");
    QByteArray b = a;
    const qsizetype at = b.lastIndexOf("  Rounded: 1  Computed: 0.42");
    QVERIFY(at > 0);
    b.replace(at, 28, "  Rounded: 5  Computed: 4.60");
    Comparing c(b, a);
    QVERIFY(c.window);
    QVERIFY(c.open());
    DifferenceListModel* model = c.view()->differenceModel();
    QCOMPARE(model->rowAt(0)->kind, int32_t(kDifferenceHeading));
    QVERIFY(model->index(0, 0).data().toString().startsWith("First divergence: A 1"));
    QCOMPARE(model->rowAt(1)->kind, int32_t(kDifferenceFirstDivergence));
    QCOMPARE(model->index(1, 0).data().toString(), QString("query block SEL$1, LOCATIONS[L]: card_rounded"));
    QCOMPARE(c.view()->differenceList()->currentIndex().row(), 1);
    const int32_t cardLine = model->rowAt(1)->aLine;
    for (QsciScintilla* editor : {c.a(), c.b()}) {
      const long caret = send(editor, Sci::SCI_LINEFROMPOSITION, send(editor, Sci::SCI_GETCURRENTPOS)) + 1;
      QCOMPARE(caret, long(cardLine));
      QVERIFY(editor->text(static_cast<int>(caret - 1)).contains("Card: Original: 23.000000"));
    }
  }

  void ctrlDShowsBothTracesAndTheirDifferences() {
    Comparing c;
    QVERIFY(c.window);
    QVERIFY(c.window->compareAction()->isEnabled());
    QVERIFY(c.open());
    QVERIFY(c.window->comparisonShown());
    QVERIFY(c.view()->isVisible());
    QVERIFY(!c.window->frame()->isVisible());
    QCOMPARE(c.folderAsked, QFileInfo(kTwoStatements).absolutePath());
    // Each editor holds its file and the appended line end, read only.
    QCOMPARE(send(c.a(), Sci::SCI_GETLENGTH), QFileInfo(kTwoStatements).size() + 2);
    QCOMPARE(send(c.b(), Sci::SCI_GETLENGTH), QFileInfo(c.pathB).size() + 2);
    QVERIFY(c.a()->isReadOnly() && c.b()->isReadOnly());
    // The differences: a heading for the pair, the parameter, a heading
    // for the lines and the two runs; the parameter is chosen at once.
    DifferenceListModel* model = c.view()->differenceModel();
    QCOMPARE(model->rowCount(), 5);
    QVERIFY(model->isHeading(0) && model->isHeading(2));
    QCOMPARE(model->index(1, DifferenceListModel::kWhatColumn).data().toString(), QString("parameter cpu_count"));
    QCOMPARE(model->index(1, DifferenceListModel::kAColumn).data().toString(), QString("8 (line 137)"));
    QCOMPARE(model->index(1, DifferenceListModel::kBColumn).data().toString(), QString("16 (line 137)"));
    QCOMPARE(model->index(4, DifferenceListModel::kBColumn).data().toString(), QString("line 401"));
    QCOMPARE(c.view()->differenceList()->currentIndex().row(), 1);
    QCOMPARE(QApplication::focusWidget(), c.view()->differenceList());
    QVERIFY(c.view()->summary()->fullText().contains("2 runs of differing lines"));
    // The font steps reach both editors.
    const qreal size = c.view()->lexerA()->font(0).pointSizeF();
    QCOMPARE(size, c.window->frame()->lexer()->font(0).pointSizeF());
    press(Qt::Key_Equal, Qt::ControlModifier);
    QVERIFY(c.view()->lexerA()->font(0).pointSizeF() > size);
    QCOMPARE(c.view()->lexerB()->font(0).pointSizeF(), c.window->frame()->lexer()->font(0).pointSizeF());
  }

  void aCopyWithOtherNoiseHasNoDifferences() {
    Comparing c(withOtherNoise(readFile(kTwoStatements)));
    QVERIFY(c.window && c.open());
    QCOMPARE(c.view()->differenceModel()->rowCount(), 0);
    QVERIFY(c.view()->summary()->fullText().startsWith("No differences"));
    QVERIFY(markedLines(c.a(), CompareView::kDifferingLineMarker).empty());
    QVERIFY(markedLines(c.b(), CompareView::kDifferingLineMarker).empty());
    // The views still go together.
    setTop(c.a(), 300);
    QTRY_COMPARE(topLine(c.b()), 300);
  }

  void markedLinesAreExactlyTheDifferingOnes() {
    Comparing c;
    QVERIFY(c.window && c.open());
    const TraceComparison& comparison = c.view()->comparison()->comparison;
    std::set<int32_t> inA;
    std::set<int32_t> inB;
    for (const TextHunk& h : comparison.hunks) {
      for (int32_t s = h.aSeq; s < h.aSeq + h.aSeqCount; ++s) inA.insert(comparison.aLines.lines[s].line);
      for (int32_t s = h.bSeq; s < h.bSeq + h.bSeqCount; ++s) inB.insert(comparison.bLines.lines[s].line);
    }
    QCOMPARE(inA, (std::set<int32_t>{kChangedLine}));
    QCOMPARE(inB, (std::set<int32_t>{kChangedLine, kInsertedAfter + 1}));
    for (int marker : {CompareView::kDifferingLineMarker, CompareView::kDifferingBarMarker}) {
      QCOMPARE(markedLines(c.a(), marker), inA);
      QCOMPARE(markedLines(c.b(), marker), inB);
    }
    // The line that differs in its address alone is not marked.
    QVERIFY(readFile(kTwoStatements).split('\n')[kNoiseOnlyLine - 1] !=
            readFile(c.pathB).split('\n')[kNoiseOnlyLine - 1]);
    QVERIFY(!(send(c.b(), Sci::SCI_MARKERGET, kNoiseOnlyLine - 1) & (1L << CompareView::kDifferingLineMarker)));
  }

  // A noise line inside a run of differing lines has a colour of its own,
  // which the legend names; the lines that differ keep theirs.
  void noiseInsideARunIsToldApart() {
    QList<QByteArray> lines = readFile(kTwoStatements).split('\n');
    lines[kChangedLine - 1].replace("= 8", "= 16");
    lines[kChangedLine].append(" changed");
    lines.insert(kChangedLine, "*** 2021-03-15T09:41:07.118204+01:00");
    Comparing c(lines.join('\n'));
    QVERIFY(c.window && c.open());
    QCOMPARE(markedLines(c.b(), CompareView::kDifferingLineMarker),
             (std::set<int32_t>{kChangedLine, kChangedLine + 2}));
    QCOMPARE(markedLines(c.b(), CompareView::kNoiseLineMarker), (std::set<int32_t>{kChangedLine + 1}));
    QCOMPARE(markedLines(c.a(), CompareView::kNoiseLineMarker), std::set<int32_t>{});
    QVERIFY(c.view()->legend()->isVisible());
    QVERIFY(c.view()->legend()->text().contains("left out (time stamps, addresses)"));
  }

  void markersFollowTheViews() {
    // Four copies of each: B's lines differ in every copy, past the first
    // block of lines the views mark.
    const QByteArray a = readFile(kTwoStatements);
    const QByteArray b = changedCopy();
    Comparing c(b + b + b + b, a + a + a + a);
    QVERIFY(c.window && c.open());
    const TraceComparison& comparison = c.view()->comparison()->comparison;
    auto differing = [&](bool inA, int32_t first, int32_t last) {
      PackedRecords<int32_t> lines;
      differingLines(comparison, inA, first, last, lines);
      return std::set<int32_t>(lines.begin(), lines.end());
    };
    const int32_t block = CompareView::kMarkBlockLines;
    const int marker = CompareView::kDifferingLineMarker;
    auto blocks02 = [&](bool inA) {
      std::set<int32_t> lines = differing(inA, 1, block);
      lines.merge(differing(inA, 2 * block + 1, 3 * block));
      return lines;
    };
    QCOMPARE(markedLines(c.b(), marker), differing(false, 1, block));
    QVERIFY(!differing(false, 2 * block + 1, 3 * block).empty());
    QVERIFY(!differing(false, block + 1, 2 * block).empty());
    // The views go to the third block: it is marked, the second is not.
    setTop(c.a(), 2 * block + 300);
    QTRY_COMPARE(markedLines(c.b(), marker), blocks02(false));
    QCOMPARE(markedLines(c.a(), marker), blocks02(true));
  }

  void closingWhileAtWorkDropsTheWork() {
    Comparing c;
    QVERIFY(c.window);
    c.window->frame()->editor()->setFocus();
    press(Qt::Key_D, Qt::ControlModifier);
    QVERIFY(c.view()->busy());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    press(Qt::Key_Escape);
    QVERIFY(!c.window->comparisonShown());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QTest::qWait(300);  // the dropped work ends on its own
    QVERIFY(!c.window->comparisonShown());
    QVERIFY(c.view()->comparison() == nullptr);
    QCOMPARE(send(c.b(), Sci::SCI_GETLENGTH), 0L);
    // And a comparison after it is whole.
    QVERIFY(c.open());
    QCOMPARE(send(c.b(), Sci::SCI_GETLENGTH), QFileInfo(c.pathB).size() + 2);
  }

  void choosingADifferenceShowsItInBoth() {
    Comparing c;
    QVERIFY(c.window && c.open());
    struct Expected {
      int row;
      int32_t aLine;  // 1-based, on the second row of the view
      int32_t bLine;
    };
    // The parameter, then the runs of lines; the added line's run has no
    // lines of A and shows the aligned place there.
    const Expected cases[] = {{3, kChangedLine, kChangedLine}, {4, kInsertedAfter + 1, kInsertedAfter + 1},
                              {1, kChangedLine, kChangedLine}};
    for (const Expected& e : cases) {
      c.view()->chooseDifference(e.row);
      QCOMPARE(topLine(c.a()), e.aLine - 2);
      QCOMPARE(topLine(c.b()), e.bLine - 2);
      QCOMPARE(caretLine(c.a()), e.aLine - 1);
      QCOMPARE(caretLine(c.b()), e.bLine - 1);
    }
    // The chosen run shades its lines in B only, and its differing line
    // takes the chosen marker.
    c.view()->chooseDifference(4);
    QCOMPARE(c.view()->lexerA()->highlightStart(), -1);
    QCOMPARE(c.view()->lexerB()->highlightStart(), kInsertedAfter);
    QCOMPARE(c.view()->lexerB()->highlightEnd(), kInsertedAfter + 1);
    QCOMPARE(markedLines(c.b(), CompareView::kChosenLineMarker), (std::set<int32_t>{kInsertedAfter + 1}));
    QVERIFY(markedLines(c.a(), CompareView::kChosenLineMarker).empty());
    // The arrow keys go from difference to difference, past the headings.
    c.view()->chooseDifference(1);
    press(Qt::Key_Down);
    QCOMPARE(c.view()->differenceList()->currentIndex().row(), 3);
    // A click on the current row after scrolling away shows it again.
    setTop(c.a(), 600);
    QTreeView* list = c.view()->differenceList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->currentIndex()).center());
    QCOMPARE(topLine(c.a()), kChangedLine - 2);
  }

  void scrollingOneEditorKeepsTheOtherAligned() {
    Comparing c;
    QVERIFY(c.window && c.open());
    struct Case {
      bool scrollA;
      int32_t top;  // 0-based, of the editor scrolled
      int32_t other;
    };
    const Case cases[] = {
        {true, 500, 501},  // below B's extra line
        {true, 100, 100},
        {false, 700, 699},
        {false, kInsertedAfter, kInsertedAfter},  // B's extra line at the top: A's line after it
        {false, 10, 10},
    };
    for (const Case& k : cases) {
      setTop(k.scrollA ? c.a() : c.b(), k.top);
      QTRY_COMPARE(topLine(k.scrollA ? c.b() : c.a()), k.other);
      QTest::qWait(50);  // the follower's notice of its move changes nothing
      QCOMPARE(topLine(k.scrollA ? c.a() : c.b()), k.top);
      QCOMPARE(topLine(k.scrollA ? c.b() : c.a()), k.other);
    }
    // Keys in an editor move the view as the reader would, the other follows.
    setTop(c.a(), 450);
    c.a()->setFocus();
    send(c.a(), Sci::SCI_GOTOLINE, 450);
    press(Qt::Key_PageDown);
    QVERIFY(topLine(c.a()) > 450);
    QTRY_COMPARE(topLine(c.b()), topLine(c.a()) + 1);
    // Sideways too.
    send(c.b(), Sci::SCI_SETXOFFSET, 40);
    QTRY_COMPARE(send(c.a(), Sci::SCI_GETXOFFSET), 40L);
  }

  // Closing brings the frame back as it was, but for its editor's place:
  // where the reader had come to in A.
  void closingBringsBackTheFrameAsItWas_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Escape") << "Escape";
    QTest::newRow("Ctrl+D") << "Ctrl+D";
    QTest::newRow("close button") << "button";
  }
  void closingBringsBackTheFrameAsItWas() {
    QFETCH(QString, how);
    Comparing c;
    QVERIFY(c.window);
    TFMarrow* frame = c.window->frame();
    auto* dock = new QDockWidget("pane", c.window.get());
    dock->setWidget(new QLabel("about the frame's trace"));
    c.window->addDockWidget(Qt::LeftDockWidgetArea, dock);
    frame->tree()->chooseNode(3);
    frame->find();
    setTop(frame->editor(), 250);
    const TFMarrow::ViewPlace before = frame->viewPlace();
    QVERIFY(c.open());
    QVERIFY(!c.window->wrapBox()->isEnabled());
    QVERIFY(!dock->widget()->isEnabled());
    // The reader goes on in A, below a final query that the frame shows
    // formatted: the frame takes up that place in the file's lines.
    QVERIFY(c.window->formatQueryBox()->isChecked());
    setTop(c.a(), 699);
    send(c.a(), Sci::SCI_SETEMPTYSELECTION, send(c.a(), Sci::SCI_POSITIONFROMLINE, 705) + 4);
    const QString caretText = c.a()->text(705);
    if (how == "button") {
      QTest::mouseClick(c.view()->closeButton(), Qt::LeftButton);
    } else {
      press(how == "Escape" ? Qt::Key_Escape : Qt::Key_D, how == "Escape" ? Qt::NoModifier : Qt::ControlModifier);
    }
    QVERIFY(!c.window->comparisonShown());
    QVERIFY(frame->isVisible());
    QVERIFY(c.window->wrapBox()->isEnabled());
    QVERIFY(dock->widget()->isEnabled());
    QVERIFY(frame->findBar()->isVisible());
    const TFMarrow::ViewPlace after = frame->viewPlace();
    QVERIFY(after.topLine > 699);
    QCOMPARE(frame->fileLineOf(after.topLine + 1), 700);
    QCOMPARE(frame->editor()->text(after.caretLine), caretText);
    QCOMPARE(after.caretOffset, 4);
    QCOMPARE(after.chosenNode, before.chosenNode);
    QVERIFY(after.chosenNode >= 0);
    // Both traces are gone from the comparison's editors, once the window
    // has shown the trace again.
    QVERIFY(c.view()->comparison() == nullptr);
    QTRY_COMPARE(send(c.a(), Sci::SCI_GETLENGTH), 0L);
    QTRY_COMPARE(send(c.b(), Sci::SCI_GETLENGTH), 0L);
  }

  void anUnreadableSecondTraceGivesOpensMessage_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("directory") << "directory";
    QTest::newRow("too large") << "large";
  }
  void anUnreadableSecondTraceGivesOpensMessage() {
    QFETCH(QString, kind);
    Comparing c;
    QVERIFY(c.window);
    QString expected;
    if (kind == "missing") {
      c.chosen = c.dir.filePath("gone.trc");
      expected = "Cannot open file " + c.chosen;
    } else if (kind == "directory") {
      c.chosen = c.dir.path();
      expected = "Cannot open file " + c.chosen;
    } else {
      c.chosen = c.dir.filePath("large.trc");
      QFile large(c.chosen);
      QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(67108864 + 1));  // sparse
      expected = "File " + c.chosen + " is too large";
    }
    QString title;
    QString text;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        title = box->windowTitle();
        text = box->text();
        box->accept();
      }
    });
    poll.start(10);
    c.window->frame()->editor()->setFocus();
    press(Qt::Key_D, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 10000);
    QCOMPARE(title, QString("Information"));
    QCOMPARE(text, expected);
    QVERIFY(!c.window->comparisonShown());
    QVERIFY(c.window->frame()->isVisible());
  }
};

ZAZOZAV_WINDOW_TEST_MAIN(CompareViewTest)
#include "compare_view_test.moc"
