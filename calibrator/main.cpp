// teskor, the chart calibration tool.
#include <QApplication>
#include <QMainWindow>
#include <cstdio>

#include "calibrator/core/CatalogCommands.h"
#include "foundation/Switches.h"
#include "platform/Paths.h"

int main(int argc, char** argv) {
  SetProgramArguments(argc, argv);
  // The unattended catalog scan runs before any window or application
  // object exists, so it needs no display.
  if (WantsUnattendedScan(ProgramArguments())) return RunUnattendedScan(DataDir(), stdout, stderr);

  QApplication app(argc, argv);
  QApplication::setApplicationName("Teskor");
  QMainWindow w;
  w.setObjectName("_Form");
  w.setWindowTitle("Teskor");
  w.show();
  return app.exec();
}
