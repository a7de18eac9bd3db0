// What the main window's tests share: a window started with arguments and
// its settings in a temporary directory, whole-file helpers, and a test
// main that gives the offscreen platform screens like a desktop's.
#pragma once

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "gui/main_window.h"

constexpr const char* kTwoStatements = ZAZOZAV_SAMPLES_DIR "/hr_two_statements.trc";
constexpr const char* kCrlf = ZAZOZAV_SAMPLES_DIR "/update_crlf.trc";

// A main window started with `arguments` and the settings in `dir`.
inline std::unique_ptr<TForm1> start(const QTemporaryDir& dir, std::vector<std::string> arguments) {
  arguments.push_back("workdir=" + dir.path().toStdString() + "/");
  std::vector<const char*> pointers;
  for (const std::string& a : arguments) pointers.push_back(a.c_str());
  return std::make_unique<TForm1>(static_cast<int>(pointers.size()), pointers.data());
}

inline QString settingsFile(const QTemporaryDir& dir) { return dir.filePath("zazozav.ini"); }

inline void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

inline QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline long send(QsciScintilla* editor, unsigned int message, unsigned long w = 0, long l = 0) {
  return editor->SendScintilla(message, w, l);
}

// The offscreen platform's one 800 × 800 screen is smaller than the
// default window. Tests get a 1920 × 1080 screen and, to its right, a
// 1024 × 600 one.
inline void useDesktopScreens(QTemporaryFile& config) {
  if (qgetenv("QT_QPA_PLATFORM") != "offscreen" || !config.open()) return;
  config.write(R"({"screens": [
    {"name": "large", "x": 0, "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96},
    {"name": "small", "x": 1920, "y": 0, "width": 1024, "height": 600, "logicalDpi": 96}]})");
  config.flush();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
}

#define ZAZOZAV_WINDOW_TEST_MAIN(TestClass)    \
  int main(int argc, char** argv) {            \
    QTemporaryFile screens;                    \
    useDesktopScreens(screens);                \
    QApplication app(argc, argv);              \
    TestClass test;                            \
    return QTest::qExec(&test, argc, argv);    \
  }
