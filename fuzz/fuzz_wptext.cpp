// The comma text route and position files are written by other programs and
// edited by hand: any bytes must read without harm as a route and as
// positions, the points read must be in range, and what is written from
// them must read back with the same names (where the format can hold them)
// and positions (to the 5 decimals written), and settle after one round.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/TextCodec.h"
#include "foundation/GenUtil.h"
#include "navobjects/RouteFiles.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_wptext: %s\n", what);
    std::abort();
  }
}

// The difference of two angles, the short way round.
double AngleGap(double a, double b) {
  double d = a - b;
  NormAngleSigned(d);
  return std::fabs(d);
}

// A name the "As is" mode writes unchanged and the reader takes back whole.
bool Writable(const std::string& name, size_t maxChars) {
  if (name.empty() || name.front() == ' ' || name.back() == ' ' || name.front() == '\t' || name.back() == '\t')
    return false;
  if (name.find_first_of(",\"'\r\n") != std::string::npos) return false;
  size_t chars = 0;
  for (size_t pos = 0; pos < name.size(); ++chars) NextCodePoint(name, pos);
  return chars <= maxChars && Cp1252ToUtf8(Utf8ToCp1252(name)) == name;
}

void CheckPoints(const TRoutePoints& points, const TRouteTextOptions& o) {
  for (const TRoutePointRec& p : points) {
    Check(std::isfinite(p.Position.X) && std::isfinite(p.Position.Y), "a position is not finite");
    Check(std::fabs(p.Position.Y) <= kPi / 2 && std::fabs(p.Position.X) <= kPi, "a position out of range");
    Check(p.LegSpeed == o.DefaultSpeed && p.LegXTE == o.DefaultXTE, "speed or limit not the defaults");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TRouteTextOptions yes;
  yes.DeviceNameMode = 2;
  yes.ConfirmOtherDatum = [] { return true; };
  TRouteTextOptions no = yes;
  no.ConfirmOtherDatum = nullptr;
  for (bool isRoute : {true, false}) {
    const TRouteReadResult r = ReadWpText(bytes, isRoute, yes);
    Check(r.status == TRouteReadStatus::Ok || r.status == TRouteReadStatus::NotThisKind ||
              r.status == TRouteReadStatus::NoPoints,
          "an unexpected status");
    Check(r.error.empty() == (r.status == TRouteReadStatus::Ok), "the error text does not match the status");
    Check((r.status == TRouteReadStatus::Ok) == !r.points.empty(), "points and status disagree");
    const TRouteReadResult declined = ReadWpText(bytes, isRoute, no);
    Check(declined.status == TRouteReadStatus::Declined || declined.points == r.points,
          "the datum answer changed the points");
    if (r.status != TRouteReadStatus::Ok) continue;
    CheckPoints(r.points, yes);

    const int number = isRoute ? 7 : -1;
    const std::string first = EncodeWpText(r.points, number, "base name", yes);
    const TRouteReadResult back = ReadWpText(first, isRoute, yes);
    Check(back.status == TRouteReadStatus::Ok, "a written file does not read back");
    Check(back.points.size() == r.points.size(), "a written file reads back with another number of points");
    CheckPoints(back.points, yes);
    for (size_t i = 0; i < r.points.size(); ++i) {
      const TRoutePointRec& a = r.points[i];
      const TRoutePointRec& b = back.points[i];
      Check(std::fabs(a.Position.Y - b.Position.Y) <= 0.51e-5 * kPi / 180, "a latitude moved");
      Check(AngleGap(a.Position.X, b.Position.X) <= 0.51e-5 * kPi / 180, "a longitude moved");
      if (Writable(a.Name, 40)) Check(a.Name == b.Name, "a name changed");
    }
    const std::string second = EncodeWpText(back.points, number, "base name", yes);
    const TRouteReadResult third = ReadWpText(second, isRoute, yes);
    Check(third.status == TRouteReadStatus::Ok, "a file written twice does not read back");
    Check(EncodeWpText(third.points, number, "base name", yes) == second, "the written text does not settle");
  }
  return 0;
}
