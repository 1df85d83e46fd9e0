// brtool follow ROUTE NMEA: follows a route with the positions of an NMEA
// log, as the plotter's update tick does, and prints the guidance after
// every position fix as one JSON object per line:
//
//   {"time": "2024-05-01T10:00:00Z", "lat": 59.1, "lon": 10.2,
//    "wpIndex": 1, "wpName": "Bravo", "wpLat": ..., "wpLon": ...,
//    "bearing": 12.3456, "distance": 1.234567, "xte": -0.012345,
//    "ttg": 741.0, "switched": false}
//
// time: the fix's UTC date and time (null when the log gave none); lat,
// lon, wpLat, wpLon: degrees; wpIndex: the active waypoint's place in the
// route, from 0; bearing: degrees true to the waypoint; distance and xte:
// nautical miles (xte negative left of the leg); ttg: seconds to the
// waypoint at the speed over ground (359999 at most); switched: this fix
// moved following to another waypoint. When following ends (the route's
// end reached or left) one last object {"time", "lat", "lon", "ended":
// true} follows and later fixes are not reported.
//
// Following starts, as the user's activation does, at the first fix (a
// route whose last leg is nearest is reversed first).
//
//   --preload S      "Route Preload", seconds (default 20)
//   --force METRES   "Route Force" (default 50)
//   --speed KN       "Default Speed" of legs without one (default 10)
//   --xte NM         "Default XTE" of legs without a limit (default 0.05)
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "Command.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "instruments/NMEA.h"
#include "instruments/NMEAReport.h"
#include "navobjects/RouteFiles.h"
#include "navobjects/Routes.h"
#include "platform/AtomicFile.h"

