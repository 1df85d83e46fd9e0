// A long command of the calibration tool's window: a conversion, a
// directory run, a catalog command, an import. While one runs the window
// goes on serving events (its message panel repaints, "Cancel" can be
// pressed), so it must refuse every other command that could change what
// the running one reads. "Cancel" is offered only where the command can
// stop, and only there is it noted.
#pragma once

#include <string>

class TLongCommand {
 public:
  // Starts a command; false (nothing changes) while one runs already.
  bool Begin(bool cancellable);
  void End();
  bool Running() const { return running_; }
  // The running command can stop early.
  bool Cancellable() const { return running_ && cancellable_; }
  // "Cancel": noted only while a command that can stop runs.
  void RequestCancel();
  bool CancelRequested() const { return cancelRequested_; }

 private:
  bool running_ = false;
  bool cancellable_ = false;
  bool cancelRequested_ = false;
};

// What the message panel shows for a report (text, position, maximum):
// hidden with neither text nor maximum; the bar with a maximum of 1 or more;
// "Cancel" whenever the running command can stop, bar or no bar.
struct TProgressPanel {
  bool Shown = false;
  bool Bar = false;
  bool Cancel = false;
  int Position = 0;
  int Max = 0;
};
TProgressPanel ProgressPanelFor(const std::string& text, int position, int max, const TLongCommand& command);
