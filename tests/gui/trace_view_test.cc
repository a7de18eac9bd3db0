// The trace view as a user drives it from the main window, with real key
// presses and clicks (the toolbar's check boxes are clicked): wrapping and the final-query option keep the reading
// position, a chosen node takes the caret along and can be chosen again,
// the last window of the text, selections on the shaded lines, and lone
// carriage returns that must not move the key points.
#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>
#include <string>

#include "app/trace_file.h"
#include "gui/main_window.h"
#include "gui/multi_line_tree.h"
#include "gui/trace_frame.h"
#include "gui/trace_lexer.h"

namespace {

using Sci = QsciScintillaBase;

constexpr const char* kTwoStatements = ZAZOZAV_SAMPLES_DIR "/hr_two_statements.trc";

// A main window on `trace` with the settings given, shown and exposed.
struct Window {
  Window(const QString& trace, const QByteArray& settings) {
    QFile file(dir.filePath("zazozav.ini"));
    if (file.open(QIODevice::WriteOnly)) file.write("[ZAzozav]\n" + settings);
    file.close();
    const std::string path = trace.toStdString();
    const std::string workdir = "workdir=" + dir.path().toStdString() + "/";
    const char* arguments[] = {path.c_str(), workdir.c_str()};
    form = std::make_unique<TForm1>(2, arguments);
    form->show();
    QApplication::setActiveWindow(form.get());
    exposed = QTest::qWaitForWindowExposed(form.get()) && QTest::qWaitForWindowActive(form.get());
  }
  TFMarrow* frame() const { return form->frame(); }
  QsciScintilla* editor() const { return form->frame()->editor(); }
  MultiLineTree0* tree() const { return form->frame()->tree(); }
  long send(unsigned int message, unsigned long w = 0, long l = 0) const { return editor()->SendScintilla(message, w, l); }
  // Focuses `widget` and presses the key there, as the window delivers it.
  void key(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    widget->setFocus();
    QCoreApplication::processEvents();
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    QCoreApplication::processEvents();
  }
  // Chooses the tree item of outline node `node` with the keyboard: Home,
  // then Down until it is current (every item on the way is opened).
  void chooseByKeys(int32_t node) {
    key(tree(), Qt::Key_Home);
    for (int guard = 0; guard < 2000; ++guard) {
      const int32_t item = tree()->nodeOf(tree()->currentIndex());
      if (item != kNoTreeNode && tree()->item(item).userIndex == node) return;
      if (item != kNoTreeNode) tree()->expandNode(item);
      key(tree(), Qt::Key_Down);
    }
    QFAIL("node not reached");
  }
  // Clicks a check box of the toolbar.
  void click(QWidget* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    QCoreApplication::processEvents();
  }
  int32_t nodeWithCaption(const char* caption, int occurrence = 0) const {
    for (int32_t i = 0; i < frame()->nodes().count(); ++i) {
      const char* c = frame()->nodes().caption(i, 1);
      if (c != nullptr && std::strcmp(c, caption) == 0 && occurrence-- == 0) return i;
    }
    return -1;
  }
  int32_t lineOf(int32_t node) const { return frame()->keyPoints()[frame()->nodes()[node].keyPointIndex].line; }
  // Rows of the view above the first row of document line `line`.
  long rowsAbove(int32_t line) const {
    return send(Sci::SCI_VISIBLEFROMDOCLINE, static_cast<unsigned long>(line)) - send(Sci::SCI_GETFIRSTVISIBLELINE);
  }

