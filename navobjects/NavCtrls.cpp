#include "navobjects/NavCtrls.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "platform/LabelSpace.h"

// ---------------------------------------------------------------------------
// Painter

namespace {

TRGB Rgb(TColor c) { return ColorToRGB(c); }

}  // namespace

void TShapePainter::SetPen(const TShapePen& pen) {
  if (applied_ && pen == pen_) return;
  Flush();
  pen_ = pen;
  applied_ = false;
}

void TShapePainter::SetBrush(const TShapeBrush& brush) {
  if (applied_ && brush == brush_) return;
  Flush();
  brush_ = brush;
  applied_ = false;
}

void TShapePainter::Apply() {
  if (applied_) return;
  canvas_.SetPen({Rgb(pen_.Color), std::max(pen_.Width, 0), pen_.Style});
  canvas_.SetBrush({Rgb(brush_.Color), brush_.Clear ? TBrushStyle::None : TBrushStyle::Solid});
  applied_ = true;
}

void TShapePainter::Flush() {
  if (lines_.empty() && rects_.empty()) return;
  Apply();
  if (!rects_.empty()) canvas_.DrawRects(rects_.data(), rects_.size());
  if (!lines_.empty()) canvas_.DrawLines(lines_.data(), lines_.size() / 2);
  rects_.clear();
  lines_.clear();
}

void TShapePainter::Rect(int32_t l, int32_t t, int32_t r, int32_t b) {
  // Drawn by the canvas with an outline on its edges, as the classic
  // rectangle call with its exclusive right and bottom: the outline's last
  // pixels are right - 1 and bottom - 1.
  const TCanvasPoint a = At(l, t);
  rects_.push_back({a.X, a.Y, a.X + std::max(r - l - 1, 0), a.Y + std::max(b - t - 1, 0)});
}

void TShapePainter::RoundRect(int32_t l, int32_t t, int32_t r, int32_t b, int32_t cw, int32_t ch) {
  Flush();
  Apply();
  const TCanvasPoint a = At(l, t);
  canvas_.DrawRoundRect({a.X, a.Y, a.X + std::max(r - l - 1, 0), a.Y + std::max(b - t - 1, 0)}, cw, ch);
}

void TShapePainter::Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) {
  Flush();
  Apply();
  const TCanvasPoint a = At(l, t);
  canvas_.DrawEllipse({a.X, a.Y, a.X + std::max(r - l - 1, 0), a.Y + std::max(b - t - 1, 0)});
}

void TShapePainter::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  lines_.push_back(At(x1, y1));
  lines_.push_back(At(x2, y2));
}

void TShapePainter::Polygon(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  Flush();
  Apply();
  std::vector<TCanvasPoint> pts;
  pts.reserve(points.size());
  for (const TPoint& q : points) pts.push_back(At(q.X, q.Y));
  canvas_.DrawPolygon(pts.data(), pts.size());
}

void TShapePainter::Text(int32_t x, int32_t y, const std::string& utf8, int pointSize, TColor color) {
  Flush();
  TFont font;
  font.pointSize = pointSize;
  font.color = Rgb(color);
  canvas_.SetFont(font);
  canvas_.DrawText(At(x, y), utf8);
}

// ---------------------------------------------------------------------------
// TMoreShape

void TMoreShape::SetExtent(int32_t width, int32_t height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
}

bool TMoreShape::Contains(TPoint p) const {
  return p.X >= Left() && p.X < Left() + width_ && p.Y >= Top() && p.Y < Top() + height_;
}

