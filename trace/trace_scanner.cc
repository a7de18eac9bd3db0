#include "trace/trace_scanner.h"

#include <cstring>

#include "base/byte_text.h"

namespace {

using Routine = void (*)(ScanState&);

// One routine per first byte. Built once, read-only afterwards.
Routine gDispatch[256];

// Phrases per marker byte, in trial order. "Join order aborted:" comes
// before "Join order", its prefix.
constexpr TraceMarkerPhrase kPhrasesB[] = {
    {"Best:: JoinMethod:", 18, tkGreenMark},
    {"Best join order:", 16, tkGreenMark},
    {"Best so far:", 12, tkBestSoFar},
    {"BASE STATISTICAL INFORMATION", 28, tkBaseStats},
    {nullptr, 0, 0}};
constexpr TraceMarkerPhrase kPhrasesC[] = {
    {"Considering Query Transformations on query block", 48, tkQbTransformation}, {nullptr, 0, 0}};
constexpr TraceMarkerPhrase kPhrasesE[] = {{"Explain Plan Dump", 17, tkExplainPlan}, {nullptr, 0, 0}};
constexpr TraceMarkerPhrase kPhrasesF[] = {
    {"Final query after transformations:", 34, tkFinalQuery},
    {"Final cost for query block", 26, tkFinalQbCost},
    {nullptr, 0, 0}};
constexpr TraceMarkerPhrase kPhrasesJ[] = {
    {"Join order aborted:", 19, tkJoinOrderAborted}, {"Join order", 10, tkJoinOrder}, {nullptr, 0, 0}};
constexpr TraceMarkerPhrase kPhrasesN[] = {{"Now joining:", 12, tkBlueMark}, {nullptr, 0, 0}};
constexpr TraceMarkerPhrase kPhrasesO[] = {{"Optimizer state dump:", 21, tkOptStateDump}, {nullptr, 0, 0}};
constexpr TraceMarkerPhrase kPhrasesP[] = {
    {"PARAMETERS USED BY THE OPTIMIZER", 32, tkOptParams},
    {"Peeked values of the binds in SQL statement", 43, tkBindVars},
    {nullptr, 0, 0}};
constexpr TraceMarkerPhrase kPhrasesQ[] = {
    {"QUERY BLOCK SIGNATURE", 21, tkBlueMark}, {"QUERY BLOCK TEXT", 16, tkQueryBlockText}, {nullptr, 0, 0}};
constexpr TraceMarkerPhrase kPhrasesR[] = {{"Registered qb:", 14, tkRegisteredQb}, {nullptr, 0, 0}};
constexpr TraceMarkerPhrase kPhrasesS[] = {
    {"Starting SQL statement dump", 27, tkSqlDump},
    {"SYSTEM STATISTICS INFORMATION", 29, tkSysStats},
    {nullptr, 0, 0}};
constexpr TraceMarkerPhrase kPhrasesK[] = {
    {"kkoqbc: optimizing query block", 30, tkOptimizingQb}, {nullptr, 0, 0}};
constexpr TraceMarkerPhrase kNewEntryPhrase = {"*** 20", 6, tkNewEntry};

inline bool isWordByte(unsigned char c) { return byteIs(c, kWordBytes); }

inline unsigned char asciiLower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

inline void consume(ScanState& s, int32_t n) {
  s.pos += n;
  s.column += n;
  s.remaining -= n;
}

// A phrase matches when enough bytes remain, its first four bytes are equal
// exactly (one 32-bit comparison) and all of it is equal with ASCII letters
// compared without regard to case.
bool phraseMatches(const ScanState& s, const TraceMarkerPhrase& phrase) {
  if (s.remaining < phrase.length) return false;
  const unsigned char* p = s.text + s.pos;
  uint32_t have, want;
  std::memcpy(&have, p, 4);
  std::memcpy(&want, phrase.text, 4);
  if (have != want) return false;
  for (int32_t i = 4; i < phrase.length; ++i) {
    if (asciiLower(p[i]) != asciiLower(static_cast<unsigned char>(phrase.text[i]))) return false;
  }
  return true;
}

void scanSpace(ScanState& s) {
  s.tokenStart = s.pos;
  while (s.remaining > 0 && s.text[s.pos] <= 0x20) {
    if (s.text[s.pos] == '\n') {
      s.column = 0;
      ++s.line;
    } else {
      ++s.column;
    }
    ++s.pos;
    --s.remaining;
    s.kind = tkSpace;
  }
}

void scanPlainText(ScanState& s);

// A path after the word "file": letters, digits, '.', '_', ' ', '/', and a
// colon as the second byte (a drive letter). Taken only when it holds a
// slash; otherwise the bytes are scanned as plain text.
void scanFileName(ScanState& s) {
  const unsigned char* p = s.text + s.pos;
  int32_t n = 0;
  int32_t slashes = 0;
  while (n < s.remaining) {
    const unsigned char c = p[n];
    const bool accepted = isWordByte(c) || c == '.' || c == ' ' || c == '/' || (c == ':' && n == 1);
    if (!accepted) break;
    if (c == '/') ++slashes;
    ++n;
  }
  s.mode = 0;
  if (n >= 1 && slashes >= 1) {
    s.kind = tkFileName;
    consume(s, n);
    return;
  }
  scanPlainText(s);
}

void scanPlainText(ScanState& s) {
  s.tokenStart = s.pos;
  if (s.mode == fileNameMode) {
    scanFileName(s);
    return;
  }
  const unsigned char* p = s.text + s.pos;
  int32_t n = 0;
  while (n < s.remaining && isWordByte(p[n])) ++n;
  if (n == 0) n = 1;
  s.kind = tkText;
  consume(s, n);
}

template <const TraceMarkerPhrase* kPhrases>
void scanMarker(ScanState& s) {
  s.tokenStart = s.pos;
  if (s.kind != tkText) {
    for (const TraceMarkerPhrase* phrase = kPhrases; phrase->text; ++phrase) {
      if (phraseMatches(s, *phrase)) {
        s.kind = phrase->kind;
        consume(s, phrase->length);
        return;
      }
    }
  }
  s.mode = 0;
  scanPlainText(s);
}

// "*** 20" starts a new-entry token that runs to the end of its line, not
// including the line feed or a carriage return right before it.
void scanAsterisk(ScanState& s) {
  s.tokenStart = s.pos;
  if (s.kind != tkText && phraseMatches(s, kNewEntryPhrase)) {
    const unsigned char* p = s.text + s.pos;
    const void* lf = std::memchr(p, '\n', static_cast<size_t>(s.remaining));
    int32_t n = s.remaining;
    if (lf) {
      n = static_cast<int32_t>(static_cast<const unsigned char*>(lf) - p);
      if (n > 0 && p[n - 1] == '\r') --n;
    }
    s.kind = tkNewEntry;
    consume(s, n);
    return;
  }
  s.mode = 0;
  scanPlainText(s);
}

// The lowercase word "file" switches to file-name mode for the next plain
// token; nothing after it is tested, so "filename" starts it too.
void scanLowerF(ScanState& s) {
  s.tokenStart = s.pos;
  if (s.kind != tkText && s.remaining >= 4 && std::memcmp(s.text + s.pos, "file", 4) == 0) {
    s.kind = tkText;
    s.mode = fileNameMode;
    consume(s, 4);
    return;
  }
  s.mode = 0;
  scanPlainText(s);
}

}  // namespace

