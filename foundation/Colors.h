// Colours as the settings and the drawing code keep them, and night shading.
//
// A TColor holds red in the lowest byte, then green, then blue
// (0x00BBGGRR); the highest byte is carried along untouched by every
// operation here. Colour settings store an index 0-15 into the sixteen
// standard colours below.
#pragma once

#include <array>
#include <cstdint>

using TColor = uint32_t;

constexpr TColor MakeColor(uint8_t r, uint8_t g, uint8_t b) {
  return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}
constexpr uint8_t ColorRed(TColor c) { return uint8_t(c & 0xFF); }
constexpr uint8_t ColorGreen(TColor c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t ColorBlue(TColor c) { return uint8_t((c >> 16) & 0xFF); }

// 0x00BBGGRR -> 0x00RRGGBB (the order of Qt's QRgb and of HTML colours);
// the highest byte is dropped.
constexpr uint32_t ColorToRGB(TColor c) {
  return (uint32_t(ColorRed(c)) << 16) | (uint32_t(ColorGreen(c)) << 8) | ColorBlue(c);
}
// 0x00RRGGBB (any highest byte is ignored) -> 0x00BBGGRR.
constexpr TColor RGBToColor(uint32_t rgb) {
  return MakeColor(uint8_t((rgb >> 16) & 0xFF), uint8_t((rgb >> 8) & 0xFF), uint8_t(rgb & 0xFF));
}

// Indexes of the sixteen standard colours, the values of colour settings.
enum TPaletteIndex : int {
  piBlack = 0,
  piMaroon,
  piGreen,
  piOlive,
  piNavy,
  piPurple,
  piTeal,
  piGray,
  piSilver,
  piRed,
  piLime,
  piYellow,
  piBlue,
  piFuchsia,
  piAqua,
  piWhite,
};

inline constexpr int kPaletteSize = 16;

inline constexpr std::array<TColor, kPaletteSize> kPalette16 = {
    0x000000,  // black
    0x000080,  // maroon
    0x008000,  // green
    0x008080,  // olive
    0x800000,  // navy
    0x800080,  // purple
    0x808000,  // teal
    0x808080,  // gray
    0xC0C0C0,  // silver
    0x0000FF,  // red
    0x00FF00,  // lime
    0x00FFFF,  // yellow
    0xFF0000,  // blue
    0xFF00FF,  // fuchsia
    0xFFFF00,  // aqua
    0xFFFFFF,  // white
};

// The colour of a palette index. Settings files are edited by hand, so an
// index outside 0-15 is taken as fallbackIndex (and a fallback that is out
// of range itself as black).
TColor PaletteColor(int index, int fallbackIndex);

// Night shading. The level is clamped to -99..99; 0 returns the colour as it
// is; a positive level darkens each of red, green and blue to
// (100 - level) * c / 100; a negative level inverts and darkens to
// (100 + level) * (255 - c) / 100 (integer division). The highest byte is
// kept.
TColor ShadeColor(int level, TColor color);

// The sixteen standard colours shaded for a level.
std::array<TColor, kPaletteSize> ShadePalette(int level);
