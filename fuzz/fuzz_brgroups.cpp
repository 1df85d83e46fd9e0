// The chart groups file "BRGROUPS.BIN" is read after the catalog at every
// start of the plotter: any bytes must load or be refused without harm.
// A refused file leaves no groups; what loads (also with damaged member
// records skipped, which asks for a rewrite) gives every chart bit 31 and
// only bits of groups that exist, and saves and loads again unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "charts/ChartList.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_brgroups: %s\n", what);
    std::abort();
  }
}

void Fill(TChartList& list) {
  for (const char* name : {"A", "B", "C", "Sj\xC3\xB6kort"}) {
    RChartLayout e;
    e.Name = name;
    e.FileName = std::string("/charts/") + name;
    e.Scale = 10000;
    e.Border = {{0, 0}, {1, 0}, {1, 1}};
    e.Bounds = {1, 1, 0, 0};
    list.AddEntry(e, false);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TChartList list;
  Fill(list);
  bool rewrite = false;
  const TCatalogLoadResult r = list.LoadGroupsFromBytes(bytes, &rewrite);
  int32_t used = 0;
  for (int slot = 0; slot < kChartGroupCount; ++slot) {
    const RChartGroup& g = list.Group(slot);
    Check(g.Mask == int32_t(uint32_t(1) << slot), "a group mask that is not its slot's bit");
    Check(g.Used <= 1, "used flag");
    if (g.Used) used |= g.Mask;
  }
  if (!r.Ok()) Check(used == 0 && !rewrite, "a refused groups file left groups or a rewrite");
  if (r.Status == TCatalogLoad::Damaged) Check(r.DamageFound, "a damaged file not marked");
  if (r.Status == TCatalogLoad::Loaded && r.DamageFound)
    Check(rewrite && !r.Message.empty(), "skipped member records without a rewrite or a message");
  if (r.Status == TCatalogLoad::WrongMagic) Check(!r.DamageFound, "another file counted as damaged");
  for (int i = 0; i < list.Count(); ++i) {
    const int32_t m = list.Entry(i)->GroupMask;
    Check((m & kCatalogEntryBit) != 0, "an entry lost bit 31");
    Check((m & ~kCatalogEntryBit & ~used) == 0, "a member of a group that does not exist");
  }
  std::vector<std::string> names;
  Check(list.ListGroups(names) == list.GroupCount(), "group count");

  const std::string saved = list.SaveGroupsToBytes();
  TChartList again;
  Fill(again);
  bool rewriteAgain = true;
  Check(again.LoadGroupsFromBytes(saved, &rewriteAgain).Status == TCatalogLoad::Loaded, "saved groups do not load");
  Check(!rewriteAgain, "saved groups ask for a rewrite");
  Check(!again.LoadGroupsFromBytes(saved).DamageFound, "saved groups load as damaged");
  for (int slot = 0; slot < kChartGroupCount; ++slot)
    Check(again.Group(slot).Used == list.Group(slot).Used && again.Group(slot).Name == list.Group(slot).Name,
          "groups load differently");
  for (int i = 0; i < list.Count(); ++i)
    Check(again.Entry(i)->GroupMask == list.Entry(i)->GroupMask, "memberships load differently");
  Check(again.SaveGroupsToBytes() == saved, "saving is not stable");
  return 0;
}
