// The chart catalog "BRAINDEX.BIN" is read at every start of both programs
// and may be damaged (a crash of another writer, a bad disk, a file from
// somewhere else): any bytes must load or be refused without harm. A file
// that is not a catalog leaves it empty; a damaged one keeps the entries read
// before the damage. Whatever is kept, from a sound or a damaged file, must
// be usable entries that save and load again unchanged.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "charts/ChartList.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_braindex: %s\n", what);
    std::abort();
  }
}

bool SameEntries(const TChartList& a, const TChartList& b) {
  if (a.Count() != b.Count()) return false;
  for (int i = 0; i < a.Count(); ++i) {
    const RChartLayout &x = *a.Entry(i), &y = *b.Entry(i);
    if (x.Name != y.Name || x.FileName != y.FileName || x.Scale != y.Scale || x.Priority != y.Priority ||
        x.QualityCode != y.QualityCode || x.GroupMask != y.GroupMask || !(x.Bounds == y.Bounds) ||
        x.Border != y.Border)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TChartList list;
  const TCatalogLoadResult r = list.LoadFromBytes(bytes, std::string());
  Check(r.DamageFound == (r.Status == TCatalogLoad::Damaged), "damage found but not reported, or the reverse");
  if (r.Status != TCatalogLoad::Loaded && r.Status != TCatalogLoad::Damaged) {
    Check(list.Count() == 0, "a refused catalog left entries");
    return 0;
  }
  Check(r.Entries == list.Count(), "the count of kept entries");
  if (r.Status == TCatalogLoad::Damaged) Check(!r.Message.empty(), "damage without a message");
  for (int i = 0; i < list.Count(); ++i) {
    const RChartLayout& e = *list.Entry(i);
    Check(!e.Name.empty(), "an entry without a name");
    Check(e.Scale > 0, "an entry without a scale");
    Check(e.Priority >= 1, "priority 0");
    Check(e.GroupMask == kCatalogEntryBit, "group bits from the catalog file");
    Check(e.BorderCount == e.Border.size(), "border count");
    Check(std::isfinite(e.Bounds.X1) && std::isfinite(e.Bounds.Y1) && std::isfinite(e.Bounds.X2) &&
              std::isfinite(e.Bounds.Y2),
          "bounds that are not numbers");
    Check(e.Bounds.X1 >= e.Bounds.X2 && e.Bounds.Y1 >= e.Bounds.Y2, "bounds not in order");
  }
  // The selections run on whatever loaded.
  for (const TFPoint& p : {TFPoint{0, 0}, TFPoint{0.2, 1.0}, TFPoint{-3.1, -0.5}}) {
    list.BestChart(p, 0, 0, 0);
    list.BestChartForTwo(p, p, 5, 40000);
    list.SmallerScaleChart(p, 0, 0, 1000);
    list.ListCharts(p, "a", {}, 0, 0, 0);
  }
  list.ListDirectories();

  const std::string saved = list.SaveToBytes();
  TChartList again;
  // A partly read catalog saves as a sound one of the entries kept.
  Check(again.LoadFromBytes(saved, std::string()).Status == TCatalogLoad::Loaded, "a saved catalog does not load");
  Check(SameEntries(list, again), "a saved catalog loads differently");
  Check(again.SaveToBytes() == saved, "saving is not stable");
  return 0;
}
