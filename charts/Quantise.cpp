#include "charts/Quantise.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kCells = 1 << 18;

struct TCell {
  uint32_t Count = 0;
  uint8_t Min[3] = {255, 255, 255};
  uint8_t Max[3] = {0, 0, 0};
  uint64_t Sum[3] = {0, 0, 0};
  uint64_t SumSq[3] = {0, 0, 0};
};

uint8_t Channel(TRgb c, int ch) { return static_cast<uint8_t>(c >> (16 - 8 * ch)); }

const TRgb* RowOf(const TChartImage& im, int32_t y) {
  return reinterpret_cast<const TRgb*>(im.Pixels.data() + static_cast<size_t>(y) * im.Stride);
}

// Cell coordinate of channel `axis` (0 red, 1 green, 2 blue).
int Coord(uint32_t cell, int axis) { return static_cast<int>((cell >> (12 - 6 * axis)) & 0x3F); }

struct TBox {
  size_t Begin = 0, End = 0;  // range of the occupied-cell list
  uint64_t Pixels = 0;
  int Axis = 0;
  int Side = 0;  // longest side, in cells
};

void Measure(TBox& b, const std::vector<uint32_t>& cells, const std::vector<TCell>& hist) {
  int lo[3] = {63, 63, 63}, hi[3] = {0, 0, 0};
  b.Pixels = 0;
  for (size_t i = b.Begin; i < b.End; ++i) {
    b.Pixels += hist[cells[i]].Count;
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], Coord(cells[i], a));
      hi[a] = std::max(hi[a], Coord(cells[i], a));
    }
  }
  b.Axis = 0;
  b.Side = 0;
  for (int a = 0; a < 3; ++a)
    if (hi[a] - lo[a] > b.Side) {
      b.Side = hi[a] - lo[a];
      b.Axis = a;
    }
}

}  // namespace

bool TColourQuantiser::Build(const TChartImage& image, int maxColours) {
  if (image.Format == TImageFormat::Indexed8 && !image.Empty() && image.Width > 0 && image.Height > 0 &&
      maxColours >= 2 && maxColours <= 256) {
    palette_ = image.Palette;
    exactMap_.clear();
    cellIndex_.clear();
    haveLast_ = false;
    stats_ = {};
    if (palette_.empty()) palette_.push_back(MakeRgb(0, 0, 0));
    stats_.SourceColours = stats_.PaletteColours = static_cast<int>(palette_.size());
    stats_.Exact = exact_ = true;
    return true;
  }
  if (image.Format != TImageFormat::Rgb32) {
    *this = TColourQuantiser();
    return false;
  }
  TImageRgbRows rows(image);
  return Build(rows, maxColours);
}

void TColourQuantiser::SetExact(std::vector<TRgb> colours) {
  palette_ = std::move(colours);
  for (size_t i = 0; i < palette_.size(); ++i) exactMap_.emplace_back(palette_[i], static_cast<uint8_t>(i));
  std::sort(exactMap_.begin(), exactMap_.end());
  stats_.SourceColours = stats_.PaletteColours = static_cast<int>(palette_.size());
  stats_.Exact = exact_ = true;
}