void TMoreShape::Paint(TShapePainter& p) const {
  p.SetPen(Pen);
  p.SetBrush(Brush);
  if (Shape >= NavPlusRect && Shape <= NavCrossCircle) {
    PaintComposite(p);
    return;
  }
  const int32_t x0 = Left(), y0 = Top();
  if (Shape == NavCustom) {
    std::vector<TPoint> pts;
    pts.reserve(Polygon.size());
    for (const TPoint& q : Polygon) pts.push_back({x0 + q.X, y0 + q.Y});
    p.Polygon(pts);
    return;
  }
  const int w = std::max(Pen.Width, 0);
  int32_t W = Width() - w + (w > 0 ? 1 : 0);
  int32_t H = Height() - w + (w > 0 ? 1 : 0);
  const int32_t m = std::min(W, H);
  int32_t left = w / 2, top = w / 2;
  if (Shape == NavSquare || Shape == NavRoundSquare || Shape == NavCircle) {
    left += (W - m) / 2;
    top += (H - m) / 2;
    W = H = m;
  }
  if (W <= 0 || H <= 0) return;
  const int32_t l = x0 + left, t = y0 + top, r = l + W, b = t + H;
  switch (Shape) {
    case NavRoundRect:
    case NavRoundSquare:
      p.RoundRect(l, t, r, b, m / 4, m / 4);
      break;
    case NavEllipse:
    case NavCircle:
      p.Ellipse(l, t, r, b);
      break;
    case NavCross:
      // The diagonals, inset as the rectangle is.
      p.Line(l, t, r - 1, b - 1);
      p.Line(l, b - 1, r - 1, t);
      break;
    case NavPlus:
      p.Line(l + W / 2, t, l + W / 2, b - 1);
      p.Line(l, t + H / 2, r - 1, t + H / 2);
      break;
    default:
      p.Rect(l, t, r, b);
      break;
  }
}

bool TMoreShape::SameLook(const TMoreShape& o) const {
  return Shape == o.Shape && Shape != NavCustom && Width() == o.Width() && Height() == o.Height() && Pen == o.Pen &&
         Brush == o.Brush;
}

namespace {

template <class T>
void PutBytes(std::string& key, const T& v) {
  key.append(reinterpret_cast<const char*>(&v), sizeof v);
}

}  // namespace

TStamp TMoreShape::MakeStamp() const {
  const int32_t m = StampMargin();
  TStamp st;
  st.key = "navshape:";
  PutBytes(st.key, static_cast<uint8_t>(Shape));
  PutBytes(st.key, Width());
  PutBytes(st.key, Height());
  PutBytes(st.key, Pen.Color);
  PutBytes(st.key, static_cast<uint8_t>(Pen.Style));
  PutBytes(st.key, Pen.Width);
  PutBytes(st.key, Brush.Color);
  PutBytes(st.key, Brush.Clear);
  st.width = Width() + 2 * m;
  st.height = Height() + 2 * m;
  // The stamp is drawn while the shape lives (DrawStamps draws or copies it
  // at once).
  st.draw = [this, m](ICanvas& c) {
    TShapePainter p(c, {Left() - m, Top() - m});
    Paint(p);
  };
  return st;
}

void TMoreShape::PaintComposite(TShapePainter& p) const {
  const int32_t x0 = Left(), y0 = Top();
  const int32_t w = std::max(Pen.Width, 0);
  const int32_t cx = Width() / 2, cy = Height() / 2;
  const int32_t a = Width() - w - 1, b = Height() - w - 1;
  const int32_t hx = w + a / 4, hy = w + b / 4;
  switch (Shape) {
    case NavPlusRect:
    case NavCrossRect:
      p.Rect(x0 + cx - hx, y0 + cy - hy, x0 + cx + hx, y0 + cy + hy);
      break;
    case NavPlusSmallRect:
      p.Rect(x0 + cx - (w + 4), y0 + cy - (w + 4), x0 + cx + w + 4, y0 + cy + w + 4);
      break;
    case NavPlusCircle:
    case NavCrossCircle:
      p.Ellipse(x0 + cx - hx, y0 + cy - hy, x0 + cx + hx, y0 + cy + hy);
      break;
    case NavPlusSmallCircle:
      p.Ellipse(x0 + cx - (w + 4), y0 + cy - (w + 4), x0 + cx + w + 4, y0 + cy + w + 4);
      break;
    default:
      break;
  }
  if (Shape == NavCrossRect || Shape == NavCrossCircle) {
    // Both diagonals end on the same inset, so the cross is symmetric.
    p.Line(x0 + w, y0 + w, x0 + a, y0 + b);
    p.Line(x0 + w, y0 + b, x0 + a, y0 + w);
  }
  if (Shape <= NavPlusSmallCircle) {
    // A plus with an open centre.
    p.Line(x0 + w, y0 + cy, x0 + cx - w - 1, y0 + cy);
    p.Line(x0 + w + a, y0 + cy, x0 + cx + w + 1, y0 + cy);
    p.Line(x0 + cx, y0 + w, x0 + cx, y0 + cy - w - 1);
    p.Line(x0 + cx, y0 + b, x0 + cx, y0 + cy + w + 1);
  }
}

