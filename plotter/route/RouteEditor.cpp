#include "plotter/route/RouteEditor.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>
#include <string>
#include <vector>

#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "navobjects/Routes.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "plotter/ChartCanvas.h"
#include "plotter/PosEdit.h"
#include "plotter/QtColour.h"
#include "plotter/chartview/ChartCursors.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/ChartShapes.h"
#include "plotter/core/CloseQuery.h"
#include "plotter/core/RouteUi.h"
#include "plotter/core/SysInfo.h"
#include "plotter/symbols/ChartSymbols.h"

namespace {

constexpr int kMsgAvailableRoutes = 19;
constexpr int kMsgClearOldRoute = 33;
constexpr int kMsgRouteFiles = 67;

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string DirOf(const std::string& file) {
  const std::filesystem::path p(file);
  return p.has_parent_path() ? p.parent_path().string() + "/" : std::string();
}

}  // namespace

TRouteEditor::TRouteEditor(const TWindowContext& c, TRoute& route, TRoute& positions, TChartSymbols& symbols,
                           TChartDisplay& chart, TWorldConvert& converter, TChartCursors& cursors)
    : TWindowFeature(c),
      route_(route),
      positions_(positions),
      symbols_(symbols),
      chart_(chart),
      converter_(converter),
      cursors_(cursors),
      extend_(Item("RPExtend")),
      list_(Widget<QComboBox>("DBC_RTList")),
      lat_(Widget<TPosEdit>("DBC_RTLat")),
      lon_(Widget<TPosEdit>("DBC_RTLong")),
      name_(Widget<QLineEdit>("DBC_RTText")),
      speed_(Widget<QLineEdit>("DBC_RTSpeed")),
      xte_(Widget<QLineEdit>("DBC_RTXte")),
      saveButton_(Widget<QPushButton>("RteSaveBtn")),
      start_(Widget<QLabel>("DB_R_Start")),
      end_(Widget<QLabel>("DB_R_End")),
      length_(Widget<QLabel>("DB_R_Len")),
      positionList_(Widget<QComboBox>("DBC_RTAddWP")) {
  auto button = [this](const char* name, void (TRouteEditor::*slot)()) {
    QObject::connect(&Widget<QPushButton>(name), &QPushButton::clicked, &links_, [this, slot] { (this->*slot)(); });
  };
  button("RteOpenBtn", &TRouteEditor::LoadRoute2Click);
  button("RteReverseBtn", &TRouteEditor::RteReverseBtnClick);
  button("RteEdUpdate", &TRouteEditor::RteEdUpdateClick);
  button("RteDelSelBtn", &TRouteEditor::RteDelSelBtnClick);
  button("RteAddWPBtn", &TRouteEditor::RteAddWPBtnClick);
  button("RteSaveBtn", &TRouteEditor::RteSaveBtnClick);
  button("RteEditClose", &TRouteEditor::RteEditCloseClick);
  // Enter in any field of the editor updates the point.
  for (QLineEdit* e : {&name_, &speed_, &xte_, static_cast<QLineEdit*>(&lat_), static_cast<QLineEdit*>(&lon_)})
    QObject::connect(e, &QLineEdit::returnPressed, &links_, [this] { RteEdUpdateClick(); });
  QObject::connect(&list_, QOverload<int>::of(&QComboBox::activated), &links_,
                   [this](int index) { DBC_RTListChange(index); });

  for (const char* name : {"FMRouteOpen", "RFOpen", "NAOpenRoute"}) WireCommand(name, [this] { LoadRoute2Click(); });
  for (const char* name : {"NAReverseRoute", "RFReverse"}) WireCommand(name, [this] { RteReverseBtnClick(); });
  WireCommand("RouteEditor1", [this] { RouteEditor1Click(); });
  WireCommand("RFCloseEditor", [this] { RteEditCloseClick(); });
  WireCommand("RFSave", [this] { RteSaveBtnClick(); });
  WireCommand("RFSaveAs", [this] { RteSaveAsClick(); });
  extend_.setCheckable(true);
  WireCommand("RPExtend", [this] { RouteAdd1Click(); });
  WireCommand("DelRteWaypoint", [this] { Delete1Click(); });
  WireCommand("FMRouteClear", [this] { RteClear1Click(); });
  WireCommand("RFClearRoute", [this] { RteClear1Click(); });

  // A click shows the point in the editor (with Ctrl or Shift the editor
  // shows the several-points view); a drag also changes the statistics and
  // the "Save Route" colour.
  TChartShapes& shapes = symbols_.Shapes();
  shapes.OnRoutePointClicked = [this](TNavShape& s) { ShowRoutePoint(&s); };
  shapes.OnRoutePointMoved = [this](TNavShape& s) {
    ShowRoutePoint(&s);
    ShowRouteStats();
    window_.RequestRepaint();
  };
  // A double-click on the chart in the editor inserts a point there.
  chart_.OnInsertRoutePoint = [this](const TFPoint& viewPoint) { InsertRoutePointAt(viewPoint); };
  ShowRouteStats();
}

