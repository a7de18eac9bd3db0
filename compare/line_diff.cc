#include "compare/line_diff.h"

#include <algorithm>
#include <cstdlib>

#include "compare/increasing_run.h"

namespace {

// Myers's work, about (N + M) * D frontier steps, stays under this; D
// never exceeds kMaxEdits (the frontiers it keeps grow with D squared).
constexpr int64_t kWorkBudget = 4 * 1024 * 1024;
constexpr int64_t kMaxEdits = 1024;
constexpr int64_t kMinEdits = 64;
// Levels of unique-line matching before what is left counts as changed.
constexpr int32_t kMaxDepth = 6;

struct Candidate {
  uint64_t hash;
  int32_t side;  // 0 for A, 1 for B
  int32_t index;
};

struct Pair {
  int32_t a;
  int32_t b;
};

}  // namespace

bool LineDiffer::addRun(int32_t aSeq, int32_t bSeq, int32_t count) {
  if (count <= 0) return true;
  EqualRun* run = runs_->append();
  if (!run) {
    failed_ = true;
    return false;
  }
  *run = EqualRun{aSeq, bSeq, count};
  return true;
}

bool LineDiffer::push(const Block& block) {
  if (pendingTop_ < pending_.count()) {
    pending_[pendingTop_++] = block;
    return true;
  }
  Block* slot = pending_.append();
  if (!slot) {
    failed_ = true;
    return false;
  }
  *slot = block;
  pendingTop_ = pending_.count();
  return true;
}

bool LineDiffer::myers(const Block& block) {
  const int32_t n = block.aTo - block.aFrom;
  const int32_t m = block.bTo - block.bFrom;
  const int64_t total = static_cast<int64_t>(n) + m;
  const int32_t maxD = static_cast<int32_t>(std::min(std::clamp(kWorkBudget / total, kMinEdits, kMaxEdits), total));
  // Every line one side has more than the other is an edit: hopeless
  // blocks are left to the unique-line matching at once.
  if (std::abs(n - m) > maxD) return false;
  // The frontier of round d is kept as 2d + 1 values from offset d * d;
  // the round being computed works in V, the last 2 * maxD + 3 values.
  const int64_t kept = static_cast<int64_t>(maxD + 1) * (maxD + 1);
  if (frontiers_.ensureCapacity((kept + 2 * maxD + 3) * static_cast<int64_t>(sizeof(int32_t))) != 0) {
    failed_ = true;
    return true;
  }
  int32_t* rounds = reinterpret_cast<int32_t*>(frontiers_.data());
  int32_t* v = rounds + kept + maxD + 1;
  v[1] = 0;
  int32_t found = -1;
  for (int32_t d = 0; d <= maxD && found < 0; ++d) {
    for (int32_t k = -d; k <= d; k += 2) {
      int32_t x = (k == -d || (k != d && v[k - 1] < v[k + 1])) ? v[k + 1] : v[k - 1] + 1;
      int32_t y = x - k;
      while (x < n && y < m && same(block.aFrom + x, block.bFrom + y)) ++x, ++y;
      v[k] = x;
      if (x >= n && y >= m) found = d;
    }
    std::copy(v - d, v + d + 1, rounds + static_cast<int64_t>(d) * d);
  }
  if (found < 0) return false;
  // Back from (n, m): each round's move, then the diagonal after it.
  int32_t x = n;
  int32_t y = m;
  for (int32_t d = found; d > 0; --d) {
    const int32_t* previous = rounds + static_cast<int64_t>(d - 1) * (d - 1) + (d - 1);
    const int32_t k = x - y;
    const int32_t previousK = (k == -d || (k != d && previous[k - 1] < previous[k + 1])) ? k + 1 : k - 1;
    const int32_t previousX = previous[previousK];
    const int32_t diagonalX = previousK == k + 1 ? previousX : previousX + 1;
    if (!addRun(block.aFrom + diagonalX, block.bFrom + diagonalX - k, x - diagonalX)) return true;
    x = previousX;
    y = previousX - previousK;
  }
  addRun(block.aFrom, block.bFrom, x);
  return true;
}

