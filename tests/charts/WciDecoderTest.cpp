#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"
#include "WciTestUtil.h"
#include "charts/WCIctrl.h"
#include "platform/Questions.h"

using namespace wcitest;

namespace {

// Collects message boxes instead of showing them.
class TQuietQuestions {
 public:
  TQuietQuestions() : previous_(SetUserQuestions(&questions_)) {}
  ~TQuietQuestions() { SetUserQuestions(previous_); }
  TScriptedQuestions questions_;

 private:
  IUserQuestions* previous_;
};

std::vector<uint8_t> Row(std::initializer_list<int> v) { return std::vector<uint8_t>(v.begin(), v.end()); }

// Eight pixels wide, depth 4, rows of every coding.
TWciBuild MixedFile() {
  TWciBuild b;
  for (int i = 0; i < 16; ++i) b.Palette.push_back(0xFF000000u | (i * 0x101010u));
  b.AddOneColour(7);                          // row 0
  b.AddRuns("\x29\x8A\x10");                  // row 1: colour 5 x 2, colour 1 x 529 (cut at 8)
  b.AddDeflated(Row({3, 1, 4, 1, 5, 9, 2, 6}));  // row 2
  b.AddBlank();                               // row 3
  b.AddRuns("\x8F\x01\x02");                  // row 4: colour 1 x 196867 (cut at 8)
  b.AddDeflated(Row({8, 9, 10, 11, 12, 13, 14, 15}));  // row 5: ends at the palette
  return b;
}

const std::vector<std::vector<uint8_t>> kMixedRows = {
    Row({7, 7, 7, 7, 7, 7, 7, 7}),       Row({5, 5, 1, 1, 1, 1, 1, 1}), Row({3, 1, 4, 1, 5, 9, 2, 6}),
    Row({0, 0, 0, 0, 0, 0, 0, 0}),       Row({1, 1, 1, 1, 1, 1, 1, 1}), Row({8, 9, 10, 11, 12, 13, 14, 15}),
};

class TWciFile : public ::testing::Test {
 protected:
  std::string Write(const std::string& bytes, const std::string& name = "CHART.WCI") {
    const std::string path = dir_ / name;
    WriteTestFile(path, bytes);
    return path;
  }
  TTempDir dir_;
  TQuietQuestions quiet_;
  TWCIDecoder d_;
};

}  // namespace

TEST(WciFormat, CheckValueIsCrcCcitt) {
  EXPECT_EQ(WCICheckValue("abc"), 0x1EE4);
  EXPECT_EQ(WCICheckText("abc"), "1EE4");
  EXPECT_EQ(WCICheckValue("123456789"), 0xBEEF);
  EXPECT_EQ(WCICheckText(""), "0000");
}

TEST(WciFormat, RunBytesAtDepthFour) {
  const TWCIRunCoding c = WCIRunCoding(4);
  ASSERT_TRUE(c.Valid);
  EXPECT_EQ(c.Shift, 3);
  EXPECT_EQ(c.Mask, 7);
  EXPECT_EQ(c.LongFlag, 4);
  struct Case {
    std::vector<uint8_t> bytes;
    uint8_t colour;
    uint32_t pixels;
    uint8_t used;
  };
  const Case cases[] = {
      {{0x29}, 5, 2, 1},
      {{0x8A, 0x10}, 1, 2 * 256 + 16 + 1, 2},
      {{0x8F, 0x01, 0x02}, 1, (3u << 16) + 258 + 1, 3},
  };
  for (const Case& k : cases) {
    TWCIRun run;
    ASSERT_TRUE(ReadWCIRun(k.bytes.data(), k.bytes.size(), c, run));
    EXPECT_EQ(run.Colour, k.colour);
    EXPECT_EQ(run.Pixels, k.pixels);
    EXPECT_EQ(run.Bytes, k.used);
    // A run cut by the end of the data is not read.
    EXPECT_FALSE(ReadWCIRun(k.bytes.data(), k.bytes.size() - 1, c, run));
  }
}

