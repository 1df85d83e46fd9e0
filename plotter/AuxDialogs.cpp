#include "plotter/AuxDialogs.h"

TWptEdFrm::TWptEdFrm(QWidget* parent) : TPlotterDialog("TWptEdFrm", "WptEdFrm", "Edit Position", parent) {}

TBrowser::TBrowser(QWidget* parent) : TPlotterDialog("TBrowser", "Browser", "Browser", parent) {}

TPSForm::TPSForm(QWidget* parent) : TPlotterDialog("TPSForm", "PSForm", "Preferred Charts", parent) {}

TGRP_Org::TGRP_Org(QWidget* parent) : TPlotterDialog("TGRP_Org", "GRP_Org", "Manage Chart Groups", parent) {}

TS_Frm::TS_Frm(QWidget* parent) : TPlotterDialog("TS_Frm", "S_Frm", "Chart Search", parent) {}

TRLForm::TRLForm(QWidget* parent) : TPlotterDialog("TRLForm", "RLForm", "Select Route", parent) {}
