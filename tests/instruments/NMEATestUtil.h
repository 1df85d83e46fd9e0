// Helpers for the NMEA tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "instruments/NMEA.h"
#include "platform/Clock.h"

// "$" + body + "*HH" with the correct checksum (body without "$").
inline std::string Nmea(std::string_view body, char start = '$') {
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

inline double Deg(double rad) { return rad * 57.295779513082320877; }
inline double Rad(double deg) { return deg * 0.017453292519943295769; }

// A parser behind its own line buffer on a manual clock.
class TNmeaFixture : public testing::Test {
 protected:
  TManualClock clock;
  TNMEALineBuffer buffer{nullptr, clock};
  TNMEA& parser = buffer.Parser();
  TNMEAINFO& info = parser.Info;

  // Feeds one sentence (checksum already in place) with CR LF.
  void Send(std::string_view sentence) {
    buffer.FeedText(sentence);
    buffer.FeedText("\r\n");
  }
  // Feeds "$" + body with its checksum.
  void SendBody(std::string_view body) { Send(Nmea(body)); }
};