// ---------------------------------------------------------------------------
// The editor

void TRouteEditor::ShowRouteStats() {
  const TRouteStatTexts t = RouteStats(route_);
  start_.setText(Q(t.start));
  end_.setText(Q(t.end));
  length_.setText(Q(t.length));
  QPalette pal = saveButton_.palette();
  pal.setColor(QPalette::ButtonText, flags_.Has(pfRouteEditor) && route_.Modified
                                         ? ToQColor(colours_.red)
                                         : QApplication::palette().color(QPalette::ButtonText));
  saveButton_.setPalette(pal);
}

void TRouteEditor::FillRouteList() {
  const QSignalBlocker quiet(list_);
  list_.clear();
  std::vector<std::string> names;
  route_.ListNames(names);
  for (const std::string& n : names) list_.addItem(Q(n));
  list_.setCurrentIndex(-1);
}

void TRouteEditor::ShowFields(const TPointFields& f) {
  {
    const QSignalBlocker quiet(list_);
    list_.setCurrentIndex(f.number);
  }
  lat_.SetMaskText(f.lat);
  lat_.setEnabled(f.positionEnabled);
  lon_.SetMaskText(f.lon);
  lon_.setEnabled(f.positionEnabled);
  name_.setText(Q(f.name));
  speed_.setText(Q(f.speed));
  xte_.setText(Q(f.xte));
}

void TRouteEditor::ShowRoutePoint(TNavShape* point) {
  if (!point) {
    ClearRoutePoint();
    return;
  }
  symbols_.Shapes().SetSelectedRoutePoint(point);
  ShowFields(FieldsOf(route_, *point));
}

void TRouteEditor::ClearRoutePoint() {
  symbols_.Shapes().SetSelectedRoutePoint(nullptr);
  ShowFields(EmptyFields());
}

void TRouteEditor::RouteEditor1Click() {
  if (route_.Following || flags_.Has(pfRouteEditor)) return;
  flags_.Include(pfRouteEditor);
  symbols_.Shapes().SetSelectedPosition(nullptr);
  ClearRoutePoint();
  route_.AppendOnly = extend_.isChecked();
  cursors_.CursorMode = route_.AppendOnly ? ccRouteAdd : ccRouteIns;
  cursors_.Show(chart_.Canvas());
  window_.UpdateStatus();
  positions_.StyleAll();
  ShowRouteStats();
  FillRouteList();
  window_.RequestRepaint();
}

void TRouteEditor::RteEditCloseClick() {
  if (!flags_.Has(pfRouteEditor) || !AskRouteSaved()) return;
  flags_.Exclude(pfRouteEditor);
  cursors_.CursorMode = ccAim;
  cursors_.Show(chart_.Canvas());
  route_.SetSelectedAll(false);
  route_.StyleAll();
  route_.AppendOnly = false;
  ClearRoutePoint();
  list_.clear();
  window_.UpdateStatus();
  ShowRouteStats();
  positions_.StyleAll();
  window_.RequestRepaint();
}

void TRouteEditor::RouteAdd1Click() {
  const bool on = extend_.isChecked();
  route_.AppendOnly = on && flags_.Has(pfRouteEditor);
  if (flags_.Has(pfRouteEditor)) {
    cursors_.CursorMode = on ? ccRouteAdd : ccRouteIns;
    cursors_.Show(chart_.Canvas());
  }
}

void TRouteEditor::AfterRouteEdit(TNavShape* shown) {
  route_.StyleAll();
  FillRouteList();
  if (shown)
    ShowRoutePoint(shown);
  else
    ClearRoutePoint();
  ShowRouteStats();
  chart_.Repaint();
}

void TRouteEditor::InsertRoutePointAt(const TFPoint& viewPoint) {
  if (!flags_.Has(pfRouteEditor)) return;
  TFPoint pos;
  if (!converter_.PixelToGeo(chart_.View.ViewToPanel(viewPoint), pos)) return;
  NormAngleSigned(pos.X);
  AfterRouteEdit(InsertRoutePoint(route_, pos, route_.AppendOnly));
}

void TRouteEditor::DBC_RTListChange(int index) {
  TNavShape* s = route_.At(index);
  if (!s) return;
  route_.Select(s);
  route_.StyleAll();
  chart_.FindPosition(s->Position);
  ShowRoutePoint(s);
  window_.RequestRepaint();
}

void TRouteEditor::RteEdUpdateClick() {
  TNavShape* point = symbols_.Shapes().SelectedRoutePoint();
  if (!point) return;
  TPointFields f;
  f.number = list_.currentIndex();
  f.lat = lat_.MaskText();
  f.lon = lon_.MaskText();
  f.name = name_.text().toStdString();
  f.speed = speed_.text().toStdString();
  f.xte = xte_.text().toStdString();
  const std::string error = ApplyPointFields(route_, *point, f);
  if (!error.empty()) {
    AppMessageBox(error, mfOk | mfIconWarning);
    return;
  }
  AfterRouteEdit(point);
}

