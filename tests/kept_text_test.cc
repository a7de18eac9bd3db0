// The kept text: let go once the shown text stands for it, and made again
// from the shown text, byte for byte, formatted queries and Windows-1252
// included.
#include "app/kept_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/trace_file.h"
#include "outline/key_points.h"
#include "sql/sql_tokenizer.h"
#include "trace/trace_scanner.h"

namespace {

class KeptTextTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    buildTraceDispatch();
    buildSqlDispatch();
  }
};

std::string shownOf(const SVString& bytes, const std::vector<FormattedPiece>& pieces, const TraceTextFacts& facts) {
  std::string out;
  ShownTextWriter writer(bytes, pieces, facts);
  writer.write(INT64_MAX, [&](const char* p, int64_t n) {
    out.append(p, static_cast<size_t>(n));
    return true;
  });
  return out;
}

TEST_F(KeptTextTest, MadeAgainFromTheShownTextItStoodFor) {
  for (const char* name : {"hr_two_statements.trc", "update_crlf.trc", "cp1252_no_final_newline.trc"}) {
    SCOPED_TRACE(name);
    SVString loaded;
    ASSERT_EQ(loadFromFile(loaded, (std::string(ZAZOZAV_SAMPLES_DIR "/") + name).c_str()), 0);
    const std::string original = std::string(loaded.data(), static_cast<size_t>(loaded.length())) + "\r\n";
    KeptText kept;
    kept.take(loaded);
    EXPECT_EQ(loaded.length(), 0);
    kept.setFacts(traceTextFacts(kept.bytes().data(), kept.bytes().length()));
    ASSERT_TRUE(kept.canLetGo());
    KeyPoints_c points;
    scanKeyPoints(points, kept.bytes());
    const std::vector<FormattedPiece> pieces =
        formatFinalQueryPieces(kept.bytes().data(), kept.bytes().length(), points);
    kept.notePieces(pieces);
    const std::string shown = shownOf(kept.bytes(), pieces, kept.facts());
    // The same pieces noted from the shown text of the bytes as they are
    // (valid UTF-8 only: the other is shown converted).
    if (!kept.singleByte()) {
      const std::string plain = shownOf(kept.bytes(), {}, kept.facts());
      KeptText fromShown;
      fromShown.setFacts(kept.facts());
      fromShown.notePieces(pieces, plain.data());
      ASSERT_EQ(fromShown.shownPieces().size(), kept.shownPieces().size());
      for (size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(fromShown.shownPieces()[i].start, kept.shownPieces()[i].start);
        EXPECT_EQ(fromShown.shownPieces()[i].length, kept.shownPieces()[i].length);
        EXPECT_EQ(fromShown.shownPieces()[i].trace, kept.shownPieces()[i].trace);
      }
    }
    kept.letGoOfBytes();
    EXPECT_TRUE(kept.letGo());
    EXPECT_EQ(kept.bytes().length(), 0);
    kept.restore(shown.data(), static_cast<int64_t>(shown.size()));
    EXPECT_FALSE(kept.letGo());
    EXPECT_EQ(std::string(kept.bytes().data(), static_cast<size_t>(kept.bytes().length())), original);
  }
}

}  // namespace
