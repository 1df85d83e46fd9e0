#include "plotter/printing/ChartPrinting.h"

#include <QApplication>
#include <QDateTime>
#include <QFontMetrics>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextCursor>

#include <cmath>

#include "charts/BMPager.h"
#include "charts/ChartList.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "platform/Questions.h"
#include "platform/qt/QtCanvas.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/SysInfo.h"
#include "plotter/printing/PrintDialogs.h"
#include "plotter/core/Dashboard.h"
#include "plotter/core/PrintLayout.h"
#include "plotter/core/TickTimer.h"
#include "sharedui/SpyFrm.h"

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

constexpr double kMilesPerRadian = 3437.7467707849392526;

QColor Plain(TColor c) {
  const uint32_t rgb = ColorToRGB(c);
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

}  // namespace

// Everything the print changes in the window, put back on every way out.
class TChartPrinting::TPrintState {
 public:
  TPrintState(IWindowServices& window, const TObjects& o)
      : w_(window), o_(o), tickWasOn_(window.ComTimer().Enabled()) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    w_.ComTimer().SetEnabled(false);
    // Positions convert to chart pixels.
    o_.converter.SetScale(1.0, 1.0);
    // The chart prints in its day colours, whatever the shading on screen.
    TBitmapPager& pager = o_.pager;
    savedColours_ = pager.Colours;
    if (o_.kap && pager.Decoder == o_.kap.get() && o_.kap->IsOpen()) {
      const int b = o_.kap->Brightness;
      o_.kap->Brightness = 0;
      o_.kap->FillColourTable(pager.Colours);
      o_.kap->Brightness = b;
    } else if (o_.wci && pager.Decoder == o_.wci.get() && o_.wci->IsOpen()) {
      const int b = o_.wci->Brightness;
      o_.wci->Brightness = 0;
      o_.wci->FillColourTable(pager.Colours);
      o_.wci->Brightness = b;
    }
  }
  ~TPrintState() {
    o_.pager.Colours = savedColours_;
    o_.converter.SetScale(o_.chart.View.Zoom(), o_.chart.View.Zoom());
    w_.ComTimer().SetEnabled(tickWasOn_);
    QApplication::restoreOverrideCursor();
    o_.chart.Repaint();
  }
  TPrintState(const TPrintState&) = delete;
  TPrintState& operator=(const TPrintState&) = delete;

 private:
  IWindowServices& w_;
  const TObjects& o_;
  bool tickWasOn_;
  TColourTable savedColours_{};
};

TChartPrinting::TChartPrinting(const TWindowContext& c, const TObjects& objects) : TWindowFeature(c), o_(objects) {
  WireCommand("FMPrintChart", [this] { PrintImageClick(); });
  WireCommand("FMPrintList", [this] { PrintChartListClick(); });
  WireCommand("FMRoutePrint", [this] { RoutePrintClick(); });
  WireCommand("RFPrint", [this] { RoutePrintClick(); });
  WireCommand("WPPrint", [this] { WPPrint1Click(); });
  WireCommand("TrkPrint", [this] { TrackPrint1Click(); });
}

TChartPrinting::~TChartPrinting() = default;

TPRInit* TChartPrinting::PrintOptions() {
  if (forms_.PRInit && !forms_.PRInit->OnPrinterSetup)
    forms_.PRInit->OnPrinterSetup = [this] { printTargetChosen_ = ChooseAPrinter() || printTargetChosen_; };
  return forms_.PRInit;
}

QPrinter& TChartPrinting::Printer() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer_;
}

bool TChartPrinting::ChooseAPrinter() {
  QPrinter& printer = Printer();
  if (ChoosePrinter) return ChoosePrinter(printer);
  QPrintDialog dialog(&printer, &window_.Window());
  return dialog.exec() == QDialog::Accepted;
}

