// A list of fixed-size plain records packed one after another in one
// SVString, with a signed 32-bit count. Used for the key points and the
// outline nodes: no allocation per record, and a record is found by index.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "base/sv_string.h"

template <class Record>
class PackedRecords {
  static_assert(std::is_trivially_copyable_v<Record>, "records are raw bytes");

 public:
  static constexpr int64_t kRecordSize = sizeof(Record);

  int32_t count() const { return count_; }
  // Set when an append or a reservation could not grow the buffer, until
  // the next reset or release: the list is then empty because it lost its
  // records, not because there were none.
  bool outOfMemory() const { return outOfMemory_; }
  Record& operator[](int32_t i) { return records()[i]; }
  const Record& operator[](int32_t i) const { return records()[i]; }
  Record* begin() { return records(); }
  Record* end() { return records() + count_; }
  const Record* begin() const { return records(); }
  const Record* end() const { return records() + count_; }

  // Makes room for one more record, zero-fills it and returns it. The
  // buffer grows to at least twice its capacity, so appending is amortised
  // constant time; references to earlier records do not survive a call.
  // When the buffer cannot grow, the list is released (count 0) and the
  // result is null.
  Record* append() {
    // One byte more than the records: the string's terminator must fit, or
    // its length would go stale and a later growth would zero a record byte.
    const int64_t need = (static_cast<int64_t>(count_) + 1) * kRecordSize + 1;
    if (buffer_.capacity() < need) {
      const int64_t doubled = 2 * static_cast<int64_t>(buffer_.capacity());
      if (buffer_.reserve(need > doubled ? need : doubled) != 0) {
        count_ = 0;
        outOfMemory_ = true;
        return nullptr;
      }
    }
    Record* record = records() + count_;
    std::memset(static_cast<void*>(record), 0, sizeof(Record));
    ++count_;
    buffer_.setLength(static_cast<int32_t>(count_ * kRecordSize));
    return record;
  }

  // Makes sure `n` records fit without growing. Returns 0 or -1 (released).
  int reserveRecords(int32_t n) {
    if (buffer_.ensureCapacity(static_cast<int64_t>(n) * kRecordSize + 1) != 0) {
      count_ = 0;
      outOfMemory_ = true;
      return -1;
    }
    return 0;
  }

  // Count 0; the buffer and its capacity stay.
  void reset() {
    count_ = 0;
    outOfMemory_ = false;
    buffer_.clear();
  }

  void release() {
    count_ = 0;
    outOfMemory_ = false;
    buffer_.release();
  }

 private:
  Record* records() { return reinterpret_cast<Record*>(buffer_.data()); }
  const Record* records() const { return reinterpret_cast<const Record*>(buffer_.data()); }

  SVString buffer_;
  int32_t count_ = 0;
  bool outOfMemory_ = false;
};

// The index of the first record of `list` for which `before` is false,
// `before` being true and then false along the list (a binary search).
template <class Record, class Before>
int32_t firstNotBefore(const PackedRecords<Record>& list, Before before) {
  return static_cast<int32_t>(std::partition_point(list.begin(), list.end(), before) - list.begin());
}
