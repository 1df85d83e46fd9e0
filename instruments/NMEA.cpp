// The NMEA parser: acceptance (checksum, length), capture, pass-through,
// talker tracking and the sentence handlers that fill TNMEAINFO.
//
// Handlers read their fields in a fixed order. Where a number cannot be read
// the handler stops there; RMC, RMA, VTG, DBT, DPT, DTM and the wind
// sentences then leave a marker of the failure (see each handler), the
// others leave the record as it was.
#include "instruments/NMEA.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "instruments/NMEAFields.h"

namespace {

constexpr double kTwoPi = 2.0 * kPi;
constexpr double kKnotToMs = 0.51444444444444444443;
constexpr double kKmhToMs = 0.27777777777777777778;
constexpr double kFeetPerMetre = 3.28;
constexpr double kMetresPerFathom = 1.8288;
// Radians per minute of arc.
constexpr double kMinuteToRad = 2.908882086657216e-4;
// Speed and course are derived from successive fixes at most this often.
constexpr auto kDeriveInterval = std::chrono::seconds(6);
// After the capture file could not be opened, the next attempt waits this long.
constexpr auto kCaptureRetry = std::chrono::seconds(10);

constexpr uint32_t PackId(char a, char b, char c) {
  return static_cast<uint32_t>(static_cast<unsigned char>(a)) |
         static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(c)) << 16;
}
constexpr uint32_t PackId(const char (&s)[4]) { return PackId(s[0], s[1], s[2]); }

double SignedNormalised(double a) {
  NormAngleSigned(a);
  return a;
}

// A filter of identifiers: "*" takes every sentence, otherwise the identifier
// must occur in the text (an empty filter takes nothing).
bool FilterTakes(const std::string& filter, std::string_view id) {
  if (filter == "*") return true;
  return !filter.empty() && !id.empty() && filter.find(id) != std::string::npos;
}

// A latitude with "N" or "S", a longitude with "E" or "W" (NoDataValue
// otherwise, so that a longitude never lands in a latitude).
double ReadLat(std::string_view text, std::string_view letter) {
  char c = letter.empty() ? '\0' : letter[0];
  return c == 'N' || c == 'n' || c == 'S' || c == 's' ? ReadLatLon(text, c) : NoDataValue;
}
double ReadLon(std::string_view text, std::string_view letter) {
  char c = letter.empty() ? '\0' : letter[0];
  return c == 'E' || c == 'e' || c == 'W' || c == 'w' ? ReadLatLon(text, c) : NoDataValue;
}
// A magnetic variation, east positive, negated when the letter is exactly
// "W"; NoDataValue for an empty field, nothing when the number is garbage.
std::optional<double> ReadVariation(std::string_view text, std::string_view letter) {
  auto variation = ReadAngleOrNoData(text);
  if (variation && IsKnown(*variation) && letter == "W") *variation = -*variation;
  return variation;
}

// A wind speed in metres per second from its value and unit letter.
double WindSpeedMs(double value, std::string_view unit) {
  if (unit == "N") return value * kKnotToMs;
  if (unit == "K") return value * kKmhToMs;
  return value;
}

}  // namespace

// ---------------------------------------------------------------------------
// TNdxString

std::string_view TNdxString::Field(int n) const {
  int commas = std::min<int>(CommaCount, kMaxSentenceCommas);
  if (n < 1 || n > commas) return {};
  std::string_view text = View();
  size_t start = CommaPos[static_cast<size_t>(n)];
  if (start > text.size()) return {};
  size_t end = start;
  while (end < text.size()) {
    char c = text[end];
    if (c == ',' || c == '*' || c == '\r') break;
    ++end;
  }
  return text.substr(start, end - start);
}

void TNdxString::CopyUsed(const TNdxString& from) {
  if (&from == this) return;
  std::string_view text = from.View();
  std::copy(text.begin(), text.end(), Text.begin());
  const size_t commas = std::min<size_t>(from.CommaCount, kMaxSentenceCommas) + 1;
  std::copy_n(from.CommaPos.begin(), commas, CommaPos.begin());
  CommaCount = from.CommaCount;
  StarPos = from.StarPos;
  FirstStarPos = from.FirstStarPos;
  Length = from.Length;
}

std::string_view TNdxString::Talker() const {
  std::string_view text = View();
  return text.size() >= 3 ? text.substr(1, 2) : std::string_view();
}

std::string_view TNdxString::Identifier() const {
  std::string_view text = View();
  return text.size() >= 6 ? text.substr(3, 3) : std::string_view();
}

// ---------------------------------------------------------------------------
// TNMEA: acceptance

