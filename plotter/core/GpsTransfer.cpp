#include "plotter/core/GpsTransfer.h"

#include <unistd.h>

#include <cctype>
#include <cmath>
#include <filesystem>

#include "foundation/GenUtil.h"

bool GpsCommandSends(TGpsCommand command) {
  return command == TGpsCommand::SendPositions || command == TGpsCommand::SendRoute;
}

std::string ClassicTransferArgument(TGpsCommand command, const std::string& exchangeFile) {
  switch (command) {
    case TGpsCommand::SendPositions:
      return exchangeFile + ",w,GPS";
    case TGpsCommand::SendRoute:
      return exchangeFile + ",r,GPS";
    case TGpsCommand::GetPositions:
      return "GPSw,," + exchangeFile;
    case TGpsCommand::GetRoute:
      return "GPSr,," + exchangeFile;
    case TGpsCommand::GetTrack:
      return "GPSt,," + exchangeFile;
  }
  return {};
}

bool IsGpsbabel(std::string_view program) {
  const size_t slash = program.find_last_of('/');
  std::string_view name = slash == std::string_view::npos ? program : program.substr(slash + 1);
  std::string lower;
  for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == "gpsbabel" || lower == "gpsbabel.exe";
}

bool IsPlainGpsProtocol(std::string_view p) {
  if (p.empty() || p.size() > 100 || p[0] == '-' || p[0] == ',') return false;
  for (char c : p) {
    const bool ok = std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == ',' || c == '=' ||
                    c == '.';
    if (!ok) return false;
  }
  return true;
}

namespace {

const char* KindOption(TGpsCommand command) {
  switch (command) {
    case TGpsCommand::SendPositions:
    case TGpsCommand::GetPositions:
      return "-w";
    case TGpsCommand::SendRoute:
    case TGpsCommand::GetRoute:
      return "-r";
    case TGpsCommand::GetTrack:
      return "-t";
  }
  return "-w";
}

}  // namespace

std::vector<std::string> GpsbabelArguments(TGpsCommand command, const std::string& gpxFile, const std::string& device,
                                           const std::string& protocol) {
  const std::string proto = IsPlainGpsProtocol(protocol) ? protocol : std::string(kDefaultGpsProtocol);
  if (GpsCommandSends(command)) return {KindOption(command), "-i", "gpx", "-f", gpxFile, "-o", proto, "-F", device};
  return {KindOption(command), "-i", proto, "-f", device, "-o", "gpx", "-F", gpxFile};
}

TTransferPlan PlanTransfer(TGpsCommand command, const std::string& program, const std::string& dataDir,
                           const std::string& device, const std::string& protocol) {
  TTransferPlan plan;
  plan.program = program;
  plan.gpx = IsGpsbabel(program);
  plan.exchangeFile = JoinPath(dataDir, std::string(kExchangeBaseName) + (plan.gpx ? ".GPX" : ".G7T"));
  if (plan.gpx)
    plan.args = GpsbabelArguments(command, plan.exchangeFile, device, protocol);
  else
    plan.args = {ClassicTransferArgument(command, plan.exchangeFile)};
  return plan;
}

std::string FindTransferProgram(const std::string& resolvedSetting, const std::string& storedSetting,
                                const std::string& path) {
  auto executable = [](const std::string& f) {
    std::error_code ec;
    return !f.empty() && std::filesystem::is_regular_file(f, ec) && ::access(f.c_str(), X_OK) == 0;
  };
  // A bare name is looked up in PATH (gpsbabel as Debian installs it).
  if (!storedSetting.empty() && storedSetting.find('/') == std::string::npos &&
      storedSetting.find('\\') == std::string::npos) {
    size_t from = 0;
    while (from <= path.size()) {
      size_t colon = path.find(':', from);
      if (colon == std::string::npos) colon = path.size();
      const std::string dir = path.substr(from, colon - from);
      if (!dir.empty()) {
        const std::string f = JoinPath(dir, storedSetting);
        if (executable(f)) return f;
      }
      from = colon + 1;
    }
  }
  return executable(resolvedSetting) ? resolvedSetting : std::string();
}

std::optional<int> ParseRouteNumber(std::string_view text) {
  size_t a = 0, b = text.size();
  while (a < b && text[a] == ' ') ++a;
  while (b > a && text[b - 1] == ' ') --b;
  text = text.substr(a, b - a);
  if (text.empty() || text.size() > 3) return std::nullopt;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n > 99) return std::nullopt;
  return n;
}

TRoutePoints TrackRoutePoints(std::string_view bytes, double defaultXte) {
  TRouteReadResult r = ReadTrackAsPoints(bytes, defaultXte);
  if (r.status != TRouteReadStatus::Ok && r.status != TRouteReadStatus::Damaged) return {};
  // No boat sails a leg at a thousand knots: such a record is damaged.
  for (TRoutePointRec& p : r.points)
    if (!std::isfinite(p.LegSpeed) || p.LegSpeed <= 0 || p.LegSpeed >= 1000) p.LegSpeed = 0.1;
  return std::move(r.points);
}

std::string DownloadTrackName(const std::string& trackDir, TDateTime day,
                              const std::function<bool(const std::string&)>& exists) {
  const std::string stem = DateToYYYYMMDD(day) + "-G7T (";
  for (long n = 1;; ++n) {
    const std::string name = JoinPath(trackDir, stem + std::to_string(n) + ").TRC");
    if (!exists(name) || n >= 1000000) return name;
  }
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

bool IsExchangeFile(std::string_view file) {
  if (file.size() < 4) return false;
  std::string ext;
  for (char c : file.substr(file.size() - 4)) ext += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext == ".G7T";
}
