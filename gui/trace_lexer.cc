#include "gui/trace_lexer.h"

#include <Qsci/qsciscintilla.h>

#include <algorithm>

#include "trace/trace_highlighter.h"

namespace {

using Sci = QsciScintillaBase;

// Line state layout: the scanner mode in the low byte, a bit saying the
// state was written by this lexer, and the text generation above it. A
// state from an older generation (the text changed since) is not trusted.
constexpr int kModeMask = 0xFF;
constexpr int kStateValid = 0x100;
constexpr int kGenerationShift = 9;
constexpr uint32_t kGenerationMask = 0x3FFFFF;

bool isTraceStyle(int style) { return style >= 0 && style < kTraceTokenKindCount; }

bool isHighlightStyle(int style) {
  return style >= TraceLexer::kHighlightStyleOffset &&
         style < TraceLexer::kHighlightStyleOffset + kTraceTokenKindCount;
}

// The highlighter attribute behind a style, or null (style 0 and strangers).
const HighlighterAttribute* attributeOf(const ZAzozav_Hiliter_c& h, int style) {
  if (isHighlightStyle(style)) style -= TraceLexer::kHighlightStyleOffset;
  return isTraceStyle(style) ? h.attributeForIndex(style) : nullptr;
}

// The style whose look a style has: twins look like the style they copy.
int lookOf(int style) { return style >= 0 ? style & ~TraceLexer::kTwinStyleBit : style; }

// The editor lays a line out in pieces that end where the style changes,
// and keeps the measured widths of pieces shorter than 30 bytes for the
// next paint. A longer piece is measured again at every paint, one
// character at a time, and for each character Qt scans the piece from its
// start for a letter that tells the text's direction: on a piece of ASCII
// punctuation, digits and spaces there is none, and a 79-dash rule costs
// thousands of steps per paint. Cutting such runs into 24-byte pieces of
// alternating twin styles keeps every piece short enough to be kept.
constexpr int kLongestKeptPiece = 29;
constexpr int kNeutralPiece = 24;

bool isNeutralAscii(unsigned char c) { return c < 0x80 && !((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }

// Gives every other kNeutralPiece-byte piece of each run of more than
// kLongestKeptPiece neutral ASCII bytes of one style in text[0, length)
// the twin of its style. styles[i] is the style of text[i].
void cutNeutralRuns(const char* text, int length, uint8_t* styles) {
  int runStart = 0;
  while (runStart < length) {
    int runEnd = runStart + 1;
    if (isNeutralAscii(static_cast<unsigned char>(text[runStart]))) {
      while (runEnd < length && styles[runEnd] == styles[runStart] &&
             isNeutralAscii(static_cast<unsigned char>(text[runEnd]))) {
        ++runEnd;
      }
    }
    if (runEnd - runStart > kLongestKeptPiece) {
      for (int at = runStart + kNeutralPiece; at < runEnd; at += 2 * kNeutralPiece) {
        const int pieceEnd = std::min(runEnd, at + kNeutralPiece);
        for (int i = at; i < pieceEnd; ++i) styles[i] = static_cast<uint8_t>(styles[i] | TraceLexer::kTwinStyleBit);
      }
    }
    runStart = runEnd;
  }
}

QColor toQColor(const HighlightColor& c) { return QColor(c.red, c.green, c.blue); }

}  // namespace

TraceLexer::TraceLexer(QObject* parent)
    : QsciLexerCustom(parent), highlighter_(std::make_unique<ZAzozav_Hiliter_c>()) {
  baseFont_ = QFont(QStringLiteral("Courier New"));
  baseFont_.setPixelSize(13);
  baseFont_.setStyleHint(QFont::Monospace);
}

TraceLexer::~TraceLexer() = default;

const char* TraceLexer::language() const { return "Marrow trace"; }

QString TraceLexer::description(int style) const {
  style = lookOf(style);
  if (style == 0) return QStringLiteral("Default");
  const HighlighterAttribute* a = attributeOf(*highlighter_, style);
  if (!a) return QString();
  const QString name = QString::fromLatin1(a->name);
  return isHighlightStyle(style) ? name + QStringLiteral(" (chosen section)") : name;
}

QColor TraceLexer::defaultColor(int style) const {
  style = lookOf(style);
  const HighlighterAttribute* a = attributeOf(*highlighter_, style);
  // On the chosen section's lines the token colours give way.
  if (a && !isHighlightStyle(style) && a->foreground.isSet) return toQColor(a->foreground);
  return QsciLexerCustom::defaultColor(0);
}

QColor TraceLexer::defaultPaper(int style) const {
  style = lookOf(style);
  if (isHighlightStyle(style)) return highlightBackground();
  const HighlighterAttribute* a = attributeOf(*highlighter_, style);
  if (a && a->background.isSet) return toQColor(a->background);
  return QsciLexerCustom::defaultPaper(0);
}

QFont TraceLexer::defaultFont(int style) const {
  style = lookOf(style);
  QFont font = baseFont_;
  const HighlighterAttribute* a = attributeOf(*highlighter_, style);
  const uint8_t bits = a ? a->style : 0;
  font.setBold((bits & kStyleBold) != 0);
  font.setItalic((bits & kStyleItalic) != 0);
  font.setUnderline((bits & kStyleUnderline) != 0);
  font.setStrikeOut((bits & kStyleStrikeOut) != 0);
  return font;
}

// The highlight runs to the window's edge, as a whole-line background.
bool TraceLexer::defaultEolFill(int style) const { return isHighlightStyle(lookOf(style)); }

// Twin styles go up to kTwinStyleBit + kHighlightStyleOffset + 23.
int TraceLexer::styleBitsNeeded() const { return 8; }

void TraceLexer::setFont(const QFont& font, int style) {
  if (style >= 0) {
    QsciLexerCustom::setFont(font, style);
    return;
  }
  baseFont_ = font;
  setDefaultFont(font);
  for (int s = 0; s < kTraceTokenKindCount; ++s) {
    for (int style : {s, s + kHighlightStyleOffset, s | kTwinStyleBit, (s + kHighlightStyleOffset) | kTwinStyleBit}) {
      QsciLexerCustom::setFont(defaultFont(style), style);
    }
  }
}

void TraceLexer::setEditor(QsciScintilla* editor) {
  QObject::disconnect(modifiedConnection_);
  QsciLexerCustom::setEditor(editor);
  states_.clear();
  if (editor) {
    modifiedConnection_ = connect(editor, &QsciScintillaBase::SCN_MODIFIED, this,
                                  [this](int, int type, const char*, int, int, int, int, int, int, int) {
                                    if (type & (Sci::SC_MOD_INSERTTEXT | Sci::SC_MOD_DELETETEXT)) nextGeneration();
                                  });
  }
}

void TraceLexer::nextGeneration() {
  generation_ = (generation_ + 1) & kGenerationMask;
  // A state of a generation that comes round again would be trusted.
  if (generation_ == 0) states_.clear();
}

void TraceLexer::textChanged() {
  nextGeneration();
  // With nothing styled (a new document, or one changed from its start)
  // no state is trusted for its place, so none is kept.
  if (editor() && send(Sci::SCI_GETENDSTYLED) == 0) states_.clear();
}

bool TraceLexer::isHighlighted(int line) const {
  return highlightStart_ >= 0 && line >= highlightStart_ && line < highlightEnd_;
}

long TraceLexer::send(unsigned int message, unsigned long wParam, long lParam) const {
  return editor()->SendScintilla(message, wParam, lParam);
}

int TraceLexer::lineCount() const { return static_cast<int>(send(Sci::SCI_GETLINECOUNT)); }

int TraceLexer::lineStart(int line) const {
  return static_cast<int>(send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)));
}

