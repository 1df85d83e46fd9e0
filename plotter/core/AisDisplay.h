// The AIS targets as the chart shows them: symbols by kind, labels, speed
// lines, hull outlines and the closest-approach picture of targets in
// alarm; the texts of the target information window; the choice in the
// dashboard's target list. Drawing goes through the canvas, so it runs and
// is checked without a window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "foundation/Types.h"
#include "platform/Canvas.h"

struct TAIS_Rec;
class TAisDecoder;
class TMessageTable;

struct TAisDrawSettings {
  int labels = 2;       // "AIS Labels": 0 off, 1 on, 2 names only
  int markerSize = 1;   // "AIS Marker Size"
  TRGB marker = 0;      // "AIS Marker Color"
  TRGB msgAvail = 0;    // "AIS MsgAvail Color"
  TRGB text = 0;        // "AIS Target Text Color"
  TRGB cpa = 0;         // "AIS CPA Color"
  bool outline = true;  // "AIS Target Outline"
  bool speedMark = true;       // "AIS Speed Mark"
  double cpaMax = 0.1;         // "AIS CPA Max", nautical miles
  double speedMarkSeconds = 0;  // "Speed Mark"
  double milesPerPixel = 0;    // of the chart at the current zoom
  double northRotation = 0;    // radians
};

// The own vessel and the chart, for the closest-approach pictures.
struct TAisOwnShip {
  TFPoint pos{};
  double sogKnots = 0;
  double headingRad = 0;
  // Geographic position -> panel pixel (the targets' ChartPoint space).
  std::function<bool(const TFPoint&, TPoint&)> toPixel;
  // The current chart shows the position.
  std::function<bool(const TFPoint&)> onChart;
};

// The chart label of a target: its name, or "?:" and the slot number in
// three digits when it has none and "AIS Labels" is 1; "" for no label.
std::string AisTargetLabel(const TAIS_Rec& t, int slot, int labels);

// Draws every target on the chart (ChartPoint minus `scroll`), in slot
// order. `infoSlot` is the target of the information window when it is
// visible (-1 otherwise): it gets a dotted square.
void DrawAisTargets(ICanvas& canvas, const TAisDecoder& ais, const TAisDrawSettings& s, TPoint scroll,
                    const TAisOwnShip& own, int infoSlot);

// The own ship's hull at true scale around the boat's point `at`, turned by
// `angle` (the boat symbol's), when its dimensions are known (AIS static
// data of the own transponder) and it is longer than 20 pixels' worth of
// metres plus 6 × the marker size.
void DrawOwnShipOutline(ICanvas& canvas, const TAIS_Rec& own, TPoint at, double angle, double milesPerPixel,
                        int markerSize, TRGB colour, int penWidth);

// The information window's lines for a target; empty when the target has
// no position (not active). Times show in UTC (the line "UTC:"), whatever
// the computer's time zone; `depthShow` and `windShow` are the dashboard's
// units.
struct TAisInfoUnits {
  int depthShow = 1;
  int windShow = 1;
};
std::vector<std::string> AisInfoLines(const TAIS_Rec& t, int slot, int labels, const TMessageTable& messages,
                                      const TAisInfoUnits& units);

// The slot of a list entry ("NAME:012", " Base station:003"): the number
// after its last ":", or -1.
int AisSlotOfListEntry(const std::string& entry);
