// Reading a trace file whole into memory, and the texts the user sees
// about it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/sv_string.h"

constexpr int64_t maxTraceFileSize = 67108864;  // 64 MiB

enum LoadResult : int {
  LoadOk = 0,
  LoadCannotOpen = -1,  // cannot be opened, is not a regular file, or a short read
  LoadTooLarge = -2,    // larger than maxTraceFileSize
  LoadNoMemory = -3,    // the buffer cannot be allocated
};

// Reads the file at `path` with one read into a buffer sized before
// reading: on success `text` holds the bytes unchanged, its length is the
// file size and a zero byte follows. Directories, FIFOs and devices give
// LoadCannotOpen at once (they are never read, so nothing blocks). On
// failure the contents are undefined; the owner releases the string.
int loadFromFile(SVString& text, const char* path);

constexpr size_t kMessageBufferSize = 512;

// The message for a failed load: "Cannot open file %s", "File %s is too
// large" or "Cannot allocate memory for the file", bounded to 511 bytes.
// Writes an empty text for any other code.
void loadErrorMessage(int code, const char* path, char* out, size_t capacity);

// The window caption after a load: "Marrow Viewer - " + name + extension,
// bounded to capacity - 1 bytes.
void captionFor(const char* name, const char* extension, char* out, size_t capacity);

// Splits the last component of `path` at its last dot into a name and an
// extension that keeps its dot (empty when there is none). Each output is
// bounded to 260 bytes.
void splitFileName(const char* path, char* name, char* extension);