int TraceLexer::lineOf(int position) const {
  return static_cast<int>(send(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)));
}

void TraceLexer::visibleLines(int& first, int& last) const {
  const long top = send(Sci::SCI_GETFIRSTVISIBLELINE);
  const long rows = std::max(1L, send(Sci::SCI_LINESONSCREEN));
  // A page above and below, so that paging does not meet unstyled lines.
  const long from = std::max(0L, top - rows);
  first = static_cast<int>(send(Sci::SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(from)));
  last = static_cast<int>(send(Sci::SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(top + 2 * rows))) + 1;
}

int TraceLexer::trustedMode(int line, int firstUnstyledLine) const {
  const int state = states_.get(line);
  // Lines above the first unstyled one were styled in order since the
  // text last changed there, so their states hold: a change moves the
  // first unstyled line back to it, and the lines above it keep their
  // places.
  if (line < firstUnstyledLine) return state & kModeMask;
  if ((state & kStateValid) && (static_cast<uint32_t>(state) >> kGenerationShift) == generation_) {
    return state & kModeMask;
  }
  return -1;
}

int TraceLexer::endMode(int line, int entryMode) {
  const int start = lineStart(line);
  const int textEnd = static_cast<int>(send(Sci::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line)));
  const char* text = reinterpret_cast<const char*>(
      send(Sci::SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), textEnd - start));
  highlighter_->restoreRange(entryMode);
  highlighter_->beginLine(text, text ? textEnd - start : 0, line);
  while (!highlighter_->isLineEnd()) highlighter_->advance();
  return highlighter_->saveRange() & kModeMask;
}

int TraceLexer::modeBefore(int line, int firstUnstyledLine) {
  if (line <= 0) return 0;
  // The mode a line ends in depends on the one it starts in only for lines
  // that keep it (blank lines, lines of markers alone) or flip it; walk
  // back over those to a line whose end mode is settled, then forward
  // again, so that the mode is the one styling from the top would give.
  std::vector<std::pair<uint8_t, uint8_t>>& passes = passes_;
  passes.clear();
  int mode = 0;
  for (int at = line - 1; at >= 0; --at) {
    const int trusted = trustedMode(at, firstUnstyledLine);
    if (trusted >= 0) {
      mode = trusted;
      break;
    }
    const int fromPlain = endMode(at, 0);
    const int fromFileName = endMode(at, fileNameMode);
    if (fromPlain == fromFileName) {
      mode = fromPlain;
      break;
    }
    passes.emplace_back(static_cast<uint8_t>(fromPlain), static_cast<uint8_t>(fromFileName));
  }
  for (auto pass = passes.rbegin(); pass != passes.rend(); ++pass) mode = mode == 0 ? pass->first : pass->second;
  // The line before keeps what was found, for the next request.
  const int state = static_cast<int>(generation_ << kGenerationShift) | kStateValid | mode;
  states_.set(line - 1, state);
  return mode;
}

