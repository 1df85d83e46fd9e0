// What the chart view draws over the chart around the boat: the wind arrow,
// the line from the marker to the boat, the boat symbol, the range rings,
// the speed mark and the heading stick, in that order. Drawn on any canvas,
// in view pixels.
#pragma once

#include "foundation/Types.h"
#include "platform/Canvas.h"

class TQuickShape;

struct TBoatOverlay {
  // View pixels.
  TFPoint boat;
  TFPoint speedMark;
  TFPoint headStick;
  double symbolHeading = 0;  // 0 up the screen, clockwise
  // "Boat Shape Marker": 0 the circle shape, 1 a boat outline, 2 an arrow.
  int boatShape = 0;
  TQuickShape* boatSymbol = nullptr;
  TQuickShape* rings = nullptr;
  TQuickShape* speedSymbol = nullptr;
  TRGB boatColour = 0;
  // Width of the heading stick: the "Boat Size" setting, at least 1.
  int stickWidth = 1;
  bool showSpeedMark = false;  // speed over ground >= 1 knot and "Speed Mark" > 0
  bool headingStick = true;   // "No Heading Stick" off
  // The wind arrow: shown when set; direction the wind comes from on the
  // screen (0 up, clockwise) and its speed in metres per second.
  bool windArrow = false;
  TRGB windColour = 0;
  double windFrom = 0;
  double windSpeed = 0;
  // The marker, joined to the boat by a dotted line when shown.
  bool markerShown = false;
  TFPoint marker;
  // The visible area.
  TCanvasRect clip;
};

// Draws the boat's overlays.
void DrawBoatOverlays(ICanvas& canvas, const TBoatOverlay& o);

// The marker (a man overboard, "Mark Cursor"): a ring with a cross, in the
// marker pen's colour, centred on `at` (view pixels).
void DrawMarkerSymbol(ICanvas& canvas, const TFPoint& at, TRGB colour);

// The point `length` pixels from p in the screen direction `bearing` (0 up,
// clockwise).
TCanvasPoint ScreenOffset(const TFPoint& p, double length, double bearing);
