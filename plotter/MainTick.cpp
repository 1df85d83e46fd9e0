// The main window and the one-second update cycle: the window's timer runs
// the cycle, and the parts below hand the cycle's calls to the window, its
// dashboard, its ports and the objects it owns; the chart view's are the
// window's (MainChart.cpp).
#include "plotter/MainTick.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "foundation/Colors.h"
#include "geodesy/MagError.h"
#include "instruments/NMEA.h"
#include "instruments/qt/TelnetSend.h"
#include "navobjects/LogBook.h"
#include "navobjects/Routes.h"
#include "plotter/MainForm.h"
#include "plotter/PosEdit.h"
#include "plotter/QtColour.h"
#include "plotter/core/UpdateCycle.h"
#include "plotter/dialogs/NmeaMonitors.h"
#include "plotter/output/NmeaOutput.h"
#include "plotter/ports/PortLinks.h"

int TickIntervalMs() {
  const char* env = std::getenv("BRISMARE_TICK_MS");
  if (!env || !*env) return 1000;
  char* end = nullptr;
  const long ms = std::strtol(env, &end, 10);
  if (*end != '\0' || ms < 10 || ms > 1000) return 1000;
  return static_cast<int>(ms);
}

namespace {

void SetFieldText(QLineEdit* field, const QString& text) {
  // What the user is typing is not overwritten under their hands.
  if (field && !field->hasFocus() && field->text() != text) field->setText(text);
}

std::optional<int> FieldNumber(const QLineEdit* field) {
  if (!field) return std::nullopt;
  bool ok = false;
  const int v = field->text().trimmed().toInt(&ok);
  return ok ? std::optional<int>(v) : std::nullopt;
}

// Hides the message panel when it is clicked: a notice of the tick waits for
// the user without stopping anything.
class TClickToHide final : public QObject {
 public:
  explicit TClickToHide(QWidget* panel) : QObject(panel), panel_(panel) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::MouseButtonPress) panel_->hide();
    return QObject::eventFilter(watched, e);
  }

 private:
  QWidget* panel_;
};

}  // namespace

