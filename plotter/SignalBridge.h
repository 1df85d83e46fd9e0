// The termination signals' bridge is shared with the calibration tool.
#pragma once

#include "platform/qt/SignalBridge.h"
