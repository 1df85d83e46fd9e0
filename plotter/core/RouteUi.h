// The route as the main window shows and edits it, without any window:
// activating and ending it, the texts of the guidance and statistics boxes,
// the route editor's fields and what they do to the points, inserting,
// adding, deleting, the name proposed for saving. plotter/MainRoute.cpp
// connects it to the dashboard's boxes, the menus and the dialogs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foundation/Types.h"

class TRoute;
class TNavShape;
class TWorldConvert;
struct TNMEAINFO;

// ---- activation ----

enum class TActivation {
  Started,     // following began (the route may have been turned round)
  Stopped,     // following ended
  Empty,       // no points: nothing happened
  NoPosition,  // no valid fix: not started (it would lead from 0 N 0 E)
};
// Starts following from the boat's position (turning the route round when
// the boat is nearest its end), or stops it when it is followed.
TActivation ToggleRoute(TRoute& route, TNMEAINFO& nav, bool gpsLost);

// ---- the guidance boxes ----

struct TRouteValueTexts {
  std::string wpId, bwr, bod, rng, trng, xte, ttg, tttg, next, time, wcv, hint;
};
// The texts of the guidance boxes: bearings in degrees (true, or magnetic
// less the variation when `magnetic` and the variation is known), ranges
// in nautical miles, times as hours, minutes and seconds; "---" for a value
// that is not known. `elapsedDays` is the time since activation.
TRouteValueTexts FormatRouteValues(const TNMEAINFO& nav, bool magnetic, double elapsedDays,
                                   const std::string& indicator);

struct TRouteStatTexts {
  std::string start, end, length;  // all empty without points
};
TRouteStatTexts RouteStats(const TRoute& route);

// ---- the editor's fields ----

// A typed position in the nine-character form ("dddmmmmmH"): three degree
// digits, five digits of thousandths of a minute and the hemisphere
// letter. Anything else (blanks, minutes of 60 or more, degrees beyond 90
// or 180, another letter) is no position.
std::optional<double> ParsePositionText(std::string_view text, bool isLongitude);

struct TPointFields {
  int number = -1;               // the list's entry (-1: none)
  std::string lat, lon;          // nine-character forms
  bool positionEnabled = true;   // false with two or more points selected
  std::string name;
  std::string speed;             // knots
  std::string xte;               // nautical miles
};
// What the editor shows for a point (two or more selected: no number, the
// position fields zero and disabled).
TPointFields FieldsOf(const TRoute& route, const TNavShape& point);
// The fields empty (zeros), for no point.
TPointFields EmptyFields();
// Takes the fields into the point, or into every selected point when two
// or more are (an empty name, a speed or limit of 0 keep each point's own).
// "" on success; otherwise a message saying what is wrong, and nothing has
// changed.
std::string ApplyPointFields(TRoute& route, TNavShape& point, const TPointFields& f);

// ---- editing ----

// A new point at a position: at the end (`extend`) or in the leg it
// belongs to, with the default speed and limit, selected alone, placed.
TNavShape* InsertRoutePoint(TRoute& route, const TFPoint& pos, bool extend);
// A route point made from a position: at the end (`extend`) or where it
// belongs in the route, with the position's name, comment, speed and limit
// (defaults for 0).
TNavShape* AddPositionToRoute(TRoute& route, const TNavShape& position, bool extend);

// ---- files ----

// The name "Save As" proposes: "<first> - <last>" when both have names,
// with characters a file name cannot hold replaced; "" otherwise.
std::string ProposedRouteFileName(const TRoute& route);
