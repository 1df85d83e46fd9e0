#include "charts/JpegTiffImage.h"

#include "charts/TiffClient.h"
#include "platform/FileView.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace {

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

// libjpeg reports errors through a function that must not return.
struct TJpegError {
  jpeg_error_mgr mgr{};
  std::jmp_buf jump{};
  char message[JMSG_LENGTH_MAX] = {};
  JSAMPLE* row = nullptr;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<TJpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, e->message);
  std::longjmp(e->jump, 1);
}

void JpegNoOutput(j_common_ptr) {}

// The libjpeg part of the loader. Nothing with a destructor and no local
// changed after setjmp lives here: state that longjmp must see is in `err`.
// Returns null, or the error text.
const char* DecodeJpeg(jpeg_decompress_struct& cinfo, TJpegError& err, std::span<const uint8_t> bytes,
                       TChartImage& image, int64_t maxPixels) {
  if (setjmp(err.jump)) {
    std::free(err.row);
    err.row = nullptr;
    return err.message;
  }
  jpeg_create_decompress(&cinfo);
  // Keep decoder work bounded on damaged progressive files.
  cinfo.mem->max_memory_to_use = 1L << 30;
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return "not a JPEG image";
  if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK)
    return "CMYK JPEG images are not supported";
  const int64_t w = cinfo.image_width, h = cinfo.image_height;
  if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX || w * h > maxPixels) return "JPEG image too large";
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 3 || int64_t(cinfo.output_width) != w || int64_t(cinfo.output_height) != h)
    return "unexpected JPEG output";
  if (!image.Allocate(TImageFormat::Rgb32, static_cast<int32_t>(w), static_cast<int32_t>(h), maxPixels))
    return "JPEG image too large";
  err.row = static_cast<JSAMPLE*>(std::malloc(static_cast<size_t>(w) * 3));
  if (!err.row) return "out of memory";
  while (cinfo.output_scanline < cinfo.output_height) {
    const int32_t y = static_cast<int32_t>(cinfo.output_scanline);
    JSAMPROW rows[1] = {err.row};
    if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) break;
    const JSAMPLE* row = err.row;
    auto* dst = reinterpret_cast<TRgb*>(image.Pixels.data() + static_cast<size_t>(y) * image.Stride);
    for (int64_t x = 0; x < w; ++x) dst[x] = MakeRgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
  }
  std::free(err.row);
  err.row = nullptr;
  // A truncated file gives the rows it holds (libjpeg fills the rest grey),
  // as the other loaders show damaged images as far as they go.
  jpeg_finish_decompress(&cinfo);
  return nullptr;
}

}  // namespace

bool IsJPEGExtension(const std::string& upperExt) {
  return upperExt == ".JPG" || upperExt == ".JPEG" || upperExt == ".JPE" || upperExt == ".JFIF";
}

bool IsTIFFExtension(const std::string& upperExt) { return upperExt == ".TIF" || upperExt == ".TIFF"; }

bool LoadJPEGImage(std::span<const uint8_t> bytes, TChartImage& image, std::string* error, int64_t maxPixels) {
  image.Clear();
  if (bytes.size() < 4 || bytes.size() > static_cast<size_t>(ULONG_MAX)) return Fail(error, "not a JPEG image");
  jpeg_decompress_struct cinfo{};
  TJpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.output_message = JpegNoOutput;
  const char* failed = DecodeJpeg(cinfo, err, bytes, image, maxPixels);
  jpeg_destroy_decompress(&cinfo);
  if (failed) {
    image.Clear();
    return Fail(error, std::string("not a readable JPEG: ") + failed);
  }
  return true;
}

