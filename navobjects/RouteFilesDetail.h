// Pieces shared by the route file readers and writers (RouteFiles*.cpp);
// not for other users.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "navobjects/RouteFiles.h"

namespace route_files {

// The lines of a text file one after the other (no list of them is made,
// so a file of nothing but line ends costs no memory): split at LF, one CR
// before it dropped, so that CR LF and LF files read alike. A last line
// without a terminator counts; the empty text after a final terminator
// does not.
class TTextLines {
 public:
  explicit TTextLines(std::string_view bytes) : rest_(bytes) {}
  // The next line; false at the end.
  bool Next(std::string_view& line);
  // Gives the last line again at the next call of Next.
  void Unread() {
    rest_ = last_;
    --number_;
  }
  // The 1-based number of the last line given.
  size_t Number() const { return number_; }

 private:
  std::string_view rest_;
  std::string_view last_;  // the text from the last line given on
  size_t number_ = 0;
};

// A read failure of the given kind with its reason.
TRouteReadResult Failure(TRouteReadStatus status, std::string error, TRoutePoints points = {});
// The end of a text import: Ok with the points, NoPoints when there are none.
TRouteReadResult TextImportResult(TRoutePoints points, std::string_view what);

// A name as the text formats write it, in UTF-8: cleaned by MakeDeviceName
// in `mode` and cut to `maxChars` characters.
std::string DeviceName(std::string_view name, int mode, size_t maxChars);
// A comment as the text formats write it, in UTF-8: line breaks (CR LF, LF
// or CR) become one CR LF each before cleaning, so that the "As is" mode
// turns every break into "||" (the other modes make dashes of them); then
// cut to `maxChars` characters without splitting such a "||".
std::string DeviceComment(std::string_view comment, int mode, size_t maxChars);
// "||" in a read comment -> CR LF, the inverse of DeviceComment.
std::string BarsToLineBreaks(std::string_view text);

// The name of an unnamed point in the text formats: "R" + route number +
// point number (1-based, 3 digits) for a route; "WP" + point number for
// positions (routeNumber < 0), which have no route number.
std::string UnnamedPointName(int routeNumber, size_t index);

// The position as the text formats write it: a value that is not finite
// becomes 0, the latitude is held to +-90 degrees and the longitude brought
// into [-180, 180] degrees.
TFPoint WritablePosition(const TFPoint& p);
// A position read as degrees, checked: both finite, |lat| <= 90 and
// |lon| <= 360 (brought into [-180, 180]). False when out of range.
bool PositionFromDegrees(double latDeg, double lonDeg, TFPoint& out);

}  // namespace route_files
