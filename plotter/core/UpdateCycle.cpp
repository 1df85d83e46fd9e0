#include "plotter/core/UpdateCycle.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "instruments/NMEA.h"
#include "platform/Questions.h"
#include "plotter/core/SysInfo.h"
#include "plotter/core/TickTimer.h"

namespace {

// Sets a flag for the time of the tick and clears it on every way out.
class TBusyGuard {
 public:
  explicit TBusyGuard(bool& busy) : busy_(busy) { busy_ = true; }
  ~TBusyGuard() { busy_ = false; }
  TBusyGuard(const TBusyGuard&) = delete;
  TBusyGuard& operator=(const TBusyGuard&) = delete;

 private:
  bool& busy_;
};

// While the tick runs, a message box that anything inside it asks for goes
// to the message panel and gets its default answer at once (No for a
// question), so that nothing waits for a user who may be on deck.
class TPanelQuestions final : public IUserQuestions {
 public:
  explicit TPanelQuestions(ITickMessages* panel) : panel_(panel), previous_(SetUserQuestions(this)) {}
  ~TPanelQuestions() override { SetUserQuestions(previous_); }
  TPanelQuestions(const TPanelQuestions&) = delete;
  TPanelQuestions& operator=(const TPanelQuestions&) = delete;

  int MessageBox(const std::string& text, const std::string& /*caption*/, unsigned flags) override {
    std::fprintf(stderr, "brismare: %s\n", text.c_str());
    if (panel_) {
      try {
        panel_->Show(text);
      } catch (...) {
      }
    }
    return DefaultAnswer(flags);
  }

 private:
  ITickMessages* panel_;
  IUserQuestions* previous_;
};

int WholeDegrees(double radians) {
  int d = RoundToInt(radians * kRadToDeg) % 360;
  return d < 0 ? d + 360 : d;
}

// The smaller difference of two directions, in [0, pi].
double CourseDifference(double a, double b) {
  double d = std::fmod(std::fabs(a - b), 2 * kPi);
  return d > kPi ? 2 * kPi - d : d;
}

bool PlausiblePosition(const TFPoint& p) {
  return std::isfinite(p.X) && std::isfinite(p.Y) && std::fabs(p.Y) <= kPi / 2 && std::fabs(p.X) <= 2 * kPi;
}

}  // namespace

std::optional<double> DecimalYear(TDateTime utc) {
  int year = 0, month = 0, day = 0;
  TDateTime newYear = 0;
  if (!DecodeDate(utc, year, month, day) || !TryEncodeDate(year, 1, 1, newYear)) return std::nullopt;
  const double dayOfYear = std::floor(utc) - newYear + 1;
  return year + dayOfYear / 365.0;
}

TUpdateCycle::TUpdateCycle(TNMEA& parser, TNMEALineBuffer* sim, RSysInfo& settings, TPlotterFlags& flags,
                           TNavFlags& nav, IClock& clock, const TTickParts& parts)
    : parser_(parser),
      info_(parser.Info),
      sim_(sim),
      settings_(settings),
      flags_(flags),
      nav_(nav),
      clock_(clock),
      parts_(parts),
      lastLogRead_(clock.MonoNow()) {}

void TUpdateCycle::Attach(ITickTimer& timer) {
  timer.SetOnTick([this] { Tick(); });
}

void TUpdateCycle::SeedPosition(const TFPoint& pos) {
  if (info_.LastFixTime != TMonoTime{0} || !PlausiblePosition(pos)) return;
  info_.Pos = pos;
}

double TUpdateCycle::SecondsSince(TMonoTime t) const {
  return std::chrono::duration<double>(clock_.MonoNow() - t).count();
}

void TUpdateCycle::Report(const char* step, const std::string& what) {
  ++stepFailures_;
  // A step failing every second is shown once, not every second.
  const std::string text = std::string("Update error (") + step + "): " + what;
  std::string& last = lastFailure_[step];
  if (text == last) return;
  last = text;
  std::fprintf(stderr, "brismare: %s\n", text.c_str());
  if (!parts_.messages) return;
  try {
    parts_.messages->Show(text);
  } catch (...) {
  }
}

template <class F>
void TUpdateCycle::Step(const char* name, F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    Report(name, e.what());
  } catch (...) {
    Report(name, "unknown error");
  }
}

