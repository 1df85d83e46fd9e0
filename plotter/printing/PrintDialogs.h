// The print options window TPRInit ("Print Chart"): the area to print and
// the items drawn over the chart. Made once and kept for the run, so the
// choices stay as the user left them; they are not saved.
#pragma once

#include <functional>

#include "plotter/PlotterDialog.h"
#include "plotter/core/PrintLayout.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

class TPRInit : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TPRInit(QWidget* parent = nullptr);

  QLabel* PRS_AreaT = nullptr;
  QComboBox* PRS_Area = nullptr;  // "Screen View", "Full Chart"
  QCheckBox* PRS_Image = nullptr;
  QCheckBox* PRS_Route = nullptr;  // three states: names, symbols only, none
  QCheckBox* PRS_Pos = nullptr;    // the same
  QCheckBox* PRS_Track = nullptr;
  QCheckBox* PRS_Outline = nullptr;
  QPushButton* PRS_Ok = nullptr;
  QPushButton* PRS_Cancel = nullptr;
  QPushButton* PRS_PRSU = nullptr;

  // "Printer Setup": the platform print dialog; the window stays open.
  std::function<void()> OnPrinterSetup;

  bool FullChart() const;
  TPrintItems Items() const;

 protected:
  void showEvent(QShowEvent* e) override;
};
