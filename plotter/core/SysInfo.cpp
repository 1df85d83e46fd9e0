#include "plotter/core/SysInfo.h"

#include <climits>
#include <cmath>
#include <numbers>

#include "foundation/IniFile.h"
#include "foundation/Switches.h"
#include "platform/Paths.h"
#include "plotter/core/Ports.h"

namespace {

// A read value outside [low, high] becomes the default.
void CheckRange(int32_t& value, int32_t low, int32_t high, int32_t def) {
  if (value < low || value > high) value = def;
}

void CheckNonNegative(double& value, double def) {
  if (!std::isfinite(value) || value < 0) value = def;
}

const char* const kComPortKeys[3] = {"Com Port", "Com Port B", "Com Port C"};
const char* const kBaudKeys[3] = {"BaudRateId", "BaudRateId B", "BaudRateId C"};
const char* const kComDeviceKeys[3] = {"Com Device", "Com Device B", "Com Device C"};
const int32_t kComPortDefaults[3] = {1, 0, 0};

template <class Group>
bool SaveGroup(const RSysInfo& sys, Group group, std::string* error) {
  try {
    TRWIniFile ini(sys.IniFile);
    RSysInfo copy = sys;
    group(ini, copy);
    ini.UpdateFile();
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
  }
  return false;
}

}  // namespace

std::string SettingsFilePath(const std::string& dataDir) {
  std::string value;
  if (FindSwitch('I', value) && !value.empty()) return value;
  return WithTrailingSlash(dataDir) + kSettingsFileName;
}

void InitSysInfoPaths(RSysInfo& sys, const std::string& iniFile, const std::string& dataDir) {
  sys.IniFile = iniFile;
  sys.ProgramDir = WithTrailingSlash(dataDir);
  sys.IndexFile = sys.ProgramDir + kIndexFileName;
  sys.GroupsFile = sys.ProgramDir + kGroupsFileName;
  sys.G7T = sys.ProgramDir + "G7ToWin.exe";
}

std::string ResolveDirectorySetting(std::string_view value, const std::string& baseDir) {
  std::string out;
  for (const std::string& entry : SplitDirList(value)) {
    if (!out.empty()) out += ';';
    out += entry.size() <= 1 ? entry : ResolveStoredPath(entry, baseDir);
  }
  return out;
}

void RWDirectories(TRWIniFile& ini, RSysInfo& sys) {
  struct Dir {
    const char* key;
    const char* def;
    std::string* value;
    std::string* current;
  };
  const Dir dirs[] = {
      {"Chart Dir", ".\\CHARTS", &sys.ChartDir, nullptr},
      {"Route Dir", ".\\ROUTES", &sys.RouteDir, &sys.CurRouteDir},
      {"WayPoint Dir", ".\\WAYPTS", &sys.WayPointDir, &sys.CurWayPointDir},
      {"Track Dir", ".\\TRACES", &sys.TrackDir, &sys.CurTrackDir},
  };
  for (const Dir& d : dirs) {
    std::string raw;
    ini.RWString(kSetupSection, d.key, false, raw, d.def);
    *d.value = ResolveDirectorySetting(raw, sys.ProgramDir);
    if (d.current) *d.current = *d.value;
  }
}

void RWProgramSetup(TRWIniFile& ini, RSysInfo& sys, bool w) {
  const char* s = kSetupSection;
  ini.RWString(s, "LanguageFile", w, sys.LanguageFile, "");
  ini.RWString(s, "Loggbook", w, sys.LogBookFile, "LOGBOOK.TXT");
  ini.RWInteger(s, "Auto Loggbook", w, sys.AutoLogBook, 0);
  ini.RWInteger(s, "Dashboard", w, sys.Dashboard, 1);
  for (int i = 0; i < 3; ++i) {
    ini.RWInteger(s, kComPortKeys[i], w, sys.ComPort[i], kComPortDefaults[i]);
    ini.RWInteger(s, kBaudKeys[i], w, sys.BaudRateId[i], kDefaultBaudRateId);
  }
  ini.RWFloat(s, "Log Cutoff", w, sys.LogCutoff, 0.2);
  ini.RWBool(s, "Use GPS Clock", w, sys.UseGPSClock, false);
  ini.RWBool(s, "Warning Sound", w, sys.WarningSound, false);
  ini.RWBool(s, "Autoload Waypts", w, sys.AutoloadWaypts, true);
  ini.RWBool(s, "Autoload Route", w, sys.AutoloadRoute, false);
  ini.RWBool(s, "Shade Desktop", w, sys.ShadeDesktop, true);
  ini.RWInteger(s, "Shade Twilight", w, sys.ShadeTwilight, 20);
  ini.RWInteger(s, "Shade Dusk", w, sys.ShadeDusk, 40);
  ini.RWInteger(s, "Shade Night", w, sys.ShadeNight, 60);
  if (!w) {
    CheckRange(sys.Dashboard, 0, 1, 1);
    for (int i = 0; i < 3; ++i) {
      CheckRange(sys.ComPort[i], 0, 255, kComPortDefaults[i]);
      sys.BaudRateId[i] = CheckedBaudRateId(sys.BaudRateId[i]);
    }
    CheckNonNegative(sys.LogCutoff, 0.2);
    CheckRange(sys.ShadeTwilight, -95, 95, 20);
    CheckRange(sys.ShadeDusk, -95, 95, 40);
    CheckRange(sys.ShadeNight, -95, 95, 60);
  }
}

