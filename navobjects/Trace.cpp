// Tracks: the recorder, the view, the text and the track formats of other
// programs (see Trace.h).
#include "navobjects/Trace.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "geodesy/CTrans.h"
#include "instruments/NMEAInfo.h"
#include "instruments/NMEAReport.h"
#include "navobjects/RouteFilesDetail.h"
#include "platform/AtomicFile.h"
#include "platform/Questions.h"
#include "platform/TextBasics.h"

using namespace route_files;

namespace {

// The stop rule: a boat that made more than this at its last point and
// reports exactly 0 now gets a point at once.
constexpr double kStopSpeed = 0.5;

// Saturated to the 16-bit fields of the record.
int16_t Int16Field(double v) { return static_cast<int16_t>(ClampToInt(RoundHalfEven(v), INT16_MIN, INT16_MAX)); }

bool KnownValue(double v) { return IsKnown(v) && std::isfinite(v); }

TTrackReadResult ReadFailure(TTrackReadStatus status, std::string error, TTrcRecords records = {}) {
  TTrackReadResult r;
  r.status = status;
  r.error = std::move(error);
  r.records = std::move(records);
  return r;
}

// The end of a reading: Ok with the records, or nothing received.
TTrackReadResult ReadEnd(TTrcRecords records) {
  if (records.empty()) return ReadFailure(TTrackReadStatus::NoPoints, "no track point in the file");
  TTrackReadResult r;
  r.status = TTrackReadStatus::Ok;
  r.records = std::move(records);
  return r;
}

TTrackReadResult DatumDeclined() {
  return ReadFailure(TTrackReadStatus::Declined, "the datum is not WGS 84 and reading it was declined");
}

bool OtherDatumConfirmed(const TTrackTextOptions& options) {
  return options.ConfirmOtherDatum && options.ConfirmOtherDatum();
}

double NowOf(const TTrackTextOptions& options) { return (options.clock ? *options.clock : Clock()).NowUTC(); }

// An imported point: heading, speed and depth 0.
TTrcRecord ImportedRecord(const TFPoint& pos, TDateTime time) {
  TTrcRecord r;
  r.Pos = TrackIntPos(pos);
  r.Time = time;
  return r;
}

// A position in radians, checked: finite, latitude within +-90 degrees,
// longitude within +-360 (brought into [-180, 180]).
bool CheckedPosition(double lat, double lon, TFPoint& out) {
  return PositionFromDegrees(lat * kRadToDeg, lon * kRadToDeg, out);
}

// "h:m:s" (one or two digits each) as a fraction of a day.
bool ReadTimeOfDay(std::string_view text, double& out) {
  text = TrimSpaceTab(text);
  int parts[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    const size_t colon = k < 2 ? text.find(':') : text.size();
    if (colon == std::string_view::npos) return false;
    const std::string_view digits = text.substr(0, colon);
    const auto res = std::from_chars(digits.data(), digits.data() + digits.size(), parts[k]);
    if (digits.empty() || digits.size() > 2 || res.ec != std::errc() || res.ptr != digits.data() + digits.size())
      return false;
    text = colon < text.size() ? text.substr(colon + 1) : std::string_view();
  }
  if (parts[0] < 0 || parts[1] < 0 || parts[2] < 0 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  out = (parts[0] * 3600 + parts[1] * 60 + parts[2]) / 86400.0;
  return true;
}

// ---------------------------------------------------------------------------
// G7T track lines: the columns of each grid (1-based, inclusive; 0 where
// the grid has no such part).

struct TTrackColumns {
  size_t hemi;
  size_t degFirst, degLast, minFirst, minLast, secFirst, secLast;
};
struct TTrackGrid {
  TTrackColumns lat, lon;
  size_t time;  // the 24 characters of the date and time
};
constexpr TTrackGrid kTrackGrids[3] = {
    {{4, 5, 14, 0, 0, 0, 0}, {16, 17, 27, 0, 0, 0, 0}, 29},
    {{4, 5, 7, 8, 14, 0, 0}, {16, 17, 19, 21, 27, 0, 0}, 29},
    {{4, 5, 6, 8, 9, 11, 15}, {17, 18, 20, 22, 23, 25, 29}, 31},
};

// A non-negative number below `limit` from trimmed columns.
bool ColumnNumber(std::string_view line, size_t first, size_t last, double limit, double& out) {
  const std::optional<double> v = TryStrToFloatDot(TrimSpaceTab(Columns(line, first, last)));
  if (!v || *v < 0 || *v >= limit) return false;
  out = *v;
  return true;
}

// One coordinate in degrees; the hemisphere letter `minus` negates.
bool TrackAngle(std::string_view line, const TTrackColumns& c, char minus, double maxDeg, double& out) {
  double deg = 0, min = 0, sec = 0;
  if (!ColumnNumber(line, c.degFirst, c.degLast, maxDeg + 1, deg)) return false;
  if (c.minFirst != 0 && !ColumnNumber(line, c.minFirst, c.minLast, 60, min)) return false;
  if (c.secFirst != 0 && !ColumnNumber(line, c.secFirst, c.secLast, 60, sec)) return false;
  out = deg + min / 60 + sec / 3600;
  if (out > maxDeg) return false;
  const std::string_view hemi = Columns(line, c.hemi, c.hemi);
  if (hemi.size() == 1 && (hemi[0] == minus || hemi[0] == minus + ('a' - 'A'))) out = -out;
  return true;
}

// ---------------------------------------------------------------------------
// GPX times: "yyyy-mm-ddThh:mm:ss", optional decimals of the second, and
// "Z", an offset "+hh:mm" / "-hh:mm" or nothing (UTC).

bool Digits(std::string_view s, size_t at, size_t n, int& out) {
  if (at + n > s.size()) return false;
  out = 0;
  for (size_t k = at; k < at + n; ++k) {
    if (s[k] < '0' || s[k] > '9') return false;
    out = out * 10 + (s[k] - '0');
  }
  return true;
}

bool ReadIsoTime(std::string_view s, TDateTime& out) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (s.size() < 19 || s[4] != '-' || s[7] != '-' || (s[10] != 'T' && s[10] != 't' && s[10] != ' ') || s[13] != ':' ||
      s[16] != ':' || !Digits(s, 0, 4, year) || !Digits(s, 5, 2, month) || !Digits(s, 8, 2, day) ||
      !Digits(s, 11, 2, hour) || !Digits(s, 14, 2, minute) || !Digits(s, 17, 2, second))
    return false;
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date) || hour > 23 || minute > 59 || second > 60) return false;
  size_t pos = 19;
  double fraction = 0;
  if (pos < s.size() && s[pos] == '.') {
    double scale = 0.1;
    for (++pos; pos < s.size() && s[pos] >= '0' && s[pos] <= '9'; ++pos, scale /= 10)
      fraction += (s[pos] - '0') * scale;
  }
  int offsetMinutes = 0;
  if (pos < s.size()) {
    const std::string_view zone = s.substr(pos);
    int oh = 0, om = 0;
    if (zone == "Z" || zone == "z") {
    } else if ((zone[0] == '+' || zone[0] == '-') && Digits(zone, 1, 2, oh) &&
               ((zone.size() == 3) || (zone.size() == 6 && zone[3] == ':' && Digits(zone, 4, 2, om)) ||
                (zone.size() == 5 && Digits(zone, 3, 2, om)))) {
      offsetMinutes = (zone[0] == '-' ? -1 : 1) * (oh * 60 + om);
    } else {
      return false;
    }
  }
  out = date + (hour * 3600.0 + minute * 60.0 + second + fraction - offsetMinutes * 60.0) / 86400.0;
  return true;
}

