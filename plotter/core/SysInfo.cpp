#include "plotter/core/SysInfo.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "charts/ChartList.h"
#include "foundation/IniFile.h"
#include "foundation/Switches.h"
#include "foundation/Types.h"
#include "instruments/NMEAOutput.h"
#include "platform/Paths.h"
#include "plotter/core/GpsTransfer.h"
#include "plotter/core/Ports.h"
#include "plotter/core/Replay.h"

namespace {

constexpr int kLastColor = 15;
constexpr int kLastSize = 3;

// A read value outside [low, high] becomes the default.
void CheckRange(int32_t& value, int32_t low, int32_t high, int32_t def) {
  if (value < low || value > high) value = def;
}

void CheckColor(int32_t& value, int32_t def) { CheckRange(value, 0, kLastColor, def); }
void CheckSize(int32_t& value, int32_t def) { CheckRange(value, 0, kLastSize, def); }

// A float that is not finite or lies outside [low, high] becomes the
// default. The bounds get a little room, so that a value the setup dialog
// computed from its own limits is never refused for its last bit.
void CheckFloat(double& value, double low, double high, double def) {
  const double slack = 1e-9 * std::max(std::fabs(low), std::fabs(high));
  if (!std::isfinite(value) || value < low - slack || value > high + slack) value = def;
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

void RWSignalKAccess(TRWIniFile& ini, RSysInfo& sys, bool w) {
  const char* c = kCustomSection;
  ini.RWString(c, "SignalK Client Id", w, sys.SignalKClientId, "");
  ini.RWString(c, "SignalK Token", w, sys.SignalKToken, "");
  ini.RWString(c, "SignalK Certificate", w, sys.SignalKCertificate, "");
}

}  // namespace

double MetresToRad(double metres) { return metres / 1852.0 / kRadToNM; }
double RadToMetres(double radians) { return radians * kRadToNM * 1852.0; }
double NMToRad(double nm) { return nm / kRadToNM; }
double RadToNM(double radians) { return radians * kRadToNM; }
double MinutesToDays(double minutes) { return minutes / 1440.0; }
double DaysToMinutes(double days) { return days * 1440.0; }

std::string SettingsFilePath(const std::string& dataDir) {
  std::string value;
  if (FindSwitch('I', value) && !value.empty()) return value;
  return WithTrailingSlash(dataDir) + kSettingsFileName;
}

void InitSysInfoPaths(RSysInfo& sys, const std::string& iniFile, const std::string& dataDir) {
  sys.IniFile = iniFile;
  sys.ProgramDir = WithTrailingSlash(dataDir);
  sys.IndexFile = sys.ProgramDir + kCatalogFileName;
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

std::string TalkerFromUnitId(std::string_view unitId) { return OutputTalker(unitId); }

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
  ini.RWString(kSetupSection, "Temp Dir", false, sys.TempDir, "");
}

void RWProgramSetup(TRWIniFile& ini, RSysInfo& sys, bool w) {
  const char* s = kSetupSection;
  ini.RWString(s, "GPS Datum", w, sys.GPSDatum, "");
  ini.RWString(s, "GPS PassThrough", w, sys.GPSPassThrough, "");
  ini.RWString(s, "Loggbook", w, sys.LogBookFile, "LOGBOOK.TXT");
  ini.RWString(s, "LanguageFile", w, sys.LanguageFile, "");
  ini.RWInteger(s, "Auto Loggbook", w, sys.AutoLogBook, 0);
  ini.RWInteger(s, "Show Rings", w, sys.ShowRings, 2);
  ini.RWInteger(s, "Rings Step", w, sys.RingsStep, 0);
  ini.RWInteger(s, "Speed Mark", w, sys.SpeedMark, 60);
  ini.RWInteger(s, "Chart Prefetch", w, sys.ChartPrefetch, 60);
  ini.RWInteger(s, "Boat Size", w, sys.BoatSize, 1);
  ini.RWInteger(s, "Route Size", w, sys.RouteSize, 1);
  ini.RWInteger(s, "Route Line Width", w, sys.RouteLineWidth, 1);
  ini.RWInteger(s, "Waypoint Size", w, sys.WaypointSize, 1);
  ini.RWInteger(s, "Dashboard", w, sys.Dashboard, 1);
  ini.RWString(s, "Unit Id", w, sys.UnitId, "EC");
  ini.RWString(s, "GPS Protocol", w, sys.GpsProtocol, kDefaultGpsProtocol);
  for (int i = 0; i < 3; ++i) {
    ini.RWInteger(s, kComPortKeys[i], w, sys.ComPort[i], kComPortDefaults[i]);
    ini.RWInteger(s, kBaudKeys[i], w, sys.BaudRateId[i], kDefaultBaudRateId);
    ini.RWString(s, kComDeviceKeys[i], w, sys.ComDevice[i], "");
  }
  ini.RWInteger(s, "Route Preload", w, sys.RoutePreload, 20);
  ini.RWInteger(s, "AutoP Upd", w, sys.AutoPUpd, 5);
  ini.RWInteger(s, "AutoP Msg", w, sys.AutoPMsg, 0);
  ini.RWInteger(s, "AutoP XTEAmp", w, sys.AutoPXTEAmp, 100);
  ini.RWFloat(s, "Route Force", w, sys.RouteForce, 7.853353365705226e-6);
  ini.RWInteger(s, "Show Time", w, sys.ShowTime, 5);
  ini.RWInteger(s, "Track Time", w, sys.TrackTime, 30);
  ini.RWFloat(s, "Track Distance", w, sys.TrackDistance, 0.000015706706731410453);
  ini.RWFloat(s, "Track CompDev", w, sys.TrackCompDev, 0.08726646259971647);
  ini.RWFloat(s, "Default Speed", w, sys.DefaultSpeed, 10);
  ini.RWFloat(s, "Default XTE", w, sys.DefaultXTE, 0.00001454441043328608);
  ini.RWInteger(s, "Boat Color", w, sys.BoatColor, 13);
  ini.RWInteger(s, "Route Normal Color", w, sys.RouteNormalColor, 0);
  ini.RWInteger(s, "Route Select Color", w, sys.RouteSelectColor, 9);
  ini.RWInteger(s, "AP Capability", w, sys.APCapability, 0);
  ini.RWInteger(s, "Waypoint Normal Color", w, sys.WaypointNormalColor, 0);
  ini.RWInteger(s, "Waypoint Select Color", w, sys.WaypointSelectColor, 9);
  ini.RWInteger(s, "Track Color", w, sys.TrackColor, 9);
  ini.RWInteger(s, "Track Width", w, sys.TrackWidth, 1);
  ini.RWInteger(s, "Outline Color", w, sys.OutlineColor, 9);
  ini.RWInteger(s, "Outline Factor", w, sys.OutlineFactor, 20);
  ini.RWInteger(s, "Wind Arrow Color", w, sys.WindArrowColor, 0);
  ini.RWBool(s, "Route Id Keep", w, sys.RouteIdKeep, false);
  ini.RWBool(s, "Route WP Ack", w, sys.RouteWPAck, false);
  ini.RWBool(s, "Auto Offset", w, sys.AutoOffset, true);
  ini.RWBool(s, "Warning Sound", w, sys.WarningSound, false);
  ini.RWBool(s, "Route Infobox", w, sys.RouteInfobox, false);
  ini.RWBool(s, "Waypoint Infobox", w, sys.WaypointInfobox, true);
  ini.RWBool(s, "Use GPS Clock", w, sys.UseGPSClock, false);
  ini.RWBool(s, "MagErr Calc", w, sys.MagErrCalc, true);
  ini.RWBool(s, "Mouse Wheel", w, sys.MouseWheel, true);
  ini.RWBool(s, "Autoload Waypts", w, sys.AutoloadWaypts, true);
  ini.RWBool(s, "Autoload Route", w, sys.AutoloadRoute, false);
  ini.RWBool(s, "Compass Show", w, sys.CompassShow, true);
  ini.RWInteger(s, "Wind Show", w, sys.WindShow, 1);
  ini.RWInteger(s, "Depth Show", w, sys.DepthShow, 1);
  ini.RWFloat(s, "Depth Alarm", w, sys.DepthAlarm, 5);
  ini.RWFloat(s, "Transducer Depth", w, sys.TransducerDepth, 0.5);
  ini.RWFloat(s, "Log Cutoff", w, sys.LogCutoff, 0.2);
  ini.RWBool(s, "Fat Cursors", w, sys.FatCursors, false);
  ini.RWBool(s, "Shade Desktop", w, sys.ShadeDesktop, true);
  ini.RWBool(s, "High Quality Zoom", w, sys.HighQualityZoom, true);
  ini.RWInteger(s, "Shade Twilight", w, sys.ShadeTwilight, 20);
  ini.RWInteger(s, "Shade Dusk", w, sys.ShadeDusk, 40);
  ini.RWInteger(s, "Shade Night", w, sys.ShadeNight, 60);
  ini.RWBool(s, "Drag Update", w, sys.DragUpdate, true);
  ini.RWBool(s, "NMEA DR Update", w, sys.NMEADRUpdate, true);
  ini.RWInteger(s, "NC Zoom", w, sys.NCZoom, 1);
  ini.RWInteger(s, "Chart Edge", w, sys.ChartEdge, 16);
  ini.RWString(s, "Sound1", w, sys.Sound1, "Ding.wav");
  ini.RWString(s, "Sound XTE R", w, sys.SoundXTER, "");
  ini.RWString(s, "Sound XTE L", w, sys.SoundXTEL, "");
  ini.RWString(s, "Sound NMEA", w, sys.SoundNMEA, "");
  ini.RWString(s, "Sound Dpt", w, sys.SoundDpt, "");
  ini.RWString(s, "Sound AIS CPA", w, sys.SoundAISCPA, "");
  ini.RWInteger(s, "Boat Shape Marker", w, sys.BoatShapeMarker, 0);
  ini.RWBool(s, "AIS Show", w, sys.AISShow, true);
  ini.RWInteger(s, "AIS Labels", w, sys.AISLabels, 2);
  ini.RWBool(s, "AIS Panel", w, sys.AISPanel, false);
  ini.RWInteger(s, "AIS Marker Color", w, sys.AISMarkerColor, 3);
  ini.RWInteger(s, "AIS Marker Size", w, sys.AISMarkerSize, 1);
  ini.RWInteger(s, "AIS MsgAvail Color", w, sys.AISMsgAvailColor, 9);
  ini.RWInteger(s, "AIS Target Text Color", w, sys.AISTargetTextColor, 0);
  ini.RWInteger(s, "AIS CPA Color", w, sys.AISCPAColor, 9);
  ini.RWBool(s, "AIS Target Outline", w, sys.AISTargetOutline, true);
  ini.RWBool(s, "AIS Speed Mark", w, sys.AISSpeedMark, true);
  ini.RWFloat(s, "AIS CPA Max", w, sys.AISCPAMax, 0.1);
  ini.RWFloat(s, "AIS TCPA Max", w, sys.AISTCPAMax, 0.010416666666666666);
  ini.RWInteger(s, "AIS Hide Time", w, sys.AISHideTime, 4);
  ini.RWInteger(s, "AIS Delete Time", w, sys.AISDeleteTime, 60);
  if (w) return;

  // Reading: every value the program indexes a table with, divides by or
  // counts down from must be usable.
  CheckRange(sys.ShowRings, 0, 10, 2);
  CheckRange(sys.RingsStep, 0, 7, 0);
  CheckRange(sys.SpeedMark, 0, 3600, 60);
  CheckRange(sys.ChartPrefetch, 0, 600, 60);
  CheckSize(sys.BoatSize, 1);
  CheckSize(sys.RouteSize, 1);
  CheckRange(sys.RouteLineWidth, 0, 6, 1);
  CheckSize(sys.WaypointSize, 1);
  CheckRange(sys.Dashboard, 0, 1, 1);
  if (TalkerFromUnitId(sys.UnitId) != sys.UnitId.substr(0, 2)) sys.UnitId = "EC";
  for (int i = 0; i < 3; ++i) {
    CheckRange(sys.ComPort[i], 0, 255, kComPortDefaults[i]);
    sys.BaudRateId[i] = CheckedBaudRateId(sys.BaudRateId[i]);
  }
  CheckRange(sys.RoutePreload, 5, 500, 20);
  CheckRange(sys.AutoPUpd, 0, 999, 5);
  CheckRange(sys.AutoPMsg, 0, 63, 0);
  CheckRange(sys.AutoPXTEAmp, 5, 500, 100);
  CheckFloat(sys.RouteForce, MetresToRad(5), MetresToRad(1000), 7.853353365705226e-6);
  CheckRange(sys.ShowTime, 2, 60, 5);
  CheckRange(sys.TrackTime, 0, 3600, 30);
  CheckFloat(sys.TrackDistance, 0, MetresToRad(100000), 0.000015706706731410453);
  CheckFloat(sys.TrackCompDev, 0, 30 * kDegToRad, 0.08726646259971647);
  CheckFloat(sys.DefaultSpeed, 0.1, 99.9, 10);
  CheckFloat(sys.DefaultXTE, NMToRad(0.01), NMToRad(9.99), 0.00001454441043328608);
  CheckColor(sys.BoatColor, 13);
  CheckColor(sys.RouteNormalColor, 0);
  CheckColor(sys.RouteSelectColor, 9);
  CheckRange(sys.APCapability, 0, 4, 0);
  CheckColor(sys.WaypointNormalColor, 0);
  CheckColor(sys.WaypointSelectColor, 9);
  CheckColor(sys.TrackColor, 9);
  CheckRange(sys.TrackWidth, 0, 8, 1);
  CheckColor(sys.OutlineColor, 9);
  CheckRange(sys.OutlineFactor, 2, 50, 20);
  CheckColor(sys.WindArrowColor, 0);
  CheckRange(sys.WindShow, 0, 2, 1);
  CheckRange(sys.DepthShow, 0, 3, 1);
  CheckFloat(sys.DepthAlarm, 0, 9999, 5);
  CheckFloat(sys.TransducerDepth, -99, 99, 0.5);
  CheckFloat(sys.LogCutoff, 0, 99, 0.2);
  CheckRange(sys.ShadeTwilight, -95, 95, 20);
  CheckRange(sys.ShadeDusk, -95, 95, 40);
  CheckRange(sys.ShadeNight, -95, 95, 60);
  CheckRange(sys.NCZoom, 0, 1, 1);
  CheckRange(sys.ChartEdge, 0, 40, 16);
  CheckRange(sys.BoatShapeMarker, 0, 2, 0);
  CheckRange(sys.AISLabels, 0, 2, 2);
  CheckColor(sys.AISMarkerColor, 3);
  CheckSize(sys.AISMarkerSize, 1);
  CheckColor(sys.AISMsgAvailColor, 9);
  CheckColor(sys.AISTargetTextColor, 0);
  CheckColor(sys.AISCPAColor, 9);
  CheckFloat(sys.AISCPAMax, 0, 99, 0.1);
  CheckFloat(sys.AISTCPAMax, 0, 1, 0.010416666666666666);
  CheckRange(sys.AISHideTime, 0, 525600, 4);
  CheckRange(sys.AISDeleteTime, 0, 525600, 60);
}

void RWStartOnlySettings(TRWIniFile& ini, RSysInfo& sys) {
  const char* s = kSetupSection;
  const bool w = false;
  ini.RWBool(s, "Reverse Wheel Dir", w, sys.ReverseWheelDir, false);
  ini.RWBool(s, "Wind Calc", w, sys.WindCalc, false);
  ini.RWBool(s, "Use Chart Numbers", w, sys.UseChartNumbers, false);
  ini.RWInteger(s, "Use KAP zero shift", w, sys.UseKAPZeroShift, 2);
  ini.RWBool(s, "Reverse KAP zero shift", w, sys.ReverseKAPZeroShift, true);
  ini.RWFloat(s, "Compression Factor", w, sys.CompressionFactor, 1.8);
  ini.RWInteger(s, "Diskmap Buffer", w, sys.DiskmapBuffer, sys.DefaultDiskmapBuffer);
  ini.RWInteger(s, "Diskmap ImageMem", w, sys.DiskmapImageMem, sys.DefaultDiskmapImageMem);
  ini.RWInteger(s, "Max ZoomOut Res", w, sys.MaxZoomOutRes, 0);
  ini.RWBool(s, "DDE", w, sys.DDE, false);
  ini.RWString(s, "NMEA_SIMUL", w, sys.NmeaSimul, "");
  ini.RWString(s, "G7T", w, sys.G7T, sys.ProgramDir + "G7ToWin.exe");
  ini.RWString(s, "NMEA_CAPTMSG", w, sys.NmeaCaptMsg, "");
  ini.RWString(s, "NMEA_CAPTFILE", w, sys.NmeaCaptFile, "");
  ini.RWString(s, "MWW.COF", w, sys.MwwCof, "");
  ini.RWInteger(s, "GPS Timeout", w, sys.GpsTimeout, 6);
  ini.RWInteger(s, "NMEA_SIMUL_READS", w, sys.NmeaSimulReads, 1);
  ini.RWInteger(s, "NMEA CheckSum", w, sys.NmeaCheckSum, 1);
  ini.RWFloat(s, "COG Switch Speed", w, sys.CogSwitchSpeed, 3.0);
  ini.RWFloat(s, "HDT Switch Speed", w, sys.HdtSwitchSpeed, 3.0);
  ini.RWFloat(s, "AIS COG-Head Limit", w, sys.AISCogHeadLimit, 500);
  ini.RWInteger(s, "AIS Own MSSI", w, sys.AisOwnMMSI, 0);
  CheckRange(sys.UseKAPZeroShift, 0, 3, 2);
  CheckFloat(sys.CompressionFactor, 0.01, 100, 1.8);
  CheckRange(sys.DiskmapBuffer, 0, INT32_MAX / 1024, sys.DefaultDiskmapBuffer);
  CheckRange(sys.DiskmapImageMem, 0, INT32_MAX / 1024, sys.DefaultDiskmapImageMem);
  CheckRange(sys.MaxZoomOutRes, 0, INT32_MAX, 0);
  CheckRange(sys.GpsTimeout, 1, 86400, 6);
  // The tick reads this many lines and one more.
  CheckRange(sys.NmeaSimulReads, -1, kMaxReplayLinesPerTick - 1, 1);
  CheckRange(sys.NmeaCheckSum, 0, INT32_MAX, 1);
  CheckNonNegative(sys.CogSwitchSpeed, 3.0);
  CheckNonNegative(sys.HdtSwitchSpeed, 3.0);
  CheckNonNegative(sys.AISCogHeadLimit, 500);

  const char* c = kCustomSection;
  ini.RWString(c, "IP_Login", w, sys.IPLogin, "");
  ini.RWString(c, "IP_Password", w, sys.IPPassword, "");
  RWSignalKAccess(ini, sys, w);
  ini.RWBool(c, "No Heading Stick", w, sys.NoHeadingStick, false);
  ini.RWBool(c, "No Startup Dash", w, sys.NoStartupDash, false);
  ini.RWBool(c, "No Quit Query", w, sys.NoQuitQuery, false);

  ini.RWBool(kStateSection, "Teskor WinState", w, sys.TeskorWinState, false);
  sys.FuelData = ini.ReadSectionValues(kFuelSection);
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
    CheckFloat(sys.LastLat, -std::numbers::pi / 2, std::numbers::pi / 2, 0);
    CheckFloat(sys.LastLong, -2 * std::numbers::pi, 2 * std::numbers::pi, 0);
  }
}

