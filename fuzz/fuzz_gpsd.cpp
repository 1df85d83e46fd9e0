// What a gpsd daemon (or anything listening where one is expected) sends
// is untrusted: any bytes, in any pieces, must go through the filter that
// takes its NMEA out of its JSON without harm, and give the same text
// however they are cut. The texts taken from its JSON stay short and
// printable.
//
// The first byte chooses how the rest is cut into pieces.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "instruments/GpsdStream.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_gpsd: %s\n", what);
    std::abort();
  }
}

bool Printable(const std::string& s) {
  for (char c : s)
    if (c < 0x20 || c >= 0x7F) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t piece = data[0] == 0 ? size : data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  TGpsdStream whole;
  const std::string all = whole.Take(bytes);
  TGpsdStream cut;
  std::string pieces;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    pieces += cut.Take(bytes.substr(at, piece));
    if (std::optional<std::string> e = cut.TakeError())
      Check(e->size() <= TGpsdStream::kMaxText && Printable(*e), "error text");
  }
  Check(all == pieces, "the text depends on how the bytes were cut");
  Check(all.size() <= bytes.size(), "more text than bytes");
  Check(whole.Release() == cut.Release(), "the release depends on the cut");
  Check(whole.Release().size() <= TGpsdStream::kMaxText && Printable(whole.Release()), "release text");

  for (const char* name : {"class", "message", "release"})
    if (std::optional<std::string> v = JsonStringMember(bytes, name, 16)) Check(v->size() <= 16 && Printable(*v), name);
  return 0;
}
