#include "calibrator/longrun/core/LongCommand.h"

#include <algorithm>

bool TLongCommand::Begin(bool cancellable) {
  if (running_) return false;
  running_ = true;
  cancellable_ = cancellable;
  cancelRequested_ = false;
  return true;
}

void TLongCommand::End() {
  running_ = false;
  cancellable_ = false;
  cancelRequested_ = false;
}

void TLongCommand::RequestCancel() {
  if (Cancellable()) cancelRequested_ = true;
}

TProgressPanel ProgressPanelFor(const std::string& text, int position, int max, const TLongCommand& command) {
  TProgressPanel p;
  p.Shown = !text.empty() || max != 0;
  if (!p.Shown) return p;
  p.Max = std::max(max, 0);
  p.Bar = p.Max >= 1;
  p.Position = std::clamp(position, 0, p.Max);
  p.Cancel = command.Cancellable();
  return p;
}
