#include "DemoVoyage.h"

#include "DemoAis.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <random>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "geodesy/MagError.h"

namespace {

constexpr double kKnot = 1852.0 / 3600.0;  // metres per second
constexpr double kTwoPi = 2 * std::numbers::pi;

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    // Blanks, tabs and the CR of a file written on Windows separate words.
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (i < line.size() && blank(line[i])) ++i;
    size_t j = i;
    while (j < line.size() && !blank(line[j])) ++j;
    if (j > i) out.emplace_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

std::optional<double> Number(const std::string& s) {
  const std::optional<double> v = TryStrToFloatDot(s);
  if (!v || !std::isfinite(*v)) return std::nullopt;
  return v;
}

// "56 25.434 N" -> radians; false when out of range.
bool Angle(const std::string& deg, const std::string& min, const std::string& hemi, bool lon, double& out) {
  const std::optional<double> d = Number(deg), m = Number(min);
  if (!d || !m || *d < 0 || *d != std::floor(*d) || *m < 0 || *m >= 60) return false;
  const double limit = lon ? 180 : 90;
  const double v = *d + *m / 60;
  if (v > limit) return false;
  const std::string h = hemi;
  if (lon ? (h != "E" && h != "W") : (h != "N" && h != "S")) return false;
  out = (h == "W" || h == "S" ? -v : v) * kDegToRad;
  return true;
}

// "2025-06-14" and "09:30:00": fields of fixed width separated by `sep`.
bool SplitFields(const std::string& text, char sep, const int (&widths)[3], int (&out)[3]) {
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t w = static_cast<size_t>(widths[i]);
    if (pos + w > text.size()) return false;
    const std::string part = text.substr(pos, w);
    for (char c : part)
      if (c < '0' || c > '9') return false;
    const std::optional<int32_t> v = TryStrToInt(part);
    if (!v) return false;
    out[i] = *v;
    pos += w;
    if (i < 2) {
      if (pos >= text.size() || text[pos] != sep) return false;
      ++pos;
    }
  }
  return pos == text.size();
}

bool ParseStart(const std::string& date, const std::string& time, int32_t& day, int32_t& second) {
  int ymd[3], hms[3];
  if (!SplitFields(date, '-', {4, 2, 2}, ymd) || !SplitFields(time, ':', {2, 2, 2}, hms)) return false;
  if (hms[0] > 23 || hms[1] > 59 || hms[2] > 59) return false;
  TDateTime dt;
  if (!TryEncodeDate(ymd[0], ymd[1], ymd[2], dt)) return false;
  day = static_cast<int32_t>(dt);
  second = hms[0] * 3600 + hms[1] * 60 + hms[2];
  return true;
}

// Random numbers that come out the same with every compiler and library:
// the Mersenne twister's output is fixed by the standard, the conversions
// are our own.
class TNoise {
 public:
  explicit TNoise(uint32_t seed) : rng_(seed) {}
  double Uniform() { return (static_cast<double>(rng_()) + 0.5) / 4294967296.0; }
  double Gauss() {
    const double u = Uniform(), v = Uniform();
    return std::sqrt(-2 * std::log(u)) * std::cos(kTwoPi * v);
  }

 private:
  std::mt19937 rng_;
};

// A slowly wandering error: first-order Gauss-Markov with standard
// deviation sigma and correlation time tau seconds, stepped once a second.
class TWander {
 public:
  TWander(double sigma, double tau) : sigma_(sigma), a_(std::exp(-1.0 / tau)) {}
  double Step(TNoise& n) {
    value_ = value_ * a_ + sigma_ * std::sqrt(1 - a_ * a_) * n.Gauss();
    return value_;
  }
  double Value() const { return value_; }

 private:
  double sigma_, a_;
  double value_ = 0;
};

double Norm360(double deg) {
  deg = std::fmod(deg, 360.0);
  if (deg < 0) deg += 360;
  return deg;
}

double WrapPi(double a) {
  a = std::fmod(a + std::numbers::pi, kTwoPi);
  if (a < 0) a += kTwoPi;
  return a - std::numbers::pi;
}

// An angle in degrees as "045.2".
std::string AngleField(double deg) {
  std::string s = FloatToStrFixedDot(1, Norm360(deg));
  if (s == "360.0") s = "0.0";
  while (s.size() < 5) s = "0" + s;
  return s;
}

