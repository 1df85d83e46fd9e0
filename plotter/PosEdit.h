// The position entry field is shared with the calibration tool.
#pragma once

#include "sharedui/PosEdit.h"
