// Genimap raster charts (".GMB"): a text header of fixed-width decimal
// fields with the size and the colour table, a table of row offsets, and
// run-length coded rows of 4 or 8 bits a pixel. Read whole from memory into
// a palette image; every field, offset and run is checked, so a damaged
// file ends with an error or a partly drawn row, never a read outside it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "charts/ImageChart.h"

// The header's size and where the row table begins.
inline constexpr size_t kGmbHeaderSize = 4018;
inline constexpr size_t kGmbRowTableOffset = 9943;

// Decodes a GMB file. 16 colours: 4-bit rows; otherwise 8-bit rows with a
// 256-entry palette (entries the header does not give are black). Heights
// above 32 767 count as 32 767. Rows whose data end early or whose runs are
// damaged stop there (the rest of the row stays colour 0).
bool LoadGMBImage(std::span<const uint8_t> bytes, TChartImage& image, std::string* error = nullptr,
                  int64_t maxPixels = kMaxImagePixels);
