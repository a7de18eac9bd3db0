// Selected text on the chosen section's shaded lines shows the two colours
// of those lines swapped: the shade's colour on the text colour. The editor
// has one set of selection colours, so the frame draws every selection
// itself with indicators (a box under the text and the text's colour), and
// the editor's own selection is made transparent.
#include <Qsci/qsciscintilla.h>

#include <algorithm>

#include "gui/editor_colour.h"
#include "gui/trace_frame.h"
#include "gui/trace_lexer.h"

namespace {

using Sci = QsciScintillaBase;

// Indicators 8 and up are the container's.
constexpr int kSelectionBox = TFMarrow::kSelectionBoxIndicator;
constexpr int kSelectionText = TFMarrow::kSelectionTextIndicator;
constexpr int kShadedSelectionBox = TFMarrow::kShadedSelectionBoxIndicator;
constexpr int kShadedSelectionText = TFMarrow::kShadedSelectionTextIndicator;

void defineIndicator(QsciScintilla& editor, int indicator, int style, const QColor& colour) {
  editor.SendScintilla(Sci::SCI_INDICSETSTYLE, indicator, long(style));
  editor.SendScintilla(Sci::SCI_INDICSETFORE, indicator, bgr(colour));
  if (style == Sci::INDIC_FULLBOX) {
    editor.SendScintilla(Sci::SCI_INDICSETALPHA, indicator, 255L);
    editor.SendScintilla(Sci::SCI_INDICSETOUTLINEALPHA, indicator, 255L);
    editor.SendScintilla(Sci::SCI_INDICSETUNDER, indicator, 1L);
  }
}

void fill(QsciScintilla& editor, int indicator, long start, long end) {
  if (end <= start) return;
  editor.SendScintilla(Sci::SCI_SETINDICATORCURRENT, indicator);
  editor.SendScintilla(Sci::SCI_INDICATORFILLRANGE, static_cast<unsigned long>(start), end - start);
}

}  // namespace

void TFMarrow::setUpSelectionColours() {
  const QPalette palette = SynEdit1->palette();
  defineIndicator(*SynEdit1, kSelectionBox, Sci::INDIC_FULLBOX, palette.color(QPalette::Highlight));
  defineIndicator(*SynEdit1, kSelectionText, Sci::INDIC_TEXTFORE, palette.color(QPalette::HighlightedText));
  defineIndicator(*SynEdit1, kShadedSelectionBox, Sci::INDIC_FULLBOX, palette.color(QPalette::Text));
  defineIndicator(*SynEdit1, kShadedSelectionText, Sci::INDIC_TEXTFORE, TraceLexer::highlightBackground());
  // The editor's own selection: no colour of the text, a clear box.
  SynEdit1->SendScintilla(Sci::SCI_SETSELFORE, 0L, 0L);
  SynEdit1->SendScintilla(Sci::SCI_SETSELALPHA, long(Sci::SC_ALPHA_TRANSPARENT));
  connect(SynEdit1, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int updated) {
    // Not on content updates: the indicators are content, and setting them
    // would ask for another update.
    if (updated & Sci::SC_UPDATE_SELECTION) updateSelectionColours();
  });
}

void TFMarrow::updateSelectionColours() {
  QsciScintilla& editor = *SynEdit1;
  const long length = editor.SendScintilla(Sci::SCI_GETLENGTH);
  // Only the span drawn last time holds any of the indicators.
  const long clearStart = std::min(drawnSelection_.first, length);
  const long clearEnd = std::min(drawnSelection_.second, length);
  for (int indicator = kSelectionBox; indicator <= kShadedSelectionText && clearEnd > clearStart; ++indicator) {
    editor.SendScintilla(Sci::SCI_SETINDICATORCURRENT, indicator);
    editor.SendScintilla(Sci::SCI_INDICATORCLEARRANGE, static_cast<unsigned long>(clearStart), clearEnd - clearStart);
  }
  drawnSelection_ = {length, 0};
  // The shaded lines as positions.
  long shadeStart = length;
  long shadeEnd = length;
  if (highlightStart_ >= 0 && highlightEnd_ > highlightStart_) {
    shadeStart = editor.SendScintilla(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(highlightStart_));
    if (shadeStart < 0) shadeStart = length;
    const long lines = editor.SendScintilla(Sci::SCI_GETLINECOUNT);
    shadeEnd = highlightEnd_ >= lines
                   ? length
                   : editor.SendScintilla(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(highlightEnd_));
  }
  const long selections = editor.SendScintilla(Sci::SCI_GETSELECTIONS);
  for (long n = 0; n < selections; ++n) {
    const long start = editor.SendScintilla(Sci::SCI_GETSELECTIONNSTART, static_cast<unsigned long>(n));
    const long end = editor.SendScintilla(Sci::SCI_GETSELECTIONNEND, static_cast<unsigned long>(n));
    if (end <= start) continue;
    drawnSelection_.first = std::min(drawnSelection_.first, start);
    drawnSelection_.second = std::max(drawnSelection_.second, end);
    const long inStart = std::clamp(shadeStart, start, end);
    const long inEnd = std::clamp(shadeEnd, inStart, end);
    for (auto [from, to] : {std::pair{start, inStart}, std::pair{inEnd, end}}) {
      fill(editor, kSelectionBox, from, to);
      fill(editor, kSelectionText, from, to);
    }
    fill(editor, kShadedSelectionBox, inStart, inEnd);
    fill(editor, kShadedSelectionText, inStart, inEnd);
  }
}
