// DocumentLoader: an editor document built away from the GUI thread. The
// editor library makes an empty document on the GUI thread (cheaply: no
// room is made for the text yet); any one thread then fills it, making
// its room and line index there; the GUI thread finally gives it to an
// editor, which swaps it in at once instead of taking the text itself.
#pragma once

#include <Qsci/qsciscintillabase.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/sv_string.h"
#include "gui/zero_page_record.h"
#include "sql/shown_text.h"

// The editor library's loader interface, declared here because the
// library installs no header for it. The declaration must match the
// library's own exactly, entry for entry: this was checked against the
// installed library's loader table (three entries in this order, the
// length a 64-bit signed value, and 0 for success from AddData).
class ScintillaLoader {
 public:
  // Drops one reference to the document; returns the references left.
  virtual int Release() = 0;
  // Appends `length` bytes; 0, or a status code (1 failure, 2 no memory).
  virtual int AddData(const char* data, std::ptrdiff_t length) = 0;
  // The document itself, with the reference the loader held.
  virtual void* ConvertToDocument() = 0;

 protected:
  ~ScintillaLoader() = default;
};

class DocumentLoader {
 public:
  // An empty document of `editor`'s library with room for `room` bytes,
  // which the library clears (text and styles). The library also resets
  // `editor`'s record of the lines it shows, as for a new document: an
  // editor that shows one goes on with the document it is given next.
  // Made on another thread, `editor` must be one that no other thread
  // uses meanwhile. Throws std::bad_alloc when there is no memory for the
  // room.
  explicit DocumentLoader(QsciScintillaBase& editor, int64_t room = 0);
  // Drops this reference to the document (on any thread): the document
  // goes unless an editor shows it.
  ~DocumentLoader();
  DocumentLoader(const DocumentLoader&) = delete;
  DocumentLoader& operator=(const DocumentLoader&) = delete;

  // On one thread at a time: appends the bytes; false when the editor
  // library ran out of memory (what it had taken stays).
  bool add(const char* data, int64_t length);

  // Once filled, on the thread that filled it and before any editor shows
  // the document: gives back the pages of its room that hold only zeros
  // (its styles, and room beyond the text), which the library cleared as
  // it made them. Returns the bytes given back.
  int64_t giveBackZeroPages();

  // On the GUI thread, once filled: `editor` shows the document, taking a
  // reference of its own; the loader keeps its reference, so that the
  // document can be freed away from the GUI thread once the editor lets
  // go of it (releaseAway). The editor's code page, read-only state and
  // styling start afresh with it (they belong to the document).
  void showIn(QsciScintillaBase& editor);

 private:
  ScintillaLoader* loader_ = nullptr;
  ZeroPageRecord blocks_;  // the document's large blocks, made under this loader's calls
};

// Called first in main, before any thread starts: the threads other than
// the GUI thread share one heap. With a heap per thread (the C library's
// default), what the comparison's threads freed stayed resident in their
// heaps after the comparison was closed, some 12 to 16 MiB; one shared
// heap gives it back when trimmed.
void shareWorkerHeaps();

// Called first on a thread that works while the window answers (a nice
// of 10 for the calling thread only): with both cores busy, the window's
// answers waited for the scheduler (in a comparison, stalls of 130-160 ms
// against 25-50 ms with one thread at work).
void yieldToTheGuiThread();

// Destroys `owned` on a pool thread, then has the heaps give back what
// they hold freed: freeing a large document (its text, its styles and its
// line index) or a comparison's line tables takes tens of milliseconds.
// No editor may show a document given here any more.
void releaseOnPool(std::shared_ptr<void> owned);
template <class T>
void releaseAway(std::unique_ptr<T> owned) {
  if (owned) releaseOnPool(std::shared_ptr<void>(std::move(owned)));
}

// Fills `loader` with `text` as the trace editor shows a trace with these
// facts (Windows-1252 without valid UTF-8, lone carriage returns as their
// symbol); the room is made once, and its zero pages are given back.
// False when memory ran out.
bool loadShownText(DocumentLoader& loader, const SVString& text, const TraceTextFacts& facts);
