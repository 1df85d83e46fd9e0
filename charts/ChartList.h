// The chart catalog: every calibrated chart on the machine, with the rules
// that pick the chart to show for a position.
//
// The calibration tool builds the catalog by scanning the chart directories
// (CatalogScan.h) and saves it as "BRAINDEX.BIN" in the data directory; the
// plotter loads it at start over the chart directories and asks it for the
// best chart while the boat moves, for the next chart and the smaller-scale
// chart on the user's commands, and for the charts that cover a position or
// match a name. Charts can belong to up to 24 named groups, which the
// plotter keeps in "BRGROUPS.BIN".
//
// Both files are little-endian binary files, written field by field and
// replaced atomically (a crash while saving leaves the old file). Whatever is
// read from them is checked before it is used, never read past the data or
// allocated by an unchecked count. Records are read in order: a record cut
// short (or a count larger than the file holds) ends the reading, what was
// read before it stays, and the load reports where the damage is; an entry
// with a value that cannot be a chart's is left out and the reading goes on.
//
// Names and file names are UTF-8 in memory. In the files they are stored in
// Windows-1252, as catalogs made on Windows have them, unless a text holds a
// character that code page lacks; such a text is stored as UTF-8. Reading
// takes a text that is valid UTF-8 as UTF-8 and anything else as
// Windows-1252.
//
// Positions are WGS 84 longitude (X) and latitude (Y) in radians.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "charts/ChartInfo.h"
#include "foundation/Types.h"

// Progress of a long job (catalog scans, list fills): a caption, a position
// and a maximum. An empty caption with maximum 0 ends the report. Returns
// whether the progress display is shown.
using TProgressCallback = std::function<bool(const std::string& text, int position, int max)>;

// The process-wide progress display (the plotter's message panel); empty:
// none. Returns the previous one.
TProgressCallback SetProgressCallback(TProgressCallback callback);
// Reports through the installed callback; false when there is none.
bool ReportProgress(const std::string& text, int position, int max);

inline constexpr const char* kCatalogFileName = "BRAINDEX.BIN";
inline constexpr const char* kCatalogGroupsFileName = "BRGROUPS.BIN";

// The number of chart groups.
inline constexpr int kChartGroupCount = 24;
// Bit 31 of a group mask: carried by every entry of the catalog, so that the
// mask 0 ("all charts") can select them.
inline constexpr int32_t kCatalogEntryBit = INT32_MIN;
// The bits of the 24 groups.
inline constexpr int32_t kGroupBitsMask = 0x00FFFFFF;

struct RChartGroup {
  std::string Name;
  int32_t Mask = 0;  // 1 shl its slot
  uint8_t Used = 0;  // 0 or 1
};

// How loading a catalog or group file went.
enum class TCatalogLoad : uint8_t {
  Missing,     // no such file: nothing loaded, nothing to report
  Loaded,      // read (some entries may have been left out, see the counts)
  WrongMagic,  // not a catalog file of this kind: empty
  Damaged,     // counts or records that do not fit the file: a catalog keeps the entries read before
               // the damage, a groups file whose group records are damaged gives no groups
  Unreadable,  // the file exists but cannot be read: empty
};

// Appended to a damaged file's name for the copy of its bytes kept before
// the file is replaced.
inline constexpr const char* kDamagedSuffix = ".damaged";

struct TCatalogLoadResult {
  TCatalogLoad Status = TCatalogLoad::Missing;
  int Entries = 0;   // entries kept (groups files: member records applied)
  int Unnamed = 0;   // entries without a name, left out
  int Invalid = 0;   // entries with a scale of 0 or less or a value that is not a number, left out
  int NotFound = 0;  // entries whose chart file was not found over the search path, left out
  bool Rewritten = false;  // groups files: the file was written again with the current indexes
  // The file was found damaged: every Damaged result, and a groups file
  // that loaded (Loaded) with its damaged member records skipped. The user
  // is to hear of it (Message).
  bool DamageFound = false;
  std::string Message;     // what was wrong, for the user ("" when nothing was)
  bool Ok() const { return Status == TCatalogLoad::Missing || Status == TCatalogLoad::Loaded; }
};

// Receives (Name, Scale) of every chart a list operation finds; the
// available-charts dialog fills its rows through it.
using TChartListCallback = std::function<void(const std::string& name, int32_t scale)>;

