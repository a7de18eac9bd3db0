// The statement's SQL dump: its ids, SQL text, explain plan and outline.
#include <strings.h>

#include <cstring>

#include "facts/facts_internal.h"

namespace {

constexpr char kSqlHeading[] = "----- Current SQL Statement for this session";

// The sql_id after "sql_id=" on the line: letters and digits only, so the
// parenthesis of «(sql_id=abc)» stays out.
TextSpan sqlIdOnLine(const char* text, const TraceLine& line) {
  const TextSpan word = valueAfterKey(text, line, "sql_id=");
  if (!word.present()) return word;
  int32_t n = 0;
  while (n < word.length && isIdByte(text[word.offset + n])) ++n;
  return n > 0 ? TextSpan{word.offset, n} : TextSpan{};
}

// The first content line after a SQL heading, unless the text is empty.
void readSqlText(const char* text, LineReader& reader, StatementFacts& s) {
  TraceLine line;
  if (!reader.nextContent(line) || lineStartsWith(text, line, "sql_text_length=") ||
      lineStartsWith(text, line, "-----")) {
    return;
  }
  s.sqlTextLine = line.number;
  s.sqlText = trimmedLine(text, line);
}

// «-551043928(df27bca8)»: the decimal value, and the same in hex in
// brackets where the trace adds it.
void splitPlanHash(const char* text, TextSpan word, StatementFacts& s) {
  s.planHashValue = word;
  if (!word.present()) return;
  const std::string_view value(text + word.offset, static_cast<size_t>(word.length));
  const size_t open = value.find('(');
  if (open == std::string_view::npos) return;
  s.planHashValue.length = static_cast<int32_t>(open);
  const size_t close = value.find(')', open);
  if (close != std::string_view::npos && close > open + 1) {
    s.planHashValueHex = TextSpan{word.offset + static_cast<int32_t>(open) + 1, static_cast<int32_t>(close - open - 1)};
  }
}

}  // namespace

void readSqlDump(FactContext& c, StatementFacts& s, const KeyPoint& k, int32_t limit) {
  LineReader reader = readerAfter(c.text, limit, k);
  TraceLine line;
  reader.next(line);
  // The dump opens with a few lines of ids; the heading of the SQL text follows.
  for (int i = 0; i < 8 && reader.nextContent(line); ++i) {
    if (lineStartsWith(c.text, line, kSqlHeading)) {
      if (!s.sqlId.present()) s.sqlId = sqlIdOnLine(c.text, line);
      readSqlText(c.text, reader, s);
      return;
    }
    if (lineStartsWith(c.text, line, "-----")) return;
    if (s.line == 0 && lineStartsWith(c.text, line, "sql_id=")) {
      s.line = line.number;
      s.sqlId = sqlIdOnLine(c.text, line);
      splitPlanHash(c.text, valueAfterKey(c.text, line, "plan_hash_value="), s);
    }
  }
}

void readSqlHeading(FactContext& c, StatementFacts& s) {
  const int32_t at = findIn(c.text, s.beginOffset, s.endOffset, kSqlHeading);
  if (at < 0) return;
  LineReader reader(c.text, s.endOffset, at, lineOfOffset(c.text, s.beginOffset, s.firstLine, at));
  TraceLine line;
  reader.next(line);
  if (!s.sqlId.present()) s.sqlId = sqlIdOnLine(c.text, line);
  if (s.sqlTextLine == 0) readSqlText(c.text, reader, s);
}

