// brtool: command-line access to the programs' capabilities, for power
// users, scripts and tests. Errors go to standard error with a non-zero exit.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "Command.h"
#include "charts/HeaderText.h"
#include "foundation/Json.h"

namespace {

std::vector<BrtoolEntry>& Registry() {
  static std::vector<BrtoolEntry> commands;
  return commands;
}

int Usage(FILE* out) {
  std::fprintf(out, "usage: brtool <command> [arguments]\n\ncommands:\n");
  auto sorted = BrtoolCommands();
  std::sort(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return a.name < b.name; });
  for (const auto& c : sorted) std::fprintf(out, "  %s\n", c.usage.c_str());
  return out == stdout ? 0 : 2;
}

}  // namespace

BrtoolCommand::BrtoolCommand(const char* name, const char* usage, BrtoolRun run) {
  Registry().push_back({name, usage, std::move(run)});
}

const std::vector<BrtoolEntry>& BrtoolCommands() { return Registry(); }

const std::string* BrtoolOptions::Get(const std::string& name) const {
  for (const auto& [k, v] : options)
    if (k == name) return &v;
  return nullptr;
}

bool ParseBrtoolOptions(const std::string& command, const BrtoolArgs& args,
                        const std::vector<std::string>& known, BrtoolOptions& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      std::string name = a.substr(2);
      if (std::find(known.begin(), known.end(), name) == known.end()) {
        std::fprintf(stderr, "brtool %s: unknown option %s\n", command.c_str(), a.c_str());
        return false;
      }
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "brtool %s: option %s needs a value\n", command.c_str(), a.c_str());
        return false;
      }
      out.options.emplace_back(name, args[++i]);
    } else {
      out.positional.push_back(a);
    }
  }
  return true;
}

std::string UpperExt(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  return UpperAscii(path.substr(dot));
}

std::string JsonText(std::string_view s) { return JsonQuoted(s); }

int main(int argc, char** argv) {
  if (argc < 2) return Usage(stderr);
  std::string name = argv[1];
  if (name == "-h" || name == "--help" || name == "help") return Usage(stdout);
  BrtoolArgs args(argv + 2, argv + argc);
  for (const auto& c : BrtoolCommands()) {
    if (name == c.name) {
      try {
        return c.run(args);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "brtool %s: %s\n", c.name.c_str(), e.what());
        return 1;
      }
    }
  }
  std::fprintf(stderr, "brtool: unknown command '%s'\n", name.c_str());
  return Usage(stderr);
}
