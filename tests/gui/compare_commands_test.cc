// The window's commands while two traces are compared: long file names
// are elided and leave the window's size alone; find, find next and go to
// line act on the side in use; the panes about the one trace step aside.
#include <QComboBox>
#include <QDockWidget>
#include <QInputDialog>
#include <QTimer>

#include "gui/compare_view.h"
#include "gui/elided_label.h"
#include "gui/find_bar.h"
#include "gui/trace_editor.h"
#include "gui/trace_frame.h"
#include "tests/gui/window_test_support.h"

namespace {

using Sci = QsciScintillaBase;

void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* focused = QApplication::focusWidget();
  QVERIFY(focused != nullptr);
  QTest::keyClick(focused, static_cast<Qt::Key>(key), modifiers);
}

int32_t caretLine(QsciScintilla* editor) {
  return static_cast<int32_t>(send(editor, Sci::SCI_LINEFROMPOSITION, send(editor, Sci::SCI_GETCURRENTPOS)));
}

int32_t topLine(QsciScintilla* editor) {
  return static_cast<int32_t>(send(editor, Sci::SCI_DOCLINEFROMVISIBLE, send(editor, Sci::SCI_GETFIRSTVISIBLELINE)));
}

// The sample as A and a copy with one parameter changed as B, both under
// names of 200 characters that differ in their last ones.
struct Comparing {
  QTemporaryDir dir;
  QString stem = QString(190, QChar('n'));
  QString pathA = dir.filePath(stem + "_one.trc");
  QString pathB = dir.filePath(stem + "_two.trc");
  std::unique_ptr<TForm1> window;
  Comparing() {
    const QByteArray a = readFile(kTwoStatements);
    writeFile(pathA, a);
    QByteArray b = a;
    b.replace("cpu_count                           = 8", "cpu_count                           = 16");
    writeFile(pathB, b);
    window = start(dir, {pathA.toStdString()});
    window->setCompareFileChooser([this](QWidget*, const QString&) { return pathB; });
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) window.reset();
  }
  CompareView* view() const { return window->compareView(); }
  bool open() {
    window->frame()->editor()->setFocus();
    press(Qt::Key_D, Qt::ControlModifier);
    return QTest::qWaitFor([this] { return view()->comparison() != nullptr && !view()->busy(); }, 10000);
  }
};

// Runs `act` on the modal dialog that `trigger` opens.
template <typename Dialog, typename Act>
bool onModal(const std::function<void()>& trigger, Act act) {
  bool seen = false;
  QTimer::singleShot(0, [&] {
    if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      seen = true;
      act(dialog);
    }
  });
  trigger();
  return seen;
}

}  // namespace

class CompareCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void longNamesAreElidedAndTheWindowKeepsItsSize() {
    Comparing c;
    QVERIFY(c.window);
    const QSize before = c.window->size();
    QVERIFY(c.open());
    QTest::qWait(50);
    QCOMPARE(c.window->size(), before);
    for (ElidedLabel* title : {c.view()->titleA(), c.view()->titleB()}) {
      QVERIFY(title->text().contains(QStringLiteral("…")));
      QVERIFY(title->width() <= c.window->width());
    }
    // The ends that tell the two apart stay in sight.
    QVERIFY(c.view()->titleA()->text().contains("_one.trc"));
    QVERIFY(c.view()->titleB()->text().contains("_two.trc"));
    QCOMPARE(c.view()->titleA()->toolTip(), c.pathA);
    QCOMPARE(c.view()->titleB()->toolTip(), c.pathB);
    // Nothing wider to store when the window closes.
    press(Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!readFile(settingsFile(c.dir)).contains("Width="));
  }

  void findAndGoToLineActOnTheSideInUse() {
    Comparing c;
    QVERIFY(c.window);
    QVERIFY(c.open());
    TraceEditor* a = c.view()->editorA();
    TraceEditor* b = c.view()->editorB();
    b->setFocus();
    send(b, Sci::SCI_GOTOPOS, 0);
    press(Qt::Key_F, Qt::ControlModifier);
    TFFind* bar = c.view()->findBar();
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->targetEditor.data(), static_cast<QWidget*>(b));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(bar->Edit1));
    QTest::keyClicks(bar->Edit1, "cpu_count");
    press(Qt::Key_Return);
    QCOMPARE(b->selectedText(), QString("cpu_count"));
    const int32_t first = caretLine(b);
    QCOMPARE(send(a, Sci::SCI_GETSELECTIONEMPTY), 1L);
    // F3 from A searches A.
    a->setFocus();
    send(a, Sci::SCI_GOTOPOS, 0);
    press(Qt::Key_F3);
    QCOMPARE(a->selectedText(), QString("cpu_count"));
    QCOMPARE(caretLine(a), first);

    // Ctrl+G proposes the caret's line of the side in use and goes there.
    send(a, Sci::SCI_GOTOLINE, 299);
    int proposed = 0;
    QVERIFY(onModal<QInputDialog>([] { press(Qt::Key_G, Qt::ControlModifier); },
                                  [&proposed](QInputDialog* dialog) {
                                    proposed = dialog->intValue();
                                    dialog->setIntValue(500);
                                    dialog->accept();
                                  }));
    QCOMPARE(proposed, 300);
    QCOMPARE(caretLine(a), 499);
    QCOMPARE(topLine(a), 498);
    // The window's focus; the offscreen platform activates no window again
    // after a dialog.
    QCOMPARE(c.window->focusWidget(), static_cast<QWidget*>(a));
  }

  void thePanesStepAsideWhileComparing() {
    Comparing c;
    QVERIFY(c.window);
    c.window->summaryAction()->trigger();
    QVERIFY(c.window->summaryDock()->isVisible());
    QVERIFY(!c.window->whyDock()->isVisible());
    QVERIFY(c.open());
    QVERIFY(!c.window->summaryDock()->isVisible());
    press(Qt::Key_F9);
    press(Qt::Key_F8);
    QVERIFY(!c.window->summaryDock()->isVisible());
    QVERIFY(!c.window->whyDock()->isVisible());
    press(Qt::Key_Escape);
    QVERIFY(!c.window->comparisonShown());
    QVERIFY(c.window->summaryDock()->isVisible());
    QVERIFY(!c.window->whyDock()->isVisible());
    QVERIFY(c.window->summaryAction()->isEnabled());
  }
};

ZAZOZAV_WINDOW_TEST_MAIN(CompareCommandsTest)
#include "compare_commands_test.moc"
