// brtool: command-line access to the programs' capabilities, for power
// users, scripts and tests. Errors go to standard error with a non-zero exit.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "foundation/GenUtil.h"

namespace {

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;
  std::function<int(const Args&)> run;
};

int CmdVersion(const Args& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "brtool version: takes no arguments\n");
    return 2;
  }
  std::printf("brtool %s\n", ProgramVersion().c_str());
  return 0;
}

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"version", "version                 print the program version", CmdVersion},
  };
  return commands;
}

int Usage(FILE* out) {
  std::fprintf(out, "usage: brtool <command> [arguments]\n\ncommands:\n");
  for (const auto& c : Commands()) std::fprintf(out, "  %s\n", c.usage);
  return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(stderr);
  std::string name = argv[1];
  if (name == "-h" || name == "--help" || name == "help") return Usage(stdout);
  Args args(argv + 2, argv + argc);
  for (const auto& c : Commands()) {
    if (name == c.name) {
      try {
        return c.run(args);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "brtool %s: %s\n", c.name, e.what());
        return 1;
      }
    }
  }
  std::fprintf(stderr, "brtool: unknown command '%s'\n", name.c_str());
  return Usage(stderr);
}
