#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "charts/BMPager.h"
#include "platform/SystemInfo.h"

namespace {

struct TRequest {
  int32_t X0, Y0, W, Lines, Step;
  friend bool operator==(const TRequest&, const TRequest&) = default;
};

std::ostream& operator<<(std::ostream& o, const TRequest& r) {
  return o << "(" << r.X0 << "," << r.Y0 << " " << r.W << "x" << r.Lines << " step " << r.Step << ")";
}

// A chart whose pixel (x, y) is Pixel(x, y); records every request.
class TFakeSource : public TPagerSource {
 public:
  TFakeSource(int32_t w, int32_t h) : w_(w), h_(h) {}
  int32_t SourceWidth() const override { return w_; }
  int32_t SourceHeight() const override { return h_; }
  int32_t DecodeLines(int32_t x0, int32_t y0, int32_t w, int32_t lines, int32_t step, uint8_t* dst,
                      size_t dstStride) override {
    requests.push_back({x0, y0, w, lines, step});
    EXPECT_TRUE(x0 >= 0 && w >= 1 && x0 + w <= w_ && y0 >= 0 && step >= 1 && lines >= 0 &&
                (lines == 0 || y0 + (lines - 1) * step < h_))
        << requests.back();
    if (fail) return -1;
    for (int32_t k = 0; k < lines; ++k)
      for (int32_t x = 0; x < w; ++x) dst[k * dstStride + x] = Pixel(x0 + x, y0 + k * step);
    return lines;
  }
  bool PlainColours(TColourTable& colours) const override {
    if (plain.empty()) return false;
    std::copy(plain.begin(), plain.end(), colours.begin());
    return true;
  }
  std::function<uint8_t(int32_t, int32_t)> Pixel = [](int32_t x, int32_t y) {
    return static_cast<uint8_t>((x * 7 + y * 13) & 0xFF);
  };
  std::vector<TRequest> requests;
  std::vector<TRgb> plain;
  bool fail = false;

 private:
  int32_t w_, h_;
};

// A canvas that keeps pixels, for checking what the pager painted.
class TPixelCanvas : public TRecordingCanvas {
 public:
  TPixelCanvas(int32_t w, int32_t h) : TRecordingCanvas(w, h), pixels(static_cast<size_t>(w) * h, 0) {}
  void DrawImage(const TCanvasRect& dest, const TImageView& image, const TCanvasRect& src) override {
    TRecordingCanvas::DrawImage(dest, image, src);
    draws.push_back(dest);
    if (onDraw) onDraw();
    for (int32_t y = std::max(dest.Top, 0); y < std::min(dest.Bottom, Height()); ++y)
      for (int32_t x = std::max(dest.Left, 0); x < std::min(dest.Right, Width()); ++x) {
        const int64_t sx = src.Left + int64_t{x - dest.Left} * src.Width() / dest.Width();
        const int64_t sy = src.Top + int64_t{y - dest.Top} * src.Height() / dest.Height();
        pixels[static_cast<size_t>(y) * Width() + x] = image.pixels[sy * image.stride + sx] & 0xFFFFFF;
      }
  }
  uint32_t At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * Width() + x]; }
  std::vector<uint32_t> pixels;
  std::vector<TCanvasRect> draws;
  std::function<void()> onDraw;
};

// Colour of index i: distinct for every index.
TRgb Grey(int i) { return 0xFF000000u | uint32_t(i) << 16 | uint32_t(255 - i) << 8 | uint32_t(i); }

class TPagerFixture : public ::testing::Test {
 protected:
  void Bind(int32_t w, int32_t h, int64_t wholeLimit = 0) {
    source_ = std::make_unique<TFakeSource>(w, h);
    pager_.SetDecoder(source_.get());
    pager_.WholeImageLimit = wholeLimit;
    for (int i = 0; i < 256; ++i) pager_.Colours[i] = Grey(i);
    pager_.SetImageSize(w, h);
    pager_.Active = true;
  }
  void View(int32_t x, int32_t y, int32_t w, int32_t h) {
    pager_.SetDestRect({x, y}, {w, h});
    pager_.Draw();
  }
  std::vector<TRequest> Take() { return std::exchange(source_->requests, {}); }