// ---------------------------------------------------------------------------
// TNavShape and the shared drag state

namespace {

struct TDragState {
  TNavShape* dragging = nullptr;
  int countdown = 0;
  bool cancelled = false;
  TNavShape* last = nullptr;
};

TDragState& Drag() {
  static TDragState state;
  return state;
}

void FireEvent(const TShapeEvent& handler, TNavShape& shape, const TShapeMouse& m) {
  // A copy: the handler may free the shape, and with it the original.
  if (handler) {
    TShapeEvent h = handler;
    h(shape, m);
  }
}

}  // namespace

TNavShape::~TNavShape() {
  TDragState& d = Drag();
  if (d.dragging == this) d.dragging = nullptr;
  if (d.last == this) d.last = nullptr;
}

TCanvasPoint TNavShape::LabelExtent(ICanvas& canvas, int pointSize) const {
  if (labelSize_ != pointSize || labelText_ != Caption) {
    labelExtent_ = canvas.TextExtent(Caption);
    labelText_ = Caption;
    labelSize_ = pointSize;
  }
  return labelExtent_;
}

TNavShape* TNavShape::Next() const { return Owner ? Owner->At(Index + 1) : nullptr; }
TNavShape* TNavShape::Prev() const { return Owner && Index > 0 ? Owner->At(Index - 1) : nullptr; }

TNavShape* TNavShape::Dragging() { return Drag().dragging; }
TNavShape* TNavShape::LastShape() { return Drag().last; }
void TNavShape::SetLastShape(TNavShape* shape) { Drag().last = shape; }
void TNavShape::CancelDrag() { Drag().dragging = nullptr; }

void TNavShape::MouseDown(const TShapeMouse& m) {
  TDragState& d = Drag();
  if (m.Button == TShapeButton::Left && !Locked) {
    // The right button opens the shape's menu and never drags.
    d.dragging = this;
    d.countdown = kDragCountdown;
    d.cancelled = false;
  }
  FireEvent(OnMouseDown, *this, m);
}

void TNavShape::MouseMove(const TShapeMouse& m) {
  TDragState& d = Drag();
  if (d.dragging != this) return;
  if (d.cancelled) {
    d.dragging = nullptr;
    return;
  }
  if (d.countdown > 0) --d.countdown;
  if (d.countdown > 0) return;
  SetPos(m.At);
  FireEvent(OnMouseMove, *this, m);
}

void TNavShape::MouseUp(const TShapeMouse& m) {
  TDragState& d = Drag();
  const bool dragged = d.dragging == this && d.countdown == 0;
  if (d.dragging == this) d.dragging = nullptr;
  Clicked = true;
  if (!dragged) {
    FireEvent(OnClick, *this, m);
    return;
  }
  Moved = true;
  d.last = this;
  FireEvent(OnMouseUp, *this, m);
}

void TNavShape::DblClick(const TShapeMouse& m) {
  Drag().cancelled = true;
  FireEvent(OnDblClick, *this, m);
}

// ---------------------------------------------------------------------------
// TNavShapeCollection

TNavShapeCollection::~TNavShapeCollection() {
  for (auto& s : shapes_) Forget(s.get());
}

TNavShape* TNavShapeCollection::At(int index) const {
  return index >= 0 && index < Count() ? shapes_[static_cast<size_t>(index)].get() : nullptr;
}

TNavShape* TNavShapeCollection::ShapeAt(int index) {
  if (TNavShape* s = At(index)) Current = s;
  return At(index);
}

void TNavShapeCollection::UpdateAll() { InvalidateAll(); }
void TNavShapeCollection::RepaintAll() { InvalidateAll(); }
void TNavShapeCollection::InvalidateAll() {
  if (OnInvalidate) OnInvalidate();
}

void TNavShapeCollection::Renumber() {
  for (size_t i = 0; i < shapes_.size(); ++i) shapes_[i]->Index = static_cast<int32_t>(i);
}

