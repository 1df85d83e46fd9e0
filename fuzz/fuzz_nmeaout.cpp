// What the plotter sends goes to autopilots and other instruments: whatever
// the waypoint names and whatever the navigation state holds (NaN,
// infinities, NoDataValue, huge numbers), every sentence must be one
// well-framed NMEA line, and no name may end a field or a sentence.
//
// The input drives: byte 0 the name mode and flags, bytes 1-2 the talker,
// then the values of the navigation state (a selector byte each: a special
// value, or the next 8 bytes as a double), then names, each a length byte
// and that many bytes: origin, destination, destination name, and the
// upload points (each with two more values).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/GenUtil.h"
#include "instruments/NMEAInfo.h"
#include "instruments/NMEAOutput.h"

namespace {

class TInput {
 public:
  TInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  bool Empty() const { return at_ >= size_; }
  double Value() {
    static const double kSpecial[] = {NoDataValue,
                                      std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity(),
                                      1e300,
                                      -1e300,
                                      0.0,
                                      -0.0,
                                      6.283185307179586,  // 2 pi
                                      1.5707963267948966,
                                      -3.141592653589793,
                                      5e-324,
                                      1e6 / 3437.7467707849392526};
    const uint8_t sel = Byte();
    if (sel < sizeof kSpecial / sizeof kSpecial[0]) return kSpecial[sel];
    if (sel < 128) return (sel - 64) * 0.0137;  // ordinary small values
    double v = 0;
    uint8_t raw[8] = {};
    for (uint8_t& b : raw) b = Byte();
    std::memcpy(&v, raw, sizeof v);
    return v;
  }
  std::string Text() {
    const size_t n = Byte();
    std::string s;
    for (size_t k = 0; k < n && !Empty(); ++k) s.push_back(static_cast<char>(Byte()));
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

[[noreturn]] void Fail(const char* what, std::string_view s) {
  std::fprintf(stderr, "fuzz_nmeaout: %s in \"", what);
  for (char c : s) std::fprintf(stderr, (c >= 0x20 && c < 0x7F) ? "%c" : "\\x%02X", static_cast<unsigned char>(c));
  std::fprintf(stderr, "\"\n");
  std::abort();
}

void Check(bool ok, const char* what, std::string_view s) {
  if (!ok) Fail(what, s);
}

// A character that must never appear inside a field.
bool Forbidden(char c, int mode) {
  const auto u = static_cast<unsigned char>(c);
  if (u < 0x20 || u == 0x7F || c == '$' || c == '*' || c == '!' || c == '~' || c == ',') return true;
  return mode != dnNexus && (c == '\\' || c == '^');
}

// One framed sentence ("" is a sentence not sent): "$", one line, the
// checksum (unless APA), `commas` separators (or at least that many when
// `exact` is false) and no forbidden character inside a field.
void CheckSentence(const std::string& s, int mode, size_t commas, bool exact, bool checksum, bool upload) {
  if (s.empty()) return;
  Check(s.size() >= 8 && s.front() == '$', "no \"$\" at the start", s);
  Check(s.compare(s.size() - 2, 2, "\r\n") == 0, "no CR LF at the end", s);
  Check(!upload || s.size() <= kMaxNmeaSentence, "upload longer than 82", s);
  const std::string_view body = std::string_view(s).substr(1, s.size() - (checksum ? 6 : 3));
  if (checksum) {
    Check(s[s.size() - 5] == '*', "no checksum", s);
    static constexpr char kHex[] = "0123456789ABCDEF";
    const uint8_t x = NmeaChecksum(body);
    Check(s[s.size() - 4] == kHex[x >> 4] && s[s.size() - 3] == kHex[x & 0xF], "wrong checksum", s);
    uint8_t again = 0;
    for (char c : body) again ^= static_cast<uint8_t>(c);
    Check(again == x, "checksum is not the XOR of the body", s);
  }
  size_t n = 0;
  for (char c : body) {
    if (c == ',') {
      ++n;
      continue;
    }
    Check(!Forbidden(c, mode), "framing character inside a field", s);
  }
  Check(exact ? n == commas : n >= commas, "wrong number of fields", s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TInput in(data, size);
  const uint8_t flags = in.Byte();
  TNmeaOutputSettings s;
  // Modes 0..4 and two outside them.
  static const int kModes[] = {dnUpperCase, dnLowerCase, dnAsIs, dnNumeric, dnNexus, 7, -1, dnAsIs};
  s.NameMode = kModes[flags & 7];
  s.Talker = std::string(1, static_cast<char>(in.Byte())) + static_cast<char>(in.Byte());
  const int mode = s.NameMode >= 0 && s.NameMode <= 4 ? s.NameMode : 0;

  TNMEAINFO nav;
  nav.RouteIdKeep = flags & 0x08;
  nav.RouteActive = flags & 0x10;
  nav.FixStatus = (flags & 0x20) ? kFixValid : kFixInvalid;
  double* values[] = {&nav.GpsDateTime,   &nav.XTE,          &nav.XteFactor,        &nav.BOD,
                      &nav.BODMag,        &nav.BearingToDest, &nav.BearingToDestMag, &nav.RangeToDest,
                      &nav.VMGToDest,     &nav.DestPos.X,     &nav.DestPos.Y,        &nav.SteerHeading,
                      &nav.SteerHeadingMag, &nav.Variation,   &nav.Pos.X,            &nav.Pos.Y,
                      &nav.SOG,           &nav.Depth};
  for (double* v : values) *v = in.Value();
  nav.OriginId = in.Text();
  nav.DestId = in.Text();
  nav.DestName = in.Text();

  // Steering sentences, one by one and as the cycle sends them.
  CheckSentence(MakeAPA(nav, s), mode, 10, true, false, false);
  CheckSentence(MakeAPB(nav, s), mode, 14, true, true, false);
  CheckSentence(MakeRMB(nav, s), mode, 13, true, true, false);
  CheckSentence(MakeBOD(nav, s), mode, 6, true, true, false);
  CheckSentence(MakeBWC(nav, s), mode, 12, true, true, false);
  CheckSentence(MakeRTEActive(nav, s), mode, 6, true, true, false);
  for (const std::string& sentence : SteeringSentences(nav, flags >> 2, s))
    CheckSentence(sentence, mode, 6, false, sentence.compare(3, 3, "APA") != 0, false);

  // A name alone.
  for (char c : NmeaFieldName(nav.DestId, s.NameMode)) Check(!Forbidden(c, mode), "field name", nav.DestId);

  // The data line: one line of 23 fields.
  const std::string line = MakeDataLine(nav, flags & 0x40);
  size_t commas = 0;
  for (char c : line) {
    Check(c != '\r' && c != '\n', "line end in the data line", line);
    commas += c == ',';
  }
  Check(commas == 22, "data line fields", line);

  // Uploads.
  std::vector<TUploadPoint> points;
  while (!in.Empty() && points.size() < 300) {
    TUploadPoint p;
    p.Name = in.Text();
    p.Position.X = in.Value();
    p.Position.Y = in.Value();
    points.push_back(std::move(p));
  }
  const std::vector<std::string> route = RouteUploadSentences(points, s);
  const bool numbered = mode == dnNumeric || mode == dnNexus;
  if (!route.empty()) {
    Check(route.size() >= points.size() + 1, "route upload too short", route.front());
    if (!numbered) Check(route.size() == 2 * points.size(), "one RTE per waypoint", route.back());
    std::string joined, expected;
    const size_t rteCount = route.size() - points.size();
    for (size_t k = 0; k < route.size(); ++k) {
      const bool wpl = k < points.size();
      // WPL and a single-waypoint RTE have 5 commas; a numbered list more.
      CheckSentence(route[k], mode, 5, wpl || !numbered, true, true);
      Check(route[k].compare(3, 3, wpl ? "WPL" : "RTE") == 0, "upload order", route[k]);
      if (wpl || !numbered) continue;
      std::vector<std::string> f(1);
      for (char c : route[k].substr(1, route[k].size() - 6)) {
        if (c == ',')
          f.emplace_back();
        else
          f.back() += c;
      }
      Check(f[1] == std::to_string(rteCount) && f[2] == std::to_string(k - points.size() + 1) && f[4] == "00",
            "RTE total, number or route", route[k]);
      for (size_t i = 5; i < f.size(); ++i) joined += f[i] + ",";
    }
    if (numbered) {
      for (size_t n = 1; n <= points.size(); ++n) expected += std::to_string(n) + ",";
      Check(joined == expected, "RTE lists do not give 1..N", joined);
    }
  }
  for (const std::string& w : PositionUploadSentences(points, s)) CheckSentence(w, mode, 5, true, true, true);
  if (!points.empty()) {
    CheckSentence(MakeWPL(points[0].Position, points[0].Name, s), mode, 5, true, true, true);
    std::vector<std::string> names;
    for (const TUploadPoint& p : points) names.push_back(p.Name);
    CheckSentence(MakeRTE(static_cast<int>(names.size()), 1, points[0].Name, names, s), mode, 4 + names.size(), true,
                  true, true);
  }
  return 0;
}