// "5625.4340,N" or "00255.8960,E".
std::string PosField(double rad, bool lon) {
  const double deg = std::fabs(rad * kRadToDeg);
  const int64_t units = RoundToInt64(deg * 60 * 10000);
  const int64_t d = units / 600000, rest = units % 600000;
  std::string minutes = std::to_string(rest / 10000);
  if (minutes.size() < 2) minutes = "0" + minutes;
  std::string frac = std::to_string(rest % 10000);
  while (frac.size() < 4) frac = "0" + frac;
  std::string degrees = std::to_string(d);
  while (degrees.size() < (lon ? 3u : 2u)) degrees = "0" + degrees;
  const char hemi = lon ? (rad < 0 ? 'W' : 'E') : (rad < 0 ? 'S' : 'N');
  return degrees + minutes + "." + frac + "," + hemi;
}

std::string Two(int v) {
  // Padded in place: GCC 12 at -O3 warns falsely (-Wrestrict) about a
  // literal added to a temporary string.
  std::string s = std::to_string(v);
  if (v >= 0 && v < 10) s.insert(0, 1, '0');
  return s;
}

std::string Fixed(int decimals, double v) { return FloatToStrFixedDot(decimals, v); }

}  // namespace

std::string NmeaSentence(std::string_view body) {
  unsigned sum = 0;
  for (const char c : body) sum ^= static_cast<unsigned char>(c);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string s = "$";
  s += body;
  s += '*';
  s += kHex[(sum >> 4) & 15];
  s += kHex[sum & 15];
  return s;
}

bool ParseVoyagePlan(std::string_view text, TDemoVoyagePlan& plan, std::string& error) {
  plan = TDemoVoyagePlan();
  bool started = false;
  int lineNo = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    const std::vector<std::string> w = Words(line);
    if (w.empty()) continue;
    auto fail = [&](const std::string& what) {
      error = "line " + std::to_string(lineNo) + ": " + what;
      return false;
    };
    auto expect = [&](size_t n) { return w.size() == n; };
    if (w[0] == "start") {
      if (!expect(3) || !ParseStart(w[1], w[2], plan.StartDay, plan.StartSecond))
        return fail("start wants a UTC date and time: start 2025-06-14 09:30:00");
      started = true;
    } else if (w[0] == "wind") {
      const auto dir = expect(3) ? Number(w[1]) : std::nullopt, kn = expect(3) ? Number(w[2]) : std::nullopt;
      if (!dir || !kn || *dir < 0 || *dir > 360 || *kn < 0 || *kn > 80)
        return fail("wind wants the direction it blows from (degrees) and its speed (knots): wind 220 12");
      plan.WindFromDeg = *dir;
      plan.WindKnots = *kn;
    } else if (w[0] == "current") {
      const auto dir = expect(3) ? Number(w[1]) : std::nullopt, kn = expect(3) ? Number(w[2]) : std::nullopt;
      if (!dir || !kn || *dir < 0 || *dir > 360 || *kn < 0 || *kn > 8)
        return fail("current wants the direction it sets towards (degrees) and its rate (knots): current 30 0.4");
      plan.CurrentToDeg = *dir;
      plan.CurrentKnots = *kn;
    } else if (w[0] == "wait") {
      const auto s = expect(2) ? TryStrToInt(w[1]) : std::nullopt;
      if (!s || *s < 0 || *s > 3600) return fail("wait wants the seconds at rest after the last waypoint (0-3600)");
      plan.WaitSeconds = *s;
    } else if (w[0] == "seed") {
      const auto s = expect(2) ? TryStrToInt64(w[1]) : std::nullopt;
      if (!s || *s < 0 || *s > 0xFFFFFFFFll) return fail("seed wants a whole number");
      plan.Seed = static_cast<uint32_t>(*s);
    } else if (w[0] == "wp") {
      if (!expect(8)) return fail("wp wants: wp 56 25.434 N 002 55.896 E 14");
      TDemoWaypoint p;
      if (!Angle(w[1], w[2], w[3], false, p.Pos.Y)) return fail("bad latitude");
      if (!Angle(w[4], w[5], w[6], true, p.Pos.X)) return fail("bad longitude");
      const auto kn = Number(w[7]);
      if (!kn || *kn <= 0 || *kn > 50) return fail("the speed must lie above 0 and at most 50 knots");
      p.Knots = *kn;
      p.Line = lineNo;
      if (plan.Waypoints.size() >= kMaxDemoWaypoints) return fail("too many waypoints");
      plan.Waypoints.push_back(p);
    } else {
      return fail("unknown word '" + w[0] + "'");
    }
    if (end == text.size()) break;
  }
  if (!started) {
    error = "the list has no start line";
    return false;
  }
  if (plan.Waypoints.size() < 2) {
    error = "the list needs at least two waypoints";
    return false;
  }
  return true;
}

