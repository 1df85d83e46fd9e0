#include "plotter/core/PrintLayout.h"

#include <algorithm>
#include <cmath>

#include "charts/ChartInfo.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"

namespace {

// A rounded or cut value as a pixel coordinate; false when it is not one.
bool ToPixel(double v, int32_t& out) {
  if (!std::isfinite(v) || v < -1073741824.0 || v > 1073741824.0) return false;
  out = static_cast<int32_t>(v);
  return true;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

}  // namespace

TPrintRect PrintSource(bool fullChart, TPoint scroll, TPoint viewSize, double zoom, int32_t chartWidth,
                       int32_t chartHeight) {
  TPrintRect r;
  if (chartWidth <= 0 || chartHeight <= 0) return {};
  if (fullChart) {
    r = {0, 0, chartWidth, chartHeight};
  } else {
    if (!(zoom > 0) ||
        !ToPixel(std::round(scroll.X / zoom), r.X) || !ToPixel(std::round(scroll.Y / zoom), r.Y) ||
        !ToPixel(std::round(viewSize.X / zoom), r.Width) || !ToPixel(std::round(viewSize.Y / zoom), r.Height))
      return {};
  }
  r.Width = std::min<int64_t>(r.Width, int64_t{chartWidth} - r.X);
  r.Height = std::min<int64_t>(r.Height, int64_t{chartHeight} - r.Y);
  if (r.X < 0 || r.Y < 0 || r.Empty()) return {};
  return r;
}

TPrintRect PrintDest(const TPrintRect& source, int32_t pageWidth, int32_t pageHeight) {
  if (source.Empty() || pageWidth < 2 || pageHeight < 2) return {};
  TPrintRect d;
  if (static_cast<double>(source.Width) / source.Height > static_cast<double>(pageWidth) / pageHeight) {
    d.Width = pageWidth - 1;
    d.Height = static_cast<int32_t>(std::trunc(static_cast<double>(pageWidth - 1) / source.Width * source.Height)) - 1;
  } else {
    d.Height = pageHeight - 1;
    d.Width = static_cast<int32_t>(std::trunc(static_cast<double>(pageHeight - 1) / source.Height * source.Width)) - 1;
  }
  if (d.Empty()) return {};
  return d;
}

TScaleBarLength ScaleBarLength(double d) {
  TScaleBarLength bar;
  if (!std::isfinite(d) || d <= 0.0001 || d >= 1000) return bar;
  double f = 0.0001;
  while (d * f < 1) f *= 10;
  bar.Miles = std::trunc(d * f) / f;
  bar.Divisions = static_cast<int>(std::lround(bar.Miles * f));
  if (bar.Divisions == 1) bar.Divisions = 10;
  bar.Label = FloatToStrDot(bar.Miles) + " nm";
  bar.Shown = bar.Divisions > 0;
  return bar;
}

std::string ChartListHeading(const std::string& scaleText, const std::string& nameText) {
  return "   #," + PadLeft(scaleText, ' ', 11) + ", N ,        , W  ,        , S ,        , E  ,        , " + nameText +
         ", File";
}

std::string ChartListLine(int index, const RChartLayout& e, const std::string& file) {
  const TFRect& b = e.Bounds;
  const double north = std::max(b.Y1, b.Y2), south = std::min(b.Y1, b.Y2);
  const double west = std::min(b.X1, b.X2), east = std::max(b.X1, b.X2);
  std::string line = IntToStrPad(index, ' ', 4) + ", " + IntToStrPad(e.Scale, ' ', 10) + ", " + LatToStr(north) +
                     ", " + LonToStr(west) + ", " + LatToStr(south) + ", " + LonToStr(east) + ", " +
                     ReplaceAll(e.Name, ",", "-") + ", " + ReplaceAll(file, ",", "-");
  return ReplaceAll(line, "\xC2\xB0", ",");
}
