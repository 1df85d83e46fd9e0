// The chart view: making it, and opening charts (TChartDisplay,
// ChartDisplay.h).
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <utility>

#include "charts/BMPager.h"
#include "charts/ChartFile.h"
#include "charts/ChartGeo.h"
#include "charts/ChartList.h"
#include "charts/ImageChart.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "geodesy/Datum.h"
#include "instruments/NMEA.h"
#include "platform/Questions.h"
#include "plotter/dialogs/AuxDialogs.h"
#include "plotter/ChartCanvas.h"
#include "plotter/chartview/ChartCursors.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/Messages.h"
#include "plotter/core/SysInfo.h"
#include "plotter/core/TickTimer.h"
#include "plotter/core/UpdateCycle.h"

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

// The picture of a plain image chart as the view draws it.
QImage ToQImage(const TChartImage& image) {
  if (image.Empty() || image.Width <= 0 || image.Height <= 0) return {};
  if (image.Format == TImageFormat::Rgb32) {
    QImage q(reinterpret_cast<const uchar*>(image.Pixels.data()), image.Width, image.Height,
             static_cast<qsizetype>(image.Stride), QImage::Format_RGB32);
    return q.copy();
  }
  QImage q(reinterpret_cast<const uchar*>(image.Pixels.data()), image.Width, image.Height,
           static_cast<qsizetype>(image.Stride), QImage::Format_Indexed8);
  QList<QRgb> table;
  for (TRgb c : image.Palette) table.push_back(c | 0xFF000000u);
  while (table.size() < 256) table.push_back(0xFF000000u);
  q.setColorTable(table);
  // Drawn converted once, not at every paint.
  return q.convertToFormat(QImage::Format_RGB32);
}

// An image chart's picture at a shade level (ShadeRgb, colour by colour);
// the picture itself at level 0.
QImage ShadedImage(const QImage& day, int level) {
  if (level == 0 || day.isNull()) return day;
  std::array<uint32_t, 256> r{}, g{}, b{};
  for (uint32_t v = 0; v < 256; ++v) {
    const TRgb c = ShadeRgb(level, (v << 16) | (v << 8) | v);
    r[v] = c & 0xFF0000u;
    g[v] = c & 0x00FF00u;
    b[v] = c & 0x0000FFu;
  }
  QImage out = day.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      const uint32_t p = row[x];
      row[x] = 0xFF000000u | r[(p >> 16) & 0xFF] | g[(p >> 8) & 0xFF] | b[p & 0xFF];
    }
  }
  return out;
}

// Clicks on the GPS box: one finds the boat, a double click opens the best
// chart for it.
class TGpsBoxClicks final : public QObject {
 public:
  TGpsBoxClicks(QObject* parent, std::function<void()> click, std::function<void()> doubleClick)
      : QObject(parent), click_(std::move(click)), doubleClick_(std::move(doubleClick)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
      click_();
    else if (e->type() == QEvent::MouseButtonDblClick)
      doubleClick_();
    return QObject::eventFilter(watched, e);
  }

 private:
  std::function<void()> click_;
  std::function<void()> doubleClick_;
};

// Restores what a chart load changed for its duration, on every way out.
class TLoadScope {
 public:
  TLoadScope(TPlotterFlags& flags, ITickTimer& timer) : flags_(flags), timer_(timer), timerWasOn_(timer.Enabled()) {
    flags_.Include(pfChartLoading);
    timer_.SetEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~TLoadScope() {
    QApplication::restoreOverrideCursor();
    flags_.Exclude(pfChartLoading);
    if (timerWasOn_) timer_.SetEnabled(true);
  }
  TLoadScope(const TLoadScope&) = delete;
  TLoadScope& operator=(const TLoadScope&) = delete;

 private:
  TPlotterFlags& flags_;
  ITickTimer& timer_;
  bool timerWasOn_;
};

}  // namespace

// ---------------------------------------------------------------------------
// The view

