// Whether the main window may close: the questions asked before the plotter
// quits.
#pragma once

#include "plotter/core/Messages.h"

// What the questions depend on. A list counts as unsaved only when it is
// marked changed and holds something: an empty list has nothing to lose.
struct TCloseState {
  bool noQuitQuery = false;  // "No Quit Query": close at once
  bool routeModified = false;
  int routeCount = 0;
  bool positionsModified = false;
  int positionsCount = 0;
};

// Asks, through the installed user questions and in this order, whether to
// go on with an unsaved route ("Route is not saved! Continue?"), with
// unsaved positions, and finally "Do you want to quit"; every question is a
// Yes/No box and any No keeps the window open. Texts come from `messages`.
bool CloseAllowed(const TCloseState& state, const TMessageTable& messages);

class TNavShapeCollection;

// Whether the list (the route or the positions) may be given up: an empty
// list loses its changed mark first; a list marked changed asks "<what> is
// not saved! Continue?" (`what` a message number: msgRoute or
// msgPositions), and only Yes gives it up.
bool AskListSaved(TNavShapeCollection& list, int what, const TMessageTable& messages);
