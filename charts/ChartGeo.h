// Chart georeferencing helpers on top of the chart converter.
#pragma once

#include "foundation/Types.h"

class TWorldConvert;

// The pixel whose position (TWorldConvert::PixelToGeo) is `pos`: the
// converter's own GeoToPixel refined by Newton steps, so that the two
// directions agree to a thousandth of a pixel also between reference points,
// where the residual correction makes GeoToPixel only an approximate inverse.
// False when the position cannot be converted.
bool ExactGeoToPixel(TWorldConvert& convert, const TFPoint& pos, TFPoint& pixel);