bool LoadTIFFImage(std::span<const uint8_t> bytes, TChartImage& image, std::string* error, int64_t maxPixels) {
  image.Clear();
  TTiffSource mem;
  mem.bytes = bytes;
  // No single allocation of the library beyond what the largest image needs.
  TIFF* tif = OpenTiffClient(mem, static_cast<tmsize_t>(std::min<int64_t>(maxPixels, INT32_MAX / 4) * 4));
  if (!tif) return Fail(error, "not a readable TIFF: " + mem.lastError);
  uint32_t w = 0, h = 0;
  bool ok = TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) == 1 && TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h) == 1;
  std::string message;
  if (!ok || w == 0 || h == 0) {
    message = "TIFF image without a size";
    ok = false;
  } else if (int64_t(w) * h > maxPixels || w > INT32_MAX || h > INT32_MAX ||
             !image.Allocate(TImageFormat::Rgb32, static_cast<int32_t>(w), static_cast<int32_t>(h), maxPixels)) {
    message = "TIFF image too large";
    ok = false;
  } else {
    char emsg[1024] = {};
    if (!TIFFRGBAImageOK(tif, emsg)) {
      message = std::string("TIFF image not supported: ") + emsg;
      ok = false;
    } else {
      auto* px = reinterpret_cast<uint32_t*>(image.Pixels.data());
      // stop on error = 1: a damaged strip ends the decoding.
      if (!TIFFReadRGBAImageOriented(tif, w, h, px, ORIENTATION_TOPLEFT, 1)) {
        message = "TIFF data damaged: " + mem.lastError;
        ok = false;
      } else {
        // RGBA words are A B G R from the top bits down.
        const size_t n = static_cast<size_t>(w) * h;
        for (size_t i = 0; i < n; ++i) {
          const uint32_t v = px[i];
          px[i] = MakeRgb(TIFFGetR(v), TIFFGetG(v), TIFFGetB(v));
        }
      }
    }
  }
  TIFFClose(tif);
  if (!ok) {
    image.Clear();
    return Fail(error, message);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Streamed JPEG rows

struct TJPEGRows::TState {
  TJpegError err;
  jpeg_decompress_struct cinfo{};
  bool created = false;
  bool failed = false;
  std::span<const uint8_t> bytes;
  TFileView file;
  bool fromFile = false;
  // The file source: the next offset to read and the buffer.
  jpeg_source_mgr src{};
  uint64_t pos = 0;
  std::vector<JOCTET> buffer;
  int32_t width = 0, height = 0, next = 0;
  std::vector<JSAMPLE> scan;
};

namespace {

void FileSourceInit(j_decompress_ptr) {}
void FileSourceTerm(j_decompress_ptr) {}

boolean FileSourceFill(j_decompress_ptr cinfo) {
  auto* s = static_cast<TJPEGRows::TState*>(cinfo->client_data);
  size_t n = s->file.ReadAt(s->pos, s->buffer.data(), s->buffer.size());
  if (n == 0) {
    // The file ends early: an end marker lets libjpeg finish (grey rows).
    WARNMS(cinfo, JWRN_JPEG_EOF);
    s->buffer[0] = 0xFF;
    s->buffer[1] = JPEG_EOI;
    n = 2;
  } else {
    s->pos += n;
  }
  s->src.next_input_byte = s->buffer.data();
  s->src.bytes_in_buffer = n;
  return TRUE;
}

void FileSourceSkip(j_decompress_ptr cinfo, long count) {
  auto* s = static_cast<TJPEGRows::TState*>(cinfo->client_data);
  if (count <= 0) return;
  const auto n = static_cast<size_t>(count);
  if (n <= s->src.bytes_in_buffer) {
    s->src.next_input_byte += n;
    s->src.bytes_in_buffer -= n;
  } else {
    s->pos += n - s->src.bytes_in_buffer;
    s->src.bytes_in_buffer = 0;
  }
}

// (Re)starts the decoder at the first row. Nothing with a destructor here:
// longjmp comes back to the setjmp.
const char* StartJpegRows(TJPEGRows::TState& s, int64_t maxPixels) {
  if (setjmp(s.err.jump)) return s.err.message;
  if (s.created) {
    jpeg_abort_decompress(&s.cinfo);
  } else {
    jpeg_create_decompress(&s.cinfo);
    s.created = true;
    s.cinfo.client_data = &s;
    s.cinfo.mem->max_memory_to_use = 1L << 30;
  }
  if (s.fromFile) {
    s.pos = 0;
    s.src.init_source = FileSourceInit;
    s.src.fill_input_buffer = FileSourceFill;
    s.src.skip_input_data = FileSourceSkip;
    s.src.resync_to_restart = jpeg_resync_to_restart;
    s.src.term_source = FileSourceTerm;
    s.src.bytes_in_buffer = 0;
    s.src.next_input_byte = nullptr;
    s.cinfo.src = &s.src;
  } else {
    jpeg_mem_src(&s.cinfo, s.bytes.data(), static_cast<unsigned long>(s.bytes.size()));
  }
  if (jpeg_read_header(&s.cinfo, TRUE) != JPEG_HEADER_OK) return "not a JPEG image";
  if (s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK)
    return "CMYK JPEG images are not supported";
  const int64_t w = s.cinfo.image_width, h = s.cinfo.image_height;
  if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX || w * h > maxPixels) return "JPEG image too large";
  s.cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&s.cinfo);
  if (s.cinfo.output_components != 3 || int64_t(s.cinfo.output_width) != w || int64_t(s.cinfo.output_height) != h)
    return "unexpected JPEG output";
  s.width = static_cast<int32_t>(w);
  s.height = static_cast<int32_t>(h);
  s.next = 0;
  return nullptr;
}

