// The main window's chart view: opening charts (from the catalog, from a
// file, the previous one), zoom and scroll, the mouse and the wheel on the
// chart, painting the chart and what lies over it, the boat's screen points
// and the range rings, the title, the marker box, and the chart commands of
// the menus and keys.
//
// Opening a chart is a transaction: the new chart is read into objects of
// its own (plotter/core/ChartLoader.h) and only when it has opened does it
// replace the chart on show, with its decoder, converter and indexes. A
// chart that fails leaves the old one on screen and the message panel says
// why. A load that the update cycle starts never opens a dialog: it cannot
// keep alarms and autopilot sentences waiting for someone to answer.
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <utility>

#include "charts/BMPager.h"
#include "charts/ChartFile.h"
#include "charts/ChartGeo.h"
#include "charts/ImageChart.h"
#include "charts/ChartList.h"
#include "charts/FileNames.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "geodesy/Datum.h"
#include "instruments/AIS.h"
#include "instruments/NMEA.h"
#include "navobjects/NavCtrls.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "platform/qt/QtCanvas.h"
#include "plotter/AuxDialogs.h"
#include "plotter/ChartCanvas.h"
#include "plotter/MainForm.h"
#include "plotter/core/AisDisplay.h"
#include "plotter/QtColour.h"
#include "plotter/core/ChartOverlays.h"
#include "plotter/core/KeyMap.h"
#include "plotter/core/UpdateCycle.h"
#include "plotter/symbols/ChartSymbols.h"

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

TFPoint ViewPointOf(const QPointF& p) { return {p.x(), p.y()}; }

// The "Chart Files" filter of the open dialog.
constexpr const char* kChartFilterTail = "|*.PNG;*.BMP;*.KAP;*.WCI;*.GEO|WCI|*.WCI|BSB/KAP|*.KAP|GEO/NOS|*.GEO|PNG|*.PNG|BMP|*.BMP|*.*|*.*";
constexpr int kMsgChartFiles = 70;

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
// The canvas

TChartCanvas* T_Form::ChartCanvas() const { return qobject_cast<TChartCanvas*>(MapCanvas); }

void T_Form::InstallChartCanvas() {
  // The chart area's canvas becomes the chart view's viewport.
  QWidget* old = MapCanvas;
  auto* canvas = new TChartCanvas(Scroll);
  canvas->setObjectName(QStringLiteral("MapCanvas"));
  canvas->setBackgroundRole(QPalette::Dark);
  if (old) {
    canvas->setPalette(old->palette());
    if (QLayout* layout = Scroll->layout()) delete layout->replaceWidget(old, canvas);
    delete old;
  }
  MapCanvas = canvas;
  canvas->OnPaint = [this](QPainter& p, const QRect& r) { PaintChart(p, r); };
  canvas->OnMousePress = [this](QMouseEvent* e) { ChartMousePress(e); };
  canvas->OnMouseMove = [this](QMouseEvent* e) { ChartMouseMove(e); };
  canvas->OnMouseRelease = [this](QMouseEvent* e) { ChartMouseRelease(e); };
  canvas->OnDoubleClick = [this](QMouseEvent* e) { ChartDoubleClick(e); };
  canvas->OnWheel = [this](QWheelEvent* e) { ChartWheel(e); };
  canvas->OnResize = [this](const QSize& before, const QSize& after) { ChartResized(before, after); };
  View.SetViewSize({canvas->width(), canvas->height()});
  zoomSettle_ = new QTimer(this);
  zoomSettle_->setObjectName(QStringLiteral("ZoomSettle"));
  zoomSettle_->setSingleShot(true);
  zoomSettle_->setInterval(kZoomSettleMs);
  connect(zoomSettle_, &QTimer::timeout, this, [this] { SettleZoom(); });
}

