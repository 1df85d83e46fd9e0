// The plotter's settings record and its load and save groups.
//
// Every setting lives in the settings file ("BRISMARE_2.INI" in the data
// directory, or the file named with "-I"). The record is read once at start
// and written back in groups at fixed moments: the program state when the
// window is destroyed (and every minute while it changes, so a power cut
// loses at most a minute of log, trip, fuel and engine hours), the window
// geometry when it closes, the setup keys when the setup dialog is
// confirmed. Each group is one procedure run with a flag to load or to save,
// so the two directions cannot drift apart.
//
// Values read from the file are checked: a number outside the range the
// program can use (an index past a table, a divisor of 0, a port number
// beyond 255, NaN or infinity) reads as its default, so a hand-edited file
// cannot make the program misbehave. The file keeps what it holds until the
// group is saved.
//
// Units: angles and distances on the earth in radians, speeds in knots,
// times in seconds unless a field says otherwise; colours are indexes 0-15
// into the sixteen standard colours; sizes are indexes 0-3 into the size
// tables below.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plotter/core/FileNames.h"

class TRWIniFile;

inline constexpr const char* kSetupSection = "Program Setup";
inline constexpr const char* kStateSection = "Program State";
inline constexpr const char* kCustomSection = "Custom";
inline constexpr const char* kFuelSection = "Fuel Data";
inline constexpr const char* kGroupsFileName = "BRGROUPS.BIN";

// Pixel sizes by size index ("Small", "Medium", "Large", "Huge").
inline constexpr std::array<int, 4> kRouteSymbolSizes = {11, 13, 15, 17};
inline constexpr std::array<int, 4> kPositionSymbolSizes = {7, 9, 11, 15};
inline constexpr std::array<int, 4> kBoatSizes = {6, 8, 10, 13};