class TChartList {
 public:
  TChartList();
  ~TChartList();
  TChartList(const TChartList&) = delete;
  TChartList& operator=(const TChartList&) = delete;

  // Index of the current chart, -1 when none. The selections set it.
  int Current = -1;

  // ---- Entries and files ----

  // No entries, Current -1. The groups stay.
  void Clear();
  int Count() const { return static_cast<int>(entries_.size()); }
  bool Modified() const { return modified_; }

  // Reads the catalog, replacing what the list held. With a search path
  // (";"-separated chart directories) an entry stays only when its chart
  // file is found, as stored or by its name in one of those directories
  // (case ignored; Windows paths by their file name). A missing file leaves
  // the list empty without a message. In a damaged file (an entry or its
  // border cut short, a count larger than the file holds) the entries read
  // before the damage are kept: the result is Damaged, with Entries kept
  // and a Message saying where the damage is; a file shorter than its
  // header leaves the list empty. Entries without a name, with a scale of
  // 0 or less, or with values that are not numbers are left out. Every
  // entry gets the group mask kCatalogEntryBit (membership comes from the
  // groups file) and a priority of at least 1. Clears the modified flag.
  TCatalogLoadResult LoadFromFile(const std::string& file, const std::string& searchPath);
  // The same on the bytes of a catalog file.
  TCatalogLoadResult LoadFromBytes(std::string_view bytes, const std::string& searchPath);
  // Writes every entry, atomically: on failure the old file is untouched,
  // false is returned and `error` says why. Clears the modified flag on
  // success.
  bool SaveToFile(const std::string& file, std::string* error = nullptr);
  // The file bytes SaveToFile writes.
  std::string SaveToBytes() const;

  // Adds a chart (the calibration tool's scan): 1 added, 0 not added, -1
  // when the user chose Cancel. A new name is added as it is; the same name
  // with the same file (case ignored), or with a file of the same name and
  // size in another directory, is the same chart (0); another chart of the
  // same name is added as "Name (2)", "Name (3)", ... up to "(100)". When
  // all those names are taken the chart is not added (0) and, with `ask`,
  // the user is told so with OK and Cancel; Cancel gives -1. A chart that
  // the catalog file cannot hold (a name or file name over 65535 bytes) or
  // with a scale of 0 or less is not added (0).
  int AddEntry(const RChartLayout& layout, bool ask);

  // Replaces the record of an entry (the refresh of the calibration tool):
  // the entry keeps its name, its group bits and the file found for it.
  // False for an index outside the list or a record the catalog file
  // cannot hold (see AddEntry).
  bool ReplaceEntry(int index, const RChartLayout& layout);
  // Exchanges the entries (and Current) with another list; the groups and
  // the file names stay with each list.
  void SwapEntries(TChartList& other);

  // The entry, or nullptr for an index outside the list.
  const RChartLayout* Entry(int index) const;
  // A copy of the entry; an empty record for an index outside the list.
  RChartLayout GetEntry(int index) const;
  // The entry's FileName as stored; "" for an index outside the list.
  std::string GetFileName(int index) const;
  // The chart file found for the entry when the list was loaded over a
  // search path (or added by the scan); else the stored FileName.
  std::string ResolvedFileName(int index) const;
  // Sets the groups of an entry (bit 31 is always kept). False for an
  // index outside the list.
  bool SetGroupMask(int index, int32_t mask);

  // Index of the entry of that name (exact, case-sensitive), or -1.
  int FindByName(std::string_view name) const;
  // The entry of that name, which becomes Current; nothing when no entry
  // has the name (Current then stays).
  std::optional<RChartLayout> FindEntryByName(std::string_view name);
  // Index of the entry whose FileName is `file` (the whole path, case
  // ignored), or -1.
  int FindByFileName(std::string_view file) const;
  // The distinct directories of all FileNames (case ignored), in catalog
  // order, each as stored with its final separator.
  std::vector<std::string> ListDirectories() const;
  // Every named entry whose group mask holds all bits of `mask` goes to
  // `members`; every other named entry goes to `others`, only when it lies
  // in `directory` unless that is empty or "*.*". Returns the number of
  // entries without a name.
  int ListNames(int32_t mask, std::vector<std::string>& members, const std::string& directory,
                std::vector<std::string>& others) const;
  // The same entries by their index in the catalog (two charts may have the
  // same name: an index names one of them).
  int ListEntries(int32_t mask, std::vector<int>& members, const std::string& directory,
                  std::vector<int>& others) const;

