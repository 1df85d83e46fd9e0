// Calibration headers come from other people (".CAL" files, CHARTCAL.DIR
// sections, WCI texts): any text must read in bounded time, and a record
// written back and read again must come back as it was (within the
// precision of the text forms).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "charts/ChartInfo.h"
#include "charts/HeaderText.h"
#include "platform/Paths.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_chartheader: %s\n", what);
    std::abort();
  }
}

bool Near(double a, double b, double rel) {
  if (a == b) return true;
  return std::fabs(a - b) <= rel * std::max({1.0, std::fabs(a), std::fabs(b)});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TChartHeadBaseCodec c;
  c.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
  RChartInfo a;
  TChartHeadBaseCodec::ClearInfo(a);
  const bool ok = c.ReadInfo(a);
  Check(ok == (a.Layout.BorderCount > 2), "result");
  Check(a.Layout.BorderCount == a.Layout.Border.size() && a.RefCount == static_cast<int32_t>(a.RefPoints.size()),
        "counts");
  Check(a.RefPoints.size() <= TChartHeadBaseCodec::kMaxPoints && a.Layout.Border.size() <= TChartHeadBaseCodec::kMaxPoints,
        "count limits");

  TChartHeadBaseCodec w;
  w.Encoding = TTextEncoding::Utf8;
  Check(w.WriteInfo(a), "write");
  TChartHeadBaseCodec r;
  r.LoadFromText(w.SaveToText());
  RChartInfo b;
  TChartHeadBaseCodec::ClearInfo(b);
  Check(r.ReadInfo(b) == ok, "result again");

  Check(a.Layout.Name == b.Layout.Name, "name");
  // Headers keep the file name without its directory (and values are read
  // trimmed).
  Check(TrimText(ForeignFileName(a.Layout.FileName)) == b.Layout.FileName, "file name");
  Check(a.Layout.GroupMask == b.Layout.GroupMask && a.Layout.Priority == b.Layout.Priority &&
            a.Layout.QualityCode == b.Layout.QualityCode && a.Layout.Scale == b.Layout.Scale,
        "layout numbers");
  Check(a.Layout.Border.size() == b.Layout.Border.size(), "border size");
  for (size_t i = 0; i < a.Layout.Border.size(); ++i)
    Check(Near(a.Layout.Border[i].X, b.Layout.Border[i].X, 1e-13) && Near(a.Layout.Border[i].Y, b.Layout.Border[i].Y, 1e-13),
          "border point");
  Check(a.RefPoints.size() == b.RefPoints.size(), "reference count");
  for (size_t i = 0; i < a.RefPoints.size(); ++i) {
    const TGridPoint &p = a.RefPoints[i], &q = b.RefPoints[i];
    Check(std::fabs(std::nearbyint(p.X) - q.X) <= 1 && std::fabs(std::nearbyint(p.Y) - q.Y) <= 1, "reference pixel");
    Check(Near(p.Lat, q.Lat, 1e-11) && Near(p.Lon, q.Lon, 1e-11), "reference position");
  }
  Check(a.Number == b.Number && a.DatumName == b.DatumName && a.Comments == b.Comments, "texts");
  Check(a.Projection == b.Projection && a.Width == b.Width && a.Height == b.Height &&
            a.DepthUnits == b.DepthUnits && b.CoefCount == 0,
        "small numbers");
  Check(Near(a.DatumShift.X, b.DatumShift.X, 1e-13) && Near(a.DatumShift.Y, b.DatumShift.Y, 1e-13), "datum shift");
  Check(Near(a.PixelSizeX, b.PixelSizeX, 1e-14) && Near(a.PixelSizeY, b.PixelSizeY, 1e-14) &&
            Near(a.DtValue, b.DtValue, 1e-14),
        "plain numbers");
  Check(Near(a.Lat0, b.Lat0, 1e-13) && Near(a.Lon0, b.Lon0, 1e-13) && Near(a.LatS, b.LatS, 1e-13) &&
            Near(a.LatN, b.LatN, 1e-13),
        "projection parameters");
  return 0;
}
