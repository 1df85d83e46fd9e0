// Locale-proof number text. Every number read from or written to a file,
// a settings key or an instrument sentence goes through these functions;
// they never consult the C or C++ locale.
//
// Rounding rule, project-wide: halves round to even (RoundHalfEven), and
// fixed-point text rounds the exact binary value, ties to even.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// The conversion error raised by the text-to-number functions.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Text -> double with "." as the decimal separator. Leading and trailing
// blanks are ignored; a leading "+" is accepted; exponents are accepted.
// NaN, infinity, empty text and trailing garbage are malformed.
std::optional<double> TryStrToFloatDot(std::string_view text);
// As above, raising EConvertError on malformed text.
double StrToFloatDot(std::string_view text);

// Text -> 32-bit integer: decimal, or hexadecimal with "0x"/"$" prefix.
// Blanks around the number are ignored. Out of range is malformed.
std::optional<int32_t> TryStrToInt(std::string_view text);
std::optional<int64_t> TryStrToInt64(std::string_view text);

// Shortest text that reads back to the same double, with "." as separator:
// fixed notation for 1e-5 <= |v| < 1e15, exponent form ("1.5E-7") otherwise.
// NaN and infinities give "NAN", "INF" and "-INF".
std::string FloatToStrDot(double v);
// The general format of displayed values: at most 15 significant digits, so
// the noise of binary fractions never shows ("0.3", not
// "0.30000000000000004"), in the forms of FloatToStrDot.
std::string FloatToStrGeneral(double v);

// Fixed-point text with the given number of decimals, right-aligned with
// spaces to at least Width characters.
std::string FloatToStrWD(int width, int decimals, double v);
// Fixed-point text with no padding.
std::string FloatToStrFixedDot(int decimals, double v);
// FloatToStrWD(4, 1) cut to at most 6 characters; a value too wide to be
// shown that way gives "######" rather than a different number.
std::string FloatToStrShort(double v);

// Halves to even. NaN stays NaN.
double RoundHalfEven(double v);
// Checked double -> integer conversions: halves to even; NaN and values
// outside the target range give the fallback instead of undefined behaviour.
int32_t RoundToInt(double v, int32_t fallback = 0);
int64_t RoundToInt64(double v, int64_t fallback = 0);
// Truncation toward zero, checked the same way.
int32_t TruncToInt(double v, int32_t fallback = 0);
int64_t TruncToInt64(double v, int64_t fallback = 0);
// Clamped conversion: NaN gives lo.
int32_t ClampToInt(double v, int32_t lo, int32_t hi);
