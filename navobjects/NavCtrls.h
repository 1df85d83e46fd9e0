// Map shapes and collections of map points, and the quick shapes (boat
// symbol, range rings, speed mark) drawn on the chart. (Only what the main
// window needs at start so far; these come with their own work.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Colors.h"
#include "foundation/Types.h"

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
