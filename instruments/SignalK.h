// What a Signal K server sends over its stream, read into the plotter's
// navigation state and AIS table.
//
// The server speaks JSON, one message a WebSocket frame: first a "hello"
// (its name, version and the context of its own vessel, "self"), then
// deltas:
//   {"context":"vessels.urn:mrn:imo:mmsi:230000001",
//    "updates":[{"$source":"n2k.115","timestamp":"2025-06-01T12:00:00Z",
//                "values":[{"path":"navigation.speedOverGround","value":3.1}]}]}
// with SI units (metres, metres a second, radians, kelvin) and positions in
// degrees. A delta without a context, or with "vessels.self" or the hello's
// self, is about the own vessel; "vessels.urn:mrn:imo:mmsi:..." and
// "atons.urn:mrn:imo:mmsi:..." are other stations.
//
// Own vessel: each value lands in TNMEAINFO through the parser's Take*
// entry points, where the NMEA sentence handler of the same value puts it
// (position as RMC, speed and course as RMC, headings as HDT and HDM,
// depth as DPT, wind as MWV and MWD, GNSS quality as GGA, ...). A null
// value is "no data", never 0. Values of one update are taken together
// (the position before the motion, as in RMC). Where two sources ($source)
// deliver the same path, the first keeps it until it has been silent for
// kSourceHold.
// Depth: below the transducer as the record keeps it; a depth below the
// surface less the transducer's depth (the server's, or the settings'
// TransducerDepth), below the keel plus the server's transducer-to-keel
// distance, taken only while no depth below the transducer comes.
//
// Other stations: what the server tells of each (position, speed, course,
// heading, rate of turn, navigational status, name, call sign,
// destination, dimensions, draught, AIS class) is kept per context and
// handed to the AIS decoder as the AIS message that would carry it (type
// 1 or 18 for a vessel's position, 5 or 24 for its static data, 4 for a
// base station, 21 for an aid to navigation), so that the table, drawing
// and alarms treat it as a target heard on the radio.
//
// Bad input is dropped and counted, never a crash: a message that is not
// JSON or too large (kMaxMessage), numbers that are not finite or out of
// range, a value of an unexpected type, contexts beyond kMaxContexts.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "foundation/Types.h"
#include "instruments/AISMessage.h"
#include "instruments/NMEAInfo.h"
#include "platform/Clock.h"

class TAisDecoder;
class TNMEA;
class TJsonValue;

struct TSignalKCounters {
  int64_t Messages = 0;        // messages taken
  int64_t Deltas = 0;          // deltas read
  int64_t Values = 0;          // values taken
  int64_t NotJson = 0;         // messages that are not JSON, or not an object
  int64_t TooLarge = 0;        // messages longer than kMaxMessage
  int64_t BadNumbers = 0;      // numbers not finite or out of range
  int64_t BadTypes = 0;        // values of an unexpected type, malformed deltas
  int64_t OtherSource = 0;     // values of a second source for a held path
  int64_t TargetsRefused = 0;  // stations beyond the cap, or without an MMSI
  // Dropped in all.
  int64_t Dropped() const { return NotJson + TooLarge + BadNumbers + BadTypes + TargetsRefused; }
};

class TSignalKReader {
 public:
  // The AIS decoder may be absent: other stations are then ignored.
  TSignalKReader(TNMEA& parser, TAisDecoder* ais);
  ~TSignalKReader();
  TSignalKReader(const TSignalKReader&) = delete;
  TSignalKReader& operator=(const TSignalKReader&) = delete;

  // Metres from the surface down to the transducer ("Transducer Depth"),
  // for a depth given below the surface only.
  double TransducerDepth = 0.5;
  // Called with a line for the input monitor for every message taken
  // (printable ASCII, at most kMonitorLine characters).
  std::function<void(std::string_view line)> OnMessage;

  enum class TKind { Hello, Delta, Other, Dropped };
  // Takes one message of the stream.
  TKind Take(std::string_view message);
  // A new connection: the hello is waited for again, held sources are
  // forgotten (the stations are kept).
  void Restart();

