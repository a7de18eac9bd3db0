#include "app/mem_ini_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// Positions are 32-bit; the pool stays far below that even after many
// writes, and refusing beyond this keeps the arithmetic safe.
constexpr int64_t kMaxPoolSize = int64_t{1} << 30;

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Case-insensitive (ASCII) comparison of pool bytes with a C string.
bool sameName(const char* bytes, int32_t length, const char* name) {
  for (int32_t i = 0; i < length; ++i) {
    if (name[i] == 0 || lowerAscii(bytes[i]) != lowerAscii(name[i])) return false;
  }
  return name[length] == 0;
}

void trim(const char* base, int32_t& begin, int32_t& end) {
  while (begin < end && isBlank(base[begin])) ++begin;
  while (end > begin && isBlank(base[end - 1])) --end;
}

// What a line is, with its name and value where it has them.
struct LineParts {
  int32_t kind;  // IniOther, IniBlank, IniSection or IniKey
  int32_t namePos;
  int32_t nameLen;
  int32_t valuePos;
  int32_t valueLen;
};

// Classifies the line [begin, end) of `base`. A byte-order mark is skipped
// at the start of every line, not only the file's first: where a line sits
// must not change what it is, or a file whose first lines were erased
// could read back differently.
LineParts classifyLine(const char* base, int32_t begin, int32_t end) {
  LineParts parts{IniOther, 0, 0, 0, 0};
  if (end - begin >= 3 && memcmp(base + begin, kByteOrderMark, 3) == 0) begin += 3;
  trim(base, begin, end);
  if (begin == end) {
    parts.kind = IniBlank;
    return parts;
  }
  const char first = base[begin];
  if (first == ';' || first == '#') return parts;
  if (first == '[') {
    const void* close = memchr(base + begin + 1, ']', static_cast<size_t>(end - begin - 1));
    if (!close) return parts;
    int32_t nameBegin = begin + 1;
    int32_t nameEnd = static_cast<int32_t>(static_cast<const char*>(close) - base);
    trim(base, nameBegin, nameEnd);
    parts.kind = IniSection;
    parts.namePos = nameBegin;
    parts.nameLen = nameEnd - nameBegin;
    return parts;
  }
  const void* equals = memchr(base + begin, '=', static_cast<size_t>(end - begin));
  if (!equals) return parts;
  const int32_t at = static_cast<int32_t>(static_cast<const char*>(equals) - base);
  int32_t keyEnd = at;
  trim(base, begin, keyEnd);
  if (keyEnd == begin) return parts;
  int32_t valueBegin = at + 1;
  trim(base, valueBegin, end);
  parts.kind = IniKey;
  parts.namePos = begin;
  parts.nameLen = keyEnd - begin;
  parts.valuePos = valueBegin;
  parts.valueLen = end - valueBegin;
  return parts;
}

LineParts partsOf(const char* base, const IniLine& line) {
  return classifyLine(base, line.textPos, line.textPos + line.textLen);
}

