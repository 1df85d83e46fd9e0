// The KAP decoder on charts the tests write themselves: every depth, windows
// at every step, header variants and damaged files.
#include <algorithm>
#include <cstring>
#include <span>

#include "KapWriter.h"
#include "TestSupport.h"
#include "charts/ChartInfo.h"
#include "charts/KAPctrl.h"

namespace {

std::span<const uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// The expected decode: KAP colour c gives c - 1.
std::vector<uint8_t> Expected(const std::vector<std::vector<uint8_t>>& rows) {
  std::vector<uint8_t> out;
  for (const auto& r : rows)
    for (uint8_t c : r) out.push_back(static_cast<uint8_t>(c ? c - 1 : 0));
  return out;
}

std::vector<uint8_t> DecodeAll(TKAPDecoder& d) {
  std::vector<uint8_t> out(static_cast<size_t>(d.Width()) * static_cast<size_t>(d.Height()), 0xEE);
  EXPECT_EQ(d.DecodeRows(0, 0, d.Width(), d.Height(), 1, out.data(), static_cast<size_t>(d.Width())), d.Height());
  return out;
}

// Every window of a few shapes at steps 1..10 equals the rows and columns
// of the full decode.
void CheckWindows(TKAPDecoder& d, const std::vector<uint8_t>& full, uint32_t seed) {
  const int W = d.Width(), H = d.Height();
  uint32_t r = seed;
  auto rnd = [&r](int n) {
    r = r * 1103515245u + 12345u;
    return static_cast<int>((r >> 8) % static_cast<uint32_t>(n));
  };
  std::vector<uint8_t> stream;
  for (int step = 1; step <= 10; ++step) {
    for (int trial = 0; trial < 6; ++trial) {
      const int x0 = trial == 0 ? 0 : rnd(W), y0 = trial == 0 ? 0 : rnd(H);
      const int w = trial == 0 ? W : 1 + rnd(W), h = trial == 0 ? H : 1 + rnd(H);
      SCOPED_TRACE(testing::Message() << "window " << x0 << "," << y0 << " " << w << "x" << h << " step " << step);
      const int cw = std::min(w, W - x0), ch = std::min(h, H - y0);
      const int64_t lines = TKAPDecoder::WindowLines(ch, step);
      const int reached = d.DecodeWindow({x0, y0}, {w, h}, stream, step);
      EXPECT_EQ(reached, y0 + lines * step);
      const size_t stride = (static_cast<size_t>(cw) + 3) & ~size_t(3);
      ASSERT_GE(stream.size(), static_cast<size_t>(lines) * stride);
      for (int64_t k = 0; k < lines; ++k) {
        const size_t y = static_cast<size_t>(y0 + k * step);
        ASSERT_EQ(0, std::memcmp(stream.data() + static_cast<size_t>(k) * stride,
                                 full.data() + y * static_cast<size_t>(W) + static_cast<size_t>(x0),
                                 static_cast<size_t>(cw)))
            << "line " << k;
        for (size_t pad = static_cast<size_t>(cw); pad < stride; ++pad)
          EXPECT_EQ(stream[static_cast<size_t>(k) * stride + pad], 0);
      }
    }
  }
}

TEST(KapDecoder, EveryDepthDecodesExactlyAtEveryStep) {
  for (int depth = 1; depth <= 7; ++depth) {
    SCOPED_TRACE(testing::Message() << "depth " << depth);
    TKapImage plan;
    plan.Width = 300 + depth * 97;
    plan.Height = 41;
    plan.Depth = depth;
    plan.Rows = RandomKapImage(plan.Width, plan.Height, depth, 1000u + static_cast<uint32_t>(depth));
    plan.MaxRun = depth == 3 ? 7 : 0;  // also runs cut into pieces
    const std::string file = WriteKap(plan);
    TKAPDecoder d;
    ASSERT_EQ(d.OpenMemory(Span(file)), static_cast<int64_t>(file.size())) << d.LastError();
    EXPECT_EQ(d.Depth(), depth);
    EXPECT_EQ(d.Width(), plan.Width);
    EXPECT_EQ(d.Height(), plan.Height);
    EXPECT_FALSE(d.IndexRebuilt());
    const std::vector<uint8_t> full = DecodeAll(d);
    EXPECT_EQ(full, Expected(plan.Rows));
    CheckWindows(d, full, static_cast<uint32_t>(depth));
    EXPECT_EQ(d.RowErrors(), 0);
  }
}

TEST(KapDecoder, RunCodingExamples) {
  // Depth 4: 0x13 is colour 2 (value 1) for 4 pixels; 0x93 0x05 is colour 2
  // for 3 * 128 + 5 + 1 = 390 pixels; depth 7: one byte a pixel.
  struct Case {
    int depth;
    std::string runs;
    int width;
    std::vector<std::pair<uint8_t, int>> expect;  // value, pixels
  } cases[] = {
      {4, "\x13", 4, {{1, 4}}},
      {4, std::string("\x93\x05", 2), 390, {{1, 390}}},
      {4, std::string("\x13\x93\x05\x21", 3 + 1), 395, {{1, 4}, {1, 390}, {3, 1}}},
      {7, std::string("\x05\x06\x86\x02", 4), 5, {{4, 1}, {5, 1}, {5, 3}}},
      {1, std::string("\x40\xBF\x7F", 3), 1 + 64 * 128, {{0, 1}, {0, 64 * 128}}},
      // Colour 0 does not exist in a chart; it gives index 0, not 255.
      {4, std::string("\x03\x12", 2), 7, {{0, 4}, {1, 3}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "depth " << c.depth << " width " << c.width);
    TKapImage plan;
    plan.Width = c.width;
    plan.Height = 1;
    plan.Depth = c.depth;
    plan.RawRows = {std::string("\x01", 1) + c.runs + std::string(1, '\0')};
    const std::string file = WriteKap(plan);
    TKAPDecoder d;
    ASSERT_GE(d.OpenMemory(Span(file)), 0) << d.LastError();
    std::vector<uint8_t> expect;
    for (auto [v, n] : c.expect) expect.insert(expect.end(), static_cast<size_t>(n), v);
    EXPECT_EQ(DecodeAll(d), expect);
    EXPECT_EQ(d.RowErrors(), 0);
  }
}

TEST(KapDecoder, WindowBuffersAndSteps) {
  TKapImage plan;
  plan.Width = 10;
  plan.Height = 10;
  plan.Depth = 3;
  for (int y = 0; y < 10; ++y) plan.Rows.push_back(std::vector<uint8_t>(10, static_cast<uint8_t>(1 + y % 7)));
  const std::string file = WriteKap(plan);
  TKAPDecoder d;
  ASSERT_GE(d.OpenMemory(Span(file)), 0);

  // Step 3 over 10 rows: rows 0, 3, 6 into lines 0, 1, 2.
  std::vector<uint8_t> s;
  EXPECT_EQ(d.DecodeWindow({0, 0}, {10, 10}, s, 3), 9);
  ASSERT_GE(s.size(), 3u * 12);
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[12], 3);
  EXPECT_EQ(s[24], 6);

  // A window shorter than the step still gives its first row, in a buffer
  // large enough for it (a strip at the bottom edge when zoomed out).
  std::vector<uint8_t> small;
  EXPECT_EQ(d.DecodeWindow({2, 8}, {5, 2}, small, 10), 18);
  ASSERT_EQ(small.size(), 8u);
  EXPECT_EQ(small[0], static_cast<uint8_t>(8 % 7));
  EXPECT_EQ(small[5], 0);  // padding

  // The stream never shrinks; the window past the bottom and right is cut.
  std::vector<uint8_t> big(1000, 0xAA);
  EXPECT_EQ(d.DecodeWindow({7, 7}, {50, 50}, big, 1), 10);
  EXPECT_EQ(big.size(), 1000u);
  EXPECT_EQ(big[0], 7 % 7);
  EXPECT_EQ(big[4], 0 + 1);  // next line (stride 4), row 8

  // Empty or outside windows decode nothing.
  EXPECT_EQ(d.DecodeWindow({10, 0}, {5, 5}, s, 1), 0);
  EXPECT_EQ(d.DecodeWindow({0, 10}, {5, 5}, s, 1), 0);
  EXPECT_EQ(d.DecodeWindow({-1, 0}, {5, 5}, s, 1), 0);
  EXPECT_EQ(d.DecodeWindow({0, 0}, {0, 5}, s, 1), 0);
  uint8_t line[10];
  EXPECT_EQ(d.DecodeLines(0, 9, 10, 2, 1, line, 10), -1);  // second line below the chart
  EXPECT_EQ(d.DecodeLines(0, 9, 10, 1, 1, line, 10), 1);
  EXPECT_EQ(line[0], 9 % 7);
  d.Close();
  EXPECT_EQ(d.DecodeWindow({0, 0}, {5, 5}, s, 1), 0);
}

TEST(KapDecoder, HeaderVariants) {
  const auto rows = RandomKapImage(64, 8, 4, 7);
  struct Case {
    const char* what;
    std::vector<std::string> header;  // replaces the default's line with the same key
    std::string afterEof;
    int depthByte;
    bool opens;
    int depth;
  } cases[] = {
      {"plain", {}, std::string(1, '\0'), 4, true, 4},
      {"depth as an ASCII digit", {"IFM/"}, std::string(1, '\0'), '4', true, 4},
      {"no zero byte before the depth", {"IFM/"}, "", 4, true, 4},
      {"IFM overrides the byte", {}, std::string(1, '\0'), 3, true, 4},
      {"unusable IFM leaves the byte", {"IFM/9"}, std::string(1, '\0'), 4, true, 4},
      {"junk depth byte, depth from IFM", {}, std::string(1, '\0'), 0x55, true, 4},
      {"no depth at all", {"IFM/0"}, std::string(1, '\0'), 0x55, false, 0},
      {"no BSB/", {"BSB/"}, std::string(1, '\0'), 4, false, 0},
      {"no size", {"BSB/NA=X,NU=1,DU=254"}, std::string(1, '\0'), 4, false, 0},
      {"size of one item", {"BSB/NA=X,NU=1,RA=64"}, std::string(1, '\0'), 4, false, 0},
      {"zero size", {"BSB/NA=X,NU=1,RA=0,0"}, std::string(1, '\0'), 4, false, 0},
      {"negative size", {"BSB/NA=X,NU=1,RA=-5,10"}, std::string(1, '\0'), 4, false, 0},
      {"size on a continuation line", {"BSB/NA=X", "    NU=1,RA=64,8"}, std::string(1, '\0'), 4, true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TKapImage plan;
    plan.Width = 64;
    plan.Height = 8;
    plan.Depth = 4;
    plan.Rows = rows;
    plan.Header = DefaultKapHeader(64, 8, 4);
    for (const std::string& repl : c.header) {
      const std::string key = repl.substr(0, 4);
      auto it = std::find_if(plan.Header.begin(), plan.Header.end(), [&](const std::string& l) { return l.rfind(key, 0) == 0; });
      if (repl.size() == 4 && it != plan.Header.end())
        plan.Header.erase(it);  // a bare key: remove the line
      else if (it != plan.Header.end() && repl.rfind("    ", 0) != 0)
        *it = repl;
      else
        plan.Header.insert(std::find_if(plan.Header.begin(), plan.Header.end(),
                                        [](const std::string& l) { return l.rfind("KNP/", 0) == 0; }),
                           repl);
    }
    plan.AfterEof = c.afterEof;
    plan.DepthByte = c.depthByte;
    const std::string file = WriteKap(plan);
    TKAPDecoder d;
    const int64_t r = d.OpenMemory(Span(file));
    ASSERT_EQ(r >= 0, c.opens) << d.LastError();
    if (!c.opens) {
      EXPECT_FALSE(d.IsOpen());
      EXPECT_FALSE(d.LastError().empty());
      continue;
    }
    EXPECT_EQ(d.Depth(), c.depth);
    EXPECT_EQ(DecodeAll(d), Expected(rows));
  }
}

TEST(KapDecoder, LongHeaderAndNoEndMark) {
  TKapImage plan;
  plan.Width = 20;
  plan.Height = 3;
  plan.Depth = 2;
  plan.Rows = RandomKapImage(20, 3, 2, 3);
  plan.Header = DefaultKapHeader(20, 3, 2);
  for (int i = 0; i < 3000; ++i) plan.Header.insert(plan.Header.begin() + 1, "! comment line " + std::to_string(i));
  std::string file = WriteKap(plan);
  TKAPDecoder d;
  ASSERT_GE(d.OpenMemory(Span(file)), 0);
  EXPECT_EQ(DecodeAll(d), Expected(plan.Rows));
  EXPECT_EQ(d.FindLine("BSB/"), "NA=TEST CHART,NU=T1,RA=20,3,DU=254");

  // Without the 0x1A the header never ends: the chart is refused.
  const std::string headerOnly = file.substr(0, file.find('\x1a'));
  EXPECT_EQ(d.OpenMemory(Span(headerOnly)), -1);
  EXPECT_NE(d.LastError().find("0x1A"), std::string::npos);
  std::string noMark = file;
  noMark[noMark.find('\x1a')] = '!';
  ASSERT_EQ(noMark.find('\x1a'), std::string::npos);  // (the rows hold no 0x1A byte)
  EXPECT_EQ(d.OpenMemory(Span(noMark)), -1);
}

TEST(KapDecoder, DamagedRowIndex) {
  TKapImage plan;
  plan.Width = 150;
  plan.Height = 30;
  plan.Depth = 5;
  plan.Rows = RandomKapImage(150, 30, 5, 99);
  std::vector<uint32_t> offsets;
  const std::string good = WriteKap(plan, &offsets);
  const std::vector<uint8_t> expect = Expected(plan.Rows);
  const uint32_t index = KapIndexOffset(good);
  const size_t W = 150;

  {  // index offset beyond the file: rows are found by reading them in turn
    std::string f = good;
    PutBe32(f, f.size() - 4, 0x7FFFFFF0u);
    TKAPDecoder d;
    ASSERT_GE(d.OpenMemory(Span(f)), 0);
    EXPECT_TRUE(d.IndexRebuilt());
    EXPECT_EQ(DecodeAll(d), expect);
    EXPECT_EQ(d.RowErrors(), 0);
  }
  {  // index offset 0 (inside the header)
    std::string f = good;
    PutBe32(f, f.size() - 4, 0);
    TKAPDecoder d;
    ASSERT_GE(d.OpenMemory(Span(f)), 0);
    EXPECT_TRUE(d.IndexRebuilt());
    EXPECT_EQ(DecodeAll(d), expect);
  }
  {  // entries pointing outside the data: those rows only are lost
    std::string f = good;
    PutBe32(f, index + 4 * 3, 0xFFFFFFFFu);
    PutBe32(f, index + 4 * 7, 0);
    PutBe32(f, index + 4 * 11, index + 2);
    TKAPDecoder d;
    ASSERT_GE(d.OpenMemory(Span(f)), 0);
    EXPECT_FALSE(d.IndexRebuilt());
    const std::vector<uint8_t> got = DecodeAll(d);
    EXPECT_EQ(d.RowErrors(), 3);
    for (size_t y = 0; y < 30; ++y) {
      const bool lost = y == 3 || y == 7 || y == 11;
      const std::vector<uint8_t> row(got.begin() + long(y * W), got.begin() + long((y + 1) * W));
      if (lost)
        EXPECT_EQ(row, std::vector<uint8_t>(W, 0)) << y;
      else
        EXPECT_TRUE(std::equal(row.begin(), row.end(), expect.begin() + long(y * W))) << y;
    }
  }
  {  // an index one row short: the last row is missing, the rest is fine
    std::string f = good.substr(0, index + 4 * 29);
    f.append(4, '\0');
    PutBe32(f, f.size() - 4, index);
    TKAPDecoder d;
    ASSERT_GE(d.OpenMemory(Span(f)), 0);
    EXPECT_FALSE(d.IndexRebuilt());
    EXPECT_EQ(d.MissingRows(), 1);
    const std::vector<uint8_t> got = DecodeAll(d);
    EXPECT_EQ(d.RowErrors(), 1);
    EXPECT_TRUE(std::equal(expect.begin(), expect.begin() + long(29 * W), got.begin()));
    EXPECT_EQ(std::vector<uint8_t>(got.begin() + long(29 * W), got.end()), std::vector<uint8_t>(W, 0));
  }
  {  // rows stored out of order are still decoded (each row ends where the
     // next one in the file begins)
    std::string f = good;
    PutBe32(f, index + 0, offsets[29]);
    PutBe32(f, index + 4 * 29, offsets[0]);
    TKAPDecoder d;
    ASSERT_GE(d.OpenMemory(Span(f)), 0);
    const std::vector<uint8_t> got = DecodeAll(d);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + long(W), expect.begin() + long(29 * W)));
    EXPECT_TRUE(std::equal(got.begin() + long(29 * W), got.end(), expect.begin()));
  }
}

