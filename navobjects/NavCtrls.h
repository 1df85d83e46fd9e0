// Map shapes and collections of map points, and the quick shapes (boat
// symbol, range rings, speed mark) drawn on the chart.
//
// A map shape is a small symbol placed over the chart by its centre, in the
// chart panel's pixels (the chart converter's pixels at the current zoom).
// Shapes are not windows: a collection keeps them in order, paints them
// through the canvas interface when the view paints, and takes the mouse
// from the view, which asks it which shape lies under the pointer. So
// thousands of positions cost a few drawing calls, not thousands of
// windows, and the calibration tool uses the same shapes as the plotter.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Colors.h"
#include "foundation/Types.h"
#include "platform/Canvas.h"

// ---------------------------------------------------------------------------
// Shapes

// The drawing types, in this order (values 0-14).
enum TNavShapeType : uint8_t {
  NavRectangle,
  NavSquare,
  NavRoundRect,
  NavRoundSquare,
  NavEllipse,
  NavCircle,
  NavCross,
  NavPlus,
  NavPlusRect,
  NavPlusSmallRect,
  NavPlusCircle,
  NavPlusSmallCircle,
  NavCrossRect,
  NavCrossCircle,
  NavCustom,
};
inline constexpr int kNavShapeTypeCount = 15;

// The points NavCustom draws, relative to the shape's top-left corner.
using TNavPolygon = std::vector<TPoint>;

// Pen modes: Xor is kept for the settings that name it; the retained-mode
// canvas draws every pen in copy mode.
enum class TShapePenMode : uint8_t { Copy, Xor };

struct TShapePen {
  TColor Color = kPalette16[piBlack];
  TShapePenMode Mode = TShapePenMode::Copy;
  TPenStyle Style = TPenStyle::Solid;
  int Width = 1;
  friend bool operator==(const TShapePen&, const TShapePen&) = default;
};

struct TShapeBrush {
  TColor Color = kPalette16[piWhite];
  bool Clear = true;
  friend bool operator==(const TShapeBrush&, const TShapeBrush&) = default;
};

// Draws shapes onto a canvas, moved by an offset (the view's scroll), and
// gathers lines and rectangles of one pen and brush into one canvas call.
class TShapePainter {
 public:
  TShapePainter(ICanvas& canvas, TPoint offset) : canvas_(canvas), offset_(offset) {}
  ~TShapePainter() { Flush(); }
  TShapePainter(const TShapePainter&) = delete;
  TShapePainter& operator=(const TShapePainter&) = delete;

  void SetPen(const TShapePen& pen);
  void SetBrush(const TShapeBrush& brush);
  // Coordinates are panel pixels; right and bottom are exclusive.
  void Rect(int32_t l, int32_t t, int32_t r, int32_t b);
  void RoundRect(int32_t l, int32_t t, int32_t r, int32_t b, int32_t cw, int32_t ch);
  void Ellipse(int32_t l, int32_t t, int32_t r, int32_t b);
  void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void Polygon(const std::vector<TPoint>& points);
  void Text(int32_t x, int32_t y, const std::string& utf8, int pointSize, TColor color);
  // Draws what is gathered.
  void Flush();
  // The canvas's pen and brush were changed behind the painter's back.
  void Invalidate() {
    Flush();
    applied_ = false;
  }

  ICanvas& Canvas() { return canvas_; }
  TPoint Offset() const { return offset_; }

 private:
  void Apply();
  TCanvasPoint At(int32_t x, int32_t y) const { return {x - offset_.X, y - offset_.Y}; }

  ICanvas& canvas_;
  TPoint offset_;
  TShapePen pen_;
  TShapeBrush brush_;
  bool applied_ = false;
  std::vector<TCanvasPoint> lines_;
  std::vector<TCanvasRect> rects_;
};

// A symbol of one of the fifteen types, placed by its centre.
class TMoreShape {
 public:
  TMoreShape() = default;
  virtual ~TMoreShape() = default;
  TMoreShape(const TMoreShape&) = delete;
  TMoreShape& operator=(const TMoreShape&) = delete;