  // ---- Selection ----

  // The index is valid, the position lies in the entry's Bounds and inside
  // its border polygon. Charts whose longitudes run past the 180th meridian
  // contain the positions on the other side too.
  bool ChartContains(const TFPoint& pos, int index) const;
  // ChartContains for Current; false without a current chart.
  bool CurrentContains(const TFPoint& pos) const;
  // The ranking number of a chart (smaller is better): the scale, or its
  // distance from a reference scale (0 for none), plus a tenth of the scale
  // for every priority step above 1 (rounded, halves to even).
  static int64_t EffectiveScale(int32_t scale, int32_t priority, int32_t reference);
  // 1 at the centre of the entry's Bounds, 0 on their edge: the product of
  // the relative distances from the edges across and along. 0 for a
  // rectangle without width or height, or an index outside the list.
  double Centeredness(const TFPoint& pos, int index) const;
  // The plane distance in radians from the position to the mean of the
  // entry's border points; 10 when it has no border.
  double CentroidDistance(const TFPoint& pos, int index) const;

  // The chart to show at a position: among the charts that contain it and
  // pass the group mask (0: all charts), the smallest effective scale
  // lowered by up to 10 % when the position is at the chart's centre; the
  // chart `current` wins ties. Searches all charts when the groups give
  // nothing. -1 when no chart contains the position. Sets Current.
  int BestChart(const TFPoint& pos, int current, int32_t mask, int32_t reference);
  // Another chart at the position, the next by effective scale and then by
  // the distance to its centre; the stored Current when there is none (with
  // the message "Chart not found" when there is no current chart either).
  // Sets Current.
  int NextChart(const TFPoint& pos, int current, int32_t mask, int32_t reference);
  // The best chart at the position among those of a smaller scale (a larger
  // scale number) than `scale`; -1 when there is none. Only the given
  // groups. Sets Current.
  int SmallerScaleChart(const TFPoint& pos, int current, int32_t mask, int32_t scale);
  // The best chart that contains both the position ahead of the boat and
  // the boat's position, favoured by up to 20 % when the position ahead is
  // at its centre; the stored Current wins ties. -1 when none. Sets Current.
  int BestChartForTwo(const TFPoint& ahead, const TFPoint& pos, int32_t mask, int32_t reference);
  // Gives every chart with a scale within the limits (<= 0: no limit) that
  // passes the group mask, contains the position (unless it is (0, 0)) and
  // whose name holds the filter (case ignored; empty: any name) to the
  // callback. Returns the number listed.
  int ListCharts(const TFPoint& pos, std::string_view nameFilter, const TChartListCallback& callback,
                 int32_t mask, int32_t smallestScale, int32_t largestScale) const;
  // Every chart that contains the position within the scale limits.
  int ListChartsAt(const TFPoint& pos, int32_t largestScale, const TChartListCallback& callback,
                   int32_t smallestScale) const;
  // (0, 0) when the position lies in the rectangle; otherwise the distance
  // and bearing from the position to its south-west corner.
  static TFPoint DistanceOutside(const TFPoint& pos, const TFRect& rect);

  // ---- Groups ----

  // The first free slot gets the name and Mask 1 shl slot; -1 when all 24
  // are used.
  int AddGroup(const std::string& name);
  // Frees the slot of that name and takes its bit out of every entry.
  void DeleteGroup(const std::string& name);
  // The group keeps its slot, bit and members under the new name. False
  // when there is no group `from`, or `to` is another group's name or too
  // long for the groups file.
  bool RenameGroup(std::string_view from, const std::string& to);
  // The Mask of the group of that name (exact), 0 when there is none.
  int32_t GroupBit(std::string_view name) const;
  // The slot of the group of that name (exact), or -1.
  int GroupIndex(std::string_view name) const;
  // The names of the used groups in slot order; returns their number.
  int ListGroups(std::vector<std::string>& names) const;
  int GroupCount() const;
  // The group record of a slot (0..23); an empty record otherwise.
  const RChartGroup& Group(int slot) const;