TEST(WciFormat, DepthsAboveSixHaveNoRunCoding) {
  EXPECT_TRUE(WCIRunCoding(0).Valid);
  EXPECT_TRUE(WCIRunCoding(6).Valid);
  EXPECT_FALSE(WCIRunCoding(7).Valid);
  EXPECT_FALSE(WCIRunCoding(8).Valid);
  TWCIRun run;
  const uint8_t b = 0x81;
  EXPECT_FALSE(ReadWCIRun(&b, 1, WCIRunCoding(8), run));
}

TEST_F(TWciFile, DecodesEveryRowCoding) {
  const std::string path = Write(MixedFile().Build());
  ASSERT_GT(d_.Open(path), 0);
  EXPECT_EQ(d_.Width(), 8);
  EXPECT_EQ(d_.Height(), 6);
  EXPECT_EQ(d_.ColourCount(), 16);
  EXPECT_EQ(d_.HeaderText(), "NA=Test\r\n");
  EXPECT_TRUE(d_.HeaderCheckMatches());

  const std::vector<uint8_t> all = DecodeAll(d_);
  ASSERT_EQ(all.size(), 48u);
  for (size_t y = 0; y < kMixedRows.size(); ++y)
    EXPECT_EQ(std::vector<uint8_t>(all.begin() + 8 * y, all.begin() + 8 * y + 8), kMixedRows[y]) << "row " << y;
  EXPECT_EQ(d_.ErrorCount(), 1);  // the blank row

  // Windows at a step: rows 1, 3, 5 from column 2, three wide.
  std::vector<uint8_t> win(9, 0xEE);
  ASSERT_EQ(d_.DecodeLines(2, 1, 3, 3, 2, win.data(), 3), 3);
  for (int k = 0; k < 3; ++k)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(win[3 * k + x], kMixedRows[1 + 2 * k][2 + x]);

  // The window call of the decoder interface: stride rounded up to 4, rows
  // y0, y0 + step, ... below min(y0 + h, H) - (step - 1).
  std::vector<uint8_t> stream;
  EXPECT_EQ(d_.DecodeWindow({5, 0}, {10, 6}, stream, 3), 6);  // rows 0 and 3, columns 5..7
  ASSERT_GE(stream.size(), 8u);
  EXPECT_EQ(std::vector<uint8_t>(stream.begin(), stream.begin() + 3), Row({7, 7, 7}));
  EXPECT_EQ(std::vector<uint8_t>(stream.begin() + 4, stream.begin() + 7), Row({0, 0, 0}));
  // Windows outside the chart or on a closed decoder.
  EXPECT_LT(d_.DecodeLines(6, 0, 3, 1, 1, win.data(), 3), 0);
  EXPECT_LT(d_.DecodeLines(0, 5, 3, 2, 1, win.data(), 3), 0);
  d_.Close();
  EXPECT_EQ(d_.DecodeWindow({0, 0}, {8, 6}, stream, 1), 0);
}

TEST_F(TWciFile, ColourByteZeroMeansTwoHundredFiftySix) {
  TWciBuild b;
  b.Depth = 8;
  b.ColourByte = 0;
  for (int i = 0; i < 256; ++i) b.Palette.push_back(0xFF000000u | (uint32_t(i) << 16) | uint32_t(255 - i));
  std::vector<uint8_t> row(8);
  for (int x = 0; x < 8; ++x) row[x] = static_cast<uint8_t>(250 + x % 6);
  b.AddDeflated(row);
  b.AddOneColour(255);
  // Depth 8 has no run coding: such a row is damage, not a negative shift.
  b.AddRuns("\x81\x02");
  const std::string path = Write(b.Build());
  ASSERT_GT(d_.Open(path), 0);
  EXPECT_EQ(d_.ColourCount(), 256);
  TColourTable table;
  d_.FillColourTable(table);
  EXPECT_EQ(table[255], 0xFFFF0000u);
  const std::vector<uint8_t> all = DecodeAll(d_);
  EXPECT_EQ(std::vector<uint8_t>(all.begin(), all.begin() + 8), row);
  EXPECT_EQ(all[8], 255);
  EXPECT_EQ(std::vector<uint8_t>(all.begin() + 16, all.end()), std::vector<uint8_t>(8, 0));
  EXPECT_EQ(d_.ErrorCount(), 1);
}

