// The calibration tool's start: its command-line switches and the settings
// it shares with the plotter.
//
//   teskor [-W<n>] [-O<letters>] [FILE]
//   teskor -SU        (the unattended catalog scan, see CatalogCommands.h)
//
// W: the size of the point markers, 1..5 (3 when missing or not a number).
// O: optional commands: C "Save as .CAL File", D "Add Directory", S the
// "Stick" submenu, M ".MAP Calibration" (letters in either case).
// FILE: an image or chart opened at start, as a file manager or the
// desktop entry hands it over.
#pragma once

#include <string>
#include <vector>

#include "charts/CatalogScan.h"

struct TTeskorOptions {
  int MarkerSize = 3;  // 1..5
  bool ShowSaveAsCal = false;
  bool ShowAddDirectory = false;
  bool ShowStick = false;
  bool ShowMapCalibration = false;
  std::string StartFile;
};

TTeskorOptions ReadStartOptions(const std::vector<std::string>& params);

// The pixel size of a point marker of size 1..5.
int MarkerPixels(int markerSize);

// What the tool reads from the shared settings file: the catalog settings
// ("Chart Dir" and the datum keys), the language file, "Compression
// Factor" (how much deflate must beat run coding in the WCI files it
// writes; 0.01..100, else 1.8) and, in "Program State", "Teskor WinState"
// (the window maximised; 0 normal).
struct TTeskorSettings {
  TCatalogSettings Catalog;
  std::string LanguageFile;
  double CompressionFactor = 1.8;
  bool WinState = false;
};
TTeskorSettings ReadTeskorSettings(const std::string& iniFile, const std::string& dataDir);
// Stores "Teskor WinState" (the rest of the file stays as it is). False,
// with the reason, when the file cannot be written.
bool SaveTeskorWinState(const std::string& iniFile, bool maximised, std::string* error = nullptr);