// Unit conversions of the setup dialog. A nautical mile is one minute of
// arc and 1852 m; the stored defaults were made with exactly these steps.
double MetresToRad(double metres);
double RadToMetres(double radians);
double NMToRad(double nm);
double RadToNM(double radians);
double MinutesToDays(double minutes);
double DaysToMinutes(double days);

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
  // "Temp Dir": kept as written (the calibration tool's).
  std::string TempDir;
  // The directories file dialogs start in; each follows the last choice.
  std::string CurRouteDir;
  std::string CurWayPointDir;
  std::string CurTrackDir;

  // ---- "Program Setup", read at start and written by the setup dialog ----
  std::string GPSDatum;        // "GPS Datum": datum of received positions
  std::string GPSPassThrough;  // "GPS PassThrough": sentence ids copied to the output
  std::string LogBookFile = "LOGBOOK.TXT";  // "Loggbook"
  std::string LanguageFile;                 // "LanguageFile", or "SAVE:" + file
  int32_t AutoLogBook = 0;  // "Auto Loggbook": bits of automatic log book entries
  int32_t ShowRings = 2;    // number of range rings, 0-10
  int32_t RingsStep = 0;    // 0 "Auto A", 1 "Auto B", 2-7 fixed steps
  int32_t SpeedMark = 60;   // seconds of travel to the speed mark, 0-3600
  int32_t ChartPrefetch = 60;  // look-ahead seconds, 0-600
  int32_t BoatSize = 1;        // size indexes
  int32_t RouteSize = 1;
  int32_t RouteLineWidth = 1;  // 0-6; 0 a thin dash-dot-dot line
  int32_t WaypointSize = 1;
  int32_t Dashboard = 1;       // 0 left, 1 right
  std::string UnitId = "EC";   // talker of sent sentences (2 characters)
  // Ports A, B and C: "Com Port", "BaudRateId", "Com Device", "Com Port B", ...
  std::array<int32_t, 3> ComPort = {1, 0, 0};
  std::array<int32_t, 3> BaudRateId = {5, 5, 5};
  // Device of each port; empty: derived from the port number.
  std::array<std::string, 3> ComDevice;
  int32_t RoutePreload = 20;  // seconds, 5-500
  int32_t AutoPUpd = 5;       // ticks between steering sentence cycles, 0-999
  int32_t AutoPMsg = 0;       // bits: 1 APA, 2 APB, 4 RMB, 8 BOD, 16 BWC, 32 WPL + RTE
  int32_t AutoPXTEAmp = 100;  // percent, 5-500
  double RouteForce = 7.853353365705226e-6;  // wrong-way distance (50 m)
  int32_t ShowTime = 5;       // ticks between display updates, 2-60
  int32_t TrackTime = 30;     // seconds, 0-3600
  double TrackDistance = 0.000015706706731410453;  // 100 m
  double TrackCompDev = 0.08726646259971647;       // 5 degrees
  double DefaultSpeed = 10;                         // knots, 0.1-99.9
  double DefaultXTE = 0.00001454441043328608;      // 0.05 nautical mile
  int32_t BoatColor = 13;
  int32_t RouteNormalColor = 0;
  int32_t RouteSelectColor = 9;
  int32_t APCapability = 0;  // 0-4
  int32_t WaypointNormalColor = 0;
  int32_t WaypointSelectColor = 9;
  int32_t TrackColor = 9;
  int32_t TrackWidth = 1;  // 0-8
  int32_t OutlineColor = 9;
  int32_t OutlineFactor = 20;  // 2-50 (a divisor)
  int32_t WindArrowColor = 0;  // 15 (white) hides the arrow
  bool RouteIdKeep = false;
  bool RouteWPAck = false;
  bool AutoOffset = true;
  bool WarningSound = false;
  bool RouteInfobox = false;
  bool WaypointInfobox = true;
  bool UseGPSClock = false;
  bool MagErrCalc = true;
  bool MouseWheel = true;
  bool AutoloadWaypts = true;
  bool AutoloadRoute = false;
  bool CompassShow = true;
  int32_t WindShow = 1;   // 0 off, 1 m/s, 2 knots
  int32_t DepthShow = 1;  // 0 off, 1 metres, 2 feet, 3 fathoms
  double DepthAlarm = 5;        // metres
  double TransducerDepth = 0.5;  // metres, added to the shown depth
  double LogCutoff = 0.2;        // knots
  bool FatCursors = false;
  bool ShadeDesktop = true;
  bool HighQualityZoom = true;
  int32_t ShadeTwilight = 20;  // shade values of levels 2, 3, 4; -95..95
  int32_t ShadeDusk = 40;
  int32_t ShadeNight = 60;
  bool DragUpdate = true;
  bool NMEADRUpdate = true;
  int32_t NCZoom = 1;     // 0 "100%", 1 "Last"
  int32_t ChartEdge = 16;  // pixels, 0-40
  std::string Sound1 = "Ding.wav";
  std::string SoundXTER;
  std::string SoundXTEL;
  std::string SoundNMEA;
  std::string SoundDpt;
  std::string SoundAISCPA;
  int32_t BoatShapeMarker = 0;  // 0 circle, 1 boat, 2 arrow
  bool AISShow = true;
  int32_t AISLabels = 2;  // 0 off, 1 on, 2 names only
  bool AISPanel = false;
  int32_t AISMarkerColor = 3;
  int32_t AISMarkerSize = 1;  // 0-3
  int32_t AISMsgAvailColor = 9;
  int32_t AISTargetTextColor = 0;
  int32_t AISCPAColor = 9;
  bool AISTargetOutline = true;
  bool AISSpeedMark = true;
  double AISCPAMax = 0.1;                    // nautical miles
  double AISTCPAMax = 0.010416666666666666;  // days (15 minutes)
  int32_t AISHideTime = 4;                   // minutes
  int32_t AISDeleteTime = 60;                // minutes

  // ---- "Program Setup", read at start only ----
  bool ReverseWheelDir = false;
  bool WindCalc = false;
  bool UseChartNumbers = false;
  int32_t UseKAPZeroShift = 2;  // 0-3
  bool ReverseKAPZeroShift = true;
  double CompressionFactor = 1.8;
  int32_t DiskmapBuffer = 0;    // KiB; default: the pager's own limit
  int32_t DiskmapImageMem = 0;  // KiB; default: the pager's own limit
  int32_t MaxZoomOutRes = 0;
  bool DDE = false;
  std::string NmeaSimul;  // "NMEA_SIMUL": replay file, or a network source ("IP:", "UDP:", "GPSD:")
  std::string G7T;        // default: the data directory + "G7ToWin.exe"
  std::string GpsProtocol;  // "GPS Protocol": what gpsbabel speaks with the receiver
  std::string NmeaCaptMsg;
  std::string NmeaCaptFile;
  std::string MwwCof;  // "MWW.COF"
  int32_t GpsTimeout = 6;
  int32_t NmeaSimulReads = 1;  // -1: none
  int32_t NmeaCheckSum = 1;
  double CogSwitchSpeed = 3.0;
  double HdtSwitchSpeed = 3.0;
  double AISCogHeadLimit = 500;
  int32_t AisOwnMMSI = 0;  // "AIS Own MSSI"

  // Three "Program Setup" keys saved with the program state.
  bool AutoScroll = false;
  bool ShowTrack = false;
  bool RteMagDisp = false;

  // ---- "Custom", read at start only ----
  std::string IPLogin;
  std::string IPPassword;
  // A Signal K server's access ("SK:" and "SKS:" sources): the plotter's id
  // in its access requests, the token the server granted, the SHA-256
  // fingerprint of a certificate the user accepted. Read at start, saved
  // whenever they change (SaveSignalKAccess). Kept in clear text, like
  // "IP_Password"; never shown, logged or monitored.
  std::string SignalKClientId;
  std::string SignalKToken;
  std::string SignalKCertificate;
  bool NoHeadingStick = false;
  bool NoStartupDash = false;
  bool NoQuitQuery = false;

  // ---- "Program State", read at start and written at the end of the run
  // (and while the run goes on, see the top of this file) ----
  int32_t ShowLogData = 0;  // 0 off, 1 on, 2 only in AUTOMATIC
  double LastLat = 0;
  double LastLong = 0;
  double TotalDistance = 0;  // nautical miles
  double TrippDistance = 0;
  double FuelUsed = 0;
  double TimeCounter = 0;  // engine hours
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
  // The calibration tool's maximised state; read, never written here.
  bool TeskorWinState = false;

  // "Fuel Data": speed (tenths of a knot) and rate (tenths of a fuel unit
  // per hour) as the key and value texts of the section, in file order;
  // read at start, never written.
  std::vector<std::pair<std::string, std::string>> FuelData;

  // Run-time state kept with the settings.
  bool ClockOneShot = false;  // set the clock once from GPS time
  bool EngineOn = true;       // the "Engine On" item

  // Defaults that depend on the machine, set before loading.
  int32_t DefaultDiskmapBuffer = 24576;
  int32_t DefaultDiskmapImageMem = 12288;

  friend bool operator==(const RSysInfo&, const RSysInfo&) = default;
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

