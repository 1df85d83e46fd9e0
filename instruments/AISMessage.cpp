// Six-bit armour, the bit reader and the message decoders.
#include "instruments/AISMessage.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr std::array<int8_t, 256> MakeSixBitTable() {
  std::array<int8_t, 256> t{};
  for (auto& v : t) v = -1;
  for (int c = 48; c <= 87; ++c) t[static_cast<size_t>(c)] = static_cast<int8_t>(c - 48);
  for (int c = 96; c <= 119; ++c) t[static_cast<size_t>(c)] = static_cast<int8_t>(c - 56);
  return t;
}
constexpr std::array<int8_t, 256> kSixBit = MakeSixBitTable();

// Message lengths in bits.
constexpr int kPositionBits = 168;
constexpr int kStaticMinBits = 420;
constexpr int kStaticMaxBits = 424;
constexpr int kMetBits = 352;
constexpr int kSafetyMinBits = 46;
constexpr int kClassBExtendedBits = 312;
constexpr int kAtonMinBits = 272;
constexpr int kAtonMaxBits = 360;
constexpr int kStaticPartShortBits = 160;
// Application identifier of the meteorological and hydrological message:
// DAC 1 (10 bits) followed by FI 11 (6 bits).
constexpr uint32_t kMetApplication = (1u << 6) | 11u;

template <size_t N>
void ReadText(const TAisBits& b, int start, int count, bool zeroAsSpace, TAisText<N>& out) {
  count = std::min<int>(count, static_cast<int>(N));
  out.Length = static_cast<uint16_t>(b.Text(start, count, zeroAsSpace, out.Chars.data()));
}

// Types 1, 2 and 3.
bool DecodeClassA(const TAisBits& b, TAisMessage& m) {
  if (m.BitCount != kPositionBits) return false;
  m.NavStatus = static_cast<int32_t>(b.U(38, 4));
  m.Turn = b.S(42, 8);
  m.Speed = static_cast<int32_t>(b.U(50, 10));
  m.Accuracy = b.U(60, 1) != 0;
  m.Lon = b.S(61, 28);
  m.Lat = b.S(89, 27);
  m.Course = static_cast<int32_t>(b.U(116, 12));
  m.Heading = static_cast<int32_t>(b.U(128, 9));
  return true;
}

// Types 4 and 11.
bool DecodeBaseStation(const TAisBits& b, TAisMessage& m) {
  if (m.BitCount != kPositionBits) return false;
  m.Accuracy = b.U(78, 1) != 0;
  m.Lon = b.S(79, 28);
  m.Lat = b.S(107, 27);
  return true;
}

// Type 5. The destination ends at bit 421; a shorter message (420 or 421
// bits, sent by some transponders) gives it as far as whole characters go.
bool DecodeStatic(const TAisBits& b, TAisMessage& m) {
  if (m.BitCount < kStaticMinBits || m.BitCount > kStaticMaxBits) return false;
  ReadText(b, 70, 7, true, m.CallSign);
  ReadText(b, 112, 20, true, m.Name);
  m.ToBow = static_cast<int32_t>(b.U(240, 9));
  m.ToStern = static_cast<int32_t>(b.U(249, 9));
  m.ToPort = static_cast<int32_t>(b.U(258, 6));
  m.ToStarboard = static_cast<int32_t>(b.U(264, 6));
  m.Draught = static_cast<int32_t>(b.U(294, 8));
  ReadText(b, 302, (m.BitCount - 302) / 6, true, m.Destination);
  return true;
}