bool ReadJpegScan(TJPEGRows::TState& s) {
  if (setjmp(s.err.jump)) return false;
  JSAMPROW rows[1] = {s.scan.data()};
  return jpeg_read_scanlines(&s.cinfo, rows, 1) == 1;
}

}  // namespace

TJPEGRows::TJPEGRows() = default;

TJPEGRows::~TJPEGRows() {
  if (s_ && s_->created) jpeg_destroy_decompress(&s_->cinfo);
}

bool TJPEGRows::Start(std::string* error, int64_t maxPixels) {
  s_->cinfo.err = jpeg_std_error(&s_->err.mgr);
  s_->err.mgr.error_exit = JpegErrorExit;
  s_->err.mgr.output_message = JpegNoOutput;
  if (const char* failed = StartJpegRows(*s_, maxPixels)) {
    if (error) *error = std::string("not a readable JPEG: ") + failed;
    s_->failed = true;
    return false;
  }
  s_->scan.assign(static_cast<size_t>(s_->width) * 3, 0);
  return true;
}

bool TJPEGRows::Open(const std::string& path, std::string* error, int64_t maxPixels) {
  if (s_ && s_->created) jpeg_destroy_decompress(&s_->cinfo);
  s_ = std::make_unique<TState>();
  if (!s_->file.Open(path, error)) {
    s_->failed = true;
    return false;
  }
  s_->fromFile = true;
  s_->buffer.resize(64 * 1024);
  return Start(error, maxPixels);
}

bool TJPEGRows::OpenMemory(std::span<const uint8_t> bytes, std::string* error, int64_t maxPixels) {
  if (s_ && s_->created) jpeg_destroy_decompress(&s_->cinfo);
  s_ = std::make_unique<TState>();
  if (bytes.size() < 4 || bytes.size() > static_cast<size_t>(ULONG_MAX)) {
    if (error) *error = "not a JPEG image";
    s_->failed = true;
    return false;
  }
  s_->bytes = bytes;
  return Start(error, maxPixels);
}

int32_t TJPEGRows::Width() const { return s_ && !s_->failed ? s_->width : 0; }
int32_t TJPEGRows::Height() const { return s_ && !s_->failed ? s_->height : 0; }

bool TJPEGRows::ReadRow(int32_t y, TRgb* dst) {
  if (!s_ || s_->failed || y < 0 || y >= s_->height) return false;
  if (y < s_->next) {
    const int32_t w = s_->width, h = s_->height;
    if (StartJpegRows(*s_, int64_t(w) * h) || s_->width != w || s_->height != h) {
      s_->failed = true;
      return false;
    }
  }
  while (s_->next <= y) {
    if (!ReadJpegScan(*s_)) {
      s_->failed = true;
      return false;
    }
    ++s_->next;
  }
  const JSAMPLE* row = s_->scan.data();
  for (int32_t x = 0; x < s_->width; ++x) dst[x] = MakeRgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
  return true;
}

// ---------------------------------------------------------------------------
// Streamed TIFF rows

struct TTIFFRows::TState {
  TFileView file;
  TTiffSource mem;
  TIFF* tif = nullptr;
  TIFFRGBAImage img{};
  bool imgBegun = false;
  bool failed = false;
  int32_t width = 0, height = 0;
  // Decoded rows blockStart .. blockStart + blockRows - 1, top first.
  std::vector<uint32_t> block;
  int32_t blockStart = -1, blockRows = 0;

