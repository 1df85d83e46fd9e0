// The calibration tool's catalog commands without their windows: "Scan for
// New Charts" with its result report, and the unattended scan that the
// start switch S with a value containing U runs ("teskor -SU"): it reads
// the settings file of the data directory, loads the catalog, scans every
// chart directory, saves the catalog and ends, with no window and no
// display.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "charts/CatalogScan.h"

// The lines of the catalog report: "--- AUTOLOAD SCANNING RESULT ---" and
// the counts, the last one the number of charts in the catalog.
std::vector<std::string> CatalogReportLines(const TScanCounters& counters, int catalogCount);

// "Scan for New Charts": clears the counters and problem lines, scans every
// directory of "Chart Dir" (in order, without asking) and, as the report
// of this command always does, counts the files already listed as 0.
void ScanForNewCharts(TCatalogScanner& scanner);

// Whether the start parameters ask for the unattended scan: the switch S
// ("-S" or "/S", either case) with a value that contains "U" or "u".
bool WantsUnattendedScan(const std::vector<std::string>& params);

// Exit codes of the unattended scan.
enum : int {
  kScanDone = 0,
  kScanNotSaved = 1,     // the catalog could not be written (the old one is untouched)
  kScanCatalogKept = 2,  // the catalog could not be read, or a damaged one kept: nothing was scanned
};

// The unattended scan over the data directory: the report lines go to
// `out`, the problem lines and any error to `err`. A damaged catalog is
// first copied to "BRAINDEX.BIN.damaged" and a new one built; a catalog
// that cannot be read at all is left as it is.
int RunUnattendedScan(const std::string& dataDir, std::FILE* out, std::FILE* err);
