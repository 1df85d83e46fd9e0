// Route files: the comma text format ("WP+" text) and the column text
// format of the GPS transfer program (G7T). Both are Windows-1252 text
// lines; both writers end lines with CR LF, both readers take CR LF and LF.
#include <charconv>
#include <cmath>

#include "foundation/GenUtil.h"
#include "foundation/TextCodec.h"
#include "navobjects/RouteFiles.h"
#include "navobjects/RouteFilesDetail.h"
#include "platform/TextBasics.h"

namespace route_files {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && FoldCase(text.substr(0, prefix.size())) == prefix;
}

bool EqualsNoCase(std::string_view text, std::string_view lower) {
  return text.size() == lower.size() && StartsWithNoCase(text, lower);
}

std::vector<std::string> CommaItems(std::string_view line) {
  std::vector<std::string> items(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    std::string& item = items.back();
    if (quoted) {
      if (c != '"')
        item += c;
      else if (i + 1 < line.size() && line[i + 1] == '"')
        item += line[++i];
      else
        quoted = false;
    } else if (c == ',') {
      items.emplace_back();
    } else if (c == '"' && item.empty()) {
      quoted = true;
    } else {
      item += c;
    }
  }
  return items;
}

std::string_view Columns(std::string_view line, size_t first, size_t last) {
  if (first < 1 || first > line.size() || last < first) return {};
  return line.substr(first - 1, std::min(last, line.size()) - first + 1);
}

}  // namespace route_files

using namespace route_files;