TNMEA::TNMEA(IClock& clock) : clock_(clock) {}

bool TNMEA::ChecksumOK(const TNdxString& sentence) const {
  if (sentence.StarPos == 0) return ChecksumMode > 0;
  std::string_view text = sentence.View();
  size_t first = sentence.FirstStarPos;  // 1-based position of the first "*"
  size_t last = sentence.StarPos;
  if (text.size() < 3 || first == 0 || first > text.size()) return false;
  // The two digits after the last "*" must stand before the final character
  // (the carriage return the assembler appends).
  if (last + 2 > text.size() - 1 || last == 0) return false;
  unsigned x = 0;
  for (size_t i = 1; i + 1 < first; ++i) x ^= static_cast<unsigned char>(text[i]);
  static constexpr char kHex[] = "0123456789ABCDEF";
  return text[last] == kHex[(x >> 4) & 0xF] && text[last + 1] == kHex[x & 0xF];
}

void TNMEA::AppendOutput(std::string_view text) {
  if (!OutputEnabled || Info.OutBuffer.size() >= kMaxOutBuffer) return;
  Info.OutBuffer.append(text);
}

void TNMEA::SetCapture(const std::string& fileName, const std::string& filter) {
  if (captureFile_.IsOpen() && captureFile_.Path() != fileName) captureFile_.Close();
  captureRetryAt_ = TMonoTime{0};
  CaptureFile = fileName;
  if (fileName.empty()) {
    CaptureOn = false;
    return;
  }
  CaptureFilter = filter;
  CaptureOn = true;
}

void TNMEA::Capture(const TNdxString& sentence) {
  if (!CaptureOn || CaptureFile.empty() || !FilterTakes(CaptureFilter, sentence.Identifier())) return;
  // A failure must not disturb the input: it is dropped, and the file is
  // tried again a little later (for example when a USB stick comes back).
  if (!captureFile_.IsOpen() || captureFile_.Path() != CaptureFile) {
    captureFile_.Close();
    TMonoTime now = clock_.MonoNow();
    if (now < captureRetryAt_) return;
    if (!captureFile_.Open(CaptureFile, TRecordFraming::Lines())) {
      captureRetryAt_ = now + std::chrono::duration_cast<TMonoTime>(kCaptureRetry);
      return;
    }
  }
  // The text ends with its carriage return; the record gets its line feed.
  if (!captureFile_.Append(sentence.View())) {
    captureFile_.Close();
    captureRetryAt_ = clock_.MonoNow() + std::chrono::duration_cast<TMonoTime>(kCaptureRetry);
  }
}

void TNMEA::ParseSentence(const TNdxString& sentence) {
  if (OnSentence) OnSentence(sentence.View());
  if (!((ChecksumMode > 1 || ChecksumOK(sentence)) && sentence.Length >= 7)) return;
  std::string_view id = sentence.Identifier();
  std::string_view talker = sentence.Talker();
  Capture(sentence);
  const bool echo = CurrentSource != kSourceNone && CurrentSource == EchoSource;
  if (FilterTakes(PassFilter, id) && OutputEnabled && !echo && Info.OutBuffer.size() < kMaxPassThroughBuffer) {
    Info.OutBuffer.append(sentence.View());
    Info.OutBuffer.push_back('\n');
  }
  Updated = 0;
  if (talker.front() == 'P') {  // proprietary: passed on, never parsed
    if (OnAccepted) OnAccepted(sentence);
    return;
  }
  // Once a "GP" talker has been heard it stays the one reported.
  if (Info.TalkerIn != "GP") {
    Info.TalkerIn.resize(2);
    Info.TalkerIn[0] = talker[0];
    Info.TalkerIn[1] = talker[1];
  }
  Dispatch(sentence);
  LastLine.CopyUsed(sentence);
  if (OnAccepted) OnAccepted(sentence);
}

void TNMEA::ParseEncapsulated(const TNdxString& sentence) {
  if (!AisEnabled) return;
  if (OnSentence) OnSentence(sentence.View());
  // The checksum rule is never waived for "!" sentences: one without a
  // checksum is refused whatever the checksum setting says.
  if (!(sentence.StarPos != 0 && ChecksumOK(sentence) && sentence.Length >= 7)) return;
  Capture(sentence);
  Updated = 0;
  LastLine.CopyUsed(sentence);
  std::string_view id = sentence.Identifier();
  if (OnAisSentence && (id == "VDM" || id == "VDO")) OnAisSentence(sentence, id == "VDO");
  if (OnAccepted) OnAccepted(sentence);
}

