#include "foundation/Colors.h"

#include <algorithm>

TColor PaletteColor(int index, int fallbackIndex) {
  if (index >= 0 && index < kPaletteSize) return kPalette16[size_t(index)];
  if (fallbackIndex >= 0 && fallbackIndex < kPaletteSize) return kPalette16[size_t(fallbackIndex)];
  return kPalette16[piBlack];
}

TColor ShadeColor(int level, TColor color) {
  level = std::clamp(level, -99, 99);
  if (level == 0) return color;
  auto shade = [level](uint32_t c) -> uint32_t {
    if (level > 0) return uint32_t(100 - level) * c / 100;
    return uint32_t(100 + level) * (255 - c) / 100;
  };
  const uint32_t r = shade(ColorRed(color));
  const uint32_t g = shade(ColorGreen(color));
  const uint32_t b = shade(ColorBlue(color));
  return (color & 0xFF000000u) | r | (g << 8) | (b << 16);
}

std::array<TColor, kPaletteSize> ShadePalette(int level) {
  std::array<TColor, kPaletteSize> out{};
  for (size_t i = 0; i < out.size(); ++i) out[i] = ShadeColor(level, kPalette16[i]);
  return out;
}
