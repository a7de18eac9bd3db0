// The highlight subcommand: filled in with the trace highlighter.
#include "cli/cli_command.h"

CliCommandGroup highlightCommandGroup() { return {nullptr, 0}; }