// A chart pixel minus the scroll, held to the 32-bit range.
int32_t PanelPixel(int32_t chart, int32_t scroll) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{chart} - scroll, INT32_MIN, INT32_MAX));
}

// Our extension element of a track point.
constexpr std::string_view kTrackExtension = "track";

}  // namespace

// ---------------------------------------------------------------------------
// Records

TFPoint TrcPosition(const TTrcRecord& r) { return IntPosToFPoint(r.Pos); }

TIntPos TrackIntPos(const TFPoint& pos) {
  TFPoint p{pos.X, std::clamp(pos.Y, -kPi / 2, kPi / 2)};
  NormAngleSigned(p.X);
  return FPointToIntPos(p);
}

TTrcRecord MakeTrackRecord(const TNMEAINFO& info, double transducerDepth) {
  TTrcRecord r;
  r.Pos = TrackIntPos(info.Pos);
  if (KnownValue(info.Heading)) {
    double h = info.Heading;
    NormAngle(h);
    r.Heading = Int16Field(h * kRadToDeg * 10);
  }
  r.SOG = KnownValue(info.SOG) ? info.SOG : 0;
  r.Time = std::isfinite(info.GpsDateTime) ? info.GpsDateTime : 0;
  // An unknown depth is stored as "no depth" (0), never as the transducer's
  // depth alone, which would read as a real sounding.
  if (KnownValue(info.Depth) && info.Depth != 0 && std::isfinite(transducerDepth))
    r.Depth = Int16Field((info.Depth + transducerDepth) * 10);
  return r;
}

std::string EncodeTrc(const TTrcRecords& records) {
  std::string out;
  out.reserve(records.size() * kTrcRecordSize);
  for (const TTrcRecord& r : records) out += EncodeTrcRecord(r);
  return out;
}

TTrackReadResult ReadTrc(std::string_view bytes) {
  TTrcRecords records;
  records.reserve(bytes.size() / kTrcRecordSize);
  size_t outOfRange = 0;
  for (size_t off = 0; off + kTrcRecordSize <= bytes.size(); off += kTrcRecordSize) {
    const TTrcRecord r = DecodeTrcRecord(reinterpret_cast<const uint8_t*>(bytes.data()) + off);
    if (IntPosInRange(r.Pos))
      records.push_back(r);
    else
      ++outOfRange;
  }
  if (outOfRange > 0)
    return ReadFailure(TTrackReadStatus::Damaged,
                       std::to_string(outOfRange) + " record(s) with a position out of range left out",
                       std::move(records));
  TTrackReadResult r;
  r.status = TTrackReadStatus::Ok;
  r.records = std::move(records);
  return r;
}

