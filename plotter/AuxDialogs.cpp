#include "plotter/AuxDialogs.h"

T_CHInfo::T_CHInfo(QWidget* parent) : TPlotterDialog("T_CHInfo", "_CHInfo", "Chart Information", parent) {}

TChartAvail::TChartAvail(QWidget* parent) : TPlotterDialog("TChartAvail", "ChartAvail", "Available Charts", parent) {}

TWptEdFrm::TWptEdFrm(QWidget* parent) : TPlotterDialog("TWptEdFrm", "WptEdFrm", "Edit Position", parent) {}

TBrowser::TBrowser(QWidget* parent) : TPlotterDialog("TBrowser", "Browser", "Browser", parent) {}

TPSForm::TPSForm(QWidget* parent) : TPlotterDialog("TPSForm", "PSForm", "Preferred Charts", parent) {}

TDatFrm::TDatFrm(QWidget* parent) : TPlotterDialog("TDatFrm", "DatFrm", "Add Chart Datum Alias", parent) {}

TGRP_Org::TGRP_Org(QWidget* parent) : TPlotterDialog("TGRP_Org", "GRP_Org", "Manage Chart Groups", parent) {}

TS_Frm::TS_Frm(QWidget* parent) : TPlotterDialog("TS_Frm", "S_Frm", "Chart Search", parent) {}

TRLForm::TRLForm(QWidget* parent) : TPlotterDialog("TRLForm", "RLForm", "Select Route", parent) {}
