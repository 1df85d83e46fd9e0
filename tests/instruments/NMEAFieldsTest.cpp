// Field readers and the wind triangle.
#include <cmath>
#include <optional>
#include <random>

#include "NMEATestUtil.h"
#include "foundation/GenUtil.h"
#include "instruments/NMEAFields.h"

namespace {

TEST(NMEAFields, ReadLatLon) {
  struct Case {
    const char* text;
    char letter;
    double degrees;  // NoDataValue when none
  } cases[] = {
      {"5930.50", 'N', 59 + 30.5 / 60},
      {"5930.50", 'S', -(59 + 30.5 / 60)},
      {"01144.343", 'E', 11 + 44.343 / 60},
      {"07140.5596", 'w', -(71 + 40.5596 / 60)},
      {"0000.0000", 'N', 0},
      {"4134.49821229", 'N', 41 + 34.4982122 / 60},  // minutes cut to 10 characters
      {"530.5", 'N', NoDataValue},                   // shorter than 6
      {"593050", 'N', NoDataValue},                  // no "."
      {"59.3050", 'N', NoDataValue},                 // "." before the 4th character
      {"5930.50", 'X', NoDataValue},
      {"5930.50", '\0', NoDataValue},
      {"9100.00", 'N', NoDataValue},     // beyond the pole
      {"9000.00", 'S', -90.0},
      {"18100.00", 'E', NoDataValue},
      {"5960.00", 'N', NoDataValue},     // 60 minutes
      {"5-10.00", 'N', NoDataValue},
      {"59a0.00", 'N', NoDataValue},
      {"5930.5x", 'N', NoDataValue},
      {"5930.5e9", 'N', NoDataValue},
  };
  for (const auto& c : cases) {
    double got = ReadLatLon(c.text, c.letter);
    if (c.degrees == NoDataValue)
      EXPECT_EQ(got, NoDataValue) << c.text << " " << c.letter;
    else
      EXPECT_NEAR(Deg(got), c.degrees, 1e-12) << c.text << " " << c.letter;
  }
}

TEST(NMEAFields, ReadNumbersAndAngles) {
  EXPECT_EQ(ReadNumber(""), 0.0);
  EXPECT_EQ(ReadNumber(" -1.5e1"), -15.0);
  EXPECT_EQ(ReadNumber("+2."), 2.0);
  for (const char* bad : {"abc", "1,5", "inf", "nan", "1e999", "1.2.3", " "})
    EXPECT_EQ(ReadNumber(bad), std::nullopt) << bad;

  struct Case {
    const char* text;
    std::optional<double> degrees;
  } angles[] = {
      {"", 0.0}, {"90", 90.0}, {"720", 0.0}, {"-90", 270.0}, {"359.9", 359.9},
      // Huge and non-finite values must neither hang nor become some angle.
      {"1e300", std::nullopt}, {"-1e300", std::nullopt}, {"1000000", std::nullopt},
      {"inf", std::nullopt}, {"NaN", std::nullopt}, {"x", std::nullopt},
  };
  for (const auto& a : angles) {
    auto got = ReadAngle(a.text);
    ASSERT_EQ(got.has_value(), a.degrees.has_value()) << a.text;
    if (got) {
      EXPECT_NEAR(Deg(*got), *a.degrees, 1e-9) << a.text;
      EXPECT_GE(*got, 0.0);
      EXPECT_LT(*got, 2 * 3.14159265358979323846);
    }
  }
  EXPECT_EQ(ReadAngleOrNoData(""), NoDataValue);
  EXPECT_NEAR(*ReadAngleOrNoData("45"), Rad(45), 1e-15);
  EXPECT_EQ(ReadAngleOrNoData("x"), std::nullopt);
}

TEST(NMEAFields, ReadTimeAndDate) {
  EXPECT_DOUBLE_EQ(ReadTime("194101"), (19 * 3600 + 41 * 60 + 1) / 86400.0);
  EXPECT_DOUBLE_EQ(ReadTime("132820.60"), (13 * 3600 + 28 * 60 + 20) / 86400.0);
  for (const char* bad : {"", "1941", "19410a", "246000", "236060", "-10101"}) EXPECT_EQ(ReadTime(bad), 0) << bad;

  struct Case {
    const char* text;
    int y, m, d;  // y = 0: malformed
  } dates[] = {
      {"010180", 2080, 1, 1}, {"010181", 1981, 1, 1}, {"160906", 2006, 9, 16}, {"290224", 2024, 2, 29},
      {"31122024", 2024, 12, 31},  // a four-digit year is taken as written
      {"290223", 0, 0, 0}, {"320124", 0, 0, 0}, {"011324", 0, 0, 0}, {"0101", 0, 0, 0}, {"01012x", 0, 0, 0},
      {"", 0, 0, 0},
  };
  for (const auto& c : dates) {
    double got = ReadDate(c.text);
    if (c.y == 0) {
      EXPECT_EQ(got, 0) << c.text;
    } else {
      TDateTime want = 0;
      ASSERT_TRUE(TryEncodeDate(c.y, c.m, c.d, want));
      EXPECT_EQ(got, want) << c.text;
    }
  }
}

// The wind triangle against plain vector arithmetic: the true wind is the
// apparent wind plus the boat's motion.
TEST(NMEAFields, WindTriangleAgreesWithVectors) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> angle(0, 360), speed(0, 30);
  for (int i = 0; i < 2000; ++i) {
    double awa = Rad(angle(rng)), aws = speed(rng), v = speed(rng);
    if (i == 0) awa = Rad(90), aws = 10, v = 10;
    if (i == 1) awa = Rad(90), aws = 5, v = 10;
    if (i == 2) awa = Rad(180), aws = 5, v = 10;
    if (i == 3) awa = 0, aws = 10, v = 10;
    // Apparent wind blowing from awa (relative to the bow) at aws; the boat
    // moving ahead at v adds a head wind of v.
    double x = aws * std::sin(awa), y = aws * std::cos(awa) - v;
    double tws = std::hypot(x, y);
    TWindTriangle t = SolveWindTriangle(awa, aws, v);
    ASSERT_NEAR(t.C, tws, 1e-9) << i;
    if (tws > 1e-6) {
      double twa = std::atan2(x, y);
      double got = 3.14159265358979323846 - t.B;  // the true wind angle, as the parser takes it
      EXPECT_NEAR(std::remainder(got - twa, 2 * 3.14159265358979323846), 0, 1e-6)
          << "awa " << Deg(awa) << " aws " << aws << " v " << v;
    }
  }
  TWindTriangle t = SolveWindTriangle(Rad(90), 10, 10);
  EXPECT_NEAR(Deg(3.14159265358979323846 - t.B), 135, 1e-9);
  EXPECT_NEAR(t.C, 14.142135623730951, 1e-9);
  t = SolveWindTriangle(Rad(90), 5, 10);
  EXPECT_NEAR(Deg(3.14159265358979323846 - t.B), 153.43494882292202, 1e-9);
  EXPECT_NEAR(t.C, 11.180339887498949, 1e-9);
}

}  // namespace