void TNavShapeCollection::PaintAll(TShapePainter& p) const {
  p.Flush();
  const TPoint o = p.Offset();
  const int32_t w = p.Canvas().Width(), h = p.Canvas().Height();
  // Shapes of one look in a row are one stamp copied to each place: the
  // thousands of positions of a chart cost one picture each kind.
  std::vector<TCanvasPoint> run;
  const TNavShape* first = nullptr;
  const auto stamp = [&] {
    if (!first) return;
    p.Canvas().DrawStamps(first->MakeStamp(), run.data(), run.size());
    p.Invalidate();
    run.clear();
    first = nullptr;
  };
  for (const auto& s : shapes_) {
    if (!s->Visible) continue;
    // Shapes wholly outside the canvas cost nothing.
    const TCanvasRect r = s->BoundsRect();
    if (r.Right < o.X || r.Left > o.X + w || r.Bottom < o.Y || r.Top > o.Y + h) continue;
    if (s->Shape == NavCustom) {
      stamp();
      s->Paint(p);
      p.Flush();
      continue;
    }
    if (first && !first->SameLook(*s)) stamp();
    if (!first) first = s.get();
    const int32_t m = s->StampMargin();
    run.push_back({s->Left() - m - o.X, s->Top() - m - o.Y});
  }
  stamp();
  if (LabelFlag) DrawLabels(p);
  p.Flush();
}

void TNavShapeCollection::DrawLabels(TShapePainter& p) const {
  const int size = std::max(8, Size / 2 + 4);
  const TPoint o = p.Offset();
  ICanvas& canvas = p.Canvas();
  const int32_t w = canvas.Width(), h = canvas.Height();
  // A label that would cover one drawn before it is left out: a crowded
  // chart shows the names it has room for (the hint tells any name).
  TLabelSpace space(w, h);
  bool fontSet = false;
  TColor fontColour = 0;
  for (const auto& s : shapes_) {
    if (!s->Visible || s->Caption.empty()) continue;
    const int32_t x = s->PosX() - s->Width() / 2 - o.X, y = s->PosY() + s->Height() / 2 + 1 - o.Y;
    if (x >= w || y >= h || y + 4 * size < 0 || x + 64 * size < 0) continue;
    if (!fontSet || fontColour != s->Pen.Color) {
      p.Flush();
      TFont font;
      font.pointSize = size;
      font.color = Rgb(s->Pen.Color);
      canvas.SetFont(font);
      fontSet = true;
      fontColour = s->Pen.Color;
    }
    const TCanvasPoint extent = s->LabelExtent(canvas, size);
    if (!space.Take(x, y, x + extent.X, y + extent.Y)) continue;
    // As a stamp: a label drawn again in the next frame is copied, not
    // laid out anew.
    TStamp st;
    st.key = "label:" + std::to_string(size) + ":" + std::to_string(fontColour) + ":" + s->Caption;
    st.width = extent.X;
    st.height = extent.Y;
    const TFont font{"", size, false, Rgb(fontColour)};
    const std::string& text = s->Caption;
    st.draw = [&font, &text](ICanvas& c) {
      c.SetFont(font);
      c.DrawText({0, 0}, text);
    };
    const TCanvasPoint at{x, y};
    canvas.DrawStamps(st, &at, 1);
  }
}

TNavShape* TNavShapeCollection::InsertAt(TPoint pixel, int index) {
  if (index <= 0) return Add(pixel, true);
  if (index >= Count()) return Add(pixel, false);
  std::unique_ptr<TNavShape> s = NewShape();
  s->SetPos(pixel);
  TNavShape* raw = s.get();
  shapes_.insert(shapes_.begin() + index, std::move(s));
  Renumber();
  Current = raw;
  TNavShape::SetLastShape(raw);
  return raw;
}

TNavShape* TNavShapeCollection::Add(TPoint pixel, bool atFront) {
  std::unique_ptr<TNavShape> s = NewShape();
  s->SetPos(pixel);
  TNavShape* raw = s.get();
  if (atFront) {
    shapes_.insert(shapes_.begin(), std::move(s));
    Renumber();
  } else {
    raw->Index = Count();
    shapes_.push_back(std::move(s));
  }
  Current = raw;
  TNavShape::SetLastShape(raw);
  return raw;
}

