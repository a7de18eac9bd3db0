// SQL subcommands: filled in with the SQL tokenizer and formatter.
#include "cli/cli_command.h"

CliCommandGroup sqlCommandGroup() { return {nullptr, 0}; }
