// The main window's positions commands: open (merging), save, save as, add
// (the position editor with its unique-name check), import and export in
// the two text exchange formats. Unlock, delete and clear are in
// MainShapes.cpp, the NMEA upload in plotter/output/.
#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <filesystem>
#include <memory>

#include <string>
#include <vector>

#include "charts/FileNames.h"
#include "foundation/GenUtil.h"
#include "instruments/NMEA.h"
#include "navobjects/Routes.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "plotter/AuxDialogs.h"
#include "plotter/MainForm.h"
#include "plotter/PosEdit.h"
#include "plotter/core/ChartShapes.h"
#include "plotter/symbols/ChartSymbols.h"
#include "plotter/core/CloseQuery.h"
#include "plotter/core/GpsTransfer.h"

namespace {

constexpr int kMsgOpenPositions = 41;
constexpr int kMsgSavePositions = 42;
constexpr int kMsgClearAllPositions = 43;
constexpr int kMsgImportPositions = 37;
constexpr int kMsgExportPositions = 39;
constexpr int kMsgPositionFiles = 68;
constexpr const char* kExchangeFilter = "G7ToWin|*.G7T|WP+|*.TXT|*.*|*.*";

std::string Trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return {};
  const size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

// "Edit Position" when the program has not made its own (a window made
// without the program's other windows): latitude, longitude, name (up to 40
// characters) and comment (up to 99); Save or Cancel.
class TNewPositionDialog final : public QDialog {
 public:
  explicit TNewPositionDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("WptEdFrm"));
    setWindowTitle(QStringLiteral("Edit Position"));
    lat = new TPosEdit(false, this);
    lat->setObjectName(QStringLiteral("WPLat"));
    lon = new TPosEdit(true, this);
    lon->setObjectName(QStringLiteral("WPLong"));
    name = new QLineEdit(this);
    name->setObjectName(QStringLiteral("WPText"));
    name->setMaxLength(40);
    comment = new QPlainTextEdit(this);
    comment->setObjectName(QStringLiteral("WPComment"));
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Lat"), lat);
    form->addRow(QStringLiteral("Long"), lon);
    form->addRow(QStringLiteral("Name"), name);
    form->addRow(QStringLiteral("Comment"), comment);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
  }
  TPosEdit* lat;
  TPosEdit* lon;
  QLineEdit* name;
  QPlainTextEdit* comment;
};

}  // namespace

bool T_Form::AskPositionsSaved() { return !Positions || AskListSaved(*Positions, msgPositions, Messages); }

void T_Form::PositionsTail() {
  if (!Positions) return;
  Positions->RecomputeView();
  Positions->PlacePoints();
  FillPositionList();
  Positions->StyleAll();
  if (symbols_) symbols_->UpdateShapeModes();
  RequestRepaint();
  if (MapCanvas) MapCanvas->update();
}

void T_Form::OpenWPMnuClick() {
  if (!Positions || !AskPositionsSaved()) return;
  // The question comes first, but the positions go only once files were
  // chosen: a cancelled dialog leaves them as they were.
  const bool clear = !Positions->Empty() && AskYesNo(Messages[kMsgClearAllPositions]);
  if (symbols_) symbols_->Shapes().SetSelectedPosition(nullptr);
  TFileDialogOptions o;
  o.title = Messages[kMsgOpenPositions];
  o.filter = Messages[kMsgPositionFiles] + "|*.SRW;*.SWP|Any File|*.*";
  o.defaultExt = "SRW";
  o.initialDir = SysInfo.CurWayPointDir;
  const std::optional<std::vector<std::string>> files = OpenFilesDialog(o);
  if (!files || files->empty()) {
    FillPositionList();
    Positions->StyleAll();
    if (symbols_) symbols_->UpdateShapeModes();
    return;
  }
  // The old positions go with the first file that gives points.
  TRoute::TReadMode mode = clear ? TRoute::TReadMode::Replace : TRoute::TReadMode::Add;
  SysInfo.CurWayPointDir = DirectoryOf(files->front());
  std::string problems;
  for (const std::string& file : *files) {
    const int n = Positions->LoadPositions(file, mode);
    if (n > 0) mode = TRoute::TReadMode::Add;
    if (n < 0 || Positions->LastReadDamaged) problems += (problems.empty() ? "" : "\n") + Positions->LastError;
  }
  PositionsTail();
  if (!problems.empty()) AppMessageBox(problems, mfOk | mfIconWarning);
}

void T_Form::WPSaveMnuClick() {
  if (!Positions || Positions->Empty()) return;
  if (Positions->FileName.empty()) {
    WPSaveAsMnuClick();
    return;
  }
  if (Positions->SaveToFile(Positions->FileName) < 0)
    AppMessageBox("The positions could not be saved: " + Positions->LastError, mfOk | mfIconError);
}

void T_Form::WPSaveAsMnuClick() {
  if (!Positions || Positions->Empty()) return;
  TFileDialogOptions o;
  o.title = Messages[kMsgSavePositions];
  o.filter = Messages[kMsgPositionFiles] + "|*.SRW";
  o.defaultExt = "SRW";
  o.overwritePrompt = true;
  // The file name part of the positions' file is proposed, in its folder.
  if (Positions->FileName.empty()) {
    o.initialDir = SysInfo.CurWayPointDir;
  } else {
    o.initialDir = DirectoryOf(Positions->FileName);
    o.fileName = std::filesystem::path(Positions->FileName).filename().string();
  }
  const std::optional<std::string> file = SaveFileDialog(o);
  if (!file) return;
  // The file name is taken only once the file was written: a failed save
  // leaves the positions as they were, still marked changed.
  if (Positions->SaveToFile(*file) < 0) {
    AppMessageBox("The positions could not be saved: " + Positions->LastError, mfOk | mfIconError);
    return;
  }
  Positions->FileName = *file;
  SysInfo.CurWayPointDir = DirectoryOf(*file);
}

