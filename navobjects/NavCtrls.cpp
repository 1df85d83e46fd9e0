#include "navobjects/NavCtrls.h"

#include <utility>

void TNavShapeCollection::Add(TNavPoint point) {
  points_.push_back(std::move(point));
  Modified = true;
}

void TNavShapeCollection::Clear() {
  points_.clear();
  Modified = false;
}

void TQuickShape::Setup(TColor color, TQuickPenMode penMode, int size, int penWidth, TQuickPenStyle minorStyle,
                        TQuickPenStyle style) {
  Color = color;
  PenMode = penMode;
  ShapeWidth = ShapeHeight = size;
  PenWidth = penWidth;
  MinorStyle = minorStyle;
  PenStyle = style;
}

void TQuickShape::SetSize(int n) {
  ShapeWidth = ShapeHeight = 2 * n;
  PenWidth = n / 2;
}
