#include "charts/BMPager.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

#include "platform/SystemInfo.h"

namespace {

// Pixel positions are compared with chart pixel edges after a division by
// the zoom; this keeps 3 / (1 / 3.0) on the right side of 9.
constexpr double kEdgeEps = 1e-7;

// Rows converted and handed to the canvas at a time when printing.
constexpr int32_t kPrintChunkRows = 64;

class TBusyGuard {
 public:
  explicit TBusyGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~TBusyGuard() { flag_ = false; }
  TBusyGuard(const TBusyGuard&) = delete;
  TBusyGuard& operator=(const TBusyGuard&) = delete;

 private:
  bool& flag_;
};

TCanvasRect Intersect(const TCanvasRect& a, const TCanvasRect& b) {
  TCanvasRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) return {};
  return r;
}

bool Contains(const TCanvasRect& outer, const TCanvasRect& inner) {
  return !outer.IsEmpty() && inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
         inner.Bottom <= outer.Bottom;
}

TCanvasRect Bounds(const TCanvasRect& a, const TCanvasRect& b) {
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
          std::max(a.Bottom, b.Bottom)};
}

// a + round(n * num / den) for non-negative n, num and positive den.
int32_t Scaled(int32_t a, int64_t n, int64_t num, int64_t den) {
  return static_cast<int32_t>(a + (2 * n * num + den) / (2 * den));
}

int32_t Clamp32(int64_t v, int32_t lo, int32_t hi) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, lo, hi));
}

}  // namespace

// How chart pixels map to pixels of the zoomed chart (the canvas).
struct TBitmapPager::TMapping {
  double Zoom = 1;
  int32_t Step = 1;
  bool MinFilter = false;
  int32_t W = 0;
  int32_t H = 0;
  int32_t PlaneW = 0;
  int32_t PlaneH = 0;

  TMapping(double zoom, int32_t step, bool minFilter, int32_t w, int32_t h)
      : Zoom(zoom), Step(step), MinFilter(minFilter), W(w), H(h) {
    const double pw = std::ceil(w * zoom - kEdgeEps);
    const double ph = std::ceil(h * zoom - kEdgeEps);
    PlaneW = static_cast<int32_t>(std::clamp(pw, 1.0, double{std::numeric_limits<int32_t>::max()}));
    PlaneH = static_cast<int32_t>(std::clamp(ph, 1.0, double{std::numeric_limits<int32_t>::max()}));
  }
  int64_t Floor(int64_t x) const { return static_cast<int64_t>(std::floor(static_cast<double>(x) / Zoom + kEdgeEps)); }
  // The first chart column of canvas column x, and the column after the
  // last one that collapses into it.
  int32_t ColA(int32_t x) const { return Clamp32(Floor(x), 0, W - 1); }
  int32_t ColB(int32_t x) const { return Clamp32(Floor(int64_t{x} + 1), ColA(x) + 1, W); }
  int32_t RowA(int32_t y) const { return Clamp32(Floor(y), 0, H - 1); }
  int32_t RowB(int32_t y) const { return Clamp32(Floor(int64_t{y} + 1), RowA(y) + 1, H); }
  // Decoded rows are the multiples of Step. The first and last of them that
  // canvas row y shows.
  int32_t GridFirst(int32_t y) const {
    const int32_t a = RowA(y);
    if (!MinFilter) return a / Step * Step;
    const int32_t g = (a + Step - 1) / Step * Step;
    return g < RowB(y) ? g : a / Step * Step;
  }
  int32_t GridLast(int32_t y) const {
    if (!MinFilter) return GridFirst(y);
    return std::max(GridFirst(y), (RowB(y) - 1) / Step * Step);
  }
};

int64_t TBitmapPager::DefaultMemoryBudget() {
  constexpr int64_t kCap = 24 * 1024 * 1024;
  const uint64_t total = TotalPhysicalMemory();
  if (total == 0) return kCap;
  return static_cast<int64_t>(std::min<uint64_t>(total / 8, kCap));
}

int64_t TBitmapPager::DefaultWholeImageLimit() { return std::min<int64_t>(DefaultMemoryBudget(), 12 * 1024 * 1024); }

TBitmapPager::TBitmapPager() : TBitmapPager(nullptr) {}

