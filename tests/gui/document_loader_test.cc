// DocumentLoader: a document filled on another thread and swapped into an
// editor holds the text the trace editor would show for the same bytes.
#include "gui/document_loader.h"

#include <Qsci/qsciscintilla.h>

#include <QTest>

#include <string>
#include <thread>
#include <vector>

namespace {

using Sci = QsciScintillaBase;

SVString fromBytes(const QByteArray& bytes) {
  SVString text;
  text.append(bytes.constData(), bytes.size());
  return text;
}

QByteArray editorText(QsciScintilla& editor) {
  const long length = editor.SendScintilla(Sci::SCI_GETLENGTH);
  return QByteArray(reinterpret_cast<const char*>(editor.SendScintilla(Sci::SCI_GETCHARACTERPOINTER)), length);
}

// The text the trace editor shows for these bytes.
QByteArray appended(const SVString& text) {
  std::string shown;
  convertShownText(text, traceTextFacts(text.data(), text.length()), shown);
  return QByteArray::fromStdString(shown);
}

}  // namespace

class DocumentLoaderTest : public QObject {
  Q_OBJECT

 private slots:
  void documentHoldsTheShownText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("ASCII lines") << QByteArray("first line\r\nsecond line\nthird\r\n");
    QTest::newRow("valid UTF-8") << QByteArray("caf\xc3\xa9 \xe2\x82\xac\r\n");
    QTest::newRow("Windows-1252") << QByteArray("\x93quoted\x94 \x80 and \xff\r\n");
    QTest::newRow("lone carriage returns") << QByteArray("a\rb\r\nlast\r");
    QByteArray zero("before");
    zero.append('\0');
    zero.append("after\r\n");
    QTest::newRow("a zero byte") << zero;
  }
  void documentHoldsTheShownText() {
    QFETCH(QByteArray, bytes);
    const SVString text = fromBytes(bytes);
    QsciScintilla editor;
    editor.setText("the text shown before");
    // Made with room on the thread that fills it, as the trace frame's
    // build makes it.
    std::unique_ptr<DocumentLoader> made;
    bool loaded = false;
    std::thread filler([&] {
      made = std::make_unique<DocumentLoader>(editor, text.length() + 64);
      loaded = loadShownText(*made, text, traceTextFacts(text.data(), text.length()));
    });
    filler.join();
    DocumentLoader& document = *made;
    QVERIFY(loaded);
    document.showIn(editor);
    editor.SendScintilla(Sci::SCI_SETCODEPAGE, long(Sci::SC_CP_UTF8));
    QCOMPARE(editorText(editor), appended(text));
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETLINECOUNT), long(editorText(editor).count('\n') + 1));
    // Nothing to undo: the text was not typed in.
    QCOMPARE(editor.SendScintilla(Sci::SCI_CANUNDO), 0L);
  }

  // The editor keeps the document when the loader goes, and lets go of it
  // for the next one.
  void documentOutlivesItsLoaderInTheEditor() {
    QsciScintilla editor;
    const QByteArray big(1 << 20, 'x');
    for (int round = 0; round < 2; ++round) {
      auto document = std::make_unique<DocumentLoader>(editor);
      QVERIFY(document->add(big.constData(), big.size()));
      QVERIFY(document->add("\nend", 4));
      document->showIn(editor);
      document.reset();
      QCOMPARE(editor.SendScintilla(Sci::SCI_GETLENGTH), long(big.size() + 4));
      QCOMPARE(editor.SendScintilla(Sci::SCI_GETLINECOUNT), 2L);
    }
  }

  // What the library cleared and nothing wrote yet (the styles) goes back
  // before the document is shown: the text stays whole, and lines take
  // styles as the lexer sets them.
  void clearedRoomGoesBackBeforeShowing() {
    QsciScintilla editor;
    const QByteArray text = QByteArray(4 << 20, 'x') + "\nend";
    DocumentLoader document(editor, text.size() + 64);
    QVERIFY(document.add(text.constData(), text.size()));
    QVERIFY(document.giveBackZeroPages() >= text.size() - (64 << 10));
    document.showIn(editor);
    QCOMPARE(editorText(editor), text);
    editor.SendScintilla(Sci::SCI_STARTSTYLING, 0UL);
    editor.SendScintilla(Sci::SCI_SETSTYLING, 10UL, 5L);
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETSTYLEAT, 9UL), 5L);
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETSTYLEAT, 10UL), 0L);
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETSTYLEAT, static_cast<unsigned long>(text.size() - 1)), 0L);
  }
};

QTEST_MAIN(DocumentLoaderTest)
#include "document_loader_test.moc"
