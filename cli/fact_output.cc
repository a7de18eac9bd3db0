#include "cli/fact_output.h"

#include <algorithm>

std::string terminalSafe(std::string_view text) {
  std::string safe;
  safe.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size();) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      safe.push_back((b < 0x20 && b != '\t') || b == 0x7F ? '?' : static_cast<char>(b));
      ++i;
      continue;
    }
    const int n = utf8SequenceLength(s, i, text.size());
    if (n == 0) {
      safe.push_back(b < 0xA0 ? '?' : static_cast<char>(b));
      ++i;
    } else if (n == 2 && b == 0xC2 && s[i + 1] < 0xA0) {
      safe.push_back('?');
      i += 2;
    } else {
      safe.append(text.data() + i, static_cast<size_t>(n));
      i += static_cast<size_t>(n);
    }
  }
  return safe;
}

std::string orDash(const TraceFacts& f, TextSpan span) {
  return span.present() && span.length > 0 ? terminalSafe(f.view(span)) : std::string("-");
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