TBitmapPager::TBitmapPager(ICanvas* canvas)
    : MemoryBudget(DefaultMemoryBudget()), WholeImageLimit(DefaultWholeImageLimit()), canvas_(canvas) {
  Colours.fill(0xFF000000u);
}

TBitmapPager::~TBitmapPager() = default;

int32_t TBitmapPager::RowStep(double zoom) {
  if (!(zoom > 0) || !std::isfinite(zoom)) return 0;
  const double s = std::trunc(1.0 / zoom + 1e-6);
  if (s < 2) return 1;
  return s > 1e9 ? 1000000000 : static_cast<int32_t>(s);
}

void TBitmapPager::SetDestRect(TCanvasPoint origin, TCanvasPoint size) {
  dest_ = {origin.X, origin.Y, Clamp32(int64_t{origin.X} + std::max(size.X, 0), INT32_MIN, INT32_MAX),
           Clamp32(int64_t{origin.Y} + std::max(size.Y, 0), INT32_MIN, INT32_MAX)};
}

bool TBitmapPager::Stop() {
  Active = false;
  return !busy_;
}

void TBitmapPager::ClearCache() {
  whole_.clear();
  whole_.shrink_to_fit();
  wholeValid_ = false;
  wholeDecoder_ = nullptr;
  cache_.clear();
  cache_.shrink_to_fit();
  bufW_ = bufH_ = 0;
  region_ = {};
  keyValid_ = false;
  scratch_.clear();
  scratch_.shrink_to_fit();
  strip32_.clear();
  strip32_.shrink_to_fit();
}

void TBitmapPager::SetImageSize(int32_t width, int32_t height) {
  ClearCache();
  imageWidth_ = std::max(width, 0);
  imageHeight_ = std::max(height, 0);
  const int64_t pixels = int64_t{imageWidth_} * imageHeight_;
  if (!Decoder || pixels <= 0 || pixels >= WholeImageLimit) return;
  whole_.resize(static_cast<size_t>(pixels));
  ++stats_.DecodeCalls;
  stats_.DecodedLines += imageHeight_;
  stats_.DecodedPixels += pixels;
  if (Decoder->DecodeLines(0, 0, imageWidth_, imageHeight_, 1, whole_.data(), static_cast<size_t>(imageWidth_)) > 0) {
    wholeValid_ = true;
    wholeDecoder_ = Decoder;
  } else {
    whole_.clear();
    whole_.shrink_to_fit();
  }
}

bool TBitmapPager::Decode(int32_t x0, int32_t y0, int32_t w, int32_t lines, int32_t step, TLines& out) {
  if (wholeValid_) {
    out.Base = whole_.data() + static_cast<size_t>(y0) * imageWidth_ + x0;
    out.Stride = static_cast<size_t>(step) * imageWidth_;
    return true;
  }
  const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(lines);
  if (scratch_.size() < bytes) scratch_.resize(bytes);
  ++stats_.DecodeCalls;
  stats_.DecodedLines += lines;
  stats_.DecodedPixels += static_cast<int64_t>(bytes);
  if (Decoder->DecodeLines(x0, y0, w, lines, step, scratch_.data(), static_cast<size_t>(w)) != lines) return false;
  out.Base = scratch_.data();
  out.Stride = static_cast<size_t>(w);
  return true;
}

void TBitmapPager::PrepareColours(const TCacheKey& key) {
  for (int i = 0; i < 256; ++i) pixelOf_[i] = key.Colours[i] | 0xFF000000u;
  TColourTable plain;
  if (!Decoder || !Decoder->PlainColours(plain)) plain = key.Colours;
  std::array<uint32_t, 256> luma;
  for (int i = 0; i < 256; ++i) {
    const uint32_t c = plain[i];
    luma[i] = 299 * ((c >> 16) & 0xFF) + 587 * ((c >> 8) & 0xFF) + 114 * (c & 0xFF);
  }
  std::array<uint8_t, 256> order;
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](uint8_t a, uint8_t b) { return luma[a] < luma[b]; });
  for (int r = 0; r < 256; ++r) {
    rankOf_[order[r]] = static_cast<uint8_t>(r);
    pixelOfRank_[r] = pixelOf_[order[r]];
  }
}

int32_t TBitmapPager::CacheX(int32_t x) const {
  const int64_t d = (int64_t{x} - originX_) % bufW_;
  return static_cast<int32_t>(d < 0 ? d + bufW_ : d);
}