// Type 8, meteorological and hydrological data only.
bool DecodeMet(const TAisBits& b, TAisMessage& m) {
  if (m.BitCount != kMetBits || b.U(40, 16) != kMetApplication) return false;
  m.Dac = static_cast<int>(b.U(40, 10));
  m.Fi = static_cast<int>(b.U(50, 6));
  m.Lat = b.S(56, 24);
  m.Lon = b.S(80, 25);
  TAisMet& w = m.Met;
  auto u = [&b](int start, int width) { return static_cast<int32_t>(b.U(start, width)); };
  w.WindSpeed = u(121, 7);
  w.WindGust = u(128, 7);
  w.WindDir = u(135, 9);
  w.GustDir = u(144, 9);
  w.AirTemp = u(153, 11);
  w.Humidity = u(164, 7);
  w.DewPoint = u(171, 10);
  w.Pressure = u(181, 9);
  w.PressureTrend = u(190, 2);
  w.Visibility = u(192, 8);
  w.WaterLevel = u(200, 9);
  w.LevelTrend = u(209, 2);
  w.CurrentSpeed = u(211, 8);
  w.CurrentDir = u(219, 9);
  w.WaveHeight = u(272, 8);
  w.WavePeriod = u(280, 6);
  w.WaveDir = u(286, 9);
  w.SwellHeight = u(295, 8);
  w.SwellPeriod = u(303, 6);
  w.SwellDir = u(309, 9);
  w.WaterTemp = u(322, 10);
  w.Ice = u(344, 2);
  return true;
}

// Type 9: speed in whole knots, no heading.
bool DecodeSar(const TAisBits& b, TAisMessage& m) {
  if (m.BitCount != kPositionBits) return false;
  m.Speed = static_cast<int32_t>(b.U(50, 10));
  m.Accuracy = b.U(60, 1) != 0;
  m.Lon = b.S(61, 28);
  m.Lat = b.S(89, 27);
  m.Course = static_cast<int32_t>(b.U(116, 12));
  return true;
}

bool DecodeSafetyText(const TAisBits& b, TAisMessage& m) {
  if (m.BitCount < kSafetyMinBits) return false;
  ReadText(b, 40, (m.BitCount - 40) / 6, false, m.Text);
  return true;
}

// Types 18 and 19 (the static part of 19 is not used).
bool DecodeClassB(const TAisBits& b, TAisMessage& m) {
  if (m.BitCount != kPositionBits && m.BitCount != kClassBExtendedBits) return false;
  m.Speed = static_cast<int32_t>(b.U(46, 10));
  m.Accuracy = b.U(56, 1) != 0;
  m.Lon = b.S(57, 28);
  m.Lat = b.S(85, 27);
  m.Course = static_cast<int32_t>(b.U(112, 12));
  m.Heading = static_cast<int32_t>(b.U(124, 9));
  return true;
}

// Type 21. Aids to navigation with a name extension send up to 360 bits;
// the name is the first 20 characters, the extension is not used.
bool DecodeAton(const TAisBits& b, TAisMessage& m) {
  if (m.BitCount < kAtonMinBits || m.BitCount > kAtonMaxBits) return false;
  ReadText(b, 43, 20, true, m.Name);
  m.Accuracy = b.U(163, 1) != 0;
  m.Lon = b.S(164, 28);
  m.Lat = b.S(192, 27);
  return true;
}

// Type 24: part A carries the name, part B the call sign and dimensions.
bool DecodeStaticPart(const TAisBits& b, TAisMessage& m) {
  if (m.BitCount != kStaticPartShortBits && m.BitCount != kPositionBits) return false;
  m.Part = static_cast<int>(b.U(38, 2));
  if (m.Part == 0) {
    ReadText(b, 40, 20, true, m.Name);
  } else if (m.Part == 1) {
    ReadText(b, 90, 7, true, m.CallSign);
    m.ToBow = static_cast<int32_t>(b.U(132, 9));
    m.ToStern = static_cast<int32_t>(b.U(141, 9));
    m.ToPort = static_cast<int32_t>(b.U(150, 6));
    m.ToStarboard = static_cast<int32_t>(b.U(156, 6));
  }
  return true;
}

// JSON output helpers.
void AppendKey(std::string& out, const char* key) {
  out += ",\"";
  out += key;
  out += "\":";
}

void AppendInt(std::string& out, const char* key, int64_t v) {
  AppendKey(out, key);
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void AppendBool(std::string& out, const char* key, bool v) {
  AppendKey(out, key);
  out += v ? "true" : "false";
}

void AppendText(std::string& out, const char* key, std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '@')) s.remove_suffix(1);
  AppendKey(out, key);
  out += '"';
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

