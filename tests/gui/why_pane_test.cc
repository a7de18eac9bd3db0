// The pane of why a plan was chosen, as a reader uses it: choosing a final
// cost (in the outline or the summary) shows its tables and its search;
// rows and points go to their lines in the editor, shaded; the join-order
// question answers both ways; lines follow the final-query option.
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeWidget>

#include <cstring>

#include "gui/access_paths_view.h"
#include "gui/multi_line_tree.h"
#include "gui/search_map.h"
#include "gui/trace_frame.h"
#include "gui/why_pane.h"
#include "tests/gui/window_test_support.h"

namespace {

using Sci = QsciScintillaBase;

struct Shown {
  QTemporaryDir dir;
  std::unique_ptr<TForm1> window;
  bool ready = false;
  explicit Shown(const char* trace) {
    writeFile(settingsFile(dir), "[Why]\nVisible=1\n\n[ZAzozav]\nWidth=1200\nHeight=800\n");
    window = start(dir, {trace});
    window->show();
    QApplication::setActiveWindow(window.get());
    ready = QTest::qWaitForWindowExposed(window.get()) && QTest::qWaitForWindowActive(window.get());
  }
  TFMarrow* frame() const { return window->frame(); }
  WhyPane* pane() const { return window->whyPane(); }
  // Chooses the first outline node whose first caption line is `caption`.
  bool choose(const char* caption) {
    for (int32_t item = 0; item < frame()->tree()->nodeCount(); ++item) {
      const int32_t node = frame()->tree()->item(item).userIndex;
      const char* text = node >= 0 ? frame()->nodes().caption(node, 1) : nullptr;
      if (text != nullptr && std::strcmp(text, caption) == 0) {
        frame()->tree()->chooseNode(item);
        QCoreApplication::processEvents();
        return true;
      }
    }
    return false;
  }
  long caretLine() const {
    QsciScintilla* editor = frame()->editor();
    return send(editor, Sci::SCI_LINEFROMPOSITION, send(editor, Sci::SCI_GETCURRENTPOS)) + 1;
  }
  QString lineText(long line) const { return frame()->editor()->text(static_cast<int>(line - 1)).trimmed(); }
};

QStringList column0(QTreeWidgetItem* parent) {
  QStringList texts;
  for (int i = 0; i < parent->childCount(); ++i) texts << parent->child(i)->text(0);
  return texts;
}

}  // namespace

class WhyPaneTest : public QObject {
  Q_OBJECT

 private slots:
  void aFinalCostShowsItsTablesAndTheirRowsGoToTheirLines() {
    Shown s(ZAZOZAV_SAMPLES_DIR "/hr_join_search.trc");
    QVERIFY(s.ready);
    QVERIFY(s.window->whyDock()->isVisible());
    QCOMPARE(s.pane()->shownRow(), -1);
    QVERIFY(s.choose("Final cost for SEL$1"));
    QCOMPARE(s.pane()->shownRow(), 0);
    AccessPathsView* paths = s.pane()->accessPaths();
    QCOMPARE(paths->topLevelItemCount(), 3);
    QTreeWidgetItem* employees = paths->topLevelItem(0);
    QCOMPARE(employees->text(0), QString("EMPLOYEES[E] \u2014 IndexRange"));
    QCOMPARE(employees->text(2), QString("10700.000000 \u2192 3"));
    // Whole paths cheapest first with the chosen one marked, the bitmap
    // trial apart, the guessed estimate as a warning.
    QCOMPARE(column0(employees), (QStringList{"\u2714 index (RangeScan)  (chosen)", "TableScan",
                                               "Bitmap trials (1): parts of a bitmap plan",
                                               "Best:: AccessPath: IndexRange",
                                               "Using prorated density: a value outside the column's statistics, "
                                               "its selectivity guessed"}));
    // A whole path cheaper than the chosen one is told.
    QCOMPARE(paths->topLevelItem(2)->child(0)->text(0), QString("index (RangeScan)  (cheaper than the chosen path)"));
    QVERIFY(paths->topLevelItem(2)->child(3)->text(0).startsWith("Card rounded to 1 from 23.000000"));
    // A click on a row puts its line on the editor's second row, shaded.
    QTreeWidgetItem* bestRow = employees->child(3);
    paths->scrollToItem(bestRow);
    QTest::mouseClick(paths->viewport(), Qt::LeftButton, {}, paths->visualItemRect(bestRow).center());
    QCoreApplication::processEvents();
    QCOMPARE(s.lineText(s.caretLine()), QString("Best:: AccessPath: IndexRange"));
    QCOMPARE(QString::number(s.frame()->fileLineOf(int32_t(s.caretLine()))), bestRow->text(4));
    QCOMPARE(long(s.frame()->highlightStart()) + 1, s.caretLine());
    QCOMPARE(long(s.frame()->highlightEnd()), s.caretLine() + 2);  // to its figures line
    QCOMPARE(long(s.frame()->firstVisibleLine()) + 2, s.caretLine());
  }

