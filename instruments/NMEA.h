// NMEA 0183 input: line assemblers (one per source) that cut byte streams
// into sentences, and the one parser they share, which checks sentences and
// writes what it understands into the navigation state record.
//
// Typical wiring (main window):
//   TNMEALineBuffer bufA;                         // owns the parser
//   TNMEALineBuffer bufB(&bufA.Parser());         // further sources share it
//   ...
//   void GPSComDataRecived() { bufA.FeedText(portA.ReadAll()); ... }
//
// All of this runs on one thread. No input makes it throw, read or write out
// of bounds, or hang.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "instruments/NMEAInfo.h"
#include "platform/AppendFile.h"
#include "platform/Clock.h"

class TWorldConvert;

// A sentence longer than this (its final carriage return included) or with
// more commas is discarded while it is being assembled: NMEA allows 82
// characters, so such a line is noise or a broken stream.
inline constexpr int kMaxSentenceLength = 255;
inline constexpr int kMaxSentenceCommas = 64;

// One assembled sentence: from its "$" or "!" up to and including a final
// carriage return, with the positions of its commas and its last "*".
// Positions are 1-based character positions in Text.
struct TNdxString {
  std::array<char, kMaxSentenceLength> Text{};
  // CommaPos[k] (k = 1..CommaCount) is the position of the k-th comma.
  std::array<uint8_t, kMaxSentenceCommas + 1> CommaPos{};
  uint8_t CommaCount = 0;
  // The last and the first "*" (0 when there is none).
  uint8_t StarPos = 0;
  uint8_t FirstStarPos = 0;
  // Characters in Text, the final carriage return included.
  int32_t Length = 0;

  std::string_view View() const {
    return {Text.data(), Length <= 0 ? 0 : std::min(static_cast<size_t>(Length), Text.size())};
  }
  // Field n (the text after comma n up to the next ",", "*" or carriage
  // return); empty when the sentence has fewer than n commas.
  std::string_view Field(int n) const;
  // Characters 2-3 and 4-6 (empty where the sentence is too short).
  std::string_view Talker() const;
  std::string_view Identifier() const;
  // Takes over another sentence: the characters and comma positions in
  // use, not the whole buffers (what lies beyond them is never read).
  void CopyUsed(const TNdxString& from);
};

// Fields of the navigation state that the last accepted sentence wrote
// (TNMEA::Updated), for the input monitor, the command-line tool and tests.
inline constexpr uint32_t kSetFix = 1u << 0;          // FixStatus
inline constexpr uint32_t kSetQuality = 1u << 1;      // FixQuality, ModeIndicator
inline constexpr uint32_t kSetSatellites = 1u << 2;
inline constexpr uint32_t kSetHDOP = 1u << 3;
inline constexpr uint32_t kSetAltitude = 1u << 4;
inline constexpr uint32_t kSetDgps = 1u << 5;         // DgpsAge, DgpsStation
inline constexpr uint32_t kSetTime = 1u << 6;         // GpsDateTime
inline constexpr uint32_t kSetPos = 1u << 7;          // Pos, RawPos, LastFixTime
inline constexpr uint32_t kSetSOG = 1u << 8;
inline constexpr uint32_t kSetCOG = 1u << 9;
inline constexpr uint32_t kSetHeading = 1u << 10;
inline constexpr uint32_t kSetMagCourse = 1u << 11;
inline constexpr uint32_t kSetVariation = 1u << 12;
inline constexpr uint32_t kSetCompass = 1u << 13;     // CompassHeading
inline constexpr uint32_t kSetMagHeading = 1u << 14;
inline constexpr uint32_t kSetDepth = 1u << 15;
inline constexpr uint32_t kSetWaterSpeed = 1u << 16;
inline constexpr uint32_t kSetWaterTemp = 1u << 17;
inline constexpr uint32_t kSetRateOfTurn = 1u << 18;
inline constexpr uint32_t kSetWind = 1u << 19;        // the five wind values and WindVMG
inline constexpr uint32_t kSetDatum = 1u << 20;       // DatumOffset
inline constexpr uint32_t kSetVelocity = 1u << 21;    // VelEast, VelNorth

// Sources of received sentences.
inline constexpr int kSourceNone = -1;
inline constexpr int kSourcePortA = 1;
inline constexpr int kSourcePortB = 2;
inline constexpr int kSourcePortC = 3;
inline constexpr int kSourceNetwork = 4;  // the replay file or the network link

// The parser. Settings are public fields, set by the main window.
class TNMEA {
 public:
  explicit TNMEA(IClock& clock = ::Clock());
  TNMEA(const TNMEA&) = delete;
  TNMEA& operator=(const TNMEA&) = delete;

