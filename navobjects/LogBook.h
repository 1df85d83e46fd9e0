// The log book, the log counter (distance run, running time, fuel) and the
// alarm speaker.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"

class TIniFile;
class TAppendFile;
struct TNMEAINFO;

// ---------------------------------------------------------------------------
// Log book

// Categories of entries; an entry of category c is written when c is 7 or
// bit c of "Auto Loggbook" is set.
inline constexpr int kLogStartStop = 0;   // "Brismare Started", "Brismare Terminated"
inline constexpr int kLogRoute = 1;       // "Route Started at ...", "Route Ending at ..."
inline constexpr int kLogChart = 2;       // (no entries)
inline constexpr int kLogNextWaypoint = 3;
inline constexpr int kLogNmeaError = 4;
inline constexpr int kLogXteError = 5;
inline constexpr int kLogUser = 7;        // typed entries and counter resets: always

// The first line of a new log book file (an empty line follows it).
inline constexpr const char* kLogBookHeader = "Date       Time    , Latitude   , Longitude   , Log dist. , Message";

// An append-only text file of time- and position-stamped lines
// ("LOGBOOK.TXT"). Each line is written whole and flushed at once; a line
// cut off by a crash is moved aside when the file is opened again.
class TLOGGBOOK {
 public:
  // `info` gives the boat's position for each entry (may be null: the
  // position is then 0, 0).
  explicit TLOGGBOOK(const TNMEAINFO* info = nullptr);
  ~TLOGGBOOK();
  TLOGGBOOK(const TLOGGBOOK&) = delete;
  TLOGGBOOK& operator=(const TLOGGBOOK&) = delete;

  struct Entry {
    std::string message;
    int category;
  };

  // A name without a directory is taken from `programDir` (the data
  // directory); an empty name: no log book.
  void SetLogFile(const std::string& fileName, const std::string& programDir);
  void ClearLogFile();
  // Writes one line; false when it could not be written (OnWriteError has
  // been told).
  bool AppendLine(const std::string& text);
  // The entry line for the message (local time, position, log), appended.
  bool AddEntry(const std::string& message);
  // The "once" rule: written when the category is allowed and either it is
  // 7 or it differs from the last category offered and allowed.
  void LogOnce(const std::string& message, int category);
  // The "always" rule: written whenever the category is allowed.
  void Log(const std::string& message, int category);
  // The category is allowed by AutoMask (7 always is).
  bool Allowed(int category) const;

  // The entry line as it goes to the file (without the line end).
  std::string EntryLine(const std::string& message) const;

  std::string LogFileName;
  bool LogEnabled = false;
  uint32_t AutoMask = 0;
  int LastCategory = 7;
  // "Total Distance" in nautical miles, shown in each entry (may be null).
  const double* TotalDistance = nullptr;
  // Told once when an entry cannot be written (and again after a write
  // succeeded in between), with the reason; the window shows it without
  // stopping anything.
  std::function<void(const std::string&)> OnWriteError;
  // The entries written in this run, newest last (the last 1000).
  std::deque<Entry> Entries;

 private:
  bool Open();
  const TNMEAINFO* info_;
  std::unique_ptr<TAppendFile> file_;
  bool failing_ = false;
};

// ---------------------------------------------------------------------------
// Log counter

// Consumption at a speed: tenths of a knot and tenths of a fuel unit per
// hour, from the settings section "Fuel Data".
struct TFuelEntry {
  int Speed = 0;
  int Rate = 0;
  friend bool operator==(const TFuelEntry&, const TFuelEntry&) = default;
};

// The speeds over ground sampled every tick, turned into distance run,
// running time and fuel each time the counter is read. Intervals are
// measured on the monotonic clock: a change of the system clock (by GPS,
// by hand or for daylight saving) neither freezes nor inflates the log.
class TLogDist {
 public:
  explicit TLogDist(IClock& clock = Clock());
  TLogDist(const TLogDist&) = delete;
  TLogDist& operator=(const TLogDist&) = delete;

  // A new interval begins; the samples so far are dropped.
  void Reset();
  void AddSpeed(double knots);
  // Whole seconds since the last reading (or Reset).
  int64_t SecondsSinceRead() const;
  // Nautical miles run since the last reading, and a new interval. Sets
  // AvgSpeed, Moving, Interval (days) and FuelUsed (fuel units used in the
  // interval).
  double ReadLog();

  // Reads "Fuel Data": one key per speed in tenths of a knot, its value the
  // rate in tenths of a fuel unit per hour. Entries are kept in order of
  // speed; keys that are not whole numbers are skipped and named in
  // `skipped`. Returns the number of entries kept.
  int LoadFuelTable(const TIniFile& ini, const std::string& section, std::vector<std::string>* skipped = nullptr);
  // The table can count fuel (two or more entries).
  bool CountsFuel() const { return FuelTable.size() >= 2; }
  // Tenths of a fuel unit per hour at a speed in knots: the first entry's
  // rate at 0, straight lines between entries, the last entry's rate beyond
  // it (and the first's below it).
  double FuelRate(double knots) const;

  std::vector<TFuelEntry> FuelTable;
  double Cutoff = 0.2;
  double SpeedSum = 0;
  int32_t Samples = 0;
  double AvgSpeed = 0;
  double Interval = 0;  // days
  double FuelUsed = 0;  // fuel units
  bool Moving = false;

 private:
  IClock& clock_;
  TMonoTime start_;
};

// ---------------------------------------------------------------------------
// Alarm speaker

// Where sounds go: a platform sound player, or a test's recorder.
class ISoundSink {
 public:
  virtual ~ISoundSink() = default;
  // Starts playing a sound file and returns at once; false when the file
  // cannot be played.
  virtual bool PlayFile(const std::string& path) = 0;
  // The system's alert sound.
  virtual void Beep() = 0;
};

class TSpeaker {
 public:
  TSpeaker() = default;
  TSpeaker(const TSpeaker&) = delete;
  TSpeaker& operator=(const TSpeaker&) = delete;

  // SoundFile := the file, then Replay.
  void Play(const std::string& file);
  // Nothing while disabled or for "NONE" (any case). Otherwise the sound
  // file when it exists, else the general sound ("Sound1"), else the
  // system's alert sound. A name without a directory is looked for in
  // SoundDirs in turn.
  void Replay();

  std::string SoundFile;
  bool Enabled = false;
  // The general sound, played for a missing or empty sound file.
  std::string GeneralSound = "Ding.wav";
  // Where names without a directory are looked for: the data directory,
  // then the sounds shipped with the program (each with a trailing "/").
  std::vector<std::string> SoundDirs;
  ISoundSink* Sink = nullptr;
  // What the last Replay played ("" for nothing, "beep" for the alert).
  std::string LastPlayed;

 private:
  std::string Resolve(const std::string& name) const;
};
