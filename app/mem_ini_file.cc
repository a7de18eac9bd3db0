#include "app/mem_ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// Classifies the line [begin, end) of `base` and fills the rest of `line`.
// A byte-order mark is skipped at the start of every line, not only the
// file's first: where a line sits must not change what it is, or a file
// whose first lines were erased could read back differently.
void classifyLine(const char* base, int32_t begin, int32_t end, IniLine& line) {
  line.kind = IniOther;
  if (end - begin >= 3 && memcmp(base + begin, kByteOrderMark, 3) == 0) begin += 3;
  trim(base, begin, end);
  if (begin == end) {
    line.kind = IniBlank;
    return;
  }
  const char first = base[begin];
  if (first == ';' || first == '#') return;
  if (first == '[') {
    const void* close = memchr(base + begin + 1, ']', static_cast<size_t>(end - begin - 1));
    if (!close) return;
    int32_t nameBegin = begin + 1;
    int32_t nameEnd = static_cast<int32_t>(static_cast<const char*>(close) - base);
    trim(base, nameBegin, nameEnd);
    line.kind = IniSection;
    line.namePos = nameBegin;
    line.nameLen = nameEnd - nameBegin;
    return;
  }
  const void* equals = memchr(base + begin, '=', static_cast<size_t>(end - begin));
  if (!equals) return;
  const int32_t at = static_cast<int32_t>(static_cast<const char*>(equals) - base);
  int32_t keyEnd = at;
  trim(base, begin, keyEnd);
  if (keyEnd == begin) return;
  int32_t valueBegin = at + 1;
  trim(base, valueBegin, end);
  line.kind = IniKey;
  line.namePos = begin;
  line.nameLen = keyEnd - begin;
  line.valuePos = valueBegin;
  line.valueLen = end - valueBegin;
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

// Replaces the file `target` with `content`: a temporary file beside it is
// written, flushed and renamed over it, so readers see either the old or
// the new file, never a part. The new file keeps the old one's mode.
int replaceFile(const char* target, const SVString& content) {
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

// Splits the pool into line records. LF, CRLF and a lone CR each end a
// line; text after the last line end is a line of its own.
int SMemIniFile::splitLines() {
  const char* base = pool_.c_str();
  const int32_t size = pool_.length();
  // Counting first sizes the record list exactly: a file of many short
  // lines would otherwise leave up to half the list unused.
  int32_t count = 0;
  for (int32_t i = 0; i < size; ++i) {
    if (base[i] == '\n' || (base[i] == '\r' && (i + 1 == size || base[i + 1] != '\n'))) ++count;
  }
  if (lines_.reserveRecords(count + 1) != 0) {
    reset();
    return IniNoMemory;
  }
  // The byte-order mark belongs to the file, not to its first line, so it
  // stays at the start even when that line is erased.
  bom_ = size >= 3 && memcmp(base, kByteOrderMark, 3) == 0;
  int32_t start = bom_ ? 3 : 0;
  for (int32_t i = 0; i <= size; ++i) {
    const bool atEnd = i == size;
    if (!atEnd && base[i] != '\n' && base[i] != '\r') continue;
    if (atEnd && start == size) break;
    if (lines_.count() == 0 && !atEnd) crlf_ = base[i] == '\r' && i + 1 < size && base[i + 1] == '\n';
    IniLine* line = lines_.append();
    line->textPos = start;
    line->textLen = i - start;
    classifyLine(base, start, i, *line);
    if (!atEnd && base[i] == '\r' && i + 1 < size && base[i + 1] == '\n') ++i;
    start = i + 1;
  }
  return IniOk;
}

int32_t SMemIniFile::findKey(const char* section, const char* key) const {
  const char* base = pool_.c_str();
  bool inSection = false;
  for (int32_t i = 0; i < lines_.count(); ++i) {
    const IniLine& line = lines_[i];
    if (line.kind == IniSection) {
      inSection = sameName(base + line.namePos, line.nameLen, section);
    } else if (inSection && line.kind == IniKey && sameName(base + line.namePos, line.nameLen, key)) {
      return i;
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
      if (sameName(base + line.namePos, line.nameLen, section)) point = i;
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
  const IniLine& line = lines_[i];
  int32_t value;
  return parseInteger(pool_.c_str() + line.valuePos, line.valueLen, value) ? value : fallback;
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
  memset(static_cast<void*>(&line), 0, sizeof line);
  line.textPos = pos;
  line.textLen = static_cast<int32_t>(length);
  classifyLine(pool_.c_str(), pos, pos + line.textLen, line);
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
  const int32_t existing = findKey(section, key);
  // The old bytes stay unused in the pool; the record points at new ones.
  if (existing >= 0) return setLineText(lines_[existing], text.c_str(), text.length());
  const int32_t point = findInsertPoint(section);
  if (point >= 0) return insertLine(point, text.c_str(), text.length());

  SVString header;
  if (header.format("[%s]", section) != 0) return IniNoMemory;
  int32_t last = lines_.count() - 1;
  while (last >= 0 && lines_[last].kind == IniErased) --last;
  int result = IniOk;
  if (last >= 0 && lines_[last].kind != IniBlank) result = insertLine(lines_.count() - 1, "", 0);
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
    if (line.kind == IniSection) inSection = sameName(base + line.namePos, line.nameLen, section);
    if (inSection && (line.kind == IniSection || line.kind == IniKey || line.kind == IniBlank)) {
      line.kind = IniErased;
    }
  }
}

int32_t SMemIniFile::lineCount() const {
  int32_t count = 0;
  for (const IniLine& line : lines_) count += line.kind != IniErased;
  return count;
}

int SMemIniFile::listText(SVString& out) const {
  const char* lineEnd = crlf_ ? "\r\n" : "\n";
  const int64_t endLength = crlf_ ? 2 : 1;
  int64_t total = out.length() + 3;
  for (const IniLine& line : lines_) {
    if (line.kind != IniErased) total += line.textLen + endLength;
  }
  if (total + 1 > kMaxPoolSize || out.ensureCapacity(total + 1) != 0) return IniNoMemory;
  // Capacity is reserved above, so these appends cannot fail.
  if (bom_) out.append(kByteOrderMark, 3);
  const char* base = pool_.c_str();
  for (const IniLine& line : lines_) {
    if (line.kind == IniErased) continue;
    out.append(base + line.textPos, line.textLen);
    out.append(lineEnd, endLength);
  }
  return IniOk;
}

int SMemIniFile::update() {
  if (!writable_) return openResult_;
  SVString content;
  const int listed = listText(content);
  if (listed != IniOk) return listed;
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