  // The "AP Capability" index (name cleaning of output, MakeDeviceName).
  int32_t Capability = 0;
  // Called with every received sentence before it is checked (input monitor).
  std::function<void(std::string_view text)> OnSentence;
  // Called with every accepted "!VDM" / "!VDO" sentence (the AIS decoder).
  std::function<void(const TNdxString& sentence, bool ownVessel)> OnAisSentence;
  // Called after an accepted sentence has been handled; Updated tells what
  // it wrote.
  std::function<void(const TNdxString& sentence)> OnAccepted;

  TNMEAINFO Info;
  // A copy of the last accepted sentence, for GetField and for callers
  // looking back at it (the handlers work on the sentence itself).
  TNdxString LastLine;
  // Accepted sentences whose identifier occurs in CaptureFilter (or all,
  // with "*") are appended to CaptureFile.
  bool CaptureOn = false;
  std::string CaptureFilter;
  std::string CaptureFile;
  // When false nothing is appended to Info.OutBuffer.
  bool OutputEnabled = true;
  // Identifiers of received "$" sentences copied to the output ("*": all).
  std::string PassFilter;
  // Where the sentence being handled came from (kSource*), set by its line
  // buffer, and the source that output currently goes back to (-1: none):
  // a sentence is never passed through to the link it came from.
  int CurrentSource = kSourceNone;
  int EchoSource = kSourceNone;
  // Kinds of sentence received (kSeen* bits).
  uint32_t Seen = 0;
  // What the last accepted sentence wrote (kSet* bits).
  uint32_t Updated = 0;
  // The main window's chart converter, for AIS screen positions.
  TWorldConvert* Converter = nullptr;
  bool AisChanged = false;
  // "!" sentences are ignored while false.
  bool AisEnabled = true;
  int32_t OwnMMSI = 0;
  int32_t TargetKeyCounter = 2147483647;
  // 0: checksum required; 1: optional but checked when present; 2 or more:
  // "$" sentences are not checked ("!" sentences keep rule 1).
  int32_t ChecksumMode = 1;
  // Below this speed over ground (knots) the compass heading is the heading.
  double CogSwitchSpeed = 3.0;

  // Handles one "$" sentence / one "!" sentence.
  void ParseSentence(const TNdxString& sentence);
  void ParseEncapsulated(const TNdxString& sentence);
  // Starts capturing to `fileName` (nothing when it is empty).
  void SetCapture(const std::string& fileName, const std::string& filter);
  // Field n of LastLine.
  std::string_view GetField(int n) const { return LastLine.Field(n); }
  bool ChecksumOK(const TNdxString& sentence) const;
  // Appends to Info.OutBuffer unless output is off or the buffer already
  // holds kMaxOutBuffer characters or more.
  void AppendOutput(std::string_view text);
  static constexpr size_t kMaxOutBuffer = 65535;
  // Passed-through sentences stop at this much queued output, so that a
  // busy input never crowds out the plotter's own steering sentences.
  static constexpr size_t kMaxPassThroughBuffer = 49152;

  IClock& GetClock() const { return clock_; }

  // Values that arrive already decoded (from a Signal K server), in the
  // record's units. Each lands where the handler of the sentence that
  // carries the same value puts it, with the same priority marks (Seen),
  // the same derived values and the same Updated bits; NoDataValue where
  // the source says it has no value.
  //
  // A valid fix, as RMC's (kSeenRMC): position (latitude, longitude in
  // radians, plus DatumOffset), its time, FixStatus; a fix quality of 0 so
  // far becomes 1. Speed and course are derived from successive fixes
  // while none are received, as for GGA.
  void TakeFix(double lat, double lon);
  // The receiver has no fix (RMC with status "V").
  void TakeNoFix();
  // Speed over ground (knots) and course over ground (true), either or
  // both, as RMC's: the heading follows the course, or the compass below
  // CogSwitchSpeed; velocity and magnetic course follow.
  void TakeMotion(std::optional<double> sogKnots, std::optional<double> cog);
  // Magnetic variation, east positive (the model's when it is known).
  void TakeVariation(double variation);
  // As HDT, HDM, VHW's water speed (knots), DPT (metres below the
  // transducer), MTW (degrees Celsius) and ROT (degrees a minute).
  void TakeHeadingTrue(double heading);
  void TakeHeadingMagnetic(double heading);
  void TakeWaterSpeed(double knots);
  void TakeDepth(double metres);
  void TakeWaterTemp(double celsius);
  void TakeRateOfTurn(double degreesPerMinute);
  // Wind as MWV "R" (apparent, relative to the bow), MWV "T" (true,
  // relative to the bow) or MWD (true direction from north); speed in
  // metres per second. An angle of NoDataValue is no wind of that kind.
  enum class TWindKind { Apparent, TrueRelative, TrueDirection };
  void TakeWind(double angle, double speedMs, TWindKind kind);
  // As GGA's quality block: fix quality (0 none, 1 fix, 2 differential,
  // ...), satellites in use, HDOP, antenna altitude (metres), differential
  // age (seconds) and station; any of them may be absent.
  struct TGnss {
    std::optional<int32_t> Quality, Satellites, DgpsAge, DgpsStation;
    std::optional<double> HDOP, Altitude;
  };
  void TakeGnss(const TGnss& gnss);
  // UTC date and time from the receiver (as ZDA, kSeenDate), or only the
  // time of the latest fix, taken while no dated source has been seen.
  void TakeDateTime(TDateTime utc);
  void TakeFixTime(TDateTime utc);

