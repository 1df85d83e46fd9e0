// What every network source shares: the states its link shows on the
// dashboard and the back-off between attempts.
//
// States: Connecting (look-up and connect under way), Connected (data has
// come lately), NoData (connected or listening, but quiet), Retrying
// (waiting to try again after a failure), Off (not started, stopped, or a
// setting that can never work).
//
// Back-off: a failure is tried again after kFirstRetry, the wait doubling
// with every further failure up to kLastRetry, for as long as the link
// lives; it starts again from kFirstRetry once a connection has brought
// data. Only the first failure of an outage is to be told to the user; the
// next is told only after data has come again.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/Clock.h"

enum class TLinkState : uint8_t { Off, Connecting, Connected, NoData, Retrying };

// "connecting", "connected", "no data", "retrying", "off".
const char* LinkStateName(TLinkState state);

class TLinkBackoff {
 public:
  static constexpr std::chrono::seconds kFirstRetry{1};
  static constexpr std::chrono::seconds kLastRetry{60};

  // An attempt failed at `now`: the next one is due after the current
  // wait, which then doubles. True when this failure is the first of an
  // outage (the one to tell).
  bool Failed(TMonoTime now);
  // The connection brings data: the next outage is told, and retried from
  // the first wait.
  void Working();
  // A new source: as at the start.
  void Reset() { *this = TLinkBackoff(); }

  TMonoTime RetryAt() const { return retryAt_; }
  bool Due(TMonoTime now) const { return now >= retryAt_; }
  std::chrono::seconds NextWait() const { return wait_; }

 private:
  TMonoTime retryAt_{0};
  std::chrono::seconds wait_ = kFirstRetry;
  bool outageTold_ = false;
};