// ---------------------------------------------------------------------------
// The tick

void TUpdateCycle::Tick() {
  if (busy_) {
    ++nestedTicks_;
    return;
  }
  try {
    TBusyGuard busy(busy_);
    TPanelQuestions noBoxes(parts_.messages);
    ITickDashboard* dash = parts_.dashboard;
    ITickChartView* chart = parts_.chart;

    Step("input monitor", [&] {
      if (dash) dash->CloseHiddenMonitor();
    });
    Step("ports", [&] {
      if (parts_.ports) parts_.ports->PumpPorts();
    });
    Step("AIS info window", [&] {
      if (parts_.ais) parts_.ais->FreeHiddenInfoWindow();
    });

    // Counters stop short of overflowing (with NMEA OUT off the autopilot
    // counter grows for the whole run).
    auto bump = [](int& c) { c = c < 1000000000 ? c + 1 : c; };
    bump(ticksSinceChartLoad_);
    bump(displayCounter_);
    bump(autopilotCounter_);

    Step("alarms", [&] { SetAlarms(); });
    Step("replay and network input", [&] {
      ReadSourcesWithoutPort();
      // A fix that came with this input ends the loss at once: the boat is
      // not moved on by dead reckoning past the position just received.
      if (nav_.Has(nfGpsLost) && !FixLost()) nav_.Set(nfGpsLost, false);
    });
    Step("marker", [&] {
      if (dash) dash->RefreshMarker();
    });
    Step("log counter", [&] {
      if (parts_.log) parts_.log->AddSpeed(IsKnown(info_.SOG) && std::isfinite(info_.SOG) ? info_.SOG : 0);
    });
    Step("instruments", [&] { InstrumentBoxes(); });
    Step("GPS box", [&] {
      if (dash) dash->RefreshGpsBox();
    });
    Step("track", [&] {
      if (parts_.track) parts_.track->Record(info_);
    });

    ITickRoute* route = parts_.route;
    Step("route state", [&] {
      if (route && dash && flags_.Has(pfRouteActive) != route->Active()) dash->UpdateStatus();
    });
    Step("route following", [&] {
      if (!route || !route->Active()) return;
      route->UpdateCycle();
      if (route->WasLegChanged()) route->RecolourSymbols();
      route->ShowRouteValues();
    });
    Step("autopilot", [&] {
      if (!route || !route->Active() || !parts_.output) return;
      if (autopilotCounter_ >= settings_.AutoPUpd && parts_.output->SendSteering()) autopilotCounter_ = 0;
    });

    Step("display", [&] {
      const bool due = displayCounter_ >= settings_.ShowTime || (chart && chart->RepaintRequested()) ||
                       flags_.Has(pfResized);
      // Measuring waits only for the picture: the counter stays, so the
      // update runs on the first tick after the measurement.
      if (due && !(chart && chart->Measuring())) DisplayUpdate();
    });

    Countdowns();

    // The last position is kept for the next run: the newest, also between
    // display updates, so a program closed now starts again where it was.
    if (PlausiblePosition(info_.Pos)) {
      settings_.LastLat = info_.Pos.Y;
      settings_.LastLong = info_.Pos.X;
    }

    Step("repaint", [&] {
      if (chart && chart->TakeRepaintRequest()) chart->Repaint();
    });
  } catch (...) {
    // Only the guards themselves could get here; the tick stays usable.
    ++stepFailures_;
  }
}

void TUpdateCycle::SetAlarms() {
  nav_.Set(nfNoDifferential, info_.FixQuality < 2);
  const bool lost = FixLost();
  nav_.Set(nfGpsLost, lost);
  // Nothing built from a lost position may claim a valid fix (the autopilot
  // sentences carry this status); the next fix makes it valid again.
  if (lost && info_.FixStatus == kFixValid) info_.FixStatus = kFixInvalid;
  nav_.Set(nfDepthAlarm, IsKnown(info_.Depth) && info_.Depth < settings_.DepthAlarm);
}

bool TUpdateCycle::FixLost() const {
  // Never a fix, or none for longer than "GPS Timeout" seconds.
  return info_.LastFixTime == TMonoTime{0} || SecondsSince(info_.LastFixTime) > settings_.GpsTimeout;
}

