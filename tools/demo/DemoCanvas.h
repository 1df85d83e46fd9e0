// A palette image to draw demo charts on: plain pixel operations without
// smoothing (a scanned paper chart has a few flat colours), thick lines,
// circles, rectangles and text in a built-in stroke font, so that the
// pictures come out the same on every machine, with or without fonts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "charts/ImageChart.h"

class TDemoCanvas {
 public:
  TDemoCanvas(int32_t width, int32_t height, std::vector<TRgb> palette, uint8_t background);

  int32_t Width() const { return image_.Width; }
  int32_t Height() const { return image_.Height; }
  const TChartImage& Image() const { return image_; }

  uint8_t Get(int32_t x, int32_t y) const;
  // Pixels outside the image are ignored.
  void Set(int32_t x, int32_t y, uint8_t colour);

  void FillRect(double x1, double y1, double x2, double y2, uint8_t colour);
  void FrameRect(double x1, double y1, double x2, double y2, double width, uint8_t colour);
  // A line of the given width (at least one pixel, never broken).
  void Line(double x1, double y1, double x2, double y2, double width, uint8_t colour);
  // Dashes of `dash` pixels with gaps of `gap` pixels.
  void DashedLine(double x1, double y1, double x2, double y2, double width, double dash, double gap, uint8_t colour);
  void Disc(double cx, double cy, double radius, uint8_t colour);
  // The pixels whose centres lie inside the polygon (even-odd rule); the
  // points are x, y pairs.
  void FillPolygon(const std::vector<std::pair<double, double>>& points, uint8_t colour);
  void Circle(double cx, double cy, double radius, double width, uint8_t colour);

  // Text in the stroke font: `size` is the height of a capital letter in
  // pixels; (x, y) is the left end of the baseline; `angle` (radians,
  // counter-clockwise) turns the line about that point. Letters are shown as
  // capitals; characters the font lacks leave a gap.
  void Text(double x, double y, std::string_view text, double size, uint8_t colour, double angle = 0,
            double weight = 0);
  // Width of the text in pixels at that size.
  static double TextWidth(std::string_view text, double size);
  // Centred on (x, y) (the middle of a capital letter).
  void TextCentred(double x, double y, std::string_view text, double size, uint8_t colour, double weight = 0);

 private:
  TChartImage image_;
};
