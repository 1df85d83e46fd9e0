// Helpers of the route file tests: byte builders and the outside GPX reader
// (gpsbabel) as an independent check of what we write.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/NumText.h"

namespace routetest {

// Little-endian bytes, as the old formats store them.
struct TBytes {
  std::string b;
  TBytes& i32(int32_t v) {
    for (int i = 0; i < 4; ++i) b += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
    return *this;
  }
  TBytes& raw(std::string_view s) {
    b += s;
    return *this;
  }
  TBytes& zeros(size_t n) {
    b.append(n, '\0');
    return *this;
  }
  // A short string field: the length byte as given, then the characters,
  // padded with zeros to `fieldSize` bytes in all.
  TBytes& shortString(uint8_t lengthByte, std::string_view chars, size_t fieldSize) {
    b += static_cast<char>(lengthByte);
    b += chars;
    b.append(fieldSize - 1 - chars.size(), '\0');
    return *this;
  }
};

inline std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// The bytes of a hex text such as "53 52 57 01" (blanks and "|" ignored).
inline std::string FromHex(std::string_view hex) {
  std::string out;
  int nibble = -1;
  for (char c : hex) {
    int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (v < 0) continue;
    if (nibble < 0) {
      nibble = v;
    } else {
      out += static_cast<char>(nibble * 16 + v);
      nibble = -1;
    }
  }
  return out;
}

constexpr const char* kGpsbabel = "/usr/bin/gpsbabel";

inline bool HaveGpsbabel() { return ::access(kGpsbabel, X_OK) == 0; }

// Standard output of a shell command and its exit status.
inline int RunCommand(const std::string& cmd, std::string& out) {
  out.clear();
  FILE* p = ::popen((cmd + " 2>/dev/null").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int st = ::pclose(p);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

struct TBabelPoint {
  std::string name;
  double lat = 0, lon = 0;
};

// The items of one line of gpsbabel's unicsv output (double quotes, ""
// inside them).
inline std::vector<std::string> CsvItems(std::string_view line) {
  std::vector<std::string> items(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      items.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      items.emplace_back();
    } else if (c != '\r') {
      items.back() += c;
    }
  }
  return items;
}

// The route points (`routes`) or the waypoints gpsbabel reads from a file
// of its input format `format` ("gpx"), in order; false when it refuses
// the file.
inline bool GpsbabelRead(const std::string& path, const char* format, bool routes, std::vector<TBabelPoint>& points) {
  std::string out;
  if (RunCommand(
          std::string(kGpsbabel) + (routes ? " -r" : " -w") + " -i " + format + " -f '" + path + "' -o unicsv -F -",
          out) != 0)
    return false;
  points.clear();
  std::vector<std::string> header;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    const std::vector<std::string> items = CsvItems(std::string_view(out).substr(start, end - start));
    start = end + 1;
    if (header.empty()) {
      header = items;
      continue;
    }
    TBabelPoint p;
    for (size_t k = 0; k < items.size() && k < header.size(); ++k) {
      if (header[k] == "Name") p.name = items[k];
      if (header[k] == "Latitude") p.lat = TryStrToFloatDot(items[k]).value_or(1e9);
      if (header[k] == "Longitude") p.lon = TryStrToFloatDot(items[k]).value_or(1e9);
    }
    points.push_back(p);
  }
  return true;
}

}  // namespace routetest
