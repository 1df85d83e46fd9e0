#include "calibrator/mapview/MapView.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/start/core/TeskorStart.h"
#include "charts/BMPager.h"
#include "platform/qt/QtCanvas.h"
#include "sharedui/ChartCanvas.h"

namespace {

// The picture of a plain image, over the calibration's own pixels (no copy).
QImage WrapImage(const TChartImage& im) {
  if (im.Empty() || im.Width <= 0 || im.Height <= 0) return {};
  if (im.Format == TImageFormat::Rgb32)
    return QImage(im.Pixels.data(), im.Width, im.Height, static_cast<qsizetype>(im.Stride), QImage::Format_RGB32);
  QImage q(im.Pixels.data(), im.Width, im.Height, static_cast<qsizetype>(im.Stride), QImage::Format_Indexed8);
  QList<QRgb> table;
  for (TRgb c : im.Palette) table.push_back(c | 0xFF000000u);
  while (table.size() < 256) table.push_back(0xFF000000u);
  q.setColorTable(table);
  return q;
}

}  // namespace

TMapView::TMapView(const TMapControls& controls, QWidget& window, const TCalibration& cal, TBitmapPager& pager,
                   TCalViews& views, int markerSize)
    : c_(controls), window_(window), cal_(cal), pager_(pager) {
  c_.MapCanvas.OnPaint = [this](QPainter& p, const QRect& dirty) { PaintMap(p, dirty); };
  connect(&c_.ZoomIn, &QPushButton::clicked, this, [this] { ZoomInClick(); });
  connect(&c_.ZoomOut, &QPushButton::clicked, this, [this] { ZoomOutClick(); });
  RefMarkers.Size = BorderMarkers.Size = MarkerPixels(markerSize);
  ApplyMarkerStyles();
  AddOverlay(TMapLayer::Markers, *this);
  views.Add(*this);
}

// ---------------------------------------------------------------------------
// The open chart

void TMapView::BindChart() {
  Image1 = QImage();
  pager_.Active = false;
  if (TPagerSource* source = cal_.Source()) {
    pager_.SetDecoder(source);
    cal_.FillColours(pager_.Colours);
    pager_.SetImageSize(cal_.Width(), cal_.Height());
    pager_.Active = true;
  } else {
    pager_.SetDecoder(nullptr);
    Image1 = WrapImage(cal_.Image());
  }
}

bool TMapView::StopDrawing() { return pager_.Stop(); }

void TMapView::Unbind() {
  pager_.SetDecoder(nullptr);
  pager_.ClearCache();
  pager_.Active = false;
  Image1 = QImage();
  RefMarkers.Clear();
  BorderMarkers.Clear();
  zoom_.Reset();
}

// ---------------------------------------------------------------------------
// Image pixels, map points and the zoom

TFPoint TMapView::ImagePixelAt(const QPoint& p) const {
  const double z = zoom_.Applied();
  return {std::round(p.x() / z), std::round(p.y() / z)};
}

QPoint TMapView::MapPointOf(const TFPoint& px) const {
  const double z = zoom_.Applied();
  return {static_cast<int>(std::lround(px.X * z)), static_cast<int>(std::lround(px.Y * z))};
}

void TMapView::CentreOn(const TFPoint& px) {
  const QPoint m = MapPointOf(px);
  c_.Scroll.horizontalScrollBar()->setValue(m.x() - c_.Scroll.viewport()->width() / 2);
  c_.Scroll.verticalScrollBar()->setValue(m.y() - c_.Scroll.viewport()->height() / 2);
}

QPoint TMapView::ScrollPosition() const {
  return {c_.Scroll.horizontalScrollBar()->value(), c_.Scroll.verticalScrollBar()->value()};
}

void TMapView::ScrollTo(const QPoint& position) {
  c_.Scroll.horizontalScrollBar()->setValue(position.x());
  c_.Scroll.verticalScrollBar()->setValue(position.y());
}

TFPoint TMapView::ViewCentre() const {
  return ImagePixelAt(QPoint(c_.Scroll.horizontalScrollBar()->value() + c_.Scroll.viewport()->width() / 2,
                             c_.Scroll.verticalScrollBar()->value() + c_.Scroll.viewport()->height() / 2));
}

void TMapView::ZoomInClick() {
  if (!cal_.IsOpen()) return;
  const TFPoint centre = ViewCentre();
  Zoomed(zoom_.ZoomIn(cal_.Width(), cal_.Height()), centre);
}

void TMapView::ZoomOutClick() {
  if (!cal_.IsOpen()) return;
  const TFPoint centre = ViewCentre();
  Zoomed(zoom_.ZoomOut(cal_.Width(), cal_.Height()), centre);
}

void TMapView::Zoomed(bool changed, const TFPoint& centre) {
  if (!changed) return;
  pager_.ClearCache();
  LayoutMap();
  SyncMarkers();
  c_.Zl.setText(QString::number(zoom_.Percent()));
  c_.MapCanvas.update();
  CentreOn(centre);
}

