// Text forms of positions, angles, times and dates; strings, bits, names
// for instruments, paths and files.
#include <sys/stat.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "platform/Clock.h"
#include "platform/Questions.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Degrees and minutes -> radians (negative degrees give a negative angle).
double DM(double deg, double min) {
  return (std::signbit(deg) ? -1 : 1) * (std::fabs(deg) + min / 60) * kDegToRad;
}

// Number text must not follow the user's locale.
class CommaLocale {
 public:
  CommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "sv_SE.UTF-8", "de_DE.utf8", "sv_SE.utf8"})
      if (std::setlocale(LC_ALL, name)) break;
  }
  ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
};

TEST(GenUtilText, DisplayFormsOfPositions) {
  struct Case {
    double lat;
    const char* text;
  } lats[] = {
      {0, "00°00.000'N"},
      {DM(59, 30.5), "59°30.500'N"},
      {DM(-5, 30), "05°30.000'S"},
      {DM(59, 59.9996), "59°59.999'N"},  // thousandths are cut, not rounded
      {DM(59, 59.9998), "60°00.000'N"},  // past the bias the carry goes into the degrees
      {DM(90, 0), "90°00.000'N"},
      {DM(-0.0, 0.0004), "00°00.000'S"},
      {kNaN, "00000000N"},
      {kInf, "00000000N"},
  };
  for (const auto& c : lats) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(LatToStr(c.lat), c.text);
  }
  struct LonCase {
    double lon;
    const char* text;
  } lons[] = {
      {DM(18, 4.25), "018°04.250'E"},
      {DM(190, 0), "170°00.000'W"},
      {DM(-190, 0), "170°00.000'E"},
      {kPi, "180°00.000'E"},
      {DM(-3, 0.001), "003°00.001'W"},
      {-kInf, "00000000E"},
  };
  for (const auto& c : lons) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(LonToStr(c.lon), c.text);
  }
}

TEST(GenUtilText, EntryFormsOfPositions) {
  struct Case {
    bool isLon;
    double value;
    const char* text;
  } cases[] = {
      {false, DM(59, 30.5), "05930500N"},
      {true, DM(18, 4.25), "01804250E"},
      {false, DM(-5, 30), "00530000S"},
      {true, DM(-179, 59.999), "17959999W"},
      {false, 0, "00000000N"},
      {true, -0.0, "00000000E"},
      {false, DM(59, 59.9992), "05959999N"},
      // Rounding that reaches a whole degree carries; "05960000N" would show
      // as 059°60.000.
      {false, DM(59, 59.9997), "06000000N"},
      {true, DM(-179, 59.9999), "18000000W"},
      {false, DM(200, 0), "20000000N"},  // not normalised
      {true, DM(999, 59.9997), "00000000E"},
      {false, kNaN, "00000000N"},
      {true, kInf, "00000000E"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(PosToMaskText(c.isLon, c.value), c.text);
  }
  struct Case10 {
    bool isLon;
    double value;
    const char* text;
  } cases10[] = {
      {false, DM(59, 30.5), "059305000N"},
      {true, DM(-18, 4.2501), "018042501W"},
      {false, DM(59, 59.99998), "060000000N"},
      {true, kNaN, "000000000E"},
      {false, 1e9, "000000000N"},
  };
  for (const auto& c : cases10) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(PosToMaskText10(c.isLon, c.value), c.text);
  }
}

TEST(GenUtilText, ReadingEntryForms) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"05930500N", DM(59, 30.5)},
      {"5930000N", DM(59, 30)},  // padded on the left
      {"00530000S", -DM(5, 30)},
      {"01804250w", -DM(18, 4.25)},
      {"01804250s", -DM(18, 4.25)},
      {"01804250E", DM(18, 4.25)},
      {"05930500Nxyz", DM(59, 30.5)},  // characters after the ninth are not read
      {"059 3050N", DM(59, 3.05)},     // blanks around a field
      {"", 0},
      {"N", 0},
      {"0593x500N", 0},
      {"+5930500N", 0},
      {"0x1000000", 0},
      {"ÅÅÅÅÅ", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(MaskTextToPos(c.text), c.value);
  }
  EXPECT_DOUBLE_EQ(MaskText10ToPos("059305000N"), DM(59, 30.5));
  EXPECT_DOUBLE_EQ(MaskText10ToPos("18042501W"), -DM(18, 4.2501));
  EXPECT_EQ(MaskText10ToPos("0593050x0N"), 0);
}

