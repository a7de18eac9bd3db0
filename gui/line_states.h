// LineStates: one 32-bit state per line, kept by the lexer itself in
// blocks of lines made as lines in them get a state. The editor library's
// own line states are one array as long as the text, made whole (and
// zero-filled) the first time a line far down gets one: 6.7 MB and 15 to
// 20 ms at once for a trace of 1.7 million lines, on the GUI thread.
// Lines never styled cost nothing here. Unlike the library's array, the
// states do not move when lines are added or taken out above them: the
// lexer trusts a state only where that cannot matter (trace_lexer.cc).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class LineStates {
 public:
  // The state of 0-based `line`; 0 when it has none.
  int32_t get(int32_t line) const {
    const size_t block = static_cast<size_t>(line) >> kBlockShift;
    if (line < 0 || block >= blocks_.size() || !blocks_[block]) return 0;
    return blocks_[block][static_cast<size_t>(line) & kBlockMask];
  }
  // Sets the state of 0-based `line` (negative lines are ignored).
  void set(int32_t line, int32_t state) {
    if (line < 0) return;
    const size_t block = static_cast<size_t>(line) >> kBlockShift;
    if (block >= blocks_.size()) blocks_.resize(block + 1);
    if (!blocks_[block]) blocks_[block] = std::make_unique<int32_t[]>(kBlockLines);  // zeroed
    blocks_[block][static_cast<size_t>(line) & kBlockMask] = state;
  }
  // Every line back to state 0, the blocks freed.
  void clear() { blocks_.clear(); }

 private:
  static constexpr int kBlockShift = 12;
  static constexpr size_t kBlockLines = size_t{1} << kBlockShift;
  static constexpr size_t kBlockMask = kBlockLines - 1;
  std::vector<std::unique_ptr<int32_t[]>> blocks_;
};