int32_t TBitmapPager::CacheY(int32_t y) const {
  const int64_t d = (int64_t{y} - originY_) % bufH_;
  return static_cast<int32_t>(d < 0 ? d + bufH_ : d);
}

// Fills the canvas rectangle r (which does not cross the ring buffer's
// seams) of the cache.
bool TBitmapPager::FillPiece(const TMapping& m, const TCanvasRect& r) {
  const int32_t pw = r.Width();
  const int32_t ph = r.Height();
  if (pw <= 0 || ph <= 0) return true;
  if (colA_.size() < static_cast<size_t>(pw)) {
    colA_.resize(pw);
    colB_.resize(pw);
  }
  const int32_t x0 = m.ColA(r.Left);
  const int32_t x1 = m.MinFilter ? m.ColB(r.Right - 1) : m.ColA(r.Right - 1) + 1;
  const int32_t w = x1 - x0;
  for (int32_t i = 0; i < pw; ++i) {
    colA_[i] = m.ColA(r.Left + i) - x0;
    if (m.MinFilter) colB_[i] = m.ColB(r.Left + i) - x0;
  }
  if (m.MinFilter && minLine_.size() < static_cast<size_t>(w)) minLine_.resize(w);

  // Strips of canvas rows whose decoded windows stay within the budget.
  const int32_t s = m.Step;
  const int64_t totalLines = (m.GridLast(r.Bottom - 1) - m.GridFirst(r.Top)) / s + 1;
  int64_t strips = 1;
  if (MemoryBudget > 0 && totalLines * w > MemoryBudget) strips = totalLines * w / MemoryBudget + 1;
  strips = std::min<int64_t>(strips, ph);
  const int32_t rowsPerStrip = static_cast<int32_t>(ph / strips);

  for (int64_t strip = 0; strip < strips; ++strip) {
    const int32_t yA = r.Top + static_cast<int32_t>(strip) * rowsPerStrip;
    const int32_t yB = strip == strips - 1 ? r.Bottom : yA + rowsPerStrip;
    const int32_t gA = m.GridFirst(yA);
    const int32_t lines = (m.GridLast(yB - 1) - gA) / s + 1;
    TLines src;
    if (!Decode(x0, gA, w, lines, s, src)) return false;

    const uint32_t* prevRow = nullptr;
    int32_t prevGrid = -1;
    for (int32_t y = yA; y < yB; ++y) {
      uint32_t* out = cache_.data() + static_cast<size_t>(CacheY(y)) * bufW_ + CacheX(r.Left);
      const int32_t g = m.GridFirst(y);
      if (!m.MinFilter) {
        if (g == prevGrid) {
          // Zoomed in: the same chart row again.
          std::memcpy(out, prevRow, static_cast<size_t>(pw) * 4);
        } else {
          const uint8_t* line = src.Base + static_cast<size_t>((g - gA) / s) * src.Stride;
          const int32_t* col = colA_.data();
          for (int32_t i = 0; i < pw; ++i) out[i] = pixelOf_[line[col[i]]];
        }
        prevRow = out;
        prevGrid = g;
        continue;
      }
      // Black on white: the darkest of the chart pixels under each canvas
      // pixel, by the darkness rank of their colours.
      const uint8_t* first = src.Base + static_cast<size_t>((g - gA) / s) * src.Stride;
      if (g + s > m.GridLast(y)) {
        // One decoded row under this canvas row (the usual case, as the row
        // step follows the zoom): rank its pixels as they are read.
        for (int32_t i = 0; i < pw; ++i) {
          uint8_t best = rankOf_[first[colA_[i]]];
          for (int32_t c = colA_[i] + 1; c < colB_[i]; ++c) best = std::min(best, rankOf_[first[c]]);
          out[i] = pixelOfRank_[best];
        }
        continue;
      }
      uint8_t* rank = minLine_.data();
      for (int32_t j = 0; j < w; ++j) rank[j] = rankOf_[first[j]];
      for (int32_t gg = g + s; gg <= m.GridLast(y); gg += s) {
        const uint8_t* line = src.Base + static_cast<size_t>((gg - gA) / s) * src.Stride;
        for (int32_t j = 0; j < w; ++j) rank[j] = std::min(rank[j], rankOf_[line[j]]);
      }
      for (int32_t i = 0; i < pw; ++i) {
        uint8_t best = rank[colA_[i]];
        for (int32_t c = colA_[i] + 1; c < colB_[i]; ++c) best = std::min(best, rank[c]);
        out[i] = pixelOfRank_[best];
      }
    }
  }
  return true;
}

