// A bounded JSON reader and the quoting of JSON strings, for text that
// servers send (untrusted input): the whole text is read into a small tree,
// or refused with a reason. The text, the nesting depth, the number of
// values and the length of each string are capped, so no input makes the
// reader recurse deeply, allocate without bound or read out of bounds.
//
// Strings are UTF-8 with their escapes resolved ("\u" pairs of surrogates
// joined; a lone surrogate or bytes that are not UTF-8 refuse the text).
// Numbers are doubles read without the locale; one too large for a double
// (1e999) is kept as an infinite value, so that a caller can tell a number
// it cannot use from a value of another type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TJsonValue {
 public:
  enum class TType : uint8_t { Null, Bool, Number, String, Array, Object };

  TType Type() const { return type_; }
  bool IsNull() const { return type_ == TType::Null; }
  bool IsBool() const { return type_ == TType::Bool; }
  bool IsNumber() const { return type_ == TType::Number; }
  bool IsString() const { return type_ == TType::String; }
  bool IsArray() const { return type_ == TType::Array; }
  bool IsObject() const { return type_ == TType::Object; }

  bool Bool() const { return bool_; }
  // The number (possibly infinite, see above); 0 for other types.
  double Number() const { return number_; }
  // The text of a string; empty for other types.
  const std::string& String() const { return text_; }

  // Elements of an array, values of an object's members (in their order).
  const std::vector<TJsonValue>& Items() const { return items_; }
  size_t Size() const { return items_.size(); }
  // Name of member i of an object.
  const std::string& Key(size_t i) const { return keys_[i]; }
  // The first member of that name; nullptr when there is none (or this is
  // not an object).
  const TJsonValue* Find(std::string_view key) const;
  // The member's number / string / value when it is of that type.
  std::optional<double> NumberOf(std::string_view key) const;
  const std::string* StringOf(std::string_view key) const;
  const TJsonValue* ObjectOf(std::string_view key) const;
  const TJsonValue* ArrayOf(std::string_view key) const;

 private:
  friend class TJsonReader;
  TType type_ = TType::Null;
  bool bool_ = false;
  double number_ = 0;
  std::string text_;
  std::vector<TJsonValue> items_;
  std::vector<std::string> keys_;
};

struct TJsonLimits {
  size_t MaxBytes = 1 << 20;
  int MaxDepth = 32;
  size_t MaxValues = 100000;
  size_t MaxString = 64 * 1024;
};

// The value of a whole JSON text (blanks around it allowed); none, with the
// reason in `error` when given, for text that is not JSON or exceeds a
// limit.
std::optional<TJsonValue> ParseJson(std::string_view text, const TJsonLimits& limits = {},
                                    std::string* error = nullptr);

// A JSON string literal of UTF-8 text: quotes, backslashes and control
// characters escaped.
std::string JsonQuoted(std::string_view text);