TChartDisplay::TChartDisplay(const TWindowContext& c, const TObjects& objects, TChartCanvas& canvas,
                             TChartCursors& cursors)
    : TWindowFeature(c),
      o_(objects),
      canvas_(canvas),
      cursors_(cursors),
      markerBox_(Widget<QFrame>("DB_MARKER")),
      markerLat_(Widget<QLabel>("DB_LAT")),
      markerLong_(Widget<QLabel>("DB_LONG")),
      markerHead_(Widget<QLabel>("DB_head")),
      markerDist_(Widget<QLabel>("DB_Dist")),
      measureButton_(Widget<QPushButton>("MeasureLab")),
      centerButton_(Widget<QPushButton>("CenterLab")),
      zoomSettle_(std::make_unique<QTimer>()) {
  View.ResetZoom();
  // The canvas is the chart view's viewport.
  canvas.OnPaint = [this](QPainter& p, const QRect& r) { PaintChart(p, r); };
  canvas.OnMousePress = [this](QMouseEvent* e) { ChartMousePress(e); };
  canvas.OnMouseMove = [this](QMouseEvent* e) { ChartMouseMove(e); };
  canvas.OnMouseRelease = [this](QMouseEvent* e) { ChartMouseRelease(e); };
  canvas.OnDoubleClick = [this](QMouseEvent* e) { ChartDoubleClick(e); };
  canvas.OnWheel = [this](QWheelEvent* e) { ChartWheel(e); };
  canvas.OnResize = [this](const QSize& before, const QSize& after) { ChartResized(before, after); };
  View.SetViewSize({canvas.width(), canvas.height()});
  zoomSettle_->setObjectName(QStringLiteral("ZoomSettle"));
  zoomSettle_->setSingleShot(true);
  zoomSettle_->setInterval(kZoomSettleMs);
  QObject::connect(zoomSettle_.get(), &QTimer::timeout, &links_, [this] { SettleZoom(); });
  WireCommands();
}

TChartDisplay::~TChartDisplay() {
  // The canvas outlives the view: it paints nothing more through it.
  canvas_.OnPaint = nullptr;
  canvas_.OnMousePress = canvas_.OnMouseMove = canvas_.OnMouseRelease = canvas_.OnDoubleClick = nullptr;
  canvas_.OnWheel = nullptr;
  canvas_.OnResize = nullptr;
}

void TChartDisplay::AddOverlay(TOverlayLevel level, IChartOverlay& overlay) {
  auto at = std::find_if(overlays_.begin(), overlays_.end(), [level](const auto& e) { return e.first > level; });
  overlays_.insert(at, {level, &overlay});
}

void TChartDisplay::WireCommands() {
  auto wire = [this](const char* name, auto&& f) {
    WireCommand(name, [f] {
      try {
        f();
      } catch (...) {
        // A failing command must not take the window with it.
      }
    });
  };
  auto menuPoint = [this] { return TFPoint{double(MenuPixel.x()), double(MenuPixel.y())}; };
  for (const char* n : {"FMListAll", "NACListAll", "RPListAll", "RFListAll"}) wire(n, [this] { ListAllChartsClick(); });
  for (const char* n : {"FMPrevious", "NACPrevious", "RPLast", "RFLast"}) wire(n, [this] { Last1Click(); });
  for (const char* n : {"FMNotListed", "RFNotListed"}) wire(n, [this] { XOpenClick(); });
  for (const char* n : {"FMOutline", "RFOutline"}) {
    if (QAction* a = window_.MenuItem(n)) a->setCheckable(true);
    wire(n, [this] { OutlineMnuClick(); });
  }
  wire("ChartInfo1", [this] { MChartInfo1Click(); });
  wire("NACBestChart", [this] { FindBest1Click(); });
  wire("NACFindBoat", [this] { DBBLatClick(); });
  for (const char* n : {"NACSmallerScale", "RPSmallerScale"}) wire(n, [this] { SmallerScale1Click(); });
  for (const char* n : {"NACOnPosition", "RPOnPosition"}) wire(n, [this] { OnPosition1Click(); });
  wire("RPBestChart", [this] { NextChart1Click(); });
  wire("NAMarkCursor", [this] { SetMark1Click(); });
  const std::pair<const char*, double> zooms[] = {{"MZ12", 0.125}, {"MZ25", 0.25}, {"MZ50", 0.5}, {"MZ100", 1},
                                                  {"MZ200", 2},     {"MZ400", 4},   {"RZ25", 0.25}, {"RZ50", 0.5},
                                                  {"RZ100", 1},     {"RZ200", 2},   {"RZ400", 4}};
  for (const auto& [name, zoom] : zooms) {
    const double z = zoom;
    wire(name, [this, z, menuPoint] { ZoomTo(menuPoint(), z); });
  }
  // A context menu notes the position under the mouse and ends any drag;
  // in AUTOMATIC the chart commands are not offered.
  QMenu* const normal = window_.SubMenu("NormalPopup");
  QMenu* const editor = window_.SubMenu("RtePopup");
  for (QMenu* menu : {normal, editor}) {
    if (!menu) continue;
    QObject::connect(menu, &QMenu::aboutToShow, &links_, [this] {
      MenuPixel = canvas_.mapFromGlobal(QCursor::pos());
      MenuPosValid = PositionAtView({double(MenuPixel.x()), double(MenuPixel.y())}, MenuPos);
      View.ResetDrag();
      if (QMenu* charts = window_.SubMenu("NAC")) charts->menuAction()->setVisible(!flags_.Has(pfAutomatic));
    });
  }
  QObject::connect(&canvas_, &QWidget::customContextMenuRequested, &links_, [this, normal, editor](const QPoint& pos) {
    // On a position or route symbol: the symbol's own menu.
    for (const auto& [level, overlay] : overlays_)
      if (overlay->ContextMenu(pos, View.Scroll())) return;
    QMenu* menu = flags_.Has(pfRouteEditor) ? editor : normal;
    menu->popup(canvas_.mapToGlobal(pos));
  });
  // The double-click action's buttons (also switched by Ctrl+E) set the
  // cursor of the chart.
  QObject::connect(&measureButton_, &QPushButton::toggled, &links_, [this](bool on) {
    if (on) MeasureLabClick();
  });
  QObject::connect(&centerButton_, &QPushButton::toggled, &links_, [this](bool on) {
    if (on) CenterLabClick();
  });
  QFrame& gpsBox = Widget<QFrame>("DB_GPS");
  gpsBox.installEventFilter(new TGpsBoxClicks(&links_, [this] { DBBLatClick(); }, [this] { DBBLatDblClick(); }));
  // The marker and the man overboard mark.
  WireCommand("MarkMOB1", [this] { MANOVERBOARD1Click(); });
  WireCommand("NAClearMarker", [this] { ClearMarker(); });
}