void TNMEA::Dispatch(const TNdxString& L) {
  std::string_view id = L.Identifier();
  if (id.size() != 3) return;
  switch (PackId(id[0], id[1], id[2])) {
    case PackId("RMC"): HandleRMC(L); break;
    case PackId("GGA"): HandleGGA(L); break;
    case PackId("GLL"): HandleGLL(L); break;
    case PackId("DBT"): HandleDBT(L); break;
    case PackId("VTG"): HandleVTG(L); break;
    case PackId("VWR"): HandleVWR(L, false); break;
    case PackId("VWT"): HandleVWR(L, true); break;
    case PackId("MWV"): HandleMWV(L); break;
    case PackId("MWD"): HandleMWD(L); break;
    case PackId("VHW"): HandleVHW(L); break;
    case PackId("HDM"): HandleHDM(L); break;
    case PackId("HDG"): HandleHDG(L); break;
    case PackId("ZDA"): HandleZDA(L); break;
    case PackId("RMA"): HandleRMA(L); break;
    case PackId("MTW"): HandleMTW(L); break;
    case PackId("DPT"): HandleDPT(L); break;
    case PackId("DTM"): HandleDTM(L); break;
    case PackId("HDT"): HandleHDT(L); break;
    case PackId("ROT"): HandleROT(L); break;
    default: break;
  }
}

// ---------------------------------------------------------------------------
// Shared steps

double TNMEA::TodayUTC() const { return std::floor(clock_.NowUTC()); }

void TNMEA::SetPosFromRaw() {
  Info.Pos = {Info.RawPos.X + Info.DatumOffset.X, Info.RawPos.Y + Info.DatumOffset.Y};
  Info.LastFixTime = clock_.MonoNow();
  Updated |= kSetPos;
}

void TNMEA::SetVelocity() {
  Info.VelEast = std::sin(Info.COG) * Info.SOG;
  Info.VelNorth = std::cos(Info.COG) * Info.SOG;
  Updated |= kSetVelocity;
}

// Speed and course from the last two fixes, for receivers that send only
// positions. Samples are taken at least 6 s apart (monotonic clock, so a
// receiver whose time jumps does not matter) and blended 1:3 with the
// previous values; the course is blended along the shorter arc, so that 350
// and 10 degrees meet at north.
void TNMEA::DeriveFromFixes() {
  TNMEAINFO& I = Info;
  if (I.CogSogSource >= kCogSogAisNoPos) return;
  TMonoTime now = clock_.MonoNow();
  if (I.CogSogSource == kCogSogNone) {
    I.PrevFixPos = I.Pos;
    I.CogSogSource = kCogSogDerived;
    I.PrevFixTime = now;
    return;
  }
  TMonoTime elapsed = now - I.PrevFixTime;
  if (elapsed < kDeriveInterval) return;
  double hours = std::chrono::duration<double, std::ratio<3600>>(elapsed).count();
  TFPoint distBearing = GeoDistBearing(I.PrevFixPos, I.Pos);
  double speedSample = distBearing.X * kRadToNM / hours;
  double courseSample = distBearing.Y;
  double sog = (3 * I.PrevSOG + speedSample) / 4;
  // The first course is the first sample: blending it with "no data" would
  // turn it toward north.
  double course = IsNoData(I.PrevCOG)
                      ? courseSample
                      : NormalisedAngle(I.PrevCOG + SignedNormalised(courseSample - I.PrevCOG) / 4);
  Updated |= kSetSOG | kSetCOG | kSetHeading;
  if (!std::isfinite(sog) || !std::isfinite(course)) {
    I.SOG = I.Heading = I.PrevSOG = I.PrevCOG = 0;
    return;
  }
  I.SOG = sog;
  I.Heading = course;
  I.COG = course;
  I.PrevSOG = sog;
  I.PrevCOG = course;
  I.CogSogSource = kCogSogDerived;
  I.PrevFixTime = now;
  I.PrevFixPos = I.Pos;
  SetVelocity();
}

// ---------------------------------------------------------------------------
// Position, speed and course