void TChartPrinting::PrintImageClick() {
  if (!flags_.Has(pfChartLoaded) || !o_.converter.Valid) {
    AppMessageBox("There is no chart to print.", mfOk | mfIconInformation);
    return;
  }
  TPRInit* options = PrintOptions();
  printTargetChosen_ = false;
  if (!options || window_.ExecDialog(*options) != QDialog::Accepted) return;
  const TChartDisplay& chart = o_.chart;
  const TPrintRect src = PrintSource(options->FullChart(), chart.View.Scroll(), chart.ViewSize(), chart.View.Zoom(),
                                     chart.ChartInfo.Width, chart.ChartInfo.Height);
  if (src.Empty()) {
    AppMessageBox("Nothing of the chart is in the view to print.", mfOk | mfIconInformation);
    return;
  }
  QPrinter& printer = Printer();
  // The orientation first: the page's size depends on it.
  printer.setPageOrientation(PrintLandscape(src) ? QPageLayout::Landscape : QPageLayout::Portrait);
  // Without a printer the print goes to a file the user names: every print
  // asks where it goes (unless "Printer Setup" just asked), so a file
  // printed before is never written over without a question.
  if (printer.outputFormat() == QPrinter::PdfFormat && !printTargetChosen_ && !ChooseAPrinter()) return;
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  const TPrintRect dest = PrintDest(src, page.width(), page.height());
  if (dest.Empty()) return;
  TPrintTrans map;
  map.SrcX = src.X;
  map.SrcY = src.Y;
  map.SrcWidth = src.Width;
  map.SrcHeight = src.Height;
  map.DestWidth = dest.Width;
  map.DestHeight = dest.Height;
  QPainter painter;
  {
    TPrintState state(window_, o_);
    if (!painter.begin(&printer)) {
      AppMessageBox("The printer could not be started.", mfOk | mfIconError);
      return;
    }
    PrintChart(painter, map, options->Items());
    painter.end();
  }
}