bool TColourQuantiser::Build(TRgbRows& rows, int maxColours) {
  palette_.clear();
  exactMap_.clear();
  cellIndex_.clear();
  stats_ = {};
  haveLast_ = false;
  exact_ = false;
  const int32_t w = rows.Width(), h = rows.Height();
  if (w <= 0 || h <= 0 || maxColours < 2 || maxColours > 256) return false;

  // One pass: the exact colours as long as there are few enough, and the
  // histogram.
  std::vector<TRgb> distinct, sorted;
  bool few = true;
  std::vector<TCell> hist(kCells);
  std::vector<TRgb> row(static_cast<size_t>(w));
  for (int32_t y = 0; y < h; ++y) {
    if (!rows.ReadRow(y, row.data())) return false;
    TRgb last = 0;
    bool have = false;
    for (int32_t x = 0; x < w; ++x) {
      const TRgb c = row[x] | 0xFF000000u;
      TCell& cell = hist[Cell(c)];
      ++cell.Count;
      for (int ch = 0; ch < 3; ++ch) {
        const uint8_t v = Channel(c, ch);
        cell.Sum[ch] += v;
        cell.SumSq[ch] += uint32_t(v) * v;
        cell.Min[ch] = std::min(cell.Min[ch], v);
        cell.Max[ch] = std::max(cell.Max[ch], v);
      }
      if (!few || (have && c == last)) continue;
      have = true;
      last = c;
      const auto at = std::lower_bound(sorted.begin(), sorted.end(), c);
      if (at == sorted.end() || *at != c) {
        sorted.insert(at, c);
        distinct.push_back(c);
        few = distinct.size() <= static_cast<size_t>(maxColours);
      }
    }
  }
  if (few) {
    SetExact(std::move(distinct));
    return true;
  }
  stats_.SourceColours = maxColours + 1;

  // Median cut over the histogram.
  std::vector<uint32_t> cells;
  for (uint32_t i = 0; i < kCells; ++i)
    if (hist[i].Count) cells.push_back(i);
  std::vector<TBox> boxes(1);
  boxes[0].End = cells.size();
  Measure(boxes[0], cells, hist);
  while (boxes.size() < static_cast<size_t>(maxColours)) {
    // The box with the largest pixels x side squared that can be split.
    int best = -1;
    double bestScore = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].End - boxes[i].Begin < 2 || boxes[i].Side == 0) continue;
      const double score = double(boxes[i].Pixels) * boxes[i].Side * boxes[i].Side;
      if (score > bestScore) {
        bestScore = score;
        best = static_cast<int>(i);
      }
    }
    if (best < 0) break;
    TBox box = boxes[static_cast<size_t>(best)];
    const int axis = box.Axis;
    std::sort(cells.begin() + static_cast<ptrdiff_t>(box.Begin), cells.begin() + static_cast<ptrdiff_t>(box.End),
              [axis](uint32_t a, uint32_t b) { return Coord(a, axis) < Coord(b, axis); });
    // The pixel median, kept inside the box so that both halves hold cells.
    uint64_t acc = 0;
    size_t split = box.Begin + 1;
    for (size_t i = box.Begin; i + 1 < box.End; ++i) {
      acc += hist[cells[i]].Count;
      split = i + 1;
      if (acc * 2 >= box.Pixels) break;
    }
    // Cells of one coordinate stay together where possible.
    while (split < box.End && split > box.Begin + 1 && Coord(cells[split], axis) == Coord(cells[split - 1], axis))
      ++split;
    if (split >= box.End) {
      split = box.End - 1;
      while (split > box.Begin + 1 && Coord(cells[split], axis) == Coord(cells[split - 1], axis)) --split;
    }
    TBox a = box, b = box;
    a.End = split;
    b.Begin = split;
    Measure(a, cells, hist);
    Measure(b, cells, hist);
    boxes[static_cast<size_t>(best)] = a;
    boxes.push_back(b);
  }
  for (const TBox& b : boxes) {
    uint64_t sum[3] = {0, 0, 0}, n = 0;
    for (size_t i = b.Begin; i < b.End; ++i) {
      const TCell& c = hist[cells[i]];
      for (int ch = 0; ch < 3; ++ch) sum[ch] += c.Sum[ch];
      n += c.Count;
    }
    if (n == 0) continue;
    palette_.push_back(MakeRgb(static_cast<uint8_t>((sum[0] + n / 2) / n), static_cast<uint8_t>((sum[1] + n / 2) / n),
                               static_cast<uint8_t>((sum[2] + n / 2) / n)));
  }
  // Each occupied cell maps to the palette colour nearest its mean; its
  // pixels' error follows from the cell's sums.
  cellIndex_.assign(kCells, 0);
  double sse = 0;
  int worst = 0;
  for (uint32_t cell : cells) {
    const TCell& c = hist[cell];
    const uint64_t n = c.Count;
    const TRgb mean = MakeRgb(static_cast<uint8_t>((c.Sum[0] + n / 2) / n), static_cast<uint8_t>((c.Sum[1] + n / 2) / n),
                              static_cast<uint8_t>((c.Sum[2] + n / 2) / n));
    const uint8_t index = Nearest(mean);
    cellIndex_[cell] = static_cast<uint16_t>(index + 1);
    const TRgb p = palette_[index];
    for (int ch = 0; ch < 3; ++ch) {
      const double v = Channel(p, ch);
      sse += double(c.SumSq[ch]) - 2 * v * double(c.Sum[ch]) + v * v * double(n);
      worst = std::max({worst, std::abs(int(c.Min[ch]) - int(v)), std::abs(int(c.Max[ch]) - int(v))});
    }
  }
  stats_.PaletteColours = static_cast<int>(palette_.size());
  stats_.RmsError = std::sqrt(std::max(0.0, sse) / (3.0 * double(w) * double(h)));
  stats_.MaxError = worst;
  return true;
}

