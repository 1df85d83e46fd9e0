// The plotter's settings record and its load and save groups.
//
// Every setting lives in the settings file ("BRISMARE_2.INI" in the data
// directory, or the file named with "-I"). The record is read once at start
// and written back in groups at fixed moments: the program state when the
// window is destroyed, the window geometry when it closes, the setup keys
// when the setup dialog is confirmed. Each group is one procedure run with a
// flag to load or to save, so the two directions cannot drift apart.
//
// Values read from the file are checked: a number outside the range the
// program can use reads as its default (an index past a table, a port number
// beyond 255), so a hand-edited file cannot make the program misbehave.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class TRWIniFile;

inline constexpr const char* kSettingsFileName = "BRISMARE_2.INI";
inline constexpr const char* kSetupSection = "Program Setup";
inline constexpr const char* kStateSection = "Program State";
inline constexpr const char* kCustomSection = "Custom";
inline constexpr const char* kFuelSection = "Fuel Data";
inline constexpr const char* kIndexFileName = "BRAINDEX.BIN";
inline constexpr const char* kGroupsFileName = "BRGROUPS.BIN";

struct RSysInfo {
  // Files and directories of the run.
  std::string IniFile;     // the settings file
  std::string ProgramDir;  // the data directory, with a trailing "/"
  std::string IndexFile;   // the chart catalog
  std::string GroupsFile;  // the chart groups

  // Data directories ("Program Setup", read at start only), resolved
  // against the data directory; "Chart Dir" may list several, ";"-separated.
  std::string ChartDir;
  std::string RouteDir;
  std::string WayPointDir;
  std::string TrackDir;
  // The directories file dialogs start in; each follows the last choice.
  std::string CurRouteDir;
  std::string CurWayPointDir;
  std::string CurTrackDir;

  // "Program Setup", read at start and written by the setup dialog.
  std::string LanguageFile;
  std::string LogBookFile = "LOGBOOK.TXT";  // "Loggbook"
  int32_t AutoLogBook = 0;                  // "Auto Loggbook"
  // Ports A, B and C: "Com Port", "BaudRateId", "Com Port B", ...
  std::array<int32_t, 3> ComPort = {1, 0, 0};
  std::array<int32_t, 3> BaudRateId = {5, 5, 5};
  int32_t Dashboard = 1;  // 0 left, 1 right
  double LogCutoff = 0.2;
  bool UseGPSClock = false;
  bool WarningSound = false;
  bool AutoloadWaypts = true;
  bool AutoloadRoute = false;
  bool ShadeDesktop = true;
  int32_t ShadeTwilight = 20;
  int32_t ShadeDusk = 40;
  int32_t ShadeNight = 60;

  // "Program Setup", read at start only.
  // Device of each port ("Com Device", "Com Device B", "Com Device C");
  // empty: derived from the port number.
  std::array<std::string, 3> ComDevice;
  int32_t DiskmapBuffer = 0;    // KiB; default: the pager's own limit
  int32_t DiskmapImageMem = 0;  // KiB; default: the pager's own limit
  int32_t MaxZoomOutRes = 0;
  std::string NmeaSimul;        // "NMEA_SIMUL": replay file, or "IP:" + address
  int32_t NmeaSimulReads = 1;
  std::string G7T;              // default: the data directory + "G7ToWin.exe"
  std::string NmeaCaptMsg;
  std::string NmeaCaptFile;
  std::string MwwCof;           // "MWW.COF"
  int32_t GpsTimeout = 6;
  int32_t NmeaCheckSum = 1;
  double CogSwitchSpeed = 3.0;
  double HdtSwitchSpeed = 3.0;
  int32_t AisOwnMMSI = 0;        // "AIS Own MSSI"

  // Three "Program Setup" keys saved with the program state.
  bool AutoScroll = false;
  bool ShowTrack = false;
  bool RteMagDisp = false;

  // "Custom", read at start only.
  std::string IPLogin;
  std::string IPPassword;
  bool NoHeadingStick = false;
  bool NoStartupDash = false;
  bool NoQuitQuery = false;

  // "Program State", read at start and written at the end of the run.
  int32_t ShowLogData = 0;  // 0 off, 1 on, 2 only in AUTOMATIC
  double LastLat = 0;
  double LastLong = 0;
  double TotalDistance = 0;
  double TrippDistance = 0;
  double FuelUsed = 0;
  double TimeCounter = 0;
  std::string XChartDir;
  std::string WPPDir;
  int32_t BrowseGroups = 0;
  int32_t AutoGroups = 0;
  // Window geometry ("Program State", written when the window closes): the
  // left, top, right and bottom edges of the normal window, and whether it
  // was maximised.
  int32_t WinLeft = 0;
  int32_t WinTop = 0;
  int32_t WinWidth = 0;   // right edge
  int32_t WinHeight = 0;  // bottom edge
  bool WinState = true;

  // Run-time state kept with the settings.
  bool ClockOneShot = false;  // set the clock once from GPS time
  bool EngineOn = true;       // the "Engine On" item

  // Defaults that depend on the machine, set before loading.
  int32_t DefaultDiskmapBuffer = 24576;
  int32_t DefaultDiskmapImageMem = 12288;
};

// The settings file named on the command line ("-I<file>", "/I<file>",
// either case), else "BRISMARE_2.INI" in `dataDir`.
std::string SettingsFilePath(const std::string& dataDir);

// Fills the file and directory fields of a fresh record for `dataDir`.
void InitSysInfoPaths(RSysInfo& sys, const std::string& iniFile, const std::string& dataDir);

// A directory setting made usable: each ";"-separated entry that is a
// relative path (".\CHARTS", "CHARTS", "./x") is taken from `baseDir`;
// absolute and Windows paths stay; an entry of one character stays as it is.
std::string ResolveDirectorySetting(std::string_view value, const std::string& baseDir);

// The groups. Load (write false) or save (write true) through `ini`.
void RWDirectories(TRWIniFile& ini, RSysInfo& sys);  // load only
void RWProgramSetup(TRWIniFile& ini, RSysInfo& sys, bool write);
void RWStartOnlySettings(TRWIniFile& ini, RSysInfo& sys);  // load only
void RWProgramState(TRWIniFile& ini, RSysInfo& sys, bool write);
void RWWindowGeometry(TRWIniFile& ini, RSysInfo& sys, bool write);

// Reads everything from sys.IniFile: directories, program state, program
// setup (with the start-only keys), window geometry.
void LoadSettings(RSysInfo& sys);

// Each reads the current file, changes its group's keys and writes the file
// atomically (keys and sections it does not know stay as they are). False,
// with the reason in `error`, when the file cannot be written; the old file
// is then untouched.
bool SaveSetup(const RSysInfo& sys, std::string* error = nullptr);
bool SaveProgramState(const RSysInfo& sys, std::string* error = nullptr);
bool SaveWindowGeometry(const RSysInfo& sys, std::string* error = nullptr);
