// Readers for the fields of NMEA 0183 sentences, and the wind triangle.
// Numbers always use "." as the decimal separator, whatever the locale.
// No reader throws; a reader that can fail returns std::nullopt, which the
// sentence handlers treat as a conversion failure of the sentence.
#pragma once

#include <optional>
#include <string_view>

#include "instruments/NMEAInfo.h"

// The angle (radians) brought into [0, 2*pi).
double NormalisedAngle(double angle);

// A decimal number with optional blanks, sign, fraction and exponent. An
// empty field reads as 0; anything else that is not a finite number fails.
std::optional<double> ReadNumber(std::string_view text);
// A number of degrees -> radians in [0, 2*pi). An empty field gives 0.
// Besides malformed text, a magnitude of a million degrees or more fails:
// no instrument sends such a thing, so it is treated as garbage.
std::optional<double> ReadAngle(std::string_view text);
// NoDataValue for an empty field, otherwise ReadAngle.
std::optional<double> ReadAngleOrNoData(std::string_view text);
// "ddmm.mmm" / "dddmm.mmm" with its hemisphere letter -> radians, negative
// for "S", "W", "s" and "w". NoDataValue when the text is shorter than 6
// characters, has no "." or its first "." stands before the 4th character,
// when the letter is not one of "NSEWnsew", and when the degrees are not
// digits, the minutes not in [0, 60), a latitude beyond 90 or a longitude
// beyond 180 degrees. Only the first 10 characters of the minutes count.
double ReadLatLon(std::string_view text, char letter);
// "hhmmss[.ss]" -> days (fractions of seconds ignored); 0 when malformed.
double ReadTime(std::string_view text);
// "ddmmyy" -> date; two-digit years up to 80 are 2000 + year, above 80
// 1900 + year; a year written with 3 or 4 digits and 100 or more is taken
// as written. 0 when malformed or not a calendar date.
double ReadDate(std::string_view text);

// The wind triangle: angle T between the wind and the boat's course, wind
// speed W and boat speed V (knots) -> the angles A0 and B opposite W and V
// (radians, [0, 2*pi)) and the third side C (knots).
struct TWindTriangle {
  double A0 = 0;
  double B = 0;
  double C = 0;
};
TWindTriangle SolveWindTriangle(double angle, double windSpeed, double boatSpeed);
