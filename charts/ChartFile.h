// The chart file reader and the codec it uses for calibration headers kept
// outside the chart (".CAL" files, "CHARTCAL.DIR"). (Only what the main
// window needs at start so far; both come with their own work.)
#pragma once

#include <string>

class TChartHeadExternalCodec {
 public:
  TChartHeadExternalCodec() = default;
  TChartHeadExternalCodec(const TChartHeadExternalCodec&) = delete;
  TChartHeadExternalCodec& operator=(const TChartHeadExternalCodec&) = delete;
};

class TChartFile {
 public:
  explicit TChartFile(TChartHeadExternalCodec& codec) : codec_(codec) {}
  TChartFile(const TChartFile&) = delete;
  TChartFile& operator=(const TChartFile&) = delete;

  // The chart directories, ";"-separated.
  std::string SearchPath;
  int Brightness = 0;
  TChartHeadExternalCodec& Codec() const { return codec_; }

 private:
  TChartHeadExternalCodec& codec_;
};
