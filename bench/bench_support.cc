#include "bench/bench_support.h"

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "app/trace_file.h"

namespace {

SVString loadSamples() {
  SVString all;
  for (const char* name : {"hr_two_statements.trc", "update_crlf.trc", "cp1252_no_final_newline.trc"}) {
    SVString one;
    const std::string path = std::string(ZAZOZAV_SAMPLES_DIR) + "/" + name;
    if (loadFromFile(one, path.c_str()) != 0) {
      std::fprintf(stderr, "cannot read %s\n", path.c_str());
      continue;
    }
    all.append(one);
    all.append("\n", 1);
  }
  return all;
}

}  // namespace

const SVString& generatedTrace(int64_t size) {
  static std::map<int64_t, std::unique_ptr<SVString>> cache;
  auto& slot = cache[size];
  if (!slot) {
    slot = std::make_unique<SVString>();
    const SVString samples = loadSamples();
    slot->ensureCapacity(size + 3);
    while (slot->length() + samples.length() <= size) slot->append(samples);
    // Fill the rest with short plain lines so the size is exact.
    static const char kFiller[] = "-------------------------------------------------------------------------------\n";
    while (slot->length() < size) {
      const int64_t room = size - slot->length();
      slot->append(kFiller, room < 80 ? room : 80);
    }
    slot->append("\r\n", 2);
  }
  return *slot;
}

int writeGeneratedTrace(const char* path, int64_t size) {
  const SVString& text = generatedTrace(size);
  FILE* file = std::fopen(path, "wb");
  if (!file) return -1;
  const size_t n = static_cast<size_t>(text.length() - 2);
  const bool ok = std::fwrite(text.data(), 1, n, file) == n;
  return (std::fclose(file) == 0 && ok) ? 0 : -1;
}
