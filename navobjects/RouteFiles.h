// Route and position files, read into and written from plain point records,
// without the map shapes: the route collection (Routes.h) merges what a
// reader returns and hands its points to a writer. Every reader takes the
// file's bytes, trusts nothing in them (counts, lengths, columns, numbers)
// and never throws; text inside the programs is UTF-8, names and comments in
// the files are Windows-1252.
//
// Formats:
//   SRW   binary route and position files (also the start files
//         "T_RTALD.SRW" and "T_WPALD.SRW"); read and written.
//   RTE   old routes, 63-byte records; read only.
//   SWP   old positions, 164-byte records; read only.
//   TRC   30-byte track records (the track recorder's files), read as an
//         unnamed point list; the record itself is read and written here.
//   TXT   the comma text exchange format ("WP+"); read and written.
//   G7T   the column text exchange format of the GPS transfer program;
//         read and written.
//   GPX   GPX 1.1 (rte/rtept for a route, wpt for positions); read and
//         written, for exchange with every other navigation program.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Types.h"

// Route and position files are small; a file larger than this is not one.
inline constexpr uint64_t kMaxRouteFileSize = uint64_t{256} << 20;

// One route point or position.
struct TRoutePointRec {
  TFPoint Position{};     // radians, X longitude, Y latitude
  double LegSpeed = 0;    // knots; 0: the "Default Speed" applies
  double LegXTE = 0;      // cross-track limit, radians of arc
  int32_t Reserved1 = 0;  // kept as read, never interpreted
  int32_t Reserved2 = 0;
  std::string Name;       // UTF-8
  std::string Comment;    // UTF-8; line breaks as "\r\n" or "\n"
  friend bool operator==(const TRoutePointRec&, const TRoutePointRec&) = default;
};
using TRoutePoints = std::vector<TRoutePointRec>;

// What a reader made of a file.
enum class TRouteReadStatus {
  Ok,           // points read (possibly none, for an SRW file of 0 records)
  NotThisKind,  // the bytes are not of the format asked for
  Damaged,      // of the format, but cut short or inconsistent: `points`
                // holds the whole records before the damage (an SRW
                // record of sound length holding a value that is no
                // number is left out, and the records after it are read)
  Declined,     // the user declined the datum question
  NoPoints,     // a text format with no point line ("WP Import Error")
};

struct TRouteReadResult {
  TRouteReadStatus status = TRouteReadStatus::NotThisKind;
  TRoutePoints points;
  std::string error;  // why, for the user and for brtool (empty on Ok)
};

// ---- SRW ----

inline constexpr uint32_t kSrwMagic = 0x01575253;  // "SRW" followed by byte 1
inline constexpr size_t kSrwHeaderSize = 24;
inline constexpr size_t kSrwRecordFixedSize = 84;  // without name and comment bytes

// True when the bytes begin with the SRW magic.
bool IsSrw(std::string_view bytes);
// Reads an SRW file. The header's record count is checked against the
// file's size (no more than (size - 24) / 84 records; a negative count is
// 0), each record's length against its name and comment lengths (it must
// be 84 + both) and the bytes left; reading stops at the first record that
// does not fit (status Damaged, the records before it kept). Bytes after
// the counted records are ignored. `headerValue`, when given, receives the
// header's value at offset 20.
TRouteReadResult ReadSrw(std::string_view bytes, int32_t* headerValue = nullptr);
// The SRW file for the points (names and comments cut to 65535 bytes of
// Windows-1252), saved at `savedAt`; little-endian whatever the host.
std::string EncodeSrw(const TRoutePoints& points, TDateTime savedAt, int32_t headerValue = 0);

// ---- old binary formats (read only) ----

// Old route file: 63-byte records; the size must be a whole number of
// records and every position in range, else NotThisKind.
TRouteReadResult ReadOldRoute(std::string_view bytes);
// Old positions file: 164-byte records, checked the same way.
TRouteReadResult ReadOldPositions(std::string_view bytes);
// Track records (TTrcRecord below) as unnamed points: the record's speed as
// the leg speed (0 becomes 0.1 knot) and `defaultXte` as the limit.
// Positions out of range: NotThisKind; a last record cut short (a crash
// while recording): Damaged with the whole records.
TRouteReadResult ReadTrackAsPoints(std::string_view bytes, double defaultXte);

// Whether a compact position is one: latitude within +-90 degrees,
// longitude within +-180 degrees.
bool IntPosInRange(const TIntPos& p);

// ---- TRC track records ----

// One record of a daily track file ("yyyymmdd.TRC": records only, no
// header; little-endian):
//   offset 0  int32   latitude, thousandths of a minute of arc
//          4  int32   longitude, the same unit
//          8  int16   heading, tenths of a degree
//         10  4 bytes reserved: written 0, never read
//         14  6 bytes speed over ground in knots, a 6-byte real
//         20  double  UTC date and time of the fix (TDateTime)
//         28  int16   depth, tenths of a metre; 0 when no depth is known
inline constexpr size_t kTrcRecordSize = 30;
struct TTrcRecord {
  TIntPos Pos;
  int16_t Heading = 0;  // tenths of a degree
  double SOG = 0;       // knots
  TDateTime Time = 0;   // UTC
  int16_t Depth = 0;    // tenths of a metre; 0: none
  friend bool operator==(const TTrcRecord&, const TTrcRecord&) = default;
};
// The record held by the 30 bytes at `bytes` (the caller has checked that
// they are there). Nothing in them is trusted: the position may be out of
// range (IntPosInRange), the time any double.
TTrcRecord DecodeTrcRecord(const uint8_t* bytes);
// The 30 bytes of a record, written byte by byte whatever the host's order.
// No value that is not a number reaches the file: such a speed or time is
// written 0; a speed too large for the 6-byte real is written as the
// largest it holds, with its sign.
std::string EncodeTrcRecord(const TTrcRecord& r);

