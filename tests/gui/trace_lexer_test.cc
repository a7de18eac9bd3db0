// The editor lexer: styles per line in one batch, the mode carried in the
// line state, the chosen section's styles and lazy styling of long texts.
#include "gui/trace_lexer.h"

#include <Qsci/qsciscintilla.h>

#include <QtTest>
#include <string>

#include "trace/trace_scanner.h"

namespace {

using Sci = QsciScintillaBase;

void setBytes(QsciScintilla& editor, const std::string& bytes) {
  editor.SendScintilla(Sci::SCI_SETTEXT, uintptr_t{0}, bytes.c_str());
}

// The editor hands styles above 127 back sign-extended.
int styleAt(const QsciScintilla& editor, int position) {
  return static_cast<int>(editor.SendScintilla(Sci::SCI_GETSTYLEAT, static_cast<unsigned long>(position)) & 0xFF);
}

int lineStart(const QsciScintilla& editor, int line) {
  return static_cast<int>(editor.SendScintilla(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)));
}

// Asks the editor to style the whole text, as painting it all would.
void styleAll(QsciScintilla& editor) {
  editor.SendScintilla(Sci::SCI_COLOURISE, 0UL, -1L);
}

// The editor keeps the Qt font weight, negated, as the style's weight.
bool isBold(const QsciScintilla& editor, int style) {
  return editor.SendScintilla(Sci::SCI_STYLEGETWEIGHT, static_cast<unsigned long>(style)) == -QFont::Bold;
}

// Scintilla colours are 0xBBGGRR.
long bgr(int red, int green, int blue) { return long{blue} << 16 | long{green} << 8 | red; }

}  // namespace

class TraceLexerTest : public QObject {
  Q_OBJECT

 private slots:
  void eachLineIsStyledInOneBatch();
  void lineStateCarriesFileNameMode();
  void highlightedLinesUseTheParallelStyles();
  void highlightedStylesKeepBoldAndDropColours();
  void singleByteTextIsStyledByBytes();
  void jumpingToTheEndStylesOnlyTheView();
  void fontChangeKeepsBold();
  void longPunctuationRunsAlternateTwinStyles();
  void styleAfterAJumpIsStyleFromTheTop_data();
  void styleAfterAJumpIsStyleFromTheTop();
};

void TraceLexerTest::eachLineIsStyledInOneBatch() {
  QsciScintilla editor;
  TraceLexer lexer;
  editor.setLexer(&lexer);
  setBytes(editor, "Join order[1]:  T1[T1]#0\r\nx y z\r\n\r\nBest so far: 1 2 3 4\r\n");
  styleAll(editor);
  // Four lines, each with many tokens, one of them only a line end.
  QCOMPARE(lexer.stylingStats().linesStyled, 4);
  QCOMPARE(lexer.stylingStats().styleBatches, 4);
  QCOMPARE(styleAt(editor, 0), int{tkJoinOrder});
  QCOMPARE(styleAt(editor, 9), int{tkJoinOrder});
  QCOMPARE(styleAt(editor, 10), int{tkText});
  QCOMPARE(styleAt(editor, 14), int{tkSpace});
  const int best = lineStart(editor, 3);
  QCOMPARE(styleAt(editor, best), int{tkBestSoFar});
  QCOMPARE(styleAt(editor, best + 11), int{tkBestSoFar});
  QCOMPARE(styleAt(editor, best + 12), int{tkSpace});
}

void TraceLexerTest::lineStateCarriesFileNameMode() {
  QsciScintilla editor;
  TraceLexer lexer;
  editor.setLexer(&lexer);
  setBytes(editor, "Trace file\n/u01/x.trc\n/u01/y.trc\n");
  styleAll(editor);
  // The lexer keeps the modes itself: the editor's array of line states,
  // as long as the text, is never made.
  QCOMPARE(editor.SendScintilla(Sci::SCI_GETMAXLINESTATE), 0L);
  QCOMPARE(styleAt(editor, lineStart(editor, 1)), int{tkFileName});
  QCOMPARE(styleAt(editor, lineStart(editor, 1) + 9), int{tkFileName});
  // The file name cleared the mode: the next line's path is plain.
  QCOMPARE(styleAt(editor, lineStart(editor, 2)), int{tkText});
}

