// The pager while the user pans: a 1920 x 1080 view of NZ61401 (as WCI, as
// KAP for comparison, and as a WCI file of about 200 colours whose rows are
// all deflated, like a chart scanned from paper) moved 200 times by 16
// pixels, sideways and downwards, at zooms 0.25, 0.5, 1
// and 2, in both stretch modes. Each frame is one Draw onto a canvas that
// copies the pixels into a frame buffer, as a window system would. Reported
// per frame: median, 95th percentile and worst time, and the chart pixels
// decoded. The first frame of a view (nothing cached yet) is reported on its
// own. Where the chart is too small for 200 steps at the zoom, the view turns
// back at the edge, as a user would.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "charts/BMPager.h"
#include "charts/KAPctrl.h"
#include "charts/WCIWriter.h"
#include "charts/WCIctrl.h"

namespace {

constexpr int32_t kViewW = 1920;
constexpr int32_t kViewH = 1080;
constexpr int kSteps = 200;
constexpr int32_t kStep = 16;

// A frame buffer the size of the view; images are copied into it.
class TFrameCanvas : public ICanvas {
 public:
  TFrameCanvas() : pixels_(static_cast<size_t>(kViewW) * kViewH) {}
  void SetOrigin(int32_t x, int32_t y) {
    ox_ = x;
    oy_ = y;
  }
  int32_t Width() const override { return kViewW; }
  int32_t Height() const override { return kViewH; }
  void SetPen(const TPen&) override {}
  void SetBrush(const TBrush&) override {}
  void SetFont(const TFont&) override {}
  void DrawLine(TCanvasPoint, TCanvasPoint) override {}
  void DrawPolyline(const TCanvasPoint*, size_t) override {}
  void DrawPolygon(const TCanvasPoint*, size_t) override {}
  void DrawEllipse(const TCanvasRect&) override {}
  void DrawRect(const TCanvasRect&) override {}
  void DrawRoundRect(const TCanvasRect&, int32_t, int32_t) override {}
  void FillRect(const TCanvasRect&, TRGB) override {}
  void DrawText(TCanvasPoint, std::string_view) override {}
  TCanvasPoint TextExtent(std::string_view) override { return {}; }
  void SetClip(const TCanvasRect&) override {}
  void ResetClip() override {}
  void DrawImage(const TCanvasRect& dest, const TImageView& image, const TCanvasRect& src) override {
    for (int32_t y = std::max(dest.Top, oy_); y < std::min(dest.Bottom, oy_ + kViewH); ++y) {
      const int32_t sy = src.Top + static_cast<int32_t>(int64_t{y - dest.Top} * src.Height() / dest.Height());
      const uint32_t* from = image.pixels + static_cast<size_t>(sy) * image.stride;
      uint32_t* to = pixels_.data() + static_cast<size_t>(y - oy_) * kViewW - ox_;
      const int32_t x0 = std::max(dest.Left, ox_), x1 = std::min(dest.Right, ox_ + kViewW);
      if (dest.Width() == src.Width()) {
        std::memcpy(to + x0, from + src.Left + (x0 - dest.Left), static_cast<size_t>(x1 - x0) * 4);
      } else {
        for (int32_t x = x0; x < x1; ++x)
          to[x] = from[src.Left + static_cast<int32_t>(int64_t{x - dest.Left} * src.Width() / dest.Width())];
      }
    }
  }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }

 private:
  std::vector<uint32_t> pixels_;
  int32_t ox_ = 0;
  int32_t oy_ = 0;
};

std::string TempFile(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/bench_pager_" + std::to_string(::getpid()) + name;
}

// The chart with 13 shades of each colour in an 8 x 8 pixel pattern: about
// 200 colours, so that every row of its WCI file is deflated, as in charts
// scanned from paper.
class TManyColours : public TWCIImageSource {
 public:
  TManyColours(TKAPDecoder& kap, const TColourTable& colours) : kap_(kap), colours_(colours) {}
  int32_t Width() const override { return kap_.Width(); }
  int32_t Height() const override { return kap_.Height(); }
  int ColourCount() const override { return 256; }
  TRgb Colour(int i) const override { return colours_[static_cast<size_t>(i / 13)] ^ static_cast<TRgb>(i % 13); }
  bool ReadRow(int32_t y, uint8_t* dst) override {
    if (!kap_.DecodeRow(y, 0, Width(), dst)) return false;
    for (int32_t x = 0; x < Width(); ++x)
      dst[x] = static_cast<uint8_t>(std::min(255, dst[x] * 13 + ((x >> 3) + (y >> 3)) % 13));
    return true;
  }

 private:
  TKAPDecoder& kap_;
  const TColourTable& colours_;
};

