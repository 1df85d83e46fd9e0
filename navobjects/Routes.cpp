#include "navobjects/Routes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>
#include <utility>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "geodesy/CTrans.h"
#include "platform/AtomicFile.h"
#include "platform/Questions.h"
#include "platform/TextBasics.h"

namespace {

// Pixels are kept within this distance of the chart, so that far points
// still give lines the canvas can clip.
constexpr double kPlaceLimit = 1e6;

bool FileExists(const std::string& name) { return FileSizeOf(name) >= 0; }

std::string TrimmedName(const std::string& name) { return std::string(TrimSpaceTab(name)); }

// "°" is UTF-8 in the position texts; lists show it as ",".
std::string DegreeToComma(std::string s) {
  static const std::string kDeg = "\xC2\xB0";
  for (size_t at = s.find(kDeg); at != std::string::npos; at = s.find(kDeg, at + 1)) s.replace(at, kDeg.size(), ",");
  return s;
}

}  // namespace

void ReverseRoutePoints(TRoutePoints& points) {
  if (points.size() < 2) return;
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    points[i].LegSpeed = points[i + 1].LegSpeed;
    points[i].LegXTE = points[i + 1].LegXTE;
  }
  std::reverse(points.begin(), points.end());
}

// ---------------------------------------------------------------------------
// The collection

void TRoute::Clear() {
  TNavShapeCollection::Clear();
  Line.clear();
  legVisible_.clear();
  VisibleCount = 0;
  FileName.clear();
  Modified = false;
}

void TRoute::Forget(const TNavShape* shape) {
  TNavShapeCollection::Forget(shape);
  if (Dest == shape) Dest = nullptr;
}

void TRoute::StyleUnselectedAll() {
  TNavShapeCollection::StyleUnselectedAll();
  if (!IsPositions && Last()) Last()->Shape = SelectedStyle.Shape;
}

void TRoute::StyleAll() {
  TNavShapeCollection::StyleAll();
  if (!IsPositions && Last()) Last()->Shape = SelectedStyle.Shape;
}

TRoutePointRec TRoute::RecordOf(const TNavShape& s) const {
  TRoutePointRec r;
  r.Position = s.Position;
  r.LegSpeed = s.LegSpeed;
  r.LegXTE = s.LegXTE;
  r.Reserved1 = s.Reserved1;
  r.Reserved2 = s.Reserved2;
  r.Name = s.Caption;
  r.Comment = s.Comment;
  return r;
}

TRoutePoints TRoute::Records() const {
  TRoutePoints points;
  points.reserve(shapes_.size());
  for (const auto& s : shapes_) points.push_back(RecordOf(*s));
  return points;
}

namespace {

void Assign(TNavShape& s, TRoutePointRec&& r) {
  s.Position = r.Position;
  s.LegSpeed = r.LegSpeed;
  s.LegXTE = r.LegXTE;
  s.Reserved1 = r.Reserved1;
  s.Reserved2 = r.Reserved2;
  s.Caption = std::move(r.Name);
  s.Comment = std::move(r.Comment);
}

}  // namespace

TNavShape* TRoute::AddRecord(const TRoutePointRec& rec) {
  TNavShape* s = Add({0, 0}, false);
  Assign(*s, TRoutePointRec(rec));
  RecomputeView();
  PlacePoints();
  return s;
}

// ---------------------------------------------------------------------------
// Names and lists

std::string TRoute::NameOf(int index) const {
  const TNavShape* s = At(index);
  if (s && !s->Caption.empty()) return s->Caption;
  return "WP# " + std::to_string(index + 1);
}

void TRoute::ListNames(std::vector<std::string>& names) const {
  for (int i = 0; i < Count(); ++i) names.push_back(NameOf(i));
}

