// Lines of the old chart list come from old files: the field readers and
// the old model must take any text without going out of bounds or
// producing positions that are not numbers.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "charts/OldCalibrations.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)ParseOldPosition(text.substr(0, 12));
  const std::optional<TOldChartLine> line = ParseOldChartLine(text);
  if (!line) return 0;
  if (line->Name.size() > 40 || line->File.size() > 127 || line->Datum.size() > 40) {
    std::fprintf(stderr, "fuzz_oldlist: a field longer than its limit\n");
    std::abort();
  }
  // Image sizes from the text's first bytes, small and large.
  const int32_t w = size > 0 ? 2 + data[0] * 37 : 100, h = size > 1 ? 2 + data[1] * 53 : 100;
  if (const std::optional<RChartInfo> r = OldChartRecord(*line, "X.PNG", w, h))
    for (const TGridPoint& p : r->RefPoints)
      if (!std::isfinite(p.Lon) || !std::isfinite(p.Lat)) {
        std::fprintf(stderr, "fuzz_oldlist: a position that is not a number\n");
        std::abort();
      }
  return 0;
}
