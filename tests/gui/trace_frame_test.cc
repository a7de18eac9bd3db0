// The trace frame: loading into the editor and the outline, choosing
// nodes, the options and their bits, font steps and the splitter.
#include <Qsci/qsciscintilla.h>

#include <QScrollArea>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>

#include <cstring>
#include <string>

#include "app/trace_file.h"
#include "gui/multi_line_tree.h"
#include "gui/trace_document.h"
#include "gui/trace_frame.h"
#include "gui/trace_lexer.h"

namespace {

constexpr const char* kTwoStatements = ZAZOZAV_SAMPLES_DIR "/hr_two_statements.trc";
constexpr const char* kCp1252 = ZAZOZAV_SAMPLES_DIR "/cp1252_no_final_newline.trc";

long send(QsciScintilla* editor, unsigned int message, unsigned long w = 0, long l = 0) {
  return editor->SendScintilla(message, w, l);
}

// A frame with applied settings, shown at a fixed size so the editor's
// row count is known. It sits in a scroll area so that it may be taller
// than the screen.
struct FrameFixture {
  explicit FrameFixture(int height = 600, int32_t options = 6) {
    applySettingDefaults(settings);
    settings.Options = options;
    frame = new TFMarrow;
    frame->resize(1000, height);
    frame->applySettings(settings, 96, QFont());
    area.setWidget(frame);
    area.resize(1020, 620);
    area.show();
    exposed = QTest::qWaitForWindowExposed(&area);
  }
  int load(const char* path) {
    SVString text;
    if (loadFromFile(text, path) != 0) return -1;
    return frame->loadTrace(text);
  }
  int loadBytes(const std::string& bytes) {
    SVString text;
    text.append(bytes.data(), static_cast<int64_t>(bytes.size()));
    return frame->loadTrace(text);
  }
  QsciScintilla* editor() const { return frame->editor(); }
  // The outline node whose first caption line is `caption`, from `from`.
  int32_t nodeWithCaption(const char* caption, int32_t from = 0) const {
    for (int32_t i = from; i < frame->nodes().count(); ++i) {
      const char* c = frame->nodes().caption(i, 1);
      if (c != nullptr && std::strcmp(c, caption) == 0) return i;
    }
    return -1;
  }
  // Chooses the tree item that carries outline node `node`.
  void choose(int32_t node) {
    MultiLineTree0* tree = frame->tree();
    for (int32_t item = 0; item < tree->nodeCount(); ++item) {
      if (tree->item(item).userIndex == node) {
        tree->chooseNode(item);
        return;
      }
    }
    QFAIL("no tree item for the node");
  }
  int32_t lineOf(int32_t node) const {
    return frame->keyPoints()[frame->nodes()[node].keyPointIndex].line;
  }

  ViewerSettings settings;
  QScrollArea area;
  TFMarrow* frame;  // owned by the area
  bool exposed = false;
};

}  // namespace

class TraceFrameTest : public QObject {
  Q_OBJECT

 private slots:
  // Each growth of memory a load or a switch of the final queries makes is
  // failed in turn: the frame then has its whole outline, or is emptied
  // (the load failing with LoadNoMemory), never an outline short of nodes.
  void memoryRunningOutEmptiesTheFrame() {
    FrameFixture f;
    const char* sample = ZAZOZAV_SAMPLES_DIR "/hr_two_statements.trc";
    QCOMPARE(f.load(sample), 0);
    const int32_t nodes = f.frame->nodes().count();
    QVERIFY(nodes > 0);
    auto emptied = [&f] {
      QCoreApplication::processEvents();
      return f.frame->nodes().count() == 0 && f.frame->tree()->nodeCount() == 0 &&
             send(f.editor(), QsciScintillaBase::SCI_GETLENGTH) == 2;
    };
    for (bool switching : {false, true}) {
      for (int64_t n = 1;; ++n) {
        QCOMPARE(f.load(sample), 0);
        SVString text;
        QCOMPARE(loadFromFile(text, sample), 0);
        failGrowthAt(n);
        int result = 0;
        if (switching) {
          f.frame->setFormatFinalQuery(false);
        } else {
          result = f.frame->loadTrace(text);
        }
        const int64_t growths = growthsCounted();
        failGrowthAt(0);
        if (result == 0 && f.frame->nodes().count() == nodes) {
          f.frame->setFormatFinalQuery(true);
          if (growths < n) break;  // no growth was left to fail
          continue;
        }
        QVERIFY2(emptied(), qPrintable(QStringLiteral("growth %1, switching %2").arg(n).arg(switching)));
        if (!switching) QCOMPARE(result, static_cast<int>(LoadNoMemory));
        f.frame->setFormatFinalQuery(true);
      }
    }
  }

