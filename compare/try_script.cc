#include "compare/try_script.h"

#include <algorithm>
#include <string_view>

namespace {

enum Group : int32_t { kAltered = 0, kOther = 1, kFix = 2 };

struct Entry {
  int32_t group;
  int32_t difference;  // in the comparison's parameters or fix controls
  int32_t order;
};

bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         c == '#';
}

bool isName(std::string_view name) { return !name.empty() && std::all_of(name.begin(), name.end(), isNameChar); }

bool isDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A number as the trace prints it: digits with at most one point, a sign
// before them.
bool isNumber(std::string_view text) {
  if (!text.empty() && text[0] == '-') text.remove_prefix(1);
  const size_t point = text.find('.');
  if (point == std::string_view::npos) return isDigits(text);
  return isDigits(text.substr(0, point)) && isDigits(text.substr(point + 1));
}

bool sameLetters(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
           return lower(x) == lower(y);
         });
}

// True when `text` can stand in a line of the script: no control byte,
// and nothing that would end the comment it is repeated in.
bool isPlain(std::string_view text) {
  return text.find("*/") == std::string_view::npos &&
         std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

class Writer {
 public:
  explicit Writer(SVString& out) : out_(out) {}
  Writer& operator<<(std::string_view text) {
    ok_ = ok_ && out_.append(text.data(), static_cast<int64_t>(text.size())) == 0;
    return *this;
  }
  // A string literal: in single quotes, each quote doubled.
  Writer& quoted(std::string_view text) {
    *this << "'";
    for (size_t from = 0; from <= text.size();) {
      const size_t quote = text.find('\'', from);
      *this << text.substr(from, quote == std::string_view::npos ? std::string_view::npos : quote - from);
      if (quote == std::string_view::npos) break;
      *this << "''";
      from = quote + 1;
    }
    return *this << "'";
  }
  // A parameter's value as the trace prints it: a number or a boolean as
  // it stands, a size in KB, MB or GB with the suffix ALTER SESSION takes,
  // anything else as a string.
  Writer& value(std::string_view text) {
    if (isNumber(text) || sameLetters(text, "true") || sameLetters(text, "false")) return *this << text;
    const size_t blank = text.find(' ');
    if (blank != std::string_view::npos && isDigits(text.substr(0, blank))) {
      const std::string_view unit = text.substr(blank + 1);
      if (unit == "KB" || unit == "MB" || unit == "GB") return *this << text.substr(0, blank) << unit.substr(0, 1);
    }
    return quoted(text);
  }
  bool ok() const { return ok_; }

 private:
  SVString& out_;
  bool ok_ = true;
};

// _fix_control takes a number, or ON and OFF for the traces' words.
std::string_view fixValue(std::string_view value) {
  if (sameLetters(value, "enabled")) return "ON";
  if (sameLetters(value, "disabled")) return "OFF";
  return isDigits(value) ? value : std::string_view();
}

void parameterLine(Writer& w, std::string_view name, std::string_view a, std::string_view b, bool inB) {
  if (!isName(name) || !isPlain(name)) {
    w << "-- a parameter whose name is not a plain word differs; set it by hand\n";
  } else if (!inB) {
    w << "-- \"" << name << "\" is set only in A";
    if (isPlain(a)) w << " (" << a << ")";
    w << ": nothing of B's to set\n";
  } else if (!isPlain(b)) {
    w << "-- \"" << name << "\" has a value in B that does not fit on one line; set it by hand\n";
  } else {
    w << "alter session set \"" << name << "\" = ";
    w.value(b);
    if (sameLetters(name, "optimizer_features_enable")) {
      w << " /* as a hint: OPTIMIZER_FEATURES_ENABLE(";
      w.quoted(b) << ") */";
    } else {
      w << " /* as a hint: OPT_PARAM('" << name << "' ";
      w.value(b) << ") */";
    }
    w << ";\n";
  }
}

void fixLine(Writer& w, std::string_view number, std::string_view a, std::string_view b, bool inB) {
  const std::string_view v = fixValue(b);
  if (!isDigits(number)) {
    w << "-- a fix control whose number is not a number differs; set it by hand\n";
  } else if (!inB) {
    w << "-- fix control " << number << " is listed only in A";
    if (isPlain(a)) w << " (" << a << ")";
    w << ": nothing of B's to set\n";
  } else if (v.empty()) {
    w << "-- fix control " << number << " has a value in B that _fix_control does not take; set it by hand\n";
  } else {
    w << "alter session set \"_fix_control\" = '" << number << ":" << v << "' /* as a hint: OPT_PARAM('_fix_control' '"
      << number << ":" << v << "') */;\n";
  }
}

}  // namespace

