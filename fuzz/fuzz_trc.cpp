// Track files come from disks that crashed, other programs and other
// people: any bytes must read without harm, as records and as a track shown
// on a chart. The records read must be in range and read back as written
// (also through GPX); the line placed on the screen must cover exactly the
// shown range, and points added one by one must leave the same line as
// placing the whole range anew.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "navobjects/Trace.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_trc: %s\n", what);
    std::abort();
  }
}

// A Mercator chart of 1000 x 800 pixels over 10 to 11 E, 59.5 to 60 N.
TWorldConvert& Chart() {
  static TWorldConvert* w = [] {
    auto* c = new TWorldConvert;
    RGeoRef ref;
    ref.Projection = kProjMercator;
    c->SetupProjection(ref);
    const double r = kDegToRad;
    c->SetRefPoints(
        {{0, 0, 10 * r, 60 * r}, {1000, 0, 11 * r, 60 * r}, {0, 800, 10 * r, 59.5 * r}, {1000, 800, 11 * r, 59.5 * r}});
    c->Fit();
    return c;
  }();
  return *w;
}

const std::string& TempFile() {
  static const std::string path = "/tmp/fuzz_trc_" + std::to_string(::getpid()) + ".TRC";
  return path;
}

void CheckRecords(std::string_view bytes) {
  const TTrackReadResult r = ReadTrc(bytes);
  Check(r.status == TTrackReadStatus::Ok || r.status == TTrackReadStatus::Damaged, "an unexpected status");
  Check(r.records.size() <= bytes.size() / kTrcRecordSize, "more records than the bytes hold");
  for (const TTrcRecord& rec : r.records) {
    Check(IntPosInRange(rec.Pos), "a position out of range");
    const std::string enc = EncodeTrcRecord(rec);
    Check(enc.size() == kTrcRecordSize, "a record of another size");
    TTrcRecord again = DecodeTrcRecord(reinterpret_cast<const uint8_t*>(enc.data()));
    Check(std::isfinite(again.Time), "a time that is no number was written");
    if (std::isfinite(rec.Time)) Check(again == rec, "a record does not read back as written");
  }
  const TTrackReadResult gpx = ReadTrackGpx(EncodeTrackGpx(r.records, "fuzz"));
  Check(gpx.records.size() == r.records.size(), "GPX reads back another number of points");
  for (size_t i = 0; i < r.records.size(); ++i) {
    Check(gpx.records[i].Pos == r.records[i].Pos, "a position moved through GPX");
    Check(gpx.records[i].Depth == r.records[i].Depth, "a depth changed through GPX");
  }
}

void CheckScreen(const TTrace& t) {
  Check(0 <= t.FirstShown() && t.FirstShown() <= t.LastShown() && t.LastShown() <= t.Count(), "a bad shown range");
  Check(t.ScreenCount() == t.LastShown() - t.FirstShown(), "the screen does not hold the shown range");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckRecords(bytes);

  // Through a file, as the window opens one (not flushed to the disk: the
  // file lives only for this input).
  std::FILE* f = std::fopen(TempFile().c_str(), "wb");
  if (!f) return 0;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !written) return 0;
  TTrace t(&Chart());
  Check(t.OpenForView(TempFile()), "a track file cannot be opened");
  Check(t.Count() <= static_cast<int32_t>(size / kTrcRecordSize), "more points than records");
  const TFRect view{11 * kDegToRad, 60 * kDegToRad, 10 * kDegToRad, 59.5 * kDegToRad};
  t.SetViewArea(view);
  CheckScreen(t);
  TRecordingCanvas canvas;
  t.Draw(canvas, {3, 4}, TrackPen(0xFF, 0));

  // The points again, one by one, from the last back: the line kept by
  // appending must be the line placed anew.
  const TIntPosArray points = t.Points();
  for (auto p = points.rbegin(); p != points.rend(); ++p) {
    t.AddPoint(IntPosToFPoint(*p));
    CheckScreen(t);
  }
  const TPointArray kept = t.ScreenPoints();
  t.SetViewArea(view);
  Check(t.ScreenPoints() == kept, "appending left another line than placing anew");
  t.Stop();
  std::remove(TempFile().c_str());
  return 0;
}
