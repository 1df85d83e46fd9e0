// The setup dialog "Brismare Setup". (The window exists from start; its
// pages come with the settings work.)
#pragma once

#include "plotter/PlotterDialog.h"

class TSetupFrm : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TSetupFrm(QWidget* parent = nullptr);
};
