// Helpers of the chart catalog tests: synthetic catalog entries and
// little-endian byte builders for hand-made catalog files.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

#include "charts/ChartList.h"
#include "foundation/Types.h"

// Degrees -> a position in radians.
inline TFPoint Deg(double lon, double lat) { return {lon * kDegToRad, lat * kDegToRad}; }

// An entry whose border is the rectangle lon1..lon2, lat1..lat2 (degrees,
// corners in the order west-south, east-south, east-north, west-north) and
// whose bounds are the same rectangle.
inline RChartLayout BoxEntry(const std::string& name, int32_t scale, double lon1, double lat1, double lon2,
                             double lat2, uint16_t priority = 1, const std::string& file = std::string()) {
  RChartLayout e;
  e.Name = name;
  e.FileName = file.empty() ? "/charts/" + name + ".kap" : file;
  e.Scale = scale;
  e.Priority = priority;
  e.Border = {Deg(lon1, lat1), Deg(lon2, lat1), Deg(lon2, lat2), Deg(lon1, lat2)};
  e.BorderCount = 4;
  e.Bounds = {lon2 * kDegToRad, lat2 * kDegToRad, lon1 * kDegToRad, lat1 * kDegToRad};
  return e;
}

// Little-endian bytes for hand-made files.
struct TBytes {
  std::string b;
  TBytes& raw(std::string_view s) {
    b += s;
    return *this;
  }
  TBytes& u8(uint8_t v) {
    b += static_cast<char>(v);
    return *this;
  }
  TBytes& u16(uint16_t v) {
    for (int i = 0; i < 2; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    return *this;
  }
  TBytes& i32(int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b += static_cast<char>((u >> (8 * i)) & 0xFF);
    return *this;
  }
  TBytes& f64(double v) {
    const uint64_t u = std::bit_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) b += static_cast<char>((u >> (8 * i)) & 0xFF);
    return *this;
  }
  TBytes& text(std::string_view s) {
    u16(static_cast<uint16_t>(s.size()));
    return raw(s);
  }
};

// One catalog entry as the file lays it out.
inline void PutCatalogEntry(TBytes& out, int32_t groupMask, uint16_t priority, uint16_t quality, int32_t scale,
                            const TFRect& bounds, std::string_view name, std::string_view file,
                            const TFPointArray& border) {
  out.i32(groupMask).u16(priority).u16(quality).i32(scale).u16(static_cast<uint16_t>(border.size())).u16(0);
  out.f64(bounds.X1).f64(bounds.Y1).f64(bounds.X2).f64(bounds.Y2);
  out.text(name).text(file);
  for (const TFPoint& p : border) out.f64(p.X).f64(p.Y);
}