// The talker of sent sentences: the first two characters of "Unit Id" when
// both are printable and none of them could break a sentence ("$", "!",
// ",", "*", "\"), else "EC".
std::string TalkerFromUnitId(std::string_view unitId);

// The groups. Load (write false) or save (write true) through `ini`.
void RWDirectories(TRWIniFile& ini, RSysInfo& sys);  // load only
void RWProgramSetup(TRWIniFile& ini, RSysInfo& sys, bool write);
void RWStartOnlySettings(TRWIniFile& ini, RSysInfo& sys);  // load only
void RWProgramState(TRWIniFile& ini, RSysInfo& sys, bool write);
void RWWindowGeometry(TRWIniFile& ini, RSysInfo& sys, bool write);

// Reads everything from sys.IniFile: directories, program state, program
// setup (with the start-only keys), window geometry, fuel table.
void LoadSettings(RSysInfo& sys);

// Each reads the current file, changes its group's keys and writes the file
// atomically (keys and sections it does not know stay as they are). False,
// with the reason in `error`, when the file cannot be written; the old file
// is then untouched.
bool SaveSetup(const RSysInfo& sys, std::string* error = nullptr);
// "NMEA_SIMUL" alone (read only at start, but the setup dialog may set a
// network source).
bool SaveNmeaSource(const RSysInfo& sys, std::string* error = nullptr);
// The three Signal K access keys of "Custom", alone.
bool SaveSignalKAccess(const RSysInfo& sys, std::string* error = nullptr);
bool SaveProgramState(const RSysInfo& sys, std::string* error = nullptr);
bool SaveWindowGeometry(const RSysInfo& sys, std::string* error = nullptr);
// The window geometry and the program state in one write (at close).
bool SaveWindowAndState(const RSysInfo& sys, std::string* error = nullptr);

// The program-state group as the text SaveProgramState would write, for
// telling whether it changed since the last save.
std::string ProgramStateText(const RSysInfo& sys);