std::string TrackTextLine(const TTrcRecord& r, bool printStyle) {
  std::string when = DateTimeToText(r.Time, ',');
  if (when.empty()) when = "0000-00-00,00:00:00";
  const TFPoint pos = TrcPosition(r);
  const double depth = r.Depth / 10.0;
  if (!printStyle)
    return when + ", " + RadToAngleText(0, pos.Y) + "," + RadToAngleText(0, pos.X) + "," + FloatToStrWD(4, 1, r.SOG) +
           "," + FloatToStrWD(3, 1, depth);
  const std::string line = when + ", " + LatToStr(pos.Y) + ", " + LonToStr(pos.X) + "," + FloatToStrWD(5, 1, r.SOG) +
                           "," + FloatToStrWD(5, 1, depth);
  return ReplaceChars(line, U"°", U',');
}

TPen TrackPen(TRGB color, int trackWidth) {
  return TPen{color, std::max(trackWidth, 1), trackWidth > 0 ? TPenStyle::Solid : TPenStyle::Dash};
}

std::string TrackFileName(const std::string& trackDir, TDateTime day) {
  return SetTrailingSeparator(trackDir, true) + DateToYYYYMMDD(day) + ".TRC";
}

// ---------------------------------------------------------------------------
// Comma text (Waypoint+)

TTrackReadResult ReadTrackCommaText(std::string_view bytes, const TTrackTextOptions& options) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  TTextLines lines(bytes);
  std::string_view line;
  const std::vector<std::string> datum =
      lines.Next(line) && line.size() <= kMaxTextLine ? CommaItems(line) : std::vector<std::string>(1);
  if (!EqualsNoCase(TrimSpaceTab(datum[0]), "datum"))
    return ReadFailure(TTrackReadStatus::NotThisKind, "not a WP+ track file (no \"Datum\" line)");
  if (!(datum.size() >= 2 && EqualsNoCase(TrimSpaceTab(datum[1]), "wgs84")) && !OtherDatumConfirmed(options))
    return DatumDeclined();

  TTrcRecords records;
  auto damaged = [&](const char* why) {
    return ReadFailure(TTrackReadStatus::Damaged, "line " + std::to_string(lines.Number()) + " " + why,
                       std::move(records));
  };
  while (lines.Next(line) && !TrimSpaceTab(line).empty()) {
    if (line.size() > kMaxTextLine) return damaged("is too long");
    const std::vector<std::string> items = CommaItems(line);
    const std::string_view tag = TrimSpaceTab(items[0]);
    if (tag != "TP" && tag != "TrackPoint") return damaged("is not a track point");
    // Items from 0: tag, format, latitude, longitude, date, time, segment
    // flag; a shorter line ends the track.
    if (items.size() <= 6) break;
    const std::string_view format = TrimSpaceTab(items[1]);
    const int f = EqualsNoCase(format, "d") ? 0 : EqualsNoCase(format, "dm") ? 1 : EqualsNoCase(format, "dms") ? 2 : -1;
    TFPoint pos;
    try {
      if (!CheckedPosition(AngleTextToRad(items[2], f), AngleTextToRad(items[3], f), pos))
        return damaged("has a position out of range");
    } catch (const EConvertError&) {
      return damaged("has a position that cannot be read");
    }
    // Waypoint+ writes "00/00/00" where it knows no date: such a point,
    // and one whose time cannot be read, is taken now (UTC, as the field
    // is).
    TDateTime date = 0;
    double ofDay = 0;
    bool known = ReadTimeOfDay(items[5], ofDay);
    try {
      date = StrToDateUS(items[4]);
    } catch (const EConvertError&) {
      known = false;
    }
    records.push_back(ImportedRecord(pos, known ? date + ofDay : NowOf(options)));
  }
  return ReadEnd(std::move(records));
}

// ---------------------------------------------------------------------------
// Column text (G7T)

TTrackReadResult ReadTrackColumnText(std::string_view bytes, const TTrackTextOptions& options) {
  TTextLines lines(bytes);
  std::string_view line;
  bool seenV = false, seenD = false, seenM = false;
  int format = 0;
  while (!(seenV && seenD && seenM) && lines.Next(line)) {
    if (line.empty() || line.size() > kMaxTextLine) continue;
    const std::string lower = FoldCase(line);
    if (line[0] == 'V') {
      seenV = seenV || lower.find("g7t") != std::string::npos;
    } else if (line[0] == 'D') {
      seenD = true;
      if (lower.find("wgs-84") == std::string::npos && !OtherDatumConfirmed(options)) return DatumDeclined();
    } else if (line[0] == 'M') {
      seenM = true;
      format = lower.find(" ddd") != std::string::npos   ? 0
               : lower.find(" dmm") != std::string::npos ? 1
               : lower.find(" dms") != std::string::npos ? 2
                                                         : -1;
      // UTM and the national grids would read as garbage.
      if (format < 0)
        return ReadFailure(
            TTrackReadStatus::NotThisKind,
            "the grid \"" + std::string(TrimSpaceTab(Columns(line, 2, 41))) + "\" is not one of DDD, DMM and DMS");
    }
  }
  if (!(seenV && seenD && seenM))
    return ReadFailure(TTrackReadStatus::NotThisKind, "not a G7T file (no V, D and M lines)");

  const TTrackGrid& grid = kTrackGrids[format];
  TTrcRecords records;
  while (lines.Next(line)) {
    if (line.empty() || line[0] != 'T') continue;
    double lat = 0, lon = 0;
    TFPoint pos;
    if (line.size() > kMaxTextLine || !TrackAngle(line, grid.lat, 'S', 90, lat) ||
        !TrackAngle(line, grid.lon, 'W', 180, lon) || !PositionFromDegrees(lat, lon, pos))
      return ReadFailure(TTrackReadStatus::Damaged, "line " + std::to_string(lines.Number()) + " cannot be read",
                         std::move(records));
    // Without a date (a time alone is below 1) the point is taken now.
    TDateTime time = CTimeToDateTime(Columns(line, grid.time, grid.time + 23));
    if (!(time >= 1)) time = NowOf(options);
    records.push_back(ImportedRecord(pos, time));
  }
  return ReadEnd(std::move(records));
}

