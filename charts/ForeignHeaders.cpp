#include "charts/ForeignHeaders.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <utility>

#include "charts/HeaderText.h"
#include "charts/KAPctrl.h"
#include "foundation/NumText.h"
#include "geodesy/CTrans.h"
#include "platform/Paths.h"

namespace {

double Rad(double degrees) { return degrees * kDegToRad; }

std::optional<double> Num(std::string_view text) { return TryStrToFloatDot(text); }

double NumOr(std::string_view text, double def) { return TryStrToFloatDot(text).value_or(def); }

// Cuts UTF-8 text to at most n bytes without splitting a character.
std::string CutText(std::string text, size_t n) {
  if (text.size() <= n) return text;
  size_t cut = n;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

uint8_t DepthUnitsFrom(std::string_view text) {
  const std::string u = UpperAscii(text);
  uint8_t units = kDepthUnknown;
  if (u.find("MET") != std::string::npos) units = kDepthMetres;
  if (u.find("FAT") != std::string::npos) units = kDepthFathoms;
  if (u.find("FEET") != std::string::npos) units = kDepthFeet;
  return units;
}

// A "Swedish grid" is a Transverse Mercator about 15.808 deg E; code 7
// stands for the perspective projection everywhere else.
void SwedishGridToTM(RChartInfo& info, double lon0Degrees) {
  if (info.Projection != kProjPerspective) return;
  info.Projection = kProjTransverseMercator;
  info.Lat0 = 0;
  info.Lon0 = Rad(lon0Degrees != 0 ? lon0Degrees : kSwedishGridLon0);
}

// Central meridian and Lambert parallels from the reference points when the
// header gives none.
void MeanProjectionParameters(RChartInfo& info) {
  if (info.RefPoints.empty()) return;
  double lon = 0, lat = 0;
  for (const TGridPoint& p : info.RefPoints) {
    lon += p.Lon;
    lat += p.Lat;
  }
  lon /= static_cast<double>(info.RefPoints.size());
  lat /= static_cast<double>(info.RefPoints.size());
  const uint8_t code = info.Projection;
  if ((code == kProjTransverseMercator || code == kProjPolyconic || code == kProjSinusoidal) && info.Lon0 == 0)
    info.Lon0 = lon;
  if (code == kProjLambert && info.LatS == 0 && info.LatN == 0) {
    info.LatS = lat - Rad(0.5);
    info.LatN = lat + Rad(0.5);
  }
}

// The items of a ".GEO" point or vertex value: blanks separate items too.
std::vector<std::string> GeoItems(std::string_view value) {
  std::string v(value);
  for (char& c : v)
    if (c == ' ') c = ',';
  return SplitListItems(v);
}

// The value of a numbered ".GEO" line found by FindNumberedLines, as
// HeaderFindSimple gives it for that key: the rest of the line only, trimmed.
// `fixedLength` counts the key's characters other than the number's digits.
std::string GeoValueAt(const std::vector<std::string>& lines, const TNumberedLine& n, size_t fixedLength) {
  const std::string_view line = lines[n.Line];
  const size_t keyLength = fixedLength + std::to_string(n.Number).size();
  return std::string(TrimText(line.substr(std::min(keyLength, line.size()), kHeaderValueLimit)));
}

// "key = value" lines of a WinGPS chart: the upper-cased key (blanks before
// the "=" dropped) and the value as WinGPSValue gives it.
std::optional<std::pair<std::string, std::string>> WinGPSLine(std::string_view line) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  size_t end = eq;
  while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
  return std::make_pair(UpperAscii(line.substr(0, end)), CutText(std::string(TrimText(line.substr(eq + 1))), 255));
}

}  // namespace

// ---------------------------------------------------------------------------
// BSB/KAP and NOS headers

