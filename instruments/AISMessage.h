// AIS messages (ITU-R M.1371) as they arrive in the payload of "!" sentences:
// the six-bit armour, a bounds-checked reader over the bits, and the decoding
// of the message types the plotter uses into one flat record of raw values.
//
// Everything here works on untrusted data: a character outside the six-bit
// alphabet, fill bits outside 0-5, a payload longer than kAisMaxPayloadChars
// or a read past the last bit are refused, never read out of bounds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The longest payload taken, in characters (1536 bits). The longest message
// on the air occupies five slots, 1008 bits or 168 characters.
inline constexpr int kAisMaxPayloadChars = 256;

// "Not available" values of the raw fields.
inline constexpr int32_t kAisLatNotAvailable = 54600000;   // 91 degrees, 1/10 000 minute
inline constexpr int32_t kAisLonNotAvailable = 108600000;  // 181 degrees
inline constexpr int32_t kAisSpeedNotAvailable = 1023;
inline constexpr int32_t kAisCourseNotAvailable = 3600;
inline constexpr int32_t kAisHeadingNotAvailable = 511;
inline constexpr int32_t kAisTurnNotAvailable = -128;

// Radians per raw position unit (1/10 000 minute of arc).
inline constexpr double kAisRawToRad = 2.908882086657216e-08;

// The six-bit value of a payload character ("0"-"W" are 0-39, "`"-"w" are
// 40-63), or -1 for any other byte.
int AisSixBit(unsigned char c);
// The character of a six-bit text value: 0-31 are "@" to "_", 32-63 space to
// "?", except 39, which is the grave accent; with zeroAsSpace value 0 is a
// space instead of "@" (names, call signs, destinations).
char AisTextChar(unsigned value, bool zeroAsSpace);

// Text of at most N characters, kept inside the record (no allocation).
template <size_t N>
struct TAisText {
  std::array<char, N> Chars{};
  uint16_t Length = 0;

  std::string_view View() const { return {Chars.data(), Length < N ? size_t{Length} : N}; }
  bool Empty() const { return Length == 0; }
  void Clear() { Length = 0; }
  void Assign(std::string_view s) {
    Length = static_cast<uint16_t>(s.size() < N ? s.size() : N);
    for (size_t i = 0; i < Length; ++i) Chars[i] = s[i];
  }
  friend bool operator==(const TAisText& a, const TAisText& b) { return a.View() == b.View(); }
};

// The payload bits of one message.
class TAisBits {
 public:
  void Clear() {
    chars_ = 0;
    bitCount_ = 0;
    ok_ = true;
  }
  // Appends payload characters. False, with nothing appended, when one of
  // them lies outside the six-bit alphabet or the payload would grow beyond
  // kAisMaxPayloadChars.
  bool Append(std::string_view chars);
  // Sets the number of fill bits of the last character. False when it is not
  // 0 to 5 or larger than the bits there are.
  bool SetFill(int fill);
  // Clear, Append and SetFill in one.
  bool Assign(std::string_view chars, int fill) {
    Clear();
    return Append(chars) && SetFill(fill);
  }

  int BitCount() const { return bitCount_; }
  int CharCount() const { return chars_; }
  // Bits start .. start + width - 1 (width 1 to 32), most significant first.
  // A read outside the message gives 0 and clears Ok().
  uint32_t U(int start, int width) const;
  // The same bits as a two's-complement number.
  int32_t S(int start, int width) const;
  // Up to `count` six-bit characters from `start`, as many as lie inside the
  // message, into `out` (at least `count` characters); returns the number
  // written.
  int Text(int start, int count, bool zeroAsSpace, char* out) const;
  // No read has gone past the message since the last Clear or ResetOk.
  bool Ok() const { return ok_; }
  void ResetOk() const { ok_ = true; }

 private:
  std::array<uint8_t, kAisMaxPayloadChars> six_{};
  int chars_ = 0;
  int bitCount_ = 0;
  mutable bool ok_ = true;
};

// Meteorological and hydrological data (type 8, DAC 1, FI 11), as
// transmitted: no offsets applied.
struct TAisMet {
  int32_t WindSpeed = 0, WindGust = 0, WindDir = 0, GustDir = 0;
  int32_t AirTemp = 0, Humidity = 0, DewPoint = 0, Pressure = 0, PressureTrend = 0;
  int32_t Visibility = 0, WaterLevel = 0, LevelTrend = 0;
  int32_t CurrentSpeed = 0, CurrentDir = 0;
  int32_t WaveHeight = 0, WavePeriod = 0, WaveDir = 0;
  int32_t SwellHeight = 0, SwellPeriod = 0, SwellDir = 0;
  int32_t WaterTemp = 0, Ice = 0;
};

// The longest safety text (type 14) a payload of kAisMaxPayloadChars holds.
inline constexpr int kAisMaxSafetyText = (kAisMaxPayloadChars * 6 - 40) / 6;

// One decoded message: the fields its type carries, raw. Fields the type
// does not carry keep their initial values.
struct TAisMessage {
  int Type = 0;
  int Repeat = 0;
  int32_t MMSI = 0;
  int BitCount = 0;

  // Position reports (1, 2, 3, 4, 9, 11, 18, 19, 21). Type 8 stations give
  // their position here as transmitted, in 1/1000 minute.
  bool Accuracy = false;
  int32_t Lon = kAisLonNotAvailable;
  int32_t Lat = kAisLatNotAvailable;
  int32_t NavStatus = 0;
  int32_t Turn = kAisTurnNotAvailable;
  int32_t Speed = kAisSpeedNotAvailable;
  int32_t Course = kAisCourseNotAvailable;
  int32_t Heading = kAisHeadingNotAvailable;

  // Static data (5, 21, 24). Part is 0 (A) or 1 (B) for type 24, -1 otherwise.
  int Part = -1;
  TAisText<7> CallSign;
  TAisText<20> Name;
  TAisText<20> Destination;
  int32_t ToBow = 0, ToStern = 0, ToPort = 0, ToStarboard = 0;
  int32_t Draught = 0;

  // Type 8.
  int Dac = 0;
  int Fi = 0;
  TAisMet Met;

  // Type 14, value 0 kept as "@".
  TAisText<kAisMaxSafetyText> Text;
};

// Whether the message type is one the plotter decodes (1, 2, 3, 4, 5, 8, 9,
// 11, 14, 18, 19, 21, 24).
bool AisTypeDecoded(int type);
// Decodes the message in `bits`. False when its type is not decoded, its
// length does not fit its type (type 5 takes 420 to 424 bits, type 21 272 to
// 360, type 8 only DAC 1 / FI 11 at 352 bits) or it is too short for its
// MMSI; `m` is then undefined.
bool DecodeAisMessage(const TAisBits& bits, TAisMessage& m);

// Appends one JSON object for the message (no line end) with the field names
// and raw values of gpsd's unscaled output ("gpsdecode -u -j"), so that the
// two can be compared field by field. Texts lose their trailing spaces and
// "@"; type 24 carries "part" ("A" or "B") and the fields of that part only.
void AppendAisJson(const TAisMessage& m, std::string& out);
