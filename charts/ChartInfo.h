// The chart information record and the calibration header text.
//
// Every chart is described by an RChartInfo: name, file, scale, group
// membership, border polygon, reference points, projection and datum, raster
// size and free comments. Calibrations are exchanged as "key=value" lines
// (the calibration header: "NA=", "FN=", "SC=", ...), kept in a ".CAL" file
// beside an image, as a section of the directory's "CHARTCAL.DIR", or inside
// a WCI file. TChartHeadBaseCodec reads and writes that text;
// TChartHeadExternalCodec adds the "CHARTCAL.DIR" sections.
//
// Angles are radians in the record and degrees in the text; numbers in the
// text always use "." whatever the locale. Text is UTF-8 inside the program;
// files are read as UTF-8 when they are valid UTF-8, else as Windows-1252,
// and written back in the encoding they were read in (new files in
// Windows-1252).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/TextCodec.h"
#include "foundation/Types.h"
#include "geodesy/GeoRef.h"

// The part of the record the chart catalog keeps for every chart. The first
// 48 bytes (GroupMask .. Bounds) are also a binary layout of the catalog
// file, written field by field by the catalog.
struct RChartLayout {
  int32_t GroupMask = 0;     // "GR=": bit n = member of catalog group n
  uint16_t Priority = 0;     // "PY="
  uint16_t QualityCode = 0;  // "QU=", carried unchanged
  int32_t Scale = 200000;    // "SC=", natural scale denominator
  uint16_t BorderCount = 0;  // "BC=", always Border.size()
  TFRect Bounds;             // filled by the catalog and the chart view
  std::string Name;          // "NA="
  std::string FileName;      // "FN=", without directory in headers
  TFPointArray Border;       // "B1=" ..., X longitude, Y latitude (radians)
};

// Projection codes ("PR="): 0 none, 1 Mercator, 2 Transverse Mercator,
// 3 Lambert Conformal Conic, 4 Polyconic, 5 Sinusoidal, 6 Orthographic,
// 7 Vertical Near-Side Perspective (height in metres in P3). The code
// constants are in geodesy/CTrans.h.

// Depth units ("DU=").
enum : uint8_t { kDepthUnknown = 0, kDepthMetres = 1, kDepthFeet = 2, kDepthFathoms = 3 };

struct RChartInfo {
  RChartLayout Layout;
  std::string Number;            // "NU="
  TGridPointArray RefPoints;     // "C1=" ...
  int32_t RefCount = 0;          // "CC=", always RefPoints.size()
  double DtValue = 0;            // "DT=", carried unchanged
  std::string DatumName = "WGS84";  // "GD="
  double PhaseShift = 0;         // BSB "CPH/"
  double Version = 0;            // BSB "VER/"
  uint8_t Projection = 0;        // "PR="
  TFPoint DatumShift;            // "DS=", radians (X longitude, Y latitude)
  int32_t Width = 0;             // "WI="
  int32_t Height = 0;            // "HE="
  TFPoint Centre;                // chart view only
  double NorthRotation = 0;      // chart view only
  double MilesPerPixel = 0;      // chart view only
  double PixelSizeX = 0;         // "DX="
  double PixelSizeY = 0;         // "DY="
  double Lat0 = 0;               // "LAT0=", radians
  double Lon0 = 0;               // "LON0=", radians
  double LatS = 0;               // "LATS=", radians
  double LatN = 0;               // "LATN=", radians
  double P1 = 0, P2 = 0, P3 = 0, P4 = 0;  // raw BSB projection parameters; P3 = height of code 7
  std::vector<double> WGX, WGY, GWX, GWY;  // never filled
  int32_t CoefCount = 0;         // "PC=", always 0
  uint8_t Inverse = 0;           // BSB inverse polynomials declared
  uint8_t DepthUnits = 0;        // "DU="
  std::string Comments;          // "CR=", lines separated by CR LF
  std::string SoundingDatum;     // "SD="
};

// What the chart converter needs of a chart. isKap: the chart is a BSB/KAP
// raster (its DTM shift follows the "KAP zero shift" settings).
RGeoRef ChartGeoRef(const RChartInfo& info, bool isKap);

// Whether a chart file follows the KAP rules of the datum decision ("Use KAP
// zero shift", "Reverse KAP zero shift"): BSB/KAP rasters and NOS charts,
// which share the KAP decoder and its shift records. The chart view and the
// catalog scan both decide by this, so the border that chooses a chart is
// the border the screen shows.
bool FollowsKapDatumRules(std::string_view chartFile);

// Projection code of a projection name: its first five characters,
// upper-cased, compared with MERCA, TRANS, LAMBE, POLYC, SINUS, UNIVE (2)
// and SWEDI (7); anything else gives 0.
uint8_t ProjectionFromName(std::string_view name);

// Reading and writing calibration header lines.
class TChartHeadBaseCodec {
 public:
  TChartHeadBaseCodec() = default;
  TChartHeadBaseCodec(const TChartHeadBaseCodec&) = delete;
  TChartHeadBaseCodec& operator=(const TChartHeadBaseCodec&) = delete;

  std::vector<std::string> Lines;
  // The encoding of the file last loaded; files are saved in it.
  TTextEncoding Encoding = TTextEncoding::Cp1252;

