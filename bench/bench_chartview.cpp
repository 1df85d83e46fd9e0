// The chart view as the user meets it: the plotter's main window on the
// offscreen platform with a chart view of 1920 x 1080 pixels showing
// NZ61401 (10 517 x 6 966 pixels), the boat, its heading stick, speed mark
// and four range rings in view. Each frame is the real widget painting into
// its backing store (QWidget::repaint), after:
//  - BM_ChartViewPan: the view moved 16 pixels (200 frames, sideways and
//    down, turning at the chart's edge) at zooms 0.5, 1 and 2;
//  - BM_ChartViewZoom: one zoom step about a point of the view, from 1 in
//    to the largest legal zoom, out to 0.1 and back to 1: the step and its
//    frame (the picture scaled), then the frame of the chart drawn anew at
//    the new zoom when the steps pause ("full_");
//  - BM_ChartSwitch: a switch between two large charts (NZ61401 as KAP and
//    as a WCI file), the load and the first frame.
// Reported: median, 95th percentile and worst time per frame (ms).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "charts/BMPager.h"
#include "charts/KAPctrl.h"
#include "charts/WCIWriter.h"
#include "charts/WCIctrl.h"
#include "foundation/Switches.h"
#include "foundation/Types.h"
#include "instruments/NMEA.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/ChartCanvas.h"
#include "plotter/MainForm.h"

namespace {

constexpr int kViewW = 1920;
constexpr int kViewH = 1080;

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5));
  return v[i];
}

// What the pager did during the frames: draws (one per painted frame) and
// chart pixels decoded.
struct TPagerWork {
  int64_t draws = 0;
  int64_t decoded = 0;
};

void Report(benchmark::State& state, const std::vector<double>& frames, const TPagerWork& work = {}) {
  if (!frames.empty() && work.draws > 0) {
    state.counters["draws_per_frame"] = static_cast<double>(work.draws) / static_cast<double>(frames.size());
    state.counters["decoded_px_per_frame"] = static_cast<double>(work.decoded) / static_cast<double>(frames.size());
  }
  state.counters["median_ms"] = Percentile(frames, 0.5);
  state.counters["p95_ms"] = Percentile(frames, 0.95);
  state.counters["max_ms"] = Percentile(frames, 1.0);
  state.counters["frames"] = static_cast<double>(frames.size());
}

std::string TempDir() {
  const char* dir = std::getenv("TMPDIR");
  std::string d = std::string(dir && *dir ? dir : "/tmp") + "/bench_chartview_" + std::to_string(::getpid()) + "/";
  std::filesystem::create_directories(d);
  return d;
}

// The application, the window and the two charts, made once.
struct TBench {
  bool ok = false;
  std::string why;
  std::string dir = TempDir();
  std::string kap = std::string(BRISMARE_TESTDATA_DIR) + "/charts/NZ61401.KAP";
  std::string wci;
  std::unique_ptr<QApplication> app;
  std::unique_ptr<T_Form> form;
  int argc = 1;
  char arg0[16] = "bench_chartview";
  char* argv[2] = {arg0, nullptr};

