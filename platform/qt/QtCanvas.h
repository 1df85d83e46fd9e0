// The canvas of the window programs: draws with a QPainter.
#pragma once

#include <QFont>

#include <QPainter>

#include "platform/Canvas.h"

class TQtCanvas final : public ICanvas {
 public:
  // The painter must stay active while the canvas is used.
  TQtCanvas(QPainter& painter, int32_t width, int32_t height);
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  void SetPen(const TPen& pen) override;
  void SetBrush(const TBrush& brush) override;
  void SetFont(const TFont& font) override;
  void DrawLine(TCanvasPoint a, TCanvasPoint b) override;
  void DrawPolyline(const TCanvasPoint* points, size_t count) override;
  void DrawPolygon(const TCanvasPoint* points, size_t count) override;
  void DrawEllipse(const TCanvasRect& r) override;
  void DrawRect(const TCanvasRect& r) override;
  void DrawRoundRect(const TCanvasRect& r, int32_t cornerW, int32_t cornerH) override;
  void DrawLines(const TCanvasPoint* ends, size_t lineCount) override;
  void DrawRects(const TCanvasRect* rects, size_t count) override;
  // Stamps are drawn once into a picture kept for the process (a few
  // hundred at most) and copied.
  void DrawStamps(const TStamp& stamp, const TCanvasPoint* at, size_t count) override;
  void FillRect(const TCanvasRect& r, TRGB color) override;
  // Texts are laid out once per font and kept for the process (up to a
  // few ten thousand, then the cache starts again): labels are drawn again
  // at every repaint, and their layout is most of their cost.
  void DrawText(TCanvasPoint p, std::string_view utf8) override;
  TCanvasPoint TextExtent(std::string_view utf8) override;
  void DrawImage(const TCanvasRect& dest, const TImageView& image, const TCanvasRect& src) override;
  void SetClip(const TCanvasRect& r) override;
  void ResetClip() override;

  QPainter& painter() { return painter_; }

 private:
  // The key of the painter's font in the text cache (recomputed when the
  // font changes).
  const std::string& FontKey();

  QPainter& painter_;
  int32_t width_;
  int32_t height_;
  QColor fontColor_;
  QFont keyFont_;
  std::string fontKey_;
};
