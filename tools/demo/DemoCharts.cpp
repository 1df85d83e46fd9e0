#include "DemoCharts.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "charts/ChartInfo.h"
#include "foundation/NumText.h"
#include "geodesy/CTrans.h"
#include "geodesy/MagError.h"
#include "platform/AtomicFile.h"

namespace {

// The chart's colours (the palette of the PNG).
enum : uint8_t {
  kWhite,
  kBlack,
  kLand,
  kDepth2,   // 0 to 2 m
  kDepth5,   // 2 to 5 m
  kDepth10,  // 5 to 10 m
  kContour,
  kMagenta,
  kWatermark,      // the marking over deep water
  kWatermarkLand,  // the marking over land
  kSounding,
  kRed,
  kGreen,
  kBuilding,
  kColourCount
};

std::vector<TRgb> Palette() {
  std::vector<TRgb> p(kColourCount);
  p[kWhite] = MakeRgb(255, 255, 255);
  p[kBlack] = MakeRgb(0, 0, 0);
  p[kLand] = MakeRgb(245, 224, 160);
  p[kDepth2] = MakeRgb(130, 182, 232);
  p[kDepth5] = MakeRgb(168, 206, 240);
  p[kDepth10] = MakeRgb(206, 229, 248);
  p[kContour] = MakeRgb(70, 110, 160);
  p[kMagenta] = MakeRgb(196, 0, 128);
  p[kWatermark] = MakeRgb(246, 214, 236);
  p[kWatermarkLand] = MakeRgb(240, 200, 170);
  p[kSounding] = MakeRgb(40, 40, 60);
  p[kRed] = MakeRgb(220, 30, 30);
  p[kGreen] = MakeRgb(0, 150, 70);
  p[kBuilding] = MakeRgb(190, 150, 100);
  return p;
}

constexpr const char* kDemoMark = "DEMO - NOT FOR NAVIGATION";

// Depth areas: 0 land, then 0-2, 2-5, 5-10, 10-20 and deeper than 20 m.
uint8_t Band(double h) {
  if (h >= 0) return 0;
  if (h > -2) return 1;
  if (h > -5) return 2;
  if (h > -10) return 3;
  if (h > -20) return 4;
  return 5;
}

uint8_t BandColour(uint8_t band) {
  switch (band) {
    case 0: return kLand;
    case 1: return kDepth2;
    case 2: return kDepth5;
    case 3: return kDepth10;
    default: return kWhite;
  }
}

double MercatorY(double lat) { return std::atanh(std::sin(lat)); }

struct TBox {
  double X1, Y1, X2, Y2;
  bool Overlaps(const TBox& o) const { return X1 < o.X2 && o.X1 < X2 && Y1 < o.Y2 && o.Y1 < Y2; }
};

// Minutes of arc as chart border text: 3°05'E, 56°27.4'N.
std::string AngleText(double minutes, int decimals, bool lon) {
  const bool negative = minutes < 0;
  const double m = std::fabs(minutes);
  const double scale = std::pow(10.0, decimals);
  const int64_t units = RoundToInt64(m * scale);
  const int64_t perDegree = static_cast<int64_t>(60 * scale);
  const int64_t deg = units / perDegree;
  const double rest = static_cast<double>(units - deg * perDegree) / scale;
  std::string mins = FloatToStrFixedDot(decimals, rest);
  if (rest < 10) mins = "0" + mins;
  const char hemi = lon ? (negative ? 'W' : 'E') : (negative ? 'S' : 'N');
  return std::to_string(deg) + "\xC2\xB0" + mins + "'" + hemi;
}

class TChartPainter {
 public:
  TChartPainter(const TDemoWorld& world, const TDemoChartPlan& plan, double variationYear)
      : world_(world),
        plan_(plan),
        frame_(plan),
        canvas_(frame_.Width(), frame_.Height(), Palette(), kWhite),
        variationYear_(variationYear) {}

  TDemoCanvas Paint() {
    PaintDepthAreas();
    PaintWatermarks();
    PaintContours();
    PaintBuildings();
    PaintChannels();
    PlanSymbols();
    PaintSoundings();
    PaintRose();
    PaintNames();
    PaintLights();
    PaintTitle();
    PaintBorder();
    return std::move(canvas_);
  }