  // Writes the groups and every named entry's membership, atomically.
  // False (old file untouched, `error` set) when it cannot be written.
  bool SaveGroups(const std::string& file, std::string* error = nullptr) const;
  std::string SaveGroupsToBytes() const;
  // Reads the groups file, after clearing every group and membership. A
  // member record whose index no longer names its entry is matched by name
  // and the file is then written again with the current indexes; records of
  // charts no longer listed are skipped. Member records cut short (or a
  // member count larger than the file holds) are skipped with DamageFound
  // and a Message: the groups and the members read before them stay, the
  // old bytes are kept as "<file>.damaged" and the file is written again
  // (left alone when that copy cannot be made). Damaged group records are
  // reported (Damaged) and leave no groups; the file is left alone. Over a
  // catalog that loaded damaged, moved indexes alone do not rewrite the
  // file (the members of the charts lost with the damage would go).
  TCatalogLoadResult LoadGroups(const std::string& file);
  // The same on the file bytes; `rewrite` (when given) tells whether the
  // file should be written again.
  TCatalogLoadResult LoadGroupsFromBytes(std::string_view bytes, bool* rewrite = nullptr);

  // The files last loaded (for the plotter's later saves).
  const std::string& IndexFile() const { return indexFile_; }
  const std::string& SearchPath() const { return searchPath_; }
  const std::string& GroupsFile() const { return groupsFile_; }
  // The chart directories used to find the files of entries stored with
  // another path (the size test of AddEntry).
  void SetSearchPath(const std::string& searchPath) { searchPath_ = searchPath; }

  // The largest catalog or groups file read.
  static constexpr uint64_t kMaxFileBytes = uint64_t(1) << 30;

 private:
  // What the selections read of every entry.
  struct THot {
    TFRect Bounds;             // the entry's bounds
    int64_t PriorityTerm = 0;  // what the priority adds to the effective scale
    int32_t Mask = 0;
    int32_t Scale = 0;
    // The Bounds reach past -pi (+1) or +pi (-1): positions are also tried
    // one turn of the earth further.
    int8_t Wrap = 0;
  };

  // ChartContains without the index check; `used` receives the position
  // as it was found inside (possibly one turn of the earth further).
  bool Contains(const TFPoint& pos, int index, TFPoint* used = nullptr) const;
  double CenterednessAt(const TFPoint& pos, int index) const;
  static bool PassesMask(int32_t entryMask, int32_t mask);
  int BestChartPass(const TFPoint& pos, int current, int32_t mask, int32_t reference) const;
  int NextChartPass(const TFPoint& pos, int current, int32_t mask, int32_t reference) const;
  int BestForTwoPass(const TFPoint& ahead, const TFPoint& pos, int32_t mask, int32_t reference) const;
  void Append(RChartLayout layout, std::string resolved);
  void RebuildIndexes();
  static THot MakeHot(const RChartLayout& e);
  static TFRect FilterBox(const THot& h);
  static int64_t Effective(const THot& h, int32_t reference);
  int64_t FileSizeOfEntry(int index) const;

  std::vector<RChartLayout> entries_;
  std::vector<THot> hot_;
  // A box per entry that holds every position the entry can contain (its
  // bounds; for a chart across the 180th meridian only its latitudes),
  // kept apart so that a search over a large catalog reads little memory.
  std::vector<TFRect> filter_;
  std::vector<std::string> resolved_;
  // Name -> first index, upper-cased file name -> first index.
  std::unordered_map<std::string, int> byName_;
  std::unordered_map<std::string, int> byFile_;
  std::array<RChartGroup, kChartGroupCount> groups_{};
  bool modified_ = false;
  // The catalog last loaded was damaged (some of its entries were lost).
  bool catalogDamaged_ = false;
  std::string indexFile_;
  std::string searchPath_;
  std::string groupsFile_;
};

// "Chart Dir" as a chart search path: the "*" marks (scan subdirectories
// too) removed.
std::string ChartSearchPath(std::string_view chartDir);
// The chart file of a FileName stored in the catalog: as stored, else by its
// name in each directory of the search path (TChartFile::ResolveChartFile),
// else, for a path written elsewhere ("C:\Charts\North\x.kap"), by its last
// directories and name below a search directory ("North/x.kap"). Case is
// ignored. "" when not found.
std::string FindCatalogChartFile(const std::string& stored, const std::string& searchPath);

// The text of a catalog or groups file string as UTF-8 (valid UTF-8 as it
// is, anything else as Windows-1252), and the bytes stored for a UTF-8 text.
std::string CatalogTextFromFile(std::string_view bytes);
std::string CatalogTextToFile(std::string_view utf8);
// Upper case of the ASCII and Latin-1 letters of a UTF-8 text (the case
// rule of chart names and file names).
std::string CatalogUpper(std::string_view utf8);
