// Route files: GPX 1.1, written for every other navigation program and read
// from them (GPX 1.0 and files without a namespace are read too). The
// reader uses a small XML tokenizer of its own: every step moves forward
// through the bytes, nesting, attributes and namespace declarations are
// limited, and malformed input ends the reading with a reason.
//
// Our own values that GPX has no place for (leg speed, cross-track limit,
// the reserved integers) go into one extension element per point,
//   <extensions><brismare:leg speedKnots=".." xteRadians=".." reserved1=".." reserved2=".."/></extensions>
// in the namespace kOwnNamespace, so that our files read back as written.
#include <charconv>
#include <cmath>

#include "foundation/GenUtil.h"
#include "foundation/TextCodec.h"
#include "navobjects/RouteFiles.h"
#include "navobjects/RouteFilesDetail.h"
#include "platform/TextBasics.h"

using namespace route_files;

namespace {

bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

}  // namespace

// The GPX pieces shared with the track files (Trace.cpp).
namespace route_files {

// ---------------------------------------------------------------------------
// Writing

std::string XmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const char32_t c = NextCodePoint(text, pos);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        AppendUtf8(out, IsXmlChar(c) ? c : U'?');
    }
  }
  return out;
}

// The shortest decimal text without an exponent that reads back as the same
// double ("59.50833333333333", "0.00001454441043328608"); GPX coordinates
// are decimals, which have no exponent form.
std::string DecimalText(double v) {
  if (!std::isfinite(v)) return "0";
  char buf[400];  // the longest fixed form of a double is about 330 characters
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  return res.ec == std::errc() ? std::string(buf, res.ptr) : "0";
}

std::string GpxDocumentStart(std::string_view name) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"brismare\" xmlns=\"" +
      std::string(kGpx11Namespace) + "\" xmlns:brismare=\"" + std::string(kOwnNamespace) + "\">\n";
  const std::string escaped = XmlEscaped(name);
  if (!escaped.empty()) out += "  <metadata>\n    <name>" + escaped + "</name>\n  </metadata>\n";
  return out;
}

// ---------------------------------------------------------------------------
// The tokenizer

bool TXmlReader::Decode(size_t end, bool entities, std::string& out) {
  out.clear();
  while (pos_ < end) {
    const char c = doc_[pos_];
    if (c == '\r') {
      out += '\n';
      ++pos_;
      if (pos_ < end && doc_[pos_] == '\n') ++pos_;
      continue;
    }
    if (c != '&' || !entities) {
      out += c;
      ++pos_;
      continue;
    }
    // The longest reference, "&#x10FFFF;", has 10 characters.
    const size_t semi = doc_.substr(0, std::min(end, pos_ + 12)).find(';', pos_);
    if (semi == std::string_view::npos) return false;
    const std::string_view ref = doc_.substr(pos_ + 1, semi - pos_ - 1);
    pos_ = semi + 1;
    if (ref == "lt")
      out += '<';
    else if (ref == "gt")
      out += '>';
    else if (ref == "amp")
      out += '&';
    else if (ref == "quot")
      out += '"';
    else if (ref == "apos")
      out += '\'';
    else if (ref.size() >= 2 && ref[0] == '#') {
      const bool hex = ref[1] == 'x';
      const std::string_view digits = ref.substr(hex ? 2 : 1);
      uint32_t cp = 0;
      const auto res = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
      if (digits.empty() || res.ec != std::errc() || res.ptr != digits.data() + digits.size() || !IsXmlChar(cp))
        return false;
      AppendUtf8(out, cp);
    } else {
      return false;
    }
  }
  return true;
}

bool TXmlReader::Resolve(std::string_view qualified) {
  const size_t colon = qualified.find(':');
  const std::string_view prefix = colon == std::string_view::npos ? std::string_view() : qualified.substr(0, colon);
  local_ = colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
  uri_.clear();
  for (auto b = bindings_.rbegin(); b != bindings_.rend(); ++b)
    if (b->prefix == prefix) {
      uri_ = b->uri;
      return true;
    }
  return prefix.empty() || prefix == "xml";  // an undeclared prefix is an error
}