struct TFormTick::Parts final : ITickPorts,
                                ITickDashboard,
                                ITickChartView,
                                ITickMagnetic,
                                ITickLog,
                                ITickSound,
                                ITickLogBook,
                                ITickMessages {
  explicit Parts(T_Form& form) : f(form) {}
  T_Form& f;

  // Sources and parts with a name clash among the interfaces.
  struct Network final : ITickNetwork {
    T_Form& f;
    explicit Network(T_Form& form) : f(form) {}
    bool Active() const override { return f.ports_ && f.ports_->NetworkMode && f.TelnetSend; }
    std::string Receive() override { return f.ports_ ? f.ports_->ReceiveNetworkText() : std::string(); }
    // The connection is made without waiting and failures are retried by
    // the link; only a setting that can never work fails here.
    bool Reconnect() override { return f.TelnetSend && f.TelnetSend->Connect(); }
    void End() override {
      if (f.ports_) f.ports_->EndNetwork();
    }
  } network{f};

  struct Route final : ITickRoute {
    T_Form& f;
    explicit Route(T_Form& form) : f(form) {}
    bool Active() const override { return f.Route && f.Route->Following; }
    void UpdateCycle() override {
      TNMEA* p = f.Parser();
      if (!f.Route || !p) return;
      f.Route->UpdateCycle(p->Info);
      f.ApplyRouteAlarms();
    }
    bool WasLegChanged() override { return f.Route && f.Route->WasLegChanged(); }
    void RecolourSymbols() override {
      if (!f.Route) return;
      f.Route->StyleAll();
      f.RequestRepaint();
    }
    void ShowRouteValues() override { f.ShowRouteValues(); }
  } route{f};

  struct Output final : ITickOutput {
    T_Form& f;
    explicit Output(T_Form& form) : f(form) {}
    bool SendSteering() override { return f.output_ && f.output_->SendSteering(); }
    void PublishDataLine() override {
      if (f.output_) f.output_->PublishDataLine();
    }
  } output{f};

  struct Ais final : ITickAis {
    T_Form& f;
    explicit Ais(T_Form& form) : f(form) {}
    void FreeHiddenInfoWindow() override { f.FreeHiddenAisInfo(); }
    void Reproject() override { f.ReprojectAis(false); }
    void CheckAlarms() override { f.CheckAisAlarm(); }
    bool TakeChanged() override {
      TNMEA* p = f.Parser();
      return p && std::exchange(p->AisChanged, false);
    }
    void RefreshInfoWindow() override { f.RefreshAisInfo(); }
    void Purge(int hideMinutes, int deleteMinutes) override { f.PurgeAis(hideMinutes, deleteMinutes); }
  } ais{f};

  struct Track final : ITickTrack {
    T_Form& f;
    explicit Track(T_Form& form) : f(form) {}
    void Record(const TNMEAINFO&) override { f.RecordTrack(); }
  } track{f};

  // ---- ports ----
  void PumpPorts() override {
    if (f.ports_) f.ports_->PumpPorts();
  }

  // ---- dashboard ----
  void UpdateStatus() override { f.UpdateStatus(); }
  bool RefreshInstrumentTexts() override { return f.RefreshInstrumentTexts(); }
  void RefreshLogTexts() override { f.RefreshLogTexts(); }
  void RefreshGpsBox() override { f.RefreshGpsBox(); }
  void RefreshMarker() override { f.RefreshMarkerBox(); }
  void CloseHiddenMonitor() override {
    if (f.monitors_) f.monitors_->CloseHiddenMonitors();
  }
  std::optional<int> DRCourse() const override { return FieldNumber(f.DB_DRCrs); }
  std::optional<int> DRSpeed() const override { return FieldNumber(f.DB_DRSpd); }
  void SetDRCourse(int degrees) override { SetFieldText(f.DB_DRCrs, QString::number(degrees)); }
  void SetDRSpeed(int knots) override { SetFieldText(f.DB_DRSpd, QString::number(knots)); }
  void ShowDeadReckoning(const TFPoint& pos, bool drMode) override {
    if (f.DB_DRLat) f.DB_DRLat->SetMaskText(PosToMaskText(false, pos.Y));
    if (f.DB_DRLong) f.DB_DRLong->SetMaskText(PosToMaskText(true, pos.X));
    if (QAction* a = f.TickMenus().setDRPos) a->setVisible(drMode);
  }

  // ---- chart view ----
  bool Shown() const override { return !f.PlotterFlags.Has(pfStarting) && f.isVisible(); }
  bool Measuring() const override { return f.View.Measuring(); }
  bool InsideCurrentChart(const TFPoint& pos) const override { return f.InsideCurrentChart(pos); }
  void OpenBestChart(const TFPoint& lookAhead, const TFPoint& boat) override { f.AutoOpenBestChart(lookAhead, boat); }
  void CentreOn(const TFPoint& pos, int dx, int dy) override { f.CentreOnPosition(pos, dx, dy); }
  bool UpdateBoatPoints() override { return f.UpdateBoatPoints(); }
  void UpdateView() override { f.UpdateView(); }
  void Repaint() override { f.Repaint(); }
  bool RepaintRequested() const override { return f.RepaintRequested(); }
  void RequestRepaint() override { f.RequestRepaint(); }
  bool TakeRepaintRequest() override { return f.TakeRepaintRequest(); }
  TPoint ViewSize() const override { return f.ViewSize(); }

  // ---- magnetic model ----
  std::optional<double> Declination(double year, double lon, double lat, double altitude) override {
    return f.MagError ? f.MagError->Declination(year, lon, lat, altitude) : std::nullopt;
  }

  // ---- log counter ----
  void AddSpeed(double knots) override {
    if (f.LogDist) f.LogDist->AddSpeed(knots);
  }
  TLogReading Read(double) override {
    TLogReading r;
    TLogDist* log = f.LogDist.get();
    if (!log) return r;
    r.distanceNM = log->ReadLog();
    r.moving = log->Moving;
    r.fuel = log->FuelUsed;
    return r;
  }

  // ---- alarm speaker ----
  void Play(const std::string& soundFile) override {
    if (f.Speaker) f.Speaker->Play(soundFile);
  }

  // ---- log book: the tick's entries ("NMEA Error") come with every update
  // and are taken once until an entry of another category comes between ----
  void Log(const std::string& text, int category) override {
    if (f.LogBook) f.LogBook->LogOnce(text, category);
  }

  // ---- message panel: shown without running the event loop ----
  void Show(const std::string& text) override { f.ShowMessageLine(text); }
};

