// AIS messages built bit by bit for tests: position and static reports,
// stations, aids to navigation, safety texts, armoured into "!AIVDM"
// sentences with their checksums.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace aisfix {

// `start` + body + "*HH".
inline std::string WithChecksum(std::string_view body, char start) {
  unsigned x = 0;
  for (char c : body) x ^= static_cast<unsigned char>(c);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string s(1, start);
  s += body;
  s += '*';
  s += kHex[(x >> 4) & 0xF];
  s += kHex[x & 0xF];
  return s;
}

// ---------------------------------------------------------------------------
// Building messages

struct TPayload {
  std::string Text;
  int Fill = 0;
};

// Bits written most significant first, armoured into six-bit characters.
class TBitWriter {
 public:
  TBitWriter& U(uint64_t v, int width) {
    for (int i = width - 1; i >= 0; --i) bits_.push_back(((v >> i) & 1u) != 0);
    return *this;
  }
  TBitWriter& S(int64_t v, int width) { return U(static_cast<uint64_t>(v) & ((uint64_t{1} << width) - 1), width); }
  // Six-bit text, padded with "@" (value 0) to `chars` characters.
  TBitWriter& Text(std::string_view s, int chars) {
    for (int i = 0; i < chars; ++i) {
      const unsigned char c = i < static_cast<int>(s.size()) ? static_cast<unsigned char>(s[static_cast<size_t>(i)]) : '@';
      U(c >= 64 ? c - 64u : c, 6);
    }
    return *this;
  }
  TBitWriter& PadTo(size_t n) {
    bits_.resize(std::max(bits_.size(), n), false);
    return *this;
  }
  TBitWriter& CutTo(size_t n) {
    bits_.resize(std::min(bits_.size(), n));
    return *this;
  }
  TPayload Armour() const {
    TPayload p;
    p.Fill = static_cast<int>((6 - bits_.size() % 6) % 6);
    for (size_t i = 0; i < bits_.size(); i += 6) {
      unsigned v = 0;
      for (size_t k = i; k < i + 6; ++k) v = v << 1 | (k < bits_.size() && bits_[k] ? 1u : 0u);
      p.Text += static_cast<char>(v < 40 ? v + 48 : v + 56);
    }
    return p;
  }

 private:
  std::vector<bool> bits_;
};

inline int32_t Raw(double degrees) { return static_cast<int32_t>(std::llround(degrees * 600000.0)); }

inline TBitWriter Header(int type, int32_t mmsi) {
  TBitWriter b;
  b.U(static_cast<uint64_t>(type), 6).U(0, 2).U(static_cast<uint64_t>(mmsi), 30);
  return b;
}

// Class A position report; speed and course in tenths, heading in degrees.
inline TPayload ClassA(int32_t mmsi, double lat, double lon, int sog, int cog, int heading, int status = 0,
                int rot = -128) {
  return Header(1, mmsi).U(static_cast<uint64_t>(status), 4).S(rot, 8).U(static_cast<uint64_t>(sog), 10).U(1, 1)
      .S(Raw(lon), 28).S(Raw(lat), 27).U(static_cast<uint64_t>(cog), 12).U(static_cast<uint64_t>(heading), 9)
      .PadTo(168).Armour();
}

inline TPayload ClassB(int32_t mmsi, double lat, double lon, int sog, int cog, int heading) {
  return Header(18, mmsi).U(0, 8).U(static_cast<uint64_t>(sog), 10).U(0, 1).S(Raw(lon), 28).S(Raw(lat), 27)
      .U(static_cast<uint64_t>(cog), 12).U(static_cast<uint64_t>(heading), 9).PadTo(168).Armour();
}

// Search and rescue aircraft: speed in whole knots.
inline TPayload Sar(int32_t mmsi, double lat, double lon, int sog, int cog) {
  return Header(9, mmsi).U(300, 12).U(static_cast<uint64_t>(sog), 10).U(0, 1).S(Raw(lon), 28).S(Raw(lat), 27)
      .U(static_cast<uint64_t>(cog), 12).PadTo(168).Armour();
}

// Type 4 (base station) or 11 (mobile station).
inline TPayload Station(int type, int32_t mmsi, double lat, double lon) {
  return Header(type, mmsi).U(0, 40).U(1, 1).S(Raw(lon), 28).S(Raw(lat), 27).PadTo(168).Armour();
}

