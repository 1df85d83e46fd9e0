#include "charts/ImageChart.h"

#include "charts/GmbImage.h"
#include "charts/JpegTiffImage.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "charts/ByteOrder.h"
#include "charts/CatalogScan.h"
#include "platform/AtomicFile.h"

namespace {

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

void StoreRgb(TChartImage& image, int32_t x, int32_t y, TRgb c) {
  std::memcpy(image.Pixels.data() + static_cast<size_t>(y) * image.Stride + static_cast<size_t>(x) * 4, &c, 4);
}

// Makes sure every index in the pixels has a palette entry (black when the
// file gave none).
void CoverIndexes(TChartImage& image) {
  uint8_t top = 0;
  for (uint8_t v : image.Pixels) top = std::max(top, v);
  if (image.Palette.size() <= top) image.Palette.resize(size_t(top) + 1, MakeRgb(0, 0, 0));
}

}  // namespace

TRgb ShadeRgb(int level, TRgb c) {
  level = std::clamp(level, -99, 99);
  if (level == 0) return c;
  auto one = [level](uint8_t v) -> uint8_t {
    if (level > 0) return static_cast<uint8_t>((100 - level) * v / 100);
    return static_cast<uint8_t>((100 + level) * (255 - v) / 100);
  };
  return MakeRgb(one(RgbRed(c)), one(RgbGreen(c)), one(RgbBlue(c)));
}

void TChartImage::Clear() {
  Format = TImageFormat::None;
  Width = Height = 0;
  Stride = 0;
  Pixels.clear();
  Pixels.shrink_to_fit();
  Palette.clear();
}

TRgb TChartImage::PixelRgb(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return MakeRgb(0, 0, 0);
  const uint8_t* row = Pixels.data() + static_cast<size_t>(y) * Stride;
  if (Format == TImageFormat::Indexed8) {
    const uint8_t i = row[x];
    return i < Palette.size() ? Palette[i] : MakeRgb(0, 0, 0);
  }
  if (Format == TImageFormat::Rgb32) {
    TRgb c;
    std::memcpy(&c, row + static_cast<size_t>(x) * 4, 4);
    return c;
  }
  return MakeRgb(0, 0, 0);
}

bool TChartImage::Allocate(TImageFormat format, int32_t width, int32_t height, int64_t maxPixels) {
  Clear();
  if (format == TImageFormat::None || width <= 0 || height <= 0) return false;
  if (int64_t(width) * height > maxPixels) return false;
  Format = format;
  Width = width;
  Height = height;
  Stride = static_cast<size_t>(width) * (format == TImageFormat::Rgb32 ? 4 : 1);
  Pixels.assign(Stride * static_cast<size_t>(height), 0);
  return true;
}

// ---------------------------------------------------------------------------
// PNG

bool LoadPNGImage(std::span<const uint8_t> bytes, TChartImage& image, std::string* error, int64_t maxPixels) {
  image.Clear();
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()))
    return Fail(error, std::string("not a readable PNG: ") + png.message);
  struct Release {
    png_image* p;
    ~Release() { png_image_free(p); }
  } release{&png};
  if (png.width == 0 || png.height == 0 || png.width > INT32_MAX || png.height > INT32_MAX ||
      int64_t(png.width) * png.height > maxPixels)
    return Fail(error, "PNG image too large");
  const int32_t w = static_cast<int32_t>(png.width), h = static_cast<int32_t>(png.height);
  png_color white{255, 255, 255};
  if (png.format & PNG_FORMAT_FLAG_COLORMAP) {
    png.format = PNG_FORMAT_RGB_COLORMAP;
    std::vector<uint8_t> colormap(PNG_IMAGE_COLORMAP_SIZE(png));
    if (!image.Allocate(TImageFormat::Indexed8, w, h, maxPixels)) return Fail(error, "PNG image too large");
    if (!png_image_finish_read(&png, &white, image.Pixels.data(), static_cast<png_int_32>(image.Stride),
                               colormap.data())) {
      image.Clear();
      return Fail(error, std::string("PNG data damaged: ") + png.message);
    }
    for (size_t i = 0; i < png.colormap_entries && 3 * i + 2 < colormap.size(); ++i)
      image.Palette.push_back(MakeRgb(colormap[3 * i], colormap[3 * i + 1], colormap[3 * i + 2]));
    CoverIndexes(image);
    return true;
  }
  // Four bytes per pixel in the order that makes one TRgb in memory.
  png.format = std::endian::native == std::endian::little ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
  if (!image.Allocate(TImageFormat::Rgb32, w, h, maxPixels)) return Fail(error, "PNG image too large");
  if (!png_image_finish_read(&png, &white, image.Pixels.data(), static_cast<png_int_32>(image.Stride), nullptr)) {
    image.Clear();
    return Fail(error, std::string("PNG data damaged: ") + png.message);
  }
  // Transparent parts are shown over white paper.
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
  for (size_t i = 0; i < n; ++i) {
    TRgb c;
    std::memcpy(&c, image.Pixels.data() + 4 * i, 4);
    const uint32_t a = c >> 24;
    if (a != 255) {
      auto mix = [a](uint8_t v) { return static_cast<uint8_t>((v * a + 255 * (255 - a) + 127) / 255); };
      c = MakeRgb(mix(RgbRed(c)), mix(RgbGreen(c)), mix(RgbBlue(c)));
      std::memcpy(image.Pixels.data() + 4 * i, &c, 4);
    }
  }
  return true;
}