void TUpdateCycle::ReadSourcesWithoutPort() {
  ITickNetwork* net = parts_.network;
  if (net && net->Active()) {
    try {
      const std::string text = net->Receive();
      if (!text.empty()) {
        if (sim_) sim_->FeedText(text);
        networkQuietSince_ = clock_.MonoNow();
        return;
      }
      // The buffer's idle time counts from its last whole sentence, or from
      // the last connection made.
      TMonoTime quietSince = networkQuietSince_.value_or(clock_.MonoNow());
      if (sim_) quietSince = std::max(quietSince, sim_->LastLineTime());
      if (!networkQuietSince_) networkQuietSince_ = quietSince;
      if (SecondsSince(quietSince) > kNetworkSilenceSeconds) {
        if (!net->Reconnect()) {
          net->End();
          return;
        }
        networkQuietSince_ = clock_.MonoNow();
        if (sim_) sim_->Touch();
      }
    } catch (...) {
      net->End();
      throw;
    }
    return;
  }
  if (!sim_ || settings_.NmeaSimulReads < 0 || !sim_->ReplayOpen()) return;
  const int lines = std::min(settings_.NmeaSimulReads, kMaxReplayLinesPerTick - 1) + 1;
  for (int i = 0; i < lines; ++i) sim_->ReplayStep();
}

void TUpdateCycle::InstrumentBoxes() {
  ITickDashboard* dash = parts_.dashboard;
  if (dash && dash->RefreshInstrumentTexts()) dash->UpdateStatus();
  const double seconds = SecondsSince(lastLogRead_);
  if (seconds < kLogReadSeconds) return;
  lastLogRead_ = clock_.MonoNow();
  if (parts_.log) {
    const TLogReading r = parts_.log->Read(seconds);
    if (std::isfinite(r.distanceNM) && r.distanceNM > 0) {
      settings_.TotalDistance += r.distanceNM;
      settings_.TrippDistance += r.distanceNM;
    }
    if (r.moving) settings_.TimeCounter += seconds / 3600.0;
    if (settings_.EngineOn && std::isfinite(r.fuel) && r.fuel > 0) settings_.FuelUsed += r.fuel;
  }
  if (dash) dash->RefreshLogTexts();
}

// ---------------------------------------------------------------------------
// Display update

void TUpdateCycle::DisplayUpdate() {
  ITickDashboard* dash = parts_.dashboard;
  ITickChartView* chart = parts_.chart;
  const bool lost = nav_.Has(nfGpsLost);

  Step("first chart", [&] {
    if (!chart || flags_.Has(pfChartLoaded) || !chart->Shown()) return;
    AutoChartSwitch(true);
    chart->CentreOn(info_.Pos, 0, 0);
  });
  Step("status", [&] {
    if (dash) dash->UpdateStatus();
  });
  // Lower-priority sentences may supply the position again.
  if (lost) parser_.Seen &= ~kSeenPositionBits;
  DeadReckonStep(lost);
  Step("dead-reckoning heading", [&] {
    if (!dash || !lost || !flags_.Has(pfPilot) || !parts_.route || !parts_.route->Active()) return;
    if (parser_.Seen & kSeenHDM) return;
    if (std::isfinite(info_.SteerHeading)) dash->SetDRCourse(WholeDegrees(info_.SteerHeading));
  });
  Step("clock", [&] { SetClockFromGps(); });

  Step("redraw", [&] {
    if (!chart) return;
    const bool movingNow = IsKnown(info_.SOG) && info_.SOG >= kMovingSpeed;
    bool redraw = chart->UpdateBoatPoints();
    redraw = redraw || chart->RepaintRequested() || flags_.Has(pfResized) || movingNow != moving_;
    if (!redraw) return;
    if (flags_.Has(pfResized)) {
      flags_.Exclude(pfResized);
      chart->UpdateView();
    }
    if (flags_.Has(pfAutomatic)) {
      AutoChartSwitch(false);
      chart->CentreOn(info_.Pos, lookAheadOffset_.X, lookAheadOffset_.Y);
    }
    chart->TakeRepaintRequest();
    if (parts_.ais) {
      parts_.ais->Reproject();
      parts_.ais->RefreshInfoWindow();
    }
    chart->Repaint();
    moving_ = movingNow;
    aisCountdown_ = kAisRefreshTicks;
  });
  Step("data line", [&] {
    if (parts_.output) parts_.output->PublishDataLine();
  });
  displayCounter_ = 0;
}