// Every thousandth of a minute at a few degrees, both hemispheres, reads back
// exactly; values just short of a whole degree carry into it.
TEST(GenUtilText, EntryFormRoundTripsEveryThousandth) {
  for (int deg : {0, 1, 59, 89, 179}) {
    for (bool isLon : {false, true}) {
      for (double sign : {1.0, -1.0}) {
        SCOPED_TRACE(testing::Message() << deg << (isLon ? " lon " : " lat ") << sign);
        int bad = 0;
        for (int th = 0; th < 60000 && bad < 5; ++th) {
          double x = sign * (deg + th / 60000.0) * kDegToRad;
          std::string text = PosToMaskText(isLon, x);
          if (text.size() != 9 || MaskTextToPos(text) != x) {
            ADD_FAILURE() << th << " -> " << text;
            ++bad;
          }
        }
        for (double f : {0.76, 0.9, 0.999}) {
          double x = sign * (deg + (59999 + f) / 60000.0) * kDegToRad;
          std::string text = PosToMaskText(isLon, x);
          EXPECT_EQ(text.substr(3, 5), "00000") << f;  // never 60000 thousandths
          EXPECT_EQ(MaskTextToPos(text), sign * (deg + 1) * kDegToRad) << f;
        }
      }
    }
  }
  // The ten-character form over every ten-thousandth of one degree.
  int bad = 0;
  for (int u = 0; u < 600000 && bad < 5; ++u) {
    double x = -(59 + u / 600000.0) * kDegToRad;
    std::string text = PosToMaskText10(true, x);
    if (text.size() != 10 || MaskText10ToPos(text) != x) {
      ADD_FAILURE() << u << " -> " << text;
      ++bad;
    }
  }
  EXPECT_EQ(MaskText10ToPos(PosToMaskText10(true, -(59 + 599999.9 / 600000.0) * kDegToRad)), -60 * kDegToRad);
}

TEST(GenUtilText, DegreesWithHemisphere) {
  EXPECT_EQ(DegToStrEW(2, 1, -3.5), "3.5°W");
  EXPECT_EQ(DegToStrEW(5, 1, 3.54), "  3.5°E");
  EXPECT_EQ(DegToStrEW(1, 0, 0), "0°E");
}

TEST(GenUtilText, PackedAngles) {
  CommaLocale locale;
  const double deg5930_5 = 59 + 30.5 / 60;
  struct Case {
    int format;
    double packed, degrees;
  } cases[] = {
      {0, 59.5083, 59.5083},
      {7, 59.5083, 59.5083},  // unknown formats leave the value alone
      {1, 59.305, deg5930_5},
      {1, -59.305, -deg5930_5},
      {2, 59.303, deg5930_5},
      {2, -59.303, -deg5930_5},
      // Whole minutes must read as such: 0.30 is 0.2999... in binary, and
      // cutting it would read 29 minutes and 99.99 seconds (59°30'40").
      {2, 59.30, 59.5},
      {2, -18.04, -(18 + 4 / 60.0)},
      {2, 0.1, 10 / 60.0},
      {1, 0.3, 0.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format << " " << c.packed);
    EXPECT_NEAR(AngleToDegrees(c.format, c.packed), c.degrees, 1e-9);
    EXPECT_NEAR(DegreesToAngle(c.format, c.degrees), c.packed, 1e-9);
    EXPECT_NEAR(AngleTextToRad(FloatToStrDot(c.packed), c.format), c.degrees * kDegToRad, 1e-11);
  }
  for (int format : {0, 1, 2})
    for (double d : {-179.99, -59.508333, -0.25, 0.0, 1.0 / 7, 18.070833, 89.999999}) {
      SCOPED_TRACE(testing::Message() << format << " " << d);
      EXPECT_NEAR(AngleToDegrees(format, DegreesToAngle(format, d)), d, 1e-9);
    }
  EXPECT_EQ(RadToAngleText(0, deg5930_5 * kDegToRad), "59.50833");
  EXPECT_EQ(RadToAngleText(1, -deg5930_5 * kDegToRad), "-59.30500");
  EXPECT_EQ(RadToAngleText(2, 59.5 * kDegToRad), "59.30000");
  EXPECT_EQ(RadToAngleText(2, deg5930_5 * kDegToRad), "59.30300");
  EXPECT_EQ(RadToAngleText(0, 1.5 * kDegToRad), "1.50000");
  EXPECT_THROW(AngleTextToRad("59,305", 1), EConvertError);
  EXPECT_THROW(AngleTextToRad("", 0), EConvertError);
  EXPECT_THROW(AngleTextToRad("nan", 0), EConvertError);
}

