// Text encodings at the file boundary. Inside the programs all text is
// UTF-8; the 8-bit file formats (settings, language files, chart headers,
// route files, instrument sentences) are Windows-1252.
#pragma once

#include <string>
#include <string_view>

enum class TTextEncoding { Utf8, Cp1252 };

bool IsValidUtf8(std::string_view bytes);
// Windows-1252 bytes -> UTF-8. The five undefined bytes map to U+0081 etc.
std::string Cp1252ToUtf8(std::string_view bytes);
// UTF-8 -> Windows-1252; characters outside the code page become '?'.
// Invalid UTF-8 sequences are taken as Windows-1252 bytes.
std::string Utf8ToCp1252(std::string_view utf8);
// Decodes file text: a UTF-8 byte-order mark or valid UTF-8 is read as UTF-8,
// anything else as Windows-1252. `encoding` receives what was found (UTF-8
// without any byte >= 0x80 counts as Windows-1252, the 8-bit default).
std::string DecodeFileText(std::string_view bytes, TTextEncoding* encoding = nullptr);
// Encodes UTF-8 text for a file in the given encoding (no byte-order mark).
std::string EncodeFileText(std::string_view utf8, TTextEncoding encoding);

// One code point decoded from UTF-8 at `pos`, which advances. Invalid bytes
// are returned as the Windows-1252 character of that byte.
char32_t NextCodePoint(std::string_view utf8, size_t& pos);
void AppendUtf8(std::string& out, char32_t cp);
