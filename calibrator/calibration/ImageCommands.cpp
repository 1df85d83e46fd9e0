#include "calibrator/calibration/ImageCommands.h"

#include <QDialog>
#include <QImageReader>

#include <algorithm>

#include "calibrator/calibration/CalViews.h"
#include "calibrator/calibration/MeasuringSquare.h"
#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/dialogs/FormDialogs.h"
#include "calibrator/longrun/CommandLock.h"
#include "calibrator/longrun/MessagePanel.h"
#include "calibrator/mapview/MapView.h"
#include "charts/ChartList.h"
#include "charts/FileNames.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "sharedui/ChartAvail.h"
#include "sharedui/ChartInfoDialog.h"

namespace {

constexpr const char* kOpenFilter =
    "Chart File|*.PNG;*.BMP;*.GIF;*.KAP;*.WCI;*.CAL;*.GEO|WCI|*.WCI|BSB/KAP|*.KAP|GEO/NOS|*.GEO|PNG|*.PNG|BMP|*.BMP|"
    "Any File|*.*";
constexpr const char* kNotSaved = "Changes not saved. Continue?";

// Images other than PNG, BMP and GIF (JPEG, TIFF, ...), reached through
// their ".CAL" file, through Qt's image readers.
bool LoadOtherImage(const std::string& path, TChartImage& image, std::string* error) {
  QImageReader reader(QString::fromStdString(path));
  const QSize size = reader.size();
  if (size.isValid() && int64_t(size.width()) * size.height() > kMaxImagePixels) {
    if (error) *error = "the image is too large";
    return false;
  }
  QImage q = reader.read();
  if (q.isNull()) {
    if (error) *error = reader.errorString().toStdString();
    return false;
  }
  q = q.convertToFormat(QImage::Format_RGB32);
  if (!image.Allocate(TImageFormat::Rgb32, q.width(), q.height(), kMaxImagePixels)) {
    if (error) *error = "the image is too large";
    return false;
  }
  for (int y = 0; y < q.height(); ++y)
    std::copy_n(q.constScanLine(y), image.Stride, image.Pixels.data() + size_t(y) * image.Stride);
  return true;
}

}  // namespace

TImageCommands::TImageCommands(TCalibration& cal, TChartList& catalog, TMapView& map, TMeasuringSquare& square,
                               TCalViews& views, const TImageWindows& windows, const TCommandServices& services)
    : cal_(cal),
      catalog_(catalog),
      map_(map),
      square_(square),
      views_(views),
      dialogs_(services.Dialogs),
      lock_(services.Lock),
      panel_(services.Panel),
      windows_(windows) {
  cal_.SetOtherImageLoader(LoadOtherImage);
}

// ---------------------------------------------------------------------------
// Opening and closing

bool TImageCommands::OpenFile(const std::string& file) {
  // The image a long command may be reading stays.
  if (lock_.Running()) return false;
  if (cal_.Changed() && !dialogs_.AskYes(kNotSaved)) return false;
  // A draw under way cancels the open.
  if (!map_.StopDrawing()) return false;
  map_.Unbind();
  const TCalOpenResult r = cal_.Open(file);
  square_.Hide();
  map_.BindChart();
  for (const std::string& m : r.Messages) dialogs_.Say(m, r.Ok ? mfIconWarning : mfIconError);
  views_.RefreshAll();
  if (r.Ok && cal_.Width() > 0) map_.CentreOn({cal_.Width() / 2.0, cal_.Height() / 2.0});
  if (r.AskChartInfo) ChartInformationClick();
  return r.Ok;
}

void TImageCommands::OpenImageClick() {
  TFileDialogOptions o;
  o.title = "Open Image";
  o.filter = kOpenFilter;
  o.initialDir = cal_.IsOpen() ? DirectoryOf(cal_.FileName()) : std::string();
  const std::optional<std::string> file = OpenFileDialog(o);
  if (file && !file->empty()) OpenFile(*file);
}

void TImageCommands::OpenFromListClick() {
  TChartAvail& list = windows_.ChartAvail;
  list.Catalog = &catalog_;
  if (dialogs_.Exec(list) != QDialog::Accepted || list.SelectedName.empty()) return;
  const std::string name = list.SelectedName;
  const int index = catalog_.FindByName(name);
  const std::string file =
      index < 0 ? std::string() : FindCatalogChartFile(catalog_.GetFileName(index), catalog_.SearchPath());
  if (file.empty()) {
    dialogs_.Say("File " + name + " not found", mfIconError);
    return;
  }
  OpenFile(file);
}

bool TImageCommands::CloseImageClick() {
  if (cal_.IsOpen() && cal_.Changed() && !dialogs_.AskYes(kNotSaved)) return false;
  CloseImage();
  return !cal_.IsOpen();
}

void TImageCommands::CloseImage() {
  if (lock_.Running()) return;
  map_.StopDrawing();
  map_.Unbind();
  cal_.Close();
  square_.Hide();
  views_.RefreshAll();
}

// ---------------------------------------------------------------------------
// Saving and the chart information

void TImageCommands::SaveCalibrationClick() {
  if (!cal_.IsOpen() || cal_.ReadOnly() || !views_.FieldsComplete()) return;
  TCalSaveResult r;
  {
    TLongRun run(lock_, false);
    if (!run.Started()) return;
    if (cal_.Kind() == TCalChartKind::WCI) {
      map_.StopDrawing();
      panel_.Show("Saving....", 0, 0);
    }
    r = cal_.Save();
  }
  if (r.Reopened) map_.BindChart();
  views_.RefreshAll();
  if (!r.Message.empty()) dialogs_.Say(r.Message, r.Ok ? mfIconInformation : mfIconError);
}

void TImageCommands::SaveAsCalClick() {
  if (!cal_.IsOpen() || cal_.ReadOnly() || !views_.FieldsComplete()) return;
  TFileDialogOptions o;
  o.title = "CAL File name";
  o.filter = "CAL|*.CAL|All|*.*";
  o.defaultExt = "CAL";
  o.fileName = cal_.ProposedCalFile();
  o.overwritePrompt = true;
  const std::optional<std::string> file = SaveFileDialog(o);
  if (!file || file->empty()) return;
  const TCalSaveResult r = cal_.SaveAsCal(*file);
  views_.RefreshAll();
  if (!r.Message.empty()) dialogs_.Say(r.Message, r.Ok ? mfIconInformation : mfIconError);
}

void TImageCommands::ChartInformationClick() {
  if (!cal_.IsOpen()) return;
  T_CHInfo& info = windows_.CHInfo;
  info.ReadOnlyInfo = cal_.ReadOnly();
  info.Fill(cal_.Info(), cal_.FileName());
  if (dialogs_.Exec(info) != QDialog::Accepted || cal_.ReadOnly()) return;
  RChartInfo edited = cal_.Info();
  info.ReadBack(edited);
  cal_.SetChartInformation(edited);
  views_.UpdateTitle();
}