void T_Form::AddWaypoint1Click() {
  // The position under the mouse when the menu came.
  if (MenuPosValid) AddPosition(MenuPos);
}

void T_Form::AddCurrentPos1Click() {
  TNMEA* p = Parser();
  if (!p) return;
  AddPosition(p->Info.Pos);
}

void T_Form::AddPosition(const TFPoint& pos) {
  if (!Positions) return;
  // The program's position editor, or one of our own.
  std::unique_ptr<TNewPositionDialog> own;
  QDialog* editor = forms_.WptEdFrm;
  TPosEdit* lat = nullptr;
  TPosEdit* lon = nullptr;
  QLineEdit* nameEdit = nullptr;
  QPlainTextEdit* commentEdit = nullptr;
  if (TWptEdFrm* ed = forms_.WptEdFrm) {
    lat = ed->WPLat;
    lon = ed->WPLong;
    nameEdit = ed->WPText;
    commentEdit = ed->WPComment;
  }
  if (!lat || !lon || !nameEdit || !commentEdit) {
    own = std::make_unique<TNewPositionDialog>(this);
    editor = own.get();
    lat = own->lat;
    lon = own->lon;
    nameEdit = own->name;
    commentEdit = own->comment;
  }
  lat->SetMaskText(PosToMaskText(false, pos.Y));
  lon->SetMaskText(PosToMaskText(true, pos.X));
  nameEdit->clear();
  commentEdit->clear();
  std::string name;
  TFPoint typed;
  for (;;) {
    if (ExecDialog(*editor) != QDialog::Accepted) return;
    // Names are compared as they will be stored: " Buoy" is "Buoy".
    name = Trimmed(nameEdit->text().toStdString());
    if (name.empty()) return;
    if (Positions->FindByName(name)) {
      AppMessageBox(name + " is in use.", mfOk | mfIconWarning);
      continue;
    }
    // A half-typed field or a value out of range is refused as the position
    // editor refuses it, and the editor opens again with the user's entries.
    const std::optional<double> typedLat = lat->Value();
    const std::optional<double> typedLon = lon->Value();
    if (!typedLat || !typedLon) {
      AppMessageBox("The position is not complete.", mfOk | mfIconWarning);
      continue;
    }
    typed = {*typedLon, *typedLat};
    break;
  }
  TRoutePointRec rec;
  rec.Name = name;
  rec.Comment = Trimmed(commentEdit->toPlainText().left(99).toStdString());
  rec.Position = typed;
  rec.LegXTE = SysInfo.DefaultXTE;
  Positions->SetSelectedAll(false);
  TNavShape* s = Positions->AddRecord(rec);
  if (!s) return;
  Positions->Modified = true;
  PositionsTail();
  Positions->Select(s);
  if (symbols_) symbols_->Shapes().SetSelectedPosition(s);
  Positions->StyleAll();
  FindPosition(rec.Position);
}

void T_Form::WPImportMnuClick() {
  if (!Positions || !AskPositionsSaved()) return;
  const bool clear = !Positions->Empty() && AskYesNo(Messages[kMsgClearAllPositions]);
  if (symbols_) symbols_->Shapes().SetSelectedPosition(nullptr);
  const std::optional<std::string> file = AskExchangeFile(Messages[kMsgImportPositions], false);
  if (!file) return;
  // The old positions go only when the file gives new ones.
  const TRoute::TReadMode mode = clear ? TRoute::TReadMode::Replace : TRoute::TReadMode::Add;
  SysInfo.WPPDir = DirectoryOf(*file);
  if (IsExchangeFile(*file))
    Positions->ImportExchange(*file, -1, mode);
  else
    Positions->ImportText(*file, mode);
  PositionsTail();
}

std::optional<std::string> T_Form::AskExchangeFile(const std::string& title, bool save) {
  TFileDialogOptions o;
  o.title = title;
  o.filter = kExchangeFilter;
  o.defaultExt = "G7T";
  o.initialDir = SysInfo.WPPDir;
  o.overwritePrompt = save;
  return save ? SaveFileDialog(o) : OpenFileDialog(o);
}

void T_Form::WPExportMnuClick() {
  if (!Positions) return;
  const std::optional<std::string> file = AskExchangeFile(Messages[kMsgExportPositions], true);
  if (!file) return;
  const bool ok =
      IsExchangeFile(*file) ? Positions->ExportExchange(*file, "", -1) : Positions->ExportText(*file, -1);
  if (!ok) {
    AppMessageBox("The positions could not be exported: " + Positions->LastError, mfOk | mfIconError);
    return;
  }
  SysInfo.WPPDir = DirectoryOf(*file);
}

void T_Form::WirePositionCommands() {
  for (const char* name : {"WPOpen", "NAOpenPositions", "RFOpenPositions"}) WireCommand(name, &T_Form::OpenWPMnuClick);
  WireCommand("WPSave", &T_Form::WPSaveMnuClick);
  WireCommand("WPSaveAs", &T_Form::WPSaveAsMnuClick);
  WireCommand("NAAddPosition", &T_Form::AddWaypoint1Click);
  WireCommand("NAAddCurrentPos", &T_Form::AddCurrentPos1Click);
  WireCommand("WPImport", &T_Form::WPImportMnuClick);
  WireCommand("WPExport", &T_Form::WPExportMnuClick);
}
