// The calibration tool's window in a fresh data directory, with scripted
// questions and file dialogs, and modal windows answered by RunDialog
// (rejected unless a test says otherwise).
#pragma once

#include <QCoreApplication>
#include <QDialog>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "calibrator/MainForm.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"

inline void SettleTeskor() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

class TeskorWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousQuestions_ = SetUserQuestions(&questions_);
    previousDialogs_ = SetFileDialogs(&dialogs_);
  }
  void TearDown() override {
    form_.reset();
    SetFileDialogs(previousDialogs_);
    SetUserQuestions(previousQuestions_);
  }
  T_Form& Start(const TTeskorOptions& options = {}) {
    form_ = std::make_unique<T_Form>(options, dir_.path());
    form_->Dialogs().RunDialog = [](QDialog&) { return int(QDialog::Rejected); };
    form_->show();
    SettleTeskor();
    return *form_;
  }
  // The texts of every message and question so far.
  std::vector<std::string> Asked() const {
    std::vector<std::string> texts;
    for (const auto& q : questions_.asked()) texts.push_back(q.text);
    return texts;
  }

  TTempDir dir_;
  TScriptedQuestions questions_;
  TScriptedFileDialogs dialogs_;
  IUserQuestions* previousQuestions_ = nullptr;
  IFileDialogs* previousDialogs_ = nullptr;
  std::unique_ptr<T_Form> form_;
};
