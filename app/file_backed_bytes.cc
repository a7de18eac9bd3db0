#include "app/file_backed_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Blocks are read back whole; a mebibyte is a fraction of a millisecond
// from the page cache and a quarter of a part of the document's build.
constexpr int64_t kBlock = 1 << 20;

// Reads `length` bytes at `offset` of `fd` into `out`; false on an error
// or an end of file before them.
bool readAt(int fd, char* out, int64_t length, int64_t offset) {
  int64_t got = 0;
  while (got < length) {
    const ssize_t n = ::pread(fd, out + got, static_cast<size_t>(length - got), static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += n;
  }
  return true;
}

}  // namespace

void givePagesBack(const char* from, const char* to) {
  static const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t start = (reinterpret_cast<uintptr_t>(from) + page - 1) & ~(page - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(to) & ~(page - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED);
}

void askForLargePages(void* from, size_t length) {
  constexpr uintptr_t kLargePage = uintptr_t(2) << 20;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(from) + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(from) + length) & ~(kLargePage - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

uint64_t byteChecksum(const char* bytes, int64_t length) {
  // Eight bytes a step in each of four lanes, each step mixed through a
  // multiplication and a shift: a changed byte changes every bit of its
  // lane after it. Four lanes keep four multiplications in flight, so the
  // sums of a 64 MiB trace cost a few milliseconds, not tens.
  constexpr uint64_t kMix = 0xFF51AFD7ED558CCDULL;
  uint64_t lanes[4] = {0x9E3779B97F4A7C15ULL ^ static_cast<uint64_t>(length), 1, 2, 3};
  int64_t i = 0;
  for (; i + 32 <= length; i += 32) {
    for (int lane = 0; lane < 4; ++lane) {
      uint64_t word;
      std::memcpy(&word, bytes + i + 8 * lane, 8);
      lanes[lane] = (lanes[lane] ^ word) * kMix;
      lanes[lane] ^= lanes[lane] >> 32;
    }
  }
  uint64_t sum = lanes[0];
  for (int lane = 1; lane < 4; ++lane) sum = (sum ^ lanes[lane]) * kMix;
  for (; i + 8 <= length; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    sum = (sum ^ word) * kMix;
    sum ^= sum >> 32;
  }
  uint64_t tail = 0;
  if (length > i) std::memcpy(&tail, bytes + i, static_cast<size_t>(length - i));
  sum = (sum ^ tail) * 0xC4CEB9FE1A85EC53ULL;
  return sum ^ (sum >> 29);
}

FileBackedBytes::FileBackedBytes(const char* path, char* bytes, int64_t length)
    : bytes_(bytes), length_(std::max<int64_t>(0, length)), readableTo_(length_) {
  fd_ = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info;
  failed_ = fd_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode);
}

FileBackedBytes::~FileBackedBytes() {
  if (fd_ >= 0) ::close(fd_);
}

void FileBackedBytes::release(int64_t from) {
  if (releasedFrom_ >= 0 || from < 0 || from >= length_) return;
  releasedFrom_ = from;
  for (int64_t at = from; at < length_; at += kBlock) {
    sums_.push_back(byteChecksum(bytes_ + at, std::min(kBlock, length_ - at)));
  }
  givePagesBack(bytes_ + from, bytes_ + length_);
  readableTo_ = from;
}

bool FileBackedBytes::refill(int64_t to) {
  to = std::min(to, length_);
  if (to <= readableTo_) return true;
  if (failed_) return false;
  while (!failed_ && readableTo_ < to) {
    const int64_t block = (readableTo_ - releasedFrom_) / kBlock;
    const int64_t length = std::min(kBlock, length_ - readableTo_);
    failed_ = !readAt(fd_, bytes_ + readableTo_, length, readableTo_) ||
              byteChecksum(bytes_ + readableTo_, length) != sums_[static_cast<size_t>(block)];
    if (!failed_) readableTo_ += length;
  }
  return !failed_;
}
