#include "instruments/GpsdStream.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The string starting after the opening quote at `at`; none when it does
// not end on this line or holds a broken escape.
std::optional<std::string> ReadString(std::string_view json, size_t at, size_t maxLength) {
  std::string out;
  auto put = [&](char c) {
    if (out.size() < maxLength) out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
  };
  while (at < json.size()) {
    const char c = json[at++];
    if (c == '"') return out;
    if (c != '\\') {
      put(c);
      continue;
    }
    if (at >= json.size()) return std::nullopt;
    const char e = json[at++];
    switch (e) {
      case '"':
      case '\\':
      case '/':
        put(e);
        break;
      case 'b':
      case 'f':
      case 'n':
      case 'r':
      case 't':
        put(' ');
        break;
      case 'u':
        if (at + 4 > json.size()) return std::nullopt;
        for (size_t k = 0; k < 4; ++k)
          if (!IsHex(json[at + k])) return std::nullopt;
        at += 4;
        put('?');
        break;
      default:
        return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> JsonStringMember(std::string_view json, std::string_view name, size_t maxLength) {
  const std::string key = "\"" + std::string(name) + "\"";
  for (size_t from = 0; (from = json.find(key, from)) != std::string_view::npos; ++from) {
    size_t at = from + key.size();
    while (at < json.size() && IsSpace(json[at])) ++at;
    if (at >= json.size() || json[at] != ':') continue;
    ++at;
    while (at < json.size() && IsSpace(json[at])) ++at;
    if (at >= json.size() || json[at] != '"') continue;
    return ReadString(json, at + 1, maxLength);
  }
  return std::nullopt;
}

std::string TGpsdStream::Take(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    switch (mode_) {
      case TMode::LineStart:
        if (c == '{') {
          mode_ = TMode::Json;
          json_.assign(1, c);
        } else {
          out.push_back(c);
          if (c != '\n' && c != '\r') mode_ = TMode::Nmea;
        }
        break;
      case TMode::Nmea: {
        // The rest of the line, or of the bytes, in one piece.
        const size_t nl = bytes.find('\n', i);
        const size_t end = nl == std::string_view::npos ? bytes.size() : nl + 1;
        out.append(bytes.substr(i, end - i));
        i = end - 1;
        if (nl != std::string_view::npos) mode_ = TMode::LineStart;
        break;
      }
      case TMode::Json:
        if (c == '\n') {
          JsonLine(json_);
          json_.clear();
          mode_ = TMode::LineStart;
        } else if (json_.size() >= kMaxJsonLine) {
          json_.clear();
          mode_ = TMode::SkipJson;
        } else {
          json_.push_back(c);
        }
        break;
      case TMode::SkipJson:
        if (c == '\n') {
          ++jsonLines_;
          mode_ = TMode::LineStart;
        }
        break;
    }
  }
  return out;
}

void TGpsdStream::Reset() {
  mode_ = TMode::LineStart;
  json_.clear();
}

std::optional<std::string> TGpsdStream::TakeError() {
  std::optional<std::string> e = std::move(error_);
  error_.reset();
  return e;
}

void TGpsdStream::JsonLine(std::string_view line) {
  ++jsonLines_;
  const std::optional<std::string> cls = JsonStringMember(line, "class", kMaxText);
  if (!cls) return;
  if (*cls == "VERSION") {
    if (std::optional<std::string> r = JsonStringMember(line, "release", kMaxText)) release_ = *r;
  } else if (*cls == "ERROR") {
    error_ = JsonStringMember(line, "message", kMaxText).value_or("an error without a message");
  }
}