inline TPayload Static5(int32_t mmsi, std::string_view call, std::string_view name, int bow, int stern, int port,
                 int starboard, int draught, std::string_view dest, size_t bits = 424) {
  return Header(5, mmsi).U(0, 2).U(0, 30).Text(call, 7).Text(name, 20).U(70, 8)
      .U(static_cast<uint64_t>(bow), 9).U(static_cast<uint64_t>(stern), 9).U(static_cast<uint64_t>(port), 6)
      .U(static_cast<uint64_t>(starboard), 6).U(1, 4).U(0, 20).U(static_cast<uint64_t>(draught), 8).Text(dest, 20)
      .U(0, 2).PadTo(bits).CutTo(bits).Armour();
}

inline TPayload Aton(int32_t mmsi, std::string_view name, double lat, double lon, size_t bits = 272) {
  return Header(21, mmsi).U(20, 5).Text(name, 20).U(0, 1).S(Raw(lon), 28).S(Raw(lat), 27).PadTo(bits).Armour();
}

inline TPayload PartA(int32_t mmsi, std::string_view name) { return Header(24, mmsi).U(0, 2).Text(name, 20).Armour(); }

inline TPayload PartB(int32_t mmsi, std::string_view call, int bow, int stern, int port, int starboard) {
  return Header(24, mmsi).U(1, 2).U(37, 8).U(0, 42).Text(call, 7).U(static_cast<uint64_t>(bow), 9)
      .U(static_cast<uint64_t>(stern), 9).U(static_cast<uint64_t>(port), 6).U(static_cast<uint64_t>(starboard), 6)
      .PadTo(168).Armour();
}

// Meteorological and hydrological report (DAC 1, FI 11); position in
// 1/1000 minute; air temperature, pressure, water temperature and ice raw.
inline TPayload Met(int32_t mmsi, int32_t lat1000, int32_t lon1000, int airTemp, int pressure, int waterTemp, int ice) {
  TBitWriter b = Header(8, mmsi);
  b.U(0, 2).U(1, 10).U(11, 6).S(lat1000, 24).S(lon1000, 25).U(0, 16);
  b.U(12, 7).U(20, 7).U(270, 9).U(275, 9).U(static_cast<uint64_t>(airTemp), 11).U(80, 7).U(1023, 10)
      .U(static_cast<uint64_t>(pressure), 9).U(1, 2).U(55, 8).U(511, 9).U(3, 2).U(255, 8).U(511, 9).PadTo(272);
  b.U(12, 8).U(6, 6).U(250, 9).U(255, 8).U(63, 6).U(511, 9).U(15, 4).U(static_cast<uint64_t>(waterTemp), 10).U(7, 3)
      .U(511, 9).U(static_cast<uint64_t>(ice), 2).PadTo(352);
  return b.Armour();
}

inline TPayload Safety(int32_t mmsi, std::string_view text) {
  return Header(14, mmsi).U(0, 2).Text(text, static_cast<int>(text.size())).Armour();
}

// One sentence: "!" + talker/identifier + the fragment fields + checksum.
inline std::string Sentence(std::string_view payload, std::string_view fill, std::string_view total = "1",
                     std::string_view part = "1", std::string_view seq = "", std::string_view id = "AIVDM") {
  std::string body(id);
  body += ',';
  body += total;
  body += ',';
  body += part;
  body += ',';
  body += seq;
  body += ",A,";
  body += payload;
  body += ',';
  body += fill;
  return WithChecksum(body, '!');
}

inline std::string Vdm(const TPayload& p, std::string_view id = "AIVDM") {
  return Sentence(p.Text, std::to_string(p.Fill), "1", "1", "", id);
}

// The sentences of a message cut into parts of `chunk` characters.
inline std::vector<std::string> Parts(const TPayload& p, char seq, size_t chunk = 40, std::string_view id = "AIVDM") {
  std::vector<std::string> out;
  const size_t n = (p.Text.size() + chunk - 1) / chunk;
  for (size_t k = 0; k < n; ++k) {
    const bool last = k + 1 == n;
    out.push_back(Sentence(p.Text.substr(k * chunk, chunk), last ? std::to_string(p.Fill) : "0", std::to_string(n),
                           std::to_string(k + 1), std::string(1, seq), id));
  }
  return out;
}


}  // namespace aisfix
