// A plotter started for one test: a fresh data directory, a settings file
// named with "-I", scripted answers to every question, and a record of what
// the window creates and frees.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/Questions.h"
#include "platform/ScopedEnv.h"
#include "foundation/Switches.h"
#include "plotter/PlotterApp.h"
#include "plotter/core/Lifecycle.h"
#include "plotter/ais/AisView.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/dashboard/DashboardColumn.h"
#include "plotter/dashboard/NightShade.h"
#include "plotter/dialogs/DialogCommands.h"
#include "plotter/dialogs/NmeaMonitors.h"
#include "plotter/gps/GpsTransfer.h"
#include "plotter/output/NmeaOutput.h"
#include "plotter/ports/PortLinks.h"
#include "plotter/positions/PositionCommands.h"
#include "plotter/printing/ChartPrinting.h"
#include "plotter/route/RouteEditor.h"
#include "plotter/route/RouteExchange.h"
#include "plotter/route/RouteGuidanceView.h"
#include "plotter/settings/ProgramState.h"
#include "plotter/symbols/ChartSymbols.h"
#include "plotter/track/TrackFiles.h"
#include "plotter/track/TrackView.h"

// A mouse event on a widget as the window system delivers it: a press or
// release of `button` with `buttons` held, or a move with them, with the
// keyboard modifiers held.
inline void SendMouse(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButton button = Qt::LeftButton,
                      Qt::MouseButtons buttons = Qt::LeftButton, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QMouseEvent e(type, at, w->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button, buttons,
                modifiers);
  QApplication::sendEvent(w, &e);
}

// No serial port: a build machine has none to open.
inline constexpr const char* kQuietSettings = "[Program Setup]\r\nCom Port=0\r\n";

class PlotterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.Set("BRISMARE_DIR", dir_.path());
    ResetDataDir();
    iniFile_ = dir_ / "plotter.ini";
    SetArguments({"brismare", "-I" + iniFile_});
    previousQuestions_ = SetUserQuestions(&questions_);
    SetLifecycleSink([this](const std::string& e) { events_.push_back(e); });
  }
  void TearDown() override {
    program_.reset();
    SetLifecycleSink({});
    SetUserQuestions(previousQuestions_);
    SetArguments({"brismare"});
    ResetDataDir();
  }

  static void SetArguments(const std::vector<std::string>& args) {
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    SetProgramArguments(static_cast<int>(argv.size()), argv.data());
  }

  // Writes the settings file and starts the program body.
  T_Form& Start(const std::string& settings = kQuietSettings) {
    WriteTestFile(iniFile_, settings);
    program_ = std::make_unique<TPlotterProgram>();
    // No input box may wait for a user: a test that wants one answers it.
    program_->MainForm().InputQuery = [](const std::string&, const std::string&) {
      return std::optional<std::string>();
    };
    program_->MainForm().RunDialog = [](QDialog&) { return int(QDialog::Rejected); };
    return program_->MainForm();
  }
  // Shows the main window and lets the posted events run.
  void Show() {
    T_Form& f = program_->MainForm();
    f.show();
    f.activateWindow();
    Settle();
  }
  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  void Stop() { program_.reset(); }

  std::vector<std::string> Asked() const {
    std::vector<std::string> texts;
    for (const auto& q : questions_.asked()) texts.push_back(q.text);
    return texts;
  }

  // A key press delivered as the window system would: to the focused
  // control of the window, or to the window itself.
  static bool Key(QWidget* window, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, bool repeat = false,
                  unsigned long timestamp = 0) {
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != window) target = window;
    QKeyEvent press(QEvent::KeyPress, key, mods, QString(), repeat);
    press.setTimestamp(timestamp);
    press.setAccepted(false);
    QApplication::sendEvent(target, &press);
    return press.isAccepted();
  }

  TTempDir dir_;
  TScopedEnv env_;
  std::string iniFile_;
  TScriptedQuestions questions_;
  IUserQuestions* previousQuestions_ = nullptr;
  std::vector<std::string> events_;
  std::unique_ptr<TPlotterProgram> program_;
};

// A plotter whose clock and one-second timer the test drives: the window is
// shown with its timer stopped, and each Tick moves the fake clock one
// second and fires the timer once.
class PlotterClockTest : public PlotterTest {
 protected:
  void SetUp() override {
    PlotterTest::SetUp();
    previousClock_ = SetClock(&clock_);
  }
  void TearDown() override {
    PlotterTest::TearDown();
    SetClock(previousClock_);
  }
  T_Form& Run(const std::string& settings) {
    T_Form& f = Start(settings);
    f.ComTimer().SetEnabled(false);
    Show();
    return f;
  }
  void Tick(T_Form& f, int n = 1) {
    for (int i = 0; i < n; ++i) {
      clock_.Advance(std::chrono::seconds(1));
      f.ComTimer().Fire();
    }
  }

  TManualClock clock_;
  IClock* previousClock_ = nullptr;
};