std::unique_ptr<TNavShape> TNavShapeCollection::NewShape() {
  auto s = std::make_unique<TNavShape>();
  StyleNew(*s);
  return s;
}

namespace {

void ApplyStyle(TNavShape& s, const TShapeStyle& style) {
  s.Pen.Color = style.Color;
  s.Pen.Mode = style.Mode;
  s.Pen.Style = style.Style;
  s.Pen.Width = style.Width;
  s.Shape = style.Shape;
}

}  // namespace

void TNavShapeCollection::StyleNew(TNavShape& s) {
  ApplyStyle(s, NormalStyle);
  s.Enabled = enabled_;
  s.ShowName = nameMode_;
  s.Locked = locked_;
  s.OnMouseUp = OnMouseUp;
  s.OnMouseDown = OnMouseDown;
  s.OnMouseMove = OnMouseMove;
  s.OnClick = OnClick;
  s.OnDblClick = OnDblClick;
  s.Tag = Tag;
  s.Owner = this;
  s.SetSize(Size);
}

void TNavShapeCollection::SetPenAll(const TShapePen& pen) {
  for (auto& s : shapes_) {
    s->Pen.Color = pen.Color;
    s->Pen.Mode = pen.Mode;
    s->Pen.Style = pen.Style;
    s->Pen.Width = pen.Width;
  }
}

void TNavShapeCollection::SetSizeAll(int size) {
  Size = size;
  for (auto& s : shapes_) s->SetSize(size);
}

void TNavShapeCollection::SetColorAll(TColor color) {
  for (auto& s : shapes_) s->Pen.Color = color;
}

void TNavShapeCollection::SetLockedAll(bool locked) {
  locked_ = locked;
  for (auto& s : shapes_) s->Locked = locked;
}

void TNavShapeCollection::SetSelectedAll(bool selected) {
  for (auto& s : shapes_) s->Selected = selected;
}

void TNavShapeCollection::SetEnabledAll(bool enabled) {
  enabled_ = enabled;
  for (auto& s : shapes_) s->Enabled = enabled;
}

void TNavShapeCollection::Select(TNavShape* shape) {
  SetSelectedAll(false);
  if (shape) shape->Selected = true;
}

void TNavShapeCollection::SetNameMode(bool flag) {
  nameMode_ = flag;
  if (flag) locked_ = !enabled_;
  for (auto& s : shapes_) {
    s->ShowName = flag;
    if (flag) {
      // Movable only while the collection is enabled.
      s->Locked = !enabled_;
      s->Enabled = true;
    } else {
      s->Enabled = enabled_;
    }
  }
  LabelFlag = !flag;
}

void TNavShapeCollection::SetMode(bool flag, bool enabled) {
  SetEnabledAll(enabled);
  LabelFlag = flag;
}

void TNavShapeCollection::Forget(const TNavShape* shape) {
  if (captured_ == shape) captured_ = nullptr;
  if (Current == shape) Current = nullptr;
}

