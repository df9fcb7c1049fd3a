// zaltrim-report FIGURES.csv OUT.png: draws the figures that `zaltrim-host analyze` measured.
// Exit status 0 once the PNG is complete; 1, with a message, if the figures cannot be read or the
// image cannot be written (nothing is left behind then); 2 for a wrong command line.
#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "figures.h"
#include "report_painter.h"

namespace {

const char* const kUsage =
    "usage: zaltrim-report FIGURES.csv OUT.png\n"
    "\n"
    "Draws the figures written by 'zaltrim-host analyze --csv' into a 1600 x 1200 PNG.\n";

// Qt's warnings about the environment (no XDG runtime folder and the like) concern no one here;
// only its errors are passed on.
void report_qt_errors(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "zaltrim-report: %s\n", qPrintable(message));
}

int fail(const std::string& message) {
  std::fprintf(stderr, "zaltrim-report: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) return fail(std::string("cannot read '") + argv[1] + "'");
  zanalysis::Figures figures;
  try {
    figures = zanalysis::read_figures(in);
  } catch (const zanalysis::FiguresError& error) {
    return fail(std::string(argv[1]) + ": " + error.what());
  }

  // Text needs a GUI application for its fonts; the off-screen platform needs no display.
  static char name[] = "zaltrim-report", platform[] = "-platform", offscreen[] = "offscreen";
  static char* qt_argv[] = {name, platform, offscreen, nullptr};
  int qt_argc = 3;
  qInstallMessageHandler(report_qt_errors);
  QGuiApplication application(qt_argc, qt_argv);

  const QImage image = zreport::draw_report(figures);
  QSaveFile file(QString::fromLocal8Bit(argv[2]));
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
    return fail(std::string("cannot write '") + argv[2] + "': " + file.errorString().toStdString());
  return 0;
}
