// FileBackedBytes: bytes read whole from a regular file, whose memory may
// be given back to the system and filled again from the file just before
// they are needed.
//
// A large trace goes into the editor a slice at a time, and the editor
// clears its room for the whole text while the slices not yet in are
// still held: giving those back and reading each again as it goes in keeps
// up to half the trace out of the peak. The file may change meanwhile, so
// every block given back keeps a checksum, and a block that reads back
// different fails the refill: the caller then has to load the file anew.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FileBackedBytes {
 public:
  // `bytes` holds the first `length` bytes of the regular file at `path`
  // as read from it; they stay where they are while this object lives.
  FileBackedBytes(std::string path, char* bytes, int64_t length);
  ~FileBackedBytes();
  FileBackedBytes(const FileBackedBytes&) = delete;
  FileBackedBytes& operator=(const FileBackedBytes&) = delete;

  // Notes a checksum of each block of [from, length) and gives back the
  // memory of the whole pages among them, which read as zeros until they
  // are refilled. Only the first call does anything.
  void release(int64_t from);
  int64_t length() const { return length_; }
  // Bytes [0, readableTo()) hold what was read from the file.
  int64_t readableTo() const { return readableTo_; }
  // Reads the released blocks that hold bytes below `to` back from the
  // file. True when [0, min(to, length)) holds the file's bytes again;
  // false when the file cannot be read or no longer holds them (the bytes
  // from readableTo() on are then not to be trusted).
  bool refill(int64_t to);

 private:
  std::string path_;
  char* bytes_;
  int64_t length_;
  int64_t releasedFrom_ = -1;  // -1: nothing released
  int64_t readableTo_;
  std::vector<uint64_t> sums_;  // one per block from releasedFrom_
  int fd_ = -1;                 // opened at the first refill
  bool failed_ = false;
};

// Gives the memory of the whole pages of [from, to) back to the system;
// they read as zeros afterwards. The pages must be private memory of the
// caller's own, such as a buffer of a mebibyte or more from malloc.
void givePagesBack(const char* from, const char* to);

// A 64-bit checksum of `length` bytes: not a cryptographic hash, a check
// that bytes read again are the bytes read before.
uint64_t byteChecksum(const char* bytes, int64_t length);