// The part RMC and RMA share: the position (latitude at latField, its
// letter, longitude, its letter), speed, course and the variation with its
// letter. A missing position ends the sentence quietly; a number that cannot
// be read marks the fix and the course as bad data. An empty variation field
// keeps the variation known so far: receivers without a magnetic model send
// it empty every second, which must not wipe out a compass's variation.
// Below CogSwitchSpeed, with compassWhenSlow, the heading is the compass's.
void TNMEA::TakeFixAndMotion(const TNdxString& L, int latField, int sogField, int cogField, int varField,
                             bool compassWhenSlow) {
  TNMEAINFO& I = Info;
  auto fail = [&] {
    I.FixStatus = kFixBadData;
    I.CogSogSource = kCogSogBadData;
  };
  I.RawPos.Y = ReadLat(L.Field(latField), L.Field(latField + 1));
  I.RawPos.X = ReadLon(L.Field(latField + 2), L.Field(latField + 3));
  if (IsNoData(I.RawPos.Y) || IsNoData(I.RawPos.X)) return;
  SetPosFromRaw();
  auto sog = ReadNumber(L.Field(sogField));
  if (!sog) return fail();
  I.SOG = *sog;
  Updated |= kSetSOG;
  auto cog = ReadAngle(L.Field(cogField));
  if (!cog) return fail();
  I.COG = I.Heading = *cog;
  Updated |= kSetCOG | kSetHeading;
  auto variation = IsKnown(I.ModelVariation) ? I.ModelVariation
                                             : ReadVariation(L.Field(varField), L.Field(varField + 1));
  if (!variation) return fail();
  if (IsKnown(*variation)) {
    I.Variation = *variation;
    Updated |= kSetVariation;
  }
  FinishMotion(compassWhenSlow);
}

void TNMEA::FinishMotion(bool compassWhenSlow) {
  TNMEAINFO& I = Info;
  if (compassWhenSlow && I.SOG < CogSwitchSpeed) {
    if (IsKnown(I.CompassHeading))
      I.Heading = I.CompassHeading;
    else if (IsKnown(I.MagHeading))
      I.Heading = I.MagHeading + I.Variation;
  }
  SetVelocity();
  I.MagCourse = NormalisedAngle(I.Heading - I.Variation);
  Updated |= kSetMagCourse;
  I.CogSogSource = kCogSogReceived;
}

void TNMEA::HandleRMC(const TNdxString& L) {
  TNMEAINFO& I = Info;
  if (L.CommaCount < 11) return;
  Seen |= kSeenRMC;  // also for an invalid fix: it still outranks GGA and GLL
  Updated |= kSetFix;
  if (L.Field(2) != "A") {
    I.FixStatus = kFixInvalid;
    I.FixQuality = 0;
    Updated |= kSetQuality;
    return;
  }
  I.FixStatus = kFixValid;
  double time = ReadTime(L.Field(1));
  double dateTime = ReadDate(L.Field(9)) + time;
  if (dateTime >= 1.0) {
    Seen |= kSeenDate;
    I.GpsDateTime = dateTime;
  } else {
    I.GpsDateTime = TodayUTC() + time;
  }
  Updated |= kSetTime;
  if (L.CommaCount >= 12) {
    std::string_view mode = L.Field(12);
    I.ModeIndicator = mode.empty() ? 0 : static_cast<unsigned char>(mode[0]);
    I.FixQuality = I.ModeIndicator == 'D' ? 2 : 1;
    Updated |= kSetQuality;
  }
  TakeFixAndMotion(L, 3, 7, 8, 10, true);
}

void TNMEA::HandleGGA(const TNdxString& L) {
  TNMEAINFO& I = Info;
  if (L.CommaCount < 12) return;
  std::optional<double> age = 0.0, station = 0.0;
  if (L.CommaCount >= 14) {
    age = ReadNumber(L.Field(13));
    station = ReadNumber(L.Field(14));
  }
  auto altitude = ReadNumber(L.Field(9));
  auto hdop = ReadNumber(L.Field(8));
  auto quality = ReadNumber(L.Field(6));
  auto satellites = ReadNumber(L.Field(7));
  if (!age || !station || !altitude || !hdop || !quality || !satellites) return;
  if (L.CommaCount >= 14) {
    I.DgpsAge = RoundToInt(*age);
    I.DgpsStation = RoundToInt(*station);
    Updated |= kSetDgps;
  }
  I.Altitude = *altitude;
  I.HDOP = *hdop;
  int32_t q = RoundToInt(*quality, -1);
  if (q >= 0) I.FixQuality = q;
  I.Satellites = RoundToInt(*satellites);
  Updated |= kSetAltitude | kSetHDOP | kSetQuality | kSetSatellites;
  Seen |= kSeenGGA;
  if (Seen & kSeenRMC) return;  // RMC supplies position and time
  Updated |= kSetFix;
  if (I.FixQuality < 1 || I.FixQuality > 5) {
    I.FixStatus = kFixInvalid;
    return;
  }
  I.FixStatus = kFixValid;
  if (!(Seen & kSeenDate)) {
    I.GpsDateTime = TodayUTC() + ReadTime(L.Field(1));
    Updated |= kSetTime;
  }
  I.RawPos.Y = ReadLat(L.Field(2), L.Field(3));
  I.RawPos.X = ReadLon(L.Field(4), L.Field(5));
  if (IsNoData(I.RawPos.Y) || IsNoData(I.RawPos.X)) {
    I.FixStatus = kFixInvalid;
    return;
  }
  SetPosFromRaw();
  if (!(Seen & kSeenVTG)) DeriveFromFixes();
}

