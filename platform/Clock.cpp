#include "platform/Clock.h"

#include <cerrno>
#include <cmath>
#include <ctime>

namespace {
constexpr double kUnixEpochDays = 25569.0;
TSystemClock gSystemClock;
IClock* gClock = nullptr;
}  // namespace

TMonoTime TSystemClock::MonoNow() const {
  return std::chrono::duration_cast<TMonoTime>(std::chrono::steady_clock::now().time_since_epoch());
}

double TSystemClock::NowUTC() const {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return kUnixEpochDays + (static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9) / 86400.0;
}

bool TSystemClock::SetUTC(double utc) {
  if (!std::isfinite(utc)) return false;
  double secs = (utc - kUnixEpochDays) * 86400.0;
  if (secs < 0 || secs > 4.0e12) return false;
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(std::floor(secs));
  ts.tv_nsec = static_cast<long>((secs - std::floor(secs)) * 1e9);
  if (ts.tv_nsec >= 1000000000L) ts.tv_nsec = 999999999L;
  return clock_settime(CLOCK_REALTIME, &ts) == 0;
}

IClock& Clock() { return gClock ? *gClock : gSystemClock; }

IClock* SetClock(IClock* clock) {
  IClock* previous = gClock ? gClock : &gSystemClock;
  gClock = clock;
  return previous;
}
