#include "geodesy/MagError.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "foundation/NumText.h"
#include "foundation/Types.h"
#include "platform/AtomicFile.h"

// Generated from data/WMM2025.COF at build time.
std::string_view WmmBuiltinCoefficientText();

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    lines.push_back(text.substr(0, nl));
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  return lines;
}

struct TParsedModel {
  double epoch = 0;
  std::string name;
  int degree = 0;
  double c[TMagError::kMaxDegree + 1][TMagError::kMaxDegree + 1] = {};
  double cd[TMagError::kMaxDegree + 1][TMagError::kMaxDegree + 1] = {};
};

// Parses a coefficient text; on failure `why` says what was wrong.
bool ParseModel(const std::vector<std::string_view>& lines, TParsedModel& m, std::string& why) {
  constexpr int kMax = TMagError::kMaxDegree;
  bool have[kMax + 1][kMax + 1] = {};
  size_t i = 0;
  while (i < lines.size() && Fields(lines[i]).empty()) ++i;
  if (i == lines.size()) {
    why = "empty coefficient text";
    return false;
  }
  const std::vector<std::string_view> head = Fields(lines[i]);
  const std::optional<double> epoch = head.size() >= 2 ? TryStrToFloatDot(head[0]) : std::nullopt;
  if (!epoch) {
    why = "line " + std::to_string(i + 1) + ": no epoch and model name";
    return false;
  }
  m.epoch = *epoch;
  m.name = std::string(head[1]);
  bool ended = false;
  for (++i; i < lines.size() && !ended; ++i) {
    const std::vector<std::string_view> f = Fields(lines[i]);
    if (f.empty()) continue;
    if (f[0].find("9999") != std::string_view::npos) {
      ended = true;
      break;
    }
    const std::string where = "line " + std::to_string(i + 1) + ": ";
    if (f.size() < 6) {
      why = where + "too few fields";
      return false;
    }
    const std::optional<int32_t> n = TryStrToInt(f[0]);
    const std::optional<int32_t> mm = TryStrToInt(f[1]);
    const std::optional<double> g = TryStrToFloatDot(f[2]);
    const std::optional<double> h = TryStrToFloatDot(f[3]);
    const std::optional<double> gd = TryStrToFloatDot(f[4]);
    const std::optional<double> hd = TryStrToFloatDot(f[5]);
    if (!n || !mm || !g || !h || !gd || !hd) {
      why = where + "not a coefficient line";
      return false;
    }
    if (*n < 1 || *mm < 0) {
      why = where + "degree or order out of range";
      return false;
    }
    // Orders above the degree carry nothing; degrees above 12 lie beyond
    // this synthesis (a high-resolution model still gives its main field).
    if (*mm > *n || *n > kMax) continue;
    const int nn = *n, m0 = *mm;
    if (have[nn][m0]) {
      why = where + "coefficient given twice";
      return false;
    }
    have[nn][m0] = true;
    m.c[m0][nn] = *g;
    m.cd[m0][nn] = *gd;
    if (m0 > 0) {
      m.c[nn][m0 - 1] = *h;
      m.cd[nn][m0 - 1] = *hd;
    }
    m.degree = std::max(m.degree, nn);
  }
  if (!ended) {
    why = "the end line (9999...) is missing";
    return false;
  }
  if (m.degree < 1) {
    why = "no coefficients";
    return false;
  }
  for (int n = 1; n <= m.degree; ++n)
    for (int mm = 0; mm <= n; ++mm)
      if (!have[n][mm]) {
        why = "coefficient n=" + std::to_string(n) + " m=" + std::to_string(mm) + " is missing";
        return false;
      }
  return true;
}

}  // namespace

std::string_view TMagError::BuiltinCoefficients() { return WmmBuiltinCoefficientText(); }

TMagError::TMagError(bool builtin) {
  ResetCache();
  if (builtin) LoadCoefficients(BuiltinCoefficients());
}

void TMagError::ResetCache() { oTime_ = oAlt_ = oLat_ = oLon_ = kNaN; }

bool TMagError::LoadCoefficients(std::string_view text) {
  std::vector<std::string_view> lines = SplitLines(text);
  TParsedModel m;
  std::string why;
  if (!ParseModel(lines, m, why)) {
    loadError_ = why;
    ++errors_;
    return false;
  }
  epoch_ = m.epoch;
  name_ = m.name;
  modelDegree_ = m.degree;
  std::memcpy(raw_c_, m.c, sizeof raw_c_);
  std::memcpy(raw_cd_, m.cd, sizeof raw_cd_);
  loaded_ = true;
  loadError_.clear();
  Normalise();
  ResetCache();
  return true;
}

