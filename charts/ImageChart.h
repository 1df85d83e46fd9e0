// Plain image charts: PNG, BMP and GIF files with a calibration kept beside
// them, loaded whole into memory. The window layer wraps a TChartImage for
// display (QImage::Format_Indexed8 or Format_RGB32 over the same bytes).
//
// Image files come from anywhere: every size and offset is checked, images
// larger than a pixel limit are refused before anything is allocated, and a
// damaged file gives an error text, never a crash.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

// Colours of images and colour tables: 0xFFRRGGBB (opaque, the order of
// Qt's QRgb).
using TRgb = uint32_t;
constexpr TRgb MakeRgb(uint8_t r, uint8_t g, uint8_t b) {
  return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
}
constexpr uint8_t RgbRed(TRgb c) { return uint8_t(c >> 16); }
constexpr uint8_t RgbGreen(TRgb c) { return uint8_t(c >> 8); }
constexpr uint8_t RgbBlue(TRgb c) { return uint8_t(c); }

// The colour adjustment of charts for night viewing: level 0 keeps the
// colour; 1..99 darkens each of red, green and blue to (100 - level) * v / 100;
// -1..-99 inverts and darkens to (100 + level) * (255 - v) / 100. Levels
// beyond +-99 count as +-99.
TRgb ShadeRgb(int level, TRgb colour);

enum class TImageFormat : uint8_t { None, Indexed8, Rgb32 };

struct TChartImage {
  TImageFormat Format = TImageFormat::None;
  int32_t Width = 0;
  int32_t Height = 0;
  // Bytes per row: Width for Indexed8, 4 * Width for Rgb32.
  size_t Stride = 0;
  // Rows top first. Indexed8: one palette index per pixel; Rgb32: one TRgb
  // per pixel in the machine's byte order.
  std::vector<uint8_t> Pixels;
  // Indexed8 only: up to 256 colours.
  std::vector<TRgb> Palette;

  bool Empty() const { return Format == TImageFormat::None; }
  void Clear();
  // The colour at (x, y); black outside the image or for an index beyond the
  // palette.
  TRgb PixelRgb(int32_t x, int32_t y) const;
  // Sets the format and size and allocates zeroed pixels; false when the
  // size is not positive or exceeds maxPixels.
  bool Allocate(TImageFormat format, int32_t width, int32_t height, int64_t maxPixels);
};

// The largest image loaded (pixels): 128 Mi pixels, 512 MiB as RGB.
inline constexpr int64_t kMaxImagePixels = int64_t(1) << 27;

bool LoadPNGImage(std::span<const uint8_t> bytes, TChartImage& image, std::string* error = nullptr,
                  int64_t maxPixels = kMaxImagePixels);
// Uncompressed BMP of 1, 4, 8, 16, 24 and 32 bits, and run-length coded
// BMP of 4 and 8 bits.
bool LoadBMPImage(std::span<const uint8_t> bytes, TChartImage& image, std::string* error = nullptr,
                  int64_t maxPixels = kMaxImagePixels);
// The first image of a GIF file, on its logical screen, as palette indexes.
// A single GIF image never holds more than 256 colours, so its colour map is
// the palette as it is.
bool LoadGIFImage(std::span<const uint8_t> bytes, TChartImage& image, std::string* error = nullptr,
                  int64_t maxPixels = kMaxImagePixels);

// Loads an image file by its upper-case extension (".PNG", ".BMP", ".GIF",
// Genimap ".GMB" rasters, and the JPEG and TIFF extensions of
// JpegTiffImage.h). Other extensions,
// and JPEG or TIFF files the built-in decoders cannot read, go to `other`
// when given (the calibration tool's loaders for the rest), else fail.
using TImageLoader = std::function<bool(const std::string& path, TChartImage& image, std::string* error)>;
bool LoadImageFile(const std::string& path, const std::string& upperExt, TChartImage& image,
                   std::string* error = nullptr, const TImageLoader& other = {});

// A PNG of the image (palette PNG for Indexed8, RGB otherwise).
bool EncodePNG(const TChartImage& image, std::string& out, std::string* error = nullptr);
