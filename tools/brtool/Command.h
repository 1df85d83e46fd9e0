// Subcommand registry of brtool. Each subcommand lives in its own source
// file in this folder and registers itself with a static BrtoolCommand:
//
//   static BrtoolCommand cmd{"version", "version   print the program version", RunVersion};
//
// A command returns the exit code; it writes results to standard output and
// errors to standard error (non-zero exit). An exception escaping a command
// is reported as an error with exit code 1.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

using BrtoolArgs = std::vector<std::string>;
using BrtoolRun = std::function<int(const BrtoolArgs&)>;

struct BrtoolCommand {
  BrtoolCommand(const char* name, const char* usage, BrtoolRun run);
};

struct BrtoolEntry {
  std::string name;
  std::string usage;
  BrtoolRun run;
};
const std::vector<BrtoolEntry>& BrtoolCommands();

// Small helpers for argument parsing: "--name value" options after the
// positional arguments. Returns false (after printing to stderr) on an
// unknown option or a missing value.
struct BrtoolOptions {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // name without "--"
  const std::string* Get(const std::string& name) const;
};
bool ParseBrtoolOptions(const std::string& command, const BrtoolArgs& args,
                        const std::vector<std::string>& known, BrtoolOptions& out);

// The extension of the file name in `path`, dot included, in upper case
// ("" when the name has none).
std::string UpperExt(const std::string& path);

// A JSON string literal of UTF-8 text (quotes, backslashes and control
// characters escaped).
std::string JsonText(std::string_view s);
