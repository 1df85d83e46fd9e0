#include "geodesy/Datum.h"

#include <sys/stat.h>

#include <cmath>
#include <exception>

#include "foundation/IniFile.h"
#include "foundation/NumText.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/TextBasics.h"

namespace {

constexpr double kWgsA = 6378137.0;
constexpr double kWgsInvF = 298.257223563;
// Ellipsoidal height at which the shift is computed.
constexpr double kShiftHeight = 5.0;

std::vector<std::string_view> SplitItems(std::string_view s) {
  std::vector<std::string_view> items;
  for (;;) {
    const size_t comma = s.find(',');
    items.push_back(TrimSpaceTab(s.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 1);
  }
  return items;
}

// WGS 84 itself is known even when the table lacks it (no file yet, or a
// file edited by hand): receivers and most charts use it.
bool IsWgs84Name(std::string_view n) {
  if (n.size() < 5 || n.size() > 6) return false;
  std::string u;
  for (char c : n)
    if (c != ' ' && c != '-') u += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return u == "WGS84" && (n.size() == 5 || n[3] == ' ' || n[3] == '-');
}

// What identifies a version of the file on disk.
struct TFileStamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  timespec ctime{};
  bool operator==(const TFileStamp& o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
           ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

TFileStamp StampOf(const std::string& path) {
  TFileStamp s;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = st.st_size;
  s.mtime = st.st_mtim;
  s.ctime = st.st_ctim;
  return s;
}

}  // namespace

struct TDatum::Cache {
  TFileStamp stamp;
  TIniFile ini;
  Cache(TFileStamp s, const std::string& file) : stamp(s), ini(file) {}
};

TFPoint MolodenskyShift(const TDatumParams& d, const TFPoint& pos) {
  if (!std::isfinite(pos.X) || !std::isfinite(pos.Y)) return {0, 0};
  const double a = d.EllA;
  const double f = 1 / d.EllInvF;
  const double es = 2 * f - f * f;
  const double da = kWgsA - a;
  const double df = 1 / kWgsInvF - f;
  const double sinphi = std::sin(pos.Y), cosphi = std::cos(pos.Y);
  const double sinlam = std::sin(pos.X), coslam = std::cos(pos.X);
  const double w = 1 - es * sinphi * sinphi;
  const double rn = a / std::sqrt(w);
  const double rm = a * (1 - es) / (w * std::sqrt(w));
  const double dphi = (-d.DX * sinphi * coslam - d.DY * sinphi * sinlam + d.DZ * cosphi +
                       da * rn * es * sinphi * cosphi / a + df * (rm / (1 - f) + rn * (1 - f)) * sinphi * cosphi) /
                      (rm + kShiftHeight);
  // The longitude shift is undefined at a pole.
  const double dlam =
      std::fabs(cosphi) < 1e-12 ? 0 : (-d.DX * sinlam + d.DY * coslam) / ((rn + kShiftHeight) * cosphi);
  if (!std::isfinite(dphi) || !std::isfinite(dlam)) return {0, 0};
  return {dlam, dphi};
}

TDatum::TDatum(std::string fileName) : fileName_(std::move(fileName)) {}

TDatum::~TDatum() = default;

const TDatum::Cache& TDatum::Table() const {
  const TFileStamp now = StampOf(fileName_);
  if (!cache_ || !(cache_->stamp == now)) cache_ = std::make_unique<Cache>(now, fileName_);
  return *cache_;
}

std::optional<TDatumParams> TDatum::Resolve(std::string_view datumName) const {
  const TIniFile& ini = Table().ini;
  const std::optional<std::string> value = ini.Read("Datums", datumName);
  if (!value || TrimSpaceTab(*value).empty()) return std::nullopt;
  const std::vector<std::string_view> items = SplitItems(*value);
  if (items.size() < 4 || items[0].empty()) return std::nullopt;
  const std::optional<std::string> ell = ini.Read("Ellips", items[0]);
  if (!ell) return std::nullopt;
  const std::vector<std::string_view> ellItems = SplitItems(*ell);
  if (ellItems.size() < 2) return std::nullopt;
  const auto a = TryStrToFloatDot(ellItems[0]);
  const auto invf = TryStrToFloatDot(ellItems[1]);
  const auto dx = TryStrToFloatDot(items[1]);
  const auto dy = TryStrToFloatDot(items[2]);
  const auto dz = TryStrToFloatDot(items[3]);
  if (!a || !invf || !dx || !dy || !dz) return std::nullopt;
  // A plausible earth ellipsoid only: a wild axis or flattening would make
  // the shift formulas meaningless.
  if (*a < 6e6 || *a > 7e6 || *invf < 100 || *invf > 1000) return std::nullopt;
  TDatumParams p;
  p.EllA = *a;
  p.EllInvF = *invf;
  p.DX = *dx;
  p.DY = *dy;
  p.DZ = *dz;
  return p;
}

int TDatum::Find(std::string_view name) const {
  name = TrimSpaceTab(name);
  if (name.empty()) return kDatumEmptyName;
  const TIniFile& ini = Table().ini;
  const std::optional<std::string> direct = ini.Read("Datums", name);
  if (direct && !TrimSpaceTab(*direct).empty()) return Resolve(name) ? kDatumDirect : kDatumNotFound;
  const std::optional<std::string> alias = ini.Read("DatumsAliases", name);
  if (alias && !TrimSpaceTab(*alias).empty()) return Resolve(TrimSpaceTab(*alias)) ? kDatumAlias : kDatumNotFound;
  return IsWgs84Name(name) ? kDatumDirect : kDatumNotFound;
}

TDatumParams TDatum::Lookup(std::string_view name, bool* resolved) const {
  name = TrimSpaceTab(name);
  std::optional<TDatumParams> p;
  if (!name.empty()) {
    const TIniFile& ini = Table().ini;
    const std::optional<std::string> direct = ini.Read("Datums", name);
    if (direct && !TrimSpaceTab(*direct).empty()) {
      p = Resolve(name);
    } else {
      const std::optional<std::string> alias = ini.Read("DatumsAliases", name);
      if (alias && !TrimSpaceTab(*alias).empty()) p = Resolve(TrimSpaceTab(*alias));
    }
  }
  if (resolved) *resolved = name.empty() || p.has_value() || IsWgs84Name(name);
  return p.value_or(TDatumParams{});
}

void TDatum::SetSource(const TDatumParams& params) {
  source_ = params;
  identity_ = params.EllA == kWgsA && params.DX == 0 && params.DY == 0 && params.DZ == 0;
}

TFPoint TDatum::ShiftAt(const TFPoint& pos) const {
  if (identity_) return {0, 0};
  return MolodenskyShift(source_, pos);
}

TFPoint TDatum::ShiftPosition(const TFPoint& pos) const {
  const TFPoint d = ShiftAt(pos);
  return {pos.X + d.X, pos.Y + d.Y};
}

std::vector<std::string> TDatum::DatumNames() const { return Table().ini.ReadSection("Datums"); }

std::vector<TProjectionPreset> TDatum::ProjectionPresets() const {
  std::vector<TProjectionPreset> out;
  for (const auto& [name, value] : Table().ini.ReadSectionValues("Projections")) {
    const std::vector<std::string_view> items = SplitItems(value);
    if (items.size() < 3) continue;
    const auto code = TryStrToInt(items[0]);
    const auto lat0 = TryStrToFloatDot(items[1]);
    const auto lon0 = TryStrToFloatDot(items[2]);
    if (!code || *code < 0 || *code > 7 || !lat0 || !lon0 || std::fabs(*lat0) > 90) continue;
    TProjectionPreset p;
    p.Name = name;
    p.Code = *code;
    p.Lat0 = *lat0 * kDegToRad;
    p.Lon0 = *lon0 * kDegToRad;
    if (items.size() >= 5) {
      const auto s = TryStrToFloatDot(items[3]);
      const auto n = TryStrToFloatDot(items[4]);
      if (!s || !n || std::fabs(*s) > 90 || std::fabs(*n) > 90) continue;
      p.HasParallels = true;
      p.LatS = *s * kDegToRad;
      p.LatN = *n * kDegToRad;
    }
    out.push_back(std::move(p));
  }
  return out;
}

bool TDatum::AddAlias(std::string_view alias, std::string_view datumName, std::string* error) {
  alias = TrimSpaceTab(alias);
  datumName = TrimSpaceTab(datumName);
  if (alias.empty() || datumName.empty()) {
    if (error) *error = "Empty datum name";
    return false;
  }
  try {
    TIniFile ini(fileName_);
    ini.WriteString("DatumsAliases", alias, datumName);
    ini.UpdateFile();
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    cache_.reset();
    return false;
  }
  cache_.reset();
  return true;
}

bool EnsureDefaultDatumFile(const std::string& dataDir, const std::string& shippedDir, std::string* error) {
  if (FindFileCaseInsensitive(dataDir, kDatumFileName)) return true;
  const std::optional<std::string> shipped = FindFileCaseInsensitive(shippedDir, kDatumFileName);
  if (!shipped) {
    if (error) *error = "No datum table in " + shippedDir;
    return false;
  }
  std::string bytes;
  if (!ReadWholeFile(*shipped, bytes, error)) return false;
  return AtomicWriteFile(WithTrailingSlash(dataDir) + kDatumFileName, bytes, error);
}

std::string DatumTableFile(const std::string& dataDir, const std::string& shippedDir) {
  if (const std::optional<std::string> own = FindFileCaseInsensitive(dataDir, kDatumFileName)) return *own;
  if (!shippedDir.empty())
    if (const std::optional<std::string> shipped = FindFileCaseInsensitive(shippedDir, kDatumFileName))
      return *shipped;
  return WithTrailingSlash(dataDir) + kDatumFileName;
}

std::string ShippedDataDirOf(const std::string& programDir) {
  const std::string prog = WithTrailingSlash(programDir);
  const std::string candidates[] = {InstalledShareDir(prog), prog + "data/", prog};
  for (const std::string& dir : candidates)
    if (FindFileCaseInsensitive(dir, kDatumFileName)) return dir;
  return {};
}

std::string ShippedDataDir() { return ShippedDataDirOf(ProgramDir()); }
