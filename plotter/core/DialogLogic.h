// The plain logic behind the plotter's smaller dialogs: the route list
// grid (its cells, and reading edited cells back), the position editor's
// name rule, and the group masks of the chart search and the preferred
// charts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Types.h"

// ---------------------------------------------------------------------------
// Route list grid: nine columns, one row per route point and a last row of
// sums and averages.

inline constexpr int kRouteGridColumns = 9;
using TRouteGridRow = std::array<std::string, kRouteGridColumns>;

// What the grid shows and edits of a route point.
struct TRouteGridPoint {
  std::string Name;
  TFPoint Position{};  // radians
  double LegSpeed = 0;  // knots, 0: the default speed
  double LegXTE = 0;    // radians of arc
};

// Column titles, widths and masks (the masks of the position, speed, limit
// and distance columns; "" where the cell is plain text).
struct TRouteGridColumn {
  int Width;
  const char* Mask;
};
inline constexpr TRouteGridColumn kRouteGridColumnsDef[kRouteGridColumns] = {
    {40, ""},  {160, ""}, {80, "000°00.000 >L;0;_"}, {80, "000°00.000 >L;0;_"}, {44, "00.0kt;0;_"},
    {44, "0.00nm;0;_"}, {58, "0000.0nm;0;_"}, {50, ""}, {48, ""}};

// The rows for the points, then the sum row with `sumCaption`. Legs are
// measured with GeoDistBearing; a leg's time uses its speed, or
// `defaultSpeed` when that is 0; a leg without a usable speed adds no
// time. A leg whose values are not finite sets the cumulative distance to
// 0 (and adds no time).
std::vector<TRouteGridRow> RouteGridRows(const std::vector<TRouteGridPoint>& points, double defaultSpeed,
                                         const std::string& sumCaption);

// A position cell (nine characters "05930500N") read strictly: every digit
// typed, minutes below 60, a latitude up to 90 degrees (N/S) or a longitude
// up to 180 (E/W). Nothing otherwise.
std::optional<double> ReadPositionCell(const std::string& text, bool longitude);

// The edited cells of the point rows (columns 1 to 5) back into points:
// all rows are read before anything is given back, so a row that cannot be
// read changes nothing. `badRow` (0-based point row) and `badColumn` tell
// which cell failed.
bool ReadRouteGrid(const std::vector<TRouteGridRow>& rows, std::vector<TRouteGridPoint>& points, int* badRow = nullptr,
                   int* badColumn = nullptr);

// ---------------------------------------------------------------------------
// Position editor: the name rule.

enum class TPositionNameCheck {
  Unchanged,  // the trimmed name is the position's own
  Rename,     // a new name nobody else has
  Empty,      // nothing but blanks
  InUse,      // another position has it
};
// `entered` is trimmed before it is compared; `otherNames` are the names of
// the other positions.
TPositionNameCheck CheckPositionName(const std::string& entered, const std::string& ownName,
                                     const std::vector<std::string>& otherNames);

// Leading and trailing blanks (spaces, tabs, line ends) removed.
std::string TrimBlanks(const std::string& text);

// ---------------------------------------------------------------------------
// Group masks

// The bits of the ticked groups (`bits[i]` the bit of group i).
int32_t TickedGroupMask(const std::vector<int32_t>& bits, const std::vector<bool>& ticked);