  // The nearest-pixel picture: canvas (X, Y) shows chart column
  // floor(X / zoom) and the multiple of the row step at or above row
  // floor(Y / zoom).
  // Only the part of the rectangle on the chart counts.
  void ExpectNearest(int32_t x0, int32_t y0, int32_t w, int32_t h, double zoom) {
    const int32_t step = TBitmapPager::RowStep(zoom);
    const int32_t right = std::min<int32_t>(x0 + w, static_cast<int32_t>(std::ceil(pager_.ImageWidth() * zoom)));
    const int32_t bottom = std::min<int32_t>(y0 + h, static_cast<int32_t>(std::ceil(pager_.ImageHeight() * zoom)));
    int wrong = 0;
    for (int32_t y = y0; y < bottom; ++y)
      for (int32_t x = x0; x < right; ++x) {
        const int32_t cx = static_cast<int32_t>(std::floor(x / zoom + 1e-7));
        const int32_t cy = static_cast<int32_t>(std::floor(y / zoom + 1e-7)) / step * step;
        wrong += canvas_.At(x, y) != (Grey(source_->Pixel(cx, cy)) & 0xFFFFFF);
      }
    EXPECT_EQ(wrong, 0) << "zoom " << zoom;
  }

  TPixelCanvas canvas_{1200, 900};
  TBitmapPager pager_{&canvas_};
  std::unique_ptr<TFakeSource> source_;
};

}  // namespace

TEST(PagerStep, EveryNthRowWhenZoomedOut) {
  struct Case {
    double zoom;
    int32_t step;
  };
  const Case cases[] = {{0.25, 4}, {0.6, 1}, {0.5, 2}, {0.1, 10}, {1.0 / 3, 3}, {4, 1}, {0, 0}, {-1, 0}, {NAN, 0}};
  for (const Case& k : cases) EXPECT_EQ(TBitmapPager::RowStep(k.zoom), k.step) << k.zoom;
}

TEST(PagerBudget, MachineShare) {
  EXPECT_GT(TBitmapPager::DefaultMemoryBudget(), 0);
  EXPECT_LE(TBitmapPager::DefaultMemoryBudget(), 25165824);
  EXPECT_GT(TBitmapPager::DefaultWholeImageLimit(), 0);
  EXPECT_LE(TBitmapPager::DefaultWholeImageLimit(), 12582912);
  // An eighth of a machine of 192 MiB or more reaches both caps: 24 MiB for
  // a window, 12 MiB for a whole image.
  if (TotalPhysicalMemory() >= (uint64_t{192} << 20)) {
    EXPECT_EQ(TBitmapPager::DefaultMemoryBudget(), 25165824);
    EXPECT_EQ(TBitmapPager::DefaultWholeImageLimit(), 12582912);
  }
}

TEST_F(TPagerFixture, RequestsTheRowsAndColumnsOfTheView) {
  struct Case {
    double zoom;
    TCanvasRect view;
    TRequest request;
  };
  const Case cases[] = {
      {1, {100, 50, 500, 350}, {100, 50, 400, 300, 1}},
      {0.25, {20, 10, 220, 110}, {80, 40, 797, 100, 4}},
      {0.5, {0, 0, 300, 200}, {0, 0, 599, 200, 2}},
      {0.4, {10, 10, 110, 60}, {25, 24, 248, 62, 2}},
      {2, {40, 20, 440, 320}, {20, 10, 200, 150, 1}},
      {3, {1, 2, 31, 32}, {0, 0, 11, 11, 1}},
  };
  for (const Case& k : cases) {
    Bind(5000, 4000);
    pager_.Zoom = k.zoom;
    View(k.view.Left, k.view.Top, k.view.Width(), k.view.Height());
    EXPECT_EQ(Take(), std::vector<TRequest>{k.request}) << "zoom " << k.zoom;
    ExpectNearest(k.view.Left, k.view.Top, k.view.Width(), k.view.Height(), k.zoom);
    // The same view again: painted from the cache.
    canvas_.Clear();
    pager_.Draw();
    EXPECT_TRUE(Take().empty()) << "zoom " << k.zoom;
    EXPECT_FALSE(canvas_.calls().empty());
  }
}

