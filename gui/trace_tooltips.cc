#include "gui/trace_tooltips.h"

#include <algorithm>

#include "base/byte_text.h"
#include "gui/multi_line_tree.h"
#include "gui/trace_frame.h"
#include "trace/trace_scanner.h"

QString shownTraceText(const TFMarrow& frame, std::string_view bytes) {
  if (!frame.singleByteMode()) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  // As the editor shows such a trace: each byte its Windows-1252 character.
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (const char b : bytes) *out++ = QChar(windows1252Character(static_cast<unsigned char>(b)));
  return text;
}

QString shownTraceText(const TFMarrow& frame, const TraceDigest& digest, TextSpan text) {
  return shownTraceText(frame, digest.view(text));
}

QString shownSqlText(const TFMarrow& frame, const TraceDigest& digest, int32_t statement) {
  const QString text = shownTraceText(frame, digest, digest.facts.statements[statement].sqlText);
  return digest.statements[statement].sqlTextCut ? text + QChar(0x2026) : text;
}

QString shownJoinOrderTables(const TFMarrow& frame, const TraceFacts& facts, const JoinOrderFact& order) {
  QStringList tables;
  for (const TextSpan& table : slice(facts.tables, order.tables)) {
    tables += shownTraceText(frame, facts.view(table)).split(' ', Qt::SkipEmptyParts);
  }
  return tables.join(QStringLiteral(" \u2192 "));
}

int32_t statementOfRoot(const TFMarrow& frame, int32_t keyPoint) {
  const KeyPoints_c& keyPoints = frame.keyPoints();
  if (keyPoint < 0 || keyPoint >= keyPoints.count()) return kNoFact;
  if (keyPoints[keyPoint].kind == tkNewEntry && keyPoint + 1 < keyPoints.count()) ++keyPoint;
  return statementOfKeyPoint(frame.digest().facts, keyPoint);
}

namespace {

// Lines longer than this many characters wrap at kToolTipWidth pixels.
constexpr qsizetype kToolTipWrap = 60;
constexpr int kToolTipWidth = 480;

void addLine(QStringList& lines, const char* label, const QString& value) {
  if (!value.isEmpty()) lines << QStringLiteral("%1: %2").arg(QLatin1String(label), value);
}

QStringList statementLines(const TFMarrow& frame, const TraceDigest& d, int32_t keyPoint) {
  QStringList lines;
  const int32_t s = statementOfRoot(frame, keyPoint);
  if (s == kNoFact) return lines;
  const StatementFacts& statement = d.facts.statements[s];
  addLine(lines, "sql_id", shownTraceText(frame, d, statement.sqlId));
  addLine(lines, "Plan hash value", shownTraceText(frame, d, statement.planHashValue));
  addLine(lines, "SQL", shownSqlText(frame, d, s));
  return lines;
}

QStringList joinOrderLines(const TFMarrow& frame, const TraceDigest& d, int32_t keyPoint) {
  QStringList lines;
  const int32_t j = joinOrderOfKeyPoint(d.facts, keyPoint);
  if (j == kNoFact) return lines;
  const JoinOrderFact& order = d.facts.joinOrders[j];
  addLine(lines, "Tables", shownJoinOrderTables(frame, d.facts, order));
  addLine(lines, "Best so far, cost", shownTraceText(frame, d, order.cost));
  return lines;
}

QStringList finalCostLines(const TFMarrow& frame, const TraceDigest& d, int32_t keyPoint) {
  QStringList lines;
  const int32_t r = digestRowOfKeyPoint(d, keyPoint);
  if (r == kNoFact) return lines;
  const QueryBlockFact& block = digestBlock(d, d.rows[r]);
  addLine(lines, "Cost", shownTraceText(frame, d, block.cost));
  addLine(lines, "Card", shownTraceText(frame, d, block.card));
  addLine(lines, "Bytes", shownTraceText(frame, d, block.bytes));
  return lines;
}

}  // namespace

QStringList outlineToolTipLines(const TFMarrow& frame, int32_t treeNode) {
  const MultiLineTree0& tree = *frame.tree();
  if (treeNode < 0 || treeNode >= tree.nodeCount()) return {};
  const int32_t n = tree.item(treeNode).userIndex;
  const NodeMarrow_Array_c& nodes = frame.nodes();
  if (n < 0 || n >= nodes.count()) return {};
  const int32_t keyPoint = nodes[n].keyPointIndex;
  const KeyPoints_c& keyPoints = frame.keyPoints();
  const TraceDigest& d = frame.digest();
  // A digest of another scan would name other key points.
  if (keyPoint < 0 || keyPoint >= keyPoints.count() || d.keyPointCount != keyPoints.count()) return {};
  if (nodes[n].parent == kNoNode && tree.level(treeNode) == 0) return statementLines(frame, d, keyPoint);
  switch (keyPoints[keyPoint].kind) {
    case tkJoinOrder:
      return joinOrderLines(frame, d, keyPoint);
    case tkFinalQbCost:
      return finalCostLines(frame, d, keyPoint);
    default:
      return {};
  }
}

QString toolTipText(const QStringList& lines) {
  if (lines.isEmpty()) return QString();
  QStringList html;
  qsizetype longest = 0;
  for (const QString& line : lines) {
    const qsizetype colon = line.indexOf(QStringLiteral(": "));
    html << QStringLiteral("<b>%1</b>%2").arg(line.left(colon + 1).toHtmlEscaped(), line.mid(colon + 1).toHtmlEscaped());
    longest = std::max(longest, line.size());
  }
  // Rich text in any case: a trace's "<" must not make Qt guess. A long
  // line wraps at a width that reads well, not at the shortest line's.
  const QString body = html.join(QStringLiteral("<br>"));
  if (longest <= kToolTipWrap) return QStringLiteral("<qt>") + body + QStringLiteral("</qt>");
  return QStringLiteral("<qt><table width=\"%1\"><tr><td>").arg(kToolTipWidth) + body +
         QStringLiteral("</td></tr></table></qt>");
}

void installOutlineToolTips(TFMarrow& frame) {
  frame.tree()->setToolTipProvider(
      [&frame](int32_t node) { return toolTipText(outlineToolTipLines(frame, node)); });
}
