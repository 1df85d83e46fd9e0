// A full-chart print of NZ61401 (10 517 x 6 966 pixels) from the plotter's
// window to a PDF file (A4 landscape, 1200 dpi), as "Print Chart" with
// "Full Chart" does it: the time of the print, the size of the file and the
// process's peak memory against the pager's memory budget. The print is
// done once per iteration; the peak is the high-water mark of the whole
// process (ru_maxrss), so it is also reported before the first print.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QPageSize>
#include <QPrinter>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "charts/BMPager.h"
#include "foundation/Switches.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/printing/ChartPrinting.h"
#include "plotter/MainForm.h"
#include "plotter/PlotterApp.h"
#include "plotter/printing/PrintDialogs.h"
#include "plotter/core/TickTimer.h"

namespace {

double PeakMb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

void BM_PrintFullChart(benchmark::State& state) {
  const std::string kap = std::string(BRISMARE_TESTDATA_DIR) + "/charts/NZ61401.KAP";
  if (::access(kap.c_str(), R_OK) != 0) {
    state.SkipWithError("test data charts/NZ61401.KAP is absent");
    return;
  }
  const char* tmp = std::getenv("TMPDIR");
  const std::string dir =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_print_" + std::to_string(::getpid()) + "/";
  std::filesystem::create_directories(dir);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("BRISMARE_DIR", dir.c_str(), 1);
  ResetDataDir();
  int argc = 1;
  char arg0[] = "bench_print";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  const std::string ini = dir + "bench.ini";
  AtomicWriteFile(ini, "[Program Setup]\r\nCom Port=0\r\n");
  const std::string iArg = "-I" + ini;
  const char* args[] = {"bench_print", iArg.c_str()};
  SetProgramArguments(2, args);
  {
    TPlotterProgram program;
    T_Form& form = program.MainForm();
    form.ComTimer().SetEnabled(false);
    form.show();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    if (!form.LoadChart(kap)) {
      state.SkipWithError("NZ61401.KAP does not load");
      return;
    }
    form.RunDialog = [](QDialog& d) {
      auto* options = qobject_cast<TPRInit*>(&d);
      if (!options) return int(QDialog::Rejected);
      options->PRS_Area->setCurrentIndex(1);
      return int(QDialog::Accepted);
    };
    const std::string pdf = dir + "chart.pdf";
    QPrinter& printer = form.Printing().Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setPageSize(QPageSize(QPageSize::A4));
    const double before = PeakMb();
    for (auto _ : state) form.PrintImageClick();
    state.counters["peak_before_MB"] = before;
    state.counters["peak_MB"] = PeakMb();
    state.counters["budget_MB"] = form.Pager ? static_cast<double>(form.Pager->MemoryBudget) / 1048576.0 : 0;
    std::error_code ec;
    state.counters["pdf_MB"] = static_cast<double>(std::filesystem::file_size(pdf, ec)) / 1048576.0;
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_PrintFullChart)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
