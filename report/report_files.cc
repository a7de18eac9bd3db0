#include "report/report_files.h"

#include <cstring>

#include "app/trace_file.h"
#include "compare/file_comparison.h"
#include "report/trace_report.h"

namespace {

ReportedTrace reported(const char* path, const ComparedFile& file) {
  return ReportedTrace{reportedFileName(path), file.text.c_str(), file.text.length(), &file.facts};
}

}  // namespace

const char* reportedFileName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash && slash[1] ? slash + 1 : path;
}

int reportTraceFile(const char* path, SVString& out) {
  ComparedFile file;
  if (const int code = loadFromFile(file.text, path); code != LoadOk) return code;
  if (file.text.append("\r\n", 2) != 0 ||
      scanKeyPointsAndFacts(file.keyPoints, file.facts, file.text.c_str(), file.text.length()) != 0 ||
      readAllStatementLists(file.facts) != 0 || writeTraceReport(reported(path, file), out) != 0) {
    return LoadNoMemory;
  }
  return LoadOk;
}

int reportComparedFiles(const char* pathA, const char* pathB, SVString& out, int32_t& failedSide) {
  FileComparison compared;
  if (const int code = compareFiles(pathA, pathB, compared, failedSide); code != LoadOk) return code;
  failedSide = kComparedA;
  if (writeComparisonReport(reported(pathA, compared.a), reported(pathB, compared.b), compared.comparison,
                            compared.differences, compared.tryScript, out) != 0) {
    return LoadNoMemory;
  }
  return LoadOk;
}