void TUpdateCycle::DeadReckonStep(bool drMode) {
  ITickDashboard* dash = parts_.dashboard;
  const TMonoTime now = clock_.MonoNow();
  try {
    if (drMode) {
      if (settings_.MagErrCalc && IsKnown(info_.ModelVariation)) info_.Variation = info_.ModelVariation;
      if (settings_.NMEADRUpdate && dash) {
        if ((parser_.Seen & (kSeenHDM | kSeenHDG)) && IsKnown(info_.MagHeading)) {
          const double variation = IsKnown(info_.Variation) ? info_.Variation : 0;
          dash->SetDRCourse(WholeDegrees(info_.MagHeading + variation));
        }
        if ((parser_.Seen & kSeenVHW) && IsKnown(info_.WaterSpeed) && std::isfinite(info_.WaterSpeed))
          dash->SetDRSpeed(std::clamp(RoundToInt(info_.WaterSpeed), 0, 999));
      }
      const std::optional<int> course = dash ? dash->DRCourse() : std::nullopt;
      const std::optional<int> speed = dash ? dash->DRSpeed() : std::nullopt;
      if (course && speed) {
        info_.Heading = *course * kDegToRad;
        info_.SOG = *speed;
        // The first step of the run has nothing to measure from; a clock
        // going backwards moves nothing.
        if (info_.Heading >= 0 && info_.Heading <= 2 * kPi && info_.SOG > 0 && info_.SOG < kMaxDRSpeed &&
            lastDRTime_ && now > *lastDRTime_) {
          const double hours = std::chrono::duration<double, std::ratio<3600>>(now - *lastDRTime_).count();
          const TFPoint moved = GeoOffset(info_.Pos, {info_.SOG * hours / kRadToNM, info_.Heading});
          if (PlausiblePosition(moved)) info_.Pos = moved;
        }
        info_.COG = info_.Heading;
        info_.VelEast = info_.SOG * std::sin(info_.COG);
        info_.VelNorth = info_.SOG * std::cos(info_.COG);
      }
      if (parts_.logBook) parts_.logBook->Log("NMEA Error", kNmeaErrorCategory);
    } else if (dash) {
      if (IsKnown(info_.Heading) && std::isfinite(info_.Heading)) dash->SetDRCourse(WholeDegrees(info_.Heading));
      if (IsKnown(info_.SOG) && std::isfinite(info_.SOG)) dash->SetDRSpeed(std::clamp(RoundToInt(info_.SOG), 0, 999));
    }
  } catch (...) {
    // A broken field or part must not stop the rest of the update.
  }
  lastDRTime_ = now;
  try {
    if (dash) dash->ShowDeadReckoning(info_.Pos, drMode);
    if (drMode != drMode_ && parts_.chart) parts_.chart->RequestRepaint();
  } catch (...) {
  }
  drMode_ = drMode;
}

void TUpdateCycle::SetClockFromGps() {
  if (!settings_.ClockOneShot || !(parser_.Seen & kSeenDate) || info_.FixStatus != kFixValid) return;
  // One attempt per run, whatever comes of it.
  settings_.ClockOneShot = false;
  int year = 0, month = 0, day = 0;
  if (!DecodeDate(info_.GpsDateTime, year, month, day) || year < kEarliestGpsYear) {
    if (parts_.messages)
      parts_.messages->Show("The GPS date " + DateToYYYYMMDD(info_.GpsDateTime) +
                            " cannot be right; the system clock was not set");
    return;
  }
  if (!clock_.SetUTC(info_.GpsDateTime) && parts_.messages)
    parts_.messages->Show("The system clock could not be set from GPS time (not permitted)");
}

