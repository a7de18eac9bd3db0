// A trace file read on a thread of its own while its reader makes the
// window that will show it: on a 64 MiB trace the read (most of it the
// kernel filling fresh pages) and the window's making take tens of
// milliseconds each, and neither needs the other.
#pragma once

#include <future>
#include <string>

#include "base/sv_string.h"

class ReadAhead {
 public:
  ReadAhead() = default;
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;
  // The destructor waits for a read not taken, and frees its bytes.

  // Starts reading `path` with loadFromFile, once a read started before
  // has ended (its bytes are dropped). When no thread can be had, nothing
  // is started: take then returns false, and the caller reads the file.
  void start(const char* path);

  // When the read started is of `path`: waits for it, moves its bytes
  // into `text`, sets `result` to what loadFromFile returned and returns
  // true; nothing is left to take. Otherwise returns false and leaves both
  // as they are.
  bool take(const char* path, SVString& text, int& result);

 private:
  struct Read {
    int result;
    SVString text;
  };
  std::string path_;
  std::future<Read> read_;
};
