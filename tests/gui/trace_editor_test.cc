// The trace editor: its accessibility object answers from line starts and
// is the editor's own, not the editor library's, whose caret offset walks
// the whole text on every update.
#include "gui/trace_editor.h"

#include <QAccessible>
#include <QApplication>
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
};

QTEST_MAIN(TraceEditorTest)
#include "trace_editor_test.moc"
