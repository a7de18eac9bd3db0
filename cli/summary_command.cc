// zazozav-cli summary: what the optimizer decided, per statement and query
// block, as a report for a terminal or a ticket, or as JSON.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/json_writer.h"
#include "cli/cli_command.h"
#include "cli/fact_loading.h"
#include "cli/fact_output.h"
#include "cli/output_buffer.h"
#include "facts/trace_parts.h"

namespace {

int runSummary(int argc, char** argv);

const CliCommand kCommands[] = {
    {"summary", "[--json] FILE",
     "      Per traced statement: sql_id, plan hash value, and one line per optimised query block\n"
     "      (its final cost, card, bytes, best join order with its tables, join orders tried and\n"
     "      aborted in the search that gave the cost), each with its line; then per query block its\n"
     "      join-order searches and, per table alias, the card, the access path chosen and the\n"
     "      paths costed, and the signs of a guessed estimate; first the previous parts that a split\n"
     "      trace names and the part it continues in. --json gives these facts and more as JSON\n"
     "      (join_order_series and access_paths per query block).",
     runSummary},
};

// The join-order searches of a query block's stretch (each numbers its
// join orders from 1), and the tables estimated in it.
void printWhy(OutputBuffer& out, const TraceFacts& f, const QueryBlockFact& b) {
  if (b.stretchJoinOrders.count == 0 && b.accessPaths.count == 0) return;
  std::string name = orDash(f, b.name);
  if (b.number.present()) name += " (#" + terminalSafe(f.view(b.number)) + ")";
  out.printf("  %s, line %d:\n", name.c_str(), b.line);
  if (b.stretchJoinOrders.count > 0) {
    std::string counts;
    const std::vector<JoinOrderSearch> searches = joinOrderSearches(f, b.stretchJoinOrders);
    for (const JoinOrderSearch& s : searches) {
      counts += (counts.empty() ? "" : ", ") + std::to_string(s.count) + " (" + std::to_string(s.aborted) +
                " aborted) from line " + std::to_string(f.joinOrders[s.first].line);
    }
    const auto n = static_cast<int>(searches.size());
    out.printf("    join orders, %d search%s: %s\n", n, n == 1 ? "" : "es", counts.c_str());
  }
  for (const AccessPathFact& p : slice(f.accessPaths, b.accessPaths)) {
    std::string line = "    " + orDash(f, p.alias) + ", line " + std::to_string(p.line) + ": card ";
    line += p.cardLine ? orDash(f, p.cardOriginal) + " -> " + orDash(f, p.cardRounded) : std::string("-");
    if (p.bestLine) {
      line += "; best " + orDash(f, p.bestPath);
      if (p.bestIndex.present()) line += " (" + orDash(f, p.bestIndex) + ")";
      line += " cost " + orDash(f, p.bestCost) + ", line " + std::to_string(p.bestLine);
    } else {
      line += "; no best path";
    }
    int32_t bitmap = 0;
    for (const AccessCandidateFact& candidate : slice(f.accessCandidates, p.candidates)) {
      bitmap += candidate.bitmap;
    }
    line += "; " + std::to_string(p.candidates.count) + (p.candidates.count == 1 ? " candidate" : " candidates");
    if (bitmap > 0) line += " (" + std::to_string(bitmap) + " bitmap)";
    for (const AccessFlagFact& flag : slice(f.accessFlags, p.flags)) {
      line += std::string("; ") + accessFlagName(flag.kind) + ", line " + std::to_string(flag.line);
    }
    out.printf("%s\n", line.c_str());
  }
}

void printStatement(OutputBuffer& out, const TraceFacts& f, int32_t index) {
  const StatementFacts& s = f.statements[index];
  out.printf("Statement %d of %d: sql_id %s, plan hash value %s", index + 1, f.statements.count(),
             orDash(f, s.sqlId).c_str(), orDash(f, s.planHashValue).c_str());
  if (s.line) {
    out.printf(" (line %d", s.line);
  } else {
    out.printf(" (no SQL dump");
  }
  out.printf("; lines %d-%d)\n", s.firstLine, s.lastLine);
  if (s.sqlTextLine) out.printf("  SQL, line %d: %s\n", s.sqlTextLine, terminalSafe(f.view(s.sqlText)).c_str());
  if (s.finalQueryLine) out.printf("  Final query: line %d\n", s.finalQueryLine);
  int32_t altered = 0;
  for (const ParameterFact& parameter : slice(f.parameters, s.parameters)) {
    if (parameter.list == kParametersAltered) ++altered;
  }
  if (s.parametersLine) {
    out.printf("  Parameters: %d (%d altered), line %d\n", s.parameters.count, altered, s.parametersLine);
  }
  if (s.fixControlsLine) out.printf("  Fix controls: %d, line %d\n", s.fixControls.count, s.fixControlsLine);
  if (s.skippedListLines > 0) {
    out.printf("  Unreadable list lines skipped: %d (a zero byte or a lone carriage return)\n", s.skippedListLines);
  }

  if (s.queryBlocks.count > 0) {
    std::vector<std::vector<std::string>> rows = {
        {"line", "query block", "plan", "cost", "card", "bytes", "tried", "aborted", "best join order"}};
    for (const QueryBlockFact& b : slice(f.queryBlocks, s.queryBlocks)) {
      std::string name = orDash(f, b.name);
      if (b.number.present()) name += " (#" + terminalSafe(f.view(b.number)) + ")";
      std::string best = orDash(f, b.bestJoinOrder);
      if (b.bestJoinOrderFact != kNoFact) {
        const JoinOrderFact& order = f.joinOrders[b.bestJoinOrderFact];
        best += " (line " + std::to_string(order.line) + "): " + tablesOf(f, order);
      }
      rows.push_back({std::to_string(b.line), name, orDash(f, b.plan), orDash(f, b.cost), orDash(f, b.card),
                      orDash(f, b.bytes), std::to_string(b.joinOrders.count), std::to_string(b.abortedJoinOrders),
                      best});
    }
    printTable(out, rows, "  ");
    for (const QueryBlockFact& block : slice(f.queryBlocks, s.queryBlocks)) {
      printWhy(out, f, block);
    }
  } else {
    out.printf("  No final cost of a query block.\n");
  }
  for (const TransformationFact& x : slice(f.transformations, s.transformations)) {
    out.printf("  Transformation, line %d: %s\n", x.line, terminalSafe(f.view(x.text)).c_str());
  }
}

// The previous parts that a split trace names, in the order it names them.
std::vector<TracePart> partsOf(const SVString& text) {
  std::vector<TracePart> parts;
  size_t from = 0;
  int32_t line = 1;
  TracePart part;
  while (findTracePart(text.c_str(), static_cast<size_t>(text.length()), from, line, part, from)) {
    parts.push_back(part);
    line = part.line + 1;
  }
  return parts;
}

int printReport(const LoadedFacts& loaded) {
  OutputBuffer out;
  const TraceFacts& f = loaded.facts;
  const std::vector<TracePart> parts = partsOf(loaded.text);
  for (const TracePart& part : parts) {
    out.printf("Continued from file %s (line %d)\n", terminalSafe(f.view(part.name)).c_str(), part.line);
  }
  TracePart next;
  const bool continues = findTraceContinuation(loaded.text.c_str(), static_cast<size_t>(loaded.text.length()), next);
  if (continues) out.printf("Continues in file %s (line %d)\n", terminalSafe(f.view(next.name)).c_str(), next.line);
  if (!parts.empty() || continues) out.printf("\n");
  if (f.statements.count() == 0) out.printf("No traced statement.\n");
  for (int32_t i = 0; i < f.statements.count(); ++i) {
    if (i > 0) out.printf("\n");
    printStatement(out, f, i);
  }
  return out.finish();
}

// K of «Join order[K]:» as a number when it is one.
void joinOrderNumberJson(JsonWriter& json, const TraceFacts& f, TextSpan number) {
  const std::string_view k = f.view(number);
  int64_t value = 0;
  const auto [end, error] = std::from_chars(k.data(), k.data() + k.size(), value);
  if (!k.empty() && k.size() < 19 && k[0] != '-' && error == std::errc() && end == k.data() + k.size()) {
    json.number(value);
  } else {
    spanOrNull(json, f, number);
  }
}

void seriesJson(JsonWriter& json, const TraceFacts& f, const QueryBlockFact& b) {
  json.key("join_order_series");
  json.beginArray();
  for (const JoinOrderFact& order : slice(f.joinOrders, b.joinOrders)) {
    json.beginObject();
    joinOrderNumberJson(json.key("number"), f, order.number);
    json.key("line").number(order.line);
    tablesJson(json.key("tables"), f, order);
    json.key("aborted").boolean(order.abortedLines > 0);
    spanOrNull(json.key("best_so_far"), f, order.bestSoFarLine > 0 ? order.cost : TextSpan{});
    spanOrNull(json.key("last_step_cost"), f, order.lastStepCost);
    json.endObject();
  }
  json.endArray();
}

void accessPathJson(JsonWriter& json, const TraceFacts& f, const AccessPathFact& p) {
  json.beginObject();
  spanOrNull(json.key("alias"), f, p.alias);
  json.key("line").number(p.line);
  json.key("last_line").number(p.lastLine);
  json.key("card");
  if (p.cardLine == 0) {
    json.null();
  } else {
    json.beginObject();
    spanOrNull(json.key("original"), f, p.cardOriginal);
    spanOrNull(json.key("rounded"), f, p.cardRounded);
    spanOrNull(json.key("computed"), f, p.cardComputed);
    json.key("line").number(p.cardLine);
    json.endObject();
  }
  json.key("candidates");
  json.beginArray();
  for (const AccessCandidateFact& c : slice(f.accessCandidates, p.candidates)) {
    json.beginObject();
    spanOrNull(json.key("path"), f, c.path);
    spanOrNull(json.key("index"), f, c.index);
    spanOrNull(json.key("cost"), f, c.cost);
    json.key("line").number(c.line);
    json.key("bitmap").boolean(c.bitmap != 0);
    json.endObject();
  }
  json.endArray();
  json.key("best");
  if (p.bestLine == 0) {
    json.null();
  } else {
    json.beginObject();
    spanOrNull(json.key("path"), f, p.bestPath);
    json.key("line").number(p.bestLine);
    spanOrNull(json.key("index"), f, p.bestIndex);
    spanOrNull(json.key("cost"), f, p.bestCost);
    spanOrNull(json.key("card"), f, p.bestCard);
    json.endObject();
  }
  json.key("columns");
  json.beginArray();
  for (const ColumnStatFact& c : slice(f.columnStats, p.columns)) {
    json.beginObject();
    spanOrNull(json.key("name"), f, c.name);
    json.key("line").number(c.line);
    spanOrNull(json.key("ndv"), f, c.ndv);
    spanOrNull(json.key("nulls"), f, c.nulls);
    spanOrNull(json.key("density"), f, c.density);
    spanOrNull(json.key("histogram"), f, c.histogram);
    json.endObject();
  }
  json.endArray();
  json.key("flags");
  json.beginArray();
  for (const AccessFlagFact& flag : slice(f.accessFlags, p.flags)) {
    json.beginObject();
    json.key("kind").string(accessFlagName(flag.kind));
    json.key("line").number(flag.line);
    json.endObject();
  }
  json.endArray();
  json.endObject();
}

// The tables and indexes of the stretch's «BASE STATISTICAL INFORMATION».
void tableStatsJson(JsonWriter& json, const TraceFacts& f, const QueryBlockFact& b) {
  json.key("table_stats");
  json.beginArray();
  for (const TableStatFact& t : slice(f.tableStats, b.tableStats)) {
    json.beginObject();
    spanOrNull(json.key("table"), f, t.table);
    spanOrNull(json.key("alias"), f, t.alias);
    json.key("line").number(t.line);
    spanOrNull(json.key("rows"), f, t.rows);
    spanOrNull(json.key("blocks"), f, t.blocks);
    spanOrNull(json.key("avg_row_len"), f, t.avgRowLen);
    json.key("indexes");
    json.beginArray();
    for (const IndexStatFact& x : slice(f.indexStats, t.indexes)) {
      json.beginObject();
      spanOrNull(json.key("name"), f, x.name);
      json.key("line").number(x.line);
      spanOrNull(json.key("levels"), f, x.levels);
      spanOrNull(json.key("leaf_blocks"), f, x.leafBlocks);
      spanOrNull(json.key("distinct_keys"), f, x.distinctKeys);
      spanOrNull(json.key("clustering_factor"), f, x.clusteringFactor);
      json.endObject();
    }
    json.endArray();
    json.endObject();
  }
  json.endArray();
}

void accessPathsJson(JsonWriter& json, const TraceFacts& f, const QueryBlockFact& b) {
  json.key("access_paths");
  json.beginArray();
  for (const AccessPathFact& path : slice(f.accessPaths, b.accessPaths)) {
    accessPathJson(json, f, path);
  }
  json.endArray();
}

void queryBlocksJson(JsonWriter& json, const TraceFacts& f, const StatementFacts& s) {
  json.key("query_blocks");
  json.beginArray();
  for (const QueryBlockFact& b : slice(f.queryBlocks, s.queryBlocks)) {
    json.beginObject();
    spanOrNull(json.key("name"), f, b.name);
    spanOrNull(json.key("number"), f, b.number);
    spanOrNull(json.key("plan"), f, b.plan);
    json.key("line").number(b.line);
    spanOrNull(json.key("best_join_order"), f, b.bestJoinOrder);
    spanOrNull(json.key("cost"), f, b.cost);
    spanOrNull(json.key("card"), f, b.card);
    spanOrNull(json.key("bytes"), f, b.bytes);
    json.key("tables");
    if (b.bestJoinOrderFact != kNoFact) {
      tablesJson(json, f, f.joinOrders[b.bestJoinOrderFact]);
    } else {
      json.null();
    }
    json.key("best_join_order_line");
    lineOrNull(json, b.bestJoinOrderFact != kNoFact ? f.joinOrders[b.bestJoinOrderFact].line : 0);
    json.key("join_orders_tried").number(b.joinOrders.count);
    json.key("join_orders_aborted").number(b.abortedJoinOrders);
    seriesJson(json, f, b);
    accessPathsJson(json, f, b);
    tableStatsJson(json, f, b);
    json.endObject();
  }
  json.endArray();
}

void joinOrdersJson(JsonWriter& json, const TraceFacts& f, const StatementFacts& s) {
  json.key("join_orders");
  json.beginArray();
  for (const JoinOrderFact& order : slice(f.joinOrders, s.joinOrders)) {
    json.beginObject();
    spanOrNull(json.key("number"), f, order.number);
    json.key("line").number(order.line);
    tablesJson(json.key("tables"), f, order);
    lineOrNull(json.key("best_so_far_line"), order.bestSoFarLine);
    spanOrNull(json.key("cost"), f, order.cost);
    spanOrNull(json.key("card"), f, order.card);
    spanOrNull(json.key("bytes"), f, order.bytes);
    json.key("aborted").boolean(order.abortedLines > 0);
    json.endObject();
  }
  json.endArray();
}

int parametersJson(JsonWriter& json, const TraceFacts& f, const StatementFacts& s) {
  PackedRecords<int32_t> effective;
  if (effectiveParameters(f, s, effective) != 0) return -1;
  json.key("parameters");
  json.beginObject();
  for (int32_t i : effective) json.key(f.view(f.parameters[i].name)).string(f.view(f.parameters[i].value));
  json.endObject();
  json.key("altered_parameters");
  json.beginArray();
  for (int32_t i : effective) {
    if (f.parameters[i].list == kParametersAltered) json.string(f.view(f.parameters[i].name));
  }
  json.endArray();
  lineOrNull(json.key("parameters_line"), s.parametersLine);
  json.key("fix_controls");
  if (s.fixControlsLine == 0) {
    json.null();
  } else {
    if (effectiveFixControls(f, s, effective) != 0) return -1;
    json.beginObject();
    for (int32_t i : effective) json.key(f.view(f.fixControls[i].number)).string(f.view(f.fixControls[i].value));
    json.endObject();
  }
  lineOrNull(json.key("fix_controls_line"), s.fixControlsLine);
  // Only when there are some, so the JSON of a sound trace keeps its keys.
  if (s.skippedListLines > 0) json.key("skipped_list_lines").number(s.skippedListLines);
  return 0;
}

void planJson(JsonWriter& json, const TraceFacts& f, const StatementFacts& s) {
  lineOrNull(json.key("explain_plan_line"), s.explainPlanLine);
  json.key("plan");
  json.beginArray();
  for (const PlanOperationFact& op : slice(f.planOperations, s.planOperations)) {
    json.beginObject();
    json.key("line").number(op.line);
    spanOrNull(json.key("id"), f, op.id);
    json.key("depth").number(op.depth);
    spanOrNull(json.key("operation"), f, op.operation);
    spanOrNull(json.key("name"), f, op.name);
    spanOrNull(json.key("rows"), f, op.rows);
    spanOrNull(json.key("cost"), f, op.cost);
    json.endObject();
  }
  json.endArray();
  lineOrNull(json.key("outline_line"), s.outlineLine);
  json.key("outline_hints");
  json.beginArray();
  for (const OutlineHintFact& hint : slice(f.outlineHints, s.outlineHints)) {
    json.string(f.view(hint.text));
  }
  json.endArray();
}

void transformationsJson(JsonWriter& json, const TraceFacts& f, const StatementFacts& s) {
  json.key("transformations");
  json.beginArray();
  for (const TransformationFact& x : slice(f.transformations, s.transformations)) {
    json.beginObject();
    json.key("line").number(x.line);
    spanOrNull(json.key("kind"), f, x.kind);
    spanOrNull(json.key("query_block"), f, x.queryBlock);
    json.key("verdict").string(x.verdict == kTransformationBetter ? "better" : "worse");
    spanOrNull(json.key("text"), f, x.text);
    json.endObject();
  }
  json.endArray();
}

int statementJson(JsonWriter& json, const TraceFacts& f, int32_t index) {
  const StatementFacts& s = f.statements[index];
  json.beginObject();
  json.key("index").number(index);
  spanOrNull(json.key("sql_id"), f, s.sqlId);
  spanOrNull(json.key("plan_hash_value"), f, s.planHashValue);
  spanOrNull(json.key("plan_hash_value_hex"), f, s.planHashValueHex);
  lineOrNull(json.key("line"), s.line);
  json.key("first_line").number(s.firstLine);
  json.key("last_line").number(s.lastLine);
  lineOrNull(json.key("sql_text_line"), s.sqlTextLine);
  spanOrNull(json.key("sql_text"), f, s.sqlText);
  lineOrNull(json.key("final_query_line"), s.finalQueryLine);
  queryBlocksJson(json, f, s);
  joinOrdersJson(json, f, s);
  if (parametersJson(json, f, s) != 0) return -1;
  transformationsJson(json, f, s);
  planJson(json, f, s);
  json.endObject();
  return 0;
}

int printJson(const LoadedFacts& loaded) {
  OutputBuffer out;
  SVString pending;
  JsonWriter json(pending);
  json.beginObject();
  // Only a split trace has the key, so other traces' documents stay as they were.
  const std::vector<TracePart> parts = partsOf(loaded.text);
  if (!parts.empty()) {
    json.key("continued_from");
    json.beginArray();
    for (const TracePart& part : parts) {
      json.beginObject();
      json.key("file").string(loaded.facts.view(part.name));
      json.key("line").number(part.line);
      json.endObject();
    }
    json.endArray();
  }
  TracePart next;
  if (findTraceContinuation(loaded.text.c_str(), static_cast<size_t>(loaded.text.length()), next)) {
    json.key("continues_in");
    json.beginObject();
    json.key("file").string(loaded.facts.view(next.name));
    json.key("line").number(next.line);
    json.endObject();
  }
  json.key("statements");
  json.beginArray();
  for (int32_t i = 0; i < loaded.facts.statements.count(); ++i) {
    if (statementJson(json, loaded.facts, i) != 0 || json.failed()) return noMemory("the summary");
    out.write(pending.c_str(), static_cast<size_t>(pending.length()));
    pending.clear();
  }
  json.endArray();
  json.endObject();
  if (json.failed() || pending.append("\n", 1) != 0) return noMemory("the summary");
  out.write(pending.c_str(), static_cast<size_t>(pending.length()));
  return out.finish();
}

int runSummary(int argc, char** argv) {
  bool asJson = false;
  const char* path = nullptr;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0) {
      asJson = true;
    } else if (argv[i][0] == '-' && argv[i][1] != 0) {
      return usageError(kCommands[0], "unknown option");
    } else if (!path) {
      path = argv[i];
    } else {
      return usageError(kCommands[0], "only one FILE may be named");
    }
  }
  if (!path) return usageError(kCommands[0], "FILE is missing");
  LoadedFacts loaded;
  if (int code = loadFacts(path, loaded)) return code;
  return asJson ? printJson(loaded) : printReport(loaded);
}

}  // namespace

CliCommandGroup summaryCommandGroup() {
  return {kCommands, static_cast<int>(sizeof kCommands / sizeof kCommands[0])};
}
