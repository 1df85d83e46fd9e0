#include "plotter/Setup1.h"

TSetupFrm::TSetupFrm(QWidget* parent) : TPlotterDialog("TSetupFrm", "SetupFrm", "Brismare Setup", parent) {}
