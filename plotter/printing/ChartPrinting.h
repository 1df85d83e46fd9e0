// Printing: the chart page with its overlays (the print options window,
// the printer, the chart image in its day colours, positions, route, track,
// outlines, the scale bar, the title and the frame), and the list prints
// (route, positions, track, chart catalog) through the text window in
// preview mode. The page's geometry is plotter/core/PrintLayout.h.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plotter/WindowServices.h"

class QPainter;
class QPrinter;
class TBitmapPager;
class TChartDisplay;
class TChartList;
class TKAPDecoder;
class TPRInit;
class TRoute;
class TTrace;
class TWCIDecoder;
class TWorldConvert;
struct TPrintItems;
struct TPrintTrans;

class TChartPrinting final : public TWindowFeature {
 public:
  struct TObjects {
    TChartDisplay& chart;
    TBitmapPager& pager;
    std::unique_ptr<TKAPDecoder>& kap;
    std::unique_ptr<TWCIDecoder>& wci;
    TWorldConvert& converter;
    TChartList& catalog;
    TRoute& positions;
    TRoute& route;
    TTrace& trace;
  };
  // Wires the print items of the menus.
  TChartPrinting(const TWindowContext& c, const TObjects& objects);
  ~TChartPrinting();

  // "Print Chart": the options window, then the chart page; refused with a
  // notice when there is no chart or nothing of it in the view.
  void PrintImageClick();
  // The list prints: a text window in preview mode holding the heading and
  // the lines (shown through the window's modal-dialog seam).
  void PrintChartListClick();
  void RoutePrintClick();
  void WPPrint1Click();
  void TrackPrint1Click();
  // The print options window (made at start and kept for the run, so the
  // choices stay as the user left them).
  TPRInit* PrintOptions();
  // The printer of the run's chart prints.
  QPrinter& Printer();
  // Chooses the printer (the platform print dialog); false when cancelled.
  // Tests replace it.
  std::function<bool(QPrinter&)> ChoosePrinter;
  // One chart page onto the painter, whose origin is the page's printable
  // corner: the chart image, positions, route, track and outlines within
  // the chart's part of the page, the scale bar, the title and the frame.
  // The caller sets the converter's scale to 1 (as PrintImageClick does).
  void PrintChart(QPainter& painter, const TPrintTrans& map, const TPrintItems& items);

 private:
  class TPrintState;
  bool ChooseAPrinter();
  void PrintScaleBar(QPainter& painter, const TPrintTrans& map, int u);
  void ShowListPrint(const std::string& title, const std::string& heading, const std::vector<std::string>& lines);

  TObjects o_;
  std::unique_ptr<QPrinter> printer_;
  // "Printer Setup" chose where the chart print in hand goes.
  bool printTargetChosen_ = false;
};