struct TSources {
  TKAPDecoder kap;
  TWCIDecoder wci;
  TWCIDecoder deflated;
  TColourTable kapColours{};
  TColourTable wciColours{};
  TColourTable deflatedColours{};
  std::string wciFile = TempFile(".wci");
  std::string deflatedFile = TempFile("-deflated.wci");
  bool ok = false;
  TSources() {
    if (kap.Open(std::string(BRISMARE_TESTDATA_DIR) + "/charts/NZ61401.KAP") <= 0) return;
    kap.FillColourTable(kapColours);
    TPagerImageSource source(kap, kapColours, 127);
    TManyColours many(kap, kapColours);
    TWCIWriter writer;
    writer.ConfirmReplace = false;
    ok = writer.Convert(source, wciFile, {"NA=NZ61401"}) > 0 && wci.Open(wciFile) > 0 &&
         writer.Convert(many, deflatedFile, {"NA=NZ61401"}) > 0 && deflated.Open(deflatedFile) > 0;
    wci.FillColourTable(wciColours);
    deflated.FillColourTable(deflatedColours);
  }
  ~TSources() {
    ::unlink(wciFile.c_str());
    ::unlink(deflatedFile.c_str());
  }
};

TSources& Sources() {
  static TSources s;
  return s;
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5));
  return v[i];
}

// Args: zoom in percent, stretch mode, 0 pan sideways / 1 pan down,
// source 0 WCI / 1 KAP / 2 WCI with every row deflated.
void BM_PagerPan(benchmark::State& state) {
  TSources& s = Sources();
  if (!s.ok) {
    state.SkipWithError("test data charts/NZ61401.KAP is absent");
    return;
  }
  const double zoom = static_cast<double>(state.range(0)) / 100;
  const bool down = state.range(2) == 1;
  const int64_t which = state.range(3);
  TFrameCanvas canvas;
  TBitmapPager pager(&canvas);
  pager.SetDecoder(which == 1 ? static_cast<TPagerSource*>(&s.kap) : which == 2 ? &s.deflated : &s.wci);
  pager.Colours = which == 1 ? s.kapColours : which == 2 ? s.deflatedColours : s.wciColours;
  pager.WholeImageLimit = 0;
  pager.SetImageSize(s.wci.Width(), s.wci.Height());
  pager.StretchMode = static_cast<int>(state.range(1));
  pager.Zoom = zoom;
  pager.Active = true;
  const int32_t planeW = static_cast<int32_t>(s.wci.Width() * zoom);
  const int32_t planeH = static_cast<int32_t>(s.wci.Height() * zoom);

  std::vector<double> frames, cold;
  std::vector<double> decoded;
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    pager.ClearCache();
    int32_t x = std::max(0, (planeW - kViewW) / 2), y = std::max(0, (planeH - kViewH) / 2);
    int32_t dir = 1;
    double total = 0;
    for (int i = 0; i <= kSteps; ++i) {
      if (i > 0) {
        int32_t& pos = down ? y : x;
        const int32_t room = (down ? planeH - kViewH : planeW - kViewW);
        if (pos + dir * kStep < 0 || pos + dir * kStep > room) dir = -dir;
        pos = std::clamp(pos + dir * kStep, 0, std::max(room, 0));
      }
      canvas.SetOrigin(x, y);
      pager.SetDestRect({x, y}, {kViewW, kViewH});
      const int64_t before = pager.Stats().DecodedPixels;
      const Clock::time_point t0 = Clock::now();
      pager.Draw();
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      total += ms;
      if (i == 0) {
        cold.push_back(ms);
      } else {
        frames.push_back(ms);
        decoded.push_back(static_cast<double>(pager.Stats().DecodedPixels - before));
      }
    }
    state.SetIterationTime(total / 1000);
    benchmark::DoNotOptimize(canvas.Pixels().data());
  }
  state.counters["median_ms"] = Percentile(frames, 0.5);
  state.counters["p95_ms"] = Percentile(frames, 0.95);
  state.counters["max_ms"] = Percentile(frames, 1.0);
  state.counters["first_frame_ms"] = Percentile(cold, 0.5);
  double sum = 0;
  for (double d : decoded) sum += d;
  state.counters["decoded_px_per_frame"] = sum / static_cast<double>(decoded.size());
  state.counters["decoded_px_median"] = Percentile(decoded, 0.5);
}

void PanArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"zoom%", "mode", "down", "source"});
  for (int kap : {0, 1, 2})
    for (int down : {0, 1})
      for (int mode : {3, 1})
        for (int zoom : {25, 50, 100, 200}) b->Args({zoom, mode, down, kap});
}
BENCHMARK(BM_PagerPan)->Apply(PanArgs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