  // The centre, in panel pixels.
  int32_t PosX() const { return posX_; }
  int32_t PosY() const { return posY_; }
  TPoint Pos() const { return {posX_, posY_}; }
  void SetPosX(int32_t x) { posX_ = x; }
  void SetPosY(int32_t y) { posY_ = y; }
  void SetPos(TPoint p) {
    posX_ = p.X;
    posY_ = p.Y;
  }
  // The bounds: Left = PosX - Width div 2, Top = PosY - Height div 2.
  int32_t Left() const { return posX_ - width_ / 2; }
  int32_t Top() const { return posY_ - height_ / 2; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // A new size keeps the centre.
  void SetExtent(int32_t width, int32_t height);
  TCanvasRect BoundsRect() const { return {Left(), Top(), Left() + width_, Top() + height_}; }
  bool Contains(TPoint p) const;

  TShapePen Pen;
  TShapeBrush Brush;
  TNavShapeType Shape = NavRectangle;
  TNavPolygon Polygon;
  bool Visible = true;
  bool Enabled = true;

  // Paints the shape at its bounds.
  virtual void Paint(TShapePainter& p) const;
  // Whether two shapes draw the same picture (at their own places).
  bool SameLook(const TMoreShape& other) const;
  // The shape's picture as a stamp whose top-left lies StampMargin() above
  // and left of the shape's bounds (pens reach over the bounds). Custom
  // polygons are not stamped.
  TStamp MakeStamp() const;
  int32_t StampMargin() const { return std::max(Pen.Width, 0) + 2; }

 protected:
  // The composite types 8-13.
  virtual void PaintComposite(TShapePainter& p) const;

 private:
  int32_t posX_ = 0;
  int32_t posY_ = 0;
  int32_t width_ = 45;
  int32_t height_ = 45;
};

class TNavShape;
class TNavShapeCollection;

enum class TShapeButton : uint8_t { Left, Right, Middle };

// A mouse event as a shape gets it: the pointer in panel pixels.
struct TShapeMouse {
  TPoint At{};
  TShapeButton Button = TShapeButton::Left;
  bool Shift = false;
  bool Ctrl = false;
};

using TShapeEvent = std::function<void(TNavShape& shape, const TShapeMouse& mouse)>;

// A navigation point: a shape with a name, a comment, a geographic position,
// selection and dragging.
class TNavShape : public TMoreShape {
 public:
  TNavShape() = default;
  // Forgets the shared drag state when it refers to this shape.
  ~TNavShape() override;

  std::string Caption;  // the name (label, hint, key of look-ups)
  std::string Comment;
  bool Locked = false;    // may not be dragged
  bool ShowName = false;  // the name shows as the hint
  TNavShapeCollection* Owner = nullptr;
  bool Moved = false;    // a drag that really moved it ended on it
  bool Clicked = false;  // the last press in its collection ended on it
  int32_t Index = 0;     // place in the list, from 0
  bool Selected = false;
  TFPoint Position{};    // radians
  double LegSpeed = 0;   // knots (0: "Default Speed")
  double LegXTE = 0;     // radians of arc
  int32_t Reserved1 = 0;
  int32_t Reserved2 = 0;
  int Tag = 0;

  TShapeEvent OnMouseDown;
  TShapeEvent OnMouseMove;
  TShapeEvent OnMouseUp;
  TShapeEvent OnClick;
  TShapeEvent OnDblClick;

  // Size: width and height together, keeping the centre.
  int32_t Size() const { return Width(); }
  void SetSize(int32_t size) { SetExtent(size, size); }

  // The neighbours in the owner's list (nullptr at the ends or without an
  // owner).
  TNavShape* Next() const;
  TNavShape* Prev() const;

  // The size of the name's label at a font size, measured once per name
  // and size (measuring text costs more than drawing a symbol).
  TCanvasPoint LabelExtent(ICanvas& canvas, int pointSize) const;

  // The mouse, as the view hands it over.
  void MouseDown(const TShapeMouse& m);
  void MouseMove(const TShapeMouse& m);
  void MouseUp(const TShapeMouse& m);
  void DblClick(const TShapeMouse& m);

  // The shared drag state: a press loads the countdown; every move counts it
  // down, and the move that brings it to 0 and every later one move the
  // shape to the pointer. A release before that is a click.
  static constexpr int kDragCountdown = 5;
  static TNavShape* Dragging();
  // The shape most recently created, dragged or deleted (nullptr once it is
  // freed).
  static TNavShape* LastShape();
  static void SetLastShape(TNavShape* shape);
  // Cancels a drag under way (the view lost the mouse).
  static void CancelDrag();

 private:
  mutable std::string labelText_;
  mutable int labelSize_ = 0;
  mutable TCanvasPoint labelExtent_{};
};

// ---------------------------------------------------------------------------
// Collections

// Pen, mode, style, width and type of a collection's normal or selected
// shapes.
struct TShapeStyle {
  TColor Color = kPalette16[piBlack];
  TShapePenMode Mode = TShapePenMode::Copy;
  TPenStyle Style = TPenStyle::Solid;
  int Width = 1;
  TNavShapeType Shape = NavPlusRect;
  friend bool operator==(const TShapeStyle&, const TShapeStyle&) = default;
};

class TNavShapeCollection {
 public:
  TNavShapeCollection() = default;
  virtual ~TNavShapeCollection();
  TNavShapeCollection(const TNavShapeCollection&) = delete;
  TNavShapeCollection& operator=(const TNavShapeCollection&) = delete;

  int Count() const { return static_cast<int>(shapes_.size()); }
  bool Empty() const { return shapes_.empty(); }
  TNavShape* First() const { return shapes_.empty() ? nullptr : shapes_.front().get(); }
  TNavShape* Last() const { return shapes_.empty() ? nullptr : shapes_.back().get(); }
  // The shape at `index` without making it current (nullptr out of range).
  TNavShape* At(int index) const;
  // The shape at `index`, which becomes current.
  TNavShape* ShapeAt(int index);
  TNavShape* Current = nullptr;

