// The checks shared by the fuzz targets of scanned image formats (JPEG,
// TIFF): the streamed rows read every row or fail, never out of bounds; the
// whole-image loader gives a consistent 32-bit image, or nothing; and the
// colour reduction maps every pixel into its palette.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "charts/JpegTiffImage.h"
#include "charts/Quantise.h"

namespace scanfuzz {

inline constexpr int64_t kMaxPixels = 1 << 18;

inline void Check(const char* target, bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s: %s\n", target, what);
    std::abort();
  }
}

template <class TRows, class TLoad>
int Run(const char* target, const uint8_t* data, size_t size, TLoad load) {
  const std::span<const uint8_t> bytes(data, size);
  auto check = [target](bool ok, const char* what) { Check(target, ok, what); };
  {
    TRows rows;
    if (rows.OpenMemory(bytes, nullptr, kMaxPixels)) {
      check(rows.Width() > 0 && rows.Height() > 0 && int64_t{rows.Width()} * rows.Height() <= kMaxPixels,
            "streamed size");
      std::vector<TRgb> row(static_cast<size_t>(rows.Width()));
      for (int32_t y = 0; y < rows.Height(); ++y)
        if (!rows.ReadRow(y, row.data())) break;
      (void)rows.ReadRow(0, row.data());  // starting over
    }
  }
  TChartImage image;
  if (!load(bytes, image, nullptr, kMaxPixels)) {
    check(image.Empty(), "an image left after a failure");
    return 0;
  }
  check(image.Format == TImageFormat::Rgb32 && image.Width > 0 && image.Height > 0, "image shape");
  check(int64_t{image.Width} * image.Height <= kMaxPixels, "pixel limit");
  check(image.Pixels.size() == image.Stride * static_cast<size_t>(image.Height) &&
            image.Stride == 4 * static_cast<size_t>(image.Width),
        "pixel buffer");
  TColourQuantiser q;
  check(q.Build(image), "quantiser");
  check(!q.Palette().empty() && q.Palette().size() <= 256, "palette size");
  TChartImageRows rows(image, &q);
  std::vector<uint8_t> row(static_cast<size_t>(image.Width));
  for (int32_t y = 0; y < image.Height; ++y) {
    check(rows.ReadRow(y, row.data()), "row");
    for (uint8_t v : row) check(v < q.Palette().size(), "index beyond the palette");
  }
  return 0;
}

}  // namespace scanfuzz
