// The main window's side of the route: activating and ending it, the
// guidance boxes with the steering indicator, acknowledging a new waypoint,
// the quick buttons and statistics, the route editor (its menus, its box,
// inserting, moving, deleting, extending, reversing, clearing), opening and
// saving route files, and the positions box. The logic lives in
// plotter/core/RouteUi.h; this file connects it to the widgets.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "instruments/NMEA.h"
#include "instruments/NMEAOutput.h"
#include "navobjects/LogBook.h"
#include "navobjects/Routes.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "plotter/MainForm.h"
#include "sharedui/DialogSupport.h"
#include "plotter/PosEdit.h"
#include "plotter/QtColour.h"
#include "plotter/core/ChartShapes.h"
#include "plotter/output/NmeaOutput.h"
#include "plotter/symbols/ChartSymbols.h"
#include "plotter/core/CloseQuery.h"
#include "plotter/core/RouteGuidance.h"
#include "plotter/core/RouteUi.h"

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

template <class T>
T* T_Form::RouteWidget(const char* name) const {
  return DB ? DB->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

// ---------------------------------------------------------------------------
// Activation and guidance

void T_Form::RteActBtnClick() {
  TNMEA* p = Parser();
  if (!Route || !p) return;
  const bool wasActive = Route->Following;
  const TActivation result = ToggleRoute(*Route, p->Info, NavFlags.Has(nfGpsLost));
  // The menu item ticks itself when chosen: its tick is the route's state,
  // also when the activation was refused.
  if (QAction* a = tickMenus_.activateRoute) a->setChecked(Route->Following);
  switch (result) {
    case TActivation::Empty:
      return;
    case TActivation::NoPosition:
      ShowNotice("The route was not activated: there is no position from the GPS");
      return;
    case TActivation::Started:
      routeStartTime_ = Clock().NowUTC();
      routeStartMono_ = Clock().MonoNow();
      // "WPL + RTE": the whole route goes to the instruments at once.
      if ((SysInfo.AutoPMsg & kAutopRoute) != 0 && output_) output_->SendRoute();
      break;
    case TActivation::Stopped:
      break;
  }
  ApplyRouteAlarms();
  PlotterFlags.Set(pfRouteActive, Route->Following);
  if (wasActive != Route->Following || Route->Following) ShowRouteValues();
  UpdateStatus();
  if (Positions) Positions->StyleAll();
  RequestRepaint();
}

void T_Form::DeactivateRoute1Click() {
  if (Route && Route->Following) RteActBtnClick();
}

void T_Form::DBRteHINTDblClick() {
  // The new waypoint is seen: only the flag goes (the route does not move
  // on again).
  if (Route) Route->Alarms.NewWaypoint = false;
  NavFlags.Exclude(nfNewWaypoint);
  ShowRouteValues();
}

void T_Form::ShowMagneticHeadings1Click() {
  if (QAction* a = MenuItem("ShowMagneticHeadings1")) SysInfo.RteMagDisp = a->isChecked();
  ShowRouteValues();
}

void T_Form::ShowRouteValues() {
  TNMEA* p = Parser();
  if (!p || !Route) return;
  if (output_) output_->UpdateSteering();
  const TSteering steering = ComputeSteering(p->Info, output_ ? output_->SteeringOffset() : 0);
  // Elapsed time on the monotonic clock: a clock set from the GPS while
  // the route runs does not change it.
  const double elapsed =
      Route->Following ? std::chrono::duration<double>(Clock().MonoNow() - routeStartMono_).count() / 86400.0 : -1;
  const TRouteValueTexts t = FormatRouteValues(p->Info, SysInfo.RteMagDisp, elapsed, steering.indicator);
  const std::pair<const char*, const std::string*> fields[] = {
      {"DBRteWPID", &t.wpId}, {"DBRteBWR", &t.bwr},   {"DBRteBOD", &t.bod},   {"DBRteRNG", &t.rng},
      {"DBRteTRNG", &t.trng}, {"DBRteXTE", &t.xte},   {"DBRteTTG", &t.ttg},   {"DBRteTTTG", &t.tttg},
      {"DBRteNEXT", &t.next}, {"DBRteTIME", &t.time}, {"DBRteWCV", &t.wcv},   {"DBRteHINT", &t.hint}};
  for (const auto& [name, text] : fields)
    if (QLabel* l = RouteWidget<QLabel>(name)) l->setText(Q(*text));
  // The cross-track error in the alarm colour while it is too large, the
  // box while a new waypoint waits for its acknowledgement.
  const QColor face = QApplication::palette().color(QPalette::Window);
  auto colour = [&](QWidget* w, bool alarm) {
    if (!w) return;
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, alarm ? AlarmColour(true) : face);
    w->setPalette(pal);
    w->setAutoFillBackground(alarm);
  };
  colour(RouteWidget<QLabel>("DBRteXTE"), NavFlags.Has(nfXteAlarm));
  colour(RouteWidget<QLabel>("XTELabel"), NavFlags.Has(nfXteAlarm));
  colour(RouteWidget<QFrame>("DB_ROUTE_GO"), NavFlags.Has(nfNewWaypoint));
}