void TUpdateCycle::AutoChartSwitch(bool forced) {
  ITickChartView* chart = parts_.chart;
  if (!chart) return;
  const bool speedKnown = IsKnown(info_.SOG) && std::isfinite(info_.SOG);
  const bool headingKnown = IsKnown(info_.Heading) && std::isfinite(info_.Heading);
  const bool hold = !forced && ticksSinceChartLoad_ < kChartHoldTicks && flags_.Has(pfChartLoaded) &&
                    chart->InsideCurrentChart(info_.Pos);
  if (!hold) {
    TFPoint lookAhead = info_.Pos;
    if (speedKnown && headingKnown && info_.SOG > 0) {
      const double nm = info_.SOG * settings_.ChartPrefetch / 3600.0;
      const TFPoint p = GeoOffset(info_.Pos, {nm / kRadToNM, info_.Heading});
      if (PlausiblePosition(p)) lookAhead = p;
    }
    info_.PrefetchPos = lookAhead;
    chart->OpenBestChart(lookAhead, info_.Pos);
  }
  // The view centre a third of the view ahead of the boat; it stays while
  // the course changes little (measured the short way round, so crossing
  // north is a small change).
  if (settings_.AutoOffset && speedKnown && headingKnown && info_.SOG >= kLookAheadSpeed) {
    const bool keep = !(lookAheadOffset_ == TPoint{}) && !chart->RepaintRequested() &&
                      CourseDifference(info_.Heading, lookAheadCourse_) <= kLookAheadCourseChange;
    if (!keep) {
      lookAheadCourse_ = info_.Heading;
      const TPoint size = chart->ViewSize();
      lookAheadOffset_ = {RoundToInt(std::sin(info_.Heading) * size.X / 3.0),
                          RoundToInt(-std::cos(info_.Heading) * size.Y / 3.0)};
    }
  } else {
    lookAheadOffset_ = {};
  }
}

// ---------------------------------------------------------------------------
// Slower work

void TUpdateCycle::Countdowns() {
  --slowCountdown_;
  --soundCountdown_;
  ITickAis* ais = parts_.ais;
  Step("AIS alarm", [&] {
    if (ais) ais->CheckAlarms();
  });
  Step("AIS refresh", [&] {
    if (aisCountdown_ >= 1) return;
    aisCountdown_ = kAisRefreshTicks;
    if (!ais) return;
    ais->Reproject();
    if (ais->TakeChanged() && parts_.chart) parts_.chart->Repaint();
    ais->RefreshInfoWindow();
  });
  --aisCountdown_;

  // The variation is computed for the boat's fix as soon as there is one,
  // and again when the boat has gone far: the variation at the last run's
  // place (or at 0 N 0 E before any fix) is no more than a guess.
  const bool fixed = info_.FixStatus == kFixValid;
  const bool farFromVariation =
      fixed && (!variationPos_ || GeoDistance(*variationPos_, info_.Pos) > kVariationDistance);
  if (slowCountdown_ < 1 || farFromVariation) {
    const bool slow = slowCountdown_ < 1;
    if (slow) {
      slowCountdown_ = kSlowTicks;
      Step("AIS purge", [&] {
        if (ais) ais->Purge(settings_.AISHideTime, settings_.AISDeleteTime);
      });
    }
    Step("magnetic variation", [&] {
      if (!settings_.MagErrCalc || !parts_.magnetic) return;
      const std::optional<double> year = DecimalYear(clock_.NowUTC());
      if (!year) return;
      const std::optional<double> v = parts_.magnetic->Declination(*year, info_.Pos.X, info_.Pos.Y, 100);
      if (v && std::isfinite(*v)) {
        info_.ModelVariation = *v;
        if (fixed) variationPos_ = info_.Pos;
      }
    });
  }
  if (soundCountdown_ < 1) {
    soundCountdown_ = kSoundTicks;
    Step("alarm sound", [&] { AlarmSound(); });
  }
}

void TUpdateCycle::AlarmSound() {
  if (!settings_.WarningSound || !parts_.sound) return;
  // The first alarm set sounds. A boat left of the leg must steer right:
  // the left flag plays the "XTE R" sound and the right flag "XTE L".
  const std::pair<TNavFlag, const std::string*> order[] = {
      {nfGpsLost, &settings_.SoundNMEA}, {nfDepthAlarm, &settings_.SoundDpt}, {nfAisAlarm, &settings_.SoundAISCPA},
      {nfXteLeft, &settings_.SoundXTER}, {nfXteRight, &settings_.SoundXTEL},
  };
  for (const auto& [flag, file] : order) {
    if (!nav_.Has(flag)) continue;
    parts_.sound->Play(*file);
    return;
  }
}
