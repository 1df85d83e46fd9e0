#include "instruments/LinkState.h"

#include <algorithm>

const char* LinkStateName(TLinkState state) {
  switch (state) {
    case TLinkState::Connecting:
      return "connecting";
    case TLinkState::Connected:
      return "connected";
    case TLinkState::NoData:
      return "no data";
    case TLinkState::Retrying:
      return "retrying";
    case TLinkState::Off:
      break;
  }
  return "off";
}

bool TLinkBackoff::Failed(TMonoTime now) {
  retryAt_ = now + wait_;
  wait_ = std::min(wait_ * 2, kLastRetry);
  const bool tell = !outageTold_;
  outageTold_ = true;
  return tell;
}

void TLinkBackoff::Working() {
  wait_ = kFirstRetry;
  outageTold_ = false;
}