// ---------------------------------------------------------------------------
// Opening charts

bool TChartDisplay::LoadChart(const std::string& file, bool interactive) {
  // A load asked for from inside another (through a dialog's event loop)
  // is turned away.
  if (flags_.Has(pfChartLoading)) return false;
  // The pager cannot be changed under a draw.
  if (o_.pager.Busy()) return false;
  TChartLoadOptions options;
  options.searchPath = o_.chartFile.SearchPath;
  options.datum = &o_.datum;
  options.datumSettings.KapZeroShiftMode = sys_.UseKAPZeroShift;
  options.datumSettings.ReverseKapShift = sys_.ReverseKAPZeroShift;
  options.datumSettings.GpsDatum = sys_.GPSDatum;
  options.brightness = ShadeValueForLevel(window_.ShadeLevel(), sys_);
  options.wholeImageLimit = int64_t{sys_.DiskmapImageMem} * 1024;
  options.codec = &o_.codec;
  // Only someone at the keyboard can name an unknown datum.
  if (interactive) {
    options.askAlias = [this](const std::string& name) {
      if (AskDatumAlias) return AskDatumAlias(name);
      return forms_.DatFrm && forms_.DatFrm->Ask(o_.datum, name);
    };
  }

  TChartLoadError error;
  std::string notice;
  bool ok = false;
  {
    TLoadScope scope(flags_, window_.ComTimer());
    window_.Window().setWindowTitle(Text("Brismare " + messages_[msgLoadingChart]));
    TOpenedChart chart;
    try {
      ok = OpenChartForView(file, options, chart, error);
      if (ok) {
        notice = chart.Notice;
        CommitChart(std::move(chart));
      }
    } catch (const std::exception& e) {
      ok = false;
      error = {"Chart error on reading " + file, e.what()};
    } catch (...) {
      ok = false;
      error = {"Chart error on reading " + file, "unknown error"};
    }
  }
  UpdateTitle();
  if (!ok) {
    ChartFailed(file, error, interactive);
    return false;
  }
  if (!notice.empty()) window_.ShowNotice(notice);
  return true;
}

void TChartDisplay::ChartFailed(const std::string& file, const TChartLoadError& error, bool interactive) {
  (void)file;
  window_.ShowNotice(error.Reason.empty() ? error.Message : error.Message + ": " + error.Reason);
  if (interactive) AppMessageBox(error.Message, mfOk | mfIconError);
}

