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

// Scans every directory of "Chart Dir" in order, reporting "Scanning " +
// directory; false when the user chose Cancel at a duplicate name (`ask`),
// which ends the loop.
bool ScanChartDirectories(TCatalogScanner& scanner, bool ask);

enum class TCatalogCommand : uint8_t {
  Scan,          // "Scan for New Charts"
  Update,        // the entries read again, then the new charts
  Recreate,      // a new catalog from the chart directories
  AddDirectory,  // the charts of one directory (asking at duplicates)
};

struct TCatalogCommandResult {
  bool Cancelled = false;  // Cancel at a duplicate name ended the scan
  bool Saved = false;      // the catalog file was written
  std::string Error;       // why it was not (the old file is untouched)
};

// One catalog command over `scanner`'s catalog, ending with "Saving List"
// and the catalog written atomically to `indexFile`. Scan, Update and
// Recreate clear the counters and problem lines first; Add Directory
// (`directory`) adds to them.
//
// Recreate builds the new catalog aside: only when it ran to its end does
// it replace the entries of the catalog and the file. After Cancel at a
// duplicate name the catalog and its file are as they were, and nothing
// is written. The other commands save what they added, Cancel or not.
TCatalogCommandResult RunCatalogCommand(TCatalogCommand command, TCatalogScanner& scanner,
                                        const std::string& indexFile, const std::string& directory = {});

// Whether the start parameters ask for the unattended scan: the switch S
// ("-S" or "/S", either case) with a value that contains "U" or "u".
bool WantsUnattendedScan(const std::vector<std::string>& params);

// Exit codes of the unattended scan.
enum : int {
  kScanDone = 0,
  kScanNotSaved = 1,     // the catalog could not be written (the old one is untouched)
  kScanCatalogKept = 2,  // the catalog could not be read, or a damaged one kept: nothing was scanned
};

// A catalog file found damaged or of another kind is copied to
// "BRAINDEX.BIN.damaged" before a scan writes over it: it may list charts
// of directories the settings no longer name. Returns the lines for the
// user (what was wrong, and where the copy is); false when the copy could
// not be made.
bool KeepDamagedCatalog(const std::string& index, const TCatalogLoadResult& loaded, std::vector<std::string>& lines);

// The unattended scan over the data directory: the report lines go to
// `out`, the problem lines and any error to `err`. A damaged catalog is
// first copied to "BRAINDEX.BIN.damaged" and a new one built; a catalog
// that cannot be read at all is left as it is.
int RunUnattendedScan(const std::string& dataDir, std::FILE* out, std::FILE* err);
