// SQL formatting speed: the tokenizer, formatSql on short, long and very
// long queries, and the re-formatting of every final query of a 64 MiB
// trace. Rates are bytes of input per second.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_support.h"
#include "outline/key_points.h"
#include "sql/final_query_reformat.h"
#include "sql/format_sql.h"
#include "sql/sql_formatter.h"
#include "sql/sql_tokenizer.h"
#include "trace/trace_scanner.h"

namespace {

// Final queries in the shape the optimizer writes them: one line, quoted
// names, aliases after every column, binds, nested query blocks.
const char* const kFinalQueries[] = {
    "SELECT \"E\".\"EMPLOYEE_ID\" \"EMPLOYEE_ID\",\"E\".\"LAST_NAME\" \"LAST_NAME\",\"D\".\"DEPARTMENT_NAME\" "
    "\"DEPARTMENT_NAME\",\"L\".\"CITY\" \"CITY\" FROM  (SELECT AVG(\"E2\".\"SALARY\") \"AVG(E2.SALARY)\","
    "\"E2\".\"DEPARTMENT_ID\" \"ITEM_1\" FROM \"HR\".\"EMPLOYEES\" \"E2\" GROUP BY \"E2\".\"DEPARTMENT_ID\") "
    "\"VW_SQ_1\",\"HR\".\"EMPLOYEES\" \"E\",\"HR\".\"DEPARTMENTS\" \"D\",\"HR\".\"LOCATIONS\" \"L\" WHERE "
    "\"E\".\"SALARY\">\"VW_SQ_1\".\"AVG(E2.SALARY)\" AND \"VW_SQ_1\".\"ITEM_1\"=\"E\".\"DEPARTMENT_ID\" AND "
    "\"L\".\"COUNTRY_ID\"=:B1 AND \"D\".\"DEPARTMENT_ID\"=\"E\".\"DEPARTMENT_ID\" AND \"L\".\"LOCATION_ID\"="
    "\"D\".\"LOCATION_ID\"",
    "SELECT \"O\".\"ORDER_ID\" \"ORDER_ID\",SUM(\"I\".\"UNIT_PRICE\"*\"I\".\"QUANTITY\") \"TOTAL\",CASE WHEN "
    "\"O\".\"ORDER_STATUS\"=1 THEN 'open' WHEN \"O\".\"ORDER_STATUS\"=2 THEN 'shipped' ELSE 'other' END \"STATE\" "
    "FROM \"OE\".\"ORDERS\" \"O\",\"OE\".\"ORDER_ITEMS\" \"I\" WHERE \"I\".\"ORDER_ID\"=\"O\".\"ORDER_ID\" AND "
    "\"O\".\"ORDER_DATE\">=TO_DATE(' 2024-01-01 00:00:00', 'syyyy-mm-dd hh24:mi:ss') AND \"O\".\"CUSTOMER_ID\" "
    "IN (101,102,103,:B2) GROUP BY \"O\".\"ORDER_ID\",\"O\".\"ORDER_STATUS\"",
    "SELECT /*+ LEADING(\"C\") */ \"C\".\"CUST_ID\" \"CUST_ID\",NVL(\"S\".\"AMOUNT_SOLD\",0) \"AMOUNT\" FROM "
    "\"SH\".\"CUSTOMERS\" \"C\",\"SH\".\"SALES\" \"S\" WHERE \"S\".\"CUST_ID\"(+)=\"C\".\"CUST_ID\" AND "
    "\"C\".\"CUST_CITY\"='Oslo' AND EXISTS (SELECT 0 FROM \"SH\".\"TIMES\" \"T\" WHERE \"T\".\"TIME_ID\"="
    "\"S\".\"TIME_ID\" AND \"T\".\"CALENDAR_YEAR\"=2023)",
};

// Joins the final queries with UNION ALL until the text reaches `size`.
std::string unionOfFinalQueries(size_t size) {
  std::string sql;
  for (size_t i = 0; sql.size() < size; ++i) {
    if (!sql.empty()) sql += " UNION ALL ";
    sql += kFinalQueries[i % (sizeof kFinalQueries / sizeof kFinalQueries[0])];
  }
  return sql;
}

const std::string& shortQuery() {
  static const std::string sql =
      "SELECT \"T\".\"ID\" \"ID\",\"T\".\"NAME\" \"NAME\" FROM \"APP\".\"ITEMS\" \"T\" WHERE \"T\".\"ID\"=:B1 "
      "AND \"T\".\"STATE\"='A' AND \"T\".\"CREATED\">SYSDATE-7 ORDER BY \"T\".\"NAME\",\"T\".\"ID\" DESC";
  return sql;
}

void runFormat(benchmark::State& state, const std::string& sql) {
  buildSqlDispatch();
  SVString out;
  for (auto _ : state) {
    int result = formatSql(sql.data(), static_cast<int32_t>(sql.size()), 0, compactLists, 80, out);
    if (result != formatSqlOk) {
      state.SkipWithError(out.c_str());
      return;
    }
    benchmark::DoNotOptimize(out.c_str());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sql.size()));
  state.SetComplexityN(static_cast<int64_t>(sql.size()));
  state.counters["outputBytes"] = out.length();
}