void TraceLexerTest::highlightedLinesUseTheParallelStyles() {
  QsciScintilla editor;
  TraceLexer lexer;
  editor.setLexer(&lexer);
  setBytes(editor, "Join order[1]:\nJoin order[2]:\nJoin order[3]:\nJoin order[4]:\n");
  styleAll(editor);
  const int h = TraceLexer::kHighlightStyleOffset;
  lexer.setHighlightedLines(1, 3);
  styleAll(editor);
  QCOMPARE(styleAt(editor, lineStart(editor, 0)), int{tkJoinOrder});
  QCOMPARE(styleAt(editor, lineStart(editor, 1)), h + tkJoinOrder);
  QCOMPARE(styleAt(editor, lineStart(editor, 1) + 10), h + tkText);
  QCOMPARE(styleAt(editor, lineStart(editor, 2) + 14), h + tkSpace);  // the line end
  QCOMPARE(styleAt(editor, lineStart(editor, 3)), int{tkJoinOrder});

  // Moving the range to the end of the text restores the old lines.
  lexer.setHighlightedLines(3, INT32_MAX);
  styleAll(editor);
  QCOMPARE(styleAt(editor, lineStart(editor, 1)), int{tkJoinOrder});
  QCOMPARE(styleAt(editor, lineStart(editor, 3)), h + tkJoinOrder);
  lexer.setHighlightedLines(-1, -1);
  styleAll(editor);
  QCOMPARE(styleAt(editor, lineStart(editor, 3)), int{tkJoinOrder});
}

void TraceLexerTest::highlightedStylesKeepBoldAndDropColours() {
  QsciScintilla editor;
  TraceLexer lexer;
  editor.setLexer(&lexer);
  const int h = TraceLexer::kHighlightStyleOffset;
  auto get = [&](unsigned int message, int style) {
    return editor.SendScintilla(message, static_cast<unsigned long>(style));
  };
  QVERIFY(isBold(editor, tkJoinOrder));
  QCOMPARE(get(Sci::SCI_STYLEGETBACK, tkJoinOrder), bgr(0xF0, 0xF0, 0xF0));
  QVERIFY(isBold(editor, h + tkJoinOrder));
  QVERIFY(!isBold(editor, h + tkText));
  QCOMPARE(get(Sci::SCI_STYLEGETBACK, h + tkJoinOrder), bgr(240, 240, 255));
  QCOMPARE(get(Sci::SCI_STYLEGETFORE, tkFileName), bgr(0, 0, 0x80));
  QCOMPARE(get(Sci::SCI_STYLEGETUNDERLINE, tkFileName), 1L);
  QCOMPARE(get(Sci::SCI_STYLEGETFORE, h + tkFileName), get(Sci::SCI_STYLEGETFORE, tkText));
  QCOMPARE(get(Sci::SCI_STYLEGETUNDERLINE, h + tkFileName), 1L);
  QCOMPARE(get(Sci::SCI_STYLEGETFORE, h + tkJoinOrderAborted), get(Sci::SCI_STYLEGETFORE, tkText));
  QCOMPARE(get(Sci::SCI_STYLEGETBACK, h + tkSpace), bgr(240, 240, 255));
  QCOMPARE(get(Sci::SCI_STYLEGETEOLFILLED, h + tkSpace), 1L);
  QCOMPARE(get(Sci::SCI_STYLEGETEOLFILLED, tkSpace), 0L);
}

void TraceLexerTest::singleByteTextIsStyledByBytes() {
  for (bool utf8 : {false, true}) {
    QsciScintilla editor;
    TraceLexer lexer;
    editor.setUtf8(utf8);
    editor.setLexer(&lexer);
    // An accented letter glued to a marker keeps it from matching, in
    // UTF-8 (two bytes) as in Windows-1252 (one byte).
    const std::string accent = utf8 ? "\xC3\xA9" : "\xE9";
    setBytes(editor, accent + "Join order\nBest so far: " + accent + "x\n");
    styleAll(editor);
    const int length = static_cast<int>(accent.size());
    QCOMPARE(styleAt(editor, 0), int{tkText});
    QCOMPARE(styleAt(editor, length + 5), int{tkText});
    const int second = lineStart(editor, 1);
    QCOMPARE(second, length + 11);
    QCOMPARE(styleAt(editor, second), int{tkBestSoFar});
    QCOMPARE(styleAt(editor, second + 13), int{tkText});
    QCOMPARE(styleAt(editor, second + 13 + length), int{tkText});
  }
}

