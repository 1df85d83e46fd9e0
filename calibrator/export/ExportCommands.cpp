// The "Convert" commands of the tool bar's "Tools" menu. The work is done by
// the conversion core (core/ChartConvert.h); these commands ask their
// questions, show the message panel and report.
#include "calibrator/export/ExportCommands.h"

#include "calibrator/border/BorderPoints.h"
#include "calibrator/calibration/OpenImage.h"
#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/dialogs/FormDialogs.h"
#include "calibrator/export/core/ChartConvert.h"
#include "calibrator/longrun/CommandLock.h"
#include "calibrator/longrun/MessagePanel.h"
#include "calibrator/start/core/TeskorStart.h"
#include "charts/FileNames.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "platform/FileDialogs.h"
#include "platform/Paths.h"
#include "platform/Questions.h"
#include "sharedui/SpyFrm.h"

namespace {

constexpr const char* kWciFilter = "WCI|*.WCI|All|*.*";

std::string BareFileName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The colour reduction of a 32-bit source, for the user.
std::string ColourNote(const TQuantiseStats& s) {
  if (s.Exact || s.PaletteColours == 0) return std::string();
  return "Colours reduced to " + std::to_string(s.PaletteColours) + " (error: rms " +
         FloatToStrFixedDot(1, s.RmsError) + ", largest " + std::to_string(s.MaxError) + " of 255).";
}

}  // namespace

TExportCommands::TExportCommands(TCalibration& cal, const TTeskorSettings& settings, IOpenImage& image,
                                 TBorderPoints& border, TSpyFrm& problemCharts, const TCommandServices& services)
    : cal_(cal),
      settings_(settings),
      image_(image),
      border_(border),
      problemCharts_(problemCharts),
      dialogs_(services.Dialogs),
      lock_(services.Lock),
      panel_(services.Panel) {}

TConvertSettings TExportCommands::ConvertSettings() {
  TConvertSettings settings;
  settings.CompressionRatio = settings_.CompressionFactor;
  settings.Progress = [this](const std::string& t, int p, int m) { return panel_.Step(t, p, m); };
  return settings;
}

void TExportCommands::CurrentToWCIClick() {
  if (!cal_.IsOpen() || cal_.Kind() != TCalChartKind::Image || cal_.Image().Empty()) {
    dialogs_.Say("This image can not be converted.", mfIconWarning);
    return;
  }
  TFileDialogOptions o;
  o.title = "WCI File name";
  o.filter = kWciFilter;
  o.defaultExt = "WCI";
  o.fileName = FileBaseName(cal_.FileName()) + ".WCI";
  o.overwritePrompt = true;
  const std::optional<std::string> target = SaveFileDialog(o);
  if (!target) return;
  if (cal_.Info().Layout.Border.size() < 3) border_.SetBorderToImageClick();
  TConvertOutcome r;
  {
    TLongRun run(lock_, true);
    if (!run.Started()) return;
    panel_.Step("Pre-Converting", 0, 0);
    // The record is copied: the open image keeps its own file name and name.
    r = ConvertPictureToWCI(cal_.Image(), cal_.Info(), *target, ConvertSettings());
  }
  if (r.Result > 0) {
    const std::string note = ColourNote(r.Colours);
    dialogs_.Say(*target + " Created." + (note.empty() ? std::string() : "\r\n" + note), mfIconInformation);
  } else if (!r.Cancelled) {
    dialogs_.Say(r.Problem.empty() ? "This file can not be converted." : r.Problem, mfIconError);
  }
}

void TExportCommands::SetGenimapQuestion(TConvertSettings& settings) {
  // Asked once per command: the first Genimap chart's scale sets the ratio
  // for the rest.
  genimapScaleRatio_ = 0;
  settings.GenimapScaleRatio = &genimapScaleRatio_;
  settings.AskGenimapScale = [this](const std::string& wciName) -> std::optional<int64_t> {
    const std::optional<std::string> answer = dialogs_.Ask("Chart scale info", "Scale for chart " + wciName, "40000");
    if (!answer) return std::nullopt;
    const std::optional<int32_t> v = TryStrToInt(*answer);
    if (!v || *v <= 0) return std::nullopt;
    return *v;
  };
}

void TExportCommands::SingleFileToWCIClick() {
  TFileDialogOptions src;
  src.title = "Source Image File";
  src.filter =
      "Image File|*.PNG;*.BMP;*.GIF;*.JPG;*.JPEG;*.TIF;*.TIFF;*.GMB;*.KAP;*.MAP|PNG File|*.PNG|BMP File|*.BMP|"
      "GIF File|*.GIF|JPEG File|*.JPG;*.JPEG|TIFF File|*.TIF;*.TIFF|KAP File|*.KAP|MAP File|*.MAP|Any File|*.*";
  src.defaultExt = "PNG";
  const std::optional<std::string> source = OpenFileDialog(src);
  if (!source) return;
  TFileDialogOptions dst;
  dst.title = "WCI File name";
  dst.filter = kWciFilter;
  dst.defaultExt = "WCI";
  dst.fileName = FileBaseName(*source) + ".WCI";
  dst.overwritePrompt = true;
  const std::optional<std::string> target = SaveFileDialog(dst);
  if (!target) return;
  // Unsaved calibration work is not dropped without asking.
  if (!image_.CloseImageClick()) return;
  const bool isMap = UpperExtension(*source) == ".MAP";
  TConvertOutcome r;
  {
    TLongRun run(lock_, true);
    if (!run.Started()) return;
    TConvertSettings settings = ConvertSettings();
    SetGenimapQuestion(settings);
    panel_.Step("Converting " + BareFileName(*source), 0, 0);
    r = isMap ? ConvertMAPToWCI(*source, *target, settings) : ConvertImageToWCI(*source, *target, true, true, settings);
  }
  if (isMap && r.Result == kConvertNotWritten && !r.Cancelled) {
    dialogs_.Say("MAP file could not be converted" + (r.Problem.empty() ? std::string() : "\r\n" + r.Problem),
                 mfIconError);
    return;
  }
  const std::string note = ColourNote(r.Colours);
  if (r.Result == kConvertNotWritten) {
    if (!r.Cancelled) dialogs_.Say(r.Problem.empty() ? "This file can not be converted." : r.Problem, mfIconError);
  } else if (r.Result == kConvertUncalibrated) {
    dialogs_.Say(*target + " Created without calibration: none was found for " + BareFileName(*source) + "." +
                     (note.empty() ? std::string() : "\r\n" + note),
                 mfIconWarning);
  } else if (!note.empty()) {
    dialogs_.Say(*target + " Created.\r\n" + note, mfIconInformation);
  }
}

