// Settings and datum files hold a few thousand keys and are read key by key.
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/IniFile.h"

namespace {

std::string BigIni(int sections, int keysPerSection) {
  std::string text = "; generated\r\n";
  for (int s = 0; s < sections; ++s) {
    text += "[Section " + std::to_string(s) + "]\r\n";
    for (int k = 0; k < keysPerSection; ++k)
      text += "Some Key " + std::to_string(k) + "=value " + std::to_string(s * 1000 + k) + "\r\n";
    text += "\r\n";
  }
  return text;
}

void BM_IniParse(benchmark::State& state) {
  std::string text = BigIni(30, 100);
  for (auto _ : state) benchmark::DoNotOptimize(TIniFile::FromBytes(text));
}
BENCHMARK(BM_IniParse)->Unit(benchmark::kMicrosecond);

// One hundred look-ups, mixed case, in a file of 3000 keys.
void BM_IniHundredLookups(benchmark::State& state) {
  TIniFile ini = TIniFile::FromBytes(BigIni(30, 100));
  for (auto _ : state)
    for (int i = 0; i < 100; ++i)
      benchmark::DoNotOptimize(ini.ReadInteger(i % 2 ? "SECTION 17" : "section 29", "some key 63", 0));
}
BENCHMARK(BM_IniHundredLookups)->Unit(benchmark::kMicrosecond);

void BM_IniWriteAndRender(benchmark::State& state) {
  std::string text = BigIni(30, 100);
  for (auto _ : state) {
    TIniFile ini = TIniFile::FromBytes(text);
    for (int i = 0; i < 100; ++i) ini.WriteInteger("Section 5", "New Key " + std::to_string(i), i);
    benchmark::DoNotOptimize(ini.FileBytes());
  }
}
BENCHMARK(BM_IniWriteAndRender)->Unit(benchmark::kMicrosecond);

}  // namespace