uint8_t TColourQuantiser::Nearest(TRgb c) const {
  int best = 0;
  int bestDist = INT32_MAX;
  for (size_t i = 0; i < palette_.size(); ++i) {
    const TRgb p = palette_[i];
    const int dr = int(RgbRed(c)) - RgbRed(p), dg = int(RgbGreen(c)) - RgbGreen(p), db = int(RgbBlue(c)) - RgbBlue(p);
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDist) {
      bestDist = d;
      best = static_cast<int>(i);
    }
  }
  return static_cast<uint8_t>(best);
}

uint8_t TColourQuantiser::IndexOf(TRgb colour) {
  colour |= 0xFF000000u;
  if (haveLast_ && colour == lastColour_) return lastIndex_;
  uint8_t index = 0;
  if (exact_) {
    auto it = std::lower_bound(exactMap_.begin(), exactMap_.end(), std::make_pair(colour, uint8_t(0)));
    index = it != exactMap_.end() && it->first == colour ? it->second : Nearest(colour);
  } else if (!cellIndex_.empty()) {
    uint16_t& slot = cellIndex_[Cell(colour)];
    if (slot == 0) slot = static_cast<uint16_t>(Nearest(colour) + 1);
    index = static_cast<uint8_t>(slot - 1);
  }
  haveLast_ = true;
  lastColour_ = colour;
  lastIndex_ = index;
  return index;
}

void TColourQuantiser::MapRow(const TRgb* src, int32_t width, uint8_t* dst) {
  for (int32_t x = 0; x < width; ++x) dst[x] = IndexOf(src[x]);
}

int TChartImageRows::ColourCount() const {
  if (image_.Format == TImageFormat::Indexed8) return std::max<int>(1, static_cast<int>(image_.Palette.size()));
  return q_ ? static_cast<int>(q_->Palette().size()) : 0;
}

TRgb TChartImageRows::Colour(int index) const {
  if (image_.Format == TImageFormat::Indexed8)
    return static_cast<size_t>(index) < image_.Palette.size() ? image_.Palette[static_cast<size_t>(index)]
                                                              : MakeRgb(0, 0, 0);
  return q_->Palette()[static_cast<size_t>(index)];
}

bool TChartImageRows::ReadRow(int32_t y, uint8_t* dst) {
  if (y < 0 || y >= image_.Height) return false;
  const uint8_t* row = image_.Pixels.data() + static_cast<size_t>(y) * image_.Stride;
  if (image_.Format == TImageFormat::Indexed8) {
    std::copy_n(row, image_.Width, dst);
    return true;
  }
  if (!q_) return false;
  q_->MapRow(reinterpret_cast<const TRgb*>(row), image_.Width, dst);
  return true;
}

bool TImageRgbRows::ReadRow(int32_t y, TRgb* dst) {
  if (y < 0 || y >= image_.Height || image_.Format != TImageFormat::Rgb32) return false;
  std::copy_n(RowOf(image_, y), image_.Width, dst);
  return true;
}

bool TQuantisedRows::ReadRow(int32_t y, uint8_t* dst) {
  row_.resize(static_cast<size_t>(rows_.Width()));
  if (!rows_.ReadRow(y, row_.data())) return false;
  q_.MapRow(row_.data(), rows_.Width(), dst);
  return true;
}
