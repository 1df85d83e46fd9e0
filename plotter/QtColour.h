// The program's colours (TColor, 0x00BBGGRR) as Qt colours and back.
#pragma once

#include <QColor>

#include <cstdint>

#include "foundation/Colors.h"

inline QColor ToQColor(TColor c) { return QColor(ColorRed(c), ColorGreen(c), ColorBlue(c)); }

inline TColor FromQColor(const QColor& c) {
  return MakeColor(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue()));
}
