// ZeroPageRecord: gives back to the system the pages of a document's
// memory that hold only zeros.
//
// The editor library clears every byte of the room it makes: a document
// of a 64 MiB trace holds its text and a style byte per character, and
// the styles stay zero until the lexer styles the lines the view shows;
// the room it makes for markers, a pointer per line, stays zero until
// lines are marked. All of it is resident once cleared, some 64 MiB per
// document that hold nothing. The library gives no access to those
// buffers, so a record notes the large blocks the calling thread
// allocates while it is open (the program's operator new notes them) and
// then gives back the pages within them that hold only zeros: they read
// as zeros again, and come back a page at a time as they are written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class ZeroPageRecord {
 public:
  // Blocks of this many bytes or more are noted.
  static constexpr size_t kLargeBlock = size_t(1) << 20;

  ZeroPageRecord() = default;
  ZeroPageRecord(const ZeroPageRecord&) = delete;
  ZeroPageRecord& operator=(const ZeroPageRecord&) = delete;

  // While an Open lives, the large blocks its thread allocates are noted
  // in the record, and a noted block freed on that thread leaves it. Opens
  // on one thread nest; the innermost notes.
  class Open {
   public:
    explicit Open(ZeroPageRecord& record);
    ~Open();
    Open(const Open&) = delete;
    Open& operator=(const Open&) = delete;

   private:
    ZeroPageRecord* outer_;
  };

  // Gives back the whole pages of the noted blocks that hold only zeros,
  // and forgets the blocks; returns the bytes given back. The blocks must
  // still be the record's owner's, freed only under an Open of the
  // record, and no other thread may write to them meanwhile (a write
  // between the check and the giving back would be lost).
  int64_t giveBackZeroPages();

  // For the program's operator new and delete.
  void noteAllocated(void* block, size_t size);
  void noteFreed(void* block);
  static ZeroPageRecord* openOnThisThread();

 private:
  struct Block {
    char* start = nullptr;
    size_t size = 0;
  };
  // Fixed room: noting must not allocate. A document makes a few large
  // blocks (text, styles, line index); more are not noted, so not given
  // back.
  std::array<Block, 32> blocks_{};
  int count_ = 0;
};
