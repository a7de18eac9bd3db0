// SQL subcommands: the tokens of an SQL text and its formatted layout.
#include <cstdio>

#include "cli/cli_command.h"
#include "cli/output_buffer.h"
#include "sql/sql_tokenizer.h"

namespace {

int runSqlTokens(int argc, char** argv);

const CliCommand kCommands[] = {
    {"sql-tokens", "",
     "      Reads SQL from stdin; one line per token: kind, tokenStart, pos, tokenLine, line, mode,\n"
     "      and the keyword's canonical text or \"-\".",
     runSqlTokens},
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

}  // namespace

CliCommandGroup sqlCommandGroup() { return {kCommands, static_cast<int>(sizeof kCommands / sizeof kCommands[0])}; }