  QTemporaryDir dir;
  std::unique_ptr<TForm1> form;
  bool exposed = false;
};

QString writeTrace(const QTemporaryDir& dir, const QByteArray& bytes) {
  const QString path = dir.filePath("made.trc");
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
  return path;
}

QByteArray sample() {
  QFile file(kTwoStatements);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TraceViewTest : public QObject {
  Q_OBJECT

 private slots:
  void wrapSwitchesKeepTheFirstVisibleLine() {
    QTemporaryDir traces;
    QByteArray bytes;
    for (int line = 0; line < 400; ++line) {
      bytes += "line " + QByteArray::number(line) + ":";
      for (int word = 0; word < 40; ++word) bytes += " word" + QByteArray::number(word);
      bytes += "\n";
    }
    Window w(writeTrace(traces, bytes), "Options=2\nWidth=900\nHeight=600\n");
    QVERIFY(w.exposed);
    w.send(Sci::SCI_SETFIRSTVISIBLELINE, 200);
    QCOMPARE(w.frame()->firstVisibleLine(), 200);
    w.click(w.form->wrapBox());
    QVERIFY(w.form->wrapBox()->isChecked());
    QTest::qWait(300);
    QCOMPARE(w.frame()->firstVisibleLine(), 200);
    // The editor wraps the lines it shows: the reader pages up to the top
    // and comes back, and the lines above take more rows than lines.
    for (long row = w.send(Sci::SCI_GETFIRSTVISIBLELINE); row > 0; row -= 20) {
      w.send(Sci::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(row));
      w.editor()->viewport()->repaint();
    }
    w.send(Sci::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(w.send(Sci::SCI_VISIBLEFROMDOCLINE, 200)));
    w.editor()->viewport()->repaint();
    QCOMPARE(w.frame()->firstVisibleLine(), 200);
    QVERIFY(w.send(Sci::SCI_GETFIRSTVISIBLELINE) > 400);  // the lines above did wrap
    w.click(w.form->wrapBox());
    QVERIFY(!w.form->wrapBox()->isChecked());
    QCOMPARE(w.frame()->firstVisibleLine(), 200);
  }

  void finalQuerySwitchWithWrapKeepsTheMarkerOnRowTwo() {
    // A narrow editor: the line above the marker takes several rows.
    Window w(kTwoStatements, "Options=3\nWidth=360\nHeight=600\nSplitterPos=200\n");
    QVERIFY(w.exposed);
    const int32_t node = w.nodeWithCaption("Explain Plan", 1);
    QVERIFY(node >= 0);
    w.chooseByKeys(node);
    const int32_t before = w.lineOf(node);
    QVERIFY(w.send(Sci::SCI_WRAPCOUNT, static_cast<unsigned long>(before - 1)) > 1);
    QCOMPARE(w.rowsAbove(before), 1L);
    w.click(w.form->formatQueryBox());
    QVERIFY(w.form->formatQueryBox()->isChecked());
    QVERIFY(w.lineOf(node) > before);
    QCOMPARE(w.rowsAbove(w.lineOf(node)), 1L);
    w.click(w.form->formatQueryBox());
    QCOMPARE(w.lineOf(node), before);
    QCOMPARE(w.rowsAbove(before), 1L);
  }

  void choosingANodeTakesTheCaretAlong() {
    Window w(kTwoStatements, "Options=2\n");
    QVERIFY(w.exposed);
    const int32_t node = w.nodeWithCaption("SQL Dump", 1);
    w.chooseByKeys(node);
    const int32_t line = w.lineOf(node);
    QCOMPARE(w.frame()->firstVisibleLine(), line - 1);
    QCOMPARE(w.send(Sci::SCI_GETCURRENTPOS), w.send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)));
    // The next keys in the editor go on from the key point.
    w.key(w.editor(), Qt::Key_Down);
    QCOMPARE(w.send(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(w.send(Sci::SCI_GETCURRENTPOS))),
             long(line + 1));
    QCOMPARE(w.frame()->firstVisibleLine(), line - 1);
    w.key(w.editor(), Qt::Key_PageDown);
    QVERIFY(w.frame()->firstVisibleLine() >= line - 1);
  }