TEST(GenUtilText, Padding) {
  EXPECT_EQ(PadLeft("7", '0', 3), "007");
  EXPECT_EQ(PadLeft("abcd", ' ', 2), "abcd");
  EXPECT_EQ(PadRight("ab", '.', 4), "ab..");
  EXPECT_EQ(PadRight("Åö", '.', 3), "Åö.");  // characters, not bytes
  EXPECT_EQ(PadLeft("x", ' ', -5), "x");
  struct Case {
    int64_t value;
    char fill;
    int width;
    const char* text;
  } cases[] = {
      {5, '0', 2, "05"},     {-5, '0', 3, "-05"},  {123, '0', 2, "123"},  {7, ' ', 4, "   7"},
      {-7, ' ', 4, "-  7"},  {0, '0', 0, "0"},     {-1, '0', 0, "-1"},
      {std::numeric_limits<int64_t>::min(), '0', 1, "-9223372036854775808"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IntToStrPad(c.value, c.fill, c.width), c.text);
  }
  EXPECT_EQ(RemoveSpaces(" a b  c "), "abc");
}

TEST(GenUtilText, TimeSpans) {
  struct Case {
    double seconds;
    const char* hms;
    const char* hhhmm;
    const char* hmm;
  } cases[] = {
      {0, "00:00:00", "000:00", "0:00"},
      {3661, "01:01:01", "001:01", "1:01"},
      {59.5, "00:01:00", "000:01", "0:01"},  // whole seconds first, halves to even
      {60.5, "00:01:00", "000:01", "0:01"},
      {359999, "99:59:59", "099:59", "99:59"},
      {400000, "99:59:59", "111:06", "111:06"},
      {-5, "00:00:00", "000:00", "0:00"},
      {kNaN, "00:00:00", "000:00", "0:00"},
      {kInf, "99:59:59", "1000000000000:00", "1000000000000:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seconds);
    EXPECT_EQ(SecondsToHMS(c.seconds), c.hms);
    EXPECT_EQ(SecondsToHHHMM(c.seconds), c.hhhmm);
    EXPECT_EQ(SecondsToHMM(c.seconds), c.hmm);
  }
  EXPECT_EQ(DaysToHMS(kMaxTimeToGoDays), "99:59:59");
  EXPECT_EQ(DaysToHMS(1.5 / 24), "01:30:00");
  EXPECT_EQ(DaysToHMS(1e300), "99:59:59");
  EXPECT_EQ(DaysToHMS(-1), "00:00:00");
}

TEST(GenUtilText, Dates) {
  EXPECT_EQ(DateToYYYYMMDD(0), "18991230");
  EXPECT_EQ(DateToYYYYMMDD(kUnixEpochDays + 0.99), "19700101");
  EXPECT_EQ(DateToYYYYMMDD(45658.5), "20250101");
  EXPECT_EQ(DateToYYYYMMDD(kNaN), "00000000");
  EXPECT_EQ(DateToYYYYMMDD(1e12), "00000000");

  TDateTime leap = 0;
  ASSERT_TRUE(TryEncodeDate(2000, 2, 29, leap));
  EXPECT_EQ(DateToYYYYMMDD(leap), "20000229");
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, leap));
  EXPECT_FALSE(TryEncodeDate(2024, 13, 1, leap));
  int y = 0, m = 0, d = 0;
  ASSERT_TRUE(DecodeDate(-693593, y, m, d));
  EXPECT_EQ(y * 10000 + m * 100 + d, 10101);

  CommaLocale locale;
  struct Case {
    const char* text;
    int y, m, d;  // y 0: malformed
  } cases[] = {
      {"01/31/2002", 2002, 1, 31}, {"1/2/2002", 2002, 1, 2},  {" 12/25/1999 ", 1999, 12, 25},
      {"02/29/2024", 2024, 2, 29}, {"02/29/2023", 0, 0, 0},  {"13/01/2002", 0, 0, 0},
      {"31/01/2002", 0, 0, 0},     {"01-31-2002", 0, 0, 0},  {"01/31/02", 0, 0, 0},
      {"01/31/2002x", 0, 0, 0},    {"", 0, 0, 0},            {"//", 0, 0, 0},
      {"001/01/2002", 0, 0, 0},    {"-1/01/2002", 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.y == 0) {
      EXPECT_THROW(StrToDateUS(c.text), EConvertError);
    } else {
      TDateTime want = 0;
      ASSERT_TRUE(TryEncodeDate(c.y, c.m, c.d, want));
      EXPECT_EQ(StrToDateUS(c.text), want);
    }
  }
}

