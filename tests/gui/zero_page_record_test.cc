// ZeroPageRecord: the zero pages of the large blocks made under an open
// record go back to the system, and every byte still reads as before.
#include "gui/zero_page_record.h"

#include <sys/mman.h>
#include <unistd.h>

#include <QTest>

#include <memory>
#include <vector>

namespace {

const size_t kPage = static_cast<size_t>(sysconf(_SC_PAGESIZE));

// The resident pages among the whole pages of [bytes, bytes + length).
size_t residentPages(const char* bytes, size_t length) {
  const uintptr_t first = (reinterpret_cast<uintptr_t>(bytes) + kPage - 1) & ~(kPage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(bytes) + length) & ~(kPage - 1);
  std::vector<unsigned char> resident((end - first) / kPage);
  if (mincore(reinterpret_cast<void*>(first), end - first, resident.data()) != 0) return SIZE_MAX;
  size_t count = 0;
  for (unsigned char page : resident) count += page & 1;
  return count;
}

}  // namespace

class ZeroPageRecordTest : public QObject {
  Q_OBJECT

 private slots:
  // A cleared block with a few bytes written: only the written pages stay
  // resident, the bytes read back unchanged, and a page given back takes
  // writes again.
  void givesBackOnlyPagesOfZeros() {
    constexpr size_t kSize = 4 << 20;
    ZeroPageRecord record;
    std::unique_ptr<std::vector<char>> block;
    {
      const ZeroPageRecord::Open noting(record);
      block = std::make_unique<std::vector<char>>(kSize);
    }
    char* bytes = block->data();
    bytes[kSize / 2] = 'm';
    bytes[kSize - 1] = 'z';
    bytes[0] = 'a';
    QVERIFY(residentPages(bytes, kSize) > kSize / kPage / 2);
    const int64_t given = record.giveBackZeroPages();
    QVERIFY(given >= static_cast<int64_t>(kSize - 4 * kPage));
    QVERIFY(given <= static_cast<int64_t>(kSize - 2 * kPage));
    QVERIFY(residentPages(bytes, kSize) <= 3);
    QCOMPARE(bytes[0], 'a');
    QCOMPARE(bytes[kSize / 2], 'm');
    QCOMPARE(bytes[kSize - 1], 'z');
    QCOMPARE(bytes[kSize / 4], '\0');
    bytes[kSize / 4] = 'q';
    QCOMPARE(bytes[kSize / 4], 'q');
    // Forgotten once given back.
    QCOMPARE(record.giveBackZeroPages(), int64_t(0));
  }

  // Only large blocks made and kept under an Open of the record itself
  // are given back: not those freed meanwhile, made before it opened, made
  // under an inner record, or too small.
  void notesOnlyItsOwnLiveLargeBlocks() {
    constexpr size_t kSize = 2 << 20;
    ZeroPageRecord record;
    ZeroPageRecord inner;
    std::vector<char> before(kSize);
    std::vector<char> small;
    std::vector<char> ofInner;
    {
      const ZeroPageRecord::Open noting(record);
      std::vector<char> freed(kSize);
      small.resize(ZeroPageRecord::kLargeBlock / 2);
      {
        const ZeroPageRecord::Open innerNoting(inner);
        ofInner.resize(kSize);
      }
    }
    QCOMPARE(record.giveBackZeroPages(), int64_t(0));
    QVERIFY(residentPages(before.data(), kSize) > kSize / kPage / 2);
    QVERIFY(inner.giveBackZeroPages() >= static_cast<int64_t>(kSize - kPage));
    QCOMPARE(ZeroPageRecord::openOnThisThread(), nullptr);
  }
};

QTEST_MAIN(ZeroPageRecordTest)
#include "zero_page_record_test.moc"
