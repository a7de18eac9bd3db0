// The find bar's history, failure notice and beeps, and the editor search
// and proposal rules behind it.
#include "gui/find_bar.h"

#include <Qsci/qsciscintilla.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "gui/editor_search.h"

namespace {

using Sci = QsciScintillaBase;

QStringList history(const TFFind& bar) {
  QStringList items;
  for (int i = 0; i < bar.Edit1->count(); ++i) items << bar.Edit1->itemText(i);
  return items;
}

long caretOf(const QsciScintilla& editor) { return editor.SendScintilla(Sci::SCI_GETCURRENTPOS); }
long anchorOf(const QsciScintilla& editor) { return editor.SendScintilla(Sci::SCI_GETANCHOR); }

// A bar wired to search `editor` the way the frame and main window do.
struct SearchSetup {
  QsciScintilla editor;
  TFFind bar;
  int beeps = 0;
  SearchSetup() {
    bar.beepOnFailure = true;
    bar.beep = [this] { ++beeps; };
    bar.onSearch = [](QWidget* control, const QString& text, int flags) {
      auto* e = qobject_cast<QsciScintilla*>(control);
      return e ? editorSearch(e, text, flags) : -1;
    };
  }
};

}  // namespace

class FindBarTest : public QObject {
  Q_OBJECT

 private slots:
  void historyKeepsOneEntryPerTextIgnoringCase();
  void historyHoldsAtMostThirty();
  void aRunOfFailuresBeepsOnce();
  void noEditorIsNotAFailure();
  void nextAndPreviousWalkTheOccurrences();
  void nextAfterTheLastOccurrence();
  void matchCase();
  void enterInAnEmptyComboBox();
  void showingTheBarClearsTheNotice();
  void proposedText();
  void hideKeepsTextAndTarget();
};

void FindBarTest::historyKeepsOneEntryPerTextIgnoringCase() {
  TFFind bar;
  bar.showFindBar(nullptr, QStringLiteral("join"));
  bar.showFindBar(nullptr, QStringLiteral("cost"));
  bar.Edit1->setEditText(QStringLiteral("JOIN"));
  bar.runSearch(0);
  QCOMPARE(history(bar), (QStringList{QStringLiteral("JOIN"), QStringLiteral("cost")}));
  QCOMPARE(bar.Edit1->currentText(), QStringLiteral("JOIN"));
  // An empty proposal leaves the history and the text alone.
  bar.showFindBar(nullptr, QString());
  QCOMPARE(history(bar).size(), 2);
  QCOMPARE(bar.Edit1->currentText(), QStringLiteral("JOIN"));
}

void FindBarTest::historyHoldsAtMostThirty() {
  TFFind bar;
  for (int i = 0; i < 31; ++i) bar.showFindBar(nullptr, QStringLiteral("text%1").arg(i));
  const QStringList items = history(bar);
  QCOMPARE(items.size(), 30);
  QCOMPARE(items.first(), QStringLiteral("text30"));
  QCOMPARE(items.last(), QStringLiteral("text1"));
  // Re-using an old entry moves it up without dropping another.
  bar.showFindBar(nullptr, QStringLiteral("TEXT5"));
  QCOMPARE(history(bar).size(), 30);
  QCOMPARE(history(bar).first(), QStringLiteral("TEXT5"));
  QCOMPARE(history(bar).last(), QStringLiteral("text1"));
}

void FindBarTest::aRunOfFailuresBeepsOnce() {
  TFFind bar;
  int beeps = 0;
  bar.beep = [&beeps] { ++beeps; };
  bar.beepOnFailure = true;
  QList<int> results = {0, 0, 1, 0, 0};
  bar.onSearch = [&results](QWidget*, const QString&, int) { return results.takeFirst(); };
  const QList<int> expectedBeeps = {1, 1, 1, 2, 2};
  const QList<bool> expectedNotice = {true, true, false, true, true};
  for (int i = 0; i < 5; ++i) {
    bar.runSearch(0);
    QCOMPARE(beeps, expectedBeeps[i]);
    QCOMPARE(!bar.lbNoMatch->isHidden(), expectedNotice[i]);
    QCOMPARE(bar.lastSearchFailed, expectedNotice[i]);
  }
  // Without beepOnFailure nothing sounds.
  bar.beepOnFailure = false;
  bar.onSearch = [](QWidget*, const QString&, int) { return 1; };
  bar.runSearch(0);
  bar.onSearch = [](QWidget*, const QString&, int) { return 0; };
  bar.runSearch(0);
  QCOMPARE(beeps, 2);
}

void FindBarTest::noEditorIsNotAFailure() {
  SearchSetup s;
  s.bar.Edit1->setEditText(QStringLiteral("cost"));
  s.bar.runSearch(0);  // never opened: no target editor
  QVERIFY(s.bar.lbNoMatch->isHidden());
  QCOMPARE(s.beeps, 0);
  QCOMPARE(history(s.bar), QStringList{QStringLiteral("cost")});
}

void FindBarTest::nextAndPreviousWalkTheOccurrences() {
  SearchSetup s;
  s.editor.setText(QStringLiteral("a join b\nJOIN c\nrejoined"));
  s.bar.showFindBar(&s.editor, QStringLiteral("join"));
  const QList<long> starts = {2, 9, 18};
  for (long start : starts) {
    s.bar.btNext->click();
    QCOMPARE(anchorOf(s.editor), start);
    QCOMPARE(caretOf(s.editor), start + 4);
  }
  s.bar.btPrev->click();
  QCOMPARE(caretOf(s.editor), 9L);
  QCOMPARE(anchorOf(s.editor), 13L);
  s.bar.btPrev->click();
  QCOMPARE(caretOf(s.editor), 2L);
  QCOMPARE(s.beeps, 0);
}

