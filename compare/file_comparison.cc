#include "compare/file_comparison.h"

#include "compare/try_script.h"

#include "app/trace_file.h"

namespace {

// Scans one side and reads its facts; 0 or LoadNoMemory (also when the
// key points could not all be kept).
int prepare(ComparedFile& file) {
  if (scanKeyPointsAndFacts(file.keyPoints, file.facts, file.text.c_str(), file.text.length()) != 0 ||
      readAllStatementLists(file.facts) != 0) {
    return LoadNoMemory;
  }
  file.statementCount = file.facts.statements.count();
  return LoadOk;
}

ComparedTrace comparedTrace(const ComparedFile& file) {
  return ComparedTrace{file.text.c_str(), file.text.length(), &file.keyPoints, &file.facts};
}

}  // namespace

int loadComparedFile(const char* path, ComparedFile& file) {
  if (const int code = loadFromFile(file.text, path); code != LoadOk) return code;
  return file.text.append("\r\n", 2) == 0 ? LoadOk : LoadNoMemory;
}

ComparedTexts FileComparison::takeTexts() {
  ComparedTexts taken{std::move(a), std::move(b)};
  a = ComparedFile();
  b = ComparedFile();
  a.statementCount = taken.a.statementCount;
  b.statementCount = taken.b.statementCount;
  return taken;
}

int loadComparedFiles(const char* pathA, const char* pathB, FileComparison& out, int32_t& failedSide) {
  failedSide = kComparedB;
  if (const int code = loadComparedFile(pathB, out.b); code != LoadOk) return code;
  failedSide = kComparedA;
  return loadComparedFile(pathA, out.a);
}

int compareFiles(const char* pathA, const char* pathB, FileComparison& out, int32_t& failedSide) {
  if (const int code = loadComparedFiles(pathA, pathB, out, failedSide); code != LoadOk) return code;
  failedSide = kComparedA;
  return compareLoadedFiles(out);
}

int compareLoadedFiles(FileComparison& out) {
  if (prepareComparedSide(out, kComparedB) != LoadOk || prepareComparedSide(out, kComparedA) != LoadOk) {
    return LoadNoMemory;
  }
  return comparePreparedFiles(out);
}

int prepareComparedSide(FileComparison& out, int32_t side) {
  ComparedFile& file = side == kComparedA ? out.a : out.b;
  LineTable& lines = side == kComparedA ? out.comparison.aLines : out.comparison.bLines;
  if (prepare(file) != LoadOk || buildLineTable(file.text.c_str(), file.text.length(), lines) != 0) {
    return LoadNoMemory;
  }
  return LoadOk;
}

int comparePreparedFiles(FileComparison& out) {
  const ComparedTrace a = comparedTrace(out.a);
  const ComparedTrace b = comparedTrace(out.b);
  if (compareTracesWithLines(a, b, out.comparison) != 0 ||
      buildDifferenceList(a, b, out.comparison, out.differences) != 0 ||
      buildTryScript(out.comparison, out.a.facts, out.b.facts, out.tryScript) != 0) {
    return LoadNoMemory;
  }
  return LoadOk;
}
