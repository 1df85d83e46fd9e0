// The plotter's first start on a data directory: instead of an empty
// window with no hint, the user is told where charts go and how the chart
// catalog is built.
#pragma once

#include <string>

// True when neither the settings file nor the chart catalog exists yet: the
// plotter has never run with these files.
bool IsFirstStart(const std::string& settingsFile, const std::string& catalogFile);

// Makes the first chart directory of `chartDir` (the "Chart Dir" setting,
// already resolved against the data directory) when it is missing, and
// returns the notice: the data directory, the chart directory to put charts
// in, the settings file in which the catalog scan finds other chart
// directories, and the command that builds the catalog (with BRISMARE_DIR
// when the data directory came from it). A chart directory that cannot be
// made is still named.
std::string PrepareFirstStart(const std::string& dataDir, const std::string& chartDir);
