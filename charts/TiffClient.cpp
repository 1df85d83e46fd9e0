#include "charts/TiffClient.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/FileView.h"

uint64_t TTiffSource::Size() const { return file ? file->Size() : bytes.size(); }

namespace {

tmsize_t TiffRead(thandle_t h, void* buf, tmsize_t size) {
  auto* m = static_cast<TTiffSource*>(h);
  if (size <= 0 || m->pos >= m->Size()) return 0;
  const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(size), m->Size() - m->pos);
  const size_t got = m->file ? m->file->ReadAt(m->pos, buf, static_cast<size_t>(n))
                             : (std::memcpy(buf, m->bytes.data() + m->pos, n), static_cast<size_t>(n));
  m->pos += got;
  return static_cast<tmsize_t>(got);
}
tmsize_t TiffWrite(thandle_t, void*, tmsize_t) { return 0; }
toff_t TiffSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<TTiffSource*>(h);
  uint64_t base = 0;
  if (whence == SEEK_CUR)
    base = m->pos;
  else if (whence == SEEK_END)
    base = m->Size();
  else if (whence != SEEK_SET)
    return static_cast<toff_t>(-1);
  // Offsets are unsigned; a seek before the start wraps and is refused.
  const uint64_t to = base + off;
  if (to < base && whence != SEEK_SET) return static_cast<toff_t>(-1);
  m->pos = to;
  return to;
}
int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t h) { return static_cast<TTiffSource*>(h)->Size(); }
int TiffMap(thandle_t, void**, toff_t*) { return 0; }
void TiffUnmap(thandle_t, void*, toff_t) {}

int TiffErrorHandler(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  char text[512];
  std::vsnprintf(text, sizeof text, fmt, ap);
  auto* m = static_cast<TTiffSource*>(user);
  if (m) m->lastError = (module ? std::string(module) + ": " : std::string()) + text;
  return 1;
}
int TiffWarningHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace

TIFF* OpenTiffClient(TTiffSource& source, tmsize_t maxAlloc, const char* mode) {
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (!opts) {
    source.lastError = "out of memory";
    return nullptr;
  }
  TIFFOpenOptionsSetErrorHandlerExtR(opts, TiffErrorHandler, &source);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, TiffWarningHandler, &source);
  TIFFOpenOptionsSetMaxSingleMemAlloc(opts, maxAlloc);
  // "m": no memory mapping (the procs above have none anyway).
  TIFF* tif = TIFFClientOpenExt("image", mode, &source, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap,
                                TiffUnmap, opts);
  TIFFOpenOptionsFree(opts);
  return tif;
}
