// The main window: start-up from the command line, the caption, a failed
// Open, the check boxes and font shortcuts, and the settings saved on
// close.
#include <Qsci/qsciscintilla.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/main_window.h"
#include "gui/multi_line_tree.h"
#include "gui/trace_document.h"
#include "gui/trace_frame.h"
#include "gui/compare_view.h"
#include "tests/gui/window_test_support.h"

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // What the viewer cannot show well is told in the status area, never an
  // unexplained empty view: a folder named at start, a binary file, a
  // compared file without a traced statement; a trace clears the notice.
  void openingSomethingElseIsToldInTheStatusArea() {
    QTemporaryDir dir;
    auto window = start(dir, {dir.path().toStdString()});
    QCOMPARE(window->notice(), dir.path() + " is a folder, not a trace file");
    QCOMPARE(window->windowTitle(), QString("Marrow Viewer"));
    const QString binary = dir.filePath("core.bin");
    writeFile(binary, QByteArray("ELF\0\1\2 and more", 15));
    window->openFile(binary);
    QCOMPARE(window->notice(),
             QString("core.bin: a binary file (NUL bytes in its first 4 KiB); no optimizer trace found in this file"));
    window->openFile(kTwoStatements);
    QCOMPARE(window->notice(), QString());
    const QString notes = dir.filePath("notes.trc");
    writeFile(notes, "just some notes\n");
    window->compareWith(notes);
    QVERIFY(QTest::qWaitFor([&] { return window->compareView()->comparison() != nullptr; }, 10000));
    QCOMPARE(window->notice(), QString("B: no optimizer trace found in this file"));
    window->closeComparison();
    QCOMPARE(window->notice(), QString());
  }

  void commandLineLoadsTheTraceAndSetsTheCaption() {
    QTemporaryDir dir;
    auto window = start(dir, {kTwoStatements});
    QCOMPARE(window->windowTitle(), QString("Marrow Viewer - hr_two_statements.trc"));
    QVERIFY(window->frame()->tree()->nodeCount() > 0);
    QVERIFY(send(window->frame()->editor(), QsciScintillaBase::SCI_GETLENGTH) > 0);
  }

  void noTraceAndAFailingOneKeepTheEmptyView_data() {
    QTest::addColumn<QString>("argument");
    QTest::newRow("none") << QString();
    QTest::newRow("missing file") << "/nonexistent/x.trc";
    QTest::newRow("a directory") << "/tmp";
  }
  void noTraceAndAFailingOneKeepTheEmptyView() {
    QFETCH(QString, argument);
    QTemporaryDir dir;
    std::vector<std::string> arguments;
    if (!argument.isEmpty()) arguments.push_back(argument.toStdString());
    auto window = start(dir, arguments);
    QCOMPARE(window->windowTitle(), QString("Marrow Viewer"));
    QCOMPARE(window->frame()->tree()->nodeCount(), 0);
  }

  void defaultSizeAndCheckBoxes() {
    QTemporaryDir dir;
    auto window = start(dir, {});
    QCOMPARE(window->size(), QSize(1194, 806));
    QVERIFY(!window->wrapBox()->isChecked());
    QVERIFY(window->readOnlyBox()->isChecked());
    QVERIFY(window->formatQueryBox()->isChecked());
    QCOMPARE(window->wrapBox()->text(), QString("&Wrap Text"));
    QCOMPARE(window->readOnlyBox()->toolTip(), QString("Uncheck Read only box to edit the content"));
    QCOMPARE(window->formatQueryBox()->text(), QString("Format Final &Query"));
  }

  void storedOptionsApplyWithoutBeingStoredAgain() {
    QTemporaryDir dir;
    writeFile(settingsFile(dir), "[ZAzozav]\nOptions=0\nWidth=900\n");
    auto window = start(dir, {kTwoStatements});
    QVERIFY(!window->wrapBox()->isChecked());
    QVERIFY(!window->readOnlyBox()->isChecked());
    QVERIFY(!window->formatQueryBox()->isChecked());
    QVERIFY(!window->frame()->editor()->isReadOnly());
    QCOMPARE(window->settings().Options, 0);
    QCOMPARE(window->width(), 900);
    QCOMPARE(window->settings().Width, 900);
  }

  void failedOpenShowsItsMessageAndKeepsTheTrace_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << "/nonexistent/dir/gone.trc";
    QTest::newRow("directory") << "/tmp";
  }
  void failedOpenShowsItsMessageAndKeepsTheTrace() {
    QFETCH(QString, path);
    QTemporaryDir dir;
    auto window = start(dir, {kTwoStatements});
    const QString caption = window->windowTitle();
    const long length = send(window->frame()->editor(), QsciScintillaBase::SCI_GETLENGTH);
    const int32_t nodes = window->frame()->tree()->nodeCount();

    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      box->accept();
    });
    window->openFile(path);
    QCOMPARE(title, QString("Information"));
    QCOMPARE(text, QString("Cannot open file ") + path);
    QCOMPARE(icon, QMessageBox::Information);
    QCOMPARE(window->windowTitle(), caption);
    QCOMPARE(send(window->frame()->editor(), QsciScintillaBase::SCI_GETLENGTH), length);
    QCOMPARE(window->frame()->tree()->nodeCount(), nodes);
  }

  void tooLongPathIsNotCutIntoAnotherFile() {
    // A trace whose path is exactly what the 259-byte buffer would keep of
    // a longer path: opening the longer one must not open this one.
    QTemporaryDir dir;
    const QString prefix = dir.path() + "/";
    const QString existing = prefix + QString(259 - prefix.size(), QChar('b'));
    QVERIFY(QFile::copy(kTwoStatements, existing));
    auto window = start(dir, {});
    QString text;
    QTimer::singleShot(0, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        text = box->text();
        box->accept();
      }
    });
    const QString longer = existing + "c.trc";
    window->openFile(longer);
    QCOMPARE(text, "Cannot open file " + longer);
    QCOMPARE(window->windowTitle(), QString("Marrow Viewer"));
    QCOMPARE(window->paths().traceFileName[0], '\0');

    // A long path that exists opens whole.
    const QString deep = prefix + QString(200, QChar('d'));
    QVERIFY(QDir().mkpath(deep));
    const QString deepFile = deep + "/" + QString(100, QChar('e')) + ".trc";
    QVERIFY(QFile::copy(kTwoStatements, deepFile));
    window->openFile(deepFile);
    QCOMPARE(window->windowTitle(), "Marrow Viewer - " + QString(100, QChar('e')) + ".trc");
  }

  void openReplacesTheTraceAndCaption() {
    QTemporaryDir dir;
    auto window = start(dir, {kTwoStatements});
    window->openFile(kCrlf);
    QCOMPARE(window->windowTitle(), QString("Marrow Viewer - update_crlf.trc"));
  }

  // A large trace's worker reads the text again from the file as it
  // builds the editor's document. Rewritten meanwhile, the file is loaded
  // anew and shows as it is now; removed, it still reads (through the
  // descriptor held) and shows as read. Never a mix of the two, never a
  // part that reads as zeros.
  void fileChangedOrGoneWhileTheDocumentIsBuiltShowsOneWholeTrace_data() {
    QTest::addColumn<bool>("removed");
    QTest::newRow("rewritten") << false;
    QTest::newRow("removed") << true;
  }
  void fileChangedOrGoneWhileTheDocumentIsBuiltShowsOneWholeTrace() {
    QFETCH(bool, removed);
    QTemporaryDir dir;
    const QByteArray one = readFile(kTwoStatements);
    QByteArray bytes;
    while (bytes.size() < (20 << 20)) bytes += one;
    const QString path = dir.filePath("big.trc");
    writeFile(path, bytes);
    // The worker waits, the kept text given back, until the file changed.
    static std::atomic<bool> changed;
    changed = false;
    TraceDocumentBuild::roomHook = [](int64_t) {
      while (!changed.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return true;
    };
    auto window = start(dir, {path.toStdString()});
    TFMarrow* frame = window->frame();
    QVERIFY(frame->textPending());
    QByteArray now = bytes;
    if (removed) {
      QVERIFY(QFile::remove(path));
    } else {
      now.replace(now.size() - 8, 4, "@~@~");
      writeFile(path, now);
    }
    changed = true;
    const bool swapped = QTest::qWaitFor([&] { return !frame->textPending(); }, 10000);
    TraceDocumentBuild::roomHook = nullptr;
    QVERIFY(swapped);
    // A reload, if any, comes from the event loop and builds again.
    QTest::qWait(50);
    frame->completeText();
    auto shownBy = [](TFMarrow* f) {
      QsciScintilla* editor = f->editor();
      return QByteArray(reinterpret_cast<const char*>(send(editor, QsciScintillaBase::SCI_GETCHARACTERPOINTER)),
                        send(editor, QsciScintillaBase::SCI_GETLENGTH));
    };
    // What a window opened on the bytes expected shows.
    const QString copy = dir.filePath("copy.trc");
    writeFile(copy, removed ? bytes : now);
    QTemporaryDir otherDir;
    auto other = start(otherDir, {copy.toStdString()});
    other->frame()->completeText();
    const QByteArray expected = shownBy(other->frame());
    QVERIFY(!expected.contains('\0'));
    QCOMPARE(expected.contains("@~@~"), !removed);
    QVERIFY(shownBy(frame) == expected);
    QVERIFY(!window->currentTrace().isEmpty());
  }

  void droppingAFileOpensIt() {
    QTemporaryDir dir;
    auto window = start(dir, {});
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(kTwoStatements)});
    // The drop reaches the window that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    QCOMPARE(window->windowTitle(), QString("Marrow Viewer - hr_two_statements.trc"));
  }

  // A name that is not valid UTF-8 reaches open(2) as its bytes from the
  // command line, a drop and the recent files.
  void fileNamesThatAreNotUtf8OpenAsTheirBytes() {
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.path()) + "/caf\xe9.trc";
    {
      FILE* f = std::fopen(path.constData(), "wb");
      QVERIFY(f != nullptr);
      const QByteArray bytes = readFile(kTwoStatements);
      QCOMPARE(std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), f), static_cast<size_t>(bytes.size()));
      std::fclose(f);
    }
    auto opened = [&path](const TForm1& window) {
      return window.currentTracePath() == path && window.frame()->tree()->nodeCount() > 0;
    };
    QVERIFY(opened(*start(dir, {path.toStdString()})));

    auto window = start(dir, {});
    QMimeData mime;
    mime.setUrls({QUrl::fromEncoded("file://" + path.toPercentEncoding("/"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    QVERIFY(opened(*window));

    auto again = start(dir, {});
    again->openRecentFile(path);
    QVERIFY(opened(*again));
    // QTemporaryDir removes names it can hold as text only.
    QCOMPARE(std::remove(path.constData()), 0);
  }

  void checkBoxesSwitchTheEditorAndTheirBits() {
    QTemporaryDir dir;
    auto window = start(dir, {kTwoStatements});
    QsciScintilla* editor = window->frame()->editor();
    window->wrapBox()->click();
    QCOMPARE(send(editor, QsciScintillaBase::SCI_GETWRAPMODE), long(QsciScintillaBase::SC_WRAP_WORD));
    QCOMPARE(window->settings().Options, 7);
    window->readOnlyBox()->click();
    QVERIFY(!editor->isReadOnly());
    QCOMPARE(window->settings().Options, 5);
    window->formatQueryBox()->click();
    QCOMPARE(window->settings().Options, 1);
    window->wrapBox()->click();
    QCOMPARE(send(editor, QsciScintillaBase::SCI_GETWRAPMODE), 0L);
    QCOMPARE(window->settings().Options, 0);
  }

  void fontShortcutsStepTheFont_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<QList<int>>("heights");
    QTest::newRow("from default") << -1 << QList<int>{15, 17, 19, 21, 23};
    QTest::newRow("from 10") << 10 << QList<int>{11, 12, 13, 15, 17};
  }
  void fontShortcutsStepTheFont() {
    QFETCH(int, stored);
    QFETCH(QList<int>, heights);
    QTemporaryDir dir;
    if (stored != -1) writeFile(settingsFile(dir), "[ZAzozav]\nFontSize=" + QByteArray::number(stored) + "\n");
    auto window = start(dir, {});
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    for (int height : heights) {
      QTest::keyClick(window->frame()->editor(), Qt::Key_Equal, Qt::ControlModifier);
      QCOMPARE(window->frame()->editorFontHeight(), height);
    }
    QCOMPARE(window->settings().FontSize, heights.last() == 13 ? -1 : heights.last());
  }

  void fontDecreaseStopsAtTen() {
    QTemporaryDir dir;
    writeFile(settingsFile(dir), "[ZAzozav]\nFontSize=10\n");
    auto window = start(dir, {});
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window->frame()->editor(), Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(window->frame()->editorFontHeight(), 10);
    QCOMPARE(window->settings().FontSize, 10);
    // The shortcut works while the editor is editable too.
    window->readOnlyBox()->click();
    QTest::keyClick(window->frame()->editor(), Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(window->frame()->editorFontHeight(), 11);
  }

  void f1OpensTheAboutBoxModally() {
    QTemporaryDir dir;
    auto window = start(dir, {});
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QString shown;
    bool modal = false;
    QTimer::singleShot(0, [&] {
      QWidget* box = QApplication::activeModalWidget();
      if (box == nullptr) return;
      shown = box->metaObject()->className();
      modal = box->isModal();
      box->close();
    });
    QTest::keyClick(window->frame()->editor(), Qt::Key_F1);
    QCOMPARE(shown, QString("TAboutBox"));
    QVERIFY(modal);
  }

  void findShortcutsSearchTheEditor() {
    QTemporaryDir dir;
    auto window = start(dir, {kTwoStatements});
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QsciScintilla* editor = window->frame()->editor();
    // Ctrl+N before the find bar was ever opened searches nothing.
    QTest::keyClick(editor, Qt::Key_N, Qt::ControlModifier);
    QVERIFY(!editor->hasSelectedText());
    // Ctrl+F proposes the word at the caret; Ctrl+N finds its next place.
    editor->setCursorPosition(15, 5);  // inside "2021" of the first entry line
    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_N, Qt::ControlModifier);
    QVERIFY(editor->hasSelectedText());
    int line = 0, index = 0;
    editor->getCursorPosition(&line, &index);
    QVERIFY(line > 15);
    const int found = line;
    QTest::keyClick(editor, Qt::Key_P, Qt::ControlModifier);
    editor->getCursorPosition(&line, &index);
    QVERIFY(line < found);
  }

  void settingsAreWrittenOnCloseOnlyWhenTheyDiffer() {
    QTemporaryDir dir;
    {
      auto window = start(dir, {});
      window->show();
      window->close();
    }
    QVERIFY(!QFile::exists(settingsFile(dir)));
    {
      auto window = start(dir, {});
      window->show();
      window->wrapBox()->click();
      window->close();
    }
    QVERIFY(readFile(settingsFile(dir)).contains("Options=7"));
    {
      // Back to the defaults: the file stays, without the section's keys.
      auto window = start(dir, {});
      QVERIFY(window->wrapBox()->isChecked());
      window->show();
      window->wrapBox()->click();
      window->close();
    }
    QVERIFY(QFile::exists(settingsFile(dir)));
    QVERIFY(!readFile(settingsFile(dir)).contains("Options"));
  }

  void windowSizeIsStoredUnlessDefault() {
    QTemporaryDir dir;
    auto window = start(dir, {});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->resize(1000, 700);
    QCOMPARE(window->settings().Width, 1000);
    QCOMPARE(window->settings().Height, 700);
    window->resize(1194, 806);
    QCOMPARE(window->settings().Width, NotSet);
    QCOMPARE(window->settings().Height, NotSet);
  }

  void unwritableSettingsPlaceIsSkippedOnClose() {
    std::vector<std::string> arguments{"workdir=/nonexistent/zazozav-settings/"};
    std::vector<const char*> pointers{arguments[0].c_str()};
    TForm1 window(1, pointers.data());
    window.show();
    window.wrapBox()->click();
    QVERIFY(window.close());
    QVERIFY(!QDir("/nonexistent/zazozav-settings").exists());
  }
};

ZAZOZAV_WINDOW_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
