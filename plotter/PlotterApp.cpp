#include "plotter/PlotterApp.h"

#include <QApplication>

#include "plotter/AuxDialogs.h"
#include "plotter/PrintDialogs.h"
#include "plotter/Setup1.h"
#include "plotter/core/Lifecycle.h"

namespace {

template <class T>
T* Make(std::vector<std::unique_ptr<QWidget>>& list) {
  auto w = std::make_unique<T>();
  T* raw = w.get();
  list.push_back(std::move(w));
  return raw;
}

}  // namespace

TPlotterProgram::TPlotterProgram() {
  QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  QApplication::setWindowIcon(BoatIcon());
  NoteLifecycle("form T_Form");
  form_ = std::make_unique<T_Form>();
  TFormSet f;
  f.CHInfo = Make<T_CHInfo>(others_);
  f.ChartAvail = Make<TChartAvail>(others_);
  f.WptEdFrm = Make<TWptEdFrm>(others_);
  f.Browser = Make<TBrowser>(others_);
  f.SetupFrm = Make<TSetupFrm>(others_);
  f.PSForm = Make<TPSForm>(others_);
  f.PRInit = Make<TPRInit>(others_);
  f.DatFrm = Make<TDatFrm>(others_);
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
