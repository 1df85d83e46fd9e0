// Geographic values, their arithmetic and text forms, and small helpers.
//
// Units throughout: angles, latitudes, longitudes and bearings in radians;
// distances on the earth in radians of arc (x kRadToNM gives nautical miles);
// speeds in knots; times as TDateTime. A polar TFPoint carries the length in
// X and the bearing (clockwise from north, the +Y axis) in Y.
//
// Nothing here throws except where stated (the text-to-number conversions
// raise EConvertError); no input, however large, infinite or NaN, leads to
// undefined behaviour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/NumText.h"
#include "foundation/Types.h"
#include "platform/Questions.h"  // AppMessageBox, AskYesNo

// ---------------------------------------------------------------------------
// Geographic helpers (positions are TFPoint in radians)

// Distance (X, radians of arc) and bearing (Y, radians in [0, 2*pi)) from
// `from` to `to` by mid-latitude plane sailing. The longitude difference is
// taken the short way round, so a leg across the 180th meridian is short.
// Two equal positions give distance 0 and bearing pi/2; a due north or south
// leg gives 0 or pi, due east pi/2 and due west 3*pi/2.
TFPoint GeoDistBearing(const TFPoint& from, const TFPoint& to);
// The distance of GeoDistBearing.
double GeoDistance(const TFPoint& a, const TFPoint& b);
// The distance from a to c by way of b.
double GeoDistanceVia(const TFPoint& a, const TFPoint& b, const TFPoint& c);
// Dead-reckoning step: the position reached from `pos` along the polar pair
// (distance, bearing), with the longitude scale taken at the start latitude.
TFPoint GeoOffset(const TFPoint& pos, const TFPoint& polar);
// Days needed for `distance` (radians of arc) at `speedKnots`. A speed that
// is not positive, or a quotient that is not finite, gives the longest time
// shown, kMaxTimeToGoDays (99:59:59).
double TimeToGo(double distance, double speedKnots);
// Thousandths of a minute of arc -> radians.
double IntPosUnitToRad(int32_t value);
// Compact position -> radians (X = longitude, Y = latitude).
TFPoint IntPosToFPoint(const TIntPos& p);
// Radians -> compact position, each part rounded to the nearest thousandth of
// a minute (halves to even). A part that is NaN or outside the 32-bit range
// becomes 0.
TIntPos FPointToIntPos(const TFPoint& p);
// Brings the angle into [0, 2*pi). NaN stays NaN; infinities become NaN.
void NormAngle(double& angle);
// Brings the angle into [-pi, pi]; angles already inside are unchanged.
// NaN stays NaN; infinities become NaN.
void NormAngleSigned(double& angle);

// ---------------------------------------------------------------------------
// Plane helpers (pixels or projected units; no earth curvature)

// Pixel coordinates produced from doubles stay within +-2^30, so that the sum
// of two of them cannot overflow.
inline constexpr int32_t kPixelLimit = 1 << 30;