TXmlReader::Event TXmlReader::StartTag() {
  ++pos_;  // '<'
  const std::string_view name = ReadName();
  if (name.empty()) return Fail("a start tag without a name");
  if (rootDone_) return Fail("a second root element");
  if (open_.size() >= kXmlMaxDepth) return Fail("elements nested too deeply");
  attributes_.clear();
  bool empty = false;
  for (;;) {
    const size_t before = pos_;
    SkipBlanks();
    if (pos_ >= doc_.size()) return Fail("a start tag cut short");
    if (doc_[pos_] == '>') {
      ++pos_;
      break;
    }
    if (At("/>")) {
      pos_ += 2;
      empty = true;
      break;
    }
    if (pos_ == before) return Fail("no blank before an attribute");
    const std::string_view attr = ReadName();
    if (attr.empty()) return Fail("a malformed attribute");
    SkipBlanks();
    if (pos_ >= doc_.size() || doc_[pos_] != '=') return Fail("an attribute without a value");
    ++pos_;
    SkipBlanks();
    if (pos_ >= doc_.size() || (doc_[pos_] != '"' && doc_[pos_] != '\'')) return Fail("an unquoted attribute value");
    const size_t close = doc_.find(doc_[pos_], pos_ + 1);
    if (close == std::string_view::npos) return Fail("an attribute value cut short");
    ++pos_;
    if (doc_.substr(pos_, close - pos_).find('<') != std::string_view::npos) return Fail("\"<\" in an attribute value");
    if (attributes_.size() >= kXmlMaxAttributes) return Fail("too many attributes");
    for (const TXmlAttribute& a : attributes_)
      if (a.name == attr) return Fail("an attribute given twice");
    TXmlAttribute a{attr, {}};
    if (!Decode(close, true, a.value)) return Fail("a malformed entity");
    pos_ = close + 1;
    attributes_.push_back(std::move(a));
  }
  open_.push_back(name);
  for (const TXmlAttribute& a : attributes_) {
    if (a.name != "xmlns" && !a.name.starts_with("xmlns:")) continue;
    if (bindings_.size() >= kXmlMaxNamespaceBindings) return Fail("too many namespace declarations");
    bindings_.push_back({a.name == "xmlns" ? std::string_view() : a.name.substr(6), a.value, open_.size()});
  }
  if (!Resolve(name)) return Fail("an undeclared namespace prefix");
  pendingEnd_ = empty;
  return Event::Start;
}

TXmlReader::Event TXmlReader::EndTag() {
  pos_ += 2;  // "</"
  const std::string_view name = ReadName();
  SkipBlanks();
  if (pos_ >= doc_.size() || doc_[pos_] != '>') return Fail("a malformed end tag");
  ++pos_;
  if (open_.empty() || open_.back() != name) return Fail("an end tag that does not match");
  Resolve(name);
  return Event::End;
}

