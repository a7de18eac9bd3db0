#include "gui/trace_lexer.h"

#include "trace/trace_highlighter.h"

TraceLexer::TraceLexer(QObject* parent)
    : QsciLexerCustom(parent), highlighter_(std::make_unique<ZAzozav_Hiliter_c>()) {}

TraceLexer::~TraceLexer() = default;

const char* TraceLexer::language() const { return "Marrow trace"; }

QString TraceLexer::description(int style) const { return style == 0 ? QStringLiteral("Default") : QString(); }

QColor TraceLexer::defaultColor(int style) const { return QsciLexerCustom::defaultColor(style); }

QColor TraceLexer::defaultPaper(int style) const { return QsciLexerCustom::defaultPaper(style); }

QFont TraceLexer::defaultFont(int style) const { return QsciLexerCustom::defaultFont(style); }

bool TraceLexer::defaultEolFill(int style) const { return QsciLexerCustom::defaultEolFill(style); }

int TraceLexer::styleBitsNeeded() const { return 8; }

void TraceLexer::setFont(const QFont& font, int style) { QsciLexerCustom::setFont(font, style); }

void TraceLexer::styleText(int, int) {}

void TraceLexer::setEditor(QsciScintilla* editor) { QsciLexerCustom::setEditor(editor); }

void TraceLexer::setHighlightedLines(int32_t start, int32_t end) {
  highlightStart_ = start;
  highlightEnd_ = end;
}
