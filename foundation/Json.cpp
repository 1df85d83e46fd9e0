#include "foundation/Json.h"

#include <charconv>
#include <cstdio>
#include <limits>

// The reader: recursive descent, the depth bounded by the limits.
class TJsonReader {
 public:
  TJsonReader(std::string_view text, const TJsonLimits& limits) : s_(text), limits_(limits) {}

  std::optional<TJsonValue> Read(std::string* error) {
    TJsonValue v;
    if (s_.size() > limits_.MaxBytes) {
      Fail("the text is longer than " + std::to_string(limits_.MaxBytes) + " bytes");
    } else {
      SkipBlanks();
      if (Value(v, 1)) {
        SkipBlanks();
        if (pos_ != s_.size()) Fail("text after the value");
      }
    }
    if (!error_.empty()) {
      if (error) *error = error_ + " (at byte " + std::to_string(pos_) + ")";
      return std::nullopt;
    }
    return v;
  }

 private:
  bool Fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
    return false;
  }
  bool AtEnd() const { return pos_ >= s_.size(); }
  char Peek() const { return AtEnd() ? '\0' : s_[pos_]; }
  void SkipBlanks() {
    while (!AtEnd() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) ++pos_;
  }
  bool Literal(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return Fail("not a JSON value");
    pos_ += word.size();
    return true;
  }
  bool Count() {
    if (++values_ > limits_.MaxValues) return Fail("more than " + std::to_string(limits_.MaxValues) + " values");
    return true;
  }

  bool Value(TJsonValue& v, int depth) {
    if (!Count()) return false;
    if (depth > limits_.MaxDepth) return Fail("nested deeper than " + std::to_string(limits_.MaxDepth));
    switch (Peek()) {
      case '{': return Object(v, depth);
      case '[': return Array(v, depth);
      case '"':
        v.type_ = TJsonValue::TType::String;
        return String(v.text_);
      case 't':
        v.type_ = TJsonValue::TType::Bool;
        v.bool_ = true;
        return Literal("true");
      case 'f':
        v.type_ = TJsonValue::TType::Bool;
        return Literal("false");
      case 'n':
        return Literal("null");
      default:
        return Number(v);
    }
  }

  bool Object(TJsonValue& v, int depth) {
    v.type_ = TJsonValue::TType::Object;
    ++pos_;
    SkipBlanks();
    if (Peek() == '}') {
      ++pos_;
      return true;
    }
    for (;;) {
      SkipBlanks();
      if (Peek() != '"') return Fail("a member name must be a string");
      std::string key;
      if (!String(key)) return false;
      SkipBlanks();
      if (Peek() != ':') return Fail("\":\" expected after a member name");
      ++pos_;
      SkipBlanks();
      v.keys_.push_back(std::move(key));
      v.items_.emplace_back();
      if (!Value(v.items_.back(), depth + 1)) return false;
      bool end = false;
      if (!Next('}', end)) return false;
      if (end) return true;
    }
  }

  // After a member or an element: "," (another follows) or the closing
  // character (`end`).
  bool Next(char close, bool& end) {
    SkipBlanks();
    if (Peek() == ',' || Peek() == close) {
      end = Peek() == close;
      ++pos_;
      return true;
    }
    return Fail(close == '}' ? "\",\" or \"}\" expected in an object" : "\",\" or \"]\" expected in an array");
  }

  bool Array(TJsonValue& v, int depth) {
    v.type_ = TJsonValue::TType::Array;
    ++pos_;
    SkipBlanks();
    if (Peek() == ']') {
      ++pos_;
      return true;
    }
    for (;;) {
      SkipBlanks();
      v.items_.emplace_back();
      if (!Value(v.items_.back(), depth + 1)) return false;
      bool end = false;
      if (!Next(']', end)) return false;
      if (end) return true;
    }
  }

  bool Number(TJsonValue& v) {
    // The JSON grammar, checked before from_chars (which takes more).
    const size_t start = pos_;
    if (Peek() == '-') ++pos_;
    if (Peek() == '0') {
      ++pos_;
    } else if (Peek() >= '1' && Peek() <= '9') {
      while (Peek() >= '0' && Peek() <= '9') ++pos_;
    } else {
      return Fail("not a JSON value");
    }
    if (Peek() == '.') {
      ++pos_;
      if (!(Peek() >= '0' && Peek() <= '9')) return Fail("a digit must follow \".\"");
      while (Peek() >= '0' && Peek() <= '9') ++pos_;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      ++pos_;
      if (Peek() == '+' || Peek() == '-') ++pos_;
      if (!(Peek() >= '0' && Peek() <= '9')) return Fail("a digit must follow the exponent");
      while (Peek() >= '0' && Peek() <= '9') ++pos_;
    }
    double d = 0;
    const char* first = s_.data() + start;
    const char* last = s_.data() + pos_;
    const auto r = std::from_chars(first, last, d);
    if (r.ec == std::errc::result_out_of_range) {
      // Beyond a double: a negative exponent underflows to zero, anything
      // else is too large and kept as infinite.
      const std::string_view digits(first, static_cast<size_t>(last - first));
      const size_t e = digits.find_first_of("eE");
      const bool small = e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
      d = small ? 0.0 : std::numeric_limits<double>::infinity();
      if (*first == '-') d = -d;
    } else if (r.ec != std::errc() || r.ptr != last) {
      return Fail("a number that cannot be read");
    }
    v.type_ = TJsonValue::TType::Number;
    v.number_ = d;
    return true;
  }

  static int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  bool Hex4(uint32_t& out) {
    if (s_.size() - pos_ < 4) return Fail("\\u needs four hexadecimal digits");
    out = 0;
    for (int i = 0; i < 4; ++i) {
      const int h = Hex(s_[pos_ + static_cast<size_t>(i)]);
      if (h < 0) return Fail("\\u needs four hexadecimal digits");
      out = out << 4 | static_cast<uint32_t>(h);
    }
    pos_ += 4;
    return true;
  }
  static void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | cp >> 6);
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | cp >> 12);
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | cp >> 18);
      out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  // The length of a UTF-8 sequence starting at pos_ (0 when it is not one).
  size_t Utf8Length() const {
    const auto b = [this](size_t i) { return static_cast<unsigned char>(s_[pos_ + i]); };
    const unsigned char c = b(0);
    size_t n;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 4;
      cp = c & 0x07;
    } else {
      return 0;
    }
    if (s_.size() - pos_ < n) return 0;
    for (size_t i = 1; i < n; ++i) {
      if ((b(i) & 0xC0) != 0x80) return 0;
      cp = cp << 6 | (b(i) & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
      return 0;
    return n;
  }

  bool String(std::string& out) {
    ++pos_;  // the opening quote
    for (;;) {
      if (AtEnd()) return Fail("a string without its closing quote");
      if (out.size() > limits_.MaxString)
        return Fail("a string longer than " + std::to_string(limits_.MaxString) + " bytes");
      const unsigned char c = static_cast<unsigned char>(s_[pos_]);
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c < 0x20) return Fail("a control character inside a string");
      if (c == '\\') {
        ++pos_;
        if (AtEnd()) return Fail("a string without its closing quote");
        const char e = s_[pos_++];
        switch (e) {
          case '"': out += '"'; break;
          case '\\': out += '\\'; break;
          case '/': out += '/'; break;
          case 'b': out += '\b'; break;
          case 'f': out += '\f'; break;
          case 'n': out += '\n'; break;
          case 'r': out += '\r'; break;
          case 't': out += '\t'; break;
          case 'u': {
            uint32_t cp;
            if (!Hex4(cp)) return false;
            if (cp >= 0xDC00 && cp <= 0xDFFF) return Fail("a lone surrogate in \\u");
            if (cp >= 0xD800 && cp <= 0xDBFF) {
              uint32_t low;
              if (s_.substr(pos_, 2) != "\\u") return Fail("a lone surrogate in \\u");
              pos_ += 2;
              if (!Hex4(low)) return false;
              if (low < 0xDC00 || low > 0xDFFF) return Fail("a lone surrogate in \\u");
              cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
            AppendUtf8(out, cp);
            break;
          }
          default:
            return Fail("an unknown escape in a string");
        }
        continue;
      }
      if (c < 0x80) {
        out += static_cast<char>(c);
        ++pos_;
        continue;
      }
      const size_t n = Utf8Length();
      if (n == 0) return Fail("a string that is not UTF-8");
      out.append(s_.substr(pos_, n));
      pos_ += n;
    }
  }

  std::string_view s_;
  const TJsonLimits& limits_;
  size_t pos_ = 0;
  size_t values_ = 0;
  std::string error_;
};

const TJsonValue* TJsonValue::Find(std::string_view key) const {
  if (type_ != TType::Object) return nullptr;
  for (size_t i = 0; i < keys_.size(); ++i)
    if (keys_[i] == key) return &items_[i];
  return nullptr;
}

std::optional<double> TJsonValue::NumberOf(std::string_view key) const {
  const TJsonValue* v = Find(key);
  if (!v || !v->IsNumber()) return std::nullopt;
  return v->number_;
}

const std::string* TJsonValue::StringOf(std::string_view key) const {
  const TJsonValue* v = Find(key);
  return v && v->IsString() ? &v->text_ : nullptr;
}

const TJsonValue* TJsonValue::ObjectOf(std::string_view key) const {
  const TJsonValue* v = Find(key);
  return v && v->IsObject() ? v : nullptr;
}

const TJsonValue* TJsonValue::ArrayOf(std::string_view key) const {
  const TJsonValue* v = Find(key);
  return v && v->IsArray() ? v : nullptr;
}

std::optional<TJsonValue> ParseJson(std::string_view text, const TJsonLimits& limits, std::string* error) {
  return TJsonReader(text, limits).Read(error);
}

std::string JsonQuoted(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
  return out;
}