void T_Form::ShowRouteStats() {
  if (!Route) return;
  const TRouteStatTexts t = RouteStats(*Route);
  if (QLabel* l = RouteWidget<QLabel>("DB_R_Start")) l->setText(Q(t.start));
  if (QLabel* l = RouteWidget<QLabel>("DB_R_End")) l->setText(Q(t.end));
  if (QLabel* l = RouteWidget<QLabel>("DB_R_Len")) l->setText(Q(t.length));
  if (QPushButton* b = RouteWidget<QPushButton>("RteSaveBtn")) {
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, PlotterFlags.Has(pfRouteEditor) && Route->Modified
                                           ? ToQColor(Colours.red)
                                           : QApplication::palette().color(QPalette::ButtonText));
    b->setPalette(pal);
  }
}

// ---------------------------------------------------------------------------
// The editor

void T_Form::FillRouteList() {
  QComboBox* list = RouteWidget<QComboBox>("DBC_RTList");
  if (!list || !Route) return;
  const QSignalBlocker quiet(list);
  list->clear();
  std::vector<std::string> names;
  Route->ListNames(names);
  for (const std::string& n : names) list->addItem(Q(n));
  list->setCurrentIndex(-1);
}

void T_Form::FillPositionList(bool keepChoice) {
  QComboBox* list = RouteWidget<QComboBox>("DBC_RTAddWP");
  if (!list || !Positions) return;
  const QSignalBlocker quiet(list);
  const QString chosen = keepChoice ? list->currentText() : QString();
  list->clear();
  for (int i = 0; i < Positions->Count(); ++i)
    if (!Positions->At(i)->Caption.empty()) list->addItem(Q(Positions->At(i)->Caption));
  list->model()->sort(0);
  list->setCurrentIndex(list->findText(chosen));
}

void T_Form::ShowFields(const TPointFields& f) {
  if (QComboBox* list = RouteWidget<QComboBox>("DBC_RTList")) {
    const QSignalBlocker quiet(list);
    list->setCurrentIndex(f.number);
  }
  if (TPosEdit* lat = RouteWidget<TPosEdit>("DBC_RTLat")) {
    lat->SetMaskText(f.lat);
    lat->setEnabled(f.positionEnabled);
  }
  if (TPosEdit* lon = RouteWidget<TPosEdit>("DBC_RTLong")) {
    lon->SetMaskText(f.lon);
    lon->setEnabled(f.positionEnabled);
  }
  if (QLineEdit* e = RouteWidget<QLineEdit>("DBC_RTText")) e->setText(Q(f.name));
  if (QLineEdit* e = RouteWidget<QLineEdit>("DBC_RTSpeed")) e->setText(Q(f.speed));
  if (QLineEdit* e = RouteWidget<QLineEdit>("DBC_RTXte")) e->setText(Q(f.xte));
}

void T_Form::ShowRoutePoint(TNavShape* point) {
  if (!Route || !point) {
    ClearRoutePoint();
    return;
  }
  if (symbols_) symbols_->Shapes().SetSelectedRoutePoint(point);
  ShowFields(FieldsOf(*Route, *point));
}

void T_Form::ClearRoutePoint() {
  if (symbols_) symbols_->Shapes().SetSelectedRoutePoint(nullptr);
  ShowFields(EmptyFields());
}

void T_Form::RouteEditor1Click() {
  if (!Route || Route->Following || PlotterFlags.Has(pfRouteEditor)) return;
  PlotterFlags.Include(pfRouteEditor);
  if (symbols_) symbols_->Shapes().SetSelectedPosition(nullptr);
  ClearRoutePoint();
  const QAction* extend = MenuItem("RPExtend");
  Route->AppendOnly = extend && extend->isChecked();
  CursorMode = Route->AppendOnly ? ccRouteAdd : ccRouteIns;
  ShowChartCursor();
  UpdateStatus();
  if (Positions) Positions->StyleAll();
  ShowRouteStats();
  FillRouteList();
  RequestRepaint();
}

