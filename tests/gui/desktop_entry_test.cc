// The desktop entry and the file type installed with it: after the
// desktop's type database is rebuilt with them, trace files (*.trc, any
// case) are of the type the entry opens, and plain text files are not.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr const char* kGuiDir = ZAZOZAV_SAMPLES_DIR "/../gui";

bool toolInstalled = false;
bool databaseBuilt = false;

// Builds the type database from our package file in `dir` and makes it the
// only one, before anything reads the database.
void prepareDataDir(QTemporaryDir& dir) {
  const QString tool = QStandardPaths::findExecutable("update-mime-database");
  toolInstalled = !tool.isEmpty();
  if (!toolInstalled || !QDir().mkpath(dir.filePath("mime/packages"))) return;
  if (!QFile::copy(QString(kGuiDir) + "/zazozav-mime.xml", dir.filePath("mime/packages/zazozav.xml"))) return;
  // The freedesktop base types, which ours derives from, come along.
  QFile::copy("/usr/share/mime/packages/freedesktop.org.xml", dir.filePath("mime/packages/freedesktop.org.xml"));
  if (QProcess::execute(tool, {dir.filePath("mime")}) != 0) return;
  qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
  qputenv("XDG_DATA_DIRS", dir.path().toLocal8Bit());
  databaseBuilt = true;
}

}  // namespace

class DesktopEntryTest : public QObject {
  Q_OBJECT

 private slots:
  void theEntryOpensTraceFilesOnly() {
    if (!toolInstalled) QSKIP("update-mime-database is not installed");
    QVERIFY2(databaseBuilt, "the package file gives no type database");
    QFile entry(QString(kGuiDir) + "/zazozav.desktop");
    QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    QString types;
    for (const QByteArray& line : entry.readAll().split('\n')) {
      if (line.startsWith("MimeType=")) types = QString::fromUtf8(line.mid(9));
    }
    QVERIFY(!types.contains("text/plain"));
    QMimeDatabase database;
    const QMimeType trace = database.mimeTypeForFile("orcl_ora_4711.trc", QMimeDatabase::MatchExtension);
    QCOMPARE(types, trace.name() + ";");
    QCOMPARE(database.mimeTypeForFile("ORCL_ORA_1.TRC", QMimeDatabase::MatchExtension).name(), trace.name());
    QVERIFY(trace.inherits("text/plain"));
    QVERIFY(database.mimeTypeForFile("notes.txt", QMimeDatabase::MatchExtension).name() != trace.name());
  }
};

int main(int argc, char** argv) {
  QTemporaryDir dir;
  prepareDataDir(dir);
  QCoreApplication app(argc, argv);
  DesktopEntryTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "desktop_entry_test.moc"