TEST(GenUtilText, CTimeText) {
  TDateTime jun30 = 0, jan5 = 0;
  ASSERT_TRUE(TryEncodeDate(1993, 6, 30, jun30));
  ASSERT_TRUE(TryEncodeDate(2025, 1, 5, jan5));
  const double t214908 = (21 * 3600 + 49 * 60 + 8) / 86400.0;
  const double t010203 = (1 * 3600 + 2 * 60 + 3) / 86400.0;
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"Wed Jun 30 21:49:08 1993", jun30 + t214908},
      {"wed jun 30 21:49:08 1993", jun30 + t214908},
      {"Sun Jan  5 01:02:03 2025", jan5 + t010203},
      {"Sun Jan  5 01:02:03 2025\n", jan5 + t010203},
      // Only the date is wrong: the time of day alone.
      {"Wed Anf 30 21:49:08 1993", t214908},  // inside "JANFEB" but no month
      {"Wed Xyz 30 21:49:08 1993", t214908},
      {"Wed Feb 30 21:49:08 1993", t214908},
      {"Wed Jun 30 21:49:08", t214908},
      {"Wed Jun 30 21:49:08 19x3", t214908},
      // The time is wrong: nothing.
      {"Wed Jun 30 24:49:08 1993", 0},
      {"Wed Jun 30 2x:49:08 1993", 0},
      {"Wed Jun 30 21:49", 0},
      {"", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(CTimeToDateTime(c.text), c.value);
  }
}

TEST(GenUtilText, ClockGoesThroughTheProgramClock) {
  TManualClock manual(45658.75);
  IClock* previous = SetClock(&manual);
  EXPECT_EQ(NowUTC(), 45658.75);
  EXPECT_EQ(TodayUTC(), 45658.0);
  EXPECT_TRUE(SetClockUTC(45700.25));
  EXPECT_EQ(manual.NowUTC(), 45700.25);
  manual.AllowSet(false);
  EXPECT_FALSE(SetClockUTC(45701));
  EXPECT_FALSE(SetClockUTC(kNaN));
  EXPECT_EQ(manual.SetCount(), 2);  // NaN never reaches the clock
  SetClock(previous);
}

TEST(GenUtilText, BitsAndNumbers) {
  uint32_t set = 0;
  SetBit(true, 0, set);
  SetBit(true, 31, set);
  EXPECT_EQ(set, 0x80000001u);
  SetBit(false, 0, set);
  SetBit(true, 32, set);
  SetBit(true, -1, set);
  EXPECT_EQ(set, 0x80000000u);
  EXPECT_EQ(SwapBytes32(0x12345678u), 0x78563412u);
  EXPECT_EQ(FourCC(std::string("BRA\x01", 4)), 0x01415242u);
  EXPECT_EQ(FourCC("AB"), 0x4241u);
  EXPECT_EQ(FourCC("ABCDE"), 0x44434241u);

  struct Bits {
    uint32_t value;
    int bits;
    uint64_t power;
  } bits[] = {{0, 0, 1}, {1, 1, 2}, {2, 2, 4}, {3, 2, 4}, {255, 8, 256}, {256, 9, 512}, {0xFFFFFFFFu, 32, 1ull << 32}};
  for (const auto& c : bits) {
    SCOPED_TRACE(c.value);
    uint64_t power = 0;
    EXPECT_EQ(BitsNeeded(c.value, &power), c.bits);
    EXPECT_EQ(power, c.power);
  }
  EXPECT_EQ(LowBitMask(0), 0u);
  EXPECT_EQ(LowBitMask(-4), 0u);
  EXPECT_EQ(LowBitMask(3), 7u);
  EXPECT_EQ(LowBitMask(31), 0x7FFFFFFFu);
  EXPECT_EQ(LowBitMask(32), 0xFFFFFFFFu);
  EXPECT_EQ(LowBitMask(99), 0xFFFFFFFFu);

  EXPECT_EQ(EnsureRangeInt(5, 0, 3), 3);
  EXPECT_EQ(EnsureRangeInt(-5, 0, 3), 0);
  EXPECT_EQ(EnsureRangeFloat(0.5, 0, 3), 0.5);
  EXPECT_EQ(EnsureRangeFloat(kNaN, 1, 3), 1);
  EXPECT_EQ(EnsureRangeFloat(kInf, 1, 3), 3);
  EXPECT_EQ(NonZeroOr(6, 0), 6);
  EXPECT_EQ(NonZeroOr(6, -0.0), 6);
  EXPECT_EQ(NonZeroOr(6, 1e-300), 1e-300);
}