int TRoute::RouteList(std::vector<std::string>& lines) const {
  double seconds = 0, miles = 0;
  for (int i = 0; i < Count(); ++i) {
    const TNavShape& s = *shapes_[static_cast<size_t>(i)];
    std::string line = PadLeft(std::to_string(i + 1), ' ', 3) + ", " + LatToStr(s.Position.Y) + ", " +
                       LonToStr(s.Position.X) + ", " + FloatToStrWD(4, 1, s.LegSpeed) + ", " +
                       FloatToStrWD(5, 3, s.LegXTE * kRadToNM);
    if (i == 0) {
      line += ",     ,       ,       ";
    } else {
      const TNavShape& from = *shapes_[static_cast<size_t>(i - 1)];
      const TFPoint leg = GeoDistBearing(from.Position, s.Position);
      const double speed = NonZeroOr(Options.DefaultSpeed, s.LegSpeed);
      seconds += TimeToGo(leg.X, speed) * 86400.0;
      miles += leg.X * kRadToNM;
      double bearing = leg.Y;
      NormAngle(bearing);
      const int degrees = static_cast<int>(bearing * kRadToDeg) % 360;
      line += ", " + PadLeft(std::to_string(degrees), ' ', 3) + "\xC2\xB0" + "," +
              PadLeft(SecondsToHHHMM(seconds), ' ', 7) + "," + FloatToStrWD(7, 1, miles);
    }
    line += ", " + s.Caption;
    lines.push_back(DegreeToComma(std::move(line)));
  }
  return Count();
}

int TRoute::PositionList(std::vector<std::string>& lines) const {
  for (int i = 0; i < Count(); ++i) {
    const TNavShape& s = *shapes_[static_cast<size_t>(i)];
    std::string comment;
    for (size_t k = 0; k < s.Comment.size(); ++k) {
      const char c = s.Comment[k];
      if (c == '\r' && k + 1 < s.Comment.size() && s.Comment[k + 1] == '\n') continue;
      comment += (c == '\r' || c == '\n') ? ';' : c;
    }
    lines.push_back(DegreeToComma(PadLeft(std::to_string(i + 1), ' ', 3) + ", " + LatToStr(s.Position.Y) + ", " +
                                  LonToStr(s.Position.X) + ", " + s.Caption + ", " + comment));
  }
  return Count();
}

// ---------------------------------------------------------------------------
// Files

int TRoute::SaveToFile(const std::string& name) {
  LastError.clear();
  if (Empty()) return 0;
  const std::string bytes = EncodeSrw(Records(), NowLocal(), HeaderValue);
  std::string error;
  if (!AtomicWriteFile(name, bytes, &error)) {
    LastError = error.empty() ? "Unable to write to " + name : error;
    return -1;
  }
  FileName = name;
  Modified = false;
  return Count();
}

int TRoute::ReadInto(const std::string& name, bool positions, TReadMode mode) {
  LastError.clear();
  LastReadDamaged = false;
  if (name.empty() || !FileExists(name)) return 0;
  std::string bytes;
  std::string error;
  if (!ReadWholeFile(name, bytes, &error, kMaxRouteFileSize)) {
    LastError = error.empty() ? "Unable to read " + name : error;
    return -1;
  }
  const bool srw = IsSrw(bytes);
  TRouteReadResult r;
  if (srw)
    r = ReadSrw(bytes);
  else if (positions)
    r = ReadOldPositions(bytes);
  else
    r = ReadOldRoute(bytes);
  if (r.status == TRouteReadStatus::NotThisKind) {
    LastError = name + (positions ? " is not a positions file" : " is not a route file");
    return -1;
  }
  return FinishRead(std::move(r), name, srw, mode);
}

int TRoute::FinishRead(TRouteReadResult&& r, const std::string& name, bool srw, TReadMode mode) {
  if (r.status == TRouteReadStatus::Damaged) {
    LastReadDamaged = true;
    LastError = name + ": " + (r.error.empty() ? "the file is damaged" : r.error);
  }
  if (mode == TReadMode::Replace) Clear();
  const bool hadPoints = !Empty();
  const int added = MergeRecords(std::move(r.points));
  FileName = !hadPoints && srw ? name : std::string();
  Modified = hadPoints;
  return added;
}

int TRoute::LoadFromFile(const std::string& name, TReadMode mode) { return ReadInto(name, IsPositions, mode); }

int TRoute::LoadPositions(const std::string& name, TReadMode mode) { return ReadInto(name, true, mode); }

int TRoute::FinishImport(TRouteReadResult&& r, const std::string& name, TReadMode mode) {
  switch (r.status) {
    case TRouteReadStatus::Declined:
      return 0;
    case TRouteReadStatus::NotThisKind:
    case TRouteReadStatus::NoPoints:
      LastError = name + ": " + (r.error.empty() ? "no points" : r.error);
      AppMessageBox("WP Import Error", mfOk | mfIconError);
      return 0;
    case TRouteReadStatus::Damaged:
      LastReadDamaged = true;
      LastError = name + ": " + r.error;
      break;
    case TRouteReadStatus::Ok:
      break;
  }
  if (mode == TReadMode::Replace) Clear();
  const int added = MergeRecords(std::move(r.points));
  // No file of ours holds the points now.
  FileName.clear();
  if (added > 0) Modified = true;
  return added;
}

