#include "plotter/core/DialogLogic.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"

namespace {

constexpr double kNmPerRadian = 3437.7467707849392526;
constexpr double kRadToDeg = 57.295779513082320877;
// Hundredths of a nautical mile per radian.
constexpr double kHundredthNmPerRadian = 343774.67707849392525;

// A whole number for a cell, or nothing when it is not finite or too large.
std::optional<int64_t> Whole(double v) {
  if (!std::isfinite(v) || std::fabs(v) > 9.0e15) return std::nullopt;
  return std::llround(v);
}

std::string Pad(double v, int width) {
  const std::optional<int64_t> w = Whole(v);
  return IntToStrPad(w ? *w : 0, '0', width);
}

std::string Bearing(double radians) {
  if (!std::isfinite(radians)) return std::string();
  return FloatToStrShort(radians * kRadToDeg) + "°";
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

std::vector<TRouteGridRow> RouteGridRows(const std::vector<TRouteGridPoint>& points, double defaultSpeed,
                                         const std::string& sumCaption) {
  std::vector<TRouteGridRow> rows;
  double distance = 0;  // radians
  double hours = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const TRouteGridPoint& p = points[i];
    std::string bearing;
    if (i > 0) {
      const TFPoint db = GeoDistBearing(points[i - 1].Position, p.Position);
      if (!std::isfinite(db.X) || !std::isfinite(db.Y)) {
        distance = 0;
      } else {
        distance += db.X;
        const double speed = NonZeroOr(defaultSpeed, p.LegSpeed);
        // A speed of 0 (or less) gives the leg no time rather than an
        // infinite one.
        if (speed > 0 && std::isfinite(speed)) hours += db.X * kNmPerRadian / speed;
        bearing = Bearing(db.Y);
      }
    }
    TRouteGridRow r;
    r[0] = "wp " + std::to_string(i + 1);
    r[1] = p.Name;
    r[2] = PosToMaskText(false, p.Position.Y);
    r[3] = PosToMaskText(true, p.Position.X);
    r[4] = Pad(p.LegSpeed * 10, 3);
    r[5] = Pad(p.LegXTE * kNmPerRadian * 100, 3);
    r[6] = Pad(distance * kNmPerRadian * 10, 5);
    r[7] = SecondsToHHHMM(static_cast<double>(Whole(hours * 3600).value_or(0)));
    r[8] = bearing;
    rows.push_back(r);
  }
  TRouteGridRow sum;
  sum[1] = sumCaption;
  sum[2] = "00000000N";
  sum[3] = "00000000E";
  // No time (every leg without a speed): no average.
  sum[4] = hours > 0 ? Pad(distance * kNmPerRadian * 10 / hours, 3) : "000";
  sum[5] = "000";
  sum[6] = Pad(distance * kNmPerRadian * 10, 5);
  sum[7] = SecondsToHHHMM(static_cast<double>(Whole(hours * 3600).value_or(0)));
  if (points.size() >= 2) {
    const TFPoint db = GeoDistBearing(points.front().Position, points.back().Position);
    sum[8] = Bearing(db.Y);
  }
  rows.push_back(sum);
  return rows;
}

std::optional<double> ReadPositionCell(const std::string& text, bool longitude) {
  if (text.size() != 9) return std::nullopt;
  const std::string deg = text.substr(0, 3), min = text.substr(3, 5);
  if (!AllDigits(deg) || !AllDigits(min)) return std::nullopt;
  const char h = static_cast<char>(std::toupper(static_cast<unsigned char>(text[8])));
  if (longitude ? (h != 'E' && h != 'W') : (h != 'N' && h != 'S')) return std::nullopt;
  const int d = std::atoi(deg.c_str());
  const int m = std::atoi(min.c_str());
  if (m >= 60000) return std::nullopt;
  const double degrees = d + m / 60000.0;
  if (degrees > (longitude ? 180.0 : 90.0)) return std::nullopt;
  return MaskTextToPos(text);
}

bool ReadRouteGrid(const std::vector<TRouteGridRow>& rows, std::vector<TRouteGridPoint>& points, int* badRow,
                   int* badColumn) {
  std::vector<TRouteGridPoint> read;
  for (size_t i = 0; i < rows.size(); ++i) {
    const TRouteGridRow& r = rows[i];
    auto fail = [&](int column) {
      if (badRow) *badRow = static_cast<int>(i);
      if (badColumn) *badColumn = column;
      return false;
    };
    TRouteGridPoint p;
    p.Name = r[1];
    const std::optional<double> lat = ReadPositionCell(r[2], false);
    if (!lat) return fail(2);
    const std::optional<double> lon = ReadPositionCell(r[3], true);
    if (!lon) return fail(3);
    p.Position = {*lon, *lat};
    if (!AllDigits(r[4]) || r[4].size() > 3) return fail(4);
    p.LegSpeed = std::atoi(r[4].c_str()) / 10.0;
    if (!AllDigits(r[5]) || r[5].size() > 3) return fail(5);
    p.LegXTE = std::atoi(r[5].c_str()) / kHundredthNmPerRadian;
    read.push_back(p);
  }
  points = std::move(read);
  return true;
}

std::string TrimBlanks(const std::string& text) {
  const char* blanks = " \t\r\n\v\f";
  const size_t b = text.find_first_not_of(blanks);
  if (b == std::string::npos) return std::string();
  const size_t e = text.find_last_not_of(blanks);
  return text.substr(b, e - b + 1);
}

TPositionNameCheck CheckPositionName(const std::string& entered, const std::string& ownName,
                                     const std::vector<std::string>& otherNames) {
  const std::string name = TrimBlanks(entered);
  if (name.empty()) return TPositionNameCheck::Empty;
  if (name == ownName) return TPositionNameCheck::Unchanged;
  for (const std::string& other : otherNames)
    if (other == name) return TPositionNameCheck::InUse;
  return TPositionNameCheck::Rename;
}

int32_t TickedGroupMask(const std::vector<int32_t>& bits, const std::vector<bool>& ticked) {
  int32_t mask = 0;
  for (size_t i = 0; i < bits.size() && i < ticked.size(); ++i)
    if (ticked[i]) mask |= bits[i];
  return mask;
}