bool TBitmapPager::FillRegion(const TMapping& m, const TCanvasRect& r) {
  if (r.IsEmpty()) return true;
  // Cut at the seams of the ring buffer.
  const int32_t cx = CacheX(r.Left);
  const int32_t cy = CacheY(r.Top);
  const int32_t splitX = cx + r.Width() > bufW_ ? r.Left + (bufW_ - cx) : r.Right;
  const int32_t splitY = cy + r.Height() > bufH_ ? r.Top + (bufH_ - cy) : r.Bottom;
  return FillPiece(m, {r.Left, r.Top, splitX, splitY}) && FillPiece(m, {splitX, r.Top, r.Right, splitY}) &&
         FillPiece(m, {r.Left, splitY, splitX, r.Bottom}) && FillPiece(m, {splitX, splitY, r.Right, r.Bottom});
}

void TBitmapPager::Blit(const TCanvasRect& view) {
  const int32_t cx = CacheX(view.Left);
  const int32_t cy = CacheY(view.Top);
  const int32_t splitX = cx + view.Width() > bufW_ ? view.Left + (bufW_ - cx) : view.Right;
  const int32_t splitY = cy + view.Height() > bufH_ ? view.Top + (bufH_ - cy) : view.Bottom;
  const TImageView image{cache_.data(), bufW_, bufH_, bufW_};
  const TCanvasRect pieces[4] = {{view.Left, view.Top, splitX, splitY},
                                 {splitX, view.Top, view.Right, splitY},
                                 {view.Left, splitY, splitX, view.Bottom},
                                 {splitX, splitY, view.Right, view.Bottom}};
  for (const TCanvasRect& p : pieces) {
    if (p.IsEmpty()) continue;
    const int32_t sx = CacheX(p.Left);
    const int32_t sy = CacheY(p.Top);
    canvas_->DrawImage(p, image, {sx, sy, sx + p.Width(), sy + p.Height()});
  }
}

void TBitmapPager::Draw() {
  if (busy_ || !Active || !canvas_ || !Decoder) return;
  TBusyGuard guard(busy_);
  ++stats_.Draws;
  int32_t step = RowStep(Zoom);
  if (step == 0 || imageWidth_ <= 0 || imageHeight_ <= 0) return;
  if (MaxZoomOutRes > 0) step = std::min(step, MaxZoomOutRes);
  if (wholeValid_ && wholeDecoder_ != Decoder) {
    // Another chart was bound without a new size: the whole image is stale.
    whole_.clear();
    whole_.shrink_to_fit();
    wholeValid_ = false;
  }
  const bool minFilter = StretchMode == kStretchBlackOnWhite && Zoom < 1;
  const TMapping m(Zoom, step, minFilter, imageWidth_, imageHeight_);
  const TCanvasRect view = Intersect(dest_, {0, 0, m.PlaneW, m.PlaneH});
  if (view.IsEmpty()) return;

  const TCacheKey key{Decoder, Zoom, step, minFilter, imageWidth_, imageHeight_, Colours};
  if (!keyValid_ || !(key == key_)) {
    key_ = key;
    keyValid_ = true;
    PrepareColours(key_);
    region_ = {};
  }
  const int32_t bw = static_cast<int32_t>(std::min<int64_t>(int64_t{view.Width()} + 2 * kMargin, m.PlaneW));
  const int32_t bh = static_cast<int32_t>(std::min<int64_t>(int64_t{view.Height()} + 2 * kMargin, m.PlaneH));
  if (bw != bufW_ || bh != bufH_) {
    cache_.assign(static_cast<size_t>(bw) * static_cast<size_t>(bh), 0xFF000000u);
    bufW_ = bw;
    bufH_ = bh;
    region_ = {};
  }

  if (!Contains(region_, view)) {
    // What the cache will hold: the view, plus whatever it already held next
    // to it, up to the margin around the view.
    const TCanvasRect window =
        Intersect({Clamp32(int64_t{view.Left} - kMargin, 0, m.PlaneW), Clamp32(int64_t{view.Top} - kMargin, 0, m.PlaneH),
                   Clamp32(int64_t{view.Right} + kMargin, 0, m.PlaneW), Clamp32(int64_t{view.Bottom} + kMargin, 0, m.PlaneH)},
                  {0, 0, m.PlaneW, m.PlaneH});
    TCanvasRect next = view;
    TCanvasRect kept;
    if (!Intersect(region_, view).IsEmpty()) {
      next = Intersect(Bounds(region_, view), window);
      kept = Intersect(region_, next);
    } else {
      originX_ = view.Left - (bw - view.Width()) / 2;
      originY_ = view.Top - (bh - view.Height()) / 2;
    }
    // Decode what is new: next minus kept, as bands above and below kept
    // and pieces left and right of it.
    bool ok;
    if (kept.IsEmpty()) {
      ok = FillRegion(m, next);
    } else {
      ok = FillRegion(m, {next.Left, next.Top, next.Right, kept.Top}) &&
           FillRegion(m, {next.Left, kept.Bottom, next.Right, next.Bottom}) &&
           FillRegion(m, {next.Left, kept.Top, kept.Left, kept.Bottom}) &&
           FillRegion(m, {kept.Right, kept.Top, next.Right, kept.Bottom});
    }
    if (!ok) {
      // Nothing could be decoded: the canvas keeps what it showed.
      region_ = {};
      return;
    }
    region_ = next;
  }
  Blit(view);
}

