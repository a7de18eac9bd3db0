// The trace editor: its accessibility object answers from line starts and
// is the editor's own, not the editor library's, whose caret offset walks
// the whole text on every update.
#include "gui/trace_editor.h"

#include <Qsci/qscidocument.h>

#include <QAccessible>
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "gui/editor_accessible.h"

namespace {

using Sci = QsciScintillaBase;

}  // namespace

class TraceEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void accessibleOffsetsCountUtf16FromLineStarts() {
    TraceEditor editor;
    const QByteArray text = QString::fromUtf8("caf\u00e9 \u20acuro\r\nline \U0001F600 two\r\nlast").toUtf8();
    editor.setReadOnly(false);
    editor.SendScintilla(Sci::SCI_SETCODEPAGE, long(Sci::SC_CP_UTF8));
    editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.constData());
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.setFocus();
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::focusWidget(), &editor);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End, Qt::ControlModifier);

    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&editor);
    QVERIFY(iface != nullptr);
    auto* own = dynamic_cast<EditorAccessible*>(iface);
    QVERIFY(own != nullptr);
    QAccessibleTextInterface* textIface = iface->textInterface();
    QVERIFY(textIface != nullptr);
    const QString expected = QString::fromUtf8(text);
    QCOMPARE(textIface->characterCount(), int(expected.size()));
    QCOMPARE(textIface->cursorPosition(), int(expected.size()));
    QCOMPARE(textIface->text(0, textIface->characterCount()), expected);
    // Every offset maps to a position and back, surrogate pairs included.
    for (int offset = 0; offset <= expected.size(); ++offset) {
      if (offset > 0 && expected[offset - 1].isHighSurrogate()) continue;
      QCOMPARE(own->offsetOf(own->positionOf(offset)), offset);
    }
    int start = 0, end = 0;
    QCOMPARE(textIface->textAtOffset(expected.indexOf("two"), QAccessible::LineBoundary, &start, &end),
             QString::fromUtf8("line \U0001F600 two\r\n"));
    QCOMPARE(start, int(expected.indexOf("line")));
    QCOMPARE(textIface->textAtOffset(1, QAccessible::WordBoundary, &start, &end), QString::fromUtf8("caf\u00e9"));
    QCOMPARE(end, 4);
    textIface->setSelection(0, 1, 3);
    QCOMPARE(editor.selectedText(), QString("af"));
  }

  // A document given to the editor (closing a comparison gives each side
  // an empty one) has no line index yet: asking for offsets must not read
  // the old document's, which aborted in the editor library.
  void accessibleOffsetsAfterTheDocumentIsSwapped() {
    TraceEditor editor;
    editor.setReadOnly(false);
    const QByteArray text = "first line\r\nsecond line\r\n";
    editor.SendScintilla(Sci::SCI_SETCODEPAGE, long(Sci::SC_CP_UTF8));
    editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.constData());
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&editor);
    QVERIFY(iface != nullptr && iface->textInterface() != nullptr);
    QCOMPARE(iface->textInterface()->characterCount(), int(text.size()));
    editor.setDocument(QsciDocument());
    QCOMPARE(iface->textInterface()->characterCount(), 0);
    QCOMPARE(iface->textInterface()->cursorPosition(), 0);
    editor.setReadOnly(false);
    const QByteArray other = "x\r\ny\r\nz";
    editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(other.size()), other.constData());
    QCOMPARE(iface->textInterface()->characterCount(), int(other.size()));
    int start = 0, end = 0;
    QCOMPARE(iface->textInterface()->textAtOffset(3, QAccessible::LineBoundary, &start, &end), QString("y\r\n"));
  }

  // A jump to wider lines widens the sideways scroll range as the view is
  // painted, not 50 ms after, with a second paint.
  void jumpToWiderLinesWidensAsItPaints() {
    TraceEditor editor;
    QByteArray text;
    for (int line = 0; line < 2000; ++line) text += QByteArray(line < 1000 ? 10 : 10 + line / 4, 'x') + "\n";
    editor.setReadOnly(false);
    editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.constData());
    editor.resize(400, 300);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QTest::qWait(100);
    QCOMPARE(editor.horizontalScrollBar()->maximum(), 0);  // the lines shown fit
    editor.SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, 1500L);
    editor.viewport()->repaint();
    const long widened = editor.SendScintilla(Sci::SCI_GETSCROLLWIDTH);
    const int range = editor.horizontalScrollBar()->maximum();
    QVERIFY(range > 0);
    QTest::qWait(150);
    // The paint found no wider line, so the range stayed.
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETSCROLLWIDTH), widened);
    QCOMPARE(editor.horizontalScrollBar()->maximum(), range);
    QVERIFY(editor.horizontalScrollBar()->isVisible());
  }

  // A paint that changes nothing (the caret blinking) lays no line out
  // again: a line of megabytes takes seconds to lay out.
  void repaintsMeasureTheWidestLineOnlyWhenItChanges() {
    TraceEditor editor;
    const QByteArray text = "short\n" + QByteArray(20000, 'x') + "\nend\n";
    editor.setReadOnly(false);
    editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.constData());
    editor.resize(400, 300);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.viewport()->repaint();
    const int64_t measured = editor.widthMeasurements();
    const long width = editor.SendScintilla(Sci::SCI_GETSCROLLWIDTH);
    QVERIFY(measured >= 1);
    for (int i = 0; i < 3; ++i) editor.viewport()->repaint();
    QCOMPARE(editor.widthMeasurements(), measured);
    // The line grows: it is measured again and the range follows it.
    const long lineEnd = editor.SendScintilla(Sci::SCI_GETLINEENDPOSITION, 1UL);
    const QByteArray more(2000, 'y');
    editor.SendScintilla(Sci::SCI_INSERTTEXT, static_cast<unsigned long>(lineEnd), more.constData());
    editor.viewport()->repaint();
    QCOMPARE(editor.widthMeasurements(), measured + 1);
    QVERIFY(editor.SendScintilla(Sci::SCI_GETSCROLLWIDTH) > width);
  }

  // A line too long to lay out on every paint: its sideways range is its
  // width, reckoned from its characters (tabs and characters of several
  // bytes too), so the scroll bar dragged fully right shows its end, not
  // text before it or blank room past it; End shows the end too.
  void aVeryLongLineIsReachableToItsEnd_data() {
    QTest::addColumn<QByteArray>("piece");
    QTest::newRow("ASCII") << QByteArray("word ");
    QTest::newRow("tabs") << QByteArray("a\tbc\t");
    QTest::newRow("several bytes") << QByteArray("caf\xc3\xa9 \xe2\x82\xac ");
  }
  void aVeryLongLineIsReachableToItsEnd() {
    QFETCH(QByteArray, piece);
    TraceEditor editor;
    // The trace editor's face: fixed-pitch. (Offscreen, the editor's own
    // text measure gives a digit one pixel, so its sideways range comes
    // from what it lays out; on a display the range is the reckoned one.)
    QFont face(QStringLiteral("Courier New"));
    face.setStyleHint(QFont::Monospace);
    face.setPixelSize(13);
    editor.setFont(face);
    editor.SendScintilla(Sci::SCI_STYLECLEARALL);
    const QByteArray text = "first\n" + piece.repeated(100000 / piece.size()) + "END\nlast\n";
    editor.setReadOnly(false);
    editor.SendScintilla(Sci::SCI_SETCODEPAGE, long(Sci::SC_CP_UTF8));
    editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.constData());
    editor.resize(500, 300);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.viewport()->repaint();
    // Reckoned, not laid out: within a few percent of the laid-out width,
    // and not wider (which would scroll into blank room).
    const long reckoned = editor.SendScintilla(Sci::SCI_GETSCROLLWIDTH);
    long textStart = editor.SendScintilla(Sci::SCI_GETMARGINLEFT);
    for (int margin = 0; margin < 5; ++margin) textStart += editor.SendScintilla(Sci::SCI_GETMARGINWIDTHN, margin);
    const long lineEnd = editor.SendScintilla(Sci::SCI_GETLINEENDPOSITION, 1UL);
    auto endShown = [&] {
      const long x = editor.SendScintilla(Sci::SCI_POINTXFROMPOSITION, 0UL, lineEnd);
      return x >= textStart && x <= editor.viewport()->width();
    };
    const long laidOut = editor.SendScintilla(Sci::SCI_POINTXFROMPOSITION, 0UL, lineEnd) - textStart;
    QVERIFY2(reckoned <= laidOut + laidOut / 50 && reckoned >= laidOut - laidOut / 20,
             qPrintable(QString("reckoned %1, laid out %2").arg(reckoned).arg(laidOut)));
    QCoreApplication::processEvents();
    QScrollBar* bar = editor.horizontalScrollBar();
    bar->setValue(bar->maximum());
    editor.viewport()->repaint();
    QVERIFY2(endShown(), qPrintable(QString("end at %1 of %2, max %3, width %4")
                                        .arg(editor.SendScintilla(Sci::SCI_POINTXFROMPOSITION, 0UL, lineEnd))
                                        .arg(editor.viewport()->width())
                                        .arg(bar->maximum())
                                        .arg(editor.SendScintilla(Sci::SCI_GETSCROLLWIDTH))));
    bar->setValue(0);
    editor.setFocus();
    editor.SendScintilla(Sci::SCI_GOTOPOS, static_cast<unsigned long>(editor.SendScintilla(Sci::SCI_POSITIONFROMLINE, 1UL)));
    QTest::keyClick(&editor, Qt::Key_End);
    editor.viewport()->repaint();
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETCURRENTPOS), lineEnd);
    QVERIFY(endShown());
  }

  // With wrapping on, only the lines painted are wrapped: the editor's own
  // idle wrapping of every other line would take tens of seconds on a
  // large trace, and start again with every font step.
  void wrappingLeavesLinesOutOfViewAlone() {
    TraceEditor editor;
    QByteArray text;
    for (int line = 0; line < 40000; ++line) text += QByteArray(" word").repeated(40) + "\n";
    editor.setReadOnly(false);
    editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.constData());
    editor.resize(400, 300);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    // The rows a line takes as the editor counts them now.
    auto rows = [&](unsigned long line) {
      return editor.SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, line + 1) -
             editor.SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, line);
    };
    for (int step = 0; step < 2; ++step) {
      editor.SendScintilla(Sci::SCI_SETWRAPMODE, long(Sci::SC_WRAP_WORD));
      editor.viewport()->repaint();
      QVERIFY(rows(0) > 1);  // a line shown
      QTest::qWait(400);
      QCOMPARE(rows(1000), 1L);
      QCOMPARE(rows(39998), 1L);
      // The lines shown later are wrapped as they are painted.
      editor.SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, editor.SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, 30000UL));
      editor.viewport()->repaint();
      QVERIFY(rows(30000) > 1);
      // A font step lays every line out anew, and off and on again too.
      editor.SendScintilla(Sci::SCI_STYLESETSIZE, long(Sci::STYLE_DEFAULT), 12L + step);
      editor.SendScintilla(Sci::SCI_STYLECLEARALL);
      editor.viewport()->repaint();
      QTest::qWait(400);
      QCOMPARE(rows(1000), 1L);
      editor.SendScintilla(Sci::SCI_SETWRAPMODE, long(Sci::SC_WRAP_NONE));
      editor.SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, 0L);
      editor.viewport()->repaint();
    }
  }

  // With wrapping on, the caret keys are done from the view's geometry:
  // they must do what the editor's own would.
  void caretKeysWithWrapping() {
    TraceEditor editor;
    QByteArray text;
    for (int line = 0; line < 3000; ++line) {
      text += "line " + QByteArray::number(line) + (line % 7 == 0 ? QByteArray(" word").repeated(60) : "") + "\n";
    }
    editor.setReadOnly(false);
    editor.SendScintilla(Sci::SCI_SETCODEPAGE, long(Sci::SC_CP_UTF8));
    editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.constData());
    editor.SendScintilla(Sci::SCI_SETWRAPMODE, long(Sci::SC_WRAP_WORD));
    editor.resize(500, 400);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.setFocus();
    QCoreApplication::processEvents();
    auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
      QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    };
    auto caretLine = [&] {
      return editor.SendScintilla(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(editor.SendScintilla(Sci::SCI_GETCURRENTPOS)));
    };
    const long length = editor.SendScintilla(Sci::SCI_GETLENGTH);
    // A move that does not extend never selects, not even for a moment:
    // the editor hands each selection to the system, the whole text here.
    QSignalSpy selected(&editor, &QsciScintilla::copyAvailable);
    press(Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETCURRENTPOS), length);
    QVERIFY(!selected.contains(QList<QVariant>{true}));
    editor.viewport()->repaint();
    const long top = editor.SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE);
    const long lastShown = editor.SendScintilla(Sci::SCI_DOCLINEFROMVISIBLE,
                                                top + editor.SendScintilla(Sci::SCI_LINESONSCREEN) - 1);
    const long lastLine = editor.SendScintilla(Sci::SCI_GETLINECOUNT) - 1;
    QVERIFY(lastShown >= lastLine);
    QVERIFY(editor.SendScintilla(Sci::SCI_DOCLINEFROMVISIBLE, top) <= lastLine);
    press(Qt::Key_PageUp);
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE), top - editor.SendScintilla(Sci::SCI_LINESONSCREEN));
    const long line = caretLine();
    QVERIFY(line < 3000);
    press(Qt::Key_Up);
    press(Qt::Key_Up);
    press(Qt::Key_Down);
    // One row up: a line up, or a row within a wrapped line.
    QVERIFY(caretLine() <= line && caretLine() >= line - 1);
    const long anchor = editor.SendScintilla(Sci::SCI_GETCURRENTPOS);
    press(Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETANCHOR), anchor);
    QVERIFY(editor.SendScintilla(Sci::SCI_GETCURRENTPOS) < anchor);
    press(Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETCURRENTPOS), 0L);
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE), 0L);
    selected.clear();
    press(Qt::Key_End, Qt::ControlModifier);
    press(Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(!selected.contains(QList<QVariant>{true}));
    press(Qt::Key_PageDown);
    QVERIFY(caretLine() > 0);
  }

  // Paging down stops with the last line at the foot of the view, with
  // wrapping on or off; the room below the end stays for the jumps that
  // put a line near the end on the second row, and Page Up pages as ever.
  void pageDownStopsWithTheLastLineAtTheFoot_data() {
    QTest::addColumn<bool>("wrap");
    QTest::newRow("unwrapped") << false;
    QTest::newRow("wrapped") << true;
  }
  void pageDownStopsWithTheLastLineAtTheFoot() {
    QFETCH(bool, wrap);
    TraceEditor editor;
    QByteArray text;
    for (int line = 0; line < 300; ++line) {
      text += "line " + QByteArray::number(line) + (line % 9 == 0 ? QByteArray(" word").repeated(50) : "") + "\n";
    }
    editor.setReadOnly(false);
    editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.constData());
    if (wrap) editor.SendScintilla(Sci::SCI_SETWRAPMODE, long(Sci::SC_WRAP_WORD));
    editor.resize(500, 300);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.setFocus();
    QCoreApplication::processEvents();
    auto top = [&] { return editor.SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE); };
    const long onScreen = editor.SendScintilla(Sci::SCI_LINESONSCREEN);
    const long lastLine = editor.SendScintilla(Sci::SCI_GETLINECOUNT) - 1;
    auto lastRowShown = [&] {
      editor.viewport()->repaint();
      return editor.SendScintilla(Sci::SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(top() + onScreen - 1));
    };
    for (int page = 0; page < 40; ++page) QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
    QCOMPARE(lastRowShown(), lastLine);
    // The row above the last line's is a line of the text: no blank room.
    QVERIFY(editor.SendScintilla(Sci::SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(top() + onScreen - 2)) < lastLine);
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETCURRENTPOS), editor.SendScintilla(Sci::SCI_GETLENGTH));
    const long stop = top();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
    // A page up: the editor's own keeps a row of the page before.
    QVERIFY(top() == stop - onScreen || top() == stop - onScreen + 1);
    // Shift+Page Down stops there too.
    for (int page = 0; page < 3; ++page) QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ShiftModifier);
    QCOMPARE(top(), stop);
    // A jump may put a line near the end on the second row; paging down
    // from there leaves the view where it is.
    const long nearEnd = editor.SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, static_cast<unsigned long>(lastLine - 2)) - 1;
    editor.SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(nearEnd));
    QCOMPARE(top(), nearEnd);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
    QCOMPARE(top(), nearEnd);
  }
};

QTEST_MAIN(TraceEditorTest)
#include "trace_editor_test.moc"
