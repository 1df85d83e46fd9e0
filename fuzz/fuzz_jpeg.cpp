// JPEG files come from anywhere: the loader must refuse or read any bytes
// without going out of bounds, and what it gives must be a consistent
// 32-bit image that the colour reduction can map.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "charts/JpegTiffImage.h"
#include "charts/Quantise.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_jpeg: %s\n", what);
    std::abort();
  }
}

constexpr int64_t kMaxPixels = 1 << 18;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The streamed rows: every row read, or a failure; never out of bounds.
  {
    TJPEGRows rows;
    if (rows.OpenMemory(std::span<const uint8_t>(data, size), nullptr, kMaxPixels)) {
      Check(rows.Width() > 0 && rows.Height() > 0 && int64_t{rows.Width()} * rows.Height() <= kMaxPixels,
            "streamed size");
      std::vector<TRgb> row(static_cast<size_t>(rows.Width()));
      for (int32_t y = 0; y < rows.Height(); ++y)
        if (!rows.ReadRow(y, row.data())) break;
      (void)rows.ReadRow(0, row.data());  // starting over
    }
  }
  TChartImage image;
  const bool ok = LoadJPEGImage(std::span<const uint8_t>(data, size), image, nullptr, kMaxPixels);
  if (!ok) {
    Check(image.Empty(), "an image left after a failure");
    return 0;
  }
  Check(image.Format == TImageFormat::Rgb32 && image.Width > 0 && image.Height > 0, "image shape");
  Check(int64_t{image.Width} * image.Height <= kMaxPixels, "pixel limit");
  Check(image.Pixels.size() == image.Stride * static_cast<size_t>(image.Height) &&
            image.Stride == 4 * static_cast<size_t>(image.Width),
        "pixel buffer");
  TColourQuantiser q;
  Check(q.Build(image), "quantiser");
  Check(!q.Palette().empty() && q.Palette().size() <= 256, "palette size");
  TChartImageRows rows(image, &q);
  std::vector<uint8_t> row(static_cast<size_t>(image.Width));
  for (int32_t y = 0; y < image.Height; ++y) {
    Check(rows.ReadRow(y, row.data()), "row");
    for (uint8_t v : row) Check(v < q.Palette().size(), "index beyond the palette");
  }
  return 0;
}
