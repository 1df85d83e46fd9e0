// The main window's side of the update cycle: the parts through which the
// one-second tick reaches the ports, the dashboard, the chart view and the
// objects the window owns.
#pragma once

#include <memory>

class T_Form;
class TUpdateCycle;

// Milliseconds between ticks: 1000. For tests only, the environment variable
// BRISMARE_TICK_MS (10 to 1000) runs the cycle faster; every age and
// interval (GPS lost, dead reckoning, log counter) is still measured in real
// time.
int TickIntervalMs();

class TFormTick {
 public:
  explicit TFormTick(T_Form& form);
  ~TFormTick();
  TFormTick(const TFormTick&) = delete;
  TFormTick& operator=(const TFormTick&) = delete;

  TUpdateCycle& Cycle() { return *cycle_; }

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
  std::unique_ptr<TUpdateCycle> cycle_;
};