TEST(KapDecoder, TruncatedFilesShowWhatTheyHold) {
  TKapImage plan;
  plan.Width = 90;
  plan.Height = 25;
  plan.Depth = 3;
  plan.Rows = RandomKapImage(90, 25, 3, 5);
  std::vector<uint32_t> offsets;
  const std::string good = WriteKap(plan, &offsets);
  const std::vector<uint8_t> expect = Expected(plan.Rows);
  const size_t W = 90;
  for (size_t cut = 0; cut < good.size(); cut += 7) {
    SCOPED_TRACE(testing::Message() << "cut at " << cut);
    const std::string f = good.substr(0, cut);
    TKAPDecoder d;
    if (d.OpenMemory(Span(f)) < 0) {
      // Only a file cut inside its header is refused.
      EXPECT_LE(cut, good.find('\x1a') + 1);
      continue;
    }
    const std::vector<uint8_t> got = DecodeAll(d);
    // Every row that lies whole before the cut is decoded exactly.
    for (size_t y = 0; y < 25; ++y) {
      const size_t end = y + 1 < 25 ? offsets[y + 1] : KapIndexOffset(good);
      if (end > cut) break;
      EXPECT_TRUE(std::equal(got.begin() + long(y * W), got.begin() + long((y + 1) * W), expect.begin() + long(y * W)))
          << "row " << y;
    }
    std::vector<uint8_t> s;
    d.DecodeWindow({5, 3}, {40, 20}, s, 3);
  }
}