void TNMEA::HandleGLL(const TNdxString& L) {
  TNMEAINFO& I = Info;
  if (L.CommaCount < 4 || (Seen & (kSeenRMC | kSeenGGA))) return;
  I.FixStatus = kFixValid;
  if (L.CommaCount >= 6 && L.Field(6) != "A") I.FixStatus = kFixInvalid;
  Updated |= kSetFix;
  bool valid = I.FixStatus == kFixValid;
  double lat = ReadLat(L.Field(1), L.Field(2));
  double lon = ReadLon(L.Field(3), L.Field(4));
  // A position the receiver itself calls invalid does not move the boat.
  if (valid) I.RawPos = {lon, lat};
  if (IsNoData(lat) || IsNoData(lon)) return;
  if (valid) SetPosFromRaw();
  if (L.CommaCount >= 7) {
    std::string_view mode = L.Field(7);
    I.ModeIndicator = mode.empty() ? 0 : static_cast<unsigned char>(mode[0]);
    I.FixQuality = I.ModeIndicator == 'D' && valid ? 2 : 1;
    Updated |= kSetQuality;
  }
  Seen |= kSeenGLL;
  if (L.CommaCount >= 6 && !(Seen & kSeenDate)) {
    I.GpsDateTime = TodayUTC() + ReadTime(L.Field(5));
    Updated |= kSetTime;
  }
  if (valid && !(Seen & kSeenVTG)) DeriveFromFixes();
}

void TNMEA::HandleRMA(const TNdxString& L) {
  TNMEAINFO& I = Info;
  if (L.CommaCount < 11 || (Seen & kSeenRMC)) return;
  Seen |= kSeenRMA;
  I.FixStatus = kFixInvalid;
  Updated |= kSetFix;
  if (L.Field(1) != "A") return;
  I.FixStatus = kFixValid;
  // RMA leaves the heading at the course whatever the speed.
  TakeFixAndMotion(L, 2, 8, 9, 10, false);
}

void TNMEA::HandleVTG(const TNdxString& L) {
  TNMEAINFO& I = Info;
  if (L.CommaCount < 8) return;
  if (!(Seen & (kSeenHDM | kSeenHDG))) {
    auto mag = ReadAngle(L.Field(3));
    if (!mag) {
      I.CogSogSource = kCogSogBadData;
      return;
    }
    I.MagCourse = *mag;
    Updated |= kSetMagCourse;
  }
  if (Seen & kSeenRMC) return;
  auto sog = ReadNumber(L.Field(5));
  if (!sog) {
    I.CogSogSource = kCogSogBadData;
    return;
  }
  I.SOG = *sog;
  Updated |= kSetSOG;
  auto cog = ReadAngle(L.Field(1));
  if (!cog) {
    I.CogSogSource = kCogSogBadData;
    return;
  }
  I.COG = I.Heading = *cog;
  Updated |= kSetCOG | kSetHeading;
  if (!(Seen & kSeenHDT)) {
    I.CompassHeading = I.COG;
    Updated |= kSetCompass;
  }
  SetVelocity();
  I.CogSogSource = kCogSogReceived;
  Seen |= kSeenVTG;
}

// ---------------------------------------------------------------------------
// Heading

void TNMEA::HandleHDT(const TNdxString& L) {
  if (L.CommaCount < 2) return;
  auto heading = ReadAngleOrNoData(L.Field(1));
  // An empty heading (sensor not ready) is no heading, not north.
  if (!heading || IsNoData(*heading)) return;
  TakeHeadingTrue(*heading);
}

void TNMEA::TakeHeadingTrue(double heading) {
  TNMEAINFO& I = Info;
  if (IsNoData(heading)) {
    I.CompassHeading = NoDataValue;
    Updated |= kSetCompass;
    return;
  }
  I.CompassHeading = heading;
  Updated |= kSetCompass;
  if (!(Seen & (kSeenHDM | kSeenHDG))) {
    I.MagHeading = NormalisedAngle(I.CompassHeading - I.Variation);
    Updated |= kSetMagHeading;
  }
  if (I.SOG < CogSwitchSpeed) {
    I.Heading = I.CompassHeading;
    Updated |= kSetHeading;
  }
  Seen |= kSeenHDT;
}

