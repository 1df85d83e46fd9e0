#include "plotter/tick/UpdateTick.h"

#include <QAction>
#include <QLineEdit>
#include <QString>
#include <QWidget>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "foundation/GenUtil.h"
#include "geodesy/MagError.h"
#include "instruments/NMEA.h"
#include "navobjects/LogBook.h"
#include "navobjects/Routes.h"
#include "plotter/PosEdit.h"
#include "plotter/ais/AisView.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/SysInfo.h"
#include "plotter/core/UpdateCycle.h"
#include "plotter/dashboard/DashboardColumn.h"
#include "plotter/dialogs/NmeaMonitors.h"
#include "plotter/output/NmeaOutput.h"
#include "plotter/ports/PortLinks.h"
#include "plotter/route/RouteGuidanceView.h"
#include "plotter/track/TrackView.h"

int TickIntervalMs() {
  const char* env = std::getenv("BRISMARE_TICK_MS");
  if (!env || !*env) return 1000;
  char* end = nullptr;
  const long ms = std::strtol(env, &end, 10);
  if (*end != '\0' || ms < 10 || ms > 1000) return 1000;
  return static_cast<int>(ms);
}

namespace {

void SetFieldText(QLineEdit& field, const QString& text) {
  // What the user is typing is not overwritten under their hands.
  if (!field.hasFocus() && field.text() != text) field.setText(text);
}

std::optional<int> FieldNumber(const QLineEdit& field) {
  bool ok = false;
  const int v = field.text().trimmed().toInt(&ok);
  return ok ? std::optional<int>(v) : std::nullopt;
}

}  // namespace

// The cycle's parts, each handing the cycle's calls to the feature or the
// object that does the work.
struct TUpdateTick::Adapters final : ITickPorts,
                                     ITickDashboard,
                                     ITickChartView,
                                     ITickMagnetic,
                                     ITickLog,
                                     ITickSound,
                                     ITickLogBook,
                                     ITickMessages {
  Adapters(IWindowServices& window, const TPlotterFlags& flags, TNMEA& parser, const TParts& parts,
           QLineEdit& drCourse, QLineEdit& drSpeed, TPosEdit& drLat, TPosEdit& drLong, QAction& setDRPos)
      : w(window),
        flags(flags),
        p(parts),
        drCourse(drCourse),
        drSpeed(drSpeed),
        drLat(drLat),
        drLong(drLong),
        setDRPos(setDRPos),
        network(parts),
        route(window, parser, parts),
        output(parts),
        ais(parser, parts),
        track(parts) {}
  IWindowServices& w;
  const TPlotterFlags& flags;
  const TParts& p;
  QLineEdit& drCourse;
  QLineEdit& drSpeed;
  TPosEdit& drLat;
  TPosEdit& drLong;
  QAction& setDRPos;

  // Sources and parts with a name clash among the interfaces.
  struct Network final : ITickNetwork {
    const TParts& p;
    explicit Network(const TParts& parts) : p(parts) {}
    bool Active() const override { return p.ports && p.ports->NetworkActive(); }
    std::string Receive() override { return p.ports ? p.ports->ReceiveNetworkText() : std::string(); }
    // The connection is made without waiting and failures are retried by
    // the link; only a setting that can never work fails here.
    bool Reconnect() override { return p.ports && p.ports->ReconnectNetwork(); }
    void End() override {
      if (p.ports) p.ports->EndNetwork();
    }
  } network;

  struct Route final : ITickRoute {
    IWindowServices& w;
    TNMEA& parser;
    const TParts& p;
    Route(IWindowServices& window, TNMEA& nmea, const TParts& parts) : w(window), parser(nmea), p(parts) {}
    bool Active() const override { return p.route && p.route->Following; }
    void UpdateCycle() override {
      if (!p.route) return;
      p.route->UpdateCycle(parser.Info);
      if (p.guidance) p.guidance->ApplyRouteAlarms();
    }
    bool WasLegChanged() override { return p.route && p.route->WasLegChanged(); }
    void RecolourSymbols() override {
      if (!p.route) return;
      p.route->StyleAll();
      w.RequestRepaint();
    }
    void ShowRouteValues() override {
      if (p.guidance) p.guidance->ShowRouteValues();
    }
  } route;

  struct Output final : ITickOutput {
    const TParts& p;
    explicit Output(const TParts& parts) : p(parts) {}
    bool SendSteering() override { return p.output && p.output->SendSteering(); }
    void PublishDataLine() override {
      if (p.output) p.output->PublishDataLine();
    }
  } output;

  struct Ais final : ITickAis {
    TNMEA& parser;
    const TParts& p;
    Ais(TNMEA& nmea, const TParts& parts) : parser(nmea), p(parts) {}
    void FreeHiddenInfoWindow() override {
      if (p.ais) p.ais->FreeHiddenAisInfo();
    }
    void Reproject() override {
      if (p.ais) p.ais->ReprojectAis(false);
    }
    void CheckAlarms() override {
      if (p.ais) p.ais->CheckAisAlarm();
    }
    bool TakeChanged() override { return std::exchange(parser.AisChanged, false); }
    void RefreshInfoWindow() override {
      if (p.ais) p.ais->RefreshAisInfo();
    }
    void Purge(int hideMinutes, int deleteMinutes) override {
      if (p.ais) p.ais->PurgeAis(hideMinutes, deleteMinutes);
    }
  } ais;

  struct Track final : ITickTrack {
    const TParts& p;
    explicit Track(const TParts& parts) : p(parts) {}
    void Record(const TNMEAINFO&) override {
      if (p.track) p.track->RecordTrack();
    }
  } track;

  // ---- ports ----
  void PumpPorts() override {
    if (p.ports) p.ports->PumpPorts();
  }

  // ---- dashboard ----
  void UpdateStatus() override { w.UpdateStatus(); }
  bool RefreshInstrumentTexts() override { return p.dashboard && p.dashboard->RefreshInstrumentTexts(); }
  void RefreshLogTexts() override {
    if (p.dashboard) p.dashboard->RefreshLogTexts();
  }
  void RefreshGpsBox() override {
    if (p.dashboard) p.dashboard->RefreshGpsBox();
  }
  void RefreshMarker() override {
    if (p.chart) p.chart->RefreshMarkerBox();
  }
  void CloseHiddenMonitor() override {
    if (p.monitors) p.monitors->CloseHiddenMonitors();
  }
  std::optional<int> DRCourse() const override { return FieldNumber(drCourse); }
  std::optional<int> DRSpeed() const override { return FieldNumber(drSpeed); }
  void SetDRCourse(int degrees) override { SetFieldText(drCourse, QString::number(degrees)); }
  void SetDRSpeed(int knots) override { SetFieldText(drSpeed, QString::number(knots)); }
  void ShowDeadReckoning(const TFPoint& pos, bool drMode) override {
    drLat.SetMaskText(PosToMaskText(false, pos.Y));
    drLong.SetMaskText(PosToMaskText(true, pos.X));
    setDRPos.setVisible(drMode);
  }

  // ---- chart view ----
  bool Shown() const override { return !flags.Has(pfStarting) && w.Window().isVisible(); }
  bool Measuring() const override { return p.chart->View.Measuring(); }
  bool InsideCurrentChart(const TFPoint& pos) const override { return p.chart->InsideCurrentChart(pos); }
  void OpenBestChart(const TFPoint& lookAhead, const TFPoint& boat) override {
    p.chart->AutoOpenBestChart(lookAhead, boat);
  }
  void CentreOn(const TFPoint& pos, int dx, int dy) override { p.chart->CentreOnPosition(pos, dx, dy); }
  bool UpdateBoatPoints() override { return p.chart->UpdateBoatPoints(); }
  void UpdateView() override { p.chart->UpdateView(); }
  void Repaint() override { p.chart->Repaint(); }
  bool RepaintRequested() const override { return w.RepaintRequested(); }
  void RequestRepaint() override { w.RequestRepaint(); }
  bool TakeRepaintRequest() override { return w.TakeRepaintRequest(); }
  TPoint ViewSize() const override { return p.chart->ViewSize(); }

  // ---- magnetic model ----
  std::optional<double> Declination(double year, double lon, double lat, double altitude) override {
    return p.magnetic ? p.magnetic->Declination(year, lon, lat, altitude) : std::nullopt;
  }

  // ---- log counter ----
  void AddSpeed(double knots) override {
    if (p.log) p.log->AddSpeed(knots);
  }
  TLogReading Read(double) override {
    TLogReading r;
    if (!p.log) return r;
    r.distanceNM = p.log->ReadLog();
    r.moving = p.log->Moving;
    r.fuel = p.log->FuelUsed;
    return r;
  }

  // ---- alarm speaker ----
  void Play(const std::string& soundFile) override {
    if (p.speaker) p.speaker->Play(soundFile);
  }

  // ---- log book: the tick's entries ("NMEA Error") come with every update
  // and are taken once until an entry of another category comes between ----
  void Log(const std::string& text, int category) override {
    if (p.logBook) p.logBook->LogOnce(text, category);
  }

  // ---- message panel: shown without running the event loop ----
  void Show(const std::string& text) override { w.ShowMessageLine(text); }
};