  const TDemoChartFrame& Frame() const { return frame_; }

 private:
  // Neat-line pixels, inclusive.
  int32_t X1() const { return static_cast<int32_t>(frame_.Left()); }
  int32_t Y1() const { return static_cast<int32_t>(frame_.Top()); }
  int32_t X2() const { return static_cast<int32_t>(std::floor(frame_.Right())); }
  int32_t Y2() const { return static_cast<int32_t>(std::floor(frame_.Bottom())); }
  bool InNeat(int32_t x, int32_t y) const { return x >= X1() && x <= X2() && y >= Y1() && y <= Y2(); }
  uint8_t BandAt(int32_t x, int32_t y) const {
    return bands_[static_cast<size_t>(y - Y1()) * static_cast<size_t>(X2() - X1() + 1) + static_cast<size_t>(x - X1())];
  }
  double PX(const TDemoPoint& p) const { return frame_.PixelX(world_.ToGeo(p).X); }
  double PY(const TDemoPoint& p) const { return frame_.PixelY(world_.ToGeo(p).Y); }

  void PaintDepthAreas() {
    const int32_t w = X2() - X1() + 1, h = Y2() - Y1() + 1;
    std::vector<double> xs(static_cast<size_t>(w));
    for (int32_t i = 0; i < w; ++i) xs[static_cast<size_t>(i)] = world_.LocalX(frame_.Lon(X1() + i));
    bands_.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    for (int32_t j = 0; j < h; ++j) {
      const double ly = world_.LocalY(frame_.Lat(Y1() + j));
      for (int32_t i = 0; i < w; ++i) {
        const uint8_t b = Band(world_.Height(xs[static_cast<size_t>(i)], ly));
        bands_[static_cast<size_t>(j) * static_cast<size_t>(w) + static_cast<size_t>(i)] = b;
        canvas_.Set(X1() + i, Y1() + j, BandColour(b));
      }
    }
  }

  // The marking written large and slanted across the chart, in a pale tint
  // of the water and the land, so that it never hides anything drawn.
  void PaintWatermarks() {
    TDemoCanvas mask(canvas_.Width(), canvas_.Height(), {MakeRgb(0, 0, 0), MakeRgb(255, 255, 255)}, 0);
    const double w = frame_.Right() - frame_.Left(), h = frame_.Bottom() - frame_.Top();
    const double angle = std::atan2(h, w) * 0.5;
    const double size = 0.5 * w / TDemoCanvas::TextWidth(kDemoMark, 1);
    const double length = TDemoCanvas::TextWidth(kDemoMark, size);
    const double centres[2][2] = {{0.36, 0.34}, {0.62, 0.74}};
    for (const auto& c : centres) {
      const double cx = frame_.Left() + w * c[0], cy = frame_.Top() + h * c[1];
      mask.Text(cx - std::cos(angle) * length / 2 - std::sin(angle) * size / 2,
                cy + std::sin(angle) * length / 2 + std::cos(angle) * size / 2, kDemoMark, size, 1, angle, size / 8);
    }
    for (int32_t y = Y1(); y <= Y2(); ++y)
      for (int32_t x = X1(); x <= X2(); ++x) {
        if (!mask.Get(x, y)) continue;
        const uint8_t c = canvas_.Get(x, y);
        if (c == kWhite) canvas_.Set(x, y, kWatermark);
        if (c == kLand) canvas_.Set(x, y, kWatermarkLand);
      }
  }

  // The shore in black on the land side, the depth contours in blue on the
  // shallow side.
  void PaintContours() {
    for (int32_t y = Y1(); y <= Y2(); ++y)
      for (int32_t x = X1(); x <= X2(); ++x) {
        const uint8_t b = BandAt(x, y);
        bool shore = false, contour = false;
        for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
          if (!InNeat(x + dx, y + dy)) continue;
          const uint8_t n = BandAt(x + dx, y + dy);
          if (b == 0 && n > 0) shore = true;
          if (b > 0 && n > b) contour = true;
        }
        if (shore) canvas_.Set(x, y, kBlack);
        else if (contour) canvas_.Set(x, y, kContour);
      }
  }