// ---------------------------------------------------------------------------
// GPX

std::string EncodeTrackGpx(const TTrcRecords& records, std::string_view name) {
  std::string out = GpxDocumentStart(name);
  out += "  <trk>\n";
  const std::string escaped = XmlEscaped(name);
  if (!escaped.empty()) out += "    <name>" + escaped + "</name>\n";
  out += "    <trkseg>\n";
  for (const TTrcRecord& r : records) {
    // Degrees straight from the thousandths of a minute: the nearest
    // decimal, which reads back as the same record.
    out += "      <trkpt lat=\"" + DecimalText(r.Pos.Lat / 60000.0) + "\" lon=\"" + DecimalText(r.Pos.Lon / 60000.0) +
           "\">\n";
    // A time before the first day is no time of a fix.
    const std::string time = r.Time >= 1 ? IsoDateTime(r.Time) : std::string();
    if (!time.empty()) out += "        <time>" + time + "</time>\n";
    std::string values;
    if (r.SOG != 0 || r.Heading != 0)
      values += " speedKnots=\"" + DecimalText(r.SOG) + "\" headingDegrees=\"" + DecimalText(r.Heading / 10.0) + "\"";
    if (r.Depth != 0) values += " depthMetres=\"" + DecimalText(r.Depth / 10.0) + "\"";
    if (!values.empty())
      out += "        <extensions>\n          <brismare:" + std::string(kTrackExtension) + values +
             "/>\n        </extensions>\n";
    out += "      </trkpt>\n";
  }
  out += "    </trkseg>\n  </trk>\n</gpx>\n";
  return out;
}

TTrackReadResult ReadTrackGpx(std::string_view bytes) {
  TTrcRecords records;
  // The depth of the open trk, trkseg, trkpt, its extensions and time (0:
  // none open).
  size_t trk = 0, seg = 0, pt = 0, extensions = 0, timeDepth = 0;
  std::string timeText;
  std::string pointError;
  TTrcRecord rec;
  auto visit = [&](const TXmlReader& x, TXmlReader::Event e, size_t depth) {
    if (e == TXmlReader::Event::Text) {
      if (timeDepth != 0 && depth == timeDepth) timeText += x.Text();
      return true;
    }
    const bool gpx = IsGpxNamespace(x.NamespaceUri());
    const std::string_view name = x.LocalName();
    if (e == TXmlReader::Event::Start) {
      if (gpx && depth == 2 && name == "trk") {
        trk = depth;
      } else if (gpx && trk != 0 && depth == trk + 1 && name == "trkseg") {
        seg = depth;
      } else if (gpx && seg != 0 && depth == seg + 1 && name == "trkpt") {
        TFPoint pos;
        if (!GpxPointPosition(x, pos)) {
          pointError = "track point " + std::to_string(records.size() + 1) + " has no valid lat and lon";
          return false;
        }
        rec = TTrcRecord();
        rec.Pos = TrackIntPos(pos);
        pt = depth;
      } else if (gpx && pt != 0 && depth == pt + 1 && name == "time") {
        timeDepth = depth;
        timeText.clear();
      } else if (gpx && pt != 0 && depth == pt + 1 && name == "extensions") {
        extensions = depth;
      } else if (extensions != 0 && depth == extensions + 1 && x.NamespaceUri() == kOwnNamespace &&
                 name == kTrackExtension) {
        if (const std::optional<double> v = GpxNumber(x, "speedKnots")) rec.SOG = *v;
        if (const std::optional<double> v = GpxNumber(x, "headingDegrees")) rec.Heading = Int16Field(*v * 10);
        if (const std::optional<double> v = GpxNumber(x, "depthMetres")) rec.Depth = Int16Field(*v * 10);
      }
      return true;
    }
    // The end of an element.
    if (depth == timeDepth) {
      TDateTime t = 0;
      if (ReadIsoTime(timeText, t)) rec.Time = t;
      timeDepth = 0;
    } else if (depth == extensions) {
      extensions = 0;
    } else if (depth == pt) {
      records.push_back(rec);
      pt = 0;
    } else if (depth == seg) {
      seg = 0;
    } else if (depth == trk) {
      trk = 0;
    }
    return true;
  };
  std::string error;
  switch (WalkGpx(bytes, visit, error)) {
    case TGpxWalkEnd::NotGpx:
      return ReadFailure(TTrackReadStatus::NotThisKind, error);
    case TGpxWalkEnd::Damaged:
      return ReadFailure(TTrackReadStatus::Damaged, error, std::move(records));
    default:
      break;
  }
  if (!pointError.empty()) return ReadFailure(TTrackReadStatus::Damaged, pointError, std::move(records));
  return ReadEnd(std::move(records));
}

