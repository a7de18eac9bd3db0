#include "sql/shown_text.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "sql/final_query_reformat.h"
#include "sql/format_sql.h"
#include "trace/trace_scanner.h"

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kLowBits = 0x0101010101010101ull;
constexpr char kCarriageReturnSymbol[] = "\xE2\x90\x8D";  // U+240D, SYMBOL FOR CARRIAGE RETURN

// Turns bytes of the shown text into its converted bytes for a sink
// (which counts them or collects them): lone carriage returns become their
// symbol, and without valid UTF-8 every byte above 0x7F its Windows-1252
// character. A carriage return that ends one run is decided by the first
// byte of the next, so the caller keeps `pendingCr` between runs.
template <typename Sink>
class Converter {
 public:
  Converter(Sink& sink, bool windows1252, bool& pendingCr)
      : sink_(sink), windows1252_(windows1252), pendingCr_(pendingCr) {}

  void put(const char* bytes, int64_t n) {
    int64_t run = 0;  // start of the bytes passed through unchanged
    // Eight bytes at a time where none of them changes: no carriage
    // return, and no byte above 0x7F unless the text is valid UTF-8.
    const uint64_t changing = windows1252_ ? kHighBits : 0;
    for (int64_t i = 0; i < n; ++i) {
      while (!pendingCr_ && i + 8 <= n) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if ((word & changing) != 0 || hasCarriageReturn(word)) break;
        i += 8;
      }
      if (i >= n) break;
      const unsigned char c = static_cast<unsigned char>(bytes[i]);
      if (pendingCr_) {
        pendingCr_ = false;
        sink_.append(c == '\n' ? "\r" : kCarriageReturnSymbol, c == '\n' ? 1 : 3);
      }
      if (c == '\r' || (c >= 0x80 && windows1252_)) {
        sink_.append(bytes + run, i - run);
        run = i + 1;
        if (c == '\r') {
          pendingCr_ = true;
        } else {
          char utf8[3];
          sink_.append(utf8, windows1252ToUtf8(c, utf8));
        }
      }
    }
    sink_.append(bytes + run, n - run);
  }

  void finish() {
    if (pendingCr_) sink_.append(kCarriageReturnSymbol, 3);
    pendingCr_ = false;
  }

 private:
  Sink& sink_;
  bool windows1252_;
  bool& pendingCr_;
};

struct CountSink {
  int64_t bytes = 0;
  void append(const char*, int64_t n) { bytes += n; }
};

struct StringSink {
  std::string& out;
  void append(const char* p, int64_t n) { out.append(p, static_cast<size_t>(n)); }
};

// Shown bytes of `n` kept bytes converted, `pendingCr` carried over.
template <typename Sink>
void convert(Sink& sink, const TraceTextFacts& facts, bool& pendingCr, const char* p, int64_t n) {
  Converter<Sink>(sink, !facts.validUtf8, pendingCr).put(p, n);
}

// Converted bytes go on a mebibyte at a time; long stretches of bytes that
// need no converting a few mebibytes at a time, so that a sink may stop
// the writing between them.
constexpr size_t kBufferBytes = 1 << 20;
constexpr int64_t kStretch = 4 << 20;

}  // namespace

// Eight bytes at a time: each byte of a sum counts the line feeds in its
// place of up to 255 words.
int64_t lineFeedsIn(const char* bytes, int64_t length) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  constexpr uint64_t kEvenBytes = 0x00FF00FF00FF00FFull;
  int64_t count = 0;
  int64_t i = 0;
  while (i + 8 <= length) {
    uint64_t sums = 0;
    for (int words = 0; words < 255 && i + 8 <= length; ++words, i += 8) {
      uint64_t word;
      std::memcpy(&word, bytes + i, 8);
      const uint64_t x = word ^ (kLowBits * '\n');
      // The high bit of each byte of `nonZero` is set when that byte of x
      // is not zero, with no carry between bytes.
      const uint64_t nonZero = ((x & kLow7) + kLow7) | x;
      sums += (~nonZero & kHighBits) >> 7;
    }
    const uint64_t pairs = (sums & kEvenBytes) + ((sums >> 8) & kEvenBytes);
    count += static_cast<int64_t>((pairs * 0x0001000100010001ull) >> 48);
  }
  for (; i < length; ++i) count += bytes[i] == '\n';
  return count;
}