int buildTryScript(const TraceComparison& c, const TraceFacts& a, const TraceFacts& b, SVString& script) {
  script.clear();
  PackedRecords<Entry> entries;
  if (entries.reserveRecords(c.parameters.count() + c.fixControls.count()) != 0) return -1;
  auto parameterName = [&](const ListDifference& d) {
    return d.a != kNoFact ? a.view(a.parameters[d.a].name) : b.view(b.parameters[d.b].name);
  };
  auto fixNumber = [&](const ListDifference& d) {
    return d.a != kNoFact ? a.view(a.fixControls[d.a].number) : b.view(b.fixControls[d.b].number);
  };
  auto nameOf = [&](const Entry& e) {
    return e.group == kFix ? fixNumber(c.fixControls[e.difference]) : parameterName(c.parameters[e.difference]);
  };
  for (int32_t i = 0; i < c.parameters.count(); ++i) {
    const ListDifference& d = c.parameters[i];
    const bool altered = (d.a != kNoFact && a.parameters[d.a].list == kParametersAltered) ||
                         (d.b != kNoFact && b.parameters[d.b].list == kParametersAltered);
    *entries.append() = Entry{altered ? kAltered : kOther, i, i};
  }
  for (int32_t i = 0; i < c.fixControls.count(); ++i) {
    *entries.append() = Entry{kFix, i, c.parameters.count() + i};
  }
  // Each name once, the first it comes in the comparison: a difference
  // repeated in every pair of statements is one setting of the session.
  std::stable_sort(entries.begin(), entries.end(), [&](const Entry& x, const Entry& y) {
    if ((x.group == kFix) != (y.group == kFix)) return x.group != kFix;
    return nameOf(x) < nameOf(y);
  });
  PackedRecords<Entry> kept;
  if (kept.reserveRecords(entries.count()) != 0) return -1;
  for (int32_t i = 0; i < entries.count(); ++i) {
    const Entry& e = entries[i];
    if (i > 0 && (entries[i - 1].group == kFix) == (e.group == kFix) && nameOf(entries[i - 1]) == nameOf(e)) continue;
    *kept.append() = e;
  }
  std::stable_sort(kept.begin(), kept.end(), [](const Entry& x, const Entry& y) {
    return x.group != y.group ? x.group < y.group : x.order < y.order;
  });
  Writer w(script);
  for (const Entry& e : kept) {
    if (e.group == kFix) {
      const ListDifference& d = c.fixControls[e.difference];
      fixLine(w, fixNumber(d), d.a != kNoFact ? a.view(a.fixControls[d.a].value) : std::string_view(),
              d.b != kNoFact ? b.view(b.fixControls[d.b].value) : std::string_view(), d.b != kNoFact);
    } else {
      const ListDifference& d = c.parameters[e.difference];
      parameterLine(w, parameterName(d), d.a != kNoFact ? a.view(a.parameters[d.a].value) : std::string_view(),
                    d.b != kNoFact ? b.view(b.parameters[d.b].value) : std::string_view(), d.b != kNoFact);
    }
  }
  return w.ok() ? 0 : -1;
}
