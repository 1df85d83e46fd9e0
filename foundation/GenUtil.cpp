#include "foundation/GenUtil.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <limits>
#include <optional>

#include "foundation/TextCodec.h"
#include "platform/Clock.h"

namespace {

constexpr double kTwoPi = 2.0 * kPi;
constexpr double kHalfPi = kPi / 2.0;
constexpr double kThreeHalfPi = 1.5 * kPi;

// ---------------------------------------------------------------------------
// Small text helpers

// Decimal digits of a non-negative number, zero-filled on the left to `width`.
std::string ZeroPad(uint64_t value, int width) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  std::string digits(buf, static_cast<size_t>(res.ptr - buf));
  if (width > 0 && digits.size() < static_cast<size_t>(width))
    digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return digits;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// An unsigned decimal field of `minLen`..`maxLen` digits and nothing else.
std::optional<int64_t> ParseDigits(std::string_view s, size_t minLen, size_t maxLen) {
  if (s.size() < minLen || s.size() > maxLen) return std::nullopt;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

// A digit field of the position entry forms: blanks around it are allowed.
std::optional<int64_t> ParseMaskField(std::string_view s) { return ParseDigits(Trim(s), 1, 18); }

size_t CodePointCount(std::string_view text) {
  size_t n = 0;
  for (size_t pos = 0; pos < text.size(); ++n) NextCodePoint(text, pos);
  return n;
}

std::u32string ToCodePoints(std::string_view utf8) {
  std::u32string out;
  for (size_t pos = 0; pos < utf8.size();) out += NextCodePoint(utf8, pos);
  return out;
}

char32_t AsciiUpper(char32_t c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

// Applies `f` to every character of UTF-8 text.
template <typename F>
std::string MapChars(std::string_view text, F f) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) AppendUtf8(out, f(NextCodePoint(text, pos)));
  return out;
}

// ---------------------------------------------------------------------------
// Position text forms

// Degrees, minutes and thousandths of the display form, truncated after the
// bias of a quarter thousandth; minutes never reach 60.
struct TDegMinThou {
  int64_t deg;
  int min;
  int thou;
  bool negative;
};

std::optional<TDegMinThou> SplitForDisplay(double value) {
  NormAngleSigned(value);
  if (!std::isfinite(value)) return std::nullopt;
  double a = std::fabs(value) * kRadToDeg + 1.0 / 240000.0;
  double deg = std::trunc(a);
  double m = (a - deg) * 60.0;
  double mInt = std::trunc(m);
  TDegMinThou r{static_cast<int64_t>(deg), static_cast<int>(mInt),
                static_cast<int>(std::trunc((m - mInt) * 1000.0)), value < 0};
  // The products can round up to a whole unit; carry rather than show it.
  if (r.thou >= 1000) {
    r.thou -= 1000;
    ++r.min;
  }
  if (r.min >= 60) {
    r.min -= 60;
    ++r.deg;
  }
  return r;
}

std::string AngleToDisplay(double value, int degDigits, const char* pos, const char* neg, const char* fallback) {
  auto parts = SplitForDisplay(value);
  if (!parts) return fallback;
  std::string out = ZeroPad(static_cast<uint64_t>(parts->deg), degDigits);
  out += "\u00B0";
  out += ZeroPad(static_cast<uint64_t>(parts->min), 2);
  out += '.';
  out += ZeroPad(static_cast<uint64_t>(parts->thou), 3);
  out += parts->negative ? neg : pos;
  return out;
}

// The entry forms: `units` parts of a degree (60 000 or 600 000) written
// with `unitDigits` digits after three degree digits.
std::string ToMaskText(bool isLongitude, double value, double bias, double units, int unitDigits,
                       const char* lonFallback, const char* latFallback) {
  const char* fallback = isLongitude ? lonFallback : latFallback;
  double a = std::fabs(value) * kRadToDeg + bias;
  if (!std::isfinite(a) || a >= 1000.0) return fallback;
  double deg = std::trunc(a);
  double part = RoundHalfEven((a - deg) * units);
  if (part >= units) {  // rounded up to a whole degree
    part -= units;
    deg += 1.0;
  }
  if (deg > 999.0) return fallback;
  std::string out = ZeroPad(static_cast<uint64_t>(deg), 3);
  out += ZeroPad(static_cast<uint64_t>(part), unitDigits);
  if (isLongitude)
    out += value >= 0 ? 'E' : 'W';
  else
    out += value >= 0 ? 'N' : 'S';
  return out;
}

double FromMaskText(std::string_view text, size_t unitDigits, double units) {
  const size_t length = 3 + unitDigits + 1;
  std::string padded;
  if (text.size() < length) {
    padded.assign(length - text.size(), '0');
    padded += text;
    text = padded;
  }
  auto deg = ParseMaskField(text.substr(0, 3));
  auto part = ParseMaskField(text.substr(3, unitDigits));
  if (!deg || !part) return 0.0;
  double v = (static_cast<double>(*deg) + static_cast<double>(*part) / units) * kDegToRad;
  char letter = text[3 + unitDigits];
  if (letter == 'S' || letter == 'W' || letter == 's' || letter == 'w') v = -v;
  return v;
}

// ---------------------------------------------------------------------------
// Dates: days since 1899-12-30 <-> civil dates (proleptic Gregorian).

constexpr double kFirstDate = -693593.0;  // 0001-01-01
constexpr double kLastDate = 2958465.0;   // 9999-12-31

// Days since 1970-01-01 of a civil date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// "h:m:s" with one or two digits each -> fraction of a day.
std::optional<double> ParseTimeOfDay(std::string_view s) {
  s = Trim(s);
  size_t c1 = s.find(':');
  if (c1 == std::string_view::npos) return std::nullopt;
  size_t c2 = s.find(':', c1 + 1);
  if (c2 == std::string_view::npos) return std::nullopt;
  auto h = ParseDigits(s.substr(0, c1), 1, 2);
  auto m = ParseDigits(s.substr(c1 + 1, c2 - c1 - 1), 1, 2);
  auto sec = ParseDigits(s.substr(c2 + 1), 1, 2);
  if (!h || !m || !sec || *h > 23 || *m > 59 || *sec > 59) return std::nullopt;
  return static_cast<double>(*h * 3600 + *m * 60 + *sec) / 86400.0;
}

// ---------------------------------------------------------------------------
// Character tables

constexpr std::u32string_view kPunct = U", :\n\r'\"";
constexpr std::u32string_view kFoldFrom = U"ÒÓÔÕØÙÚÛÜËÊÉÈòóôõøùúûüèéêëÅÄÖåäö, :\n\r'\"";
constexpr std::u32string_view kFoldTo = U"OOOOOUUUUEEEEooooouuuueeeeAAOaao-------";
constexpr std::u32string_view kFold7From = U"ÒÓÔÕÙÚÛËÊÉÈòóôõùúûèéêëÅÄÖØÜåäöøü, :\n\r'\"";
constexpr std::u32string_view kFold7To = U"OOOOUUUEEEEoooouuueeee[\\]^_[\\]^_------";

bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
bool IsUpper(char32_t c) { return c >= 'A' && c <= 'Z'; }
bool IsLower(char32_t c) { return c >= 'a' && c <= 'z'; }

// The file name part of a path with "/" or "\" separators.
std::string_view FileNamePart(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Clamps in double, NaN to 0, then rounds to whole seconds.
int64_t WholeSeconds(double seconds, double max) {
  if (std::isnan(seconds) || seconds < 0) seconds = 0;
  if (seconds > max) seconds = max;
  return RoundToInt64(seconds, 0);
}

int32_t RoundPixel(double v) {
  if (std::isnan(v)) return 0;
  return ClampToInt(RoundHalfEven(v), -kPixelLimit, kPixelLimit);
}

}  // namespace

// ===========================================================================
// Geographic helpers

TFPoint GeoDistBearing(const TFPoint& from, const TFPoint& to) {
  double dLat = to.Y - from.Y;
  double dLon = to.X - from.X;
  // The short way round: a leg across the 180th meridian must not become a
  // leg the long way round the earth.
  if (std::fabs(dLon) > kPi) dLon = std::remainder(dLon, kTwoPi);
  double dDep = dLon * std::cos((from.Y + to.Y) / 2.0);
  TFPoint r;
  r.X = std::sqrt(dLat * dLat + dDep * dDep);
  if (dLat == 0) {
    r.Y = dDep >= 0 ? kHalfPi : kThreeHalfPi;
  } else {
    double b = std::atan2(dDep, dLat);
    if (b < 0) b += kTwoPi;
    // A bearing a hair west of north would otherwise round up to 2*pi.
    if (b >= kTwoPi) b = 0;
    r.Y = b;
  }
  return r;
}

double GeoDistance(const TFPoint& a, const TFPoint& b) { return GeoDistBearing(a, b).X; }

double GeoDistanceVia(const TFPoint& a, const TFPoint& b, const TFPoint& c) {
  return GeoDistance(a, b) + GeoDistance(b, c);
}

TFPoint GeoOffset(const TFPoint& pos, const TFPoint& polar) {
  double dX = polar.X * std::sin(polar.Y) / std::cos(pos.Y);
  double dY = polar.X * std::cos(polar.Y);
  return {pos.X + dX, pos.Y + dY};
}

double TimeToGo(double distance, double speedKnots) {
  if (!(speedKnots > 0)) return kMaxTimeToGoDays;
  double days = distance * kRadToNM / speedKnots / 24.0;
  return std::isfinite(days) ? days : kMaxTimeToGoDays;
}

double IntPosUnitToRad(int32_t value) { return static_cast<double>(value) * kPi / 10800000.0; }

TFPoint IntPosToFPoint(const TIntPos& p) { return {IntPosUnitToRad(p.Lon), IntPosUnitToRad(p.Lat)}; }

TIntPos FPointToIntPos(const TFPoint& p) {
  return {RoundToInt(p.Y * 10800000.0 / kPi, 0), RoundToInt(p.X * 10800000.0 / kPi, 0)};
}

void NormAngle(double& angle) {
  if (angle >= 0 && angle < kTwoPi) return;
  if (!std::isfinite(angle)) {
    angle = std::numeric_limits<double>::quiet_NaN();
    return;
  }
  double r = std::fmod(angle, kTwoPi);  // exact
  if (r < 0) r += kTwoPi;
  if (r >= kTwoPi || r == 0) r = 0;  // also turns -0 into +0
  angle = r;
}

void NormAngleSigned(double& angle) {
  if (std::fabs(angle) <= kPi || std::isnan(angle)) return;
  if (std::isinf(angle)) {
    angle = std::numeric_limits<double>::quiet_NaN();
    return;
  }
  angle = std::remainder(angle, kTwoPi);  // exact, in [-pi, pi]
}

// ===========================================================================
// Plane helpers

TPoint RoundFPoint(const TFPoint& p) { return {RoundPixel(p.X), RoundPixel(p.Y)}; }

TFPoint FloatPoint(const TPoint& p) { return {static_cast<double>(p.X), static_cast<double>(p.Y)}; }

TFPoint PolarToXY(const TFPoint& polar) { return {polar.X * std::sin(polar.Y), polar.X * std::cos(polar.Y)}; }

TFPoint XYToPolar(const TFPoint& xy) {
  TFPoint r;
  r.X = std::sqrt(xy.X * xy.X + xy.Y * xy.Y);
  if (xy.Y == 0)
    r.Y = xy.X >= 0 ? kHalfPi : kThreeHalfPi;
  else
    r.Y = std::atan2(xy.X, xy.Y);
  return r;
}

TPoint PolarToPixel(const TFPoint& polar) { return RoundFPoint(PolarToXY(polar)); }

TFPoint RotatePolar(const TFPoint& polar, double scale, double turn) {
  double len = polar.X * scale;
  double b = polar.Y + turn;
  return {len * std::sin(b), len * std::cos(b)};
}

TPoint RotatePolarToPixel(const TFPoint& polar, double scale, double turn) {
  return RoundFPoint(RotatePolar(polar, scale, turn));
}

TFPoint FPointAdd(const TFPoint& a, const TFPoint& b) { return {a.X + b.X, a.Y + b.Y}; }
TFPoint FPointSub(const TFPoint& a, const TFPoint& b) { return {a.X - b.X, a.Y - b.Y}; }

TPoint PointAddOffset(const TPoint& p, const TPoint& offset) {
  auto add = [](int32_t a, int32_t b) {
    int64_t s = static_cast<int64_t>(a) + b;
    return static_cast<int32_t>(std::clamp<int64_t>(s, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
  };
  return {add(p.X, offset.X), add(p.Y, offset.Y)};
}

TFPoint FPointMul(const TFPoint& p, double factor) { return {p.X * factor, p.Y * factor}; }
TFPoint FPointDiv(const TFPoint& p, double divisor) { return {p.X / divisor, p.Y / divisor}; }

void FPointSwap(TFPoint& a, TFPoint& b) { std::swap(a, b); }

bool SameFPoint(const TFPoint& a, const TFPoint& b) { return a.X == b.X && a.Y == b.Y; }

double PlaneDistance(const TFPoint& a, const TFPoint& b) {
  double dx = b.X - a.X;
  double dy = b.Y - a.Y;
  return std::sqrt(dx * dx + dy * dy);
}

double TrianglePerimeter(const TFPoint& a, const TFPoint& b, const TFPoint& c) {
  return PlaneDistance(a, b) + PlaneDistance(b, c) + PlaneDistance(c, a);
}

TFPoint PolygonCentroid(const TFPointArray& points) {
  if (points.empty()) return {};
  TFPoint sum;
  for (const TFPoint& p : points) sum = FPointAdd(sum, p);
  return FPointDiv(sum, static_cast<double>(points.size()));
}

void InterpolatePoints(TFPointArray& points, int n, const TFPoint& first, const TFPoint& last) {
  if (n < 1) return;
  const size_t count = static_cast<size_t>(n) + 1;
  if (points.size() < count) points.resize(count);
  points[0] = first;
  points[static_cast<size_t>(n)] = last;
  const double dx = last.X - first.X;
  const double dy = last.Y - first.Y;
  for (int i = 1; i < n; ++i)
    points[static_cast<size_t>(i)] = {first.X + i * dx / n, first.Y + i * dy / n};
}

void OrderDesc(double& a, double& b) {
  if (b > a) std::swap(a, b);
}

bool PointInPolygon(const TFPoint* points, size_t count, const TFPoint& t) {
  if (!points || count == 0) return false;
  bool left = false;
  bool right = false;
  auto edge = [&](const TFPoint& a, const TFPoint& b) {
    if ((a.Y <= t.Y && t.Y < b.Y) || (b.Y <= t.Y && t.Y < a.Y)) {
      double x = a.X + (b.X - a.X) / (b.Y - a.Y) * (t.Y - a.Y);
      if (!std::isfinite(x)) return false;
      if (x < t.X)
        left = !left;
      else if (x > t.X)
        right = !right;
    }
    return true;
  };
  for (size_t i = 0; i + 1 < count; ++i)
    if (!edge(points[i], points[i + 1])) return false;
  if (!SameFPoint(points[count - 1], points[0]) && !edge(points[count - 1], points[0])) return false;
  return left && right;
}

bool PointInPolygon(const TFPointArray& points, const TFPoint& t) {
  return PointInPolygon(points.data(), points.size(), t);
}

bool PointInFRect(const TFPoint& p, const TFRect& r) {
  return r.X2 <= p.X && p.X <= r.X1 && r.Y2 <= p.Y && p.Y <= r.Y1;
}

void NormFRect(TFRect& r) {
  if (r.X1 < r.X2) std::swap(r.X1, r.X2);
  if (r.Y1 < r.Y2) std::swap(r.Y1, r.Y2);
}

bool FRectsOverlap(const TFRect& a, const TFRect& b) {
  auto cornerIn = [](const TFRect& r, const TFRect& in) {
    return PointInFRect({r.X1, r.Y1}, in) || PointInFRect({r.X1, r.Y2}, in) || PointInFRect({r.X2, r.Y1}, in) ||
           PointInFRect({r.X2, r.Y2}, in);
  };
  return cornerIn(a, b) || cornerIn(b, a);
}

bool FRectsIntersect(const TFRect& a, const TFRect& b) {
  return a.X2 <= b.X1 && b.X2 <= a.X1 && a.Y2 <= b.Y1 && b.Y2 <= a.Y1;
}

// ===========================================================================
// Text forms of positions

std::string LatToStr(double lat) { return AngleToDisplay(lat, 2, "'N", "'S", "00000000N"); }

std::string LonToStr(double lon) { return AngleToDisplay(lon, 3, "'E", "'W", "00000000E"); }

std::string PosToMaskText(bool isLongitude, double value) {
  return ToMaskText(isLongitude, value, 1.0 / 240000.0, 60000.0, 5, "00000000E", "00000000N");
}

double MaskTextToPos(std::string_view text) { return FromMaskText(text, 5, 60000.0); }

std::string PosToMaskText10(bool isLongitude, double value) {
  return ToMaskText(isLongitude, value, 1.0 / 2400000.0, 600000.0, 6, "000000000E", "000000000N");
}

double MaskText10ToPos(std::string_view text) { return FromMaskText(text, 6, 600000.0); }

std::string DegToStrEW(int width, int decimals, double degrees) {
  return FloatToStrWD(width, decimals, std::fabs(degrees)) + "\u00B0" + (degrees >= 0 ? "E" : "W");
}

// ===========================================================================
// Packed angle formats

namespace {
// The whole part of a packed field, taking a value within a hair of the next
// whole number as that number: 0.30 x 100 is 29.9999999999997 in binary and
// must read as 30 minutes, not 29 minutes and 99.99... seconds.
double WholeField(double f) {
  double near = std::round(f);
  return std::fabs(f - near) < 1e-9 ? near : std::trunc(f);
}
}  // namespace

double AngleToDegrees(int format, double value) {
  double whole = std::trunc(value);
  double frac = value - whole;
  switch (format) {
    case 1:
      return whole + frac / 0.6;
    case 2: {
      double f = frac * 100.0;
      double minutes = WholeField(f);
      return whole + minutes / 60.0 + (f - minutes) / 36.0;
    }
    default:
      return value;
  }
}

double DegreesToAngle(int format, double degrees) {
  double whole = std::trunc(degrees);
  double frac = degrees - whole;
  switch (format) {
    case 1:
      return whole + frac * 0.6;
    case 2: {
      double f = frac * 60.0;
      double minutes = WholeField(f);
      return whole + minutes / 100.0 + (f - minutes) * 60.0 / 10000.0;
    }
    default:
      return degrees;
  }
}

double AngleTextToRad(std::string_view text, int format) {
  return AngleToDegrees(format, StrToFloatDot(text)) * kDegToRad;
}

std::string RadToAngleText(int format, double radians) {
  return FloatToStrWD(7, 5, DegreesToAngle(format, radians * kRadToDeg));
}

// ===========================================================================
// Strings

std::string PadLeft(std::string_view text, char fill, int length) {
  size_t n = CodePointCount(text);
  std::string out;
  if (length > 0 && n < static_cast<size_t>(length)) out.assign(static_cast<size_t>(length) - n, fill);
  out += text;
  return out;
}

std::string PadRight(std::string_view text, char fill, int length) {
  size_t n = CodePointCount(text);
  std::string out(text);
  if (length > 0 && n < static_cast<size_t>(length)) out.append(static_cast<size_t>(length) - n, fill);
  return out;
}

std::string IntToStrPad(int64_t value, char fill, int width) {
  bool negative = value < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string digits = ZeroPad(magnitude, 0);
  int padTo = negative ? width - 1 : width;
  if (padTo > 0 && digits.size() < static_cast<size_t>(padTo))
    digits.insert(0, static_cast<size_t>(padTo) - digits.size(), fill);
  return negative ? "-" + digits : digits;
}

std::string RemoveSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != ' ') out += c;
  return out;
}

// ===========================================================================
// Times and dates

std::string SecondsToHMS(double seconds) {
  int64_t s = WholeSeconds(seconds, 359999.0);
  return ZeroPad(static_cast<uint64_t>(s / 3600), 2) + ":" + ZeroPad(static_cast<uint64_t>(s / 60 % 60), 2) + ":" +
         ZeroPad(static_cast<uint64_t>(s % 60), 2);
}

namespace {
// Far beyond any time shown, well inside 64 bits.
constexpr double kMaxHourMinuteSeconds = 3.6e15;

std::string HoursMinutes(double seconds, int hourDigits) {
  int64_t s = WholeSeconds(seconds, kMaxHourMinuteSeconds);
  return ZeroPad(static_cast<uint64_t>(s / 3600), hourDigits) + ":" + ZeroPad(static_cast<uint64_t>(s % 3600 / 60), 2);
}
}  // namespace

std::string SecondsToHHHMM(double seconds) { return HoursMinutes(seconds, 3); }
std::string SecondsToHMM(double seconds) { return HoursMinutes(seconds, 1); }

std::string DaysToHMS(double days) {
  // Clamp before multiplying out, so that no size of span can overflow.
  if (std::isnan(days) || days < 0) days = 0;
  if (days > kMaxTimeToGoDays) days = kMaxTimeToGoDays;
  return SecondsToHMS(days * 86400.0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  date = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                             static_cast<int64_t>(kUnixEpochDays));
  return true;
}

bool DecodeDate(TDateTime date, int& year, int& month, int& day) {
  if (!(date >= kFirstDate && date < kLastDate + 1.0)) return false;
  // The whole part is the day; a fraction (also of a negative date) is the time.
  int64_t days = static_cast<int64_t>(std::trunc(date)) - static_cast<int64_t>(kUnixEpochDays);
  CivilFromDays(days, year, month, day);
  return true;
}

std::string DateToYYYYMMDD(TDateTime date) {
  int y, m, d;
  if (!DecodeDate(date, y, m, d)) return "00000000";
  return ZeroPad(static_cast<uint64_t>(y), 4) + ZeroPad(static_cast<uint64_t>(m), 2) +
         ZeroPad(static_cast<uint64_t>(d), 2);
}

TDateTime StrToDateUS(std::string_view text) {
  std::string_view s = Trim(text);
  size_t s1 = s.find('/');
  size_t s2 = s1 == std::string_view::npos ? s1 : s.find('/', s1 + 1);
  TDateTime date = 0;
  if (s2 != std::string_view::npos) {
    auto m = ParseDigits(s.substr(0, s1), 1, 2);
    auto d = ParseDigits(s.substr(s1 + 1, s2 - s1 - 1), 1, 2);
    auto y = ParseDigits(s.substr(s2 + 1), 4, 4);
    if (m && d && y && TryEncodeDate(static_cast<int>(*y), static_cast<int>(*m), static_cast<int>(*d), date))
      return date;
  }
  throw EConvertError("'" + std::string(text) + "' is not a valid date");
}

TDateTime CTimeToDateTime(std::string_view text) {
  // Columns (from 1): weekday 1-3, month 5-7, day 9-10, time 12-19, year 21-24.
  auto column = [&](size_t first, size_t count) {
    return first - 1 < text.size() ? text.substr(first - 1, count) : std::string_view();
  };
  std::string_view timeText = column(12, 8);
  if (timeText.size() < 8) return 0;
  auto time = ParseTimeOfDay(timeText);
  if (!time) return 0;

  static constexpr std::string_view kMonths = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
  std::string_view monthText = column(5, 3);
  std::string month;
  for (char c : monthText) month += static_cast<char>(AsciiUpper(static_cast<unsigned char>(c)));
  size_t at = month.size() == 3 ? kMonths.find(month) : std::string_view::npos;
  // Only whole month names: "ANF" is found inside "JANFEB" but is no month.
  if (at == std::string_view::npos || at % 3 != 0) return *time;
  auto day = ParseDigits(Trim(column(9, 2)), 1, 2);
  auto year = ParseDigits(Trim(column(21, 4)), 1, 4);
  TDateTime date = 0;
  if (!day || !year ||
      !TryEncodeDate(static_cast<int>(*year), static_cast<int>(at / 3 + 1), static_cast<int>(*day), date))
    return *time;
  return date + *time;
}

std::string DateTimeToText(TDateTime t, char separator) {
  if (!std::isfinite(t)) return "";
  const int64_t seconds = RoundToInt64(t * 86400.0, 0);
  const int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  const int64_t inDay = seconds - days * 86400;
  int year = 0, month = 0, day = 0;
  if (!DecodeDate(static_cast<double>(days), year, month, day)) return "";
  auto two = [](int64_t v) { return IntToStrPad(v, '0', 2); };
  return IntToStrPad(year, '0', 4) + "-" + two(month) + "-" + two(day) + separator + two(inDay / 3600) + ":" +
         two(inDay / 60 % 60) + ":" + two(inDay % 60);
}

TDateTime NowUTC() { return Clock().NowUTC(); }

TDateTime TodayUTC() { return std::floor(Clock().NowUTC()); }

TDateTime NowLocal() {
  const double utc = Clock().NowUTC();
  const std::time_t t = static_cast<std::time_t>(std::floor((utc - kUnixEpochDays) * 86400.0));
  std::tm local{};
  if (!localtime_r(&t, &local)) return utc;
  return utc + static_cast<double>(local.tm_gmtoff) / 86400.0;
}

bool SetClockUTC(TDateTime utc) { return std::isfinite(utc) && Clock().SetUTC(utc); }

// ===========================================================================
// Bits and numbers

void SetBit(bool on, int bit, uint32_t& set) {
  if (bit < 0 || bit > 31) return;
  uint32_t mask = uint32_t{1} << bit;
  set = on ? (set | mask) : (set & ~mask);
}

uint32_t SwapBytes32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

uint32_t FourCC(std::string_view chars) {
  uint32_t code = 0;
  for (size_t i = 0; i < 4 && i < chars.size(); ++i)
    code |= static_cast<uint32_t>(static_cast<unsigned char>(chars[i])) << (8 * i);
  return code;
}

int BitsNeeded(uint32_t value, uint64_t* powerAbove) {
  int bits = 0;
  while (bits < 32 && (uint64_t{1} << bits) <= value) ++bits;
  if (powerAbove) *powerAbove = uint64_t{1} << bits;
  return bits;
}

uint32_t LowBitMask(int n) {
  if (n <= 0) return 0;
  if (n >= 32) return 0xFFFFFFFFu;
  return (uint32_t{1} << n) - 1;
}

int32_t EnsureRangeInt(int32_t value, int32_t low, int32_t high) { return std::min(std::max(value, low), high); }

double EnsureRangeFloat(double value, double low, double high) {
  if (std::isnan(value)) return low;
  return std::min(std::max(value, low), high);
}

double NonZeroOr(double def, double value) { return value != 0 ? value : def; }

// ===========================================================================
// Character cleaning

std::string TranslateChars(std::string_view text, std::u32string_view from, std::u32string_view to) {
  return MapChars(text, [&](char32_t c) -> char32_t {
    size_t at = from.find(c);
    if (at == std::u32string_view::npos) return c;
    return at < to.size() ? to[at] : U'-';
  });
}

std::string TranslateChars(std::string_view text, std::string_view from, std::string_view to) {
  return TranslateChars(text, ToCodePoints(from), ToCodePoints(to));
}

std::string FoldAccents(std::string_view text) { return TranslateChars(text, kFoldFrom, kFoldTo); }

std::string FoldAccents7Bit(std::string_view text) { return TranslateChars(text, kFold7From, kFold7To); }

std::string PunctToDash(std::string_view text) { return ReplaceChars(text, kPunct, U'-'); }

std::string ReplaceChars(std::string_view text, std::u32string_view set, char32_t c) {
  return MapChars(text, [&](char32_t ch) { return set.find(ch) != std::u32string_view::npos ? c : ch; });
}

std::string ReplaceChars(std::string_view text, std::string_view set, char32_t c) {
  return ReplaceChars(text, ToCodePoints(set), c);
}

std::string MakeDeviceName(std::string_view text, int mode) {
  switch (mode) {
    case dnLowerCase:
      return MapChars(FoldAccents(text), [](char32_t c) -> char32_t {
        return IsDigit(c) || c == '-' || IsUpper(c) || IsLower(c) ? c : U'-';
      });
    case dnAsIs:
      return MapChars(text, [](char32_t c) -> char32_t {
        if (c == ',' || c == '\'' || c == '"') return U' ';
        if (c == '\r' || c == '\n') return U'|';
        return c;
      });
    case dnNexus:
      return MapChars(FoldAccents7Bit(text), [](char32_t c) -> char32_t {
        c = AsciiUpper(c);
        return IsDigit(c) || c == '-' || IsUpper(c) || c == '[' || c == '\\' || c == ']' || c == '^' || c == '_'
                   ? c
                   : U'-';
      });
    default:
      return MapChars(FoldAccents(text), [](char32_t c) -> char32_t {
        c = AsciiUpper(c);
        return IsDigit(c) || c == '-' || IsUpper(c) ? c : U'-';
      });
  }
}

// ===========================================================================
// Paths and files

std::string SetTrailingSeparator(std::string_view path, bool wanted) {
  std::string p(Trim(path));
  if (p.empty()) return p;
  if (wanted) {
    if (p.back() != '/') p += '/';
    return p;
  }
  while (!p.empty() && p.back() == '/') p.pop_back();
  return p.empty() ? "/" : p;
}

std::string SetTrailingBackslash(std::string_view path, bool wanted) {
  std::string p(Trim(path));
  if (p.empty()) return p;
  if (wanted) {
    if (p.back() != '\\') p += '\\';
    return p;
  }
  if (p.back() == '\\') p.pop_back();
  if (!p.empty() && p.back() == ':') p += "\\.";
  return p;
}

std::string FileBaseName(std::string_view path) {
  std::string_view name = FileNamePart(path);
  size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(Trim(name));
}

std::string JoinDirFile(std::string_view dir, std::string_view path) {
  return SetTrailingSeparator(dir, true) + std::string(FileNamePart(path));
}

int64_t FileSizeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool ConfirmDeleteFile(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return true;
  if (!AskYesNo("File " + path + " Exists! Delete?")) return false;
  if (::unlink(path.c_str()) == 0) return true;
  AppMessageBox("File " + path + " Could not be deleted! It is propably in use!", mfOk | mfIconError);
  return false;
}

std::string ProgramVersion() { return BRISMARE_VERSION; }
