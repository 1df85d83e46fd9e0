#include "plotter/PlotterApp.h"

#include <QApplication>

#include <string>

#include "plotter/dialogs/AuxDialogs.h"
#include "plotter/printing/PrintDialogs.h"
#include "plotter/settings/Setup1.h"
#include "plotter/core/Lifecycle.h"

namespace {

template <class T>
T* Make(std::vector<std::unique_ptr<QWidget>>& list) {
  auto w = std::make_unique<T>();
  T* raw = w.get();
  list.push_back(std::move(w));
  return raw;
}

// The windows shared with the calibration tool know nothing of the
// plotter's start-up record: it is kept here.
template <class T>
T* MakeShared(std::vector<std::unique_ptr<QWidget>>& list, const char* className) {
  NoteLifecycle(std::string("form ") + className);
  return Make<T>(list);
}

}  // namespace

TPlotterProgram::TPlotterProgram() {
  QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  QApplication::setWindowIcon(BoatIcon());
  NoteLifecycle("form T_Form");
  form_ = std::make_unique<T_Form>();
  TFormSet f;
  f.CHInfo = MakeShared<T_CHInfo>(others_, "T_CHInfo");
  f.ChartAvail = MakeShared<TChartAvail>(others_, "TChartAvail");
  f.WptEdFrm = Make<TWptEdFrm>(others_);
  f.Browser = Make<TBrowser>(others_);
  f.SetupFrm = Make<TSetupFrm>(others_);
  f.PSForm = Make<TPSForm>(others_);
  f.PRInit = Make<TPRInit>(others_);
  f.DatFrm = MakeShared<TDatFrm>(others_, "TDatFrm");
  f.GRP_Org = Make<TGRP_Org>(others_);
  f.S_Frm = Make<TS_Frm>(others_);
  f.RLForm = Make<TRLForm>(others_);
  for (const auto& w : others_) f.All.push_back(w.get());
  form_->SetForms(f);
}

TPlotterProgram::~TPlotterProgram() {
  form_->SetForms({});
  while (!others_.empty()) others_.pop_back();
  form_.reset();
}

std::vector<QWidget*> TPlotterProgram::Windows() const {
  std::vector<QWidget*> all{form_.get()};
  for (const auto& w : others_) all.push_back(w.get());
  return all;
}