void TMapView::LayoutMap() {
  const double z = zoom_.Applied();
  const QSize size = cal_.IsOpen() ? QSize(static_cast<int>(std::ceil(cal_.Width() * z)),
                                           static_cast<int>(std::ceil(cal_.Height() * z)))
                                   : QSize(1, 1);
  c_.MapP.resize(size);
  c_.MapCanvas.setGeometry(0, 0, size.width(), size.height());
}

void TMapView::Refresh() {
  LayoutMap();
  c_.Zl.setText(QString::number(zoom_.Percent()));
  SyncMarkers();
  c_.MapCanvas.update();
}

// ---------------------------------------------------------------------------
// Marks

void TMapView::ApplyMarkerStyles() {
  RefMarkers.NormalStyle.Color = Colours.RefNormal;
  RefMarkers.SelectedStyle.Color = Colours.RefSelected;
  RefMarkers.NormalStyle.Shape = RefMarkers.SelectedStyle.Shape = NavPlusCircle;
  BorderMarkers.NormalStyle.Color = Colours.NeatNormal;
  BorderMarkers.SelectedStyle.Color = Colours.NeatSelected;
  BorderMarkers.NormalStyle.Shape = BorderMarkers.SelectedStyle.Shape = NavPlusRect;
  RefMarkers.SelectedStyle.Width = BorderMarkers.SelectedStyle.Width = 2;
  RefMarkers.StyleAll();
  BorderMarkers.StyleAll();
}

void TMapView::SyncMarkers() {
  // Not under a drag: the marker being dragged stays the one the mouse has.
  if (RefMarkers.HasMouse() || BorderMarkers.HasMouse()) return;
  RefMarkers.Clear();
  BorderMarkers.Clear();
  for (int i = 0; i < cal_.RefCount(); ++i) {
    const QPoint p = MapPointOf({cal_.Ref(i).X, cal_.Ref(i).Y});
    TNavShape* s = RefMarkers.Add({p.x(), p.y()}, false);
    s->Caption = PointName(i);
    s->Selected = i == cal_.SelectedRef;
    s->Locked = cal_.ReadOnly();
  }
  for (int i = 0; i < cal_.BorderCount(); ++i) {
    TFPoint px;
    if (!cal_.BorderPixel(i, px)) {
      BorderMarkers.Clear();
      break;
    }
    const QPoint p = MapPointOf(px);
    TNavShape* s = BorderMarkers.Add({p.x(), p.y()}, false);
    s->Caption = PointName(i);
    s->Selected = i == cal_.SelectedBorder;
    s->Locked = cal_.ReadOnly();
  }
  RefMarkers.StyleAll();
  BorderMarkers.StyleAll();
}

void TMapView::AddOverlay(TMapLayer layer, IMapOverlay& overlay) {
  const auto above = std::upper_bound(overlays_.begin(), overlays_.end(), layer,
                                      [](TMapLayer l, const auto& entry) { return l < entry.first; });
  overlays_.insert(above, {layer, &overlay});
}

void TMapView::DrawPixelLine(ICanvas& canvas, const std::vector<TFPoint>& pixels) const {
  std::vector<TCanvasPoint> pts;
  pts.reserve(pixels.size());
  for (const TFPoint& p : pixels) {
    const QPoint m = MapPointOf(p);
    pts.push_back({m.x(), m.y()});
  }
  if (pts.size() >= 2) canvas.DrawPolyline(pts.data(), pts.size());
}

void TMapView::Update() { c_.MapCanvas.update(); }

void TMapView::PaintOverlay(ICanvas& canvas) {
  TShapePainter shapes(canvas, {0, 0});
  BorderMarkers.PaintAll(shapes);
  RefMarkers.PaintAll(shapes);
}

void TMapView::PaintMap(QPainter& painter, const QRect& dirty) {
  painter.fillRect(dirty, window_.palette().color(QPalette::Dark));
  if (!cal_.IsOpen()) return;
  const double z = zoom_.Applied();
  const QRect chart(0, 0, c_.MapCanvas.width(), c_.MapCanvas.height());
  const QRect r = dirty.intersected(chart);
  if (!Image1.isNull()) {
    const QRectF source(r.x() / z, r.y() / z, r.width() / z, r.height() / z);
    painter.drawImage(QRectF(r), Image1, source);
  } else if (pager_.Active) {
    TQtCanvas canvas(painter, chart.width(), chart.height());
    pager_.SetCanvas(&canvas);
    pager_.Zoom = z;
    pager_.SetDestRect({r.x(), r.y()}, {r.width(), r.height()});
    pager_.Draw();
    pager_.SetCanvas(nullptr);
  }
  TQtCanvas canvas(painter, chart.width(), chart.height());
  for (const auto& [layer, overlay] : overlays_) overlay->PaintOverlay(canvas);
}
