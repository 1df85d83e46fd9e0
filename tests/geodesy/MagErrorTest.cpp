#include <cmath>
#include <limits>

#include "GeodesyTestData.h"
#include "TestSupport.h"
#include "foundation/Types.h"
#include "geodesy/MagError.h"

namespace {

double Deg(double d) { return d * kDegToRad; }

std::string Cof2015() { return ReadTestFile(GeodesyDataFile("WMM_2015.COF")); }

// The published test values: time, altitude (km), latitude, longitude and the
// declination in degrees, in the columns given.
struct TMagCase {
  double time, altKm, lat, lon, dec;
};

std::vector<TMagCase> TestValues(const char* file, int decColumn) {
  std::vector<TMagCase> out;
  for (const auto& r : ReadRefTable(GeodesyDataFile(file)).rows) out.push_back({r[0], r[1], r[2], r[3], r[decColumn]});
  return out;
}

// The published declinations are rounded to 0.01 deg.
constexpr double kPublished = 0.005 + 1e-9;

TEST(MagError, BuiltinModelIsWmm2025) {
  TMagError m;
  ASSERT_TRUE(m.Loaded());
  EXPECT_EQ(m.ModelName(), "WMM-2025");
  EXPECT_EQ(m.Epoch(), 2025.0);
  const std::vector<TMagCase> cases = TestValues("WMM2025_TEST_VALUES.txt", 4);
  ASSERT_EQ(cases.size(), 100u);
  for (const TMagCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.time << " " << c.altKm << " " << c.lat << " " << c.lon);
    const auto dec = m.Declination(c.time, Deg(c.lon), Deg(c.lat), c.altKm * 1000);
    ASSERT_TRUE(dec.has_value());
    EXPECT_NEAR(*dec / kDegToRad, c.dec, kPublished);
  }
}

TEST(MagError, Wmm2015Fixture) {
  TMagError m;
  ASSERT_TRUE(m.LoadCoefficients(Cof2015()));
  EXPECT_EQ(m.ModelName(), "WMM-2015");
  const std::vector<TMagCase> cases = TestValues("WMM2015testvalues.txt", 10);
  ASSERT_EQ(cases.size(), 12u);
  const std::vector<TMagCase> gv = TestValues("WMM2015testvalues.txt", 11);
  for (size_t i = 0; i < cases.size(); ++i) {
    const TMagCase& c = cases[i];
    SCOPED_TRACE(testing::Message() << c.time << " " << c.altKm << " " << c.lat << " " << c.lon);
    const auto f = m.Field(c.time, Deg(c.lon), Deg(c.lat), c.altKm * 1000);
    ASSERT_TRUE(f.has_value());
    EXPECT_NEAR(f->Declination / kDegToRad, c.dec, kPublished);
    EXPECT_NEAR(f->GridVariation, gv[i].dec, kPublished);
  }
}

// The field components against the finer published values of WMM-2025.
TEST(MagError, FieldComponents) {
  TMagError m;
  const TRefTable t = ReadRefTable(GeodesyDataFile("WMM2025_TEST_VALUES.txt"));
  for (size_t i = 0; i < t.rows.size(); i += 7) {
    const auto& r = t.rows[i];
    const auto f = m.Field(r[0], Deg(r[3]), Deg(r[2]), r[1] * 1000);
    ASSERT_TRUE(f.has_value());
    EXPECT_NEAR(f->Inclination / kDegToRad, r[5], kPublished);
    EXPECT_NEAR(f->Horizontal, r[6], 0.1);
    EXPECT_NEAR(f->North, r[7], 0.1);
    EXPECT_NEAR(f->East, r[8], 0.1);
    EXPECT_NEAR(f->Down, r[9], 0.1);
    EXPECT_NEAR(f->Total, r[10], 0.1);
  }
}