// ---------------------------------------------------------------------------
// TTrace

TTrace::TTrace(TWorldConvert* converter, IClock& clock) : converter_(converter), clock_(clock) {}

TTrace::~TTrace() { Stop(); }

void TTrace::ReportError(const std::string& text) {
  lastError_ = text;
  if (errorTold_) return;
  errorTold_ = true;
  if (OnWriteError) OnWriteError(text);
}

void TTrace::Clear() {
  isOpen_ = viewing_ = visible_ = false;
  fileDay_ = 0;
  points_.clear();
  chartPixels_.clear();
  screen_.clear();
  firstShown_ = lastShown_ = 0;
  firstInView_ = lastInView_ = -1;
}

void TTrace::SetRecording(bool on, const TNMEAINFO& info) {
  if (on)
    StartRecording(info);
  else
    Stop();
}

void TTrace::Start() { StartRecording(TNMEAINFO{}); }

bool TTrace::StartRecording(const TNMEAINFO& info) {
  if (viewing_) Stop();
  if (isOpen_) return true;
  Clear();
  const TDateTime today = std::floor(clock_.NowUTC());
  if (Settings.TrackDir.empty()) {
    ReportError("no track directory is set");
    return false;
  }
  fileName_ = TrackFileName(Settings.TrackDir, today);
  std::error_code ec;
  std::filesystem::create_directories(Settings.TrackDir, ec);
  lastSOG_ = 0;
  lastHeading_ = info.Heading - kPi;
  firstPoint_ = true;
  nextTime_ = TMonoTime::min();
  // Differs from the first position offered, so that it is stored.
  lastPoint_ = {info.Pos.X + NoDataValue, info.Pos.Y};
  // Opening cuts a torn last record away (into "<file>.torn"), so that
  // every record appended lands on a record boundary.
  if (!file_.Open(fileName_, TRecordFraming::Fixed(kTrcRecordSize))) {
    ReportError("Track not recorded: " + file_.LastError());
    return false;
  }
  isOpen_ = true;
  if (file_.Size() > 0) {
    std::string bytes, error;
    if (!ReadWholeFile(fileName_, bytes, &error, kMaxTrackFileSize)) {
      file_.Close();
      Clear();
      ReportError("Track not recorded: " + error);
      return false;
    }
    LoadPoints(bytes);
  }
  visible_ = true;
  fileDay_ = today;
  return true;
}

void TTrace::Stop() {
  if (isOpen_ && !viewing_) {
    const bool empty = file_.Size() == 0;
    file_.Close();
    // A recording that never took a point leaves no file; a file opened
    // for viewing is never removed, empty or not.
    if (empty) {
      std::error_code ec;
      std::filesystem::remove(fileName_, ec);
    }
  }
  Clear();
}

void TTrace::RecordTick(const TNMEAINFO& info) {
  if (!isOpen_ || viewing_) return;
  if (!std::isfinite(info.Pos.X) || !std::isfinite(info.Pos.Y)) return;
  // "Track Time" runs on the monotonic clock: setting the wall clock from
  // the receiver cannot hold the recording back.
  const TMonoTime now = clock_.MonoNow();
  if (now < nextTime_) return;
  const bool stopped = lastSOG_ > kStopSpeed && info.SOG == 0;
  if (!stopped) {
    // Both tests must pass; !(x > limit) keeps NaN out.
    const double distance = GeoDistBearing(lastPoint_, info.Pos).X;
    if (Settings.TrackDistance != 0 && !(distance > Settings.TrackDistance)) return;
    double turn = info.Heading - lastHeading_;
    NormAngleSigned(turn);
    if (Settings.TrackCompDev != 0 && !firstPoint_ && !(std::fabs(turn) > Settings.TrackCompDev)) return;
  }
  // A new UTC day: the point goes into the new day's file, and is added
  // after the switch so that the new file's points hold it. When the new
  // file cannot be opened nothing is written.
  if (std::floor(clock_.NowUTC()) != fileDay_) {
    Stop();
    if (!StartRecording(info)) return;
  }
  AddPoint(info.Pos);
  const TTrcRecord rec = MakeTrackRecord(info, Settings.TransducerDepth);
  lastPoint_ = info.Pos;
  lastHeading_ = info.Heading;
  lastSOG_ = info.SOG;
  firstPoint_ = false;
  const double seconds = std::max(Settings.TrackTime, 0);
  nextTime_ = now + std::chrono::duration_cast<TMonoTime>(std::chrono::duration<double>(seconds));
  // One whole record per point, flushed to the disk (at most one a second).
  if (!file_.Append(EncodeTrcRecord(rec), true)) {
    ReportError("Track point not written: " + file_.LastError());
    return;
  }
  errorTold_ = false;
}

