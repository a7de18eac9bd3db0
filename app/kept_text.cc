#include "app/kept_text.h"

#include <utility>

void KeptText::take(SVString& text) {
  backing_.reset();
  text.append("\r\n", 2);
  bytes_ = std::move(text);
  text = SVString();
  facts_ = TraceTextFacts();
  letGo_ = false;
  shownPieces_.clear();
}

void KeptText::notePieces(const std::vector<FormattedPiece>& pieces, const char* from) {
  const char* bytes = from != nullptr ? from : bytes_.data();
  shownPieces_.clear();
  shownPieces_.reserve(pieces.size());
  int64_t copied = 0;  // bytes before the next piece
  int64_t at = 0;      // their length in the shown text, pieces included
  for (const FormattedPiece& piece : pieces) {
    at += shownLength(bytes + copied, piece.start - copied, facts_);
    ShownPiece& shown = shownPieces_.emplace_back();
    shown.start = at;
    shown.length = shownLength(piece.text.data(), static_cast<int64_t>(piece.text.size()), facts_);
    shown.trace.assign(bytes + piece.start, static_cast<size_t>(piece.length));
    at += shown.length;
    copied = piece.start + piece.length;
  }
}

FileBackedBytes* KeptText::backByFile(const char* path) {
  // The "\r\n" after the bytes is not the file's.
  backing_ = std::make_unique<FileBackedBytes>(path, bytes_.data(), bytes_.length() - 2);
  return backing_.get();
}

void KeptText::letGoOfBytes() {
  backing_.reset();
  bytes_ = SVString();
  letGo_ = true;
}

void KeptText::restore(const char* shown, int64_t length) {
  if (!letGo_) return;
  SVString kept;
  // No larger than the shown text with the trace form of its queries;
  // made at once, the copy never grows by moving.
  int64_t traceBytes = 0;
  for (const ShownPiece& piece : shownPieces_) traceBytes += static_cast<int64_t>(piece.trace.size());
  kept.ensureCapacity(length + traceBytes + 1);
  int64_t copied = 0;
  for (const ShownPiece& piece : shownPieces_) {
    appendTraceBytes(shown + copied, piece.start - copied, facts_, kept);
    kept.append(piece.trace.data(), static_cast<int64_t>(piece.trace.size()));
    copied = piece.start + piece.length;
  }
  appendTraceBytes(shown + copied, length - copied, facts_, kept);
  bytes_ = std::move(kept);
  shownPieces_.clear();
  letGo_ = false;
}