// Coefficient texts that load, and texts that are refused whole (the model
// in force stays as it was).
TEST(MagError, CoefficientParsing) {
  const std::string good = Cof2015();
  auto replaceLine = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    const size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return s.replace(at, from.size(), to);
  };
  std::string spaced;  // runs of blanks and tabs, CR LF line ends
  for (char c : good) {
    if (c == ' ') spaced += " \t ";
    else if (c == '\n') spaced += "\r\n";
    else spaced += c;
  }
  std::string noLeading;  // the header and lines without leading blanks
  for (size_t i = 0; i < good.size(); ++i)
    if (!(good[i] == ' ' && (i == 0 || good[i - 1] == '\n'))) noLeading += good[i];
  // A high-resolution model: degrees beyond 12 are ignored.
  std::string highRes = good;
  highRes.insert(highRes.find("9999"), " 13  0      1.0       0.0        0.0        0.0\n"
                                        "133 133  -0.5      0.5        0.0        0.0\n");
  struct Case {
    const char* what;
    std::string text;
    bool ok;
  } cases[] = {
      {"as published", good, true},
      {"blanks, tabs and CR LF", spaced, true},
      {"no leading blanks", noLeading, true},
      {"degree above 12 ignored", highRes, true},
      {"order above degree ignored", replaceLine("  3  3 ", "  3  3    581.9    -538.3      -10.4        2.3\n  3  4 "), true},
      {"malformed middle line", replaceLine("  6  3    -129.8", "  6  3    -12x.8"), false},
      {"malformed last line", replaceLine(" 12 12", " 12 1x"), false},
      {"short line", replaceLine("  5  2     192.4     196.9       -1.4        1.6", "  5  2     192.4"), false},
      {"negative order", replaceLine("  4  2 ", "  4 -2 "), false},
      {"degree 0", replaceLine("  1  0 ", "  0  0 "), false},
      {"coefficient missing", replaceLine("  7  1     -76.1     -54.1       -0.2        0.7\n", ""), false},
      {"coefficient twice", replaceLine("  7  1 ", "  7  2 "), false},
      {"bad header", replaceLine("2015.0", "20x5.0"), false},
      {"no end line", good.substr(0, good.find("9999")), false},
      {"empty", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TMagError m;  // WMM-2025 in force
    EXPECT_EQ(m.LoadCoefficients(c.text), c.ok);
    EXPECT_TRUE(m.Loaded());
    if (c.ok) {
      EXPECT_EQ(m.ModelName(), "WMM-2015");
      EXPECT_NEAR(*m.Declination(2015.0, 0, Deg(80), 0) / kDegToRad, -3.85, kPublished);
    } else {
      EXPECT_EQ(m.ModelName(), "WMM-2025");
      EXPECT_FALSE(m.LoadError().empty());
      EXPECT_EQ(m.ErrorCount(), 1);
    }
  }
}

TEST(MagError, NoModelIsNoData) {
  TMagError none(false);
  EXPECT_FALSE(none.Loaded());
  EXPECT_FALSE(none.Declination(2026.0, 0.3, 1.0, 100).has_value());
  EXPECT_FALSE(none.LoadCoefficients("garbage"));
  EXPECT_FALSE(none.Declination(2026.0, 0.3, 1.0, 100).has_value());
  EXPECT_FALSE(none.LoadFile("/nonexistent/MWW.COF"));
  TMagError m;
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(m.Declination(bad, 0.3, 1.0, 100).has_value());
    EXPECT_FALSE(m.Declination(2026.0, bad, 1.0, 100).has_value());
    EXPECT_FALSE(m.Declination(2026.0, 0.3, bad, 100).has_value());
    EXPECT_FALSE(m.Declination(2026.0, 0.3, 1.0, bad).has_value());
  }
  EXPECT_FALSE(m.Declination(2026.0, 0.3, Deg(91), 100).has_value());
  EXPECT_TRUE(m.Declination(2026.0, 0.3, Deg(90), 100).has_value());
}

// Results reused from the previous call never leak into the next one: the
// first call at (0, 0, 0) is right, and changing one input at a time gives
// what a fresh model gives.
TEST(MagError, ReusedTermsMatchAFreshModel) {
  struct Step {
    double time, lon, lat, alt;
  } steps[] = {
      {2015.0, 0, 0, 0},           {2015.0, 0, Deg(80), 0},   {2017.5, 0, Deg(80), 0},
      {2017.5, Deg(120), Deg(80), 0}, {2017.5, Deg(120), Deg(80), 100000}, {2017.5, Deg(120), 0, 100000},
      {2015.0, Deg(120), 0, 100000}, {2015.0, 0, 0, 0},           {2016.0, 0, Deg(90), 0},
      {2016.0, Deg(45), Deg(90), 0}, {2016.0, Deg(45), Deg(-90), 0},
  };
  TMagError reused;
  ASSERT_TRUE(reused.LoadCoefficients(Cof2015()));
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << s.time << " " << s.lon << " " << s.lat << " " << s.alt);
    TMagError fresh;
    ASSERT_TRUE(fresh.LoadCoefficients(Cof2015()));
    const auto a = reused.Field(s.time, s.lon, s.lat, s.alt);
    const auto b = fresh.Field(s.time, s.lon, s.lat, s.alt);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->Declination, b->Declination);
    EXPECT_EQ(a->Total, b->Total);
  }
  // The very first call of a model, at longitude 0.
  TMagError m;
  ASSERT_TRUE(m.LoadCoefficients(Cof2015()));
  EXPECT_NEAR(*m.Declination(2015.0, 0, Deg(80), 0) / kDegToRad, -3.85, kPublished);
}

TEST(MagError, DegreeOfTheSynthesis) {
  TMagError m;
  const double full = *m.Declination(2026.0, Deg(18), Deg(59), 0);
  m.Prepare(2);
  const double low = *m.Declination(2026.0, Deg(18), Deg(59), 0);
  EXPECT_GT(std::fabs(full - low), Deg(0.1));
  m.Prepare(99);  // clamped to 12
  EXPECT_EQ(*m.Declination(2026.0, Deg(18), Deg(59), 0), full);
}

TEST(MagError, ModelTime) {
  // Days count in 365ths of a year, leap year or not: 31 December of a
  // leap year already lies in the next year.
  EXPECT_DOUBLE_EQ(MagModelTime(2026, 1), 2026.0027397260274);
  EXPECT_DOUBLE_EQ(MagModelTime(2028, 366), 2029.0027397260274);
}

}  // namespace
