// The window-free side of the commands on stored data: the transfers to and
// from a handheld GPS through an outside program, the route number of the
// exchange formats, track files taken as routes, and the names a downloaded
// track gets.
//
// The transfer program is either the classic one, which takes one argument
// string and moves the column text exchange file, or gpsbabel, which takes an
// argument list and moves GPX through the receiver's device. Either is run
// without a shell.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Types.h"
#include "navobjects/RouteFiles.h"

enum class TGpsCommand { SendPositions, SendRoute, GetPositions, GetRoute, GetTrack };

// The plotter hands data to the program (Send) or expects it back (Get).
bool GpsCommandSends(TGpsCommand command);

// The exchange file's name in the data directory.
inline constexpr const char* kExchangeBaseName = "$$G7TO$$";
// The track a download is imported into before it gets its name.
inline constexpr const char* kDownloadTrackName = "$$G7TO$$.TRC";
// How long a transfer may take before it is given up.
inline constexpr int kTransferTimeoutMs = 600000;
// The protocol gpsbabel speaks with the receiver when "GPS Protocol" is not
// set.
inline constexpr const char* kDefaultGpsProtocol = "garmin";

// The one argument of the classic transfer program:
//   "<file>,w,GPS", "<file>,r,GPS", "GPSw,,<file>", "GPSr,,<file>",
//   "GPSt,,<file>".
std::string ClassicTransferArgument(TGpsCommand command, const std::string& exchangeFile);

// A protocol text gpsbabel may be given: a plain format name (letters,
// digits, "_", "-", ".") with ",option=value" suffixes of the same
// characters, not beginning with "-" or ",", at most 100 characters.
bool IsPlainGpsProtocol(std::string_view protocol);

// The program is gpsbabel (its file name, whatever the directory).
bool IsGpsbabel(std::string_view program);

// gpsbabel's argument list: GPX file to the device for a send, the device to
// a GPX file for a get, "-w", "-r" or "-t" for the kind of data. The
// protocol must be a plain format name (letters, digits, "_" and "-", with
// gpsbabel's ",option=value" suffixes of the same characters); anything else
// falls back to kDefaultGpsProtocol, so that no text of the settings file
// becomes an option of its own.
std::vector<std::string> GpsbabelArguments(TGpsCommand command, const std::string& gpxFile, const std::string& device,
                                           const std::string& protocol);

// What runs for a command: the program and its argument list, and the
// exchange file (G7T for the classic program, GPX for gpsbabel).
struct TTransferPlan {
  std::string program;
  std::vector<std::string> args;
  std::string exchangeFile;
  bool gpx = false;
};
// `program` is the resolved "G7T" setting; `dataDir` ends with "/".
TTransferPlan PlanTransfer(TGpsCommand command, const std::string& program, const std::string& dataDir,
                           const std::string& device, const std::string& protocol);

// The transfer program as it will be started, or "" when there is none: a
// path that names an executable file, or for a name without "/", gpsbabel
// found on PATH (`path`, ":"-separated).
std::string FindTransferProgram(const std::string& resolvedSetting, const std::string& storedSetting,
                                const std::string& path);

// The route number of the input box: a whole number from 0 to 99 (blanks
// around it allowed), else nothing.
std::optional<int> ParseRouteNumber(std::string_view text);

// A track file's bytes as route points: one per whole 30-byte record (a torn
// last record is left out), at the record's position, with the record's
// speed as the leg speed (0.1 knot when the speed is 0, negative, not a
// number or beyond any boat's) and `defaultXte` as the limit. A file that is
// not a track gives no points.
TRoutePoints TrackRoutePoints(std::string_view bytes, double defaultXte);

// The name a downloaded track gets in `trackDir`: "yyyymmdd-G7T (n).TRC"
// for the first n from 1 to 1000 for which `exists` says no; when all are
// taken, the first free n above 1000. The directory and the name are joined
// with "/".
std::string DownloadTrackName(const std::string& trackDir, TDateTime day,
                              const std::function<bool(const std::string&)>& exists);

// "dir" + "/" + "name", without doubling a separator.
std::string JoinPath(const std::string& dir, const std::string& name);

// The file's extension is ".G7T" (any case): the column exchange format;
// any other is the comma text format.
bool IsExchangeFile(std::string_view file);