 private:
  void Capture(const TNdxString& sentence);
  // Runs the handler of the sentence's identifier.
  void Dispatch(const TNdxString& L);
  void HandleRMC(const TNdxString& L);
  void TakeFixAndMotion(const TNdxString& L, int latField, int sogField, int cogField, int varField,
                        bool compassWhenSlow);
  void HandleGGA(const TNdxString& L);
  void HandleGLL(const TNdxString& L);
  void HandleRMA(const TNdxString& L);
  void HandleVTG(const TNdxString& L);
  void HandleHDT(const TNdxString& L);
  void HandleHDM(const TNdxString& L);
  void HandleHDG(const TNdxString& L);
  void HandleVHW(const TNdxString& L);
  void HandleDBT(const TNdxString& L);
  void HandleDPT(const TNdxString& L);
  void HandleMTW(const TNdxString& L);
  void HandleROT(const TNdxString& L);
  void HandleZDA(const TNdxString& L);
  void HandleDTM(const TNdxString& L);
  void HandleVWR(const TNdxString& L, bool trueWind);
  void HandleMWV(const TNdxString& L);
  void HandleMWD(const TNdxString& L);
  // Wind update for one sentence: angle (NoDataValue when none), speed in
  // metres per second, and which kind of wind it reports.
  void UpdateWind(double angle, double speed, TWindKind kind, uint32_t seenBit);
  void ZeroWind();
  void DeriveFromFixes();
  // The end of RMC's motion: the compass heading below CogSwitchSpeed
  // (compassWhenSlow), velocity, magnetic course, source.
  void FinishMotion(bool compassWhenSlow);
  void SetVelocity();
  void SetPosFromRaw();
  double TodayUTC() const;

  IClock& clock_;
  TAppendFile captureFile_;
  TMonoTime captureRetryAt_{0};
};

// A line assembler: one per source (port A, B, C, network or replay file).
class TNMEALineBuffer {
 public:
  // Without a parser the buffer creates its own and frees it. The clock is
  // the parser's when one is given, the program clock otherwise.
  explicit TNMEALineBuffer(TNMEA* parser = nullptr);
  TNMEALineBuffer(TNMEA* parser, IClock& clock);
  ~TNMEALineBuffer();
  TNMEALineBuffer(const TNMEALineBuffer&) = delete;
  TNMEALineBuffer& operator=(const TNMEALineBuffer&) = delete;

  // Assembles sentences from received bytes and hands each complete one to
  // the parser. A sentence may arrive split over any number of calls.
  void Feed(const void* bytes, size_t count);
  void FeedText(std::string_view text) { Feed(text.data(), text.size()); }
  // Drops the sentence being assembled.
  void Reset();
  // Restarts the idle time.
  void Touch();
  // Time since the last completed sentence (or creation, or Touch).
  TMonoTime IdleTime() const;

  // Opens a replay file (closing any open one); false when the name is empty
  // or the file cannot be opened.
  bool OpenReplay(const std::string& fileName);
  void CloseReplay();
  // Reads one line of the replay file and feeds it with a line end. At the
  // end of the file nothing more is fed; a line holding only the character
  // 0x1A rewinds the file, so a file ending with it plays in a loop. A read
  // error rewinds the file and feeds nothing. Lines longer than
  // kMaxReplayLine are skipped.
  void ReplayStep();
  static constexpr size_t kMaxReplayLine = 1024;

  TNMEA& Parser() const { return *parser_; }
  bool OwnsParser() const { return owned_ != nullptr; }
  // The source the sentences of this buffer come from (kSource*).
  int Source = kSourceNone;
  int64_t LineCount() const { return lineCount_; }
  TMonoTime LastLineTime() const { return lastLineTime_; }
  enum class TState : uint8_t {
    Waiting,       // for "$" or "!"
    Sentence,      // inside a "$" sentence
    Skipping,      // the rest of an overlong line
    Encapsulated,  // inside a "!" sentence
  };
  TState State() const { return state_; }
  const TNdxString& Line() const { return line_; }
  const std::string& ReplayFileName() const { return replayFileName_; }
  bool ReplayOpen() const { return replayFile_ != nullptr; }

 private:
  void Start(char c, TState state);
  void Complete();
  void Discard();

  std::unique_ptr<TNMEA> owned_;
  TNMEA* parser_;
  IClock& clock_;
  TNdxString line_;
  TState state_ = TState::Waiting;
  int64_t lineCount_ = 0;
  TMonoTime lastLineTime_{0};
  std::string replayFileName_;
  std::FILE* replayFile_ = nullptr;
};
