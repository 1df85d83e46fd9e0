// Builders for the WCI and pager tests: hand-made WCI files with rows of
// every coding, palettised BMP files, and whole-image decodes.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "charts/PagerSource.h"
#include "charts/WCIctrl.h"

namespace wcitest {

inline void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
inline void Set32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string Deflate(const std::vector<uint8_t>& row) {
  uLongf n = compressBound(static_cast<uLong>(row.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, row.data(), static_cast<uLong>(row.size()),
            Z_DEFAULT_COMPRESSION);
  out.resize(n);
  return out;
}

// A WCI file put together row by row.
struct TWciBuild {
  struct TRow {
    uint32_t Kind = 3;  // 0 deflate, 1 runs, 2 blank, 3 one colour
    uint8_t Colour = 0;
    std::string Data;
  };
  uint8_t Version = 1;
  uint8_t Depth = 4;
  uint8_t ColourByte = 16;  // 0 = 256
  uint8_t Attribute3 = 0;
  uint16_t Width = 8;
  std::vector<TRow> Rows;
  std::vector<TRgb> Palette;  // written as blue, green, red
  std::string Text = "NA=Test\r\n";
  bool GoodCheck = true;

  void AddRuns(const std::string& bytes) { Rows.push_back({1, 0, bytes}); }
  void AddOneColour(uint8_t c) { Rows.push_back({3, c, {}}); }
  void AddDeflated(const std::vector<uint8_t>& pixels) { Rows.push_back({0, 0, Deflate(pixels)}); }
  void AddBlank() { Rows.push_back({2, 0, {}}); }

  std::string Build() const {
    std::string f = "WCI";
    f += {static_cast<char>(Version), static_cast<char>(Depth), static_cast<char>(ColourByte), 1, 1, 0, 0, 0,
          static_cast<char>(Attribute3)};
    Put16(f, Width);
    Put16(f, static_cast<uint32_t>(Rows.size()));
    f.resize(24 + 4 * Rows.size(), '\0');
    std::vector<uint32_t> entries;
    for (const TRow& r : Rows) {
      const uint32_t at = static_cast<uint32_t>(f.size());
      if (r.Kind == 3) {
        entries.push_back(0xC0000000u | r.Colour);
      } else if (r.Kind == 2) {
        entries.push_back(0x80000000u);
      } else {
        entries.push_back((r.Kind << 30) | at);
        f += r.Data;
      }
    }
    const uint32_t paletteAt = static_cast<uint32_t>(f.size());
    for (TRgb c : Palette) f += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF),
                                 static_cast<char>((c >> 16) & 0xFF)};
    const uint32_t textAt = static_cast<uint32_t>(f.size());
    f += Text;
    f += '\x1A';
    f += GoodCheck ? WCICheckText(Text) : std::string("0000");
    Set32(f, 16, textAt);
    for (size_t i = 0; i < entries.size(); ++i) Set32(f, 20 + 4 * i, entries[i]);
    Set32(f, 20 + 4 * entries.size(), paletteAt);
    return f;
  }
};

// A palettised BMP: pixels top row first, w * h indexes.
inline std::string MakeBMP(int32_t w, int32_t h, int bits, const std::vector<TRgb>& palette,
                           const std::vector<uint8_t>& pixels, bool topDown = false) {
  const size_t rowBytes = bits == 8 ? static_cast<size_t>(w) : (static_cast<size_t>(w) + 1) / 2;
  const size_t stride = (rowBytes + 3) / 4 * 4;
  const uint32_t offBits = 54 + 4 * static_cast<uint32_t>(palette.size());
  std::string f = "BM";
  Put32(f, offBits + static_cast<uint32_t>(stride * h));
  Put32(f, 0);
  Put32(f, offBits);
  Put32(f, 40);
  Put32(f, static_cast<uint32_t>(w));
  Put32(f, static_cast<uint32_t>(topDown ? -h : h));
  Put16(f, 1);
  Put16(f, static_cast<uint32_t>(bits));
  Put32(f, 0);
  Put32(f, static_cast<uint32_t>(stride * h));
  Put32(f, 0);
  Put32(f, 0);
  Put32(f, static_cast<uint32_t>(palette.size()));
  Put32(f, 0);
  for (TRgb c : palette) {
    f += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF), static_cast<char>((c >> 16) & 0xFF), 0};
  }
  for (int32_t i = 0; i < h; ++i) {
    const int32_t y = topDown ? i : h - 1 - i;
    std::string row(stride, '\0');
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t p = pixels[static_cast<size_t>(y) * w + x];
      if (bits == 8) {
        row[x] = static_cast<char>(p);
      } else {
        char& b = row[x / 2];
        b = static_cast<char>((x & 1) ? (b | (p & 0x0F)) : ((p & 0x0F) << 4));
      }
    }
    f += row;
  }
  return f;
}

// Every pixel of an open decoder, at a step, rows of `width` bytes.
inline std::vector<uint8_t> DecodeAll(TPagerSource& d, int32_t step = 1) {
  const int32_t w = d.SourceWidth();
  const int32_t lines = WindowLineCount(0, d.SourceHeight(), step, d.SourceHeight());
  std::vector<uint8_t> out(static_cast<size_t>(w) * lines, 0xEE);
  if (lines > 0 && d.DecodeLines(0, 0, w, lines, step, out.data(), static_cast<size_t>(w)) != lines) out.clear();
  return out;
}

}  // namespace wcitest