bool TKAPDecoder::ReadInfo(RChartInfo& info) {
  RChartLayout& layout = info.Layout;
  if (nos_) {
    layout.FileName = ForeignFileName(geoName_);
    layout.Name = FindSimple("NAME=", geo_);
    layout.Scale = RoundToInt(NumOr(FindSimple("SCALE=", geo_), 0), 0);
    if (layout.BorderCount == 0) {
      layout.Border.clear();
      for (const TNumberedLine& n : FindNumberedLines(geo_, "VERTEX", "=", TChartHeadBaseCodec::kMaxPoints)) {
        const std::vector<std::string> items = GeoItems(GeoValueAt(geo_, n, 7));
        if (items.size() < 2) continue;
        const auto lat = Num(items[0]), lon = Num(items[1]);
        if (lat && lon) layout.Border.push_back({Rad(*lon), Rad(*lat)});
      }
      layout.BorderCount = static_cast<uint16_t>(layout.Border.size());
    }
    info.Width = width_;
    info.Height = height_;
    info.Version = NumOr(FindLine("VER/"), 0);
    if (const auto res = Num(FindSimple("RESOLUTION=", geo_))) info.PixelSizeX = info.PixelSizeY = *res;
    info.DepthUnits = DepthUnitsFrom(FindSimple("DEPTH UNITS=", geo_));
    info.Number = FindSimple("ID=", geo_);
    info.Projection = ProjectionFromName(FindSimple("PROJECTION=", geo_));
    info.Lat0 = info.Lon0 = info.LatS = info.LatN = 0;
    SwedishGridToTM(info, 0);
    info.DatumName = UpperAscii(FindSimple("DATUM=", geo_));
    if (info.RefCount <= 0) {
      info.RefPoints.clear();
      for (const TNumberedLine& n : FindNumberedLines(geo_, "POINT", "=", TChartHeadBaseCodec::kMaxPoints)) {
        const std::vector<std::string> items = GeoItems(GeoValueAt(geo_, n, 6));
        if (items.size() < 4) continue;
        const auto lon = Num(items[0]), lat = Num(items[1]), row = Num(items[2]), col = Num(items[3]);
        if (lon && lat && row && col)
          info.RefPoints.push_back({std::round(*col), std::round(*row), Rad(*lon), Rad(*lat)});
      }
      info.RefCount = static_cast<int32_t>(info.RefPoints.size());
    }
    MeanProjectionParameters(info);
    info.CoefCount = 0;
    bool present = false;
    std::string v = HeaderFindSimple(geo_, "LATITUDE OFFSET=", &present);
    if (present)
      if (const auto d = Num(v)) info.DatumShift.Y = -Rad(*d);
    v = HeaderFindSimple(geo_, "LONGITUDE OFFSET=", &present);
    if (present)
      if (const auto d = Num(v)) info.DatumShift.X = -Rad(*d);
    info.Comments.clear();
    return true;
  }

  // 1.
  if (!HeaderHasKey(header_, "KNP/")) return false;
  const std::string knp = FindLine("KNP/");
  // 2.
  layout.FileName = ForeignFileName(rasterName_);
  const std::string bsb = FindLine("BSB/");
  if (bsb.empty()) return false;
  {
    const size_t at = FindItemKey(bsb, "NA=");
    std::string_view name = at == std::string::npos ? std::string_view() : std::string_view(bsb).substr(at);
    const std::string upper = UpperAscii(name);
    size_t end = name.size();
    for (const char* stop : {",NU=", ",RA=", ",DU="}) end = std::min(end, upper.find(stop));
    layout.Name = CutText(std::string(TrimText(name.substr(0, end))), 255);
  }
  // 3.
  layout.Scale = RoundToInt(NumOr(Item("SC=", knp, 1), 0), 0);
  // 4. Border points in the order of their numbers; a missing or broken
  // point is left out rather than put at 0 deg N 0 deg E.
  if (layout.BorderCount == 0) {
    layout.Border.clear();
    for (const TNumberedLine& n : FindNumberedLines(header_, "PLY/", ",", TChartHeadBaseCodec::kMaxPoints)) {
      const std::string value = HeaderLineValue(header_, n.Line, 5 + std::to_string(n.Number).size());
      const auto lat = Num(Item("", value, 1)), lon = Num(Item("", value, 2));
      if (lat && lon && SplitCommaItems(value).size() >= 2) layout.Border.push_back({Rad(*lon), Rad(*lat)});
    }
    layout.BorderCount = static_cast<uint16_t>(std::min<size_t>(layout.Border.size(), 65535));
  }
  // 5.
  info.Width = width_;
  info.Height = height_;
  // 6.
  for (size_t i = 1; i < header_.size(); ++i)
    if (LineStartsWithKey(header_[i], "FEF/")) header_[i].replace(0, 4, "REF/");
  // 7.
  info.Number = Item("NU=", bsb, 1);
  info.Version = NumOr(FindLine("VER/"), 0);
  info.PhaseShift = NumOr(FindLine("CPH/"), 0);
  // 8.
  const std::string knq = FindLine("KNQ/");
  const std::string& params = info.Version >= 3 ? knq : knp;
  info.P1 = NumOr(Item("P1=", params, 1), 0);
  info.P2 = NumOr(Item("P2=", params, 1), 0);
  info.P3 = NumOr(Item("P3=", params, 1), 0);
  info.P4 = NumOr(Item("P4=", params, 1), 0);
  // 9.
  if (info.Version >= 3 && UpperAscii(Item("RM=", knq, 1)).find("INVER") != std::string::npos) info.Inverse = 1;
  if (info.Version == 2) info.Inverse = 1;
  // 10.
  info.PixelSizeX = NumOr(Item("DX=", knp, 1), 0);
  info.PixelSizeY = NumOr(Item("DY=", knp, 1), 0);
  info.DepthUnits = DepthUnitsFrom(Item("UN=", knp, 1));
  double pp = NumOr(Item("PP=", knp, 1), 0);
  info.Projection = ProjectionFromName(Item("PR=", knp, 1));
  // 11.
  info.Lat0 = 0;
  switch (info.Projection) {
    case kProjTransverseMercator:
      info.Lon0 = Rad(pp != 0 ? pp : info.P1);
      break;
    case kProjLambert:
      info.Lon0 = Rad(pp != 0 ? pp : info.P1);
      info.LatS = Rad(info.P2);
      info.LatN = Rad(info.P3);
      break;
    case kProjPolyconic:
      info.Projection = kProjTransverseMercator;
      info.Lon0 = Rad(pp);
      break;
    case kProjSinusoidal:
      info.Lon0 = Rad(pp);
      break;
    case kProjPerspective:  // the Swedish grid
      info.Projection = kProjTransverseMercator;
      if (pp == 0) pp = kSwedishGridLon0;
      info.Lon0 = Rad(pp);
      break;
    case kProjMercator:
      info.Lon0 = 0;
      break;
    default:
      info.Projection = kProjNone;
      info.Lon0 = 0;
      break;
  }
  // 12.
  info.DatumName = UpperAscii(Item("GD=", knp, 1));
  // 13.
  if (info.RefCount <= 0) {
    info.RefPoints.clear();
    for (const TNumberedLine& n : FindNumberedLines(header_, "REF/", ",", TChartHeadBaseCodec::kMaxPoints)) {
      const std::string value = HeaderLineValue(header_, n.Line, 5 + std::to_string(n.Number).size());
      if (SplitCommaItems(value).size() < 4) continue;
      const auto x = Num(Item("", value, 1)), y = Num(Item("", value, 2));
      const auto lat = Num(Item("", value, 3)), lon = Num(Item("", value, 4));
      if (x && y && lat && lon) info.RefPoints.push_back({*x, *y, Rad(*lon), Rad(*lat)});
    }
    info.RefCount = static_cast<int32_t>(info.RefPoints.size());
  }
  // 14. A chart across the 180 deg meridian: east longitudes go negative.
  if (info.PhaseShift != 0) {
    for (TGridPoint& p : info.RefPoints)
      if (p.Lon > 0) p.Lon -= 2 * kPi;
    for (TFPoint& p : layout.Border)
      if (p.X > 0) p.X -= 2 * kPi;
  }
  // 15., 16.
  MeanProjectionParameters(info);
  info.CoefCount = 0;
  // 17. The DTM record in seconds of arc; a header without one is marked by
  // -1e-12 in both.
  if (HeaderHasKey(header_, "DTM/")) {
    const std::string dtm = FindLine("DTM/");
    info.DatumShift.Y = (Rad(NumOr(Item("", dtm, 1), 0)) + 1e-12) / 3600;
    info.DatumShift.X = (Rad(NumOr(Item("", dtm, 2), 0)) + 1e-12) / 3600;
  } else {
    info.DatumShift = {kNoDtmShift, kNoDtmShift};
  }
  // 18.
  info.Comments = FindText("CRR/");
  return true;
}