  void PaintBuildings() {
    for (const TDemoBuilding& b : world_.Buildings()) {
      double x1 = PX(b.Min), x2 = PX(b.Max), y1 = PY(b.Max), y2 = PY(b.Min);
      // Whole buildings only: none is cut by the neat line.
      if (x1 < frame_.Left() + 3 || x2 > frame_.Right() - 3 || y1 < frame_.Top() + 3 || y2 > frame_.Bottom() - 3)
        continue;
      if (x2 - x1 < 5) {
        canvas_.FillRect(x1, y1, std::max(x2, x1 + 1.5), std::max(y2, y1 + 1.5), kBuilding);
      } else {
        canvas_.FillRect(x1, y1, x2, y2, kBuilding);
        canvas_.FrameRect(x1, y1, x2, y2, 1, kBlack);
      }
    }
  }

  // The limits of dredged channels, dashed, with their depth.
  void PaintChannels() {
    if (!plan_.HarbourScale) return;
    for (const TDemoChannel& c : world_.Channels()) {
      // The dashes stop short of the breakwater heads at the channel's end.
      const double x1 = std::max(PX(c.Min), frame_.Left() + 2);
      const double x2 = std::min(PX({c.Max.X - 14, c.Max.Y}), frame_.Right() - 2);
      if (x1 >= x2) continue;
      for (const double y : {PY(c.Min), PY(c.Max)}) canvas_.DashedLine(x1, y, x2, y, 1.5, 10, 7, kBlack);
      const std::string text = "DREDGED " + FloatToStrFixedDot(1, c.Depth) + " M";
      const double size = 13, w = TDemoCanvas::TextWidth(text, size);
      const double cx = (x1 + x2) / 2, cy = (PY(c.Min) + PY(c.Max)) / 2;
      canvas_.TextCentred(cx, cy, text, size, kContour, 1.4);
      occupied_.push_back({cx - w / 2 - 6, cy - size, cx + w / 2 + 6, cy + size});
    }
  }

  // Where the rose, the names, the lights and the title go, so that the
  // soundings keep clear of them.
  void PlanSymbols() {
    roseX_ = PX(plan_.RoseAt);
    roseY_ = PY(plan_.RoseAt);
    const double r = plan_.RoseRadius;
    occupied_.push_back({roseX_ - r - 6, roseY_ - r - 6, roseX_ + r + 6, roseY_ + r + 6});
    for (const TDemoLabel& l : world_.Labels()) {
      if (l.Harbour && !plan_.HarbourScale) continue;
      const double size = l.Water ? plan_.WaterNameSize : plan_.LandNameSize;
      const double x = PX(l.At), y = PY(l.At), w = TDemoCanvas::TextWidth(l.Text, size);
      occupied_.push_back({x - w / 2 - 8, y - size, x + w / 2 + 8, y + size});
    }
    for (const TDemoLight& l : world_.Lights()) {
      const double x = PX(l.At), y = PY(l.At);
      occupied_.push_back({x - 30, y - 40, x + 40 + TDemoCanvas::TextWidth(l.Text, 13), y + 12});
    }
    TitleLines();
    double w = 0, h = 24;
    for (const auto& [text, size, colour] : title_) {
      w = std::max(w, TDemoCanvas::TextWidth(text, size));
      h += size * 1.7;
    }
    w += 40;
    const double x2 = frame_.Right() - 24;
    const double y1 = plan_.TitleAtTop ? frame_.Top() + 24 : frame_.Bottom() - 24 - h;
    title_box_ = {x2 - w, y1, x2, y1 + h};
    occupied_.push_back({title_box_.X1 - 10, title_box_.Y1 - 10, title_box_.X2 + 10, title_box_.Y2 + 10});
  }

  bool Free(const TBox& b) const {
    for (const TBox& o : occupied_)
      if (o.Overlaps(b)) return false;
    return true;
  }

