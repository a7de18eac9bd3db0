// The viewer program: the application object, its default font and the
// main window, which takes the command line.
#include <QApplication>
#include <QFontDatabase>
#include <QProxyStyle>
#include <QScreen>

#include <cstdio>
#include <cstring>

#include "gui/document_loader.h"
#include "gui/main_window.h"
#include "gui/termination_signals.h"

namespace {

// The controls' face: the first candidate that is installed, the first
// one only at 96 dots per inch (it is a bitmap face made for it). When
// none is installed the platform's default face stays, which is one that
// is installed.
void chooseDefaultFont(QApplication& app) {
  const QStringList families = QFontDatabase::families();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const bool at96 = screen != nullptr && qRound(screen->logicalDotsPerInchY()) == 96;
  for (const char* face : {"MS Sans Serif", "Microsoft Sans Serif", "Arial"}) {
    if (!at96 && QLatin1String(face) == QLatin1String("MS Sans Serif")) continue;
    if (!families.contains(face, Qt::CaseInsensitive)) continue;
    QFont font(face);
    font.setPointSize(8);
    app.setFont(font);
    return;
  }
}

// The platform style, with tool-tip hints shown after one second.
class HintDelayStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ToolTip_WakeUpDelay) return 1000;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

int main(int argc, char** argv) {
  // Answered before the toolkit starts, so no display is needed. Only a
  // lone "--version" is taken: beside other arguments it names a trace,
  // as every argument without "=" does.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("zazozav %s\n", ZAZOZAV_VERSION);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  shareWorkerHeaps();
  QApplication app(argc, argv);
  QApplication::setApplicationName(TForm1::kTitle);
  QApplication::setStyle(new HintDelayStyle);  // the application takes ownership
  chooseDefaultFont(app);

  // The arguments as the system passed them, bytes and all (a file name
  // need not be valid UTF-8), without the program path: the toolkit has
  // taken only its own options out of argv.
  TForm1 window(argc - 1, argv + 1);
  // A logout or `kill` ends the program as closing the window does, with
  // the settings saved; quitting also ends a modal dialog's loop.
  installTerminationHandler(&app, [&window] {
    window.close();
    QApplication::quit();
  });
  window.show();
  app.exec();
  return 0;
}