void T_Form::RteEditCloseClick() {
  if (!Route || !PlotterFlags.Has(pfRouteEditor) || !AskRouteSaved()) return;
  PlotterFlags.Exclude(pfRouteEditor);
  CursorMode = ccAim;
  ShowChartCursor();
  Route->SetSelectedAll(false);
  Route->StyleAll();
  Route->AppendOnly = false;
  ClearRoutePoint();
  if (QComboBox* list = RouteWidget<QComboBox>("DBC_RTList")) list->clear();
  UpdateStatus();
  ShowRouteStats();
  if (Positions) Positions->StyleAll();
  RequestRepaint();
}

void T_Form::RouteAdd1Click() {
  const QAction* extend = MenuItem("RPExtend");
  const bool on = extend && extend->isChecked();
  if (Route) Route->AppendOnly = on && PlotterFlags.Has(pfRouteEditor);
  if (PlotterFlags.Has(pfRouteEditor)) {
    CursorMode = on ? ccRouteAdd : ccRouteIns;
    ShowChartCursor();
  }
}

void T_Form::AfterRouteEdit(TNavShape* shown) {
  if (!Route) return;
  Route->StyleAll();
  FillRouteList();
  if (shown)
    ShowRoutePoint(shown);
  else
    ClearRoutePoint();
  ShowRouteStats();
  Repaint();
}

void T_Form::InsertRoutePointAt(const TFPoint& viewPoint) {
  if (!Route || !Converter || !PlotterFlags.Has(pfRouteEditor)) return;
  TFPoint pos;
  if (!Converter->PixelToGeo(View.ViewToPanel(viewPoint), pos)) return;
  NormAngleSigned(pos.X);
  AfterRouteEdit(InsertRoutePoint(*Route, pos, Route->AppendOnly));
}

void T_Form::DBC_RTListChange(int index) {
  if (!Route) return;
  TNavShape* s = Route->At(index);
  if (!s) return;
  Route->Select(s);
  Route->StyleAll();
  FindPosition(s->Position);
  ShowRoutePoint(s);
  RequestRepaint();
}

void T_Form::RteEdUpdateClick() {
  if (!Route || !symbols_) return;
  TNavShape* point = symbols_->Shapes().SelectedRoutePoint();
  if (!point) return;
  TPointFields f;
  if (QComboBox* list = RouteWidget<QComboBox>("DBC_RTList")) f.number = list->currentIndex();
  if (TPosEdit* lat = RouteWidget<TPosEdit>("DBC_RTLat")) f.lat = lat->MaskText();
  if (TPosEdit* lon = RouteWidget<TPosEdit>("DBC_RTLong")) f.lon = lon->MaskText();
  if (QLineEdit* e = RouteWidget<QLineEdit>("DBC_RTText")) f.name = e->text().toStdString();
  if (QLineEdit* e = RouteWidget<QLineEdit>("DBC_RTSpeed")) f.speed = e->text().toStdString();
  if (QLineEdit* e = RouteWidget<QLineEdit>("DBC_RTXte")) f.xte = e->text().toStdString();
  const std::string error = ApplyPointFields(*Route, *point, f);
  if (!error.empty()) {
    AppMessageBox(error, mfOk | mfIconWarning);
    return;
  }
  AfterRouteEdit(point);
}

void T_Form::RteDelSelBtnClick() {
  if (!Route || Route->Following || Route->SelectedCount() == 0) return;
  Route->DeleteSelected();
  Route->RecomputeView();
  Route->PlacePoints();
  Route->Modified = true;
  AfterRouteEdit(nullptr);
}

void T_Form::RteAddWPBtnClick() {
  if (!Route || !Positions || Route->Following) return;
  QComboBox* list = RouteWidget<QComboBox>("DBC_RTAddWP");
  if (!list || list->currentIndex() < 0) return;
  const TNavShape* position = Positions->FindByName(list->currentText().toStdString());
  if (!position) return;
  AfterRouteEdit(AddPositionToRoute(*Route, *position, Route->AppendOnly));
}

void T_Form::RteReverseBtnClick() {
  if (!Route || Route->Following || Route->Count() < 2) return;
  Route->Reverse();
  Route->Modified = true;
  AfterRouteEdit(nullptr);
}

bool T_Form::AskRouteSaved() { return !Route || AskListSaved(*Route, msgRoute, Messages); }