  // Depths in whole metres, with a small decimal below ten metres; the
  // figures are the depth at their centre, rounded down as charts do.
  void PaintSoundings() {
    const double s = plan_.SoundingSpacing, size = plan_.SoundingSize;
    uint32_t state = 0x5EED1234u;
    auto next = [&state] {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      return (state & 0xFFFF) / 65535.0;
    };
    for (double gy = frame_.Top() + s / 2; gy < frame_.Bottom() - 10; gy += s) {
      for (double gx = frame_.Left() + s / 2; gx < frame_.Right() - 10; gx += s) {
        const double x = gx + (next() - 0.5) * s * 0.6, y = gy + (next() - 0.5) * s * 0.6;
        const TFPoint pos{frame_.Lon(x), frame_.Lat(y)};
        const double depth = -world_.Height(world_.LocalX(pos.X), world_.LocalY(pos.Y));
        if (depth < 1.0) continue;
        const int64_t tenths = static_cast<int64_t>(std::floor(depth * 10));
        const std::string whole = std::to_string(tenths / 10);
        const std::string decimal = depth < 10 && tenths % 10 ? std::to_string(tenths % 10) : std::string();
        const double w = TDemoCanvas::TextWidth(whole, size) + (decimal.empty() ? 0 : size * 0.75);
        const TBox box{x - w / 2 - 3, y - size / 2 - 3, x + w / 2 + 3, y + size / 2 + size * 0.4 + 3};
        if (box.X1 < frame_.Left() + 4 || box.X2 > frame_.Right() - 4 || box.Y1 < frame_.Top() + 4 ||
            box.Y2 > frame_.Bottom() - 4 || !Free(box) || !Clear(box))
          continue;
        canvas_.Text(x - w / 2, y + size / 2, whole, size, kSounding, 0, 1.2);
        if (!decimal.empty())
          canvas_.Text(x - w / 2 + TDemoCanvas::TextWidth(whole, size) + size * 0.2, y + size / 2 + size * 0.35,
                       decimal, size * 0.62, kSounding, 0, 1.1);
        occupied_.push_back(box);
      }
    }
  }

  // No shore, contour or building inside the box.
  bool Clear(const TBox& b) const {
    for (int32_t y = static_cast<int32_t>(b.Y1); y <= static_cast<int32_t>(b.Y2); ++y)
      for (int32_t x = static_cast<int32_t>(b.X1); x <= static_cast<int32_t>(b.X2); ++x) {
        const uint8_t c = canvas_.Get(x, y);
        if (c == kBlack || c == kContour || c == kBuilding || c == kLand || c == kWatermarkLand) return false;
      }
    return true;
  }

