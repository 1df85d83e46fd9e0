// CHARTCAL.DIR holds the calibrations of every image of a directory:
// whatever the file holds, replacing or removing one section must leave
// every other section as it was. Input: a section name, a line break, the
// file text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "charts/ChartInfo.h"
#include "charts/HeaderText.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_chartcal: %s\n", what);
    std::abort();
  }
}

// The sections other than `name`, each as its section line and lines, and
// the lines before the first section.
std::vector<std::vector<std::string>> Others(const std::vector<std::string>& lines, std::string_view name) {
  std::vector<std::vector<std::string>> out(1);
  bool skipping = false;
  for (const std::string& l : lines) {
    if (TChartHeadExternalCodec::IsSectionLine(l)) {
      std::vector<std::string> one{l}, dummy;
      skipping = TChartHeadExternalCodec::FindSectionIn(one, name, dummy);
      if (!skipping) out.push_back({l});
      continue;
    }
    if (!skipping) out.back().push_back(l);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const size_t nl = all.find('\n');
  if (nl == std::string_view::npos) return 0;
  const std::string name(all.substr(0, nl));
  if (name.empty() || name.size() > 64 || name.find_first_of("\r]") != std::string::npos) return 0;
  const std::vector<std::string> lines = SplitTextLines(all.substr(nl + 1));

  const std::vector<std::string> names = TChartHeadExternalCodec::ListSectionsIn(lines);
  for (const std::string& n : names) Check(!n.empty(), "empty section name");
  std::vector<std::string> section;
  TChartHeadExternalCodec::FindSectionIn(lines, name, section);

  // Replace the section with a few lines of the file itself.
  std::vector<std::string> replaced = lines;
  std::vector<std::string> body(lines.begin(), lines.begin() + static_cast<long>(std::min<size_t>(lines.size(), 3)));
  TChartHeadExternalCodec::PutSectionIn(replaced, name, body);
  std::vector<std::string> read;
  Check(TChartHeadExternalCodec::FindSectionIn(replaced, name, read), "written section not found");
  std::vector<std::string> expect;
  for (const std::string& l : body)
    if (!TChartHeadExternalCodec::IsSectionLine(l)) expect.push_back(l);
  while (!expect.empty() && TrimText(expect.back()).empty()) expect.pop_back();
  Check(read == expect, "written section differs");
  Check(Others(replaced, name) == Others(lines, name), "other sections changed");

  std::vector<std::string> removed = lines;
  TChartHeadExternalCodec::RemoveSectionIn(removed, name);
  Check(!TChartHeadExternalCodec::FindSectionIn(removed, name, read), "removed section still there");
  Check(Others(removed, name) == Others(lines, name), "other sections changed by removal");
  return 0;
}