namespace {

constexpr size_t kMaxNameChars = 40;       // comma text names and comments
constexpr size_t kMaxG7tNameChars = 15;    // G7T names (in a field of 16)
constexpr size_t kMaxRouteNameChars = 67;  // "R  nn " + name within characters 4 to 73

// Asks the datum question; no function means No.
bool OtherDatumConfirmed(const TRouteTextOptions& options) {
  return options.ConfirmOtherDatum && options.ConfirmOtherDatum();
}

TRouteReadResult DatumDeclined() {
  return Failure(TRouteReadStatus::Declined, "the datum is not WGS 84 and reading it was declined");
}

// The point's name and comment ready for a text format, in Windows-1252.
struct TTextPoint {
  std::string name;
  std::string comment;
  TFPoint position;
};

// `numericNames`: the numeric mode names the points by their numbers (the
// comma text does; the G7T columns only clean the names).
TTextPoint TextPoint(const TRoutePoints& points, size_t i, int routeNumber, const TRouteTextOptions& options,
                     size_t maxName, bool numericNames) {
  const TRoutePointRec& p = points[i];
  TTextPoint t;
  if (numericNames && options.DeviceNameMode == dnNumeric)
    t.name = std::to_string(i + 1);
  else if (TrimSpaceTab(p.Name).empty())
    t.name = UnnamedPointName(routeNumber, i);
  else
    t.name = Utf8ToCp1252(DeviceName(p.Name, options.DeviceNameMode, maxName));
  t.comment = Utf8ToCp1252(DeviceComment(p.Comment, options.DeviceNameMode, kMaxNameChars));
  t.position = WritablePosition(p.Position);
  return t;
}

// ---------------------------------------------------------------------------
// Comma text

// The packed angle format an item names: "D" 0, "DM" 1, "DMS" 2; anything
// else reads the number as degrees, which is format 0 as well.
int AngleFormatOf(std::string_view item) {
  item = TrimSpaceTab(item);
  if (EqualsNoCase(item, "dm")) return 1;
  if (EqualsNoCase(item, "dms")) return 2;
  return 0;
}

// One point line, or false when the line does not match (too few items,
// another tag, a number that cannot be read or a position out of range).
bool ReadPointLine(const std::vector<std::string>& items, std::string_view tag, bool utf8, TRoutePointRec& p) {
  if (items.size() < 7) return false;
  const std::string_view first = TrimSpaceTab(items[0]);
  if (first != tag && first != "RoutePoint" && first != "Waypoint") return false;
  const int format = AngleFormatOf(items[1]);
  const std::optional<double> lat = TryStrToFloatDot(items[3]);
  const std::optional<double> lon = TryStrToFloatDot(items[4]);
  if (!lat || !lon || !PositionFromDegrees(AngleToDegrees(format, *lat), AngleToDegrees(format, *lon), p.Position))
    return false;
  auto text = [utf8](std::string_view s) { return utf8 ? DecodeFileText(s) : Cp1252ToUtf8(s); };
  p.Name = text(TrimSpaceTab(items[2]));
  // A comment with commas that another program did not quote is still one
  // comment.
  std::string comment;
  for (size_t k = 7; k < items.size(); ++k) comment += (k > 7 ? "," : "") + items[k];
  p.Comment = BarsToLineBreaks(text(comment));
  return true;
}

// ---------------------------------------------------------------------------
// G7T

std::string_view FromColumn(std::string_view line, size_t first) {
  return first >= 1 && first <= line.size() ? line.substr(first - 1) : std::string_view();
}

// A whole number of degrees or minutes, with blanks around it.
bool G7tWhole(std::string_view text, int max, double& out) {
  const std::optional<int32_t> v = TryStrToInt(text);
  if (!v || *v < 0 || *v > max) return false;
  out = *v;
  return true;
}

// A number of minutes or seconds below 60, or of degrees up to `max`.
bool G7tDecimal(std::string_view text, double max, double& out) {
  const std::optional<double> v = TryStrToFloatDot(text);
  if (!v || *v < 0 || *v >= max) return false;
  out = *v;
  return true;
}

// The hemisphere letter (either case): +1 for `plus`, -1 for `minus`, 0 for
// anything else.
int Hemisphere(std::string_view column, char plus, char minus) {
  if (column.size() != 1) return 0;
  const char c = column[0];
  return c == plus || c == plus + ('a' - 'A') ? 1 : c == minus || c == minus + ('a' - 'A') ? -1 : 0;
}

// The fixed columns of a "W" line in each grid (format 0 " DDD", 1 " DMM",
// 2 " DMS"): hemisphere, then degrees, minutes and seconds as
// (first, last) column pairs (0 where the grid has no such part).
struct TG7tColumns {
  size_t hemi;
  size_t degFirst, degLast, minFirst, minLast, secFirst, secLast;
};
struct TG7tGrid {
  TG7tColumns lat, lon;
  size_t comment;
};
constexpr TG7tGrid kG7tGrids[3] = {
    {{20, 21, 30, 0, 0, 0, 0}, {32, 33, 43, 0, 0, 0, 0}, 70},
    {{20, 21, 23, 24, 30, 0, 0}, {32, 33, 35, 37, 43, 0, 0}, 70},
    {{20, 21, 22, 24, 25, 27, 31}, {33, 34, 36, 38, 39, 41, 45}, 72},
};

// One coordinate of a "W" line, in degrees.
bool G7tAngle(std::string_view line, const TG7tColumns& c, char plus, char minus, int maxDeg, double& out) {
  const int sign = Hemisphere(Columns(line, c.hemi, c.hemi), plus, minus);
  if (sign == 0) return false;
  double deg = 0, min = 0, sec = 0;
  const std::string_view degText = Columns(line, c.degFirst, c.degLast);
  if (c.minFirst == 0) {
    if (!G7tDecimal(degText, maxDeg + 1, deg)) return false;
  } else {
    if (!G7tWhole(degText, maxDeg, deg)) return false;
    const std::string_view minText = Columns(line, c.minFirst, c.minLast);
    if (c.secFirst == 0) {
      if (!G7tDecimal(minText, 60, min)) return false;
    } else if (!G7tWhole(minText, 59, min) || !G7tDecimal(Columns(line, c.secFirst, c.secLast), 60, sec)) {
      return false;
    }
  }
  out = sign * (deg + min / 60 + sec / 3600);
  return std::fabs(out) <= maxDeg;
}

bool ReadWLine(std::string_view line, int format, TRoutePointRec& p) {
  const TG7tGrid& g = kG7tGrids[format];
  double lat = 0, lon = 0;
  if (!G7tAngle(line, g.lat, 'N', 'S', 90, lat) || !G7tAngle(line, g.lon, 'E', 'W', 180, lon)) return false;
  if (!PositionFromDegrees(lat, lon, p.Position)) return false;
  p.Name = Cp1252ToUtf8(TrimSpaceTab(Columns(line, 4, 19)));
  p.Comment = BarsToLineBreaks(Cp1252ToUtf8(FromColumn(line, g.comment)));
  return true;
}

// The route number an "R" line begins with at character 4, or -1.
int RouteNumberOf(std::string_view rLine) {
  std::string_view s = TrimSpaceTab(FromColumn(rLine, 4));
  int n = -1;
  const auto res = std::from_chars(s.data(), s.data() + s.size(), n);
  if (res.ec != std::errc() || n < 0 || (res.ptr != s.data() + s.size() && *res.ptr != ' ')) return -1;
  return n;
}

// Reads the header of a G7T file: the "V" line first, then any lines up to
// the first "W" or "R" line (which `lines` gives next), among them "D" (the
// datum) and "M" (the grid). False (with the reason) when the lines are not
// a G7T file we can read.
struct TG7tHeader {
  int format = -1;
  bool wgs84 = false;
};

bool ReadG7tHeader(TTextLines& lines, TG7tHeader& h, std::string& error) {
  std::string_view line;
  while (lines.Next(line) && TrimSpaceTab(line).empty()) {
  }
  if (line.empty() || line[0] != 'V' || line.find("G7T") == std::string_view::npos) {
    error = "not a G7T file (no \"Version 2:G7T\" line)";
    return false;
  }
  while (lines.Next(line)) {
    if (line.empty()) continue;
    if (line[0] == 'W' || line[0] == 'R') {
      lines.Unread();
      break;
    }
    if (line[0] == 'D') h.wgs84 = line.find("WGS-84") != std::string_view::npos;
    if (line[0] == 'M') {
      const std::string_view grid = line.substr(1);
      h.format = StartsWithNoCase(grid, " ddd")   ? 0
                 : StartsWithNoCase(grid, " dmm") ? 1
                 : StartsWithNoCase(grid, " dms") ? 2
                                                  : -1;
      // Other grids (UTM and the national ones) would read as garbage.
      if (h.format < 0) {
        error = "the grid \"" + Cp1252ToUtf8(TrimSpaceTab(grid.substr(0, 40))) + "\" is not one of DDD, DMM and DMS";
        return false;
      }
    }
  }
  if (h.format < 0) {
    error = "the G7T file has no grid (\"M\") line";
    return false;
  }
  return true;
}

// Ten-thousandths of a minute of the coordinate, rounded to the nearest (so
// that 04.25' is not written 04.2499' for the binary fraction just below
// it); the minutes carry into the degrees at 60'.
std::string G7tAngleText(double degrees, char plus, char minus, int degreeDigits) {
  const int64_t units = RoundToInt64(std::fabs(degrees) * 600000.0);
  const char hemi = degrees < 0 && units != 0 ? minus : plus;
  const int64_t minutes = units % 600000;
  return hemi + IntToStrPad(units / 600000, '0', degreeDigits) + " " + IntToStrPad(minutes / 10000, '0', 2) + "." +
         IntToStrPad(minutes % 10000, '0', 4);
}

}  // namespace