void TChartDisplay::RefreshChartShade() {
  if (ChartKind != TChartKind::Image || ChartImageDay.isNull()) return;
  ChartImage = ShadedImage(ChartImageDay, ShadeValueForLevel(window_.ShadeLevel(), sys_));
  zoomFrame_ = QImage();
}

void TChartDisplay::CommitChart(TOpenedChart&& chart) {
  zoomFrame_ = QImage();
  zoomSettle_->stop();
  // What can fail for want of memory comes before anything changes.
  QImage image = chart.Kind == TChartKind::Image ? ToQImage(chart.Image) : QImage();
  chart.Image.Clear();
  o_.pager.Stop();
  PreviousChartFile = CurrentChartFile;
  CurrentChartFile = chart.File;
  View.RememberForPrevious();

  // The decoders: the new chart's takes the place of the one of its kind;
  // the other is closed.
  if (chart.Kap) {
    o_.kap = std::move(chart.Kap);
    if (o_.wci) o_.wci->Close();
  } else if (chart.Wci) {
    o_.wci = std::move(chart.Wci);
    if (o_.kap) o_.kap->Close();
  } else {
    if (o_.kap) o_.kap->Close();
    if (o_.wci) o_.wci->Close();
  }
  ChartKind = chart.Kind;
  ChartInfo = std::move(chart.Info);
  ExtendedCorners = std::move(chart.ExtendedCorners);
  o_.converter = chart.Converter;

  TBitmapPager& pager = o_.pager;
  if (ChartKind == TChartKind::Image) {
    pager.ClearCache();
    pager.Active = false;
    ChartImageDay = std::move(image);
    ChartImage = ShadedImage(ChartImageDay, ShadeValueForLevel(window_.ShadeLevel(), sys_));
  } else {
    ChartImageDay = QImage();
    ChartImage = QImage();
    pager.WholeImageLimit = chart.WholeImageLimit;
    if (ChartKind == TChartKind::KAP) {
      pager.SetDecoder(o_.kap.get());
      o_.kap->FillColourTable(pager.Colours);
      o_.kap->FillBitmapHeader(pager.BitmapHeader);
    } else {
      pager.SetDecoder(o_.wci.get());
      o_.wci->FillColourTable(pager.Colours);
      o_.wci->FillBitmapHeader(pager.BitmapHeader);
    }
    pager.SetImageSize(ChartInfo.Width, ChartInfo.Height);
    pager.Active = true;
  }

  // The receiver's datum shift at this chart, applied to every position
  // received from now on.
  TNMEAINFO& n = o_.parser.Info;
  n.DatumOffset = chart.GpsShift;
  gpsShiftPoint_.reset();
  if (chart.Setup.HasShiftPoint) gpsShiftPoint_ = chart.Setup.ShiftPoint;
  n.NorthRotation = ChartInfo.NorthRotation;
  flags_.Include(pfChartLoaded);
  // The route learns the chart's bounds, the positions its extended
  // corners, the track and the AIS targets its bounds.
  for (const auto& [level, overlay] : overlays_) overlay->ChartLoaded(ChartInfo, ExtendedCorners);
  if (TUpdateCycle* cycle = window_.UpdateCycle()) cycle->ChartLoaded();
  View.SetViewSize(ViewSize());
  View.BeginChart(ChartInfo.Width, ChartInfo.Height, sys_.NCZoom == 1);
  ApplyZoom({ViewSize().X / 2.0, ViewSize().Y / 2.0}, true);
  canvas_.setEnabled(true);
  Repaint();
}

void TChartDisplay::ApplyGpsDatum() {
  if (!flags_.Has(pfChartLoaded) || !gpsShiftPoint_) return;
  o_.datum.SetSource(o_.datum.Lookup(sys_.GPSDatum));
  const TFPoint shift = o_.datum.ShiftAt(*gpsShiftPoint_);
  if (std::isfinite(shift.X) && std::isfinite(shift.Y)) o_.parser.Info.DatumOffset = shift;
}

int TChartDisplay::OpenCatalogChart(int index, bool interactive) {
  TChartList& catalog = o_.catalog;
  if (index < 0 || index == CurrentChart || index >= catalog.Count()) {
    // The catalog's selections moved its current index; it follows the
    // chart on show.
    catalog.Current = CurrentChart >= 0 ? CurrentChart : -1;
    return -1;
  }
  const std::string file = catalog.ResolvedFileName(index);
  if (!LoadChart(file, interactive)) {
    catalog.Current = CurrentChart >= 0 ? CurrentChart : -1;
    if (!interactive) View.NoteAutoFailure(file, o_.parser.GetClock().MonoNow());
    return -1;
  }
  PreviousChart = CurrentChart;
  CurrentChart = index;
  catalog.Current = index;
  UpdateTitle();
  return CurrentChart;
}

