#include "gui/shown_text.h"

#include <Qsci/qsciscintilla.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "app/file_backed_bytes.h"
#include "sql/final_query_reformat.h"
#include "sql/format_sql.h"
#include "sql/sql_formatter.h"
#include "trace/trace_scanner.h"

namespace {

using Sci = QsciScintillaBase;

constexpr int32_t kFormatWidth = 80;
constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kLowBits = 0x0101010101010101ull;
constexpr char kCarriageReturnSymbol[] = "\xE2\x90\x8D";  // U+240D, SYMBOL FOR CARRIAGE RETURN

// Turns the pieces of the shown text into its bytes for a sink (which
// counts them or hands them to the editor): lone carriage returns become
// their symbol, and without valid UTF-8 every byte above 0x7F its
// Windows-1252 character. A carriage return that ends one piece is decided
// by the first byte of the next.
template <typename Sink>
class Converter {
 public:
  Converter(Sink& sink, const TraceTextFacts& facts) : sink_(sink), windows1252_(!facts.validUtf8) {}

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
  bool pendingCr_ = false;
};

struct CountSink {
  int64_t bytes = 0;
  void append(const char*, int64_t n) { bytes += n; }
};

// Collects converted bytes and hands them to the editor a mebibyte at a time.
struct EditorSink {
  static constexpr size_t kChunk = 1 << 20;
  QsciScintilla& editor;
  std::string buffer;
  int64_t taken = 0;  // bytes appended or sent, those still in the buffer included
  void append(const char* p, int64_t n) {
    if (n <= 0) return;
    if (buffer.size() + static_cast<size_t>(n) > kChunk) flush();
    if (static_cast<size_t>(n) >= kChunk) {
      send(p, n);
      return;
    }
    taken += n;
    buffer.append(p, static_cast<size_t>(n));
  }
  void flush() {
    deliver(buffer.data(), static_cast<int64_t>(buffer.size()));
    buffer.clear();
  }
  // Hands bytes to the editor at once, past the buffer (flushed first when
  // the two are mixed).
  void send(const char* p, int64_t n) {
    taken += n;
    deliver(p, n);
  }

 private:
  void deliver(const char* p, int64_t n) {
    if (n > 0) editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(n), p);
  }
};

// Walks the kept text with the pieces in place: calls put(bytes, n) for
// each stretch in order, and done(piece) after each piece.
template <typename Put, typename Done>
void walkPieces(const SVString& text, std::vector<FormattedPiece>& pieces, Put put, Done done) {
  int64_t copied = 0;
  for (FormattedPiece& piece : pieces) {
    put(text.data() + copied, piece.start - copied);
    put(piece.text.data(), static_cast<int64_t>(piece.text.size()));
    done(piece);
    copied = piece.start + piece.length;
  }
  put(text.data() + copied, text.length() - copied);
}

void keepPiece(FormattedPiece&) {}
void releasePiece(FormattedPiece& piece) { std::string().swap(piece.text); }

// Long stretches go in a few mebibytes at a time, so that what is in can
// be given back.
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
    if (formatSql(text + k.queryStart, k.queryLength, 0, compactLists, kFormatWidth, formatted) !=
        formatSqlOk) {
      continue;
    }
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

struct ShownTextAppender::Sinks {
  Sinks(QsciScintilla& editor, const TraceTextFacts& facts) : sink{editor, {}}, converter(sink, facts) {}
  EditorSink sink;
  Converter<EditorSink> converter;
};

ShownTextAppender::ShownTextAppender(QsciScintilla& editor, const SVString& text, std::vector<FormattedPiece>& pieces,
                                     const TraceTextFacts& facts, bool giveBack, FileBackedBytes* backing)
    : text_(text),
      pieces_(pieces),
      convert_(!facts.validUtf8 || facts.loneCarriageReturns > 0),
      giveBack_(giveBack),
      backing_(giveBack ? backing : nullptr),
      sinks_(std::make_unique<Sinks>(editor, facts)),
      given_(text.data()) {
  CountSink count;
  if (convert_) {
    Converter<CountSink> counter(count, facts);
    walkPieces(text, pieces, [&](const char* p, int64_t n) { counter.put(p, n); }, keepPiece);
    counter.finish();
  } else {
    walkPieces(text, pieces, [&](const char*, int64_t n) { count.bytes += n; }, keepPiece);
  }
  shownBytes_ = count.bytes;
}

