// Searching the trace editor for the find bar, and the text the find
// command proposes.
#pragma once

#include <QString>

class QsciScintilla;

// Moves the caret to the end of the selection (to its start with
// SearchBackward), dropping the selection, then looks for `text` from the
// caret towards the end (or the start) of the text without wrapping:
// letters compare without regard to case unless SearchMatchCase is set,
// and an occurrence inside a longer word counts. On a match it selects it,
// with the caret at its end (at its start when searching backward), and
// scrolls it into view. Returns 1 for a match, 0 for none (also for an
// empty text or one the editor's encoding cannot hold), -1 without editor.
int editorSearch(QsciScintilla* editor, const QString& text, int flags);

// The text the find command proposes: the selection when it lies on one
// line; otherwise the run of ASCII letters, digits and underscores around
// the character after the caret; empty when that character is none of
// these (at a line end, for example).
QString proposedFindText(QsciScintilla* editor);