const TraceMarkerPhrase* traceMarkerPhrases(unsigned char first) {
  switch (first) {
    case 'B': return kPhrasesB;
    case 'C': return kPhrasesC;
    case 'E': return kPhrasesE;
    case 'F': return kPhrasesF;
    case 'J': return kPhrasesJ;
    case 'N': return kPhrasesN;
    case 'O': return kPhrasesO;
    case 'P': return kPhrasesP;
    case 'Q': return kPhrasesQ;
    case 'R': return kPhrasesR;
    case 'S': return kPhrasesS;
    case 'k': return kPhrasesK;
    default: return nullptr;
  }
}

void buildTraceDispatch() {
  struct Entry {
    unsigned char first;
    Routine routine;
  };
  static constexpr Entry kMarkerEntries[] = {
      {'B', scanMarker<kPhrasesB>}, {'C', scanMarker<kPhrasesC>}, {'E', scanMarker<kPhrasesE>},
      {'F', scanMarker<kPhrasesF>}, {'J', scanMarker<kPhrasesJ>}, {'N', scanMarker<kPhrasesN>},
      {'O', scanMarker<kPhrasesO>}, {'P', scanMarker<kPhrasesP>}, {'Q', scanMarker<kPhrasesQ>},
      {'R', scanMarker<kPhrasesR>}, {'S', scanMarker<kPhrasesS>}, {'k', scanMarker<kPhrasesK>},
      {'f', scanLowerF},            {'*', scanAsterisk}};
  // Filling it again while another thread scans would hand that scan the
  // plain routines for a moment, and it would miss markers.
  static const bool filled = [] {
    for (int c = 0; c < 256; ++c) gDispatch[c] = c <= 0x20 ? scanSpace : scanPlainText;
    for (const Entry& entry : kMarkerEntries) gDispatch[entry.first] = entry.routine;
    return true;
  }();
  (void)filled;
}

bool nextTraceToken(ScanState& state) {
  if (state.remaining <= 0) {
    state.kind = tkEnd;
    return false;
  }
  gDispatch[state.text[state.pos]](state);
  return true;
}
