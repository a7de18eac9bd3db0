// The find bar's search reads the editor's bytes directly; what it finds
// must be what the editor's own search engine finds, from every caret
// position, in both directions, with and without case, over ASCII text,
// UTF-8 with characters whose case folds into ASCII (the Kelvin sign, the
// long s), and single-byte text.
#include "gui/editor_search.h"

#include <Qsci/qsciscintilla.h>

#include <QTest>

#include "gui/find_bar.h"

namespace {

using Sci = QsciScintillaBase;

void setText(QsciScintilla& editor, const QByteArray& bytes, bool utf8) {
  editor.SendScintilla(Sci::SCI_SETCODEPAGE, utf8 ? long(Sci::SC_CP_UTF8) : 0L);
  editor.SendScintilla(Sci::SCI_CLEARALL);
  editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(bytes.size()), bytes.constData());
}

// The engine's answer: start and end of the match, or -1 and -1.
std::pair<long, long> engineSearch(QsciScintilla& editor, const QByteArray& needle, long caret, bool backward,
                                   bool matchCase) {
  editor.SendScintilla(Sci::SCI_SETTARGETSTART, static_cast<unsigned long>(caret));
  editor.SendScintilla(Sci::SCI_SETTARGETEND,
                       static_cast<unsigned long>(backward ? 0 : editor.SendScintilla(Sci::SCI_GETLENGTH)));
  editor.SendScintilla(Sci::SCI_SETSEARCHFLAGS, static_cast<unsigned long>(matchCase ? Sci::SCFIND_MATCHCASE : 0));
  if (editor.SendScintilla(Sci::SCI_SEARCHINTARGET, static_cast<uintptr_t>(needle.size()), needle.constData()) < 0) {
    return {-1, -1};
  }
  return {editor.SendScintilla(Sci::SCI_GETTARGETSTART), editor.SendScintilla(Sci::SCI_GETTARGETEND)};
}

}  // namespace

class EditorSearchTest : public QObject {
  Q_OBJECT

 private slots:
  void findsWhatTheEngineFinds_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QString>("needle");
    const QByteArray ascii("Join order[1]\r\njoin ORDER x JOIN\r\nno match here\r\n\r\nJoInOrDeR join\r\nlast jo");
    QTest::newRow("ascii word") << ascii << true << "join";
    QTest::newRow("ascii phrase") << ascii << true << "join order";
    QTest::newRow("ascii one letter") << ascii << true << "o";
    QTest::newRow("ascii punctuation") << ascii << true << "[1]";
    QTest::newRow("not there") << ascii << true << "zebra";
    // Long enough for the sixteen-byte scans, matches across their edges.
    QTest::newRow("long ascii") << ascii.repeated(7) << true << "order";
    QTest::newRow("long ascii, one letter") << ascii.repeated(7) << true << "J";
    const QByteArray folding = QString::fromUtf8(
        "ok \u212Aelvin k\r\n\u017Fum sum SUM\r\ncaf\u00e9 CAF\u00c9 \u00e9t\u00e9\r\nplain kelvin\r\n").toUtf8();
    QTest::newRow("kelvin sign folds to k") << folding << true << "kelvin";
    QTest::newRow("long, kelvin sign") << folding.repeated(6) << true << "kelvin";
    QTest::newRow("long s folds to s") << folding << true << "sum";
    QTest::newRow("accented letters") << folding << true << QString::fromUtf8("caf\u00e9");
    QTest::newRow("accented needle upper") << folding << true << QString::fromUtf8("\u00c9T\u00c9");
    QTest::newRow("single letter k") << folding << true << "K";
    const QByteArray latin1("caf\xe9 CAF\xc9\r\n\x93quoted\x94 Quoted\r\nplain quoted\r\n");
    QTest::newRow("single-byte ascii needle") << latin1 << false << "quoted";
    QTest::newRow("single-byte accented") << latin1 << false << QString::fromLatin1("caf\xe9");
  }
  void findsWhatTheEngineFinds() {
    QFETCH(QByteArray, text);
    QFETCH(bool, utf8);
    QFETCH(QString, needle);
    QsciScintilla editor;
    setText(editor, text, utf8);
    const QByteArray bytes = utf8 ? needle.toUtf8() : needle.toLatin1();
    const long length = editor.SendScintilla(Sci::SCI_GETLENGTH);
    for (int flags : {0, int(SearchBackward), int(SearchMatchCase), int(SearchBackward | SearchMatchCase)}) {
      const bool backward = (flags & SearchBackward) != 0;
      for (long caret = 0; caret <= length; ++caret) {
        // Only positions at character starts are caret positions.
        if (editor.SendScintilla(Sci::SCI_POSITIONBEFORE, editor.SendScintilla(Sci::SCI_POSITIONAFTER, caret)) != caret &&
            caret != length) {
          continue;
        }
        const auto expected = engineSearch(editor, bytes, caret, backward, (flags & SearchMatchCase) != 0);
        editor.SendScintilla(Sci::SCI_SETEMPTYSELECTION, static_cast<unsigned long>(caret));
        const int found = editorSearch(&editor, needle, flags);
        QCOMPARE(found, expected.first >= 0 ? 1 : 0);
        if (found == 0) {
          QCOMPARE(editor.SendScintilla(Sci::SCI_GETCURRENTPOS), caret);
          continue;
        }
        QCOMPARE(editor.SendScintilla(Sci::SCI_GETSELECTIONSTART), expected.first);
        QCOMPARE(editor.SendScintilla(Sci::SCI_GETSELECTIONEND), expected.second);
        QCOMPARE(editor.SendScintilla(Sci::SCI_GETCURRENTPOS), backward ? expected.first : expected.second);
      }
    }
  }
};

QTEST_MAIN(EditorSearchTest)
#include "editor_search_test.moc"
