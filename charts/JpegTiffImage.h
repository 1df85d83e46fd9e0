// JPEG and TIFF chart images (scanned charts kept in a photo or scanner
// format), decoded into 32-bit colour. Like the other image loaders they take
// the file's bytes, refuse images beyond a pixel limit before allocating
// anything, and turn every decoding error into an error text.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "charts/ImageChart.h"
#include "charts/Quantise.h"

// ".JPG", ".JPEG", ".JPE", ".JFIF" (upper case, with the dot).
bool IsJPEGExtension(const std::string& upperExt);
// ".TIF", ".TIFF".
bool IsTIFFExtension(const std::string& upperExt);

// Baseline and progressive JPEG, grey or colour (CMYK is refused), as Rgb32.
bool LoadJPEGImage(std::span<const uint8_t> bytes, TChartImage& image, std::string* error = nullptr,
                   int64_t maxPixels = kMaxImagePixels);
// The first image of a TIFF file, any photometric interpretation libtiff can
// turn into RGBA, as Rgb32 (alpha dropped).
bool LoadTIFFImage(std::span<const uint8_t> bytes, TChartImage& image, std::string* error = nullptr,
                   int64_t maxPixels = kMaxImagePixels);

// The largest image streamed row by row: a WCI file's 65 535 x 65 535.
inline constexpr int64_t kMaxStreamPixels = int64_t(65535) * 65535;

// JPEG rows decoded as they are asked for, from a file read piece by piece:
// only one row is held. Asking for an earlier row decodes again from the
// start. A damaged stream gives grey rows from where it breaks, as libjpeg
// recovers; a fatal error makes ReadRow false from then on.
class TJPEGRows : public TRgbRows {
 public:
  TJPEGRows();
  ~TJPEGRows() override;
  TJPEGRows(const TJPEGRows&) = delete;
  TJPEGRows& operator=(const TJPEGRows&) = delete;
  bool Open(const std::string& path, std::string* error = nullptr, int64_t maxPixels = kMaxStreamPixels);
  // The same over bytes in memory (which must outlive this object).
  bool OpenMemory(std::span<const uint8_t> bytes, std::string* error = nullptr, int64_t maxPixels = kMaxStreamPixels);
  int32_t Width() const override;
  int32_t Height() const override;
  bool ReadRow(int32_t y, TRgb* dst) override;
  struct TState;

 private:
  bool Start(std::string* error, int64_t maxPixels);
  std::unique_ptr<TState> s_;
};

// TIFF rows decoded in blocks of rows as they are asked for, from a file
// read piece by piece (libtiff holds a strip or a row of tiles at most).
class TTIFFRows : public TRgbRows {
 public:
  TTIFFRows();
  ~TTIFFRows() override;
  TTIFFRows(const TTIFFRows&) = delete;
  TTIFFRows& operator=(const TTIFFRows&) = delete;
  bool Open(const std::string& path, std::string* error = nullptr, int64_t maxPixels = kMaxStreamPixels);
  bool OpenMemory(std::span<const uint8_t> bytes, std::string* error = nullptr, int64_t maxPixels = kMaxStreamPixels);
  int32_t Width() const override;
  int32_t Height() const override;
  bool ReadRow(int32_t y, TRgb* dst) override;
  struct TState;

 private:
  bool Start(std::string* error, int64_t maxPixels);
  std::unique_ptr<TState> s_;
};

// Streamed rows of a JPEG or TIFF file by its upper-case extension; null
// (with `error`) for another type or a file that cannot be opened.
std::unique_ptr<TRgbRows> OpenScanRows(const std::string& path, const std::string& upperExt,
                                       std::string* error = nullptr);
