#include "charts/ChartList.h"

#include <utility>

namespace {
TProgressCallback& Callback() {
  static TProgressCallback callback;
  return callback;
}
}  // namespace

TProgressCallback SetProgressCallback(TProgressCallback callback) {
  return std::exchange(Callback(), std::move(callback));
}

bool ReportProgress(const std::string& text, int position, int max) {
  return Callback() ? Callback()(text, position, max) : false;
}

void TChartList::LoadFromFile(const std::string& indexFile, const std::string& searchPath) {
  indexFile_ = indexFile;
  searchPath_ = searchPath;
}

void TChartList::LoadGroups(const std::string& groupsFile) { groupsFile_ = groupsFile; }
