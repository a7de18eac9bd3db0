// Where the viewer finds its settings and which trace it opens, decided
// from the program's location and its command line.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kPathBufferSize = 260;      // exeDir, workDir, traceFileName
constexpr size_t kArgumentBufferSize = 512;  // one argument while it is examined

struct StartupPaths {
  char exeDir[kPathBufferSize];         // directory of the program, ending in "/"; empty when unknown
  char workDir[kPathBufferSize];        // directory of the settings file, ending in "/"
  char traceFileName[kPathBufferSize];  // trace named on the command line; empty when none
  bool workDirGiven;                    // a workdir option was taken
  int32_t traceArgument;                // index of the argument naming the trace; -1 when none
};

// Empties every buffer, clears workDirGiven and sets traceArgument to -1.
void initStartupPaths(StartupPaths& paths);

// Sets exeDir to the directory part of `programPath` (up to and including
// its last "/") and copies it into workDir. A path without "/" or whose
// directory does not fit in 259 characters leaves both empty: a cut-off
// directory would name some other place. Returns 0, or -1 when empty.
int setExeDirFromProgramPath(StartupPaths& paths, const char* programPath);

// setExeDirFromProgramPath with the running program's own file, read from
// /proc/self/exe. Returns 0, or -1 (both directories empty) when that
// link cannot be read.
int fillExeDir(StartupPaths& paths);

// Interprets the arguments (without the program path), first to last,
// until a workdir option is taken:
//  - an argument without "=" names the trace; a later one replaces an
//    earlier one. traceArgument is its index, so that a caller can open
//    the whole name: one longer than 259 characters clears traceFileName
//    instead of keeping a cut-off path that could open a different file;
//  - "workdir=DIR" (key compared without regard to case, no blanks around
//    "=") sets workDir to DIR, appends "/" when DIR does not end in one and
//    is shorter than 258 characters (an empty DIR becomes "/"), sets
//    workDirGiven and stops. A DIR that cannot be held with its "/" leaves
//    workDir empty, which gives no settings location at all;
//  - any other "key=value" argument is ignored.
// Each argument is first examined as its first 511 characters.
void parseCommandLine(StartupPaths& paths, int count, const char* const* arguments);
