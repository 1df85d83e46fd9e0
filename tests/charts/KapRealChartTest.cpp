// Real NOAA, LINZ and sample charts against GDAL's reading of them: decoded
// palette indexes, header values, reference points, border and the
// georeferencing between the reference points.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Sha256.h"
#include "TestSupport.h"
#include "charts/ChartGeo.h"
#include "charts/ChartInfo.h"
#include "charts/HeaderText.h"
#include "charts/KAPctrl.h"
#include "foundation/NumText.h"
#include "geodesy/CTrans.h"
#include "geodesy/Datum.h"

namespace {

struct TChartCase {
  const char* stem;
  const char* file;
};
constexpr TChartCase kCharts[] = {
    {"14988_2", "14988_2.KAP"}, {"12205_12", "12205_12.KAP"}, {"11361_3", "11361_3.KAP"},
    {"australia4c", "australia4c.kap"}, {"NZ61401", "NZ61401.KAP"},
};

std::string Path(const char* file) { return std::string("charts/") + file; }

std::vector<uint8_t> DecodeAll(TKAPDecoder& d) {
  std::vector<uint8_t> out(static_cast<size_t>(d.Width()) * static_cast<size_t>(d.Height()));
  d.DecodeRows(0, 0, d.Width(), d.Height(), 1, out.data(), static_cast<size_t>(d.Width()));
  return out;
}

double Metres(const TFPoint& a, const TFPoint& b) {
  const double dx = std::remainder(a.X - b.X, 2 * kPi) * std::cos(0.5 * (a.Y + b.Y));
  return std::hypot(dx, a.Y - b.Y) * 6378137.0;
}

std::vector<double> Numbers(std::string_view text) {
  std::vector<double> out;
  for (const std::string& item : SplitCommaItems(text)) out.push_back(TryStrToFloatDot(item).value_or(NAN));
  return out;
}

TEST(KapRealCharts, DecodeLikeGdal) {
  for (const TChartCase& c : kCharts) {
    SCOPED_TRACE(c.stem);
    REQUIRE_TESTDATA(kap, Path(c.file));
    REQUIRE_TESTDATA(sha, Path(c.stem) + ".index.sha256");
    TKAPDecoder d;
    ASSERT_GT(d.Open(kap), 0) << d.LastError();
    EXPECT_FALSE(d.IndexRebuilt());
    EXPECT_EQ(d.MissingRows(), 0);
    const std::vector<uint8_t> pixels = DecodeAll(d);
    EXPECT_EQ(d.RowErrors(), 0);
    TSha256 h;
    h.Update(pixels.data(), pixels.size());
    EXPECT_EQ(h.HexDigest(), ReadTestFile(sha).substr(0, 64));
    const std::string raw = TestDataFile(Path(c.stem) + ".index.raw");
    if (!raw.empty()) {
      const std::string expect = ReadTestFile(raw);
      ASSERT_EQ(expect.size(), pixels.size());
      size_t mismatches = 0;
      for (size_t i = 0; i < pixels.size(); ++i) mismatches += static_cast<uint8_t>(expect[i]) != pixels[i];
      EXPECT_EQ(mismatches, 0u);
    }
  }
}

TEST(KapRealCharts, Australia4cColoursMatchItsImage) {
  REQUIRE_TESTDATA(kap, Path("australia4c.kap"));
  REQUIRE_TESTDATA(ppm, Path("australia4c.ppm"));
  TKAPDecoder d;
  ASSERT_GT(d.Open(kap), 0);
  std::array<TRgb, 256> table;
  d.FillColourTable(table);
  const std::vector<uint8_t> pixels = DecodeAll(d);
  const std::string image = ReadTestFile(ppm);
  const std::string head = "P6\n625 480\n255\n";
  ASSERT_EQ(image.substr(0, head.size()), head);
  ASSERT_EQ(image.size(), head.size() + 3 * pixels.size());
  size_t mismatches = 0;
  for (size_t i = 0; i < pixels.size(); ++i) {
    const TRgb c = table[pixels[i]];
    const auto* p = reinterpret_cast<const uint8_t*>(image.data() + head.size() + 3 * i);
    mismatches += p[0] != RgbRed(c) || p[1] != RgbGreen(c) || p[2] != RgbBlue(c);
  }
  EXPECT_EQ(mismatches, 0u);
}

TEST(KapRealCharts, WindowsAtEveryStepMatchTheFullDecode) {
  for (const TChartCase& c : kCharts) {
    SCOPED_TRACE(c.stem);
    REQUIRE_TESTDATA(kap, Path(c.file));
    TKAPDecoder d;
    ASSERT_GT(d.Open(kap), 0);
    const int W = d.Width(), H = d.Height();
    std::vector<uint8_t> row(static_cast<size_t>(W));
    std::vector<uint8_t> stream;
    uint32_t r = 12345;
    auto rnd = [&r](int n) {
      r = r * 1664525u + 1013904223u;
      return static_cast<int>((r >> 8) % static_cast<uint32_t>(n));
    };
    for (int step = 1; step <= 10; ++step) {
      for (int trial = 0; trial < 4; ++trial) {
        // Windows of screen size anywhere, and one at the bottom right.
        const int w = std::min(W, 200 + rnd(1800)), h = std::min(H, 100 + rnd(1000));
        const int x0 = trial == 3 ? W - w / 2 : rnd(W - w + 1), y0 = trial == 3 ? H - h / 3 : rnd(H - h + 1);
        const int cw = std::min(w, W - x0), ch = std::min(h, H - y0);
        d.DecodeWindow({x0, y0}, {w, h}, stream, step);
        const size_t stride = (static_cast<size_t>(cw) + 3) & ~size_t(3);
        for (int64_t k = 0; k < TKAPDecoder::WindowLines(ch, step); ++k) {
          ASSERT_TRUE(d.DecodeRow(static_cast<int32_t>(y0 + k * step), 0, W, row.data()));
          ASSERT_EQ(0, std::memcmp(stream.data() + static_cast<size_t>(k) * stride, row.data() + x0,
                                   static_cast<size_t>(cw)))
              << "step " << step << " window " << x0 << "," << y0 << " line " << k;
        }
      }
    }
    EXPECT_EQ(d.RowErrors(), 0);
  }
}

TEST(KapRealCharts, HeaderAsGdalReadsIt) {
  for (const TChartCase& c : kCharts) {
    SCOPED_TRACE(c.stem);
    REQUIRE_TESTDATA(kap, Path(c.file));
    REQUIRE_TESTDATA(json, Path(c.stem) + ".gdalinfo.json");
    const std::string j = ReadTestFile(json);
    TKAPDecoder d;
    ASSERT_TRUE(d.ReadHeaderOnly(kap));
    RChartInfo info;
    TChartHeadBaseCodec::ClearInfo(info);
    ASSERT_TRUE(d.ReadInfo(info));
    EXPECT_EQ(info.Width, d.Width());
    EXPECT_EQ(info.Height, d.Height());
    const size_t size = j.find("\"size\":[");
    ASSERT_NE(size, std::string::npos);
    std::string dims = j.substr(size + 8, j.find(']', size) - size - 8);
    dims.erase(std::remove_if(dims.begin(), dims.end(), [](char ch) { return ch == ' ' || ch == '\n'; }), dims.end());
    EXPECT_EQ(dims, std::to_string(d.Width()) + "," + std::to_string(d.Height()));

    // The merged KNP/ and KNQ/ values equal GDAL's metadata.
    auto meta = [&j](const char* key) {
      const size_t at = j.find(std::string("\"") + key + "\":\"");
      if (at == std::string::npos) return std::string("?");
      const size_t from = at + std::strlen(key) + 4;
      return j.substr(from, j.find('"', from) - from);
    };
    EXPECT_EQ(d.FindLine("KNP/"), meta("BSB_KNP"));
    if (meta("BSB_KNQ") != "?") {
      EXPECT_EQ(d.FindLine("KNQ/"), meta("BSB_KNQ"));
    }

    // Reference points: GDAL's GCPs, in order.
    std::vector<TFPoint> gcps;
    for (size_t at = j.find("\"pixel\":"); at != std::string::npos; at = j.find("\"pixel\":", at + 1)) {
      const size_t line = j.find("\"line\":", at);
      gcps.push_back({StrToFloatDot(j.substr(at + 8, j.find(',', at) - at - 8)),
                      StrToFloatDot(j.substr(line + 7, j.find(',', line) - line - 7))});
    }
    ASSERT_EQ(info.RefCount, static_cast<int32_t>(gcps.size()));
    for (size_t i = 0; i < gcps.size(); ++i) {
      EXPECT_EQ(info.RefPoints[i].X, gcps[i].X) << i;
      EXPECT_EQ(info.RefPoints[i].Y, gcps[i].Y) << i;
    }
    // Border: GDAL's cut line, longitude latitude.
    const std::string cut = meta("BSB_CUTLINE");
    ASSERT_EQ(cut.rfind("POLYGON ((", 0), 0u);
    std::vector<std::string> pts = SplitCommaItems(cut.substr(10, cut.find(')') - 10));
    ASSERT_EQ(static_cast<size_t>(info.Layout.BorderCount), pts.size());
    for (size_t i = 0; i < pts.size(); ++i) {
      const size_t blank = pts[i].find(' ');
      EXPECT_NEAR(info.Layout.Border[i].X * kRadToDeg, StrToFloatDot(pts[i].substr(0, blank)), 1e-9);
      EXPECT_NEAR(info.Layout.Border[i].Y * kRadToDeg, StrToFloatDot(pts[i].substr(blank + 1)), 1e-9);
    }
  }
}

TEST(KapRealCharts, HeaderFields) {
  REQUIRE_TESTDATA(kap, Path("14988_2.KAP"));
  TKAPDecoder d;
  ASSERT_TRUE(d.ReadHeaderOnly(kap));
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  ASSERT_TRUE(d.ReadInfo(info));
  EXPECT_EQ(info.Layout.Name, "BASSWOOD LAKE EASTERN PART EXTENSION  A");
  EXPECT_EQ(info.Layout.FileName, "14988_2.KAP");
  EXPECT_EQ(info.Number, "1569");
  EXPECT_EQ(info.Layout.Scale, 42240);
  EXPECT_EQ(info.DatumName, "NAD83");
  EXPECT_EQ(info.Projection, kProjLambert);
  EXPECT_NEAR(info.Lon0 * kRadToDeg, -91.589, 1e-12);
  EXPECT_NEAR(info.LatS * kRadToDeg, 47.033, 1e-12);
  EXPECT_NEAR(info.LatN * kRadToDeg, 48.050, 1e-12);
  EXPECT_EQ(info.DepthUnits, kDepthFeet);
  EXPECT_DOUBLE_EQ(info.PixelSizeX, 2.68);
  EXPECT_DOUBLE_EQ(info.Version, 3.0);
  EXPECT_EQ(info.Inverse, 0);
  EXPECT_NE(info.DatumShift.X, kNoDtmShift);  // DTM/0,0 is present
  EXPECT_EQ(info.Comments.rfind("This electronic chart was produced", 0), 0u);
  EXPECT_NE(info.Comments.find("\r\nBy using this chart"), std::string::npos);
  EXPECT_EQ(info.RefCount, 30);
  EXPECT_NEAR(info.RefPoints[29].Lat * kRadToDeg, 48.1277805556, 1e-12);
  // The chart's day, dusk and night colours.
  EXPECT_TRUE(d.SetPalette(TKAPPalette::Night));
  EXPECT_EQ(d.SlotColour(1), MakeRgb(55, 55, 55));
  EXPECT_TRUE(d.SetPalette(TKAPPalette::Dusk));
  EXPECT_EQ(d.SlotColour(3), MakeRgb(119, 112, 81));

  REQUIRE_TESTDATA(nz, Path("NZ61401.KAP"));
  ASSERT_TRUE(d.ReadHeaderOnly(nz));
  TChartHeadBaseCodec::ClearInfo(info);
  ASSERT_TRUE(d.ReadInfo(info));
  EXPECT_EQ(info.Layout.Name, "Tasman Bay");
  EXPECT_EQ(info.Inverse, 1);  // KNQ RM=INVERSE in a version 3 header
  EXPECT_EQ(info.DepthUnits, kDepthMetres);
  EXPECT_EQ(info.Projection, kProjMercator);
  EXPECT_EQ(info.Layout.BorderCount, 23);
  EXPECT_EQ(info.RefCount, 100);
}

// The chart converter set up from the header, as the plotter does.
struct TGeoChart {
  RChartInfo info;
  TWorldConvert w;
  double pixelSize = 0;
};

bool SetUpChart(const std::string& kap, TGeoChart& g) {
  TKAPDecoder d;
  if (!d.ReadHeaderOnly(kap)) return false;
  TChartHeadBaseCodec::ClearInfo(g.info);
  if (!d.ReadInfo(g.info)) return false;
  TDatum datum(ShippedDataDir() + kDatumFileName);
  const TChartSetup s = g.w.SetupChart(ChartGeoRef(g.info, true), datum, TDatumSettings());
  g.pixelSize = g.info.PixelSizeX;
  return s.Error == TSetupError::None;
}

TEST(KapRealCharts, GeoreferencingAgreesWithGdal) {
  for (const TChartCase& c : kCharts) {
    SCOPED_TRACE(c.stem);
    REQUIRE_TESTDATA(kap, Path(c.file));
    REQUIRE_TESTDATA(csv, Path(c.stem) + ".geo.csv");
    TGeoChart g;
    ASSERT_TRUE(SetUpChart(kap, g));

    // At each reference pixel its own position. Where two reference points
    // share a pixel but not a position (12205_12) the chart contradicts
    // itself: those pixels are left out.
    std::vector<TFPoint> contradictions;
    for (size_t i = 0; i < g.info.RefPoints.size(); ++i) {
      const TGridPoint& p = g.info.RefPoints[i];
      bool contradicted = false;
      for (size_t k = 0; k < g.info.RefPoints.size(); ++k)
        contradicted |= k != i && std::hypot(g.info.RefPoints[k].X - p.X, g.info.RefPoints[k].Y - p.Y) < 1 &&
                        (g.info.RefPoints[k].Lat != p.Lat || g.info.RefPoints[k].Lon != p.Lon);
      if (contradicted) {
        contradictions.push_back({p.X, p.Y});
        continue;
      }
      TFPoint pos;
      ASSERT_TRUE(g.w.PixelToGeo({p.X, p.Y}, pos));
      EXPECT_NEAR(pos.X * kRadToDeg, p.Lon * kRadToDeg, 1e-5) << "REF/" << i + 1;
      EXPECT_NEAR(pos.Y * kRadToDeg, p.Lat * kRadToDeg, 1e-5) << "REF/" << i + 1;
    }
    EXPECT_EQ(contradictions.size(), std::string(c.stem) == "12205_12" ? 4u : 0u);

    // Elsewhere GDAL's thin-plate spline, within a few pixels; and the
    // way back to the pixel.
    const std::vector<std::string> lines = SplitTextLines(ReadTestFile(csv));
    double worst = 0, worstBack = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
      const std::vector<double> v = Numbers(lines[i]);
      ASSERT_EQ(v.size(), 4u);
      TFPoint pos, back;
      ASSERT_TRUE(g.w.PixelToGeo({v[0], v[1]}, pos));
      worst = std::max(worst, Metres(pos, {v[2] * kDegToRad, v[3] * kDegToRad}) / g.pixelSize);
      ASSERT_TRUE(ExactGeoToPixel(g.w, pos, back));
      const bool contradicted = std::any_of(contradictions.begin(), contradictions.end(), [&](const TFPoint& q) {
        return std::hypot(q.X - v[0], q.Y - v[1]) < 1;
      });
      if (!contradicted) worstBack = std::max(worstBack, std::hypot(back.X - v[0], back.Y - v[1]));
    }
    // australia4c: four reference points over a continent of 6 km pixels;
    // between them the spline and the chart's fit part by up to 5 pixels.
    EXPECT_LT(worst, std::string(c.stem) == "australia4c" ? 6.0 : 3.0);
    EXPECT_LT(worstBack, 0.01);
  }
}

}  // namespace