void AppendPosition(std::string& out, const TAisMessage& m) {
  AppendBool(out, "accuracy", m.Accuracy);
  AppendInt(out, "lon", m.Lon);
  AppendInt(out, "lat", m.Lat);
}

void AppendDimensions(std::string& out, const TAisMessage& m) {
  AppendInt(out, "to_bow", m.ToBow);
  AppendInt(out, "to_stern", m.ToStern);
  AppendInt(out, "to_port", m.ToPort);
  AppendInt(out, "to_starboard", m.ToStarboard);
}

}  // namespace

int AisSixBit(unsigned char c) { return kSixBit[c]; }

char AisTextChar(unsigned value, bool zeroAsSpace) {
  value &= 63u;
  if (value == 0 && zeroAsSpace) return ' ';
  if (value == 39) return '`';
  return static_cast<char>(value < 32 ? value + 64 : value);
}

// ---------------------------------------------------------------------------
// TAisBits

bool TAisBits::Append(std::string_view chars) {
  if (chars.size() > static_cast<size_t>(kAisMaxPayloadChars - chars_)) return false;
  uint8_t* dst = six_.data() + chars_;
  for (size_t i = 0; i < chars.size(); ++i) {
    int v = kSixBit[static_cast<unsigned char>(chars[i])];
    if (v < 0) return false;
    dst[i] = static_cast<uint8_t>(v);
  }
  chars_ += static_cast<int>(chars.size());
  bitCount_ = chars_ * 6;
  return true;
}

bool TAisBits::SetFill(int fill) {
  if (fill < 0 || fill > 5 || fill > chars_ * 6) return false;
  bitCount_ = chars_ * 6 - fill;
  return true;
}

uint32_t TAisBits::U(int start, int width) const {
  if (start < 0 || width < 1 || width > 32 || start > bitCount_ - width) {
    ok_ = false;
    return 0;
  }
  uint64_t v = 0;
  int bit = start;
  const int end = start + width;
  while (bit < end) {
    const int offset = bit % 6;
    const int take = std::min(6 - offset, end - bit);
    const unsigned chunk = (six_[static_cast<size_t>(bit / 6)] >> (6 - offset - take)) & ((1u << take) - 1u);
    v = (v << take) | chunk;
    bit += take;
  }
  return static_cast<uint32_t>(v);
}

int32_t TAisBits::S(int start, int width) const {
  const uint32_t u = U(start, width);
  if (width >= 32) return static_cast<int32_t>(u);
  const int64_t sign = int64_t{1} << (width - 1);
  const int64_t v = static_cast<int64_t>(u);
  return static_cast<int32_t>((v & sign) ? v - (sign << 1) : v);
}

int TAisBits::Text(int start, int count, bool zeroAsSpace, char* out) const {
  if (start < 0 || count <= 0) return 0;
  const int available = start >= bitCount_ ? 0 : (bitCount_ - start) / 6;
  const int n = std::min(count, available);
  for (int i = 0; i < n; ++i) out[i] = AisTextChar(U(start + 6 * i, 6), zeroAsSpace);
  return n;
}

// ---------------------------------------------------------------------------
// Decoding

bool AisTypeDecoded(int type) {
  switch (type) {
    case 1: case 2: case 3: case 4: case 5: case 8: case 9: case 11: case 14: case 18: case 19: case 21:
    case 24:
      return true;
    default:
      return false;
  }
}

bool DecodeAisMessage(const TAisBits& bits, TAisMessage& m) {
  m = TAisMessage();
  m.BitCount = bits.BitCount();
  // Type, repeat indicator and MMSI take the first 38 bits.
  if (m.BitCount < 38) return false;
  bits.ResetOk();
  m.Type = static_cast<int>(bits.U(0, 6));
  if (!AisTypeDecoded(m.Type)) return false;
  m.Repeat = static_cast<int>(bits.U(6, 2));
  m.MMSI = static_cast<int32_t>(bits.U(8, 30));
  bool ok = false;
  switch (m.Type) {
    case 1: case 2: case 3: ok = DecodeClassA(bits, m); break;
    case 4: case 11: ok = DecodeBaseStation(bits, m); break;
    case 5: ok = DecodeStatic(bits, m); break;
    case 8: ok = DecodeMet(bits, m); break;
    case 9: ok = DecodeSar(bits, m); break;
    case 14: ok = DecodeSafetyText(bits, m); break;
    case 18: case 19: ok = DecodeClassB(bits, m); break;
    case 21: ok = DecodeAton(bits, m); break;
    case 24: ok = DecodeStaticPart(bits, m); break;
    default: break;
  }
  return ok && bits.Ok();
}