  void PaintRose() {
    const double cx = roseX_, cy = roseY_, r = plan_.RoseRadius;
    canvas_.Disc(cx, cy, r + 2, kWhite);
    canvas_.Circle(cx, cy, r, 2, kMagenta);
    canvas_.Circle(cx, cy, r - 16, 1, kMagenta);
    for (int deg = 0; deg < 360; deg += 5) {
      const double a = deg * kDegToRad;
      const double len = deg % 10 == 0 ? 14 : 7;
      canvas_.Line(cx + r * std::sin(a), cy - r * std::cos(a), cx + (r - len) * std::sin(a),
                   cy - (r - len) * std::cos(a), 1.2, kMagenta);
      if (deg % 30 == 0) {
        const double lr = r - 16 - r * 0.1;
        canvas_.TextCentred(cx + lr * std::sin(a), cy - lr * std::cos(a), std::to_string(deg), r * 0.1, kMagenta,
                            1.3);
      }
    }
    // True north: a star with its north point filled.
    const double sr = r * 0.62;
    for (int k = 0; k < 4; ++k) {
      const double a = k * std::numbers::pi / 2;
      const double ax = std::sin(a), ay = -std::cos(a), bx = std::cos(a) * sr * 0.12, by = std::sin(a) * sr * 0.12;
      std::vector<std::pair<double, double>> half = {{cx, cy}, {cx + ax * sr, cy + ay * sr}, {cx + bx, cy + by}};
      canvas_.FillPolygon(half, k == 0 ? kMagenta : kWatermark);
      canvas_.Line(cx, cy, cx + ax * sr, cy + ay * sr, 1.2, kMagenta);
      canvas_.Line(cx + ax * sr, cy + ay * sr, cx + bx, cy + by, 1.2, kMagenta);
      canvas_.Line(cx + ax * sr, cy + ay * sr, cx - bx, cy - by, 1.2, kMagenta);
    }
    // Magnetic north and the variation of the year.
    TMagError model;
    const TFPoint centre{frame_.Lon(cx), frame_.Lat(cy)};
    const std::optional<double> var = model.Declination(variationYear_, centre.X, centre.Y, 0);
    if (!var) return;
    const double mr = r * 0.8;
    const double ma = *var;
    canvas_.Line(cx, cy, cx + mr * std::sin(ma), cy - mr * std::cos(ma), 1.5, kMagenta);
    canvas_.Disc(cx + mr * std::sin(ma), cy - mr * std::cos(ma), 3, kMagenta);
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) about
    // a literal added to a temporary string.
    std::string lines[2] = {"VAR ", "("};
    lines[0] += AngleText(*var * kRadToDeg * 60, 0, true);
    lines[1] += std::to_string(static_cast<int>(variationYear_));
    lines[1] += ')';
    const double ts = r * 0.07;
    for (int i = 0; i < 2; ++i) {
      const double ty = cy + r * (0.26 + 0.14 * i);
      const double tw = TDemoCanvas::TextWidth(lines[i], ts);
      canvas_.FillRect(cx - tw / 2 - 3, ty - ts * 0.8, cx + tw / 2 + 3, ty + ts * 0.8, kWhite);
      canvas_.TextCentred(cx, ty, lines[i], ts, kMagenta, 1.2);
    }
  }

  void PaintNames() {
    for (const TDemoLabel& l : world_.Labels()) {
      if (l.Harbour && !plan_.HarbourScale) continue;
      const double size = l.Water ? plan_.WaterNameSize : plan_.LandNameSize;
      canvas_.TextCentred(PX(l.At), PY(l.At), l.Text, size, l.Water ? kContour : kBlack, l.Water ? 1.6 : 2.2);
    }
  }

  void PaintLights() {
    for (const TDemoLight& l : world_.Lights()) {
      const double x = PX(l.At), y = PY(l.At);
      if (x < frame_.Left() || x > frame_.Right() || y < frame_.Top() || y > frame_.Bottom()) continue;
      const uint8_t colour = l.Colour == 1 ? kRed : l.Colour == 2 ? kGreen : kMagenta;
      // The flare: a drop pointing away from the light.
      const double a = 40 * kDegToRad, len = 26;
      const double tx = x + std::sin(a) * len, ty = y - std::cos(a) * len;
      const double nx = std::cos(a) * 5, ny = std::sin(a) * 5;
      canvas_.FillPolygon({{x, y}, {tx - nx * 0.3, ty - ny * 0.3}, {tx + nx * 0.3, ty + ny * 0.3}}, colour);
      canvas_.Disc(x + std::sin(a) * len * 0.7, y - std::cos(a) * len * 0.7, 5, colour);
      canvas_.Disc(x, y, 3.5, kBlack);
      canvas_.Text(x + 16, y + 12, l.Text, 13, kBlack, 0, 1.4);
    }
  }

  void TitleLines() {
    title_.clear();
    std::string scale = std::to_string(plan_.Scale);
    // Thousands spaced; the character form of insert, since GCC 12 at -O3
    // warns falsely (-Wrestrict) about inserting a literal.
    for (int i = static_cast<int>(scale.size()) - 3; i > 0; i -= 3) scale.insert(static_cast<size_t>(i), 1, ' ');
    std::string name = plan_.Name;
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    title_.push_back({name, 30, kBlack});
    std::string number = plan_.Number;  // appended, as in PaintRose
    number += "   SCALE 1:";
    number += scale;
    title_.push_back({number, 17, kBlack});
    title_.push_back({"MERCATOR PROJECTION   WGS 84", 15, kBlack});
    title_.push_back({"DEPTHS IN METRES", 15, kBlack});
    title_.push_back({kDemoMark, 22, kMagenta});
    title_.push_back({"AN INVENTED COAST FOR TRYING THE PLOTTER", 12, kBlack});
  }

  void PaintTitle() {
    const TBox& b = title_box_;
    canvas_.FillRect(b.X1, b.Y1, b.X2, b.Y2, kWhite);
    canvas_.FrameRect(b.X1, b.Y1, b.X2, b.Y2, 2.5, kBlack);
    double y = b.Y1 + 14;
    for (const auto& [text, size, colour] : title_) {
      y += size * 1.7;
      canvas_.Text((b.X1 + b.X2) / 2 - TDemoCanvas::TextWidth(text, size) / 2, y - size * 0.5, text, size, colour, 0,
                   size >= 22 ? size / 9 : 1.5);
    }
  }

  // The graduated border: alternate black and white bars of the
  // subdivisions, degrees and minutes at the labelled steps, the chart's
  // name and number and the marking in the margins.
  void PaintBorder() {
    const double L = frame_.Left(), T = frame_.Top(), R = frame_.Right(), B = frame_.Bottom();
    const double band = 12, gap = 2, labelSize = 16;
    auto lonBars = [&](double y1, double y2) {
      const int n = static_cast<int>(std::lround((plan_.LonEast - plan_.LonWest) * 60 / plan_.LonStep));
      for (int i = 0; i < n; ++i) {
        const double a = frame_.PixelX((plan_.LonWest + i * plan_.LonStep / 60) * kDegToRad);
        const double b = frame_.PixelX((plan_.LonWest + (i + 1) * plan_.LonStep / 60) * kDegToRad);
        canvas_.FillRect(a, y1, b, y2, i % 2 ? kBlack : kWhite);
      }
      canvas_.FrameRect(L, y1, R, y2, 1, kBlack);
    };
    auto latBars = [&](double x1, double x2) {
      const int n = static_cast<int>(std::lround((plan_.LatNorth - plan_.LatSouth) * 60 / plan_.LatStep));
      for (int i = 0; i < n; ++i) {
        const double a = frame_.PixelY((plan_.LatSouth + i * plan_.LatStep / 60) * kDegToRad);
        const double b = frame_.PixelY((plan_.LatSouth + (i + 1) * plan_.LatStep / 60) * kDegToRad);
        canvas_.FillRect(x1, b, x2, a, i % 2 ? kBlack : kWhite);
      }
      canvas_.FrameRect(x1, T, x2, B, 1, kBlack);
    };
    lonBars(T - gap - band, T - gap);
    lonBars(B + gap, B + gap + band);
    latBars(L - gap - band, L - gap);
    latBars(R + gap, R + gap + band);

    // Labels at the multiples of the labelled step; those at a corner stand
    // beside their tick, inside the side, clear of the other side's labels.
    auto steps = [](double from, double to, double step, int& first, int& last) {
      first = static_cast<int>(std::ceil(from / step - 1e-6));
      last = static_cast<int>(std::floor(to / step + 1e-6));
    };
    int first = 0, last = 0;
    steps(plan_.LonWest * 60, plan_.LonEast * 60, plan_.LonLabelStep, first, last);
    for (int i = first; i <= last; ++i) {
      const double minutes = i * plan_.LonLabelStep;
      const double x = frame_.PixelX(minutes / 60 * kDegToRad);
      const std::string text = AngleText(minutes, plan_.LabelDecimals, true);
      const double w = TDemoCanvas::TextWidth(text, labelSize);
      const double tx = x - L < w / 2 + 4 ? x + 4 : R - x < w / 2 + 4 ? x - w - 4 : x - w / 2;
      canvas_.Line(x, T - gap - band - 6, x, T - gap, 1.5, kBlack);
      canvas_.Line(x, B + gap, x, B + gap + band + 6, 1.5, kBlack);
      canvas_.Text(tx, T - gap - band - 10, text, labelSize, kBlack, 0, 1.6);
      canvas_.Text(tx, B + gap + band + 10 + labelSize, text, labelSize, kBlack, 0, 1.6);
    }
    steps(plan_.LatSouth * 60, plan_.LatNorth * 60, plan_.LatLabelStep, first, last);
    for (int i = first; i <= last; ++i) {
      const double minutes = i * plan_.LatLabelStep;
      const double y = frame_.PixelY(minutes / 60 * kDegToRad);
      const std::string text = AngleText(minutes, plan_.LabelDecimals, false);
      const double w = TDemoCanvas::TextWidth(text, labelSize);
      canvas_.Line(L - gap - band - 6, y, L - gap, y, 1.5, kBlack);
      canvas_.Line(R + gap, y, R + gap + band + 6, y, 1.5, kBlack);
      // Read from below, as latitudes on a chart's sides are.
      const double ty = B - y < w / 2 + 4 ? y - 4 : y - T < w / 2 + 4 ? y + w + 4 : y + w / 2;
      canvas_.Text(L - gap - band - 10, ty, text, labelSize, kBlack, std::numbers::pi / 2, 1.6);
      canvas_.Text(R + gap + band + 10 + labelSize, ty, text, labelSize, kBlack, std::numbers::pi / 2, 1.6);
    }

    // The neat line and the outer frame.
    canvas_.FrameRect(L, T, R, B, 2, kBlack);
    canvas_.FrameRect(8, 8, canvas_.Width() - 9, canvas_.Height() - 9, 1.5, kBlack);

    // The marking at the middle of every side; name and number at the top.
    const double ms = 22;
    const double mw = TDemoCanvas::TextWidth(kDemoMark, ms);
    canvas_.Text(canvas_.Width() / 2.0 - mw / 2, 16 + ms, kDemoMark, ms, kMagenta, 0, 2.6);
    canvas_.Text(canvas_.Width() / 2.0 - mw / 2, canvas_.Height() - 16, kDemoMark, ms, kMagenta, 0, 2.6);
    canvas_.Text(16 + ms, canvas_.Height() / 2.0 + mw / 2, kDemoMark, ms, kMagenta, std::numbers::pi / 2, 2.6);
    canvas_.Text(canvas_.Width() - 16, canvas_.Height() / 2.0 + mw / 2, kDemoMark, ms, kMagenta,
                 std::numbers::pi / 2, 2.6);
    std::string name = plan_.Name;
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    canvas_.Text(L, 16 + 16, name, 16, kBlack, 0, 1.6);
    canvas_.Text(R - TDemoCanvas::TextWidth(plan_.Number, 16), 16 + 16, plan_.Number, 16, kBlack, 0, 1.6);
  }

  const TDemoWorld& world_;
  const TDemoChartPlan& plan_;
  TDemoChartFrame frame_;
  TDemoCanvas canvas_;
  double variationYear_;
  std::vector<uint8_t> bands_;
  std::vector<TBox> occupied_;
  double roseX_ = 0, roseY_ = 0;
  struct TTitleLine {
    std::string Text;
    double Size;
    uint8_t Colour;
  };
  std::vector<TTitleLine> title_;
  TBox title_box_{};
};

