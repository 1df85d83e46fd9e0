#include "instruments/NMEAReport.h"

#include <cmath>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"

namespace {

void AppendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c >= 0x7F) {
      // Received text is 8-bit; bytes above 127 are shown as Latin-1.
      out += "\\u00";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  out.push_back('"');
}

class TJson {
 public:
  void Key(const char* key) {
    out_ += ',';
    AppendJsonString(out_, key);
    out_ += ':';
  }
  void Text(const char* key, std::string_view value) {
    Key(key);
    AppendJsonString(out_, value);
  }
  void Int(const char* key, int64_t value) {
    Key(key);
    out_ += std::to_string(value);
  }
  // A value with the given decimals; null when it is "no data" or not finite.
  void Number(const char* key, double value, int decimals, double scale = 1.0) {
    Key(key);
    if (IsNoData(value) || !std::isfinite(value * scale))
      out_ += "null";
    else
      out_ += FloatToStrFixedDot(decimals, value * scale);
  }
  std::string Finish() {
    if (out_.empty()) return "{}";
    out_[0] = '{';
    out_ += '}';
    return out_;
  }

 private:
  std::string out_;
};

}  // namespace

std::string IsoDateTime(TDateTime t) {
  const std::string text = DateTimeToText(t, 'T');
  return text.empty() ? text : text + "Z";
}

std::string SentenceReportJson(const TNMEA& parser, const TNdxString& sentence) {
  const TNMEAINFO& I = parser.Info;
  const uint32_t u = parser.Updated;
  TJson j;
  j.Text("talker", sentence.Talker());
  j.Text("id", sentence.Identifier());
  if (u & kSetFix) j.Int("fix", I.FixStatus);
  if (u & kSetQuality) {
    j.Int("quality", I.FixQuality);
    if (I.ModeIndicator > 0 && I.ModeIndicator < 256)
      j.Text("mode", std::string(1, static_cast<char>(I.ModeIndicator)));
  }
  if (u & kSetSatellites) j.Int("sats", I.Satellites);
  if (u & kSetHDOP) j.Number("hdop", I.HDOP, 2);
  if (u & kSetAltitude) j.Number("alt", I.Altitude, 2);
  if (u & kSetDgps) {
    j.Int("dgps_age", I.DgpsAge);
    j.Int("dgps_station", I.DgpsStation);
  }
  if (u & kSetTime) j.Text("utc", IsoDateTime(I.GpsDateTime));
  if (u & kSetPos) {
    j.Number("lat", I.Pos.Y, 9, kRadToDeg);
    j.Number("lon", I.Pos.X, 9, kRadToDeg);
  }
  if (u & kSetSOG) j.Number("sog", I.SOG, 3);
  if (u & kSetCOG) j.Number("cog", I.COG, 4, kRadToDeg);
  if (u & kSetHeading) j.Number("heading", I.Heading, 4, kRadToDeg);
  if (u & kSetMagCourse) j.Number("magcourse", I.MagCourse, 4, kRadToDeg);
  if (u & kSetVariation) j.Number("var", I.Variation, 4, kRadToDeg);
  if (u & kSetCompass) j.Number("hdt", I.CompassHeading, 4, kRadToDeg);
  if (u & kSetMagHeading) j.Number("hdm", I.MagHeading, 4, kRadToDeg);
  if (u & kSetDepth) j.Number("depth", I.Depth, 3);
  if (u & kSetWaterSpeed) j.Number("stw", I.WaterSpeed, 3);
  if (u & kSetWaterTemp) j.Number("temp", I.WaterTemp, 2);
  if (u & kSetRateOfTurn) j.Number("rot", I.RateOfTurn, 2);
  if (u & kSetWind) {
    j.Number("awa", I.ApparentWindAngle, 4, kRadToDeg);
    j.Number("aws", I.ApparentWindSpeed, 3, kMsToKnot);
    j.Number("twa", I.TrueWindAngle, 4, kRadToDeg);
    j.Number("tws", I.TrueWindSpeed, 3, kMsToKnot);
    j.Number("twd", I.TrueWindDirection, 4, kRadToDeg);
    j.Number("vmg", I.WindVMG, 3);
  }
  if (u & kSetDatum) {
    j.Number("datum_dlat", I.DatumOffset.Y, 9, kRadToDeg);
    j.Number("datum_dlon", I.DatumOffset.X, 9, kRadToDeg);
  }
  return j.Finish();
}