// Each coordinate rounded to the nearest integer (halves to even), clamped to
// +-kPixelLimit; NaN becomes 0.
TPoint RoundFPoint(const TFPoint& p);
// Integer point -> TFPoint.
TFPoint FloatPoint(const TPoint& p);
// Polar (length, bearing) -> (length * sin bearing, length * cos bearing).
TFPoint PolarToXY(const TFPoint& polar);
// (X, Y) -> polar (length, atan2(X, Y)). With Y exactly 0 the bearing is
// pi/2 for X >= 0 (also at the origin) and 3*pi/2 for X < 0; otherwise it is
// in (-pi, pi] and not normalised.
TFPoint XYToPolar(const TFPoint& xy);
// PolarToXY, rounded to a pixel point.
TPoint PolarToPixel(const TFPoint& polar);
// The polar point scaled by `scale` and turned clockwise by `turn`, as X, Y.
TFPoint RotatePolar(const TFPoint& polar, double scale, double turn);
// RotatePolar, rounded to a pixel point.
TPoint RotatePolarToPixel(const TFPoint& polar, double scale, double turn);
// Component-wise sum and difference.
TFPoint FPointAdd(const TFPoint& a, const TFPoint& b);
TFPoint FPointSub(const TFPoint& a, const TFPoint& b);
// Integer point plus integer offset; each sum saturates at the 32-bit range.
TPoint PointAddOffset(const TPoint& p, const TPoint& offset);
// Both components multiplied or divided by one number.
TFPoint FPointMul(const TFPoint& p, double factor);
TFPoint FPointDiv(const TFPoint& p, double divisor);
// Exchanges two points.
void FPointSwap(TFPoint& a, TFPoint& b);
// Exact equality of both components (NaN is never equal).
bool SameFPoint(const TFPoint& a, const TFPoint& b);
// Euclidean distance.
double PlaneDistance(const TFPoint& a, const TFPoint& b);
// Sum of the three side lengths of the triangle a, b, c.
double TrianglePerimeter(const TFPoint& a, const TFPoint& b, const TFPoint& c);
// The mean of the points (the vertex mean, not the area centroid); (0, 0)
// for an empty array.
TFPoint PolygonCentroid(const TFPointArray& points);
// For n >= 1: points[0] = first, points[n] = last and the n - 1 points
// between them evenly spaced on the straight line. The array grows to n + 1
// points when it is shorter; n < 1 leaves it alone.
void InterpolatePoints(TFPointArray& points, int n, const TFPoint& first, const TFPoint& last);
// Exchanges a and b when b > a, so that afterwards a >= b.
void OrderDesc(double& a, double& b);
// Whether t lies inside the polygon. The polygon is closed from the last
// point back to the first unless they are already equal. t is inside only
// when the number of edges crossing its horizontal line is odd both to the
// left and to the right of it; a crossing exactly at t (a point on a
// vertical edge) counts on neither side, so such a point is outside. NaN
// anywhere in the arithmetic gives outside.
bool PointInPolygon(const TFPointArray& points, const TFPoint& t);
bool PointInPolygon(const TFPoint* points, size_t count, const TFPoint& t);
// Whether p lies in the normalised rectangle r, bounds included.
bool PointInFRect(const TFPoint& p, const TFRect& r);
// Swaps X1/X2 and Y1/Y2 as needed so that X1 >= X2 and Y1 >= Y2.
void NormFRect(TFRect& r);
// Whether a corner of a lies in b or a corner of b lies in a (both
// normalised). Two rectangles crossing like a plus sign do NOT overlap by
// this rule; use FRectsIntersect to ask whether they share any point.
bool FRectsOverlap(const TFRect& a, const TFRect& b);
// Whether two normalised rectangles share at least one point (edges count).
bool FRectsIntersect(const TFRect& a, const TFRect& b);

// ---------------------------------------------------------------------------
// Text forms of positions (values in radians; "°" is UTF-8)

// Latitude as "59°30.500'N": degrees (at least 2 digits), minutes (2 digits)
// and thousandths of a minute (3 digits, truncated after a bias of a quarter
// thousandth). The value is first brought into [-pi, pi]. Never shows 60
// minutes: a carry goes into the degrees. Gives "00000000N" when the value
// is not finite.
std::string LatToStr(double lat);
// Longitude as "018°04.250'E", as LatToStr with at least 3 degree digits;
// "00000000E" when the value is not finite.
std::string LonToStr(double lon);
// The nine-character entry form: degrees (3 digits, also for latitudes),
// minutes x 1000 rounded (5 digits) and the hemisphere letter, e.g.
// "05930500N" or "01804250E". The value is not normalised. Never gives
// 60 000 thousandths (carried into the degrees). A value that is not finite
// or needs more than 3 degree digits gives "00000000E" / "00000000N".
std::string PosToMaskText(bool isLongitude, double value);
// Reads the nine-character form: shorter text is padded on the left with "0";
// "S", "W", "s", "w" as ninth character make the value negative. Text whose
// digit fields are not digits (blanks around them allowed) gives 0.
double MaskTextToPos(std::string_view text);
// The ten-character form: degrees (3 digits), minutes x 10 000 rounded
// (6 digits), letter; "000000000E" / "000000000N" when it cannot be formed.
std::string PosToMaskText10(bool isLongitude, double value);
// Reads the ten-character form the same way as MaskTextToPos.
double MaskText10ToPos(std::string_view text);
// |degrees| as FloatToStrWD(width, decimals), then "°" and "E" for values
// >= 0, "W" otherwise, e.g. "3.5°W".
std::string DegToStrEW(int width, int decimals, double degrees);