void TraceLexerTest::jumpingToTheEndStylesOnlyTheView() {
  QsciScintilla editor;
  TraceLexer lexer;
  editor.setLexer(&lexer);
  editor.resize(600, 400);
  std::string text;
  const int lines = 200000;
  for (int i = 0; i < lines - 3; ++i) text += "Best so far:  Table#: 0  cost: 2.0013\n";
  text += "Trace file\n/u01/x.trc\nJoin order[9]:";
  setBytes(editor, text);
  editor.show();
  QVERIFY(QTest::qWaitForWindowExposed(&editor));
  editor.SendScintilla(Sci::SCI_DOCUMENTEND);
  editor.viewport()->repaint();
  QVERIFY(lexer.stylingStats().linesStyled > 0);
  QVERIFY(lexer.stylingStats().linesStyled < 1000);
  const int last = lineStart(editor, lines - 1);
  QCOMPARE(styleAt(editor, last), int{tkJoinOrder});
  QCOMPARE(styleAt(editor, lineStart(editor, lines - 2)), int{tkFileName});
  // The lines skipped are still to be styled: the editor will ask again.
  QVERIFY(editor.SendScintilla(Sci::SCI_GETENDSTYLED) < lineStart(editor, 1000));

  // Back to the middle: styled when shown, from the line before's state.
  const long before = lexer.stylingStats().linesStyled;
  editor.SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, 100000UL);
  editor.viewport()->repaint();
  QVERIFY(lexer.stylingStats().linesStyled - before < 1000);
  QCOMPARE(styleAt(editor, lineStart(editor, 100001)), int{tkBestSoFar});
}

void TraceLexerTest::fontChangeKeepsBold() {
  QsciScintilla editor;
  TraceLexer lexer;
  editor.setLexer(&lexer);
  QFont font(QStringLiteral("Courier New"));
  font.setPixelSize(17);
  lexer.setFont(font);
  QVERIFY(isBold(editor, tkJoinOrder));
  QVERIFY(!isBold(editor, tkText));
  QCOMPARE(lexer.font(tkText).pixelSize(), 17);
  QCOMPARE(lexer.font(TraceLexer::kHighlightStyleOffset + tkJoinOrder).pixelSize(), 17);
}

// Rules of punctuation longer than 29 bytes are cut into 24-byte pieces
// of alternating twin styles; shorter runs and letters keep their style,
// and every twin looks exactly like its style, before and after a font
// change, on the chosen section's lines too.
void TraceLexerTest::longPunctuationRunsAlternateTwinStyles() {
  QsciScintilla editor;
  TraceLexer lexer;
  editor.setLexer(&lexer);
  const std::string rule(79, '-');
  setBytes(editor, rule + "\n" + rule + "\n" + std::string(29, '=') + "\nJoin order[1]:\n");
  lexer.setHighlightedLines(1, 2);
  styleAll(editor);
  const int twin = TraceLexer::kTwinStyleBit;
  for (int line : {0, 1}) {
    const int start = lineStart(editor, line);
    const int style = styleAt(editor, start);
    QCOMPARE(style & twin, 0);
    QCOMPARE(style >= TraceLexer::kHighlightStyleOffset, line == 1);
    for (int i = 0; i < 79; ++i) QCOMPARE(styleAt(editor, start + i), (i / 24) % 2 ? style | twin : style);
    QCOMPARE(styleAt(editor, start + 79) & twin, 0);  // the line end
  }
  for (int i = 0; i < 29; ++i) QCOMPARE(styleAt(editor, lineStart(editor, 2) + i) & twin, 0);
  QCOMPARE(styleAt(editor, lineStart(editor, 3)), int{tkJoinOrder});

  auto looksAlike = [&](int style) {
    for (unsigned int message : {Sci::SCI_STYLEGETFORE, Sci::SCI_STYLEGETBACK, Sci::SCI_STYLEGETWEIGHT,
                                 Sci::SCI_STYLEGETITALIC, Sci::SCI_STYLEGETUNDERLINE, Sci::SCI_STYLEGETEOLFILLED,
                                 Sci::SCI_STYLEGETSIZEFRACTIONAL}) {
      const long mine = editor.SendScintilla(message, static_cast<unsigned long>(style));
      const long itsTwin = editor.SendScintilla(message, static_cast<unsigned long>(style | twin));
      if (mine != itsTwin) return false;
    }
    return lexer.font(style) == lexer.font(style | twin);
  };
  QFont font(QStringLiteral("Courier New"));
  font.setPixelSize(17);
  for (bool fontChanged : {false, true}) {
    if (fontChanged) lexer.setFont(font);
    for (int kind = 0; kind < kTraceTokenKindCount; ++kind) {
      QVERIFY2(looksAlike(kind), qPrintable(QString::number(kind)));
      QVERIFY2(looksAlike(kind + TraceLexer::kHighlightStyleOffset), qPrintable(QString::number(kind)));
    }
  }
}