// The calibration: four reference points at whole pixels near the corners
// of the neat line, their positions computed from the frame exactly; the
// border is the neat line.
RChartInfo Calibration(const TDemoChartPlan& plan, const TDemoChartFrame& frame) {
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  info.Layout.Name = plan.Name;
  info.Layout.FileName = plan.FileBase + ".png";
  info.Layout.Priority = 1;
  info.Layout.Scale = plan.Scale;
  const double s = plan.LatSouth * kDegToRad, n = plan.LatNorth * kDegToRad;
  const double w = plan.LonWest * kDegToRad, e = plan.LonEast * kDegToRad;
  info.Layout.Border = {{w, n}, {e, n}, {e, s}, {w, s}};
  info.Layout.BorderCount = 4;
  const double xs[2] = {std::ceil(frame.Left()), std::floor(frame.Right())};
  const double ys[2] = {std::ceil(frame.Top()), std::floor(frame.Bottom())};
  for (double y : ys)
    for (double x : xs) info.RefPoints.push_back({x, y, frame.Lon(x), frame.Lat(y)});
  info.RefCount = static_cast<int32_t>(info.RefPoints.size());
  info.Number = plan.Number;
  info.DatumName = "WGS84";
  info.Projection = kProjMercator;
  info.Width = frame.Width();
  info.Height = frame.Height();
  // Metres per pixel as the calibration tool states it: from the latitudes
  // of pixels (0, 0) and (100, 100) on a sphere of a mile per minute.
  const double d = frame.Lat(100) - frame.Lat(0);
  info.PixelSizeX = info.PixelSizeY = std::fabs(std::trunc(d * 6366707.0194937)) / 100;
  info.DepthUnits = kDepthMetres;
  info.Comments = std::string(kDemoMark) + "\r\nAn invented coast drawn by brtool demo make; no real place.";
  return info;
}

}  // namespace

