// The calibration tool's working chart, without any window: the image or
// chart that is open, its chart information record, the reference points
// and border points the user places, the fit through them, and saving the
// calibration back where it came from.
//
// Pixels here are image pixels (the zoom is the window's business);
// positions are radians in the chart's own datum, as the calibration header
// stores them: the tool never applies a datum shift, so what the user types
// is what is fitted, shown and saved.
//
// Rules beyond the plain workflow, each keeping the user's work:
//  - a fit that fails keeps the border positions, and the border pixels of
//    the last good fit are kept for the next activation, so the border stays
//    on the same pixels once the points are put right;
//  - moving a point recomputes its position only through a valid fit (a
//    typed position is never replaced by 0 deg N 0 deg E);
//  - saving writes back into the file the calibration was read from (a
//    ".CAL" beside the image wins over "CHARTCAL.DIR"), atomically, and keeps
//    the header lines the record does not model ("SD=", unknown keys).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "charts/ChartFile.h"
#include "charts/ChartInfo.h"
#include "calibrator/mapview/core/CalView.h"
#include "charts/ImageChart.h"
#include "charts/PagerSource.h"
#include "foundation/Types.h"
#include "geodesy/CTrans.h"

class TKAPDecoder;
class TWCIDecoder;

inline constexpr const char* kCalibrationTitle = "Brismare Calibration Utility";
// The most reference points and the most border points the user can place.
inline constexpr int kMaxCalPoints = 127;
// Metres per radian of arc on the tool's sphere (a nautical mile per minute).
inline constexpr double kCalMetresPerRadian = 6366707.0194937;

enum class TCalChartKind : uint8_t { None, KAP, WCI, Image };

// What opening a file gave.
struct TCalOpenResult {
  bool Ok = false;
  // Messages for the user, in order ("KAP/NOS Open error", "Error when
  // reading " + file, "Image Size have changed. ...").
  std::vector<std::string> Messages;
  // The chart has no reference points: the chart information dialog opens.
  bool AskChartInfo = false;
};

// What "Activate Changes" gave.
struct TCalActivation {
  bool Ran = false;       // there were at least two reference points
  bool FitOk = false;     // the fit succeeded ("Error in calibration parameters" otherwise)
  bool Mirrored = false;  // east-west or north-south appear swapped
};

struct TCalSaveResult {
  bool Ok = false;
  // The message for the user (success or failure); empty when the command
  // did nothing (a read-only chart).
  std::string Message;
  // The chart file was rewritten and opened again (a WCI chart): the window
  // binds its pager anew.
  bool Reopened = false;
};

// Why a KAP or NOS chart takes no imported calibration.
inline constexpr const char* kReadOnlyCalibration = "The calibration of a KAP or NOS chart cannot be changed.";

struct TCalImportResult {
  bool Ok = false;
  std::string Message;  // why nothing was taken
};

class TCalibration {
 public:
  TCalibration();
  ~TCalibration();
  TCalibration(const TCalibration&) = delete;
  TCalibration& operator=(const TCalibration&) = delete;

  // ---- settings ----
  // The chart directories (";"-separated), for names given without a path.
  void SetSearchPath(const std::string& path);
  // Loader of image types other than PNG, BMP and GIF (JPEG, TIFF, ...),
  // reached through their ".CAL" file.
  void SetOtherImageLoader(TImageLoader loader);

  // ---- opening and closing ----
  TCalOpenResult Open(const std::string& file);
  // Closes the decoders and forgets the image, the record and the points.
  void Close();

  TCalChartKind Kind() const { return kind_; }
  bool IsOpen() const { return kind_ != TCalChartKind::None; }
  bool ReadOnly() const { return kind_ == TCalChartKind::KAP; }
  // The file as resolved (the image, KAP or WCI file).
  const std::string& FileName() const { return fileName_; }
  // "Brismare Calibration Utility [" + Name + "]=[" + FileName + "]", with
  // ":Read-Only" for a KAP or NOS chart; the bare title when nothing is open.
  std::string Title() const;

