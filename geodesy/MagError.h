// Magnetic variation from the World Magnetic Model: spherical-harmonic
// synthesis of the main field to degree and order 12 from a coefficient set
// in the published coefficient-file layout (".COF"):
//
//     2025.0            WMM-2025     11/13/2024      epoch, name, release date
//   1  0  -29351.8       0.0       12.0        0.0  n m g h gdot hdot (nT, nT/yr)
//   ...
//   9999...                                          end of the list
//
// The built-in model is WMM-2025 (valid 2025.0 to 2030.0). A coefficient file
// replaces it only when it loads completely; anything malformed leaves the
// model in force unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The field at one point (angles in radians, intensities in nT).
struct TMagField {
  double Declination = 0;    // east positive
  double Inclination = 0;    // dip, down positive
  double North = 0;          // X
  double East = 0;           // Y
  double Down = 0;           // Z
  double Horizontal = 0;     // H
  double Total = 0;          // F
  // Grid variation in degrees at latitudes of 55 deg or more from the
  // equator, else -999.
  double GridVariation = -999;
};

class TMagError {
 public:
  static constexpr int kMaxDegree = 12;

  // With the built-in model, prepared to degree 12; `builtin` false starts
  // with no model (every result is "no data").
  explicit TMagError(bool builtin = true);

  // Parses a coefficient text (all or nothing): the header line (epoch and
  // model name; leading blanks optional), then coefficient lines up to a line
  // whose first field contains "9999". Fields are separated by blanks or
  // tabs; CR LF line ends are accepted. Lines of degree or order beyond 12 and
  // lines with m > n are ignored. The text is refused, and the model in force
  // kept, when the header or any coefficient line is malformed, n < 1 or
  // m < 0, the end line is missing, or a coefficient up to the highest degree
  // given is missing. Prepares the model to the degree set by Prepare.
  bool LoadCoefficients(std::string_view text);
  bool LoadCoefficients(const std::vector<std::string>& lines);
  // Reads and loads a coefficient file; false (model unchanged) when it
  // cannot be read or does not load.
  bool LoadFile(const std::string& path);

  // Sets the degree of the synthesis (1..12; the model's own degree at most).
  void Prepare(int maxDegree);

  // Declination in radians, east positive, at a time in decimal years, a
  // position in radians and an altitude in metres above the ellipsoid.
  // nullopt ("no data") when no model is loaded, the input is not finite or
  // the latitude lies beyond a pole, or the synthesis fails.
  std::optional<double> Declination(double time, double lon, double lat, double altitude);
  std::optional<TMagField> Field(double time, double lon, double lat, double altitude);

  bool Loaded() const { return loaded_; }
  double Epoch() const { return epoch_; }
  const std::string& ModelName() const { return name_; }
  // Why the last load failed ("" after a success).
  const std::string& LoadError() const { return loadError_; }
  // Number of refused loads.
  int ErrorCount() const { return errors_; }

  // The built-in coefficient text (WMM-2025, as published).
  static std::string_view BuiltinCoefficients();

 private:
  static constexpr int N = kMaxDegree + 1;
  void Normalise();
  void ResetCache();

  bool loaded_ = false;
  double epoch_ = 0;
  std::string name_;
  std::string loadError_;
  int errors_ = 0;
  int modelDegree_ = 0;
  int maxDegree_ = kMaxDegree;

  // Schmidt semi-normalised Gauss coefficients as loaded: c[m][n] = g(n, m),
  // c[n][m-1] = h(n, m), likewise cd for the yearly change.
  double raw_c_[N][N] = {};
  double raw_cd_[N][N] = {};
  // The same, converted to unnormalised form for the recursion.
  double c_[N][N] = {};
  double cd_[N][N] = {};
  double k_[N][N] = {};
  double fn_[N] = {};
  double fm_[N] = {};

  // Work arrays, reused while the time, altitude, latitude or longitude of
  // the previous call stays the same.
  double tc_[N][N] = {};
  double p_[N][N] = {};
  double dp_[N][N] = {};
  double sp_[N] = {};
  double cp_[N] = {};
  double pp_[N] = {};
  double ct_ = 0, st_ = 0, r_ = 0, ca_ = 0, sa_ = 0;
  double oTime_, oAlt_, oLat_, oLon_;  // NaN: nothing cached
};

// The decimal year the plotter uses for the model: year + dayOfYear / 365
// (1 January is day 1; no leap-year correction).
double MagModelTime(int year, int dayOfYear);