bool LineDiffer::patience(const Block& block) {
  PackedRecords<Candidate> candidates;
  PackedRecords<Pair> pairs;
  PackedRecords<int32_t> run;
  if (candidates.reserveRecords(block.aTo - block.aFrom + block.bTo - block.bFrom) != 0) {
    failed_ = true;
    return false;
  }
  for (int32_t i = block.aFrom; i < block.aTo; ++i) *candidates.append() = Candidate{a_.lines[i].hash, 0, i};
  for (int32_t i = block.bFrom; i < block.bTo; ++i) *candidates.append() = Candidate{b_.lines[i].hash, 1, i};
  std::sort(candidates.begin(), candidates.end(), [](const Candidate& x, const Candidate& y) {
    return x.hash != y.hash ? x.hash < y.hash : x.side != y.side ? x.side < y.side : x.index < y.index;
  });
  // Lines that occur once on each side.
  for (int32_t i = 0; i < candidates.count();) {
    int32_t end = i;
    int32_t inA = 0;
    while (end < candidates.count() && candidates[end].hash == candidates[i].hash) inA += candidates[end++].side == 0;
    if (inA == 1 && end - i == 2) {
      Pair* pair = pairs.append();
      if (!pair) {
        failed_ = true;
        return false;
      }
      *pair = Pair{candidates[i].index, candidates[i + 1].index};
    }
    i = end;
  }
  if (pairs.count() == 0) return false;
  std::sort(pairs.begin(), pairs.end(), [](const Pair& x, const Pair& y) { return x.a < y.a; });
  // The longest run of them that also increases in B.
  if (longestIncreasingRun(pairs.count(), [&](int32_t i) { return pairs[i].b; }, run) != 0) {
    failed_ = true;
    return false;
  }
  // From the last anchor back: each anchor matches, the gap after it is
  // diffed again.
  int32_t aTo = block.aTo;
  int32_t bTo = block.bTo;
  for (int32_t k = run.count() - 1; k >= 0; --k) {
    const Pair anchor = pairs[run[k]];
    if ((aTo > anchor.a + 1 || bTo > anchor.b + 1) &&
        !push(Block{anchor.a + 1, aTo, anchor.b + 1, bTo, block.depth + 1})) {
      return false;
    }
    if (!addRun(anchor.a, anchor.b, 1)) return false;
    aTo = anchor.a;
    bTo = anchor.b;
  }
  if (aTo > block.aFrom || bTo > block.bFrom) push(Block{block.aFrom, aTo, block.bFrom, bTo, block.depth + 1});
  return true;
}

int LineDiffer::diff(int32_t aFrom, int32_t aTo, int32_t bFrom, int32_t bTo, PackedRecords<EqualRun>& runs) {
  runs_ = &runs;
  failed_ = false;
  pendingTop_ = 0;
  if (!push(Block{aFrom, aTo, bFrom, bTo, 0})) return -1;
  while (pendingTop_ > 0 && !failed_) {
    Block block = pending_[--pendingTop_];
    int32_t head = 0;
    while (block.aFrom + head < block.aTo && block.bFrom + head < block.bTo &&
           same(block.aFrom + head, block.bFrom + head)) {
      ++head;
    }
    addRun(block.aFrom, block.bFrom, head);
    block.aFrom += head;
    block.bFrom += head;
    int32_t tail = 0;
    while (block.aTo - tail > block.aFrom && block.bTo - tail > block.bFrom &&
           same(block.aTo - tail - 1, block.bTo - tail - 1)) {
      ++tail;
    }
    addRun(block.aTo - tail, block.bTo - tail, tail);
    block.aTo -= tail;
    block.bTo -= tail;
    if (block.aFrom == block.aTo || block.bFrom == block.bTo) continue;
    if (myers(block)) continue;
    // Too many edits for Myers: anchor on unique lines, or count it changed.
    if (block.depth < kMaxDepth) patience(block);
  }
  return failed_ ? -1 : 0;
}

int tidyRuns(PackedRecords<EqualRun>& runs, PackedRecords<EqualRun>& out) {
  std::sort(runs.begin(), runs.end(), [](const EqualRun& x, const EqualRun& y) { return x.aSeq < y.aSeq; });
  for (const EqualRun& run : runs) {
    if (out.count() > 0) {
      EqualRun& last = out[out.count() - 1];
      if (last.aSeq + last.count == run.aSeq && last.bSeq + last.count == run.bSeq) {
        last.count += run.count;
        continue;
      }
    }
    EqualRun* slot = out.append();
    if (!slot) return -1;
    *slot = run;
  }
  return 0;
}
