// Opening a chart for the chart view, without touching the chart on show.
//
// OpenChartForView reads a chart file of any kind the plotter shows (KAP,
// NOS through its ".GEO" file, WCI, and PNG, BMP or GIF images with a
// calibration) into a TOpenedChart of its own: the chart record, its own
// decoder or picture, its own converter set up with the datum rule, and the
// values the view derives at each load (bounds, extended corners, centre,
// north rotation, miles per pixel, the receiver's datum shift). Nothing the
// window shows changes until the caller commits the result, so a chart that
// fails to open leaves the chart on show exactly as it was.
#pragma once

#include <memory>
#include <string>

#include "charts/ChartInfo.h"
#include "charts/ImageChart.h"
#include "foundation/Types.h"
#include "geodesy/CTrans.h"

class TKAPDecoder;
class TWCIDecoder;
class TDatum;
class TChartHeadExternalCodec;
class TPagerSource;

enum class TChartKind : uint8_t { None, KAP, WCI, Image };

struct TChartLoadOptions {
  // Chart directories, ";"-separated.
  std::string searchPath;
  // The datum table (required) and the datum settings.
  TDatum* datum = nullptr;
  TDatumSettings datumSettings;
  // Asked when a chart's datum is not in the table and the rule wants the
  // user to name it. Empty: there is no one to ask (a load the update cycle
  // started); the datum table's fallback applies and a notice says so.
  TDatumAliasAsk askAlias;
  // Shade of the chart colours (-99..99).
  int brightness = 0;
  // "Diskmap ImageMem" in bytes: WCI charts smaller than this are decoded
  // whole (unless the file forbids it); KAP charts never are.
  int64_t wholeImageLimit = 0;
  // The external calibration codec (CHARTCAL.DIR sections); required.
  TChartHeadExternalCodec* codec = nullptr;
};

struct TOpenedChart {
  TOpenedChart();
  ~TOpenedChart();
  TOpenedChart(TOpenedChart&&) noexcept;
  TOpenedChart& operator=(TOpenedChart&&) noexcept;

  TChartKind Kind = TChartKind::None;
  // The file as asked for and as found.
  std::string File;
  std::string ResolvedFile;
  RChartInfo Info;
  // Exactly one of these holds the picture, by Kind.
  std::unique_ptr<TKAPDecoder> Kap;
  std::unique_ptr<TWCIDecoder> Wci;
  TChartImage Image;
  // The raster the pager draws from (Kap or Wci), null for an image.
  TPagerSource* Source() const;
  // The pager's whole-image limit for this chart.
  int64_t WholeImageLimit = 0;
  // Set up for the chart at scale 1, datum shift included.
  TWorldConvert Converter;
  TChartSetup Setup;
  // Positions of the pixels (-100, -100), (-100, h + 100), (w + 100, h + 100)
  // and (w + 100, -100).
  TFPointArray ExtendedCorners;
  // Shift of the receiver's datum ("GPS Datum") to WGS 84 at the chart.
  TFPoint GpsShift;
  // A note for the message panel ("" when none), e.g. an unknown datum.
  std::string Notice;
};

struct TChartLoadError {
  // The text the user is shown ("Chart error on reading " + file, ...).
  std::string Message;
  // Why, in a few words.
  std::string Reason;
};

// Opens the chart. False (and `error` filled) when it cannot be shown.
bool OpenChartForView(const std::string& file, const TChartLoadOptions& options, TOpenedChart& out,
                      TChartLoadError& error);

// The derived values of a chart whose converter is set up at the scale it
// is shown at: the bounds from the extended corners, the centre (the vertex
// mean of the border; the middle of the chart when it has no border), the
// north rotation and the miles per pixel (over one row at load). False when
// the converter cannot place the chart (every value is then left 0, never
// NaN).
bool DeriveChartValues(TWorldConvert& convert, RChartInfo& info, TFPointArray* extendedCorners);

// Miles per pixel at the chart's centre: the distance over `pixels` screen
// pixels upward from it, divided by `pixels`; 0 when it cannot be measured.
double MilesPerPixelAt(TWorldConvert& convert, const TFPoint& centre, double pixels);
// Miles per pixel measured across (dx) or along (dy) over 100 pixels at a
// position; 0 when it cannot be measured.
double MilesPerPixelToward(TWorldConvert& convert, const TFPoint& pos, double dx, double dy);
