#include "plotter/settings/ProgramState.h"

#include <cstdio>

#include "plotter/core/Lifecycle.h"
#include "plotter/core/SysInfo.h"

TProgramState::TProgramState(const TWindowContext& c)
    : TWindowFeature(c), savedStateText_(ProgramStateText(sys_)) {}

void TProgramState::SaveStateIfChanged() {
  const std::string text = ProgramStateText(sys_);
  if (text == savedStateText_) return;
  std::string error;
  if (SaveProgramState(sys_, &error)) {
    savedStateText_ = text;
    stateOnDisk_ = true;
    stateSaveFailureShown_ = false;
    return;
  }
  // Tried again next time; the user hears of it once, not every minute.
  std::fprintf(stderr, "brismare: %s\n", error.c_str());
  if (!stateSaveFailureShown_) {
    stateSaveFailureShown_ = true;
    window_.ShowFailureNotice(error);
  }
}

void TProgramState::SaveAtClose() {
  // The program state goes with the geometry, so that a failure can still
  // be shown while the window is there; destroy then writes it again only
  // when it changed since.
  std::string error;
  const std::string state = ProgramStateText(sys_);
  if (SaveWindowAndState(sys_, &error)) {
    savedStateText_ = state;
    stateOnDisk_ = true;
  } else {
    window_.ShowFailureNotice(error);
  }
}

void TProgramState::SaveAtDestroy() {
  const std::string text = ProgramStateText(sys_);
  std::string error;
  if (stateOnDisk_ && text == savedStateText_) {
    NoteLifecycle("write program state");  // the file holds it already
  } else if (SaveProgramState(sys_, &error)) {
    savedStateText_ = text;
    stateOnDisk_ = true;
    NoteLifecycle("write program state");
  } else {
    std::fprintf(stderr, "brismare: %s\n", error.c_str());
  }
}
