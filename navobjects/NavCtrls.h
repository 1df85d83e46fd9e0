// Map shapes and collections of map points, and the quick shapes (boat
// symbol, range rings, speed mark) drawn on the chart. (Only what the main
// window needs at start so far; these come with their own work.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Colors.h"
#include "foundation/Types.h"
#include "platform/Canvas.h"

// One named map point.
struct TNavPoint {
  std::string Caption;
  TFPoint Position{};
};

class TNavShapeCollection {
 public:
  TNavShapeCollection() = default;
  virtual ~TNavShapeCollection() = default;
  TNavShapeCollection(const TNavShapeCollection&) = delete;
  TNavShapeCollection& operator=(const TNavShapeCollection&) = delete;

  int Count() const { return static_cast<int>(points_.size()); }
  const std::vector<TNavPoint>& Points() const { return points_; }
  void Add(TNavPoint point);
  virtual void Clear();

  // Unsaved changes.
  bool Modified = false;

 protected:
  std::vector<TNavPoint> points_;
};

// Pen styles of the quick shapes.
enum TQuickPenStyle : uint8_t { qpsSolid, qpsDot };
// Pen modes.
enum TQuickPenMode : uint8_t { qpmCopy, qpmXor };

class TQuickShape {
 public:
  TQuickShape() = default;
  TQuickShape(const TQuickShape&) = delete;
  TQuickShape& operator=(const TQuickShape&) = delete;

  // ShapeSize := (size, size) and the other fields as named.
  void Setup(TColor color, TQuickPenMode penMode, int size, int penWidth, TQuickPenStyle minorStyle,
             TQuickPenStyle style);
  // ShapeSize := (2n, 2n); PenWidth := n div 2.
  void SetSize(int n);

  // Draws the shape centred on p, or, with RingCount above 1, RingCount
  // concentric rings of d / RingCount of the size for ring d = 1 ..
  // RingCount, ring d in PenStyle when d is a multiple of MajorEvery and in
  // MinorStyle otherwise. Nothing when ShapeVisible is off or a size is 0.
  // With `clip`, rings that do not cross the clip rectangle are left out and
  // very large ones are drawn as the arc that crosses it, so a ring of a
  // million pixels round a boat far off costs no more than a short line.
  void DrawAt(ICanvas& canvas, TPoint p, const TCanvasRect* clip = nullptr);
  // One circle or square of size (w, h) centred on p, in the given style,
  // with the shape's colour and pen width and no fill.
  void DrawShape(ICanvas& canvas, TPoint p, int32_t w, int32_t h, TQuickPenStyle style,
                 const TCanvasRect* clip = nullptr);
  // Centre of the last drawing.
  TPoint LastPoint;

  TColor Color = kPalette16[piBlack];
  TQuickPenMode PenMode = qpmCopy;
  TQuickPenStyle PenStyle = qpsSolid;
  TQuickPenStyle MinorStyle = qpsSolid;
  int ShapeWidth = 11;
  int ShapeHeight = 11;
  int PenWidth = 1;
  int RingCount = 0;
  int MajorEvery = 1;
  bool IsRectangle = false;
  bool ShapeVisible = true;
};
