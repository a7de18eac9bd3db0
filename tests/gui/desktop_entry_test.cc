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

// A data directory holding the type database built from our package file,
// set as the only one before anything reads the database. Empty when the
// database tool is not installed.
QString prepareDataDir(QTemporaryDir& dir) {
  const QString tool = QStandardPaths::findExecutable("update-mime-database");
  if (tool.isEmpty() || !QDir().mkpath(dir.filePath("mime/packages"))) return QString();
  if (!QFile::copy(QString(kGuiDir) + "/zazozav-mime.xml", dir.filePath("mime/packages/zazozav.xml"))) {
    return QString();
  }
  // The freedesktop base types, which ours derives from, come along.
  QFile::copy("/usr/share/mime/packages/freedesktop.org.xml", dir.filePath("mime/packages/freedesktop.org.xml"));
  if (QProcess::execute(tool, {dir.filePath("mime")}) != 0) return QString();
  qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
  qputenv("XDG_DATA_DIRS", dir.path().toLocal8Bit());
  return dir.path();
}

bool prepared = false;

}  // namespace

class DesktopEntryTest : public QObject {
  Q_OBJECT

 private slots:
  void theEntryOpensTraceFilesOnly() {
    if (!prepared) QSKIP("update-mime-database is not installed");
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
  prepared = !prepareDataDir(dir).isEmpty();
  QCoreApplication app(argc, argv);
  DesktopEntryTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "desktop_entry_test.moc"
