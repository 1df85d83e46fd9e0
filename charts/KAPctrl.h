// The BSB/KAP (and NOS/GEO) raster decoder. (Only what the main window needs
// at start so far; the decoder comes with its own work.)
#pragma once

#include "charts/BMPager.h"

class TKAPDecoder : public TPagerSource {
 public:
  TKAPDecoder() = default;
  // Shade value of the rendered chart, -95..95.
  int Brightness = 0;
};