namespace {

// Columns of the plan table that are kept, as cell indexes.
struct PlanColumns {
  int id = 0;
  int operation = 1;
  int name = 2;
  int rows = 3;
  int cost = 5;
};

constexpr int kMaxCells = 32;

// The cells between the '|' of a table row: [begin, end) offsets each.
int splitCells(const char* text, TextSpan row, int32_t (*cells)[2]) {
  int n = 0;
  const int32_t end = row.offset + row.length;
  int32_t cellStart = -1;
  for (int32_t i = row.offset; i < end; ++i) {
    if (text[i] != '|') continue;
    if (cellStart >= 0 && n < kMaxCells) {
      cells[n][0] = cellStart;
      cells[n][1] = i;
      ++n;
    }
    cellStart = i + 1;
  }
  return n;
}

TextSpan trimmedCell(const char* text, const int32_t* cell) {
  int32_t begin = cell[0];
  int32_t end = cell[1];
  while (begin < end && isSpaceByte(text[begin])) ++begin;
  while (end > begin && isSpaceByte(text[end - 1])) --end;
  return end > begin ? spanOf(begin, end) : TextSpan{};
}

bool cellIs(const char* text, TextSpan cell, const char* name) {
  const size_t n = std::strlen(name);
  return cell.present() && static_cast<size_t>(cell.length) == n && strncasecmp(text + cell.offset, name, n) == 0;
}

void readHeader(const char* text, TextSpan header, PlanColumns& columns) {
  int32_t cells[kMaxCells][2];
  const int n = splitCells(text, header, cells);
  columns = PlanColumns{-1, -1, -1, -1, -1};
  for (int i = 0; i < n; ++i) {
    const TextSpan cell = trimmedCell(text, cells[i]);
    if (cellIs(text, cell, "Id")) columns.id = i;
    if (cellIs(text, cell, "Operation")) columns.operation = i;
    if (cellIs(text, cell, "Name")) columns.name = i;
    if (cellIs(text, cell, "Rows")) columns.rows = i;
    if (cellIs(text, cell, "Cost")) columns.cost = i;
  }
}

bool appendRow(FactContext& c, const TraceLine& line, TextSpan row, const PlanColumns& columns) {
  int32_t cells[kMaxCells][2];
  const int n = splitCells(c.text, row, cells);
  PlanOperationFact* op = appendFact(c.facts.planOperations);
  if (!op) return false;
  op->line = line.number;
  auto cell = [&](int index) { return index >= 0 && index < n ? trimmedCell(c.text, cells[index]) : TextSpan{}; };
  op->id = cell(columns.id);
  // «*  2» marks a row with predicates in some layouts.
  while (op->id.present() && op->id.length > 0 && (c.text[op->id.offset] == '*' || c.text[op->id.offset] == ' ')) {
    ++op->id.offset;
    --op->id.length;
  }
  op->operation = cell(columns.operation);
  if (op->operation.present()) op->depth = op->operation.offset - cells[columns.operation][0] - 1;
  if (op->depth < 0) op->depth = 0;
  op->name = cell(columns.name);
  op->rows = cell(columns.rows);
  op->cost = cell(columns.cost);
  return true;
}

bool readOutlineHints(FactContext& c, StatementFacts& s, int32_t from, int32_t fromLine, int32_t limit) {
  const int32_t at = findIn(c.text, from, limit, "BEGIN_OUTLINE_DATA");
  if (at < 0) return true;
  s.outlineLine = lineOfOffset(c.text, from, fromLine, at);
  LineReader reader(c.text, limit, at, s.outlineLine);
  TraceLine line;
  reader.next(line);
  while (reader.nextContent(line)) {
    const TextSpan hint = trimmedLine(c.text, line);
    if (c.facts.view(hint).starts_with("END_OUTLINE_DATA")) break;
    OutlineHintFact* fact = appendFact(c.facts.outlineHints);
    if (!fact) return false;
    fact->line = line.number;
    fact->text = hint;
  }
  return true;
}

}  // namespace

bool readExplainPlan(FactContext& c, StatementFacts& s) {
  if (s.explainPlan.offset < 0) return true;
  const int32_t limit = s.explainPlan.limit;
  LineReader reader(c.text, limit, s.explainPlan.offset, s.explainPlanLine);
  TraceLine line;
  reader.next(line);
  PlanColumns columns;
  bool inTable = false;
  int rows = 0;
  // Headings and rules come first; the table's rows start with '|'.
  for (int i = 0; reader.nextContent(line); ++i) {
    const TextSpan t = trimmedLine(c.text, line);
    const char first = c.text[t.offset];
    if (first == '|') {
      if (!inTable && c.facts.view(t).find("Operation") != std::string_view::npos) {
        readHeader(c.text, t, columns);
      } else {
        if (!appendRow(c, line, t, columns)) return false;
        ++rows;
      }
      inTable = true;
    } else if (first == '-' && (inTable || i < 10)) {
      if (rows > 0) break;
    } else if (inTable || i >= 10) {
      break;
    }
  }
  return readOutlineHints(c, s, reader.offset(), reader.lineNumber(), limit);
}
