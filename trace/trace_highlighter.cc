#include "trace/trace_highlighter.h"

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