// ---------------------------------------------------------------------------
// Packed angle formats of the route and track text files:
// 0 decimal degrees; 1 degrees and decimal minutes packed into one number
// (59.305 = 59°30.5'); 2 degrees, minutes and seconds packed (59.303 =
// 59°30'30"). Negative values keep their sign in every part.

// Packed angle -> decimal degrees. Any format other than 1 or 2 returns the
// value unchanged. In format 2 a value whose minutes are whole (59.30) is
// read as such even where the binary fraction falls just below them.
double AngleToDegrees(int format, double value);
// Decimal degrees -> packed angle; the inverse of AngleToDegrees.
double DegreesToAngle(int format, double degrees);
// Number text ("." decimals) in the given format -> radians. Raises
// EConvertError on malformed text.
double AngleTextToRad(std::string_view text, int format);
// Radians -> packed angle text, width 7 with 5 decimals.
std::string RadToAngleText(int format, double radians);

// ---------------------------------------------------------------------------
// Strings

// Pads with `fill` on the left or right up to `length` characters (code
// points); longer text is returned unchanged.
std::string PadLeft(std::string_view text, char fill, int length);
std::string PadRight(std::string_view text, char fill, int length);
// |value| padded on the left with `fill` to `width` (width - 1 for negative
// values), then "-" in front of negative values: IntToStrPad(-5, '0', 3)
// gives "-05".
std::string IntToStrPad(int64_t value, char fill, int width);
// Removes every space character.
std::string RemoveSpaces(std::string_view text);

// ---------------------------------------------------------------------------
// Times and dates

// Seconds as "hh:mm:ss", clamped to 0 .. 359 999 (99:59:59) before rounding
// to whole seconds; NaN shows as 00:00:00.
std::string SecondsToHMS(double seconds);
// Seconds as hours (at least 3 digits), ":", minutes (2 digits), e.g.
// "012:05". Negative and NaN values show as zero; whole seconds are rounded
// first, then cut to whole minutes.
std::string SecondsToHHHMM(double seconds);
// Seconds as hours (no padding), ":", minutes (2 digits), e.g. "2:05"; as
// SecondsToHHHMM otherwise.
std::string SecondsToHMM(double seconds);
// A time span in days as "hh:mm:ss" (SecondsToHMS).
std::string DaysToHMS(double days);
// The date as "yyyymmdd"; "00000000" when it is outside the years 1..9999.
std::string DateToYYYYMMDD(TDateTime date);
// Date and time as "yyyy-mm-dd hh:mm:ss" (with `separator` between date and
// time), rounded to whole seconds; "" when outside the years 1..9999.
std::string DateTimeToText(TDateTime t, char separator = ' ');
// The calendar date for year, month, day, if such a date exists (years
// 1..9999).
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
// Year, month and day of a date; false (and no change) outside 1..9999.
bool DecodeDate(TDateTime date, int& year, int& month, int& day);
// "mm/dd/yyyy" (month and day 1 or 2 digits, year 4 digits, blanks around
// the text allowed) -> date, whatever the user's date settings. Raises
// EConvertError on malformed text or an impossible date.
TDateTime StrToDateUS(std::string_view text);
// Reads the C library's time text "Www Mmm dd hh:mm:ss yyyy": the time of
// day from columns 12-19, the month name from 5-7, the day from 9-10, the
// year from 21-24. Malformed time gives 0; a malformed date alone gives the
// time of day without a date.
TDateTime CTimeToDateTime(std::string_view text);
// The current UTC date and time from the program clock.
TDateTime NowUTC();
// Today's UTC date at midnight.
TDateTime TodayUTC();
// The local date and time now from the program clock (the time zone's
// offset at this moment), for file stamps that are local by tradition.
TDateTime NowLocal();
// Sets the system clock to a UTC time; false when that is not permitted.
bool SetClockUTC(TDateTime utc);

// ---------------------------------------------------------------------------
// Bits and numbers

