// The shown text: formatted final queries in place exactly as the whole
// text re-formatting builds them, Windows-1252 for traces that are not
// UTF-8, and lone carriage returns shown without breaking the line.
#include "gui/shown_text.h"

#include <Qsci/qsciscintilla.h>

#include <QTemporaryDir>
#include <QTest>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/file_backed_bytes.h"
#include "app/trace_file.h"
#include "sql/final_query_reformat.h"
#include "trace/trace_scanner.h"
#include "sql/sql_tokenizer.h"

namespace {

using Sci = QsciScintillaBase;

// As the trace frame sets the editor for its text: no undo record, no
// change notices.
void prepare(QsciScintilla& editor) {
  editor.SendScintilla(Sci::SCI_SETCODEPAGE, long(Sci::SC_CP_UTF8));
  editor.SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 0L);
  editor.SendScintilla(Sci::SCI_SETMODEVENTMASK, 0L);
}

QByteArray shown(const SVString& text, std::vector<FormattedPiece> pieces) {
  QsciScintilla editor;
  prepare(editor);
  appendShownText(editor, text, pieces, traceTextFacts(text.data(), text.length()), false);
  const long length = editor.SendScintilla(Sci::SCI_GETLENGTH);
  return QByteArray(reinterpret_cast<const char*>(editor.SendScintilla(Sci::SCI_GETCHARACTERPOINTER)), length);
}

// Whole pages of [from, to) that the system holds in memory.
int residentPages(const char* from, const char* to) {
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t start = (reinterpret_cast<uintptr_t>(from) + page - 1) & ~(page - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(to) & ~(page - 1);
  if (end <= start) return 0;
  std::vector<unsigned char> pages((end - start) / page);
  if (mincore(reinterpret_cast<void*>(start), end - start, pages.data()) != 0) return -1;
  return static_cast<int>(std::count_if(pages.begin(), pages.end(), [](unsigned char p) { return (p & 1) != 0; }));
}

SVString fromBytes(const QByteArray& bytes) {
  SVString text;
  text.append(bytes.constData(), bytes.size());
  return text;
}

}  // namespace

class ShownTextTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { buildSqlDispatch(); }

  void piecesBuildWhatTheWholeTextReformattingBuilds_data() {
    QTest::addColumn<QString>("sample");
    for (const char* name : {"hr_two_statements.trc", "update_crlf.trc", "edge_zero_bytes_lone_cr.trc"}) {
      QTest::newRow(name) << QString(ZAZOZAV_SAMPLES_DIR "/") + name;
    }
  }
  void piecesBuildWhatTheWholeTextReformattingBuilds() {
    QFETCH(QString, sample);
    SVString text;
    QCOMPARE(loadFromFile(text, sample.toLocal8Bit().constData()), 0);
    text.append("\r\n", 2);
    KeyPoints_c byPieces;
    scanKeyPoints(byPieces, text);
    KeyPoints_c whole;
    scanKeyPoints(whole, text);
    SVString reformatted;
    reformatted.assign(text);
    QCOMPARE(reformatFinalQueries(reformatted, whole), 0);
    std::vector<FormattedPiece> pieces = formatFinalQueryPieces(text.data(), text.length(), byPieces);
    QCOMPARE(byPieces.count(), whole.count());
    for (int32_t i = 0; i < whole.count(); ++i) QCOMPARE(byPieces[i].line, whole[i].line);
    const TraceTextFacts facts = traceTextFacts(reformatted.data(), reformatted.length());
    if (facts.loneCarriageReturns == 0 && facts.validUtf8) {
      QVERIFY(!pieces.empty());
      QCOMPARE(shown(text, std::move(pieces)), QByteArray(reformatted.data(), reformatted.length()));
    }
  }

  // A marker on the final query's own line lies above the formatted query:
  // the viewer leaves it where the command line does.
  void aMarkerAfterTheFinalQueryOnItsLineStays() {
    SVString text;
    const char trace[] =
        "Registered qb: SEL$1 0x1 (PARSER)\n"
        "Final query after transformations: Join order[1]:  T1[T1]#0\n"
        "SELECT \"T1\".\"A\" \"A\",\"T1\".\"B\" \"B\" FROM \"U\".\"T1\" \"T1\" WHERE \"T1\".\"A\"=1\n"
        "kkoqbc: optimizing query block SEL$1 (#0)\n"
        "Join order[1]:  T1[T1]#0\n\r\n";
    text.append(trace, static_cast<int64_t>(sizeof trace - 1));
    KeyPoints_c byPieces;
    scanKeyPoints(byPieces, text);
    KeyPoints_c whole;
    scanKeyPoints(whole, text);
    QCOMPARE(shiftFinalQueryLines(text, whole), 0);
    const std::vector<FormattedPiece> pieces = formatFinalQueryPieces(text.data(), text.length(), byPieces);
    QCOMPARE(pieces.size(), size_t(1));
    QCOMPARE(byPieces.count(), whole.count());
    bool sameLine = false;
    for (int32_t i = 0; i < whole.count(); ++i) {
      QCOMPARE(byPieces[i].line, whole[i].line);
      sameLine = sameLine || (whole[i].kind == tkJoinOrder && whole[i].line == 1);
    }
    QVERIFY(sameLine);  // "Join order[1]" on the final query's line
  }

  void facts_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("lone");
    QTest::newRow("crlf lines") << QByteArray("abcdefghijkl\r\nmnopqrstuvwx\r\n") << true << 0;
    QTest::newRow("lone inside words") << QByteArray("abcdefgh\rijklmnop\r\r\n") << true << 2;
    QTest::newRow("cr at the end") << QByteArray("abc\r") << true << 1;
    QTest::newRow("utf-8 and a lone cr") << QByteArray("caf\xc3\xa9 long enough\rx") << true << 1;
    QTest::newRow("cp1252") << QByteArray("\x93quoted\x94\r\n") << false << 0;
  }
  void facts() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(int, lone);
    const TraceTextFacts facts = traceTextFacts(bytes.constData(), bytes.size());
    QCOMPARE(facts.validUtf8, valid);
    QCOMPARE(facts.loneCarriageReturns, int64_t{lone});
  }

  void everyWindows1252ByteShowsAsItsCharacter() {
    QByteArray bytes;
    for (int b = 0x80; b <= 0xFF; ++b) bytes.append(char(b));
    bytes.append("\r\n");
    const QString text = QString::fromUtf8(shown(fromBytes(bytes), {}));
    QCOMPARE(text.size(), 128 + 2);
    const QString expected = QString::fromUtf8(
        "\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039\u0152\u008d\u017d\u008f"
        "\u0090\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u02dc\u2122\u0161\u203a\u0153\u009d\u017e\u0178");
    QCOMPARE(text.left(32), expected);
    for (int b = 0xA0; b <= 0xFF; ++b) QCOMPARE(text[b - 0x80].unicode(), char16_t(b));
  }

  // The editor's text of a trace without lone carriage returns stands for
  // the trace: read back, it gives every byte again, and its length is
  // known before it goes in.
  void shownTextReadsBackAsTheTrace_data() {
    QTest::addColumn<QByteArray>("bytes");
    QByteArray every;
    for (int b = 0; b < 256; ++b) {
      if (b != '\r') every.append(char(b));
    }
    QTest::newRow("every byte but a lone carriage return") << every + "\r\nend\r\n";
    QTest::newRow("valid UTF-8") << QByteArray("caf\xc3\xa9 \xe2\x82\xac\r\n\xf0\x9f\x98\x80\n");
    QTest::newRow("Windows-1252 after ASCII") << QByteArray("plain text then \x93quoted\x94 \x80\x9f\xff");
  }
  void shownTextReadsBackAsTheTrace() {
    QFETCH(QByteArray, bytes);
    const SVString text = fromBytes(bytes);
    const TraceTextFacts facts = traceTextFacts(text.data(), text.length());
    QCOMPARE(facts.loneCarriageReturns, int64_t{0});
    const QByteArray inEditor = shown(text, {});
    QCOMPARE(shownLength(text.data(), text.length(), facts), int64_t(inEditor.size()));
    SVString back;
    // In two parts, cut between characters.
    qsizetype cut = inEditor.size() / 2;
    while (cut > 0 && (static_cast<unsigned char>(inEditor.at(cut)) & 0xC0) == 0x80) --cut;
    appendTraceBytes(inEditor.constData(), cut, facts, back);
    appendTraceBytes(inEditor.constData() + cut, inEditor.size() - cut, facts, back);
    QCOMPARE(QByteArray(back.data(), back.length()), bytes);
  }

  // Whole words of unchanged bytes are skipped eight at a time: the text
  // converts as it does a byte at a time, wherever a changing byte falls.
  void wordsConvertAsSingleBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("Windows-1252 bytes around word edges")
        << QByteArray("abcdefg\x93hijklmnop\x94qrstuvw\x80xyz0123456789\xff");
    QTest::newRow("line ends and lone carriage returns around word edges")
        << QByteArray("1234567\r\n1234567\rabcdefgh\r\r\n12345678\n\r");
    QTest::newRow("valid UTF-8 with a lone carriage return") << QByteArray("caf\xc3\xa9 au lait\rcr\xc3\xa8me br\xc3\xbbl\xc3\xa9" "e\r\n");
    QTest::newRow("a lone carriage return at a word's last byte") << QByteArray("abcdefg\rabcdefg\r");
  }
  void wordsConvertAsSingleBytes() {
    QFETCH(QByteArray, bytes);
    const SVString text = fromBytes(bytes);
    const TraceTextFacts facts = traceTextFacts(text.data(), text.length());
    QByteArray expected;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(bytes[i]);
      if (c == '\r') {
        expected.append(i + 1 < bytes.size() && bytes[i + 1] == '\n' ? "\r" : "\xe2\x90\x8d");
      } else if (c >= 0x80 && !facts.validUtf8) {
        expected.append(shown(fromBytes(QByteArray(1, char(c))), {}));  // a single byte: no word skipped
      } else {
        expected.append(char(c));
      }
    }
    QCOMPARE(shown(text, {}), expected);
    std::string converted;
    convertShownText(text, facts, converted);
    QCOMPARE(QByteArray::fromStdString(converted), expected);
  }

  void loneCarriageReturnsKeepTheLine() {
    // A carriage return that ends a formatted piece is followed by the
    // line feed of the kept text: a line end, not a lone one.
    const SVString text = fromBytes("a\rb\r\nq\rz\r\nlast\r");
    std::vector<FormattedPiece> pieces(1);
    pieces[0].start = 5;  // "q\rz\r" gives way to "Q1\r\nQ2\r"
    pieces[0].length = 4;
    pieces[0].text.append("Q1\r\nQ2\r", 7);
    pieces[0].formattedLength = 7;
    QCOMPARE(shown(text, std::move(pieces)), QByteArray("a\xe2\x90\x8d" "b\r\nQ1\r\nQ2\r\nlast\xe2\x90\x8d"));
  }

  void slicesAddUpToTheWholeText_data() {
    QTest::addColumn<QString>("sample");
    QTest::addColumn<int>("budget");
    for (const char* name : {"hr_two_statements.trc", "update_crlf.trc", "edge_zero_bytes_lone_cr.trc",
                             "cp1252_no_final_newline.trc"}) {
      for (int budget : {1, 13, 200}) {
        QTest::addRow("%s, %d", name, budget) << QString(ZAZOZAV_SAMPLES_DIR "/") + name << budget;
      }
    }
  }
  void slicesAddUpToTheWholeText() {
    QFETCH(QString, sample);
    QFETCH(int, budget);
    SVString text;
    QCOMPARE(loadFromFile(text, sample.toLocal8Bit().constData()), 0);
    text.append("\r\n", 2);
    KeyPoints_c points;
    scanKeyPoints(points, text);
    std::vector<FormattedPiece> pieces = formatFinalQueryPieces(text.data(), text.length(), points);
    const QByteArray whole = shown(text, pieces);
    const long lines = shownLineFeeds(text, lineFeedsIn(text.data(), text.length()), pieces) + 1;
    QsciScintilla editor;
    editor.SendScintilla(Sci::SCI_SETCODEPAGE, long(Sci::SC_CP_UTF8));
    ShownTextAppender appender(editor, text, pieces, traceTextFacts(text.data(), text.length()), false);
    QVERIFY(!appender.appendSlice(budget));
    long before = editor.SendScintilla(Sci::SCI_GETLENGTH);
    for (bool done = false; !done;) {
      const auto* bytes = reinterpret_cast<const char*>(editor.SendScintilla(Sci::SCI_GETCHARACTERPOINTER));
      // Every slice ends a line and holds at least the budget, or the rest.
      QCOMPARE(bytes[before - 1], '\n');
      QVERIFY(whole.startsWith(QByteArray(bytes, before)));
      done = appender.appendSlice(budget);
      const long after = editor.SendScintilla(Sci::SCI_GETLENGTH);
      QVERIFY(after - before >= std::min<long>(budget, whole.size() - before));
      before = after;
    }
    QVERIFY(appender.done());
    const long length = editor.SendScintilla(Sci::SCI_GETLENGTH);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(editor.SendScintilla(Sci::SCI_GETCHARACTERPOINTER)), length),
             whole);
    QCOMPARE(editor.SendScintilla(Sci::SCI_GETLINECOUNT), lines);
  }

  // A large text given back as it goes in is taken in with room made in
  // steps: the text is the same as when it is kept, in slices or whole,
  // and none of its memory stays, also where a formatted query took the
  // place of its bytes. Backed by its file, the part still to come when
  // the room for the whole is made goes back then and comes back from the
  // file; a file changed meanwhile stops the text short, failed.
  void givenBackLargeTextIsTheKeptTextsShownText_data() {
    QTest::addColumn<QString>("sample");
    QTest::addColumn<qint64>("slice");
    QTest::addColumn<bool>("backed");
    QTest::addColumn<bool>("changed");
    for (const char* name : {"hr_two_statements.trc", "cp1252_no_final_newline.trc"}) {
      const QString path = QString(ZAZOZAV_SAMPLES_DIR "/") + name;
      QTest::addRow("%s, slices", name) << path << qint64(3 << 20) << false << false;
      QTest::addRow("%s, whole", name) << path << qint64(INT64_MAX) << false << false;
      QTest::addRow("%s, slices from the file", name) << path << qint64(3 << 20) << true << false;
    }
    QTest::addRow("the file changed") << QString(ZAZOZAV_SAMPLES_DIR "/hr_two_statements.trc") << qint64(3 << 20)
                                      << true << true;
  }
  void givenBackLargeTextIsTheKeptTextsShownText() {
    QFETCH(QString, sample);
    QFETCH(qint64, slice);
    QFETCH(bool, backed);
    QFETCH(bool, changed);
    SVString one;
    QCOMPARE(loadFromFile(one, sample.toLocal8Bit().constData()), 0);
    one.append("\n", 1);
    SVString text;
    while (text.length() < (20 << 20)) text.append(one.data(), one.length());
    KeyPoints_c points;
    scanKeyPoints(points, text);
    std::vector<FormattedPiece> kept = formatFinalQueryPieces(text.data(), text.length(), points);
    QVERIFY(kept.size() > 100);
    std::vector<FormattedPiece> pieces = kept;
    const QByteArray expected = shown(text, std::move(kept));
    const TraceTextFacts facts = traceTextFacts(text.data(), text.length());
    QTemporaryDir dir;
    const std::string path = dir.filePath("t.trc").toStdString();
    std::unique_ptr<FileBackedBytes> backing;
    if (backed) {
      FILE* file = std::fopen(path.c_str(), "wb");
      QVERIFY(file != nullptr);
      QCOMPARE(std::fwrite(text.data(), 1, static_cast<size_t>(text.length()), file), size_t(text.length()));
      std::fclose(file);
      backing = std::make_unique<FileBackedBytes>(path, text.data(), text.length());
    }
    QsciScintilla editor;
    prepare(editor);
    ShownTextAppender appender(editor, text, pieces, facts, true, backing.get());
    for (bool done = false; !done;) {
      done = appender.appendSlice(slice);
      const long length = editor.SendScintilla(Sci::SCI_GETLENGTH);
      const auto* bytes = reinterpret_cast<const char*>(editor.SendScintilla(Sci::SCI_GETCHARACTERPOINTER));
      QVERIFY(done || bytes[length - 1] == '\n');
      if (changed) {
        FILE* file = std::fopen(path.c_str(), "r+b");
        QVERIFY(file != nullptr);
        std::fseek(file, -10, SEEK_END);
        std::fputc('#', file);
        std::fclose(file);
      }
    }
    const long length = editor.SendScintilla(Sci::SCI_GETLENGTH);
    const QByteArray got(reinterpret_cast<const char*>(editor.SendScintilla(Sci::SCI_GETCHARACTERPOINTER)), length);
    QCOMPARE(appender.failed(), changed);
    if (changed) {
      QVERIFY(length < expected.size() && expected.startsWith(got));
      return;
    }
    QCOMPARE(length, long(expected.size()));
    QVERIFY(got == expected);
    QVERIFY(residentPages(text.data(), text.data() + text.length()) <= 8);
  }
};

QTEST_MAIN(ShownTextTest)
#include "shown_text_test.moc"