// ---------------------------------------------------------------------------
// OziExplorer

int32_t TChartHeadMAPCodec::ScaleFromMM1B(double mm1b) {
  const double raw = mm1b * 5000;
  const int64_t scale = std::min<int64_t>(std::isfinite(raw) ? RoundToInt64(raw, 0) : 0, INT32_MAX);
  if (scale < 1) return 100000000;
  // Keep the two leading decimal digits, in integers: a power of ten in
  // floating point would cut 150 000 to 140 000.
  int64_t unit = 1;
  while (scale / unit >= 100) unit *= 10;
  return static_cast<int32_t>((scale / unit) * unit);
}

bool TChartHeadMAPCodec::ReadMAP(RChartInfo& info) const {
  ClearInfo(info);
  if (Lines.empty() || UpperAscii(Lines[0]).find("OZIEXPLORER MAP DATA FILE") == std::string::npos) return false;
  RChartLayout& layout = info.Layout;
  if (Lines.size() > 1) layout.Name = std::string(TrimText(Lines[1]));
  if (Lines.size() > 2) layout.FileName = std::string(TrimText(Lines[2]));
  if (Lines.size() > 4) info.DatumName = std::string(TrimText(std::string_view(Lines[4]).substr(0, Lines[4].find(','))));
  layout.Scale = ScaleFromMM1B(GetFloat("MM1B,", 0));

  const std::vector<std::string> proj = SplitListItems(GetValue("MAP PROJECTION,"));
  if (proj.size() >= 2) {
    info.Projection = ProjectionFromName(proj[0]);
    const std::string upper = UpperAscii(proj[0]);
    if (upper.find("TRANSV") != std::string::npos)
      info.Projection = kProjTransverseMercator;
    else if (upper.find("MERC") != std::string::npos)
      info.Projection = kProjMercator;
  }
  if (info.Projection == kProjTransverseMercator) {
    const std::vector<std::string> setup = SplitListItems(GetValue("PROJECTION SETUP,"));
    if (setup.size() >= 3) info.Lon0 = Rad(NumOr(setup[1], 0));
  }
  SwedishGridToTM(info, 0);

  for (int nn = 1; nn <= 30; ++nn) {
    const std::string key = std::string("POINT") + (nn < 10 ? "0" : "") + std::to_string(nn) + ",XY,";
    const std::vector<std::string> it = SplitListItems(GetValue(key));
    if (it.size() <= 8 || it[0].empty() || it[1].empty() || it[4].empty() || it[7].empty()) continue;
    auto at = [&](size_t i) { return i < it.size() ? it[i] : std::string(); };
    const auto x = Num(it[0]), y = Num(it[1]), latD = Num(it[4]), lonD = Num(it[7]);
    if (!x || !y || !latD || !lonD) continue;
    double lat = *latD + NumOr(at(5), 0) / 60;
    double lon = *lonD + NumOr(at(8), 0) / 60;
    if (UpperAscii(at(6)) == "S") lat = -lat;
    if (UpperAscii(at(9)) == "W") lon = -lon;
    info.RefPoints.push_back({*x, *y, Rad(lon), Rad(lat)});
  }
  info.RefCount = static_cast<int32_t>(info.RefPoints.size());
  if (info.RefCount < 2) return false;

  const int32_t count = std::clamp<int32_t>(GetInt("MMPNUM,", 0), 0,
                                            static_cast<int32_t>(std::min<size_t>(Lines.size(), kMaxPoints)));
  layout.Border.clear();
  // One pass over the lines: the first "MMPXY,n," line of each n wins.
  for (const TNumberedLine& n : FindNumberedLines(Lines, "MMPXY,", ",", count)) {
    const std::vector<std::string> it = SplitCommaItems(ValueOfLine(n.Line, 7 + std::to_string(n.Number).size()));
    if (it.size() < 2) continue;
    const auto x = Num(it[0]), y = Num(it[1]);
    if (x && y) layout.Border.push_back({*x, *y});
  }
  layout.BorderCount = static_cast<uint16_t>(layout.Border.size());
  return true;
}

