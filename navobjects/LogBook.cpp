#include "navobjects/LogBook.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "foundation/GenUtil.h"
#include "foundation/IniFile.h"
#include "foundation/NumText.h"
#include "instruments/NMEAInfo.h"
#include "platform/AppendFile.h"
#include "platform/Paths.h"
#include "platform/TextBasics.h"

namespace {

bool HasDirectory(const std::string& name) { return name.find_first_of("/\\") != std::string::npos; }

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

constexpr size_t kKeptEntries = 1000;

}  // namespace

// ---------------------------------------------------------------------------
// Log book

TLOGGBOOK::TLOGGBOOK(const TNMEAINFO* info) : info_(info) {}

TLOGGBOOK::~TLOGGBOOK() = default;

void TLOGGBOOK::SetLogFile(const std::string& fileName, const std::string& programDir) {
  ClearLogFile();
  if (fileName.empty()) return;
  LogFileName = HasDirectory(fileName) ? fileName : programDir + fileName;
  LogEnabled = true;
}

void TLOGGBOOK::ClearLogFile() {
  LogFileName.clear();
  LogEnabled = false;
  failing_ = false;
}

bool TLOGGBOOK::Allowed(int category) const {
  if (category == kLogUser) return true;
  return category >= 0 && category < 32 && (AutoMask & (1u << category)) != 0;
}

std::string TLOGGBOOK::EntryLine(const std::string& message) const {
  TFPoint pos{};
  if (info_) pos = info_->Pos;
  const double log = TotalDistance ? *TotalDistance : 0;
  // A fixed date form: the columns of the header, and no comma in it.
  return DateTimeToText(NowLocal()) + ", " + LatToStr(pos.Y) + ", " + LonToStr(pos.X) + ", " +
         FloatToStrWD(3, 2, std::isfinite(log) ? log : 0) + "nm, " + message;
}

bool TLOGGBOOK::AppendLine(const std::string& text) {
  if (!LogEnabled) return false;
  // The file is opened for each line and closed after it, so nothing holds
  // it between entries (the user may read, copy or move it).
  TAppendFile file;
  std::string error;
  bool ok = file.Open(LogFileName, TRecordFraming::Lines());
  if (ok && file.Size() == 0) ok = file.Append(std::string(kLogBookHeader) + "\r\n", true) && file.Append("\r\n", true);
  // One line of the log book, on the disk before the call returns: a power
  // cut right after an entry keeps it.
  std::string line;
  line.reserve(text.size() + 2);
  for (char c : text) line += (c == '\r' || c == '\n') ? ' ' : c;
  line += "\r\n";
  if (ok) ok = file.Append(line, true);
  if (!ok) error = file.LastError();
  if (!file.Close() && ok) {
    ok = false;
    error = "cannot close " + LogFileName;
  }
  if (ok) {
    failing_ = false;
    return true;
  }
  if (!failing_ && OnWriteError) OnWriteError("The log book could not be written: " + error);
  failing_ = true;
  return false;
}

bool TLOGGBOOK::AddEntry(const std::string& message) {
  Entries.push_back({message, LastCategory});
  while (Entries.size() > kKeptEntries) Entries.pop_front();
  return AppendLine(EntryLine(message));
}

void TLOGGBOOK::LogOnce(const std::string& message, int category) {
  if (!Allowed(category)) return;
  const bool write = category == kLogUser || category != LastCategory;
  LastCategory = category;
  if (write) AddEntry(message);
}

void TLOGGBOOK::Log(const std::string& message, int category) {
  if (!Allowed(category)) return;
  LastCategory = category;
  AddEntry(message);
}

// ---------------------------------------------------------------------------
// Log counter

TLogDist::TLogDist(IClock& clock) : clock_(clock), start_(clock.MonoNow()) {}

void TLogDist::Reset() {
  SpeedSum = 0;
  Samples = 0;
  AvgSpeed = 0;
  start_ = clock_.MonoNow();
}

void TLogDist::AddSpeed(double knots) {
  // An unknown or absurd speed counts as standing still.
  SpeedSum += std::isfinite(knots) && knots > 0 && knots < 1000 ? knots : 0;
  ++Samples;
}

int64_t TLogDist::SecondsSinceRead() const {
  const double s = std::chrono::duration<double>(clock_.MonoNow() - start_).count();
  return RoundToInt64(s, 0);
}

