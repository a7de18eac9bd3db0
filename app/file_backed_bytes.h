// FileBackedBytes: bytes read whole from a regular file, whose memory may
// be given back to the system and filled again from the file just before
// they are needed.
//
// The editor's document of a large trace is built from the kept text, and
// the editor library clears the document's room (text and styles, twice
// the trace) before any of it goes in: giving the kept text back first and
// reading each block again just before it goes in keeps the kept copy out
// of the peak. The file may change meanwhile, so every block given back
// keeps a checksum, and a block that reads back different fails the
// refill: the caller then has to load the file anew. The file is opened
// at once and read through that descriptor, so a file renamed, replaced or
// removed after the load still reads as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class FileBackedBytes {
 public:
  // `bytes` holds the first `length` bytes of the regular file at `path`
  // as read from it; they stay where they are while this object lives.
  // A file that cannot be opened again fails every refill.
  FileBackedBytes(const char* path, char* bytes, int64_t length);
  ~FileBackedBytes();
  FileBackedBytes(const FileBackedBytes&) = delete;
  FileBackedBytes& operator=(const FileBackedBytes&) = delete;

  // Notes a checksum of each block of [from, length) and gives back the
  // memory of the whole pages among them, which read as zeros until they
  // are refilled. Only the first call does anything.
  void release(int64_t from);
  // Bytes [0, readableTo()) hold what was read from the file.
  int64_t readableTo() const { return readableTo_; }
  // Reads the released blocks that hold bytes below `to` back from the
  // file. True when [0, min(to, length)) holds the file's bytes again;
  // false when the file cannot be read or no longer holds them (the bytes
  // from readableTo() on are then not to be trusted).
  bool refill(int64_t to);

 private:
  char* bytes_;
  int64_t length_;
  int64_t releasedFrom_ = -1;  // -1: nothing released
  int64_t readableTo_;
  std::vector<uint64_t> sums_;  // one per block from releasedFrom_
  int fd_ = -1;
  bool failed_ = false;
};

// Gives the memory of the whole pages of [from, to) back to the system;
// they read as zeros afterwards. The pages must be private memory of the
// caller's own, such as a buffer of a mebibyte or more from malloc.
void givePagesBack(const char* from, const char* to);

// Asks the system to back the whole 2 MiB stretches of [from, from +
// length) with large pages when it can: on a virtual machine each first
// touch of a 4 KiB page costs some 10 us, so filling 64 MiB costs 180 ms
// in small pages and under 10 ms in large ones. A hint: nothing changes
// when the system gives none.
void askForLargePages(void* from, size_t length);

// A 64-bit checksum of `length` bytes: not a cryptographic hash, a check
// that bytes read again are the bytes read before.
uint64_t byteChecksum(const char* bytes, int64_t length);
