#include "platform/qt/QtCanvas.h"

#include <QFontMetrics>
#include <QImage>
#include <QPolygon>
#include <vector>

namespace {

QColor ToQColor(TRGB c) { return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | (c & 0xFFFFFFu))); }

QRect ToQRect(const TCanvasRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

QPolygon ToQPolygon(const TCanvasPoint* points, size_t count) {
  QPolygon poly(static_cast<int>(count));
  for (size_t i = 0; i < count; ++i) poly.setPoint(static_cast<int>(i), points[i].X, points[i].Y);
  return poly;
}

}  // namespace

TQtCanvas::TQtCanvas(QPainter& painter, int32_t width, int32_t height)
    : painter_(painter), width_(width), height_(height) {}

void TQtCanvas::SetPen(const TPen& pen) {
  if (pen.style == TPenStyle::None) {
    painter_.setPen(Qt::NoPen);
    return;
  }
  QPen p(ToQColor(pen.color));
  p.setWidth(pen.width < 0 ? 0 : pen.width);
  switch (pen.style) {
    case TPenStyle::Dash:
      p.setStyle(Qt::DashLine);
      break;
    case TPenStyle::Dot:
      p.setStyle(Qt::DotLine);
      break;
    case TPenStyle::DashDot:
      p.setStyle(Qt::DashDotLine);
      break;
    default:
      p.setStyle(Qt::SolidLine);
  }
  painter_.setPen(p);
}

void TQtCanvas::SetBrush(const TBrush& brush) {
  switch (brush.style) {
    case TBrushStyle::None:
      painter_.setBrush(Qt::NoBrush);
      break;
    case TBrushStyle::Cross:
      painter_.setBrush(QBrush(ToQColor(brush.color), Qt::CrossPattern));
      break;
    case TBrushStyle::Diagonal:
      painter_.setBrush(QBrush(ToQColor(brush.color), Qt::BDiagPattern));
      break;
    default:
      painter_.setBrush(QBrush(ToQColor(brush.color)));
  }
}

void TQtCanvas::SetFont(const TFont& font) {
  QFont f = painter_.font();
  if (!font.family.empty()) f.setFamily(QString::fromStdString(font.family));
  if (font.pointSize > 0) f.setPointSize(font.pointSize);
  f.setBold(font.bold);
  painter_.setFont(f);
  fontColor_ = ToQColor(font.color);
}

void TQtCanvas::DrawLine(TCanvasPoint a, TCanvasPoint b) { painter_.drawLine(a.X, a.Y, b.X, b.Y); }

void TQtCanvas::DrawPolyline(const TCanvasPoint* points, size_t count) {
  if (count) painter_.drawPolyline(ToQPolygon(points, count));
}

void TQtCanvas::DrawPolygon(const TCanvasPoint* points, size_t count) {
  if (count) painter_.drawPolygon(ToQPolygon(points, count));
}

void TQtCanvas::DrawEllipse(const TCanvasRect& r) { painter_.drawEllipse(ToQRect(r)); }

void TQtCanvas::DrawRect(const TCanvasRect& r) { painter_.drawRect(ToQRect(r)); }

void TQtCanvas::FillRect(const TCanvasRect& r, TRGB color) { painter_.fillRect(ToQRect(r), ToQColor(color)); }

void TQtCanvas::DrawText(TCanvasPoint p, std::string_view utf8) {
  QPen saved = painter_.pen();
  painter_.setPen(fontColor_);
  QFontMetrics fm(painter_.font());
  painter_.drawText(p.X, p.Y + fm.ascent(), QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
  painter_.setPen(saved);
}

TCanvasPoint TQtCanvas::TextExtent(std::string_view utf8) {
  QFontMetrics fm(painter_.font());
  QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  return {fm.horizontalAdvance(s), fm.height()};
}

void TQtCanvas::DrawImage(const TCanvasRect& dest, const TImageView& image, const TCanvasRect& src) {
  if (!image.pixels || image.width <= 0 || image.height <= 0 || image.stride < image.width) return;
  // Wraps the caller's pixels without copying them.
  QImage view(reinterpret_cast<const uchar*>(image.pixels), image.width, image.height,
              static_cast<qsizetype>(image.stride) * 4, QImage::Format_RGB32);
  painter_.save();
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter_.drawImage(ToQRect(dest), view, ToQRect(src));
  painter_.restore();
}

void TQtCanvas::SetClip(const TCanvasRect& r) { painter_.setClipRect(ToQRect(r)); }

void TQtCanvas::ResetClip() { painter_.setClipping(false); }
