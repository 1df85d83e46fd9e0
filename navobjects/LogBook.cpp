#include "navobjects/LogBook.h"

#include <algorithm>
#include <stdexcept>

#include "foundation/IniFile.h"
#include "foundation/NumText.h"

namespace {

bool HasDirectory(const std::string& name) { return name.find_first_of("/\\") != std::string::npos; }

int16_t To16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

void TLOGGBOOK::SetLogFile(const std::string& fileName, const std::string& programDir) {
  ClearLogFile();
  if (fileName.empty()) return;
  LogFileName = HasDirectory(fileName) ? fileName : programDir + fileName;
  LogEnabled = true;
}

void TLOGGBOOK::ClearLogFile() {
  LogFileName.clear();
  LogEnabled = false;
}

void TLOGGBOOK::Log(const std::string& message, int category) {
  if (category != 7 && (category < 0 || category > 31 || (AutoMask & (1u << category)) == 0)) return;
  LastCategory = category;
  Entries.push_back({message, category});
}

void TLogDist::Reset() {
  SpeedSum = 0;
  Samples = 0;
  AvgSpeed = 0;
}

int TLogDist::LoadFuelTable(const TIniFile& ini, const std::string& section) {
  FuelTableHigh = -1;
  std::vector<std::pair<std::string, std::string>> values = ini.ReadSectionValues(section);
  std::stable_sort(values.begin(), values.end(),
                   [](const auto& a, const auto& b) { return Lower(a.first) < Lower(b.first); });
  int n = 0;
  for (const auto& [key, value] : values) {
    const std::optional<int32_t> speed = TryStrToInt(key);
    if (!speed) throw std::invalid_argument("Fuel Data: \"" + key + "\" is not a whole number");
    if (n == kFuelTableSize) continue;  // no room; the rest is ignored
    FuelTable[static_cast<size_t>(n)] = {To16(*speed), To16(TryStrToInt(value).value_or(0))};
    ++n;
  }
  FuelTableHigh = n - 1;
  return n;
}
