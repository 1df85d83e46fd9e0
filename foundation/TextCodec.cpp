#include "foundation/TextCodec.h"

namespace {

// Windows-1252 0x80..0x9F; 0 marks the five undefined bytes (kept as C1 controls).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t Cp1252ToCodePoint(unsigned char b) {
  if (b >= 0x80 && b < 0xA0 && kCp1252High[b - 0x80] != 0) return kCp1252High[b - 0x80];
  return b;
}

int CodePointToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] == cp) return 0x80 + i;
  if (cp >= 0x80 && cp < 0xA0 && kCp1252High[cp - 0x80] == 0) return static_cast<int>(cp);
  return -1;
}

// Length of a valid UTF-8 sequence at pos, or 0.
size_t Utf8SequenceLength(std::string_view s, size_t pos, char32_t* cp) {
  auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char c = b(pos);
  size_t len;
  char32_t v;
  if (c < 0x80) {
    *cp = c;
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    v = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    v = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    v = c & 0x07;
  } else {
    return 0;
  }
  if (pos + len > s.size()) return 0;
  for (size_t i = 1; i < len; ++i) {
    unsigned char d = b(pos + i);
    if ((d & 0xC0) != 0x80) return 0;
    v = (v << 6) | (d & 0x3F);
  }
  if ((len == 3 && v < 0x800) || (len == 4 && (v < 0x10000 || v > 0x10FFFF)) ||
      (v >= 0xD800 && v <= 0xDFFF))
    return 0;
  *cp = v;
  return len;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char32_t NextCodePoint(std::string_view utf8, size_t& pos) {
  char32_t cp = 0;
  size_t len = Utf8SequenceLength(utf8, pos, &cp);
  if (len == 0) {
    cp = Cp1252ToCodePoint(static_cast<unsigned char>(utf8[pos]));
    len = 1;
  }
  pos += len;
  return cp;
}

bool IsValidUtf8(std::string_view bytes) {
  char32_t cp;
  for (size_t pos = 0; pos < bytes.size();) {
    size_t len = Utf8SequenceLength(bytes, pos, &cp);
    if (len == 0) return false;
    pos += len;
  }
  return true;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    size_t start = pos;
    char32_t cp = 0;
    size_t len = Utf8SequenceLength(utf8, pos, &cp);
    if (len == 0) {
      out += utf8[start];  // stray byte: already 8-bit text
      pos += 1;
      continue;
    }
    pos += len;
    int b = CodePointToCp1252(cp);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

std::string DecodeFileText(std::string_view bytes, TTextEncoding* encoding) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    if (encoding) *encoding = TTextEncoding::Utf8;
    bytes.remove_prefix(3);
    return IsValidUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
  }
  bool high = false;
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) {
      high = true;
      break;
    }
  if (high && IsValidUtf8(bytes)) {
    if (encoding) *encoding = TTextEncoding::Utf8;
    return std::string(bytes);
  }
  if (encoding) *encoding = TTextEncoding::Cp1252;
  return high ? Cp1252ToUtf8(bytes) : std::string(bytes);
}

std::string EncodeFileText(std::string_view utf8, TTextEncoding encoding) {
  return encoding == TTextEncoding::Utf8 ? std::string(utf8) : Utf8ToCp1252(utf8);
}