TEST_F(TPagerFixture, PanningDecodesOnlyWhatComesIntoView) {
  Bind(5000, 4000);
  View(100, 50, 400, 300);
  Take();
  View(116, 50, 400, 300);
  EXPECT_EQ(Take(), std::vector<TRequest>{(TRequest{500, 50, 16, 300, 1})});
  // Back again: the columns left behind are still cached.
  View(100, 50, 400, 300);
  EXPECT_TRUE(Take().empty());
  // Down: one band of new rows (across the cached columns).
  View(100, 60, 400, 300);
  const std::vector<TRequest> down = Take();
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0].Y0, 350);
  EXPECT_EQ(down[0].Lines, 10);
  EXPECT_LE(down[0].X0, 100);
  EXPECT_GE(down[0].X0 + down[0].W, 500);
  ExpectNearest(100, 60, 400, 300, 1);
  // A jump far away decodes the new view only.
  View(3000, 3000, 400, 300);
  EXPECT_EQ(Take(), std::vector<TRequest>{(TRequest{3000, 3000, 400, 300, 1})});

  // Zoomed out, a pan of 16 screen pixels shows 61 more chart columns (the
  // first of each group of four), every fourth row.
  pager_.Zoom = 0.25;
  View(200, 100, 400, 300);
  Take();
  for (int i = 1; i <= 20; ++i) {
    View(200 + 16 * i, 100, 400, 300);
    EXPECT_EQ(Take(), std::vector<TRequest>{(TRequest{4 * (600 + 16 * (i - 1)), 400, 61, 300, 4})}) << i;
  }
  ExpectNearest(520, 100, 400, 300, 0.25);
  // Diagonally: new rows and new columns, each decoded once.
  const int64_t before = pager_.Stats().DecodedPixels;
  View(530, 110, 400, 300);
  EXPECT_LE(pager_.Stats().DecodedPixels - before, int64_t{4 * 10} * 300 + int64_t{4 * 410} * 10 + 4 * 128 * 10);
  ExpectNearest(530, 110, 400, 300, 0.25);
}

TEST_F(TPagerFixture, LargeWindowsAreDecodedInStripsWithinTheBudget) {
  TPixelCanvas canvas(3000, 2000);
  pager_.SetCanvas(&canvas);
  pager_.MemoryBudget = 1000000;
  Bind(4000, 3000);
  View(0, 0, 3000, 2000);
  const std::vector<TRequest> strips = Take();
  ASSERT_EQ(strips.size(), 7u);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(strips[i], (TRequest{0, 285 * i, 3000, i < 6 ? 285 : 2000 - 6 * 285, 1})) << i;
    EXPECT_LE(int64_t{strips[i].W} * strips[i].Lines, pager_.MemoryBudget);
  }
  // Drawn whole, and cached: no second decode.
  EXPECT_EQ(canvas.At(2999, 1999), Grey(source_->Pixel(2999, 1999)) & 0xFFFFFF);
  pager_.Draw();
  EXPECT_TRUE(Take().empty());

  // Zoomed out, the strips hold every other row.
  pager_.Zoom = 0.5;
  View(0, 0, 2000, 1500);
  for (const TRequest& r : Take()) {
    EXPECT_EQ(r.Step, 2);
    EXPECT_LE(int64_t{r.W} * r.Lines, pager_.MemoryBudget);
  }
  pager_.SetCanvas(&canvas_);
}

