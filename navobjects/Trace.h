// Tracks: the recorder that writes the boat's positions into one binary file
// per UTC day in the track directory ("yyyymmdd.TRC", 30-byte records, see
// TTrcRecord in RouteFiles.h), the view of the track being recorded or of an
// older track file on the chart, the export and print text, and the track
// formats of other programs: the comma text of Waypoint+ ("WP+", read), the
// column text of the GPS transfer program ("G7T", read) and GPX 1.1 tracks
// (read and written).
//
// A track file is append-only: every record is written whole and flushed as
// it is taken, and a file opened for recording (or as an import target) is
// first cut back to a whole number of records (TAppendFile keeps what it
// cuts in "<file>.torn"). A crash therefore loses at most the last point and
// never shifts the records after it.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Types.h"
#include "navobjects/RouteFiles.h"
#include "platform/AppendFile.h"
#include "platform/Canvas.h"
#include "platform/Clock.h"

class TWorldConvert;
struct TNMEAINFO;

// A day at one point a second is 86 400 records (2.6 MB); a file larger
// than this (2.2 million records) is not read as a track.
inline constexpr uint64_t kMaxTrackFileSize = uint64_t{64} << 20;

using TTrcRecords = std::vector<TTrcRecord>;

// The texts the window shows for the imports.
inline constexpr const char* kOtherDatumQuestion = "Not WGS84 Datum. Continue?";
inline constexpr const char* kTrackImportError = "WP Import Error";

// ---------------------------------------------------------------------------
// Track files without the recorder (also for brtool and the fuzz targets).
// The readers take the file's bytes, trust nothing in them and never throw.

enum class TTrackReadStatus {
  Ok,           // read to the end the format gives
  NotThisKind,  // not of the format asked for (a G7T grid other than DDD,
                // DMM and DMS included)
  Damaged,      // a line or point that cannot be read ended the reading:
                // `records` holds the ones before it
  Declined,     // the datum is not WGS 84 and the user declined
  NoPoints,     // no track point: nothing received
};

struct TTrackReadResult {
  TTrackReadStatus status = TTrackReadStatus::NotThisKind;
  TTrcRecords records;
  std::string error;  // why, for the user and for brtool (empty on Ok)
};

struct TTrackTextOptions {
  // Asked when the datum is not WGS 84 (kOtherDatumQuestion); no function
  // means No.
  std::function<bool()> ConfirmOtherDatum;
  // A point whose date or time cannot be read gets this clock's UTC time
  // ("now"); nullptr: the program clock.
  const IClock* clock = nullptr;
};

// Track records: whole records only, in file order. Records whose position
// is out of range are left out (Damaged, with the others); a torn last
// record (a crash while recording) is not a record: Ok.
TTrackReadResult ReadTrc(std::string_view bytes);
// The comma text of Waypoint+: a "Datum" line (a datum other than "WGS84"
// asks), then "TP" or "TrackPoint" lines of the items tag, angle format
// ("D", "DM", "DMS"; anything else reads the numbers as degrees),
// latitude, longitude, date "mm/dd/yyyy", time "hh:mm:ss" and a segment
// flag. An empty line, the end of the text or a point line of 6 items or
// fewer ends the reading; a line of another tag, or one whose position
// cannot be read, ends it as damage. Items are split at commas only,
// honouring double quotes. Records carry heading, speed and depth 0.
TTrackReadResult ReadTrackCommaText(std::string_view bytes, const TTrackTextOptions& options);
// The column text of the GPS transfer program: a header with "V" (a line
// holding "G7T"), "D" (the datum; other than "WGS-84" asks) and "M" (the
// grid " DDD", " DMM" or " DMS"; any other grid is refused) lines, then
// "T" lines at fixed columns (other lines are passed over) with the date
// and time as "Www Mmm dd hh:mm:ss yyyy". Columns are bounded to the line;
// a point line that cannot be read is damage.
TTrackReadResult ReadTrackColumnText(std::string_view bytes, const TTrackTextOptions& options);
// GPX (1.1, 1.0 or without a namespace): every trkpt of every trk and
// trkseg in order, its "time" (ISO 8601; unknown: 0) and our extension
// values for speed, heading and depth when present.
TTrackReadResult ReadTrackGpx(std::string_view bytes);

// The records as a track file.
std::string EncodeTrc(const TTrcRecords& records);
// A GPX 1.1 document with one trk (named `name` when it is not empty) of
// one trkseg: lat, lon, the time in whole seconds of UTC when it is known,
// and our extension element with the speed and heading (when either is
// not 0) and the depth (when known).
std::string EncodeTrackGpx(const TTrcRecords& records, std::string_view name);

