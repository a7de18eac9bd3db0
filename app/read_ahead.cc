#include "app/read_ahead.h"

#include <system_error>
#include <utility>

#include "app/trace_file.h"

void ReadAhead::start(const char* path) {
  read_ = std::future<Read>();
  path_.clear();
  try {
    read_ = std::async(std::launch::async, [path = std::string(path)] {
      Read read{LoadOk, SVString()};
      read.result = loadFromFile(read.text, path.c_str());
      return read;
    });
  } catch (const std::system_error&) {
    return;  // no thread: the caller reads the file itself
  }
  path_ = path;
}

bool ReadAhead::take(const char* path, SVString& text, int& result) {
  if (!read_.valid() || path_ != path) return false;
  Read read = read_.get();
  path_.clear();
  result = read.result;
  text = std::move(read.text);
  return true;
}