TEST(KapDecoder, HostileRuns) {
  struct Case {
    const char* what;
    std::string row;
    std::vector<uint8_t> expect;  // width 8
  } cases[] = {
      {"extension bytes without end", std::string("\x01\xAF") + std::string(10, '\xFF'), std::vector<uint8_t>(8, 0)},
      {"very long run is cut at the width", std::string("\x01\xAF") + std::string(10, '\xFF') + std::string("\x7F\x00", 2),
       std::vector<uint8_t>(8, 1)},
      {"row without end mark", std::string("\x01\x22\x21", 3), {1, 1, 1, 1, 1, 0, 0, 0}},
      {"short row is padded with 0", std::string("\x01\x22\x00", 3), {1, 1, 1, 0, 0, 0, 0, 0}},
      {"row number only", std::string("\x81\x82\x83", 3), std::vector<uint8_t>(8, 0)},
      {"long row number", std::string("\x81\x80\x80\x80\x80\x80\x01\x27\x00", 9), std::vector<uint8_t>(8, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TKapImage plan;
    plan.Width = 8;
    plan.Height = 2;
    plan.Depth = 3;
    plan.RawRows = {c.row, std::string("\x02\x27\x00", 3)};
    const std::string f = WriteKap(plan);
    TKAPDecoder d;
    ASSERT_GE(d.OpenMemory(Span(f)), 0);
    std::vector<uint8_t> got = DecodeAll(d);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 8), c.expect);
    EXPECT_EQ(std::vector<uint8_t>(got.begin() + 8, got.end()), std::vector<uint8_t>(8, 1));
  }
}

