// brtool magvar: the magnetic declination of the built-in model (or of a
// coefficient file) at a position and time.
#include <cstdio>
#include <optional>

#include "Command.h"
#include "foundation/NumText.h"
#include "foundation/Types.h"
#include "geodesy/MagError.h"

namespace {

int RunMagvar(const BrtoolArgs& args) {
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("magvar", args, {"model", "alt"}, opt)) return 2;
  if (opt.positional.size() != 3) {
    std::fprintf(stderr, "usage: brtool magvar LAT LON DECIMAL_YEAR [--model FILE.COF] [--alt METRES]\n");
    return 2;
  }
  const std::optional<double> lat = TryStrToFloatDot(opt.positional[0]);
  const std::optional<double> lon = TryStrToFloatDot(opt.positional[1]);
  const std::optional<double> year = TryStrToFloatDot(opt.positional[2]);
  std::optional<double> alt = 0.0;
  if (const std::string* a = opt.Get("alt")) alt = TryStrToFloatDot(*a);
  if (!lat || !lon || !year || !alt) {
    std::fprintf(stderr, "brtool magvar: LAT, LON, DECIMAL_YEAR and --alt take numbers with \".\"\n");
    return 2;
  }
  TMagError model;
  if (const std::string* file = opt.Get("model")) {
    if (!model.LoadFile(*file)) {
      std::fprintf(stderr, "brtool magvar: %s: %s\n", file->c_str(), model.LoadError().c_str());
      std::printf("no data\n");
      return 1;
    }
  }
  const std::optional<double> dec = model.Declination(*year, *lon * kDegToRad, *lat * kDegToRad, *alt);
  if (!dec) {
    std::printf("no data\n");
    return 1;
  }
  std::printf("%s\n", FloatToStrFixedDot(2, *dec * kRadToDeg).c_str());
  return 0;
}

BrtoolCommand cmd{"magvar",
                  "magvar LAT LON DECIMAL_YEAR [--model FILE.COF] [--alt METRES]\n"
                  "                          magnetic declination in degrees, east positive",
                  RunMagvar};

}  // namespace