namespace {

constexpr const char* kUsage =
    "usage: brtool follow ROUTE NMEA [--preload S] [--force METRES] [--speed KN] [--xte NM]\n";

// Reads the points of a route file by its extension; false after a
// message. Positions files are not routes.
bool ReadRoutePoints(const std::string& path, const TRouteTextOptions& options, TRoutePoints& points) {
  const TRouteFileKind kind = RouteFileKindOf(path);
  if (kind == TRouteFileKind::Unknown || kind == TRouteFileKind::OldPositions) {
    std::fprintf(stderr, "brtool follow: %s: not a route file name (SRW, RTE, TRC, TXT, G7T or GPX)\n", path.c_str());
    return false;
  }
  std::string bytes, error;
  if (!ReadWholeFile(path, bytes, &error, kMaxRouteFileSize)) {
    std::fprintf(stderr, "brtool follow: cannot read %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  TRouteReadResult r;
  switch (kind) {
    case TRouteFileKind::Srw:
      // A file without the magic is an old route file, as the plotter reads it.
      r = IsSrw(bytes) ? ReadSrw(bytes) : ReadOldRoute(bytes);
      break;
    case TRouteFileKind::OldRoute:
      r = ReadOldRoute(bytes);
      break;
    case TRouteFileKind::Track:
      r = ReadTrackAsPoints(bytes, options.DefaultXTE);
      break;
    case TRouteFileKind::WpText:
      r = ReadWpText(bytes, true, options);
      break;
    case TRouteFileKind::G7t: {
      // The file's first route.
      int number = -1;
      for (const std::string& entry : ListG7tRoutes(bytes)) {
        const std::optional<int32_t> n = TryStrToInt(entry.substr(0, entry.find(' ')));
        if (n && *n >= 0) {
          number = *n;
          break;
        }
      }
      if (number < 0) {
        std::fprintf(stderr, "brtool follow: %s holds no route\n", path.c_str());
        return false;
      }
      r = ReadG7t(bytes, number, options);
      break;
    }
    default:
      r = ReadGpx(bytes, true, options);
      break;
  }
  // A damaged file is not navigated by what was left of it.
  if (r.status != TRouteReadStatus::Ok) {
    std::fprintf(stderr, "brtool follow: %s: %s\n", path.c_str(), r.error.empty() ? "cannot be read" : r.error.c_str());
    return false;
  }
  if (r.points.size() < 2) {
    std::fprintf(stderr, "brtool follow: %s: a route needs two points or more\n", path.c_str());
    return false;
  }
  points = std::move(r.points);
  return true;
}

// A number option: false (after a message) when it is not a finite number
// of at least `min`.
bool NumberOption(const BrtoolOptions& opt, const char* name, double min, double& value) {
  const std::string* v = opt.Get(name);
  if (!v) return true;
  const std::optional<double> d = TryStrToFloatDot(*v);
  if (!d || !std::isfinite(*d) || *d < min) {
    std::fprintf(stderr, "brtool follow: --%s needs a number of %s or more\n", name, FloatToStrDot(min).c_str());
    return false;
  }
  value = *d;
  return true;
}

std::string Number(double v, int decimals, double scale = 1.0) {
  const double x = v * scale;
  return IsKnown(v) && std::isfinite(x) ? FloatToStrFixedDot(decimals, x) : "null";
}

std::string TimeText(TDateTime t) {
  const std::string iso = t > 0 ? IsoDateTime(t) : std::string();
  return iso.empty() ? "null" : JsonText(iso);
}

std::string FixHead(const TNMEAINFO& nav) {
  return "{\"time\": " + TimeText(nav.GpsDateTime) + ", \"lat\": " + Number(nav.Pos.Y, 9, kRadToDeg) +
         ", \"lon\": " + Number(nav.Pos.X, 9, kRadToDeg);
}

std::string GuidanceLine(const TNMEAINFO& nav, bool switched) {
  return FixHead(nav) + ", \"wpIndex\": " + std::to_string(nav.DestIndex) + ", \"wpName\": " + JsonText(nav.DestName) +
         ", \"wpLat\": " + Number(nav.DestPos.Y, 9, kRadToDeg) + ", \"wpLon\": " + Number(nav.DestPos.X, 9, kRadToDeg) +
         ", \"bearing\": " + Number(nav.BearingToDest, 4, kRadToDeg) +
         ", \"distance\": " + Number(nav.RangeToDest, 6, kRadToNM) + ", \"xte\": " + Number(nav.XTE, 6, kRadToNM) +
         ", \"ttg\": " + Number(nav.TimeToDest, 1, 86400.0) + ", \"switched\": " + (switched ? "true" : "false") +
         "}\n";
}

int RunFollow(const BrtoolArgs& args) {
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("follow", args, {"preload", "force", "speed", "xte"}, opt)) return 2;
  if (opt.positional.size() != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  TRoute route;
  double forceMetres = route.Follow.Force * kRadToMetre;
  double xteNm = route.Options.DefaultXTE * kRadToNM;
  if (!NumberOption(opt, "preload", 0, route.Follow.PreloadSeconds) || !NumberOption(opt, "force", 0, forceMetres) ||
      !NumberOption(opt, "speed", 0, route.Options.DefaultSpeed) || !NumberOption(opt, "xte", 0, xteNm))
    return 2;
  route.Follow.Force = forceMetres / kRadToMetre;
  route.Options.DefaultXTE = xteNm / kRadToNM;

  TRoutePoints points;
  if (!ReadRoutePoints(opt.positional[0], route.Options, points)) return 1;
  route.InsertList(std::move(points), 0);

  const std::string& nmeaPath = opt.positional[1];
  std::FILE* f = std::fopen(nmeaPath.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "brtool follow: cannot open %s\n", nmeaPath.c_str());
    return 1;
  }

  TNMEALineBuffer buffer;
  TNMEA& parser = buffer.Parser();
  TNMEAINFO& nav = parser.Info;
  bool started = false, ended = false;
  parser.OnAccepted = [&](const TNdxString&) {
    // Only sentences that gave a position (RMC, GGA, GLL, ...) are fixes.
    if (ended || !(parser.Updated & kSetPos)) return;
    if (!started) {
      started = true;
      route.Start(nav, true);
      // The first leg is where following begins, not a switch.
      route.WasLegChanged();
    }
    route.UpdateCycle(nav);
    std::string line;
    if (route.Following) {
      line = GuidanceLine(nav, route.WasLegChanged());
    } else {
      ended = true;
      line = FixHead(nav) + ", \"ended\": true}\n";
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
  };

  char block[4096];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) buffer.Feed(block, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  // A last sentence without a line end still counts.
  buffer.FeedText("\r\n");
  if (failed) {
    std::fprintf(stderr, "brtool follow: read error in %s\n", nmeaPath.c_str());
    return 1;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

BrtoolCommand cmd{"follow",
                  "follow ROUTE NMEA       follow a route with an NMEA log, guidance as JSON lines "
                  "[--preload S] [--force METRES] [--speed KN] [--xte NM]",
                  RunFollow};

}  // namespace
