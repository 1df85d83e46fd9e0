#include "KapWriter.h"

#include <random>

std::vector<std::string> DefaultKapHeader(int width, int height, int depth) {
  std::vector<std::string> h = {
      "! test chart",
      "VER/3.0",
      "BSB/NA=TEST CHART,NU=T1,RA=" + std::to_string(width) + "," + std::to_string(height) + ",DU=254",
      "KNP/SC=50000,GD=WGS84,PR=MERCATOR,PP=54.0,PI=UNKNOWN,SP=,SK=0.0",
      "    TA=90.0,UN=METERS,SD=LAT,DX=5.0,DY=5.0",
      "KNQ/EC=RF,GD=WGE,VC=UNKNOWN,SC=LAT,PC=MC,P1=UNKNOWN,P2=54.0",
      "    P3=NOT_APPLICABLE,P4=NOT_APPLICABLE,GC=NOT_APPLICABLE,RM=POLYNOMIAL",
      "IFM/" + std::to_string(depth),
  };
  const int colours = (1 << depth) - 1;
  for (int c = 1; c <= colours; ++c)
    h.push_back("RGB/" + std::to_string(c) + "," + std::to_string((c * 37) % 256) + "," +
                std::to_string((c * 91) % 256) + "," + std::to_string((c * 53) % 256));
  h.push_back("REF/1,0,0,54.5,10.0");
  h.push_back("REF/2," + std::to_string(width) + ",0,54.5,10.5");
  h.push_back("REF/3," + std::to_string(width) + "," + std::to_string(height) + ",54.2,10.5");
  h.push_back("REF/4,0," + std::to_string(height) + ",54.2,10.0");
  h.push_back("PLY/1,54.5,10.0");
  h.push_back("PLY/2,54.5,10.5");
  h.push_back("PLY/3,54.2,10.5");
  h.push_back("PLY/4,54.2,10.0");
  h.push_back("DTM/0.0,0.0");
  return h;
}

std::string EncodeKapRun(uint8_t colour, uint32_t length, int depth) {
  const int shift = 7 - depth;
  const uint32_t mask = (1u << shift) - 1;
  const uint32_t r = length - 1;
  // Fewest 7-bit extension groups that hold r.
  int k = 0;
  while ((uint64_t(r) >> (7 * k)) > mask) ++k;
  std::string out;
  const uint32_t first = static_cast<uint32_t>(uint64_t(r) >> (7 * k));
  out += static_cast<char>((k ? 0x80 : 0) | (colour << shift) | first);
  for (int i = k - 1; i >= 0; --i) {
    const uint32_t group = (r >> (7 * i)) & 0x7F;
    out += static_cast<char>((i ? 0x80 : 0) | group);
  }
  return out;
}

std::string EncodeKapRow(int rowNumber, const std::vector<uint8_t>& pixels, int depth, uint32_t maxRun) {
  std::string out;
  // Row number, 7 bits a byte, most significant first.
  std::string num;
  uint32_t n = static_cast<uint32_t>(rowNumber);
  num += static_cast<char>(n & 0x7F);
  while (n >>= 7) num.insert(num.begin(), static_cast<char>(0x80 | (n & 0x7F)));
  out += num;
  size_t x = 0;
  while (x < pixels.size()) {
    size_t e = x + 1;
    while (e < pixels.size() && pixels[e] == pixels[x] && (maxRun == 0 || e - x < maxRun)) ++e;
    out += EncodeKapRun(pixels[x], static_cast<uint32_t>(e - x), depth);
    x = e;
  }
  out += '\0';
  return out;
}

void PutBe32(std::string& file, size_t at, uint32_t v) {
  file[at] = static_cast<char>(v >> 24);
  file[at + 1] = static_cast<char>(v >> 16);
  file[at + 2] = static_cast<char>(v >> 8);
  file[at + 3] = static_cast<char>(v);
}

std::string WriteKap(const TKapImage& plan, std::vector<uint32_t>* rowOffsets) {
  std::string file;
  const std::vector<std::string> header =
      plan.Header.empty() ? DefaultKapHeader(plan.Width, plan.Height, plan.Depth) : plan.Header;
  for (const std::string& line : header) file += line + "\r\n";
  file += '\x1a';
  file += plan.AfterEof;
  file += static_cast<char>(plan.DepthByte < 0 ? plan.Depth : plan.DepthByte);
  std::vector<uint32_t> offsets;
  const size_t rows = std::max(plan.Rows.size(), plan.RawRows.size());
  for (size_t y = 0; y < rows; ++y) {
    offsets.push_back(static_cast<uint32_t>(file.size()));
    if (y < plan.RawRows.size() && !plan.RawRows[y].empty())
      file += plan.RawRows[y];
    else
      file += EncodeKapRow(static_cast<int>(y) + 1, plan.Rows[y], plan.Depth, plan.MaxRun);
  }
  const uint32_t index = static_cast<uint32_t>(file.size());
  for (uint32_t o : offsets) {
    file.append(4, '\0');
    PutBe32(file, file.size() - 4, o);
  }
  file.append(4, '\0');
  PutBe32(file, file.size() - 4, index);
  if (rowOffsets) *rowOffsets = offsets;
  return file;
}

std::vector<std::vector<uint8_t>> RandomKapImage(int width, int height, int depth, uint32_t seed) {
  std::mt19937 rng(seed);
  const int colours = (1 << depth) - 1;
  std::uniform_int_distribution<int> colour(1, colours);
  std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(height));
  for (auto& row : rows) {
    row.resize(static_cast<size_t>(width));
    size_t x = 0;
    while (x < row.size()) {
      // Mostly short runs, some long ones (several extension bytes).
      const int kind = static_cast<int>(rng() % 10);
      size_t len = kind < 6 ? 1 + rng() % 4 : kind < 9 ? 1 + rng() % 200 : 1 + rng() % 20000;
      len = std::min(len, row.size() - x);
      const uint8_t c = static_cast<uint8_t>(colour(rng));
      std::fill(row.begin() + static_cast<long>(x), row.begin() + static_cast<long>(x + len), c);
      x += len;
    }
  }
  return rows;
}

uint32_t KapIndexOffset(const std::string& file) {
  const auto* p = reinterpret_cast<const uint8_t*>(file.data() + file.size() - 4);
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