ShownTextAppender::~ShownTextAppender() = default;

void ShownTextAppender::put(const char* p, int64_t n) {
  // By length, not as terminated strings: a zero byte in a trace must not
  // cut the text short.
  const bool ofText = p >= text_.data() && p < text_.data() + text_.length();
  for (int64_t done = 0; done < n; done += kStretch) {
    const int64_t count = std::min(kStretch, n - done);
    if (convert_) {
      sinks_->converter.put(p + done, count);
    } else {
      sinks_->sink.send(p + done, count);
    }
    if (giveBack_ && ofText) {
      // Converted bytes may still wait in the sink; the stretch they came
      // from is read no more, nor anything before it: the page that holds
      // the first byte not given back yet goes too, but for the buffer's
      // first, which the allocator shares.
      static const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
      const auto* pageOfGiven = reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(given_) & ~(page - 1));
      givePagesBack(std::max(pageOfGiven, text_.data()), p + done + count);
      given_ = p + done + count;
    }
  }
}

bool (*ShownTextAppender::roomHook)(int64_t room) = nullptr;

bool ShownTextAppender::appendSlice(int64_t bytes) {
  // The editor throws when it cannot make room or take the bytes: the
  // text then ends, short, for the frame to let go of.
  try {
    int64_t sent = 0;
    do {
      sent += appendPart(makeRoom(bytes - sent));
    } while (!done_ && sent < bytes);
    if (convert_) sinks_->sink.flush();
  } catch (const std::bad_alloc&) {
    outOfMemory_ = true;
    done_ = true;
  }
  return done_;
}

int64_t ShownTextAppender::makeRoom(int64_t bytes) {
  // The bytes to spare keep the editor from growing (and copying) its
  // buffer when it is first asked for the text as one piece.
  constexpr int64_t kSpare = 64;
  // Room in steps for a large text given back as it goes in.
  constexpr int64_t kStepAbove = 16 << 20;
  const auto grow = [&](int64_t room) {
    if (room <= room_) return;
    room_ = room;
    if (roomHook != nullptr && !roomHook(room_)) throw std::bad_alloc();
    sinks_->sink.editor.SendScintilla(Sci::SCI_ALLOCATE, static_cast<unsigned long>(room_));
  };
  // The editor clears the room it makes, text and styles, which for a
  // large text takes longer than the first slice: that slice gets room of
  // its own.
  if (room_ == 0 && bytes < shownBytes_ / 4) {
    grow(2 * bytes);
    return bytes;
  }
  // The room is cleared, so it is resident at once, text and styles: made
  // for the whole text while the kept text is still whole, the three would
  // be held together. Room for half first, and for the whole once that
  // half is in and its kept bytes given back, holds two and a half at the
  // most (the editor frees its old room before clearing the new). Growing
  // in more steps would copy more and hold more while copying.
  // A converted byte may become three in the editor, so converted parts
  // stop a third of the way to the half, and the half is taken as reached
  // within a mebibyte.
  const int64_t half = shownBytes_ / 2;
  const int64_t left = half - sinks_->sink.taken;
  if (giveBack_ && shownBytes_ > kStepAbove && left > (1 << 20)) {
    grow(half + kSpare);
    return std::max<int64_t>(1, std::min(bytes, convert_ ? left / 3 : left));
  }
  // The kept bytes still to come go back to the system before the room
  // for the whole text is cleared, and come back from the file as they
  // go in: two times the trace at the most, not two and a half.
  if (backing_ != nullptr && shownBytes_ > kStepAbove && room_ < shownBytes_ + kSpare) backing_->release(at_);
  grow(shownBytes_ + kSpare);
  return bytes;
}

