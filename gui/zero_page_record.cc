#include "gui/zero_page_record.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "app/file_backed_bytes.h"

namespace {

// The record open on each thread, or null: read by every operator delete,
// so it is a plain thread-local pointer.
thread_local ZeroPageRecord* t_open = nullptr;

bool holdsOnlyZeros(const char* page, size_t length) {
  static const char kZeros[4096] = {};
  for (size_t at = 0; at < length; at += sizeof kZeros) {
    if (std::memcmp(page + at, kZeros, sizeof kZeros) != 0) return false;
  }
  return true;
}

}  // namespace

ZeroPageRecord::Open::Open(ZeroPageRecord& record) : outer_(t_open) { t_open = &record; }

ZeroPageRecord::Open::~Open() { t_open = outer_; }

ZeroPageRecord* ZeroPageRecord::openOnThisThread() { return t_open; }

void ZeroPageRecord::noteAllocated(void* block, size_t size) {
  if (count_ < static_cast<int>(blocks_.size())) blocks_[count_++] = {static_cast<char*>(block), size};
}

void ZeroPageRecord::noteFreed(void* block) {
  for (int i = 0; i < count_; ++i) {
    if (blocks_[i].start == block) {
      blocks_[i] = blocks_[--count_];
      return;
    }
  }
}

int64_t ZeroPageRecord::giveBackZeroPages() {
  static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  int64_t given = 0;
  for (int i = 0; i < count_; ++i) {
    const uintptr_t begin = reinterpret_cast<uintptr_t>(blocks_[i].start);
    const uintptr_t first = (begin + page - 1) & ~(page - 1);
    const uintptr_t end = (begin + blocks_[i].size) & ~(page - 1);
    // Runs of zero pages go back in one call each.
    const char* run = nullptr;
    for (uintptr_t at = first; at < end; at += page) {
      const char* p = reinterpret_cast<const char*>(at);
      if (holdsOnlyZeros(p, page)) {
        if (run == nullptr) run = p;
        continue;
      }
      if (run != nullptr) {
        givePagesBack(run, p);
        given += p - run;
        run = nullptr;
      }
    }
    if (run != nullptr) {
      givePagesBack(run, reinterpret_cast<const char*>(end));
      given += reinterpret_cast<const char*>(end) - run;
    }
  }
  count_ = 0;
  return given;
}

// The program's operator new and delete: the C library's malloc and free,
// as the standard library's own, and the noting of large blocks.
#if !defined(__SANITIZE_ADDRESS__)

namespace {

void* allocate(size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* block = std::malloc(size)) {
      if (size >= ZeroPageRecord::kLargeBlock) {
        // The editor library's rooms are cleared as they are made: in
        // large pages that costs a fraction of the first touches.
        askForLargePages(block, size);
        if (t_open != nullptr) t_open->noteAllocated(block, size);
      }
      return block;
    }
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) return nullptr;
    handler();
  }
}

void* allocateOrThrow(size_t size) {
  void* block = allocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* allocateOrNull(size_t size) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void release(void* block) noexcept {
  if (block != nullptr && t_open != nullptr) t_open->noteFreed(block);
  std::free(block);
}

}  // namespace

void* operator new(size_t size) { return allocateOrThrow(size); }
void* operator new[](size_t size) { return allocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return allocateOrNull(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return allocateOrNull(size); }
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, size_t) noexcept { release(block); }
void operator delete[](void* block, size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }

#endif
