// GPX files come from every other navigation program: any bytes must go
// through the XML reader without harm or unbounded work, and the route or
// waypoints read must write and read back with the same names, comments,
// leg values and reserved values, and positions to the last bits of the
// degrees written.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/GenUtil.h"
#include "navobjects/RouteFiles.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_gpx: %s\n", what);
    std::abort();
  }
}

// The difference of two angles, the short way round.
double AngleGap(double a, double b) {
  double d = a - b;
  NormAngleSigned(d);
  return std::fabs(d);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TRouteTextOptions o;
  o.DefaultSpeed = 5.5;
  o.DefaultXTE = 2e-5;
  for (bool isRoute : {true, false}) {
    const TRouteReadResult r = ReadGpx(bytes, isRoute, o);
    Check(r.status != TRouteReadStatus::Declined, "a datum question for GPX");
    Check(r.error.empty() == (r.status == TRouteReadStatus::Ok), "the error text does not match the status");
    Check(r.status == TRouteReadStatus::Ok || r.status == TRouteReadStatus::Damaged || r.points.empty(),
          "points without success");
    const std::string name = isRoute ? GpxRouteName(bytes) : std::string("list");
    if (r.points.empty()) continue;
    for (const TRoutePointRec& p : r.points) {
      Check(std::fabs(p.Position.Y) <= kPi / 2 && std::fabs(p.Position.X) <= kPi, "a position out of range");
      Check(std::isfinite(p.LegSpeed) && std::isfinite(p.LegXTE), "a leg value is not finite");
    }
    const std::string doc = EncodeGpx(r.points, isRoute, name);
    const TRouteReadResult back = ReadGpx(doc, isRoute, o);
    Check(back.status == TRouteReadStatus::Ok, "a written document does not read back");
    Check(back.points.size() == r.points.size(), "a written document reads back with another number of points");
    if (isRoute) Check(GpxRouteName(doc) == name, "the route name changed");
    for (size_t i = 0; i < r.points.size(); ++i) {
      TRoutePointRec a = r.points[i];
      const TRoutePointRec& b = back.points[i];
      Check(std::fabs(a.Position.Y - b.Position.Y) <= 1e-13 && AngleGap(a.Position.X, b.Position.X) <= 1e-13,
            "a position moved");
      a.Position = b.Position;
      Check(a == b, "a name, comment or leg value changed");
    }
  }
  return 0;
}