// ---------------------------------------------------------------------------
// Files

void T_Form::LoadRoute2Click() {
  if (!Route || Route->Following || !AskRouteSaved()) return;
  // The question comes first, but the route is emptied only once files
  // were chosen: a cancelled dialog leaves it as it was.
  const bool clearFirst = !Route->Empty() && AskYesNo(Messages[kMsgClearOldRoute]);
  IFileDialogs* dialogs = FileDialogs();
  if (!dialogs) return;
  TFileDialogOptions o;
  o.title = Messages[kMsgAvailableRoutes];
  o.filter = Messages[kMsgRouteFiles] +
             "|*.SRW;*.RTE;*.GPX|New Route Files|*.SRW|Old Route Files|*.RTE|GPX|*.GPX|Any File|*.*";
  o.defaultExt = "SRW";
  o.initialDir = SysInfo.CurRouteDir;
  const std::optional<std::vector<std::string>> files = dialogs->OpenFiles(o);
  if (!files || files->empty()) return;
  // The old route goes with the first file that gives points.
  TRoute::TReadMode mode = clearFirst ? TRoute::TReadMode::Replace : TRoute::TReadMode::Add;
  SysInfo.CurRouteDir = DirOf(files->front());
  std::string problems;
  for (const std::string& file : *files) {
    const int n = RouteFileKindOf(file) == TRouteFileKind::Gpx ? Route->ImportGpx(file, mode)
                                                                : Route->LoadFromFile(file, mode);
    if (n > 0) mode = TRoute::TReadMode::Add;
    if (n < 0 || Route->LastReadDamaged) problems += (problems.empty() ? "" : "\n") + Route->LastError;
  }
  if (!problems.empty()) AppMessageBox(problems, mfOk | mfIconWarning);
  AfterRouteLoad();
}

void T_Form::AfterRouteLoad() {
  if (!Route) return;
  Route->RecomputeView();
  Route->PlacePoints();
  if (PlotterFlags.Has(pfRouteEditor)) {
    FillRouteList();
    ClearRoutePoint();
  }
  Route->StyleAll();
  if (symbols_) symbols_->UpdateShapeModes();
  ShowRouteStats();
  RequestRepaint();
}

void T_Form::RteSaveBtnClick() {
  if (!Route || Route->Empty()) return;
  if (Route->FileName.empty()) {
    RteSaveAsClick();
    return;
  }
  SaveRouteTo(Route->FileName);
}

void T_Form::RteSaveAsClick() {
  if (!Route || Route->Empty()) return;
  IFileDialogs* dialogs = FileDialogs();
  if (!dialogs) return;
  TFileDialogOptions o;
  o.title = Messages[kMsgAvailableRoutes];
  o.filter = Messages[kMsgRouteFiles] + "|*.SRW";
  o.defaultExt = "SRW";
  o.overwritePrompt = true;
  if (Route->FileName.empty()) {
    o.initialDir = SysInfo.CurRouteDir;
    o.fileName = ProposedRouteFileName(*Route);
  } else {
    o.fileName = Route->FileName;
  }
  const std::optional<std::string> file = dialogs->SaveFile(o);
  if (!file) return;
  SysInfo.CurRouteDir = DirOf(*file);
  SaveRouteTo(*file);
}

void T_Form::SaveRouteTo(const std::string& file) {
  if (Route->SaveToFile(file) < 0)
    AppMessageBox("The route could not be saved: " + Route->LastError, mfOk | mfIconError);
  ShowRouteStats();
}

// ---------------------------------------------------------------------------
// The positions box

void T_Form::RteGotoBtnClick() {
  if (!Positions) return;
  QComboBox* list = RouteWidget<QComboBox>("DBC_RTAddWP");
  if (!list || list->currentIndex() < 0) return;
  TNavShape* s = Positions->FindByName(list->currentText().toStdString());
  if (!s) return;
  Positions->Select(s);
  if (symbols_) symbols_->Shapes().SetSelectedPosition(s);
  Positions->StyleAll();
  FindPosition(s->Position);
  RequestRepaint();
}

// ---------------------------------------------------------------------------
// Wiring