void TraceLexer::styleLines(int first, int last, int firstUnstyledLine) {
  int mode = modeBefore(first, firstUnstyledLine);
  const int rangeStart = lineStart(first);
  const int rangeEnd = last + 1 < lineCount() ? lineStart(last + 1) : static_cast<int>(send(Sci::SCI_GETLENGTH));
  if (rangeEnd < rangeStart) return;
  // One pointer for the whole batch: the document is not changed while
  // styling, so it stays valid until the loop ends.
  const char* bytes = reinterpret_cast<const char*>(
      send(Sci::SCI_GETRANGEPOINTER, static_cast<unsigned long>(rangeStart), rangeEnd - rangeStart));
  if (!bytes && rangeEnd > rangeStart) return;
  send(Sci::SCI_STARTSTYLING, static_cast<unsigned long>(rangeStart), 0);
  for (int line = first; line <= last; ++line) {
    const int start = lineStart(line);
    const int textEnd = static_cast<int>(send(Sci::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line)));
    const int next = line + 1 < lineCount() ? lineStart(line + 1) : rangeEnd;
    const int textLength = textEnd - start;
    const int total = next - start;
    if (textLength < 0 || total < textLength || next > rangeEnd) return;
    if (lineStyles_.size() < static_cast<size_t>(total) + 1) lineStyles_.resize(static_cast<size_t>(total) + 1);
    highlighter_->restoreRange(mode);
    const uint8_t offset = isHighlighted(line) ? kHighlightStyleOffset : 0;
    fillTraceLineStyles(*highlighter_, bytes + (start - rangeStart), textLength, total - textLength, offset,
                        lineStyles_.data());
    cutNeutralRuns(bytes + (start - rangeStart), textLength, lineStyles_.data());
    if (total > 0) {
      editor()->SendScintilla(Sci::SCI_SETSTYLINGEX, static_cast<unsigned long>(total),
                              static_cast<void*>(lineStyles_.data()));
      ++stats_.styleBatches;
    }
    mode = highlighter_->saveRange() & kModeMask;
    const int state = static_cast<int>(generation_ << kGenerationShift) | kStateValid | mode;
    states_.set(line, state);
    ++stats_.linesStyled;
  }
}

void TraceLexer::styleText(int start, int end) {
  if (!editor() || end <= start) return;
  const int first = lineOf(start);
  const int last = lineOf(end - 1);
  if (last - first < kMaxContiguousLines) {
    styleLines(first, last, first);
    return;
  }
  // A long unstyled stretch, typically after a jump: style only the lines
  // around the view and put the first unstyled position back, so that the
  // lines skipped are styled when they are shown.
  int viewFirst = 0;
  int viewLast = 0;
  visibleLines(viewFirst, viewLast);
  const int from = std::max(first, viewFirst);
  const int to = std::min(last, viewLast);
  if (from > to) return;
  styleLines(from, to, first);
  if (from > first) send(Sci::SCI_STARTSTYLING, static_cast<unsigned long>(lineStart(first)), 0);
}

void TraceLexer::setHighlightedLines(int32_t start, int32_t end) {
  if (start < 0 || end <= start) start = end = -1;
  const int32_t oldStart = highlightStart_;
  const int32_t oldEnd = highlightEnd_;
  if (start == oldStart && end == oldEnd) return;
  highlightStart_ = start;
  highlightEnd_ = end;
  if (!editor()) return;

  // The lines whose look changes lie within the span of both ranges.
  int32_t changedFirst = INT32_MAX;
  int32_t changedLast = -1;
  if (oldStart >= 0) {
    changedFirst = oldStart;
    changedLast = oldEnd - 1;
  }
  if (start >= 0) {
    changedFirst = std::min(changedFirst, start);
    changedLast = std::max(changedLast, end - 1);
  }
  const int lines = lineCount();
  if (changedFirst >= lines) return;
  changedLast = std::min<int32_t>(changedLast, lines - 1);

  // Everything from the first changed line on counts as unstyled again,
  // so the changed lines off screen are re-styled when they are shown...
  const int firstUnstyled = std::min(lineOf(static_cast<int>(send(Sci::SCI_GETENDSTYLED))), changedFirst);
  // ...and those on screen are re-styled now.
  int viewFirst = 0;
  int viewLast = 0;
  visibleLines(viewFirst, viewLast);
  const int from = std::max<int>(changedFirst, viewFirst);
  const int to = std::min<int>(changedLast, viewLast);
  if (from <= to) styleLines(from, to, firstUnstyled);
  send(Sci::SCI_STARTSTYLING, static_cast<unsigned long>(lineStart(firstUnstyled)), 0);
}
