// The one-second timer that drives the plotter's update cycle, behind an
// interface so that tests tick it by hand instead of waiting for real time.
#pragma once

#include <functional>
#include <utility>

class ITickTimer {
 public:
  virtual ~ITickTimer() = default;
  virtual void SetEnabled(bool on) = 0;
  virtual bool Enabled() const = 0;
  // The handler that each tick runs.
  void SetOnTick(std::function<void()> onTick) { onTick_ = std::move(onTick); }
  // Runs one tick now, as the timer would.
  void Fire() {
    if (onTick_) onTick_();
  }

 private:
  std::function<void()> onTick_;
};

// A timer that ticks only through Fire.
class TManualTickTimer final : public ITickTimer {
 public:
  void SetEnabled(bool on) override { enabled_ = on; }
  bool Enabled() const override { return enabled_; }

 private:
  bool enabled_ = false;
};