// ---------------------------------------------------------------------------
// Genimap

double TChartHeadGMBCodec::PackedAngle(double value) {
  const double degrees = std::trunc(value / 100);
  return degrees + (value - degrees * 100) / 60;
}

void TChartHeadGMBCodec::ReadNMEARect(RChartInfo& info) const {
  static constexpr std::string_view kKey = ";[NMEARECT]";
  std::string_view rest;
  bool found = false;
  for (const std::string& line : Lines) {
    const size_t at = UpperAscii(line).find(kKey);
    if (at == std::string::npos) continue;
    rest = TrimText(std::string_view(line).substr(at + kKey.size()));
    if (!rest.empty() && rest.front() == '=') rest.remove_prefix(1);
    found = true;
    break;
  }
  if (!found) return;
  const std::vector<std::string> items = SplitListItems(rest);
  if (items.size() < 4) return;
  double v[4];
  for (size_t i = 0; i < 4; ++i) {
    const auto d = Num(items[i]);
    if (!d) return;
    v[i] = PackedAngle(*d);
  }
  info.RefPoints = {{0, 0, Rad(v[0]), Rad(v[3])},
                    {static_cast<double>(info.Width) - 1, static_cast<double>(info.Height) - 1, Rad(v[2]), Rad(v[1])}};
  info.RefCount = 2;
}

