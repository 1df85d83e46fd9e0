// A chart's calibration comes from its file: whatever the header holds
// (projection code and parameters, reference points, border), setting up
// the projection, fitting the points and converting between pixels and
// positions must stay defined, and a conversion that reports success gives
// finite numbers.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "charts/ChartInfo.h"
#include "charts/HeaderText.h"
#include "geodesy/CTrans.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_fit: %s\n", what);
    std::abort();
  }
}

bool Finite(const TFPoint& p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TChartHeadBaseCodec c;
  c.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  c.ReadInfo(info);
  for (bool kap : {false, true}) {
    TWorldConvert w;
    if (!w.SetupProjection(ChartGeoRef(info, kap))) continue;
    if (!w.SetRefPoints(info.RefPoints) || !w.Fit()) continue;
    Check(w.Valid, "fit without Valid");
    for (const TFPoint& b : info.Layout.Border) {
      TFPoint px;
      if (w.GeoToPixel(b, px)) Check(Finite(px), "border pixel");
      TPoint ip;
      w.GeoToPixelInt(b, ip);
    }
    const double wd = info.Width, ht = info.Height;
    for (const TFPoint& corner : {TFPoint{0, 0}, TFPoint{wd, 0}, TFPoint{wd, ht}, TFPoint{0, ht}}) {
      TFPoint pos;
      if (w.PixelToGeo(corner, pos)) {
        Check(Finite(pos), "corner position");
        TFPoint back;
        if (w.GeoToPixel(pos, back)) Check(Finite(back), "corner pixel");
      }
      const TPoint ic{static_cast<int32_t>(std::fmin(std::fmax(corner.X, -1e9), 1e9)),
                      static_cast<int32_t>(std::fmin(std::fmax(corner.Y, -1e9), 1e9))};
      if (w.PixelToGeoInt(ic, pos)) Check(Finite(pos), "corner position (int)");
    }
  }
  return 0;
}