TEST_F(TPagerFixture, SmallChartsAreDecodedWholeOnce) {
  Bind(2000, 1500, 12582912);
  EXPECT_TRUE(pager_.WholeImage());
  EXPECT_EQ(Take(), std::vector<TRequest>{(TRequest{0, 0, 2000, 1500, 1})});
  for (double zoom : {1.0, 0.25, 2.0, 0.6}) {
    pager_.Zoom = zoom;
    View(16, 8, 600, 400);
    View(48, 40, 600, 400);
    ExpectNearest(48, 40, 600, 400, zoom);
  }
  EXPECT_TRUE(Take().empty());

  // Not when the limit is 0 (KAP charts, WCI files marked cache-disabled).
  Bind(2000, 1500, 0);
  EXPECT_FALSE(pager_.WholeImage());
  EXPECT_TRUE(Take().empty());
  // Nor for the largest WCI size, whose pixel count does not fit 32 bits.
  Bind(65535, 65535, 12582912);
  EXPECT_FALSE(pager_.WholeImage());
  EXPECT_TRUE(Take().empty());
}

TEST_F(TPagerFixture, ClipsAtTheChartEdges) {
  Bind(1000, 800);
  View(900, 700, 400, 300);
  EXPECT_EQ(Take(), std::vector<TRequest>{(TRequest{900, 700, 100, 100, 1})});
  ASSERT_FALSE(canvas_.draws.empty());
  for (const TCanvasRect& r : canvas_.draws) {
    EXPECT_LE(r.Right, 1000);
    EXPECT_LE(r.Bottom, 800);
  }
  // Past the chart, or at a zoom that is not positive: nothing.
  canvas_.Clear();
  View(1000, 0, 100, 100);
  pager_.Zoom = 0;
  View(0, 0, 100, 100);
  pager_.Zoom = -2;
  View(0, 0, 100, 100);
  EXPECT_TRUE(Take().empty());
  EXPECT_TRUE(canvas_.calls().empty());
  // Zoomed out so far the chart is one pixel.
  pager_.Zoom = 1e-4;
  View(0, 0, 100, 100);
  EXPECT_EQ(Take(), std::vector<TRequest>{(TRequest{0, 0, 1, 1, 10000})});
}

TEST_F(TPagerFixture, InactiveBusyAndStop) {
  Bind(1000, 800);
  pager_.Active = false;
  View(0, 0, 100, 100);
  EXPECT_TRUE(Take().empty());
  pager_.Active = true;
  // A paint that begins while one runs returns at once; Stop from inside a
  // draw cannot succeed.
  bool stopped = true;
  canvas_.onDraw = [&] {
    pager_.SetDestRect({200, 200}, {50, 50});
    pager_.Draw();
    stopped = pager_.Stop();
  };
  View(0, 0, 100, 100);
  EXPECT_FALSE(stopped);
  EXPECT_EQ(Take().size(), 1u);
  canvas_.onDraw = nullptr;
  pager_.Active = true;
  EXPECT_TRUE(pager_.Stop());
  EXPECT_FALSE(pager_.Active);
}

