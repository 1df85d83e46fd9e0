// Route files: the binary formats (SRW, the old route, positions and track
// records), the 6-byte real, the kind of a file name, and the pieces the
// text readers and writers share (RouteFilesText.cpp, RouteFilesGpx.cpp).
#include "navobjects/RouteFiles.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "charts/ByteOrder.h"
#include "foundation/GenUtil.h"
#include "foundation/TextCodec.h"
#include "navobjects/RouteFilesDetail.h"
#include "platform/TextBasics.h"

namespace route_files {

bool TTextLines::Next(std::string_view& line) {
  if (rest_.empty()) return false;
  last_ = rest_;
  const size_t end = rest_.find('\n');
  line = rest_.substr(0, end);
  rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  ++number_;
  return true;
}

TRouteReadResult Failure(TRouteReadStatus status, std::string error, TRoutePoints points) {
  TRouteReadResult r;
  r.status = status;
  r.error = std::move(error);
  r.points = std::move(points);
  return r;
}

TRouteReadResult TextImportResult(TRoutePoints points, std::string_view what) {
  if (points.empty()) return Failure(TRouteReadStatus::NoPoints, "no " + std::string(what) + " in the file");
  TRouteReadResult r;
  r.status = TRouteReadStatus::Ok;
  r.points = std::move(points);
  return r;
}

namespace {

// The first `maxChars` characters of UTF-8 text.
std::string_view CutChars(std::string_view text, size_t maxChars) {
  size_t pos = 0;
  for (size_t n = 0; n < maxChars && pos < text.size(); ++n) NextCodePoint(text, pos);
  return text.substr(0, pos);
}

}  // namespace

std::string DeviceName(std::string_view name, int mode, size_t maxChars) {
  return std::string(CutChars(MakeDeviceName(name, mode), maxChars));
}

std::string DeviceComment(std::string_view comment, int mode, size_t maxChars) {
  std::string breaks;
  breaks.reserve(comment.size());
  for (size_t i = 0; i < comment.size(); ++i) {
    const char c = comment[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < comment.size() && comment[i + 1] == '\n') ++i;
      breaks += "\r\n";
    } else {
      breaks += c;
    }
  }
  const std::string cleaned = MakeDeviceName(breaks, mode);
  std::string cut(CutChars(cleaned, maxChars));
  // A line break cut in half would read back as a stray "|".
  if (cut.size() < cleaned.size() && !cut.empty() && cut.back() == '|' && cleaned[cut.size()] == '|') {
    size_t bars = 0;
    while (bars < cut.size() && cut[cut.size() - 1 - bars] == '|') ++bars;
    if (bars % 2 == 1) cut.pop_back();
  }
  return cut;
}

std::string BarsToLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '|' && i + 1 < text.size() && text[i + 1] == '|') {
      out += "\r\n";
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string UnnamedPointName(int routeNumber, size_t index) {
  const std::string number = IntToStrPad(static_cast<int64_t>(index) + 1, '0', 3);
  return routeNumber < 0 ? "WP" + number : "R" + std::to_string(routeNumber) + number;
}

TFPoint WritablePosition(const TFPoint& p) {
  TFPoint out{std::isfinite(p.X) ? p.X : 0.0, std::isfinite(p.Y) ? p.Y : 0.0};
  out.Y = std::clamp(out.Y, -kPi / 2, kPi / 2);
  NormAngleSigned(out.X);
  return out;
}

bool PositionFromDegrees(double latDeg, double lonDeg, TFPoint& out) {
  if (!std::isfinite(latDeg) || !std::isfinite(lonDeg) || std::fabs(latDeg) > 90 || std::fabs(lonDeg) > 360)
    return false;
  out.Y = latDeg * kDegToRad;
  out.X = lonDeg * kDegToRad;
  NormAngleSigned(out.X);
  return true;
}

}  // namespace route_files

using namespace route_files;

namespace {

// Little-endian numbers of the binary formats, from bytes the caller has
// checked are there.
int32_t GetLeI32(const uint8_t* p) { return static_cast<int32_t>(GetLe32(p)); }
double GetLeDouble(const uint8_t* p) {
  return std::bit_cast<double>(uint64_t{GetLe32(p)} | (uint64_t{GetLe32(p + 4)} << 32));
}

// Builds a little-endian file byte by byte, whatever the host's order.
class TLeWriter {
 public:
  void U16(uint16_t v) {
    out_ += static_cast<char>(v & 0xFF);
    out_ += static_cast<char>(v >> 8);
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v & 0xFFFF));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Double(double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    U32(static_cast<uint32_t>(bits & 0xFFFFFFFFu));
    U32(static_cast<uint32_t>(bits >> 32));
  }
  void Zeros(size_t n) { out_.append(n, '\0'); }
  void Bytes(std::string_view b) { out_ += b; }
  std::string& Text() { return out_; }

