// The chart catalog: every chart the plotter knows, read from the index file
// "BRAINDEX.BIN" over the chart directories, with its chart groups from
// "BRGROUPS.BIN". (Only what the main window needs at start so far; the
// catalog itself comes with its own work.)
#pragma once

#include <functional>
#include <string>

// Progress of a long job (catalog scans, list fills): a caption, a position
// and a maximum. An empty caption with maximum 0 ends the report. Returns
// whether the progress display is shown.
using TProgressCallback = std::function<bool(const std::string& text, int position, int max)>;

// The process-wide progress display (the plotter's message panel); empty:
// none. Returns the previous one.
TProgressCallback SetProgressCallback(TProgressCallback callback);
// Reports through the installed callback; false when there is none.
bool ReportProgress(const std::string& text, int position, int max);

class TChartList {
 public:
  TChartList() = default;
  TChartList(const TChartList&) = delete;
  TChartList& operator=(const TChartList&) = delete;

  // Index of the current chart, -1 when none.
  int Current = -1;
  int Count() const { return 0; }

  // Reads the catalog index over the chart search path; nothing when the
  // file does not exist.
  void LoadFromFile(const std::string& indexFile, const std::string& searchPath);
  // Reads the chart groups file.
  void LoadGroups(const std::string& groupsFile);

  const std::string& IndexFile() const { return indexFile_; }
  const std::string& SearchPath() const { return searchPath_; }
  const std::string& GroupsFile() const { return groupsFile_; }

 private:
  std::string indexFile_;
  std::string searchPath_;
  std::string groupsFile_;
};