namespace {

bool ReadTextFile(const std::string& name, std::string& bytes, std::string& error) {
  error.clear();
  if (!ReadWholeFile(name, bytes, &error, kMaxRouteFileSize)) {
    if (error.empty()) error = "Unable to read " + name;
    return false;
  }
  return true;
}

}  // namespace

int TRoute::ImportText(const std::string& name, TReadMode mode) {
  LastError.clear();
  LastReadDamaged = false;
  std::string bytes;
  if (!ReadTextFile(name, bytes, LastError)) {
    AppMessageBox("WP Import Error", mfOk | mfIconError);
    return 0;
  }
  return FinishImport(ReadWpText(bytes, !IsPositions, Options), name, mode);
}

int TRoute::ImportExchange(const std::string& name, int routeNumber, TReadMode mode) {
  LastError.clear();
  LastReadDamaged = false;
  std::string bytes;
  if (!ReadTextFile(name, bytes, LastError)) {
    AppMessageBox("WP Import Error", mfOk | mfIconError);
    return 0;
  }
  return FinishImport(ReadG7t(bytes, routeNumber, Options), name, mode);
}

int TRoute::ImportGpx(const std::string& name, TReadMode mode) {
  LastError.clear();
  LastReadDamaged = false;
  std::string bytes;
  if (!ReadTextFile(name, bytes, LastError)) {
    AppMessageBox("WP Import Error", mfOk | mfIconError);
    return 0;
  }
  return FinishImport(ReadGpx(bytes, !IsPositions, Options), name, mode);
}

bool TRoute::WriteText(const std::string& name, const std::string& bytes) {
  LastError.clear();
  std::string error;
  if (AtomicWriteFile(name, bytes, &error)) return true;
  LastError = error.empty() ? "Unable to write to " + name : error;
  return false;
}

bool TRoute::ExportText(const std::string& name, int routeNumber) {
  const std::string base = FileBaseName(FileName.empty() ? name : FileName);
  return WriteText(name, EncodeWpText(Records(), routeNumber, base, Options));
}

bool TRoute::ExportExchange(const std::string& name, const std::string& routeName, int routeNumber) {
  return WriteText(name, EncodeG7t(Records(), routeNumber, routeName, Options));
}

bool TRoute::ExportGpx(const std::string& name, const std::string& listName) {
  return WriteText(name, EncodeGpx(Records(), !IsPositions, listName));
}

int TRoute::MergeRecords(TRoutePoints&& points) {
  if (IsPositions) {
    // Names are the positions' keys: unnamed points and names already
    // present (in the collection or earlier in the file) are skipped.
    std::unordered_set<std::string> names;
    names.reserve(shapes_.size() + points.size());
    for (const auto& s : shapes_) names.insert(TrimmedName(s->Caption));
    TRoutePoints kept;
    kept.reserve(points.size());
    for (TRoutePointRec& p : points) {
      std::string key = TrimmedName(p.Name);
      if (key.empty() || !names.insert(std::move(key)).second) continue;
      kept.push_back(std::move(p));
    }
    const int n = static_cast<int>(kept.size());
    InsertList(std::move(kept), Count());
    return n;
  }
  const int n = static_cast<int>(points.size());
  const int index = BestInsertIndex(points);
  InsertList(std::move(points), index);
  return n;
}

// ---------------------------------------------------------------------------
// Measures

template <class F>
void TRoute::ForEachLeg(int a, int b, F&& f) const {
  if (a > b) std::swap(a, b);
  a = std::max(a, 0);
  b = std::min(b, Count() - 1);
  for (int i = a; i < b; ++i) f(*shapes_[static_cast<size_t>(i)], *shapes_[static_cast<size_t>(i + 1)]);
}

double TRoute::RouteLength(int a, int b) const {
  double sum = 0;
  ForEachLeg(a, b, [&](const TNavShape& from, const TNavShape& to) { sum += GeoDistance(from.Position, to.Position); });
  return sum;
}

double TRoute::RouteTime(int a, int b) const {
  double days = 0;
  ForEachLeg(a, b, [&](const TNavShape& from, const TNavShape& to) {
    days += TimeToGo(GeoDistance(from.Position, to.Position), NonZeroOr(Options.DefaultSpeed, to.LegSpeed));
  });
  return days;
}

