// The main window's keys as a user presses them: each one goes to the
// widget that has the focus, never straight to an inner widget. The find
// box, the focus after the toolbar's options and the find bar's close
// button, and the shortcuts every desktop program has.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QHelpEvent>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include "gui/find_bar.h"
#include "gui/trace_frame.h"
#include "tests/gui/window_test_support.h"

namespace {

using Sci = QsciScintillaBase;

void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* focused = QApplication::focusWidget();
  QVERIFY(focused != nullptr);
  QTest::keyClick(focused, static_cast<Qt::Key>(key), modifiers);
}

int caretLine(QsciScintilla* editor) {
  return static_cast<int>(send(editor, Sci::SCI_LINEFROMPOSITION, send(editor, Sci::SCI_GETCURRENTPOS)));
}

// A shown, active window on the two-statement sample with the caret in
// "2021" of the first entry line (line 16).
struct Shown {
  QTemporaryDir dir;
  std::unique_ptr<TForm1> window;
  QsciScintilla* editor = nullptr;
  Shown() {
    window = start(dir, {kTwoStatements});
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) return;
    editor = window->frame()->editor();
    editor->setFocus();
    editor->setCursorPosition(15, 5);
  }
  TFFind* bar() const { return window->frame()->findBar(); }
};

// The toolbar's button of the action captioned `text`.
QToolButton* toolButton(TForm1& window, const QString& text) {
  for (QToolButton* button : window.findChildren<QToolButton*>()) {
    if (button->defaultAction() != nullptr && button->defaultAction()->text() == text) return button;
  }
  return nullptr;
}

