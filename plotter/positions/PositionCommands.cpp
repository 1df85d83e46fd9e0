#include "plotter/positions/PositionCommands.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
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
#include "plotter/dialogs/AuxDialogs.h"
#include "plotter/ChartCanvas.h"
#include "plotter/PosEdit.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/ChartShapes.h"
#include "plotter/core/CloseQuery.h"
#include "plotter/core/DialogLogic.h"
#include "plotter/core/GpsTransfer.h"
#include "plotter/core/SysInfo.h"
#include "plotter/symbols/ChartSymbols.h"
#include "sharedui/DialogSupport.h"

namespace {

constexpr int kMsgOpenPositions = 41;
constexpr int kMsgSavePositions = 42;
constexpr int kMsgClearAllPositions = 43;
constexpr int kMsgImportPositions = 37;
constexpr int kMsgExportPositions = 39;
constexpr int kMsgPositionFiles = 68;
constexpr const char* kExchangeFilter = "G7ToWin|*.G7T|WP+|*.TXT|*.*|*.*";

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

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

std::optional<std::string> AskExchangeFile(const RSysInfo& sys, const std::string& title, bool save) {
  TFileDialogOptions o;
  o.title = title;
  o.filter = kExchangeFilter;
  o.defaultExt = "G7T";
  o.initialDir = sys.WPPDir;
  o.overwritePrompt = save;
  return save ? SaveFileDialog(o) : OpenFileDialog(o);
}

TPositionCommands::TPositionCommands(const TWindowContext& c, TRoute& positions, TChartSymbols& symbols,
                                     TChartDisplay& chart, TNMEA& parser)
    : TWindowFeature(c),
      positions_(positions),
      symbols_(symbols),
      chart_(chart),
      parser_(parser),
      unlock_(Item("WPUnlock")),
      list_(Widget<QComboBox>("DBC_RTAddWP")) {
  for (const char* name : {"WPOpen", "NAOpenPositions", "RFOpenPositions"}) WireCommand(name, [this] { OpenWPMnuClick(); });
  WireCommand("WPSave", [this] { WPSaveMnuClick(); });
  WireCommand("WPSaveAs", [this] { WPSaveAsMnuClick(); });
  WireCommand("NAAddPosition", [this] { AddWaypoint1Click(); });
  WireCommand("NAAddCurrentPos", [this] { AddCurrentPos1Click(); });
  WireCommand("WPImport", [this] { WPImportMnuClick(); });
  WireCommand("WPExport", [this] { WPExportMnuClick(); });
  WireCommand("WPUnlock", [this] { WPUnlockClick(); });
  WireCommand("WPDeleteSelected", [this] { WPDelSelectClick(); });
  WireCommand("DeleteWP", [this] { WPDelSelectClick(); });
  WireCommand("DelWPWaypoint", [this] { MenuItem5Click(); });
  WireCommand("WPClear", [this] { WPClearMnuClick(); });
  QObject::connect(&Widget<QPushButton>("RteGotoBtn"), &QPushButton::clicked, &links_, [this] { RteGotoBtnClick(); });
  // A double-click on the positions box or its list edits the chosen
  // position.
  for (QWidget* w : {static_cast<QWidget*>(&Widget<QFrame>("DB_WAYPOINT")), static_cast<QWidget*>(&list_)})
    ::OnDoubleClick(w, [this] { DBC_RTAddWPDblClick(); });
  // A click on a position chooses it in the positions box; a double-click
  // on its symbol opens the position editor.
  TChartShapes& shapes = symbols_.Shapes();
  shapes.OnPositionClicked = [this](TNavShape& s) { list_.setCurrentIndex(list_.findText(Q(s.Caption))); };
  shapes.OnPositionEdit = [this](TNavShape& s) { EditPosition(&s); };
  FillPositionList();
}

bool TPositionCommands::AskPositionsSaved() { return AskListSaved(positions_, msgPositions, messages_); }

void TPositionCommands::FillPositionList(bool keepChoice) {
  const QSignalBlocker quiet(list_);
  const QString chosen = keepChoice ? list_.currentText() : QString();
  list_.clear();
  for (int i = 0; i < positions_.Count(); ++i)
    if (!positions_.At(i)->Caption.empty()) list_.addItem(Q(positions_.At(i)->Caption));
  list_.model()->sort(0);
  list_.setCurrentIndex(list_.findText(chosen));
}

void TPositionCommands::ClearChosenPosition() { symbols_.Shapes().SetSelectedPosition(nullptr); }

void TPositionCommands::PositionsTail() {
  positions_.RecomputeView();
  positions_.PlacePoints();
  FillPositionList();
  positions_.StyleAll();
  symbols_.UpdateShapeModes();
  window_.RequestRepaint();
  chart_.Canvas().update();
}

void TPositionCommands::OpenWPMnuClick() {
  if (!AskPositionsSaved()) return;
  // The question comes first, but the positions go only once files were
  // chosen: a cancelled dialog leaves them as they were.
  const bool clear = !positions_.Empty() && AskYesNo(messages_[kMsgClearAllPositions]);
  symbols_.Shapes().SetSelectedPosition(nullptr);
  TFileDialogOptions o;
  o.title = messages_[kMsgOpenPositions];
  o.filter = messages_[kMsgPositionFiles] + "|*.SRW;*.SWP|Any File|*.*";
  o.defaultExt = "SRW";
  o.initialDir = sys_.CurWayPointDir;
  const std::optional<std::vector<std::string>> files = OpenFilesDialog(o);
  if (!files || files->empty()) {
    FillPositionList();
    positions_.StyleAll();
    symbols_.UpdateShapeModes();
    return;
  }
  // The old positions go with the first file that gives points.
  TRoute::TReadMode mode = clear ? TRoute::TReadMode::Replace : TRoute::TReadMode::Add;
  sys_.CurWayPointDir = DirectoryOf(files->front());
  std::string problems;
  for (const std::string& file : *files) {
    const int n = positions_.LoadPositions(file, mode);
    if (n > 0) mode = TRoute::TReadMode::Add;
    if (n < 0 || positions_.LastReadDamaged) problems += (problems.empty() ? "" : "\n") + positions_.LastError;
  }
  PositionsTail();
  if (!problems.empty()) AppMessageBox(problems, mfOk | mfIconWarning);
}

void TPositionCommands::WPSaveMnuClick() {
  if (positions_.Empty()) return;
  if (positions_.FileName.empty()) {
    WPSaveAsMnuClick();
    return;
  }
  if (positions_.SaveToFile(positions_.FileName) < 0)
    AppMessageBox("The positions could not be saved: " + positions_.LastError, mfOk | mfIconError);
}

void TPositionCommands::WPSaveAsMnuClick() {
  if (positions_.Empty()) return;
  TFileDialogOptions o;
  o.title = messages_[kMsgSavePositions];
  o.filter = messages_[kMsgPositionFiles] + "|*.SRW";
  o.defaultExt = "SRW";
  o.overwritePrompt = true;
  // The file name part of the positions' file is proposed, in its folder.
  if (positions_.FileName.empty()) {
    o.initialDir = sys_.CurWayPointDir;
  } else {
    o.initialDir = DirectoryOf(positions_.FileName);
    o.fileName = std::filesystem::path(positions_.FileName).filename().string();
  }
  const std::optional<std::string> file = SaveFileDialog(o);
  if (!file) return;
  // The file name is taken only once the file was written: a failed save
  // leaves the positions as they were, still marked changed.
  if (positions_.SaveToFile(*file) < 0) {
    AppMessageBox("The positions could not be saved: " + positions_.LastError, mfOk | mfIconError);
    return;
  }
  positions_.FileName = *file;
  sys_.CurWayPointDir = DirectoryOf(*file);
}

void TPositionCommands::AddWaypoint1Click() {
  // The position under the mouse when the menu came.
  if (chart_.MenuPosValid) AddPosition(chart_.MenuPos);
}

void TPositionCommands::AddCurrentPos1Click() { AddPosition(parser_.Info.Pos); }

void TPositionCommands::AddPosition(const TFPoint& pos) {
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
    own = std::make_unique<TNewPositionDialog>(&window_.Window());
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
    if (window_.ExecDialog(*editor) != QDialog::Accepted) return;
    // Names are compared as they will be stored: " Buoy" is "Buoy".
    name = Trimmed(nameEdit->text().toStdString());
    if (name.empty()) return;
    if (positions_.FindByName(name)) {
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
  rec.LegXTE = sys_.DefaultXTE;
  positions_.SetSelectedAll(false);
  TNavShape* s = positions_.AddRecord(rec);
  if (!s) return;
  positions_.Modified = true;
  PositionsTail();
  positions_.Select(s);
  symbols_.Shapes().SetSelectedPosition(s);
  positions_.StyleAll();
  chart_.FindPosition(rec.Position);
}

void TPositionCommands::WPImportMnuClick() {
  if (!AskPositionsSaved()) return;
  const bool clear = !positions_.Empty() && AskYesNo(messages_[kMsgClearAllPositions]);
  symbols_.Shapes().SetSelectedPosition(nullptr);
  const std::optional<std::string> file = AskExchangeFile(sys_, messages_[kMsgImportPositions], false);
  if (!file) return;
  // The old positions go only when the file gives new ones.
  const TRoute::TReadMode mode = clear ? TRoute::TReadMode::Replace : TRoute::TReadMode::Add;
  sys_.WPPDir = DirectoryOf(*file);
  if (IsExchangeFile(*file))
    positions_.ImportExchange(*file, -1, mode);
  else
    positions_.ImportText(*file, mode);
  PositionsTail();
}

void TPositionCommands::WPExportMnuClick() {
  const std::optional<std::string> file = AskExchangeFile(sys_, messages_[kMsgExportPositions], true);
  if (!file) return;
  const bool ok =
      IsExchangeFile(*file) ? positions_.ExportExchange(*file, "", -1) : positions_.ExportText(*file, -1);
  if (!ok) {
    AppMessageBox("The positions could not be exported: " + positions_.LastError, mfOk | mfIconError);
    return;
  }
  sys_.WPPDir = DirectoryOf(*file);
}

// ---------------------------------------------------------------------------
// Unlock, delete, clear

void TPositionCommands::WPUnlockClick() {
  // The tick has toggled itself.
  window_.UpdateStatus();
  positions_.SetSelectedAll(false);
  positions_.StyleAll();
  window_.RequestRepaint();
}

void TPositionCommands::WPDelSelectClick() {
  if (!unlock_.isChecked()) return;
  if (positions_.SelectedCount() == 0) return;
  positions_.DeleteSelected();
  positions_.Modified = true;
  symbols_.Shapes().SetSelectedPosition(nullptr);
  FillPositionList(false);
  window_.RequestRepaint();
}

void TPositionCommands::MenuItem5Click() {
  if (!symbols_.Shapes().DeleteSelectedPosition()) return;
  FillPositionList(false);
  chart_.Repaint();
}

void TPositionCommands::WPClearMnuClick() {
  if (!AskListSaved(positions_, msgPositions, messages_)) return;
  positions_.Clear();
  symbols_.Shapes().SetSelectedPosition(nullptr);
  FillPositionList();
  chart_.Repaint();
}

// ---------------------------------------------------------------------------
// The positions box and the position editor

void TPositionCommands::RteGotoBtnClick() {
  if (list_.currentIndex() < 0) return;
  TNavShape* s = positions_.FindByName(list_.currentText().toStdString());
  if (!s) return;
  positions_.Select(s);
  symbols_.Shapes().SetSelectedPosition(s);
  positions_.StyleAll();
  chart_.FindPosition(s->Position);
  window_.RequestRepaint();
}

void TPositionCommands::EditPosition(TNavShape* p, bool fromList) {
  TWptEdFrm* ed = forms_.WptEdFrm;
  if (!ed || !p || !positions_.Holds(p)) return;
  positions_.Select(p);
  symbols_.Shapes().SetSelectedPosition(p);
  ed->WPLat->SetMaskText(PosToMaskText(false, p->Position.Y));
  ed->WPLong->SetMaskText(PosToMaskText(true, p->Position.X));
  ed->WPText->setText(Q(p->Caption));
  ed->WPComment->setPlainText(Q(p->Comment));
  std::string name;
  for (;;) {
    if (window_.ExecDialog(*ed) != QDialog::Accepted || !positions_.Holds(p)) return;
    std::vector<std::string> others;
    for (int i = 0; i < positions_.Count(); ++i)
      if (positions_.At(i) != p) others.push_back(positions_.At(i)->Caption);
    const std::string entered = S(ed->WPText->text());
    const TPositionNameCheck check = CheckPositionName(entered, p->Caption, others);
    if (check == TPositionNameCheck::InUse) {
      AppMessageBox(TrimBlanks(entered) + " is in use.", mfOk | mfIconWarning);
      continue;
    }
    // A position without a name would be dropped when the list is read
    // again at the next start.
    if (check == TPositionNameCheck::Empty) {
      AppMessageBox("A position needs a name.", mfOk | mfIconWarning);
      continue;
    }
    const std::optional<double> lat = ed->WPLat->Value();
    const std::optional<double> lon = ed->WPLong->Value();
    if (!lat || !lon) {
      AppMessageBox("The position is not complete.", mfOk | mfIconWarning);
      continue;
    }
    name = TrimBlanks(entered);
    p->Position = {*lon, *lat};
    break;
  }
  if (name != p->Caption) {
    p->Caption = name;
    FillPositionList();
  }
  p->Comment = TrimBlanks(S(ed->WPComment->toPlainText()));
  positions_.RecomputeView();
  positions_.PlacePoints();
  positions_.Modified = true;
  if (fromList) positions_.StyleAll();
  window_.RequestRepaint();
  chart_.FindPosition(p->Position);
}

void TPositionCommands::DBC_RTAddWPDblClick() {
  if (list_.currentIndex() < 0) return;
  if (TNavShape* p = positions_.FindByName(S(list_.currentText()))) EditPosition(p, true);
}
