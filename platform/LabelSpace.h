// Which parts of a canvas hold a label already, in cells of 4 x 4 pixels:
// a crowded picture draws the labels it has room for instead of text over
// text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class TLabelSpace {
 public:
  TLabelSpace(int32_t width, int32_t height)
      : cols_(std::max(width, 0) / kCell + 1), rows_(std::max(height, 0) / kCell + 1),
        used_(static_cast<size_t>(cols_) * static_cast<size_t>(rows_), false) {}
  // Takes the rectangle (right and bottom exclusive) when none of it is
  // taken; false otherwise. Parts outside the canvas count as its edge.
  bool Take(int32_t l, int32_t t, int32_t r, int32_t b) {
    const int32_t c0 = std::clamp(l / kCell, 0, cols_ - 1), c1 = std::clamp((r - 1) / kCell, 0, cols_ - 1);
    const int32_t r0 = std::clamp(t / kCell, 0, rows_ - 1), r1 = std::clamp((b - 1) / kCell, 0, rows_ - 1);
    for (int32_t y = r0; y <= r1; ++y)
      for (int32_t x = c0; x <= c1; ++x)
        if (used_[Index(x, y)]) return false;
    for (int32_t y = r0; y <= r1; ++y)
      for (int32_t x = c0; x <= c1; ++x) used_[Index(x, y)] = true;
    return true;
  }

 private:
  static constexpr int32_t kCell = 4;
  size_t Index(int32_t x, int32_t y) const { return static_cast<size_t>(y) * static_cast<size_t>(cols_) + x; }
  int32_t cols_, rows_;
  std::vector<bool> used_;
};
