// The summary pane and the outline's tooltips as a user meets them: rows
// of a trace with several statements, sorting by a click on a header,
// choosing rows by click and by key (landing and shading as the outline
// node does), the lines following the final-query option and a reload,
// and the pane's visibility kept over a restart.
#include <QCheckBox>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>

#include <cstring>

#include "gui/multi_line_tree.h"
#include "gui/summary_pane.h"
#include "gui/trace_frame.h"
#include "gui/trace_tooltips.h"
#include "tests/facts_trace_builder.h"
#include "tests/gui/window_test_support.h"

namespace {

using Sci = QsciScintillaBase;

constexpr const char* kFourStatements = ZAZOZAV_SAMPLES_DIR "/sh_four_statements.trc";

// A main window on `trace` with the pane shown, exposed and active.
struct Shown {
  QTemporaryDir dir;
  std::unique_ptr<TForm1> window;
  bool ready = false;
  explicit Shown(const char* trace, const QByteArray& settings = "") {
    writeFile(settingsFile(dir), "[Summary]\nVisible=1\n\n[ZAzozav]\nWidth=1200\nHeight=800\n" + settings);
    window = start(dir, {trace});
    window->show();
    QApplication::setActiveWindow(window.get());
    ready = QTest::qWaitForWindowExposed(window.get()) && QTest::qWaitForWindowActive(window.get());
  }
  TFMarrow* frame() const { return window->frame(); }
  QTableView* table() const { return window->summaryPane()->table(); }
  SummaryModel* model() const { return window->summaryPane()->model(); }
  QString cell(int row, int column) const { return model()->index(row, column).data().toString(); }
  QStringList column(int column) const {
    QStringList cells;
    for (int row = 0; row < model()->rowCount(); ++row) cells << cell(row, column);
    return cells;
  }
  void clickRow(int row) {
    const QRect rect = table()->visualRect(model()->index(row, kColumnQueryBlock));
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, rect.center());
    QCoreApplication::processEvents();
  }
  void clickHeader(int column) {
    QHeaderView* header = table()->horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    QCoreApplication::processEvents();
  }
  // What choosing left behind: top line, caret line and the shaded range.
  QList<long> place() const {
    QsciScintilla* editor = frame()->editor();
    const long caret = send(editor, Sci::SCI_LINEFROMPOSITION, send(editor, Sci::SCI_GETCURRENTPOS));
    return {frame()->firstVisibleLine(), caret, frame()->highlightStart(), frame()->highlightEnd()};
  }
  void scrollAway() {
    send(frame()->editor(), Sci::SCI_SETFIRSTVISIBLELINE, 0);
    send(frame()->editor(), Sci::SCI_GOTOPOS, 0);
  }
};

// The tree node of the outline node whose first caption line is `caption`.
int32_t treeNodeWithCaption(TFMarrow* frame, const char* caption, int occurrence = 0) {
  for (int32_t item = 0; item < frame->tree()->nodeCount(); ++item) {
    const int32_t node = frame->tree()->item(item).userIndex;
    const char* text = node >= 0 ? frame->nodes().caption(node, 1) : nullptr;
    if (text != nullptr && std::strcmp(text, caption) == 0 && occurrence-- == 0) return item;
  }
  return kNoTreeNode;
}

}  // namespace

class SummaryPaneTest : public QObject {
  Q_OBJECT

