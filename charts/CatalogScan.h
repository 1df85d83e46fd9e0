// The building scan of the chart catalog: the calibration tool reads every
// chart file of the chart directories and adds the calibrated ones to the
// catalog (TChartList), with their WGS 84 border and bounds.
//
// A chart directory that contains "*" is scanned with all its
// subdirectories (before its own files); directories are listed in name
// order (case ignored), so the catalog, the suffixes given to duplicate
// names and the problem lines come out the same on every machine, and a
// directory reached twice through symbolic links is scanned once.
//
// Chart files are ".KAP" (BSB/KAP), ".GEO" (NOS), ".WCI", and ".BMP",
// ".PNG", ".GIF" images calibrated by a ".CAL" file beside them or by a
// section of the directory's "CHARTCAL.DIR"; a ".CAL" file also brings in
// the image it names. ".TIF" and ".TIFF" files that carry a georeference
// (GeoTIFF) are placed by it, with their border followed along the raster's
// edges in WGS 84 and their scale from the pixel size at the middle; they
// count as "Other" files. Chart-level BSB index files (".BSB") describe no
// raster and are not scanned.
//
// The datum of every chart is decided afresh by the rule the chart view
// uses (ChooseChartShiftRule), so the catalog border and the chart on screen
// agree. Questions the scan may ask go to the caller's hooks; without them
// the safe answer is taken: an unknown datum is not mapped (the chart is
// added and reported as "Bad Datum: "), and a duplicate name without a
// free suffix is reported as "DupName: ".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "charts/ChartFile.h"
#include "charts/ChartInfo.h"
#include "charts/ChartList.h"
#include "geodesy/CTrans.h"

class TDatum;
class TKAPDecoder;
class TWCIDecoder;

// The settings the scan follows ("Program Setup" of the settings file).
struct TCatalogSettings {
  // "Chart Dir": ";"-separated directories, each made absolute against the
  // data directory; an entry may contain "*" (scan its subdirectories).
  std::string ChartDir;
  bool UseChartNumbers = false;  // "Use Chart Numbers"
  // "Use KAP zero shift" (0..3) and "Reverse KAP zero shift". The scan
  // asks about the unknown datum of every chart that is not KAP, whatever
  // the mode.
  TDatumSettings Datum = [] {
    TDatumSettings s;
    s.Question = TDatumQuestion::AlsoNotKap;
    return s;
  }();
};

// Reads the scan's settings from the settings file (a missing file or key
// gives the defaults: ".\CHARTS", off, 2, on). Relative chart directories
// count from `dataDir`; absolute and Windows paths stay as written.
TCatalogSettings ReadCatalogSettings(const std::string& iniFile, const std::string& dataDir);

// The scan's findings, for the tool's report.
struct TScanCounters {
  int KapGeo = 0;          // KAP and NOS charts read through their header
  int Wci = 0;             // WCI charts read through their embedded text
  int Other = 0;           // images calibrated by a ".CAL" file or "CHARTCAL.DIR"
  int DuplicateNames = 0;  // not added: duplicate chart name
  int InList = 0;          // not added: the file is already in the catalog
  int NotCalibrated = 0;   // not added: no usable calibration
};

// Pixel size of a PNG, BMP or GIF image read from its first bytes; false
// for other files or when the header is damaged.
bool ImageSizeFromHeader(std::string_view bytes, int32_t& width, int32_t& height);
// The same from the first bytes of a file; false when it cannot be read.
bool ImageSizeOfFile(const std::string& path, int32_t& width, int32_t& height);

class TCatalogScanner {
 public:
  // The catalog to add to, the datum table, and the chart file reader whose
  // search path and codec the scan uses.
  TCatalogScanner(TChartList& list, TDatum& datum, TChartFile& chartFile);
  ~TCatalogScanner();
  TCatalogScanner(const TCatalogScanner&) = delete;
  TCatalogScanner& operator=(const TCatalogScanner&) = delete;

  TCatalogSettings Settings;
  // Asked with a chart's datum name when the datum is not in the table and
  // the datum rule needs it (the datum alias dialog); false: declined, and
  // not asked again for that name until ClearReport. When empty, every such
  // question counts as declined.
  TDatumAliasAsk AskDatumAlias;
  // Receives every problem line as it is found (also kept in Problems).
  std::function<void(const std::string& line)> OnProblem;

  TScanCounters Counters;
  // "No Cal: ", "No Scale: ", "Bad Datum: ", "DupName: " + path, "Not
  // found: " + file (refresh), and "Critical error in file " / "Critical
  // error in dir " + path, in the order found.
  std::vector<std::string> Problems;
  // Chart directories that do not exist (a scan finds nothing there).
  std::vector<std::string> MissingDirectories;

  void ClearReport();

  // Scans one chart directory (a "Chart Dir" entry; "*" in it: with its
  // subdirectories). Returns the number of chart files whose calibration
  // was examined (added or reported), or -1 when the user chose Cancel at a
  // duplicate name (`ask`), which ends the scan at once.
  int ScanDirectory(const std::string& directory, bool ask);
  // One chart file: 1 examined, 0 skipped (already listed), -1 Cancel.
  int ScanFile(const std::string& path, bool ask);
  // Reads the calibration of every catalog entry again ("Update"): each
  // entry gets the record of its chart file as it is now (border, bounds,
  // scale, ...) under its catalog name; the progress names the chart as
  // it calls itself now. An entry whose file is not found ("Not found: ")
  // or cannot be read is kept as it was and reported.
  void RefreshEntries();
  // The catalog the scan adds to (Recreate builds a new one aside).
  void SetList(TChartList& list) { list_ = &list; }
  TChartList& List() const { return *list_; }

  // Subdirectories deeper than this are not scanned (reported).
  static constexpr int kMaxDepth = 64;

 private:
  int ScanDir(const std::string& dir, bool recursive, bool ask, int depth);
  int ScanChart(const std::string& path, bool ask);
  // One chart file read into a catalog record (border in WGS 84, bounds,
  // file name) without adding it.
  struct TChartRead {
    enum TKind : uint8_t { None, Listed, Kap, Wci, Other } Kind = None;
    RChartLayout Layout;
    std::string Problem;         // why there is no record ("" when there is)
    bool NotCalibrated = false;  // the problem is a missing calibration
    bool BadDatum = false;       // the datum question was declined
  };
  TChartRead ReadChart(const std::string& path, bool skipListed);
  void Problem(std::string line);

  TChartList* list_;
  TDatum& datum_;
  TChartFile& chartFile_;
  std::unique_ptr<TKAPDecoder> kap_;
  std::unique_ptr<TWCIDecoder> wci_;
  // Datum names the user declined to map since ClearReport.
  std::set<std::string> declined_;
  // Directories scanned in this run (device, inode).
  std::set<std::pair<uint64_t, uint64_t>> visited_;
};
