// The update timer on Qt's event loop: a QTimer child of its owner (so that
// it can be found by its object name), ticking on the main thread.
#pragma once

#include "plotter/core/TickTimer.h"

class QObject;
class QTimer;

class TQtTickTimer final : public ITickTimer {
 public:
  TQtTickTimer(QObject* owner, const char* objectName, int intervalMs);
  ~TQtTickTimer() override;
  void SetEnabled(bool on) override;
  bool Enabled() const override;
  QTimer* Timer() const { return timer_; }

 private:
  QTimer* timer_;
};
