#include "foundation/Switches.h"

#include <sys/stat.h>

namespace {

std::vector<std::string>& StoredArguments() {
  static std::vector<std::string> args;
  return args;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool IsSwitchFor(const std::string& p, char letter) {
  if (p.size() < 2 || (p[0] != '-' && p[0] != '/') || LowerAscii(p[1]) != LowerAscii(letter)) return false;
  if (p[0] == '/') {
    // "/SU" is a switch; "/srv" or "/opt/charts" naming something that
    // exists is a path, not switch S or O.
    struct stat st{};
    if (::stat(p.c_str(), &st) == 0) return false;
  }
  return true;
}

}  // namespace

bool FindSwitch(const std::vector<std::string>& params, char letter, std::string& value) {
  for (size_t i = 0; i < params.size(); ++i) {
    const std::string& p = params[i];
    if (!IsSwitchFor(p, letter)) continue;
    if (p.size() == 2 && i + 1 < params.size() && (params[i + 1].empty() || params[i + 1][0] != '-'))
      value = params[i + 1];
    else
      value = p.substr(2);
    return true;
  }
  return false;
}

void SetProgramArguments(int argc, const char* const* argv) {
  auto& args = StoredArguments();
  args.clear();
  for (int i = 1; i < argc && argv; ++i)
    if (argv[i]) args.emplace_back(argv[i]);
}

const std::vector<std::string>& ProgramArguments() { return StoredArguments(); }

bool FindSwitch(char letter, std::string& value) { return FindSwitch(StoredArguments(), letter, value); }
