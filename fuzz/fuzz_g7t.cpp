// G7T files come from the GPS transfer program and other tools: any bytes
// must read without harm (the waypoint section and the first listed
// route), the points read must be in range, and what is written from them
// must read back with the same names (where the 15 columns hold them) and
// positions (to the ten-thousandth of a minute written), and settle after
// one round.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/NumText.h"
#include "foundation/TextCodec.h"
#include "foundation/GenUtil.h"
#include "navobjects/RouteFiles.h"

namespace {

constexpr double kTolerance = 0.51e-4 / 60 * kPi / 180;  // half a ten-thousandth of a minute

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_g7t: %s\n", what);
    std::abort();
  }
}

// The difference of two angles, the short way round.
double AngleGap(double a, double b) {
  double d = a - b;
  NormAngleSigned(d);
  return std::fabs(d);
}

bool Writable(const std::string& name) {
  if (name.empty() || name.front() == ' ' || name.back() == ' ' || name.front() == '\t' || name.back() == '\t')
    return false;
  if (name.find_first_of(",\"'\r\n") != std::string::npos) return false;
  const std::string cp = Utf8ToCp1252(name);
  return cp.size() <= 15 && Cp1252ToUtf8(cp) == name;
}

void CheckPoints(const TRoutePoints& points) {
  for (const TRoutePointRec& p : points) {
    Check(std::isfinite(p.Position.X) && std::isfinite(p.Position.Y), "a position is not finite");
    Check(std::fabs(p.Position.Y) <= kPi / 2 && std::fabs(p.Position.X) <= kPi, "a position out of range");
  }
}

void RoundTrip(std::string_view bytes, int number, const TRouteTextOptions& o) {
  const TRouteReadResult r = ReadG7t(bytes, number, o);
  Check(r.status != TRouteReadStatus::Declined, "declined although confirmed");
  Check(r.error.empty() == (r.status == TRouteReadStatus::Ok), "the error text does not match the status");
  Check(r.status == TRouteReadStatus::Ok || r.status == TRouteReadStatus::Damaged || r.points.empty(),
        "points without success");
  if (r.points.empty()) return;
  CheckPoints(r.points);
  const std::string first = EncodeG7t(r.points, number, "route name", o);
  const TRouteReadResult back = ReadG7t(first, number, o);
  Check(back.status == TRouteReadStatus::Ok, "a written file does not read back");
  Check(back.points.size() == r.points.size(), "a written file reads back with another number of points");
  for (size_t i = 0; i < r.points.size(); ++i) {
    const TRoutePointRec& a = r.points[i];
    const TRoutePointRec& b = back.points[i];
    Check(std::fabs(a.Position.Y - b.Position.Y) <= kTolerance, "a latitude moved");
    Check(AngleGap(a.Position.X, b.Position.X) <= kTolerance, "a longitude moved");
    if (Writable(a.Name)) Check(a.Name == b.Name, "a name changed");
  }
  if (number >= 0) Check(ListG7tRoutes(first).size() == 1, "the written route is not listed");
  const std::string second = EncodeG7t(back.points, number, "route name", o);
  const TRouteReadResult third = ReadG7t(second, number, o);
  Check(third.status == TRouteReadStatus::Ok, "a file written twice does not read back");
  Check(EncodeG7t(third.points, number, "route name", o) == second, "the written text does not settle");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TRouteTextOptions o;
  o.DeviceNameMode = 2;
  o.ConfirmOtherDatum = [] { return true; };
  RoundTrip(bytes, -1, o);
  const std::vector<std::string> routes = ListG7tRoutes(bytes);
  if (!routes.empty()) {
    const std::optional<int32_t> n = TryStrToInt(routes[0].substr(0, routes[0].find(' ')));
    if (n && *n >= 0) RoundTrip(bytes, *n, o);
  }
  return 0;
}