  TBench() {
    if (::access(kap.c_str(), R_OK) != 0) {
      why = "test data charts/NZ61401.KAP is absent";
      return;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("BRISMARE_DIR", dir.c_str(), 1);
    ResetDataDir();
    app = std::make_unique<QApplication>(argc, argv);
    // The second large chart: the same chart as a WCI file.
    wci = dir + "NZ61401.WCI";
    {
      TKAPDecoder d;
      if (d.Open(kap) <= 0) {
        why = "NZ61401.KAP does not open";
        return;
      }
      TColourTable colours;
      d.FillColourTable(colours);
      // Its calibration: the KAP header's, through the chart record.
      RChartInfo info;
      TChartHeadBaseCodec::ClearInfo(info);
      d.ReadInfo(info);
      info.Layout.Name = "Tasman Bay (WCI)";
      TChartHeadBaseCodec text;
      text.WriteInfo(info);
      TPagerImageSource source(d, colours, 127);
      TWCIWriter writer;
      writer.ConfirmReplace = false;
      if (writer.Convert(source, wci, text.Lines) <= 0) {
        why = "the WCI copy cannot be written";
        return;
      }
    }
    const std::string ini = dir + "bench.ini";
    AtomicWriteFile(ini,
                    "[Program Setup]\r\nCom Port=0\r\nShow Rings=4\r\nSpeed Mark=60\r\n"
                    "[Program State]\r\nWinLeft=0\r\nWinTop=0\r\nWinWidth=2200\r\nWinHeight=1200\r\nWinState=0\r\n");
    const std::string iArg = "-I" + ini;
    const char* args[] = {"bench_chartview", iArg.c_str()};
    SetProgramArguments(2, args);
    form = std::make_unique<T_Form>();
    form->ComTimer().SetEnabled(false);
    form->show();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    // The chart view at exactly 1920 x 1080.
    for (int i = 0; i < 3; ++i) {
      const QSize c = form->MapCanvas->size();
      if (c == QSize(kViewW, kViewH)) break;
      form->resize(form->width() + kViewW - c.width(), form->height() + kViewH - c.height());
      for (int k = 0; k < 5; ++k) QCoreApplication::processEvents();
    }
    if (form->MapCanvas->size() != QSize(kViewW, kViewH)) {
      why = "the chart view is not 1920 x 1080";
      return;
    }
    if (!form->LoadChart(kap)) {
      why = "NZ61401.KAP does not load";
      return;
    }
    // The boat in the middle of Tasman Bay, under way.
    TNMEAINFO& n = form->Parser()->Info;
    n.Pos = {173.1 * kDegToRad, -41.05 * kDegToRad};
    n.SOG = 6;
    n.Heading = 45 * kDegToRad;
    form->Chart().UpdateView();
    ok = true;
  }
  ~TBench() {
    form.reset();
    app.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  // One frame of the widget, painted into its backing store.
  double Frame() {
    const Clock::time_point t0 = Clock::now();
    form->MapCanvas->repaint();
    return Ms(t0);
  }
};

TBench& Bench() {
  static TBench b;
  return b;
}

// Arg: zoom in percent.
void BM_ChartViewPan(benchmark::State& state) {
  TBench& b = Bench();
  if (!b.ok) {
    state.SkipWithError(b.why.c_str());
    return;
  }
  T_Form& f = *b.form;
  if (!f.LoadChart(b.kap)) {
    state.SkipWithError("the chart does not load");
    return;
  }
  f.Chart().ZoomTo({kViewW / 2.0, kViewH / 2.0}, static_cast<double>(state.range(0)) / 100);
  f.Chart().CentreOnPosition(f.Parser()->Info.Pos);
  std::vector<double> frames;
  TPagerWork work;
  for (auto _ : state) {
    double total = b.Frame();
    const TBitmapPager::TStats before = f.Pager->Stats();
    for (bool down : {false, true}) {
      int dir = 1;
      for (int i = 0; i < 100; ++i) {
        const TPoint s = f.Chart().View.Scroll();
        TPoint next = down ? TPoint{s.X, s.Y + 16 * dir} : TPoint{s.X + 16 * dir, s.Y};
        const TPoint panel = f.Chart().View.PanelSize();
        if (next.X < 0 || next.Y < 0 || next.X > panel.X - kViewW || next.Y > panel.Y - kViewH) {
          dir = -dir;
          next = down ? TPoint{s.X, s.Y + 16 * dir} : TPoint{s.X + 16 * dir, s.Y};
        }
        const Clock::time_point t0 = Clock::now();
        f.Chart().ScrollTo(next);
        f.MapCanvas->repaint();
        const double ms = Ms(t0);
        frames.push_back(ms);
        total += ms;
      }
    }
    work.draws += f.Pager->Stats().Draws - before.Draws;
    work.decoded += f.Pager->Stats().DecodedPixels - before.DecodedPixels;
    state.SetIterationTime(total / 1000);
  }
  Report(state, frames, work);
}
BENCHMARK(BM_ChartViewPan)->Arg(50)->Arg(100)->Arg(200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ChartViewZoom(benchmark::State& state) {
  TBench& b = Bench();
  if (!b.ok) {
    state.SkipWithError(b.why.c_str());
    return;
  }
  T_Form& f = *b.form;
  if (!f.LoadChart(b.kap)) {
    state.SkipWithError("the chart does not load");
    return;
  }
  const TFPoint at{kViewW * 0.4, kViewH * 0.6};
  // Each step as the user sees it at once (the picture scaled, a fresh
  // picture of the view taken first), and the chart drawn at the new zoom
  // when the steps pause.
  std::vector<double> frames, full;
  TPagerWork work;
  for (auto _ : state) {
    f.Chart().ZoomTo(at, 1.0);
    f.Chart().CentreOnPosition(f.Parser()->Info.Pos);
    double total = b.Frame();
    // In to the largest zoom, out to 0.1, in again to 1.
    std::vector<int> steps;
    for (int i = 0; i < 6; ++i) steps.push_back(-1);
    for (int i = 0; i < 16; ++i) steps.push_back(1);
    for (int i = 0; i < 10; ++i) steps.push_back(-1);
    const TBitmapPager::TStats before = f.Pager->Stats();
    for (int delta : steps) {
      Clock::time_point t0 = Clock::now();
      f.Chart().ZoomStep(at, delta);
      f.MapCanvas->repaint();
      const double step = Ms(t0);
      t0 = Clock::now();
      f.Chart().SettleZoom();
      f.MapCanvas->repaint();
      const double settled = Ms(t0);
      if (std::getenv("BENCH_VERBOSE"))
        std::fprintf(stderr, "zoom %.3f: step %.2f ms, settled %.2f ms\n", f.Chart().View.Zoom(), step, settled);
      frames.push_back(step);
      full.push_back(settled);
      total += step + settled;
    }
    work.draws += f.Pager->Stats().Draws - before.Draws;
    work.decoded += f.Pager->Stats().DecodedPixels - before.DecodedPixels;
    state.SetIterationTime(total / 1000);
  }
  Report(state, frames);
  state.counters["full_median_ms"] = Percentile(full, 0.5);
  state.counters["full_p95_ms"] = Percentile(full, 0.95);
  state.counters["full_max_ms"] = Percentile(full, 1.0);
  state.counters["decoded_px_per_full_frame"] = static_cast<double>(work.decoded) / static_cast<double>(full.size());
}
BENCHMARK(BM_ChartViewZoom)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ChartSwitch(benchmark::State& state) {
  TBench& b = Bench();
  if (!b.ok) {
    state.SkipWithError(b.why.c_str());
    return;
  }
  T_Form& f = *b.form;
  std::vector<double> switches;
  bool toWci = true;
  for (auto _ : state) {
    double total = 0;
    for (int i = 0; i < 10; ++i) {
      const Clock::time_point t0 = Clock::now();
      if (!f.LoadChart(toWci ? b.wci : b.kap)) {
        state.SkipWithError("a chart does not load");
        return;
      }
      f.Chart().CentreOnPosition(f.Parser()->Info.Pos);
      f.MapCanvas->repaint();
      const double ms = Ms(t0);
      switches.push_back(ms);
      total += ms;
      toWci = !toWci;
    }
    state.SetIterationTime(total / 1000);
  }
  Report(state, switches);
}
BENCHMARK(BM_ChartSwitch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
