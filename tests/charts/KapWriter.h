// A small BSB/KAP writer for the tests: header text, 0x1A, depth byte, rows
// coded as runs, the row index and its offset. Rows are given as KAP colour
// indexes (1..2^d - 1); a row may instead be given as raw bytes to build
// damaged or unusual files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TKapImage {
  int Width = 0;
  int Height = 0;
  int Depth = 4;
  // Header lines without line ends; when empty a default header (VER/,
  // BSB/ with RA=, KNP/, RGB/ for every colour) is written.
  std::vector<std::string> Header;
  // Rows of KAP colour indexes, Width each.
  std::vector<std::vector<uint8_t>> Rows;
  // Raw coded rows (row number, runs, 0) replacing Rows[i] when not empty.
  std::vector<std::string> RawRows;
  // Longest run written in one piece (longer runs are split); 0: no limit.
  uint32_t MaxRun = 0;
  // Bytes between 0x1A and the depth byte.
  std::string AfterEof = std::string(1, '\0');
  // The depth byte as written; -1: Depth.
  int DepthByte = -1;
};

// A default header for a chart of that size and depth.
std::vector<std::string> DefaultKapHeader(int width, int height, int depth);
// One coded row: row number (1-based in the file), runs, terminator.
std::string EncodeKapRow(int rowNumber, const std::vector<uint8_t>& pixels, int depth, uint32_t maxRun = 0);
// One run of `length` pixels of colour c.
std::string EncodeKapRun(uint8_t colour, uint32_t length, int depth);
// The whole file. `rowOffsets` (when given) receives the offset of every row.
std::string WriteKap(const TKapImage& plan, std::vector<uint32_t>* rowOffsets = nullptr);

// Random test images: runs of random colours 1..2^depth - 1 and lengths
// from 1 to several thousand.
std::vector<std::vector<uint8_t>> RandomKapImage(int width, int height, int depth, uint32_t seed);
// The file offset of the row index of a file made by WriteKap.
uint32_t KapIndexOffset(const std::string& file);
void PutBe32(std::string& file, size_t at, uint32_t value);

// The raster of a small NOS chart (40 x 6 pixels, 3 bits, one colour), as
// a ".GEO" file names it.
inline std::string SmallNosRaster() {
  TKapImage plan;
  plan.Width = 40;
  plan.Height = 6;
  plan.Depth = 3;
  plan.Rows.assign(6, std::vector<uint8_t>(40, 1));
  plan.Header = {"VER/1.0", "NOS/NA=NOS TEST,NU=77,RA=0,0,40,6,DU=50", "RGB/1,10,20,30"};
  return WriteKap(plan);
}