bool EncodePNG(const TChartImage& image, std::string& out, std::string* error) {
  out.clear();
  if (image.Empty()) return Fail(error, "no image");
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.Width);
  png.height = static_cast<png_uint_32>(image.Height);
  std::vector<uint8_t> buffer;
  std::vector<uint8_t> colormap;
  const void* pixels = nullptr;
  png_int_32 stride = 0;
  if (image.Format == TImageFormat::Indexed8) {
    png.format = PNG_FORMAT_RGB_COLORMAP;
    const size_t count = std::clamp<size_t>(image.Palette.size(), 1, 256);
    png.colormap_entries = static_cast<png_uint_32>(count);
    colormap.assign(3 * count, 0);
    for (size_t i = 0; i < image.Palette.size() && i < count; ++i) {
      colormap[3 * i] = RgbRed(image.Palette[i]);
      colormap[3 * i + 1] = RgbGreen(image.Palette[i]);
      colormap[3 * i + 2] = RgbBlue(image.Palette[i]);
    }
    // Indexes beyond the colour map would make the writer fail.
    buffer = image.Pixels;
    for (uint8_t& v : buffer)
      if (v >= count) v = 0;
    pixels = buffer.data();
    stride = static_cast<png_int_32>(image.Stride);
  } else {
    png.format = PNG_FORMAT_RGB;
    buffer.resize(size_t(3) * static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height));
    size_t k = 0;
    for (int32_t y = 0; y < image.Height; ++y)
      for (int32_t x = 0; x < image.Width; ++x) {
        const TRgb c = image.PixelRgb(x, y);
        buffer[k++] = RgbRed(c);
        buffer[k++] = RgbGreen(c);
        buffer[k++] = RgbBlue(c);
      }
    pixels = buffer.data();
    stride = 3 * image.Width;
  }
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png, nullptr, &size, 0, pixels, stride, colormap.empty() ? nullptr : colormap.data()))
    return Fail(error, std::string("PNG encoding failed: ") + png.message);
  out.resize(size);
  if (!png_image_write_to_memory(&png, out.data(), &size, 0, pixels, stride,
                                 colormap.empty() ? nullptr : colormap.data())) {
    out.clear();
    return Fail(error, std::string("PNG encoding failed: ") + png.message);
  }
  out.resize(size);
  return true;
}

// ---------------------------------------------------------------------------
// BMP

namespace {

// One colour channel of a bit-field pixel, scaled to 0..255.
struct TMaskChannel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  explicit TMaskChannel(uint32_t m = 0) : mask(m) {
    if (!m) return;
    shift = std::countr_zero(m);
    max = m >> shift;
  }
  uint8_t Get(uint32_t v) const {
    if (!mask) return 0;
    return static_cast<uint8_t>((uint64_t((v & mask) >> shift) * 255 + max / 2) / max);
  }
};

