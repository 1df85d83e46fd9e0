// Small charts written by the tests themselves, so the chart view's tests
// run without any third-party data: a KAP raster (through the charts tests'
// KAP writer), a WCI file (through the WCI writer) and a PNG image with its
// ".CAL" file, all of one picture and one calibration. The picture is made
// of soft blues and greens, so that the boat's colour stands out on it.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "charts/ChartInfo.h"
#include "charts/ChartList.h"
#include "charts/ImageChart.h"
#include "charts/KapWriter.h"
#include "charts/WCIWriter.h"
#include "foundation/NumText.h"
#include "foundation/Types.h"

namespace chartfix {

struct TChartPlan {
  std::string name = "TEST CHART";
  int width = 400;
  int height = 300;
  // Degrees.
  double north = 54.5;
  double south = 54.2;
  double west = 10.0;
  double east = 10.5;
  int32_t scale = 50000;
  std::string datum = "WGS84";
  // Border lines; without them the chart has no border.
  bool border = true;
  // Reference points: the four corners; 1 leaves one, -1 puts three on a
  // line (no fit).
  int refs = 4;
};

// The colour (1..7) of a chart pixel: bands of soft colours.
inline uint8_t PixelColour(int x, int y) { return static_cast<uint8_t>(1 + ((x / 16 + 2 * (y / 24)) % 7)); }
// Colours 1..7 (KAP numbering): light blue, greens and sand, no magenta.
inline TRgb ColourOf(int c) {
  static const TRgb kColours[8] = {MakeRgb(0, 0, 0),       MakeRgb(200, 230, 250), MakeRgb(180, 220, 240),
                                   MakeRgb(210, 235, 210), MakeRgb(190, 225, 190), MakeRgb(240, 230, 200),
                                   MakeRgb(225, 240, 245), MakeRgb(170, 205, 230)};
  return kColours[c & 7];
}

inline std::string Deg(double v) { return FloatToStrDot(v); }

// The chart's reference points: pixel corners and their positions.
inline std::vector<TGridPoint> RefPoints(const TChartPlan& s) {
  const double r = kDegToRad;
  std::vector<TGridPoint> p = {{0, 0, s.west * r, s.north * r},
                               {double(s.width), 0, s.east * r, s.north * r},
                               {double(s.width), double(s.height), s.east * r, s.south * r},
                               {0, double(s.height), s.west * r, s.south * r}};
  if (s.refs == 1) p.resize(1);
  if (s.refs < 0) {
    // Three points on one row: no triangle to fit.
    p = {{0, 0, s.west * r, s.north * r},
         {double(s.width) / 2, 0, (s.west + s.east) / 2 * r, s.north * r},
         {double(s.width), 0, s.east * r, s.north * r}};
  }
  return p;
}

inline TFPointArray Border(const TChartPlan& s) {
  if (!s.border) return {};
  const double r = kDegToRad;
  return {{s.west * r, s.north * r}, {s.east * r, s.north * r}, {s.east * r, s.south * r}, {s.west * r, s.south * r}};
}

// The calibration header lines of the chart (Mercator).
inline std::vector<std::string> CalibrationLines(const TChartPlan& s, const std::string& fileName) {
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  info.Layout.Name = s.name;
  info.Layout.FileName = fileName;
  info.Layout.Scale = s.scale;
  info.Layout.Border = Border(s);
  info.Layout.BorderCount = static_cast<uint16_t>(info.Layout.Border.size());
  info.RefPoints = RefPoints(s);
  info.RefCount = static_cast<int32_t>(info.RefPoints.size());
  info.DatumName = s.datum;
  info.Projection = 1;
  info.Width = s.width;
  info.Height = s.height;
  TChartHeadBaseCodec codec;
  codec.WriteInfo(info);
  return codec.Lines;
}

inline std::string WriteKapChart(const std::string& path, const TChartPlan& s) {
  TKapImage k;
  k.Width = s.width;
  k.Height = s.height;
  k.Depth = 3;
  k.Header = {"! chart of the chart view tests",
              "VER/3.0",
              "BSB/NA=" + s.name + ",NU=T1,RA=" + std::to_string(s.width) + "," + std::to_string(s.height) + ",DU=254",
              "KNP/SC=" + std::to_string(s.scale) + ",GD=" + s.datum + ",PR=MERCATOR,PP=" + Deg(s.south) +
                  ",PI=UNKNOWN,SP=,SK=0.0",
              "    TA=90.0,UN=METERS,SD=LAT,DX=5.0,DY=5.0",
              "IFM/3"};
  for (int c = 1; c <= 7; ++c) {
    const TRgb v = ColourOf(c);
    k.Header.push_back("RGB/" + std::to_string(c) + "," + std::to_string(RgbRed(v)) + "," +
                       std::to_string(RgbGreen(v)) + "," + std::to_string(RgbBlue(v)));
  }
  int n = 1;
  for (const TGridPoint& g : RefPoints(s))
    k.Header.push_back("REF/" + std::to_string(n++) + "," + std::to_string(int(g.X)) + "," + std::to_string(int(g.Y)) +
                       "," + Deg(g.Lat * kRadToDeg) + "," + Deg(g.Lon * kRadToDeg));
  n = 1;
  for (const TFPoint& b : Border(s))
    k.Header.push_back("PLY/" + std::to_string(n++) + "," + Deg(b.Y * kRadToDeg) + "," + Deg(b.X * kRadToDeg));
  k.Header.push_back("DTM/0.0,0.0");
  k.Rows.resize(static_cast<size_t>(s.height));
  for (int y = 0; y < s.height; ++y) {
    k.Rows[static_cast<size_t>(y)].resize(static_cast<size_t>(s.width));
    for (int x = 0; x < s.width; ++x) k.Rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = PixelColour(x, y);
  }
  WriteTestFile(path, WriteKap(k));
  return path;
}

// The picture as a palettised image for the WCI writer (palette index =
// KAP colour - 1).
class TPictureSource final : public TWCIImageSource {
 public:
  TPictureSource(int w, int h) : w_(w), h_(h) {}
  int32_t Width() const override { return w_; }
  int32_t Height() const override { return h_; }
  int ColourCount() const override { return 7; }
  TRgb Colour(int index) const override { return ColourOf(index + 1); }
  bool ReadRow(int32_t y, uint8_t* dst) override {
    for (int x = 0; x < w_; ++x) dst[x] = static_cast<uint8_t>(PixelColour(x, y) - 1);
    return true;
  }