std::vector<TDemoChartPlan> DemoChartPlans() {
  TDemoChartPlan overview;
  overview.FileBase = "brisvik-approaches";
  overview.Name = "Brisvik Approaches";
  overview.Number = "DEMO 1";
  overview.Scale = 50000;
  overview.LatSouth = 56 + 25.0 / 60;
  overview.LatNorth = 56 + 29.0 / 60;
  overview.LonWest = 2 + 55.0 / 60;
  overview.LonEast = 3 + 5.0 / 60;
  overview.PixelsPerLonMinute = 200;
  overview.LonStep = 0.1;
  overview.LonLabelStep = 1;
  overview.LatStep = 0.1;
  overview.LatLabelStep = 1;
  overview.LabelDecimals = 0;
  overview.SoundingSpacing = 110;
  overview.SoundingSize = 13;
  overview.RoseAt = {-3500, 2150};
  overview.RoseRadius = 150;
  overview.TitleAtTop = true;

  TDemoChartPlan harbour;
  harbour.FileBase = "brisvik-harbour";
  harbour.Name = "Brisvik Harbour";
  harbour.Number = "DEMO 2";
  harbour.Scale = 10000;
  harbour.LatSouth = 56 + 27.15 / 60;
  harbour.LatNorth = 56 + 27.75 / 60;
  harbour.LonWest = 3 + 0.70 / 60;
  harbour.LonEast = 3 + 2.10 / 60;
  harbour.PixelsPerLonMinute = 1000;
  harbour.LonStep = 0.05;
  harbour.LonLabelStep = 0.2;
  harbour.LatStep = 0.05;
  harbour.LatLabelStep = 0.1;
  harbour.LabelDecimals = 1;
  harbour.HarbourScale = true;
  harbour.SoundingSpacing = 95;
  harbour.SoundingSize = 14;
  harbour.LandNameSize = 30;
  harbour.WaterNameSize = 20;
  harbour.RoseAt = {960, 1180};
  harbour.RoseRadius = 110;
  harbour.TitleAtTop = false;
  return {overview, harbour};
}