TEST(KapDecoder, ColourTablesAndBrightness) {
  TKapImage plan;
  plan.Width = 4;
  plan.Height = 1;
  plan.Depth = 2;
  plan.Rows = {{1, 2, 3, 3}};
  plan.Header = {"VER/3.0", "BSB/NA=C,NU=1,RA=4,1", "KNP/SC=1000", "RGB/1,200,100,0", "RGB/2,10,20,30",
                 "rgb/3,1,2,3", "RGB/3,9,9,9", "RGB/01,5,5,5", "DAY/1,255,255,255", "DSK/1,1,1,1",
                 "RGB/4,300,-2,x"};
  const std::string f = WriteKap(plan);
  TKAPDecoder d;
  ASSERT_GE(d.OpenMemory(Span(f)), 0);
  EXPECT_EQ(d.SlotColour(1), MakeRgb(200, 100, 0));
  EXPECT_EQ(d.SlotColour(3), MakeRgb(1, 2, 3));  // the first line of a slot wins, any case
  EXPECT_EQ(d.SlotColour(4), MakeRgb(0, 0, 0));  // not a usable line
  EXPECT_EQ(d.SlotColour(0), MakeRgb(0, 0, 0));

  std::array<TRgb, 256> table;
  d.FillColourTable(table);
  EXPECT_EQ(table[0], MakeRgb(200, 100, 0));
  EXPECT_EQ(table[1], MakeRgb(10, 20, 30));
  EXPECT_EQ(table[200], MakeRgb(0, 0, 0));
  d.Brightness = 50;
  d.FillColourTable(table);
  EXPECT_EQ(table[0], MakeRgb(100, 50, 0));
  d.Brightness = -50;
  d.FillColourTable(table);
  EXPECT_EQ(table[0], MakeRgb(27, 77, 127));
  EXPECT_EQ(d.CreatePalette()[1], MakeRgb(27, 77, 127));  // palette entry k = colour k
  d.Brightness = -150;  // beyond the limit: -99
  EXPECT_EQ(d.CreatePalette()[1], MakeRgb(0, 1, 2));
  d.Brightness = 0;

  EXPECT_TRUE(d.HasPalette(TKAPPalette::Day));
  EXPECT_FALSE(d.HasPalette(TKAPPalette::Night));
  EXPECT_TRUE(d.SetPalette(TKAPPalette::Day));
  EXPECT_EQ(d.SlotColour(1), MakeRgb(255, 255, 255));
  EXPECT_FALSE(d.SetPalette(TKAPPalette::Night));
  EXPECT_EQ(d.Palette(), TKAPPalette::Rgb);
  std::array<TRgb, 256> plain;
  d.Brightness = 80;
  ASSERT_TRUE(d.PlainColours(plain));
  EXPECT_EQ(plain[0], MakeRgb(200, 100, 0));

  TBitmapHeader h;
  d.FillBitmapHeader(h);
  EXPECT_EQ(h.Width, 4);
  EXPECT_EQ(h.Height, -1);
  EXPECT_EQ(h.SizeImage, 4u);
  EXPECT_EQ(h.ClrUsed, 128u);
  EXPECT_EQ(h.BitCount, 8);
}