TXmlReader::Event TXmlReader::Next() {
  if (failed_) return Event::Error;
  if (pendingEnd_) {
    pendingEnd_ = false;
    Resolve(open_.back());
  } else {
    for (;;) {
      if (pos_ >= doc_.size()) {
        if (!open_.empty()) return Fail("the document is cut short");
        if (!rootDone_) return Fail("no root element");
        return Event::Eof;
      }
      if (doc_[pos_] != '<') {
        const size_t lt = std::min(doc_.find('<', pos_), doc_.size());
        if (open_.empty()) {
          for (size_t k = pos_; k < lt; ++k)
            if (!IsBlank(doc_[k])) return Fail("text outside the root element");
          pos_ = lt;
          continue;
        }
        if (!Decode(lt, true, text_)) return Fail("a malformed entity");
        return Event::Text;
      }
      if (At("<?")) {
        if (!SkipPast("?>")) return Fail("a processing instruction cut short");
        continue;
      }
      if (At("<!--")) {
        pos_ += 4;
        if (!SkipPast("-->")) return Fail("a comment cut short");
        continue;
      }
      if (At("<![CDATA[")) {
        if (open_.empty()) return Fail("CDATA outside the root element");
        pos_ += 9;
        const size_t end = doc_.find("]]>", pos_);
        if (end == std::string_view::npos) return Fail("CDATA cut short");
        Decode(end, false, text_);
        pos_ = end + 3;
        return Event::Text;
      }
      if (At("<!")) {
        // A document type declaration, before the root; an internal subset
        // in brackets is passed over whole (its entities are not used).
        if (!open_.empty() || rootDone_) return Fail("a declaration inside the document");
        const size_t gt = doc_.find('>', pos_);
        if (gt == std::string_view::npos) return Fail("a document type declaration cut short");
        // Looked for only before the ">", so that many declarations cannot
        // each search the whole document.
        const size_t bracket = doc_.substr(0, gt).find('[', pos_);
        if (bracket != std::string_view::npos) {
          pos_ = bracket;
          if (!SkipPast("]")) return Fail("a document type declaration cut short");
        }
        if (!SkipPast(">")) return Fail("a document type declaration cut short");
        continue;
      }
      if (At("</")) {
        const Event e = EndTag();
        if (e != Event::End) return e;
        break;
      }
      return StartTag();
    }
  }
  // An element ends: its namespace declarations go with it.
  while (!bindings_.empty() && bindings_.back().depth >= open_.size()) bindings_.pop_back();
  open_.pop_back();
  if (open_.empty()) rootDone_ = true;
  return Event::End;
}

// ---------------------------------------------------------------------------
// Reading GPX

bool IsGpxNamespace(std::string_view uri) { return uri.empty() || uri == kGpx11Namespace || uri == kGpx10Namespace; }

// UTF-8 text from the document: bytes that are no UTF-8 are taken as
// Windows-1252 characters, characters XML does not allow become "?" (as
// the writer writes them).
std::string CleanText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t pos = 0; pos < s.size();) {
    const char32_t c = NextCodePoint(s, pos);
    AppendUtf8(out, IsXmlChar(c) ? c : U'?');
  }
  return out;
}

// The document as UTF-8: a byte-order mark dropped, Latin-1 and
// Windows-1252 documents converted; UTF-16 is refused (false).
bool DocumentText(std::string_view bytes, std::string& doc) {
  if (bytes.starts_with("\xFE\xFF") || bytes.starts_with("\xFF\xFE")) return false;
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (bytes.starts_with("<?xml")) {
    const std::string_view decl = bytes.substr(0, bytes.find("?>"));
    const size_t enc = decl.find("encoding");
    if (enc != std::string_view::npos) {
      std::string value;
      for (size_t k = enc + 8; k < decl.size() && value.size() < 32; ++k) {
        const char c = decl[k];
        if (c == '=' || c == ' ' || c == '"' || c == '\'') {
          if (!value.empty()) break;
          continue;
        }
        value += c;
      }
      value = FoldCase(value);
      if (value.starts_with("utf-16")) return false;
      if (value == "iso-8859-1" || value == "latin1" || value == "windows-1252" || value == "cp1252") {
        doc = Cp1252ToUtf8(bytes);
        return true;
      }
    }
  }
  doc = std::string(bytes);
  return true;
}

TGpxWalkEnd WalkGpx(std::string_view bytes, const TGpxVisit& visit, std::string& error) {
  std::string doc;
  if (!DocumentText(bytes, doc)) {
    error = "a UTF-16 document (not supported)";
    return TGpxWalkEnd::NotGpx;
  }
  TXmlReader x(doc);
  bool rootSeen = false;
  for (;;) {
    const TXmlReader::Event e = x.Next();
    if (e == TXmlReader::Event::Error) {
      error = (rootSeen ? "the GPX document is damaged: " : "not a GPX file: ") + x.Error();
      return rootSeen ? TGpxWalkEnd::Damaged : TGpxWalkEnd::NotGpx;
    }
    if (e == TXmlReader::Event::Eof) return TGpxWalkEnd::Done;
    // An end event comes after its element is closed: its depth is one more.
    const size_t depth = e == TXmlReader::Event::End ? x.Depth() + 1 : x.Depth();
    if (e == TXmlReader::Event::Start && depth == 1) {
      if (!IsGpxNamespace(x.NamespaceUri()) || x.LocalName() != "gpx") {
        error = "not a GPX file (no gpx element)";
        return TGpxWalkEnd::NotGpx;
      }
      rootSeen = true;
    }
    if (!visit(x, e, depth)) return TGpxWalkEnd::Stopped;
  }
}