void AppendAisJson(const TAisMessage& m, std::string& out) {
  out += "{\"class\":\"AIS\"";
  AppendInt(out, "type", m.Type);
  AppendInt(out, "repeat", m.Repeat);
  AppendInt(out, "mmsi", m.MMSI);
  out += ",\"scaled\":false";
  switch (m.Type) {
    case 1: case 2: case 3:
      AppendInt(out, "status", m.NavStatus);
      AppendInt(out, "turn", m.Turn);
      AppendInt(out, "speed", m.Speed);
      AppendPosition(out, m);
      AppendInt(out, "course", m.Course);
      AppendInt(out, "heading", m.Heading);
      break;
    case 4: case 11:
      AppendPosition(out, m);
      break;
    case 5:
      AppendText(out, "callsign", m.CallSign.View());
      AppendText(out, "shipname", m.Name.View());
      AppendDimensions(out, m);
      AppendInt(out, "draught", m.Draught);
      AppendText(out, "destination", m.Destination.View());
      break;
    case 8: {
      const TAisMet& w = m.Met;
      AppendInt(out, "dac", m.Dac);
      AppendInt(out, "fid", m.Fi);
      AppendInt(out, "lat", m.Lat);
      AppendInt(out, "lon", m.Lon);
      AppendInt(out, "wspeed", w.WindSpeed);
      AppendInt(out, "wgust", w.WindGust);
      AppendInt(out, "wdir", w.WindDir);
      AppendInt(out, "wgustdir", w.GustDir);
      AppendInt(out, "humidity", w.Humidity);
      AppendInt(out, "airtemp", w.AirTemp);
      AppendInt(out, "dewpoint", w.DewPoint);
      AppendInt(out, "pressure", w.Pressure);
      AppendInt(out, "pressuretend", w.PressureTrend);
      AppendInt(out, "visibility", w.Visibility);
      AppendInt(out, "waterlevel", w.WaterLevel);
      AppendInt(out, "leveltrend", w.LevelTrend);
      AppendInt(out, "cspeed", w.CurrentSpeed);
      AppendInt(out, "cdir", w.CurrentDir);
      AppendInt(out, "waveheight", w.WaveHeight);
      AppendInt(out, "waveperiod", w.WavePeriod);
      AppendInt(out, "wavedir", w.WaveDir);
      AppendInt(out, "swellheight", w.SwellHeight);
      AppendInt(out, "swellperiod", w.SwellPeriod);
      AppendInt(out, "swelldir", w.SwellDir);
      AppendInt(out, "watertemp", w.WaterTemp);
      AppendInt(out, "ice", w.Ice);
      break;
    }
    case 9:
      AppendInt(out, "speed", m.Speed);
      AppendPosition(out, m);
      AppendInt(out, "course", m.Course);
      break;
    case 14:
      AppendText(out, "text", m.Text.View());
      break;
    case 18: case 19:
      AppendInt(out, "speed", m.Speed);
      AppendPosition(out, m);
      AppendInt(out, "course", m.Course);
      AppendInt(out, "heading", m.Heading);
      break;
    case 21:
      AppendText(out, "name", m.Name.View());
      AppendPosition(out, m);
      break;
    case 24:
      if (m.Part == 0) {
        out += ",\"part\":\"A\"";
        AppendText(out, "shipname", m.Name.View());
      } else if (m.Part == 1) {
        out += ",\"part\":\"B\"";
        AppendText(out, "callsign", m.CallSign.View());
        AppendDimensions(out, m);
      }
      break;
    default:
      break;
  }
  out += '}';
}