bool DecodeRle(std::span<const uint8_t> data, bool rle4, TChartImage& image, bool bottomUp) {
  int32_t x = 0, y = 0;  // y counts rows in file order
  size_t p = 0;
  auto put = [&](uint8_t v) {
    if (x < image.Width && y < image.Height) {
      const int32_t row = bottomUp ? image.Height - 1 - y : y;
      image.Pixels[static_cast<size_t>(row) * image.Stride + static_cast<size_t>(x)] = v;
    }
    ++x;
  };
  while (p + 1 < data.size() && y < image.Height) {
    const uint8_t count = data[p], value = data[p + 1];
    p += 2;
    if (count > 0) {
      for (int i = 0; i < count && x < image.Width; ++i)
        put(rle4 ? static_cast<uint8_t>((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // move
      if (p + 1 >= data.size()) return false;
      x += data[p];
      y += data[p + 1];
      p += 2;
    } else {  // literal pixels
      const size_t n = value;
      const size_t bytes = rle4 ? (n + 1) / 2 : n;
      if (p + bytes > data.size()) return false;
      for (size_t i = 0; i < n; ++i) {
        if (x >= image.Width) break;
        put(rle4 ? static_cast<uint8_t>((i & 1) ? (data[p + i / 2] & 0x0F) : (data[p + i / 2] >> 4)) : data[p + i]);
      }
      p += (bytes + 1) & ~size_t(1);
    }
  }
  return true;  // a missing end marker: what was there is shown
}

}  // namespace

bool LoadBMPImage(std::span<const uint8_t> bytes, TChartImage& image, std::string* error, int64_t maxPixels) {
  image.Clear();
  const uint8_t* b = bytes.data();
  const size_t size = bytes.size();
  if (size < 26 || b[0] != 'B' || b[1] != 'M') return Fail(error, "not a BMP file");
  const uint32_t offBits = GetLe32(b + 10);
  const uint32_t infoSize = GetLe32(b + 14);
  int64_t width = 0, height = 0;
  uint16_t bitCount = 0;
  uint32_t compression = 0, clrUsed = 0;
  size_t paletteEntry = 4;
  if (infoSize == 12) {
    width = GetLe16(b + 18);
    height = static_cast<int16_t>(GetLe16(b + 20));
    bitCount = GetLe16(b + 24);
    paletteEntry = 3;
  } else if (infoSize >= 40 && infoSize <= 1024 && size >= 14 + size_t(infoSize)) {
    width = static_cast<int32_t>(GetLe32(b + 18));
    height = static_cast<int32_t>(GetLe32(b + 22));
    bitCount = GetLe16(b + 28);
    compression = GetLe32(b + 30);
    clrUsed = GetLe32(b + 46);
  } else {
    return Fail(error, "unsupported BMP header");
  }
  const bool bottomUp = height > 0;
  height = height < 0 ? -height : height;
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX || width * height > maxPixels)
    return Fail(error, "BMP image size out of range");
  const int32_t w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);

  size_t tableStart = 14 + infoSize;
  uint32_t masks[4] = {0, 0, 0, 0};
  if (compression == 3 || compression == 6) {  // bit fields
    if (infoSize >= 52) {
      for (int i = 0; i < 3; ++i) masks[i] = GetLe32(b + 54 + 4 * i);
    } else {
      if (size < tableStart + 12) return Fail(error, "BMP bit fields missing");
      for (int i = 0; i < 3; ++i) masks[i] = GetLe32(b + tableStart + 4 * size_t(i));
      tableStart += compression == 6 ? 16 : 12;
    }
  }
  if (offBits > size) return Fail(error, "BMP pixel data outside the file");
  const std::span<const uint8_t> data = bytes.subspan(offBits);

  if (bitCount == 1 || bitCount == 4 || bitCount == 8) {
    if (!(compression == 0 || (compression == 1 && bitCount == 8) || (compression == 2 && bitCount == 4)))
      return Fail(error, "unsupported BMP compression");
    size_t colours = clrUsed ? std::min<uint32_t>(clrUsed, 256) : (size_t(1) << bitCount);
    if (tableStart > size) colours = 0;
    colours = std::min(colours, (std::min<size_t>(size, offBits) - std::min<size_t>(tableStart, offBits)) / paletteEntry);
    if (!image.Allocate(TImageFormat::Indexed8, w, h, maxPixels)) return Fail(error, "BMP image too large");
    for (size_t i = 0; i < colours; ++i) {
      const uint8_t* e = b + tableStart + i * paletteEntry;
      image.Palette.push_back(MakeRgb(e[2], e[1], e[0]));
    }
    if (compression != 0) {
      if (!DecodeRle(data, compression == 2, image, bottomUp)) {
        CoverIndexes(image);
        return true;  // damaged run data: the part decoded is shown
      }
      CoverIndexes(image);
      return true;
    }
    const size_t rowBytes = ((size_t(w) * bitCount + 31) / 32) * 4;
    for (int32_t y = 0; y < h; ++y) {
      const size_t at = size_t(y) * rowBytes;
      if (at + rowBytes > data.size()) break;  // short file: missing rows stay index 0
      const uint8_t* src = data.data() + at;
      uint8_t* dst = image.Pixels.data() + size_t(bottomUp ? h - 1 - y : y) * image.Stride;
      for (int32_t x = 0; x < w; ++x) {
        const size_t bit = size_t(x) * bitCount;
        const uint8_t byte = src[bit / 8];
        dst[x] = static_cast<uint8_t>((byte >> (8 - bitCount - bit % 8)) & ((1u << bitCount) - 1));
      }
    }
    CoverIndexes(image);
    return true;
  }

  if (bitCount != 16 && bitCount != 24 && bitCount != 32) return Fail(error, "unsupported BMP depth");
  if (compression == 0) {
    if (bitCount == 16) {
      masks[0] = 0x7C00;
      masks[1] = 0x03E0;
      masks[2] = 0x001F;
    } else {
      masks[0] = 0xFF0000;
      masks[1] = 0x00FF00;
      masks[2] = 0x0000FF;
    }
  } else if (!((compression == 3 || compression == 6) && bitCount != 24)) {
    return Fail(error, "unsupported BMP compression");
  }
  const TMaskChannel r(masks[0]), g(masks[1]), bl(masks[2]);
  if (!image.Allocate(TImageFormat::Rgb32, w, h, maxPixels)) return Fail(error, "BMP image too large");
  const size_t bpp = bitCount / 8;
  const size_t rowBytes = ((size_t(w) * bitCount + 31) / 32) * 4;
  for (int32_t y = 0; y < h; ++y) {
    const size_t at = size_t(y) * rowBytes;
    if (at + rowBytes > data.size()) break;
    const uint8_t* src = data.data() + at;
    const int32_t row = bottomUp ? h - 1 - y : y;
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* px = src + size_t(x) * bpp;
      const uint32_t v = bpp == 2 ? GetLe16(px) : bpp == 3 ? (uint32_t(px[0]) | (uint32_t(px[1]) << 8) | (uint32_t(px[2]) << 16))
                                                        : GetLe32(px);
      StoreRgb(image, x, row, MakeRgb(r.Get(v), g.Get(v), bl.Get(v)));
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// GIF

namespace {

struct TGifSource {
  std::span<const uint8_t> bytes;
  size_t pos = 0;
};

int GifRead(GifFileType* gif, GifByteType* dst, int n) {
  auto* src = static_cast<TGifSource*>(gif->UserData);
  if (n <= 0) return 0;
  const size_t take = std::min(static_cast<size_t>(n), src->bytes.size() - src->pos);
  std::memcpy(dst, src->bytes.data() + src->pos, take);
  src->pos += take;
  return static_cast<int>(take);
}

}  // namespace

bool LoadGIFImage(std::span<const uint8_t> bytes, TChartImage& image, std::string* error, int64_t maxPixels) {
  image.Clear();
  TGifSource src{bytes, 0};
  int err = 0;
  GifFileType* gif = DGifOpen(&src, GifRead, &err);
  if (!gif) return Fail(error, std::string("not a readable GIF: ") + (GifErrorString(err) ? GifErrorString(err) : "?"));
  struct Close {
    GifFileType* g;
    ~Close() {
      int e = 0;
      DGifCloseFile(g, &e);
    }
  } close{gif};

  if (gif->SWidth <= 0 || gif->SHeight <= 0 || int64_t(gif->SWidth) * gif->SHeight > maxPixels)
    return Fail(error, "GIF image size out of range");
  std::vector<uint8_t> line;
  while (true) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return Fail(error, "GIF data damaged");
    if (type == TERMINATE_RECORD_TYPE) return Fail(error, "GIF file without an image");
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) return Fail(error, "GIF data damaged");
      while (ext) {
        if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) return Fail(error, "GIF data damaged");
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) == GIF_ERROR) return Fail(error, "GIF data damaged");
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (!map || map->ColorCount <= 0) return Fail(error, "GIF image without colours");
    if (d.Width <= 0 || d.Height <= 0 || int64_t(d.Width) * d.Height > maxPixels)
      return Fail(error, "GIF image size out of range");
    if (!image.Allocate(TImageFormat::Indexed8, gif->SWidth, gif->SHeight, maxPixels))
      return Fail(error, "GIF image too large");
    for (int i = 0; i < map->ColorCount && i < 256; ++i)
      image.Palette.push_back(MakeRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
    // Outside the image: the background colour.
    const uint8_t background =
        gif->SBackGroundColor >= 0 && gif->SBackGroundColor < map->ColorCount ? static_cast<uint8_t>(gif->SBackGroundColor) : 0;
    std::fill(image.Pixels.begin(), image.Pixels.end(), background);
    line.resize(static_cast<size_t>(d.Width));
    static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    const int passes = d.Interlace ? 4 : 1;
    bool damaged = false;
    for (int pass = 0; pass < passes && !damaged; ++pass) {
      const int start = d.Interlace ? kStart[pass] : 0, step = d.Interlace ? kStep[pass] : 1;
      for (int r = start; r < d.Height; r += step) {
        if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) {
          damaged = true;  // the rows read so far are shown
          break;
        }
        const int64_t y = int64_t(d.Top) + r;
        if (y < 0 || y >= image.Height) continue;
        uint8_t* dst = image.Pixels.data() + static_cast<size_t>(y) * image.Stride;
        for (int x = 0; x < d.Width; ++x) {
          const int64_t px = int64_t(d.Left) + x;
          if (px >= 0 && px < image.Width) dst[px] = line[static_cast<size_t>(x)];
        }
      }
    }
    CoverIndexes(image);
    return true;
  }
}

