// zazozav-cli compare: what differs between two traces, without the noise:
// paired statements, their parameters, fix controls, plan hash values and
// query-block figures, then the line diff. Exit status like diff(1).
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/json_writer.h"
#include "cli/cli_command.h"
#include "cli/decision_output.h"
#include "cli/fact_loading.h"
#include "cli/fact_output.h"
#include "cli/output_buffer.h"
#include "compare/trace_comparison.h"
#include "compare/try_script.h"

namespace {

constexpr int kSame = 0;
constexpr int kDiffer = 1;
constexpr int kTrouble = 2;
// Lines shown of each side of a hunk in the report.
constexpr int32_t kHunkLinesShown = 20;

int runCompare(int argc, char** argv);

const CliCommand kCommands[] = {
    {"compare", "[--json] [--script] A B",
     "      What differs between two traces, noise left out (addresses, time stamps, heap figures,\n"
     "      elapsed times, the header lines naming file, host, instance, process and session):\n"
     "      statements paired by sql_id then in order; per pair the parameters, fix controls,\n"
     "      plan hash value and query-block figures that differ; then the line diff, aligned by\n"
     "      section. --script prints instead one SQL*Plus line per differing parameter and fix\n"
     "      control, setting B's value in a session that runs as A (its hint form in a comment):\n"
     "      the parameters the user altered first, then the others, then the fix controls.\n"
     "      Exit status 0 when they do not differ, 1 when they do, 2 on trouble.",
     runCompare},
};

struct Sides {
  const char* pathA;
  const char* pathB;
  const LoadedFacts& a;
  const LoadedFacts& b;
  const TraceComparison& c;
  const SVString& script;  // the try-script's lines
};

std::string counted(int32_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// «lines 3-5», «line 3», or «nothing, before line 3».
std::string lineRange(int32_t line, int32_t count) {
  if (count == 0) return "nothing, before line " + std::to_string(line);
  if (count == 1) return "line " + std::to_string(line);
  return "lines " + std::to_string(line) + "-" + std::to_string(line + count - 1);
}

const char* pairedByName(int32_t by) {
  return by == kPairedBySqlId ? "sql_id" : by == kPairedByOrder ? "order" : nullptr;
}

std::string statementName(const TraceFacts& f, int32_t index, const char* side) {
  return std::string(side) + " " + std::to_string(index + 1) + " (sql_id " + orDash(f, f.statements[index].sqlId) + ")";
}

// «value (line N)» of a parameter or fix control, or "-".
template <class Entry>
std::string entryValue(const TraceFacts& f, const PackedRecords<Entry>& list, int32_t index) {
  if (index == kNoFact) return "-";
  return orDash(f, list[index].value) + " (line " + std::to_string(list[index].line) + ")";
}

template <class Entry>
std::string entryName(const TraceFacts& fa, const PackedRecords<Entry>& la, const TraceFacts& fb,
                      const PackedRecords<Entry>& lb, const ListDifference& d, TextSpan Entry::*key) {
  return d.a != kNoFact ? orDash(fa, la[d.a].*key) : orDash(fb, lb[d.b].*key);
}

constexpr int kGroupedPerLine = 8;

// A list's differences: those with a value on both sides one a line, then
// those on one side only, each side's as one group when they are many
// (an upgrade brings hundreds of fix controls that the other side lacks).
template <class Entry>
void printEntries(OutputBuffer& out, const Sides& s, const PackedRecords<ListDifference>& list,
                  const PackedRecords<Entry>& listA, const PackedRecords<Entry>& listB, TextSpan Entry::*name,
                  const char* one, const char* many, FactRange range, bool wantCommon, const char* indent) {
  const TraceFacts& fa = s.a.facts;
  const TraceFacts& fb = s.b.facts;
  const OneSidedCounts counts = countOneSided(list, range, wantCommon);
  for (const ListDifference& d : slice(list, range)) {
    if (d.common != wantCommon || counts.grouped(d)) continue;
    out.printf("%s%s %s: %s / %s\n", indent, one, entryName(fa, listA, fb, listB, d, name).c_str(),
               entryValue(fa, listA, d.a).c_str(), entryValue(fb, listB, d.b).c_str());
  }
  for (int side = 0; side < 2; ++side) {
    if (counts.onlyIn[side] < OneSidedCounts::kGroupFrom) continue;
    out.printf("%s%d %s only in %s:", indent, counts.onlyIn[side], many, side == 0 ? "A" : "B");
    int onLine = kGroupedPerLine;
    for (const ListDifference& d : slice(list, range)) {
      if (d.common != wantCommon || (side == 0 ? d.b != kNoFact : d.a != kNoFact)) continue;
      if (onLine == kGroupedPerLine) {
        out.printf("\n%s ", indent);
        onLine = 0;
      }
      const TraceFacts& f = side == 0 ? fa : fb;
      const Entry& e = side == 0 ? listA[d.a] : listB[d.b];
      out.printf(" %s=%s", orDash(f, e.*name).c_str(), orDash(f, e.value).c_str());
      ++onLine;
    }
    out.printf("\n");
  }
}

void printListDifferences(OutputBuffer& out, const Sides& s, FactRange range, bool wantCommon, const char* indent) {
  printEntries(out, s, s.c.parameters, s.a.facts.parameters, s.b.facts.parameters, &ParameterFact::name, "parameter",
               "parameters", range, wantCommon, indent);
}

void printFixDifferences(OutputBuffer& out, const Sides& s, FactRange range, bool wantCommon, const char* indent) {
  printEntries(out, s, s.c.fixControls, s.a.facts.fixControls, s.b.facts.fixControls, &FixControlFact::number,
               "fix control", "fix controls", range, wantCommon, indent);
}

// «-321907731 (3973059565)»: the trace's value, and as V$SQL shows it.
std::string planHash(const TraceFacts& f, TextSpan span) {
  const std::string shown = unsignedPlanHash(f.view(span));
  return orDash(f, span) + (shown.empty() || f.view(span) == shown ? "" : " (" + shown + ")");
}

std::string blockFigures(const TraceFacts& f, int32_t index) {
  if (index == kNoFact) return "-";
  const QueryBlockFact& q = f.queryBlocks[index];
  std::string text = "cost " + orDash(f, q.cost) + ", card " + orDash(f, q.card) + ", bytes " + orDash(f, q.bytes);
  if (q.bestJoinOrderFact != kNoFact) text += ", tables " + tablesOf(f, f.joinOrders[q.bestJoinOrderFact]);
  return text + " (line " + std::to_string(q.line) + ")";
}

void printPair(OutputBuffer& out, const Sides& s, int32_t p) {
  const StatementPair& pair = s.c.pairs[p];
  const PairDifferences& d = s.c.differences[p];
  const TraceFacts& fa = s.a.facts;
  const TraceFacts& fb = s.b.facts;
  int32_t own = 0;
  for (const ListDifference& parameter : slice(s.c.parameters, d.parameters)) own += !parameter.common;
  for (const ListDifference& fix : slice(s.c.fixControls, d.fixControls)) {
    own += !fix.common;
  }
  if (own == 0 && d.queryBlocks.count == 0 && d.decisions.count == 0 && !d.planHashDiffers) return;
  out.printf("\n%s and %s:\n", statementName(fa, pair.a, "A").c_str(), statementName(fb, pair.b, "B").c_str());
  // What explains the plan first: the estimates and decisions, then the
  // plan and costs, then the settings.
  printDecisions(out, DecisionSides{fa, fb, s.c}, d.decisions, "  ");
  if (d.planHashDiffers) {
    out.printf("  plan hash value: %s / %s\n", planHash(fa, fa.statements[pair.a].planHashValue).c_str(),
               planHash(fb, fb.statements[pair.b].planHashValue).c_str());
  }
  for (const QueryBlockDifference& q : slice(s.c.queryBlocks, d.queryBlocks)) {
    const QueryBlockFact& named = q.a != kNoFact ? fa.queryBlocks[q.a] : fb.queryBlocks[q.b];
    const TraceFacts& namedIn = q.a != kNoFact ? fa : fb;
    out.printf("  query block %s, %s: %s / %s\n", orDash(namedIn, named.name).c_str(),
               orDash(namedIn, named.plan).c_str(), blockFigures(fa, q.a).c_str(), blockFigures(fb, q.b).c_str());
  }
  printListDifferences(out, s, d.parameters, false, "  ");
  printFixDifferences(out, s, d.fixControls, false, "  ");
}

// The lines of one side of a hunk, each prefixed with `mark`.
void printHunkSide(OutputBuffer& out, const SVString& text, const LineTable& table, int32_t from, int32_t count,
                   char mark) {
  for (int32_t i = 0; i < count && i < kHunkLinesShown; ++i) {
    const LineEntry& e = table.lines[from + i];
    const char* start = text.c_str() + e.offset;
    const size_t rest = static_cast<size_t>(text.length() - e.offset);
    const void* end = std::memchr(start, '\n', rest);
    size_t n = end ? static_cast<size_t>(static_cast<const char*>(end) - start) : rest;
    if (n > 0 && start[n - 1] == '\r') --n;
    out.printf("  %c %s\n", mark, terminalSafe(std::string_view(start, n)).c_str());
  }
  if (count > kHunkLinesShown) out.printf("  %c ... %d more lines\n", mark, count - kHunkLinesShown);
}

int printReport(const Sides& s) {
  OutputBuffer out;
  const TraceFacts& fa = s.a.facts;
  const TraceFacts& fb = s.b.facts;
  out.printf("A: %s (%s)\nB: %s (%s)\n", terminalSafe(s.pathA).c_str(),
             counted(fa.statements.count(), "statement", "statements").c_str(), terminalSafe(s.pathB).c_str(),
             counted(fb.statements.count(), "statement", "statements").c_str());
  if (s.c.pairs.count() > 0) out.printf("\nStatements:\n");
  int32_t full = 0;
  for (int32_t p = 0; p < s.c.pairs.count(); ++p) {
    const StatementPair& pair = s.c.pairs[p];
    if (pair.a != kNoFact && pair.b != kNoFact) {
      ++full;
      out.printf("  %s and %s, paired by %s\n", statementName(fa, pair.a, "A").c_str(),
                 statementName(fb, pair.b, "B").c_str(), pairedByName(pair.pairedBy));
    } else if (pair.a != kNoFact) {
      out.printf("  %s only in A, line %d\n", statementName(fa, pair.a, "A").c_str(), fa.statements[pair.a].firstLine);
    } else {
      out.printf("  %s only in B, line %d\n", statementName(fb, pair.b, "B").c_str(), fb.statements[pair.b].firstLine);
    }
  }
  if (s.c.firstDivergence != kNoFact) {
    const DecisionDifference& d = s.c.decisions[s.c.firstDivergence];
    out.printf("\nFirst divergence, in A %d and B %d: %s\n", s.c.pairs[d.pair].a + 1, s.c.pairs[d.pair].b + 1,
               decisionLine(DecisionSides{fa, fb, s.c}, d).c_str());
  }
  for (int32_t p = 0; p < s.c.pairs.count(); ++p) {
    if (s.c.pairs[p].a != kNoFact && s.c.pairs[p].b != kNoFact) printPair(out, s, p);
  }
  // Differences common to every pair are told once, with the first pair's lines.
  int32_t firstFull = -1;
  for (int32_t p = 0; p < s.c.pairs.count() && firstFull < 0; ++p) {
    if (s.c.pairs[p].a != kNoFact && s.c.pairs[p].b != kNoFact) firstFull = p;
  }
  if (firstFull >= 0 && full >= 2) {
    const PairDifferences& d = s.c.differences[firstFull];
    bool any = false;
    for (const ListDifference& parameter : slice(s.c.parameters, d.parameters)) any |= parameter.common;
    for (const ListDifference& fix : slice(s.c.fixControls, d.fixControls)) {
      any |= fix.common;
    }
    if (any) {
      out.printf("\nIn every pair of statements (lines of the first pair):\n");
      printListDifferences(out, s, d.parameters, true, "  ");
      printFixDifferences(out, s, d.fixControls, true, "  ");
    }
  }
  if (s.c.hunks.count() > 0) {
    out.printf("\nText: %s\n", counted(s.c.hunks.count(), "run of differing lines", "runs of differing lines").c_str());
  }
  for (const TextHunk& h : s.c.hunks) {
    out.printf("\nA %s, B %s:\n", lineRange(h.aLine, h.aCount).c_str(), lineRange(h.bLine, h.bCount).c_str());
    printHunkSide(out, s.a.text, s.c.aLines, h.aSeq, h.aSeqCount, '-');
    printHunkSide(out, s.b.text, s.c.bLines, h.bSeq, h.bSeqCount, '+');
  }
  if (!s.c.differs()) out.printf("\nNo differences.\n");
  return out.finish() == 0 ? (s.c.differs() ? kDiffer : kSame) : kTrouble;
}

void sidesJson(JsonWriter& json, const char* key, const TraceFacts& fa, TextSpan a, const TraceFacts& fb, TextSpan b) {
  json.key(key).beginObject();
  spanOrNull(json.key("a"), fa, a);
  spanOrNull(json.key("b"), fb, b);
  json.endObject();
}

template <class Entry>
void listJson(JsonWriter& json, const char* key, const char* nameKey, const Sides& s,
              const PackedRecords<ListDifference>& list, FactRange range, const PackedRecords<Entry>& la,
              const PackedRecords<Entry>& lb, TextSpan Entry::*name) {
  const TraceFacts& fa = s.a.facts;
  const TraceFacts& fb = s.b.facts;
  json.key(key).beginArray();
  for (const ListDifference& d : slice(list, range)) {
    json.beginObject();
    if (d.a != kNoFact) {
      spanOrNull(json.key(nameKey), fa, la[d.a].*name);
    } else {
      spanOrNull(json.key(nameKey), fb, lb[d.b].*name);
    }
    spanOrNull(json.key("a"), fa, d.a != kNoFact ? la[d.a].value : TextSpan{});
    spanOrNull(json.key("b"), fb, d.b != kNoFact ? lb[d.b].value : TextSpan{});
    lineOrNull(json.key("a_line"), d.a != kNoFact ? la[d.a].line : 0);
    lineOrNull(json.key("b_line"), d.b != kNoFact ? lb[d.b].line : 0);
    json.key("common").boolean(d.common);
    json.endObject();
  }
  json.endArray();
}

void blockJson(JsonWriter& json, const char* key, const TraceFacts& f, int32_t index) {
  json.key(key);
  if (index == kNoFact) {
    json.null();
    return;
  }
  const QueryBlockFact& q = f.queryBlocks[index];
  json.beginObject();
  spanOrNull(json.key("cost"), f, q.cost);
  spanOrNull(json.key("card"), f, q.card);
  spanOrNull(json.key("bytes"), f, q.bytes);
  json.key("tables");
  if (q.bestJoinOrderFact != kNoFact) {
    tablesJson(json, f, f.joinOrders[q.bestJoinOrderFact]);
  } else {
    json.null();
  }
  json.key("line").number(q.line);
  json.endObject();
}

void pairJson(JsonWriter& json, const Sides& s, int32_t p) {
  const StatementPair& pair = s.c.pairs[p];
  const PairDifferences& d = s.c.differences[p];
  const TraceFacts& fa = s.a.facts;
  const TraceFacts& fb = s.b.facts;
  const StatementFacts* sa = pair.a != kNoFact ? &fa.statements[pair.a] : nullptr;
  const StatementFacts* sb = pair.b != kNoFact ? &fb.statements[pair.b] : nullptr;
  json.beginObject();
  if (sa) json.key("a").number(pair.a); else json.key("a").null();
  if (sb) json.key("b").number(pair.b); else json.key("b").null();
  if (const char* by = pairedByName(pair.pairedBy)) json.key("matched_by").string(by); else json.key("matched_by").null();
  sidesJson(json, "sql_id", fa, sa ? sa->sqlId : TextSpan{}, fb, sb ? sb->sqlId : TextSpan{});
  sidesJson(json, "plan_hash_value", fa, sa ? sa->planHashValue : TextSpan{}, fb, sb ? sb->planHashValue : TextSpan{});
  json.key("plan_hash_value_unsigned").beginObject();
  for (const auto& [side, f, st] : {std::tuple{"a", &fa, sa}, std::tuple{"b", &fb, sb}}) {
    const std::string shown = st ? unsignedPlanHash(f->view(st->planHashValue)) : std::string();
    if (shown.empty()) json.key(side).null(); else json.key(side).string(shown);
  }
  json.endObject();
  json.key("plan_hash_value_differs").boolean(d.planHashDiffers);
  listJson(json, "parameters", "name", s, s.c.parameters, d.parameters, fa.parameters, fb.parameters,
           &ParameterFact::name);
  listJson(json, "fix_controls", "fix", s, s.c.fixControls, d.fixControls, fa.fixControls, fb.fixControls,
           &FixControlFact::number);
  decisionsJson(json, "decisions", DecisionSides{fa, fb, s.c}, d.decisions);
  json.key("query_blocks").beginArray();
  for (const QueryBlockDifference& q : slice(s.c.queryBlocks, d.queryBlocks)) {
    const TraceFacts& namedIn = q.a != kNoFact ? fa : fb;
    const QueryBlockFact& named = namedIn.queryBlocks[q.a != kNoFact ? q.a : q.b];
    json.beginObject();
    spanOrNull(json.key("name"), namedIn, named.name);
    spanOrNull(json.key("plan"), namedIn, named.plan);
    blockJson(json, "a", fa, q.a);
    blockJson(json, "b", fb, q.b);
    json.endObject();
  }
  json.endArray();
  json.endObject();
}

int printJson(const Sides& s) {
  OutputBuffer out;
  SVString pending;  // written out after each pair of statements
  JsonWriter json(pending);
  json.beginObject();
  json.key("a").beginObject();
  json.key("file").string(s.pathA);
  json.key("statements").number(s.a.facts.statements.count());
  json.endObject();
  json.key("b").beginObject();
  json.key("file").string(s.pathB);
  json.key("statements").number(s.b.facts.statements.count());
  json.endObject();
  json.key("same").boolean(!s.c.differs());
  firstDivergenceJson(json, DecisionSides{s.a.facts, s.b.facts, s.c});
  json.key("statements").beginArray();
  for (int32_t p = 0; p < s.c.pairs.count(); ++p) {
    pairJson(json, s, p);
    if (json.failed()) break;
    out.write(pending.c_str(), static_cast<size_t>(pending.length()));
    pending.clear();
  }
  json.endArray();
  json.key("script").beginArray();
  for (std::string_view rest(s.script.c_str(), static_cast<size_t>(s.script.length())); !rest.empty();) {
    const size_t feed = rest.find('\n');
    json.string(rest.substr(0, feed));
    rest.remove_prefix(feed == std::string_view::npos ? rest.size() : feed + 1);
  }
  json.endArray();
  json.key("text_diff").beginArray();
  for (const TextHunk& h : s.c.hunks) {
    json.beginObject();
    json.key("a_line").number(h.aLine);
    json.key("a_count").number(h.aCount);
    json.key("b_line").number(h.bLine);
    json.key("b_count").number(h.bCount);
    json.endObject();
  }
  json.endArray();
  json.endObject();
  if (json.failed() || pending.append("\n", 1) != 0) {
    noMemory("the comparison");
    return kTrouble;
  }
  out.write(pending.c_str(), static_cast<size_t>(pending.length()));
  return out.finish() == 0 ? (s.c.differs() ? kDiffer : kSame) : kTrouble;
}

int runCompare(int argc, char** argv) {
  bool asJson = false;
  bool asScript = false;
  const char* paths[2] = {nullptr, nullptr};
  int named = 0;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0) {
      asJson = true;
    } else if (std::strcmp(argv[i], "--script") == 0) {
      asScript = true;
    } else if (argv[i][0] == '-' && argv[i][1] != 0) {
      return usageError(kCommands[0], "unknown option");
    } else if (named < 2) {
      paths[named++] = argv[i];
    } else {
      return usageError(kCommands[0], "only two files may be named");
    }
  }
  if (named < 2) return usageError(kCommands[0], "two files are needed");
  if (asJson && asScript) return usageError(kCommands[0], "--json and --script do not go together");
  LoadedFacts a;
  LoadedFacts b;
  if (loadFacts(paths[0], a) != 0 || loadFacts(paths[1], b) != 0) return kTrouble;
  TraceComparison comparison;
  const ComparedTrace sideA{a.text.c_str(), a.text.length(), &a.keyPoints, &a.facts};
  const ComparedTrace sideB{b.text.c_str(), b.text.length(), &b.keyPoints, &b.facts};
  if (compareTraces(sideA, sideB, comparison) != 0) {
    noMemory("the comparison");
    return kTrouble;
  }
  SVString script;
  if (buildTryScript(comparison, a.facts, b.facts, script) != 0) {
    noMemory("the comparison");
    return kTrouble;
  }
  const Sides sides{paths[0], paths[1], a, b, comparison, script};
  if (asScript) {
    OutputBuffer out;
    out.write(script.c_str(), static_cast<size_t>(script.length()));
    return out.finish() == 0 ? (comparison.differs() ? kDiffer : kSame) : kTrouble;
  }
  // Exit code 1 means "differ" here, so memory running out in the
  // report's containers is trouble of this command's own.
  try {
    return asJson ? printJson(sides) : printReport(sides);
  } catch (const std::bad_alloc&) {
    noMemory("the comparison");
    return kTrouble;
  }
}

}  // namespace

CliCommandGroup compareCommandGroup() {
  return {kCommands, static_cast<int>(sizeof kCommands / sizeof kCommands[0])};
}
