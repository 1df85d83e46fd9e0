#include "DemoCanvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The stroke font. Letters are drawn on a grid 8 units wide and 12 high
// (y down, the baseline at 12; ',' reaches below it). A glyph is a list of
// strokes separated by blanks; a stroke is a run of points, each two
// characters, x then y, in base 16 ("0C" is x 0, y 12).
struct TGlyph {
  char ch;
  double advance;  // in units
  const char* strokes;
};

constexpr TGlyph kGlyphs[] = {
    {'A', 12, "0C408C 1878"},
    {'B', 12, "0C00507183755606 5677897B5C0C"},
    {'C', 12, "826020020A2C6C8A"},
    {'D', 12, "005083895C0C00"},
    {'E', 12, "80000C8C 0666"},
    {'F', 12, "80000C 0666"},
    {'G', 12, "826020020A2C6C8A8757"},
    {'H', 12, "000C 808C 0686"},
    {'I', 8, "1050 1C5C 303C"},
    {'J', 12, "808A6C2C0A"},
    {'K', 12, "000C 8007 258C"},
    {'L', 12, "000C8C"},
    {'M', 12, "0C0046808C"},
    {'N', 12, "0C008C80"},
    {'O', 12, "2060828A6C2C0A0220"},
    {'P', 12, "0C006082846606"},
    {'Q', 12, "2060828A6C2C0A0220 598C"},
    {'R', 12, "0C006082846606 468C"},
    {'S', 12, "82602002042666888A6C2C0A"},
    {'T', 12, "0080 404C"},
    {'U', 12, "000A2C6C8A80"},
    {'V', 12, "004C80"},
    {'W', 12, "002C456C80"},
    {'X', 12, "008C 800C"},
    {'Y', 12, "004680 464C"},
    {'Z', 12, "00800C8C"},
    {'0', 12, "2060828A6C2C0A0220"},
    {'1', 12, "22404C 2C6C"},
    {'2', 12, "02206082840C8C"},
    {'3', 12, "02206082846636 66888A6C2C0A"},
    {'4', 12, "6C600888"},
    {'5', 12, "80000555878A6C2C0A"},
    {'6', 12, "7030040A2C6C8A87652507"},
    {'7', 12, "00803C"},
    {'8', 12, "260402206082846626080A2C6C8A8866"},
    {'9', 12, "8567270502206082885C1C"},
    {'-', 10, "1666"},
    {'+', 10, "1666 3339"},
    {'=', 12, "1565 1969"},
    {'.', 6, "1B1C"},
    {',', 6, "2B1E"},
    {':', 6, "1415 1B1C"},
    {'\'', 5, "2013"},
    {'/', 10, "700C"},
    {'(', 8, "503225273A5C"},
    {')', 8, "103245473A1C"},
    {' ', 8, ""},
};

// The degree sign, a small ring at the top (its UTF-8 text is two bytes).
constexpr TGlyph kDegree = {'\0', 8, "204051534424131120"};

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

const TGlyph* FindGlyph(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const TGlyph& g : kGlyphs)
    if (g.ch == c) return &g;
  return nullptr;
}

// Walks the text glyph by glyph: the degree sign is the UTF-8 pair C2 B0;
// other bytes stand for themselves.
template <class F>
void ForEachGlyph(std::string_view text, F&& f) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xB0) {
      f(&kDegree);
      ++i;
      continue;
    }
    const TGlyph* g = FindGlyph(static_cast<char>(c));
    f(g ? g : FindGlyph(' '));
  }
}

}  // namespace

TDemoCanvas::TDemoCanvas(int32_t width, int32_t height, std::vector<TRgb> palette, uint8_t background) {
  image_.Allocate(TImageFormat::Indexed8, width, height, kMaxImagePixels);
  image_.Palette = std::move(palette);
  std::fill(image_.Pixels.begin(), image_.Pixels.end(), background);
}

uint8_t TDemoCanvas::Get(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= image_.Width || y >= image_.Height) return 0;
  return image_.Pixels[static_cast<size_t>(y) * image_.Stride + static_cast<size_t>(x)];
}

