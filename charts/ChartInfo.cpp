#include "charts/ChartInfo.h"

#include <algorithm>
#include <cmath>

#include "charts/FileNames.h"
#include "charts/HeaderText.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"

namespace {

double Deg(double radians) { return radians * kRadToDeg; }
double Rad(double degrees) { return degrees * kDegToRad; }

uint16_t ClampU16(int32_t v) { return static_cast<uint16_t>(std::clamp<int32_t>(v, 0, 65535)); }
uint8_t ByteOrZero(int32_t v) { return (v >= 0 && v <= 255) ? static_cast<uint8_t>(v) : 0; }

bool BeginsWithBlank(std::string_view line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

// A single-line value: line breaks would split it on the next read.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

// "B7=", "C12=": the key of a numbered point line.
std::string KeyOf(char prefix, int n) {
  std::string key(1, prefix);
  key += std::to_string(n);
  key += '=';
  return key;
}

}  // namespace

RGeoRef ChartGeoRef(const RChartInfo& info, bool isKap) {
  RGeoRef ref;
  ref.Projection = info.Projection;
  ref.Lat0 = info.Lat0;
  ref.Lon0 = info.Lon0;
  ref.LatS = info.LatS;
  ref.LatN = info.LatN;
  ref.Height = info.P3;
  ref.RefPoints = info.RefPoints;
  ref.Border = info.Layout.Border;
  ref.DatumName = info.DatumName;
  ref.DatumShift = info.DatumShift;
  ref.IsKAP = isKap;
  return ref;
}

bool FollowsKapDatumRules(std::string_view chartFile) {
  const std::string ext = UpperExtension(chartFile);
  return ext == ".KAP" || ext == ".GEO";
}

uint8_t ProjectionFromName(std::string_view name) {
  static constexpr std::string_view kTokens[] = {"MERCA", "TRANS", "LAMBE", "POLYC", "SINUS", "UNIVE", "SWEDI"};
  static constexpr uint8_t kCodes[] = {1, 2, 3, 4, 5, 2, 7};
  // The first five letters name the projection; a shorter name (at least
  // three letters) must be the start of one of the five-letter names.
  const std::string head = UpperAscii(TrimText(name).substr(0, 5));
  if (head.size() < 3) return 0;
  for (size_t i = 0; i < std::size(kTokens); ++i)
    if (kTokens[i].substr(0, head.size()) == head) return kCodes[i];
  return 0;
}

// ---------------------------------------------------------------------------
// TChartHeadBaseCodec

void TChartHeadBaseCodec::Clear() { Lines.clear(); }

bool TChartHeadBaseCodec::LoadFromFile(const std::string& path) {
  Clear();
  std::string bytes;
  if (!ReadWholeFile(path, bytes, nullptr, kMaxHeaderFileBytes)) return false;
  LoadFromText(bytes);
  return true;
}

void TChartHeadBaseCodec::LoadFromText(std::string_view text) {
  Lines = SplitTextLines(DecodeFileText(text, &Encoding));
}

std::string TChartHeadBaseCodec::SaveToText() const { return EncodeFileText(JoinTextLines(Lines), Encoding); }

bool TChartHeadBaseCodec::SaveToFile(const std::string& path, std::string* error) const {
  return AtomicWriteFile(path, SaveToText(), error);
}

long TChartHeadBaseCodec::FindKeyLine(std::string_view key) const {
  const std::string upper = UpperAscii(key);
  for (size_t i = 0; i < Lines.size(); ++i)
    if (LineStartsWithKey(Lines[i], upper)) return static_cast<long>(i);
  return -1;
}

size_t TChartHeadBaseCodec::ContinuationEnd(size_t i) const {
  size_t j = i + 1;
  while (j < Lines.size() && BeginsWithBlank(Lines[j])) ++j;
  return j;
}

namespace {

// GetValue from a known line.
std::string ValueAt(const std::vector<std::string>& lines, size_t i, size_t keyLength) {
  std::string value = lines[i].substr(std::min(keyLength, lines[i].size()));
  for (size_t j = i + 1; j < lines.size() && BeginsWithBlank(lines[j]); ++j) {
    value += ',';
    value += TrimText(lines[j]);
  }
  return std::string(TrimText(value));
}

bool ParseLatLon(std::string_view value, TFPoint& out) {
  const std::vector<std::string> items = SplitCommaItems(value);
  if (items.size() < 2) return false;
  const auto lat = TryStrToFloatDot(items[0]);
  const auto lon = TryStrToFloatDot(items[1]);
  if (!lat || !lon) return false;
  out = {Rad(*lon), Rad(*lat)};
  return true;
}

bool ParseRefPoint(std::string_view value, TGridPoint& out) {
  const std::vector<std::string> items = SplitCommaItems(value);
  if (items.size() < 4) return false;
  double v[4];
  for (int i = 0; i < 4; ++i) {
    const auto d = TryStrToFloatDot(items[static_cast<size_t>(i)]);
    if (!d) return false;
    v[i] = *d;
  }
  out = {v[0], v[1], Rad(v[3]), Rad(v[2])};
  return true;
}

}  // namespace

std::string TChartHeadBaseCodec::GetValue(std::string_view key) const {
  const long i = FindKeyLine(key);
  if (i < 0) return std::string();
  return ValueAt(Lines, static_cast<size_t>(i), key.size());
}

std::string TChartHeadBaseCodec::ValueOfLine(size_t i, size_t keyLength) const {
  return i < Lines.size() ? ValueAt(Lines, i, keyLength) : std::string();
}

int32_t TChartHeadBaseCodec::GetInt(std::string_view key, int32_t def) const {
  return TryStrToInt(GetValue(key)).value_or(def);
}

double TChartHeadBaseCodec::GetFloat(std::string_view key, double def) const {
  return TryStrToFloatDot(GetValue(key)).value_or(def);
}

std::string TChartHeadBaseCodec::GetItem(std::string_view key, std::string_view text, int n) {
  return GetItemText(UpperAscii(key), text, n);
}

TFPoint TChartHeadBaseCodec::GetLatLon(std::string_view key, const TFPoint& def) const {
  TFPoint p;
  return ParseLatLon(GetValue(key), p) ? p : def;
}

TGridPoint TChartHeadBaseCodec::GetRefPoint(std::string_view key, const TGridPoint& def) const {
  TGridPoint p;
  return ParseRefPoint(GetValue(key), p) ? p : def;
}

std::string TChartHeadBaseCodec::GetText(std::string_view key, std::string_view def) const {
  for (size_t i = 0; i < Lines.size(); ++i) {
    if (Lines[i].compare(0, key.size(), key) != 0 || Lines[i].size() < key.size()) continue;
    std::string text = Lines[i].substr(key.size());
    for (size_t j = i + 1; j < Lines.size() && BeginsWithBlank(Lines[j]); ++j) {
      text += "\r\n";
      text += std::string_view(Lines[j]).substr(1);
    }
    return std::string(TrimText(text));
  }
  return std::string(def);
}

void TChartHeadBaseCodec::PutValue(std::string_view key, std::string_view text) {
  std::string line = std::string(key) + OneLine(text);
  const long i = FindKeyLine(key);
  if (i < 0) {
    Lines.push_back(std::move(line));
    return;
  }
  const size_t at = static_cast<size_t>(i);
  Lines.erase(Lines.begin() + static_cast<long>(at) + 1, Lines.begin() + static_cast<long>(ContinuationEnd(at)));
  Lines[at] = std::move(line);
}

void TChartHeadBaseCodec::PutInt(std::string_view key, int64_t value) { PutValue(key, std::to_string(value)); }

void TChartHeadBaseCodec::PutFloat(std::string_view key, double value) { PutValue(key, GeneralNumberText(value)); }

void TChartHeadBaseCodec::PutLatLon(std::string_view key, const TFPoint& pos) {
  PutValue(key, GeneralNumberText(Deg(pos.Y)) + "," + GeneralNumberText(Deg(pos.X)));
}

void TChartHeadBaseCodec::PutRefPoint(std::string_view key, const TGridPoint& p) {
  PutValue(key, FloatToStrFixedDot(0, p.X) + "," + FloatToStrFixedDot(0, p.Y) + "," +
                    FloatToStrFixedDot(12, Deg(p.Lat)) + "," + FloatToStrFixedDot(12, Deg(p.Lon)));
}

void TChartHeadBaseCodec::PutText(std::string_view key, std::string_view text) {
  DeleteKey(key);
  if (text.empty()) return;
  const std::vector<std::string> parts = SplitTextLines(text);
  if (parts.empty()) return;
  Lines.push_back(std::string(key) + parts[0]);
  for (size_t i = 1; i < parts.size(); ++i) Lines.push_back(" " + parts[i]);
}

void TChartHeadBaseCodec::DeleteKey(std::string_view key) {
  const std::string upper = UpperAscii(key);
  std::vector<std::string> kept;
  kept.reserve(Lines.size());
  for (size_t i = 0; i < Lines.size();) {
    if (LineStartsWithKey(Lines[i], upper)) {
      i = ContinuationEnd(i);
    } else {
      kept.push_back(std::move(Lines[i]));
      ++i;
    }
  }
  Lines = std::move(kept);
}

void TChartHeadBaseCodec::DeleteNumberedAbove(char prefix, int count) {
  const std::string p(1, prefix);
  std::vector<std::string> kept;
  kept.reserve(Lines.size());
  for (size_t i = 0; i < Lines.size();) {
    if (NumberedKey(Lines[i], p, "=", 1 << 30) > count) {
      i = ContinuationEnd(i);
      continue;
    }
    kept.push_back(std::move(Lines[i]));
    ++i;
  }
  Lines = std::move(kept);
}

void TChartHeadBaseCodec::ClearLayout(RChartLayout& layout) {
  layout.Name.clear();
  layout.FileName.clear();
  layout.GroupMask = 0;
  layout.Priority = 0;
  layout.QualityCode = 0;
  layout.BorderCount = 0;
  layout.Scale = 200000;
  layout.Border.clear();
}

void TChartHeadBaseCodec::ClearInfo(RChartInfo& info) {
  ClearLayout(info.Layout);
  info.RefCount = 0;
  info.RefPoints.clear();
  info.Number.clear();
  info.DatumName = "WGS84";
  info.Projection = 0;
  info.DatumShift = {0, 0};
  info.Width = 0;
  info.Height = 0;
  info.PixelSizeX = info.PixelSizeY = 0;
  info.Lat0 = info.Lon0 = info.LatS = info.LatN = 0;
  info.P1 = info.P2 = info.P3 = info.P4 = 0;
  info.DepthUnits = 0;
  info.CoefCount = 0;
  info.Inverse = 0;
  info.WGX.clear();
  info.WGY.clear();
  info.GWX.clear();
  info.GWY.clear();
  info.Comments.clear();
  info.SoundingDatum.clear();
}

bool TChartHeadBaseCodec::ReadLayout(RChartLayout& layout) const {
  layout.Name = GetValue("NA=");
  layout.FileName = GetValue("FN=");
  layout.GroupMask = GetInt("GR=", 0);
  layout.Priority = ClampU16(GetInt("PY=", 0));
  layout.QualityCode = ClampU16(GetInt("QU=", 0));
  layout.Scale = GetInt("SC=", 0);
  // The count comes from the file: never more than the lines could hold.
  const int32_t count = std::clamp<int32_t>(GetInt("BC=", 0), 0, std::min<int32_t>(kMaxPoints, 65535));
  layout.Border.clear();
  for (const TNumberedLine& n : FindNumberedLines(Lines, "B", "=", count)) {
    TFPoint p;
    if (ParseLatLon(ValueAt(Lines, n.Line, std::to_string(n.Number).size() + 2), p)) layout.Border.push_back(p);
  }
  layout.BorderCount = static_cast<uint16_t>(layout.Border.size());
  return layout.BorderCount > 2;
}

bool TChartHeadBaseCodec::ReadInfo(RChartInfo& info) const {
  const bool layoutOk = ReadLayout(info.Layout);
  const int32_t count = std::clamp<int32_t>(GetInt("CC=", 0), 0, kMaxPoints);
  info.RefPoints.clear();
  for (const TNumberedLine& n : FindNumberedLines(Lines, "C", "=", count)) {
    TGridPoint p;
    if (ParseRefPoint(ValueAt(Lines, n.Line, std::to_string(n.Number).size() + 2), p)) info.RefPoints.push_back(p);
  }
  info.RefCount = static_cast<int32_t>(info.RefPoints.size());
  info.DatumName = GetValue("GD=");
  info.Number = GetValue("NU=");
  info.Projection = ByteOrZero(GetInt("PR=", 0));
  info.DatumShift = GetLatLon("DS=", {0, 0});
  info.Width = std::max<int32_t>(0, GetInt("WI=", 0));
  info.Height = std::max<int32_t>(0, GetInt("HE=", 0));
  info.PixelSizeX = GetFloat("DX=", 0);
  info.PixelSizeY = GetFloat("DY=", 0);
  info.Lat0 = Rad(GetFloat("LAT0=", 0));
  info.Lon0 = Rad(GetFloat("LON0=", 0));
  info.DtValue = GetFloat("DT=", 0);
  info.LatS = Rad(GetFloat("LATS=", 0));
  info.LatN = Rad(GetFloat("LATN=", 0));
  // The height of a perspective chart (metres); readers that do not know
  // the key pass it by.
  info.P3 = GetFloat("P3=", info.P3);
  info.DepthUnits = ByteOrZero(GetInt("DU=", 0));
  // The coefficient lists are never used, whatever "PC=" says.
  info.CoefCount = 0;
  info.WGX.clear();
  info.WGY.clear();
  info.GWX.clear();
  info.GWY.clear();
  info.Comments = GetText("CR=", info.Comments);
  info.SoundingDatum = GetText("SD=", "");
  return layoutOk;
}

bool TChartHeadBaseCodec::WriteLayout(const RChartLayout& layout) {
  PutValue("NA=", layout.Name);
  PutValue("FN=", ForeignFileName(layout.FileName));
  PutInt("GR=", layout.GroupMask);
  PutInt("PY=", layout.Priority);
  PutInt("QU=", layout.QualityCode);
  PutInt("SC=", layout.Scale);
  const int count = static_cast<int>(std::min<size_t>(layout.Border.size(), 65535));
  PutInt("BC=", count);
  for (int n = 1; n <= count; ++n)
    PutLatLon(KeyOf('B', n), layout.Border[static_cast<size_t>(n - 1)]);
  DeleteNumberedAbove('B', count);
  return true;
}

bool TChartHeadBaseCodec::WriteInfo(const RChartInfo& info) {
  WriteLayout(info.Layout);
  const int count = static_cast<int>(std::min<size_t>(info.RefPoints.size(), kMaxPoints));
  PutInt("CC=", count);
  for (int n = 1; n <= count; ++n)
    PutRefPoint(KeyOf('C', n), info.RefPoints[static_cast<size_t>(n - 1)]);
  DeleteNumberedAbove('C', count);
  PutValue("GD=", info.DatumName);
  PutValue("NU=", info.Number);
  PutInt("PR=", info.Projection);
  PutLatLon("DS=", info.DatumShift);
  PutInt("WI=", info.Width);
  PutInt("HE=", info.Height);
  PutFloat("DX=", info.PixelSizeX);
  PutFloat("DY=", info.PixelSizeY);
  PutFloat("LAT0=", Deg(info.Lat0));
  PutFloat("LON0=", Deg(info.Lon0));
  PutFloat("DT=", info.DtValue);
  PutFloat("LATS=", Deg(info.LatS));
  PutFloat("LATN=", Deg(info.LatN));
  if (info.Projection == 7) PutFloat("P3=", info.P3);
  PutInt("DU=", info.DepthUnits);
  PutInt("PC=", 0);
  PutText("CR=", info.Comments);
  return true;
}

// ---------------------------------------------------------------------------
// TChartHeadExternalCodec

bool TChartHeadExternalCodec::IsSectionLine(std::string_view line) { return line.size() > 2 && line[0] == '['; }

std::string TChartHeadExternalCodec::SectionName(std::string_view line) {
  if (!IsSectionLine(line)) return std::string();
  const size_t close = line.find(']');
  if (close == std::string_view::npos || close < 2) return std::string();
  return std::string(line.substr(1, close - 1));
}

namespace {

bool IsSectionOf(std::string_view line, std::string_view name) {
  if (!TChartHeadExternalCodec::IsSectionLine(line)) return false;
  line = TrimText(line);
  if (line.size() < 2 || line.back() != ']') return false;
  return SameNameIgnoringCase(line.substr(1, line.size() - 2), name);
}

}  // namespace

std::vector<std::string> TChartHeadExternalCodec::ListSectionsIn(const std::vector<std::string>& lines) {
  std::vector<std::string> names;
  for (const std::string& line : lines) {
    std::string name = SectionName(line);
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

bool TChartHeadExternalCodec::FindSectionIn(const std::vector<std::string>& lines, std::string_view name,
                                            std::vector<std::string>& section) {
  section.clear();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!IsSectionOf(lines[i], name)) continue;
    for (size_t j = i + 1; j < lines.size() && !IsSectionLine(lines[j]); ++j) section.push_back(lines[j]);
    // The empty line that separates sections is not part of the header.
    while (!section.empty() && TrimText(section.back()).empty()) section.pop_back();
    return true;
  }
  return false;
}

bool TChartHeadExternalCodec::RemoveSectionIn(std::vector<std::string>& lines, std::string_view name) {
  bool removed = false;
  std::vector<std::string> kept;
  kept.reserve(lines.size());
  for (size_t i = 0; i < lines.size();) {
    if (IsSectionOf(lines[i], name)) {
      removed = true;
      ++i;
      while (i < lines.size() && !IsSectionLine(lines[i])) ++i;
    } else {
      kept.push_back(std::move(lines[i]));
      ++i;
    }
  }
  lines = std::move(kept);
  return removed;
}

void TChartHeadExternalCodec::PutSectionIn(std::vector<std::string>& lines, std::string_view name,
                                           const std::vector<std::string>& section) {
  RemoveSectionIn(lines, name);
  std::string head(1, '[');
  head += name;
  head += ']';
  lines.push_back(std::move(head));
  for (const std::string& l : section)
    if (!IsSectionLine(l)) lines.push_back(l);  // a "[" line would cut the section short
  lines.emplace_back();
}

bool TChartHeadExternalCodec::ReadSection(const std::string& file, std::string_view name) {
  Clear();
  std::string bytes;
  if (!ReadWholeFile(file, bytes, nullptr, kMaxHeaderFileBytes)) return false;
  TTextEncoding enc;
  const std::vector<std::string> lines = SplitTextLines(DecodeFileText(bytes, &enc));
  Encoding = enc;
  return FindSectionIn(lines, name, Lines);
}

bool TChartHeadExternalCodec::WriteSection(const std::string& file, std::string_view name, std::string* error) {
  std::string bytes;
  TTextEncoding enc = TTextEncoding::Cp1252;
  std::vector<std::string> lines;
  if (FileSizeOf(file) >= 0) {
    if (!ReadWholeFile(file, bytes, error, kMaxHeaderFileBytes)) return false;
    lines = SplitTextLines(DecodeFileText(bytes, &enc));
  }
  PutSectionIn(lines, name, Lines);
  return AtomicWriteFile(file, EncodeFileText(JoinTextLines(lines), enc), error);
}

bool TChartHeadExternalCodec::DeleteSection(const std::string& file, std::string_view name, std::string* error) {
  std::string bytes;
  if (!ReadWholeFile(file, bytes, error, kMaxHeaderFileBytes)) return false;
  TTextEncoding enc;
  std::vector<std::string> lines = SplitTextLines(DecodeFileText(bytes, &enc));
  if (!RemoveSectionIn(lines, name)) return true;  // nothing to change
  return AtomicWriteFile(file, EncodeFileText(JoinTextLines(lines), enc), error);
}

std::vector<std::string> TChartHeadExternalCodec::ListSections(const std::string& file) {
  std::string bytes;
  if (!ReadWholeFile(file, bytes, nullptr, kMaxHeaderFileBytes)) return {};
  return ListSectionsIn(SplitTextLines(DecodeFileText(bytes)));
}