// Runs `act` on the modal dialog that `trigger` opens, then closes it.
template <class Dialog, class Act>
bool onModal(void (*trigger)(), Act act) {
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

class MainWindowKeysTest : public QObject {
  Q_OBJECT

 private slots:
  // A trace given at start takes the keys at once, the summary pane shown
  // or not: Ctrl+End with no click first goes to the last line.
  void theTextHasTheKeysAtStart_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::newRow("summary hidden") << QByteArray();
    QTest::newRow("summary shown") << QByteArray("[Summary]\nVisible=1\n");
  }
  void theTextHasTheKeysAtStart() {
    QFETCH(QByteArray, settings);
    QTemporaryDir dir;
    writeFile(settingsFile(dir), settings);
    std::unique_ptr<TForm1> window = start(dir, {kTwoStatements});
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QsciScintilla* editor = window->frame()->editor();
    QCOMPARE(QApplication::focusWidget(), editor);
    press(Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(caretLine(editor), static_cast<int>(send(editor, Sci::SCI_GETLINECOUNT)) - 1);
  }
  void enterInTheFindBoxSearchesForward_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
  }
  void enterInTheFindBoxSearchesForward() {
    QFETCH(int, key);
    Shown s;
    QVERIFY(s.editor != nullptr);
    press(Qt::Key_F, Qt::ControlModifier);
    QVERIFY(s.bar()->Edit1->isAncestorOf(QApplication::focusWidget()) ||
            QApplication::focusWidget() == s.bar()->Edit1);
    QCOMPARE(s.bar()->Edit1->currentText(), QString("2021"));
    press(key);
    QVERIFY(s.editor->hasSelectedText());
    QCOMPARE(s.editor->selectedText(), QString("2021"));
    const int first = caretLine(s.editor);
    QVERIFY(first > 15);
    // Consumed: the history did not get a second entry, and again it
    // moves on to the next occurrence.
    QCOMPARE(s.bar()->Edit1->count(), 1);
    press(key);
    QVERIFY(caretLine(s.editor) > first);
    QVERIFY(s.bar()->lbNoMatch->isHidden());
  }

  void typingReplacesTheProposedText() {
    Shown s;
    QVERIFY(s.editor != nullptr);
    press(Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), "SESSION");
    QCOMPARE(s.bar()->Edit1->currentText(), QString("SESSION"));
    press(Qt::Key_Return);
    QCOMPARE(s.editor->selectedText(), QString("SESSION"));
  }

  void escapeAndTheCloseButtonGiveTheKeysBackToTheText_data() {
    QTest::addColumn<bool>("button");
    QTest::newRow("Escape") << false;
    QTest::newRow("x button") << true;
  }
  void escapeAndTheCloseButtonGiveTheKeysBackToTheText() {
    QFETCH(bool, button);
    Shown s;
    QVERIFY(s.editor != nullptr);
    press(Qt::Key_F, Qt::ControlModifier);
    QVERIFY(s.bar()->barShown);
    if (button) {
      QTest::mouseClick(s.bar()->btCloseFind, Qt::LeftButton);
    } else {
      press(Qt::Key_Escape);
    }
    QVERIFY(!s.bar()->barShown);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.editor));
    // A later arrow key moves the caret in the text.
    const int line = caretLine(s.editor);
    press(Qt::Key_Down);
    QCOMPARE(caretLine(s.editor), line + 1);
  }

  void optionsGiveTheKeysBackToTheText_data() {
    QTest::addColumn<int>("key");  // 0: a mouse click on the box
    QTest::addColumn<int>("bit");
    QTest::newRow("Alt+W") << int(Qt::Key_W) << int(OptWrapText);
    QTest::newRow("Alt+R") << int(Qt::Key_R) << int(OptReadOnly);
    QTest::newRow("Alt+Q") << int(Qt::Key_Q) << int(OptFormatFinalQuery);
    QTest::newRow("click") << 0 << int(OptWrapText);
  }
  void optionsGiveTheKeysBackToTheText() {
    QFETCH(int, key);
    QFETCH(int, bit);
    Shown s;
    QVERIFY(s.editor != nullptr);
    const bool was = hasOption(s.window->settings(), bit);
    if (key != 0) press(key, Qt::AltModifier);
    else QTest::mouseClick(s.window->wrapBox(), Qt::LeftButton);
    // At once: a mnemonic does not first show the box pressed for 100 ms.
    QCOMPARE(hasOption(s.window->settings(), bit), !was);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.editor));
    // Space now goes to the text, not to the check box.
    press(Qt::Key_Space);
    QTest::qWait(150);
    QCOMPARE(hasOption(s.window->settings(), bit), !was);
  }

  void f3AndShiftF3SearchWithTheFindText() {
    Shown s;
    QVERIFY(s.editor != nullptr);
    press(Qt::Key_F, Qt::ControlModifier);
    press(Qt::Key_Escape);
    press(Qt::Key_F3);
    const int found = caretLine(s.editor);
    QVERIFY(found > 15);
    QCOMPARE(s.editor->selectedText(), QString("2021"));
    press(Qt::Key_F3);
    QVERIFY(caretLine(s.editor) > found);
    press(Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(caretLine(s.editor), found);
  }

  void ctrlOOpensTheOpenDialog() {
    Shown s;
    QVERIFY(s.editor != nullptr);
    QString folder;
    int width = 0;
    Qt::TextElideMode elide = Qt::ElideRight;
    QHeaderView::ResizeMode dates = QHeaderView::Interactive;
    const bool seen = onModal<QFileDialog>([] { press(Qt::Key_O, Qt::ControlModifier); }, [&](QFileDialog* dialog) {
      // Beside the trace shown, wide, names cut in the middle, dates whole.
      folder = dialog->directory().absolutePath();
      width = dialog->width();
      if (auto* tree = dialog->findChild<QTreeView*>("treeView")) {
        elide = tree->textElideMode();
        dates = tree->header()->sectionResizeMode(3);
      }
      dialog->reject();
    });
    QVERIFY(seen);
    QCOMPARE(folder, QFileInfo(kTwoStatements).absolutePath());
    QVERIFY(width >= 900);
    QCOMPARE(elide, Qt::ElideMiddle);
    QCOMPARE(dates, QHeaderView::ResizeToContents);
  }

  // Ctrl+G asks for a line of the file, as the comparison and the command
  // line number them, and proposes the caret's: with the final queries
  // formatted (a query above the line takes more lines in the editor) it
  // lands on the same text as with them as in the file.
  void ctrlGGoesToALineOfTheFile_data() {
    QTest::addColumn<bool>("formatted");
    QTest::newRow("final queries formatted") << true;
    QTest::newRow("final queries as in the file") << false;
  }
  void ctrlGGoesToALineOfTheFile() {
    QFETCH(bool, formatted);
    Shown s;
    QVERIFY(s.editor != nullptr);
    if (s.window->formatQueryBox()->isChecked() != formatted) s.window->formatQueryBox()->click();
    s.editor->setFocus();
    s.editor->setCursorPosition(15, 5);
    QFile file(kTwoStatements);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> fileLines = file.readAll().split('\n');
    QString label;
    int proposed = 0;
    auto goTo = [&](int line) {
      return onModal<QInputDialog>([] { press(Qt::Key_G, Qt::ControlModifier); },
                                   [&label, &proposed, line](QInputDialog* dialog) {
                                     label = dialog->labelText();
                                     proposed = dialog->intValue();
                                     dialog->setIntValue(line);
                                     dialog->accept();
                                   });
    };
    QVERIFY(goTo(600));
    // The caret's line is proposed.
    QCOMPARE(proposed, 16);
    const int32_t lines = s.window->frame()->fileLineCount();
    QCOMPARE(lines, int32_t(fileLines.size() + 1));
    QCOMPARE(label, QString("Line of the file (1 - %1):").arg(lines) +
                        (formatted ? "\nThe margin numbers the lines shown, formatted final queries included." : ""));
    QCOMPARE(send(s.editor, Sci::SCI_GETLINECOUNT) > lines, formatted);
    const int line = caretLine(s.editor);
    QCOMPARE(s.editor->text(line).trimmed(), QString::fromUtf8(fileLines[599]).trimmed());
    QCOMPARE(send(s.editor, Sci::SCI_GETCURRENTPOS), send(s.editor, Sci::SCI_POSITIONFROMLINE, line));
    // Put on the second row, as choosing a node does.
    QCOMPARE(s.window->frame()->firstVisibleLine(), line - 1);
    // The window's focus; the offscreen platform activates no window again
    // after a dialog.
    QCOMPARE(s.window->focusWidget(), static_cast<QWidget*>(s.editor));
    // Asked again, the caret's line of the file is proposed.
    QApplication::setActiveWindow(s.window.get());
    s.editor->setFocus();
    QVERIFY(goTo(233));
    QCOMPARE(proposed, 600);
    QVERIFY(s.editor->text(caretLine(s.editor)).startsWith("SELECT"));
  }

  void ctrlQQuitsSavingTheSettings() {
    Shown s;
    QVERIFY(s.editor != nullptr);
    s.window->wrapBox()->click();
    press(Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!s.window->isVisible());
    QVERIFY(readFile(settingsFile(s.dir)).contains("Options=7"));
  }

  void theHelpButtonShowsNoHint() {
    Shown s;
    QVERIFY(s.editor != nullptr);
    QToolButton* help = toolButton(*s.window, "acHelp");
    QToolButton* open = toolButton(*s.window, "Open File");
    QVERIFY(help != nullptr && open != nullptr);
    QHelpEvent event(QEvent::ToolTip, QPoint(4, 4), help->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(help, &event);
    QVERIFY(!QToolTip::isVisible() || QToolTip::text().isEmpty());
    // The other tool buttons keep theirs.
    QHelpEvent openHelp(QEvent::ToolTip, QPoint(4, 4), open->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(open, &openHelp);
    QTRY_COMPARE(QToolTip::text(), QString("Open File"));
    QToolTip::hideText();
  }
};

ZAZOZAV_WINDOW_TEST_MAIN(MainWindowKeysTest)
#include "main_window_keys_test.moc"
