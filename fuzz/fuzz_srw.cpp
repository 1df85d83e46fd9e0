// SRW route and position files come from disks, other machines and old
// program versions: any bytes must read without harm, what is read must
// agree with the status, and the points read must write and read back
// exactly (SRW holds every field of a point).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "navobjects/RouteFiles.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_srw: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  int32_t headerValue = 0;
  const TRouteReadResult r = ReadSrw(bytes, &headerValue);
  Check(r.status == TRouteReadStatus::Ok || r.status == TRouteReadStatus::Damaged ||
            r.status == TRouteReadStatus::NotThisKind,
        "an unexpected status");
  Check(r.error.empty() == (r.status == TRouteReadStatus::Ok), "the error text does not match the status");
  Check(IsSrw(bytes) == (r.status != TRouteReadStatus::NotThisKind), "IsSrw disagrees with ReadSrw");
  // Every record takes at least 84 bytes of the file.
  Check(r.points.size() <= (size < kSrwHeaderSize ? 0 : (size - kSrwHeaderSize) / kSrwRecordFixedSize),
        "more points than the file has room for");
  if (r.status == TRouteReadStatus::NotThisKind) {
    Check(r.points.empty(), "points from bytes that are not SRW");
    return 0;
  }
  const std::string again = EncodeSrw(r.points, 45000.5, headerValue);
  int32_t headerAgain = 0;
  const TRouteReadResult back = ReadSrw(again, &headerAgain);
  Check(back.status == TRouteReadStatus::Ok, "a written file does not read back");
  Check(headerAgain == headerValue, "the header value changed");
  Check(back.points == r.points, "the points changed on the way through a written file");
  Check(EncodeSrw(back.points, 45000.5, headerValue) == again, "writing again gives other bytes");
  return 0;
}
