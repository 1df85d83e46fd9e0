// Geographic values, their arithmetic and text forms, and small helpers.
#pragma once

#include <string>

#include "foundation/NumText.h"
#include "foundation/Types.h"

// The program's version text.
std::string ProgramVersion();