std::vector<FormattedPiece> formatFinalQueryPieces(const char* text, int32_t length, KeyPoints_c& keyPoints) {
  std::vector<FormattedPiece> pieces;
  std::vector<FinalQueryShift> shifts;  // the queries formatted, in text order
  int32_t previousEnd = 0;
  SVString formatted;
  for (const KeyPoint& k : keyPoints) {
    if (k.kind != tkFinalQuery) continue;
    // Records that cannot be taken in order, or point outside the text,
    // are left alone, as the re-formatting of the whole text does.
    if (k.queryLength <= 0 || k.queryStart < previousEnd || k.queryStart > length - k.queryLength) continue;
    previousEnd = k.queryStart + k.queryLength;
    if (formatFinalQuery(text + k.queryStart, k.queryLength, formatted) != formatSqlOk) continue;
    shifts.push_back(FinalQueryShift{k.queryStart, countLineFeeds(formatted.c_str(), formatted.length())});
    FormattedPiece& piece = pieces.emplace_back();
    piece.start = k.queryStart;
    piece.length = k.queryLength;
    piece.formattedLength = formatted.length();
    piece.text.assign(formatted.data(), static_cast<size_t>(formatted.length()));
  }
  moveKeyPointsPastQueries(keyPoints, shifts.data(), static_cast<int32_t>(shifts.size()));
  return pieces;
}

ShownTextWriter::ShownTextWriter(const SVString& text, const std::vector<FormattedPiece>& pieces,
                                 const TraceTextFacts& facts)
    : text_(text),
      pieces_(pieces),
      convert_(!facts.validUtf8 || facts.loneCarriageReturns > 0),
      windows1252_(!facts.validUtf8) {
  CountSink count;
  bool pendingCr = false;
  int64_t copied = 0;
  const auto stretch = [&](const char* p, int64_t n) {
    if (convert_) {
      convert(count, facts, pendingCr, p, n);
    } else {
      count.bytes += n;
    }
  };
  for (const FormattedPiece& piece : pieces) {
    stretch(text.data() + copied, piece.start - copied);
    stretch(piece.text.data(), static_cast<int64_t>(piece.text.size()));
    copied = piece.start + piece.length;
  }
  stretch(text.data() + copied, text.length() - copied);
  if (pendingCr) count.bytes += 3;
  shownBytes_ = count.bytes;
  done_ = text.length() == 0 && pieces.empty();
}

bool ShownTextWriter::flush(const Sink& sink) {
  if (buffer_.empty()) return true;
  const bool taken = sink(buffer_.data(), static_cast<int64_t>(buffer_.size()));
  written_ += static_cast<int64_t>(buffer_.size());
  buffer_.clear();
  return taken;
}

bool ShownTextWriter::put(const char* p, int64_t n, const Sink& sink) {
  // By length, not as terminated strings: a zero byte in a trace must not
  // cut the text short.
  for (int64_t done = 0; done < n; done += kStretch) {
    const int64_t count = std::min(kStretch, n - done);
    if (!convert_) {
      if (!sink(p + done, count)) return false;
      written_ += count;
      continue;
    }
    StringSink into{buffer_};
    Converter<StringSink>(into, windows1252_, pendingCr_).put(p + done, count);
    if (buffer_.size() >= kBufferBytes && !flush(sink)) return false;
  }
  return true;
}

