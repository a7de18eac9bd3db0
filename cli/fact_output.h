// Output helpers of the summary and comparison commands: trace text made
// safe for a terminal, aligned columns, facts as JSON values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/json_writer.h"
#include "cli/output_buffer.h"
#include "facts/trace_facts.h"

// Trace text made harmless for a terminal and for one line of a report:
// control characters made visible as appendFieldSafe shows them.
// Throws std::bad_alloc when memory runs out, as the standard strings do.
std::string terminalSafe(std::string_view text);

// The span made safe, or "-" when it is absent or empty.
std::string orDash(const TraceFacts& f, TextSpan span);

// A plan hash value as V$SQL and DBMS_XPLAN print it: the trace's signed
// 32-bit decimal read as unsigned («-321907731» is «3973059565»); empty
// when the text is not such a number.
std::string unsignedPlanHash(std::string_view decimal);

// The join order's tables, separated by blanks, made safe.
std::string tablesOf(const TraceFacts& f, const JoinOrderFact& order);

// Rows of cells printed in columns two spaces apart; the last column is
// not padded.
void printTable(OutputBuffer& out, const std::vector<std::vector<std::string>>& rows, const char* indent);

// The span as a JSON string, or null when absent.
void spanOrNull(JsonWriter& json, const TraceFacts& f, TextSpan span);
// The line as a JSON number, or null when it is 0.
void lineOrNull(JsonWriter& json, int32_t line);
// The join order's tables as a JSON array of strings.
void tablesJson(JsonWriter& json, const TraceFacts& f, const JoinOrderFact& order);