bool SailVoyage(const TDemoWorld& world, const TDemoVoyagePlan& plan, TDemoVoyage& voyage, std::string& error) {
  voyage = TDemoVoyage();
  if (plan.Waypoints.size() < 2) {
    error = "the voyage needs at least two waypoints";
    return false;
  }
  std::vector<TDemoPoint> wp;
  for (const TDemoWaypoint& w : plan.Waypoints) wp.push_back(world.ToLocal(w.Pos));

  TNoise noise(plan.Seed);
  TWander gpsX(1.6, 40), gpsY(1.6, 40), windDir(6, 25), windGust(0.12, 15), gyro(0.4, 20), slip(1.5, 60);
  TMagError magnetic;
  int year = 2025, month = 1, day = 1;
  DecodeDate(plan.StartDay, year, month, day);
  TDateTime newYear = plan.StartDay;
  TryEncodeDate(year, 1, 1, newYear);
  const double decimalYear = year + (plan.StartDay - newYear) / 365.0;
  const std::optional<double> variationRad =
      magnetic.Declination(decimalYear, plan.Waypoints[0].Pos.X, plan.Waypoints[0].Pos.Y, 0);
  const double variation = variationRad ? *variationRad * kRadToDeg : 0.0;

  // The boat: position (m), course over ground (rad, true), speed (m/s).
  TDemoPoint p = wp[0];
  double course = std::atan2(wp[1].X - p.X, wp[1].Y - p.Y);
  double speed = plan.Waypoints[0].Knots * kKnot;
  double heading = course;
  size_t target = 1;
  int32_t atRest = -1;  // seconds at rest so far, -1 while under way
  const double turnRate = 8 * kDegToRad, accel = 0.3, decel = 0.25;
  int sats = 10;
  voyage.MinDepth = 1e9;
  TDemoAis ais(world, DemoVessels(wp[0]));

  for (int32_t t = 0;; ++t) {
    if (t > kMaxDemoVoyageSeconds) {
      error = "the waypoint of line " + std::to_string(plan.Waypoints[target].Line) +
              " is not reached within 12 hours";
      return false;
    }
    // Steer: towards the target, at most turnRate a second; speed towards
    // the leg's speed, slowing in time for a slower leg and for the end.
    if (atRest < 0) {
      const TDemoPoint& q = wp[target];
      const double dist = std::hypot(q.X - p.X, q.Y - p.Y);
      const bool last = target + 1 == wp.size();
      double want = plan.Waypoints[target].Knots * kKnot;
      if (last) {
        want = std::min(want, std::sqrt(2 * decel * std::max(0.0, dist - 1.0)));
      } else {
        const double nextSpeed = plan.Waypoints[target + 1].Knots * kKnot;
        want = std::min(want, std::sqrt(nextSpeed * nextSpeed + 2 * decel * dist));
      }
      if (dist > 0.5) {
        const double turn = WrapPi(std::atan2(q.X - p.X, q.Y - p.Y) - course);
        course += std::clamp(turn, -turnRate, turnRate);
      }
      speed += std::clamp(want - speed, -decel, accel);
      if (last && dist < 2.0 && speed < 0.3) {
        speed = 0;
        atRest = 0;
      } else if (!last && dist < speed / turnRate + 8) {
        ++target;
      }
    } else {
      ++atRest;
    }
    if (t > 0) {
      p.X += speed * std::sin(course);
      p.Y += speed * std::cos(course);
    }

    // What the instruments see.
    const TFPoint truePos = world.ToGeo(p);
    const double depth = world.Depth(p);
    voyage.MinDepth = std::min(voyage.MinDepth, depth);
    voyage.Track.push_back(truePos);
    const double gx = gpsX.Step(noise) + 0.3 * noise.Gauss(), gy = gpsY.Step(noise) + 0.3 * noise.Gauss();
    const TFPoint fix = world.ToGeo({p.X + gx, p.Y + gy});
    const double knots = speed / kKnot;
    const bool moving = knots > 0.2;
    const double sog = moving ? std::max(0.0, knots + 0.05 * noise.Gauss()) : std::fabs(0.04 * noise.Gauss());
    const double cog = moving ? course * kRadToDeg + (0.5 + 1.0 / std::max(knots, 0.5)) * noise.Gauss()
                              : noise.Uniform() * 360;
    // The water: a current in open water, none in shallow or sheltered
    // water; the bow points along the boat's way through the water.
    const double currentShare = std::clamp((depth - 6) / 10, 0.0, 1.0);
    const double cur = plan.CurrentKnots * kKnot * currentShare;
    const double cdir = plan.CurrentToDeg * kDegToRad;
    const double vx = speed * std::sin(course), vy = speed * std::cos(course);
    const double wx = vx - cur * std::sin(cdir), wy = vy - cur * std::cos(cdir);
    const double stwMs = std::hypot(wx, wy);
    if (moving) heading = std::atan2(wx, wy) + slip.Step(noise) * kDegToRad * std::min(1.0, knots / 4);
    const double hdt = Norm360(heading * kRadToDeg + gyro.Step(noise));
    const double stw = moving ? std::max(0.0, stwMs / kKnot + 0.08 * noise.Gauss()) : 0.0;
    // The wind: true wind over the ground, apparent wind on the moving boat.
    const double twd = Norm360(plan.WindFromDeg + windDir.Step(noise));
    const double tws = std::max(0.0, plan.WindKnots * (1 + windGust.Step(noise)));
    const double ax = -tws * kKnot * std::sin(twd * kDegToRad), ay = -tws * kKnot * std::cos(twd * kDegToRad);
    const double rx = ax - vx, ry = ay - vy;  // air past the boat
    const double aws = std::hypot(rx, ry) / kKnot;
    const double awaFrom = std::atan2(-rx, -ry) * kRadToDeg;
    const double awa = Norm360(awaFrom - hdt + 2 * noise.Gauss());
    const double twa = Norm360(twd - hdt + 2 * noise.Gauss());
    if (t % 97 == 0) sats = 9 + static_cast<int>(noise.Uniform() * 3);

    const int32_t total = plan.StartSecond + t;
    TDateTime date = plan.StartDay + total / 86400;
    const int32_t sec = total % 86400;
    int y = 0, mo = 0, d = 0;
    DecodeDate(date, y, mo, d);
    const std::string hms = Two(sec / 3600) + Two(sec / 60 % 60) + Two(sec % 60) + ".00";
    const std::string dmy = Two(d) + Two(mo) + Two(y % 100);
    const std::string lat = PosField(fix.Y, false), lon = PosField(fix.X, true);
    const std::string sogText = Fixed(1, sog), cogText = AngleField(cog);
    const std::string var = Fixed(1, std::fabs(variation)) + (variation < 0 ? ",W" : ",E");
    const double hdop = 0.8 + 0.1 * std::floor(noise.Uniform() * 3);

    voyage.Sentences.push_back(NmeaSentence("GPGGA," + hms + "," + lat + "," + lon + ",2," + Two(sats) + "," +
                                            Fixed(1, hdop) + "," + Fixed(1, 2.0 + 0.8 * gpsY.Value()) +
                                            ",M,44.6,M,3,0126"));
    voyage.Sentences.push_back(NmeaSentence("GPRMC," + hms + ",A," + lat + "," + lon + "," + sogText + "," + cogText +
                                            "," + dmy + "," + var + ",D"));
    voyage.Sentences.push_back(NmeaSentence("GPVTG," + cogText + ",T," + AngleField(cog - variation) + ",M," +
                                            sogText + ",N," + Fixed(1, sog * 1.852) + ",K,D"));
    voyage.Sentences.push_back(NmeaSentence("HEHDT," + AngleField(hdt) + ",T"));
    voyage.Sentences.push_back(NmeaSentence("VWVHW," + AngleField(hdt) + ",T," + AngleField(hdt - variation) + ",M," +
                                            Fixed(1, stw) + ",N," + Fixed(1, stw * 1.852) + ",K"));
    voyage.Sentences.push_back(
        NmeaSentence("SDDPT," + Fixed(1, std::max(0.0, depth - 0.5 + 0.04 * noise.Gauss())) + ",0.5"));
    voyage.Sentences.push_back(NmeaSentence("WIMWV," + AngleField(awa) + ",R," + Fixed(1, aws) + ",N,A"));
    voyage.Sentences.push_back(NmeaSentence("WIMWV," + AngleField(twa) + ",T," + Fixed(1, tws) + ",N,A"));
    voyage.Sentences.push_back(ais.SentenceAt(t, sec));
    ++voyage.Fixes;
    if (atRest >= plan.WaitSeconds) break;
  }
  return true;
}

std::string VoyageText(const TDemoVoyage& voyage) {
  std::string out;
  for (const std::string& s : voyage.Sentences) {
    out += s;
    out += "\r\n";
  }
  return out;
}
