// The shown text: formatted final queries in place exactly as the whole
// text re-formatting builds them, Windows-1252 for traces that are not
// UTF-8, lone carriage returns shown without breaking the line, and the
// parts the writer hands on adding up to the whole.
#include "sql/shown_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/trace_file.h"
#include "sql/final_query_reformat.h"
#include "sql/sql_tokenizer.h"
#include "trace/trace_scanner.h"

namespace {

SVString fromBytes(const std::string& bytes) {
  SVString text;
  text.append(bytes.data(), static_cast<int64_t>(bytes.size()));
  return text;
}

// The whole shown text, written in one go.
std::string shown(const SVString& text, const std::vector<FormattedPiece>& pieces = {}) {
  std::string out;
  ShownTextWriter writer(text, pieces, traceTextFacts(text.data(), text.length()));
  EXPECT_TRUE(writer.write(INT64_MAX, [&](const char* p, int64_t n) {
    out.append(p, static_cast<size_t>(n));
    return true;
  }));
  EXPECT_TRUE(writer.done());
  EXPECT_EQ(writer.shownBytes(), static_cast<int64_t>(out.size()));
  return out;
}

SVString sample(const char* name) {
  SVString text;
  EXPECT_EQ(loadFromFile(text, (std::string(ZAZOZAV_SAMPLES_DIR "/") + name).c_str()), 0);
  text.append("\r\n", 2);
  return text;
}

class ShownText : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    buildTraceDispatch();
    buildSqlDispatch();
  }
};

constexpr const char* kSamples[] = {"hr_two_statements.trc", "update_crlf.trc", "edge_zero_bytes_lone_cr.trc",
                                    "cp1252_no_final_newline.trc"};

TEST_F(ShownText, PiecesBuildWhatTheWholeTextReformattingBuilds) {
  for (const char* name : kSamples) {
    SCOPED_TRACE(name);
    const SVString text = sample(name);
    KeyPoints_c byPieces;
    scanKeyPoints(byPieces, text);
    KeyPoints_c whole;
    scanKeyPoints(whole, text);
    SVString reformatted;
    reformatted.assign(text);
    ASSERT_EQ(reformatFinalQueries(reformatted, whole), 0);
    const std::vector<FormattedPiece> pieces = formatFinalQueryPieces(text.data(), text.length(), byPieces);
    ASSERT_EQ(byPieces.count(), whole.count());
    for (int32_t i = 0; i < whole.count(); ++i) EXPECT_EQ(byPieces[i].line, whole[i].line);
    std::string expected;
    convertShownText(reformatted, traceTextFacts(text.data(), text.length()), expected);
    EXPECT_EQ(shown(text, pieces), expected);
  }
}

// A marker on the final query's own line lies above the formatted query:
// the viewer leaves it where the command line does.
TEST_F(ShownText, AMarkerAfterTheFinalQueryOnItsLineStays) {
  const SVString text = fromBytes(
      "Registered qb: SEL$1 0x1 (PARSER)\n"
      "Final query after transformations: Join order[1]:  T1[T1]#0\n"
      "SELECT \"T1\".\"A\" \"A\",\"T1\".\"B\" \"B\" FROM \"U\".\"T1\" \"T1\" WHERE \"T1\".\"A\"=1\n"
      "kkoqbc: optimizing query block SEL$1 (#0)\n"
      "Join order[1]:  T1[T1]#0\n\r\n");
  KeyPoints_c byPieces;
  scanKeyPoints(byPieces, text);
  KeyPoints_c whole;
  scanKeyPoints(whole, text);
  ASSERT_EQ(shiftFinalQueryLines(text, whole), 0);
  const std::vector<FormattedPiece> pieces = formatFinalQueryPieces(text.data(), text.length(), byPieces);
  ASSERT_EQ(pieces.size(), size_t(1));
  ASSERT_EQ(byPieces.count(), whole.count());
  bool sameLine = false;
  for (int32_t i = 0; i < whole.count(); ++i) {
    EXPECT_EQ(byPieces[i].line, whole[i].line);
    sameLine = sameLine || (whole[i].kind == tkJoinOrder && whole[i].line == 1);
  }
  EXPECT_TRUE(sameLine);  // "Join order[1]" on the final query's line
}