QTEST_MAIN(TraceLexerTest)
#include "trace_lexer_test.moc"

// A path after lines that keep the scanner's mode (blank, white space,
// markers alone) continues the word "file" above them, or, after a line
// that flips the mode, does not. After a jump the lines are styled as
// styling every line from the top styles them.
void TraceLexerTest::styleAfterAJumpIsStyleFromTheTop_data() {
  QTest::addColumn<QByteArray>("between");
  // More lines than a page: styling after a jump starts a page above the
  // view, inside the run.
  const QByteArray blanks(3000, '\n');
  QTest::newRow("blank lines") << blanks;
  QTest::newRow("white space") << QByteArray("   \n\t\n").repeated(1500);
  QTest::newRow("markers alone") << QByteArray("Join order\n\nNow joining:\n").repeated(1000);
  QTest::newRow("a word file flips it") << blanks + "file\n" + blanks;
  QTest::newRow("a plain line ends it") << blanks + "plain\n" + blanks;
}
void TraceLexerTest::styleAfterAJumpIsStyleFromTheTop() {
  QFETCH(QByteArray, between);
  std::string text;
  for (int i = 0; i < 6000; ++i) text += "Best so far:  Table#: 0  cost: 2.0013\n";
  text += "Trace file\n" + between.toStdString() + "/u01/app/x.trc\n";
  for (int i = 0; i < 6000; ++i) text += "Best so far:  Table#: 0  cost: 2.0013\n";
  auto stylesOfThePath = [&](bool jump) {
    QsciScintilla editor;
    TraceLexer lexer;
    editor.setLexer(&lexer);
    editor.resize(600, 400);
    setBytes(editor, text);
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor)) return QByteArray();
    const int path = static_cast<int>(editor.SendScintilla(Sci::SCI_LINEFROMPOSITION,
                                                           static_cast<unsigned long>(text.find("/u01/"))));
    if (jump) {
      // Straight to the path's line, far below anything styled.
      editor.SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(path));
      editor.viewport()->repaint();
    } else {
      // In order from the top, in stretches short enough to be styled whole.
      const int lines = static_cast<int>(editor.SendScintilla(Sci::SCI_GETLINECOUNT));
      for (int line = 0; line < lines; line += 1000) {
        const int end = line + 1000 < lines ? lineStart(editor, line + 1000)
                                            : static_cast<int>(editor.SendScintilla(Sci::SCI_GETLENGTH));
        editor.SendScintilla(Sci::SCI_COLOURISE, static_cast<unsigned long>(lineStart(editor, line)), long(end));
      }
    }
    QByteArray styles;
    for (int p = lineStart(editor, path); p < lineStart(editor, path + 1); ++p) styles.append(char(styleAt(editor, p)));
    return styles;
  };
  const QByteArray fromTheTop = stylesOfThePath(false);
  QVERIFY(!fromTheTop.isEmpty());
  QCOMPARE(stylesOfThePath(true), fromTheTop);
}