void TRouteEditor::RteDelSelBtnClick() {
  if (route_.Following || route_.SelectedCount() == 0) return;
  route_.DeleteSelected();
  route_.RecomputeView();
  route_.PlacePoints();
  route_.Modified = true;
  AfterRouteEdit(nullptr);
}

void TRouteEditor::RteAddWPBtnClick() {
  if (route_.Following) return;
  if (positionList_.currentIndex() < 0) return;
  const TNavShape* position = positions_.FindByName(positionList_.currentText().toStdString());
  if (!position) return;
  AfterRouteEdit(AddPositionToRoute(route_, *position, route_.AppendOnly));
}

void TRouteEditor::RteReverseBtnClick() {
  if (route_.Following || route_.Count() < 2) return;
  route_.Reverse();
  route_.Modified = true;
  AfterRouteEdit(nullptr);
}

void TRouteEditor::Delete1Click() {
  if (symbols_.Shapes().DeleteClickedRoutePoint()) AfterRouteEdit(nullptr);
}

void TRouteEditor::RteClear1Click() {
  if (route_.Following || !AskListSaved(route_, msgRoute, messages_)) return;
  route_.Clear();
  AfterRouteEdit(nullptr);
}

bool TRouteEditor::AskRouteSaved() { return AskListSaved(route_, msgRoute, messages_); }

// ---------------------------------------------------------------------------
// Files

void TRouteEditor::LoadRoute2Click() {
  if (route_.Following || !AskRouteSaved()) return;
  // The question comes first, but the route is emptied only once files
  // were chosen: a cancelled dialog leaves it as it was.
  const bool clearFirst = !route_.Empty() && AskYesNo(messages_[kMsgClearOldRoute]);
  IFileDialogs* dialogs = FileDialogs();
  if (!dialogs) return;
  TFileDialogOptions o;
  o.title = messages_[kMsgAvailableRoutes];
  o.filter = messages_[kMsgRouteFiles] +
             "|*.SRW;*.RTE;*.GPX|New Route Files|*.SRW|Old Route Files|*.RTE|GPX|*.GPX|Any File|*.*";
  o.defaultExt = "SRW";
  o.initialDir = sys_.CurRouteDir;
  const std::optional<std::vector<std::string>> files = dialogs->OpenFiles(o);
  if (!files || files->empty()) return;
  // The old route goes with the first file that gives points.
  TRoute::TReadMode mode = clearFirst ? TRoute::TReadMode::Replace : TRoute::TReadMode::Add;
  sys_.CurRouteDir = DirOf(files->front());
  std::string problems;
  for (const std::string& file : *files) {
    const int n = RouteFileKindOf(file) == TRouteFileKind::Gpx ? route_.ImportGpx(file, mode)
                                                                : route_.LoadFromFile(file, mode);
    if (n > 0) mode = TRoute::TReadMode::Add;
    if (n < 0 || route_.LastReadDamaged) problems += (problems.empty() ? "" : "\n") + route_.LastError;
  }
  if (!problems.empty()) AppMessageBox(problems, mfOk | mfIconWarning);
  AfterRouteLoad();
}

void TRouteEditor::AfterRouteLoad() {
  route_.RecomputeView();
  route_.PlacePoints();
  if (flags_.Has(pfRouteEditor)) {
    FillRouteList();
    ClearRoutePoint();
  }
  route_.StyleAll();
  symbols_.UpdateShapeModes();
  ShowRouteStats();
  window_.RequestRepaint();
}

void TRouteEditor::RteSaveBtnClick() {
  if (route_.Empty()) return;
  if (route_.FileName.empty()) {
    RteSaveAsClick();
    return;
  }
  SaveRouteTo(route_.FileName);
}

void TRouteEditor::RteSaveAsClick() {
  if (route_.Empty()) return;
  IFileDialogs* dialogs = FileDialogs();
  if (!dialogs) return;
  TFileDialogOptions o;
  o.title = messages_[kMsgAvailableRoutes];
  o.filter = messages_[kMsgRouteFiles] + "|*.SRW";
  o.defaultExt = "SRW";
  o.overwritePrompt = true;
  if (route_.FileName.empty()) {
    o.initialDir = sys_.CurRouteDir;
    o.fileName = ProposedRouteFileName(route_);
  } else {
    o.fileName = route_.FileName;
  }
  const std::optional<std::string> file = dialogs->SaveFile(o);
  if (!file) return;
  sys_.CurRouteDir = DirOf(*file);
  SaveRouteTo(*file);
}

void TRouteEditor::SaveRouteTo(const std::string& file) {
  if (route_.SaveToFile(file) < 0)
    AppMessageBox("The route could not be saved: " + route_.LastError, mfOk | mfIconError);
  ShowRouteStats();
}
