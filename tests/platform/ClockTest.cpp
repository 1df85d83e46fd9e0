#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>

TEST(SystemClock, WallClockIsUtcDaysSince1899) {
  TSystemClock clock;
  double expected = 25569.0 + static_cast<double>(std::time(nullptr)) / 86400.0;
  EXPECT_NEAR(clock.NowUTC(), expected, 2.0 / 86400.0);
}

TEST(SystemClock, MonotonicClockNeverGoesBack) {
  TSystemClock clock;
  TMonoTime last = clock.MonoNow();
  for (int i = 0; i < 1000; ++i) {
    TMonoTime now = clock.MonoNow();
    ASSERT_GE(now, last);
    last = now;
  }
}

// Only values that must be refused: a valid one could really set the clock
// when the tests run with the privilege to do so.
TEST(SystemClock, RefusesTimesThatAreNoTimes) {
  TSystemClock clock;
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity(), 0.0 /* 1899, before 1970 */, 1e300}) {
    EXPECT_FALSE(clock.SetUTC(bad)) << bad;
  }
}

TEST(ManualClock, AdvanceMovesBothClocksButSettingOnlyTheWallClock) {
  TManualClock clock(45000.0);
  TMonoTime mono0 = clock.MonoNow();
  clock.Advance(std::chrono::seconds(90));
  EXPECT_EQ(clock.MonoNow() - mono0, std::chrono::seconds(90));
  EXPECT_DOUBLE_EQ(clock.NowUTC(), 45000.0 + 90.0 / 86400.0);

  // A GPS time fix jumps the wall clock back a day; elapsed time is untouched.
  EXPECT_TRUE(clock.SetUTC(44999.0));
  EXPECT_DOUBLE_EQ(clock.NowUTC(), 44999.0);
  EXPECT_EQ(clock.MonoNow() - mono0, std::chrono::seconds(90));

  clock.AllowSet(false);
  EXPECT_FALSE(clock.SetUTC(1.0));
  EXPECT_EQ(clock.SetCount(), 2);
}

TEST(ProcessClock, InstalledClockServesUntilRestored) {
  IClock& system = Clock();
  TManualClock manual(40000.0);
  IClock* previous = SetClock(&manual);
  EXPECT_EQ(&Clock(), &manual);
  EXPECT_DOUBLE_EQ(Clock().NowUTC(), 40000.0);
  EXPECT_EQ(SetClock(previous), &manual);
  EXPECT_EQ(&Clock(), &system);
  SetClock(nullptr);
  EXPECT_EQ(&Clock(), &system);
}
