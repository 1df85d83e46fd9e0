// Command-line switches: a parameter "-X<value>" or "/X<value>", where X is
// a letter (either case). "-I /path/x.ini" with a blank also works: when the
// switch carries no value and the next parameter does not begin with "-",
// that parameter is the value. A parameter naming an existing absolute path
// ("/srv/charts") is never taken for a "/" switch.
#pragma once

#include <string>
#include <vector>

// Looks for the switch `letter` in `params` (the parameters after the
// program name). The first match wins; `value` receives the text after the
// letter. False, and `value` untouched, when there is no such switch.
bool FindSwitch(const std::vector<std::string>& params, char letter, std::string& value);

// Keeps the process's parameters (argv[1..argc-1]); main calls this first.
void SetProgramArguments(int argc, const char* const* argv);
const std::vector<std::string>& ProgramArguments();
// FindSwitch over the parameters given to SetProgramArguments.
bool FindSwitch(char letter, std::string& value);