void RWStartOnlySettings(TRWIniFile& ini, RSysInfo& sys) {
  const char* s = kSetupSection;
  const bool w = false;
  for (int i = 0; i < 3; ++i) ini.RWString(s, kComDeviceKeys[i], w, sys.ComDevice[i], "");
  ini.RWInteger(s, "Diskmap Buffer", w, sys.DiskmapBuffer, sys.DefaultDiskmapBuffer);
  ini.RWInteger(s, "Diskmap ImageMem", w, sys.DiskmapImageMem, sys.DefaultDiskmapImageMem);
  ini.RWInteger(s, "Max ZoomOut Res", w, sys.MaxZoomOutRes, 0);
  ini.RWString(s, "NMEA_SIMUL", w, sys.NmeaSimul, "");
  ini.RWInteger(s, "NMEA_SIMUL_READS", w, sys.NmeaSimulReads, 1);
  ini.RWString(s, "G7T", w, sys.G7T, sys.ProgramDir + "G7ToWin.exe");
  ini.RWString(s, "NMEA_CAPTMSG", w, sys.NmeaCaptMsg, "");
  ini.RWString(s, "NMEA_CAPTFILE", w, sys.NmeaCaptFile, "");
  ini.RWString(s, "MWW.COF", w, sys.MwwCof, "");
  ini.RWInteger(s, "GPS Timeout", w, sys.GpsTimeout, 6);
  ini.RWInteger(s, "NMEA CheckSum", w, sys.NmeaCheckSum, 1);
  ini.RWFloat(s, "COG Switch Speed", w, sys.CogSwitchSpeed, 3.0);
  ini.RWFloat(s, "HDT Switch Speed", w, sys.HdtSwitchSpeed, 3.0);
  ini.RWInteger(s, "AIS Own MSSI", w, sys.AisOwnMMSI, 0);
  CheckRange(sys.DiskmapBuffer, 0, INT32_MAX / 1024, sys.DefaultDiskmapBuffer);
  CheckRange(sys.DiskmapImageMem, 0, INT32_MAX / 1024, sys.DefaultDiskmapImageMem);
  CheckRange(sys.GpsTimeout, 1, 86400, 6);
  CheckNonNegative(sys.CogSwitchSpeed, 3.0);
  CheckNonNegative(sys.HdtSwitchSpeed, 3.0);

  const char* c = kCustomSection;
  ini.RWString(c, "IP_Login", w, sys.IPLogin, "");
  ini.RWString(c, "IP_Password", w, sys.IPPassword, "");
  ini.RWBool(c, "No Heading Stick", w, sys.NoHeadingStick, false);
  ini.RWBool(c, "No Startup Dash", w, sys.NoStartupDash, false);
  ini.RWBool(c, "No Quit Query", w, sys.NoQuitQuery, false);
}

void RWProgramState(TRWIniFile& ini, RSysInfo& sys, bool w) {
  const char* s = kStateSection;
  ini.RWInteger(s, "Show Log Data", w, sys.ShowLogData, 0);
  ini.RWFloat(s, "Last Lat", w, sys.LastLat, 0);
  ini.RWFloat(s, "Last Long", w, sys.LastLong, 0);
  ini.RWFloat(s, "Total Distance", w, sys.TotalDistance, 0);
  ini.RWFloat(s, "Tripp Distance", w, sys.TrippDistance, 0);
  ini.RWFloat(s, "Fuel Used", w, sys.FuelUsed, 0);
  ini.RWFloat(s, "Time Counter", w, sys.TimeCounter, 0);
  ini.RWString(s, "X Chartdir", w, sys.XChartDir, "");
  ini.RWString(s, "WPP dir", w, sys.WPPDir, "");
  ini.RWInteger(s, "Browse Groups", w, sys.BrowseGroups, 0);
  ini.RWInteger(s, "Auto Groups", w, sys.AutoGroups, 0);
  ini.RWBool(kSetupSection, "Auto Scroll", w, sys.AutoScroll, false);
  ini.RWBool(kSetupSection, "Show Track", w, sys.ShowTrack, false);
  ini.RWBool(kSetupSection, "Rte MagDisp", w, sys.RteMagDisp, false);
  if (!w) {
    CheckRange(sys.ShowLogData, 0, 2, 0);
    // A position outside the globe would poison every later computation.
    if (std::fabs(sys.LastLat) > std::numbers::pi / 2) sys.LastLat = 0;
    if (std::fabs(sys.LastLong) > 2 * std::numbers::pi) sys.LastLong = 0;
  }
}

void RWWindowGeometry(TRWIniFile& ini, RSysInfo& sys, bool w) {
  const char* s = kStateSection;
  ini.RWInteger(s, "WinLeft", w, sys.WinLeft, 0);
  ini.RWInteger(s, "WinTop", w, sys.WinTop, 0);
  ini.RWInteger(s, "WinWidth", w, sys.WinWidth, 0);
  ini.RWInteger(s, "WinHeight", w, sys.WinHeight, 0);
  ini.RWBool(s, "WinState", w, sys.WinState, true);
}

void LoadSettings(RSysInfo& sys) {
  TRWIniFile ini(sys.IniFile);
  RWDirectories(ini, sys);
  RWProgramState(ini, sys, false);
  RWProgramSetup(ini, sys, false);
  RWStartOnlySettings(ini, sys);
  RWWindowGeometry(ini, sys, false);
}

bool SaveSetup(const RSysInfo& sys, std::string* error) {
  return SaveGroup(sys, [](TRWIniFile& ini, RSysInfo& s) { RWProgramSetup(ini, s, true); }, error);
}

bool SaveProgramState(const RSysInfo& sys, std::string* error) {
  return SaveGroup(sys, [](TRWIniFile& ini, RSysInfo& s) { RWProgramState(ini, s, true); }, error);
}

bool SaveWindowGeometry(const RSysInfo& sys, std::string* error) {
  return SaveGroup(sys, [](TRWIniFile& ini, RSysInfo& s) { RWWindowGeometry(ini, s, true); }, error);
}
