#include "DemoAis.h"

#include <cmath>
#include <cstdio>

#include "foundation/GenUtil.h"

namespace {

constexpr double kKnot = 1852.0 / 3600.0;  // metres a second

class TBits {
 public:
  void U(uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bits.push_back(((v >> i) & 1u) != 0);
  }
  void S(int64_t v, int n) { U(static_cast<uint64_t>(v) & ((uint64_t{1} << n) - 1), n); }
  void Text(const std::string& s, int chars) {
    for (int i = 0; i < chars; ++i) {
      unsigned char c = i < static_cast<int>(s.size()) ? static_cast<unsigned char>(s[i]) : '@';
      if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 32);
      if (c < 32 || c > 95) c = ' ';
      U(c >= 64 ? c - 64 : c, 6);
    }
  }
  std::vector<bool> bits;
};

}  // namespace

std::string AisArmour(const std::vector<bool>& bits, int& fillBits) {
  fillBits = static_cast<int>((6 - bits.size() % 6) % 6);
  std::string out;
  for (size_t i = 0; i < bits.size(); i += 6) {
    int v = 0;
    for (size_t k = 0; k < 6; ++k) v = v * 2 + (i + k < bits.size() && bits[i + k] ? 1 : 0);
    out += static_cast<char>(v < 40 ? v + 48 : v + 56);
  }
  return out;
}

std::string AisSentence(int total, int number, int sequence, const std::string& payload, int fillBits) {
  const std::string body = "AIVDM," + std::to_string(total) + "," + std::to_string(number) + "," +
                           (sequence >= 0 ? std::to_string(sequence) : std::string()) + ",A," + payload + "," +
                           std::to_string(fillBits);
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  char cs[8];
  std::snprintf(cs, sizeof cs, "*%02X", sum & 0xFF);
  return "!" + body + cs;
}

std::vector<TDemoVessel> DemoVessels(const TDemoPoint& s) {
  // Ships near the boat's way from the open water to the sound (which runs
  // north-east of the start), none on a collision course with it: the ferry
  // coming out of the sound south of the boat's track, a fishing boat on
  // the grounds to the north-west, a yacht to the south-east and a cargo
  // ship passing further out.
  return {
      {257456700, "SKARV FERRY", "LFER3", 60, 30, 12, 6, 6, 38, {s.X + 4300, s.Y + 2100}, 235, 8},
      {257901200, "ODIN", "LODN", 30, 18, 6, 4, 4, 40, {s.X + 1500, s.Y + 1800}, 300, 3},
      {257789100, "MOLLY", "LM2417", 37, 9, 3, 2, 2, 19, {s.X + 2600, s.Y + 500}, 60, 5},
      {257123400, "NORDKAPP", "LAXN7", 70, 70, 20, 8, 8, 62, {s.X - 1500, s.Y - 600}, 75, 10},
  };
}

TDemoAis::TDemoAis(const TDemoWorld& world, std::vector<TDemoVessel> vessels)
    : world_(world),
      vessels_(std::move(vessels)),
      run_(vessels_.size(), 0.0),
      runTime_(vessels_.size(), 0),
      stopped_(vessels_.size(), false) {
  for (const TDemoVessel& v : vessels_) {
    TBits b;
    b.U(5, 6);
    b.U(0, 2);
    b.U(static_cast<uint64_t>(v.Mmsi), 30);
    b.U(0, 2);
    b.U(0, 30);
    b.Text(v.CallSign, 7);
    b.Text(v.Name, 20);
    b.U(static_cast<uint64_t>(v.ShipType), 8);
    b.U(static_cast<uint64_t>(v.ToBow), 9);
    b.U(static_cast<uint64_t>(v.ToStern), 9);
    b.U(static_cast<uint64_t>(v.ToPort), 6);
    b.U(static_cast<uint64_t>(v.ToStarboard), 6);
    b.U(1, 4);                       // GPS
    b.U(0, 4), b.U(0, 5), b.U(24, 5), b.U(60, 6);  // no arrival time
    b.U(static_cast<uint64_t>(v.DraughtDm), 8);
    b.Text("BRISVIK", 20);
    b.U(0, 2);
    int fill = 0;
    const std::string payload = AisArmour(b.bits, fill);
    staticParts_.push_back(payload);
  }
}

TFPoint TDemoAis::Position(size_t i, int32_t t) {
  const TDemoVessel& v = vessels_[i];
  const double c = v.CourseDeg * kDegToRad;
  // Move on second by second since the last report, stopping short of
  // shallow water.
  for (int32_t s = runTime_[i]; s < t && !stopped_[i]; ++s) {
    const double next = run_[i] + v.Knots * kKnot;
    const TDemoPoint p{v.Start.X + next * std::sin(c), v.Start.Y + next * std::cos(c)};
    if (world_.Depth(p) < v.DraughtDm / 10.0 + 2) {
      stopped_[i] = true;
      break;
    }
    run_[i] = next;
  }
  runTime_[i] = t;
  return world_.ToGeo({v.Start.X + run_[i] * std::sin(c), v.Start.Y + run_[i] * std::cos(c)});
}

std::string TDemoAis::SentenceAt(int32_t t, int32_t secondOfDay) {
  if (vessels_.empty()) return {};
  const int32_t slot = t % 10;
  const size_t n = vessels_.size();
  if (slot >= 8) {
    // The static data of one vessel in two parts, a second apart.
    const size_t i = static_cast<size_t>(t / 10) % n;
    const std::string& p = staticParts_[i];
    const int seq = static_cast<int>((t / 10) % 10);
    if (slot == 8) return AisSentence(2, 1, seq, p.substr(0, 60), 0);
    const int fill = static_cast<int>((6 - 424 % 6) % 6);
    return AisSentence(2, 2, seq, p.substr(std::min<size_t>(60, p.size())), fill);
  }
  const size_t i = static_cast<size_t>(slot) % n;
  const TDemoVessel& v = vessels_[i];
  const TFPoint pos = Position(i, t);
  const bool moving = !stopped_[i];
  TBits b;
  b.U(1, 6);
  b.U(0, 2);
  b.U(static_cast<uint64_t>(v.Mmsi), 30);
  b.U(moving ? 0 : 1, 4);  // under way using engine, or at anchor
  b.S(0, 8);
  b.U(moving ? static_cast<uint64_t>(std::lround(v.Knots * 10)) : 0, 10);
  b.U(1, 1);
  b.S(std::lround(pos.X * kRadToDeg * 600000), 28);
  b.S(std::lround(pos.Y * kRadToDeg * 600000), 27);
  b.U(static_cast<uint64_t>(std::lround(v.CourseDeg * 10)) % 3600, 12);
  b.U(static_cast<uint64_t>(std::lround(v.CourseDeg)) % 360, 9);
  b.U(static_cast<uint64_t>(secondOfDay % 60), 6);
  b.U(0, 2);
  b.U(0, 3);
  b.U(0, 1);
  b.U(0, 19);
  int fill = 0;
  const std::string payload = AisArmour(b.bits, fill);
  return AisSentence(1, 1, -1, payload, fill);
}
