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
CliCommandGroup reportCommandGroup();

// Loads FILE as the viewer does and appends "\r\n". On failure prints the
// viewer's message to stderr and returns a non-zero exit code.
int loadTraceText(const char* path, SVString& text);

// Reads all of standard input, at most maxTraceFileSize bytes (64 MiB, the
// limit of a trace file). Returns 0, or 1 after printing a message.
int readStandardInput(SVString& text);

// Writes bytes to stdout; returns 0, or 1 after reportOutputError when the
// write fails.
int writeOutput(const char* bytes, size_t length);

// Prints "cannot write to standard output" with the reason in errno (or
// `error`, none when 0) to stderr, once per run however often it is called.
void reportOutputError();
void reportOutputError(int error);

// Flushes and closes stdout once the command has run, so that a write
// the buffer held back cannot fail unseen. Returns `code`, or 1 after
// reportOutputError when `code` was 0 and a write failed.
int finishStandardOutput(int code);

// Prints "Cannot allocate memory for " and `what` (the loader's wording)
// to stderr and returns 1: a result that memory ran out for is never
// printed in part or as empty.
int noMemory(const char* what);

// Exit code for a usage error: prints the message and the command's
// synopsis to stderr.
int usageError(const CliCommand& command, const char* message);
