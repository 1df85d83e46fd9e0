#include <cstdio>

#include "Command.h"
#include "foundation/GenUtil.h"

namespace {

int RunVersion(const BrtoolArgs& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "brtool version: takes no arguments\n");
    return 2;
  }
  std::printf("brtool %s\n", ProgramVersion().c_str());
  return 0;
}

BrtoolCommand cmd{"version", "version                 print the program version", RunVersion};

}  // namespace
