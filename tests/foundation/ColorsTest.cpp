#include <climits>

#include "TestSupport.h"
#include "foundation/Colors.h"

namespace {

TEST(Colors, ShadeColorTable) {
  struct Case {
    int level;
    TColor in;
    TColor out;
  };
  const Case cases[] = {
      {0, 0x123456, 0x123456},
      {0, 0xFF00000F, 0xFF00000F},
      // 80 % of each byte, truncated: 0x40 -> 0x33, 0xFF -> 0xCC, 0x80 -> 0x66.
      {20, 0x80FF40, 0x66CC33},
      {20, 0x010203, 0x000102},
      // Levels beyond 99 act as 99.
      {99, 0xFFFFFF, 0x020202},
      {100, 0xFFFFFF, 0x020202},
      {INT_MAX, 0xFFFFFF, 0x020202},
      // Negative levels invert, then darken.
      {-99, 0xFFFFFF, 0x000000},
      {-99, 0x000000, 0x020202},
      {-100, 0x000000, 0x020202},
      {INT_MIN, 0x000000, 0x020202},
      {-20, 0x000080, 0xCCCC65},
      // The highest byte is kept through both directions.
      {50, 0xFF00000F, 0xFF000007},
      {-50, 0x01FFFFFF, 0x01000000},
      {-50, 0x01000000, 0x017F7F7F},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShadeColor(c.level, c.in), c.out) << "level " << c.level << " colour " << std::hex << c.in;
}

TEST(Colors, PaletteIndexesAndOrder) {
  EXPECT_EQ(PaletteColor(piRed, piBlack), 0x0000FFu);
  EXPECT_EQ(ColorToRGB(PaletteColor(piRed, piBlack)), 0xFF0000u);
  EXPECT_EQ(ColorToRGB(PaletteColor(piNavy, piBlack)), 0x000080u);
  EXPECT_EQ(ColorToRGB(PaletteColor(piTeal, piBlack)), 0x008080u);
  EXPECT_EQ(RGBToColor(0xFF123456u), 0x563412u);
  EXPECT_EQ(ColorToRGB(RGBToColor(0xA1B2C3u)), 0xA1B2C3u);

  // Out-of-range indexes from a hand-edited settings file.
  EXPECT_EQ(PaletteColor(16, piWhite), 0xFFFFFFu);
  EXPECT_EQ(PaletteColor(-1, piLime), 0x00FF00u);
  EXPECT_EQ(PaletteColor(INT_MIN, 99), 0x000000u);

  const auto night = ShadePalette(60);
  for (int i = 0; i < kPaletteSize; ++i) EXPECT_EQ(night[size_t(i)], ShadeColor(60, PaletteColor(i, 0)));
}

}  // namespace
