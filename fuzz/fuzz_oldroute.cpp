// The old route (63-byte), positions (164-byte) and track (30-byte)
// records have no header to recognise them by: any bytes must be refused or
// read without harm, and what is read must keep through an SRW file. The
// 6-byte reals of the input must read and write back to the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "navobjects/RouteFiles.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_oldroute: %s\n", what);
    std::abort();
  }
}

void CheckRead(const TRouteReadResult& r, size_t recordSize, size_t size, const char* what) {
  Check(r.error.empty() == (r.status == TRouteReadStatus::Ok), what);
  if (r.status == TRouteReadStatus::NotThisKind) {
    Check(r.points.empty(), what);
    return;
  }
  Check(r.points.size() == size / recordSize, what);
  for (const TRoutePointRec& p : r.points) {
    Check(p.Position.Y >= -1.5708 && p.Position.Y <= 1.5708 && p.Position.X >= -3.1416 && p.Position.X <= 3.1416,
          "a position out of range");
  }
  const TRouteReadResult back = ReadSrw(EncodeSrw(r.points, 0));
  Check(back.status == TRouteReadStatus::Ok && back.points == r.points, "the points do not keep through SRW");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const TRouteReadResult route = ReadOldRoute(bytes);
  Check(route.status == TRouteReadStatus::Ok || route.status == TRouteReadStatus::NotThisKind, "route status");
  CheckRead(route, 63, size, "old route");
  const TRouteReadResult positions = ReadOldPositions(bytes);
  Check(positions.status == TRouteReadStatus::Ok || positions.status == TRouteReadStatus::NotThisKind,
        "positions status");
  CheckRead(positions, 164, size, "old positions");
  const TRouteReadResult track = ReadTrackAsPoints(bytes, 1.5e-5);
  Check(track.status != TRouteReadStatus::Damaged || size % 30 != 0, "a whole track is damaged");
  CheckRead(track, 30, size, "track");
  for (const TRoutePointRec& p : track.points) Check(p.LegSpeed != 0 && p.LegXTE == 1.5e-5, "track values");

  for (size_t off = 0; off + 6 <= size; off += 6) {
    const double v = Real48ToDouble(data + off);
    uint8_t b[6];
    Check(DoubleToReal48(v, b), "a 6-byte real does not write back");
    const bool zero = data[off] == 0;
    for (int i = 0; i < 6; ++i) Check(b[i] == (zero ? 0 : data[off + i]), "a 6-byte real writes back as other bytes");
  }
  return 0;
}