 private:
  int w_, h_;
};

inline std::string WriteWciChart(const std::string& path, const TChartPlan& s) {
  TPictureSource picture(s.width, s.height);
  TWCIWriter writer;
  writer.ConfirmReplace = false;
  const size_t slash = path.find_last_of('/');
  writer.Convert(picture, path, CalibrationLines(s, path.substr(slash + 1)));
  return path;
}

// A PNG of the picture and, with `cal`, its ".CAL" file beside it.
inline std::string WritePngChart(const std::string& path, const TChartPlan& s, bool cal = true) {
  TChartImage image;
  image.Allocate(TImageFormat::Indexed8, s.width, s.height, int64_t{1} << 30);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      image.Pixels[static_cast<size_t>(y) * image.Stride + static_cast<size_t>(x)] = PixelColour(x, y);
  for (int c = 0; c < 8; ++c) image.Palette.push_back(ColourOf(c));
  std::string bytes;
  EncodePNG(image, bytes);
  WriteTestFile(path, bytes);
  if (cal) {
    TChartHeadBaseCodec codec;
    const size_t slash = path.find_last_of('/');
    codec.Lines = CalibrationLines(s, path.substr(slash + 1));
    codec.SaveToFile(path.substr(0, path.size() - 4) + ".CAL");
  }
  return path;
}

// A catalog entry for a chart file made from `s` (bounds and border on WGS 84).
inline RChartLayout CatalogEntry(const TChartPlan& s, const std::string& file) {
  RChartLayout e;
  e.Name = s.name;
  e.FileName = file;
  e.Scale = s.scale;
  e.Priority = 1;
  e.Border = Border(s);
  e.BorderCount = static_cast<uint16_t>(e.Border.size());
  const double r = kDegToRad;
  e.Bounds = {s.east * r, s.north * r, s.west * r, s.south * r};
  return e;
}

// Four small charts side by side (half a degree apart from 10 E) of
// different scales, written as PNG charts into `dir` and added to `list` in
// this order: "Harbour Approach" 1:25 000, "coastal passage" 1:250 000,
// "Inner Harbour" 1:10 000, "Bay Entrance" 1:50 000.
inline void AddFourCharts(const std::string& dir, TChartList& list) {
  const struct {
    const char* name;
    const char* file;
    int32_t scale;
    double lonShift;
  } charts[] = {{"Harbour Approach", "B.PNG", 25000, 0},
                {"coastal passage", "A.PNG", 250000, 1},
                {"Inner Harbour", "C.PNG", 10000, 2},
                {"Bay Entrance", "D.PNG", 50000, 3}};
  for (const auto& c : charts) {
    TChartPlan plan;
    plan.name = c.name;
    plan.scale = c.scale;
    plan.width = 40;
    plan.height = 30;
    plan.west += c.lonShift;
    plan.east += c.lonShift;
    const std::string file = WritePngChart(dir + "/" + c.file, plan);
    ASSERT_TRUE(list.AddEntry(CatalogEntry(plan, file), false) >= 0);
  }
}

}  // namespace chartfix
