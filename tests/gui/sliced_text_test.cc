// A large text shows its first screens at once while the editor's
// document of the whole text is built on a worker thread: whatever the
// reader does meanwhile gives exactly what it gives after a whole load,
// once the whole text is in, and nothing of the text is lost, doubled or
// moved.
#include <Qsci/qsciscintilla.h>

#include <QAccessible>
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "app/trace_file.h"
#include "gui/editor_search.h"
#include "gui/find_bar.h"
#include "gui/multi_line_tree.h"
#include "gui/trace_frame.h"

namespace {

using Sci = QsciScintillaBase;

long send(QsciScintilla* editor, unsigned int message, unsigned long w = 0, long l = 0) {
  return editor->SendScintilla(message, w, l);
}

std::string fileBytes(const char* name) {
  SVString text;
  if (loadFromFile(text, (std::string(ZAZOZAV_SAMPLES_DIR "/") + name).c_str()) != 0) return {};
  return std::string(text.data(), static_cast<size_t>(text.length()));
}

// The words on the last line of largeTrace, and nowhere else.
constexpr const char* kLastWords = "the words on the last line";

// Twenty statements' worth of the two-statement sample, final queries
// among them.
std::string largeTrace() {
  const std::string one = fileBytes("hr_two_statements.trc");
  std::string all;
  for (int i = 0; i < 10; ++i) all += one;
  return all + kLastWords + "\n";
}

// A frame in a window of its own, active, with the editor search the main
// window installs; `firstSlice` is the size of its first screens'
// document (more than a page of the large trace where keys act on it).
constexpr int64_t kWhole = INT64_MAX;
constexpr int64_t kPages = 8000;
constexpr int64_t kFewLines = 300;
struct Frame {
  Frame(int32_t options, int64_t firstSlice) {
    applySettingDefaults(settings);
    settings.Options = options;
    frame = new TFMarrow;
    frame->setFirstSlice(firstSlice);
    frame->resize(1000, 600);
    frame->applySettings(settings, 96, QFont());
    frame->setSearchHandler([](QWidget* control, const QString& text, int flags) {
      auto* editor = qobject_cast<QsciScintilla*>(control);
      return editor != nullptr ? editorSearch(editor, text, flags) : -1;
    });
    area.setWidget(frame);
    area.resize(1020, 620);
    area.show();
    area.activateWindow();
    ready = QTest::qWaitForWindowActive(&area);
  }
  void load(const std::string& bytes) {
    SVString text;
    text.append(bytes.data(), static_cast<int64_t>(bytes.size()));
    frame->loadTrace(text);
  }
  QsciScintilla* editor() const { return frame->editor(); }
  QByteArray text() const {
    const long length = send(editor(), Sci::SCI_GETLENGTH);
    return QByteArray(reinterpret_cast<const char*>(send(editor(), Sci::SCI_GETCHARACTERPOINTER)), length);
  }
  // Lets the event loop swap the whole text in.
  bool complete() const {
    for (int i = 0; i < 20000 && frame->textPending(); ++i) QCoreApplication::processEvents();
    return !frame->textPending();
  }

  ViewerSettings settings;
  QScrollArea area;
  TFMarrow* frame;  // owned by the area
  bool ready = false;
};

// What the reader sees and what the frame holds, for comparing two frames.
struct State {
  QByteArray text;
  long caret = 0;
  long anchor = 0;
  long top = 0;
  long xOffset = 0;
  int32_t lines = 0;
  int32_t highlightStart = 0;
  int32_t highlightEnd = 0;
  int scrollMaximum = 0;
  long marginWidth = 0;
  int32_t keyPoints = 0;
  int32_t nodes = 0;
  bool operator==(const State&) const = default;
};

State stateOf(const Frame& f) {
  State s;
  s.text = f.text();
  s.caret = send(f.editor(), Sci::SCI_GETCURRENTPOS);
  s.anchor = send(f.editor(), Sci::SCI_GETANCHOR);
  s.top = send(f.editor(), Sci::SCI_GETFIRSTVISIBLELINE);
  s.xOffset = send(f.editor(), Sci::SCI_GETXOFFSET);
  s.lines = f.frame->lineCount();
  s.highlightStart = f.frame->highlightStart();
  s.highlightEnd = f.frame->highlightEnd();
  s.scrollMaximum = f.editor()->verticalScrollBar()->maximum();
  s.marginWidth = send(f.editor(), Sci::SCI_GETMARGINWIDTHN, 0);
  s.keyPoints = f.frame->keyPoints().count();
  s.nodes = f.frame->nodes().count();
  return s;
}

QString describe(const State& a, const State& b) {
  return QStringLiteral("text %1/%2 bytes, caret %3/%4, anchor %5/%6, top %7/%8, lines %9/%10, highlight %11-%12/%13-%14, "
                        "scroll %15/%16, margin %17/%18")
      .arg(a.text.size()).arg(b.text.size()).arg(a.caret).arg(b.caret).arg(a.anchor).arg(b.anchor).arg(a.top)
      .arg(b.top).arg(a.lines).arg(b.lines).arg(a.highlightStart).arg(a.highlightEnd).arg(b.highlightStart)
      .arg(b.highlightEnd).arg(a.scrollMaximum).arg(b.scrollMaximum).arg(a.marginWidth).arg(b.marginWidth);
}

using Action = std::function<void(Frame&)>;

void pressKey(Frame& f, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  f.editor()->setFocus(Qt::OtherFocusReason);
  QWidget* focus = QApplication::focusWidget();
  QVERIFY(focus != nullptr);
  QTest::keyClick(focus, key, modifiers);
}

}  // namespace

