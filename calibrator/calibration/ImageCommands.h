// The open image of the calibration tool's window, through the "File" menu
// ("Open Image", "Open From List", "Close Image", "Save Calibration", "Save
// as .CAL File") and "Edit" > "Chart Information": opening an image or chart
// onto the map, closing it, saving its calibration, and its chart
// information. Images other than PNG, BMP and GIF (JPEG, TIFF, ...) reach
// the calibration through Qt's image readers.
#pragma once

#include <string>

#include "calibrator/calibration/OpenImage.h"
#include "calibrator/longrun/CommandLock.h"

class TCalViews;
class TCalibration;
class TChartAvail;
class TChartList;
class TMapView;
class TMeasuringSquare;
class T_CHInfo;

// The windows the commands show.
struct TImageWindows {
  T_CHInfo& CHInfo;
  TChartAvail& ChartAvail;
};

class TImageCommands : public IOpenImage {
 public:
  TImageCommands(TCalibration& cal, TChartList& catalog, TMapView& map, TMeasuringSquare& square, TCalViews& views,
                 const TImageWindows& windows, const TCommandServices& services);

  // Opens a file (after "Changes not saved. Continue?" when needed); true
  // when it is open. Nothing while a long command runs.
  bool OpenFile(const std::string& file);
  void OpenImageClick();
  void OpenFromListClick();
  bool CloseImageClick() override;
  void CloseImage() override;
  void SaveCalibrationClick();
  void SaveAsCalClick();
  void ChartInformationClick();

 private:
  TCalibration& cal_;
  TChartList& catalog_;
  TMapView& map_;
  TMeasuringSquare& square_;
  TCalViews& views_;
  TFormDialogs& dialogs_;
  TCommandLock& lock_;
  TMessagePanel& panel_;
  TImageWindows windows_;
};