void TNMEA::HandleHDM(const TNdxString& L) {
  if (L.CommaCount != 2) return;
  auto heading = ReadAngleOrNoData(L.Field(1));
  if (!heading || IsNoData(*heading)) return;
  TakeHeadingMagnetic(*heading);
}

void TNMEA::TakeHeadingMagnetic(double heading) {
  TNMEAINFO& I = Info;
  if (Seen & (kSeenHDT | kSeenHDG)) return;
  if (IsNoData(heading)) {
    I.MagHeading = NoDataValue;
    Updated |= kSetMagHeading;
    return;
  }
  I.MagHeading = heading;
  I.CompassHeading = I.MagHeading + I.Variation;
  Updated |= kSetMagHeading | kSetCompass;
  if (I.SOG < CogSwitchSpeed) {
    I.Heading = I.CompassHeading;
    Updated |= kSetHeading;
  }
  Seen |= kSeenHDM;
}

// HDG: heading, deviation (fields 2 and 3), variation (fields 4 and 5). The
// variation is taken only when the sentence carries one.
void TNMEA::HandleHDG(const TNdxString& L) {
  TNMEAINFO& I = Info;
  if (L.CommaCount != 5 || (Seen & kSeenHDT)) return;
  auto heading = ReadAngleOrNoData(L.Field(1));
  if (!heading || IsNoData(*heading)) return;
  auto variation = IsKnown(I.ModelVariation) ? I.ModelVariation : ReadVariation(L.Field(4), L.Field(5));
  if (!variation) return;
  I.MagHeading = *heading;
  if (IsKnown(*variation)) {
    I.Variation = *variation;
    Updated |= kSetVariation;
  }
  I.CompassHeading = I.MagHeading + I.Variation;
  Updated |= kSetMagHeading | kSetCompass;
  if (I.SOG < CogSwitchSpeed) {
    I.Heading = I.CompassHeading;
    Updated |= kSetHeading;
  }
  Seen |= kSeenHDG;
}

// VHW: true heading, magnetic heading, water speed. An empty heading field
// leaves the heading alone.
void TNMEA::HandleVHW(const TNdxString& L) {
  TNMEAINFO& I = Info;
  if (L.CommaCount != 8) return;
  auto heading = ReadAngleOrNoData(L.Field(1));
  bool magnetic = L.Field(4) == "M";
  std::optional<double> magHeading = NoDataValue;
  if (magnetic) magHeading = ReadAngleOrNoData(L.Field(3));
  auto waterSpeed = ReadNumber(L.Field(5));
  if (!heading || !magHeading || !waterSpeed) return;
  if (!(Seen & (kSeenRMC | kSeenVTG)) && IsKnown(*heading)) {
    I.Heading = *heading;
    Updated |= kSetHeading;
  }
  if (magnetic && IsKnown(*magHeading)) {
    I.MagHeading = *magHeading;
    Seen |= kSeenHDG;
    Updated |= kSetMagHeading;
  }
  I.WaterSpeed = *waterSpeed;
  Updated |= kSetWaterSpeed;
  Seen |= kSeenVHW;
}

// ---------------------------------------------------------------------------
// Depth, temperature, rate of turn

// DBT: feet, "f", metres, "M", fathoms, "F". The metre field is preferred;
// otherwise the first value with its unit. An empty value is no depth.
void TNMEA::HandleDBT(const TNdxString& L) {
  TNMEAINFO& I = Info;
  if (L.CommaCount < 4) return;
  Updated |= kSetDepth;
  std::string_view valueText;
  std::string_view unit;
  if (L.Field(4) == "M") {
    valueText = L.Field(3);
    unit = "M";
  } else {
    valueText = L.Field(1);
    unit = L.Field(2);
  }
  auto value = ReadNumber(valueText);
  if (!value) {
    I.Depth = NoDataValue;
    return;
  }
  double depth = *value;
  if (unit == "f") depth /= kFeetPerMetre;
  if (unit == "F") depth *= kMetresPerFathom;
  if (valueText.empty() || unit.empty() || std::string_view("MmFf").find(unit) == std::string_view::npos)
    depth = NoDataValue;
  I.Depth = depth;
  Seen |= kSeenDepth;
}

// DPT: depth below the transducer in metres, offset (not used).
void TNMEA::HandleDPT(const TNdxString& L) {
  TNMEAINFO& I = Info;
  if (L.CommaCount < 2) return;
  Updated |= kSetDepth;
  std::string_view text = L.Field(1);
  auto value = ReadNumber(text);
  if (!value) {
    I.Depth = NoDataValue;
    return;
  }
  TakeDepth(text.empty() ? NoDataValue : *value);
}