TDemoChartFrame::TDemoChartFrame(const TDemoChartPlan& plan)
    : k_(plan.PixelsPerLonMinute * 60 / kDegToRad),
      margin_(plan.Margin),
      west_(plan.LonWest * kDegToRad),
      northM_(MercatorY(plan.LatNorth * kDegToRad)) {
  neatWidth_ = (plan.LonEast - plan.LonWest) * kDegToRad * k_;
  neatHeight_ = (northM_ - MercatorY(plan.LatSouth * kDegToRad)) * k_;
  // Room for the pixels on the far neat line (a width computed as a whole
  // number of pixels may come out a hair above it).
  width_ = static_cast<int32_t>(std::ceil(2 * margin_ + neatWidth_ - 1e-6)) + 1;
  height_ = static_cast<int32_t>(std::ceil(2 * margin_ + neatHeight_ - 1e-6)) + 1;
}

double TDemoChartFrame::PixelX(double lon) const { return margin_ + (lon - west_) * k_; }
double TDemoChartFrame::PixelY(double lat) const { return margin_ + (northM_ - MercatorY(lat)) * k_; }
double TDemoChartFrame::Lon(double x) const { return west_ + (x - margin_) / k_; }
double TDemoChartFrame::Lat(double y) const { return std::atan(std::sinh(northM_ - (y - margin_) / k_)); }

TDemoChart DrawDemoChart(const TDemoWorld& world, const TDemoChartPlan& plan, double variationYear) {
  TChartPainter painter(world, plan, variationYear);
  TDemoCanvas canvas = painter.Paint();
  RChartInfo info = Calibration(plan, painter.Frame());
  return {plan, std::move(canvas), std::move(info)};
}

bool WriteDemoChart(const TDemoChart& chart, const std::string& dir, std::string& error) {
  const std::string base = dir + "/" + chart.Plan.FileBase;
  std::string png;
  if (!EncodePNG(chart.Canvas.Image(), png, &error)) return false;
  if (!AtomicWriteFile(base + ".png", png, &error)) return false;
  TChartHeadBaseCodec codec;
  codec.WriteInfo(chart.Info);
  return codec.SaveToFile(base + ".cal", &error);
}