void TDemoCanvas::Set(int32_t x, int32_t y, uint8_t colour) {
  if (x < 0 || y < 0 || x >= image_.Width || y >= image_.Height) return;
  image_.Pixels[static_cast<size_t>(y) * image_.Stride + static_cast<size_t>(x)] = colour;
}

void TDemoCanvas::FillRect(double x1, double y1, double x2, double y2, uint8_t colour) {
  const int32_t ax = std::max<int32_t>(0, static_cast<int32_t>(std::lround(std::min(x1, x2))));
  const int32_t bx = std::min<int32_t>(Width(), static_cast<int32_t>(std::lround(std::max(x1, x2))));
  const int32_t ay = std::max<int32_t>(0, static_cast<int32_t>(std::lround(std::min(y1, y2))));
  const int32_t by = std::min<int32_t>(Height(), static_cast<int32_t>(std::lround(std::max(y1, y2))));
  for (int32_t y = ay; y < by; ++y)
    for (int32_t x = ax; x < bx; ++x) Set(x, y, colour);
}

void TDemoCanvas::FrameRect(double x1, double y1, double x2, double y2, double width, uint8_t colour) {
  Line(x1, y1, x2, y1, width, colour);
  Line(x2, y1, x2, y2, width, colour);
  Line(x2, y2, x1, y2, width, colour);
  Line(x1, y2, x1, y1, width, colour);
}

void TDemoCanvas::Line(double x1, double y1, double x2, double y2, double width, uint8_t colour) {
  // Every pixel whose centre lies within half the width of the segment. At
  // least half a pixel, so that some pixel centre of every column or row
  // the line crosses is taken and the line never breaks up.
  const double r = std::max(0.5, width / 2);
  const int32_t ax = static_cast<int32_t>(std::floor(std::min(x1, x2) - r - 1));
  const int32_t bx = static_cast<int32_t>(std::ceil(std::max(x1, x2) + r + 1));
  const int32_t ay = static_cast<int32_t>(std::floor(std::min(y1, y2) - r - 1));
  const int32_t by = static_cast<int32_t>(std::ceil(std::max(y1, y2) + r + 1));
  const double dx = x2 - x1, dy = y2 - y1;
  const double len2 = dx * dx + dy * dy;
  for (int32_t y = std::max<int32_t>(ay, 0); y <= std::min<int32_t>(by, Height() - 1); ++y) {
    for (int32_t x = std::max<int32_t>(ax, 0); x <= std::min<int32_t>(bx, Width() - 1); ++x) {
      const double px = x + 0.5 - x1, py = y + 0.5 - y1;
      double t = len2 > 0 ? (px * dx + py * dy) / len2 : 0;
      t = std::clamp(t, 0.0, 1.0);
      const double ex = px - t * dx, ey = py - t * dy;
      if (ex * ex + ey * ey <= r * r) Set(x, y, colour);
    }
  }
}

void TDemoCanvas::DashedLine(double x1, double y1, double x2, double y2, double width, double dash, double gap,
                             uint8_t colour) {
  const double len = std::hypot(x2 - x1, y2 - y1);
  if (!(len > 0) || !(dash > 0) || gap < 0) return;
  const double ux = (x2 - x1) / len, uy = (y2 - y1) / len;
  for (double a = 0; a < len; a += dash + gap) {
    const double b = std::min(len, a + dash);
    Line(x1 + ux * a, y1 + uy * a, x1 + ux * b, y1 + uy * b, width, colour);
  }
}

void TDemoCanvas::Disc(double cx, double cy, double radius, uint8_t colour) {
  const int32_t ax = static_cast<int32_t>(std::floor(cx - radius - 1));
  const int32_t bx = static_cast<int32_t>(std::ceil(cx + radius + 1));
  const int32_t ay = static_cast<int32_t>(std::floor(cy - radius - 1));
  const int32_t by = static_cast<int32_t>(std::ceil(cy + radius + 1));
  for (int32_t y = ay; y <= by; ++y)
    for (int32_t x = ax; x <= bx; ++x) {
      const double px = x + 0.5 - cx, py = y + 0.5 - cy;
      if (px * px + py * py <= radius * radius) Set(x, y, colour);
    }
}

