// The bitmap pager: draws the part of a large chart raster that is in view,
// at any zoom, without ever holding the chart whole (unless it is small).
//
// For each paint it works out which chart pixels the destination rectangle
// shows at the current zoom, asks the chart's decoder for them (only every
// n-th row when zoomed out) and puts them on the canvas. It keeps what it
// has decoded as screen pixels (palette already applied, already scaled to
// the zoom) in a cache a margin larger than the view, so:
//  - repainting the same view decodes nothing;
//  - panning decodes only the band of the chart that comes into view;
//  - painting is a plain copy of the cache to the canvas.
// Decodes are cut into horizontal strips that keep each decoded window
// within MemoryBudget. A chart smaller than WholeImageLimit is decoded once,
// whole, and everything is drawn from memory afterwards.
//
// Scaling is done here: nearest pixel ("colour on colour", stretch mode 3),
// or, zoomed out in "black on white" mode (1), the darkest pixel of each
// group that collapses into one screen pixel, so thin dark chart lines stay
// visible however far the chart is zoomed out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "charts/PagerSource.h"
#include "platform/Canvas.h"

class TBitmapPager {
 public:
  static constexpr int kStretchBlackOnWhite = 1;
  static constexpr int kStretchColourOnColour = 3;

  // The memory limits start at the machine's share: an eighth of physical
  // memory, at most 24 MiB, and for whole images at most 12 MiB.
  TBitmapPager();
  explicit TBitmapPager(ICanvas* canvas);
  ~TBitmapPager();
  TBitmapPager(const TBitmapPager&) = delete;
  TBitmapPager& operator=(const TBitmapPager&) = delete;

  static int64_t DefaultMemoryBudget();
  static int64_t DefaultWholeImageLimit();

  // Bytes: the largest window decoded in one piece.
  int64_t MemoryBudget;
  // Bytes: a chart of fewer pixels than this is decoded whole once.
  int64_t WholeImageLimit;
  // The largest row step used when zoomed out; 0: no limit (every n-th row
  // for a zoom of 1/n). A small value decodes more rows, which the "black
  // on white" mode folds in, so thin horizontal lines survive too.
  int32_t MaxZoomOutRes = 0;
  // 1: black on white, 3: colour on colour.
  int StretchMode = kStretchColourOnColour;
  // Screen pixels per chart pixel.
  double Zoom = 1.0;
  // The decoder the pixels come from (not owned).
  TPagerSource* Decoder = nullptr;
  // Set by the owner when a chart is open and ready.
  bool Active = false;

  // Filled by the decoder (FillBitmapHeader, FillColourTable). The pager
  // takes the colours as they are at each paint: a change redraws.
  TBitmapHeader BitmapHeader;
  TColourTable Colours{};

  void SetCanvas(ICanvas* canvas) { canvas_ = canvas; }
  ICanvas* Canvas() const { return canvas_; }
  void SetDecoder(TPagerSource* decoder) { Decoder = decoder; }

  // The chart size. Clears the cache and decodes the chart whole when
  // width * height is below WholeImageLimit.
  void SetImageSize(int32_t width, int32_t height);
  int32_t ImageWidth() const { return imageWidth_; }
  int32_t ImageHeight() const { return imageHeight_; }
  bool WholeImage() const { return wholeValid_; }

  // The rectangle to paint, in canvas coordinates (the chart at the zoom,
  // its top-left pixel at 0, 0).
  void SetDestRect(TCanvasPoint origin, TCanvasPoint size);
  TCanvasRect DestRect() const { return dest_; }

  // Paints the destination rectangle on the canvas. Nothing happens while a
  // draw runs, when not Active, or without canvas or decoder.
  void Draw();
  // Paints the chart rectangle `source` (chart pixels) into `dest` of
  // another canvas at full resolution (printing). True when something was
  // drawn. The screen cache is left as it is.
  bool DrawTo(ICanvas& canvas, const TCanvasRect& source, const TCanvasRect& dest);

  // Clears Active; true when no draw is running (a draw can only be running
  // when Stop is called from inside it).
  bool Stop();
  bool Busy() const { return busy_; }
  // Drops everything decoded, the whole image too.
  void ClearCache();

  // The row step for a zoom: trunc(1 / zoom + 1e-6), 1 when below 2; 0 for
  // a zoom that is not positive.
  static int32_t RowStep(double zoom);

  // What the decoder has been asked for since the pager was made.
  struct TStats {
    int64_t Draws = 0;
    int64_t DecodeCalls = 0;
    int64_t DecodedLines = 0;
    int64_t DecodedPixels = 0;
  };
  const TStats& Stats() const { return stats_; }
  // Screen pixels the cache can hold beyond the view on each side.
  static constexpr int32_t kMargin = 128;

 private:
  struct TMapping;
  struct TCacheKey {
    const TPagerSource* Decoder = nullptr;
    double Zoom = 0;
    int32_t Step = 0;
    bool MinFilter = false;
    int32_t ImageWidth = 0;
    int32_t ImageHeight = 0;
    TColourTable Colours{};
    bool operator==(const TCacheKey&) const = default;
  };
  // Where decoded lines are: lines k at Base + k * Stride.
  struct TLines {
    const uint8_t* Base = nullptr;
    size_t Stride = 0;
  };

  bool Decode(int32_t x0, int32_t y0, int32_t w, int32_t lines, int32_t step, TLines& out);
  void PrepareColours(const TCacheKey& key);
  bool FillRegion(const TMapping& m, const TCanvasRect& r);
  bool FillPiece(const TMapping& m, const TCanvasRect& r);
  void Blit(const TCanvasRect& view);
  int32_t CacheX(int32_t x) const;
  int32_t CacheY(int32_t y) const;

  ICanvas* canvas_ = nullptr;
  TCanvasRect dest_;
  int32_t imageWidth_ = 0;
  int32_t imageHeight_ = 0;
  bool busy_ = false;

  // The chart decoded whole (width bytes per row), when it is small.
  std::vector<uint8_t> whole_;
  bool wholeValid_ = false;
  const TPagerSource* wholeDecoder_ = nullptr;

  // The screen cache: a ring buffer of bufW_ x bufH_ pixels in which the
  // zoomed-chart pixel (X, Y) lives at ((X - originX_) mod bufW_,
  // (Y - originY_) mod bufH_). region_ is what it holds.
  std::vector<uint32_t> cache_;
  int32_t bufW_ = 0;
  int32_t bufH_ = 0;
  int32_t originX_ = 0;
  int32_t originY_ = 0;
  TCanvasRect region_;
  TCacheKey key_;
  bool keyValid_ = false;

  // Colours of the current key: pixel of each index, darkness rank of each
  // index and pixel of each rank.
  std::array<uint32_t, 256> pixelOf_{};
  std::array<uint8_t, 256> rankOf_{};
  std::array<uint32_t, 256> pixelOfRank_{};

  // Working memory of one decode.
  std::vector<uint8_t> scratch_;
  std::vector<uint8_t> minLine_;
  std::vector<int32_t> colA_;
  std::vector<int32_t> colB_;
  std::vector<uint32_t> strip32_;

  TStats stats_;
};
