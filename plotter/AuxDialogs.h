// The smaller windows of the plotter, made once at start. (Each exists with
// its name and caption; its contents come with its own work.)
#pragma once

#include "plotter/PlotterDialog.h"
// Chart information, available charts and the datum alias dialog are shared
// with the calibration tool.
#include "sharedui/ChartAvail.h"
#include "sharedui/ChartInfoDialog.h"
#include "sharedui/DatumAlias.h"

class TChartList;

// "Edit Position": editing one position.
class TWptEdFrm : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TWptEdFrm(QWidget* parent = nullptr);
};

// "Browser": lists of routes and tracks.
class TBrowser : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TBrowser(QWidget* parent = nullptr);
};

// "Preferred Charts": the preferred charts.
class TPSForm : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TPSForm(QWidget* parent = nullptr);
};

// "Manage Chart Groups": chart groups.
class TGRP_Org : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TGRP_Org(QWidget* parent = nullptr);
  // The catalog whose groups the dialog edits (given at the first show of
  // the main window).
  TChartList* Catalog = nullptr;
};

// "Chart Search": searching charts by name.
class TS_Frm : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TS_Frm(QWidget* parent = nullptr);
};

// "Select Route": choosing a route.
class TRLForm : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TRLForm(QWidget* parent = nullptr);
};
