// Image files (PNG, BMP, GIF) come from anywhere: the loaders, the BMP row
// source of the WCI writer and the size read from the first bytes must
// refuse or read any bytes without going out of bounds, and what they give
// must be a consistent image.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "charts/CatalogScan.h"
#include "charts/ImageChart.h"
#include "charts/WCIWriter.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_image: %s\n", what);
    std::abort();
  }
}

std::string TempPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/fuzz_image_" + std::to_string(::getpid()) + name;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  Check(f != nullptr, "cannot write the input file");
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

// Loads are bounded so that one input cannot take seconds.
constexpr int64_t kMaxPixels = 1 << 20;

void CheckImage(const TChartImage& image, bool loaded, const char* what) {
  if (!loaded) {
    Check(image.Empty() || image.Pixels.size() == image.Stride * static_cast<size_t>(image.Height), what);
    return;
  }
  Check(!image.Empty() && image.Width > 0 && image.Height > 0, what);
  Check(int64_t{image.Width} * image.Height <= kMaxPixels, what);
  const size_t bytesPerPixel = image.Format == TImageFormat::Rgb32 ? 4 : 1;
  Check(image.Stride == bytesPerPixel * static_cast<size_t>(image.Width), what);
  Check(image.Pixels.size() == image.Stride * static_cast<size_t>(image.Height), what);
  if (image.Format == TImageFormat::Indexed8) {
    Check(!image.Palette.empty() && image.Palette.size() <= 256, what);
    for (uint8_t v : image.Pixels) Check(v < image.Palette.size(), what);
  }
  uint32_t sum = 0;
  for (int32_t y = 0; y < image.Height; y += 7)
    for (int32_t x = 0; x < image.Width; x += 5) sum += image.PixelRgb(x, y);
  Check(image.PixelRgb(-1, 0) == MakeRgb(0, 0, 0) && image.PixelRgb(image.Width, 0) == MakeRgb(0, 0, 0), what);
  (void)sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  int32_t w = 0, h = 0;
  const bool sized = ImageSizeFromHeader(std::string_view(reinterpret_cast<const char*>(data), size), w, h);
  Check(!sized || (w > 0 && h > 0), "size from the header");

  TChartImage image;
  bool ok = LoadPNGImage(bytes, image, nullptr, kMaxPixels);
  CheckImage(image, ok, "PNG image");
  if (ok && sized) Check(image.Width == w && image.Height == h, "PNG size differs from the header's");
  ok = LoadBMPImage(bytes, image, nullptr, kMaxPixels);
  CheckImage(image, ok, "BMP image");
  if (ok && sized) Check(image.Width == w && image.Height == h, "BMP size differs from the header's");
  ok = LoadGIFImage(bytes, image, nullptr, kMaxPixels);
  CheckImage(image, ok, "GIF image");
  if (ok && sized) Check(image.Width == w && image.Height == h, "GIF size differs from the header's");

  // The WCI writer's BMP source reads a file row by row.
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    static const std::string path = TempPath(".bmp");
    WriteFile(path, data, size);
    try {
      TBMPImageSource source(path);
      Check(source.Width() > 0 && source.Height() > 0, "BMP source size");
      Check(source.ColourCount() >= 1 && source.ColourCount() <= 256, "BMP source colours");
      for (int i = 0; i < source.ColourCount(); ++i) (void)source.Colour(i);
      std::vector<uint8_t> row(static_cast<size_t>(source.Width()));
      const int32_t step = int64_t{source.Width()} * source.Height() > kMaxPixels ? source.Height() / 8 + 1 : 1;
      for (int32_t y = 0; y < source.Height(); y += step) source.ReadRow(y, row.data());
      Check(!source.ReadRow(source.Height(), row.data()) && !source.ReadRow(-1, row.data()), "BMP source rows");
    } catch (const EWCIConvertError&) {
    }
  }
  return 0;
}
