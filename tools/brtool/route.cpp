// brtool route: route and position files of every kind the plotter reads,
// shown as JSON or converted from one kind to another.
//
//   route info FILE [--positions] [--number N]
//       prints {"kind", "name", "points": [{"name", "lat", "lon" (degrees),
//       "comment", "speed" (knots), "xte" (nautical miles)}, ...]}
//   route convert IN OUT [--positions] [--number N] [--name-mode M]
//       reads IN and writes OUT (SRW, TXT, G7T or GPX), each by its
//       extension
//
// --positions reads (and writes) the text formats as positions and GPX as
// waypoints; --number picks the route of a G7T file (else its first route)
// and numbers the route of TXT and G7T output (default 1); --name-mode is
// the "AP Capability" the text formats clean names with (default 0, upper
// case; 2 keeps them as they are).
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "Command.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "navobjects/RouteFiles.h"
#include "platform/AtomicFile.h"
#include "platform/TextBasics.h"

namespace {


struct TRouteArgs {
  bool positions = false;
  int number = -1;  // -1: not given
  TRouteTextOptions options;
};

struct TLoaded {
  std::string kind;
  std::string name;
  TRoutePoints points;
};

// The number an entry of ListG7tRoutes begins with, and the name after it.
bool SplitG7tRoute(const std::string& entry, int& number, std::string& name) {
  const size_t blank = entry.find(' ');
  const std::optional<int32_t> n = TryStrToInt(entry.substr(0, blank));
  if (!n || *n < 0) return false;
  number = *n;
  name = blank == std::string::npos ? std::string() : entry.substr(blank + 1);
  return true;
}

// Reads a route file by its extension; false (after a message) when it
// cannot be read.
bool LoadRouteFile(const std::string& path, const TRouteArgs& a, TLoaded& out) {
  const TRouteFileKind kind = RouteFileKindOf(path);
  if (kind == TRouteFileKind::Unknown) {
    std::fprintf(stderr, "brtool route: %s: not a route file name (SRW, RTE, SWP, TRC, TXT, G7T or GPX)\n",
                 path.c_str());
    return false;
  }
  std::string bytes, error;
  if (!ReadWholeFile(path, bytes, &error, kMaxRouteFileSize)) {
    std::fprintf(stderr, "brtool route: cannot read %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  out.kind = FoldCase(UpperExt(path).substr(1));  // "srw", "rte", ...
  out.name = FileBaseName(path);
  TRouteReadResult r;
  switch (kind) {
    case TRouteFileKind::Srw:
      // A file without the magic is read as an old file, as the plotter does.
      if (IsSrw(bytes)) {
        r = ReadSrw(bytes);
      } else {
        out.kind = a.positions ? "swp" : "rte";
        r = a.positions ? ReadOldPositions(bytes) : ReadOldRoute(bytes);
      }
      break;
    case TRouteFileKind::OldRoute:
      r = ReadOldRoute(bytes);
      break;
    case TRouteFileKind::OldPositions:
      r = ReadOldPositions(bytes);
      break;
    case TRouteFileKind::Track:
      r = ReadTrackAsPoints(bytes, a.options.DefaultXTE);
      break;
    case TRouteFileKind::WpText:
      r = ReadWpText(bytes, !a.positions, a.options);
      break;
    case TRouteFileKind::G7t: {
      // The route asked for, else the first; its name from the route list.
      int number = a.positions ? -1 : a.number;
      for (const std::string& entry : a.positions ? std::vector<std::string>() : ListG7tRoutes(bytes)) {
        int n = 0;
        std::string name;
        if (!SplitG7tRoute(entry, n, name) || (number >= 0 && n != number)) continue;
        number = n;
        out.name = name;
        break;
      }
      if (!a.positions && number < 0) {
        std::fprintf(stderr, "brtool route: %s has no route (--positions reads its waypoints)\n", path.c_str());
        return false;
      }
      r = ReadG7t(bytes, number, a.options);
      break;
    }
    default:  // GPX
      r = ReadGpx(bytes, !a.positions, a.options);
      if (!a.positions && r.status == TRouteReadStatus::Ok) {
        const std::string name = GpxRouteName(bytes);
        if (!name.empty()) out.name = name;
      }
      break;
  }
  if (r.status != TRouteReadStatus::Ok) {
    std::fprintf(stderr, "brtool route: %s: %s\n", path.c_str(), r.error.empty() ? "cannot be read" : r.error.c_str());
    return false;
  }
  out.points = std::move(r.points);
  return true;
}

std::string JsonNumber(double v) { return std::isfinite(v) ? FloatToStrDot(v) : "null"; }

int RunInfo(const std::string& path, const TRouteArgs& a) {
  TLoaded l;
  if (!LoadRouteFile(path, a, l)) return 1;
  std::string j = "{\"kind\": " + JsonText(l.kind) + ", \"name\": " + JsonText(l.name) + ", \"points\": [";
  for (size_t i = 0; i < l.points.size(); ++i) {
    const TRoutePointRec& p = l.points[i];
    j += std::string(i ? ",\n" : "\n") + "  {\"name\": " + JsonText(p.Name) +
         ", \"lat\": " + DegreesText(p.Position.Y * kRadToDeg) + ", \"lon\": " + DegreesText(p.Position.X * kRadToDeg) +
         ", \"comment\": " + JsonText(p.Comment) + ", \"speed\": " + JsonNumber(p.LegSpeed) +
         ", \"xte\": " + JsonNumber(p.LegXTE * kRadToNM) + "}";
  }
  j += l.points.empty() ? "]}\n" : "\n]}\n";
  std::fputs(j.c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int RunConvert(const std::string& in, const std::string& outPath, const TRouteArgs& a) {
  const TRouteFileKind outKind = RouteFileKindOf(outPath);
  if (outKind != TRouteFileKind::Srw && outKind != TRouteFileKind::WpText && outKind != TRouteFileKind::G7t &&
      outKind != TRouteFileKind::Gpx) {
    std::fprintf(stderr, "brtool route convert: %s: only SRW, TXT, G7T and GPX files can be written\n",
                 outPath.c_str());
    return 2;
  }
  TLoaded l;
  if (!LoadRouteFile(in, a, l)) return 1;
  const int number = a.positions ? -1 : a.number >= 0 ? a.number : 1;
  std::string bytes;
  switch (outKind) {
    case TRouteFileKind::Srw:
      bytes = EncodeSrw(l.points, NowLocal());
      break;
    case TRouteFileKind::WpText:
      bytes = EncodeWpText(l.points, number, FileBaseName(outPath), a.options);
      break;
    case TRouteFileKind::G7t:
      bytes = EncodeG7t(l.points, number, l.name, a.options);
      break;
    default:
      bytes = EncodeGpx(l.points, !a.positions, l.name);
      break;
  }
  std::string error;
  if (!AtomicWriteFile(outPath, bytes, &error)) {
    std::fprintf(stderr, "brtool route convert: cannot write %s: %s\n", outPath.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

int RunRoute(const BrtoolArgs& all) {
  BrtoolArgs args;
  TRouteArgs a;
  for (const std::string& s : all) {
    if (s == "--positions")
      a.positions = true;
    else
      args.push_back(s);
  }
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("route", args, {"number", "name-mode"}, opt)) return 2;
  if (const std::string* v = opt.Get("number")) {
    const std::optional<int32_t> n = TryStrToInt(*v);
    if (!n || *n < 0) {
      std::fprintf(stderr, "brtool route: --number needs a route number (0 or more)\n");
      return 2;
    }
    a.number = *n;
  }
  if (const std::string* v = opt.Get("name-mode")) {
    const std::optional<int32_t> m = TryStrToInt(*v);
    if (!m || *m < 0 || *m > 4) {
      std::fprintf(stderr, "brtool route: --name-mode takes 0 to 4\n");
      return 2;
    }
    a.options.DeviceNameMode = *m;
  }
  const std::vector<std::string>& p = opt.positional;
  if (p.size() == 2 && p[0] == "info") return RunInfo(p[1], a);
  if (p.size() == 3 && p[0] == "convert") return RunConvert(p[1], p[2], a);
  std::fprintf(stderr,
               "usage: brtool route info FILE [--positions] [--number N]\n"
               "       brtool route convert IN OUT [--positions] [--number N] [--name-mode M]\n");
  return 2;
}

BrtoolCommand cmd{"route",
                  "route info|convert ...   show a route or positions file as JSON, or convert it "
                  "(SRW, RTE, SWP, TRC, TXT, G7T, GPX)",
                  RunRoute};

}  // namespace
