// Building multicast DNS replies as a responder sends them, for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using TDnsBytes = std::vector<uint8_t>;

inline void AppendU16(TDnsBytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}

// A name as labels, without compression.
inline void AppendDnsName(TDnsBytes& b, const std::string& name) {
  size_t start = 0;
  while (start < name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string::npos) dot = name.size();
    b.push_back(static_cast<uint8_t>(dot - start));
    b.insert(b.end(), name.begin() + static_cast<long>(start), name.begin() + static_cast<long>(dot));
    start = dot + 1;
  }
  b.push_back(0);
}

// The header of a reply with `answers` and `additional` records.
inline TDnsBytes DnsReplyHeader(uint16_t answers, uint16_t additional) {
  TDnsBytes b;
  for (uint16_t v : {uint16_t(0), uint16_t(0x8400), uint16_t(0), answers, uint16_t(0), additional}) AppendU16(b, v);
  return b;
}

// What follows a record's name: type, class (cache flush), TTL, length.
inline void AppendRecordHeader(TDnsBytes& b, uint16_t type, uint16_t length) {
  for (uint16_t v : {type, uint16_t(0x8001), uint16_t(0), uint16_t(120), length}) AppendU16(b, v);
}

// A whole record with an uncompressed owner name.
inline void AppendRecord(TDnsBytes& b, const std::string& owner, uint16_t type, const TDnsBytes& data) {
  AppendDnsName(b, owner);
  AppendRecordHeader(b, type, static_cast<uint16_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
}