  void pressingTheChosenNodeJumpsAgain() {
    Window w(kTwoStatements, "Options=2\n");
    QVERIFY(w.exposed);
    const int32_t node = w.nodeWithCaption("Explain Plan", 0);
    w.chooseByKeys(node);
    QCOMPARE(w.frame()->firstVisibleLine(), w.lineOf(node) - 1);
    w.key(w.editor(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(w.frame()->firstVisibleLine(), 0);
    const QRect rect = w.tree()->visualRect(w.tree()->currentIndex());
    QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(w.frame()->firstVisibleLine(), w.lineOf(node) - 1);
  }

  void aNodeInTheLastWindowLandsOnRowTwoAndTheLastLineIsShaded() {
    Window w(kTwoStatements, "Options=2\n");
    QVERIFY(w.exposed);
    // The view at the end shows the last node's lines already.
    w.key(w.editor(), Qt::Key_End, Qt::ControlModifier);
    const int32_t last = w.frame()->nodes().count() - 1;
    const long lastLine = w.send(Sci::SCI_GETLINECOUNT) - 1;
    QVERIFY(w.send(Sci::SCI_GETFIRSTVISIBLELINE) + w.send(Sci::SCI_LINESONSCREEN) > lastLine);
    w.chooseByKeys(last);
    QCOMPARE(w.frame()->highlightEnd(), TFMarrow::kHighlightToEnd);
    QCOMPARE(w.frame()->firstVisibleLine(), w.lineOf(last) - 1);
    // The appended empty line has no character; it is shaded all the same.
    QCOMPARE(w.send(Sci::SCI_LINELENGTH, static_cast<unsigned long>(lastLine)), 0L);
    QVERIFY(w.send(Sci::SCI_MARKERGET, static_cast<unsigned long>(lastLine)) != 0);
    // Choosing a section that ends before it takes the shade away.
    w.chooseByKeys(w.nodeWithCaption("SQL Dump", 1));
    QCOMPARE(w.send(Sci::SCI_MARKERGET, static_cast<unsigned long>(lastLine)), 0L);
  }

  void selectionOnTheShadedLinesSwapsTheColours() {
    Window w(kTwoStatements, "Options=2\n");
    QVERIFY(w.exposed);
    const int32_t node = w.nodeWithCaption("SQL Dump", 1);
    w.chooseByKeys(node);
    const long start = w.send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(w.lineOf(node)));
    // From the key point's line up one line: unshaded; then down two: shaded.
    w.key(w.editor(), Qt::Key_Up, Qt::ShiftModifier);
    auto value = [&](int indicator, long position) {
      return w.send(Sci::SCI_INDICATORVALUEAT, static_cast<unsigned long>(indicator), position);
    };
    QCOMPARE(value(TFMarrow::kSelectionBoxIndicator, start - 3), 1L);
    QCOMPARE(value(TFMarrow::kShadedSelectionBoxIndicator, start - 3), 0L);
    w.key(w.editor(), Qt::Key_Down, Qt::ShiftModifier);
    w.key(w.editor(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(value(TFMarrow::kShadedSelectionBoxIndicator, start + 1), 1L);
    QCOMPARE(value(TFMarrow::kShadedSelectionTextIndicator, start + 1), 1L);
    QCOMPARE(value(TFMarrow::kSelectionBoxIndicator, start + 1), 0L);
    // Swapped: the box in the text colour, the text in the shade's.
    const QColor text = w.editor()->palette().color(QPalette::Text);
    const QColor shade = TraceLexer::highlightBackground();
    auto bgr = [](const QColor& c) { return long{c.blue()} << 16 | long{c.green()} << 8 | c.red(); };
    QCOMPARE(w.send(Sci::SCI_INDICGETFORE, TFMarrow::kShadedSelectionBoxIndicator), bgr(text));
    QCOMPARE(w.send(Sci::SCI_INDICGETFORE, TFMarrow::kShadedSelectionTextIndicator), bgr(shade));
  }

  void anEditThenTheFinalQuerySwitchRebuildsFromTheTrace() {
    // The editor's text stands for the trace until the first edit; the
    // switch after an edit shows the trace again, as it always did.
    Window w(kTwoStatements, "Options=4\n");  // editable, final queries formatted
    QVERIFY(w.exposed);
    QCOMPARE(w.form->formatQueryBox()->isChecked(), true);
    w.key(w.editor(), Qt::Key_Home, Qt::ControlModifier);
    w.key(w.editor(), Qt::Key_X);
    QVERIFY(w.editor()->text(0).startsWith("xTrace file"));
    w.click(w.form->formatQueryBox());
    QCOMPARE(w.editor()->text().toUtf8(), sample() + "\r\n");
    w.click(w.form->formatQueryBox());
    QVERIFY(w.editor()->text(0).startsWith("Trace file"));
    QVERIFY(w.editor()->text().size() > sample().size());
  }

  void windows1252TraceSwitchesAndEditsFromItsOneCopy() {
    // The editor's text stands for a Windows-1252 trace too: the final
    // query switch and an edit read the trace back from it.
    QTemporaryDir traces;
    const QByteArray bytes = "\x93quoted\x94 \x80 \x9f \xff\n" + sample() + "caf\xe9\n";
    const QString path = writeTrace(traces, bytes);
    QString unformatted;
    {
      Window plain(path, "Options=0\n");
      QVERIFY(plain.exposed);
      unformatted = plain.editor()->text();
      QVERIFY(unformatted.startsWith(QString::fromUtf8("\u201cquoted\u201d \u20ac \u0178 \u00ff")));
    }
    Window w(path, "Options=4\n");  // editable, final queries formatted
    QVERIFY(w.exposed);
    QVERIFY(w.frame()->singleByteMode());
    const QString formatted = w.editor()->text();
    QVERIFY(formatted != unformatted);
    w.click(w.form->formatQueryBox());
    QCOMPARE(w.editor()->text(), unformatted);
    w.click(w.form->formatQueryBox());
    QCOMPARE(w.editor()->text(), formatted);
    w.key(w.editor(), Qt::Key_Home, Qt::ControlModifier);
    w.key(w.editor(), Qt::Key_X);
    QVERIFY(w.editor()->text(0).startsWith(QString::fromUtf8("x\u201cquoted")));
    w.click(w.form->formatQueryBox());
    QCOMPARE(w.editor()->text(), unformatted);
    w.click(w.form->formatQueryBox());
    QCOMPARE(w.editor()->text(), formatted);
  }

  void loneCarriageReturnsMoveNoKeyPoint() {
    QTemporaryDir traces;
    QByteArray bytes = sample();
    // Eight lone carriage returns in the header lines.
    int at = 0;
    for (int n = 0; n < 8; ++n) {
      at = bytes.indexOf(' ', bytes.indexOf('\n', at) + 1);
      bytes.replace(at, 1, "\r");
    }
    Window w(writeTrace(traces, bytes), "Options=6\n");
    QVERIFY(w.exposed);
    const int32_t node = w.nodeWithCaption("Explain Plan", 1);
    w.chooseByKeys(node);
    const int32_t line = w.lineOf(node);
    QVERIFY(w.editor()->text(line).contains("Explain Plan Dump"));
    QCOMPARE(w.frame()->firstVisibleLine(), line - 1);
    QVERIFY(w.editor()->text(w.frame()->highlightEnd()).contains("Optimizer state dump"));
    QVERIFY(!w.editor()->text(w.frame()->highlightEnd() - 1).contains("Optimizer state dump"));
    // The carriage returns show as a symbol inside their lines.
    QCOMPARE(w.editor()->text().count(QChar(0x240D)), 8);
  }
};

QTEST_MAIN(TraceViewTest)
#include "trace_view_test.moc"