void TChartPrinting::PrintChart(QPainter& painter, const TPrintTrans& map, const TPrintItems& items) {
  const int u = PrintUnit(QFontMetrics(QFont(), painter.device()).height());
  const QRect destRect(0, 0, map.DestWidth, map.DestHeight);
  const TWindowColours plain = ComputeWindowColours(0, sys_);
  auto toPage = [&](const TFPoint& pos, QPoint& out) {
    TPoint px, pg;
    if (!o_.converter.GeoToPixelInt(pos, px) || !map.ToPage(px, pg)) return false;
    out = QPoint(pg.X, pg.Y);
    return true;
  };

  // The chart image.
  if (items.chart) {
    if (o_.pager.Active) {
      TQtCanvas canvas(painter, destRect.width() + 1, destRect.height() + 1);
      o_.pager.DrawTo(canvas, {map.SrcX, map.SrcY, map.SrcX + map.SrcWidth, map.SrcY + map.SrcHeight},
                    {0, 0, map.DestWidth, map.DestHeight});
    } else if (!o_.chart.ChartImageDay.isNull()) {
      // The day colours, whatever the shading on screen.
      painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
      painter.drawImage(destRect, o_.chart.ChartImageDay, QRect(map.SrcX, map.SrcY, map.SrcWidth, map.SrcHeight));
    }
  }

  // Everything over the chart stays on the chart's part of the page.
  painter.save();
  painter.setClipRect(destRect);
  painter.setBrush(Qt::NoBrush);
  QFont small = painter.font();
  small.setPointSize(8);
  painter.setFont(small);

  if (items.positions != TPrintNames::None) {
    const QColor c = Plain(plain.waypointNormal);
    painter.setPen(QPen(c, u / 2));
    const int h = kPositionSymbolSizes[std::clamp(sys_.WaypointSize, 0, 3)] * u / 4;
    for (int i = 0; i < o_.positions.Count(); ++i) {
      const TNavShape* s = o_.positions.At(i);
      QPoint p;
      if (!s || !s->Visible || !toPage(s->Position, p)) continue;
      painter.drawRect(QRect(QPoint(p.x() - h, p.y() - h), QPoint(p.x() + h, p.y() + h)));
      if (items.positions == TPrintNames::WithNames && !s->Caption.empty())
        painter.drawText(QPoint(p.x() - h, p.y() + h + 3 + QFontMetrics(small, painter.device()).ascent()),
                         Text(s->Caption));
    }
  }

  if (items.route != TPrintNames::None) {
    const QColor c = Plain(plain.routeNormal);
    painter.setPen(QPen(c, u / 2));
    const int r = (kRouteSymbolSizes[std::clamp(sys_.RouteSize, 0, 3)] - 2) * u / 4;
    // The pen's position: the last point placed (none before the first).
    QPoint last;
    bool hasLast = false;
    for (int i = 0; i < o_.route.Count(); ++i) {
      const TNavShape* s = o_.route.At(i);
      QPoint p;
      if (!s || !toPage(s->Position, p)) {
        hasLast = false;
        continue;
      }
      if (s->Visible) {
        if (hasLast) painter.drawLine(last, p);
        painter.drawEllipse(p, r, r);
        if (items.route == TPrintNames::WithNames)
          painter.drawText(QPoint(p.x() - r, p.y() + r + 3 + QFontMetrics(small, painter.device()).ascent()),
                           Text(s->Caption.empty() ? "WP:" + std::to_string(i) : s->Caption));
      }
      last = p;
      hasLast = true;
    }
  }

  // The whole track that is shown, cut at the chart's part of the page.
  if (items.track && o_.trace.Visible() && o_.trace.IsOpen() && o_.trace.Count() > 0) {
    painter.setPen(QPen(Plain(plain.track), u / 2));
    QPolygon line;
    auto flush = [&] {
      if (line.size() > 1) painter.drawPolyline(line);
      line.clear();
    };
    for (const TIntPos& ip : o_.trace.Points()) {
      QPoint p;
      if (toPage(IntPosToFPoint(ip), p))
        line << p;
      else
        flush();
    }
    flush();
  }

  if (items.outlines) {
    painter.setPen(QPen(Plain(plain.outline), u / 4));
    const int32_t scale = o_.chart.ChartInfo.Layout.Scale;
    const int32_t smallest = sys_.OutlineFactor > 0 ? scale / sys_.OutlineFactor : scale;
    for (int i = 0; i < o_.catalog.Count(); ++i) {
      const RChartLayout* e = o_.catalog.Entry(i);
      if (!e || e->Scale < smallest || e->Scale > scale || e->Border.size() < 2) continue;
      if (sys_.BrowseGroups != 0 && (e->GroupMask & sys_.BrowseGroups) == 0) continue;
      if (!FRectsIntersect(e->Bounds, o_.chart.ChartInfo.Layout.Bounds)) continue;
      QPolygon outline;
      bool ok = true;
      for (const TFPoint& b : e->Border) {
        QPoint p;
        if (!(ok = toPage(b, p))) break;
        outline << p;
      }
      if (!ok) continue;
      outline << outline.front();
      painter.drawPolyline(outline);
    }
  }
  painter.restore();

  PrintScaleBar(painter, map, u);

  // The title line on white, and the frame.
  painter.save();
  painter.setBackgroundMode(Qt::OpaqueMode);
  painter.setBackground(Qt::white);
  painter.setPen(Qt::black);
  // In the 8-point font of the names and the scale bar.
  painter.setFont(small);
  const QDateTime now = QDateTime::currentDateTime();
  const QLocale locale;
  const QString title = QStringLiteral("Brismare II  ") + locale.toString(now.date(), QLocale::ShortFormat) +
                        QLatin1Char(' ') + locale.toString(now.time(), QLocale::LongFormat) + QStringLiteral(" [") +
                        Text(o_.chart.ChartInfo.Layout.Name) + QLatin1Char(']');
  painter.drawText(QPoint(7, 6 + QFontMetrics(painter.font(), painter.device()).ascent()), title);
  painter.restore();
  painter.setPen(QPen(Qt::black, 0));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(destRect);
}