Q_DECLARE_METATYPE(Action)

class SlicedTextTest : public QObject {
  Q_OBJECT

 private slots:
  void completedTextIsTheWholeLoad_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("options");
    const std::string large = largeTrace();
    QTest::newRow("UTF-8, final queries formatted") << QByteArray::fromStdString(large) << 6;
    QTest::newRow("UTF-8, wrapped") << QByteArray::fromStdString(large) << 7;
    QTest::newRow("as in the trace") << QByteArray::fromStdString(large) << 2;
    QTest::newRow("CRLF") << QByteArray::fromStdString(fileBytes("update_crlf.trc")) << 6;
    QTest::newRow("Windows-1252") << QByteArray::fromStdString(fileBytes("cp1252_no_final_newline.trc")) << 6;
    QTest::newRow("zero bytes, lone CR") << QByteArray::fromStdString(fileBytes("edge_zero_bytes_lone_cr.trc")) << 6;
    std::string crs;
    for (int i = 0; i < 400; ++i) crs += "line " + std::to_string(i) + (i % 3 == 0 ? "\r" : "\r\n") + "caf\xe9\n";
    QTest::newRow("Windows-1252 with lone CRs") << QByteArray::fromStdString(crs) << 6;
  }
  void completedTextIsTheWholeLoad() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, options);
    QVERIFY(bytes.size() > 500);
    Frame whole(options, kWhole);
    Frame sliced(options, kFewLines);
    QVERIFY(whole.ready && sliced.ready);
    whole.load(bytes.toStdString());
    sliced.load(bytes.toStdString());
    QVERIFY(!whole.frame->textPending());
    QVERIFY(sliced.frame->textPending());
    const State full = stateOf(whole);
    State part = stateOf(sliced);
    // Part of the text is in; the rest is counted as to come.
    QVERIFY(part.text.size() < full.text.size());
    QVERIFY(full.text.startsWith(part.text));
    QVERIFY(part.text.endsWith('\n'));
    QCOMPARE(part.lines, full.lines);
    QCOMPARE(part.marginWidth, full.marginWidth);
    QCOMPARE(part.scrollMaximum, full.scrollMaximum);
    QCOMPARE(part.keyPoints, full.keyPoints);
    QCOMPARE(part.nodes, full.nodes);
    QVERIFY(sliced.complete());
    // Painted, a wrapped text counts the rows of the lines in view.
    whole.editor()->viewport()->repaint();
    sliced.editor()->viewport()->repaint();
    const State fullPainted = stateOf(whole);
    part = stateOf(sliced);
    QVERIFY2(part == fullPainted, qPrintable(describe(part, fullPainted)));
  }

  void actionWhileTheWholeTextIsBuiltActsOnIt_data() {
    QTest::addColumn<Action>("action");
    QTest::newRow("choose the last node") << Action([](Frame& f) {
      MultiLineTree0* tree = f.frame->tree();
      tree->chooseNode(tree->nodeCount() - 1);
    });
    QTest::newRow("Ctrl+End") << Action([](Frame& f) { pressKey(f, Qt::Key_End, Qt::ControlModifier); });
    QTest::newRow("Page Down") << Action([](Frame& f) { pressKey(f, Qt::Key_PageDown); });
    QTest::newRow("search for the last words") << Action([](Frame& f) {
      f.frame->findBar()->showFindBar(f.editor(), kLastWords);
      f.frame->findNext();
      // While the whole text is built, the search waits for it.
      if (!f.frame->textPending()) QVERIFY(send(f.editor(), Sci::SCI_GETSELECTIONEMPTY) == 0);
    });
    QTest::newRow("go to a line near the end") << Action([](Frame& f) { f.frame->goToLine(f.frame->lineCount() - 3); });
    QTest::newRow("final queries as in the trace") << Action([](Frame& f) { f.frame->setFormatFinalQuery(false); });
    QTest::newRow("wrap on") << Action([](Frame& f) { f.frame->setWrap(true); });
    QTest::newRow("click near the scroll bar's foot") << Action([](Frame& f) {
      QScrollBar* bar = f.editor()->verticalScrollBar();
      QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 30));
    });
    QTest::newRow("type with read only off") << Action([](Frame& f) {
      f.frame->setReadOnly(false);
      pressKey(f, Qt::Key_X);
      f.frame->setFormatFinalQuery(false);
    });
  }
  void actionWhileTheWholeTextIsBuiltActsOnIt() {
    QFETCH(Action, action);
    const std::string bytes = largeTrace();
    State expected;
    {
      Frame whole(6, kWhole);
      QVERIFY(whole.ready);
      whole.load(bytes);
      // The reader acts on what was painted.
      whole.editor()->viewport()->repaint();
      action(whole);
      expected = stateOf(whole);
    }
    Frame sliced(6, kPages);
    QVERIFY(sliced.ready);
    sliced.load(bytes);
    QVERIFY(sliced.frame->textPending());
    sliced.editor()->viewport()->repaint();
    action(sliced);
    QVERIFY(sliced.complete());
    const State got = stateOf(sliced);
    QVERIFY2(got == expected, qPrintable(describe(got, expected)));
  }

  // A key is answered on the first screens, without waiting for the
  // whole text; Ctrl+End ends at the end of the whole text once it is in.
  void keysDoNotWaitForTheWholeText() {
    Frame sliced(6, kPages);
    QVERIFY(sliced.ready);
    sliced.load(largeTrace());
    QVERIFY(sliced.frame->textPending());
    pressKey(sliced, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(sliced.frame->textPending());
    const long firstEnd = send(sliced.editor(), Sci::SCI_GETLENGTH);
    QCOMPARE(send(sliced.editor(), Sci::SCI_GETCURRENTPOS), firstEnd);
    QVERIFY(sliced.complete());
    const long length = send(sliced.editor(), Sci::SCI_GETLENGTH);
    QVERIFY(length > firstEnd);
    QCOMPARE(send(sliced.editor(), Sci::SCI_GETCURRENTPOS), length);
  }

  // With accessibility on, the editor's text is read from the first
  // screens' document and from the whole text's once it is swapped in,
  // and again after the next load: each reading is of the document shown.
  void accessibilityReadsTheDocumentShown() {
    QAccessible::setActive(true);
    Frame sliced(6, kPages);
    QVERIFY(sliced.ready);
    const auto read = [&] {
      QAccessibleInterface* editor = QAccessible::queryAccessibleInterface(sliced.editor());
      QVERIFY(editor != nullptr && editor->textInterface() != nullptr);
      QAccessibleTextInterface* text = editor->textInterface();
      const int count = text->characterCount();
      QCOMPARE(count, QString::fromUtf8(sliced.text()).size());
      QCOMPARE(text->text(std::max(0, count - 10), count), QString::fromUtf8(sliced.text()).right(10));
      int start = -1;
      int end = -1;
      const QString line = text->textAtOffset(count / 2, QAccessible::LineBoundary, &start, &end);
      QVERIFY(start >= 0 && start <= count / 2 && end > count / 2);
      QCOMPARE(line, QString::fromUtf8(sliced.text()).mid(start, end - start));
    };
    sliced.load(largeTrace());
    QVERIFY(sliced.frame->textPending());
    read();
    QVERIFY(sliced.complete());
    read();
    sliced.load(fileBytes("cp1252_no_final_newline.trc"));
    QVERIFY(sliced.complete());
    read();
    QAccessible::setActive(false);
  }

  void anotherLoadWhileTheWholeTextIsBuiltShowsOnlyTheNewText() {
    const std::string second = fileBytes("cp1252_no_final_newline.trc");
    State expected;
    {
      Frame whole(6, kWhole);
      QVERIFY(whole.ready);
      whole.load(second);
      expected = stateOf(whole);
    }
    Frame sliced(6, kPages);
    QVERIFY(sliced.ready);
    sliced.load(largeTrace());
    QVERIFY(sliced.frame->textPending());
    sliced.load(second);
    QVERIFY(sliced.complete());
    // Nothing of the first text comes after.
    QTest::qWait(50);
    const State got = stateOf(sliced);
    QVERIFY2(got == expected, qPrintable(describe(got, expected)));
  }
};

QTEST_MAIN(SlicedTextTest)
#include "sliced_text_test.moc"