TEST(GenUtilText, NamesForInstruments) {
  struct Case {
    const char* text;
    int mode;
    const char* name;
  } cases[] = {
      {"Åsa's Ö", dnUpperCase, "ASA-S-O"},
      {"Åsa's Ö", dnNumeric, "ASA-S-O"},
      {"Åsa's Ö", 99, "ASA-S-O"},
      {"Åsa's Ö", dnNexus, "[SA-S-]"},
      {"Åsa's Ö", dnLowerCase, "Asa-s-O"},
      {"Åsa's Ö", dnAsIs, "Åsa s Ö"},
      {"a,b\r\nc\"d:e", dnAsIs, "a b||c d:e"},
      {"Smörgåsbord", dnLowerCase, "Smorgasbord"},
      {"éèÜñ ß-7", dnUpperCase, "EEU----7"},  // letters outside the table become "-"
      {"Ü ü Ø ø Ä", dnNexus, "_-_-^-^-\\"},
      {"wp_1[a]", dnNexus, "WP_1[A]"},
      {"wp_1[a]", dnUpperCase, "WP-1-A-"},
      {"\xC5sa", dnUpperCase, "ASA"},  // a stray Windows-1252 byte is a character too
      {"", dnUpperCase, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " mode " << c.mode);
    EXPECT_EQ(MakeDeviceName(c.text, c.mode), c.name);
  }
}

TEST(GenUtilText, CharacterTables) {
  EXPECT_EQ(FoldAccents("Göteborg, Åland: \"Ø\"\r\n"), "Goteborg--Aland---O---");
  EXPECT_EQ(FoldAccents7Bit("Göteborg, Åland"), "G]teborg--[land");
  EXPECT_EQ(FoldAccents("ÒÓÔÕØÙÚÛÜËÊÉÈòóôõøùúûüèéêëÅÄÖåäö"), "OOOOOUUUUEEEEooooouuuueeeeAAOaao");
  EXPECT_EQ(FoldAccents7Bit("ÒÓÔÕÙÚÛËÊÉÈòóôõùúûèéêëÅÄÖØÜåäöøü"), "OOOOUUUEEEEoooouuueeee[\\]^_[\\]^_");
  EXPECT_EQ(TranslateChars("abcd", "abc", "x"), "x--d");
  EXPECT_EQ(TranslateChars("ÅÄx", U"Äx", U"Ae"), "ÅAe");
  EXPECT_EQ(PunctToDash("a, b:c'd\"e\r\nf"), "a--b-c-d-e--f");
  EXPECT_EQ(ReplaceChars("a,b;c", ",;", U'_'), "a_b_c");
  EXPECT_EQ(ReplaceChars("ÅÄÅ", "Å", U'A'), "AÄA");
  EXPECT_EQ(ReplaceChars("x,y", U",", U'é'), "xéy");
}

