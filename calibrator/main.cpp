// teskor, the chart calibration tool.
//
//   teskor [-W<n>] [-O<letters>] [FILE]
//   teskor -SU
//   teskor FILE --screenshot <map.png> [--grid 1-3] [--border] [--page border]
//          [--zoom-out N] [--select N] [--screenshot-info <info.png>]
//   teskor --help | --version
//
// --screenshot writes a picture of the main window with FILE open once it
// is on screen (--grid picks the check grid, --border shows the border line,
// --page the "Border" page, --zoom-out presses "-" N times, --select picks
// point N of the page shown), --screenshot-info one of the chart information
// window, and then the program ends the orderly way (for checking the
// layout).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QSessionManager>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "calibrator/MainForm.h"
#include "calibrator/border/BorderPoints.h"
#include "calibrator/calibration/ImageCommands.h"
#include "calibrator/calibration/RefPoints.h"
#include "calibrator/catalog/core/CatalogCommands.h"
#include "calibrator/mapview/MapView.h"
#include "calibrator/start/core/TeskorStart.h"
#include "foundation/GenUtil.h"
#include "foundation/Switches.h"
#include "platform/FileDialogs.h"
#include "platform/Paths.h"
#include "platform/Questions.h"
#include "platform/qt/QtFileDialogs.h"
#include "platform/qt/QtQuestions.h"
#include "platform/qt/SignalBridge.h"
#include "platform/qt/WindowPicture.h"
#include "sharedui/ChartInfoDialog.h"

namespace {

constexpr const char* kUsage =
    "usage: teskor [-W<n>] [-O<letters>] [FILE]\n"
    "       teskor -SU\n"
    "\n"
    "  (none)      open the calibration tool's window\n"
    "  FILE        open this image or chart at start\n"
    "  -W<n>       the size of the point markers, 1 to 5 (default 3)\n"
    "  -O<letters> optional commands: C \"Save as .CAL File\", D \"Add Directory\",\n"
    "              S the \"Stick\" measuring square, M \".MAP Calibration\"\n"
    "  -SU         build the chart catalog of the data directory without a window, then end\n"
    "  --help      print this and end\n"
    "  --version   print the version and end\n"
    "\n"
    "The data directory is $BRISMARE_DIR, else the program's directory when it is writable\n"
    "and not an installation's, else $XDG_DATA_HOME/brismare (~/.local/share/brismare).\n"
    "Qt's own options (-platform NAME, ...) are taken as well. See teskor(1).\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("teskor %s\n", ProgramVersion().c_str());
      return 0;
    }
  }
  // Our own options are taken out before the switches are looked for.
  std::string screenshot, infoShot, page;
  int grid = 0, zoomOut = 0, select = 0;
  bool border = false;
  std::vector<char*> params{argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--screenshot" && i + 1 < argc)
      screenshot = argv[++i];
    else if (a == "--screenshot-info" && i + 1 < argc)
      infoShot = argv[++i];
    else if (a == "--grid" && i + 1 < argc)
      grid = std::atoi(argv[++i]);
    else if (a == "--zoom-out" && i + 1 < argc)
      zoomOut = std::atoi(argv[++i]);
    else if (a == "--select" && i + 1 < argc)
      select = std::atoi(argv[++i]);
    else if (a == "--page" && i + 1 < argc)
      page = argv[++i];
    else if (a == "--border")
      border = true;
    else
      params.push_back(argv[i]);
  }
  int count = static_cast<int>(params.size());
  params.push_back(nullptr);
  SetProgramArguments(count, params.data());
  // The unattended catalog scan runs before any window or application
  // object exists, so it needs no display.
  if (WantsUnattendedScan(ProgramArguments())) return RunUnattendedScan(DataDir(), stdout, stderr);

  QApplication app(count, params.data());
  QApplication::setApplicationName(QString::fromLatin1(kCalibrationTitle));
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
  // What Qt took for itself (-platform ...) is not ours.
  SetProgramArguments(count, params.data());
  const TTeskorOptions options = ReadStartOptions(ProgramArguments());

  TQtQuestions questions;
  SetUserQuestions(&questions);
  TQtFileDialogs fileDialogs;
  SetFileDialogs(&fileDialogs);
  // Termination signals end the run the orderly way, without questions.
  TSignalBridge signalBridge;
  if (!signalBridge.Install()) std::fprintf(stderr, "teskor: termination signals are not handled\n");

  int rc = 0;
  {
    T_Form form(options, DataDir());
    form.ApplyLanguage();
    auto endRun = [&form] {
      form.CloseOrderly();
      QCoreApplication::exit(0);
      QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    };
    QObject::connect(&signalBridge, &TSignalBridge::TerminationRequested, &form, endRun);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [endRun](QSessionManager&) { endRun(); });
    // The main window ends the run, whatever other windows are open.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&form, &T_Form::FormClosed, &form, [] { QCoreApplication::exit(0); });

    if (form.Settings.WinState)
      form.showMaximized();
    else
      form.show();
    if (!options.StartFile.empty())
      QTimer::singleShot(0, &form, [&form, &options] { form.Image().OpenFile(options.StartFile); });
    if (!screenshot.empty() || !infoShot.empty()) {
      QTimer::singleShot(600, &form, [&form, screenshot, infoShot, page, grid, border, zoomOut, select,
                                    endRun] {
        for (int i = 0; i < zoomOut; ++i) form.Map().ZoomOutClick();
        if (page == "border") form.TabPage->setCurrentWidget(form.BorderPage);
        if (select > 0) {
          if (page == "border")
            form.BorderPoints().Select(select - 1, false);
          else
            form.RefPoints().Select(select - 1, false);
        }
        if (grid >= 1 && grid <= 3) form.ShowGrid->setCurrentIndex(grid);
        if (border) form.BDLineShow->setChecked(true);
        // The scroll area and the layouts settle first.
        QApplication::processEvents();
        if (!screenshot.empty() && !SaveWidgetPicture(form, screenshot))
          std::fprintf(stderr, "teskor: cannot write %s\n", screenshot.c_str());
        if (!infoShot.empty() && form.Cal.IsOpen()) {
          form.CHInfo->ReadOnlyInfo = form.Cal.ReadOnly();
          form.CHInfo->Fill(form.Cal.Info(), form.Cal.FileName());
          form.CHInfo->show();
          QApplication::processEvents();
          if (!SaveWidgetPicture(*form.CHInfo, infoShot))
            std::fprintf(stderr, "teskor: cannot write %s\n", infoShot.c_str());
          form.CHInfo->hide();
        }
        endRun();
      });
    }
    rc = app.exec();
  }
  SetFileDialogs(nullptr);
  SetUserQuestions(nullptr);
  return rc;
}
