#include "cli/fact_output.h"

#include <charconv>
#include <cstdint>

#include "cli/safe_text.h"

#include <algorithm>
#include <new>

std::string terminalSafe(std::string_view text) {
  SVString safe;
  // The reports' standard strings fail this way too; the command turns it
  // into its error (see runCommand).
  if (appendFieldSafe(safe, text.data(), text.size()) != 0) throw std::bad_alloc();
  return std::string(safe.data() == nullptr ? "" : safe.data(), static_cast<size_t>(safe.length()));
}

std::string orDash(const TraceFacts& f, TextSpan span) {
  return span.present() && span.length > 0 ? terminalSafe(f.view(span)) : std::string("-");
}

std::string unsignedPlanHash(std::string_view decimal) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(decimal.data(), decimal.data() + decimal.size(), value);
  if (decimal.empty() || error != std::errc() || end != decimal.data() + decimal.size() || value < INT32_MIN ||
      value > UINT32_MAX) {
    return std::string();
  }
  return std::to_string(value < 0 ? value + (int64_t{1} << 32) : value);
}

std::string tablesOf(const TraceFacts& f, const JoinOrderFact& order) {
  std::string list;
  for (int32_t t = 0; t < order.tables.count; ++t) {
    if (t > 0) list += ' ';
    list += terminalSafe(f.view(f.tables[order.tables.first + t]));
  }
  return list;
}

void printTable(OutputBuffer& out, const std::vector<std::vector<std::string>>& rows, const char* indent) {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  for (const auto& row : rows) {
    std::string line = indent;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line.append(widths[i] - row[i].size() + 2, ' ');
    }
    line += '\n';
    out.write(line.data(), line.size());
  }
}

void spanOrNull(JsonWriter& json, const TraceFacts& f, TextSpan span) {
  if (span.present()) {
    json.string(f.view(span));
  } else {
    json.null();
  }
}

void lineOrNull(JsonWriter& json, int32_t line) {
  if (line > 0) {
    json.number(line);
  } else {
    json.null();
  }
}

void tablesJson(JsonWriter& json, const TraceFacts& f, const JoinOrderFact& order) {
  json.beginArray();
  for (int32_t t = 0; t < order.tables.count; ++t) json.string(f.view(f.tables[order.tables.first + t]));
  json.endArray();
}