TEST(GenUtilFiles, TrailingSeparators) {
  struct Case {
    const char* path;
    bool wanted;
    const char* result;
  } windows[] = {
      {"C:\\", false, "C:\\."},      {"C:", false, "C:\\."},          {"C:\\X", true, "C:\\X\\"},
      {"C:\\X\\", true, "C:\\X\\"},  {"C:\\X\\", false, "C:\\X"},     {" D:\\A\\ ", true, "D:\\A\\"},
      {"", true, ""},                {"  ", false, ""},               {".\\CHARTS", true, ".\\CHARTS\\"},
  };
  for (const auto& c : windows) {
    SCOPED_TRACE(testing::Message() << c.path << " " << c.wanted);
    EXPECT_EQ(SetTrailingBackslash(c.path, c.wanted), c.result);
  }
  Case unix[] = {
      {"/", false, "/"},          {"/", true, "/"},         {"//", false, "/"},
      {"/a/b/", false, "/a/b"},   {"/a/b", true, "/a/b/"},  {"/a/b/", true, "/a/b/"},
      {" /a ", false, "/a"},      {"", true, ""},           {"charts", true, "charts/"},
  };
  for (const auto& c : unix) {
    SCOPED_TRACE(testing::Message() << c.path << " " << c.wanted);
    EXPECT_EQ(SetTrailingSeparator(c.path, c.wanted), c.result);
  }
}

TEST(GenUtilFiles, NamesInPaths) {
  EXPECT_EQ(FileBaseName("/x/y/2024-06-01.TRC"), "2024-06-01");
  EXPECT_EQ(FileBaseName("/x/y/a.b.TRC"), "a.b");
  EXPECT_EQ(FileBaseName("C:\\ROUTES\\T_RTALD.SRW"), "T_RTALD");
  EXPECT_EQ(FileBaseName("/dir.d/noext"), "noext");
  EXPECT_EQ(FileBaseName("/a/ b .txt"), "b");
  EXPECT_EQ(FileBaseName(""), "");
  EXPECT_EQ(JoinDirFile("/charts", "C:\\MAPS\\x.kap"), "/charts/x.kap");
  EXPECT_EQ(JoinDirFile("/charts/", "other/y.kap"), "/charts/y.kap");
  EXPECT_EQ(JoinDirFile("", "z.kap"), "z.kap");
}

TEST(GenUtilFiles, FileSize) {
  TTempDir dir;
  WriteTestFile(dir / "five", "12345");
  WriteTestFile(dir / "empty", "");
  EXPECT_EQ(FileSizeOf(dir / "five"), 5);
  EXPECT_EQ(FileSizeOf(dir / "empty"), 0);
  EXPECT_EQ(FileSizeOf(dir / "missing"), -1);
  EXPECT_EQ(FileSizeOf(dir.path()), -1);
}

class ConfirmDelete : public testing::Test {
 protected:
  void SetUp() override { previous_ = SetUserQuestions(&questions_); }
  void TearDown() override { SetUserQuestions(previous_); }
  TScriptedQuestions questions_;
  IUserQuestions* previous_ = nullptr;
  TTempDir dir_;
};

TEST_F(ConfirmDelete, NoFileNeedsNoQuestion) {
  EXPECT_TRUE(ConfirmDeleteFile(dir_ / "missing"));
  EXPECT_TRUE(questions_.asked().empty());
}

TEST_F(ConfirmDelete, NoKeepsTheFile) {
  std::string path = dir_ / "chart.wci";
  WriteTestFile(path, "x");
  questions_.Answer(idNo);
  EXPECT_FALSE(ConfirmDeleteFile(path));
  EXPECT_TRUE(TestFileExists(path));
  ASSERT_EQ(questions_.asked().size(), 1u);
  EXPECT_EQ(questions_.asked()[0].text, "File " + path + " Exists! Delete?");
  EXPECT_EQ(questions_.asked()[0].caption, "Brismare II");
  EXPECT_EQ(questions_.asked()[0].flags & mfButtonMask, unsigned{mfYesNo});
}

TEST_F(ConfirmDelete, YesDeletesTheFile) {
  std::string path = dir_ / "chart.wci";
  WriteTestFile(path, "x");
  questions_.Answer(idYes);
  EXPECT_TRUE(ConfirmDeleteFile(path));
  EXPECT_FALSE(TestFileExists(path));
}

TEST_F(ConfirmDelete, AFileThatCannotBeDeletedIsReported) {
  std::string path = dir_ / "busy";
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);  // a directory is no file to unlink
  questions_.Answer(idYes);
  EXPECT_FALSE(ConfirmDeleteFile(path));
  ASSERT_EQ(questions_.asked().size(), 2u);
  EXPECT_EQ(questions_.asked()[1].text, "File " + path + " Could not be deleted! It is propably in use!");
}

TEST(GenUtilMisc, ProgramVersionIsSet) { EXPECT_FALSE(ProgramVersion().empty()); }

}  // namespace
