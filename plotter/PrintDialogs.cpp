#include "plotter/PrintDialogs.h"

TPRInit::TPRInit(QWidget* parent) : TPlotterDialog("TPRInit", "PRInit", "Print Chart", parent) {}