  // The picture of a plain image, and the decoder of a KAP or WCI chart.
  const TChartImage& Image() const { return image_; }
  TPagerSource* Source() const;
  // The chart's colours for the pager (KAP and WCI).
  bool FillColours(TColourTable& table) const;
  int32_t Width() const { return info_.Width; }
  int32_t Height() const { return info_.Height; }

  // ---- the record ----
  const RChartInfo& Info() const { return info_; }
  // The chart information dialog's values (name, number, scale, projection
  // and its parameters, datum, depth units, comments); ignored for a
  // read-only chart.
  void SetChartInformation(const RChartInfo& edited);

  // ---- state ----
  bool Changed() const { return changed_; }
  void SetChanged(bool changed) { changed_ = changed; }
  // A calibration was written during this run.
  bool SavedSomething() const { return savedSomething_; }
  // "Lock Lat && Long": moving a point keeps its position.
  bool LockPositions = false;

  // ---- the fit ----
  // The current fit (positions in the chart's datum; scale 1).
  const TWorldConvert& Fit() const { return convert_; }
  bool FitValid() const { return convert_.Valid; }
  // Position of an image pixel through the current fit.
  bool PixelToGeo(const TFPoint& pixel, TFPoint& pos) const;
  bool GeoToPixel(const TFPoint& pos, TFPoint& pixel) const;

  // ---- reference points ----
  int RefCount() const { return static_cast<int>(info_.RefPoints.size()); }
  const TGridPoint& Ref(int index) const { return info_.RefPoints.at(static_cast<size_t>(index)); }
  // A point at the pixel (rounded), its position from the current fit
  // ((0, 0) without one); it becomes selected. -1 for a read-only chart or
  // when there are kMaxCalPoints already.
  int AddRefPoint(const TFPoint& pixel);
  bool DeleteRefPoint(int index);
  // Moves the point to the pixel (rounded). Unless LockPositions is set,
  // its position follows the current fit, when there is a valid one.
  bool MoveRefPoint(int index, const TFPoint& pixel);
  // The point's latitude (Y) or longitude (X) as the user typed it.
  bool SetRefLatitude(int index, double lat);
  bool SetRefLongitude(int index, double lon);
  int SelectedRef = -1;
  // The reference point nearest to the pixel (-1 when there is none).
  int ClosestRef(const TFPoint& pixel) const;

  // ---- border points ----
  int BorderCount() const { return static_cast<int>(info_.Layout.Border.size()); }
  const TFPoint& Border(int index) const { return info_.Layout.Border.at(static_cast<size_t>(index)); }
  // The border point's pixel through the current fit.
  bool BorderPixel(int index, TFPoint& pixel) const;
  // A border point at the pixel: appended while there are fewer than three,
  // else beside the nearest point where the detour through the pixel is
  // smallest. Needs a valid fit; -1 otherwise, for a read-only chart or
  // when there are kMaxCalPoints already. It becomes selected.
  int AddBorderPoint(const TFPoint& pixel);
  bool DeleteBorderPoint(int index);
  bool SetBorderLatitude(int index, double lat);
  bool SetBorderLongitude(int index, double lon);
  // Four points at the pixels (5, 5), (5, H - 5), (W - 5, H - 5), (W - 5, 5)
  // through the fit. False without a valid fit or for a read-only chart.
  bool SetBorderToImage();
  int SelectedBorder = -1;
  int ClosestBorder(const TFPoint& pixel) const;
  // Whether the position lies inside the border (at least three points).
  bool InsideBorder(const TFPoint& pos) const;

  // ---- what the map draws through the fit ----
  TCalGrid Grid(TGridDensity density) const;
  std::vector<std::vector<TFPoint>> BorderLine() const;

