#include "charts/BMPager.h"

#include <algorithm>

#include "platform/SystemInfo.h"

int64_t TBitmapPager::DefaultMemoryBudget() {
  constexpr int64_t kCap = 24 * 1024 * 1024;
  const uint64_t total = TotalPhysicalMemory();
  if (total == 0) return kCap;
  return std::min<int64_t>(static_cast<int64_t>(std::min<uint64_t>(total / 8, kCap)), kCap);
}

int64_t TBitmapPager::DefaultWholeImageLimit() {
  return std::min<int64_t>(DefaultMemoryBudget(), 12 * 1024 * 1024);
}

TBitmapPager::TBitmapPager() : MemoryBudget(DefaultMemoryBudget()), WholeImageLimit(DefaultWholeImageLimit()) {}