void TDemoCanvas::FillPolygon(const std::vector<std::pair<double, double>>& points, uint8_t colour) {
  if (points.size() < 3) return;
  double top = points[0].second, bottom = top;
  for (const auto& p : points) {
    top = std::min(top, p.second);
    bottom = std::max(bottom, p.second);
  }
  const int32_t y1 = std::max<int32_t>(0, static_cast<int32_t>(std::floor(top)));
  const int32_t y2 = std::min<int32_t>(Height() - 1, static_cast<int32_t>(std::ceil(bottom)));
  std::vector<double> xs;
  for (int32_t y = y1; y <= y2; ++y) {
    const double cy = y + 0.5;
    xs.clear();
    for (size_t i = 0; i < points.size(); ++i) {
      const auto& a = points[i];
      const auto& b = points[(i + 1) % points.size()];
      if ((a.second <= cy) == (b.second <= cy)) continue;
      xs.push_back(a.first + (cy - a.second) * (b.first - a.first) / (b.second - a.second));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t i = 0; i + 1 < xs.size(); i += 2) {
      const int32_t x1 = static_cast<int32_t>(std::ceil(xs[i] - 0.5));
      const int32_t x2 = static_cast<int32_t>(std::floor(xs[i + 1] - 0.5));
      for (int32_t x = std::max<int32_t>(0, x1); x <= std::min<int32_t>(Width() - 1, x2); ++x) Set(x, y, colour);
    }
  }
}

void TDemoCanvas::Circle(double cx, double cy, double radius, double width, uint8_t colour) {
  const int steps = std::max(24, static_cast<int>(radius * 0.8));
  for (int i = 0; i < steps; ++i) {
    const double a = 2 * std::numbers::pi * i / steps, b = 2 * std::numbers::pi * (i + 1) / steps;
    Line(cx + radius * std::sin(a), cy - radius * std::cos(a), cx + radius * std::sin(b), cy - radius * std::cos(b),
         width, colour);
  }
}

double TDemoCanvas::TextWidth(std::string_view text, double size) {
  const double unit = size / 12;
  double w = 0;
  ForEachGlyph(text, [&](const TGlyph* g) { w += g->advance * unit; });
  // The last letter's spacing is not part of the text.
  return w > 0 ? w - 4 * unit : 0;
}

void TDemoCanvas::Text(double x, double y, std::string_view text, double size, uint8_t colour, double angle,
                       double weight) {
  const double unit = size / 12;
  const double width = weight > 0 ? weight : std::max(1.0, size / 9);
  const double c = std::cos(angle), s = std::sin(angle);
  double pen = 0;
  ForEachGlyph(text, [&](const TGlyph* g) {
    // Glyph units to pixels: right along the baseline, up against it.
    auto at = [&](int gx, int gy, double& ox, double& oy) {
      const double u = (pen + gx) * unit, v = (12 - gy) * unit;
      ox = x + u * c - v * s;
      oy = y - u * s - v * c;
    };
    const std::string_view strokes = g->strokes;
    size_t i = 0;
    while (i < strokes.size()) {
      size_t end = strokes.find(' ', i);
      if (end == std::string_view::npos) end = strokes.size();
      double px = 0, py = 0;
      for (size_t k = i; k + 1 < end; k += 2) {
        double qx, qy;
        at(Hex(strokes[k]), Hex(strokes[k + 1]), qx, qy);
        if (k == i && end - i == 2) Line(qx, qy, qx, qy, width, colour);
        if (k > i) Line(px, py, qx, qy, width, colour);
        px = qx;
        py = qy;
      }
      i = end + 1;
    }
    pen += g->advance;
  });
}

void TDemoCanvas::TextCentred(double x, double y, std::string_view text, double size, uint8_t colour,
                              double weight) {
  Text(x - TextWidth(text, size) / 2, y + size / 2, text, size, colour, 0, weight);
}
