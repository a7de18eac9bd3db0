// SQL subcommands: the tokens of an SQL text and its formatted layout.
#include <cstdio>

#include "cli/cli_command.h"
#include "cli/output_buffer.h"
#include "sql/format_sql.h"
#include "sql/sql_formatter.h"
#include "sql/sql_tokenizer.h"

namespace {

int runSqlTokens(int argc, char** argv);
int runFormatSql(int argc, char** argv);

const CliCommand kCommands[] = {
    {"sql-tokens", "< SQL",
     "      Reads SQL from stdin; one line per token: kind, tokenStart, pos, tokenLine, line, mode,\n"
     "      and the keyword's canonical text or \"-\".",
     runSqlTokens},
    {"format-sql", "< SQL",
     "      Reads SQL from stdin and formats it as the viewer formats final queries (margin 0,\n"
     "      compact lists, width 80). Prints the result; or, on failure, the message to stderr\n"
     "      with exit code 1 (not a handled statement), 2 (formatter error) or 3 (token mismatch).",
     runFormatSql},
};

int runSqlTokens(int argc, char**) {
  if (argc != 0) return usageError(kCommands[0], "no arguments are taken; the SQL comes from stdin");
  SVString sql;
  if (int code = readStandardInput(sql)) return code;
  buildSqlDispatch();
  ScanState state;
  scanInit(state, sql.c_str(), sql.length());
  OutputBuffer out;
  while (nextSqlToken(state)) {
    out.printf("%d\t%d\t%d\t%d\t%d\t%d\t%s\n", state.kind, state.tokenStart, state.pos, state.tokenLine, state.line,
               state.mode, state.keywordEntry != nullptr ? state.keywordEntry->text : "-");
  }
  return out.finish();
}

int runFormatSql(int argc, char**) {
  if (argc != 0) return usageError(kCommands[1], "no arguments are taken; the SQL comes from stdin");
  SVString sql;
  if (int code = readStandardInput(sql)) return code;
  buildSqlDispatch();
  SVString output;
  const int result = formatSql(sql.c_str(), sql.length(), 0, compactLists, 80, output);
  if (result == formatSqlOk) return writeOutput(output.c_str(), static_cast<size_t>(output.length()));
  std::fprintf(stderr, "%s\n", output.c_str());
  switch (result) {
    case formatSqlNotHandled: return 1;
    case formatSqlFailed: return 2;
    default: return 3;
  }
}

}  // namespace

CliCommandGroup sqlCommandGroup() { return {kCommands, static_cast<int>(sizeof kCommands / sizeof kCommands[0])}; }