// ---------------------------------------------------------------------------
// Comma text

TRouteReadResult ReadWpText(std::string_view bytes, bool isRoute, const TRouteTextOptions& options) {
  // Text saved with a UTF-8 byte-order mark is UTF-8; otherwise the names
  // are Windows-1252.
  const bool utf8 = bytes.starts_with("\xEF\xBB\xBF");
  if (utf8) bytes.remove_prefix(3);
  TTextLines lines(bytes);
  std::string_view line;
  if (!lines.Next(line) || line.size() > kMaxTextLine || !StartsWithNoCase(line, "datum"))
    return Failure(TRouteReadStatus::NotThisKind, "not a text route file (no \"Datum\" line)");
  const std::vector<std::string> datum = CommaItems(line);
  if (!(datum.size() >= 2 && EqualsNoCase(TrimSpaceTab(datum[1]), "wgs84")) && !OtherDatumConfirmed(options))
    return DatumDeclined();

  const std::string_view tag = isRoute ? "RP" : "WP";
  TRoutePoints points;
  // A route names itself in an "RN" line; in a positions file the second
  // line is already the first point. Other files begin with their points.
  if (lines.Next(line) && (line.size() > kMaxTextLine || TrimSpaceTab(CommaItems(line)[0]) != "RN")) lines.Unread();
  // The first line that is not a point line ends the import (a number that
  // cannot be read included): the points before it are the file's.
  while (lines.Next(line) && line.size() <= kMaxTextLine) {
    TRoutePointRec p;
    if (!ReadPointLine(CommaItems(line), tag, utf8, p)) break;
    p.LegSpeed = options.DefaultSpeed;
    p.LegXTE = options.DefaultXTE;
    points.push_back(std::move(p));
  }
  return TextImportResult(std::move(points), "point line");
}