// Sets (on) or clears (off) bit `bit` of `set`; bits outside 0..31 are
// ignored.
void SetBit(bool on, int bit, uint32_t& set);
// Reverses the byte order.
uint32_t SwapBytes32(uint32_t value);
// Four characters -> 32-bit code, the first character in the lowest byte
// (missing characters count as 0, characters after the fourth are ignored).
uint32_t FourCC(std::string_view chars);
// The number of bits needed to hold `value` (0 for 0); `powerAbove`, when
// given, receives 2 to that power, the first power of two above the value.
int BitsNeeded(uint32_t value, uint64_t* powerAbove = nullptr);
// Mask of the n low bits: 0 for n <= 0, all ones for n >= 32.
uint32_t LowBitMask(int n);
// Min(Max(value, low), high).
int32_t EnsureRangeInt(int32_t value, int32_t low, int32_t high);
// Min(Max(value, low), high); NaN gives low.
double EnsureRangeFloat(double value, double low, double high);
// `value` unless it is exactly 0, else `def`.
double NonZeroOr(double def, double value);

// ---------------------------------------------------------------------------
// Character cleaning (all work on characters, not on UTF-8 bytes)

// Every character found in `from` becomes the character at the same place in
// `to`, which is padded with "-" to the length of `from`.
// `from` and `to` are given as characters, or as UTF-8 text.
std::string TranslateChars(std::string_view text, std::u32string_view from, std::u32string_view to);
std::string TranslateChars(std::string_view text, std::string_view from, std::string_view to);
// Accented Latin letters -> plain letters (Å Ä -> A, Ö Ø -> O, é -> e, ...);
// comma, space, colon, line feed, carriage return, apostrophe and double
// quote -> "-".
std::string FoldAccents(std::string_view text);
// As FoldAccents for the 7-bit character set of some instruments: Å Ä Ö Ø Ü
// and å ä ö ø ü become "[", "\", "]", "^", "_".
std::string FoldAccents7Bit(std::string_view text);
// Comma, space, colon, line feed, carriage return, apostrophe and double
// quote -> "-".
std::string PunctToDash(std::string_view text);
// Every character of `set` -> `c`.
std::string ReplaceChars(std::string_view text, std::u32string_view set, char32_t c);
std::string ReplaceChars(std::string_view text, std::string_view set, char32_t c);

// The modes of the "AP Capability" setting.
enum TDeviceNameMode : int {
  dnUpperCase = 0,  // "Upper case"
  dnLowerCase = 1,  // "+ Lower case"
  dnAsIs = 2,       // "As is (8 bit Ascii)"
  dnNumeric = 3,    // "Numeric" (names cleaned as upper case)
  dnNexus = 4,      // "Nexus"
};
// A name cleaned for instrument output in the given mode:
// 1: accents folded, anything but 0-9, "-", A-Z, a-z -> "-";
// 2: comma, apostrophe, double quote -> blank, CR and LF -> "|", rest kept;
// 4: 7-bit folding, upper case, anything but 0-9, "-", A-Z, "[\]^_" -> "-";
// 0, 3, other: accents folded, upper case, anything but 0-9, "-", A-Z -> "-".
// The result is UTF-8 (only mode 2 can leave characters above 127).
std::string MakeDeviceName(std::string_view text, int mode);

// ---------------------------------------------------------------------------
// Paths and files

// Trimmed path with (wanted) or without a trailing "/". "/" itself keeps it;
// empty text stays empty.
std::string SetTrailingSeparator(std::string_view path, bool wanted);
// The same for stored Windows path texts with "\": without the separator a
// path then ending in ":" gets "\." (so "C:\" becomes "C:\."). Empty stays
// empty.
std::string SetTrailingBackslash(std::string_view path, bool wanted);
// The file name without directory ("/" or "\") and without the text from its
// last "." on, trimmed.
std::string FileBaseName(std::string_view path);
// Directory with a trailing "/" followed by the file name part of `path`.
std::string JoinDirFile(std::string_view dir, std::string_view path);
// Size in bytes of a regular file; -1 when there is none by that name.
int64_t FileSizeOf(const std::string& path);
// True when no such file exists. Otherwise asks whether to delete it; No
// gives false; Yes deletes it, and when that fails tells the user and gives
// false.
bool ConfirmDeleteFile(const std::string& path);

// The program's version text.
std::string ProgramVersion();
