// One trace's part of a report: its split-trace parts, a list of its
// statements, and per statement its query blocks, transformations and plan.
#include "report/trace_report.h"

#include <cmath>
#include <string>

#include "facts/trace_digest.h"
#include "facts/trace_parts.h"
#include "report/report_page.h"

namespace {

std::string statementTitle(const TraceFacts& f, int32_t index) {
  const StatementFacts& s = f.statements[index];
  const std::string_view id = f.view(s.sqlId);
  return "Statement " + std::to_string(index + 1) + " of " + std::to_string(f.statements.count()) + ": sql_id " +
         (id.empty() ? std::string("\u2013") : std::string(id));
}

// The parts before and after this one that a split trace names.
void partsList(HtmlWriter& html, const ReportedTrace& trace) {
  const TraceFacts& f = *trace.facts;
  const size_t length = static_cast<size_t>(trace.length);
  TracePart part;
  size_t from = 0;
  int32_t line = 1;
  bool any = false;
  auto item = [&](const char* what, const TracePart& p) {
    if (!any) html.open("ul", {{"class", "parts"}});
    any = true;
    html.open("li");
    html.text(what);
    html.element("code", f.view(p.name));
    html.element("span", " (" + lineText(p.line) + ")", {{"class", "l"}});
    html.close();
  };
  while (findTracePart(trace.text, length, from, line, part, from)) {
    item("Continued from file ", part);
    line = part.line + 1;
  }
  if (findTraceContinuation(trace.text, length, part)) item("Continues in file ", part);
  if (any) html.close();
}

void contents(HtmlWriter& html, const TraceFacts& f, std::string_view idPrefix) {
  if (f.statements.count() < 2) return;
  html.open("nav");
  html.open("ul");
  for (int32_t i = 0; i < f.statements.count(); ++i) {
    html.open("li");
    html.element("a", statementTitle(f, i), {{"href", "#" + std::string(idPrefix) + "s" + std::to_string(i + 1)}});
    html.close();
  }
  html.close();
  html.close();
}

void queryBlocksTable(HtmlWriter& html, const TraceFacts& f, const StatementFacts& s) {
  // The most expensive query block of a statement with several is bold.
  double top = NAN;
  for (const QueryBlockFact& block : slice(f.queryBlocks, s.queryBlocks)) {
    const double cost = digestNumber(f.view(block.cost));
    if (!std::isnan(cost) && (std::isnan(top) || cost > top)) top = cost;
  }
  html.open("table", {{"class", "blocks"}});
  html.open("tr");
  for (const char* title : {"Line", "Query block", "Plan", "Cost", "Card", "Bytes", "Tried", "Aborted",
                            "Best join order", "Line", "Tables"}) {
    html.element("th", title);
  }
  html.close();
  for (const QueryBlockFact& b : slice(f.queryBlocks, s.queryBlocks)) {
    const double cost = digestNumber(f.view(b.cost));
    if (s.queryBlocks.count > 1 && !std::isnan(cost) && cost == top) {
      html.open("tr", {{"class", "top"}});
    } else {
      html.open("tr");
    }
    lineCell(html, b.line);
    html.open("td");
    spanText(html, f, b.name);
    if (b.number.present()) {
      html.text(" (#");
      html.text(f.view(b.number));
      html.text(")");
    }
    html.close();
    html.open("td", {{"class", "nw"}});
    spanText(html, f, b.plan);
    html.close();
    spanCell(html, f, b.cost, true);
    spanCell(html, f, b.card, true);
    spanCell(html, f, b.bytes, true);
    html.open("td", {{"class", "n"}});
    html.number(b.joinOrders.count);
    html.close();
    html.open("td", {{"class", "n"}});
    html.number(b.abortedJoinOrders);
    html.close();
    spanCell(html, f, b.bestJoinOrder, true);
    const JoinOrderFact* order = b.bestJoinOrderFact != kNoFact ? &f.joinOrders[b.bestJoinOrderFact] : nullptr;
    lineCell(html, order ? order->line : 0);
    html.open("td", {{"class", "w"}});
    if (order) {
      for (int32_t t = order->tables.first; t < order->tables.end(); ++t) {
        if (t > order->tables.first) html.text(" \u2192 ");
        html.text(f.view(f.tables[t]));
      }
    } else {
      html.text("\u2013");
    }
    html.close();
    html.close();
  }
  html.close();
}

void transformationsList(HtmlWriter& html, const TraceFacts& f, const StatementFacts& s, int level) {
  if (s.transformations.count == 0) return;
  writeHeading(html, level, "Transformations decided");
  html.open("table", {{"class", "transformations"}});
  html.open("tr");
  for (const char* title : {"Line", "Verdict", "Query block", "As the trace says it"}) html.element("th", title);
  html.close();
  for (const TransformationFact& x : slice(f.transformations, s.transformations)) {
    html.open("tr");
    lineCell(html, x.line);
    html.element("td", x.verdict == kTransformationBetter ? "better" : "worse");
    spanCell(html, f, x.queryBlock);
    spanCell(html, f, x.text);
    html.close();
  }
  html.close();
}

void planTable(HtmlWriter& html, const TraceFacts& f, const StatementFacts& s, int level) {
  if (s.planOperations.count == 0) return;
  writeHeading(html, level, "Explain plan, " + lineText(s.explainPlanLine));
  html.open("table", {{"class", "plan"}});
  html.open("tr");
  for (const char* title : {"Line", "Id", "Operation", "Name", "Rows", "Cost"}) html.element("th", title);
  html.close();
  for (const PlanOperationFact& op : slice(f.planOperations, s.planOperations)) {
    html.open("tr");
    lineCell(html, op.line);
    spanCell(html, f, op.id, true);
    html.open("td");
    // The operation's depth as the plan indents it, at most 40 levels.
    html.text(std::string(static_cast<size_t>(op.depth < 0 ? 0 : op.depth > 40 ? 40 : op.depth) * 2, ' '));
    spanText(html, f, op.operation);
    html.close();
    spanCell(html, f, op.name);
    spanCell(html, f, op.rows, true);
    spanCell(html, f, op.cost, true);
    html.close();
  }
  html.close();
}

// Parameters the user altered, with their lines.
void alteredParameters(HtmlWriter& html, const TraceFacts& f, const StatementFacts& s) {
  int32_t altered = 0;
  for (const ParameterFact& parameter : slice(f.parameters, s.parameters)) {
    altered += parameter.list == kParametersAltered ? 1 : 0;
  }
  std::string text;
  if (s.parametersLine) {
    text = "Parameters: " + std::to_string(s.parameters.count) + " (" + std::to_string(altered) + " altered), " +
           lineText(s.parametersLine);
  }
  if (s.fixControlsLine) {
    text += (text.empty() ? "Fix controls: " : "; fix controls: ") + std::to_string(s.fixControls.count) + ", " +
            lineText(s.fixControlsLine);
  }
  if (text.empty()) return;
  html.element("p", text + ".");
  if (altered == 0) return;
  html.open("table", {{"class", "parameters"}});
  html.open("tr");
  for (const char* title : {"Line", "Altered parameter", "Value"}) html.element("th", title);
  html.close();
  for (const ParameterFact& parameter : slice(f.parameters, s.parameters)) {
    if (parameter.list != kParametersAltered) continue;
    html.open("tr");
    lineCell(html, parameter.line);
    spanCell(html, f, parameter.name);
    spanCell(html, f, parameter.value);
    html.close();
  }
  html.close();
}

void statementSection(HtmlWriter& html, const TraceFacts& f, int32_t index, int level, std::string_view idPrefix) {
  const StatementFacts& s = f.statements[index];
  html.open("section");
  writeHeading(html, level, statementTitle(f, index), std::string(idPrefix) + "s" + std::to_string(index + 1));
  std::string meta = "Plan hash value " + std::string(f.view(s.planHashValue).empty() ? "\u2013" : f.view(s.planHashValue));
  meta += "; lines " + std::to_string(s.firstLine) + "\u2013" + std::to_string(s.lastLine);
  meta += s.line ? "; SQL dump at " + lineText(s.line) : std::string("; no SQL dump");
  if (s.finalQueryLine) meta += "; final query at " + lineText(s.finalQueryLine);
  html.element("p", meta + ".", {{"class", "meta"}});
  if (s.sqlTextLine) {
    html.element("p", "SQL text, " + lineText(s.sqlTextLine) + ":");
    html.element("pre", f.view(s.sqlText), {{"class", "sql"}});
  }
  alteredParameters(html, f, s);
  if (s.queryBlocks.count > 0) {
    queryBlocksTable(html, f, s);
    for (const QueryBlockFact& block : slice(f.queryBlocks, s.queryBlocks)) {
      writeQueryBlockDetails(html, f, block, level + 1);
    }
  } else {
    html.element("p", "No final cost of a query block.");
  }
  transformationsList(html, f, s, level + 1);
  planTable(html, f, s, level + 1);
  html.close();
}

}  // namespace

void writeTraceSections(HtmlWriter& html, const ReportedTrace& trace, int level, std::string_view idPrefix) {
  const TraceFacts& f = *trace.facts;
  partsList(html, trace);
  if (f.statements.count() == 0) {
    html.element("p", "No traced statement: no optimizer trace found in this file.");
    return;
  }
  contents(html, f, idPrefix);
  for (int32_t i = 0; i < f.statements.count(); ++i) statementSection(html, f, i, level, idPrefix);
}

int writeTraceReport(const ReportedTrace& trace, SVString& out) {
  out.clear();
  HtmlWriter html(out);
  beginReportPage(html, "Optimizer trace " + std::string(trace.name));
  writeHeading(html, 1, "Optimizer trace " + std::string(trace.name));
  const int32_t count = trace.facts->statements.count();
  html.element("p", std::to_string(count) + (count == 1 ? " traced statement." : " traced statements."),
               {{"class", "meta"}});
  writeTraceSections(html, trace, 2, "");
  endReportPage(html);
  return html.failed() ? -1 : 0;
}