bool TTrace::OpenForView(const std::string& fileName) {
  if (viewing_) Stop();
  if (isOpen_) return false;
  Clear();
  std::string bytes, error;
  if (!ReadWholeFile(fileName, bytes, &error, kMaxTrackFileSize)) {
    lastError_ = error;
    return false;
  }
  fileName_ = fileName;
  isOpen_ = viewing_ = visible_ = true;
  points_.reserve(bytes.size() / kTrcRecordSize + 1);
  LoadPoints(bytes);
  fileDay_ = 0;
  return true;
}

void TTrace::LoadPoints(std::string_view bytes) {
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
  const size_t n = bytes.size() / kTrcRecordSize;
  points_.clear();
  chartPixels_.clear();
  points_.reserve(n + 1);
  bool first = true;
  loading_ = true;
  for (size_t i = 0; i < n; ++i) {
    const TTrcRecord r = DecodeTrcRecord(b + i * kTrcRecordSize);
    if (!IntPosInRange(r.Pos)) continue;
    const TFPoint p = TrcPosition(r);
    if (first) {
      lastPoint_ = {p.X - NoDataValue, p.Y};
      first = false;
    }
    AddPoint(p);
  }
  loading_ = false;
  FindShownRange();
  RebuildScreen();
}

void TTrace::AddPoint(const TFPoint& p) {
  if (!std::isfinite(p.X) || !std::isfinite(p.Y) || SameFPoint(p, lastPoint_)) return;
  // A jump of more than a radian is no passage of the boat (a receiver's
  // glitch, a track across the 180th meridian): not joined into the line.
  const bool jump = !(std::fabs(p.X - lastPoint_.X) <= 1 && std::fabs(p.Y - lastPoint_.Y) <= 1);
  lastPoint_ = p;
  if (jump) return;
  points_.push_back(TrackIntPos(p));
  if (!loading_) PlaceNewPoint();
}

bool TTrace::InView(int32_t index) const {
  const TIntPos& p = points_[static_cast<size_t>(index)];
  return viewLat_[0] <= p.Lat && p.Lat <= viewLat_[1] && viewLon_[0] <= p.Lon && p.Lon <= viewLon_[1];
}

namespace {

constexpr double kNotConverted = std::numeric_limits<double>::quiet_NaN();

// The position's chart pixel at zoom 1 (the converter scales its result
// last); NaN when it cannot be converted.
TFPoint ChartPixel(TWorldConvert& w, const TFPoint& pos) {
  TFPoint px;
  if (!w.GeoToPixel(pos, px)) return {kNotConverted, kNotConverted};
  return {px.X / w.ScaleX, px.Y / w.ScaleY};
}

bool SameChartPixel(const TFPoint& a, const TFPoint& b) {
  // Within a millionth of a pixel: dividing the zoom out again may change
  // the last bits. Another chart moves the probes by far more.
  return std::fabs(a.X - b.X) <= 1e-6 && std::fabs(a.Y - b.Y) <= 1e-6;
}

}  // namespace

void TTrace::CheckChartPixels() {
  if (!converter_ || points_.empty()) return;
  chartPixels_.resize(points_.size(), {kNotConverted, kNotConverted});
  bool same = true;
  for (int k = 0; k < 2; ++k) same = same && SameChartPixel(ChartPixel(*converter_, probes_[k]), probePixels_[k]);
  if (same) return;
  std::fill(chartPixels_.begin(), chartPixels_.end(), TFPoint{kNotConverted, kNotConverted});
  // New probes where the chart is: the ends of the shown range.
  const int32_t last = std::clamp(lastShown_ - 1, 0, Count() - 1);
  probes_[0] = IntPosToFPoint(points_[static_cast<size_t>(std::clamp(firstShown_, 0, last))]);
  probes_[1] = IntPosToFPoint(points_[static_cast<size_t>(last)]);
  for (int k = 0; k < 2; ++k) probePixels_[k] = ChartPixel(*converter_, probes_[k]);
}

TPoint TTrace::Pixel(int32_t index) {
  if (!converter_) return kNoPixel;
  TFPoint& c = chartPixels_[static_cast<size_t>(index)];
  // Converted when not kept yet; a failure is not kept (it may be the
  // zoom's).
  if (std::isnan(c.X)) c = ChartPixel(*converter_, IntPosToFPoint(points_[static_cast<size_t>(index)]));
  const double x = c.X * converter_->ScaleX, y = c.Y * converter_->ScaleY;
  constexpr double kLimit = 2147483647.0;
  if (!(std::fabs(x) < kLimit && std::fabs(y) < kLimit)) return kNoPixel;
  // Halves to even, as RoundToInt rounds (the default rounding mode), at a
  // fraction of its cost for a day of points.
  return {static_cast<int32_t>(std::nearbyint(x)), static_cast<int32_t>(std::nearbyint(y))};
}

