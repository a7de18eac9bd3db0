// Reports of trace files: each file read as Open reads it (its bytes and
// "\r\n"), scanned and read for its facts, then written as one HTML page.
// The command line's report command and the viewer's "Save Report..."
// both come here, so they give the same page.
#pragma once

#include <cstdint>

#include "base/sv_string.h"

// The report of the trace at `path` into `out`, headed by the last
// component of `path`. Returns 0, or a LoadResult code (app/trace_file.h).
int reportTraceFile(const char* path, SVString& out);

// The report of the comparison of the trace at `pathA` with the one at
// `pathB` into `out`. Returns 0, or a LoadResult code with `failedSide`
// naming the file it concerns (ComparedSide, compare/file_comparison.h).
int reportComparedFiles(const char* pathA, const char* pathB, SVString& out, int32_t& failedSide);

// The last component of `path`: after its last '/'.
const char* reportedFileName(const char* path);