void TChartPrinting::PrintScaleBar(QPainter& painter, const TPrintTrans& map, int u) {
  TFPoint a, b;
  if (!o_.converter.PixelToGeo({double(map.SrcX), double(map.SrcY)}, a) ||
      !o_.converter.PixelToGeo({double(map.SrcX + map.SrcWidth), double(map.SrcY + map.SrcHeight)}, b))
    return;
  const TScaleBarLength bar = ScaleBarLength(std::fabs(GeoDistance(a, b) * kMilesPerRadian / 4));
  if (!bar.Shown) return;
  painter.save();
  QFont small = painter.font();
  small.setPointSize(8);
  painter.setFont(small);
  const QFontMetrics m(small, painter.device());
  const int w = m.horizontalAdvance(QLatin1Char('X')), h = m.height();
  const TPoint s{8 + w, 20 + h};
  // The bar's end: the chart position under its start, the bar's length
  // due east.
  TPoint chartPx, endPx, e;
  TFPoint start;
  bool ok = map.FromPage(s, chartPx) && o_.converter.PixelToGeo({double(chartPx.X), double(chartPx.Y)}, start);
  if (ok) {
    const double c = std::cos(start.Y);
    ok = std::fabs(c) > 1e-6;
    if (ok) {
      TFPoint end = start;
      end.X += bar.Miles / c / kMilesPerRadian;
      ok = o_.converter.GeoToPixelInt(end, endPx) && map.ToPage(endPx, e);
    }
  }
  const int length = ok ? e.X - s.X : 0;
  if (length > 0) {
    painter.setPen(QPen(Qt::black, u / 2));
    painter.drawLine(s.X, s.Y, s.X + length, s.Y);
    const int step = length / bar.Divisions;
    for (int i = 0; i <= bar.Divisions; ++i) painter.drawLine(s.X + i * step, s.Y, s.X + i * step, s.Y + h / 2);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(e.X + 10, s.Y - 10), Text(bar.Label));
  }
  painter.restore();
}

void TChartPrinting::ShowListPrint(const std::string& title, const std::string& heading, const std::vector<std::string>& lines) {
  TSpyFrm window(&window_.Window());
  window.SetPreview(title);
  window.AddLine(heading);
  for (const std::string& line : lines) window.AddLine(line);
  // The list from its first line and column (appending leaves the view at
  // the end of the last line).
  window.SpyTxt->moveCursor(QTextCursor::Start);
  window_.ExecDialog(window);
}

void TChartPrinting::RoutePrintClick() {
  std::vector<std::string> lines;
  o_.route.RouteList(lines);
  ShowListPrint(messages_[16] + " " + messages_[74], messages_[71], lines);
}

void TChartPrinting::WPPrint1Click() {
  std::vector<std::string> lines;
  o_.positions.PositionList(lines);
  ShowListPrint(messages_[18] + " " + messages_[74], messages_[72], lines);
}

void TChartPrinting::TrackPrint1Click() {
  std::vector<std::string> lines;
  o_.trace.ToText(lines, true);
  ShowListPrint(messages_[17] + " " + messages_[74], messages_[73], lines);
}

void TChartPrinting::PrintChartListClick() {
  std::vector<std::string> lines;
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::string search = ChartSearchPath(sys_.ChartDir);
    for (int i = 0; i < o_.catalog.Count(); ++i)
      if (const RChartLayout* e = o_.catalog.Entry(i))
        lines.push_back(ChartListLine(i, *e, FindCatalogChartFile(e->FileName, search)));
    QApplication::restoreOverrideCursor();
  }
  ShowListPrint(messages_[70] + " " + messages_[74], ChartListHeading(messages_[56], messages_[58]), lines);
}