TFormTick::TFormTick(T_Form& form) : parts_(std::make_unique<Parts>(form)) {
  TNMEA* parser = form.Parser();
  if (!parser) throw std::runtime_error("no NMEA parser");
  Parts& p = *parts_;
  TTickParts parts;
  parts.ports = &p;
  parts.network = &p.network;
  parts.dashboard = &p;
  parts.chart = &p;
  parts.route = &p.route;
  parts.output = &p.output;
  parts.ais = &p.ais;
  parts.track = &p.track;
  parts.magnetic = &p;
  parts.log = &p;
  parts.sound = &p;
  parts.logBook = &p;
  parts.messages = &p;
  cycle_ = std::make_unique<TUpdateCycle>(*parser, form.SimBuffer.get(), form.SysInfo, form.PlotterFlags,
                                          form.NavFlags, parser->GetClock(), parts);
}

TFormTick::~TFormTick() = default;

// ---------------------------------------------------------------------------
// The window's side

void T_Form::SetUpTick() {
  tick_ = std::make_unique<TFormTick>(*this);
  // Dead reckoning starts where the boat was at the end of the last run.
  tick_->Cycle().SeedPosition({SysInfo.LastLong, SysInfo.LastLat});
  if (MsgP) MsgP->installEventFilter(new TClickToHide(MsgP));
  if (QAction* a = MenuItem("SetDRPos1")) {
    a->setEnabled(true);
    a->setVisible(false);
    connect(a, &QAction::triggered, this, &T_Form::DRUpdateClick);
  }
  if (QAction* a = MenuItem("MarkMOB1")) {
    a->setEnabled(true);
    connect(a, &QAction::triggered, this, &T_Form::MANOVERBOARD1Click);
  }
  if (QAction* a = MenuItem("NAClearMarker")) {
    a->setEnabled(true);
    connect(a, &QAction::triggered, this, &T_Form::ClearMarker);
  }
}

TUpdateCycle* T_Form::UpdateCycle() const { return tick_ ? &tick_->Cycle() : nullptr; }

void T_Form::ComTimerTimer() {
  // The cycle catches its own failures; nothing may reach the event loop.
  try {
    if (tick_) tick_->Cycle().Tick();
  } catch (...) {
  }
}

void T_Form::ApplyRouteAlarms() {
  if (!Route) return;
  const TRouteAlarms& a = Route->Alarms;
  NavFlags.Set(nfXteAlarm, a.XteAlarm);
  NavFlags.Set(nfXteRight, a.XteRight);
  NavFlags.Set(nfXteLeft, a.XteLeft);
  // A new waypoint waits for its acknowledgement, which clears both.
  if (a.NewWaypoint) NavFlags.Include(nfNewWaypoint);
}

void T_Form::MANOVERBOARD1Click() {
  const TNMEA* p = Parser();
  if (!p) return;
  SetMarker(p->Info.Pos);
}

void T_Form::DRUpdateClick() {
  TNMEA* p = Parser();
  if (!p || !MenuPosValid) return;
  p->Info.Pos = MenuPos;
  if (DB_DRLat) DB_DRLat->SetMaskText(PosToMaskText(false, MenuPos.Y));
  if (DB_DRLong) DB_DRLong->SetMaskText(PosToMaskText(true, MenuPos.X));
  RequestRepaint();
}

void T_Form::SetMarker(const TFPoint& pos) {
  MarkerPos = pos;
  MarkerShown = true;
  RefreshMarkerBox();
  RequestRepaint();
}

void T_Form::ClearMarker() {
  MarkerShown = false;
  if (DB_MARKER) DB_MARKER->setPalette(QPalette());
  RequestRepaint();
}

void T_Form::RefreshMarkerBox() {
  const TNMEA* p = Parser();
  if (!MarkerShown || !p || !DB_MARKER) return;
  QPalette pal = QApplication::palette();
  pal.setColor(QPalette::Window, ToQColor(Colours.aqua));
  DB_MARKER->setPalette(pal);
  DB_MARKER->setAutoFillBackground(true);
  // The marker's position, and its bearing and distance from the boat.
  ShowPositionInfo(MarkerPos, p->Info.Pos);
}
