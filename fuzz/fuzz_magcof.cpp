// Magnetic model coefficient files come from the user ("MWW.COF"): any bytes
// must load or be refused without harm, a refused file must leave the model
// in force untouched, and a loaded one must give finite results or "no data".
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "geodesy/MagError.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_magcof: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TMagError m;
  const double before = *m.Declination(2027.0, 0.3, 1.0, 100);
  if (m.LoadCoefficients(text)) {
    Check(m.Loaded(), "loaded without a model");
    for (double lat : {-1.5707963267948966, -0.5, 0.0, 1.0, 1.5707963267948966}) {
      const auto d = m.Declination(m.Epoch() + 1, 0.3, lat, 100);
      Check(!d || std::isfinite(*d), "non-finite declination");
    }
  } else {
    Check(m.ModelName() == "WMM-2025", "a refused file changed the model");
    Check(*m.Declination(2027.0, 0.3, 1.0, 100) == before, "a refused file changed the result");
  }
  return 0;
}
