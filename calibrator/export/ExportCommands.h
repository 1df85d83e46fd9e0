// The calibration tool's chart export, the "Convert" submenu of "Tools":
// the open picture, one file, or a directory of images or of map files into
// WCI charts ("Current to WCI", "Single file to WCI", "Images in Dir to
// WCI", "MAP in Dir to WCI"), the open WCI chart into a BMP ("Current WCI
// to BMP"), and the cache marks of WCI files ("Cache Disable", "Cache
// Enable"). Every conversion is a long command; "Cancel" stops it.
#pragma once

#include <functional>

#include "calibrator/longrun/CommandLock.h"

class IOpenImage;
class TBorderPoints;
class TCalibration;
class TSpyFrm;
struct TBatchSummary;
struct TConvertSettings;
struct TTeskorSettings;

class TExportCommands {
 public:
  // The problems of a directory run are listed in `problemCharts`.
  TExportCommands(TCalibration& cal, const TTeskorSettings& settings, IOpenImage& image, TBorderPoints& border,
                  TSpyFrm& problemCharts, const TCommandServices& services);

  void CurrentToWCIClick();
  void CurrentWCIToBMPClick();
  void SingleFileToWCIClick();
  void ImagesInDirToWCIClick();
  void MapInDirToWCIClick();
  void CacheMarkClick(bool disable);

 private:
  // A directory conversion: the open image closed first, the tool bar off
  // while `convert` runs, its problems in "Problem Charts". False when it
  // did not run or found nothing to report.
  bool RunBatch(const std::function<TBatchSummary(TConvertSettings&)>& convert, TBatchSummary& summary);
  // A conversion's settings: "Compression Factor" and the message panel.
  TConvertSettings ConvertSettings();
  // Asked once per command: the first Genimap chart's scale sets the ratio
  // for the rest.
  void SetGenimapQuestion(TConvertSettings& settings);

  TCalibration& cal_;
  const TTeskorSettings& settings_;
  IOpenImage& image_;
  TBorderPoints& border_;
  TSpyFrm& problemCharts_;
  TFormDialogs& dialogs_;
  TCommandLock& lock_;
  TMessagePanel& panel_;
  // Scale per latitude span of the Genimap charts of one command (0: ask).
  double genimapScaleRatio_ = 0;
};