bool LoadImageFile(const std::string& path, const std::string& upperExt, TChartImage& image, std::string* error,
                   const TImageLoader& other) {
  image.Clear();
  const bool jpeg = IsJPEGExtension(upperExt), tiff = IsTIFFExtension(upperExt);
  if (upperExt != ".PNG" && upperExt != ".BMP" && upperExt != ".GIF" && upperExt != ".GMB" && !jpeg && !tiff) {
    if (other) return other(path, image, error);
    return Fail(error, "no loader for " + upperExt + " images");
  }
  // A size given in the header that the loaders would refuse is refused
  // before the file is read into memory.
  int32_t w = 0, h = 0;
  if (ImageSizeOfFile(path, w, h) && int64_t(w) * h > kMaxImagePixels) return Fail(error, "image too large");
  // The default limit holds the largest image loaded (32-bit BMP).
  std::string bytes;
  if (!ReadWholeFile(path, bytes, error)) return false;
  const std::span<const uint8_t> s(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (jpeg || tiff) {
    // The built-in decoders first; what they cannot read goes on to the
    // caller's loader when there is one.
    std::string own;
    if (jpeg ? LoadJPEGImage(s, image, &own) : LoadTIFFImage(s, image, &own)) return true;
    if (other) return other(path, image, error);
    return Fail(error, own);
  }
  if (upperExt == ".GMB") return LoadGMBImage(s, image, error);
  if (upperExt == ".PNG") return LoadPNGImage(s, image, error);
  if (upperExt == ".BMP") return LoadBMPImage(s, image, error);
  return LoadGIFImage(s, image, error);
}