double TLogDist::FuelRate(double knots) const {
  if (FuelTable.empty()) return 0;
  const double tenths = std::isfinite(knots) ? knots * 10 : 0;
  if (tenths <= FuelTable.front().Speed) return FuelTable.front().Rate;
  if (tenths >= FuelTable.back().Speed) return FuelTable.back().Rate;
  for (size_t i = 1; i < FuelTable.size(); ++i) {
    const TFuelEntry& a = FuelTable[i - 1];
    const TFuelEntry& b = FuelTable[i];
    if (tenths > b.Speed) continue;
    if (b.Speed == a.Speed) return b.Rate;
    return a.Rate + (b.Rate - a.Rate) * (tenths - a.Speed) / (b.Speed - a.Speed);
  }
  return FuelTable.back().Rate;
}

double TLogDist::ReadLog() {
  AvgSpeed = 0;
  FuelUsed = 0;
  const TMonoTime now = clock_.MonoNow();
  if (Samples <= 0) {
    Interval = 0;
    Moving = false;
    return 0;
  }
  Interval = std::max(0.0, std::chrono::duration<double>(now - start_).count()) / 86400.0;
  const double avg = SpeedSum / Samples;
  // An average at the cutoff does not count; the sum of many equal
  // samples may lie a rounding error above it.
  Moving = std::isfinite(avg) && avg > Cutoff + 1e-9;
  double distance = 0;
  if (Moving) {
    AvgSpeed = avg;
    distance = avg * Interval * 24;
  }
  // The engine burns fuel whether the boat moves or not: a stopped boat is
  // charged the rate at speed 0 (the first entry's).
  if (CountsFuel()) {
    const double fuel = FuelRate(AvgSpeed) / 10.0 * Interval * 24;
    FuelUsed = std::isfinite(fuel) && fuel > 0 ? fuel : 0;
  }
  start_ = now;
  SpeedSum = 0;
  Samples = 0;
  return std::isfinite(distance) ? distance : 0;
}

int TLogDist::LoadFuelTable(const TIniFile& ini, const std::string& section, std::vector<std::string>* skipped) {
  FuelTable.clear();
  for (const auto& [key, value] : ini.ReadSectionValues(section)) {
    const std::optional<int32_t> speed = TryStrToInt(std::string(TrimSpaceTab(key)));
    if (!speed || *speed < 0) {
      if (skipped) skipped->push_back(key);
      continue;
    }
    FuelTable.push_back({std::clamp<int32_t>(*speed, 0, 32767),
                         std::clamp<int32_t>(TryStrToInt(std::string(TrimSpaceTab(value))).value_or(0), 0, 32767)});
  }
  // In order of speed, whatever the order or the digits of the keys; one
  // entry per speed (the last given).
  std::stable_sort(FuelTable.begin(), FuelTable.end(),
                   [](const TFuelEntry& a, const TFuelEntry& b) { return a.Speed < b.Speed; });
  std::vector<TFuelEntry> unique;
  for (const TFuelEntry& e : FuelTable) {
    if (!unique.empty() && unique.back().Speed == e.Speed)
      unique.back() = e;
    else
      unique.push_back(e);
  }
  FuelTable = std::move(unique);
  return static_cast<int>(FuelTable.size());
}

// ---------------------------------------------------------------------------
// Alarm speaker

std::string TSpeaker::Resolve(const std::string& name) const {
  if (name.empty() || name.front() == '/' || FileExists(name)) return name;
  // Names stored by the classic program may carry a Windows directory:
  // the file's own name is looked for.
  const size_t slash = name.find_last_of("\\/");
  const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
  for (const std::string& dir : SoundDirs) {
    if (const std::optional<std::string> found = FindFileCaseInsensitive(dir, file)) return *found;
  }
  return name;
}

void TSpeaker::Play(const std::string& file) {
  SoundFile = file;
  Replay();
}

void TSpeaker::Replay() {
  LastPlayed.clear();
  if (!Enabled) return;
  if (FoldCase(TrimSpaceTab(SoundFile)) == "none") return;
  std::vector<std::string> candidates;
  if (!SoundFile.empty()) candidates.push_back(Resolve(SoundFile));
  if (!GeneralSound.empty()) candidates.push_back(Resolve(GeneralSound));
  for (const std::string& path : candidates) {
    if (!FileExists(path)) continue;
    if (Sink && Sink->PlayFile(path)) {
      LastPlayed = path;
      return;
    }
  }
  if (Sink) Sink->Beep();
  LastPlayed = "beep";
}