  // The editor cannot make room for the text, at once or in the document
  // built for the whole: the frame lets the trace go and says so, instead
  // of the program ending on the editor's exception.
  void editorWithoutRoomEmptiesTheFrame_data() {
    QTest::addColumn<qint64>("firstSlice");
    QTest::newRow("the whole text at once") << qint64(INT64_MAX);
    QTest::newRow("the document built for the whole") << qint64(300);
  }
  void editorWithoutRoomEmptiesTheFrame() {
    QFETCH(qint64, firstSlice);
    FrameFixture f;
    f.frame->setFirstSlice(firstSlice);
    QSignalSpy dropped(f.frame, &TFMarrow::traceDroppedForMemory);
    // No room for the trace; room for the empty text that replaces it.
    TraceDocumentBuild::roomHook = [](int64_t room) { return room < 100; };
    const int result = f.load(ZAZOZAV_SAMPLES_DIR "/hr_two_statements.trc");
    QCOMPARE(result, 0);
    QVERIFY(dropped.wait(2000));
    TraceDocumentBuild::roomHook = nullptr;
    QCOMPARE(dropped.count(), 1);
    QCOMPARE(f.frame->nodes().count(), 0);
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETLENGTH), 2L);
  }

  void defaultsAtNinetySixDpi() {
    FrameFixture f;
    QCOMPARE(f.frame->tree()->width(), 250);
    QCOMPARE(f.frame->editorFontHeight(), 13);
    QVERIFY(f.editor()->isReadOnly());
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETWRAPMODE), 0L);
    // The editor's cell is 13 pixels high whatever the screen's dpi.
    const double pixels = f.frame->lexer()->font(0).pointSizeF() * f.editor()->logicalDpiY() / 72.0;
    QVERIFY(qAbs(pixels - 13.0) < 0.01);
  }

  void storedSplitterWidthSizesTheTree() {
    ViewerSettings settings;
    applySettingDefaults(settings);
    settings.SplitterPos = 300;
    TFMarrow frame;
    frame.resize(1000, 600);
    frame.applySettings(settings, 96, QFont());
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QCOMPARE(frame.tree()->width(), 300);
  }

  void outlineOpensOnTheLastStatement() {
    FrameFixture f;
    QCOMPARE(f.load(kTwoStatements), 0);
    MultiLineTree0* tree = f.frame->tree();
    const int32_t first = tree->firstTopLevel();
    const int32_t last = tree->nextSibling(first);
    QVERIFY(first != kNoTreeNode && last != kNoTreeNode);
    QCOMPARE(tree->nextSibling(last), kNoTreeNode);
    QVERIFY(!tree->isNodeExpanded(first));
    QVERIFY(tree->isNodeExpanded(last));
    // One level only: the groups under the last root stay closed.
    const QModelIndex group = tree->model()->index(0, 0, tree->indexOf(last));
    QVERIFY(tree->model()->rowCount(group) > 0);
    QVERIFY(!tree->isExpanded(group));
    // Roots carry their sql_id line indented under the caption.
    QCOMPARE(std::string(tree->item(first).lines[0].text), std::string("#10#Marrow trace"));
    QCOMPARE(tree->item(first).lines[1].indent, 10);
    // Shown items are measured once laid out; hidden ones wait.
    QCoreApplication::processEvents();
    tree->viewport()->repaint();
    QVERIFY(tree->isMeasured(first));
    QVERIFY(tree->isMeasured(last));
    const QModelIndex hidden = tree->model()->index(0, 0, tree->model()->index(0, 0, tree->indexOf(first)));
    QVERIFY(!tree->isMeasured(tree->nodeOf(hidden)));
    QVERIFY(tree->nodeHeight(first) > tree->nodeHeight(tree->nodeOf(group)));
  }

  void choosingANodeScrollsAndHighlights_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<QString>("endCaption");  // empty: runs to the end
    QTest::newRow("first root") << "#10#Marrow trace" << 0 << "#10#Marrow trace";
    QTest::newRow("aborted join order") << "Join Order [2]: #07#- aborted" << 0
                                        << "Join Order [3]: #04#- best";
    QTest::newRow("last node") << "Optimizer State" << 1 << "";
  }
  void choosingANodeScrollsAndHighlights() {
    QFETCH(QString, caption);
    QFETCH(int, occurrence);
    QFETCH(QString, endCaption);
    FrameFixture f;
    QCOMPARE(f.load(kTwoStatements), 0);
    int32_t node = f.nodeWithCaption(caption.toUtf8().constData());
    for (int i = 0; i < occurrence; ++i) node = f.nodeWithCaption(caption.toUtf8().constData(), node + 1);
    QVERIFY(node >= 0);
    const int32_t start = f.lineOf(node);
    const int32_t end = endCaption.isEmpty()
                            ? TFMarrow::kHighlightToEnd
                            : f.lineOf(f.nodeWithCaption(endCaption.toUtf8().constData(), node + 1));
    f.choose(node);
    QCOMPARE(f.frame->highlightStart(), start);
    QCOMPARE(f.frame->highlightEnd(), end);
    QCOMPARE(f.frame->lexer()->highlightStart(), start);
    QCOMPARE(f.frame->lexer()->highlightEnd(), end);
    // The window shows fewer than 201 rows: the key point's line becomes
    // the second visible row.
    QVERIFY(send(f.editor(), QsciScintillaBase::SCI_LINESONSCREEN) < 201);
    QCOMPARE(f.frame->firstVisibleLine(), start - 1);
    // The marker itself is on that line.
    const QString line = f.editor()->text(start);
    QVERIFY2(!line.trimmed().isEmpty(), qPrintable(line));
  }

  void rangeAlreadyInViewKeepsTheView() {
    // 250 rows and more: the 201 lines from line 15 are all in view at the
    // top, so choosing the first root does not scroll.
    FrameFixture f(4800);
    QCOMPARE(f.load(kTwoStatements), 0);
    QVERIFY(send(f.editor(), QsciScintillaBase::SCI_LINESONSCREEN) >= 250);
    f.choose(0);
    QCOMPARE(f.frame->firstVisibleLine(), 0);
    // A key point whose 201 lines reach beyond the window scrolls.
    const int32_t node = f.nodeWithCaption("Explain Plan");
    f.choose(node);
    QCOMPARE(f.frame->firstVisibleLine(), f.lineOf(node) - 1);
  }

  void keyPointOnLineZeroShowsTheFirstRow() {
    FrameFixture f;
    // Registered query blocks open a root even without an entry line.
    QCOMPARE(f.loadBytes("Registered qb: SEL$1 0x1\nRegistered qb: SEL$2 0x2\n"), 0);
    QVERIFY(f.frame->nodes().count() > 0);
    send(f.editor(), QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, 1);
    f.choose(0);
    QCOMPARE(f.frame->highlightStart(), 0);
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETFIRSTVISIBLELINE), 0L);
  }

  void optionSettersSwitchTheEditorAndTheirBits() {
    FrameFixture f(600, 0);
    QCOMPARE(f.load(kTwoStatements), 0);
    f.frame->setWrap(true);
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETWRAPMODE), long(QsciScintillaBase::SC_WRAP_WORD));
    QCOMPARE(f.settings.Options, OptWrapText);
    f.frame->setReadOnly(true);
    QVERIFY(f.editor()->isReadOnly());
    QCOMPARE(f.settings.Options, OptWrapText | OptReadOnly);
    f.frame->setWrap(false);
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETWRAPMODE), 0L);
    f.frame->setReadOnly(false);
    QVERIFY(!f.editor()->isReadOnly());
    QCOMPARE(f.settings.Options, 0);
  }

  void finalQuerySwitchKeepsTheKeyPointAtTheTop() {
    FrameFixture f(600, OptReadOnly);  // final queries as in the trace
    QCOMPARE(f.load(kTwoStatements), 0);
    const QString unformatted = f.editor()->text();
    const int32_t node = f.nodeWithCaption("Explain Plan", f.nodeWithCaption("Explain Plan") + 1);
    f.choose(node);
    const int32_t kp = f.frame->nodes()[node].keyPointIndex;
    const QString marker = f.editor()->text(f.lineOf(node));
    const int32_t lineBefore = f.lineOf(node);

    f.frame->setFormatFinalQuery(true);
    QVERIFY(f.lineOf(node) > lineBefore);  // the final queries above it grew
    QCOMPARE(f.settings.Options, OptReadOnly | OptFormatFinalQuery);
    QCOMPARE(f.frame->nodes()[node].keyPointIndex, kp);
    QCOMPARE(f.frame->firstVisibleLine(), f.lineOf(node) - 1);
    QCOMPARE(f.frame->highlightStart(), f.lineOf(node));
    QCOMPARE(f.frame->highlightEnd(), f.lineOf(f.nodeWithCaption("Optimizer State", node)));
    QCOMPARE(f.editor()->text(f.lineOf(node)), marker);

    f.frame->setFormatFinalQuery(false);
    QCOMPARE(f.editor()->text(), unformatted);
    QCOMPARE(f.frame->firstVisibleLine(), f.lineOf(node) - 1);
    QCOMPARE(f.settings.Options, OptReadOnly);
  }

  void highlightToTheEndSurvivesTheFinalQuerySwitch() {
    FrameFixture f;
    QCOMPARE(f.load(kTwoStatements), 0);
    f.choose(f.frame->nodes().count() - 1);
    QCOMPARE(f.frame->highlightEnd(), TFMarrow::kHighlightToEnd);
    f.frame->setFormatFinalQuery(false);
    QCOMPARE(f.frame->highlightEnd(), TFMarrow::kHighlightToEnd);
  }

  void finalQuerySwitchBeforeAnyLoadOnlySetsTheBit() {
    FrameFixture f;
    f.frame->setFormatFinalQuery(false);
    QCOMPARE(f.settings.Options, OptReadOnly);
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETLENGTH), 0L);
  }

  void fontStepsAndTheirStoredValues_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("storedAfter");
    QTest::newRow("default up") << -1 << 1 << 15 << 15;
    QTest::newRow("back to default") << 15 << -1 << 13 << -1;
    QTest::newRow("small up") << 10 << 1 << 11 << 11;
    QTest::newRow("floor") << 10 << -1 << 10 << 10;
    QTest::newRow("default down") << -1 << -1 << 12 << 12;
  }
  void fontStepsAndTheirStoredValues() {
    QFETCH(int, stored);
    QFETCH(int, direction);
    QFETCH(int, height);
    QFETCH(int, storedAfter);
    ViewerSettings settings;
    applySettingDefaults(settings);
    settings.FontSize = stored;
    TFMarrow frame;
    frame.applySettings(settings, 96, QFont());
    frame.stepFont(direction);
    QCOMPARE(frame.editorFontHeight(), height);
    QCOMPARE(settings.FontSize, storedAfter);
    const double pixels = frame.lexer()->font(0).pointSizeF() * frame.editor()->logicalDpiY() / 72.0;
    QVERIFY(qAbs(pixels - height) < 0.01);
  }

  void splitterMovesAreStored() {
    FrameFixture f;
    QSplitter* splitter = f.frame->splitter();
    QWidget* handle = splitter->handle(1);
    auto drag = [&](int dx) {
      const QPoint at(2, handle->height() / 2);
      QTest::mousePress(handle, Qt::LeftButton, {}, at);
      QTest::mouseMove(handle, at + QPoint(dx, 0));
      QTest::mouseRelease(handle, Qt::LeftButton, {}, at + QPoint(dx, 0));
    };
    drag(50);
    QCOMPARE(f.frame->tree()->width(), 300);
    QCOMPARE(f.settings.SplitterPos, 300);
    drag(-50);
    QCOMPARE(f.frame->tree()->width(), 250);
    QCOMPARE(f.settings.SplitterPos, NotSet);
  }

  void splitterBeforeSettingsStoresNothing() {
    TFMarrow frame;
    frame.resize(1000, 600);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QWidget* handle = frame.splitter()->handle(1);
    QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(2, 10));
    QTest::mouseMove(handle, QPoint(40, 10));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(40, 10));
    ViewerSettings settings;
    applySettingDefaults(settings);
    frame.applySettings(settings, 96, QFont());
    QCOMPARE(settings.SplitterPos, NotSet);
  }

  void textWithoutLineFeedGetsOne() {
    FrameFixture f;
    QCOMPARE(f.loadBytes("no line feed here"), 0);
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETLINECOUNT), 2L);
    QCOMPARE(f.frame->nodes().count(), 0);
    QCOMPARE(f.frame->tree()->nodeCount(), 0);
  }

  void bytesGoInUnchanged() {
    FrameFixture f(600, OptReadOnly);
    // A zero byte must not cut the text, and invalid UTF-8 is shown as
    // Windows-1252 with every byte one character.
    const std::string bytes("abc\0def\n\x93quoted\x94\n", 17);
    QCOMPARE(f.loadBytes(bytes), 0);
    QVERIFY(f.frame->singleByteMode());
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_COUNTCHARACTERS, 0, send(f.editor(), QsciScintillaBase::SCI_GETLENGTH)),
             long(bytes.size() + 2));
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETCHARAT, 4), 'd' + 0L);
    QCOMPARE(f.editor()->text(1), QString::fromUtf8("\u201cquoted\u201d\n"));

    QCOMPARE(f.loadBytes("caf\xc3\xa9\n"), 0);
    QVERIFY(!f.frame->singleByteMode());
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETCODEPAGE), long(QsciScintillaBase::SC_CP_UTF8));
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETLENGTH), 8L);
  }

  void windows1252SampleKeepsItsLinesAndOutline() {
    FrameFixture f(600, OptReadOnly);
    QCOMPARE(f.load(kCp1252), 0);
    QVERIFY(f.frame->singleByteMode());
    SVString raw;
    QCOMPARE(loadFromFile(raw, kCp1252), 0);
    // One character per byte, so a byte offset is a character offset.
    const long length = send(f.editor(), QsciScintillaBase::SCI_GETLENGTH);
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_COUNTCHARACTERS, 0, length), long(raw.length() + 2));
    for (const KeyPoint& kp : f.frame->keyPoints()) {
      const long position = send(f.editor(), QsciScintillaBase::SCI_POSITIONRELATIVE, 0, kp.pos);
      QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_LINEFROMPOSITION, position), long(kp.line));
    }
  }

  void reloadStylesLikeAFreshLoad() {
    // The second text goes in without change notices; its styles must be
    // those of a frame that never saw the first.
    auto styles = [](FrameFixture& f) {
      f.editor()->repaint();
      const long end = send(f.editor(), QsciScintillaBase::SCI_POSITIONFROMLINE, 30);  // shown lines
      QByteArray out;
      for (long pos = 0; pos < end; ++pos) out.append(char(send(f.editor(), QsciScintillaBase::SCI_GETSTYLEAT, pos)));
      return out;
    };
    FrameFixture reloaded;
    QCOMPARE(reloaded.load(ZAZOZAV_SAMPLES_DIR "/update_crlf.trc"), 0);
    styles(reloaded);
    QCOMPARE(reloaded.load(kTwoStatements), 0);
    FrameFixture fresh;
    QCOMPARE(fresh.load(kTwoStatements), 0);
    const QByteArray expected = styles(fresh);
    QVERIFY(expected.count(char(0)) < expected.size());  // something is styled
    const QByteArray got = styles(reloaded);
    int at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
    QVERIFY2(got == expected, qPrintable(QString("pos %1 got %2 expected %3 sizes %4 %5").arg(at).arg(int(at < got.size() ? got[at] : -1)).arg(int(at < expected.size() ? expected[at] : -1)).arg(got.size()).arg(expected.size())));
  }

  void tenMegabyteSingleLineOpensAndScrolls() {
    FrameFixture f;
    std::string line;
    const std::string chunk = "select a from b where c = 1 and d = 'x'; ";
    while (line.size() < 10 * 1000 * 1000) line += chunk;
    QCOMPARE(f.loadBytes(line), 0);
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETLENGTH), long(line.size() + 2));
    f.editor()->repaint();
    send(f.editor(), QsciScintillaBase::SCI_SETXOFFSET, 500000);
    f.editor()->repaint();
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETXOFFSET), 500000L);
    send(f.editor(), QsciScintillaBase::SCI_DOCUMENTEND);
    f.editor()->repaint();
    QCOMPARE(send(f.editor(), QsciScintillaBase::SCI_GETCURRENTPOS), long(line.size() + 2));
  }

  void utf8Check_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ascii") << QByteArray("plain text, long enough for the word loop") << true;
    QTest::newRow("two bytes") << QByteArray("caf\xc3\xa9") << true;
    QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << true;
    QTest::newRow("cp1252 quote") << QByteArray("\x93x\x94") << false;
    QTest::newRow("lone continuation") << QByteArray("a\x80") << false;
    QTest::newRow("overlong") << QByteArray("\xc0\xaf") << false;
    QTest::newRow("overlong three") << QByteArray("\xe0\x80\xaf") << false;
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
    QTest::newRow("above max") << QByteArray("\xf4\x90\x80\x80") << false;
    QTest::newRow("cut at end") << QByteArray("abcdefgh\xe2\x82") << false;
    QTest::newRow("bad tail") << QByteArray("\xe2\x28\xa1") << false;
  }
  void utf8Check() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(isValidUtf8(bytes.constData(), bytes.size()), valid);
  }
};

QTEST_MAIN(TraceFrameTest)
#include "trace_frame_test.moc"
