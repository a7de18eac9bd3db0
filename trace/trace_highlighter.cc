#include "trace/trace_highlighter.h"

#include <cstring>

namespace {
constexpr HighlightColor kNavy = rgbColor(0x00, 0x00, 0x80);
constexpr HighlightColor kBlue = rgbColor(0x00, 0x00, 0xFF);
constexpr HighlightColor kGreen = rgbColor(0x00, 0x80, 0x00);
// The attribute is called "Magenta" but has always been maroon.
constexpr HighlightColor kMaroon = rgbColor(0x80, 0x00, 0x00);
constexpr HighlightColor kLightGrey = rgbColor(0xF0, 0xF0, 0xF0);
}  // namespace

const TraceAttributeEntry kTraceAttributes[kTraceAttributeCount] = {
    {tkLineStart, {"Bold", kNoColor, kNoColor, kStyleBold}},
    {tkFileName, {"Filename", kNavy, kNoColor, kStyleUnderline}},
    {tkBlueMark, {"Blue", kBlue, kNoColor, 0}},
    {tkGreenMark, {"Green", kGreen, kNoColor, 0}},
    {tkJoinOrderAborted, {"Magenta", kMaroon, kNoColor, 0}},
    {tkRegisteredQb, {"QueryBlock", kNoColor, kLightGrey, kStyleBold}},
    {tkOptParams, {"OptParams", kNoColor, kLightGrey, kStyleBold}},
    {tkQbTransformation, {"QBTransformation", kNoColor, kLightGrey, kStyleBold}},
    {tkBindVars, {"BindVars", kNoColor, kLightGrey, kStyleBold}},
    {tkFinalQuery, {"FinalQuery", kNoColor, kLightGrey, kStyleBold}},
    {tkFinalQbCost, {"FinalQBCost", kGreen, kNoColor, 0}},
    {tkOptimizingQb, {"OptimizingQB", kNoColor, kLightGrey, kStyleBold}},
    {tkJoinOrder, {"JoinOrder", kNoColor, kLightGrey, kStyleBold}},
    {tkBestSoFar, {"BestOrderSF", kGreen, kNoColor, 0}},
    {tkSqlDump, {"SQLDump", kNoColor, kLightGrey, kStyleBold}},
    {tkExplainPlan, {"ExplPlan", kNoColor, kLightGrey, kStyleBold}},
    {tkOptStateDump, {"OptStateDump", kNoColor, kLightGrey, kStyleBold}},
    {tkNewEntry, {"NewEntry", kNoColor, kLightGrey, kStyleBold}},
    {tkSpace, {"Space", kNoColor, kNoColor, 0}},
    {tkText, {"Text", kNoColor, kNoColor, 0}},
    {tkQueryBlockText, {"QueryBlockText", kNoColor, kNoColor, 0}},
    {tkSysStats, {"SysStats", kNoColor, kNoColor, 0}},
    {tkBaseStats, {"BaseStats", kNoColor, kNoColor, 0}},
};

ZAzozav_Hiliter_c::ZAzozav_Hiliter_c() {
  for (const HighlighterAttribute*& entry : table_) entry = nullptr;
  for (int32_t i = 0; i < kTraceAttributeCount; ++i) {
    created_[i] = &kTraceAttributes[i].attribute;
    table_[kTraceAttributes[i].kind] = created_[i];
  }
  attributeTable_ = table_;
  attributeCount_ = kTraceTokenKindCount;
  registered_ = created_;
  registeredCount_ = kTraceAttributeCount;
  buildTraceDispatch();
}

void ZAzozav_Hiliter_c::advance() { nextTraceToken(state_); }

void fillTraceLineStyles(ZAzozav_Hiliter_c& highlighter, const char* text, int32_t textLength,
                         int32_t eolLength, uint8_t styleOffset, uint8_t* styles) {
  if (textLength < 0) textLength = 0;
  if (eolLength < 0) eolLength = 0;
  // Plain first, so every byte is defined even if the line could not be
  // copied for scanning.
  std::memset(styles, styleOffset + tkText, static_cast<size_t>(textLength));
  highlighter.beginLine(text, textLength, 0);
  while (!highlighter.isLineEnd()) {
    const int32_t start = highlighter.currentTokenStart();
    const int32_t length = static_cast<int32_t>(highlighter.currentTokenText().size());
    if (start >= 0 && length > 0 && start + length <= textLength) {
      std::memset(styles + start, styleOffset + highlighter.currentTokenKind(), static_cast<size_t>(length));
    }
    highlighter.advance();
  }
  std::memset(styles + textLength, styleOffset + tkSpace, static_cast<size_t>(eolLength));
}