TEST_F(TWciFile, RunsCutAtTheEndOfTheFile) {
  // Row 4's runs start at the last byte of the file (the check character
  // '0', at depth 4 colour 6 for one pixel), so the file ends inside them.
  // Row 5's data would begin past the end (damage of its own), so nothing
  // but the file's end bounds row 4.
  TWciBuild b = MixedFile();
  b.GoodCheck = false;
  std::string bytes = b.Build();
  Set32(bytes, 20 + 4 * 4, 0x40000000u | static_cast<uint32_t>(bytes.size() - 1));
  Set32(bytes, 20 + 4 * 5, static_cast<uint32_t>(bytes.size() + 100));
  const std::string path = Write(bytes);
  ASSERT_GT(d_.Open(path), 0);
  const std::vector<uint8_t> all = DecodeAll(d_);
  EXPECT_EQ(std::vector<uint8_t>(all.begin() + 32, all.begin() + 40), Row({6, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(all.begin() + 40, all.end()), Row({0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d_.ErrorCount(), 3);  // the blank row, row 4 cut short, row 5
}

TEST_F(TWciFile, RowsAreReadOnlyFromTheirOwnData) {
  // Each case damages one row of the mixed file; the damaged row shows
  // what it really holds, the rest of its pixels blank, and counts as an
  // error besides the blank row 3.
  struct Case {
    const char* what;
    std::string bytes;
    int row;
    std::vector<uint8_t> pixels;
  };
  auto entry = [](uint32_t row, uint32_t value) {
    std::string s = MixedFile().Build();
    Set32(s, 20 + 4 * row, value);
    return s;
  };
  TWciBuild shortRuns = MixedFile();
  shortRuns.Rows[1].Data = "\x29";  // colour 5 x 2, then row 2's zlib stream
  const Case cases[] = {
      {"runs ending at the next row's data", shortRuns.Build(), 1, Row({5, 5, 0, 0, 0, 0, 0, 0})},
      {"runs in the header", entry(1, 0x40000000u), 1, Row({0, 0, 0, 0, 0, 0, 0, 0})},
      {"runs in the row index", entry(1, 0x40000000u | 24), 1, Row({0, 0, 0, 0, 0, 0, 0, 0})},
      {"zlib stream in the row index", entry(0, 20), 0, Row({0, 0, 0, 0, 0, 0, 0, 0})},
  };
  for (const Case& k : cases) {
    ASSERT_GT(d_.Open(Write(k.bytes)), 0) << k.what;
    const std::vector<uint8_t> all = DecodeAll(d_);
    ASSERT_EQ(all.size(), 48u) << k.what;
    for (size_t y = 0; y < kMixedRows.size(); ++y)
      EXPECT_EQ(std::vector<uint8_t>(all.begin() + 8 * y, all.begin() + 8 * y + 8),
                static_cast<int>(y) == k.row ? k.pixels : kMixedRows[y])
          << k.what << ", row " << y;
    EXPECT_EQ(d_.ErrorCount(), 2) << k.what;
  }
}

TEST_F(TWciFile, RefusesWhatIsNotAVersionOneFile) {
  const std::string good = MixedFile().Build();
  struct Case {
    const char* what;
    std::string bytes;
    int64_t open;
    int header;
  };
  auto with = [&](size_t at, char c) {
    std::string s = good;
    s[at] = c;
    return s;
  };
  std::string hugeHeight = good;
  hugeHeight[14] = '\xFF';
  std::string paletteOut = good;
  Set32(paletteOut, 20 + 4 * 6, static_cast<uint32_t>(good.size()));
  std::string textOut = good;
  Set32(textOut, 16, static_cast<uint32_t>(good.size() + 10));
  const size_t textAt = good.find("NA=Test");
  const Case cases[] = {
      {"version 0", with(3, '\0'), -1, -1},
      {"version 2", with(3, '\2'), -2, -2},
      {"version 200", with(3, static_cast<char>(200)), -200, -200},
      {"not WCI", with(0, 'X'), -1, -1},
      {"cut inside the header", good.substr(0, 10), -1, 0},
      {"three bytes", good.substr(0, 3), -1, -1},
      {"index past the end", hugeHeight, -1, 0},
      {"palette past the end", paletteOut, -1, 0},
      {"text past the end", textOut, -1, 0},
      {"no 0x1A before the end", good.substr(0, textAt + 5), -1, 0},
  };
  for (const Case& k : cases) {
    const std::string path = Write(k.bytes);
    EXPECT_EQ(d_.Open(path), k.open) << k.what;
    EXPECT_FALSE(d_.IsOpen()) << k.what;
    EXPECT_EQ(d_.ReadHeaderOnly(path), k.header) << k.what;
  }
  EXPECT_EQ(d_.Open(dir_ / "MISSING.WCI"), -1);
  // The cut text was reported as in the original.
  bool told = false;
  for (const auto& a : quiet_.questions_.asked()) told |= a.text == "THIS IS NOT A VALID WCI FILE!!!";
  EXPECT_TRUE(told);
}

TEST_F(TWciFile, ReadHeaderOnlyKeepsTheHeaderAndClosesTheFile) {
  TWciBuild b = MixedFile();
  b.GoodCheck = false;
  const std::string path = Write(b.Build());
  EXPECT_EQ(d_.ReadHeaderOnly(path), 1);
  EXPECT_FALSE(d_.IsOpen());
  EXPECT_EQ(d_.Width(), 8);
  EXPECT_EQ(d_.HeaderText(), "NA=Test\r\n");
  // A wrong check value is noted, not fatal.
  EXPECT_FALSE(d_.HeaderCheckMatches());
}

TEST_F(TWciFile, BitmapHeaderAndShadedColours) {
  TWciBuild b = MixedFile();
  b.Palette[2] = 0xFFC86400;  // red 200, green 100, blue 0
  const std::string path = Write(b.Build());
  ASSERT_GT(d_.Open(path), 0);
  TBitmapHeader h;
  d_.FillBitmapHeader(h);
  EXPECT_EQ(h.Width, 8);
  EXPECT_EQ(h.Height, -6);
  EXPECT_EQ(h.BitCount, 8);
  EXPECT_EQ(h.SizeImage, 48u);
  EXPECT_EQ(h.ClrUsed, 256u);
  TColourTable t;
  t.fill(0x12345678);
  d_.Brightness = 50;
  d_.FillColourTable(t);
  EXPECT_EQ(t[2], 0xFF643200u);
  // Slots beyond the palette are black, never left from an earlier chart.
  EXPECT_EQ(t[16], 0xFF000000u);
  EXPECT_EQ(t[255], 0xFF000000u);
  d_.Brightness = -50;
  d_.FillColourTable(t);
  EXPECT_EQ(t[2], 0xFF1B4D7Fu);
  EXPECT_EQ(d_.CreatePalette()[2], 0xFF1B4D7Fu);
}

TEST_F(TWciFile, AttributeBits) {
  const std::string good = MixedFile().Build();
  const std::string path = Write(good);
  // An attribute byte above 3 or a bit above 7: -1, file untouched.
  EXPECT_EQ(d_.SetAttributeBit(path, 4, 1, true), -1);
  EXPECT_EQ(d_.SetAttributeBit(path, 3, 8, true), -1);
  EXPECT_EQ(ReadTestFile(path), good);

  EXPECT_EQ(d_.SetAttributeBit(path, 3, 1, true), 0);
  ASSERT_GT(d_.Open(path), 0);
  EXPECT_TRUE(d_.CacheDisabled());
  EXPECT_EQ(d_.SetAttributeBit(path, 3, 1, false), 2);
  EXPECT_FALSE(d_.IsOpen());
  ASSERT_GT(d_.Open(path), 0);
  EXPECT_FALSE(d_.CacheDisabled());
  EXPECT_EQ(ReadTestFile(path), good);

  std::string v2 = good;
  v2[3] = 2;
  EXPECT_EQ(d_.SetAttributeBit(Write(v2, "V2.WCI"), 3, 1, true), -2);
  v2[3] = 0;
  EXPECT_EQ(d_.SetAttributeBit(Write(v2, "V0.WCI"), 3, 1, true), -1);
  EXPECT_EQ(d_.SetAttributeBit(dir_ / "MISSING.WCI", 3, 1, true), -1);
}

TEST_F(TWciFile, ReplacingTheTextKeepsTheImage) {
  TWciBuild b = MixedFile();
  b.Text = std::string(3000, 'x') + "\r\n";
  const std::string path = Write(b.Build());
  ASSERT_GT(d_.Open(path), 0);
  const std::vector<uint8_t> before = DecodeAll(d_);

  // A decoder that has the chart open goes on showing the file it opened.
  TWCIDecoder viewer;
  ASSERT_GT(viewer.Open(path), 0);

  const std::string text = "NA=Sm\x1A" "all\r\nCR=Göteborg\r\n";
  const int64_t size = d_.ReplaceHeaderText(path, text);
  EXPECT_FALSE(d_.IsOpen());
  EXPECT_EQ(DecodeAll(viewer), before);
  EXPECT_EQ(viewer.ErrorCount(), 1);  // the blank row only
  EXPECT_EQ(viewer.HeaderText(), b.Text);
  ASSERT_GT(size, 0);
  EXPECT_EQ(size, static_cast<int64_t>(ReadTestFile(path).size()));
  ASSERT_EQ(d_.Open(path), size);
  EXPECT_EQ(d_.HeaderText(), "NA=Small\r\nCR=Göteborg\r\n");
  EXPECT_TRUE(d_.HeaderCheckMatches());
  EXPECT_EQ(DecodeAll(d_), before);
  // Stored as Windows-1252.
  EXPECT_NE(ReadTestFile(path).find("CR=G\xF6teborg\r\n\x1A"), std::string::npos);

  std::string v3 = ReadTestFile(path);
  v3[3] = 3;
  EXPECT_EQ(d_.ReplaceHeaderText(Write(v3, "V3.WCI"), "NA=x"), -3);
  EXPECT_EQ(d_.ReplaceHeaderText(Write("not a chart at all", "X.WCI"), "NA=x"), -1);
}

TEST_F(TWciFile, ExportsABottomUpBitmap) {
  const std::string path = Write(MixedFile().Build());
  const std::string bmp = dir_ / "OUT.BMP";
  EXPECT_EQ(d_.ExportBMP(path, bmp), 6);
  EXPECT_FALSE(d_.IsOpen());
  const std::string f = ReadTestFile(bmp);
  ASSERT_EQ(f.size(), 14u + 40 + 1024 + 8 * 6);
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, f.data() + at, 4);
    return v;
  };
  EXPECT_EQ(f.substr(0, 2), "BM");
  EXPECT_EQ(u32(2), f.size());
  EXPECT_EQ(u32(10), 1078u);
  EXPECT_EQ(static_cast<int32_t>(u32(22)), 6);  // bottom-up
  EXPECT_EQ(u32(14 + 40 + 4 * 9), 0x00909090u);  // colour 9: blue, green, red, 0
  for (int y = 0; y < 6; ++y) {
    const size_t at = 1078 + 8 * static_cast<size_t>(5 - y);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + at, f.begin() + at + 8), kMixedRows[y]) << "row " << y;
  }
  EXPECT_EQ(d_.ExportBMP(dir_ / "MISSING.WCI", dir_ / "NONE.BMP"), 0);
  EXPECT_FALSE(TestFileExists(dir_ / "NONE.BMP"));
}

