// The log book, the log counter (distance run, engine hours, fuel) and the
// alarm speaker. (Only what the main window needs at start so far; these
// come with their own work.)
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TIniFile;

class TLOGGBOOK {
 public:
  TLOGGBOOK() = default;
  TLOGGBOOK(const TLOGGBOOK&) = delete;
  TLOGGBOOK& operator=(const TLOGGBOOK&) = delete;

  struct Entry {
    std::string message;
    int category;
  };

  // A name without a directory is taken from `programDir`.
  void SetLogFile(const std::string& fileName, const std::string& programDir);
  void ClearLogFile();
  // An entry of a category; category 7 is always taken, the others when
  // their bit (1 << category) is in AutoMask.
  void Log(const std::string& message, int category);

  std::string LogFileName;
  bool LogEnabled = false;
  uint32_t AutoMask = 0;
  int LastCategory = 7;
  // Entries taken so far in this run. Writing them to the log book file
  // comes with the log book's own work.
  std::vector<Entry> Entries;
};

class TLogDist {
 public:
  static constexpr int kFuelTableSize = 22;
  struct FuelEntry {
    int16_t Speed;  // tenths of a knot
    int16_t Rate;   // tenths of a fuel unit per hour
  };

  TLogDist() = default;
  TLogDist(const TLogDist&) = delete;
  TLogDist& operator=(const TLogDist&) = delete;

  void Reset();
  // Reads the fuel table from a section of the settings file: one key per
  // speed (tenths of a knot), its value the rate; keys in text order
  // (ignoring case); at most kFuelTableSize entries are kept. Throws
  // std::invalid_argument when a key is not a whole number. Returns the
  // number of entries.
  int LoadFuelTable(const TIniFile& ini, const std::string& section);

  double Cutoff = 0.2;
  int FuelTableHigh = -1;  // entries - 1
  std::array<FuelEntry, kFuelTableSize> FuelTable{};
  double SpeedSum = 0;
  int32_t Samples = 0;
  double AvgSpeed = 0;
};

class TSpeaker {
 public:
  TSpeaker() = default;
  TSpeaker(const TSpeaker&) = delete;
  TSpeaker& operator=(const TSpeaker&) = delete;

  std::string SoundFile;
  bool Enabled = false;
};
