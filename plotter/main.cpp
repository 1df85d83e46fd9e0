// brismare, the chart plotter.
//
//   brismare [-I<settings file>] [--screenshot <file.png>]
//
// --screenshot writes a picture of the main window once it is on screen and
// then ends the program the orderly way (for checking the layout).
#include <QApplication>
#include <QPixmap>
#include <QSessionManager>
#include <QTimer>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/Switches.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "platform/qt/QtFileDialogs.h"
#include "platform/qt/QtQuestions.h"
#include "plotter/PlotterApp.h"
#include "plotter/SignalBridge.h"

int main(int argc, char** argv) {
  // Our own options are taken out before the settings switch is looked for.
  std::string screenshot;
  std::vector<const char*> params{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--screenshot" && i + 1 < argc)
      screenshot = argv[++i];
    else
      params.push_back(argv[i]);
  }
  SetProgramArguments(static_cast<int>(params.size()), params.data());

  QApplication app(argc, argv);
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
      QTimer::singleShot(500, &form, [&form, &screenshot, endRun] {
        if (!form.grab().save(QString::fromStdString(screenshot), "PNG"))
          std::fprintf(stderr, "brismare: cannot write %s\n", screenshot.c_str());
        endRun();
      });
    }
    // The run may already be over: a termination request can arrive while
    // the first show waits for an answer.
    if (!form.Closed()) rc = app.exec();
  }
  SetFileDialogs(nullptr);
  SetUserQuestions(nullptr);
  return rc;
}
