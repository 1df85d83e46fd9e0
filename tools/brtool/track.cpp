// brtool track: track files of every kind the plotter reads or writes,
// summed up as JSON or converted.
//
//   track info FILE
//       prints {"points", "start", "end" (ISO 8601 UTC, null when unknown),
//       "distance" (nautical miles along the track), "bounds": {"north",
//       "south", "east", "west"} (degrees; null without points)}
//   track convert IN OUT
//       reads IN and writes OUT (TRC or GPX), each by its extension
//
// Kinds by extension: ".TRC" the recorder's day files, ".TXT" the comma
// text of Waypoint+, ".G7T" the column text of the GPS transfer program,
// ".GPX" GPX tracks (trk/trkseg/trkpt). A text file with a datum other than
// WGS 84 is refused (there is no one to ask). A file that is damaged part
// of the way is read up to the damage, with a warning.
#include <algorithm>
#include <cstdio>
#include <string>

#include "Command.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "instruments/NMEAReport.h"
#include "navobjects/RouteFiles.h"
#include "navobjects/Trace.h"
#include "platform/AtomicFile.h"

namespace {

// Reads a track file by its extension; false (after a message) when it
// cannot be read.
bool LoadTrackFile(const std::string& path, TTrcRecords& records) {
  const TRouteFileKind kind = RouteFileKindOf(path);
  if (kind != TRouteFileKind::Track && kind != TRouteFileKind::WpText && kind != TRouteFileKind::G7t &&
      kind != TRouteFileKind::Gpx) {
    std::fprintf(stderr, "brtool track: %s: not a track file name (TRC, TXT, G7T or GPX)\n", path.c_str());
    return false;
  }
  std::string bytes, error;
  if (!ReadWholeFile(path, bytes, &error, kMaxTrackFileSize)) {
    std::fprintf(stderr, "brtool track: cannot read %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  TTrackReadResult r;
  switch (kind) {
    case TRouteFileKind::Track:
      r = ReadTrc(bytes);
      break;
    case TRouteFileKind::WpText:
      r = ReadTrackCommaText(bytes, TTrackTextOptions());
      break;
    case TRouteFileKind::G7t:
      r = ReadTrackColumnText(bytes, TTrackTextOptions());
      break;
    default:
      r = ReadTrackGpx(bytes);
      break;
  }
  switch (r.status) {
    case TTrackReadStatus::Ok:
    case TTrackReadStatus::NoPoints:  // a track of no points
      break;
    case TTrackReadStatus::Damaged:
      std::fprintf(stderr, "brtool track: %s: warning: %s (read up to there)\n", path.c_str(), r.error.c_str());
      break;
    default:
      std::fprintf(stderr, "brtool track: %s: %s\n", path.c_str(), r.error.c_str());
      return false;
  }
  records = std::move(r.records);
  return true;
}

// The time as JSON: ISO 8601 UTC, or null when the record has none.
std::string JsonTime(TDateTime t) {
  const std::string text = t >= 1 ? IsoDateTime(t) : std::string();
  return text.empty() ? "null" : JsonText(text);
}

std::string JsonDegrees(int32_t thousandthsOfMinute) { return DegreesText(thousandthsOfMinute / 60000.0); }

int RunInfo(const std::string& path) {
  TTrcRecords records;
  if (!LoadTrackFile(path, records)) return 1;
  TDateTime start = 0, end = 0;
  double distance = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    const TDateTime t = records[i].Time;
    if (t >= 1) {
      if (start == 0) start = t;
      end = t;
    }
    if (i > 0) distance += GeoDistance(TrcPosition(records[i - 1]), TrcPosition(records[i]));
  }
  std::string j = "{\"points\": " + std::to_string(records.size()) + ", \"start\": " + JsonTime(start) +
                  ", \"end\": " + JsonTime(end) + ", \"distance\": " + FloatToStrDot(distance * kRadToNM) +
                  ", \"bounds\": ";
  if (records.empty()) {
    j += "null";
  } else {
    TIntPos lo = records[0].Pos, hi = records[0].Pos;
    for (const TTrcRecord& r : records) {
      lo = {std::min(lo.Lat, r.Pos.Lat), std::min(lo.Lon, r.Pos.Lon)};
      hi = {std::max(hi.Lat, r.Pos.Lat), std::max(hi.Lon, r.Pos.Lon)};
    }
    j += "{\"north\": " + JsonDegrees(hi.Lat) + ", \"south\": " + JsonDegrees(lo.Lat) +
         ", \"east\": " + JsonDegrees(hi.Lon) + ", \"west\": " + JsonDegrees(lo.Lon) + "}";
  }
  j += "}\n";
  std::fputs(j.c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int RunConvert(const std::string& in, const std::string& outPath) {
  const TRouteFileKind outKind = RouteFileKindOf(outPath);
  if (outKind != TRouteFileKind::Track && outKind != TRouteFileKind::Gpx) {
    std::fprintf(stderr, "brtool track convert: %s: only TRC and GPX files can be written\n", outPath.c_str());
    return 2;
  }
  TTrcRecords records;
  if (!LoadTrackFile(in, records)) return 1;
  const std::string bytes =
      outKind == TRouteFileKind::Track ? EncodeTrc(records) : EncodeTrackGpx(records, FileBaseName(in));
  std::string error;
  if (!AtomicWriteFile(outPath, bytes, &error)) {
    std::fprintf(stderr, "brtool track convert: cannot write %s: %s\n", outPath.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

int RunTrack(const BrtoolArgs& args) {
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("track", args, {}, opt)) return 2;
  const std::vector<std::string>& p = opt.positional;
  if (p.size() == 2 && p[0] == "info") return RunInfo(p[1]);
  if (p.size() == 3 && p[0] == "convert") return RunConvert(p[1], p[2]);
  std::fprintf(stderr,
               "usage: brtool track info FILE\n"
               "       brtool track convert IN OUT\n");
  return 2;
}

BrtoolCommand cmd{"track",
                  "track info|convert ...   sum up a track file as JSON, or convert it (TRC, TXT, G7T, GPX in; "
                  "TRC, GPX out)",
                  RunTrack};

}  // namespace
