#include "instruments/NMEAFields.h"

#include <algorithm>
#include <cmath>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"

namespace {

constexpr double kTwoPi = 2.0 * kPi;
// Larger angle values are never sent by an instrument.
constexpr double kMaxAngleDegrees = 1e6;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Two decimal digits at text[at], or -1.
int TwoDigits(std::string_view text, size_t at) {
  if (at + 2 > text.size() || !IsDigit(text[at]) || !IsDigit(text[at + 1])) return -1;
  return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

}  // namespace

double NormalisedAngle(double angle) {
  NormAngle(angle);
  return angle;
}

std::optional<double> ReadNumber(std::string_view text) {
  if (text.empty()) return 0.0;
  return TryStrToFloatDot(text);
}

std::optional<double> ReadAngle(std::string_view text) {
  std::optional<double> deg = ReadNumber(text);
  if (!deg || !(std::fabs(*deg) < kMaxAngleDegrees)) return std::nullopt;
  return NormalisedAngle(*deg * kDegToRad);
}

std::optional<double> ReadAngleOrNoData(std::string_view text) {
  if (text.empty()) return NoDataValue;
  return ReadAngle(text);
}

double ReadLatLon(std::string_view text, char letter) {
  if (text.size() < 6) return NoDataValue;
  size_t dot = text.find('.');
  if (dot == std::string_view::npos || dot < 3) return NoDataValue;
  double sign;
  double limit;
  switch (letter) {
    case 'N': case 'n': sign = 1; limit = 90; break;
    case 'S': case 's': sign = -1; limit = 90; break;
    case 'E': case 'e': sign = 1; limit = 180; break;
    case 'W': case 'w': sign = -1; limit = 180; break;
    default: return NoDataValue;
  }
  std::string_view degText = text.substr(0, dot - 2);
  while (!degText.empty() && degText.front() == ' ') degText.remove_prefix(1);
  if (degText.empty() || degText.size() > 3) return NoDataValue;
  double degrees = 0;
  for (char c : degText) {
    if (!IsDigit(c)) return NoDataValue;
    degrees = degrees * 10 + (c - '0');
  }
  std::optional<double> minutes = TryStrToFloatDot(text.substr(dot - 2, 10));
  if (!minutes || !(*minutes >= 0 && *minutes < 60)) return NoDataValue;
  double value = degrees + *minutes / 60.0;
  if (value > limit) return NoDataValue;
  return sign * value * kDegToRad;
}

double ReadTime(std::string_view text) {
  int h = TwoDigits(text, 0);
  int m = TwoDigits(text, 2);
  int s = TwoDigits(text, 4);
  if (h < 0 || m < 0 || s < 0 || h > 23 || m > 59 || s > 59) return 0;
  return (h * 3600 + m * 60 + s) / 86400.0;
}

double ReadDate(std::string_view text) {
  int day = TwoDigits(text, 0);
  int month = TwoDigits(text, 2);
  if (day < 0 || month < 0 || text.size() < 5) return 0;
  std::string_view yearText = text.substr(4, 4);
  int year = 0;
  for (char c : yearText) {
    if (!IsDigit(c)) return 0;
    year = year * 10 + (c - '0');
  }
  if (year < 100) year += year <= 80 ? 2000 : 1900;
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date)) return 0;
  return date;
}

TWindTriangle SolveWindTriangle(double angle, double windSpeed, double boatSpeed) {
  TWindTriangle r;
  double t0 = NormalisedAngle(angle);
  double t = t0 > kPi ? kTwoPi - t0 : t0;
  double w = windSpeed;
  double v = boatSpeed;
  if (t != kPi) {
    // Rounding may push the square or the sines a hair outside their domain.
    r.C = std::sqrt(std::max(0.0, v * v + w * w - 2 * v * w * std::cos(t)));
    if (r.C == 0) {
      r.A0 = r.B = (kPi - t) / 2;
    } else if (w < v) {
      r.B = std::asin(std::clamp(w * std::sin(t) / r.C, -1.0, 1.0));
      r.A0 = kPi - (r.B + t);
    } else {
      r.A0 = std::asin(std::clamp(v * std::sin(t) / r.C, -1.0, 1.0));
      r.B = kPi - (r.A0 + t);
    }
  } else {
    r.C = w + v;
    r.A0 = 0;
    r.B = 0;
  }
  if (t0 > kPi) {
    r.A0 = kTwoPi - r.A0;
    r.B = kTwoPi - r.B;
  }
  r.A0 = NormalisedAngle(r.A0);
  r.B = NormalisedAngle(r.B);
  return r;
}