// Calls visit(begin, end) for each line of [begin, end): LF, CRLF and a
// lone CR each end one. The text after the last line end is a line of its
// own when it is not empty, or always with `lastAlways` (a run ends where
// its last line ends, so its final piece is a line even when empty).
template <class Visit>
void forEachLine(const char* base, int32_t begin, int32_t end, bool lastAlways, Visit visit) {
  int32_t start = begin;
  for (int32_t i = begin; i < end; ++i) {
    if (base[i] != '\n' && base[i] != '\r') continue;
    visit(start, i);
    if (base[i] == '\r' && i + 1 < end && base[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (lastAlways || start < end) visit(start, end);
}

bool isVerbatim(int32_t kind) { return kind == IniOther || kind == IniBlank; }

// Calls visit(begin, end) for each line that the record lists.
template <class Visit>
void forEachListedLine(const char* base, const IniLine& line, Visit visit) {
  switch (line.kind) {
    case IniErased:
      return;
    case IniRun:
      forEachLine(base, line.textPos, line.textPos + line.textLen, true, visit);
      return;
    case IniRunWithoutBlanks:
      forEachLine(base, line.textPos, line.textPos + line.textLen, true, [&](int32_t b, int32_t e) {
        if (classifyLine(base, b, e).kind != IniBlank) visit(b, e);
      });
      return;
    default:
      visit(line.textPos, line.textPos + line.textLen);
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads [p, p + n) as an integer by the rules in the header. Returns false
// when the text is not an integer.
bool parseInteger(const char* p, int32_t n, int32_t& out) {
  if (n >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    uint32_t value = 0;
    int significant = 0;
    for (int32_t i = 2; i < n; ++i) {
      const int digit = hexDigit(p[i]);
      if (digit < 0) return false;
      if (significant > 0 || digit != 0) ++significant;
      if (significant > 8) return false;
      value = (value << 4) | static_cast<uint32_t>(digit);
    }
    out = static_cast<int32_t>(value);
    return true;
  }
  int32_t i = 0;
  const bool negative = n > 0 && p[0] == '-';
  if (n > 0 && (p[0] == '-' || p[0] == '+')) i = 1;
  if (i == n) return false;
  int64_t value = 0;
  for (; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') return false;
    value = value * 10 + (p[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) return false;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return false;
  out = static_cast<int32_t>(value);
  return true;
}

// A name is written only when parsing the written line gives it back.
bool validSectionName(const char* name) {
  const size_t n = strlen(name);
  if (strpbrk(name, "]\r\n")) return false;
  return n == 0 || (!isBlank(name[0]) && !isBlank(name[n - 1]));
}

bool validKeyName(const char* key) {
  const size_t n = strlen(key);
  if (n == 0 || strpbrk(key, "=\r\n")) return false;
  if (key[0] == '[' || key[0] == ';' || key[0] == '#') return false;
  if (strncmp(key, kByteOrderMark, 3) == 0) return false;
  return !isBlank(key[0]) && !isBlank(key[n - 1]);
}

bool validValue(const char* value) {
  const size_t n = strlen(value);
  if (strpbrk(value, "\r\n")) return false;
  return n == 0 || (!isBlank(value[0]) && !isBlank(value[n - 1]));
}

// Closes a descriptor on every path out of a function.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded (it can report a
  // delayed write error).
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool writeAll(int fd, const char* p, int64_t n) {
  while (n > 0) {
    const ssize_t written = ::write(fd, p, static_cast<size_t>(n));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += written;
    n -= written;
  }
  return true;
}

// True for the name mkstemp gives a temporary of `base`: base + ".tmp-" +
// six ASCII letters or digits.
bool isTemporaryName(const char* name, const char* base) {
  const size_t baseLength = strlen(base);
  if (strncmp(name, base, baseLength) != 0 || strncmp(name + baseLength, ".tmp-", 5) != 0) return false;
  const char* tail = name + baseLength + 5;
  for (int i = 0; i < 6; ++i) {
    const char c = tail[i];
    const bool alphanumeric = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alphanumeric) return false;
  }
  return tail[6] == 0;
}

// Removes the temporaries of `target` that an update killed before its
// rename left behind: regular files of this user, unchanged for
// kStaleTemporaryAge seconds (a younger one may be another instance's save
// in progress). Failures are of no consequence and are not reported.
void removeStaleTemporaries(const char* target) {
  const char* slash = strrchr(target, '/');
  const char* base = slash ? slash + 1 : target;
  SVString directory;
  if ((slash ? directory.append(target, slash - target + 1) : directory.assign(".")) != 0) return;
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return;
  const time_t now = ::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    if (!isTemporaryName(entry->d_name, base)) continue;
    struct stat info;
    if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
    if (now - info.st_mtime < kStaleTemporaryAge) continue;
    ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

// Replaces the file `target` with `content`: a temporary file beside it is
// written, flushed and renamed over it, so readers see either the old or
// the new file, never a part. The new file keeps the old one's mode.
int replaceFile(const char* target, const SVString& content) {
  removeStaleTemporaries(target);
  SVString temporary;
  if (temporary.format("%s.tmp-XXXXXX", target) != 0) return IniNoMemory;
  Descriptor file(::mkstemp(temporary.data()));
  if (file.get() < 0) return IniCannotWrite;
  struct stat old;
  mode_t mode;
  if (::stat(target, &old) == 0) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  const bool written = ::fchmod(file.get(), mode) == 0 &&
                       writeAll(file.get(), content.c_str(), content.length()) &&
                       ::fsync(file.get()) == 0;
  if (!file.close() || !written || ::rename(temporary.c_str(), target) != 0) {
    ::unlink(temporary.c_str());
    return IniCannotWrite;
  }
  // Make the rename itself durable; a failure here loses nothing already
  // on disk, so it is not reported.
  SVString directory;
  const char* slash = strrchr(target, '/');
  if (slash ? directory.append(target, slash - target + 1) == 0 : directory.assign(".") == 0) {
    Descriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
  }
  return IniOk;
}

}  // namespace

void SMemIniFile::reset() {
  pool_.clear();
  lines_.reset();
  path_.clear();
  crlf_ = false;
  bom_ = false;
  writable_ = false;
  openResult_ = IniNoPath;
}

int SMemIniFile::open(const char* path) {
  reset();
  if (!path || !*path) return IniNoPath;
  if (path_.assign(path) != 0) return openResult_ = IniNoMemory;
  // O_NONBLOCK: a FIFO named like the settings file must not block start-up.
  Descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) {
    // No file (or no directory to hold one): empty, and writing may create it.
    if (errno == ENOENT || errno == ENOTDIR) {
      writable_ = true;
      return IniMissing;
    }
    return openResult_ = IniCannotRead;
  }
  struct stat info;
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return openResult_ = IniCannotRead;
  if (info.st_size > kMaxIniFileSize) return openResult_ = IniTooLarge;
  const int64_t size = info.st_size;
  if (pool_.ensureCapacity(size + 1) != 0) return openResult_ = IniNoMemory;
  int64_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(file.get(), pool_.data() + done, static_cast<size_t>(size - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      pool_.clear();
      return openResult_ = IniCannotRead;
    }
    done += n;
  }
  pool_.setLength(static_cast<int32_t>(size));
  const int result = splitLines();
  if (result != IniOk) return openResult_ = result;
  writable_ = true;
  return IniOk;
}

int SMemIniFile::parse(const char* data, int64_t size) {
  reset();
  if (size < 0 || size > kMaxIniFileSize) return IniTooLarge;
  if (pool_.append(data, size) != 0) return IniNoMemory;
  return splitLines();
}

// Splits the pool into records: one per section header and key line, one
// per run of verbatim lines. LF, CRLF and a lone CR each end a line; text
// after the last line end is a line of its own.
int SMemIniFile::splitLines() {
  const char* base = pool_.c_str();
  const int32_t size = pool_.length();
  // The byte-order mark belongs to the file, not to its first line, so it
  // stays at the start even when that line is erased.
  bom_ = size >= 3 && memcmp(base, kByteOrderMark, 3) == 0;
  const int32_t start = bom_ ? 3 : 0;
  for (int32_t i = start; i < size; ++i) {
    if (base[i] != '\n' && base[i] != '\r') continue;
    crlf_ = base[i] == '\r' && i + 1 < size && base[i + 1] == '\n';
    break;
  }
  // Two passes: the first counts the records so that the list is sized
  // exactly, the second fills it.
  for (int pass = 0; pass < 2; ++pass) {
    int32_t records = 0;
    bool inRun = false;
    forEachLine(base, start, size, false, [&](int32_t begin, int32_t end) {
      const int32_t kind = classifyLine(base, begin, end).kind;
      const bool verbatim = isVerbatim(kind);
      if (verbatim && inRun) {
        if (pass == 1) lines_[records - 1].textLen = end - lines_[records - 1].textPos;
        return;
      }
      inRun = verbatim;
      ++records;
      if (pass == 0) return;
      IniLine* line = lines_.append();  // room was reserved
      line->textPos = begin;
      line->textLen = end - begin;
      line->kind = verbatim ? IniRun : kind;
    });
    if (pass == 0 && lines_.reserveRecords(records) != 0) {
      reset();
      return IniNoMemory;
    }
  }
  return IniOk;
}

int32_t SMemIniFile::findKey(const char* section, const char* key) const {
  const char* base = pool_.c_str();
  bool inSection = false;
  for (int32_t i = 0; i < lines_.count(); ++i) {
    const IniLine& line = lines_[i];
    if (line.kind == IniSection) {
      const LineParts parts = partsOf(base, line);
      inSection = sameName(base + parts.namePos, parts.nameLen, section);
    } else if (inSection && line.kind == IniKey) {
      const LineParts parts = partsOf(base, line);
      if (sameName(base + parts.namePos, parts.nameLen, key)) return i;
    }
  }
  return -1;
}

// The line after which a new key of `section` goes: the last key line of
// the section's first block, or its header when it has no keys; -1 when the
// section does not exist.
int32_t SMemIniFile::findInsertPoint(const char* section) const {
  const char* base = pool_.c_str();
  int32_t point = -1;
  for (int32_t i = 0; i < lines_.count(); ++i) {
    const IniLine& line = lines_[i];
    if (line.kind == IniSection) {
      if (point >= 0) break;
      const LineParts parts = partsOf(base, line);
      if (sameName(base + parts.namePos, parts.nameLen, section)) point = i;
    } else if (point >= 0 && line.kind == IniKey) {
      point = i;
    }
  }
  return point;
}

int32_t SMemIniFile::readInteger(const char* section, const char* key, int32_t fallback) const {
  if (!section || !key) return fallback;
  const int32_t i = findKey(section, key);
  if (i < 0) return fallback;
  const LineParts parts = partsOf(pool_.c_str(), lines_[i]);
  int32_t value;
  return parseInteger(pool_.c_str() + parts.valuePos, parts.valueLen, value) ? value : fallback;
}

bool SMemIniFile::readString(const char* section, const char* key, SVString& out) const {
  out.clear();
  if (!section || !key) return false;
  const int32_t i = findKey(section, key);
  if (i < 0) return false;
  const LineParts parts = partsOf(pool_.c_str(), lines_[i]);
  return out.append(pool_.c_str() + parts.valuePos, parts.valueLen) == 0;
}

int SMemIniFile::outOfMemory() {
  reset();
  openResult_ = IniNoMemory;
  return IniNoMemory;
}

// Adds `text` to the pool and makes `line` describe it.
int SMemIniFile::setLineText(IniLine& line, const char* text, int64_t length) {
  if (pool_.length() + length + 1 > kMaxPoolSize) return outOfMemory();
  const int32_t pos = pool_.length();
  if (pool_.append(text, length) != 0) return outOfMemory();
  line.textPos = pos;
  line.textLen = static_cast<int32_t>(length);
  line.kind = classifyLine(pool_.c_str(), pos, pos + line.textLen).kind;
  return IniOk;
}

// Inserts a line holding `text` after line `insertAfter`, or at the end
// when it is -1 past the last line. Returns IniOk or IniNoMemory.
int SMemIniFile::insertLine(int32_t insertAfter, const char* text, int64_t length) {
  if (lines_.append() == nullptr) return outOfMemory();
  const int32_t last = lines_.count() - 1;
  const int32_t at = insertAfter + 1;
  if (at < last) {
    memmove(static_cast<void*>(&lines_[at + 1]), &lines_[at],
            sizeof(IniLine) * static_cast<size_t>(last - at));
  }
  return setLineText(lines_[at], text, length);
}

int SMemIniFile::writeInteger(const char* section, const char* key, int32_t value) {
  if (!section || !key || !validSectionName(section) || !validKeyName(key)) return IniBadName;
  SVString text;
  if (text.format("%s=%d", key, value) != 0) return IniNoMemory;
  return writeLine(section, key, text);
}

int SMemIniFile::writeString(const char* section, const char* key, const char* value) {
  if (!section || !key || !validSectionName(section) || !validKeyName(key)) return IniBadName;
  if (!value || !validValue(value)) return IniBadValue;
  SVString text;
  if (text.format("%s=%s", key, value) != 0) return IniNoMemory;
  return writeLine(section, key, text);
}

// Puts the key line `text` in place of the key's line, after the last key
// of the section, or in a new section at the end of the file.
int SMemIniFile::writeLine(const char* section, const char* key, const SVString& text) {
  const int32_t existing = findKey(section, key);
  // The old bytes stay unused in the pool; the record points at new ones.
  if (existing >= 0) return setLineText(lines_[existing], text.c_str(), text.length());
  const int32_t point = findInsertPoint(section);
  if (point >= 0) return insertLine(point, text.c_str(), text.length());

  SVString header;
  if (header.format("[%s]", section) != 0) return IniNoMemory;
  // A blank line sets the new section apart unless the listing ends in one.
  const char* base = pool_.c_str();
  int32_t lastKind = -1;
  for (int32_t i = lines_.count() - 1; i >= 0 && lastKind < 0; --i) {
    forEachListedLine(base, lines_[i], [&](int32_t b, int32_t e) { lastKind = classifyLine(base, b, e).kind; });
  }
  int result = IniOk;
  if (lastKind >= 0 && lastKind != IniBlank) result = insertLine(lines_.count() - 1, "", 0);
  if (result == IniOk) result = insertLine(lines_.count() - 1, header.c_str(), header.length());
  if (result == IniOk) result = insertLine(lines_.count() - 1, text.c_str(), text.length());
  if (result == IniOk) result = insertLine(lines_.count() - 1, "", 0);
  return result;
}

void SMemIniFile::eraseSection(const char* section) {
  if (!section) return;
  const char* base = pool_.c_str();
  bool inSection = false;
  for (int32_t i = 0; i < lines_.count(); ++i) {
    IniLine& line = lines_[i];
    if (line.kind == IniSection) {
      const LineParts parts = partsOf(base, line);
      inSection = sameName(base + parts.namePos, parts.nameLen, section);
    }
    if (!inSection) continue;
    if (line.kind == IniSection || line.kind == IniKey || line.kind == IniBlank) line.kind = IniErased;
    if (line.kind == IniRun) line.kind = IniRunWithoutBlanks;
  }
}

int32_t SMemIniFile::lineCount() const {
  const char* base = pool_.c_str();
  int32_t count = 0;
  for (const IniLine& line : lines_) forEachListedLine(base, line, [&count](int32_t, int32_t) { ++count; });
  return count;
}

int SMemIniFile::listText(SVString& out) const {
  const char* lineEnd = crlf_ ? "\r\n" : "\n";
  const int64_t endLength = crlf_ ? 2 : 1;
  const char* base = pool_.c_str();
  int64_t total = out.length() + 3;
  for (const IniLine& line : lines_) {
    forEachListedLine(base, line, [&](int32_t begin, int32_t end) { total += end - begin + endLength; });
  }
  if (total + 1 > kMaxPoolSize || out.ensureCapacity(total + 1) != 0) return IniNoMemory;
  // Capacity is reserved above, so these appends cannot fail.
  if (bom_) out.append(kByteOrderMark, 3);
  for (const IniLine& line : lines_) {
    forEachListedLine(base, line, [&](int32_t begin, int32_t end) {
      out.append(base + begin, end - begin);
      out.append(lineEnd, endLength);
    });
  }
  return IniOk;
}

int SMemIniFile::update() {
  if (!writable_) return openResult_;
  SVString content;
  const int listed = listText(content);
  if (listed != IniOk) return listed;
  // A file over the read limit would never be read again, nor saved.
  if (content.length() > kMaxIniFileSize) return IniTooLarge;
  // Follow a symbolic link so the link stays and its target is replaced.
  struct stat info;
  if (::lstat(path_.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char* target = ::realpath(path_.c_str(), nullptr);
    if (!target) return IniCannotWrite;
    const int result = replaceFile(target, content);
    free(target);
    return result;
  }
  return replaceFile(path_.c_str(), content);
}
