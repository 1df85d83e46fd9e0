// The chart view: the chart on show and how it is shown. Opening charts
// (from the catalog, from a file, the previous one; ChartOpen.cpp), zoom,
// scroll, the boat's screen points, the range rings and the title
// (ChartZoom.cpp), the mouse and the wheel on the chart (ChartMouse.cpp),
// painting the chart and what lies over it (ChartPaint.cpp), and the chart
// commands of the menus, the keys and the GPS box, the marker and the
// double-click action (ChartCommands.cpp). The plain logic is in
// plotter/core/ChartView.h (zoom, scroll, the mouse's states),
// plotter/core/ChartLoader.h (opening a chart) and
// plotter/core/ChartOverlays.h (the boat, the rings, the title).
//
// Opening a chart is a transaction: the new chart is read into objects of
// its own and only when it has opened does it replace the chart on show,
// with its decoder, converter and indexes. A chart that fails leaves the
// old one on screen and the message panel says why. A load that the update
// cycle starts never opens a dialog: it cannot keep alarms and autopilot
// sentences waiting for someone to answer.
#pragma once

#include <QImage>
#include <QPoint>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "charts/ChartInfo.h"
#include "foundation/Types.h"
#include "plotter/WindowServices.h"
#include "plotter/chartview/ChartOverlay.h"
#include "plotter/core/ChartLoader.h"
#include "plotter/core/ChartOverlays.h"
#include "plotter/core/ChartView.h"

class QFrame;
class QLabel;
class QMouseEvent;
class QPainter;
class QPushButton;
class QRect;
class QSize;
class QTimer;
class QWheelEvent;
class TAisDecoder;
class TBitmapPager;
class TChartCanvas;
class TChartFile;
class TChartHeadExternalCodec;
class TChartList;
class TDatum;
class TKAPDecoder;
class TNMEA;
class TQuickShape;
class TRoute;
class TWCIDecoder;
class TWorldConvert;
struct TChartCursors;
struct TKeyDecision;

class TChartDisplay final : public TWindowFeature {
 public:
  // What the view works with. The decoders are the window's: a chart of
  // their kind that opens takes the place of the one there.
  struct TObjects {
    TChartList& catalog;
    TDatum& datum;
    std::unique_ptr<TKAPDecoder>& kap;
    std::unique_ptr<TWCIDecoder>& wci;
    TWorldConvert& converter;
    TBitmapPager& pager;
    TChartHeadExternalCodec& codec;
    TChartFile& chartFile;
    TNMEA& parser;
    // The own ship's outline comes from its transponder's data.
    const TAisDecoder& ais;
    TQuickShape& boat;
    TQuickShape& rings;
    TQuickShape& speedMark;
    // Restyled when AUTOMATIC is switched.
    TRoute& positions;
  };
  // Takes over the canvas's painting, mouse and size events and wires the
  // chart commands of the menus and the GPS box.
  TChartDisplay(const TWindowContext& c, const TObjects& objects, TChartCanvas& canvas, TChartCursors& cursors);
  ~TChartDisplay();

  // The canvas the chart is drawn on.
  TChartCanvas& Canvas() const { return canvas_; }
  // Something drawn over the chart, at its level.
  void AddOverlay(TOverlayLevel level, IChartOverlay& overlay);
  // A double-click in the route editor asks for a point there (the route
  // editor sets it).
  std::function<void(const TFPoint& viewPoint)> OnInsertRoutePoint;
  // Asks the user to name a chart's datum among the table's (a chart whose
  // datum is unknown, "Use KAP zero shift" 0). Tests replace it.
  std::function<bool(const std::string& datumName)> AskDatumAlias;

