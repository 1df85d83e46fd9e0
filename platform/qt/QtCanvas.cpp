#include "platform/qt/QtCanvas.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPaintDevice>
#include <QPolygon>
#include <QStaticText>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <unordered_map>
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
    case TPenStyle::DashDotDot:
      p.setStyle(Qt::DashDotDotLine);
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

void TQtCanvas::DrawRoundRect(const TCanvasRect& r, int32_t cornerW, int32_t cornerH) {
  // Qt takes the radii of the corners' ellipses, the classic call their sizes.
  painter_.drawRoundedRect(ToQRect(r), cornerW / 2.0, cornerH / 2.0);
}

void TQtCanvas::DrawLines(const TCanvasPoint* ends, size_t lineCount) {
  // TCanvasPoint is two int32 like QPoint's two ints, but the layouts are
  // not promised to match: converted in chunks.
  QPoint buffer[512];
  size_t done = 0;
  while (done < lineCount) {
    const size_t n = std::min<size_t>(lineCount - done, std::size(buffer) / 2);
    for (size_t i = 0; i < 2 * n; ++i) buffer[i] = QPoint(ends[2 * done + i].X, ends[2 * done + i].Y);
    painter_.drawLines(buffer, static_cast<int>(n));
    done += n;
  }
}

void TQtCanvas::DrawRects(const TCanvasRect* rects, size_t count) {
  QRect buffer[256];
  size_t done = 0;
  while (done < count) {
    const size_t n = std::min<size_t>(count - done, std::size(buffer));
    for (size_t i = 0; i < n; ++i) buffer[i] = ToQRect(rects[done + i]);
    painter_.drawRects(buffer, static_cast<int>(n));
    done += n;
  }
}

void TQtCanvas::FillRect(const TCanvasRect& r, TRGB color) { painter_.fillRect(ToQRect(r), ToQColor(color)); }

namespace {

struct TCachedText {
  QStaticText text;
  bool prepared = false;
  int32_t advance = 0;
  int32_t height = 0;
};

constexpr size_t kTextCacheLimit = 20000;

// Font key + "\x1f" + text -> its layout and size.
std::unordered_map<std::string, TCachedText>& TextCache() {
  static std::unordered_map<std::string, TCachedText> cache;
  return cache;
}

void ClearTextCache() { TextCache().clear(); }

// The layouts hold on to the application's fonts: they go with it.
void ClearTextCacheWithTheApplication() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  qAddPostRoutine(ClearTextCache);
}

}  // namespace

const std::string& TQtCanvas::FontKey() {
  const QFont& f = painter_.font();
  if (fontKey_.empty() || !(f == keyFont_)) {
    keyFont_ = f;
    fontKey_ = f.key().toStdString();
    fontKey_ += '\x1f';
  }
  return fontKey_;
}

// The cache entry of a text in the painter's font, measured.
static TCachedText& CachedText(QPainter& painter, const std::string& fontKey, std::string_view utf8) {
  auto& cache = TextCache();
  std::string key;
  key.reserve(fontKey.size() + utf8.size());
  key += fontKey;
  key += utf8;
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  if (cache.size() >= kTextCacheLimit) cache.clear();
  ClearTextCacheWithTheApplication();
  TCachedText entry;
  const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  const QFontMetrics fm(painter.font());
  entry.text.setText(s);
  entry.text.setTextFormat(Qt::PlainText);
  entry.advance = fm.horizontalAdvance(s);
  entry.height = fm.height();
  return cache.emplace(std::move(key), std::move(entry)).first->second;
}

void TQtCanvas::DrawText(TCanvasPoint p, std::string_view utf8) {
  const QPaintDevice* device = painter_.device();
  const int type = device ? device->devType() : QInternal::UnknownDevice;
  if (type != QInternal::Image && type != QInternal::Widget && type != QInternal::Pixmap) {
    // Printers and recordings lay the text out for themselves.
    const QPen saved = painter_.pen();
    painter_.setPen(fontColor_);
    const QFontMetrics fm(painter_.font());
    painter_.drawText(p.X, p.Y + fm.ascent(), QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
    painter_.setPen(saved);
    return;
  }
  TCachedText& t = CachedText(painter_, FontKey(), utf8);
  if (!t.prepared) {
    t.text.prepare(QTransform(), painter_.font());
    t.prepared = true;
  }
  const QPen saved = painter_.pen();
  painter_.setPen(fontColor_);
  // The point is the text's top left, as the static text is placed.
  painter_.drawStaticText(p.X, p.Y, t.text);
  painter_.setPen(saved);
}

TCanvasPoint TQtCanvas::TextExtent(std::string_view utf8) {
  const TCachedText& t = CachedText(painter_, FontKey(), utf8);
  return {t.advance, t.height};
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

namespace {

// The stamps' pictures, by key; all painting runs on the main thread.
std::unordered_map<std::string, QImage>& StampCache() {
  static std::unordered_map<std::string, QImage> cache;
  return cache;
}
// Symbols need a few pictures; the names beside them one each, and a view
// crowded with them shows well under this many.
constexpr size_t kStampCacheLimit = 4096;
// Larger pictures are drawn in place: copying them gains nothing.
constexpr int32_t kStampSideLimit = 256;

}  // namespace

void TQtCanvas::DrawStamps(const TStamp& stamp, const TCanvasPoint* at, size_t count) {
  if (!stamp.draw || count == 0) return;
  if (stamp.width <= 0 || stamp.height <= 0 || stamp.width > kStampSideLimit || stamp.height > kStampSideLimit) {
    ICanvas::DrawStamps(stamp, at, count);
    return;
  }
  // Drawn at the device's pixel ratio, so that symbols stay sharp on a
  // high-resolution screen.
  const qreal dpr = painter_.device() ? painter_.device()->devicePixelRatioF() : 1.0;
  std::string key = stamp.key;
  key += "@" + std::to_string(static_cast<int>(dpr * 100));
  auto& cache = StampCache();
  auto it = cache.find(key);
  if (it == cache.end()) {
    if (cache.size() >= kStampCacheLimit) cache.clear();
    QImage picture(static_cast<int>(std::ceil(stamp.width * dpr)), static_cast<int>(std::ceil(stamp.height * dpr)),
                   QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(dpr);
    picture.fill(Qt::transparent);
    {
      QPainter p(&picture);
      p.setFont(painter_.font());
      TQtCanvas inner(p, stamp.width, stamp.height);
      stamp.draw(inner);
    }
    it = cache.emplace(std::move(key), std::move(picture)).first;
  }
  const QImage& picture = it->second;
  for (size_t i = 0; i < count; ++i) painter_.drawImage(at[i].X, at[i].Y, picture);
}

void TQtCanvas::SetClip(const TCanvasRect& r) { painter_.setClipRect(ToQRect(r)); }

void TQtCanvas::ResetClip() { painter_.setClipping(false); }
