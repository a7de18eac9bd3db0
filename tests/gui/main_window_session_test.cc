// What the main window keeps between runs and how it meets the desktop:
// recent files, reloading, dropped files, the window fitted to the screen
// and its maximized state, stored values clamped, a long trace name on the
// command line, SIGTERM, and the program icon in the About dialog.
#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <csignal>
#include <cstring>

#include "gui/about_box.h"
#include "gui/multi_line_tree.h"
#include "gui/termination_signals.h"
#include "gui/trace_frame.h"
#include "tests/gui/window_test_support.h"

namespace {

using Sci = QsciScintillaBase;

// Closes the next message box, keeping its text in `text`.
void closeNextMessage(QString& text) {
  QTimer::singleShot(0, [&text] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      text = box->text();
      box->accept();
    }
  });
}

QStringList recentEntries(TForm1& window) {
  QStringList entries;
  emit window.recentMenu()->aboutToShow();
  // The recent files come first; the separator sets the menu's commands apart.
  for (QAction* action : window.recentMenu()->actions()) {
    if (action->isSeparator()) break;
    entries << action->text();
  }
  return entries;
}

// The tree item of the first outline node whose first line is `caption`.
int32_t itemWithCaption(TFMarrow* frame, const char* caption, int32_t from = 0) {
  for (int32_t item = 0; item < frame->tree()->nodeCount(); ++item) {
    const int32_t node = frame->tree()->item(item).userIndex;
    const char* text = node >= 0 ? frame->nodes().caption(node, 1) : nullptr;
    if (node >= from && text != nullptr && std::strcmp(text, caption) == 0) return item;
  }
  return kNoTreeNode;
}

QScreen* screenNamed(const char* name) {
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen->name() == QLatin1String(name)) return screen;
  }
  return nullptr;
}

}  // namespace

class MainWindowSessionTest : public QObject {
  Q_OBJECT

 private slots:
  void recentFilesListAndReopen() {
    QTemporaryDir dir;
    const QString first = dir.filePath("first & one.trc");
    const QString second = dir.filePath("second.trc");
    QVERIFY(QFile::copy(kTwoStatements, first));
    QVERIFY(QFile::copy(kCrlf, second));
    writeFile(settingsFile(dir), "[ZAzozav]\nOptions=0\nTop=100\n");
    {
      auto window = start(dir, {first.toStdString()});
      window->openFile(second);
      QString message;
      closeNextMessage(message);
      window->openFile(dir.filePath("missing.trc"));  // a failed open is no recent file
      QVERIFY(!message.isEmpty());
      QCOMPARE(recentEntries(*window),
               (QStringList{"&1 " + second, "&2 " + QString(first).replace("&", "&&")}));
      // Choosing an entry opens it and moves it up.
      window->recentMenu()->actions()[1]->trigger();
      QCOMPARE(window->windowTitle(), QString("Marrow Viewer - first & one.trc"));
      QCOMPARE(window->currentTrace(), first);
      QCOMPARE(recentEntries(*window).first(), "&1 " + QString(first).replace("&", "&&"));
      window->close();
    }
    QCOMPARE(readFile(settingsFile(dir)),
             ("[Recent Files]\nFile1=" + first + "\nFile2=" + second + "\n\n[ZAzozav]\nTop=100\nOptions=0\n\n")
                 .toLocal8Bit());

    // Next time the list is there; an entry whose file is gone leaves it
    // with a notice, and the others stay.
    QVERIFY(QFile::remove(first));
    auto window = start(dir, {});
    QCOMPARE(recentEntries(*window).size(), 2);
    QString notice;
    closeNextMessage(notice);
    window->recentMenu()->actions()[0]->trigger();
    QCOMPARE(notice, "File " + first + " no longer exists; it was taken off the recent files.");
    QCOMPARE(recentEntries(*window), QStringList{"&1 " + second});
    QCOMPARE(window->windowTitle(), QString("Marrow Viewer"));
  }

  void reloadKeepsTheViewOnTheSameKeyPoint() {
    QTemporaryDir dir;
    const QString path = dir.filePath("growing.trc");
    QVERIFY(QFile::copy(kTwoStatements, path));
    auto window = start(dir, {path.toStdString()});
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    TFMarrow* frame = window->frame();
    frame->editor()->setFocus();
    auto pressF5 = [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5); };
    const int32_t explain = itemWithCaption(frame, "Explain Plan");
    QVERIFY(explain != kNoTreeNode);
    frame->tree()->chooseNode(explain);
    const int32_t shaded = frame->highlightStart();
    send(frame->editor(), Sci::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(shaded + 3));
    send(frame->editor(), Sci::SCI_SETEMPTYSELECTION,
         static_cast<unsigned long>(send(frame->editor(), Sci::SCI_POSITIONFROMLINE, shaded + 5) + 2));
    const int32_t top = frame->firstVisibleLine();
    const int32_t nodes = frame->nodes().count();

    // The trace grows: another statement is appended to it.
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write(readFile(kTwoStatements));
    file.close();
    pressF5();
    QVERIFY(frame->nodes().count() > nodes);
    QCOMPARE(frame->firstVisibleLine(), top);
    QCOMPARE(frame->highlightStart(), shaded);
    const long caret = send(frame->editor(), Sci::SCI_GETCURRENTPOS);
    QCOMPARE(send(frame->editor(), Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(caret)), long(shaded + 5));
    QCOMPARE(caret - send(frame->editor(), Sci::SCI_POSITIONFROMLINE, shaded + 5), 2L);
    const QModelIndexList chosen = frame->tree()->selectionModel()->selectedIndexes();
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(frame->tree()->item(frame->tree()->nodeOf(chosen.first())).userIndex,
             frame->tree()->item(explain).userIndex);