TEST_F(TWciFile, EveryTruncationIsRefusedOrShownAsFarAsItGoes) {
  const std::string bytes = MixedFile().Build();
  std::vector<uint8_t> expected;
  for (const auto& row : kMixedRows) expected.insert(expected.end(), row.begin(), row.end());
  for (size_t n = 0; n <= bytes.size(); ++n) {
    const std::string path = Write(bytes.substr(0, n));
    if (d_.Open(path) > 0) {
      // The text comes last: a file that still opens has all its rows.
      EXPECT_EQ(DecodeAll(d_), expected) << n;
      EXPECT_EQ(d_.ErrorCount(), 1) << n;  // the blank row
      std::vector<uint8_t> s;
      d_.DecodeWindow({3, 1}, {4, 4}, s, 2);
    }
  }
  // Offsets of every row pointing at one place: the data of rows 0..4 would
  // end where it begins (the next row's offset), so they are damage and
  // blank; row 5 (runs) may show what it finds before the palette.
  const uint32_t paletteAt = static_cast<uint32_t>(static_cast<uint8_t>(bytes[20 + 24])) |
                             static_cast<uint32_t>(static_cast<uint8_t>(bytes[20 + 25])) << 8;
  for (uint32_t off = 0; off < bytes.size() + 4; off += 3) {
    std::string damaged = bytes;
    for (int y = 0; y < 6; ++y) Set32(damaged, 20 + 4 * y, ((y % 2) ? 0x40000000u : 0u) | off);
    ASSERT_GT(d_.Open(Write(damaged)), 0);
    const std::vector<uint8_t> all = DecodeAll(d_);
    ASSERT_EQ(all.size(), 48u);
    EXPECT_EQ(std::vector<uint8_t>(all.begin(), all.begin() + 40), std::vector<uint8_t>(40, 0)) << off;
    if (off < 48 || off >= paletteAt) {
      EXPECT_EQ(std::vector<uint8_t>(all.begin() + 40, all.end()), std::vector<uint8_t>(8, 0)) << off;
      EXPECT_EQ(d_.ErrorCount(), 6) << off;
    } else {
      EXPECT_GE(d_.ErrorCount(), 5) << off;
    }
  }
}