void TNMEA::TakeDepth(double metres) {
  Info.Depth = metres;
  Updated |= kSetDepth;
  Seen |= kSeenDepth;
}

void TNMEA::HandleMTW(const TNdxString& L) {
  if (L.CommaCount != 2) return;
  auto temp = ReadNumber(L.Field(1));
  if (!temp) return;
  TakeWaterTemp(*temp);
}

void TNMEA::TakeWaterTemp(double celsius) {
  Info.WaterTemp = celsius;
  Updated |= kSetWaterTemp;
}

void TNMEA::HandleROT(const TNdxString& L) {
  if (L.CommaCount < 2) return;
  double rate = NoDataValue;
  if (L.Field(2) != "V") {
    auto r = ReadNumber(L.Field(1));
    if (!r) return;
    rate = *r;
  }
  TakeRateOfTurn(rate);
}

void TNMEA::TakeRateOfTurn(double degreesPerMinute) {
  Info.RateOfTurn = degreesPerMinute;
  Updated |= kSetRateOfTurn;
  Seen |= kSeenROT;
}

// ---------------------------------------------------------------------------
// Date and datum

void TNMEA::HandleZDA(const TNdxString& L) {
  if (L.CommaCount < 4 || (Seen & kSeenRMC)) return;
  auto whole = [](std::string_view text) -> int {
    auto v = ReadNumber(text);
    if (!v || text.empty() || *v != std::trunc(*v) || *v < 0 || *v > 99999) return -1;
    return static_cast<int>(*v);
  };
  int day = whole(L.Field(2));
  int month = whole(L.Field(3));
  int year = whole(L.Field(4));
  TDateTime date = 0;
  if (day < 0 || month < 0 || year < 0 || !TryEncodeDate(year, month, day, date)) return;
  Info.GpsDateTime = date + ReadTime(L.Field(1));
  Updated |= kSetTime;
  Seen |= kSeenDate;
}

// DTM: the receiver's local datum is offset from the reference datum by the
// given minutes (local = reference + offset), so the offset is taken off
// every received position to bring it back to the reference.
void TNMEA::HandleDTM(const TNdxString& L) {
  TNMEAINFO& I = Info;
  if (L.CommaCount < 8) return;
  Updated |= kSetDatum;
  auto lat = ReadNumber(L.Field(3));
  auto lon = ReadNumber(L.Field(5));
  // Datum offsets are at most a few hundred metres; anything beyond a
  // degree is garbage and treated as unreadable.
  if (!lat || !lon || std::fabs(*lat) > 60 || std::fabs(*lon) > 60) {
    I.DatumOffset = {0, 0};
    return;
  }
  std::string_view ns = L.Field(4), ew = L.Field(6);
  double dLat = *lat * kMinuteToRad;
  double dLon = *lon * kMinuteToRad;
  if (!ns.empty() && (ns[0] == 'S' || ns[0] == 's')) dLat = -dLat;
  if (!ew.empty() && (ew[0] == 'W' || ew[0] == 'w')) dLon = -dLon;
  I.DatumOffset = {-dLon, -dLat};
}

// ---------------------------------------------------------------------------
// Wind

void TNMEA::ZeroWind() {
  TNMEAINFO& I = Info;
  I.TrueWindAngle = I.ApparentWindAngle = I.TrueWindDirection = 0;
  I.TrueWindSpeed = I.ApparentWindSpeed = 0;
  I.WindVMG = I.SOG;
  Updated |= kSetWind;
}

// VWR (apparent) and VWT (true): angle, "L"/"R", speed, unit, ... A
// sentence without an angle carries no wind and changes nothing.
void TNMEA::HandleVWR(const TNdxString& L, bool trueWind) {
  if (L.CommaCount != 8) return;
  if (trueWind) {
    if ((Seen & kSeenMWVTrue) || (Info.WindCalc && (Seen & (kSeenVWR | kSeenMWVRelative)))) return;
  } else if (Seen & kSeenMWVRelative) {
    return;
  }
  if (L.Field(1).empty()) return;  // carries no wind
  auto angle = ReadAngle(L.Field(1));
  auto speed = ReadNumber(L.Field(3));
  if (!angle || !speed) return ZeroWind();
  double a = *angle;
  if (L.Field(2) == "L") a = NormalisedAngle(kTwoPi - a);
  UpdateWind(a, WindSpeedMs(*speed, L.Field(4)), trueWind ? TWindKind::TrueRelative : TWindKind::Apparent,
             trueWind ? kSeenVWT : kSeenVWR);
}