  // ---- activation ----
  // "Activate Changes" (also before every save): the projection defaults,
  // the fit, the border carried over to the new fit, the pixel size and the
  // mirror test. Nothing runs with fewer than two reference points.
  TCalActivation Activate();
  // Sets up the fit from the record as it stands, without defaults or
  // changes to the record (after opening a chart).
  bool SetUpFit();

  // ---- imports ----
  // ".MAP Calibration": an OziExplorer map file's calibration (points,
  // projection, datum, name, scale, border) onto the open image, which keeps
  // its file name and size; the fit is set up from it. A map that cannot be
  // used changes nothing. Refused for a read-only chart.
  TCalImportResult ImportMapCalibration(const std::string& mapFile);

  // ---- measuring square ----
  // "Calibrate": with exactly one reference point, adds a point `boxHeight`
  // pixels above it, `metres` further north, and one `boxWidth` pixels to
  // its right, `metres` further east. False otherwise.
  bool StickCalibrate(double metres, int32_t boxWidth, int32_t boxHeight);

  // ---- saving ----
  // "Save Calibration": the WCI file's own text, the image's ".CAL" file
  // (the one it was opened through, or one beside the image), or the
  // image's section of the directory's "CHARTCAL.DIR".
  TCalSaveResult Save();
  // "Save as .CAL File" to the chosen file.
  TCalSaveResult SaveAsCal(const std::string& file);
  // The name proposed for "Save as .CAL File": the image's name with ".CAL".
  std::string ProposedCalFile() const;
  // What the record would be written as (the header text of the next save).
  std::string HeaderText();

 private:
  void ResetChart();
  TCalSaveResult CheckSavable();
  // Activates and completes the record for writing; false (with the
  // message) when the fit failed.
  bool PrepareForSave(TCalSaveResult& out);
  void Saved();
  // The header lines to write: the lines the calibration was read from
  // with the record put over them.
  std::vector<std::string> HeaderLines();
  // The border's pixels through the fit in force (empty without a valid
  // fit or a border).
  bool BorderPixels(TFPointArray& pixels) const;
  void ApplyProjectionDefaults();

  TChartHeadExternalCodec codec_;
  TChartFile chartFile_;
  std::unique_ptr<TKAPDecoder> kap_;
  std::unique_ptr<TWCIDecoder> wci_;
  mutable TWorldConvert convert_;
  TCalChartKind kind_ = TCalChartKind::None;
  RChartInfo info_;
  TChartImage image_;
  std::string fileName_;
  // Where the calibration was read from: its ".CAL" file, or "" (a section
  // of CHARTCAL.DIR, the WCI text, or none).
  std::string calFile_;
  // The header lines the calibration was read from (written back with the
  // record put over them, so keys the record does not hold survive).
  std::vector<std::string> baseLines_;
  // Border pixels of the last valid fit, kept while the fit is not valid
  // (one per border point; empty when unknown).
  TFPointArray keptBorderPixels_;
  bool changed_ = false;
  bool savedSomething_ = false;
};

// ---------------------------------------------------------------------------
// Pieces of the workflow that are pure arithmetic.

// The pixel size stored with a calibration ("DX=", "DY="): from the latitude
// difference d (radians) between pixels (0, 0) and (100, 100),
// |trunc(d * kCalMetresPerRadian)| / 100 metres.
double CalPixelSize(double latitudeDifference);
// The mean longitude of the points, taken round the circle (so 179 deg and
// -179 deg give 180 deg, not 0); 0 without points.
double CircularMeanLongitude(const TGridPointArray& points);
// Whether a fit maps the pixels mirrored: the determinant of the Jacobian of
// pixel -> (east, north) is positive (pixel rows run down the image). The
// three positions are those of a pixel and of its neighbours `step` pixels
// to the right and below.
bool MappingMirrored(const TFPoint& at, const TFPoint& right, const TFPoint& below);
// Where a new border point goes among `pixels` (the border's points in
// order): the index it is inserted before (pixels.size() appends).
size_t BorderInsertIndex(const TFPointArray& pixels, const TFPoint& click);
