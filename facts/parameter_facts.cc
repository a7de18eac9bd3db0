// The optimizer's parameter lists and bug-fix controls.
#include <algorithm>
#include <cstring>

#include "facts/facts_internal.h"
#include "facts/list_lines.h"

namespace {

bool startsWith(const char* text, TextSpan span, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return static_cast<size_t>(span.length) >= n && std::memcmp(text + span.offset, prefix, n) == 0;
}

bool appendFixControl(PackedRecords<FixControlFact>& list, int32_t line, TextSpan number, TextSpan value) {
  FixControlFact* fix = list.append();
  if (!fix) return false;
  *fix = FixControlFact{line, number, value};
  return true;
}

}  // namespace

bool readParameterBlock(FactContext& c, StatementFacts& s) {
  if (s.parameterBlock.offset < 0) return true;
  const int32_t limit = s.parameterBlock.limit;
  LineReader heading(c.text, limit, s.parameterBlock.offset, s.parametersLine);
  TraceLine line;
  heading.next(line);
  int32_t pos = heading.offset();
  int32_t number = heading.lineNumber();
  int32_t list = kParametersUnlabelled;
  bool seenEntry = false;
  ListLine entry;
  for (; pos < limit; pos = entry.next, ++number) {
    splitListLine(c.text, pos, limit, entry);
    if (entry.kind == ListLineKind::kBlank) continue;
    if (entry.kind == ListLineKind::kParameter) {
      ParameterFact* p = c.facts.parameters.append();
      if (!p) return false;
      *p = ParameterFact{number, list, entry.name, entry.value};
      seenEntry = true;
      continue;
    }
    if (entry.kind == ListLineKind::kFixControl) {
      if (!appendFixControl(c.facts.parameterFixControls, number, entry.name, entry.value)) return false;
      seenEntry = true;
      continue;
    }
    if (isDamagedListEntry(c.text, entry, limit)) {
      ++s.skippedListLines;
      continue;
    }
    line = TraceLine{entry.begin, entry.end, number};
    const TextSpan t = trimmedLine(c.text, line);
    if (isTimestampLine(c.text, line)) continue;  // time stamps may stand inside any list
    if (isStarLine(c.text, line)) {
      // Star lines frame the headings; one at the start of a line after
      // the entries closes the block.
      if (seenEntry && c.text[line.begin] == '*') break;
    } else if (startsWith(c.text, t, "PARAMETERS WITH ALTERED")) {
      list = kParametersAltered;
    } else if (startsWith(c.text, t, "PARAMETERS WITH DEFAULT")) {
      list = kParametersDefault;
    } else if (startsWith(c.text, t, "PARAMETERS IN OPT_PARAM")) {
      list = kParametersOptParamHint;
    } else if (!startsWith(c.text, t, "Compilation Environment Dump") &&
               !startsWith(c.text, t, "Bug Fix Control Environment")) {
      break;
    }
  }
  return true;
}

bool readStateDumpFixControls(FactContext& c, StatementFacts& s) {
  if (s.stateDump.offset < 0) return true;
  const int32_t limit = s.stateDump.limit;
  const int32_t at = findIn(c.text, s.stateDump.offset, limit, "Bug Fix Control Environment");
  if (at < 0) return true;
  s.fixControlsLine = lineOfOffset(c.text, s.stateDump.offset, s.stateDumpLine, at);
  LineReader heading(c.text, limit, at, s.fixControlsLine);
  TraceLine line;
  heading.next(line);
  int32_t pos = heading.offset();
  int32_t number = heading.lineNumber();
  bool seenEntry = false;
  ListLine entry;
  for (; pos < limit; pos = entry.next, ++number) {
    splitListLine(c.text, pos, limit, entry);
    if (entry.kind == ListLineKind::kBlank) continue;
    if (entry.kind == ListLineKind::kFixControl) {
      if (!appendFixControl(c.facts.fixControls, number, entry.name, entry.value)) return false;
      seenEntry = true;
      continue;
    }
    if (isDamagedListEntry(c.text, entry, limit)) {
      ++s.skippedListLines;
      continue;
    }
    line = TraceLine{entry.begin, entry.end, number};
    if (isTimestampLine(c.text, line)) continue;
    if (entry.kind == ListLineKind::kOther && isStarLine(c.text, line) && !seenEntry) continue;
    break;
  }
  return true;
}