void T_Form::WireChartCommands() {
  auto wire = [this](const char* name, auto&& f) {
    if (QAction* a = MenuItem(name)) {
      a->setEnabled(true);
      connect(a, &QAction::triggered, this, [this, f] {
        try {
          f();
        } catch (...) {
          // A failing command must not take the window with it.
        }
      });
    }
  };
  auto menuPoint = [this] { return TFPoint{double(MenuPixel.x()), double(MenuPixel.y())}; };
  for (const char* n : {"FMListAll", "NACListAll", "RPListAll", "RFListAll"}) wire(n, [this] { ListAllChartsClick(); });
  for (const char* n : {"FMPrevious", "NACPrevious", "RPLast", "RFLast"}) wire(n, [this] { Last1Click(); });
  for (const char* n : {"FMNotListed", "RFNotListed"}) wire(n, [this] { XOpenClick(); });
  for (const char* n : {"FMOutline", "RFOutline"}) {
    if (QAction* a = MenuItem(n)) a->setCheckable(true);
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
  for (QMenu* menu : {NormalPopup, RtePopup}) {
    if (!menu) continue;
    connect(menu, &QMenu::aboutToShow, this, [this] {
      MenuPixel = MapCanvas->mapFromGlobal(QCursor::pos());
      MenuPosValid = PositionAtView({double(MenuPixel.x()), double(MenuPixel.y())}, MenuPos);
      View.ResetDrag();
      if (QMenu* charts = SubMenu("NAC")) charts->menuAction()->setVisible(!PlotterFlags.Has(pfAutomatic));
    });
  }
  // The double-click action's buttons (also switched by Ctrl+E) set the
  // cursor of the chart.
  if (MeasureLab)
    connect(MeasureLab, &QPushButton::toggled, this, [this](bool on) {
      if (on) MeasureLabClick();
    });
  if (CenterLab)
    connect(CenterLab, &QPushButton::toggled, this, [this](bool on) {
      if (on) CenterLabClick();
    });
  if (DB_GPS)
    DB_GPS->installEventFilter(new TGpsBoxClicks(DB_GPS, [this] { DBBLatClick(); }, [this] { DBBLatDblClick(); }));
}

TPoint T_Form::ViewSize() const { return MapCanvas ? TPoint{MapCanvas->width(), MapCanvas->height()} : TPoint{}; }

void T_Form::Repaint() {
  TakeRepaintRequest();
  if (MapCanvas) MapCanvas->update();
}

void T_Form::ShowNotice(const std::string& text) {
  std::fprintf(stderr, "brismare: %s\n", text.c_str());
  ShowMessageLine(text);
}

// ---------------------------------------------------------------------------
// Opening charts

bool T_Form::LoadChart(const std::string& file, bool interactive) {
  // A load asked for from inside another (through a dialog's event loop)
  // is turned away.
  if (PlotterFlags.Has(pfChartLoading)) return false;
  if (!ChartFile || !ExternalCodec || !Datum || !Converter || !Pager) return false;
  // The pager cannot be changed under a draw.
  if (Pager->Busy()) return false;
  TChartLoadOptions options;
  options.searchPath = ChartFile->SearchPath;
  options.datum = Datum.get();
  options.datumSettings.KapZeroShiftMode = SysInfo.UseKAPZeroShift;
  options.datumSettings.ReverseKapShift = SysInfo.ReverseKAPZeroShift;
  options.datumSettings.GpsDatum = SysInfo.GPSDatum;
  options.brightness = ShadeValueForLevel(ShadeLevel(), SysInfo);
  options.wholeImageLimit = int64_t{SysInfo.DiskmapImageMem} * 1024;
  options.codec = ExternalCodec.get();
  // Only someone at the keyboard can name an unknown datum.
  if (interactive) {
    options.askAlias = [this](const std::string& name) {
      if (AskDatumAlias) return AskDatumAlias(name);
      return Datum && forms_.DatFrm && forms_.DatFrm->Ask(*Datum, name);
    };
  }

  TChartLoadError error;
  std::string notice;
  bool ok = false;
  {
    TLoadScope scope(PlotterFlags, *comTimer_);
    setWindowTitle(Text("Brismare " + Messages[msgLoadingChart]));
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
  if (!notice.empty()) ShowNotice(notice);
  return true;
}

void T_Form::ChartFailed(const std::string& file, const TChartLoadError& error, bool interactive) {
  (void)file;
  ShowNotice(error.Reason.empty() ? error.Message : error.Message + ": " + error.Reason);
  if (interactive) AppMessageBox(error.Message, mfOk | mfIconError);
}

void T_Form::RefreshChartShade() {
  if (ChartKind != TChartKind::Image || ChartImageDay.isNull()) return;
  ChartImage = ShadedImage(ChartImageDay, ShadeValueForLevel(ShadeLevel(), SysInfo));
  zoomFrame_ = QImage();
}

void T_Form::CommitChart(TOpenedChart&& chart) {
  zoomFrame_ = QImage();
  if (zoomSettle_) zoomSettle_->stop();
  // What can fail for want of memory comes before anything changes.
  QImage image = chart.Kind == TChartKind::Image ? ToQImage(chart.Image) : QImage();
  chart.Image.Clear();
  Pager->Stop();
  PreviousChartFile = CurrentChartFile;
  CurrentChartFile = chart.File;
  View.RememberForPrevious();

  // The decoders: the new chart's takes the place of the one of its kind;
  // the other is closed.
  if (chart.Kap) {
    KAPDecoder = std::move(chart.Kap);
    if (WCIDecoder) WCIDecoder->Close();
  } else if (chart.Wci) {
    WCIDecoder = std::move(chart.Wci);
    if (KAPDecoder) KAPDecoder->Close();
  } else {
    if (KAPDecoder) KAPDecoder->Close();
    if (WCIDecoder) WCIDecoder->Close();
  }
  ChartKind = chart.Kind;
  ChartInfo = std::move(chart.Info);
  ExtendedCorners = std::move(chart.ExtendedCorners);
  *Converter = chart.Converter;

  if (ChartKind == TChartKind::Image) {
    Pager->ClearCache();
    Pager->Active = false;
    ChartImageDay = std::move(image);
    ChartImage = ShadedImage(ChartImageDay, ShadeValueForLevel(ShadeLevel(), SysInfo));
  } else {
    ChartImageDay = QImage();
    ChartImage = QImage();
    Pager->WholeImageLimit = chart.WholeImageLimit;
    if (ChartKind == TChartKind::KAP) {
      Pager->SetDecoder(KAPDecoder.get());
      KAPDecoder->FillColourTable(Pager->Colours);
      KAPDecoder->FillBitmapHeader(Pager->BitmapHeader);
    } else {
      Pager->SetDecoder(WCIDecoder.get());
      WCIDecoder->FillColourTable(Pager->Colours);
      WCIDecoder->FillBitmapHeader(Pager->BitmapHeader);
    }
    Pager->SetImageSize(ChartInfo.Width, ChartInfo.Height);
    Pager->Active = true;
  }

  if (TNMEA* p = Parser()) {
    // The receiver's datum shift at this chart, applied to every position
    // received from now on.
    p->Info.DatumOffset = chart.GpsShift;
    gpsShiftPoint_.reset();
    if (chart.Setup.HasShiftPoint) gpsShiftPoint_ = chart.Setup.ShiftPoint;
    p->Info.NorthRotation = ChartInfo.NorthRotation;
  }
  // The route learns the chart's bounds, the positions its extended corners.
  if (symbols_) symbols_->ChartLoaded(ChartInfo, ExtendedCorners);
  PlotterFlags.Include(pfChartLoaded);
  // The track and the AIS targets learn its bounds.
  PlaceTrackForChart();
  PlaceAisForChart();
  if (TUpdateCycle* cycle = UpdateCycle()) cycle->ChartLoaded();
  View.SetViewSize(ViewSize());
  View.BeginChart(ChartInfo.Width, ChartInfo.Height, SysInfo.NCZoom == 1);
  ApplyZoom({ViewSize().X / 2.0, ViewSize().Y / 2.0}, true);
  MapCanvas->setEnabled(true);
  Repaint();
}

int T_Form::OpenCatalogChart(int index, bool interactive) {
  if (!ChartList) return -1;
  if (index < 0 || index == CurrentChart || index >= ChartList->Count()) {
    // The catalog's selections moved its current index; it follows the
    // chart on show.
    ChartList->Current = CurrentChart >= 0 ? CurrentChart : -1;
    return -1;
  }
  const std::string file = ChartList->ResolvedFileName(index);
  if (!LoadChart(file, interactive)) {
    ChartList->Current = CurrentChart >= 0 ? CurrentChart : -1;
    if (!interactive && Parser()) View.NoteAutoFailure(file, Parser()->GetClock().MonoNow());
    return -1;
  }
  PreviousChart = CurrentChart;
  CurrentChart = index;
  ChartList->Current = index;
  UpdateTitle();
  return CurrentChart;
}

void T_Form::AutoOpenBestChart(const TFPoint& lookAhead, const TFPoint& boat) {
  if (!ChartList || ChartList->Count() == 0) return;
  ChartList->Current = CurrentChart >= 0 ? CurrentChart : -1;
  const int index = ChartList->BestChartForTwo(lookAhead, boat, SysInfo.AutoGroups, RoundToInt(PreferredScale));
  ChartList->Current = CurrentChart >= 0 ? CurrentChart : -1;
  if (index < 0 || index == CurrentChart) return;
  // A chart that would not open is left alone for a while, and the next
  // chart at the boat is taken instead, so that a broken chart file neither
  // stalls every update nor leaves the boat without a chart.
  const TMonoTime now = Parser() ? Parser()->GetClock().MonoNow() : TMonoTime{};
  auto usable = [&](int i) { return View.AutoRetryAllowed(ChartList->ResolvedFileName(i), now); };
  if (usable(index) && OpenCatalogChart(index, false) >= 0) return;
  const int next = ChartList->NextChart(boat, index, SysInfo.AutoGroups, RoundToInt(PreferredScale));
  ChartList->Current = CurrentChart >= 0 ? CurrentChart : -1;
  if (next >= 0 && next != index && next != CurrentChart && usable(next)) OpenCatalogChart(next, false);
}

int T_Form::BestChartAtPoint(const TFPoint& viewPoint, double preferredScale) {
  TFPoint pos;
  if (!ChartList || !PositionAtView(viewPoint, pos)) return -1;
  ChartList->Current = CurrentChart >= 0 ? CurrentChart : -1;
  const int32_t reference = RoundToInt(preferredScale);
  // Near the chart's own edge the neighbour across it; elsewhere the best.
  const int index = View.NearPanelEdge(View.ViewToPanel(viewPoint), SysInfo.ChartEdge)
                        ? ChartList->NextChart(pos, CurrentChart, SysInfo.BrowseGroups, reference)
                        : ChartList->BestChart(pos, CurrentChart, SysInfo.BrowseGroups, reference);
  const int opened = OpenCatalogChart(index);
  if (opened >= 0) CentreOnPosition(pos);
  return opened;
}

int T_Form::BestChartForPosition(const TFPoint& pos, double preferredScale, bool interactive) {
  if (!ChartList) return -1;
  ChartList->Current = CurrentChart >= 0 ? CurrentChart : -1;
  const int index = ChartList->BestChart(pos, CurrentChart, SysInfo.BrowseGroups, RoundToInt(preferredScale));
  const int opened = OpenCatalogChart(index, interactive);
  if (opened >= 0) CentreOnPosition(pos);
  return opened;
}

void T_Form::FindPosition(const TFPoint& position) {
  TFPoint pos = position;
  if (PlotterFlags.Has(pfAutomatic) && Parser()) pos = Parser()->Info.Pos;
  if (InsideCurrentChart(pos))
    CentreOnPosition(pos);
  else
    BestChartForPosition(pos, PreferredScale);
}

bool T_Form::InsideCurrentChart(const TFPoint& pos) const {
  if (!PlotterFlags.Has(pfChartLoaded) || !Converter) return false;
  // The border as positions on WGS 84 (the chart's own datum moved by its
  // shift); a chart without a border counts by its corners.
  TFPointArray border = ChartInfo.Layout.Border;
  if (border.size() >= 3) {
    for (TFPoint& b : border) b = {b.X + Converter->Shift.X, b.Y + Converter->Shift.Y};
  } else {
    border.clear();
    const double w = ChartInfo.Width, h = ChartInfo.Height;
    const double s = View.Zoom();
    for (const TFPoint& px : {TFPoint{0, 0}, TFPoint{0, h}, TFPoint{w, h}, TFPoint{w, 0}}) {
      TFPoint g;
      if (!Converter->PixelToGeo({px.X * s, px.Y * s}, g)) return false;
      border.push_back(g);
    }
  }
  return PointInPolygon(border, pos);
}

// ---------------------------------------------------------------------------
// Zoom and scroll

void T_Form::SyncConverterScale() {
  if (Converter) Converter->SetScale(View.Zoom(), View.Zoom());
}

void T_Form::ApplyZoom(const TFPoint& viewPoint, bool force) {
  if (!View.HasChart()) return;
  View.SetViewSize(ViewSize());
  const bool changed = View.ApplyZoom(viewPoint, force);
  SyncConverterScale();
  if (symbols_) symbols_->ZoomChanged();
  ReplaceTrack();
  ReprojectAis(true);
  if (TUpdateCycle* cycle = UpdateCycle()) cycle->AisReprojected();
  if (Converter) ChartInfo.MilesPerPixel = MilesPerPixelAt(*Converter, ChartInfo.Centre, 100);
  if (TNMEA* p = Parser()) p->Info.MilesPerPixel = ChartInfo.MilesPerPixel;
  if (changed) UpdateView();
  if (PlotterFlags.Has(pfAutomatic) && Parser()) {
    const TPoint offset = UpdateCycle() ? UpdateCycle()->LookAheadOffset() : TPoint{};
    CentreOnPosition(Parser()->Info.Pos, offset.X, offset.Y);
  }
  UpdateTitle();
  Repaint();
}

void T_Form::ZoomTo(const TFPoint& viewPoint, double zoom) {
  if (!View.HasChart()) return;
  SettleZoom();
  View.SetTargetZoom(zoom);
  ApplyZoom(viewPoint, true);
}

void T_Form::ZoomStep(const TFPoint& viewPoint, int delta) {
  if (!PlotterFlags.Has(pfChartLoaded) || !View.HasChart() || delta == 0) return;
  const double target = ZoomStepTarget(View.Zoom(), delta);
  if (target == View.Zoom()) return;
  // The first step of a series keeps the picture as it is; every step
  // shows it scaled (a few milliseconds) instead of decoding the chart
  // anew, which zoomed far out takes the time of a frame or more.
  TChartCanvas* canvas = ChartCanvas();
  if (zoomFrame_.isNull() && canvas && zoomSettle_) {
    paintChartOnly_ = true;
    zoomFrame_ = canvas->RenderFrame();
    paintChartOnly_ = false;
    zoomFrameZoom_ = View.Zoom();
    zoomFrameScroll_ = View.Scroll();
  }
  View.SetTargetZoom(target);
  ApplyZoom(viewPoint, true);
  if (zoomSettle_ && !zoomFrame_.isNull()) zoomSettle_->start();
}

void T_Form::SettleZoom() {
  if (zoomSettle_) zoomSettle_->stop();
  if (zoomFrame_.isNull()) return;
  zoomFrame_ = QImage();
  Repaint();
}

void T_Form::ScrollTo(TPoint offset) {
  if (View.ScrollTo(offset)) Repaint();
}

void T_Form::CentreOnPosition(const TFPoint& pos, int dx, int dy) {
  if (!View.HasChart() || !Converter || !Converter->Valid) return;
  TFPoint panel;
  if (!ExactGeoToPixel(*Converter, pos, panel)) return;
  View.SetViewSize(ViewSize());
  if (View.CentreOnPanelPoint({panel.X + dx, panel.Y + dy})) Repaint();
}

void T_Form::CentreOnViewPoint(const TFPoint& viewPoint) {
  if (View.CentreOnPanelPoint(View.ViewToPanel(viewPoint))) Repaint();
}

bool T_Form::PositionAtView(const TFPoint& viewPoint, TFPoint& pos) const {
  if (!View.HasChart() || !Converter || !Converter->Valid) return false;
  return Converter->PixelToGeo(View.ViewToPanel(viewPoint), pos);
}

// ---------------------------------------------------------------------------
// The boat, the rings, the title, the marker box

bool T_Form::UpdateBoatPoints() { return PlaceBoat(false); }

bool T_Form::PlaceBoat(bool titleAlways) {
  TNMEA* p = Parser();
  if (!p) return false;
  TNMEAINFO& n = p->Info;
  if (View.HasChart() && Converter && Converter->Valid) {
    BoatPoints = ComputeBoatPoints(*Converter, n.Pos, n.Heading, n.SOG, SysInfo.SpeedMark, ChartInfo.NorthRotation);
    if (BoatPoints.valid) {
      n.SpeedMarkPos = BoatPoints.speedMarkPos;
      n.HeadLineEnd = BoatPoints.headLineEnd;
      n.SymbolHeading = BoatPoints.symbolHeading;
    }
  } else {
    BoatPoints = {};
  }
  // The rings are measured at the boat: they follow it across the chart
  // (and appear once it comes where they can be measured). The title
  // names their spacing.
  const int step = Rings.stepIndex;
  UpdateRings();
  if (titleAlways || Rings.stepIndex != step) UpdateTitle();
  const bool moved = !(n.Pos == n.LastDrawPos);
  n.LastDrawPos = n.Pos;
  return moved;
}

bool T_Form::UpdateView() {
  TNMEA* p = Parser();
  const TFPoint boat = p ? p->Info.Pos : TFPoint{};
  const bool boatInView =
      PlotterFlags.Has(pfChartLoaded) && DistanceToRect(boat, ChartInfo.Layout.Bounds) <= kBoatInViewRad;
  PlaceBoat(true);
  return boatInView;
}

void T_Form::UpdateRings() {
  TNMEA* p = Parser();
  const TFPoint boat = p ? p->Info.Pos : TFPoint{};
  double mppX = 0, mppY = 0;
  if (View.HasChart() && Converter && Converter->Valid) {
    mppX = MilesPerPixelToward(*Converter, boat, 100, 0);
    mppY = MilesPerPixelToward(*Converter, boat, 0, 100);
  }
  Rings = ChooseRings(SysInfo.ShowRings, SysInfo.RingsStep, ViewSize().Y * ChartInfo.MilesPerPixel, mppX, mppY);
  if (RingShape) {
    RingShape->ShapeVisible = Rings.visible;
    RingShape->RingCount = Rings.count;
    RingShape->MajorEvery = Rings.majorEvery;
    RingShape->ShapeWidth = Rings.width;
    RingShape->ShapeHeight = Rings.height;
    RingShape->Color = Colours.black;
  }
}

void T_Form::UpdateTitle() {
  if (PlotterFlags.Has(pfChartLoading)) return;
  setWindowTitle(Text(ChartTitle(PlotterFlags.Has(pfChartLoaded), ChartInfo.Layout.Name, ChartInfo.Layout.Scale,
                                 View.Zoom(), Rings.spacingNM())));
}

void T_Form::ShowPositionInfo(const TFPoint& pos, const TFPoint& from) {
  const TFPoint db = GeoDistBearing(from, pos);
  if (DB_LAT) DB_LAT->setText(Text(LatToStr(pos.Y)));
  if (DB_LONG) DB_LONG->setText(Text(LonToStr(pos.X)));
  if (DB_head) DB_head->setText(Text(BearingText(db.Y)));
  if (DB_Dist) DB_Dist->setText(Text(DistanceText(db.X * kRadToNM)));
}

// ---------------------------------------------------------------------------
// The mouse and the wheel

void T_Form::ShowMouseCursor(const TFPoint& viewPoint) {
  if (!MapCanvas) return;
  if (PlotterFlags.Has(pfAutomatic)) {
    MapCanvas->setCursor(Qt::ArrowCursor);
    return;
  }
  const int mode = View.NearViewEdge(viewPoint, SysInfo.ChartEdge) ? ccPan : std::clamp(int(CursorMode), 0, 4);
  const QCursor& c = FatCursors ? FatChartCursors[mode] : ChartCursors[mode];
  const QCursor shown = MapCanvas->cursor();
  if (shown.shape() != c.shape() || shown.pixmap().cacheKey() != c.pixmap().cacheKey()) MapCanvas->setCursor(c);
}

void T_Form::ChartMousePress(QMouseEvent* e) {
  // A press on a position or route symbol is the symbol's.
  if (View.Drag() == TDragState::Idle && symbols_ && symbols_->MousePress(e, View.Scroll())) return;
  const TFPoint v = ViewPointOf(e->position());
  if (e->button() != Qt::LeftButton) {
    View.SetMouse(v);
    return;
  }
  SettleZoom();
  if (View.MouseDown(v) && !SysInfo.DragUpdate) {
    // The picture moves as it is while the chart is dragged.
    if (TChartCanvas* c = ChartCanvas()) panFrame_ = c->RenderFrame();
  }
}

void T_Form::ChartMouseMove(QMouseEvent* e) {
  if (symbols_ && symbols_->MouseMove(e, View.Scroll())) return;
  const TFPoint v = ViewPointOf(e->position());
  const TChartView::TMove m = View.MouseMove(v);
  if (m.scrolled) {
    Repaint();
    return;
  }
  if (View.Drag() == TDragState::Panning) return;
  TFPoint pos;
  if (m.measureChanged) {
    MapCanvas->update();
    TFPoint start;
    if (DB_MARKER && Converter && Converter->PixelToGeo(View.MeasureStart(), start) &&
        Converter->PixelToGeo(View.MeasureEnd(), pos)) {
      QPalette pal = QApplication::palette();
      pal.setColor(QPalette::Window, ToQColor(Colours.lime));
      DB_MARKER->setPalette(pal);
      DB_MARKER->setAutoFillBackground(true);
      ShowPositionInfo(pos, start);
    }
    return;
  }
  ShowMouseCursor(v);
  if (!MarkerShown && DB_MARKER && PositionAtView(v, pos)) {
    DB_MARKER->setPalette(QPalette());
    if (const TNMEA* p = Parser()) ShowPositionInfo(pos, p->Info.Pos);
  }
}

void T_Form::ChartMouseRelease(QMouseEvent* e) {
  if (symbols_ && symbols_->MouseRelease(e, View.Scroll())) return;
  const TFPoint v = ViewPointOf(e->position());
  if (e->button() != Qt::LeftButton) return;
  const bool wasPanning = View.Drag() == TDragState::Panning;
  const bool repaint = View.MouseUp(v, SysInfo.DragUpdate);
  panFrame_ = QImage();
  if (repaint || wasPanning) Repaint();
}

void T_Form::ChartDoubleClick(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  if (View.Drag() != TDragState::Measuring && symbols_ && symbols_->DoubleClick(e, View.Scroll())) return;
  const TFPoint v = ViewPointOf(e->position());
  View.SetMouse(v);
  TDoubleClickContext c;
  c.automatic = PlotterFlags.Has(pfAutomatic);
  c.nearEdge = View.NearViewEdge(v, SysInfo.ChartEdge);
  c.measureAction = DoubleClickMeasures();
  c.actionBoxShown = DashboardSet().Has(TDashBox::DB_DBLCLK);
  c.routeEditor = PlotterFlags.Has(pfRouteEditor);
  c.markerShown = MarkerShown;
  switch (DecideDoubleClick(c)) {
    case TDoubleClickAction::ChartAtPoint:
      if (BestChartAtPoint(v, PreferredScale) < 0) CentreOnViewPoint(v);
      View.SetCentred();
      break;
    case TDoubleClickAction::ArmMeasure:
      View.ArmMeasure(v);
      break;
    case TDoubleClickAction::InsertRoutePoint:
      InsertRoutePointAt(v);
      View.SetCentred();
      break;
    default:
      break;
  }
}

void T_Form::ChartWheel(QWheelEvent* e) {
  e->accept();
  if (!SysInfo.MouseWheel) return;
  int delta = e->angleDelta().y();
  if (delta == 0) delta = e->angleDelta().x();
  if (SysInfo.ReverseWheelDir) delta = -delta;
  // A touchpad sends a notch in many small parts; only whole notches act.
  const int notches = View.AddWheel(delta);
  if (notches == 0) return;
  const TFPoint v = ViewPointOf(e->position());
  View.SetMouse(v);
  try {
    if ((e->buttons() & Qt::LeftButton) && PlotterFlags.Has(pfAutomatic) && PlotterFlags.Has(pfChartLoaded)) {
      // One chart change per wheel movement, however far it turned.
      if (notches > 0)
        SmallerScale1Click();
      else
        BestChartForBoatClick();
      return;
    }
    for (int i = 0, n = std::min(std::abs(notches), 4); i < n; ++i) ZoomStep(v, notches > 0 ? 1 : -1);
  } catch (...) {
  }
}

void T_Form::ChartResized(const QSize& before, const QSize& after) {
  // The chart pixel in the middle of the view stays in the middle; when the
  // dashboard was collapsed or expanded the scroll offset stays instead.
  const TFPoint middle{View.Scroll().X + before.width() / 2.0, View.Scroll().Y + before.height() / 2.0};
  View.SetViewSize({after.width(), after.height()});
  if (View.HasChart() && before.isValid() && !before.isEmpty() && !keepScrollOnResize_) View.CentreOnPanelPoint(middle);
  PlotterFlags.Include(pfResized);
  PlaceMessagePanel();
  RequestRepaint();
}

// ---------------------------------------------------------------------------
// Painting

void T_Form::PaintChart(QPainter& painter, const QRect& dirty) {
  const QColor background = MapCanvas->palette().color(QPalette::Dark);
  if (View.Drag() == TDragState::Panning && !SysInfo.DragUpdate && !panFrame_.isNull()) {
    // Dragging without updates: the last picture, moved with the mouse.
    painter.fillRect(dirty, background);
    const TPoint shift = View.PanShift();
    painter.drawImage(QPoint(shift.X, shift.Y), panFrame_);
    return;
  }
  if (!PlotterFlags.Has(pfChartLoaded) || !View.HasChart()) {
    painter.fillRect(dirty, background);
    return;
  }
  View.SetViewSize(ViewSize());
  const TPoint scroll = View.Scroll();
  if (!zoomFrame_.isNull() && zoomFrameZoom_ > 0) {
    // Between zoom steps: the picture from before them, scaled so that
    // every chart point lies where it lies at the new zoom.
    const double k = View.Zoom() / zoomFrameZoom_;
    painter.fillRect(dirty, background);
    const QRectF target(zoomFrameScroll_.X * k - scroll.X, zoomFrameScroll_.Y * k - scroll.Y,
                        zoomFrame_.width() * k, zoomFrame_.height() * k);
    painter.save();
    painter.setClipRect(dirty);
    painter.drawImage(target, zoomFrame_);
    painter.restore();
    PaintOverlays(painter);
    return;
  }
  const TPoint panel = View.PanelSize();
  const QRect chartRect(-scroll.X, -scroll.Y, panel.X, panel.Y);
  // Around a chart smaller than the view: the background.
  const QRegion outside = QRegion(dirty).subtracted(QRegion(chartRect));
  for (const QRect& r : outside) painter.fillRect(r, background);

  painter.save();
  painter.setClipRect(dirty);
  if (ChartKind == TChartKind::Image) {
    const QRect target = chartRect.intersected(dirty);
    if (!ChartImage.isNull() && !target.isEmpty()) {
      const double sx = double(ChartImage.width()) / panel.X, sy = double(ChartImage.height()) / panel.Y;
      const QRectF source((target.x() + scroll.X) * sx, (target.y() + scroll.Y) * sy, target.width() * sx,
                          target.height() * sy);
      painter.drawImage(QRectF(target), ChartImage, source);
    }
  } else if (Pager && Pager->Active) {
    // The pager draws in the zoomed chart's coordinates.
    painter.translate(-scroll.X, -scroll.Y);
    TQtCanvas canvas(painter, panel.X, panel.Y);
    Pager->SetCanvas(&canvas);
    Pager->Zoom = View.Zoom();
    Pager->SetDestRect({scroll.X, scroll.Y}, {ViewSize().X, ViewSize().Y});
    Pager->Draw();
    Pager->SetCanvas(nullptr);
  }
  painter.restore();
  if (!paintChartOnly_) PaintOverlays(painter);
}

void T_Form::PaintOutlines(QPainter& painter) {
  if (!ChartList || !Converter || !Converter->Valid) return;
  const int32_t scale = ChartInfo.Layout.Scale;
  const int32_t smallest = OutlineMinimumScale(scale, SysInfo.OutlineFactor, View.Zoom());
  const TFRect& bounds = ChartInfo.Layout.Bounds;
  TQtCanvas canvas(painter, ViewSize().X, ViewSize().Y);
  canvas.SetPen({ColorToRGB(Colours.outline), 1, TPenStyle::Solid});
  canvas.SetBrush({0, TBrushStyle::None});
  std::vector<TCanvasPoint> points;
  const TPoint scroll = View.Scroll();
  for (int i = 0; i < ChartList->Count(); ++i) {
    const RChartLayout* e = ChartList->Entry(i);
    if (!e || e->Scale < smallest || e->Scale > scale || e->Border.size() < 2) continue;
    if (!FRectsIntersect(e->Bounds, bounds)) continue;
    if (SysInfo.BrowseGroups != 0 && (e->GroupMask & SysInfo.BrowseGroups) == 0) continue;
    points.clear();
    bool ok = true;
    for (const TFPoint& b : e->Border) {
      TFPoint px;
      if (!Converter->GeoToPixel(b, px)) {
        ok = false;
        break;
      }
      const TPoint r = RoundFPoint({px.X - scroll.X, px.Y - scroll.Y});
      points.push_back({r.X, r.Y});
    }
    if (!ok) continue;
    points.push_back(points.front());
    canvas.DrawPolyline(points.data(), points.size());
  }
}

void T_Form::PaintOverlays(QPainter& painter) {
  {
    // Route legs, position symbols, route symbols.
    TQtCanvas canvas(painter, ViewSize().X, ViewSize().Y);
    if (symbols_) symbols_->Paint(canvas, View.Scroll());
  }
  if (OutlinesShown) PaintOutlines(painter);
  {
    TQtCanvas canvas(painter, ViewSize().X, ViewSize().Y);
    PaintTrack(canvas);
    PaintAis(canvas);
  }
  const TNMEA* p = Parser();
  if (!p || !Converter || !Converter->Valid) return;
  const TNMEAINFO& n = p->Info;
  // The boat where the last update of the view or the cycle placed it.
  const TBoatPoints& b = BoatPoints;
  const bool inView = DistanceToRect(n.Pos, ChartInfo.Layout.Bounds) <= kBoatInViewRad;
  TQtCanvas canvas(painter, ViewSize().X, ViewSize().Y);
  const TCanvasRect clip{0, 0, ViewSize().X, ViewSize().Y};
  TFPoint marker;
  if (MarkerShown && Converter->GeoToPixel(MarkerPos, marker))
    DrawMarkerSymbol(canvas, View.PanelToView(marker), ColorToRGB(Colours.red));
  if (inView && b.valid) {
    TBoatOverlay o;
    o.boat = View.PanelToView(b.boat);
    o.speedMark = View.PanelToView(b.speedMark);
    o.headStick = View.PanelToView(b.headStick);
    o.symbolHeading = b.symbolHeading;
    o.boatShape = SysInfo.BoatShapeMarker;
    o.boatSymbol = BoatShape.get();
    o.rings = RingShape.get();
    o.speedSymbol = SpeedShape.get();
    o.boatColour = ColorToRGB(Colours.boat);
    o.stickWidth = std::max(SysInfo.BoatSize, 1);
    o.showSpeedMark = IsKnown(n.SOG) && n.SOG >= 1 && SysInfo.SpeedMark > 0 && b.headingKnown;
    o.headingStick = !SysInfo.NoHeadingStick && b.headingKnown;
    const double wind = n.TrueWindSpeed;
    o.windArrow = IsKnown(wind) && std::isfinite(wind) && wind != 0 && SysInfo.WindShow > 0 &&
                  SysInfo.WindArrowColor != piWhite && IsKnown(n.TrueWindDirection) &&
                  std::isfinite(n.TrueWindDirection);
    o.windColour = ColorToRGB(Colours.windArrow);
    o.windFrom = n.TrueWindDirection + ChartInfo.NorthRotation;
    o.windSpeed = wind;
    o.markerShown = MarkerShown;
    if (MarkerShown) {
      TFPoint m;
      o.markerShown = Converter->GeoToPixel(MarkerPos, m);
      o.marker = View.PanelToView(m);
    }
    o.clip = clip;
    // The own ship's hull at true scale, from its transponder's data.
    if (Ais && SysInfo.AISTargetOutline)
      DrawOwnShipOutline(canvas, Ais->OwnVessel, RoundFPoint(o.boat), b.symbolHeading, n.MilesPerPixel,
                         SysInfo.AISMarkerSize, ColorToRGB(Colours.boat), 1);
    DrawBoatOverlays(canvas, o);
  }
  const TDragState drag = View.Drag();
  if (drag == TDragState::Measuring || drag == TDragState::MeasureArmed) {
    canvas.SetPen({ColorToRGB(Colours.black), 1, TPenStyle::Solid});
    const TPoint a = RoundFPoint(View.PanelToView(View.MeasureStart()));
    const TPoint z = RoundFPoint(View.PanelToView(View.MeasureEnd()));
    canvas.DrawLine({a.X, a.Y}, {z.X, z.Y});
  }
}

// ---------------------------------------------------------------------------
// Chart commands

void T_Form::XOpenClick() {
  TFPoint noted;
  const bool hasNoted = PositionAtView(View.MouseView(), noted);
  TFileDialogOptions o;
  o.title = Messages[kMsgChartFiles];
  o.filter = Messages[kMsgChartFiles] + kChartFilterTail;
  o.defaultExt = "WCI";
  o.initialDir = SysInfo.XChartDir;
  const std::optional<std::string> chosen = OpenFileDialog(o);
  if (!chosen || chosen->empty()) return;
  SysInfo.XChartDir = DirectoryOf(*chosen);
  if (!LoadChart(*chosen)) return;
  PreviousChart = CurrentChart;
  CurrentChart = -1;
  if (ChartList) ChartList->Current = -1;
  if (hasNoted && InsideCurrentChart(noted)) CentreOnPosition(noted);
  UpdateTitle();
}

namespace {

// The available-charts window with the plotter's message texts and the
// night shading's colours; the chosen chart's name, or nothing.
std::optional<std::string> ChooseAvailableChart(T_Form& form, TChartAvail& avail, const TMessageTable& messages,
                                                const TWindowColours& colours, const TChartList* catalog) {
  avail.SetColumnCaptions(Text(messages[55]), Text(messages[56]));
  avail.SetListColours(ToQColor(colours.palette[piWhite]), ToQColor(colours.palette[piBlack]));
  avail.Catalog = catalog;
  if (form.ExecDialog(avail) != QDialog::Accepted || avail.SelectedName.empty()) return std::nullopt;
  return avail.SelectedName;
}

}  // namespace

void T_Form::ListAllChartsClick() {
  if (PlotterFlags.Has(pfAutomatic) || !ChartList || !forms_.ChartAvail) return;
  const std::optional<std::string> chosen = ChooseAvailableChart(*this, *forms_.ChartAvail, Messages, Colours, ChartList.get());
  if (!chosen) return;
  if (OpenCatalogChart(ChartList->FindByName(*chosen)) < 0) return;
  if (const TNMEA* p = Parser(); p && InsideCurrentChart(p->Info.Pos)) CentreOnPosition(p->Info.Pos);
}

void T_Form::Last1Click() {
  if (PreviousChart < -1 || PreviousChartFile.empty()) return;
  const std::string file = PreviousChartFile;
  const TChartView::THistory history = View.Previous();
  const int previous = PreviousChart;
  if (!LoadChart(file)) return;
  View.SetTargetZoom(history.zoom);
  ApplyZoom(View.MouseView(), true);
  ScrollTo(history.scroll);
  PreviousChart = CurrentChart;
  CurrentChart = previous;
  if (ChartList) ChartList->Current = CurrentChart >= 0 ? CurrentChart : -1;
  UpdateTitle();
  Repaint();
}

void T_Form::OnPosition1Click() {
  if (!ChartList) return;
  TFPoint pos;
  if (PlotterFlags.Has(pfAutomatic) && Parser())
    pos = Parser()->Info.Pos;
  else if (MenuPosValid)
    pos = MenuPos;
  else
    return;
  if (!forms_.ChartAvail) return;
  TChartAvail& avail = *forms_.ChartAvail;
  avail.ResetList();
  ChartList->ListChartsAt(
      pos, 0,
      [&](const std::string& name, int32_t scale) {
        avail.AddChartItem(name, scale, ChartList->ResolvedFileName(ChartList->FindByName(name)));
      },
      0);
  avail.SetFilled(true);
  const std::optional<std::string> chosen = ChooseAvailableChart(*this, avail, Messages, Colours, ChartList.get());
  // The next "List All" lists the whole catalog again, not the charts of
  // this position.
  avail.ResetList();
  if (!chosen) return;
  const int index = ChartList->FindByName(*chosen);
  if (index == CurrentChart || OpenCatalogChart(index) >= 0) CentreOnPosition(pos);
}

void T_Form::MChartInfo1Click() {
  T_CHInfo* info = forms_.CHInfo;
  if (!info) return;
  info->ReadOnlyInfo = true;
  info->Datums = Datum.get();
  const std::string search = ChartFile ? ChartFile->SearchPath : std::string();
  info->Fill(ChartInfo, CurrentChartFile.empty() ? std::string() : TChartFile::ResolveChartFile(CurrentChartFile, search));
  ExecDialog(*info);
}

int T_Form::ExecDialog(QDialog& dialog) { return RunDialog ? RunDialog(dialog) : dialog.exec(); }

void T_Form::FindBest1Click() {
  if (PlotterFlags.Has(pfAutomatic)) {
    BestChartForBoatClick();
    return;
  }
  const TFPoint v{double(MenuPixel.x()), double(MenuPixel.y())};
  if (BestChartAtPoint(v, 0) < 0) CentreOnViewPoint(v);
}

void T_Form::NextChart1Click() {
  if (MenuPosValid) BestChartForPosition(MenuPos, PreferredScale);
}

void T_Form::BestChartForBoatClick() {
  const TNMEA* p = Parser();
  if (!p) return;
  const TFPoint boat = p->Info.Pos;
  if (BestChartForPosition(boat, 0) < 0) CentreOnPosition(boat);
}

void T_Form::SmallerScale1Click() {
  if (!ChartList || !Parser()) return;
  const bool automatic = PlotterFlags.Has(pfAutomatic);
  TFPoint pos;
  if (automatic)
    pos = Parser()->Info.Pos;
  else if (MenuPosValid)
    pos = MenuPos;
  else
    return;
  ChartList->Current = CurrentChart >= 0 ? CurrentChart : -1;
  const int index = ChartList->SmallerScaleChart(pos, CurrentChart, SysInfo.BrowseGroups, ChartInfo.Layout.Scale);
  OpenCatalogChart(index);
  if (automatic) {
    const TPoint offset = UpdateCycle() ? UpdateCycle()->LookAheadOffset() : TPoint{};
    CentreOnPosition(pos, offset.X, offset.Y);
  } else {
    CentreOnPosition(pos);
  }
}

void T_Form::OutlineMnuClick() {
  OutlinesShown = !OutlinesShown;
  for (const char* n : {"FMOutline", "RFOutline"})
    if (QAction* a = MenuItem(n)) a->setChecked(OutlinesShown);
  Repaint();
}

void T_Form::DBBLatClick() {
  if (const TNMEA* p = Parser()) FindPosition(p->Info.Pos);
}

void T_Form::DBBLatDblClick() {
  if (const TNMEA* p = Parser()) BestChartForPosition(p->Info.Pos, PreferredScale);
}

void T_Form::SetMark1Click() {
  if (MenuPosValid) SetMarker(MenuPos);
}

void T_Form::MeasureLabClick() {
  CursorMode = ccMeasure;
  ShowChartCursor();
}

void T_Form::CenterLabClick() {
  CursorMode = ccAim;
  ShowChartCursor();
}

bool T_Form::DoChartKeyAction(const TKeyDecision& d) {
  // Keys act at the mouse, or in the middle of the view when the mouse is
  // elsewhere.
  TFPoint at{double(MenuPixel.x()), double(MenuPixel.y())};
  if (!MapCanvas || !MapCanvas->rect().contains(MenuPixel)) at = {ViewSize().X / 2.0, ViewSize().Y / 2.0};
  switch (d.action) {
    case TKeyAction::BestChartForBoat:
      BestChartForBoatClick();
      return true;
    case TKeyAction::SmallerScaleChart:
      SmallerScale1Click();
      return true;
    case TKeyAction::PreviousChart:
      Last1Click();
      return true;
    case TKeyAction::ToggleOutlines:
      OutlineMnuClick();
      return true;
    case TKeyAction::FindBoat:
      DBBLatClick();
      return true;
    case TKeyAction::BestChartAtMouse:
      FindBest1Click();
      return true;
    case TKeyAction::MarkerAtMouse:
      SetMark1Click();
      return true;
    case TKeyAction::ChartsOnPosition:
      OnPosition1Click();
      return true;
    case TKeyAction::ListAllCharts:
      ListAllChartsClick();
      return true;
    case TKeyAction::ZoomOutAtMouse:
      ZoomStep(at, 1);
      return true;
    case TKeyAction::ZoomInAtMouse:
      ZoomStep(at, -1);
      return true;
    default:
      return false;
  }
}
