#include "trace/highlighter.h"

#include <cstring>

#include "trace/trace_scanner.h"

const HighlighterAttribute* THi0::attributeForIndex(int32_t index) const {
  if (index < 0 || index >= attributeCount_ || !attributeTable_) return nullptr;
  return attributeTable_[index];
}

const HighlighterAttribute* THi0::registeredAttribute(int32_t i) const {
  if (i < 0 || i >= registeredCount_ || !registered_) return nullptr;
  return registered_[i];
}

bool THi0::isLineEnd() const { return state_.kind == tkEnd; }

std::string_view THi0::currentTokenText() const {
  const int32_t start = state_.tokenStart;
  const int32_t end = state_.pos;
  if (start < 0 || end <= start || end > lineText_.length()) return {};
  return std::string_view(lineText_.c_str() + start, static_cast<size_t>(end - start));
}

const HighlighterAttribute* THi0::currentTokenAttribute() const {
  return attributeForIndex(state_.kind);
}

void THi0::beginLine(const char* line, int32_t length, int32_t /*lineNumber*/) {
  if (!line || length < 0) length = 0;
  // Both buffers only grow, so after the longest line has been seen no
  // further line allocates.
  if (lineBytes_.ensureCapacity(int64_t{length} + 1) != 0 ||
      lineText_.ensureCapacity(int64_t{length} + 1) != 0) {
    lineBytes_.release();
    lineText_.release();
    length = 0;
  }
  if (length > 0) {
    std::memcpy(lineText_.data(), line, static_cast<size_t>(length));
    char* bytes = lineBytes_.data();
    for (int32_t i = 0; i < length; ++i) {
      const unsigned char c = static_cast<unsigned char>(line[i]);
      bytes[i] = c >= 0x80 ? 'Z' : static_cast<char>(c);
    }
  }
  if (lineText_.data()) lineText_.setLength(length);
  if (lineBytes_.data()) lineBytes_.setLength(length);
  scanResetLine(state_, lineBytes_.c_str(), length);
  advance();
}

bool THi0::loadAttributeSettings(const char* /*rootKey*/, const char* /*keyPath*/) { return false; }

bool THi0::saveAttributeSettings(const char* /*rootKey*/, const char* /*keyPath*/) const { return false; }
