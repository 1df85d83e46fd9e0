// The chart's paint box is shared with the calibration tool.
#pragma once

#include "sharedui/ChartCanvas.h"