    // Cut down to its head, the key point is gone: the line number stays
    // within the shorter text.
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(readFile(kTwoStatements).left(2000));
    file.close();
    pressF5();
    QVERIFY(frame->firstVisibleLine() < frame->lineCount());
    QVERIFY(frame->tree()->selectionModel()->selectedIndexes().isEmpty());

    // A file that is gone keeps the trace shown and says why.
    QVERIFY(QFile::remove(path));
    QString message;
    closeNextMessage(message);
    pressF5();
    QCOMPARE(message, "Cannot open file " + path);
    QCOMPARE(window->windowTitle(), QString("Marrow Viewer - growing.trc"));
  }

  void aFileDroppedOnAnyPartOfTheWindowOpens_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("editor") << "editor";
    QTest::newRow("outline") << "tree";
    QTest::newRow("find box") << "find";
  }
  void aFileDroppedOnAnyPartOfTheWindowOpens() {
    QFETCH(QString, target);
    QTemporaryDir dir;
    auto window = start(dir, {kCrlf});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QWidget* widget = window->frame()->editor()->viewport();
    if (target == "tree") widget = window->frame()->tree()->viewport();
    if (target == "find") widget = window->frame()->findChild<QLineEdit*>();
    QVERIFY(widget != nullptr);
    // As a file manager offers it: the address, and as text as well.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(kTwoStatements)});
    mime.setText(QUrl::fromLocalFile(kTwoStatements).toString());
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    QCOMPARE(window->windowTitle(), QString("Marrow Viewer - hr_two_statements.trc"));
  }

  void hugeStoredValuesAreClampedAndNotSavedBack() {
    QTemporaryDir dir;
    writeFile(settingsFile(dir),
              "[ZAzozav]\nWidth=2147483647\nHeight=2147483647\nSplitterPos=2147483647\nFontSize=2147483647\n");
    {
      auto window = start(dir, {kTwoStatements});
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window.get()));
      const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
      QVERIFY(area.contains(window->frameGeometry()));
      QVERIFY(window->width() > area.width() / 2);
      QVERIFY(window->frame()->tree()->width() < window->width());
      QCOMPARE(window->frame()->editorFontHeight(), kMaxFontHeight);
      window->close();
    }
    const QByteArray saved = readFile(settingsFile(dir));
    QVERIFY(!saved.contains("2147483647"));
    QVERIFY(saved.contains("FontSize=288"));
  }

  void theDefaultWindowFitsASmallScreen() {
    QScreen* small = screenNamed("small");
    if (small == nullptr) QSKIP("needs the test's second screen");
    QTemporaryDir dir;
    {
      auto window = start(dir, {});
      window->fitToArea(small->availableGeometry());
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window.get()));
      QVERIFY(small->availableGeometry().contains(window->frameGeometry()));
      QVERIFY(window->width() < defaultWidth);
      QVERIFY(window->height() < defaultHeight);
      // The fitted default is no size of the user's: nothing to store.
      QCOMPARE(window->settings().Width, NotSet);
      QCOMPARE(window->settings().Height, NotSet);
      window->close();
    }
    QVERIFY(!QFile::exists(settingsFile(dir)));
  }

  void aMaximizedWindowStartsMaximizedAgain() {
    QTemporaryDir dir;
    {
      auto window = start(dir, {});
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window.get()));
      window->showMaximized();
      QTRY_VERIFY(window->isMaximized());
      QCOMPARE(window->settings().Width, NotSet);  // the screen's size is not the window's
      window->close();
    }
    QCOMPARE(readFile(settingsFile(dir)), QByteArray("[Window]\nMaximized=1\n\n"));
    auto window = start(dir, {});
    QVERIFY(window->windowState() & Qt::WindowMaximized);
    window->show();
    QTRY_VERIFY(window->isMaximized());
    window->showNormal();
    QTRY_VERIFY(!window->isMaximized());
    QCOMPARE(window->size(), QSize(defaultWidth, defaultHeight));
    window->close();
    QVERIFY(!readFile(settingsFile(dir)).contains("Window"));
  }

  void aLongTraceNameOnTheCommandLineIsOpenedWhole() {
    QTemporaryDir dir;
    const QString deep = dir.filePath(QString(150, QChar('d')) + "/" + QString(150, QChar('e')));
    QVERIFY(QDir().mkpath(deep));
    const QString path = deep + "/long.trc";
    QVERIFY(QFile::copy(kTwoStatements, path));
    QVERIFY(path.toLocal8Bit().size() > 300);
    auto window = start(dir, {path.toStdString()});
    QCOMPARE(window->windowTitle(), QString("Marrow Viewer - long.trc"));
    QVERIFY(window->frame()->tree()->nodeCount() > 0);
  }

  void terminationSavesTheSettingsAsClosingDoes() {
    QTemporaryDir dir;
    auto window = start(dir, {});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    TForm1* shown = window.get();
    QVERIFY(installTerminationHandler(shown, [shown] { shown->close(); }));
    window->wrapBox()->click();
    QVERIFY(!QFile::exists(settingsFile(dir)));
    std::raise(SIGTERM);
    QTRY_VERIFY(readFile(settingsFile(dir)).contains("Options=7"));
    QVERIFY(!window->isVisible());
  }

  void theAboutDialogShowsTheProgramIcon() {
    QTemporaryDir dir;
    auto window = start(dir, {});
    TAboutBox box(window.get());
    QVERIFY(!box.ProgramIcon->pixmap().isNull());
    QCOMPARE(box.ProgramIcon->size(), QSize(32, 32));
  }
};

ZAZOZAV_WINDOW_TEST_MAIN(MainWindowSessionTest)
#include "main_window_session_test.moc"
