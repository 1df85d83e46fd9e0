// brtool catalog: the chart catalog of a data directory as the plotter sees
// it (loaded over the chart directories of its settings file).
//   catalog list [--dir DATA_DIR]           every entry
//   catalog best LON LAT [--dir DATA_DIR]   the chart the plotter would show there
#include <cstdio>
#include <optional>
#include <string>

#include "Command.h"
#include "charts/CatalogScan.h"
#include "charts/ChartList.h"
#include "foundation/NumText.h"
#include "foundation/Types.h"
#include "platform/Paths.h"
#include "plotter/core/FileNames.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: brtool catalog list [--dir DATA_DIR]\n"
               "       brtool catalog best LON LAT [--dir DATA_DIR]\n"
               "  The catalog BRAINDEX.BIN of the data directory (default: the programs' own), loaded\n"
               "  over the chart directories of its BRISMARE_2.INI as the plotter loads it.\n"
               "  list: one line per chart: name, scale, chart file, and its bounds in degrees\n"
               "        (west south east north), separated by tabs\n"
               "  best: the chart file the plotter chooses at the position (degrees, east and north\n"
               "        positive); nothing and exit code 1 when no chart covers it\n"
               "  A damaged catalog: the charts before the damage are used, as the programs use them;\n"
               "  standard error says what was lost, and the exit code is 3.\n");
}

std::string Deg(double radians) { return FloatToStrFixedDot(6, radians * kRadToDeg); }

// Exit codes besides 0 (done), 1 (no catalog to use, or no chart) and 2
// (usage).
constexpr int kDamaged = 3;  // the charts before the damage were used

// Loads the catalog of the data directory (after a message when something
// was wrong with it): 0; kDamaged when the entries before the damage are
// kept, as the programs keep them; 1 when nothing could be used (the file
// cannot be read, or is no catalog).
int Load(const BrtoolOptions& opt, TChartList& list) {
  const std::string* dirOption = opt.Get("dir");
  const std::string dir = WithTrailingSlash(dirOption ? *dirOption : DataDir());
  const TCatalogSettings settings = ReadCatalogSettings(dir + kSettingsFileName, dir);
  const TCatalogLoadResult r = list.LoadFromFile(dir + kCatalogFileName, settings.ChartDir);
  if (!r.Message.empty()) std::fprintf(stderr, "brtool catalog: %s\n", r.Message.c_str());
  if (r.Status == TCatalogLoad::Damaged) return kDamaged;
  return r.Ok() ? 0 : 1;
}

int RunCatalog(const BrtoolArgs& args) {
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("catalog", args, {"dir"}, opt)) return 2;
  const std::vector<std::string>& p = opt.positional;
  if (p.size() == 1 && p[0] == "list") {
    TChartList list;
    const int loaded = Load(opt, list);
    if (loaded == 1) return 1;
    for (int i = 0; i < list.Count(); ++i) {
      const RChartLayout* e = list.Entry(i);
      const std::string line = e->Name + "\t" + std::to_string(e->Scale) + "\t" + list.ResolvedFileName(i) + "\t" +
                               Deg(e->Bounds.X2) + " " + Deg(e->Bounds.Y2) + " " + Deg(e->Bounds.X1) + " " +
                               Deg(e->Bounds.Y1) + "\n";
      std::fputs(line.c_str(), stdout);
    }
    return loaded;
  }
  if (p.size() == 3 && p[0] == "best") {
    const std::optional<double> lon = TryStrToFloatDot(p[1]);
    const std::optional<double> lat = TryStrToFloatDot(p[2]);
    if (!lon || !lat) {
      std::fprintf(stderr, "brtool catalog: LON and LAT take numbers with \".\"\n");
      return 2;
    }
    TChartList list;
    const int loaded = Load(opt, list);
    if (loaded == 1) return 1;
    // Over a damaged catalog, a chart lost with the damage may have been
    // the one: kDamaged, found or not.
    const int best = list.BestChart({*lon * kDegToRad, *lat * kDegToRad}, -1, 0, 0);
    if (best >= 0) std::printf("%s\n", list.ResolvedFileName(best).c_str());
    return loaded == kDamaged ? kDamaged : best >= 0 ? 0 : 1;
  }
  Usage();
  return 2;
}

BrtoolCommand cmd{"catalog",
                  "catalog list|best LON LAT [--dir DATA_DIR]\n"
                  "                          the chart catalog: its entries, or the chart chosen at a position",
                  RunCatalog};

}  // namespace
