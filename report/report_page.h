// The parts of a report page that the trace's and the comparison's reports
// share: the page's head and foot, and one trace's sections.
#pragma once

#include <string>
#include <string_view>

#include "report/html_writer.h"
#include "report/trace_report.h"

// «<!DOCTYPE html>», the head with `title` and the style sheet, «<body>».
void beginReportPage(HtmlWriter& html, std::string_view title);
// The foot line and the closing tags.
void endReportPage(HtmlWriter& html);

// The split-trace parts `trace` names, its statements' contents list and
// each statement's section, under headings of level `level` and below
// (2 for a trace alone, 3 inside a comparison). Element ids start with
// `idPrefix`.
void writeTraceSections(HtmlWriter& html, const ReportedTrace& trace, int level, std::string_view idPrefix);

// A table cell with a trace line, or "–" for 0.
void lineCell(HtmlWriter& html, int32_t line);
// «line N», or "" for 0.
std::string lineText(int32_t line);

// «<hN id="...">text</hN>» for `level` 1 to 6; no id when it is empty.
void writeHeading(HtmlWriter& html, int level, std::string_view text, std::string_view id = {});

// A query block's search, access paths and statistics, under a heading of
// `level`; nothing when its stretch has neither join orders nor access
// paths (report/query_block_report.cc).
void writeQueryBlockDetails(HtmlWriter& html, const TraceFacts& facts, const QueryBlockFact& block, int level);

// The span as text, or "–" when it is absent or empty.
void spanText(HtmlWriter& html, const TraceFacts& facts, TextSpan span);
// A table cell holding the span; `numeric` aligns it right.
void spanCell(HtmlWriter& html, const TraceFacts& facts, TextSpan span, bool numeric = false);