void BM_FormatSqlShort(benchmark::State& state) { runFormat(state, shortQuery()); }
BENCHMARK(BM_FormatSqlShort);

void BM_FormatSqlLong(benchmark::State& state) {
  static const std::string sql = unionOfFinalQueries(20 * 1000);
  runFormat(state, sql);
}
BENCHMARK(BM_FormatSqlLong)->Unit(benchmark::kMicrosecond);

void BM_FormatSqlVeryLong(benchmark::State& state) {
  static const std::string sql = unionOfFinalQueries(500 * 1000);
  runFormat(state, sql);
}
BENCHMARK(BM_FormatSqlVeryLong)->Unit(benchmark::kMillisecond);

// Growing inputs: the time per byte must not grow with the input.
void BM_FormatSqlScaling(benchmark::State& state) {
  const std::string sql = unionOfFinalQueries(static_cast<size_t>(state.range(0)));
  runFormat(state, sql);
}
BENCHMARK(BM_FormatSqlScaling)
    ->RangeMultiplier(4)
    ->Range(8 << 10, 512 << 10)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

void BM_TokenizeLong(benchmark::State& state) {
  buildSqlDispatch();
  static const std::string sql = unionOfFinalQueries(20 * 1000);
  int64_t tokens = 0;
  for (auto _ : state) {
    ScanState s;
    scanInit(s, sql.data(), static_cast<int32_t>(sql.size()));
    while (nextSqlToken(s)) ++tokens;
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sql.size()));
  benchmark::DoNotOptimize(tokens);
}
BENCHMARK(BM_TokenizeLong)->Unit(benchmark::kMicrosecond);

void BM_KeywordLookup(benchmark::State& state) {
  buildSqlDispatch();
  const char* const words[] = {"select", "FROM", "employee_id", "Where", "nvl", "dbms_stats", "x", "UNION"};
  int64_t found = 0;
  for (auto _ : state) {
    for (const char* w : words) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(w);
      found += lookupKeyword(bytes, static_cast<int32_t>(std::char_traits<char>::length(w))) != nullptr;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sizeof words / sizeof words[0]));
  benchmark::DoNotOptimize(found);
}
BENCHMARK(BM_KeywordLookup);

// Every final query of a 64 MiB trace formatted and the key points moved;
// the copy of the text and of the key points is not timed.
void BM_ReformatFinalQueries(benchmark::State& state) {
  buildTraceDispatch();
  buildSqlDispatch();
  const SVString& trace = generatedTrace(kLargeTraceSize);
  KeyPoints_c original;
  scanKeyPoints(original, trace);
  int64_t finalQueries = 0;
  for (const KeyPoint& k : original) finalQueries += k.kind == tkFinalQuery;
  SVString text;
  KeyPoints_c keyPoints;
  for (auto _ : state) {
    state.PauseTiming();
    text.assign(trace);
    resetKeyPoints(keyPoints);
    for (const KeyPoint& k : original) *appendKeyPoint(keyPoints) = k;
    state.ResumeTiming();
    if (reformatFinalQueries(text, keyPoints) != 0) {
      state.SkipWithError("out of memory");
      return;
    }
    benchmark::DoNotOptimize(text.c_str());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(trace.length()));
  state.counters["finalQueries"] = static_cast<double>(finalQueries);
  state.counters["grownBytes"] = static_cast<double>(text.length() - trace.length());
}
BENCHMARK(BM_ReformatFinalQueries)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
