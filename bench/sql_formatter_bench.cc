// The SQL formatter alone (tokenizer and layout, without the token check of
// the formatting entry) on long queries of several shapes. Rates are bytes
// of input per second.
#include <benchmark/benchmark.h>

#include <string>

#include "base/sv_string.h"
#include "sql/format_sql.h"
#include "sql/sql_formatter.h"
#include "sql/sql_tokenizer.h"

namespace {

// Query blocks in the shape of optimizer final queries: quoted names with
// aliases, binds, CASE, joins, sub-queries in FROM and in conditions.
const char* const kBlocks[] = {
    "SELECT \"E\".\"EMPLOYEE_ID\" \"EMPLOYEE_ID\",\"E\".\"LAST_NAME\" \"LAST_NAME\",NVL(\"D\".\"NAME\",'-') "
    "\"NAME\" FROM \"HR\".\"EMPLOYEES\" \"E\",\"HR\".\"DEPARTMENTS\" \"D\" WHERE \"E\".\"SALARY\">:B1 AND "
    "\"D\".\"DEPARTMENT_ID\"=\"E\".\"DEPARTMENT_ID\" AND \"E\".\"STATE\" IN ('A','B','C')",
    "SELECT CASE WHEN \"O\".\"STATUS\"=1 THEN 'open' WHEN \"O\".\"STATUS\"=2 THEN 'shipped' ELSE 'other' END "
    "\"STATE\",SUM(\"I\".\"PRICE\"*\"I\".\"QTY\") \"TOTAL\" FROM \"OE\".\"ORDERS\" \"O\" LEFT OUTER JOIN "
    "\"OE\".\"ITEMS\" \"I\" ON \"I\".\"ORDER_ID\"=\"O\".\"ORDER_ID\" AND \"I\".\"QTY\">0 GROUP BY "
    "\"O\".\"STATUS\" HAVING COUNT(*)>1",
    "SELECT /*+ LEADING(\"C\") */ \"C\".\"ID\" \"ID\" FROM  (SELECT \"S\".\"CUST_ID\" \"ID\" FROM "
    "\"SH\".\"SALES\" \"S\" WHERE \"S\".\"AMOUNT\">=100) \"C\" WHERE EXISTS (SELECT 0 FROM \"SH\".\"TIMES\" "
    "\"T\" WHERE \"T\".\"TIME_ID\"=\"C\".\"ID\" AND (\"T\".\"YEAR\"=2023 OR \"T\".\"YEAR\"=2024))",
};

// The blocks joined by UNION ALL until the text reaches `size` bytes.
std::string longQuery(size_t size) {
  std::string sql;
  for (size_t i = 0; sql.size() < size; ++i) {
    if (!sql.empty()) sql += " UNION ALL ";
    sql += kBlocks[i % (sizeof kBlocks / sizeof kBlocks[0])];
  }
  return sql;
}

// Runs sqlFormatRun over `sql` as the formatting entry does: a string
// reserved for 1000 bytes that growOutput enlarges.
void runFormatter(benchmark::State& state, const std::string& sql) {
  buildSqlDispatch();
  SVString out;
  int64_t outputBytes = 0;
  for (auto _ : state) {
    ScanState scan;
    scanInit(scan, sql.data(), static_cast<int32_t>(sql.size()));
    out.clear();
    if (out.reserve(1000) != 0) {
      state.SkipWithError("out of memory");
      return;
    }
    SqlFormatter formatter;
    const int32_t status =
        sqlFormatRun(formatter, out.data(), out.capacity() - 1, compactLists, 2, 80, 0, scan,
                     nullptr, &out, growOutput);
    if (status < 0) {
      state.SkipWithError("formatter error");
      return;
    }
    outputBytes = formatter.outLength;
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sql.size()));
  state.SetComplexityN(static_cast<int64_t>(sql.size()));
  state.counters["outputBytes"] = static_cast<double>(outputBytes);
}

void BM_SqlFormatRunLong(benchmark::State& state) {
  static const std::string sql = longQuery(200 * 1000);
  runFormatter(state, sql);
}
BENCHMARK(BM_SqlFormatRunLong)->Unit(benchmark::kMicrosecond);

// Growing inputs: the time per byte must stay flat.
void BM_SqlFormatRunScaling(benchmark::State& state) {
  const std::string sql = longQuery(static_cast<size_t>(state.range(0)));
  runFormatter(state, sql);
}
BENCHMARK(BM_SqlFormatRunScaling)
    ->RangeMultiplier(4)
    ->Range(4 << 10, 256 << 10)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

// Nesting far past the limit: the run must stop early, not walk the text.
void BM_SqlFormatRunTooDeep(benchmark::State& state) {
  static const std::string sql = "SELECT a FROM t WHERE " + std::string(1 << 20, '(');
  buildSqlDispatch();
  char buffer[4096];
  for (auto _ : state) {
    ScanState scan;
    scanInit(scan, sql.data(), static_cast<int32_t>(sql.size()));
    SqlFormatter formatter;
    const int32_t status = sqlFormatRun(formatter, buffer, sizeof buffer - 1, compactLists, 2, 80, 0,
                                        scan, nullptr, nullptr, nullptr);
    if (status != sqlFormatTooDeep) {
      state.SkipWithError("expected the nesting limit");
      return;
    }
  }
}
BENCHMARK(BM_SqlFormatRunTooDeep)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