// MWV: angle, "R"/"T", speed, unit, status.
void TNMEA::HandleMWV(const TNdxString& L) {
  if (L.CommaCount != 5) return;
  std::string_view reference = L.Field(2);
  bool isTrue = reference == "T";
  if (!isTrue && reference != "R") return;
  // Status V (invalid) clears the wind; a valid sentence without an angle
  // carries no wind.
  bool valid = L.Field(5) == "A";
  if (valid && L.Field(1).empty()) return;
  auto angle = ReadAngleOrNoData(L.Field(1));
  auto speed = ReadNumber(L.Field(3));
  if (!angle || !speed) return ZeroWind();
  double a = valid ? *angle : NoDataValue;
  UpdateWind(a, WindSpeedMs(*speed, L.Field(4)), isTrue ? TWindKind::TrueRelative : TWindKind::Apparent,
             isTrue ? kSeenMWVTrue : kSeenMWVRelative);
}

// MWD: true direction, "T", magnetic direction, "M", speed, unit, ...
void TNMEA::HandleMWD(const TNdxString& L) {
  if (L.CommaCount != 8) return;
  if (Info.WindCalc && (Seen & (kSeenVWR | kSeenVWT | kSeenMWVTrue | kSeenMWVRelative))) return;
  // Instruments that know only the speed leave the direction empty; such a
  // sentence must not wipe the wind that other sentences supply.
  if (L.Field(1).empty()) return;
  auto angle = ReadAngle(L.Field(1));
  auto speed = ReadNumber(L.Field(5));
  if (!angle || !speed) return ZeroWind();
  UpdateWind(*angle, WindSpeedMs(*speed, L.Field(6)), TWindKind::TrueDirection, kSeenMWD);
}

void TNMEA::UpdateWind(double angle, double speed, TWindKind kind, uint32_t seenBit) {
  TNMEAINFO& I = Info;
  if (IsNoData(angle)) return ZeroWind();
  Seen |= seenBit;
  Updated |= kSetWind;
  const double speedKnots = speed * kMsToKnot;
  const double sog = I.SOG;
  const bool calc = I.WindCalc;
  constexpr uint32_t kApparentBits = kSeenVWR | kSeenMWVRelative;
  constexpr uint32_t kTrueBits = kSeenVWT | kSeenMWVTrue;
  switch (kind) {
    case TWindKind::Apparent:
      I.ApparentWindAngle = angle;
      I.ApparentWindSpeed = speed;
      if (calc || !(Seen & kTrueBits)) {
        TWindTriangle t = SolveWindTriangle(angle, speedKnots, sog);
        I.TrueWindAngle = NormalisedAngle(kPi - t.B);
        I.TrueWindSpeed = t.C * kKnotToMs;
        I.WindVMG = std::fabs(std::cos(I.TrueWindAngle) * sog);
      }
      if (calc || !(Seen & (kTrueBits | kSeenMWD)))
        I.TrueWindDirection = NormalisedAngle(I.TrueWindAngle + I.Heading);
      break;
    case TWindKind::TrueRelative:
      if (calc && (Seen & kApparentBits)) return;
      I.TrueWindAngle = angle;
      I.TrueWindSpeed = speed;
      if (!(Seen & kApparentBits)) {
        TWindTriangle t = SolveWindTriangle(kPi - angle, speedKnots, sog);
        I.ApparentWindAngle = NormalisedAngle(t.B);
        I.ApparentWindSpeed = t.C * kKnotToMs;
      }
      if (calc || !(Seen & kSeenMWD)) I.TrueWindDirection = NormalisedAngle(I.TrueWindAngle + I.Heading);
      I.WindVMG = std::fabs(std::cos(I.TrueWindAngle) * sog);
      break;
    case TWindKind::TrueDirection:
      if (calc && (Seen & (kApparentBits | kTrueBits))) return;
      I.TrueWindDirection = angle;
      I.TrueWindSpeed = speed;
      if (!(Seen & (kApparentBits | kTrueBits))) {
        I.TrueWindAngle = NormalisedAngle(angle - I.Heading);
        TWindTriangle t = SolveWindTriangle(kPi - I.TrueWindAngle, speedKnots, sog);
        I.ApparentWindAngle = NormalisedAngle(t.B);
        I.ApparentWindSpeed = t.C * kKnotToMs;
        I.WindVMG = std::fabs(std::cos(I.TrueWindAngle) * sog);
      }
      break;
  }
  if (!std::isfinite(I.TrueWindAngle) || !std::isfinite(I.ApparentWindAngle) ||
      !std::isfinite(I.TrueWindDirection) || !std::isfinite(I.TrueWindSpeed) ||
      !std::isfinite(I.ApparentWindSpeed) || !std::isfinite(I.WindVMG))
    ZeroWind();
}
