// The map of the calibration tool's window: the open image or chart at the
// zoom (screen pixel = image pixel x zoom) on the canvas MapCanvas, inside
// the panel MapP of the scroll box Scroll; the marks drawn over it, each
// layer by the feature it belongs to; and the markers of the reference and
// border points, with the colours of the map's marks.
#pragma once

#include <QImage>
#include <QObject>

#include <utility>
#include <vector>

#include "calibrator/calibration/CalViews.h"
#include "calibrator/mapview/core/CalView.h"
#include "foundation/Colors.h"
#include "navobjects/NavCtrls.h"

class ICanvas;
class QLabel;
class QPainter;
class QPoint;
class QPushButton;
class QRect;
class QScrollArea;
class TBitmapPager;
class TCalibration;
class TChartCanvas;

// The colours of the map's marks (the colour panels of the side panel).
struct TCalColours {
  TColor Grid = kPalette16[piFuchsia];        // BCLR
  TColor RefNormal = kPalette16[piBlack];     // RefCN
  TColor RefSelected = kPalette16[piRed];     // RefCH
  TColor BorderLine = kPalette16[piFuchsia];  // ECLR
  TColor NeatNormal = kPalette16[piBlack];    // NeatCN
  TColor NeatSelected = kPalette16[piRed];    // NeatCH
};

// What is drawn over the picture, bottom to top.
enum class TMapLayer { Grid, BorderLine, Markers, Square };

// A layer of marks; it draws in map (zoomed) pixels.
class IMapOverlay {
 public:
  virtual ~IMapOverlay() = default;
  virtual void PaintOverlay(ICanvas& canvas) = 0;
};

struct TMapControls {
  QScrollArea& Scroll;
  QWidget& MapP;
  TChartCanvas& MapCanvas;
  QLabel& Zl;  // "Zoom %"
  QPushButton& ZoomIn;
  QPushButton& ZoomOut;
};

class TMapView : public QObject, public ICalView, public IMapOverlay {
 public:
  // The colour behind the image is the window's; the markers have the size
  // of the marker size 1..5.
  TMapView(const TMapControls& controls, QWidget& window, const TCalibration& cal, TBitmapPager& pager,
           TCalViews& views, int markerSize);

  // ---- the open chart ----
  // Shows the open chart: through the pager (KAP and WCI), or its picture.
  void BindChart();
  // Stops a draw under way; false when it cannot be stopped.
  bool StopDrawing();
  // Shows nothing (no chart, no picture, no markers), at zoom 1.
  void Unbind();

  // ---- image pixels and map points ----
  TFPoint ImagePixelAt(const QPoint& mapPoint) const;
  QPoint MapPointOf(const TFPoint& imagePixel) const;
  // Scrolls so that the image pixel is in the middle of the view.
  void CentreOn(const TFPoint& imagePixel);
  // The scroll position of the view (map points), for panning.
  QPoint ScrollPosition() const;
  void ScrollTo(const QPoint& position);
  double Zoom() const { return zoom_.Applied(); }
  // "+" and "-": the same image point stays in the middle.
  void ZoomInClick();
  void ZoomOutClick();

  // ---- marks ----
  TNavShapeCollection RefMarkers;
  TNavShapeCollection BorderMarkers;
  TCalColours Colours;
  // The markers' colours and shapes from Colours.
  void ApplyMarkerStyles();
  // The markers at their points (not while one is dragged).
  void SyncMarkers();
  // A layer of marks, drawn in the order of the layers.
  void AddOverlay(TMapLayer layer, IMapOverlay& overlay);
  // A line through image pixels, drawn at the zoom.
  void DrawPixelLine(ICanvas& canvas, const std::vector<TFPoint>& pixels) const;
  TChartCanvas& Canvas() { return c_.MapCanvas; }
  void Update();

  void Refresh() override;
  void PaintOverlay(ICanvas& canvas) override;

 private:
  void LayoutMap();
  void Zoomed(bool changed, const TFPoint& centre);
  TFPoint ViewCentre() const;
  void PaintMap(QPainter& painter, const QRect& dirty);

  TMapControls c_;
  QWidget& window_;
  const TCalibration& cal_;
  TBitmapPager& pager_;
  TCalZoom zoom_;
  // Image1: the picture of a plain image (BMP, PNG, GIF and the others),
  // stretched to the zoom; KAP, NOS and WCI charts go through the pager.
  QImage Image1;
  std::vector<std::pair<TMapLayer, IMapOverlay*>> overlays_;
};