std::string EncodeWpText(const TRoutePoints& points, int routeNumber, std::string_view baseName,
                         const TRouteTextOptions& options) {
  std::string out = "Datum,WGS84,WGS84,0,0,0,0,0\r\n";
  const bool route = routeNumber >= 0;
  if (route) out += "RN," + std::to_string(routeNumber) + "," + Utf8ToCp1252(PunctToDash(baseName)) + "\r\n";
  for (size_t i = 0; i < points.size(); ++i) {
    const TTextPoint t = TextPoint(points, i, routeNumber, options, kMaxNameChars, true);
    out += route ? "RP" : "WP";
    out += ",D," + t.name + "," + RadToAngleText(0, t.position.Y) + "," + RadToAngleText(0, t.position.X) +
           ",01/01/2002,01:01:01," + t.comment + "\r\n";
  }
  return out;
}

// ---------------------------------------------------------------------------
// G7T

TRouteReadResult ReadG7t(std::string_view bytes, int routeNumber, const TRouteTextOptions& options) {
  TTextLines lines(bytes);
  TG7tHeader h;
  std::string error;
  if (!ReadG7tHeader(lines, h, error)) return Failure(TRouteReadStatus::NotThisKind, error);
  if (!h.wgs84 && !OtherDatumConfirmed(options)) return DatumDeclined();

  std::string_view line;
  if (routeNumber >= 0) {
    bool found = false;
    while (!found && lines.Next(line)) found = line.starts_with('R') && RouteNumberOf(line) == routeNumber;
    if (!found) return Failure(TRouteReadStatus::NoPoints, "the file has no route " + std::to_string(routeNumber));
  }
  // "W" lines up to the first line of another kind; the "c" (continuation)
  // and "#" (remark) lines of real files are passed over, and so are blank
  // lines before the first point.
  TRoutePoints points;
  while (lines.Next(line)) {
    if (TrimSpaceTab(line).empty()) {
      if (points.empty()) continue;
      break;
    }
    if (line[0] == 'c' || line[0] == '#') continue;
    if (line[0] != 'W' || line.size() > kMaxTextLine) break;
    TRoutePointRec p;
    if (!ReadWLine(line, h.format, p)) {
      // A point line that cannot be read is damage, not the end of the list.
      if (points.empty()) break;
      return Failure(TRouteReadStatus::Damaged, "line " + std::to_string(lines.Number()) + " cannot be read",
                     std::move(points));
    }
    p.LegSpeed = options.DefaultSpeed;
    p.LegXTE = options.DefaultXTE;
    points.push_back(std::move(p));
  }
  return TextImportResult(std::move(points), routeNumber >= 0 ? "route point" : "waypoint");
}

std::vector<std::string> ListG7tRoutes(std::string_view bytes) {
  // More routes than any list can show are not listed.
  constexpr size_t kMaxRoutes = 10000;
  TTextLines lines(bytes);
  TG7tHeader h;
  std::string error;
  std::vector<std::string> routes;
  if (!ReadG7tHeader(lines, h, error)) return routes;
  std::string_view line;
  while (routes.size() < kMaxRoutes && lines.Next(line)) {
    if (!line.starts_with('R')) continue;
    std::string_view text = Columns(line, 4, 73);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    routes.push_back(Cp1252ToUtf8(text));
  }
  return routes;
}

std::string EncodeG7t(const TRoutePoints& points, int routeNumber, std::string_view routeName,
                      const TRouteTextOptions& options) {
  std::string wLines;
  for (size_t i = 0; i < points.size(); ++i) {
    TTextPoint t = TextPoint(points, i, routeNumber, options, kMaxG7tNameChars, false);
    // Names are cut to 15 bytes here too: the point numbers of the numeric
    // mode and of unnamed points can be longer.
    t.name.resize(std::min(t.name.size(), kMaxG7tNameChars), ' ');
    t.name.resize(kMaxG7tNameChars + 1, ' ');
    wLines += "W  " + t.name + G7tAngleText(t.position.Y * kRadToDeg, 'N', 'S', 2) + " " +
              G7tAngleText(t.position.X * kRadToDeg, 'E', 'W', 3) + " Wed Jan 01 00:01:00 2003 " + t.comment + "\r\n";
  }
  std::string out = "Version 2:G7T\r\nD WGS-84\r\nM DMM\r\n\r\n" + wLines;
  if (routeNumber >= 0) {
    // The name stays on its line and within the characters the route list shows.
    std::string name = Utf8ToCp1252(ReplaceChars(routeName, "\r\n", U' '));
    name.resize(std::min(name.size(), kMaxRouteNameChars));
    const std::string number = IntToStrPad(routeNumber, '0', 2);
    out += "\r\nR  " + number + " " + name + "\r\n" + wLines + "E  " + number + "\r\n";
  }
  return out;
}
