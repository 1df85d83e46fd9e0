// The drawing surface of the core code. Charts, map symbols, routes, tracks
// and targets draw through this interface; the window programs hand in a
// QPainter-backed canvas, tests a recording one. Drawing is retained-mode:
// code draws a whole picture when asked to paint, never on the screen in
// between, so there are no XOR tricks.
//
// Coordinates are device pixels; colours are 0x00RRGGBB.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

using TRGB = uint32_t;  // 0x00RRGGBB

struct TCanvasPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TCanvasPoint&, const TCanvasPoint&) = default;
};

// Left/Top inclusive, Right/Bottom exclusive.
struct TCanvasRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  friend bool operator==(const TCanvasRect&, const TCanvasRect&) = default;
};

enum class TPenStyle { Solid, Dash, Dot, DashDot, None, DashDotDot };
enum class TBrushStyle { Solid, None, Cross, Diagonal };

struct TPen {
  TRGB color = 0;
  int width = 1;
  TPenStyle style = TPenStyle::Solid;
  friend bool operator==(const TPen&, const TPen&) = default;
};

struct TBrush {
  TRGB color = 0xFFFFFF;
  TBrushStyle style = TBrushStyle::None;
  friend bool operator==(const TBrush&, const TBrush&) = default;
};

struct TFont {
  std::string family;  // empty: the canvas's default family
  int pointSize = 9;
  bool bold = false;
  TRGB color = 0;
  friend bool operator==(const TFont&, const TFont&) = default;
};

// A view of 32-bit pixels 0xFFRRGGBB (the highest byte is ignored), rows top
// first; stride is in pixels.
struct TImageView {
  const uint32_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;
};

class ICanvas;

// A small picture repeated at many places (map symbols of one kind): the
// same key always means the same picture. `draw` draws it with its top-left
// corner at (0, 0) within width x height pixels.
struct TStamp {
  std::string key;
  int32_t width = 0;
  int32_t height = 0;
  std::function<void(ICanvas&)> draw;
};

class ICanvas {
 public:
  virtual ~ICanvas() = default;

  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;

  virtual void SetPen(const TPen& pen) = 0;
  virtual void SetBrush(const TBrush& brush) = 0;
  virtual void SetFont(const TFont& font) = 0;

  virtual void DrawLine(TCanvasPoint a, TCanvasPoint b) = 0;
  virtual void DrawPolyline(const TCanvasPoint* points, size_t count) = 0;
  // Closed polygon, outlined with the pen and filled with the brush.
  virtual void DrawPolygon(const TCanvasPoint* points, size_t count) = 0;
  // Ellipse inside the rectangle, pen and brush.
  virtual void DrawEllipse(const TCanvasRect& r) = 0;
  virtual void DrawRect(const TCanvasRect& r) = 0;
  // Rectangle with rounded corners of the given width and height.
  virtual void DrawRoundRect(const TCanvasRect& r, int32_t cornerW, int32_t cornerH) = 0;
  virtual void FillRect(const TCanvasRect& r, TRGB color) = 0;
  // Many lines (points 2i and 2i + 1 are the ends of line i) or rectangles
  // with the current pen and brush, in one call: far cheaper than one call
  // each when thousands of map symbols are drawn.
  virtual void DrawLines(const TCanvasPoint* ends, size_t lineCount);
  virtual void DrawRects(const TCanvasRect* rects, size_t count);
  // The stamp's picture with its top-left corner at each point. A canvas
  // that can keep pictures draws it once and copies it; this one draws it
  // anew at every point.
  virtual void DrawStamps(const TStamp& stamp, const TCanvasPoint* at, size_t count);
  // Text with its top-left corner at p, in the current font.
  virtual void DrawText(TCanvasPoint p, std::string_view utf8) = 0;
  // Width and height of the text in the current font.
  virtual TCanvasPoint TextExtent(std::string_view utf8) = 0;
  // Copies `src` of the image into `dest`, stretched with nearest-neighbour
  // sampling when the sizes differ.
  virtual void DrawImage(const TCanvasRect& dest, const TImageView& image, const TCanvasRect& src) = 0;

  virtual void SetClip(const TCanvasRect& r) = 0;
  virtual void ResetClip() = 0;
};

// Records every call as one line of text (for tests), and keeps the state.
class TRecordingCanvas : public ICanvas {
 public:
  TRecordingCanvas(int32_t width = 800, int32_t height = 600) : width_(width), height_(height) {}
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
  void FillRect(const TCanvasRect& r, TRGB color) override;
  void DrawText(TCanvasPoint p, std::string_view utf8) override;
  TCanvasPoint TextExtent(std::string_view utf8) override;
  void DrawImage(const TCanvasRect& dest, const TImageView& image, const TCanvasRect& src) override;
  void SetClip(const TCanvasRect& r) override;
  void ResetClip() override;

  const std::vector<std::string>& calls() const { return calls_; }
  void Clear() { calls_.clear(); }
  const TPen& pen() const { return pen_; }
  const TBrush& brush() const { return brush_; }

 private:
  int32_t width_;
  int32_t height_;
  TPen pen_;
  TBrush brush_;
  TFont font_;
  std::vector<std::string> calls_;
};