// The position of a record, in radians.
TFPoint TrcPosition(const TTrcRecord& r);
// A position as a record holds it: the latitude held to +-90 degrees, the
// longitude brought into [-180, 180] degrees (the caller passes finite
// values).
TIntPos TrackIntPos(const TFPoint& pos);
// The record the recorder writes for the navigation state: heading in
// tenths of a degree, speed (0 when unknown), the receiver's UTC time, and
// the depth below the surface (depth below the transducer + `transducerDepth`)
// in tenths of a metre, 0 when the depth is unknown or exactly 0. Values
// beyond the fields saturate; nothing that is not a number is written.
TTrcRecord MakeTrackRecord(const TNMEAINFO& info, double transducerDepth);
// One line of the export text (print style off):
//   yyyy-mm-dd,hh:mm:ss, dd.ddddd,ddd.ddddd,spd.s,dep.d
// dates and times in ISO form and UTC (this layer knows no user locale);
// or of the print text: date, time, LatToStr, LonToStr, speed and depth in
// 5 characters, every "°" made ",".
std::string TrackTextLine(const TTrcRecord& r, bool printStyle);
// The heading of the print text.
inline constexpr const char* kTrackPrintHeading = "Date      ,Time    , Lat        , Long        ,  Spd, Depth";

// The pen of the drawn track: the colour of "Track Color", width
// max("Track Width", 1), solid when "Track Width" is above 0 and dashed
// otherwise.
TPen TrackPen(TRGB color, int trackWidth);

// The day file's name: the track directory, "/", DateToYYYYMMDD and ".TRC".
std::string TrackFileName(const std::string& trackDir, TDateTime day);

// ---------------------------------------------------------------------------
// The recorder and viewer

// Settings the window gives ("Program Setup").
struct TTraceSettings {
  int32_t TrackTime = 30;                         // "Track Time": seconds at least between points
  double TrackDistance = 1.5706706731410453e-05;  // "Track Distance": radians of arc (100 m); 0: no test
  double TrackCompDev = 0.08726646259971647;      // "Track CompDev": radians (5 degrees); 0: no test
  double TransducerDepth = 0.5;                   // "Transducer Depth": metres added to a known depth
  std::string TrackDir;                           // "Track Dir", resolved; created when missing
};

// The last point of a track import (the download names its file by its
// date).
struct TLastImported {
  bool Valid = false;  // false when nothing was imported
  TDateTime Time = 0;  // UTC
  TFPoint Pos;
};

class TTrace {
 public:
  // `converter`: the main window's, from positions to chart pixels (may be
  // null: nothing is placed on the screen). `clock` decides the days and
  // the times between points.
  explicit TTrace(TWorldConvert* converter, IClock& clock = Clock());
  ~TTrace();  // Stop
  TTrace(const TTrace&) = delete;
  TTrace& operator=(const TTrace&) = delete;

  TTraceSettings Settings;
  // Told when a recording cannot open or write its file, with the reason:
  // once, and again only after a write succeeded in between (LastError
  // keeps the last reason).
  std::function<void(const std::string&)> OnWriteError;

  // ---- recording ----

  // On: StartRecording; off: Stop. The TRACK switch, and the program start
  // with the switch's saved state.
  void SetRecording(bool on, const TNMEAINFO& info);
  // Opens (creating the directory and the file when missing) today's UTC
  // day file and loads its points: recording goes on at its end, the first
  // new point measured against its last one (in a new file, against the
  // position `info` gives: that position is not a point itself, the first
  // point follows when the boat has gone "Track Distance" from it; the
  // course test passes for it). A view is stopped first; a
  // recording already running is left as it is (true). False when the file
  // cannot be opened (OnWriteError told).
  bool StartRecording(const TNMEAINFO& info);
  // Closes the open file and forgets the track. A recording that wrote no
  // record removes its file; a viewed file is never removed.
  void Stop();
  // Once per tick while recording: takes a point when "Track Time" has
  // passed (monotonic clock) and the boat has gone "Track Distance" and
  // turned "Track CompDev" since the last point (a limit of 0 drops its
  // test), or at once when it stopped (last point above 0.5 knot, now
  // exactly 0). A point on a new UTC day goes into the new day's file.
  void RecordTick(const TNMEAINFO& info);

  // ---- viewing ----

  // Shows a track file (a view open before is stopped first). Nothing
  // while recording (false): the window refuses before. False when the
  // file cannot be read.
  bool OpenForView(const std::string& fileName);
  // Takes the points of a track file's bytes (whole records; positions out
  // of range left out), then places the shown part.
  void LoadPoints(std::string_view bytes);
  // Adds a point to Points and to the drawn line. A point exactly at the
  // last one, one that is not finite, or one more than 1 radian from the
  // last in either coordinate (a jump) is not added; the last point becomes
  // P all the same (not when not finite).
  void AddPoint(const TFPoint& p);
  // The chart view's geographic area (normalised TFRect): the shown range
  // is found again and its pixels placed.
  void SetViewArea(const TFRect& area);
  // Places the shown range's points anew (after the converter's chart or
  // zoom changed). Only the shown range is converted; a point converted
  // before on the same chart is only scaled to the zoom.
  void RebuildScreen();
  // The shown part as one line in panel pixels (screen points minus
  // `scroll`) with `pen` (TrackPen), when Visible; legs wholly beyond an
  // edge of the canvas are left out.
  void Draw(ICanvas& canvas, TPoint scroll, const TPen& pen) const;