 private slots:
  // The legend tells the marks the rows carry: one costed query block per
  // statement leaves nothing bold, and statements tied for the highest
  // cost are all tinted.
  void theLegendMatchesTheRows() {
    QTemporaryDir traces;
    StatementSpec first;
    first.cost = "n/a";  // only SEL$2 is costed, the same in both
    StatementSpec second = first;
    second.sqlId = "0c7yr8fk2pdhw";
    const QString path = traces.filePath("tied.trc");
    writeFile(path, QByteArray::fromStdString(traceHeader() + statementTrace(first) + statementTrace(second)));
    Shown s(path.toLocal8Bit().constData());
    QVERIFY(s.ready);
    QCOMPARE(s.model()->rowCount(), 4);
    const QString heading = s.window->summaryPane()->heading()->text();
    QVERIFY2(!heading.contains("Bold"), qPrintable(heading));
    QVERIFY2(heading.contains("Tinted"), qPrintable(heading));
    for (int row = 0; row < 4; ++row) {
      QVERIFY(!s.model()->index(row, 0).data(Qt::FontRole).value<QFont>().bold());
      QCOMPARE(s.model()->index(row, 3).data(Qt::BackgroundRole).value<QColor>(), SummaryModel::topStatementBackground());
    }
  }

  void rowsOfATraceWithSeveralStatements() {
    Shown s(kFourStatements);
    QVERIFY(s.ready);
    QVERIFY(s.window->summaryDock()->isVisible());
    QCOMPARE(s.column(kColumnStatement), (QStringList{"4hs9c2vnb7x0p", "4hs9c2vnb7x0p", "9m2kq0tz3w1ab",
                                                       "0c7yr8fk2pdhw", "0c7yr8fk2pdhw", "b3n5t7x9z1q2r"}));
    QCOMPARE(s.column(kColumnQueryBlock),
             (QStringList{"SEL$2 (#2)", "SEL$1 (#1)", "SEL$1 (#1)", "SEL$2 (#2)", "SEL$1 (#1)", "SEL$1 (#1)"}));
    QCOMPARE(s.column(kColumnCost), (QStringList{"2.0010", "1234567.5", "17.003", "845.25", "857.93", "3.0"}));
    QCOMPARE(s.cell(1, kColumnTables), QString("CUSTOMERS[C]#1 SALES[S]#0 PRODUCTS[P]#2"));
    QCOMPARE(s.cell(1, kColumnTried) + "/" + s.cell(1, kColumnAborted), QString("3/1"));
    QCOMPARE(s.cell(5, kColumnPlan), QString("First K Rows Plan"));
    // The costliest query block of a statement is bold, the statement of
    // the highest cost tinted.
    QCOMPARE(s.model()->index(1, 0).data(Qt::FontRole).value<QFont>().bold(), true);
    QCOMPARE(s.model()->index(4, 0).data(Qt::FontRole).value<QFont>().bold(), true);
    QVERIFY(!s.model()->index(2, 0).data(Qt::FontRole).isValid());
    QCOMPARE(s.model()->index(0, 3).data(Qt::BackgroundRole).value<QColor>(), SummaryModel::topStatementBackground());
    QVERIFY(!s.model()->index(2, 3).data(Qt::BackgroundRole).isValid());
    QVERIFY(s.window->summaryPane()->heading()->text().startsWith("4 statements, 6 final costs."));
    QVERIFY(s.window->summaryPane()->heading()->text().contains("Bold"));
    QVERIFY(s.window->summaryPane()->heading()->text().contains("Tinted"));
    // Lines of the file: the final queries are formatted, and each row's
    // line is its final-cost key point's line as scanned, not as shown.
    const TraceDigest& d = s.frame()->digest();
    for (int row = 0; row < s.model()->rowCount(); ++row) {
      const int32_t keyPoint = digestBlock(d, d.rows[s.model()->digestRow(row)]).keyPoint;
      QCOMPARE(s.cell(row, kColumnLine), QString::number(d.facts.keyPointLines[keyPoint]));
      QCOMPARE(s.cell(row, kColumnLine),
               QString::number(s.frame()->fileLineOf(s.frame()->keyPoints()[keyPoint].line + 1)));
    }
    QCOMPARE(s.cell(5, kColumnLine), QString("551"));
  }

