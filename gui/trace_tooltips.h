// Tooltips of the outline's nodes: the facts their captions lack, from the
// frame's trace digest. A join order shows its tables in order and its
// cost from «Best so far» where it has one; a final cost its cost, card
// and bytes; a statement's root its sql_id, plan hash value and the first
// line of its SQL.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string_view>

#include "facts/trace_digest.h"

class TFMarrow;

// Bytes of the trace as the editor shows them: UTF-8, or Windows-1252 in
// the frame's single-byte mode.
QString shownTraceText(const TFMarrow& frame, std::string_view bytes);
QString shownTraceText(const TFMarrow& frame, const TraceDigest& digest, TextSpan text);
// The first line of statement `statement`'s SQL text as shown, "…" ending
// it where the digest cut it.
QString shownSqlText(const TFMarrow& frame, const TraceDigest& digest, int32_t statement);
// The join order's tables as shown, in order, arrows between them.
QString shownJoinOrderTables(const TFMarrow& frame, const TraceFacts& facts, const JoinOrderFact& order);

// The statement of an outline root with key point `keyPoint`, or kNoFact.
// A root opens at its entry line, which may stand in the stretch of the
// statement before (one whose dump has no end line): the statement is the
// one of the first key point after the entry line.
int32_t statementOfRoot(const TFMarrow& frame, int32_t keyPoint);

// The tooltip's lines for tree node `treeNode` of the frame's outline, as
// «Label: value» plain texts; none when the node has nothing to add.
QStringList outlineToolTipLines(const TFMarrow& frame, int32_t treeNode);

// The lines as the rich text of a tooltip, each label in bold; empty for
// no lines.
QString toolTipText(const QStringList& lines);

// Makes the frame's outline show these tooltips.
void installOutlineToolTips(TFMarrow& frame);