// ---------------------------------------------------------------------------
// WinGPS

std::optional<std::string> TChartHeadWinGPSCodec::WinGPSValue(std::string_view key) const {
  const std::string upper = UpperAscii(key);
  for (const std::string& line : Lines) {
    if (!LineStartsWithKey(line, upper)) continue;
    size_t p = upper.size();
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    if (p >= line.size() || line[p] != '=') continue;  // "X1" is not "X10"
    return CutText(std::string(TrimText(std::string_view(line).substr(p + 1))), 255);
  }
  return std::nullopt;
}

bool TChartHeadWinGPSCodec::ReadWinGPS(RChartInfo& info) const {
  ClearInfo(info);
  RChartLayout& layout = info.Layout;
  auto text = [&](const char* key) { return WinGPSValue(key).value_or(std::string()); };
  layout.Name = text("Description");
  layout.FileName = text("ImageName");
  if (const auto d = WinGPSValue("Datum")) info.DatumName = *d;
  info.Width = std::max(0, TryStrToInt(text("Width")).value_or(0));
  info.Height = std::max(0, TryStrToInt(text("Height")).value_or(0));
  info.DepthUnits = UpperAscii(text("Depth")).find("MET") != std::string::npos ? kDepthMetres : kDepthUnknown;
  layout.Scale = RoundToInt(NumOr(text("Scale"), 0), 0);
  info.Projection = text("Mercator") == "True" ? kProjMercator : kProjNone;

  // The numbered point values, collected in one pass (the first line of a
  // key wins, as in WinGPSValue).
  std::unordered_map<std::string, std::string> values;
  for (const std::string& line : Lines)
    if (auto kv = WinGPSLine(line)) values.emplace(std::move(kv->first), std::move(kv->second));
  auto value = [&](const std::string& upperKey) -> const std::string* {
    const auto it = values.find(upperKey);
    return it == values.end() ? nullptr : &it->second;
  };
  auto number = [&](const std::string& upperKey) -> std::optional<double> {
    const std::string* v = value(upperKey);
    return Num(v ? *v : std::string());
  };
  for (int n = 1; n <= 127; ++n) {
    const std::string s = std::to_string(n);
    const std::string* xs = value("X" + s);
    if (!xs) break;
    const auto x = Num(*xs), y = number("Y" + s);
    const auto lat = number("LATITUDE" + s), lon = number("LONGITUDE" + s);
    if (x && y && lat && lon) info.RefPoints.push_back({*x, *y, Rad(*lon), Rad(*lat)});
  }
  info.RefCount = static_cast<int32_t>(info.RefPoints.size());
  if (info.RefCount < 2) return false;

  const auto t = WinGPSValue("TopMargin"), b = WinGPSValue("BottomMargin");
  const auto l = WinGPSValue("LeftMargin"), r = WinGPSValue("RightMargin");
  if (t && b && l && r) {
    const auto T = Num(*t), B = Num(*b), L = Num(*l), R = Num(*r);
    if (T && B && L && R) {
      const double w = info.Width, h = info.Height;
      layout.Border = {{*L, *T}, {w - *R, *T}, {w - *R, h - *B}, {*L, h - *B}};
      layout.BorderCount = 4;
    }
  }
  return true;
}
