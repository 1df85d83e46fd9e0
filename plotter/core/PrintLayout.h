// The arithmetic of the printed chart page and the printed lists: which
// part of the chart is printed, where it lands on the page, the scale bar's
// length and label, and the chart catalog as lines of columns. Plain
// functions, so that every rule is checked without a printer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Types.h"

struct RChartLayout;

// A rectangle in chart pixels or page pixels.
struct TPrintRect {
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  bool Empty() const { return Width <= 0 || Height <= 0; }
  friend bool operator==(const TPrintRect&, const TPrintRect&) = default;
};

// The chart pixels to print: the whole chart, or the part of it on screen
// (the view's scroll position and size divided by the zoom, rounded), cut at
// the chart's right and bottom edges. Empty when nothing of the chart is
// there (no chart, a view scrolled past it, a zoom that is not positive).
TPrintRect PrintSource(bool fullChart, TPoint scroll, TPoint viewSize, double zoom, int32_t chartWidth,
                       int32_t chartHeight);

// Landscape paper for an area wider than high.
inline bool PrintLandscape(const TPrintRect& source) { return source.Height < source.Width; }

// Where the source lands on a page of the printable size: at the page's
// origin, keeping its proportions and filling the page in one direction.
// Empty for an empty source or page.
TPrintRect PrintDest(const TPrintRect& source, int32_t pageWidth, int32_t pageHeight);

// The print unit from the height of "X" in the printer's font: pens are
// half of it, chart outlines a quarter.
inline int PrintUnit(int xHeight) { return xHeight / 8 > 4 ? xHeight / 8 : 4; }

// The scale bar for a quarter of the printed area's diagonal, in nautical
// miles: that length cut to its leading digit (3.7 -> 3, 0.52 -> 0.5,
// 45 -> 40), with a tick per unit of that digit (a leading 1 gets ten) and
// the label "<miles> nm". Not shown for lengths of 0.0001 nm or less, 1000 nm
// or more, or that are not finite.
struct TScaleBarLength {
  bool Shown = false;
  double Miles = 0;
  int Divisions = 0;  // tick marks: Divisions + 1
  std::string Label;
};
TScaleBarLength ScaleBarLength(double quarterDiagonalMiles);

// The chart catalog as printed: the heading (with the message texts for
// "Scale" and "Name") and one line per entry. The file column is the file
// found for the entry, "" when there is none. Degree signs become commas, so
// that degrees and minutes fall into columns of their own; commas inside the
// name and the file become "-".
std::string ChartListHeading(const std::string& scaleText, const std::string& nameText);
std::string ChartListLine(int index, const RChartLayout& entry, const std::string& file);

// What the chart print draws over and with the chart. Route and positions:
// with their names, as symbols only, or not at all.
enum class TPrintNames { None, SymbolsOnly, WithNames };
struct TPrintItems {
  bool chart = true;
  TPrintNames route = TPrintNames::WithNames;
  TPrintNames positions = TPrintNames::WithNames;
  bool track = true;
  bool outlines = false;
};