void T_Form::WireRouteCommands() {
  // What each guidance field is.
  const std::pair<const char*, const char*> hints[] = {
      {"DBRteWPID", "Waypoint Id"},
      {"DBRteBWR", "Bearing to waypoint, Rumb Line"},
      {"DBRteBOD", "Bearing, Origin to Destination waypoint"},
      {"DBRteRNG", "Range to next waypoint"},
      {"DBRteTRNG", "Total range left"},
      {"DBRteXTE", "Crosstrack Error"},
      {"DBRteTTG", "Time  to next waypoint"},
      {"DBRteTTTG", "Total time left"},
      {"DBRteNEXT", "Next Bearing"},
      {"DBRteTIME", "Elapsed time"},
      {"DBRteWCV", "Waypoint Closure Velocity"},
      {"DBRteHINT", "Steering Indicator"},
  };
  for (const auto& [name, hint] : hints)
    if (QLabel* l = RouteWidget<QLabel>(name)) l->setToolTip(QString::fromUtf8(hint));

  auto button = [this](const char* name, void (T_Form::*slot)()) {
    if (QPushButton* b = RouteWidget<QPushButton>(name)) connect(b, &QPushButton::clicked, this, slot);
  };
  button("RteOpenBtn", &T_Form::LoadRoute2Click);
  button("RteReverseBtn", &T_Form::RteReverseBtnClick);
  button("RteActBtn", &T_Form::RteActBtnClick);
  button("RteGotoBtn", &T_Form::RteGotoBtnClick);
  button("RteEdUpdate", &T_Form::RteEdUpdateClick);
  button("RteDelSelBtn", &T_Form::RteDelSelBtnClick);
  button("RteAddWPBtn", &T_Form::RteAddWPBtnClick);
  button("RteSaveBtn", &T_Form::RteSaveBtnClick);
  button("RteEditClose", &T_Form::RteEditCloseClick);
  // Enter in any field of the editor updates the point.
  for (const char* name : {"DBC_RTText", "DBC_RTSpeed", "DBC_RTXte", "DBC_RTLat", "DBC_RTLong"})
    if (QLineEdit* e = RouteWidget<QLineEdit>(name)) connect(e, &QLineEdit::returnPressed, this, &T_Form::RteEdUpdateClick);
  if (QComboBox* list = RouteWidget<QComboBox>("DBC_RTList"))
    connect(list, QOverload<int>::of(&QComboBox::activated), this, &T_Form::DBC_RTListChange);
  if (QLabel* hint = RouteWidget<QLabel>("DBRteHINT"))
    ::OnDoubleClick(hint, [this] { DBRteHINTDblClick(); });
  if (QFrame* go = RouteWidget<QFrame>("DB_ROUTE_GO"))
    connect(go, &QWidget::customContextMenuRequested, this,
            [this, go](const QPoint& pos) { RteGoPopup->popup(go->mapToGlobal(pos)); });

  for (const char* name : {"FMRouteOpen", "RFOpen", "NAOpenRoute"}) WireCommand(name, &T_Form::LoadRoute2Click);
  for (const char* name : {"NAReverseRoute", "RFReverse"}) WireCommand(name, &T_Form::RteReverseBtnClick);
  WireCommand("ActivateRoute1", &T_Form::RteActBtnClick);
  WireCommand("DeactivateRoute1", &T_Form::DeactivateRoute1Click);
  WireCommand("AcknowledgeNewWP1", &T_Form::DBRteHINTDblClick);
  WireCommand("ShowMagneticHeadings1", &T_Form::ShowMagneticHeadings1Click);
  WireCommand("RouteEditor1", &T_Form::RouteEditor1Click);
  WireCommand("RFCloseEditor", &T_Form::RteEditCloseClick);
  WireCommand("RFSave", &T_Form::RteSaveBtnClick);
  WireCommand("RFSaveAs", &T_Form::RteSaveAsClick);
  if (QAction* extend = MenuItem("RPExtend")) {
    extend->setCheckable(true);
    WireCommand("RPExtend", &T_Form::RouteAdd1Click);
  }
}

void T_Form::WireRoutePointEvents() {
  // A click shows the point in the editor (with Ctrl or Shift the editor
  // shows the several-points view); a drag also changes the statistics and
  // the "Save Route" colour. A click on a position chooses it in the
  // positions box.
  symbols_->Shapes().OnRoutePointClicked = [this](TNavShape& s) { ShowRoutePoint(&s); };
  symbols_->Shapes().OnRoutePointMoved = [this](TNavShape& s) {
    ShowRoutePoint(&s);
    ShowRouteStats();
    RequestRepaint();
  };
  symbols_->Shapes().OnPositionClicked = [this](TNavShape& s) {
    if (QComboBox* list = RouteWidget<QComboBox>("DBC_RTAddWP")) list->setCurrentIndex(list->findText(Q(s.Caption)));
  };
}
