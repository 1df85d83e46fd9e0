// Calibrations made for other programs: OziExplorer ".MAP", Genimap ".IN8"
// and WinGPS chart files. Any text must read without harm, with counts that
// match the points read. The first byte chooses the reader.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "charts/ForeignHeaders.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_foreign: %s\n", what);
    std::abort();
  }
}

void CheckCounts(const RChartInfo& info) {
  Check(info.RefCount == static_cast<int32_t>(info.RefPoints.size()), "reference count");
  Check(info.Layout.BorderCount == info.Layout.Border.size(), "border count");
  Check(info.RefPoints.size() <= TChartHeadBaseCodec::kMaxPoints, "reference limit");
  Check(info.Layout.Border.size() <= TChartHeadBaseCodec::kMaxPoints, "border limit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  RChartInfo info;
  switch (data[0] % 3) {
    case 0: {
      TChartHeadMAPCodec c;
      c.LoadFromText(text);
      const bool ok = c.ReadMAP(info);
      CheckCounts(info);
      Check(!ok || info.RefCount >= 2, "MAP result");
      Check(info.Layout.Scale > 0, "MAP scale");
      break;
    }
    case 1: {
      TChartHeadGMBCodec c;
      c.LoadFromText(text);
      TChartHeadBaseCodec::ClearInfo(info);
      info.Width = 1000;
      info.Height = 800;
      c.ReadNMEARect(info);
      CheckCounts(info);
      Check(info.RefCount == 0 || info.RefCount == 2, "IN8 points");
      break;
    }
    default: {
      TChartHeadWinGPSCodec c;
      c.LoadFromText(text);
      const bool ok = c.ReadWinGPS(info);
      CheckCounts(info);
      Check(!ok || (info.RefCount >= 2 && info.RefCount <= 127), "WinGPS points");
      Check(info.Layout.BorderCount == 0 || info.Layout.BorderCount == 4, "WinGPS border");
      break;
    }
  }
  return 0;
}