TEST_F(TWciFile, InflatedRowsAreKeptWithoutChangingWhatIsDecoded) {
  TWciBuild b;
  b.Depth = 8;
  b.ColourByte = 200;
  b.Width = 50;
  for (int i = 0; i < 200; ++i) b.Palette.push_back(0xFF000000u | uint32_t(i));
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < 9; ++y) {
    std::vector<uint8_t> row(50);
    for (int x = 0; x < 50; ++x) row[x] = static_cast<uint8_t>((x * x + 7 * y) % 200);
    rows.push_back(row);
    b.AddDeflated(row);
  }
  std::string bytes = b.Build();
  // Row 4's stream cut in the middle: damage, never kept as a whole row.
  std::string damaged = bytes;
  const uint32_t at4 = static_cast<uint32_t>(static_cast<uint8_t>(bytes[20 + 16])) |
                       static_cast<uint32_t>(static_cast<uint8_t>(bytes[20 + 17])) << 8;
  damaged[at4 + 6] ^= 0x55;
  const std::string path = Write(damaged);
  // No cache, a cache of three rows (rows share slots), the default.
  TWCIDecoder none, small, full;
  none.RowCacheBytes = 0;
  small.RowCacheBytes = 3 * 50 + 10;
  for (TWCIDecoder* d : {&none, &small, &full}) ASSERT_GT(d->Open(path), 0);
  for (int pass = 0; pass < 2; ++pass)
    for (int32_t x0 : {0, 13, 40})
      for (int32_t step : {1, 2, 3}) {
        const int32_t lines = WindowLineCount(0, 9, step, 9);
        std::vector<uint8_t> a(10 * lines), c(10 * lines), f(10 * lines);
        none.DecodeLines(x0, 0, 10, lines, step, a.data(), 10);
        small.DecodeLines(x0, 0, 10, lines, step, c.data(), 10);
        full.DecodeLines(x0, 0, 10, lines, step, f.data(), 10);
        EXPECT_EQ(a, c);
        EXPECT_EQ(a, f);
        for (int32_t k = 0; k < lines; ++k)
          if (k * step != 4) {
            EXPECT_EQ(std::vector<uint8_t>(a.begin() + 10 * k, a.begin() + 10 * k + 10),
                      std::vector<uint8_t>(rows[k * step].begin() + x0, rows[k * step].begin() + x0 + 10));
          }
      }
  EXPECT_GT(full.ErrorCount(), 0);
  EXPECT_EQ(full.ErrorCount(), none.ErrorCount());
}