int64_t ShownTextAppender::readableEnd() const {
  if (backing_ == nullptr || backing_->readableTo() >= backing_->length()) return text_.length();
  return backing_->readableTo();
}

bool ShownTextAppender::makeReadable(int64_t to) {
  if (to <= readableEnd() || backing_->refill(to)) return true;
  failed_ = true;
  done_ = true;
  return false;
}

int64_t ShownTextAppender::lineEndFrom(int64_t from, int64_t end) {
  while (from < end) {
    if (!makeReadable(from + 1)) return -1;
    const int64_t limit = std::min(end, readableEnd());
    const void* feed = std::memchr(text_.data() + from, '\n', static_cast<size_t>(limit - from));
    if (feed != nullptr) return static_cast<const char*>(feed) - text_.data() + 1;
    from = limit;
  }
  return end;
}

int64_t ShownTextAppender::appendPart(int64_t bytes) {
  int64_t sent = 0;
  bool atLineEnd = false;
  while (!done_ && (sent < bytes || !atLineEnd)) {
    const bool piecesLeft = piece_ < pieces_.size();
    const int64_t end = piecesLeft ? pieces_[piece_].start : text_.length();
    if (at_ < end) {
      // Kept bytes up to the next piece; where the slice ends among them,
      // on to the line feed that ends its line.
      int64_t take = end - at_;
      if (sent + take > bytes) {
        const int64_t lineEnd = lineEndFrom(at_ + std::max<int64_t>(bytes - sent, 1) - 1, end);
        if (lineEnd < 0) break;
        take = lineEnd - at_;
      }
      if (!makeReadable(at_ + take)) break;
      put(text_.data() + at_, take);
      atLineEnd = text_.data()[at_ + take - 1] == '\n';
      sent += take;
      at_ += take;
    } else if (piecesLeft) {
      FormattedPiece& piece = pieces_[piece_];
      const auto length = static_cast<int64_t>(piece.text.size());
      put(piece.text.data(), length);
      if (length > 0) atLineEnd = piece.text.back() == '\n';
      sent += length;
      at_ = piece.start + piece.length;
      releasePiece(piece);
      ++piece_;
    }
    if (piece_ == pieces_.size() && at_ >= text_.length()) {
      if (convert_) sinks_->converter.finish();
      done_ = true;
    }
  }
  return sent;
}

int64_t shownLineFeeds(const SVString& text, int64_t textLineFeeds, const std::vector<FormattedPiece>& pieces) {
  int64_t feeds = textLineFeeds;
  for (const FormattedPiece& piece : pieces) {
    feeds -= lineFeedsIn(text.data() + piece.start, piece.length);
    feeds += lineFeedsIn(piece.text.data(), static_cast<int64_t>(piece.text.size()));
  }
  return feeds;
}

void appendShownText(QsciScintilla& editor, const SVString& text, std::vector<FormattedPiece>& pieces,
                     const TraceTextFacts& facts, bool giveBack) {
  ShownTextAppender(editor, text, pieces, facts, giveBack).appendSlice(INT64_MAX);
}

namespace {

struct StringSink {
  std::string& out;
  void append(const char* p, int64_t n) { out.append(p, static_cast<size_t>(n)); }
};

}  // namespace

void convertShownText(const SVString& text, const TraceTextFacts& facts, std::string& out) {
  CountSink count;
  Converter<CountSink> counter(count, facts);
  counter.put(text.data(), text.length());
  counter.finish();
  out.clear();
  out.reserve(static_cast<size_t>(count.bytes));
  StringSink sink{out};
  Converter<StringSink> converter(sink, facts);
  converter.put(text.data(), text.length());
  converter.finish();
}

int64_t shownLength(const char* bytes, int64_t length, const TraceTextFacts& facts) {
  if (facts.validUtf8) return length;
  CountSink count;
  Converter<CountSink> counter(count, facts);
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
