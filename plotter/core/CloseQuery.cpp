#include "plotter/core/CloseQuery.h"

#include "navobjects/NavCtrls.h"
#include "platform/Questions.h"

bool CloseAllowed(const TCloseState& state, const TMessageTable& messages) {
  if (state.noQuitQuery) return true;
  if (state.routeModified && state.routeCount > 0 &&
      !AskYesNo(messages[msgRoute] + messages[msgIsNotSaved]))
    return false;
  if (state.positionsModified && state.positionsCount > 0 &&
      !AskYesNo(messages[msgPositions] + messages[msgIsNotSaved]))
    return false;
  return AskYesNo(messages[msgDoYouWantToQuit]);
}

bool AskListSaved(TNavShapeCollection& list, int what, const TMessageTable& messages) {
  if (list.Empty()) list.Modified = false;
  if (!list.Modified) return true;
  return AskYesNo(messages[what] + messages[msgIsNotSaved]);
}