// The shown range is half-open: [max(F - 2, 0), min(L + 3, Count)) for the
// first (F) and last (L) point in the view, so that two points beyond the
// view on either side are drawn.
void TTrace::FindShownRange() {
  firstShown_ = lastShown_ = 0;
  firstInView_ = lastInView_ = -1;
  if (!isOpen_) return;
  const int32_t count = Count();
  for (int32_t i = 0; i < count; ++i)
    if (InView(i)) {
      firstInView_ = i;
      break;
    }
  if (firstInView_ < 0) return;
  for (int32_t i = count - 1; i >= firstInView_; --i)
    if (InView(i)) {
      lastInView_ = i;
      break;
    }
  firstShown_ = std::max(firstInView_ - 2, 0);
  lastShown_ = std::min(lastInView_ + 3, count);
}

// The point just stored (the last) joins the drawn line only when the shown
// range ended at the point before it: appending to a range that ends
// earlier (the view showing an older part of the track) would draw a
// straight line from there to the boat. Such a range is found again
// instead, when the new point changes it.
void TTrace::PlaceNewPoint() {
  if (!isOpen_) return;
  const int32_t n = Count() - 1;
  if (InView(n)) {
    if (firstInView_ < 0) firstInView_ = n;
    lastInView_ = n;
  }
  if (firstInView_ < 0) return;
  const int32_t first = std::max(firstInView_ - 2, 0);
  const int32_t last = std::min(lastInView_ + 3, n + 1);
  if (first == firstShown_ && last == lastShown_) return;
  const bool placed = screen_.size() == static_cast<size_t>(lastShown_ - firstShown_) && !screen_.empty();
  if (placed && first == firstShown_ && lastShown_ == n && last == n + 1) {
    CheckChartPixels();
    screen_.push_back(Pixel(n));
    lastShown_ = last;
    return;
  }
  firstShown_ = first;
  lastShown_ = last;
  RebuildScreen();
}

void TTrace::SetViewArea(const TFRect& area) {
  viewArea_ = area;
  // The area in the points' unit, so that finding the shown range converts
  // no point: a point is in the view when its position is in the area.
  auto units = [](double radians, bool up) {
    const double u = radians * (10800000.0 / kPi);
    return static_cast<int64_t>(std::clamp(up ? std::floor(u) : std::ceil(u), -4e9, 4e9));
  };
  viewLat_[0] = units(area.Y2, false);
  viewLat_[1] = units(area.Y1, true);
  viewLon_[0] = units(area.X2, false);
  viewLon_[1] = units(area.X1, true);
  if (std::isnan(area.X1 + area.X2 + area.Y1 + area.Y2)) viewLat_[0] = 1, viewLat_[1] = 0;  // nothing in it
  FindShownRange();
  RebuildScreen();
}

// A day's points lie a few metres apart. Where they crowd, the converter
// is asked for one point and two more a few metres north and east of it;
// the points near it are placed by the affine map these give (over
// kAffineSpan the projection bends by less than a thousandth of a pixel at
// any zoom a chart is used at). The rest are converted one by one.
void TTrace::PlaceCrowdedPoints(int32_t first, int32_t last) {
  constexpr int32_t kAffineSpan = 34;  // thousandths of a minute (1e-5 radians, about 60 m)
  constexpr double kStep = 1e-6;       // radians, about 6 m
  constexpr double kUnit = kPi / 10800000.0;
  constexpr int32_t kMinRun = 4;
  auto placed = [this](int32_t i) { return !std::isnan(chartPixels_[static_cast<size_t>(i)].X); };
  for (int32_t i = first; i < last;) {
    if (placed(i)) {
      ++i;
      continue;
    }
    const TIntPos ai = points_[static_cast<size_t>(i)];
    int32_t end = i + 1;
    for (; end < last && !placed(end); ++end) {
      const TIntPos& p = points_[static_cast<size_t>(end)];
      if (std::abs(int64_t{p.Lat} - ai.Lat) > kAffineSpan || std::abs(int64_t{p.Lon} - ai.Lon) > kAffineSpan) break;
    }
    const TFPoint a = IntPosToFPoint(ai);
    // Not where the converter turns longitudes round the earth.
    if (end - i < kMinRun || !(std::fabs(a.X - converter_->Shift.X - converter_->CentreLon) < kPi - 0.1)) {
      ++i;
      continue;
    }
    const TFPoint pa = ChartPixel(*converter_, a);
    const TFPoint pe = ChartPixel(*converter_, {a.X + kStep, a.Y});
    const TFPoint pn = ChartPixel(*converter_, {a.X, a.Y + kStep});
    // Pixels per thousandth of a minute east and north.
    const TFPoint ex{(pe.X - pa.X) / kStep * kUnit, (pe.Y - pa.Y) / kStep * kUnit};
    const TFPoint ny{(pn.X - pa.X) / kStep * kUnit, (pn.Y - pa.Y) / kStep * kUnit};
    if (!std::isfinite(ex.X + ex.Y + ny.X + ny.Y + pa.X + pa.Y)) {
      ++i;
      continue;
    }
    for (int32_t k = i; k < end; ++k) {
      const TIntPos& p = points_[static_cast<size_t>(k)];
      const double dx = static_cast<double>(p.Lon - ai.Lon), dy = static_cast<double>(p.Lat - ai.Lat);
      chartPixels_[static_cast<size_t>(k)] = {pa.X + ex.X * dx + ny.X * dy, pa.Y + ex.Y * dx + ny.Y * dy};
    }
    i = end;
  }
}