  void theSearchMapShowsEverySearchAndAPointGoesToItsJoinOrder() {
    Shown s(ZAZOZAV_SAMPLES_DIR "/hr_join_search.trc");
    QVERIFY(s.ready);
    QVERIFY(s.choose("Join Order [2]:"));  // a join order chooses its query block too
    QCOMPARE(s.pane()->shownRow(), 0);
    SearchMapView* map = s.pane()->searchMap();
    // Three series a search (complete, aborted, best so far), and the best join order.
    QCOMPARE(map->seriesCount(), 3 * 3 + 1);
    const TraceDigest& d = s.frame()->digest();
    const int32_t last = digestBlock(d, d.rows[0]).stretchJoinOrders.end() - 1;
    QCOMPARE(map->joinOrderAt(18), last);
    QCOMPARE(map->joinOrderAt(19), -1);
    map->chooseJoinOrder(last - 1);
    QCOMPARE(s.lineText(s.caretLine()).left(14), QString("Join order[5]:"));
    QCOMPARE(long(s.frame()->highlightEnd()), long(d.facts.joinOrders[last].line) - 1);
  }

  void theJoinOrderQuestionIsAnsweredBothWays() {
    Shown s(ZAZOZAV_SAMPLES_DIR "/hr_join_search.trc");
    QVERIFY(s.ready);
    QVERIFY(s.choose("Final cost for SEL$1"));
    s.pane()->tabs()->setCurrentIndex(2);
    s.pane()->question()->setFocus();
    QTest::keyClicks(s.pane()->question(), "LEADING(@\"SEL$1\" \"L\"@\"SEL$1\" \"D\"@\"SEL$1\")");
    QTest::keyClick(s.pane()->question(), Qt::Key_Return);
    const QString tried = s.pane()->answer()->text();
    QCOMPARE(tried.count("<b>Tried</b>"), 3);
    QVERIFY(tried.contains("search 3 of 3 (the one that gave the final cost)"));
    s.pane()->question()->clear();
    QTest::keyClicks(s.pane()->question(), "d q");
    QTest::keyClick(s.pane()->question(), Qt::Key_Enter);
    const QString never = s.pane()->answer()->text();
    QVERIFY(never.contains("No join order of this query block has <b>q</b>."));
    QVERIFY(never.contains("<b>Never tried</b> in the 3 searches"));
    QVERIFY(never.contains("6 join orders start with d; the first: <a href=\"lines:283:"));
  }

  // With the final queries formatted, the editor's lines are not the
  // file's: a row gives the file's line, and lands on its own line.
  void linesFollowTheFormattedFinalQueries() {
    Shown s(ZAZOZAV_SAMPLES_DIR "/hr_two_statements.trc");
    QVERIFY(s.ready);
    QVERIFY(s.choose("Final cost for SEL$683B0108"));
    AccessPathsView* paths = s.pane()->accessPaths();
    QVERIFY(paths->topLevelItemCount() > 0);
    QTreeWidgetItem* table = paths->topLevelItem(0);
    emit paths->linesChosen(table->data(0, AccessPathsView::kFirstLineRole).toInt(),
                            table->data(0, AccessPathsView::kLastLineRole).toInt());
    QVERIFY(s.lineText(s.caretLine()).startsWith("Single Table Cardinality Estimation for"));
    QCOMPARE(table->text(4), table->data(0, AccessPathsView::kFirstLineRole).toString());
    QVERIFY(s.caretLine() != table->data(0, AccessPathsView::kFirstLineRole).toInt());
    QCOMPARE(QString::number(s.frame()->fileLineOf(int32_t(s.caretLine()))), table->text(4));
  }
};

QTEST_MAIN(WhyPaneTest)
#include "why_pane_test.moc"
