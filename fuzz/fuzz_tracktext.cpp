// Track text comes from GPS transfer programs and from hand edits: any bytes
// must read without harm as comma text and as column text, with the datum
// question answered No or Yes by the first byte. What is read must be in
// range, carry a time that is a number, agree with its status, and read
// back unchanged from the track file written from it.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "navobjects/Trace.h"
#include "platform/Clock.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_tracktext: %s\n", what);
    std::abort();
  }
}

void CheckResult(const TTrackReadResult& r, bool answeredYes, bool& asked) {
  Check(r.error.empty() == (r.status == TTrackReadStatus::Ok), "the error text does not match the status");
  Check(r.status == TTrackReadStatus::Ok || r.status == TTrackReadStatus::Damaged || r.records.empty(),
        "records without success");
  Check(r.status != TTrackReadStatus::Ok || !r.records.empty(), "success without records");
  Check(r.status != TTrackReadStatus::Declined || (asked && !answeredYes), "declined without being asked No");
  asked = false;
  for (const TTrcRecord& rec : r.records) {
    Check(IntPosInRange(rec.Pos), "a position out of range");
    Check(std::isfinite(rec.Time), "a time that is no number");
    Check(rec.Heading == 0 && rec.SOG == 0 && rec.Depth == 0, "an imported record with motion or depth");
  }
  const TTrackReadResult back = ReadTrc(EncodeTrc(r.records));
  Check(back.status == TTrackReadStatus::Ok && back.records == r.records, "the track file does not read back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool yes = (data[0] & 1) != 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  static TManualClock clock;
  bool asked = false;
  TTrackTextOptions o;
  o.clock = &clock;
  o.ConfirmOtherDatum = [&] {
    asked = true;
    return yes;
  };
  CheckResult(ReadTrackCommaText(text, o), yes, asked);
  CheckResult(ReadTrackColumnText(text, o), yes, asked);
  return 0;
}