bool GpxPointPosition(const TXmlReader& x, TFPoint& out) {
  const std::string* lat = x.Attribute("lat");
  const std::string* lon = x.Attribute("lon");
  const std::optional<double> latDeg = lat ? TryStrToFloatDot(*lat) : std::nullopt;
  const std::optional<double> lonDeg = lon ? TryStrToFloatDot(*lon) : std::nullopt;
  return latDeg && lonDeg && PositionFromDegrees(*latDeg, *lonDeg, out);
}

std::optional<double> GpxNumber(const TXmlReader& x, const char* attribute) {
  const std::string* v = x.Attribute(attribute);
  const std::optional<double> d = v ? TryStrToFloatDot(*v) : std::nullopt;
  return d && std::isfinite(*d) ? d : std::nullopt;
}

}  // namespace route_files

namespace {

void WritePoint(std::string& out, const char* element, const TRoutePointRec& p, const char* indent) {
  const TFPoint pos = WritablePosition(p.Position);
  out += std::string(indent) + "<" + element + " lat=\"" + DecimalText(pos.Y * kRadToDeg) + "\" lon=\"" +
         DecimalText(pos.X * kRadToDeg) + "\">\n";
  const std::string inner = std::string(indent) + "  ";
  if (!p.Name.empty()) out += inner + "<name>" + XmlEscaped(p.Name) + "</name>\n";
  if (!p.Comment.empty()) out += inner + "<cmt>" + XmlEscaped(p.Comment) + "</cmt>\n";
  out += inner + "<extensions>\n" + inner + "  <brismare:leg speedKnots=\"" + DecimalText(p.LegSpeed) +
         "\" xteRadians=\"" + DecimalText(p.LegXTE) + "\" reserved1=\"" + std::to_string(p.Reserved1) +
         "\" reserved2=\"" + std::to_string(p.Reserved2) + "\"/>\n" + inner + "</extensions>\n";
  out += std::string(indent) + "</" + element + ">\n";
}

// A point being read.
struct TGpxPoint {
  TRoutePointRec rec;
  std::string cmt, desc;
  bool hasCmt = false;
  bool ownValues = false;
};

enum class TGpxField { None, RouteName, Name, Cmt, Desc };

TRouteReadResult ParseGpx(std::string_view bytes, bool isRoute, const TRouteTextOptions& options,
                          std::string* routeName) {
  TRoutePoints points;
  bool inRoute = false, routeSeen = false;
  bool inPoint = false, inExtensions = false;
  size_t pointDepth = 0;
  TGpxField field = TGpxField::None;
  size_t fieldDepth = 0;
  std::string fieldText;
  TGpxPoint point;
  std::string pointError;

  auto visit = [&](const TXmlReader& x, TXmlReader::Event e, size_t depth) {
    if (e == TXmlReader::Event::Text) {
      if (field != TGpxField::None && depth == fieldDepth) fieldText += x.Text();
      return true;
    }
    const bool gpx = IsGpxNamespace(x.NamespaceUri());
    const std::string_view name = x.LocalName();
    if (e == TXmlReader::Event::Start) {
      if (depth == 2 && gpx && isRoute && name == "rte" && !routeSeen) {
        inRoute = routeSeen = true;
      } else if (gpx && ((depth == 2 && !isRoute && name == "wpt") || (depth == 3 && inRoute && name == "rtept"))) {
        point = TGpxPoint();
        if (!GpxPointPosition(x, point.rec.Position)) {
          pointError = "point " + std::to_string(points.size() + 1) + " has no valid lat and lon";
          return false;
        }
        inPoint = true;
        pointDepth = depth;
      } else if (gpx && depth == 3 && inRoute && name == "name") {
        field = TGpxField::RouteName;
      } else if (gpx && inPoint && depth == pointDepth + 1) {
        field = name == "name"   ? TGpxField::Name
                : name == "cmt"  ? TGpxField::Cmt
                : name == "desc" ? TGpxField::Desc
                                 : TGpxField::None;
        inExtensions = name == "extensions";
      } else if (inExtensions && depth == pointDepth + 2 && x.NamespaceUri() == kOwnNamespace && name == "leg") {
        const std::optional<double> speed = GpxNumber(x, "speedKnots");
        const std::optional<double> xte = GpxNumber(x, "xteRadians");
        if (speed && xte) {
          point.ownValues = true;
          point.rec.LegSpeed = *speed;
          point.rec.LegXTE = *xte;
          const std::string* r1 = x.Attribute("reserved1");
          const std::string* r2 = x.Attribute("reserved2");
          point.rec.Reserved1 = r1 ? TryStrToInt(*r1).value_or(0) : 0;
          point.rec.Reserved2 = r2 ? TryStrToInt(*r2).value_or(0) : 0;
        }
      }
      if (field != TGpxField::None && fieldDepth == 0) {
        fieldDepth = depth;
        fieldText.clear();
      }
      return true;
    }
    // The end of an element.
    if (field != TGpxField::None && depth == fieldDepth) {
      std::string text = CleanText(fieldText);
      switch (field) {
        case TGpxField::RouteName:
          if (routeName) *routeName = std::move(text);
          break;
        case TGpxField::Name:
          point.rec.Name = std::move(text);
          break;
        case TGpxField::Cmt:
          point.cmt = std::move(text);
          point.hasCmt = true;
          break;
        default:
          point.desc = std::move(text);
          break;
      }
      field = TGpxField::None;
      fieldDepth = 0;
    }
    if (inPoint && depth == pointDepth + 1) inExtensions = false;
    if (inPoint && depth == pointDepth) {
      inPoint = false;
      point.rec.Comment = point.hasCmt ? std::move(point.cmt) : std::move(point.desc);
      if (!point.ownValues) {
        point.rec.LegSpeed = options.DefaultSpeed;
        point.rec.LegXTE = options.DefaultXTE;
      }
      points.push_back(std::move(point.rec));
    }
    // The first route is the one read; what follows it does not matter.
    return !(inRoute && depth == 2);
  };
  std::string error;
  switch (WalkGpx(bytes, visit, error)) {
    case TGpxWalkEnd::NotGpx:
      return Failure(TRouteReadStatus::NotThisKind, error);
    case TGpxWalkEnd::Damaged:
      return Failure(TRouteReadStatus::Damaged, error, std::move(points));
    default:
      break;
  }
  if (!pointError.empty()) return Failure(TRouteReadStatus::Damaged, pointError, std::move(points));
  if (isRoute && !routeSeen) return Failure(TRouteReadStatus::NoPoints, "no route (rte) in the GPX file");
  return TextImportResult(std::move(points), isRoute ? "route point (rtept)" : "waypoint (wpt)");
}

}  // namespace

TRouteReadResult ReadGpx(std::string_view bytes, bool isRoute, const TRouteTextOptions& options) {
  return ParseGpx(bytes, isRoute, options, nullptr);
}

std::string GpxRouteName(std::string_view bytes) {
  std::string name;
  ParseGpx(bytes, true, TRouteTextOptions(), &name);
  return name;
}

std::string EncodeGpx(const TRoutePoints& points, bool isRoute, std::string_view name) {
  std::string out = GpxDocumentStart(name);
  const std::string listName = XmlEscaped(name);
  if (isRoute) {
    out += "  <rte>\n";
    if (!listName.empty()) out += "    <name>" + listName + "</name>\n";
    for (const TRoutePointRec& p : points) WritePoint(out, "rtept", p, "    ");
    out += "  </rte>\n";
  } else {
    for (const TRoutePointRec& p : points) WritePoint(out, "wpt", p, "  ");
  }
  out += "</gpx>\n";
  return out;
}

std::string DegreesText(double degrees) { return DecimalText(degrees); }
