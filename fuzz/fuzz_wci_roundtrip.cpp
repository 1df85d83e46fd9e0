// Any palettised image written as WCI must read back as the same pixels
// (renumbered in the order the file meets them) with the same colours,
// whatever its size, colours and compression ratio.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "charts/WCIWriter.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_wci_roundtrip: %s\n", what);
    std::abort();
  }
}

std::string TempPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/fuzz_wci_rt_" + std::to_string(::getpid()) + name;
}

// An image held in memory.
class TMemoryImage : public TWCIImageSource {
 public:
  int32_t W = 1, H = 1;
  bool Bottom = false;
  std::vector<TRgb> Palette;
  std::vector<uint8_t> Pixels;
  int32_t Width() const override { return W; }
  int32_t Height() const override { return H; }
  int ColourCount() const override { return static_cast<int>(Palette.size()); }
  TRgb Colour(int i) const override { return Palette[i]; }
  bool ReadRow(int32_t y, uint8_t* dst) override {
    std::copy_n(Pixels.data() + static_cast<size_t>(y) * W, W, dst);
    return true;
  }
  bool BottomUp() const override { return Bottom; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = TempPath(".wci");
  FuzzedDataProvider in(data, size);
  TMemoryImage im;
  im.W = in.ConsumeIntegralInRange<int32_t>(1, 600);
  im.H = in.ConsumeIntegralInRange<int32_t>(1, 40);
  im.Bottom = in.ConsumeBool();
  const int colours = in.ConsumeIntegralInRange<int>(1, 256);
  for (int i = 0; i < colours; ++i) im.Palette.push_back(0xFF000000u | in.ConsumeIntegral<uint32_t>());
  TWCIWriter writer;
  writer.ConfirmReplace = false;
  writer.CompressionRatio = in.ConsumeFloatingPointInRange<double>(-1, 20);
  // Pixels: runs of a colour, taken from the input until it ends.
  im.Pixels.resize(static_cast<size_t>(im.W) * im.H);
  for (size_t at = 0; at < im.Pixels.size();) {
    const size_t n = in.ConsumeIntegralInRange<size_t>(1, in.ConsumeBool() ? 3 : 3000);
    const uint8_t c = static_cast<uint8_t>(in.ConsumeIntegralInRange<int>(0, colours - 1));
    for (size_t k = 0; k < n && at < im.Pixels.size(); ++k) im.Pixels[at++] = c;
  }

  const int64_t written = writer.Convert(im, path, {"NA=Fuzz", in.ConsumeRandomLengthString(100)});
  Check(written > 0, "conversion failed");

  std::vector<int> map(256, -1);
  int n = 0;
  for (int32_t i = 0; i < im.H; ++i) {
    const int32_t y = im.Bottom ? im.H - 1 - i : i;
    for (int32_t x = 0; x < im.W; ++x) {
      const uint8_t p = im.Pixels[static_cast<size_t>(y) * im.W + x];
      if (map[p] < 0) map[p] = n++;
    }
  }
  Check(writer.ColourMap() == map, "colour numbering");

  TWCIDecoder d;
  Check(d.Open(path) == written, "the written file does not open");
  Check(d.Width() == im.W && d.Height() == im.H && d.ColourCount() == n, "size or colours");
  Check(d.Depth() == BitsNeeded(static_cast<uint32_t>(n - 1)), "depth");
  Check(d.HeaderCheckMatches(), "check value");
  TColourTable table;
  d.FillColourTable(table);
  for (int i = 0; i < 256; ++i)
    if (map[i] >= 0) Check(table[map[i]] == im.Palette[i], "colour");
  std::vector<uint8_t> back(im.Pixels.size());
  Check(d.DecodeLines(0, 0, im.W, im.H, 1, back.data(), static_cast<size_t>(im.W)) == im.H, "decode");
  for (size_t i = 0; i < back.size(); ++i) Check(back[i] == map[im.Pixels[i]], "pixel");
  Check(d.ErrorCount() == 0, "row errors in a fresh file");
  ::unlink(path.c_str());
  return 0;
}