  // ---- text ----

  // One line per record of the open file (TrackTextLine) appended to
  // `lines`. False when no file is open or it cannot be read.
  bool ToText(std::vector<std::string>& lines, bool printStyle) const;
  // Imports a text track into `target`, appending to a target that exists
  // (after cutting it back to whole records) and creating it otherwise. On
  // success the target is opened for viewing; otherwise "WP Import Error"
  // is shown and the records read before the failure stay in the target.
  // No points is a failure (nothing received). A failure to read the
  // source or write the target is NotThisKind or Damaged with the reason.
  TTrackReadResult ImportCommaText(const std::string& source, const std::string& target,
                                   const TTrackTextOptions& options);
  TTrackReadResult ImportColumnText(const std::string& source, const std::string& target,
                                    const TTrackTextOptions& options);
  const TLastImported& LastImported() const { return lastImported_; }

  // ---- the main window's first calls ----

  // StartRecording without a navigation record: the first position offered
  // is taken at once.
  void Start();
  // Recording.
  bool Active() const { return isOpen_ && !viewing_; }
  TWorldConvert* Converter() const { return converter_; }

  // ---- state ----

  bool IsOpen() const { return isOpen_; }
  bool Viewing() const { return viewing_; }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }
  const std::string& FileName() const { return fileName_; }
  // The UTC day of the file being recorded; 0 otherwise.
  TDateTime FileDay() const { return fileDay_; }
  const TFRect& ViewArea() const { return viewArea_; }
  // Of the last recorded point.
  double LastHeading() const { return lastHeading_; }
  double LastSOG() const { return lastSOG_; }
  // The last position offered to the track.
  const TFPoint& LastPoint() const { return lastPoint_; }
  // Every point of the open track, in file order.
  const TIntPosArray& Points() const { return points_; }
  int32_t Count() const { return static_cast<int32_t>(points_.size()); }
  // Pixels of Points[FirstShown, LastShown): the points in the view and two
  // more on either side, so that the line runs on beyond the view. A point
  // that cannot be placed is kNoPixel (the line breaks there).
  const TPointArray& ScreenPoints() const { return screen_; }
  int32_t ScreenCount() const { return static_cast<int32_t>(screen_.size()); }
  int32_t FirstShown() const { return firstShown_; }
  int32_t LastShown() const { return lastShown_; }
  const std::string& LastError() const { return lastError_; }

  static constexpr TPoint kNoPixel{INT32_MIN, INT32_MIN};

 private:
  void Clear();
  void ReportError(const std::string& text);
  bool InView(int32_t index) const;
  void CheckChartPixels();
  void PlaceCrowdedPoints(int32_t first, int32_t last);
  TPoint Pixel(int32_t index);
  void FindShownRange();
  void PlaceNewPoint();
  TTrackReadResult Import(const std::string& source, const std::string& target,
                          TTrackReadResult (*read)(std::string_view, const TTrackTextOptions&),
                          const TTrackTextOptions& options);
  TTrackReadResult FinishImport(TTrackReadResult r, const std::string& target);
  bool AppendRecords(const std::string& target, const TTrcRecords& records, std::string& error);

  TWorldConvert* converter_;
  IClock& clock_;
  TAppendFile file_;  // the day file while recording
  std::string fileName_;
  TDateTime fileDay_ = 0;
  TFRect viewArea_;
  int64_t viewLat_[2] = {1, 0};  // the area in thousandths of a minute
  int64_t viewLon_[2] = {1, 0};
  double lastHeading_ = 0;
  double lastSOG_ = 0;
  // Monotonic time before which no point is taken.
  TMonoTime nextTime_ = TMonoTime::min();
  // The first point of a recording passes the course test whatever the
  // heading did since the start.
  bool firstPoint_ = false;
  bool isOpen_ = false;
  bool viewing_ = false;
  bool visible_ = false;
  bool loading_ = false;
  TFPoint lastPoint_;
  TIntPosArray points_;
  TPointArray screen_;
  int32_t firstShown_ = 0;
  int32_t lastShown_ = 0;  // exclusive
  int32_t firstInView_ = -1;
  int32_t lastInView_ = -1;
  // The points' chart pixels at zoom 1, kept once converted (NaN: not
  // yet): a zoom or a scroll then only scales them. They hold while the
  // converter maps two probe positions (the ends of the shown range when
  // they were taken) where it did then; another chart clears them.
  std::vector<TFPoint> chartPixels_;
  TFPoint probes_[2];
  TFPoint probePixels_[2] = {{std::nan(""), 0}, {std::nan(""), 0}};
  mutable std::vector<TCanvasPoint> drawBuffer_;
  std::string lastError_;
  bool errorTold_ = false;
  TLastImported lastImported_;
};