  void headerClicksSortCostsByValue() {
    Shown s(kFourStatements);
    QVERIFY(s.ready);
    // The costliest first, then the other way.
    s.clickHeader(kColumnCost);
    QCOMPARE(s.column(kColumnCost), (QStringList{"1234567.5", "857.93", "845.25", "17.003", "3.0", "2.0010"}));
    s.clickHeader(kColumnCost);
    QCOMPARE(s.column(kColumnCost), (QStringList{"2.0010", "3.0", "17.003", "845.25", "857.93", "1234567.5"}));
    // The chosen row stays chosen through a sort.
    s.clickRow(3);
    s.clickHeader(kColumnStatement);
    QCOMPARE(s.column(kColumnCost), (QStringList{"2.0010", "1234567.5", "17.003", "845.25", "857.93", "3.0"}));
    QCOMPARE(s.table()->currentIndex().row(), 3);
  }

  // A row lands where its outline node does, shaded the same, and is
  // chosen again by a second click, by the keys and by Enter.
  void choosingARowIsChoosingItsNode() {
    Shown s(kFourStatements);
    QVERIFY(s.ready);
    struct Case {
      int row;
      const char* caption;
      int occurrence;
    } cases[] = {{0, "Final cost for SEL$2", 0}, {4, "Final cost for SEL$1", 2}, {5, "Final cost for SEL$1", 3}};
    for (const Case& c : cases) {
      const int32_t node = treeNodeWithCaption(s.frame(), c.caption, c.occurrence);
      QVERIFY(node != kNoTreeNode);
      s.scrollAway();
      s.frame()->tree()->chooseNode(node);
      const QList<long> expected = s.place();
      s.frame()->tree()->clearSelection();
      s.scrollAway();
      s.clickRow(c.row);
      QCOMPARE(s.place(), expected);
      QCOMPARE(s.frame()->tree()->nodeOf(s.frame()->tree()->currentIndex()), node);
      s.scrollAway();
      s.clickRow(c.row);
      QCOMPARE(s.place(), expected);
    }
    // The keys walk the rows; Enter goes to the current one again.
    s.clickRow(1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    const TraceDigest& d = s.frame()->digest();
    QCOMPARE(s.frame()->highlightStart(), s.frame()->keyPoints()[digestBlock(d, d.rows[2]).keyPoint].line);
    s.scrollAway();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(s.frame()->fileLineOf(s.frame()->firstVisibleLine() + 1), s.cell(2, kColumnLine).toInt() - 1);
  }

  // The line column gives the file's lines whatever form the final
  // queries are shown in; a row lands on its line in either.
  void linesFollowTheFinalQueryOptionAndReloads() {
    Shown s(kFourStatements);
    QVERIFY(s.ready);
    const QString formatted = s.cell(5, kColumnLine);
    QCOMPARE(formatted, QString("551"));
    QCheckBox* box = s.window->formatQueryBox();
    s.clickRow(5);
    QVERIFY(s.frame()->highlightStart() + 1 > 551);
    QCOMPARE(s.frame()->fileLineOf(s.frame()->highlightStart() + 1), 551);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    QCOMPARE(s.cell(5, kColumnLine), QString("551"));
    QCOMPARE(s.table()->currentIndex().row(), 5);
    s.clickRow(4);
    QCOMPARE(s.frame()->highlightStart(), 421);
    QCOMPARE(s.cell(4, kColumnLine), QString("422"));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    QCOMPARE(s.cell(5, kColumnLine), formatted);
    // A reload keeps the order asked for and the lines of the text shown.
    s.clickHeader(kColumnCost);
    s.window->reloadTrace();
    QCOMPARE(s.column(kColumnCost), (QStringList{"1234567.5", "857.93", "845.25", "17.003", "3.0", "2.0010"}));
    QCOMPARE(s.cell(4, kColumnLine), formatted);
    s.clickRow(0);
    QCOMPARE(s.frame()->fileLineOf(s.frame()->highlightStart() + 1), s.cell(0, kColumnLine).toInt());
  }

  // A statement without a final cost chooses its root; a final cost the
  // outline does not show moves the editor to its line.
  void rowsWithoutANodeOfTheirOwn() {
    QTemporaryDir dir;
    const QString path = dir.filePath("odd.trc");
    writeFile(path,
              "*** 2021-03-15T09:41:07.118204+01:00\n"
              "Registered qb: SEL$1 0x1 (PARSER)\n"
              "Final query after transformations:******* UNPARSED QUERY IS *******\n"
              "SELECT 1 FROM DUAL\n"
              "Final cost for query block SEL$1 (#1) - All Rows Plan:\n"
              "  Best join order: 1\n"
              "  Cost: 2.0  Degree: 1  Card: 1.0  Bytes: 3.0\n"
              "kkoqbc: optimizing query block SEL$2 (#2)\n"
              "Join order[1]:  DUAL[DUAL]#0\n"
              "Final cost for query block SEL$2 (#2) - All Rows Plan:\n"
              "  Best join order: 1\n"
              "  Cost: 5.0  Degree: 1  Card: 1.0  Bytes: 3.0\n"
              "Starting SQL statement dump\n\nsql_id=1aaaaaaaaaaaa plan_hash_value=1 problem_type=3\n"
              "*** 2021-03-15T09:42:00.000001+01:00\n"
              "Registered qb: SEL$1 0x2 (PARSER)\n"
              "Starting SQL statement dump\n\nsql_id=5kb4y5n5akx5b plan_hash_value=0 problem_type=3\n"
              "----- Current SQL Statement for this session (sql_id=5kb4y5n5akx5b) -----\nselect 2 from dual\n");
    Shown s(path.toLocal8Bit().constData(), "Options=0\n");
    QVERIFY(s.ready);
    QCOMPARE(s.column(kColumnQueryBlock), (QStringList{"SEL$1 (#1)", "SEL$2 (#2)", "(no final cost)"}));
    SummaryPane* pane = s.window->summaryPane();
    QCOMPARE(pane->treeNodeOf(1), kNoTreeNode);
    s.clickRow(1);
    QCOMPARE(send(s.frame()->editor(), Sci::SCI_LINEFROMPOSITION, send(s.frame()->editor(), Sci::SCI_GETCURRENTPOS)),
             9L);
    QCOMPARE(QApplication::focusWidget(), s.table());
    // The second statement's dump has no end line, so its entry line
    // stands in the first one's stretch: its root is found all the same.
    s.clickRow(2);
    const int32_t root = s.frame()->tree()->nodeOf(s.frame()->tree()->currentIndex());
    QCOMPARE(s.frame()->tree()->level(root), 0);
    QCOMPARE(s.frame()->tree()->nextSibling(root), kNoTreeNode);
    QCOMPARE(s.frame()->highlightStart(), 15);
    QCOMPARE(outlineToolTipLines(*s.frame(), root),
             (QStringList{"sql_id: 5kb4y5n5akx5b", "Plan hash value: 0", "SQL: select 2 from dual"}));
  }

  void tooltipsAddWhatTheCaptionsLack() {
    Shown s(kFourStatements);
    QVERIFY(s.ready);
    struct Case {
      const char* caption;
      int occurrence;
      QStringList lines;
    } cases[] = {
        {"#10#Marrow trace", 2,
         {"sql_id: 0c7yr8fk2pdhw", "Plan hash value: -402981166", "SQL: select ch.channel_desc, v.total"}},
        {"Join Order [2]: #04#- best", 0,
         {"Tables: CUSTOMERS[C]#1 \u2192 SALES[S]#0 \u2192 PRODUCTS[P]#2", "Best so far, cost: 1234567.5"}},
        {"Join Order [2]: #07#- aborted", 0, {"Tables: V[V]#1 \u2192 CHANNELS[CH]#0"}},
        {"Final cost for SEL$1", 0, {"Cost: 1234567.5", "Card: 9618.000000", "Bytes: 817530.000000"}},
        {"#02#QUERY BLOCKS", 0, {}},
        {"Optimizer Parameters", 0, {}},
    };
    for (const Case& c : cases) {
      const int32_t node = treeNodeWithCaption(s.frame(), c.caption, c.occurrence);
      QVERIFY2(node != kNoTreeNode, c.caption);
      QCOMPARE(outlineToolTipLines(*s.frame(), node), c.lines);
      // Served by the tree's model, as rich text.
      const QVariant tip = s.frame()->tree()->indexOf(node).data(Qt::ToolTipRole);
      QCOMPARE(tip.isValid(), !c.lines.isEmpty());
    }
    const int32_t cost = treeNodeWithCaption(s.frame(), "Final cost for SEL$1");
    QCOMPARE(s.frame()->tree()->indexOf(cost).data(Qt::ToolTipRole).toString(),
             QString("<qt><b>Cost:</b> 1234567.5<br><b>Card:</b> 9618.000000<br><b>Bytes:</b> 817530.000000</qt>"));
  }

  // A hidden pane leaves its rows until it is shown again.
  void aHiddenPaneCatchesUpWhenShown() {
    Shown s(kFourStatements);
    QVERIFY(s.ready);
    s.window->summaryAction()->trigger();
    QVERIFY(!s.window->summaryDock()->isVisible());
    s.window->openFile(kTwoStatements);
    QCOMPARE(s.model()->rowCount(), 0);
    s.window->summaryAction()->trigger();
    QVERIFY(s.window->summaryDock()->isVisible());
    QCOMPARE(s.column(kColumnStatement), (QStringList{"7hq2m4rzk0x1d", "7hq2m4rzk0x1d", "2cs8wtm0pz3ab"}));
    s.clickRow(2);
    QCOMPARE(s.frame()->fileLineOf(s.frame()->highlightStart() + 1), s.cell(2, kColumnLine).toInt());
  }

  // A trace that is not UTF-8 shows as Windows-1252 in the editor, and so
  // in the pane and the tooltips.
  void singleByteTraceTexts() {
    QTemporaryDir dir;
    const QString path = dir.filePath("cp1252.trc");
    writeFile(path,
              "*** 2021-03-15T09:41:07.118204+01:00\n"
              "Registered qb: SEL$1 0x1 (PARSER)\n"
              "kkoqbc: optimizing query block SEL$1 (#1)\n"
              "Join order[1]:  PR\xC4MIEN[P]#0  \x80URO[E]#1\n"
              "Best so far:  Table#: 0  cost: 2.0  card: 1.0  bytes: 3.0\n"
              "Final cost for query block SEL$1 (#1) - All Rows Plan:\n"
              "  Best join order: 1\n"
              "  Cost: 2.0  Degree: 1  Card: 1.0  Bytes: 3.0\n");
    Shown s(path.toLocal8Bit().constData());
    QVERIFY(s.ready);
    QVERIFY(s.frame()->singleByteMode());
    QCOMPARE(s.cell(0, kColumnTables), QString("PR\u00C4MIEN[P]#0 \u20ACURO[E]#1"));
    const int32_t order = treeNodeWithCaption(s.frame(), "Join Order [1]: #04#- best");
    QVERIFY(order != kNoTreeNode);
    QCOMPARE(outlineToolTipLines(*s.frame(), order).value(0), QString("Tables: PR\u00C4MIEN[P]#0 \u2192 \u20ACURO[E]#1"));
  }

  // A SQL text cut for its length ends in "…" in the row's tooltip and
  // the root's; one that fits ends as it is.
  void aCutSqlTextEndsWithAnEllipsis() {
    QTemporaryDir dir;
    const QString path = dir.filePath("long_sql.trc");
    StatementSpec cut;
    cut.sql = "select '" + std::string(400, 'a') + "' from dual";
    StatementSpec whole;
    whole.sql = "select 1 from dual ...";
    writeFile(path, QByteArray::fromStdString(traceHeader() + statementTrace(cut) + statementTrace(whole)));
    Shown s(path.toLocal8Bit().constData());
    QVERIFY(s.ready);
    const int last = s.model()->rowCount() - 1;
    QVERIFY(last >= 1);
    const QString first = s.model()->index(0, kColumnQueryBlock).data(Qt::ToolTipRole).toString();
    const QString second = s.model()->index(last, kColumnQueryBlock).data(Qt::ToolTipRole).toString();
    QVERIFY2(first.contains("aaaa\u2026"), qPrintable(first));
    QVERIFY(!first.contains("aaa..."));
    QVERIFY2(second.contains("from dual ..."), qPrintable(second));
    QVERIFY(!second.contains("\u2026"));
    const int32_t root = s.frame()->tree()->firstTopLevel();
    QVERIFY(outlineToolTipLines(*s.frame(), root).join("\n").endsWith("aaa\u2026"));
  }

  // At the default window size the pane leaves the editor at least 80
  // columns of text, the Why pane shown too or not.
  void theEditorKeepsEightyColumns_data() {
    QTest::addColumn<bool>("why");
    QTest::newRow("summary alone") << false;
    QTest::newRow("with the Why pane") << true;
  }
  void theEditorKeepsEightyColumns() {
    QFETCH(bool, why);
    QTemporaryDir dir;
    writeFile(settingsFile(dir), QByteArray("[Summary]\nVisible=1\n\n[Why]\nVisible=") + (why ? "1" : "0") + "\n");
    std::unique_ptr<TForm1> window = start(dir, {kFourStatements});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(window->width() <= int(defaultWidth));
    QVERIFY(window->summaryDock()->isVisible());
    QsciScintilla* editor = window->frame()->editor();
    long margins = 0;
    for (int margin = 0; margin < 5; ++margin) margins += send(editor, Sci::SCI_GETMARGINWIDTHN, margin);
    const long columns = (editor->viewport()->width() - margins) /
                         send(editor, Sci::SCI_TEXTWIDTH, Sci::STYLE_DEFAULT, reinterpret_cast<long>("0"));
    QVERIFY2(columns >= 80, qPrintable(QString::number(columns)));
  }

  void visibilityIsKeptOverARestart() {
    QTemporaryDir dir;
    {
      auto window = start(dir, {kFourStatements});
      window->show();
      QApplication::setActiveWindow(window.get());
      QVERIFY(QTest::qWaitForWindowActive(window.get()));
      QVERIFY(!window->summaryDock()->isVisible());
      window->frame()->editor()->setFocus();
      send(window->frame()->editor(), Sci::SCI_SETFIRSTVISIBLELINE, 40);
      QCoreApplication::processEvents();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
      QVERIFY(window->summaryDock()->isVisible());
      QCOMPARE(QApplication::focusWidget(), window->summaryPane()->table());
      // Showing the pane chooses no row: the editor stays where it was.
      QCOMPARE(window->frame()->firstVisibleLine(), 40);
      QCOMPARE(window->frame()->highlightStart(), -1);
      // The first key in the table chooses its first row.
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
      QCOMPARE(window->summaryPane()->table()->currentIndex().row(), 0);
      QVERIFY(window->frame()->highlightStart() >= 0);
      window->close();
    }
    QVERIFY(readFile(settingsFile(dir)).contains("\n[Summary]\nVisible=1\n"));
    {
      auto window = start(dir, {kFourStatements});
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window.get()));
      QVERIFY(window->summaryDock()->isVisible());
      QVERIFY(window->summaryAction()->isChecked());
      window->summaryAction()->trigger();
      QVERIFY(!window->summaryDock()->isVisible());
      window->close();
    }
    QVERIFY(!readFile(settingsFile(dir)).contains("[Summary]"));
  }
};

ZAZOZAV_WINDOW_TEST_MAIN(SummaryPaneTest)
#include "summary_pane_test.moc"