bool TMagError::LoadCoefficients(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) {
    text += l;
    text += '\n';
  }
  return LoadCoefficients(std::string_view(text));
}

bool TMagError::LoadFile(const std::string& path) {
  std::string bytes, error;
  if (!ReadWholeFile(path, bytes, &error)) {
    loadError_ = error.empty() ? "cannot read " + path : error;
    ++errors_;
    return false;
  }
  return LoadCoefficients(std::string_view(bytes));
}

void TMagError::Prepare(int maxDegree) {
  maxDegree_ = std::clamp(maxDegree, 1, kMaxDegree);
  ResetCache();
}

// Converts the Schmidt semi-normalised coefficients to the unnormalised form
// the recursion uses, and prepares the recursion constants.
void TMagError::Normalise() {
  double snorm[N][N] = {};  // [n][m]
  std::memcpy(c_, raw_c_, sizeof c_);
  std::memcpy(cd_, raw_cd_, sizeof cd_);
  std::memset(k_, 0, sizeof k_);
  snorm[0][0] = 1;
  fm_[0] = 0;
  fn_[0] = 1;
  for (int n = 1; n <= kMaxDegree; ++n) {
    snorm[n][0] = snorm[n - 1][0] * (2.0 * n - 1) / n;
    int j = 2;
    for (int m = 0; m <= n; ++m) {
      k_[m][n] = static_cast<double>((n - 1) * (n - 1) - m * m) / ((2.0 * n - 1) * (2.0 * n - 3));
      if (m > 0) {
        const double flnmj = static_cast<double>((n - m + 1) * j) / (n + m);
        snorm[n][m] = snorm[n][m - 1] * std::sqrt(flnmj);
        j = 1;
        c_[n][m - 1] *= snorm[n][m];
        cd_[n][m - 1] *= snorm[n][m];
      }
      c_[m][n] *= snorm[n][m];
      cd_[m][n] *= snorm[n][m];
    }
    fn_[n] = n + 1;
    fm_[n] = n;
  }
  k_[1][1] = 0;
}

