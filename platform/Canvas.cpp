#include "platform/Canvas.h"

#include <cstdio>

namespace {

std::string Pt(TCanvasPoint p) { return std::to_string(p.X) + "," + std::to_string(p.Y); }
std::string Rc(const TCanvasRect& r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom);
}
std::string Hex(TRGB c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%06X", static_cast<unsigned>(c & 0xFFFFFF));
  return buf;
}
std::string Points(const TCanvasPoint* points, size_t count) {
  std::string s;
  // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) about
  // a literal added to a temporary string.
  for (size_t i = 0; i < count; ++i) {
    if (i) s += ' ';
    s += Pt(points[i]);
  }
  return s;
}

}  // namespace

namespace {

// Another canvas, moved by an offset.
class TOffsetCanvas final : public ICanvas {
 public:
  TOffsetCanvas(ICanvas& base, TCanvasPoint offset) : base_(base), o_(offset) {}
  int32_t Width() const override { return base_.Width(); }
  int32_t Height() const override { return base_.Height(); }
  void SetPen(const TPen& pen) override { base_.SetPen(pen); }
  void SetBrush(const TBrush& brush) override { base_.SetBrush(brush); }
  void SetFont(const TFont& font) override { base_.SetFont(font); }
  void DrawLine(TCanvasPoint a, TCanvasPoint b) override { base_.DrawLine(P(a), P(b)); }
  void DrawPolyline(const TCanvasPoint* points, size_t count) override {
    std::vector<TCanvasPoint> p = Moved(points, count);
    base_.DrawPolyline(p.data(), p.size());
  }
  void DrawPolygon(const TCanvasPoint* points, size_t count) override {
    std::vector<TCanvasPoint> p = Moved(points, count);
    base_.DrawPolygon(p.data(), p.size());
  }
  void DrawEllipse(const TCanvasRect& r) override { base_.DrawEllipse(R(r)); }
  void DrawRect(const TCanvasRect& r) override { base_.DrawRect(R(r)); }
  void DrawRoundRect(const TCanvasRect& r, int32_t cw, int32_t ch) override { base_.DrawRoundRect(R(r), cw, ch); }
  void FillRect(const TCanvasRect& r, TRGB color) override { base_.FillRect(R(r), color); }
  void DrawLines(const TCanvasPoint* ends, size_t lineCount) override {
    std::vector<TCanvasPoint> p = Moved(ends, 2 * lineCount);
    base_.DrawLines(p.data(), lineCount);
  }
  void DrawRects(const TCanvasRect* rects, size_t count) override {
    std::vector<TCanvasRect> r;
    r.reserve(count);
    for (size_t i = 0; i < count; ++i) r.push_back(R(rects[i]));
    base_.DrawRects(r.data(), r.size());
  }
  void DrawText(TCanvasPoint p, std::string_view utf8) override { base_.DrawText(P(p), utf8); }
  TCanvasPoint TextExtent(std::string_view utf8) override { return base_.TextExtent(utf8); }
  void DrawImage(const TCanvasRect& dest, const TImageView& image, const TCanvasRect& src) override {
    base_.DrawImage(R(dest), image, src);
  }
  void SetClip(const TCanvasRect& r) override { base_.SetClip(R(r)); }
  void ResetClip() override { base_.ResetClip(); }

 private:
  TCanvasPoint P(TCanvasPoint p) const { return {p.X + o_.X, p.Y + o_.Y}; }
  TCanvasRect R(const TCanvasRect& r) const { return {r.Left + o_.X, r.Top + o_.Y, r.Right + o_.X, r.Bottom + o_.Y}; }
  std::vector<TCanvasPoint> Moved(const TCanvasPoint* points, size_t count) const {
    std::vector<TCanvasPoint> p;
    p.reserve(count);
    for (size_t i = 0; i < count; ++i) p.push_back(P(points[i]));
    return p;
  }
  ICanvas& base_;
  TCanvasPoint o_;
};

}  // namespace

void ICanvas::DrawStamps(const TStamp& stamp, const TCanvasPoint* at, size_t count) {
  if (!stamp.draw) return;
  for (size_t i = 0; i < count; ++i) {
    TOffsetCanvas moved(*this, at[i]);
    stamp.draw(moved);
  }
}

void ICanvas::DrawLines(const TCanvasPoint* ends, size_t lineCount) {
  for (size_t i = 0; i < lineCount; ++i) DrawLine(ends[2 * i], ends[2 * i + 1]);
}

void ICanvas::DrawRects(const TCanvasRect* rects, size_t count) {
  for (size_t i = 0; i < count; ++i) DrawRect(rects[i]);
}

void TRecordingCanvas::SetPen(const TPen& pen) {
  pen_ = pen;
  calls_.push_back("pen " + Hex(pen.color) + " " + std::to_string(pen.width) + " " +
                   std::to_string(static_cast<int>(pen.style)));
}
void TRecordingCanvas::SetBrush(const TBrush& brush) {
  brush_ = brush;
  calls_.push_back("brush " + Hex(brush.color) + " " + std::to_string(static_cast<int>(brush.style)));
}
void TRecordingCanvas::SetFont(const TFont& font) {
  font_ = font;
  calls_.push_back("font " + font.family + " " + std::to_string(font.pointSize) + (font.bold ? " bold" : ""));
}
void TRecordingCanvas::DrawLine(TCanvasPoint a, TCanvasPoint b) { calls_.push_back("line " + Pt(a) + " " + Pt(b)); }
void TRecordingCanvas::DrawPolyline(const TCanvasPoint* points, size_t count) {
  calls_.push_back("polyline " + Points(points, count));
}
void TRecordingCanvas::DrawPolygon(const TCanvasPoint* points, size_t count) {
  calls_.push_back("polygon " + Points(points, count));
}
void TRecordingCanvas::DrawEllipse(const TCanvasRect& r) { calls_.push_back("ellipse " + Rc(r)); }
void TRecordingCanvas::DrawRect(const TCanvasRect& r) { calls_.push_back("rect " + Rc(r)); }
void TRecordingCanvas::DrawRoundRect(const TCanvasRect& r, int32_t cornerW, int32_t cornerH) {
  calls_.push_back("roundrect " + Rc(r) + " " + std::to_string(cornerW) + "," + std::to_string(cornerH));
}
void TRecordingCanvas::FillRect(const TCanvasRect& r, TRGB color) {
  calls_.push_back("fill " + Rc(r) + " " + Hex(color));
}
void TRecordingCanvas::DrawText(TCanvasPoint p, std::string_view utf8) {
  calls_.push_back("text " + Pt(p) + " " + std::string(utf8));
}
TCanvasPoint TRecordingCanvas::TextExtent(std::string_view utf8) {
  // A fixed-pitch guess is enough for layout tests.
  return {static_cast<int32_t>(utf8.size()) * font_.pointSize * 2 / 3, font_.pointSize * 4 / 3};
}
void TRecordingCanvas::DrawImage(const TCanvasRect& dest, const TImageView& image, const TCanvasRect& src) {
  calls_.push_back("image " + Rc(dest) + " from " + Rc(src) + " of " + std::to_string(image.width) + "x" +
                   std::to_string(image.height));
}
void TRecordingCanvas::SetClip(const TCanvasRect& r) { calls_.push_back("clip " + Rc(r)); }
void TRecordingCanvas::ResetClip() { calls_.push_back("noclip"); }
