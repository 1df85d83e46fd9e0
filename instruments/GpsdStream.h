// What a gpsd daemon sends once it was asked to watch with raw NMEA
// ("?WATCH={"enable":true,"nmea":true}"): JSON objects, one a line (its
// version, its devices, the watch it agreed to, errors), among the NMEA
// sentences of its devices as they came. The filter passes the sentences
// on and keeps back every JSON line, so that no text of gpsd's own can
// reach the line assembler (a "$" inside a JSON string would start a
// sentence there). It notes the release gpsd reports and its last error.
//
// Bytes may arrive in any pieces; a line is JSON when it starts with "{".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class TGpsdStream {
 public:
  // The NMEA text among `bytes` (line ends kept).
  std::string Take(std::string_view bytes);
  // Forgets a line begun (a new connection starts).
  void Reset();

  // "release" of gpsd's VERSION object ("" before one came).
  const std::string& Release() const { return release_; }
  // "message" of its last ERROR object, taken out once.
  std::optional<std::string> TakeError();
  int64_t JsonLines() const { return jsonLines_; }

  // JSON lines are looked into up to this length; the rest of a longer one
  // is skipped.
  static constexpr size_t kMaxJsonLine = 8192;
  // Texts taken from gpsd are cut to this length.
  static constexpr size_t kMaxText = 200;

 private:
  enum class TMode : uint8_t { LineStart, Nmea, Json, SkipJson };
  void JsonLine(std::string_view line);

  TMode mode_ = TMode::LineStart;
  std::string json_;
  std::string release_;
  std::optional<std::string> error_;
  int64_t jsonLines_ = 0;
};

// The value of a string member `"name":"..."` of a one-line JSON object
// (escapes resolved; characters outside printable ASCII become "?"); none
// when the member is absent or not a complete string. Nested objects are
// searched too: the first occurrence counts.
std::optional<std::string> JsonStringMember(std::string_view json, std::string_view name, size_t maxLength);