  ~TState() {
    if (imgBegun) TIFFRGBAImageEnd(&img);
    if (tif) TIFFClose(tif);
  }
};

TTIFFRows::TTIFFRows() = default;
TTIFFRows::~TTIFFRows() = default;

bool TTIFFRows::Start(std::string* error, int64_t maxPixels) {
  TState& s = *s_;
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    s.failed = true;
    return false;
  };
  // A strip or a row of tiles at most; refuse larger single allocations.
  s.tif = OpenTiffClient(s.mem, tmsize_t(1) << 30);
  if (!s.tif) return fail("not a readable TIFF: " + s.mem.lastError);
  uint32_t w = 0, h = 0;
  if (TIFFGetField(s.tif, TIFFTAG_IMAGEWIDTH, &w) != 1 || TIFFGetField(s.tif, TIFFTAG_IMAGELENGTH, &h) != 1 || w == 0 ||
      h == 0)
    return fail("TIFF image without a size");
  if (w > INT32_MAX || h > INT32_MAX || int64_t(w) * h > maxPixels) return fail("TIFF image too large");
  char emsg[1024] = {};
  if (!TIFFRGBAImageOK(s.tif, emsg) || !TIFFRGBAImageBegin(&s.img, s.tif, 1, emsg))
    return fail(std::string("TIFF image not supported: ") + emsg);
  s.imgBegun = true;
  s.img.req_orientation = ORIENTATION_TOPLEFT;
  s.width = static_cast<int32_t>(w);
  s.height = static_cast<int32_t>(h);
  return true;
}

bool TTIFFRows::Open(const std::string& path, std::string* error, int64_t maxPixels) {
  s_ = std::make_unique<TState>();
  if (!s_->file.Open(path, error)) {
    s_->failed = true;
    return false;
  }
  s_->mem.file = &s_->file;
  return Start(error, maxPixels);
}

bool TTIFFRows::OpenMemory(std::span<const uint8_t> bytes, std::string* error, int64_t maxPixels) {
  s_ = std::make_unique<TState>();
  s_->mem.bytes = bytes;
  return Start(error, maxPixels);
}

int32_t TTIFFRows::Width() const { return s_ && !s_->failed ? s_->width : 0; }
int32_t TTIFFRows::Height() const { return s_ && !s_->failed ? s_->height : 0; }

bool TTIFFRows::ReadRow(int32_t y, TRgb* dst) {
  if (!s_ || s_->failed || y < 0 || y >= s_->height) return false;
  TState& s = *s_;
  if (y < s.blockStart || y >= s.blockStart + s.blockRows) {
    // Blocks of rows of about 4 MiB.
    const int32_t rows = static_cast<int32_t>(
        std::clamp<int64_t>((int64_t(1) << 20) / s.width, 1, int64_t(s.height) - y));
    s.block.assign(static_cast<size_t>(s.width) * static_cast<size_t>(rows), 0);
    s.img.row_offset = y;
    s.img.col_offset = 0;
    if (!TIFFRGBAImageGet(&s.img, s.block.data(), static_cast<uint32_t>(s.width), static_cast<uint32_t>(rows))) {
      s.failed = true;
      return false;
    }
    s.blockStart = y;
    s.blockRows = rows;
  }
  const uint32_t* src = s.block.data() + static_cast<size_t>(y - s.blockStart) * static_cast<size_t>(s.width);
  for (int32_t x = 0; x < s.width; ++x) dst[x] = MakeRgb(TIFFGetR(src[x]), TIFFGetG(src[x]), TIFFGetB(src[x]));
  return true;
}

std::unique_ptr<TRgbRows> OpenScanRows(const std::string& path, const std::string& upperExt, std::string* error) {
  if (IsJPEGExtension(upperExt)) {
    auto rows = std::make_unique<TJPEGRows>();
    if (rows->Open(path, error)) return rows;
    return nullptr;
  }
  if (IsTIFFExtension(upperExt)) {
    auto rows = std::make_unique<TTIFFRows>();
    if (rows->Open(path, error)) return rows;
    return nullptr;
  }
  if (error) *error = "not a JPEG or TIFF file";
  return nullptr;
}
