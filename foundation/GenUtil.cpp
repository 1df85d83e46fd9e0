#include "foundation/GenUtil.h"

std::string ProgramVersion() { return BRISMARE_VERSION; }
