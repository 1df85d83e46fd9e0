// The bitmap pager: draws the part of a large chart raster that is in view,
// decoded strip by strip within a memory budget. (Only what the main window
// needs at start so far; the pager comes with its own work.)
#pragma once

#include <cstdint>

// What the pager reads decoded raster lines from (the KAP or WCI decoder).
class TPagerSource {
 public:
  virtual ~TPagerSource() = default;
};

class TBitmapPager {
 public:
  // The memory limits start at the machine's share: an eighth of physical
  // memory, at most 24 MiB, and for whole images at most 12 MiB.
  TBitmapPager();
  TBitmapPager(const TBitmapPager&) = delete;
  TBitmapPager& operator=(const TBitmapPager&) = delete;

  static int64_t DefaultMemoryBudget();
  static int64_t DefaultWholeImageLimit();

  int64_t MemoryBudget;     // bytes
  int64_t WholeImageLimit;  // bytes
  int32_t MaxZoomOutRes = 0;
  int StretchMode = 3;
  double Zoom = 1.0;
  TPagerSource* Decoder = nullptr;
  bool Active = false;
};