  void Clear();
  // Clears and loads the file; false when it cannot be read.
  bool LoadFromFile(const std::string& path);
  // Clears and takes the lines of `text` (file bytes, either encoding).
  void LoadFromText(std::string_view text);
  // Writes the lines atomically (CR LF line ends).
  bool SaveToFile(const std::string& path, std::string* error = nullptr) const;
  // The lines as file text in the codec's encoding.
  std::string SaveToText() const;

  // The value of the first line that starts with `key` (case ignored), with
  // the trimmed text of every following line that begins with a blank
  // appended after ","; trimmed. Empty when the key is missing.
  std::string GetValue(std::string_view key) const;
  // The value converted; `def` when missing or malformed.
  int32_t GetInt(std::string_view key, int32_t def) const;
  double GetFloat(std::string_view key, double def) const;
  // Item n of the part of `text` after `key` (see GetItemText).
  static std::string GetItem(std::string_view key, std::string_view text, int n);
  // "latitude,longitude" in degrees -> (X longitude, Y latitude) radians;
  // `def` when either item is missing or malformed.
  TFPoint GetLatLon(std::string_view key, const TFPoint& def) const;
  // "x,y,latitude,longitude"; `def` when an item is missing or malformed.
  TGridPoint GetRefPoint(std::string_view key, const TGridPoint& def) const;
  // Multi-line text: the key matched in exact case, continuation lines
  // (without their leading blank) joined with CR LF; `def` when missing.
  std::string GetText(std::string_view key, std::string_view def) const;

  // Replaces the first line of the key (case ignored), and any continuation
  // lines of it, by key + text; appends when there is none.
  void PutValue(std::string_view key, std::string_view text);
  void PutInt(std::string_view key, int64_t value);
  // General number form (15 significant digits at most).
  void PutFloat(std::string_view key, double value);
  void PutLatLon(std::string_view key, const TFPoint& pos);
  // x and y without decimals, latitude and longitude with 12 decimals.
  void PutRefPoint(std::string_view key, const TGridPoint& p);
  // Deletes the key, then appends key + first line and " " + line for every
  // further line (nothing for an empty text).
  void PutText(std::string_view key, std::string_view text);
  // Removes every line of the key (case ignored) with the continuation lines
  // (lines beginning with a blank) that follow it.
  void DeleteKey(std::string_view key);

  static void ClearLayout(RChartLayout& layout);
  static void ClearInfo(RChartInfo& info);
  // Fill the record from Lines. True when the border has more than two
  // points. Counts ("BC=", "CC=") never exceed the points present: a missing
  // or malformed point line is left out.
  bool ReadLayout(RChartLayout& layout) const;
  bool ReadInfo(RChartInfo& info) const;
  // Put the record into Lines. False only when the record cannot be written.
  bool WriteLayout(const RChartLayout& layout);
  bool WriteInfo(const RChartInfo& info);

  // The most border or reference points read from a header.
  static constexpr int kMaxPoints = 10000;

 protected:
  // Index of the first line of the key (case ignored), or -1.
  long FindKeyLine(std::string_view key) const;
  // GetValue for a key of keyLength characters known to start line i.
  std::string ValueOfLine(size_t i, size_t keyLength) const;
  // Index past the continuation lines of line i.
  size_t ContinuationEnd(size_t i) const;
  void DeleteNumberedAbove(char prefix, int count);
};

// A calibration header kept as a section of a directory's "CHARTCAL.DIR":
// each section starts with a line "[" + image file name + "]" and holds that
// image's header lines; sections are separated by an empty line.
class TChartHeadExternalCodec : public TChartHeadBaseCodec {
 public:
  TChartHeadExternalCodec() = default;

  // Clears Lines and reads the section `name` (case ignored) of the file.
  // False when the file or the section does not exist.
  bool ReadSection(const std::string& file, std::string_view name);
  // Replaces (or adds) the section: an existing one of that name is removed
  // and the section, with the name as given, goes to the end of the file.
  // The file is written atomically.
  bool WriteSection(const std::string& file, std::string_view name, std::string* error = nullptr);
  // Removes the section; false when the file does not exist or cannot be
  // written.
  bool DeleteSection(const std::string& file, std::string_view name, std::string* error = nullptr);
  // The names of all sections of the file.
  static std::vector<std::string> ListSections(const std::string& file);

  // The same operations on the lines of such a file.
  static bool IsSectionLine(std::string_view line);
  // The section name of a section line ("" when it has none).
  static std::string SectionName(std::string_view line);
  static std::vector<std::string> ListSectionsIn(const std::vector<std::string>& lines);
  // The lines of the section (without its section line and the empty lines
  // that end it); false when there is none.
  static bool FindSectionIn(const std::vector<std::string>& lines, std::string_view name,
                            std::vector<std::string>& section);
  // Removes the section line of `name` and its lines; false when absent.
  static bool RemoveSectionIn(std::vector<std::string>& lines, std::string_view name);
  // Removes the section and appends "[" + name + "]", the section lines and
  // one empty line.
  static void PutSectionIn(std::vector<std::string>& lines, std::string_view name,
                           const std::vector<std::string>& section);
};

inline constexpr const char* kChartCalDirName = "CHARTCAL.DIR";

// The largest calibration text file read (a ".CAL" header, "CHARTCAL.DIR"
// and the headers of other programs): real ones hold a few kilobytes, so a
// bigger file is not a calibration and is not read into memory.
inline constexpr uint64_t kMaxHeaderFileBytes = uint64_t{16} << 20;
