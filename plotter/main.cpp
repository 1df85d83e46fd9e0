// brismare, the chart plotter.
//
//   brismare [-I<settings file>] [--screenshot <file.png>] [--shade <1-4>]
//            [--feed <file>] [--activate-route]
//            [--screenshots <dir> [--screenshot-every <s>] [--screenshot-count <n>]]
//   brismare --help | --version
//
// --screenshot writes a picture of the main window once it is on screen and
// then ends the program the orderly way (for checking the layout); --shade
// sets the night shading level first, and --feed hands the NMEA sentences
// of a file to the parser, so the dashboard shows values; --activate-route
// then activates the route (as "Activate Route" would). --screenshots
// lets the program run and writes a picture every few seconds (5 unless
// --screenshot-every says otherwise) as <dir>/plotter-01.png, -02, ...
// (the directory is made when missing; each name goes to standard output),
// and ends the program the orderly way after the last (6 unless
// --screenshot-count says otherwise): the plotter at work, without a
// display.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStyleFactory>
#include <QSessionManager>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/GenUtil.h"
#include "foundation/Switches.h"
#include "instruments/NMEA.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "platform/qt/QtFileDialogs.h"
#include "platform/qt/QtQuestions.h"
#include "platform/qt/WindowPicture.h"
#include "plotter/PlotterApp.h"
#include "plotter/SignalBridge.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/dashboard/DashboardColumn.h"

namespace {

constexpr const char* kUsage =
    "usage: brismare [-I<settings file>] [options]\n"
    "\n"
    "  -I FILE                 the settings file (default: BRISMARE_2.INI in the data directory)\n"
    "  --screenshot FILE.png   write a picture of the main window once it is shown, then end\n"
    "  --shade LEVEL           with --screenshot: the night shading level first (1 to 4)\n"
    "  --feed FILE             with --screenshot: hand the NMEA sentences of FILE to the parser first\n"
    "  --activate-route        with --screenshot: activate the route first\n"
    "  --screenshots DIR       write a picture every few seconds as DIR/plotter-01.png, ...,\n"
    "                          then end after the last\n"
    "  --screenshot-every S    with --screenshots: seconds between pictures (default 5)\n"
    "  --screenshot-count N    with --screenshots: the number of pictures (default 6)\n"
    "  --help                  print this and end\n"
    "  --version               print the version and end\n"
    "\n"
    "The data directory is $BRISMARE_DIR, else the program's directory when it is writable\n"
    "and not an installation's, else $XDG_DATA_HOME/brismare (~/.local/share/brismare).\n"
    "Qt's own options (-platform NAME, ...) are taken as well. See brismare(1).\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("brismare %s\n", ProgramVersion().c_str());
      return 0;
    }
  }
  // Our own options are taken out before the settings switch is looked for.
  std::string screenshot;
  std::string feed;
  std::string shotDir;
  int shotEvery = 5;
  int shotCount = 6;
  int shade = 1;
  bool activateRoute = false;
  std::vector<const char*> params{argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--screenshot" && i + 1 < argc)
      screenshot = argv[++i];
    else if (a == "--feed" && i + 1 < argc)
      feed = argv[++i];
    else if (a == "--activate-route")
      activateRoute = true;
    else if (a == "--shade" && i + 1 < argc)
      shade = std::atoi(argv[++i]);
    else if (a == "--screenshots" && i + 1 < argc)
      shotDir = argv[++i];
    else if (a == "--screenshot-every" && i + 1 < argc)
      shotEvery = std::clamp(std::atoi(argv[++i]), 1, 3600);
    else if (a == "--screenshot-count" && i + 1 < argc)
      shotCount = std::clamp(std::atoi(argv[++i]), 1, 1000);
    else
      params.push_back(argv[i]);
  }
  SetProgramArguments(static_cast<int>(params.size()), params.data());

  QApplication app(argc, argv);
  // A style that draws with the application palette, so that night shading
  // reaches every control.
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
  // The main window ends the run, whatever other windows are open.
  app.setQuitOnLastWindowClosed(false);

  TQtQuestions questions;
  SetUserQuestions(&questions);
  TQtFileDialogs fileDialogs;
  SetFileDialogs(&fileDialogs);

  // Termination signals end the run like "Exit", without questions.
  TSignalBridge signalBridge;
  if (!signalBridge.Install()) std::fprintf(stderr, "brismare: termination signals are not handled\n");

  int rc = 0;
  {
    TPlotterProgram program;
    T_Form& form = program.MainForm();
    auto endLoop = [] {
      QCoreApplication::exit(0);
      // Asked for before the message loop runs (while a box of the first
      // show waits for an answer, say), the request must still end it.
      QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    };
    auto endRun = [&form, endLoop] {
      form.CloseOrderly();
      endLoop();
    };
    QObject::connect(&signalBridge, &TSignalBridge::TerminationRequested, &form, endRun);
    QObject::connect(&form, &T_Form::FormClosed, &form, endLoop);
    // Logging out: save and go, nobody is there to answer questions.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [endRun](QSessionManager&) { endRun(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.CloseOrderly(); });

    form.show();
    if (!screenshot.empty()) {
      QTimer::singleShot(500, &form, [&form, &screenshot, &feed, shade, activateRoute, endRun] {
        if (!feed.empty() && form.SimBuffer) {
          QFile f(QString::fromStdString(feed));
          if (f.open(QIODevice::ReadOnly)) form.SimBuffer->FeedText(f.readAll().toStdString());
          form.Dashboard().RefreshGpsBox();
          form.Dashboard().UpdateInstrumentBoxes();
          form.Chart().UpdateView();  // the boat where the fed sentences put it
        }
        if (activateRoute) form.RteActBtnClick();
        if (shade >= 1 && shade <= 4) form.SetShadeLevel(shade - 1);
        form.UpdateStatus();
        if (!SaveWidgetPicture(form, screenshot))
          std::fprintf(stderr, "brismare: cannot write %s\n", screenshot.c_str());
        endRun();
      });
    }
    if (!shotDir.empty()) {
      QDir().mkpath(QString::fromStdString(shotDir));
      auto* shots = new QTimer(&form);
      shots->setInterval(shotEvery * 1000);
      auto shoot = [&form, shots, shotDir, shotCount, endRun, taken = 0]() mutable {
        ++taken;
        char name[32];
        std::snprintf(name, sizeof name, "/plotter-%02d.png", taken);
        const std::string file = shotDir + name;
        if (SaveWidgetPicture(form, file))
          std::printf("%s\n", file.c_str());
        else
          std::fprintf(stderr, "brismare: cannot write %s\n", file.c_str());
        std::fflush(stdout);
        if (taken >= shotCount) {
          shots->stop();
          endRun();
        }
      };
      QObject::connect(shots, &QTimer::timeout, &form, shoot);
      shots->start();
    }
    // The run may already be over: a termination request can arrive while
    // the first show waits for an answer.
    if (!form.Closed()) rc = app.exec();
  }
  SetFileDialogs(nullptr);
  SetUserQuestions(nullptr);
  return rc;
}
