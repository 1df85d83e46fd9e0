#include <clocale>
#include <cmath>
#include <limits>

#include "TestSupport.h"
#include "foundation/NumText.h"

namespace {

// Number text must not follow the user's locale: run under a comma locale
// when the machine has one (a window program calls setlocale(LC_ALL, "")).
class CommaLocale {
 public:
  CommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "sv_SE.UTF-8", "de_DE.utf8", "sv_SE.utf8"})
      if (std::setlocale(LC_ALL, name)) {
        active_ = true;
        break;
      }
  }
  ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

TEST(NumText, ReadsDotNumbersWhateverTheLocale) {
  CommaLocale locale;
  struct Case {
    const char* text;
    std::optional<double> value;
  } cases[] = {
      {"0.5", 0.5},        {" 0.5 ", 0.5},       {"+2", 2.0},         {"-1.25", -1.25},
      {"1.5E-5", 1.5e-5},  {"1.5e-05", 1.5e-5},  {".5", 0.5},         {"abc", std::nullopt},
      {"", std::nullopt},  {"1,5", std::nullopt}, {"nan", std::nullopt}, {"inf", std::nullopt},
      {"-INF", std::nullopt}, {"1e999", std::nullopt}, {"0.5x", std::nullopt}, {"+-1", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TryStrToFloatDot(c.text), c.value);
  }
  EXPECT_THROW(StrToFloatDot("1,5"), EConvertError);
  EXPECT_EQ(FloatToStrDot(0.5), "0.5");
  EXPECT_EQ(FloatToStrWD(6, 2, 3.14159), "  3.14");
}

TEST(NumText, FloatTextRoundTripsExactly) {
  // Sentinels travel through text and are compared exactly.
  for (double v : {1e-13, -1e-12, 0.05 / 3437.7467707849392526, 0.1, 1.0 / 3, 59.5, -180.0, 1e15,
                   123456789012345.6, 2.5e-300, std::numeric_limits<double>::max()}) {
    SCOPED_TRACE(v);
    EXPECT_EQ(StrToFloatDot(FloatToStrDot(v)), v);
  }
  EXPECT_EQ(FloatToStrDot(0), "0");
  EXPECT_EQ(FloatToStrDot(100), "100");
  EXPECT_EQ(FloatToStrDot(-0.25), "-0.25");
  EXPECT_EQ(FloatToStrDot(1e-13), "1E-13");
  EXPECT_EQ(FloatToStrDot(1.5e20), "1.5E20");
  EXPECT_EQ(FloatToStrDot(0.0000145), "0.0000145");
}

TEST(NumText, GeneralFormHidesBinaryNoise) {
  // Values as a decoder computes them: tenths of a knot, tenths of a degree
  // through radians and back.
  EXPECT_EQ(FloatToStrGeneral(3 * 0.1), "0.3");
  const double tenthDegree = 3.141592653589793 / 1800, degree = 3.141592653589793 / 180;
  ASSERT_NE(FloatToStrDot(2193 * tenthDegree / degree), "219.3");
  EXPECT_EQ(FloatToStrGeneral(2193 * tenthDegree / degree), "219.3");
  EXPECT_EQ(FloatToStrGeneral(102.2), "102.2");
  EXPECT_EQ(FloatToStrGeneral(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToStrGeneral(-0.25), "-0.25");
  EXPECT_EQ(FloatToStrGeneral(0), "0");
}

TEST(NumText, FixedTextAndShortForm) {
  EXPECT_EQ(FloatToStrFixedDot(3, 2.0), "2.000");
  EXPECT_EQ(FloatToStrFixedDot(1, -0.04), "0.0");  // no "-0.0"
  EXPECT_EQ(FloatToStrShort(12.34), "12.3");
  EXPECT_EQ(FloatToStrShort(12345.6), "12345.");
  EXPECT_EQ(FloatToStrShort(1234567.8), "######");
}

TEST(NumText, IntegersAndCheckedConversions) {
  EXPECT_EQ(TryStrToInt(" 42 "), 42);
  EXPECT_EQ(TryStrToInt("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(TryStrToInt("2147483648"), std::nullopt);
  EXPECT_EQ(TryStrToInt("$FF"), 255);
  EXPECT_EQ(TryStrToInt("0x10"), 16);
  EXPECT_EQ(TryStrToInt("1.0"), std::nullopt);
  EXPECT_EQ(TryStrToInt(""), std::nullopt);

  struct Case {
    double v;
    int32_t rounded;
  } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}, {-3.5, -4}, {2.4999, 2}, {1e300, -7},
               {std::nan(""), -7}, {-2147483648.4, std::numeric_limits<int32_t>::min()}, {2147483647.6, -7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.v);
    EXPECT_EQ(RoundToInt(c.v, -7), c.rounded);
  }
  EXPECT_EQ(TruncToInt(-3.9), -3);
  EXPECT_EQ(ClampToInt(std::nan(""), 0, 10), 0);
  EXPECT_EQ(ClampToInt(1e20, 0, 10), 10);
}

}  // namespace
