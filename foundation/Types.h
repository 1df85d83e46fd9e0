// Plain value types shared by every subsystem.
#pragma once

#include <cstdint>
#include <vector>

// A geographic position (X = longitude, Y = latitude, radians, east and north
// positive), a plane or pixel point, or a polar pair (X = length, Y = bearing
// clockwise from north).
struct TFPoint {
  double X = 0;
  double Y = 0;
  friend bool operator==(const TFPoint&, const TFPoint&) = default;
};
using TFPointArray = std::vector<TFPoint>;

// A position in thousandths of a minute of arc; latitude first.
struct TIntPos {
  int32_t Lat = 0;
  int32_t Lon = 0;
  friend bool operator==(const TIntPos&, const TIntPos&) = default;
};
using TIntPosArray = std::vector<TIntPos>;

// Integer pixel point.
struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};
using TPointArray = std::vector<TPoint>;

// Rectangle in TFPoint space, kept normalised: X1 >= X2 and Y1 >= Y2
// (for positions: east, north, west, south).
struct TFRect {
  double X1 = 0;
  double Y1 = 0;
  double X2 = 0;
  double Y2 = 0;
  friend bool operator==(const TFRect&, const TFRect&) = default;
};

// Days since 1899-12-30, time of day in the fraction.
using TDateTime = double;

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kRadToDeg = 57.295779513082320877;
inline constexpr double kDegToRad = 0.017453292519943295769;
// Minutes of arc per radian: radians of arc x this = nautical miles.
inline constexpr double kRadToNM = 3437.7467707849392526;
// Metres per radian of arc (1852 m per nautical mile).
inline constexpr double kRadToMetre = 6366707.0194937074957;
// The longest time-to-go shown: 359 999 s, displayed as 99:59:59.
inline constexpr double kMaxTimeToGoDays = 4.166655092592593;
// TDateTime of 1970-01-01 00:00 UTC.
inline constexpr double kUnixEpochDays = 25569.0;