void RWWindowGeometry(TRWIniFile& ini, RSysInfo& sys, bool w) {
  const char* s = kStateSection;
  ini.RWInteger(s, "WinLeft", w, sys.WinLeft, 0);
  ini.RWInteger(s, "WinTop", w, sys.WinTop, 0);
  ini.RWInteger(s, "WinWidth", w, sys.WinWidth, 0);
  ini.RWInteger(s, "WinHeight", w, sys.WinHeight, 0);
  ini.RWBool(s, "WinState", w, sys.WinState, true);
  if (!w) {
    // The keys hold the edges of the window. A hand-edited or damaged file
    // may hold any number: edges beyond what a screen can have, or a right
    // edge left of the left one, give the default for that direction (the
    // window then opens at its smallest size).
    constexpr int32_t kMaxCoordinate = 32767;
    auto checkSpan = [](int32_t& low, int32_t& high) {
      const bool inside = low >= -kMaxCoordinate && low <= kMaxCoordinate && high >= -kMaxCoordinate &&
                          high <= kMaxCoordinate && high > low && high - low <= kMaxCoordinate;
      if (!inside) low = high = 0;
    };
    checkSpan(sys.WinLeft, sys.WinWidth);
    checkSpan(sys.WinTop, sys.WinHeight);
  }
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

bool SaveNmeaSource(const RSysInfo& sys, std::string* error) {
  return SaveGroup(
      sys, [](TRWIniFile& ini, RSysInfo& s) { ini.RWString(kSetupSection, "NMEA_SIMUL", true, s.NmeaSimul, ""); },
      error);
}

bool SaveSignalKAccess(const RSysInfo& sys, std::string* error) {
  return SaveGroup(sys, [](TRWIniFile& ini, RSysInfo& s) { RWSignalKAccess(ini, s, true); }, error);
}

bool SaveProgramState(const RSysInfo& sys, std::string* error) {
  return SaveGroup(sys, [](TRWIniFile& ini, RSysInfo& s) { RWProgramState(ini, s, true); }, error);
}

bool SaveWindowGeometry(const RSysInfo& sys, std::string* error) {
  return SaveGroup(sys, [](TRWIniFile& ini, RSysInfo& s) { RWWindowGeometry(ini, s, true); }, error);
}

bool SaveWindowAndState(const RSysInfo& sys, std::string* error) {
  return SaveGroup(
      sys,
      [](TRWIniFile& ini, RSysInfo& s) {
        RWProgramState(ini, s, true);
        RWWindowGeometry(ini, s, true);
      },
      error);
}

std::string ProgramStateText(const RSysInfo& sys) {
  // An unnamed file is never written.
  TRWIniFile ini{std::string()};
  RSysInfo copy = sys;
  RWProgramState(ini, copy, true);
  return ini.Text();
}
