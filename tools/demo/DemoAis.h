// The vessels around the demo boat: a few ships on straight courses whose
// AIS transmissions (position reports, and their names and sizes) go into
// the demo voyage's text, one "!AIVDM" sentence a second. A vessel that
// would run into water shallower than it needs stops there, as a ship at
// anchor would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DemoWorld.h"
#include "foundation/Types.h"

struct TDemoVessel {
  int32_t Mmsi = 0;
  std::string Name;
  std::string CallSign;
  int ShipType = 0;  // AIS ship and cargo type
  int ToBow = 0, ToStern = 0, ToPort = 0, ToStarboard = 0;  // metres
  int DraughtDm = 0;                                        // tenths of a metre
  TDemoPoint Start;   // local metres
  double CourseDeg = 0;
  double Knots = 0;
};

// The vessels of a voyage starting at `start` (local metres).
std::vector<TDemoVessel> DemoVessels(const TDemoPoint& start);

// The AIS sentence of second `t` of the voyage (a position report or one
// part of a vessel's static data); empty when there are no vessels.
// `moved` keeps each vessel's distance run, so that a vessel stays where the
// water got too shallow.
class TDemoAis {
 public:
  TDemoAis(const TDemoWorld& world, std::vector<TDemoVessel> vessels);
  std::string SentenceAt(int32_t t, int32_t secondOfDay);

 private:
  TFPoint Position(size_t i, int32_t t);

  const TDemoWorld& world_;
  std::vector<TDemoVessel> vessels_;
  std::vector<double> run_;       // metres run so far
  std::vector<int32_t> runTime_;  // second of the last move
  std::vector<bool> stopped_;
  std::vector<std::string> staticParts_;
};

// The six-bit payload of a bit string, and whole sentences (exposed for the
// tests of the demo).
std::string AisArmour(const std::vector<bool>& bits, int& fillBits);
std::string AisSentence(int total, int number, int sequence, const std::string& payload, int fillBits);