 private:
  std::string out_;
};

const uint8_t* Bytes(std::string_view s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// A short string of the old formats: a length byte (held to `maxLength`,
// since a damaged byte may say up to 255) and the Windows-1252 characters.
std::string ShortString(const uint8_t* field, size_t maxLength) {
  const size_t n = std::min<size_t>(field[0], maxLength);
  return Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(field + 1), n));
}

// The position of an old record, or false when it is out of range (the
// bytes are then not of the format).
bool OldPosition(const uint8_t* latField, const uint8_t* lonField, TFPoint& out) {
  const TIntPos p{GetLeI32(latField), GetLeI32(lonField)};
  if (!IntPosInRange(p)) return false;
  out = IntPosToFPoint(p);
  return true;
}

// The records of an old fixed-size format: whole records only, each read by
// `read`, which returns false for a record that cannot be of the format.
template <typename ReadRecord>
TRouteReadResult ReadFixedRecords(std::string_view bytes, size_t recordSize, const char* what, ReadRecord read) {
  if (bytes.size() % recordSize != 0)
    return Failure(TRouteReadStatus::NotThisKind, std::string("not ") + what + " (the size is not a whole number of " +
                                                      std::to_string(recordSize) + "-byte records)");
  TRouteReadResult r;
  r.points.reserve(bytes.size() / recordSize);
  for (size_t off = 0; off < bytes.size(); off += recordSize) {
    TRoutePointRec p;
    if (!read(Bytes(bytes) + off, p))
      return Failure(TRouteReadStatus::NotThisKind, std::string("not ") + what + " (record " +
                                                        std::to_string(off / recordSize + 1) + " is out of range)");
    r.points.push_back(std::move(p));
  }
  r.status = TRouteReadStatus::Ok;
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------
// SRW

bool IsSrw(std::string_view bytes) { return bytes.size() >= 4 && GetLe32(Bytes(bytes)) == kSrwMagic; }

TRouteReadResult ReadSrw(std::string_view bytes, int32_t* headerValue) {
  if (!IsSrw(bytes)) return Failure(TRouteReadStatus::NotThisKind, "not an SRW file");
  if (bytes.size() < kSrwHeaderSize) return Failure(TRouteReadStatus::Damaged, "the SRW header is cut short");
  const uint8_t* b = Bytes(bytes);
  if (headerValue) *headerValue = GetLeI32(b + 20);
  // The count is not trusted: a record takes at least 84 bytes, so the file
  // cannot hold more than (size - 24) / 84; a negative count means none.
  const int32_t count = std::max(GetLeI32(b + 4), 0);
  const size_t fit = (bytes.size() - kSrwHeaderSize) / kSrwRecordFixedSize;
  const size_t wanted = std::min(static_cast<size_t>(count), fit);

  TRouteReadResult r;
  std::string damage;
  if (static_cast<size_t>(count) > fit)
    damage = "the header gives " + std::to_string(count) + " records, the file has room for " + std::to_string(fit);
  size_t off = kSrwHeaderSize;
  size_t skipped = 0;
  for (size_t i = 0; i < wanted; ++i) {
    auto stop = [&](const char* what) { damage = "record " + std::to_string(i + 1) + what; };
    const size_t left = bytes.size() - off;
    const uint8_t* rec = b + off;
    // Each length field is read only once the bytes up to it are there.
    const size_t nameLen = left < kSrwRecordFixedSize ? 0 : GetLe16(rec + 80);
    if (left < kSrwRecordFixedSize + nameLen) {
      stop(" is cut short");
      break;
    }
    const size_t commentLen = GetLe16(rec + 82 + nameLen);
    const uint32_t length = GetLe32(rec);
    // The length must be the record's own: 84 + name + comment. Anything
    // else puts the next record at an unknown place, so reading stops.
    if (length != kSrwRecordFixedSize + nameLen + commentLen) {
      stop(" has a wrong length");
      break;
    }
    if (left < length) {
      stop(" is cut short");
      break;
    }
    off += length;
    const char* text = reinterpret_cast<const char*>(rec);
    const std::string_view name(text + 82, nameLen);
    const std::string_view comment(text + 84 + nameLen, commentLen);
    TRoutePointRec p;
    p.Position.Y = GetLeDouble(rec + 4);
    p.Position.X = GetLeDouble(rec + 12);
    p.LegSpeed = GetLeDouble(rec + 20);
    p.LegXTE = GetLeDouble(rec + 28);
    p.Reserved1 = GetLeI32(rec + 36);
    p.Reserved2 = GetLeI32(rec + 40);
    // A record with a value that is no number is left out; its length is
    // sound, so the records after it are read.
    if (!std::isfinite(p.Position.X) || !std::isfinite(p.Position.Y) || !std::isfinite(p.LegSpeed) ||
        !std::isfinite(p.LegXTE)) {
      ++skipped;
      continue;
    }
    p.Name = Cp1252ToUtf8(name);
    p.Comment = Cp1252ToUtf8(comment);
    r.points.push_back(std::move(p));
  }
  if (skipped > 0) {
    if (!damage.empty()) damage += "; ";
    damage += std::to_string(skipped) + " record(s) with values that are no numbers left out";
  }
  r.status = damage.empty() ? TRouteReadStatus::Ok : TRouteReadStatus::Damaged;
  r.error = std::move(damage);
  return r;
}

std::string EncodeSrw(const TRoutePoints& points, TDateTime savedAt, int32_t headerValue) {
  constexpr size_t kMaxText = 0xFFFF;  // the 16-bit length fields
  const size_t count = std::min<size_t>(points.size(), std::numeric_limits<int32_t>::max());
  TLeWriter w;
  w.U32(kSrwMagic);
  w.I32(static_cast<int32_t>(count));
  w.Double(savedAt);
  w.I32(0);
  w.I32(headerValue);
  for (size_t i = 0; i < count; ++i) {
    const TRoutePointRec& p = points[i];
    std::string name = Utf8ToCp1252(p.Name);
    std::string comment = Utf8ToCp1252(p.Comment);
    name.resize(std::min(name.size(), kMaxText));
    comment.resize(std::min(comment.size(), kMaxText));
    w.U32(static_cast<uint32_t>(kSrwRecordFixedSize + name.size() + comment.size()));
    w.Double(p.Position.Y);
    w.Double(p.Position.X);
    w.Double(p.LegSpeed);
    w.Double(p.LegXTE);
    w.I32(p.Reserved1);
    w.I32(p.Reserved2);
    w.Zeros(36);
    w.U16(static_cast<uint16_t>(name.size()));
    w.Bytes(name);
    w.U16(static_cast<uint16_t>(comment.size()));
    w.Bytes(comment);
  }
  return std::move(w.Text());
}

// ---------------------------------------------------------------------------
// Old binary formats

TRouteReadResult ReadOldRoute(std::string_view bytes) {
  return ReadFixedRecords(bytes, 63, "an old route file", [](const uint8_t* rec, TRoutePointRec& p) {
    if (!OldPosition(rec, rec + 4, p.Position)) return false;
    p.LegSpeed = Real48ToDouble(rec + 8);
    p.LegXTE = GetLeI32(rec + 16) / 100.0 / kRadToNM;  // hundredths of a nautical mile
    p.Name = ShortString(rec + 22, 40);
    return true;
  });
}

TRouteReadResult ReadOldPositions(std::string_view bytes) {
  return ReadFixedRecords(bytes, 164, "an old positions file", [](const uint8_t* rec, TRoutePointRec& p) {
    if (!OldPosition(rec + 4, rec + 8, p.Position)) return false;
    p.Name = ShortString(rec + 22, 40);
    p.Comment = ShortString(rec + 63, 100);
    return true;
  });
}

TRouteReadResult ReadTrackAsPoints(std::string_view bytes, double defaultXte) {
  // A track cut short in the middle of a record (a crash while recording)
  // keeps its whole records; the rest must be track records.
  const size_t whole = bytes.size() - bytes.size() % kTrcRecordSize;
  TRouteReadResult r = ReadFixedRecords(bytes.substr(0, whole), kTrcRecordSize, "a track file",
                                        [&](const uint8_t* bytes, TRoutePointRec& p) {
                                          const TTrcRecord rec = DecodeTrcRecord(bytes);
                                          if (!IntPosInRange(rec.Pos)) return false;
                                          p.Position = IntPosToFPoint(rec.Pos);
                                          p.LegSpeed = NonZeroOr(0.1, rec.SOG);
                                          p.LegXTE = defaultXte;
                                          return true;
                                        });
  if (r.status == TRouteReadStatus::Ok && whole != bytes.size()) {
    r.status = TRouteReadStatus::Damaged;
    r.error = "the last track record is cut short";
  }
  return r;
}

bool IntPosInRange(const TIntPos& p) {
  constexpr int32_t kMaxLat = 90 * 60000;
  constexpr int32_t kMaxLon = 180 * 60000;
  return p.Lat >= -kMaxLat && p.Lat <= kMaxLat && p.Lon >= -kMaxLon && p.Lon <= kMaxLon;
}

// ---------------------------------------------------------------------------
// Track records

TTrcRecord DecodeTrcRecord(const uint8_t* bytes) {
  TTrcRecord r;
  r.Pos = {GetLeI32(bytes), GetLeI32(bytes + 4)};
  r.Heading = static_cast<int16_t>(GetLe16(bytes + 8));
  r.SOG = Real48ToDouble(bytes + 14);
  r.Time = GetLeDouble(bytes + 20);
  r.Depth = static_cast<int16_t>(GetLe16(bytes + 28));
  return r;
}

std::string EncodeTrcRecord(const TTrcRecord& r) {
  uint8_t speed[6];
  if (!DoubleToReal48(r.SOG, speed)) {
    // Too large (or infinite): the largest value, keeping the sign.
    std::fill(speed, speed + 6, uint8_t{0xFF});
    speed[5] = r.SOG < 0 ? 0xFF : 0x7F;
  }
  TLeWriter w;
  w.I32(r.Pos.Lat);
  w.I32(r.Pos.Lon);
  w.I16(r.Heading);
  w.Zeros(4);
  w.Bytes(std::string_view(reinterpret_cast<const char*>(speed), sizeof speed));
  w.Double(std::isfinite(r.Time) ? r.Time : 0.0);
  w.I16(r.Depth);
  return std::move(w.Text());
}

// ---------------------------------------------------------------------------
// The 6-byte real: byte 0 the exponent with bias 129 (0: the value 0),
// bytes 1-5 the 39-bit fraction from the lowest byte up, the top bit of
// byte 5 the sign; value = +-2^(e-129) * (1 + f / 2^39).

double Real48ToDouble(const uint8_t bytes[6]) {
  if (bytes[0] == 0) return 0;
  const uint64_t fraction = uint64_t{bytes[1]} | (uint64_t{bytes[2]} << 8) | (uint64_t{bytes[3]} << 16) |
                            (uint64_t{bytes[4]} << 24) | (uint64_t{bytes[5] & 0x7Fu} << 32);
  const double value = std::ldexp(1.0 + std::ldexp(static_cast<double>(fraction), -39), bytes[0] - 129);
  return (bytes[5] & 0x80) ? -value : value;
}

bool DoubleToReal48(double value, uint8_t bytes[6]) {
  std::fill(bytes, bytes + 6, uint8_t{0});
  if (std::isnan(value) || value == 0) return true;
  if (std::isinf(value)) return false;
  int exponent = 0;
  const double mantissa = std::frexp(std::fabs(value), &exponent);  // [0.5, 1)
  int e = exponent + 128;
  // (2m - 1) * 2^39 is exact in a double; halves round to even.
  uint64_t fraction = static_cast<uint64_t>(std::nearbyint(std::ldexp(2 * mantissa - 1, 39)));
  if (fraction == (uint64_t{1} << 39)) {
    fraction = 0;
    ++e;
  }
  if (e > 255) return false;
  if (e < 1) return true;  // below 2^-128: 0
  bytes[0] = static_cast<uint8_t>(e);
  for (int i = 1; i <= 5; ++i) bytes[i] = static_cast<uint8_t>(fraction >> (8 * (i - 1)));
  if (value < 0) bytes[5] |= 0x80;
  return true;
}

// ---------------------------------------------------------------------------

TRouteFileKind RouteFileKindOf(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  const size_t sep = fileName.find_last_of("/\\");
  if (dot == std::string_view::npos || (sep != std::string_view::npos && dot < sep)) return TRouteFileKind::Unknown;
  const std::string ext = FoldCase(fileName.substr(dot + 1));
  if (ext == "srw") return TRouteFileKind::Srw;
  if (ext == "rte") return TRouteFileKind::OldRoute;
  if (ext == "swp") return TRouteFileKind::OldPositions;
  if (ext == "trc") return TRouteFileKind::Track;
  if (ext == "txt") return TRouteFileKind::WpText;
  if (ext == "g7t") return TRouteFileKind::G7t;
  if (ext == "gpx") return TRouteFileKind::Gpx;
  return TRouteFileKind::Unknown;
}