bool TBitmapPager::DrawTo(ICanvas& canvas, const TCanvasRect& source, const TCanvasRect& dest) {
  if (busy_ || !Active || !Decoder || imageWidth_ <= 0 || imageHeight_ <= 0) return false;
  if (source.IsEmpty() || dest.IsEmpty()) return false;
  TBusyGuard guard(busy_);
  if (wholeValid_ && wholeDecoder_ != Decoder) {
    whole_.clear();
    wholeValid_ = false;
  }
  // Clip the source to the chart and the destination with it.
  const TCanvasRect src = Intersect(source, {0, 0, imageWidth_, imageHeight_});
  if (src.IsEmpty()) return false;
  const int64_t sw = source.Width(), sh = source.Height();
  const int64_t dw = dest.Width(), dh = dest.Height();
  const int32_t dLeft = Scaled(dest.Left, src.Left - source.Left, dw, sw);
  const int32_t dRight = Scaled(dest.Left, src.Right - source.Left, dw, sw);
  if (dRight <= dLeft) return false;
  auto destRow = [&](int64_t row) { return Scaled(dest.Top, row - source.Top, dh, sh); };

  std::array<uint32_t, 256> lut;
  for (int i = 0; i < 256; ++i) lut[i] = Colours[i] | 0xFF000000u;

  const int32_t w = src.Width();
  const int32_t h = src.Height();
  int64_t strips = 1;
  if (MemoryBudget > 0 && int64_t{w} * h > MemoryBudget) strips = int64_t{w} * h / MemoryBudget + 1;
  strips = std::min<int64_t>(strips, h);
  const int32_t t = static_cast<int32_t>(h / strips);
  bool drew = false;
  for (int64_t i = 0; i < strips; ++i) {
    const int32_t top = src.Top + static_cast<int32_t>(i) * t;
    const int32_t rows = i == strips - 1 ? src.Bottom - top : t;
    TLines lines;
    if (!Decode(src.Left, top, w, rows, 1, lines)) continue;
    for (int32_t r0 = 0; r0 < rows; r0 += kPrintChunkRows) {
      const int32_t n = std::min(kPrintChunkRows, rows - r0);
      const int32_t yA = destRow(top + r0);
      const int32_t yB = destRow(top + r0 + n);
      if (yB <= yA) continue;
      strip32_.resize(static_cast<size_t>(w) * n);
      for (int32_t k = 0; k < n; ++k) {
        const uint8_t* line = lines.Base + static_cast<size_t>(r0 + k) * lines.Stride;
        uint32_t* out = strip32_.data() + static_cast<size_t>(k) * w;
        for (int32_t x = 0; x < w; ++x) out[x] = lut[line[x]];
      }
      canvas.DrawImage({dLeft, yA, dRight, yB}, TImageView{strip32_.data(), w, n, w}, {0, 0, w, n});
      drew = true;
    }
  }
  strip32_.clear();
  strip32_.shrink_to_fit();
  return drew;
}
