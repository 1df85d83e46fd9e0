// The calibration tool's imports of calibrations made elsewhere, the
// "Import Cal" submenu of "Tools": the old chart list ("Old Brismare
// Calibrations", "BRICHART.DIR"), WinGPS chart indexes ("CHI
// Calibrations", ".CHI") and an OziExplorer map file's calibration for the
// open image (".MAP Calibration", shown with the start switch O letter M).
#pragma once

#include <string>

#include "calibrator/longrun/CommandLock.h"

class IOpenImage;
class TCalViews;
class TCalibration;
struct TTeskorSettings;

class TImportCommands {
 public:
  // The old chart list is looked for in the data directory first.
  TImportCommands(TCalibration& cal, const TTeskorSettings& settings, const std::string& dataDir, IOpenImage& image,
                  TCalViews& views, const TCommandServices& services);

  void ImportOldCalibrationsClick();
  void ImportChiCalibrationsClick();
  void ImportMapCalibrationClick();

 private:
  TCalibration& cal_;
  const TTeskorSettings& settings_;
  const std::string& dataDir_;
  IOpenImage& image_;
  TCalViews& views_;
  TFormDialogs& dialogs_;
  TCommandLock& lock_;
  TMessagePanel& panel_;
};
