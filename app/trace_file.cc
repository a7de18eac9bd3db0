#include "app/trace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/file_backed_bytes.h"
#include "base/bounded_copy.h"

namespace {

constexpr size_t kNameBufferSize = 260;

// Closes the descriptor on every path out of loadFromFile.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

int loadFromFile(SVString& text, const char* path) {
  text.clear();
  if (!path || !*path) return LoadCannotOpen;
  // O_NONBLOCK: opening a FIFO without a writer must not hang; such files
  // are refused below anyway.
  FileDescriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) return LoadCannotOpen;
  struct stat info;
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return LoadCannotOpen;
  const int64_t size = info.st_size;
  if (size > maxTraceFileSize) return LoadTooLarge;
  if (text.ensureCapacity(size + 1) != 0) return LoadNoMemory;
  askForLargePages(text.data(), static_cast<size_t>(size));
  int64_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(file.get(), text.data() + got, static_cast<size_t>(size - got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return LoadCannotOpen;
    got += n;
  }
  text.setLength(static_cast<int32_t>(size));
  return LoadOk;
}

void loadErrorMessage(int code, const char* path, char* out, size_t capacity) {
  if (capacity == 0) return;
  if (capacity > kMessageBufferSize) capacity = kMessageBufferSize;
  const char* safePath = path ? path : "";
  switch (code) {
    case LoadCannotOpen:
      std::snprintf(out, capacity, "Cannot open file %s", safePath);
      break;
    case LoadTooLarge:
      std::snprintf(out, capacity, "File %s is too large", safePath);
      break;
    case LoadNoMemory:
      std::snprintf(out, capacity, "Cannot allocate memory for the file");
      break;
    default:
      out[0] = 0;
      break;
  }
}

void captionFor(const char* name, const char* extension, char* out, size_t capacity) {
  boundedCopy(out, capacity, "Marrow Viewer - ");
  boundedAppend(out, capacity, name);
  boundedAppend(out, capacity, extension);
}

void splitFileName(const char* path, char* name, char* extension) {
  const char* base = path ? path : "";
  if (const char* slash = std::strrchr(base, '/')) base = slash + 1;
  const char* dot = std::strrchr(base, '.');
  // A leading dot names a hidden file, not an extension.
  if (!dot || dot == base) {
    boundedCopy(name, kNameBufferSize, base);
    extension[0] = 0;
    return;
  }
  const size_t nameLength = static_cast<size_t>(dot - base);
  boundedCopy(name, nameLength + 1 < kNameBufferSize ? nameLength + 1 : kNameBufferSize, base);
  boundedCopy(extension, kNameBufferSize, dot);
}