bool ShownTextWriter::write(int64_t bytes, const Sink& sink, const Readable& readable) {
  const auto have = [&](int64_t end) { return !readable || readable(end); };
  const int64_t goal = written_ + static_cast<int64_t>(buffer_.size()) + bytes;
  const auto reached = [&] { return written_ + static_cast<int64_t>(buffer_.size()) >= goal; };
  bool ok = true;
  bool atLineEnd = false;
  while (ok && !done_ && (!reached() || !atLineEnd)) {
    const bool piecesLeft = piece_ < pieces_.size();
    const int64_t end = piecesLeft ? pieces_[piece_].start : text_.length();
    if (at_ < end) {
      // Kept bytes up to the next piece; where the part ends among them,
      // on to the line feed that ends its line (the shown text grows by
      // at least as many bytes as the kept text gives).
      int64_t take = end - at_;
      const int64_t wanted = std::max<int64_t>(1, goal - written_ - static_cast<int64_t>(buffer_.size()));
      if (take > wanted) {
        // The line feed is looked for a stretch at a time, so that no more
        // of the kept text needs to be readable than the part takes.
        for (int64_t from = at_ + wanted - 1; ok && from < end; from += kStretch) {
          const int64_t to = std::min(end, from + kStretch);
          ok = have(to);
          const void* feed = ok ? std::memchr(text_.data() + from, '\n', static_cast<size_t>(to - from)) : nullptr;
          if (feed == nullptr) continue;
          take = static_cast<const char*>(feed) - (text_.data() + at_) + 1;
          break;
        }
      }
      ok = ok && have(at_ + take) && put(text_.data() + at_, take, sink);
      atLineEnd = text_.data()[at_ + take - 1] == '\n';
      at_ += take;
    } else if (piecesLeft) {
      const FormattedPiece& piece = pieces_[piece_];
      const auto length = static_cast<int64_t>(piece.text.size());
      ok = put(piece.text.data(), length, sink);
      if (length > 0) atLineEnd = piece.text.back() == '\n';
      at_ = piece.start + piece.length;
      ++piece_;
    }
    if (piece_ == pieces_.size() && at_ >= text_.length()) {
      if (convert_) {
        StringSink into{buffer_};
        Converter<StringSink>(into, windows1252_, pendingCr_).finish();
      }
      done_ = true;
    }
  }
  ok = ok && flush(sink);
  if (!ok) done_ = true;
  return ok;
}

int64_t shownLineFeeds(const SVString& text, int64_t textLineFeeds, const std::vector<FormattedPiece>& pieces) {
  int64_t feeds = textLineFeeds;
  for (const FormattedPiece& piece : pieces) {
    feeds -= lineFeedsIn(text.data() + piece.start, piece.length);
    feeds += lineFeedsIn(piece.text.data(), static_cast<int64_t>(piece.text.size()));
  }
  return feeds;
}

void convertShownText(const SVString& text, const TraceTextFacts& facts, std::string& out) {
  CountSink count;
  bool pendingCr = false;
  Converter<CountSink> counter(count, !facts.validUtf8, pendingCr);
  counter.put(text.data(), text.length());
  counter.finish();
  out.clear();
  out.reserve(static_cast<size_t>(count.bytes));
  StringSink sink{out};
  Converter<StringSink> converter(sink, !facts.validUtf8, pendingCr);
  converter.put(text.data(), text.length());
  converter.finish();
}

int64_t shownLength(const char* bytes, int64_t length, const TraceTextFacts& facts) {
  if (facts.validUtf8) return length;
  CountSink count;
  bool pendingCr = false;
  Converter<CountSink> counter(count, true, pendingCr);
  counter.put(bytes, length);
  counter.finish();
  return count.bytes;
}

void appendTraceBytes(const char* shown, int64_t length, const TraceTextFacts& facts, SVString& out) {
  if (facts.validUtf8) {
    out.append(shown, length);
    return;
  }
  // Every character came from one byte, ASCII as itself.
  const unsigned char* p = reinterpret_cast<const unsigned char*>(shown);
  int64_t run = 0;
  for (int64_t i = 0; i < length;) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    out.append(shown + run, i - run);
    const int sequence = utf8SequenceLength(p, static_cast<size_t>(i), static_cast<size_t>(length));
    char16_t c = 0;
    if (sequence == 2) {
      c = static_cast<char16_t>((p[i] & 0x1F) << 6 | (p[i + 1] & 0x3F));
    } else if (sequence == 3) {
      c = static_cast<char16_t>((p[i] & 0x0F) << 12 | (p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F));
    }
    const int fromCodePage = windows1252ByteOf(c);
    const auto byte = static_cast<unsigned char>(fromCodePage >= 0 ? fromCodePage : c);
    const char b = static_cast<char>(byte);
    out.append(&b, 1);
    i += sequence > 0 ? sequence : 1;
    run = i;
  }
  out.append(shown + run, length - run);
}
