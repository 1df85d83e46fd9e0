// brtool proj: one projection conversion, for checking a projection by hand.
#include <cstdio>
#include <optional>
#include <string>

#include "Command.h"
#include "foundation/NumText.h"
#include "foundation/Types.h"
#include "geodesy/CTrans.h"
#include "geodesy/Datum.h"
#include "platform/Paths.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: brtool proj CODE fwd|inv X Y [--lat0 DEG] [--lon0 DEG] [--lat1 DEG] [--lat2 DEG]\n"
               "                  [--scale K] [--height METRES] [--datum NAME] [--datums FILE]\n"
               "  fwd: X Y are longitude and latitude (degrees, WGS 84); prints the projected\n"
               "       pair (metres; radians for codes 0 and 1)\n"
               "  inv: X Y are projected values; prints longitude and latitude in degrees\n"
               "  --datum: the projection works on that datum of the datum table (--datums,\n"
               "       else DATUMS2.INI of the data directory or the shipped one)\n");
}

int RunProj(const BrtoolArgs& args) {
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("proj", args, {"lat0", "lon0", "lat1", "lat2", "scale", "height", "datum", "datums"},
                          opt))
    return 2;
  if (opt.positional.size() != 4 || (opt.positional[1] != "fwd" && opt.positional[1] != "inv")) {
    Usage();
    return 2;
  }
  const std::optional<int32_t> code = TryStrToInt(opt.positional[0]);
  const std::optional<double> x = TryStrToFloatDot(opt.positional[2]);
  const std::optional<double> y = TryStrToFloatDot(opt.positional[3]);
  if (!code || *code < 0 || *code >= kProjectionCount || !x || !y) {
    std::fprintf(stderr, "brtool proj: CODE is 0..7; X and Y are numbers with \".\"\n");
    return 2;
  }
  bool ok = true;
  auto num = [&](const char* name, double def) {
    const std::string* v = opt.Get(name);
    if (!v) return def;
    const std::optional<double> d = TryStrToFloatDot(*v);
    if (!d) {
      std::fprintf(stderr, "brtool proj: --%s takes a number\n", name);
      ok = false;
      return def;
    }
    return *d;
  };
  const double lat0 = num("lat0", 0) * kDegToRad, lon0 = num("lon0", 0) * kDegToRad;
  const double lat1 = num("lat1", 0) * kDegToRad, lat2 = num("lat2", 0) * kDegToRad;
  const double scale = num("scale", 1), height = num("height", 0);
  if (!ok) return 2;

  TProjTrans pt;
  switch (*code) {
    case kProjNone: pt.SetNone(scale); break;
    case kProjMercator: pt.SetMercator(scale, lat0); break;
    case kProjTransverseMercator: pt.SetTransverseMercator(scale, kWgs84InvF, kWgs84A, lat0, lon0); break;
    case kProjLambert: pt.SetLambert(lat0, lon0, lat1, lat2, kWgs84InvF, kWgs84A); break;
    case kProjPolyconic: pt.SetPolyconic(lat0, lon0, kWgs84InvF, kWgs84A); break;
    case kProjSinusoidal: pt.SetSinusoidal(lon0, kWgs84A); break;
    case kProjOrthographic: pt.SetOrthographic(lat0, lon0, kWgs84A); break;
    case kProjPerspective: pt.SetPerspective(lat0, lon0, height, kWgs84A); break;
  }
  if (!pt.SetupOk) {
    TFPoint dummy;
    pt.Project({0, 0}, dummy);
    std::fprintf(stderr, "brtool proj: projection set-up failed: %s\n", std::string(pt.ErrorText()).c_str());
    return 2;
  }

  std::optional<TDatum> datum;
  if (const std::string* name = opt.Get("datum")) {
    const std::string* file = opt.Get("datums");
    datum.emplace(file ? *file : DatumTableFile(DataDir(), ShippedDataDir()));
    bool resolved = false;
    const TDatumParams params = datum->Lookup(*name, &resolved);
    if (!resolved) {
      std::fprintf(stderr, "brtool proj: datum \"%s\" is not in %s\n", name->c_str(), datum->FileName().c_str());
      return 2;
    }
    datum->SetSource(params);
  }

  TFPoint out;
  if (opt.positional[1] == "fwd") {
    const TFPoint wgs{*x * kDegToRad, *y * kDegToRad};
    TFPoint local = wgs;
    if (datum)  // the position on the datum whose shift to WGS 84 lands on wgs
      for (int i = 0; i < 3; ++i) {
        const TFPoint d = datum->ShiftAt(local);
        local = {wgs.X - d.X, wgs.Y - d.Y};
      }
    if (!pt.Project(local, out)) {
      std::fprintf(stderr, "brtool proj: %s\n", std::string(pt.ErrorText()).c_str());
      return 1;
    }
    // Codes 0 and 1 project in radians: every digit; metres to the micrometre.
    if (*code <= kProjMercator)
      std::printf("%s %s\n", FloatToStrDot(out.X).c_str(), FloatToStrDot(out.Y).c_str());
    else
      std::printf("%s %s\n", FloatToStrFixedDot(6, out.X).c_str(), FloatToStrFixedDot(6, out.Y).c_str());
  } else {
    if (!pt.Unproject({*x, *y}, out)) {
      std::fprintf(stderr, "brtool proj: %s\n", std::string(pt.ErrorText()).c_str());
      return 1;
    }
    if (datum) out = datum->ShiftPosition(out);
    // Degrees to 1e-10 (about 10 micrometres).
    std::printf("%s %s\n", FloatToStrFixedDot(10, out.X * kRadToDeg).c_str(),
                FloatToStrFixedDot(10, out.Y * kRadToDeg).c_str());
  }
  return 0;
}

BrtoolCommand cmd{"proj",
                  "proj CODE fwd|inv X Y [--lat0 --lon0 --lat1 --lat2 --scale --height --datum NAME]\n"
                  "                          convert one point with projection CODE (0..7)",
                  RunProj};

}  // namespace