std::optional<TMagField> TMagError::Field(double time, double lon, double lat, double altitude) {
  if (!loaded_) return std::nullopt;
  if (!std::isfinite(time) || !std::isfinite(lon) || !std::isfinite(lat) || !std::isfinite(altitude) ||
      std::fabs(lat) > kPi / 2 + 1e-12)
    return std::nullopt;
  const int maxord = std::min(maxDegree_, modelDegree_);
  // WGS 84 in kilometres; the geomagnetic reference radius.
  constexpr double a = 6378.137, b = 6356.7523142, re = 6371.2;
  constexpr double a2 = a * a, b2 = b * b, c2 = a2 - b2, a4 = a2 * a2, b4 = b2 * b2, c4 = a4 - b4;
  const double alt = altitude / 1000;
  const double dt = time - epoch_;
  const double srlon = std::sin(lon), crlon = std::cos(lon);
  const double srlat = std::sin(lat), crlat = std::cos(lat);
  const double srlat2 = srlat * srlat, crlat2 = crlat * crlat;
  sp_[0] = 0;
  cp_[0] = 1;
  sp_[1] = srlon;
  cp_[1] = crlon;
  p_[0][0] = 1;
  dp_[0][0] = 0;
  pp_[0] = 1;

  // Geodetic to spherical coordinates.
  const bool newPlace = !(alt == oAlt_ && lat == oLat_);
  if (newPlace) {
    const double q = std::sqrt(a2 - c2 * srlat2);
    const double q1 = alt * q;
    const double q2 = ((q1 + a2) / (q1 + b2)) * ((q1 + a2) / (q1 + b2));
    ct_ = srlat / std::sqrt(q2 * crlat2 + srlat2);
    st_ = std::sqrt(std::max(0.0, 1 - ct_ * ct_));
    const double r2 = alt * alt + 2 * q1 + (a4 - c4 * srlat2) / (q * q);
    r_ = std::sqrt(r2);
    const double d = std::sqrt(a2 * crlat2 + b2 * srlat2);
    ca_ = (alt + d) / r_;
    sa_ = c2 * crlat * srlat / (r_ * d);
  }
  if (!(lon == oLon_)) {
    for (int m = 2; m <= maxord; ++m) {
      sp_[m] = sp_[1] * cp_[m - 1] + cp_[1] * sp_[m - 1];
      cp_[m] = cp_[1] * cp_[m - 1] - sp_[1] * sp_[m - 1];
    }
  }
  const bool newTime = !(time == oTime_);
  const double aor = re / r_;
  double ar = aor * aor;
  double br = 0, bt = 0, bp = 0, bpp = 0;
  for (int n = 1; n <= maxord; ++n) {
    ar *= aor;
    for (int m = 0; m <= n; ++m) {
      // Unnormalised associated Legendre functions and their derivatives.
      if (newPlace) {
        if (n == m) {
          p_[m][n] = st_ * p_[m - 1][n - 1];
          dp_[m][n] = st_ * dp_[m - 1][n - 1] + ct_ * p_[m - 1][n - 1];
        } else if (n == 1 && m == 0) {
          p_[m][n] = ct_ * p_[m][n - 1];
          dp_[m][n] = ct_ * dp_[m][n - 1] - st_ * p_[m][n - 1];
        } else {
          if (m > n - 2) {
            p_[m][n - 2] = 0;
            dp_[m][n - 2] = 0;
          }
          p_[m][n] = ct_ * p_[m][n - 1] - k_[m][n] * p_[m][n - 2];
          dp_[m][n] = ct_ * dp_[m][n - 1] - st_ * p_[m][n - 1] - k_[m][n] * dp_[m][n - 2];
        }
      }
      // Gauss coefficients at the time.
      if (newTime) {
        tc_[m][n] = c_[m][n] + dt * cd_[m][n];
        if (m != 0) tc_[n][m - 1] = c_[n][m - 1] + dt * cd_[n][m - 1];
      }
      // Terms of the spherical harmonic expansions.
      const double par = ar * p_[m][n];
      double temp1, temp2;
      if (m == 0) {
        temp1 = tc_[m][n] * cp_[m];
        temp2 = tc_[m][n] * sp_[m];
      } else {
        temp1 = tc_[m][n] * cp_[m] + tc_[n][m - 1] * sp_[m];
        temp2 = tc_[m][n] * sp_[m] - tc_[n][m - 1] * cp_[m];
      }
      bt -= ar * temp1 * dp_[m][n];
      bp += fm_[m] * temp2 * par;
      br += fn_[n] * temp1 * par;
      // At a geographic pole the east component needs its own recursion.
      if (st_ == 0 && m == 1) {
        pp_[n] = n == 1 ? pp_[n - 1] : ct_ * pp_[n - 1] - k_[m][n] * pp_[n - 2];
        bpp += fm_[m] * temp2 * ar * pp_[n];
      }
    }
  }
  bp = st_ == 0 ? bpp : bp / st_;

  // Back from spherical to geodetic north, east, down.
  TMagField f;
  f.North = -bt * ca_ - br * sa_;
  f.East = bp;
  f.Down = bt * sa_ - br * ca_;
  f.Horizontal = std::hypot(f.North, f.East);
  f.Total = std::hypot(f.Horizontal, f.Down);
  f.Declination = std::atan2(f.East, f.North);
  f.Inclination = std::atan2(f.Down, f.Horizontal);
  const double glat = lat * kRadToDeg, glon = lon * kRadToDeg;
  if (std::fabs(glat) >= 55) {
    const double dec = f.Declination * kRadToDeg;
    double gv = glat > 0 ? dec - glon : dec + glon;
    gv = std::remainder(gv, 360.0);
    f.GridVariation = gv;
  }
  if (!std::isfinite(f.North) || !std::isfinite(f.East) || !std::isfinite(f.Down)) {
    ResetCache();
    return std::nullopt;
  }
  oTime_ = time;
  oAlt_ = alt;
  oLat_ = lat;
  oLon_ = lon;
  return f;
}

std::optional<double> TMagError::Declination(double time, double lon, double lat, double altitude) {
  const std::optional<TMagField> f = Field(time, lon, lat, altitude);
  if (!f) return std::nullopt;
  return f->Declination;
}

double MagModelTime(int year, int dayOfYear) { return year + dayOfYear / 365.0; }