TNavShape* TRoute::NearestPoint(const TFPoint& pos) const {
  TNavShape* best = nullptr;
  double bestD = std::numeric_limits<double>::infinity();
  for (const auto& s : shapes_) {
    const double dy = s->Position.Y - pos.Y;
    // The longitude difference the short way round: a point just across
    // the 180th meridian is near, not a whole turn away.
    double dx = s->Position.X - pos.X;
    if (std::fabs(dx) > kPi) dx = std::remainder(dx, 2 * kPi);
    const double d = std::sqrt(dy * dy + dx * dx);
    if (d < bestD) {
      bestD = d;
      best = s.get();
    }
  }
  return best;
}

int TRoute::LegIndexFor(const TFPoint& p, bool ignoreAppendOnly) const {
  if ((AppendOnly && !ignoreAppendOnly) || Count() <= 1) return Count();
  const TNavShape* q = NearestPoint(p);
  if (!q) return Count();
  const TNavShape* a = q->Prev();
  const TNavShape* b = q->Next();
  const TFPoint& Q = q->Position;
  if (a && b) {
    const double viaA = GeoDistanceVia(Q, p, a->Position) - GeoDistance(Q, a->Position);
    const double viaB = GeoDistanceVia(Q, p, b->Position) - GeoDistance(Q, b->Position);
    return viaA > viaB ? q->Index + 1 : q->Index;
  }
  if (a) return GeoDistanceVia(Q, p, a->Position) > GeoDistanceVia(p, Q, a->Position) ? q->Index + 1 : q->Index;
  return GeoDistanceVia(p, Q, b->Position) > GeoDistanceVia(Q, p, b->Position) ? 1 : 0;
}

int TRoute::BestInsertIndex(TRoutePoints& points) const {
  if (points.empty() || Empty()) return Count();
  const TFPoint first = points.front().Position, last = points.back().Position;
  const TFPoint routeFirst = shapes_.front()->Position, routeLast = shapes_.back()->Position;
  if (AppendOnly) {
    if (GeoDistance(routeLast, first) > GeoDistance(routeLast, last)) ReverseRoutePoints(points);
    return Count();
  }
  const double total = RouteLength(0, Count() - 1);
  // The cheapest place for a list running f ... l: before the route, between
  // two of its points, or after it; the first found wins on equal costs.
  const auto best = [&](const TFPoint& f, const TFPoint& l, int& index) {
    double cost = total + GeoDistance(l, routeFirst);
    index = 0;
    for (int i = 1; i < Count(); ++i) {
      const TFPoint& r = shapes_[static_cast<size_t>(i - 1)]->Position;
      const TFPoint& s = shapes_[static_cast<size_t>(i)]->Position;
      const double c = total - GeoDistance(r, s) + GeoDistance(r, f) + GeoDistance(l, s);
      if (c < cost) {
        cost = c;
        index = i;
      }
    }
    const double end = total + GeoDistance(routeLast, f);
    if (end < cost) {
      cost = end;
      index = Count();
    }
    return cost;
  };
  int forwardIndex = 0, reversedIndex = 0;
  const double forward = best(first, last, forwardIndex);
  const double reversed = best(last, first, reversedIndex);
  if (forward >= reversed) {
    ReverseRoutePoints(points);
    return reversedIndex;
  }
  return forwardIndex;
}

void TRoute::InsertList(TRoutePoints&& points, int index) {
  if (points.empty()) return;
  if (!Empty()) FileName.clear();
  std::vector<std::unique_ptr<TNavShape>> made;
  made.reserve(points.size());
  for (TRoutePointRec& p : points) {
    std::unique_ptr<TNavShape> s = NewShape();
    Assign(*s, std::move(p));
    s->Visible = false;
    made.push_back(std::move(s));
  }
  points.clear();
  InsertShapes(std::move(made), index);
  RecomputeView();
  PlacePoints();
  StyleAll();
}

void TRoute::Reverse() {
  if (Count() < 2) return;
  for (size_t i = 0; i + 1 < shapes_.size(); ++i) {
    shapes_[i]->LegSpeed = shapes_[i + 1]->LegSpeed;
    shapes_[i]->LegXTE = shapes_[i + 1]->LegXTE;
  }
  std::reverse(shapes_.begin(), shapes_.end());
  Renumber();
  RecomputeView();
  PlacePoints();
}

// ---------------------------------------------------------------------------
// The view

int TRoute::SetViewPolygon(const std::vector<TFPoint>& corners) {
  viewArea_ = TViewArea::Polygon;
  viewPolygon_.assign(corners.begin(), corners.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(corners.size(), 4)));
  return RecomputeView();
}