// The 6-byte real of the old formats.
double Real48ToDouble(const uint8_t bytes[6]);
// Nearest 6-byte real; values too small become 0, NaN gives 0, infinities
// and values too large give false.
bool DoubleToReal48(double value, uint8_t bytes[6]);

// ---- text formats ----

// Settings the text readers and writers need.
struct TRouteTextOptions {
  double DefaultSpeed = 10;                 // knots, for read points
  double DefaultXTE = 1.454441043328608e-5;  // radians, for read points
  int DeviceNameMode = 0;                   // "AP Capability" (MakeDeviceName)
  // Asked when the datum is not WGS 84 ("Not WGS84 Datum. Continue?"); no
  // function means No.
  std::function<bool()> ConfirmOtherDatum;
};

// The comma text format. A positions file has no "RN" line; `isRoute`
// tells which tag the point lines carry ("RP" or "WP"); "RoutePoint" and
// "Waypoint" are accepted too. Points keep the file's order, names and
// duplicates (the collection decides what to skip). Lines longer than
// kMaxTextLine end the import like any line that does not match, and so
// does a line whose number cannot be read or whose position is out of
// range. Items are split at commas only (a name may hold blanks), an item
// in double quotes may hold commas; names are trimmed of blanks; "||" in a
// comment becomes CR LF. The text is Windows-1252, or UTF-8 after a
// byte-order mark.
inline constexpr size_t kMaxTextLine = 4096;
TRouteReadResult ReadWpText(std::string_view bytes, bool isRoute, const TRouteTextOptions& options);
// Writes the comma text format: a route (`routeNumber` >= 0, with
// `baseName` for the "RN" line) or positions (`routeNumber` < 0), lines
// ended by CR LF. Names and comments are cleaned with MakeDeviceName in
// `options.DeviceNameMode` and cut to 40 characters; a comment's line
// breaks are written "||" in the "As is" mode (dashes in the others); in
// the numeric mode the names are the point numbers (from 1). An unnamed
// route point is "R" + route number + point number (3 digits), an unnamed
// position "WP" + point number. Longitudes are written in [-180, 180].
std::string EncodeWpText(const TRoutePoints& points, int routeNumber, std::string_view baseName,
                         const TRouteTextOptions& options);

// The column text format of the GPS transfer program. `routeNumber` < 0
// reads the waypoint section (the "W" lines before any "R" line); otherwise
// the route whose "R" line carries that number. The header needs a "V"
// line with "G7T" first and an "M" line of the grids DDD, DMM or DMS (other
// grids: NotThisKind); a "D" line without "WGS-84" asks the datum question.
// Columns are bounded to the line; the hemisphere letters (N/S, E/W) give
// the signs; "c" and "#" lines between points are passed over. A "W" line
// that cannot be read after the first point is damage (Damaged).
TRouteReadResult ReadG7t(std::string_view bytes, int routeNumber, const TRouteTextOptions& options);
// The routes of a file: characters 4 to 73 of every "R" line after the
// header (each begins with the two-digit route number), at most 10000;
// none for a file that is not G7T.
std::vector<std::string> ListG7tRoutes(std::string_view bytes);
// Writes positions (`routeNumber` < 0) or a route with its number and name,
// in the DMM grid, lines ended by CR LF. Minutes are rounded to the nearest
// ten-thousandth (carried into the degrees at 60'); names are cleaned and
// cut to 15 characters (also in the numeric mode), comments to 40, and
// unnamed points named, as in the comma text.
std::string EncodeG7t(const TRoutePoints& points, int routeNumber, std::string_view routeName,
                      const TRouteTextOptions& options);

// ---- GPX 1.1 ----

// Reads the first route of a GPX file (`isRoute`), else its waypoints; a
// point's "cmt" is its comment ("desc" when there is no "cmt"). Leg speed,
// limit and the reserved values come from our own extension elements when
// present (so our files round-trip), else the speed and limit are
// `options.DefaultSpeed` and `options.DefaultXTE`, as for the comma text.
TRouteReadResult ReadGpx(std::string_view bytes, bool isRoute, const TRouteTextOptions& options);
// Writes a GPX 1.1 document: one "rte" named `name` with its "rtept"s
// (`isRoute`), else one "wpt" per point; `name` is the document's metadata
// name as well. Every point carries our extension element with its leg
// speed, limit and reserved values.
std::string EncodeGpx(const TRoutePoints& points, bool isRoute, std::string_view name);
// The name of the first route of a GPX file ("" when it has none).
std::string GpxRouteName(std::string_view bytes);
// Degrees as the GPX writer gives them: the shortest decimal text (no
// exponent) that reads back as the same double.
std::string DegreesText(double degrees);

// ---- by file name ----

enum class TRouteFileKind { Srw, OldRoute, OldPositions, Track, WpText, G7t, Gpx, Unknown };
// The kind a file name's extension names (".SRW", ".RTE", ".SWP", ".TRC",
// ".TXT", ".G7T", ".GPX", any case).
TRouteFileKind RouteFileKindOf(std::string_view fileName);
