// WCI chart files come from other people: any bytes must be refused or shown
// as far as they go, never read or written out of bounds. Windows at any
// step must agree with the whole image, the exported BMP must hold the same
// rows, and a replaced calibration text must read back with the image
// unchanged.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "charts/WCIctrl.h"
#include "foundation/TextCodec.h"
#include "platform/Questions.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_wci: %s\n", what);
    std::abort();
  }
}

class TSilent : public IUserQuestions {
 public:
  int MessageBox(const std::string&, const std::string&, unsigned flags) override { return DefaultAnswer(flags); }
};

std::string TempPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/fuzz_wci_" + std::to_string(::getpid()) + name;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  Check(f != nullptr, "cannot write the input file");
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

std::string ReadFile(const std::string& path) {
  std::string s;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return s;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  std::fclose(f);
  return s;
}

// Decodes are bounded so that one input cannot take seconds.
constexpr int64_t kMaxPixels = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TSilent silent;
  SetUserQuestions(&silent);
  static const std::string path = TempPath(".wci");
  static const std::string bmp = TempPath(".bmp");
  WriteFile(path, data, size);

  TWCIDecoder d;
  const int header = d.ReadHeaderOnly(path);
  const int64_t opened = d.Open(path);
  Check((opened > 0) == (header == 1), "open and header reading disagree");
  if (opened <= 0) return 0;
  Check(opened == static_cast<int64_t>(size), "open does not give the file size");
  const int32_t w = d.Width();
  const int32_t h = d.Height();
  Check(w > 0 && h > 0, "an open chart without pixels");
  if (int64_t{w} * h > kMaxPixels) {
    // Large: a few rows only.
    std::vector<uint8_t> row(static_cast<size_t>(w));
    for (int32_t y = 0; y < h; y += std::max(1, h / 8)) Check(d.DecodeLines(0, y, w, 1, 1, row.data(), row.size()) == 1, "row");
    return 0;
  }

  std::vector<uint8_t> all(static_cast<size_t>(w) * h);
  Check(d.DecodeLines(0, 0, w, h, 1, all.data(), static_cast<size_t>(w)) == h, "whole image");

  // Windows chosen from the first bytes of the input.
  for (size_t i = 0; i < 3; ++i) {
    const uint8_t* p = data + 4 * i;
    const bool have = size > 4 * i + 4;
    const int32_t x0 = have ? p[0] % w : 0;
    const int32_t y0 = have ? p[1] % h : 0;
    const int32_t ww = have ? 1 + p[2] % (w - x0) : w;
    const int32_t step = have ? 1 + p[3] % 5 : 1;
    std::vector<uint8_t> stream;
    const int32_t reached = d.DecodeWindow({x0, y0}, {ww, h}, stream, step);
    const int32_t lines = WindowLineCount(y0, h, step, h);
    Check(reached == y0 + lines * step, "window result");
    const size_t stride = static_cast<size_t>(BitmapStride(ww));
    Check(stream.size() >= stride * lines, "window stream size");
    for (int32_t k = 0; k < lines; ++k)
      Check(std::memcmp(stream.data() + k * stride, all.data() + static_cast<size_t>(y0 + k * step) * w + x0, ww) == 0,
            "a window differs from the whole image");
  }

  // The exported BMP: bottom-up rows of the whole image.
  const int64_t errors = d.ErrorCount();
  const int64_t rows = d.ExportBMP(path, bmp);
  Check(rows == h, "export");
  const std::string f = ReadFile(bmp);
  const size_t stride = static_cast<size_t>(BitmapStride(w));
  Check(f.size() == 1078 + stride * h, "exported size");
  for (int32_t y = 0; y < h; ++y)
    Check(std::memcmp(f.data() + 1078 + stride * (h - 1 - y), all.data() + static_cast<size_t>(y) * w, w) == 0,
          "exported row");

  // A new calibration text, image unchanged. (Not for damaged files: a row
  // whose data would end past the end of the file may read on into the
  // appended text. A row whose data begins inside the header, where the
  // text offset changes, counts as damage.)
  if (errors > 0) return 0;
  const std::string text = "NA=Fuzz\r\nCR=" + std::string(reinterpret_cast<const char*>(data), std::min<size_t>(size, 40));
  const int64_t grown = d.ReplaceHeaderText(path, text);
  Check(grown > static_cast<int64_t>(size), "replace text");
  Check(d.Open(path) == grown, "reopen after replace");
  std::string expected = EncodeFileText(text, TTextEncoding::Cp1252);
  std::erase(expected, '\x1A');
  Check(d.HeaderText() == DecodeFileText(expected), "replaced text");
  Check(d.HeaderCheckMatches(), "check value of the replaced text");
  std::vector<uint8_t> again(all.size());
  Check(d.DecodeLines(0, 0, w, h, 1, again.data(), static_cast<size_t>(w)) == h && again == all,
        "image changed by a new text");
  return 0;
}