int TRoute::SetViewRect(const TFRect& rect) {
  viewArea_ = TViewArea::Rect;
  viewRect_ = rect;
  NormFRect(viewRect_);
  return RecomputeView();
}

int TRoute::RecomputeView() {
  const size_t n = shapes_.size();
  legVisible_.assign(n, 0);
  if (viewArea_ == TViewArea::None) {
    for (auto& s : shapes_) s->Visible = false;
    return FinishView();
  }
  if (viewArea_ == TViewArea::Rect) {
    for (auto& s : shapes_) s->Visible = false;
    if (n == 1) {
      shapes_[0]->Visible = PointInFRect(shapes_[0]->Position, viewRect_);
    } else {
      for (size_t i = 1; i < n; ++i) {
        TFRect leg{shapes_[i - 1]->Position.X, shapes_[i - 1]->Position.Y, shapes_[i]->Position.X,
                   shapes_[i]->Position.Y};
        NormFRect(leg);
        // Extents that meet, also when a long leg crosses the area with
        // both ends outside it.
        if (FRectsIntersect(leg, viewRect_)) {
          shapes_[i - 1]->Visible = shapes_[i]->Visible = true;
          legVisible_[i] = 1;
        }
      }
    }
    return FinishView();
  }
  // Inside the polygon, and the neighbours of inside points, decided from
  // the points' own places (not from neighbours just made visible).
  std::vector<uint8_t> inside(n, 0);
  for (size_t i = 0; i < n; ++i)
    inside[i] = viewPolygon_.size() >= 3 &&
                PointInPolygon(viewPolygon_.data(), viewPolygon_.size(), shapes_[i]->Position);
  for (size_t i = 0; i < n; ++i) {
    const bool next = i + 1 < n && inside[i + 1];
    const bool prev = i > 0 && inside[i - 1];
    shapes_[i]->Visible = inside[i] || next || prev;
    if (i > 0 && (inside[i] || inside[i - 1])) legVisible_[i] = 1;
  }
  return FinishView();
}

int TRoute::FinishView() {
  VisibleCount = static_cast<int>(std::count_if(shapes_.begin(), shapes_.end(), [](const auto& s) { return s->Visible; }));
  StyleAll();
  return VisibleCount;
}

void TRoute::PlacePoints() {
  Line.clear();
  const bool canPlace = Convert && Convert->Valid;
  for (size_t i = 0; i < shapes_.size(); ++i) {
    TNavShape& s = *shapes_[i];
    TFPoint px;
    if (s.Visible && canPlace && Convert->GeoToPixel(s.Position, px) && std::isfinite(px.X) && std::isfinite(px.Y)) {
      const TPoint p{static_cast<int32_t>(std::lround(std::clamp(px.X, -kPlaceLimit, kPlaceLimit))),
                     static_cast<int32_t>(std::lround(std::clamp(px.Y, -kPlaceLimit, kPlaceLimit)))};
      s.SetPos(p);
      Line.push_back(p);
    } else {
      s.SetPos({0, 0});
      if (s.Visible) {
        s.Visible = false;
        if (i < legVisible_.size()) legVisible_[i] = 0;
        if (i + 1 < legVisible_.size()) legVisible_[i + 1] = 0;
      }
    }
  }
  VisibleCount = static_cast<int>(Line.size());
}

bool TRoute::LegVisible(int i) const {
  return i > 0 && static_cast<size_t>(i) < legVisible_.size() && legVisible_[static_cast<size_t>(i)] &&
         shapes_[static_cast<size_t>(i)]->Visible && shapes_[static_cast<size_t>(i - 1)]->Visible;
}

void TRoute::PaintLegs(ICanvas& canvas, TPoint offset, const TPen& pen) const {
  std::vector<TCanvasPoint> ends;
  for (int i = 1; i < Count(); ++i) {
    if (!LegVisible(i)) continue;
    const TNavShape& a = *shapes_[static_cast<size_t>(i - 1)];
    const TNavShape& b = *shapes_[static_cast<size_t>(i)];
    ends.push_back({a.PosX() - offset.X, a.PosY() - offset.Y});
    ends.push_back({b.PosX() - offset.X, b.PosY() - offset.Y});
  }
  if (ends.empty()) return;
  canvas.SetPen(pen);
  canvas.SetBrush({0, TBrushStyle::None});
  canvas.DrawLines(ends.data(), ends.size() / 2);
}