TEST_F(ShownText, EveryWindows1252ByteShowsAsItsCharacter) {
  std::string bytes;
  for (int b = 0x80; b <= 0xFF; ++b) bytes += static_cast<char>(b);
  const std::string text = shown(fromBytes(bytes + "\r\n"));
  // The first row of the code page, then U+00A0 to U+00FF as two bytes each.
  const std::string first =
      "\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039\u0152\u008d\u017d\u008f"
      "\u0090\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u02dc\u2122\u0161\u203a\u0153\u009d\u017e\u0178";
  ASSERT_EQ(text.compare(0, first.size(), first), 0);
  std::string rest;
  for (int b = 0xA0; b <= 0xFF; ++b) {
    rest += static_cast<char>(0xC0 | (b >> 6));
    rest += static_cast<char>(0x80 | (b & 0x3F));
  }
  EXPECT_EQ(text.substr(first.size()), rest + "\r\n");
}

// The editor's text of a trace without lone carriage returns stands for
// the trace: read back, it gives every byte again, and its length is
// known before it goes in.
TEST_F(ShownText, ShownTextReadsBackAsTheTrace) {
  std::string every;
  for (int b = 0; b < 256; ++b) {
    if (b != '\r') every += static_cast<char>(b);
  }
  for (const std::string& bytes : {every + "\r\nend\r\n", std::string("caf\xc3\xa9 \xe2\x82\xac\r\n\xf0\x9f\x98\x80\n"),
                                   std::string("plain text then \x93quoted\x94 \x80\x9f\xff")}) {
    const SVString text = fromBytes(bytes);
    const TraceTextFacts facts = traceTextFacts(text.data(), text.length());
    ASSERT_EQ(facts.loneCarriageReturns, 0);
    const std::string inEditor = shown(text);
    EXPECT_EQ(shownLength(text.data(), text.length(), facts), static_cast<int64_t>(inEditor.size()));
    SVString back;
    // In two parts, cut between characters.
    size_t cut = inEditor.size() / 2;
    while (cut > 0 && (static_cast<unsigned char>(inEditor[cut]) & 0xC0) == 0x80) --cut;
    appendTraceBytes(inEditor.data(), static_cast<int64_t>(cut), facts, back);
    appendTraceBytes(inEditor.data() + cut, static_cast<int64_t>(inEditor.size() - cut), facts, back);
    EXPECT_EQ(std::string(back.data(), static_cast<size_t>(back.length())), bytes);
  }
}

// Whole words of unchanged bytes are skipped eight at a time: the text
// converts as it does a byte at a time, wherever a changing byte falls.
TEST_F(ShownText, WordsConvertAsSingleBytes) {
  for (const std::string& bytes :
       {std::string("abcdefg\x93hijklmnop\x94qrstuvw\x80xyz0123456789\xff"),
        std::string("1234567\r\n1234567\rabcdefgh\r\r\n12345678\n\r"),
        std::string("caf\xc3\xa9 au lait\rcr\xc3\xa8me br\xc3\xbbl\xc3\xa9" "e\r\n"),
        std::string("abcdefg\rabcdefg\r")}) {
    const SVString text = fromBytes(bytes);
    const TraceTextFacts facts = traceTextFacts(text.data(), text.length());
    std::string expected;
    for (size_t i = 0; i < bytes.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(bytes[i]);
      if (c == '\r') {
        expected += i + 1 < bytes.size() && bytes[i + 1] == '\n' ? "\r" : "\xe2\x90\x8d";
      } else if (c >= 0x80 && !facts.validUtf8) {
        char utf8[3];
        expected.append(utf8, static_cast<size_t>(windows1252ToUtf8(c, utf8)));
      } else {
        expected += static_cast<char>(c);
      }
    }
    EXPECT_EQ(shown(text), expected);
    std::string converted;
    convertShownText(text, facts, converted);
    EXPECT_EQ(converted, expected);
  }
}

TEST_F(ShownText, LoneCarriageReturnsKeepTheLine) {
  // A carriage return that ends a formatted piece is followed by the
  // line feed of the kept text: a line end, not a lone one.
  const SVString text = fromBytes("a\rb\r\nq\rz\r\nlast\r");
  std::vector<FormattedPiece> pieces(1);
  pieces[0].start = 5;  // "q\rz\r" gives way to "Q1\r\nQ2\r"
  pieces[0].length = 4;
  pieces[0].text = "Q1\r\nQ2\r";
  pieces[0].formattedLength = 7;
  EXPECT_EQ(shown(text, pieces), "a\xe2\x90\x8d" "b\r\nQ1\r\nQ2\r\nlast\xe2\x90\x8d");
}

