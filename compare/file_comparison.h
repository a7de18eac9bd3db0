// Two trace files read and compared for the viewer's side-by-side view:
// each file loaded as Open loads it (its text followed by "\r\n"),
// scanned, its facts and lists read; then the comparison and its list of
// differences. Everything here is plain data, so the work can run away
// from the thread that shows it.
#pragma once

#include <cstdint>

#include "base/sv_string.h"
#include "compare/difference_list.h"
#include "compare/trace_comparison.h"
#include "facts/trace_facts.h"
#include "outline/key_points.h"

struct ComparedFile {
  SVString text;  // the file and "\r\n": what the facts' spans describe
  KeyPoints_c keyPoints;
  TraceFacts facts;
  int32_t statementCount = 0;  // kept when the texts and facts are taken out
};

// What a comparison no longer needs once it is made.
struct ComparedTexts {
  ComparedFile a;
  ComparedFile b;
};

struct FileComparison {
  ComparedFile a;
  ComparedFile b;
  TraceComparison comparison;
  DifferenceList differences;
  SVString tryScript;  // buildTryScript's lines, made while the facts are there

  // Takes out the texts, key points and facts of both sides (the
  // statement counts stay): for when the texts are given away. The
  // comparison and the list of differences stand on their own.
  ComparedTexts takeTexts();
};

enum ComparedSide : int32_t {
  kComparedA = 0,
  kComparedB = 1,
};

// Reads `pathB`, then `pathA`, and compares A with B into `out`. Returns
// 0, or a LoadResult code (app/trace_file.h) with `failedSide` naming the
// file it concerns; running out of memory while comparing gives
// LoadNoMemory for side A.
int compareFiles(const char* pathA, const char* pathB, FileComparison& out, int32_t& failedSide);

// Reads one side's file as Open loads it; 0 or a LoadResult code.
int loadComparedFile(const char* path, ComparedFile& file);

// compareFiles in two steps: the texts read (B first), then compared.
// The second step only reads the texts, so others may read them meanwhile.
int loadComparedFiles(const char* pathA, const char* pathB, FileComparison& out, int32_t& failedSide);
int compareLoadedFiles(FileComparison& out);

// compareLoadedFiles in two steps again, for a caller with two threads:
// each side prepared (scanned, its facts, lists and line table made; it
// reads only that side's text and writes only that side's parts of
// `out`, so both sides may be prepared at once), then compared. 0 or
// LoadNoMemory each.
int prepareComparedSide(FileComparison& out, int32_t side);
int comparePreparedFiles(FileComparison& out);
