// The program state group of the settings file (log, trip, engine hours,
// fuel, last position, ...): written every minute while it changes, so that
// a power cut loses at most a minute of it, with the window geometry when
// the window closes, and at the end of the run when it changed since. The
// groups and their keys are in plotter/core/SysInfo.h.
#pragma once

#include <string>

#include "plotter/WindowServices.h"

class TProgramState final : public TWindowFeature {
 public:
  // The state as the settings were just read counts as written.
  explicit TProgramState(const TWindowContext& c);

  // Writes the program state group when it changed since it was last
  // written (the state timer runs it every minute); a failure is shown
  // once, and tried again next time.
  void SaveStateIfChanged();
  // The window closes: the geometry and the state are written; a failure
  // is shown while the window is still there.
  void SaveAtClose();
  // The end of the run: the state written unless the file holds it already.
  void SaveAtDestroy();

 private:
  // The program state as last written (or read).
  std::string savedStateText_;
  // True once savedStateText_ is what the settings file holds (a write of
  // the program state succeeded).
  bool stateOnDisk_ = false;
  bool stateSaveFailureShown_ = false;
};