// Written a part at a time, the text is the same: every part ends a line
// and holds at least what was asked, or the rest; the line count is known
// before.
TEST_F(ShownText, PartsAddUpToTheWholeText) {
  for (const char* name : kSamples) {
    for (int64_t budget : {1, 13, 200}) {
      SCOPED_TRACE(std::string(name) + ", " + std::to_string(budget));
      const SVString text = sample(name);
      KeyPoints_c points;
      scanKeyPoints(points, text);
      const std::vector<FormattedPiece> pieces = formatFinalQueryPieces(text.data(), text.length(), points);
      const std::string whole = shown(text, pieces);
      EXPECT_EQ(shownLineFeeds(text, lineFeedsIn(text.data(), text.length()), pieces),
                lineFeedsIn(whole.data(), static_cast<int64_t>(whole.size())));
      ShownTextWriter writer(text, pieces, traceTextFacts(text.data(), text.length()));
      std::string parts;
      const auto into = [&](const char* p, int64_t n) {
        parts.append(p, static_cast<size_t>(n));
        return true;
      };
      while (!writer.done()) {
        const size_t before = parts.size();
        ASSERT_TRUE(writer.write(budget, into));
        EXPECT_GE(static_cast<int64_t>(parts.size() - before),
                  std::min<int64_t>(budget, static_cast<int64_t>(whole.size() - before)));
        EXPECT_TRUE(parts.back() == '\n' || writer.done());
        EXPECT_EQ(writer.written(), static_cast<int64_t>(parts.size()));
      }
      EXPECT_EQ(parts, whole);
    }
  }
}

// Kept text given back reads as zeros until it is read again: the writer
// asks for every byte before it reads it (ends growing, a line longer
// than the stretch it searches at a time included) and writes what it
// writes from the whole text; an answer of no stops the writing.
TEST_F(ShownText, AGivenBackTextIsAskedForBeforeItIsRead) {
  std::string longLine = "a\n" + std::string(9 << 20, 'x') + "\nend\r\n";
  for (const char* name : {"hr_two_statements.trc", "cp1252_no_final_newline.trc", "long line"}) {
    for (int64_t budget : {1, 200}) {
      SCOPED_TRACE(std::string(name) + ", " + std::to_string(budget));
      const bool synthetic = std::string(name) == "long line";
      const SVString text = synthetic ? fromBytes(longLine) : sample(name);
      KeyPoints_c points;
      scanKeyPoints(points, text);
      const std::vector<FormattedPiece> pieces = formatFinalQueryPieces(text.data(), text.length(), points);
      SVString gone = fromBytes(std::string(text.data(), static_cast<size_t>(text.length())));
      ShownTextWriter writer(gone, pieces, traceTextFacts(text.data(), text.length()));
      std::memset(gone.data(), 0, static_cast<size_t>(gone.length()));
      int64_t readable = 0;
      const auto refill = [&](int64_t end) {
        EXPECT_LE(end, text.length());
        if (end > readable) {
          std::memcpy(gone.data() + readable, text.data() + readable, static_cast<size_t>(end - readable));
          readable = end;
        }
        return true;
      };
      std::string parts;
      while (!writer.done()) {
        ASSERT_TRUE(writer.write(
            budget,
            [&](const char* p, int64_t n) {
              parts.append(p, static_cast<size_t>(n));
              return true;
            },
            refill));
        EXPECT_LE(writer.keptRead(), readable);
      }
      EXPECT_EQ(parts, shown(text, pieces));
      ShownTextWriter refused(text, pieces, traceTextFacts(text.data(), text.length()));
      EXPECT_FALSE(refused.write(budget, [](const char*, int64_t) { return true; }, [](int64_t) { return false; }));
      EXPECT_TRUE(refused.done());
    }
  }
}

// A sink that refuses bytes (memory ran out in the editor) ends the
// writing there.
TEST_F(ShownText, ARefusingSinkStopsTheWriting) {
  const SVString text = sample("hr_two_statements.trc");
  const std::vector<FormattedPiece> none;
  ShownTextWriter writer(text, none, traceTextFacts(text.data(), text.length()));
  int calls = 0;
  EXPECT_FALSE(writer.write(10, [&](const char*, int64_t) { return ++calls > 1 ? true : false; }));
  EXPECT_TRUE(writer.done());
  EXPECT_EQ(calls, 1);
}

TEST(LineFeeds, CountsAtEveryAlignment) {
  std::string bytes;
  for (int i = 0; i < 3000; ++i) bytes += (i * 7 % 11 == 0) ? '\n' : 'x';
  for (size_t from = 0; from < 9; ++from) {
    const auto expected = std::count(bytes.begin() + static_cast<long>(from), bytes.end(), '\n');
    EXPECT_EQ(lineFeedsIn(bytes.data() + from, static_cast<int64_t>(bytes.size() - from)), expected);
  }
}

}  // namespace