  bool Enabled() const { return enabled_; }
  // Names are drawn beside the shapes ("info boxes").
  bool LabelFlag = false;
  bool NameMode() const { return nameMode_; }
  TShapeStyle NormalStyle;
  TShapeStyle SelectedStyle;
  int Size = 45;
  int Tag = 0;
  // Handlers given to every new shape.
  TShapeEvent OnMouseUp;
  TShapeEvent OnMouseDown;
  TShapeEvent OnMouseMove;
  TShapeEvent OnClick;
  TShapeEvent OnDblClick;
  // Unsaved changes.
  bool Modified = false;
  // Called when the shapes need drawing again (the window repaints).
  std::function<void()> OnInvalidate;

  // ---- operations ----
  virtual void UpdateAll();
  virtual void RepaintAll();
  virtual void InvalidateAll();
  // Index 0, 1, 2 ... along the list.
  virtual void Renumber();
  // Paints every visible shape, then the labels when LabelFlag is set.
  virtual void PaintAll(TShapePainter& p) const;
  // The labels: font size max(8, Size div 2 + 4), in each shape's pen
  // colour, below its left corner.
  virtual void DrawLabels(TShapePainter& p) const;
  // A new shape at the pixel before the shape at `index`: 0 (or less) at
  // the front, Count or more (or an empty list) at the end. It becomes
  // current.
  virtual TNavShape* InsertAt(TPoint pixel, int index);
  virtual TNavShape* Add(TPoint pixel, bool atFront);
  virtual std::unique_ptr<TNavShape> NewShape();
  virtual void SetPenAll(const TShapePen& pen);
  virtual void SetSizeAll(int size);
  virtual void SetColorAll(TColor color);
  virtual void SetLockedAll(bool locked);
  virtual void SetSelectedAll(bool selected);
  virtual void SetEnabledAll(bool enabled);
  // Only this shape is selected.
  virtual void Select(TNavShape* shape);
  // With the flag every shape shows its name as its hint, is enabled and
  // may be dragged only while the collection is enabled; without it every
  // shape takes the collection's Enabled. The label flag becomes the
  // flag's negation.
  virtual void SetNameMode(bool flag);
  // SetEnabledAll(enabled), then the label flag := flag.
  virtual void SetMode(bool flag, bool enabled);
  virtual void DeleteClicked();
  virtual void DeleteEnabled();
  virtual void DeleteSelected();
  virtual void Clear();
  virtual void StyleNormal(TNavShape& shape);
  virtual void StyleSelected(TNavShape& shape);
  virtual void StyleUnselectedAll();
  virtual void StyleSelectedAll();
  virtual void StyleAll();

  int SelectedCount() const;
  // Whether the shape is one of this collection's (compares addresses only,
  // so a shape freed meanwhile is safely not found).
  bool Holds(const TNavShape* shape) const;
  // The first shape named exactly `name`; nullptr for an empty name.
  TNavShape* FindByName(const std::string& name) const;
  // Unlinks and frees the shape.
  void Delete(TNavShape* shape);
  // Gives a new shape the normal style, Enabled, the handlers, the tag, the
  // owner and the size.
  void StyleNew(TNavShape& shape);

  // ---- the mouse, from the view ----

  // The topmost visible and enabled shape under the pixel (the last one
  // drawn), or nullptr.
  TNavShape* ShapeAtPixel(TPoint pixel) const;
  // The topmost visible shape under the pixel that shows its name as a
  // hint (enabled or not), or nullptr.
  TNavShape* HintShapeAt(TPoint pixel) const;
  // A press on a shape of this collection: its Clicked marks are cleared
  // and the shape takes the press. The shape then gets the moves and the
  // release until the release.
  void PressOn(TNavShape& shape, const TShapeMouse& m);
  // Moves and the release while a shape of this collection has the mouse;
  // false when none has it.
  bool MouseMove(const TShapeMouse& m);
  bool MouseUp(const TShapeMouse& m);
  bool HasMouse() const { return captured_ != nullptr; }

 protected:
  // Frees the shapes from `first` on (renumbering is the caller's).
  void EraseAt(size_t index);
  // Moves a finished list of shapes in before `index` (Count or more: at
  // the end), renumbering once.
  void InsertShapes(std::vector<std::unique_ptr<TNavShape>>&& shapes, int index);
  // A shape is about to be freed: references to it are dropped.
  virtual void Forget(const TNavShape* shape);

  std::vector<std::unique_ptr<TNavShape>> shapes_;
  bool enabled_ = true;
  bool locked_ = false;  // given to new shapes
  bool nameMode_ = false;
  TNavShape* captured_ = nullptr;
};

// ---------------------------------------------------------------------------
// Quick shapes

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
