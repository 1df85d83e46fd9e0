// Pieces shared by the route file readers and writers (RouteFiles*.cpp)
// and the track files (Trace.cpp); not for other users.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// The items of a comma text line, split at commas only (blanks belong to
// the items, so "Sea Point" is one name); an item that begins with a double
// quote runs to the closing quote, commas included, and "" inside it is one
// quote.
std::vector<std::string> CommaItems(std::string_view line);
// Characters first..last (1-based, inclusive) of a line; what the line does
// not hold is left out.
std::string_view Columns(std::string_view line, size_t first, size_t last);
// `prefix` and `lower` are given in lower case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EqualsNoCase(std::string_view text, std::string_view lower);

// ---- GPX ----

inline constexpr std::string_view kGpx11Namespace = "http://www.topografix.com/GPX/1/1";
inline constexpr std::string_view kGpx10Namespace = "http://www.topografix.com/GPX/1/0";
// Our extension elements (values GPX has no place for).
inline constexpr std::string_view kOwnNamespace = "urn:brismare:gpx:1";

// Text for element content or an attribute value: markup characters as
// entities, CR as a character reference (a parser would otherwise turn
// CR LF into LF), characters XML cannot hold as "?".
std::string XmlEscaped(std::string_view text);
// The shortest decimal text without an exponent that reads back as the same
// double ("59.50833333333333", "0.00001454441043328608"); GPX numbers are
// decimals, which have no exponent form. Not finite: "0".
std::string DecimalText(double v);
// The XML declaration and the "gpx" start tag (GPX 1.1, our namespace
// declared as "brismare"), and the metadata with `name` when it is not
// empty.
std::string GpxDocumentStart(std::string_view name);

// The GPX namespace (1.1 or 1.0), or none.
bool IsGpxNamespace(std::string_view uri);
// UTF-8 text from the document: bytes that are no UTF-8 are taken as
// Windows-1252 characters, characters XML does not allow become "?" (as
// the writer writes them).
std::string CleanText(std::string_view s);
// The document as UTF-8: a byte-order mark dropped, Latin-1 and
// Windows-1252 documents converted; UTF-16 is refused (false).
bool DocumentText(std::string_view bytes, std::string& doc);

inline constexpr size_t kXmlMaxDepth = 64;
inline constexpr size_t kXmlMaxAttributes = 64;
inline constexpr size_t kXmlMaxNamespaceBindings = 128;

struct TXmlAttribute {
  std::string_view name;  // qualified
  std::string value;      // entities resolved
};

// A small XML tokenizer: every step moves forward through the bytes,
// nesting, attributes and namespace declarations are limited, and
// malformed input ends the reading with a reason. Pulls the events of one
// document: start tags (an empty element gives its end at once), end tags,
// text, the end of the document or an error.
class TXmlReader {
 public:
  enum class Event { Start, End, Text, Eof, Error };

  explicit TXmlReader(std::string_view doc) : doc_(doc) {}

  Event Next();

  // Of the last Start (and End) event.
  std::string_view LocalName() const { return local_; }
  std::string_view NamespaceUri() const { return uri_; }
  const std::vector<TXmlAttribute>& Attributes() const { return attributes_; }
  const std::string* Attribute(std::string_view qualifiedName) const {
    for (const TXmlAttribute& a : attributes_)
      if (a.name == qualifiedName) return &a.value;
    return nullptr;
  }
  // Of the last Text event.
  const std::string& Text() const { return text_; }
  const std::string& Error() const { return error_; }
  size_t Depth() const { return open_.size(); }

 private:
  Event Fail(std::string why) {
    error_ = std::move(why) + " (at byte " + std::to_string(pos_) + ")";
    failed_ = true;
    return Event::Error;
  }
  bool At(std::string_view s) const { return doc_.substr(pos_).starts_with(s); }
  bool SkipPast(std::string_view end) {
    const size_t at = doc_.find(end, pos_);
    if (at == std::string_view::npos) return false;
    pos_ = at + end.size();
    return true;
  }
  void SkipBlanks() {
    while (pos_ < doc_.size() && IsBlank(doc_[pos_])) ++pos_;
  }
  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
  static bool IsNameChar(char c, bool first) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u == ':' || u >= 0x80) return true;
    return !first && ((u >= '0' && u <= '9') || u == '-' || u == '.');
  }
  std::string_view ReadName() {
    const size_t start = pos_;
    while (pos_ < doc_.size() && IsNameChar(doc_[pos_], pos_ == start)) ++pos_;
    return doc_.substr(start, pos_ - start);
  }
  // Character data up to `end` (exclusive) with entities resolved and line
  // ends normalised to LF; false on a bad entity.
  bool Decode(size_t end, bool entities, std::string& out);
  Event StartTag();
  Event EndTag();
  bool Resolve(std::string_view qualified);

  struct TBinding {
    std::string_view prefix;
    std::string uri;
    size_t depth;
  };

  std::string_view doc_;
  size_t pos_ = 0;
  std::vector<std::string_view> open_;  // qualified names of the open elements
  std::vector<TBinding> bindings_;
  std::vector<TXmlAttribute> attributes_;
  std::string_view local_;
  std::string uri_;  // a copy: the declaration may end with the element
  std::string text_;
  std::string error_;
  bool pendingEnd_ = false;
  bool rootDone_ = false;
  bool failed_ = false;
};

// The end of a walk through a GPX document.
enum class TGpxWalkEnd { Done, Stopped, NotGpx, Damaged };
// Sees one event of the walk; false stops it.
using TGpxVisit = std::function<bool(const TXmlReader& x, TXmlReader::Event e, size_t depth)>;
// Walks a GPX document (1.1, 1.0 or without a namespace): `visit` sees
// every start tag, end tag and text with its depth (the gpx element is
// depth 1, its children 2; an end has the depth of the element it ends,
// text that of the element it is in). NotGpx (no gpx root element, a UTF-16
// document) and Damaged (the XML breaks off inside the root) say why in
// `error`.
TGpxWalkEnd WalkGpx(std::string_view bytes, const TGpxVisit& visit, std::string& error);
// The lat and lon attributes of the last start tag as a position (checked
// as by PositionFromDegrees); false without a valid one.
bool GpxPointPosition(const TXmlReader& x, TFPoint& out);
// A number attribute of the last start tag; none when it is missing or no
// finite number.
std::optional<double> GpxNumber(const TXmlReader& x, const char* attribute);

}  // namespace route_files
