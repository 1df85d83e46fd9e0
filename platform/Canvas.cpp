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