TEST(KapDecoder, FilesOnDiskAndHeaderOnly) {
  TTempDir dir;
  TKapImage plan;
  plan.Width = 33;
  plan.Height = 9;
  plan.Depth = 4;
  plan.Rows = RandomKapImage(33, 9, 4, 11);
  const std::string file = WriteKap(plan);
  WriteTestFile(dir / "chart.kap", file);
  TKAPDecoder d;
  ASSERT_TRUE(d.ReadHeaderOnly(dir / "chart.kap"));
  EXPECT_FALSE(d.IsOpen());
  EXPECT_EQ(d.Width(), 33);
  EXPECT_EQ(d.SlotColour(2), MakeRgb(74, 182, 106));
  std::vector<uint8_t> s;
  EXPECT_EQ(d.DecodeWindow({0, 0}, {5, 5}, s, 1), 0);
  EXPECT_EQ(d.Open(dir / "chart.kap"), static_cast<int64_t>(file.size()));
  EXPECT_EQ(DecodeAll(d), Expected(plan.Rows));
  EXPECT_EQ(d.Open(dir / "missing.kap"), -1);
  EXPECT_FALSE(d.IsOpen());
}

TEST(KapDecoder, NosRasterThroughItsGeoFile) {
  TTempDir dir;
  TKapImage plan;
  plan.Width = 40;
  plan.Height = 6;
  plan.Depth = 3;
  plan.Rows = RandomKapImage(40, 6, 3, 21);
  plan.Header = {"VER/1.0", "NOS/NA=NOS TEST,NU=77,RA=0,0,40,6,DU=50", "RGB/ 1, 10, 20, 30", "RGB/2,1,1,1"};
  WriteTestFile(dir / "harbour.nos", WriteKap(plan));
  WriteTestFile(dir / "HARBOUR.GEO",
                "[BSB]\r\nBitmap = C:\\CHARTS\\Harbour.NOS\r\nNAME=Harbour\r\nSCALE=20000\r\nID=123\r\n"
                "PROJECTION=Mercator\r\nDATUM=nad27\r\nRESOLUTION=2.5\r\nDEPTH UNITS=Fathoms\r\n"
                "VERTEX1=54.5 10.0\r\nVERTEX2=54.5 10.5\r\nVERTEX4=54.2 10.0\r\n"
                "POINT1=10.0 54.5 0 0\r\nPOINT2=10.5 54.2 6 40\r\n"
                "LATITUDE OFFSET=0.001\r\nLONGITUDE OFFSET=-0.002\r\n");
  TKAPDecoder d;
  ASSERT_GE(d.Open(dir / "HARBOUR.GEO"), 0) << d.LastError();
  EXPECT_TRUE(d.IsNOS());
  EXPECT_EQ(d.RasterFileName(), dir / "harbour.nos");
  EXPECT_EQ(d.Width(), 40);
  EXPECT_EQ(d.Height(), 6);
  EXPECT_EQ(d.SlotColour(1), MakeRgb(10, 20, 30));
  EXPECT_EQ(DecodeAll(d), Expected(plan.Rows));

  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  ASSERT_TRUE(d.ReadInfo(info));
  EXPECT_EQ(info.Layout.Name, "Harbour");
  EXPECT_EQ(info.Layout.FileName, "HARBOUR.GEO");
  EXPECT_EQ(info.Layout.Scale, 20000);
  EXPECT_EQ(info.Number, "123");
  EXPECT_EQ(info.DatumName, "NAD27");
  EXPECT_EQ(info.Projection, 1);
  EXPECT_EQ(info.DepthUnits, kDepthFathoms);
  EXPECT_DOUBLE_EQ(info.PixelSizeX, 2.5);
  ASSERT_EQ(info.Layout.BorderCount, 3);  // the missing vertex 3 is left out
  EXPECT_NEAR(info.Layout.Border[2].Y * kRadToDeg, 54.2, 1e-12);
  ASSERT_EQ(info.RefCount, 2);
  EXPECT_EQ(info.RefPoints[1].X, 40);
  EXPECT_EQ(info.RefPoints[1].Y, 6);
  EXPECT_NEAR(info.RefPoints[1].Lon * kRadToDeg, 10.5, 1e-12);
  EXPECT_NEAR(info.DatumShift.Y * kRadToDeg, -0.001, 1e-15);
  EXPECT_NEAR(info.DatumShift.X * kRadToDeg, 0.002, 1e-15);

  // A ".GEO" without its raster.
  WriteTestFile(dir / "LOST.GEO", "BITMAP=nothere.nos\r\n");
  EXPECT_EQ(d.Open(dir / "LOST.GEO"), -1);
}

}  // namespace