void TNavShapeCollection::EraseAt(size_t index) {
  Forget(shapes_[index].get());
  shapes_.erase(shapes_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TNavShapeCollection::InsertShapes(std::vector<std::unique_ptr<TNavShape>>&& shapes, int index) {
  const size_t at = index < 0 ? 0 : std::min(static_cast<size_t>(index), shapes_.size());
  shapes_.insert(shapes_.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(shapes.begin()),
                 std::make_move_iterator(shapes.end()));
  shapes.clear();
  Renumber();
}

namespace {

template <class Pred>
void DeleteWhere(std::vector<std::unique_ptr<TNavShape>>& shapes, Pred pred,
                 const std::function<void(const TNavShape*)>& forget) {
  auto keep = std::stable_partition(shapes.begin(), shapes.end(), [&](const auto& s) { return !pred(*s); });
  for (auto it = keep; it != shapes.end(); ++it) forget(it->get());
  shapes.erase(keep, shapes.end());
}

}  // namespace

void TNavShapeCollection::DeleteClicked() {
  DeleteWhere(shapes_, [](const TNavShape& s) { return s.Clicked; }, [this](const TNavShape* s) { Forget(s); });
  Renumber();
}

void TNavShapeCollection::DeleteEnabled() {
  DeleteWhere(shapes_, [](const TNavShape& s) { return s.Enabled; }, [this](const TNavShape* s) { Forget(s); });
  Renumber();
}

void TNavShapeCollection::DeleteSelected() {
  DeleteWhere(shapes_, [](const TNavShape& s) { return s.Selected; }, [this](const TNavShape* s) { Forget(s); });
  Renumber();
}

void TNavShapeCollection::Clear() {
  for (auto& s : shapes_) Forget(s.get());
  shapes_.clear();
}

void TNavShapeCollection::StyleNormal(TNavShape& s) { ApplyStyle(s, NormalStyle); }

void TNavShapeCollection::StyleSelected(TNavShape& s) { ApplyStyle(s, SelectedStyle); }

void TNavShapeCollection::StyleUnselectedAll() {
  for (auto& s : shapes_)
    if (!s->Selected) StyleNormal(*s);
}

void TNavShapeCollection::StyleSelectedAll() {
  for (auto& s : shapes_)
    if (s->Selected) StyleSelected(*s);
}

void TNavShapeCollection::StyleAll() {
  for (auto& s : shapes_) {
    if (s->Selected)
      StyleSelected(*s);
    else
      StyleNormal(*s);
  }
}

int TNavShapeCollection::SelectedCount() const {
  return static_cast<int>(std::count_if(shapes_.begin(), shapes_.end(), [](const auto& s) { return s->Selected; }));
}

bool TNavShapeCollection::Holds(const TNavShape* shape) const {
  return shape && std::any_of(shapes_.begin(), shapes_.end(), [shape](const auto& s) { return s.get() == shape; });
}

TNavShape* TNavShapeCollection::FindByName(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (const auto& s : shapes_)
    if (s->Caption == name) return s.get();
  return nullptr;
}

void TNavShapeCollection::Delete(TNavShape* shape) {
  if (!shape) return;
  size_t i = static_cast<size_t>(std::max(shape->Index, 0));
  if (i >= shapes_.size() || shapes_[i].get() != shape) {
    auto it = std::find_if(shapes_.begin(), shapes_.end(), [shape](const auto& s) { return s.get() == shape; });
    if (it == shapes_.end()) return;
    i = static_cast<size_t>(it - shapes_.begin());
  }
  EraseAt(i);
  Renumber();
}

TNavShape* TNavShapeCollection::ShapeAtPixel(TPoint pixel) const {
  for (auto it = shapes_.rbegin(); it != shapes_.rend(); ++it) {
    const TNavShape& s = **it;
    if (s.Visible && s.Enabled && s.Contains(pixel)) return it->get();
  }
  return nullptr;
}

TNavShape* TNavShapeCollection::HintShapeAt(TPoint pixel) const {
  for (auto it = shapes_.rbegin(); it != shapes_.rend(); ++it) {
    const TNavShape& s = **it;
    if (s.Visible && s.ShowName && s.Contains(pixel)) return it->get();
  }
  return nullptr;
}

void TNavShapeCollection::PressOn(TNavShape& shape, const TShapeMouse& m) {
  // Only what this press ends on counts as clicked.
  for (auto& s : shapes_) s->Clicked = false;
  captured_ = &shape;
  shape.MouseDown(m);
}

bool TNavShapeCollection::MouseMove(const TShapeMouse& m) {
  if (!captured_) return false;
  captured_->MouseMove(m);
  return true;
}

bool TNavShapeCollection::MouseUp(const TShapeMouse& m) {
  if (!captured_) return false;
  TNavShape* s = captured_;
  captured_ = nullptr;
  s->MouseUp(m);
  return true;
}

// ---------------------------------------------------------------------------
// TQuickShape

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

namespace {

// Ellipses with a half axis beyond this are drawn as the arc in view.
constexpr double kLargeShape = 8192;

TPenStyle CanvasStyle(TQuickPenStyle s) { return s == qpsDot ? TPenStyle::Dot : TPenStyle::Solid; }

// Whether the ellipse (centre c, half axes a, b) crosses the rectangle: its
// bounding box meets the rectangle and the rectangle does not lie wholly
// inside it.
bool EllipseCrosses(double cx, double cy, double a, double b, const TCanvasRect& r) {
  if (cx + a < r.Left || cx - a > r.Right || cy + b < r.Top || cy - b > r.Bottom) return false;
  const double xs[2] = {double(r.Left), double(r.Right)};
  const double ys[2] = {double(r.Top), double(r.Bottom)};
  for (double x : xs)
    for (double y : ys) {
      const double u = (x - cx) / a, v = (y - cy) / b;
      if (u * u + v * v >= 1) return true;
    }
  return false;
}

}  // namespace

void TQuickShape::DrawAt(ICanvas& canvas, TPoint p, const TCanvasRect* clip) {
  if (!ShapeVisible || ShapeWidth <= 0 || ShapeHeight <= 0) return;
  if (RingCount <= 1) {
    DrawShape(canvas, p, ShapeWidth, ShapeHeight, PenStyle, clip);
    return;
  }
  const int n = RingCount;
  const double stepX = std::round(double(ShapeWidth) / n);
  const double stepY = std::round(double(ShapeHeight) / n);
  for (int d = 1; d <= n; ++d) {
    const bool major = MajorEvery > 0 && d % MajorEvery == 0;
    DrawShape(canvas, p, static_cast<int32_t>(std::min(d * stepX, 2e9)), static_cast<int32_t>(std::min(d * stepY, 2e9)),
              major ? PenStyle : MinorStyle, clip);
  }
}

void TQuickShape::DrawShape(ICanvas& canvas, TPoint p, int32_t w, int32_t h, TQuickPenStyle style,
                            const TCanvasRect* clip) {
  LastPoint = p;
  if (w <= 0 || h <= 0) return;
  const TCanvasRect r{p.X - w / 2, p.Y - h / 2, p.X - w / 2 + w, p.Y - h / 2 + h};
  const double a = w / 2.0, b = h / 2.0;
  const double cx = r.Left + a, cy = r.Top + b;
  if (clip && !IsRectangle && !EllipseCrosses(cx, cy, a, b, *clip)) return;
  if (clip && IsRectangle && (r.Right < clip->Left || r.Left > clip->Right || r.Bottom < clip->Top || r.Top > clip->Bottom))
    return;
  canvas.SetPen({ColorToRGB(Color), std::max(PenWidth, 0), CanvasStyle(style)});
  canvas.SetBrush({0, TBrushStyle::None});
  if (IsRectangle) {
    canvas.DrawRect(r);
    return;
  }
  if (!clip || std::max(a, b) <= kLargeShape) {
    canvas.DrawEllipse(r);
    return;
  }
  // A very large ellipse whose centre lies off the clip rectangle (else the
  // rectangle would lie inside it): only the arc between the directions of
  // the rectangle's corners can cross it.
  const double mid = std::atan2((clip->Top + clip->Bottom) / 2.0 - cy, ((clip->Left + clip->Right) / 2.0 - cx) * b / a);
  double lo = 0, hi = 0;
  const double xs[2] = {double(clip->Left), double(clip->Right)};
  const double ys[2] = {double(clip->Top), double(clip->Bottom)};
  for (double x : xs)
    for (double y : ys) {
      const double t = std::remainder(std::atan2(y - cy, (x - cx) * b / a) - mid, 2 * 3.14159265358979323846);
      lo = std::min(lo, t);
      hi = std::max(hi, t);
    }
  // Steps of about four pixels along the ellipse.
  const double dt = 4.0 / std::max(a, b);
  const int steps = static_cast<int>(std::min(20000.0, std::ceil((hi - lo) / dt)));
  std::vector<TCanvasPoint> points;
  points.reserve(static_cast<size_t>(steps) + 1);
  for (int i = 0; i <= steps; ++i) {
    const double t = mid + lo + (hi - lo) * i / std::max(steps, 1);
    const double x = cx + a * std::cos(t), y = cy + b * std::sin(t);
    points.push_back({static_cast<int32_t>(std::lround(std::clamp(x, -1e9, 1e9))),
                      static_cast<int32_t>(std::lround(std::clamp(y, -1e9, 1e9)))});
  }
  canvas.DrawPolyline(points.data(), points.size());
}
