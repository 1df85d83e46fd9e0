#include "foundation/NumText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

std::string_view TrimBlanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

template <typename Int>
std::optional<Int> ParseInt(std::string_view text) {
  std::string_view s = TrimBlanks(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  } else if (s.size() > 1 && s[0] == '$') {
    base = 16;
    s.remove_prefix(1);
  }
  if (s.empty() || s.front() == '+' || s.front() == '-') return std::nullopt;
  // Parse the magnitude one size up so that the most negative value fits.
  uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  constexpr uint64_t maxPos = static_cast<uint64_t>(std::numeric_limits<Int>::max());
  if (negative) {
    if (magnitude > maxPos + 1) return std::nullopt;
    if (magnitude == maxPos + 1) return std::numeric_limits<Int>::min();
    return static_cast<Int>(-static_cast<Int>(magnitude));
  }
  if (magnitude > maxPos) return std::nullopt;
  return static_cast<Int>(magnitude);
}

template <typename Int>
std::optional<Int> CheckedFromDouble(double v) {
  if (!std::isfinite(v)) return std::nullopt;
  // Both limits are exactly representable as powers of two (or their negation).
  constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
  constexpr double hiExclusive = -lo;
  if (v < lo || v >= hiExclusive) return std::nullopt;
  return static_cast<Int>(v);
}

}  // namespace

std::optional<double> TryStrToFloatDot(std::string_view text) {
  std::string_view s = TrimBlanks(text);
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (s.empty() || s.front() == '+' || s.front() == '-') return std::nullopt;
  }
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

double StrToFloatDot(std::string_view text) {
  if (auto v = TryStrToFloatDot(text)) return *v;
  throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

std::optional<int32_t> TryStrToInt(std::string_view text) { return ParseInt<int32_t>(text); }
std::optional<int64_t> TryStrToInt64(std::string_view text) { return ParseInt<int64_t>(text); }

std::string FloatToStrDot(double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  if (v == 0) return "0";
  // Shortest round-trip digits in scientific form: [-]d[.ddd]e[+-]XX
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));
  bool negative = sci.front() == '-';
  if (negative) sci.remove_prefix(1);
  size_t ePos = sci.find('e');
  std::string_view mant = sci.substr(0, ePos);
  int exp10 = 0;
  std::from_chars(sci.data() + ePos + 1 + (sci[ePos + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exp10);
  std::string digits;
  for (char c : mant)
    if (c != '.') digits += c;
  std::string out = negative ? "-" : "";
  if (exp10 >= -5 && exp10 < 15) {
    if (exp10 < 0) {
      out += "0.";
      out.append(static_cast<size_t>(-exp10 - 1), '0');
      out += digits;
    } else {
      size_t intLen = static_cast<size_t>(exp10) + 1;
      if (digits.size() <= intLen) {
        out += digits;
        out.append(intLen - digits.size(), '0');
      } else {
        out += digits.substr(0, intLen);
        out += '.';
        out += digits.substr(intLen);
      }
    }
  } else {
    out += digits.substr(0, 1);
    if (digits.size() > 1) {
      out += '.';
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exp10);
  }
  return out;
}

std::string FloatToStrFixedDot(int decimals, double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  if (decimals < 0) decimals = 0;
  if (decimals > 30) decimals = 30;
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (res.ec != std::errc()) return FloatToStrDot(v);
  std::string out(buf, static_cast<size_t>(res.ptr - buf));
  // "-0.00" reads as a different value to a user: show plain zero.
  if (out.front() == '-' && out.find_first_not_of("-0.") == std::string::npos) out.erase(0, 1);
  return out;
}

std::string FloatToStrWD(int width, int decimals, double v) {
  std::string out = FloatToStrFixedDot(decimals, v);
  if (width > 0 && out.size() < static_cast<size_t>(width)) out.insert(0, static_cast<size_t>(width) - out.size(), ' ');
  return out;
}

std::string FloatToStrGeneral(double v) {
  if (!std::isfinite(v)) return FloatToStrDot(v);
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  double rounded = v;
  if (res.ec == std::errc()) std::from_chars(buf, res.ptr, rounded);
  return FloatToStrDot(rounded);
}

std::string FloatToStrShort(double v) {
  std::string out = FloatToStrWD(4, 1, v);
  if (out.size() <= 6) return out;
  size_t dot = out.find('.');
  if (dot != std::string::npos && dot <= 6) return out.substr(0, 6);
  return "######";
}

double RoundHalfEven(double v) {
  if (!std::isfinite(v)) return v;
  double r = std::round(v);  // halves away from zero
  if (std::fabs(v - std::trunc(v)) == 0.5) r = 2.0 * std::round(v / 2.0);
  return r;
}

int32_t RoundToInt(double v, int32_t fallback) {
  return CheckedFromDouble<int32_t>(RoundHalfEven(v)).value_or(fallback);
}
int64_t RoundToInt64(double v, int64_t fallback) {
  return CheckedFromDouble<int64_t>(RoundHalfEven(v)).value_or(fallback);
}
int32_t TruncToInt(double v, int32_t fallback) {
  return CheckedFromDouble<int32_t>(std::trunc(v)).value_or(fallback);
}
int64_t TruncToInt64(double v, int64_t fallback) {
  return CheckedFromDouble<int64_t>(std::trunc(v)).value_or(fallback);
}
int32_t ClampToInt(double v, int32_t lo, int32_t hi) {
  if (std::isnan(v) || v <= lo) return lo;
  if (v >= hi) return hi;
  return static_cast<int32_t>(v);
}
