// The print dialog "Print Chart". (The window exists from start; printing
// comes with its own work.)
#pragma once

#include "plotter/PlotterDialog.h"

class TPRInit : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TPRInit(QWidget* parent = nullptr);
};
