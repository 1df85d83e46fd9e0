// Settings files are edited by hand and by other programs: any bytes must
// parse without harm, every read must agree with the listings, edits must
// read back as written, and the written file must read back the same.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/IniFile.h"
#include "foundation/NumText.h"

namespace {

using Section = std::pair<std::string, std::vector<std::pair<std::string, std::string>>>;
using Model = std::vector<Section>;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_ini: %s\n", what);
    std::abort();
  }
}

Model Snapshot(const TIniFile& ini) {
  Model m;
  for (const auto& s : ini.ReadSections()) m.emplace_back(s, ini.ReadSectionValues(s));
  return m;
}

// Every read operation, over every name the file lists.
void ReadEverything(const TIniFile& ini) {
  for (const auto& s : ini.ReadSections()) {
    Check(ini.SectionExists(s), "a listed section does not exist");
    auto keys = ini.ReadSection(s);
    auto values = ini.ReadSectionValues(s);
    Check(keys.size() == values.size(), "key and value listings differ in length");
    for (size_t i = 0; i < keys.size(); ++i) {
      const std::string& k = keys[i];
      Check(k == values[i].first, "key and value listings differ");
      auto v = ini.Read(s, k);
      Check(v && *v == values[i].second, "Read disagrees with the listing");
      Check(ini.ValueExists(s, k), "a listed key does not exist");
      Check(ini.ReadString(s, k, "\x01") == *v, "ReadString disagrees with Read");
      int32_t n = ini.ReadInteger(s, k, 7);
      auto parsed = TryStrToInt(*v);
      Check(n == (parsed ? *parsed : 7), "ReadInteger disagrees with TryStrToInt");
      Check(ini.ReadBool(s, k, true) == (parsed ? *parsed != 0 : true), "ReadBool");
      double f = ini.ReadFloat(s, k, 0.5);
      Check(std::isfinite(f), "ReadFloat gave a non-finite value");
    }
  }
  (void)ini.Encoding();
  (void)ini.Modified();
}

// What a written string reads back as: stray bytes as Windows-1252
// characters, line breaks as blanks.
std::string Normalised(std::string_view v) {
  std::string out;
  if (IsValidUtf8(v)) {
    out = std::string(v);
  } else {
    for (size_t pos = 0; pos < v.size();) AppendUtf8(out, NextCodePoint(v, pos));
  }
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

std::string Slice(const std::string& bytes, FuzzedDataProvider& fdp) {
  if (bytes.empty()) return {};
  size_t from = fdp.ConsumeIntegralInRange<size_t>(0, bytes.size() - 1);
  size_t len = fdp.ConsumeIntegralInRange<size_t>(0, 40);
  return bytes.substr(from, len);
}

std::string PickSection(const TIniFile& ini, const std::string& bytes, FuzzedDataProvider& fdp) {
  auto sections = ini.ReadSections();
  uint8_t how = fdp.ConsumeIntegral<uint8_t>();
  if (how % 4 != 0 && !sections.empty()) return sections[how % sections.size()];
  return how % 8 == 0 ? std::string("Program Setup") : Slice(bytes, fdp);
}

std::string PickKey(const TIniFile& ini, const std::string& section, const std::string& bytes,
                    FuzzedDataProvider& fdp) {
  auto keys = ini.ReadSection(section);
  uint8_t how = fdp.ConsumeIntegral<uint8_t>();
  if (how % 4 != 0 && !keys.empty()) return keys[how % keys.size()];
  return how % 8 == 0 ? std::string("Show Time") : Slice(bytes, fdp);
}

void Edit(TIniFile& ini, const std::string& bytes, FuzzedDataProvider& fdp) {
  int count = fdp.ConsumeIntegralInRange<int>(0, 8);
  for (int i = 0; i < count; ++i) {
    uint8_t op = fdp.ConsumeIntegral<uint8_t>() % 6;
    std::string section = PickSection(ini, bytes, fdp);
    std::string key = PickKey(ini, section, bytes, fdp);
    try {
      switch (op) {
        case 0: {
          std::string value = Slice(bytes, fdp);
          ini.WriteString(section, key, value);
          Check(ini.Read(section, key) == Normalised(value), "a written string reads back changed");
          break;
        }
        case 1: {
          int32_t value = fdp.ConsumeIntegral<int32_t>();
          ini.WriteInteger(section, key, value);
          Check(ini.ReadInteger(section, key, value ^ 1) == value, "a written integer reads back changed");
          break;
        }
        case 2: {
          double value = fdp.ConsumeFloatingPoint<double>();
          ini.WriteFloat(section, key, value);
          double back = ini.ReadFloat(section, key, 0.25);
          if (std::isfinite(value) && value != 0)
            Check(std::bit_cast<uint64_t>(back) == std::bit_cast<uint64_t>(value), "a written float reads back changed");
          else if (value == 0)
            Check(back == 0, "a written zero reads back changed");
          else
            Check(back == 0.25, "a non-finite float did not read as the default");
          break;
        }
        case 3: {
          bool value = fdp.ConsumeBool();
          ini.WriteBool(section, key, value);
          Check(ini.ReadBool(section, key, !value) == value, "a written bool reads back changed");
          break;
        }
        case 4:
          ini.DeleteKey(section, key);
          Check(!ini.ValueExists(section, key), "a deleted key is still there");
          break;
        default:
          ini.EraseSection(section);
          Check(!ini.SectionExists(section), "an erased section is still there");
          break;
      }
    } catch (const std::invalid_argument&) {
      // A name that cannot be stored; the file must be as it was.
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The last bytes of the input drive the edits; the rest is the file, so
  // that a corpus of real settings files stays meaningful.
  size_t controlBytes = std::min<size_t>(size / 3, 48);
  std::string bytes(reinterpret_cast<const char*>(data), size - controlBytes);
  FuzzedDataProvider control(data + size - controlBytes, controlBytes);

  TIniFile ini = TIniFile::FromBytes(bytes);
  ReadEverything(ini);
  const Model original = Snapshot(ini);
  const std::string originalText = ini.Text();
  Check(Snapshot(TIniFile::FromBytes(ini.FileBytes())) == original, "an unchanged file reads back differently");

  Edit(ini, bytes, control);
  ReadEverything(ini);
  if (!ini.Modified()) Check(ini.Text() == originalText, "the text changed without a modification");

  const Model edited = Snapshot(ini);
  const std::string text = ini.Text();
  TIniFile fromFile = TIniFile::FromBytes(ini.FileBytes());
  Check(Snapshot(fromFile) == edited, "the written file reads back differently");
  Check(fromFile.Text() == text, "the written file's text differs");
  // Text() is UTF-8; a byte-order mark in front makes it read as such even
  // when the text itself begins with U+FEFF.
  Check(Snapshot(TIniFile::FromBytes("\xEF\xBB\xBF" + text)) == edited, "Text() reads back differently");
  return 0;
}