void FindBarTest::nextAfterTheLastOccurrence() {
  SearchSetup s;
  s.editor.setText(QStringLiteral("join x join y"));
  s.bar.showFindBar(&s.editor, QStringLiteral("join"));
  s.bar.btNext->click();
  s.bar.btNext->click();
  QCOMPARE(caretOf(s.editor), 11L);
  s.bar.btNext->click();
  QVERIFY(!s.bar.lbNoMatch->isHidden());
  QCOMPARE(s.beeps, 1);
  QCOMPARE(caretOf(s.editor), 11L);
  QCOMPARE(anchorOf(s.editor), 11L);  // nothing selected
  s.bar.btPrev->click();
  QCOMPARE(anchorOf(s.editor), 11L);
  QCOMPARE(caretOf(s.editor), 7L);
  QVERIFY(s.bar.lbNoMatch->isHidden());
}

void FindBarTest::matchCase() {
  SearchSetup s;
  s.editor.setText(QStringLiteral("JOIN"));
  s.bar.showFindBar(&s.editor, QStringLiteral("Join"));
  s.bar.cbCase->setChecked(true);
  s.bar.btNext->click();
  QVERIFY(!s.bar.lbNoMatch->isHidden());
  s.bar.cbCase->setChecked(false);
  s.bar.btNext->click();
  QVERIFY(s.bar.lbNoMatch->isHidden());
  QCOMPARE(caretOf(s.editor), 4L);
}

void FindBarTest::enterInAnEmptyComboBox() {
  SearchSetup s;
  s.editor.setText(QStringLiteral("abc def"));
  s.bar.showFindBar(&s.editor, QStringLiteral("abc"));
  s.editor.SendScintilla(Sci::SCI_SETSEL, 4UL, 7L);
  s.bar.Edit1->setEditText(QString());
  QTest::keyClick(s.bar.Edit1->lineEdit(), Qt::Key_Return);
  QCOMPARE(history(s.bar).first(), QString());
  QCOMPARE(history(s.bar).size(), 2);
  QCOMPARE(anchorOf(s.editor), caretOf(s.editor));  // the selection is gone
  QVERIFY(!s.bar.lbNoMatch->isHidden());
  QCOMPARE(s.beeps, 1);
  QTest::keyClick(s.bar.Edit1->lineEdit(), Qt::Key_Enter);
  QCOMPARE(s.beeps, 1);
  QCOMPARE(history(s.bar).size(), 2);
}

void FindBarTest::showingTheBarClearsTheNotice() {
  SearchSetup s;
  s.bar.hideFindBar();
  QCOMPARE(s.bar.height(), 0);
  s.editor.setText(QStringLiteral("x"));
  s.bar.showFindBar(&s.editor, QStringLiteral("zzz"));
  QVERIFY(s.bar.barShown);
  QCOMPARE(s.bar.maximumHeight(), 22);
  s.bar.runSearch(0);
  QVERIFY(s.bar.lastSearchFailed);
  s.bar.showFindBar(&s.editor, QString());
  QVERIFY(s.bar.lbNoMatch->isHidden());
  QVERIFY(!s.bar.lastSearchFailed);
  // So the next failure beeps again.
  s.bar.runSearch(0);
  QCOMPARE(s.beeps, 2);
}

void FindBarTest::proposedText() {
  QsciScintilla editor;
  editor.setText(QStringLiteral("Best so_far1: x\nnext line\n"));
  editor.SendScintilla(Sci::SCI_SETSEL, 0UL, 4L);
  QCOMPARE(proposedFindText(&editor), QStringLiteral("Best"));
  // Two lines selected: the word at the caret (after "ne", in "next").
  editor.SendScintilla(Sci::SCI_SETSEL, 5UL, 18L);
  QCOMPARE(proposedFindText(&editor), QStringLiteral("next"));
  struct Case {
    long caret;
    const char* proposed;
  };
  const Case cases[] = {
      {5, "so_far1"}, {9, "so_far1"}, {11, "so_far1"}, {12, ""}, {4, ""}, {15, ""}, {16, "next"}, {0, "Best"},
  };
  for (const Case& c : cases) {
    editor.SendScintilla(Sci::SCI_SETEMPTYSELECTION, static_cast<unsigned long>(c.caret));
    QCOMPARE(proposedFindText(&editor), QString::fromLatin1(c.proposed));
  }
  editor.SendScintilla(Sci::SCI_DOCUMENTEND);
  QCOMPARE(proposedFindText(&editor), QString());
}

void FindBarTest::hideKeepsTextAndTarget() {
  SearchSetup s;
  s.editor.setText(QStringLiteral("one two one"));
  s.bar.showFindBar(&s.editor, QStringLiteral("one"));
  s.bar.hideFindBar();
  QVERIFY(!s.bar.barShown);
  // The find-next shortcut still searches with the last text and editor.
  s.bar.runSearch(0);
  QCOMPARE(caretOf(s.editor), 3L);
  s.bar.runSearch(0);
  QCOMPARE(caretOf(s.editor), 11L);
}

QTEST_MAIN(FindBarTest)
#include "find_bar_test.moc"
