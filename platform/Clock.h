// Clocks. Every elapsed-time rule uses the monotonic clock; the wall clock
// (UTC) serves only dates, file names and display. Both come from one
// injectable source so that tests advance time without waiting.
#pragma once

#include <chrono>

// Monotonic time since an arbitrary origin.
using TMonoTime = std::chrono::nanoseconds;

class IClock {
 public:
  virtual ~IClock() = default;
  virtual TMonoTime MonoNow() const = 0;
  // UTC as days since 1899-12-30.
  virtual double NowUTC() const = 0;
  // Sets the system clock; false without permission (the usual case).
  virtual bool SetUTC(double utc) = 0;
};

// The real clocks.
class TSystemClock final : public IClock {
 public:
  TMonoTime MonoNow() const override;
  double NowUTC() const override;
  bool SetUTC(double utc) override;
};

// A clock that moves only when told to. Advance moves both clocks; SetUTC
// moves only the wall clock (as a real clock change does).
class TManualClock final : public IClock {
 public:
  explicit TManualClock(double utc = 45658.5 /* 2025-01-01 12:00 */) : utc_(utc) {}
  TMonoTime MonoNow() const override { return mono_; }
  double NowUTC() const override { return utc_; }
  bool SetUTC(double utc) override {
    utc_ = utc;
    ++setCount_;
    return allowSet_;
  }
  void Advance(std::chrono::duration<double> d) {
    mono_ += std::chrono::duration_cast<TMonoTime>(d);
    utc_ += d.count() / 86400.0;
  }
  void AllowSet(bool allow) { allowSet_ = allow; }
  int SetCount() const { return setCount_; }

 private:
  TMonoTime mono_{std::chrono::hours(1)};
  double utc_;
  bool allowSet_ = true;
  int setCount_ = 0;
};

// The process-wide clock: the system clock unless a test installs another.
IClock& Clock();
// Installs a clock (nullptr restores the system clock); returns the previous one.
IClock* SetClock(IClock* clock);
