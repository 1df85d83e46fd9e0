// Geodetic datums: look-up in the datum table "DATUMS2.INI" and the standard
// Molodensky shift from a datum to WGS 84.
//
// The datum table is an INI file with the sections
//   [Datums]         name=ellipsoid name,dX,dY,dZ   (metres, datum -> WGS 84)
//   [DatumsAliases]  other name=datum name
//   [Ellips]         ellipsoid name=semi-major axis,inverse flattening
//   [Projections]    name=code,lat0,lon0[,latS,latN] (decimal degrees)
// Names compare ignoring case. The file is read again whenever it changes on
// disk, so edits take effect at the next look-up.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Types.h"

inline constexpr const char* kDatumFileName = "DATUMS2.INI";

struct TDatumParams {
  double EllA = 6378137.0;
  double EllInvF = 298.257223563;
  double DX = 0;
  double DY = 0;
  double DZ = 0;
  friend bool operator==(const TDatumParams&, const TDatumParams&) = default;
};

// A named projection set-up of the "Projections" section (angles in radians).
struct TProjectionPreset {
  std::string Name;
  int Code = 0;
  double Lat0 = 0;
  double Lon0 = 0;
  bool HasParallels = false;
  double LatS = 0;
  double LatN = 0;
};

// Results of TDatum::Find.
enum : int {
  kDatumNotFound = 0,
  kDatumDirect = 1,
  kDatumAlias = 2,
  kDatumEmptyName = 3,
};

// The Molodensky shift (dLon, dLat in radians) of a position on the datum
// `from` to WGS 84, at ellipsoidal height 5 m. (0, 0) for a non-finite
// position; the longitude shift is 0 at the poles.
TFPoint MolodenskyShift(const TDatumParams& from, const TFPoint& pos);

class TDatum {
 public:
  // The source starts as WGS 84 without translation.
  explicit TDatum(std::string fileName);
  ~TDatum();
  TDatum(const TDatum&) = delete;
  TDatum& operator=(const TDatum&) = delete;

  const std::string& FileName() const { return fileName_; }

  // kDatumEmptyName for an empty name; kDatumDirect when "Datums" has an
  // entry for the name, kDatumAlias when "DatumsAliases" maps the name to
  // one; kDatumNotFound otherwise. An entry that cannot be used (its
  // ellipsoid is not listed, or a number in it is malformed) counts as not
  // found, so that such a datum is never applied silently as WGS 84.
  // "WGS84", "WGS 84" and "WGS-84" are found (as WGS 84) even when the table
  // does not list them.
  int Find(std::string_view name) const;

  // The parameters of a datum; the WGS 84 defaults when the name is empty,
  // unknown or its entry unusable. `resolved` (when given) tells whether the
  // parameters came from the table.
  TDatumParams Lookup(std::string_view name, bool* resolved = nullptr) const;

  void SetSource(const TDatumParams& params);
  const TDatumParams& Source() const { return source_; }
  // The source is WGS 84's semi-major axis with no translation (the
  // flattening is not compared).
  bool IsIdentity() const { return identity_; }

  // The shift (dLon, dLat) of the source datum to WGS 84 at pos (on the
  // source datum); exactly (0, 0) when IsIdentity.
  TFPoint ShiftAt(const TFPoint& pos) const;
  // pos + ShiftAt(pos).
  TFPoint ShiftPosition(const TFPoint& pos) const;

  // The datum names of "Datums", in file order (for the datum lists).
  std::vector<std::string> DatumNames() const;
  // The "Projections" set-ups, in file order; malformed entries are left out.
  std::vector<TProjectionPreset> ProjectionPresets() const;

  // Adds "alias=datumName" to "DatumsAliases" and writes the file. False
  // (with a reason in `error`) when the alias cannot be stored as a key or
  // the file cannot be written.
  bool AddAlias(std::string_view alias, std::string_view datumName, std::string* error = nullptr);

 private:
  struct Cache;
  const Cache& Table() const;
  std::optional<TDatumParams> Resolve(std::string_view datumName) const;

  std::string fileName_;
  TDatumParams source_;
  bool identity_ = true;
  mutable std::unique_ptr<Cache> cache_;
};

// Copies the shipped datum table into dataDir when dataDir holds none (in any
// letter case). True when dataDir has a datum table afterwards.
bool EnsureDefaultDatumFile(const std::string& dataDir, const std::string& shippedDir,
                            std::string* error = nullptr);

// The datum table to read: the file of that name in dataDir, in whatever
// letter case it is there, else the one in shippedDir ("" for none), else
// dataDir's name for it (which does not exist: only WGS 84 is known then).
std::string DatumTableFile(const std::string& dataDir, const std::string& shippedDir);

// The directory of the data files that come with the programs (datum
// table, sounds, the magnetic model's coefficient file, the demo voyage),
// looked for after the data directory: the first that holds the datum table
// of the installation's share directory ("<prefix>/share/brismare/" for
// programs in "<prefix>/bin/"), "data/" beside the executable (the build
// tree links the source tree's data/ there) and the executable's own
// directory; "" when none has it.
std::string ShippedDataDirOf(const std::string& programDir);
// ShippedDataDirOf(ProgramDir()).
std::string ShippedDataDir();