TUpdateTick::TUpdateTick(const TWindowContext& c, TNMEA& parser, TNMEALineBuffer* sim, const TParts& parts)
    : TWindowFeature(c),
      parser_(parser),
      parts_(parts),
      drLat_(Widget<TPosEdit>("DB_DRLat")),
      drLong_(Widget<TPosEdit>("DB_DRLong")) {
  QAction& setDRPos = Item("SetDRPos1");
  adapters_ = std::make_unique<Adapters>(window_, flags_, parser, parts_, Widget<QLineEdit>("DB_DRCrs"),
                                         Widget<QLineEdit>("DB_DRSpd"), drLat_, drLong_, setDRPos);
  Adapters& a = *adapters_;
  TTickParts tick;
  tick.ports = &a;
  tick.network = &a.network;
  tick.dashboard = &a;
  tick.chart = parts_.chart ? &a : nullptr;
  tick.route = &a.route;
  tick.output = &a.output;
  tick.ais = &a.ais;
  tick.track = &a.track;
  tick.magnetic = &a;
  tick.log = &a;
  tick.sound = &a;
  tick.logBook = &a;
  tick.messages = &a;
  cycle_ = std::make_unique<TUpdateCycle>(parser, sim, sys_, flags_, nav_, parser.GetClock(), tick);
  // Dead reckoning starts where the boat was at the end of the last run.
  cycle_->SeedPosition({sys_.LastLong, sys_.LastLat});
  setDRPos.setEnabled(true);
  setDRPos.setVisible(false);
  QObject::connect(&setDRPos, &QAction::triggered, &links_, [this] { DRUpdateClick(); });
}

TUpdateTick::~TUpdateTick() = default;

void TUpdateTick::DRUpdateClick() {
  if (!parts_.chart || !parts_.chart->MenuPosValid) return;
  const TFPoint pos = parts_.chart->MenuPos;
  parser_.Info.Pos = pos;
  drLat_.SetMaskText(PosToMaskText(false, pos.Y));
  drLong_.SetMaskText(PosToMaskText(true, pos.X));
  window_.RequestRepaint();
}