  // From the hello ("" before one came).
  const std::string& SelfContext() const { return self_; }
  const std::string& ServerName() const { return serverName_; }
  const std::string& ServerVersion() const { return serverVersion_; }
  const TSignalKCounters& Counters() const { return counters_; }
  // Stations known.
  size_t Contexts() const { return targets_.size(); }
  // The last delta's time stamp (UTC), 0 before one came.
  TDateTime LastTimestamp() const { return lastTimestamp_; }

  static constexpr size_t kMaxMessage = 512 * 1024;
  static constexpr size_t kMaxContexts = 50000;
  static constexpr size_t kMaxContextLength = 200;
  static constexpr size_t kMonitorLine = 240;
  static constexpr std::chrono::seconds kSourceHold{10};

  // The subscription the plotter sends after opening the stream with
  // "subscribe=none": the own vessel's paths it uses, and every station.
  static std::string SubscribeMessage();
  // The monitor's line for a message: its text with anything but printable
  // ASCII replaced by "?" and cut to kMonitorLine characters.
  static std::string MonitorLine(std::string_view message);

  // An ISO 8601 UTC time ("2025-06-01T12:00:00.5Z", an offset "+02:00"
  // allowed) as TDateTime; none when it is not one.
  static std::optional<TDateTime> ReadTimestamp(std::string_view text);
  // The MMSI at the end of a context ("...urn:mrn:imo:mmsi:230000001");
  // none when there is none.
  static std::optional<int32_t> ContextMmsi(std::string_view context);

 private:
  // What the reader keeps of a station between deltas.
  static constexpr int32_t kStatusNotDefined = 15;
  struct TTarget {
    int32_t Mmsi = 0;
    bool Aton = false;
    // The own vessel's transponder (its reports come as VDO): no target.
    bool OwnTransponder = false;
    // 'A', 'B', 'S' (base station), 'N' (aid to navigation), 0 not told.
    char Class = 0;
    int32_t Lat = kAisLatNotAvailable, Lon = kAisLonNotAvailable;
    int32_t Speed = kAisSpeedNotAvailable, Course = kAisCourseNotAvailable, Heading = kAisHeadingNotAvailable;
    int32_t Turn = kAisTurnNotAvailable;
    int32_t NavStatus = kStatusNotDefined;
    TAisText<20> Name, Destination;
    TAisText<7> CallSign;
    double Length = 0, Beam = 0, FromBow = NoDataValue, FromCenter = 0, Draught = 0;
  };
  struct TOwnFrame;
  void Hello(const TJsonValue& msg);
  void Delta(const TJsonValue& msg);
  // Calls take(path, value) for every value of an update (counting the
  // malformed ones).
  template <class F>
  void EachValue(const TJsonValue& update, F&& take);
  void OwnUpdate(const TJsonValue& update, std::string_view source);
  bool HoldSource(const std::string& path, std::string_view source);
  void OwnValue(TOwnFrame& f, std::string_view path, const TJsonValue& value);
  void ApplyOwn(const TOwnFrame& f);
  void TargetUpdate(TTarget& t, const TJsonValue& update);
  void TargetValue(TTarget& t, std::string_view path, const TJsonValue& value, bool& motion, bool& statics);
  void ApplyTarget(const TTarget& t, bool motion, bool statics);
  // The number of a value, counted as bad when it is not a finite number
  // within [lo, hi]; NoDataValue for null.
  std::optional<double> Number(const TJsonValue& v, double lo, double hi);
  // A position value in degrees (NoDataValue for null); false, counted,
  // when it is not one.
  bool Position(const TJsonValue& v, double& lat, double& lon);

  TNMEA& parser_;
  TAisDecoder* ais_;
  IClock& clock_;
  std::string self_;
  std::string serverName_;
  std::string serverVersion_;
  TSignalKCounters counters_;
  TDateTime lastTimestamp_ = 0;
  TDateTime updateTimestamp_ = 0;
  struct THeld {
    std::string source;
    TMonoTime last{0};
  };
  std::unordered_map<std::string, THeld> held_;
  // The last wind values, for an update that brings only one half.
  double apparentAngle_, apparentSpeed_, trueAngle_, trueSpeed_, trueDirection_;
  // Depth rules (see above).
  bool belowTransducerSeen_ = false;
  double surfaceToTransducer_, transducerToKeel_;
  std::unordered_map<std::string, TTarget> targets_;
};
