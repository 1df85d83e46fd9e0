#include "calibrator/start/core/TeskorStart.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <exception>

#include "foundation/IniFile.h"
#include "foundation/NumText.h"
#include "foundation/Switches.h"

namespace {

bool Exists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0;
}

// A switch parameter: "-X..." or "/X..." ("/..." naming something that
// exists is a path).
bool IsSwitch(const std::string& p) {
  if (p.size() < 2) return false;
  if (p[0] == '-') return true;
  return p[0] == '/' && !Exists(p);
}

}  // namespace

TTeskorOptions ReadStartOptions(const std::vector<std::string>& params) {
  TTeskorOptions o;
  std::string value;
  if (FindSwitch(params, 'W', value)) {
    const auto n = TryStrToInt(value);
    o.MarkerSize = n ? std::clamp<int>(*n, 1, 5) : 3;
  }
  if (FindSwitch(params, 'O', value)) {
    for (char c : value) {
      switch (c) {
        case 'C': case 'c': o.ShowSaveAsCal = true; break;
        case 'D': case 'd': o.ShowAddDirectory = true; break;
        case 'S': case 's': o.ShowStick = true; break;
        case 'M': case 'm': o.ShowMapCalibration = true; break;
        default: break;
      }
    }
  }
  for (size_t i = 0; i < params.size(); ++i) {
    const std::string& p = params[i];
    if (IsSwitch(p)) {
      // A bare switch takes the next parameter as its value.
      if (p.size() == 2 && i + 1 < params.size() && (params[i + 1].empty() || params[i + 1][0] != '-')) ++i;
      continue;
    }
    if (!p.empty()) {
      o.StartFile = p;
      break;
    }
  }
  return o;
}

int MarkerPixels(int markerSize) { return 5 + 4 * std::clamp(markerSize, 1, 5); }

TTeskorSettings ReadTeskorSettings(const std::string& iniFile, const std::string& dataDir) {
  TTeskorSettings s;
  s.Catalog = ReadCatalogSettings(iniFile, dataDir);
  const TIniFile ini(iniFile);
  s.LanguageFile = ini.ReadString("Program Setup", "LanguageFile", "");
  // The plotter's rule for the key: a value out of range is the default.
  const double factor = ini.ReadFloat("Program Setup", "Compression Factor", s.CompressionFactor);
  if (std::isfinite(factor) && factor >= 0.01 && factor <= 100) s.CompressionFactor = factor;
  s.WinState = ini.ReadInteger("Program State", "Teskor WinState", 0) != 0;
  return s;
}

bool SaveTeskorWinState(const std::string& iniFile, bool maximised, std::string* error) {
  try {
    TIniFile ini(iniFile);
    ini.WriteInteger("Program State", "Teskor WinState", maximised ? 1 : 0);
    ini.UpdateFile();
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}
