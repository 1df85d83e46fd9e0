// Genimap raster files come from anywhere: the reader must refuse or read
// any bytes without going out of bounds, and an image it gives must be
// consistent (size, stride, palette, indexes within the palette).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "charts/GmbImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TChartImage image;
  std::string error;
  // A small pixel limit keeps each run quick; sizes above it are refused.
  if (!LoadGMBImage(std::span<const uint8_t>(data, size), image, &error, 1 << 20)) return 0;
  const bool ok = image.Format == TImageFormat::Indexed8 && image.Width > 0 && image.Height > 0 &&
                  image.Height <= 32767 && image.Stride == static_cast<size_t>(image.Width) &&
                  image.Pixels.size() == image.Stride * static_cast<size_t>(image.Height) &&
                  (image.Palette.size() == 16 || image.Palette.size() == 256);
  if (!ok) {
    std::fprintf(stderr, "fuzz_gmb: inconsistent image\n");
    std::abort();
  }
  for (uint8_t p : image.Pixels)
    if (p >= image.Palette.size()) {
      std::fprintf(stderr, "fuzz_gmb: index beyond the palette\n");
      std::abort();
    }
  return 0;
}