void TTrace::RebuildScreen() {
  screen_.clear();
  if (!isOpen_ || lastShown_ <= firstShown_ || !converter_) return;
  CheckChartPixels();
  PlaceCrowdedPoints(firstShown_, lastShown_);
  screen_.reserve(static_cast<size_t>(lastShown_ - firstShown_));
  for (int32_t i = firstShown_; i < lastShown_; ++i) screen_.push_back(Pixel(i));
}

void TTrace::Draw(ICanvas& canvas, TPoint scroll, const TPen& pen) const {
  if (!visible_ || screen_.size() < 2) return;
  canvas.SetPen(pen);
  canvas.SetBrush({0, TBrushStyle::None});
  drawBuffer_.clear();
  drawBuffer_.reserve(screen_.size());
  auto flush = [&] {
    if (drawBuffer_.size() >= 2) canvas.DrawPolyline(drawBuffer_.data(), drawBuffer_.size());
    drawBuffer_.clear();
  };
  // A leg wholly beyond one edge of the canvas (pen width included) is not
  // drawn: the line breaks there. At a large zoom most of a day lies off
  // the canvas.
  const int32_t margin = std::max(pen.width, 1) + 2;
  const int32_t left = -margin, top = -margin;
  const int32_t right = canvas.Width() + margin, bottom = canvas.Height() + margin;
  auto hidden = [&](const TCanvasPoint& a, const TCanvasPoint& b) {
    return (a.X < left && b.X < left) || (a.X > right && b.X > right) || (a.Y < top && b.Y < top) ||
           (a.Y > bottom && b.Y > bottom);
  };
  for (const TPoint& p : screen_) {
    if (p == kNoPixel) {
      flush();
      continue;
    }
    const TCanvasPoint c{PanelPixel(p.X, scroll.X), PanelPixel(p.Y, scroll.Y)};
    if (!drawBuffer_.empty()) {
      // Points on the same pixel add nothing but time (a day's track at a
      // small zoom).
      if (drawBuffer_.back() == c) continue;
      if (hidden(drawBuffer_.back(), c)) flush();
    }
    drawBuffer_.push_back(c);
  }
  flush();
}

// ---------------------------------------------------------------------------
// Text and imports

bool TTrace::ToText(std::vector<std::string>& lines, bool printStyle) const {
  if (!isOpen_) return false;
  std::string bytes, error;
  if (!ReadWholeFile(fileName_, bytes, &error, kMaxTrackFileSize)) return false;
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
  for (size_t off = 0; off + kTrcRecordSize <= bytes.size(); off += kTrcRecordSize)
    lines.push_back(TrackTextLine(DecodeTrcRecord(b + off), printStyle));
  return true;
}

bool TTrace::AppendRecords(const std::string& target, const TTrcRecords& records, std::string& error) {
  // An existing target is cut back to whole records first, as a recording
  // is, and the records are appended after its last one.
  TAppendFile f;
  if (!f.Open(target, TRecordFraming::Fixed(kTrcRecordSize))) {
    error = f.LastError();
    return false;
  }
  for (size_t i = 0; i < records.size(); ++i)
    if (!f.Append(EncodeTrcRecord(records[i]), i + 1 == records.size())) {
      error = f.LastError();
      return false;
    }
  if (!f.Close()) {
    error = f.LastError();
    return false;
  }
  return true;
}

TTrackReadResult TTrace::FinishImport(TTrackReadResult r, const std::string& target) {
  lastImported_ = TLastImported();
  std::string error;
  if (!r.records.empty()) {
    if (!AppendRecords(target, r.records, error)) {
      r.status = TTrackReadStatus::Damaged;
      r.error = "cannot write " + target + ": " + error;
    } else {
      lastImported_.Valid = true;
      lastImported_.Time = r.records.back().Time;
      lastImported_.Pos = TrcPosition(r.records.back());
    }
  }
  if (r.status == TTrackReadStatus::Ok && !OpenForView(target)) {
    r.status = TTrackReadStatus::Damaged;
    r.error = "cannot open " + target + ": " + lastError_;
  }
  if (r.status != TTrackReadStatus::Ok) AppMessageBox(kTrackImportError, mfOk | mfIconError);
  return r;
}

TTrackReadResult TTrace::Import(const std::string& source, const std::string& target,
                                TTrackReadResult (*read)(std::string_view, const TTrackTextOptions&),
                                const TTrackTextOptions& options) {
  std::string bytes, error;
  if (!ReadWholeFile(source, bytes, &error, kMaxTrackFileSize))
    return FinishImport(ReadFailure(TTrackReadStatus::NotThisKind, "cannot read " + source + ": " + error), target);
  return FinishImport(read(bytes, options), target);
}

TTrackReadResult TTrace::ImportCommaText(const std::string& source, const std::string& target,
                                         const TTrackTextOptions& options) {
  return Import(source, target, ReadTrackCommaText, options);
}

TTrackReadResult TTrace::ImportColumnText(const std::string& source, const std::string& target,
                                          const TTrackTextOptions& options) {
  return Import(source, target, ReadTrackColumnText, options);
}