TEST_F(TPagerFixture, BlackOnWhiteKeepsThinDarkLines) {
  Bind(400, 400);
  // White paper (0), a one-pixel black line down column 13 and one across
  // row 6 (1).
  source_->Pixel = [](int32_t x, int32_t y) -> uint8_t { return x == 13 || y == 6; };
  source_->plain = {0xFFFFFFFFu, 0xFF000000u};
  pager_.Colours[0] = 0xFFFFFFFFu;
  pager_.Colours[1] = 0xFF000000u;
  pager_.Zoom = 0.25;

  View(0, 0, 100, 100);
  EXPECT_EQ(canvas_.At(3, 20), 0xFFFFFFu);  // colour on colour samples column 12 only

  pager_.StretchMode = TBitmapPager::kStretchBlackOnWhite;
  Take();
  View(0, 0, 100, 100);
  EXPECT_EQ(canvas_.At(3, 20), 0x000000u);
  EXPECT_EQ(canvas_.At(4, 20), 0xFFFFFFu);
  // Row 6 is not among the rows decoded at step 4 ...
  EXPECT_EQ(canvas_.At(50, 1), 0xFFFFFFu);
  // ... unless the row step is limited.
  Take();
  pager_.MaxZoomOutRes = 1;
  View(0, 0, 100, 100);
  EXPECT_EQ(Take(), std::vector<TRequest>{(TRequest{0, 0, 400, 400, 1})});
  EXPECT_EQ(canvas_.At(50, 1), 0x000000u);
  EXPECT_EQ(canvas_.At(50, 2), 0xFFFFFFu);

  // Night colours: the paper dark, the line light. What was dark on the
  // chart is kept.
  pager_.Colours[0] = 0xFF202020u;
  pager_.Colours[1] = 0xFFC0C0C0u;
  View(0, 0, 100, 100);
  EXPECT_EQ(canvas_.At(3, 20), 0xC0C0C0u);
}

TEST_F(TPagerFixture, NewColoursOrAnotherDecoderRedraw) {
  Bind(1000, 800);
  View(0, 0, 200, 200);
  Take();
  pager_.Colours[source_->Pixel(5, 5)] = 0xFF123456u;
  View(0, 0, 200, 200);
  EXPECT_EQ(Take().size(), 1u);
  EXPECT_EQ(canvas_.At(5, 5), 0x123456u);

  TFakeSource other(1000, 800);
  other.Pixel = [](int32_t, int32_t) -> uint8_t { return 9; };
  pager_.Decoder = &other;
  View(0, 0, 200, 200);
  EXPECT_EQ(other.requests.size(), 1u);
  EXPECT_EQ(canvas_.At(150, 150), Grey(9) & 0xFFFFFF);
  pager_.Decoder = source_.get();
}

TEST_F(TPagerFixture, AFailingDecoderDrawsNothing) {
  Bind(1000, 800);
  source_->fail = true;
  View(0, 0, 200, 200);
  EXPECT_TRUE(canvas_.draws.empty());
  source_->fail = false;
  pager_.Draw();
  EXPECT_FALSE(canvas_.draws.empty());
  ExpectNearest(0, 0, 200, 200, 1);
}

TEST_F(TPagerFixture, PrintsInStripsThatTileTheDestination) {
  pager_.MemoryBudget = 1000000;
  Bind(4000, 3000);
  View(0, 0, 300, 200);
  Take();
  TPixelCanvas page(1000, 700);
  EXPECT_TRUE(pager_.DrawTo(page, {500, 400, 3500, 2400}, {10, 20, 910, 620}));
  const std::vector<TRequest> strips = Take();
  ASSERT_EQ(strips.size(), 7u);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(strips[i], (TRequest{500, 400 + 285 * i, 3000, i < 6 ? 285 : 290, 1}));
  // The pieces cover the destination rows without gaps or overlaps.
  int32_t next = 20;
  for (const TCanvasRect& r : page.draws) {
    EXPECT_EQ(r.Left, 10);
    EXPECT_EQ(r.Right, 910);
    EXPECT_EQ(r.Top, next);
    next = r.Bottom;
  }
  EXPECT_EQ(next, 620);
  EXPECT_EQ(page.At(10, 20), Grey(source_->Pixel(500, 400)) & 0xFFFFFF);
  // The screen cache was not disturbed.
  pager_.Draw();
  EXPECT_TRUE(Take().empty());
  // A source reaching past the chart narrows the destination.
  page.draws.clear();
  EXPECT_TRUE(pager_.DrawTo(page, {3800, 0, 4200, 100}, {0, 0, 800, 200}));
  ASSERT_FALSE(page.draws.empty());
  EXPECT_EQ(page.draws[0].Right, 400);
  EXPECT_FALSE(pager_.DrawTo(page, {4000, 0, 4100, 100}, {0, 0, 100, 100}));
}