  // ---- the chart on show ----
  // Zoom, scroll, the mouse on the chart, the view's history.
  TChartView View;
  // The chart on show: its record (with bounds, centre, north rotation and
  // miles per pixel), kind and files; the previous chart's file.
  RChartInfo ChartInfo;
  TChartKind ChartKind = TChartKind::None;
  std::string CurrentChartFile;
  std::string PreviousChartFile;
  // Catalog indexes of the chart on show and the one before (-1: not in
  // the catalog, -2: none yet); the preferred scale of chart choices.
  int CurrentChart = -2;
  int PreviousChart = -2;
  double PreferredScale = 0;
  // Positions of the pixels 100 beyond the chart's corners.
  TFPointArray ExtendedCorners;
  // A plain image chart (shown without the pager), shaded, and its
  // picture in its day colours.
  QImage ChartImage;
  QImage ChartImageDay;
  // Where UpdateView and UpdateBoatPoints placed the boat (the paint draws
  // it there).
  TBoatPoints BoatPoints;
  TRings Rings;
  // Chart outlines shown ("Outline").
  bool OutlinesShown = false;
  // The position under the mouse when the last key command or context
  // menu came (pixel on the canvas, and geographic when a chart is open).
  QPoint MenuPixel;
  TFPoint MenuPos{};
  bool MenuPosValid = false;
  // The marker: while it is shown the tick keeps the marker box showing its
  // position with bearing and distance from the boat.
  bool MarkerShown = false;
  TFPoint MarkerPos{};

  // ---- opening charts (ChartOpen.cpp) ----
  // Opens a chart file and shows it; see T_Form::LoadChart.
  bool LoadChart(const std::string& file, bool interactive = true);
  // Opens catalog entry `index` unless it is negative or already shown;
  // the index shown afterwards, -1 when nothing was opened.
  int OpenCatalogChart(int index, bool interactive = true);
  // The chart at a point of the view: across the chart's edge near it, else
  // the best chart at its position; centred on the position when a chart
  // opened. The index opened, or -1.
  int BestChartAtPoint(const TFPoint& viewPoint, double preferredScale);
  // The best chart for a position, centred on it when one opened.
  int BestChartForPosition(const TFPoint& pos, double preferredScale, bool interactive = true);
  // Centres on the position when the chart shows it, else opens the best
  // chart for it; in AUTOMATIC the boat's position is taken.
  void FindPosition(const TFPoint& pos);
  // The update cycle's chart choice: the catalog's best chart for the
  // look-ahead point and the boat, opened without any dialog.
  void AutoOpenBestChart(const TFPoint& lookAhead, const TFPoint& boat);
  // The position lies inside the chart's border.
  bool InsideCurrentChart(const TFPoint& pos) const;
  // The image chart shaded anew for the current shade level.
  void RefreshChartShade();
  // A changed "GPS Datum": the receiver's shift at the chart's shift point
  // again.
  void ApplyGpsDatum();

  // ---- zoom, scroll, the boat, the title (ChartZoom.cpp) ----
  // Redraws the chart view.
  void Repaint();
  // The view's size in pixels.
  TPoint ViewSize() const;
  // The zoom procedure about a point of the view, and what depends on the
  // zoom.
  void ApplyZoom(const TFPoint& viewPoint, bool force);
  void ZoomTo(const TFPoint& viewPoint, double zoom);
  // One zoom step; successive steps show the chart scaled until they pause
  // for kZoomSettleMs, then it is drawn at its new zoom.
  void ZoomStep(const TFPoint& viewPoint, int delta);
  static constexpr int kZoomSettleMs = 80;
  // Draws the chart at its zoom now (the end of a series of zoom steps).
  void SettleZoom();
  bool ZoomPreviewShown() const { return !zoomFrame_.isNull(); }
  void ScrollTo(TPoint offset);
  // Centres the view on a position, shifted by (dx, dy) view pixels.
  void CentreOnPosition(const TFPoint& pos, int dx = 0, int dy = 0);
  void CentreOnViewPoint(const TFPoint& viewPoint);
  // Boat in view, range rings, title and boat points; true when the boat
  // is in view.
  bool UpdateView();
  // The boat's screen points; true when the boat's position changed.
  bool UpdateBoatPoints();
  void UpdateTitle();
  // The marker box shows the position with its bearing and distance from
  // `from`.
  void ShowPositionInfo(const TFPoint& pos, const TFPoint& from);
  // The position under a point of the view; false without a chart.
  bool PositionAtView(const TFPoint& viewPoint, TFPoint& pos) const;
  // While the dashboard's width changes the chart keeps its scroll offset
  // (a window resize keeps the middle of the view instead).
  void KeepScrollOnResize(bool keep) { keepScrollOnResize_ = keep; }