bool TExportCommands::RunBatch(const std::function<TBatchSummary(TConvertSettings&)>& convert, TBatchSummary& summary) {
  if (!image_.CloseImageClick()) return false;
  problemCharts_.Clear();
  {
    TLongRun run(lock_, true);
    if (!run.Started()) return false;
    TConvertSettings settings = ConvertSettings();
    summary = convert(settings);
  }
  if (summary.Scanned == 0 && summary.Problems.empty()) return false;
  for (const std::string& line : summary.Problems) problemCharts_.AddLine(line);
  if (!summary.Problems.empty()) problemCharts_.show();
  return true;
}

void TExportCommands::ImagesInDirToWCIClick() {
  if (!dialogs_.AskYes(
          "Converts all images in a source directory to a target directory.\r\nMay take long time. Continue?"))
    return;
  const std::optional<std::string> source = PickFolderDialog("Select Source Directory:", std::string());
  if (!source) return;
  const std::optional<std::string> target = PickFolderDialog("Select Destination Directory:", std::string());
  if (!target) return;
  const bool overwrite = dialogs_.AskYes("Overwrite existing WCI files?");
  const bool uncalibrated = dialogs_.AskYes("Convert images without calibration?");
  TBatchSummary s;
  if (!RunBatch(
          [&](TConvertSettings& settings) {
            SetGenimapQuestion(settings);
            return ConvertImageDirectory(*source, *target, overwrite, uncalibrated, settings);
          },
          s))
    return;
  for (const auto& [name, stats] : s.Colours) problemCharts_.AddLine(name + ": " + ColourNote(stats));
  dialogs_.Say(s.Report() + (s.Cancelled ? "\r\nCancelled." : ""), mfIconInformation);
}

void TExportCommands::MapInDirToWCIClick() {
  if (!dialogs_.AskYes("Converts MAP files in a source directory to WCI in target directory.\r\n"
                       "Overwrites without warning and may take long time. Continue?"))
    return;
  const std::optional<std::string> source = PickFolderDialog("Select Source Directory:", std::string());
  if (!source) return;
  const std::optional<std::string> target = PickFolderDialog("Select Destination Directory:", std::string());
  if (!target) return;
  TBatchSummary s;
  if (!RunBatch([&](TConvertSettings& settings) { return ConvertMapDirectory(*source, *target, settings); }, s)) return;
  dialogs_.Say(s.MapReport() + (s.Cancelled ? "\r\nCancelled." : ""), mfIconInformation);
}

void TExportCommands::CurrentWCIToBMPClick() {
  if (!cal_.IsOpen() || cal_.Kind() != TCalChartKind::WCI) {
    dialogs_.Say("Only WCI files can be converted.", mfIconWarning);
    return;
  }
  TFileDialogOptions o;
  o.title = "BMP File name";
  o.filter = "BMP|*.BMP|All|*.*";
  o.defaultExt = "BMP";
  o.overwritePrompt = true;
  const std::optional<std::string> bmp = SaveFileDialog(o);
  if (!bmp) return;
  std::string error;
  bool ok = false;
  {
    TLongRun run(lock_, false);
    if (!run.Started()) return;
    panel_.Step("Converting WCI to BMP", 0, 0);
    ok = ExportWCIToBMP(cal_.FileName(), *bmp, error, &cal_.Info());
  }
  if (!ok) dialogs_.Say(error, mfIconError);
}

void TExportCommands::CacheMarkClick(bool disable) {
  TFileDialogOptions o;
  o.title = disable ? "Cache Disable WCI File names" : "Cache Enable WCI File names";
  o.filter = kWciFilter;
  o.defaultExt = "WCI";
  const std::optional<std::vector<std::string>> files = OpenFilesDialog(o);
  if (!files) return;
  std::string failed;
  {
    TLongRun run(lock_, false);
    if (!run.Started()) return;
    for (const std::string& f : *files) {
      panel_.Step((disable ? "Cache Disabling " : "Cache Enabling ") + BareFileName(f), 0, 0);
      TWCIDecoder wci;
      if (wci.SetAttributeBit(f, 3, 1, disable) < 0) failed += "\r\n" + BareFileName(f);
    }
  }
  // Files that are not WCI charts of this version, or cannot be changed.
  if (!failed.empty()) dialogs_.Say("The cache mark could not be changed in:" + failed, mfIconError);
}
