// The subcommands of zazozav-cli, grouped by the file that implements them.
#pragma once

#include <cstdio>

#include "base/sv_string.h"

struct CliCommand {
  const char* name;
  const char* synopsis;     // arguments, e.g. "[--no-format] FILE"
  const char* description;  // one or more lines for --help
  int (*run)(int argc, char** argv);  // arguments after the command name
};

struct CliCommandGroup {
  const CliCommand* commands;
  int count;
};

CliCommandGroup traceCommandGroup();
CliCommandGroup sqlCommandGroup();
CliCommandGroup highlightCommandGroup();
CliCommandGroup summaryCommandGroup();
CliCommandGroup compareCommandGroup();

// Loads FILE as the viewer does and appends "\r\n". On failure prints the
// viewer's message to stderr and returns a non-zero exit code.
int loadTraceText(const char* path, SVString& text);

// Reads all of standard input. Returns 0, or 1 after printing a message.
int readStandardInput(SVString& text);

// Writes bytes to stdout; returns 0, or 1 when the write fails.
int writeOutput(const char* bytes, size_t length);

// Exit code for a usage error: prints the message and the command's
// synopsis to stderr.
int usageError(const CliCommand& command, const char* message);