  // ---- painting (ChartPaint.cpp) ----
  // Paints the view (the chart canvas calls it).
  void PaintChart(QPainter& painter, const QRect& dirty);

  // ---- commands (ChartCommands.cpp) ----
  void XOpenClick();
  void ListAllChartsClick();
  void Last1Click();
  void OnPosition1Click();
  // "Chart &Info": the chart on show in the chart information window.
  void MChartInfo1Click();
  void FindBest1Click();
  void NextChart1Click();
  void SmallerScale1Click();
  void OutlineMnuClick();
  void BestChartForBoatClick();
  void DBBLatClick();
  void DBBLatDblClick();
  void SetMark1Click();
  void MeasureLabClick();
  void CenterLabClick();
  // AUTOMATIC on or off (DBI_AUTO, F2, Ctrl+A); refused in the editor.
  void DBI_AUTOClick();
  // The chart keys of the key map; false when the key is not a chart key.
  bool DoChartKeyAction(const TKeyDecision& d);
  // The position under the mouse becomes the menu position.
  void StoreMenuPosition();
  // The marker; "&MARK MOB" (Ctrl+Space) sets it at the boat.
  void SetMarker(const TFPoint& pos);
  void ClearMarker();
  void RefreshMarkerBox();
  void MANOVERBOARD1Click();
  // What a double-click on the chart does: measure (true) or centre.
  bool DoubleClickMeasures() const;
  void ToggleDoubleClickAction();

 private:
  void WireCommands();
  void CommitChart(TOpenedChart&& chart);
  void ChartFailed(const std::string& file, const TChartLoadError& error, bool interactive);
  void ChartMousePress(QMouseEvent* e);
  void ChartMouseMove(QMouseEvent* e);
  void ChartMouseRelease(QMouseEvent* e);
  void ChartDoubleClick(QMouseEvent* e);
  void ChartWheel(QWheelEvent* e);
  void ChartResized(const QSize& before, const QSize& after);
  void ShowMouseCursor(const TFPoint& viewPoint);
  void SyncConverterScale();
  void UpdateRings();
  // The boat points, the rings measured at the boat and the title (always,
  // or only when the ring step changed); whether the boat moved.
  bool PlaceBoat(bool titleAlways);
  void PaintOverlays(QPainter& painter);
  void PaintOutlines(QPainter& painter);

  TObjects o_;
  TChartCanvas& canvas_;
  TChartCursors& cursors_;
  QFrame& markerBox_;
  QLabel& markerLat_;
  QLabel& markerLong_;
  QLabel& markerHead_;
  QLabel& markerDist_;
  QPushButton& measureButton_;
  QPushButton& centerButton_;
  // The overlays by level, in the order they were added within a level.
  std::vector<std::pair<TOverlayLevel, IChartOverlay*>> overlays_;
  // Where the receiver's datum shift was computed for the chart on show.
  std::optional<TFPoint> gpsShiftPoint_;
  bool keepScrollOnResize_ = false;
  // The chart canvas's last frame, shown moved while the chart is dragged
  // with "Drag Update" off.
  QImage panFrame_;
  // While the wheel or the keys zoom step by step, the chart as it was
  // before the first step (zoom and scroll offset then), shown scaled until
  // the steps pause; then the chart is drawn at its new zoom once.
  QImage zoomFrame_;
  double zoomFrameZoom_ = 0;
  TPoint zoomFrameScroll_;
  std::unique_ptr<QTimer> zoomSettle_;
  bool paintChartOnly_ = false;
};
