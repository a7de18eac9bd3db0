#include "cli/decision_output.h"

#include <algorithm>
#include <cstring>

#include "cli/fact_output.h"

namespace {

struct Value {
  bool present = false;
  std::string text;
};

std::string queryBlockName(const TraceFacts& f, int32_t q) {
  const QueryBlockFact& b = f.queryBlocks[q];
  std::string name = orDash(f, b.name);
  if (b.number.present()) name += " (#" + terminalSafe(f.view(b.number)) + ")";
  return name;
}

// The value of the fact on one side: what that side's trace states.
Value valueOf(const TraceFacts& f, const DecisionDifference& d, bool sideB) {
  const DecisionValue v = decisionValue(f, d, sideB);
  switch (v.kind) {
    case DecisionValue::kText:
      return {true, d.fact == kDecisionQueryBlock ? queryBlockName(f, sideB ? d.queryBlockB : d.queryBlockA)
                                                  : terminalSafe(f.view(v.text))};
    case DecisionValue::kCount:
      return {true, std::to_string(v.count)};
    case DecisionValue::kFlags: {
      std::string names;
      for (int32_t kind : {kFlagProratedDensity, kFlagRoundedToOne}) {
        if (v.flags >> kind & 1) names += (names.empty() ? "" : " ") + std::string(accessFlagName(kind));
      }
      return {true, names.empty() ? "none" : names};
    }
    case DecisionValue::kJoinOrder:
      return {true, tablesOf(f, f.joinOrders[v.joinOrder])};
    default:
      return {};
  }
}

std::string namedBlock(const DecisionSides& s, const DecisionDifference& d) {
  return d.queryBlockA != kNoFact ? queryBlockName(s.a, d.queryBlockA) : queryBlockName(s.b, d.queryBlockB);
}

// The table, index or column of a statistic.
Value itemOf(const DecisionSides& s, const DecisionDifference& d) {
  const TextSpan a = decisionItemName(s.a, d, false);
  if (a.present()) return {true, terminalSafe(s.a.view(a))};
  const TextSpan b = decisionItemName(s.b, d, true);
  if (b.present()) return {true, terminalSafe(s.b.view(b))};
  return {};
}

Value aliasOf(const DecisionSides& s, const DecisionDifference& d) {
  if (d.pathA != kNoFact) return {true, terminalSafe(s.a.view(s.a.accessPaths[d.pathA].alias))};
  if (d.pathB != kNoFact) return {true, terminalSafe(s.b.view(s.b.accessPaths[d.pathB].alias))};
  return {};
}

// «Registered qb: NAME ... (HOW)», the line that says which transformation
// made a query block, in its statement on one side; empty when none.
std::string registration(const TraceFacts& f, int32_t q, int32_t& line) {
  line = 0;
  const QueryBlockFact& b = f.queryBlocks[q];
  if (!b.name.present()) return std::string();
  const std::string needle = "Registered qb: " + std::string(f.view(b.name)) + " ";
  for (const StatementFacts& s : f.statements) {
    if (b.line < s.firstLine || b.line > s.lastLine) continue;
    const char* begin = f.text + s.beginOffset;
    const char* end = f.text + s.endOffset;
    const char* at = std::search(begin, end, needle.begin(), needle.end());
    if (at == end) return std::string();
    const char* stop = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
    if (!stop) stop = end;
    if (stop > at && stop[-1] == '\r') --stop;
    line = s.firstLine + static_cast<int32_t>(std::count(begin, at, '\n'));
    return terminalSafe(std::string_view(at, static_cast<size_t>(stop - at)));
  }
  return std::string();
}

void valueJson(JsonWriter& json, const char* key, const Value& v) {
  if (v.present) {
    json.key(key).string(v.text);
  } else {
    json.key(key).null();
  }
}

void lineJson(JsonWriter& json, const char* key, int32_t line) {
  if (line > 0) {
    json.key(key).number(line);
  } else {
    json.key(key).null();
  }
}

void decisionJson(JsonWriter& json, const DecisionSides& s, const DecisionDifference& d, bool withPair) {
  json.beginObject();
  if (withPair) json.key("statement_pair").number(d.pair);
  json.key("query_block").string(namedBlock(s, d));
  valueJson(json, "alias", aliasOf(s, d));
  valueJson(json, "item", itemOf(s, d));
  json.key("fact").string(decisionFactName(d.fact));
  valueJson(json, "a", valueOf(s.a, d, false));
  valueJson(json, "b", valueOf(s.b, d, true));
  lineJson(json, "a_line", d.aLine);
  lineJson(json, "b_line", d.bLine);
  if (d.fact == kDecisionQueryBlock) {
    int32_t line = 0;
    const bool inA = d.queryBlockA != kNoFact;
    const std::string quote = registration(inA ? s.a : s.b, inA ? d.queryBlockA : d.queryBlockB, line);
    json.key("registered");
    if (quote.empty()) {
      json.null();
    } else {
      json.beginObject();
      json.key("side").string(inA ? "a" : "b");
      json.key("line").number(line);
      json.key("text").string(quote);
      json.endObject();
    }
  }
  json.endObject();
}

}  // namespace

std::string decisionLine(const DecisionSides& s, const DecisionDifference& d) {
  std::string line = "query block " + namedBlock(s, d);
  const Value alias = aliasOf(s, d);
  if (d.fact == kDecisionQueryBlock) {
    const bool inA = d.queryBlockA != kNoFact;
    line += std::string(" costed only in ") + (inA ? "A" : "B") + " (line " +
            std::to_string(inA ? d.aLine : d.bLine) + ")";
    int32_t at = 0;
    const std::string quote = registration(inA ? s.a : s.b, inA ? d.queryBlockA : d.queryBlockB, at);
    if (!quote.empty()) line += ", made by \u00ab" + quote + "\u00bb (line " + std::to_string(at) + ")";
    return line;
  }
  if (alias.present) line += ", alias " + alias.text;
  const Value item = itemOf(s, d);
  if (item.present) line += ", " + item.text;
  if (d.fact == kDecisionEstimated) {
    return line + " estimated only in " + (d.pathA != kNoFact ? "A" : "B") + " (line " +
           std::to_string(d.aLine > 0 ? d.aLine : d.bLine) + ")";
  }
  const Value a = valueOf(s.a, d, false);
  const Value b = valueOf(s.b, d, true);
  return line + ": " + decisionFactName(d.fact) + " " + (a.present ? a.text : "-") + " / " +
         (b.present ? b.text : "-") + " (lines " + std::to_string(d.aLine) + " / " + std::to_string(d.bLine) + ")";
}

void printDecisions(OutputBuffer& out, const DecisionSides& s, FactRange range, const char* indent) {
  for (int32_t i = range.first; i < range.end(); ++i) {
    out.printf("%s%s%s\n", indent, decisionLine(s, s.c.decisions[i]).c_str(),
               i == s.c.firstDivergence ? "  <- first divergence" : "");
  }
}

void decisionsJson(JsonWriter& json, const char* key, const DecisionSides& s, FactRange range) {
  json.key(key).beginArray();
  for (const DecisionDifference& decision : slice(s.c.decisions, range)) decisionJson(json, s, decision, false);
  json.endArray();
}

void firstDivergenceJson(JsonWriter& json, const DecisionSides& s) {
  json.key("first_divergence");
  if (s.c.firstDivergence == kNoFact) {
    json.null();
  } else {
    decisionJson(json, s, s.c.decisions[s.c.firstDivergence], true);
  }
}