void TChartDisplay::AutoOpenBestChart(const TFPoint& lookAhead, const TFPoint& boat) {
  TChartList& catalog = o_.catalog;
  if (catalog.Count() == 0) return;
  catalog.Current = CurrentChart >= 0 ? CurrentChart : -1;
  const int index = catalog.BestChartForTwo(lookAhead, boat, sys_.AutoGroups, RoundToInt(PreferredScale));
  catalog.Current = CurrentChart >= 0 ? CurrentChart : -1;
  if (index < 0 || index == CurrentChart) return;
  // A chart that would not open is left alone for a while, and the next
  // chart at the boat is taken instead, so that a broken chart file neither
  // stalls every update nor leaves the boat without a chart.
  const TMonoTime now = o_.parser.GetClock().MonoNow();
  auto usable = [&](int i) { return View.AutoRetryAllowed(catalog.ResolvedFileName(i), now); };
  if (usable(index) && OpenCatalogChart(index, false) >= 0) return;
  const int next = catalog.NextChart(boat, index, sys_.AutoGroups, RoundToInt(PreferredScale));
  catalog.Current = CurrentChart >= 0 ? CurrentChart : -1;
  if (next >= 0 && next != index && next != CurrentChart && usable(next)) OpenCatalogChart(next, false);
}

int TChartDisplay::BestChartAtPoint(const TFPoint& viewPoint, double preferredScale) {
  TFPoint pos;
  if (!PositionAtView(viewPoint, pos)) return -1;
  TChartList& catalog = o_.catalog;
  catalog.Current = CurrentChart >= 0 ? CurrentChart : -1;
  const int32_t reference = RoundToInt(preferredScale);
  // Near the chart's own edge the neighbour across it; elsewhere the best.
  const int index = View.NearPanelEdge(View.ViewToPanel(viewPoint), sys_.ChartEdge)
                        ? catalog.NextChart(pos, CurrentChart, sys_.BrowseGroups, reference)
                        : catalog.BestChart(pos, CurrentChart, sys_.BrowseGroups, reference);
  const int opened = OpenCatalogChart(index);
  if (opened >= 0) CentreOnPosition(pos);
  return opened;
}

int TChartDisplay::BestChartForPosition(const TFPoint& pos, double preferredScale, bool interactive) {
  TChartList& catalog = o_.catalog;
  catalog.Current = CurrentChart >= 0 ? CurrentChart : -1;
  const int index = catalog.BestChart(pos, CurrentChart, sys_.BrowseGroups, RoundToInt(preferredScale));
  const int opened = OpenCatalogChart(index, interactive);
  if (opened >= 0) CentreOnPosition(pos);
  return opened;
}

void TChartDisplay::FindPosition(const TFPoint& position) {
  TFPoint pos = position;
  if (flags_.Has(pfAutomatic)) pos = o_.parser.Info.Pos;
  if (InsideCurrentChart(pos))
    CentreOnPosition(pos);
  else
    BestChartForPosition(pos, PreferredScale);
}

bool TChartDisplay::InsideCurrentChart(const TFPoint& pos) const {
  if (!flags_.Has(pfChartLoaded)) return false;
  // The border as positions on WGS 84 (the chart's own datum moved by its
  // shift); a chart without a border counts by its corners.
  TWorldConvert& converter = o_.converter;
  TFPointArray border = ChartInfo.Layout.Border;
  if (border.size() >= 3) {
    for (TFPoint& b : border) b = {b.X + converter.Shift.X, b.Y + converter.Shift.Y};
  } else {
    border.clear();
    const double w = ChartInfo.Width, h = ChartInfo.Height;
    const double s = View.Zoom();
    for (const TFPoint& px : {TFPoint{0, 0}, TFPoint{0, h}, TFPoint{w, h}, TFPoint{w, 0}}) {
      TFPoint g;
      if (!converter.PixelToGeo({px.X * s, px.Y * s}, g)) return false;
      border.push_back(g);
    }
  }
  return PointInPolygon(border, pos);
}
