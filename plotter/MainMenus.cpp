// The main window's menus. There is no menu bar: the commands sit in the two
// drop-down buttons of the dashboard ("&File", "&Tools") and in the context
// menus of the chart and of some dashboard boxes. Every item carries an
// object name, under which language files translate it.
//
// The window's own commands are wired here; every other item is wired, and
// enabled, by the feature that does its work when the feature is made: an
// item whose feature is missing stays disabled.
#include <QAction>
#include <QFrame>
#include <QMenu>
#include <QToolButton>
#include <QWidget>

#include <vector>

#include "plotter/MainForm.h"

namespace {

// One item or submenu. `ready` items are the window's own, wired here.
struct TMenuDef {
  const char* name;
  const char* caption;
  bool ready = false;
  bool checkable = false;
  std::vector<TMenuDef> items = {};
};

TMenuDef Item(const char* name, const char* caption, bool ready = false) { return {name, caption, ready}; }
TMenuDef Check(const char* name, const char* caption, bool ready = false) { return {name, caption, ready, true}; }
TMenuDef Sub(const char* name, const char* caption, std::vector<TMenuDef> items) {
  return {name, caption, true, false, std::move(items)};
}

void Fill(QMenu* menu, const std::vector<TMenuDef>& items) {
  for (const TMenuDef& d : items) {
    if (!d.items.empty()) {
      auto* sub = new QMenu(QString::fromUtf8(d.caption), menu);
      sub->setObjectName(QString::fromLatin1(d.name));
      Fill(sub, d.items);
      menu->addMenu(sub);
      continue;
    }
    QAction* a = menu->addAction(QString::fromUtf8(d.caption));
    a->setObjectName(QString::fromLatin1(d.name));
    a->setCheckable(d.checkable);
    a->setEnabled(d.ready);
  }
}

QMenu* MakeMenu(QWidget* owner, const char* name, const std::vector<TMenuDef>& items) {
  auto* menu = new QMenu(owner);
  menu->setObjectName(QString::fromLatin1(name));
  Fill(menu, items);
  return menu;
}

}  // namespace

void T_Form::BuildMenus() {
  FileMenu = MakeMenu(this, "FileMenu",
                      {
                          Sub("FMChart", "&Chart",
                              {Item("FMListAll", "List &All"), Item("FMNameSearch", "Name Search"),
                               Item("FMPrevious", "&Previous"), Item("FMNotListed", "&Not Listed"),
                               Item("FMOutline", "Outline"), Item("FMPrintChart", "Print Chart"),
                               Item("FMPrintList", "Print List")}),
                          Sub("FMRoute", "&Route",
                              {Item("FMRouteOpen", "&Open"), Item("FMRouteClear", "&Clear"),
                               Item("FMRouteExportNMEA", "Export NMEA"), Item("FMRoutePrint", "Print")}),
                          Sub("FMPositions", "&Positions",
                              {Item("WPOpen", "&Open"), Item("WPSave", "&Save"), Item("WPSaveAs", "Save &As"),
                               Item("WPClear", "&Clear"), Check("WPUnlock", "&Unlock"),
                               Item("WPDeleteSelected", "&Delete Selected"), Item("WPImport", "&Import"),
                               Item("WPExport", "E&xport"), Item("WPExportNMEA", "Export NMEA"),
                               Item("WPPrint", "Print")}),
                          Sub("FMTrack", "&Track",
                              {Check("OpenOld1", "Open Old"), Item("TrkImport", "Import"),
                               Item("TrkExportText", "Export Text"), Item("TrkPrint", "Print")}),
                          Sub("GPSMenu", "GPS",
                              {Sub("GPSSend", "Send to GPS",
                                   {Item("GPSSendPositions", "Positions"), Item("GPSSendRoute", "Route")}),
                               Sub("GPSGet", "Get from GPS",
                                   {Item("GPSGetPositions", "Positions"), Item("GPSGetRoute", "Route"),
                                    Item("GPSGetTrack", "Track")})}),
                          Item("ChartInfo1", "Chart &Info"),
                          Item("Exit1", "Exit", true),
                      });

  EditMenu = MakeMenu(this, "EditMenu",
                      {
                          Sub("NightMode1", "&Night Mode",
                              {Item("Clr0", "Normal (1)", true), Item("Clr1", "Shade (2)", true),
                               Item("Clr2", "Dusk (3)", true), Item("Clr3", "Night (4)", true)}),
                          Item("RouteEditor1", "&Route Editor"),
                          Item("MParameters", "&Properties", true),
                          Item("ChartGroups1", "Chart Groups"),
                          Sub("System1", "System",
                              {Item("NMEAInputMonitor1", "NMEA Input Monitor"),
                               Item("NMEAOutputMonitor1", "NMEA Output Monitor")}),
                          Item("About1", "&About..."),
                      });

  NormalPopup = MakeMenu(
      this, "NormalPopup",
      {
          Sub("NAC", "&Charts",
              {Item("NACBestChart", "&Best Chart"), Item("NACFindBoat", "&Find Boat"),
               Item("NACSmallerScale", "&Smaller Scale"), Item("NACPrevious", "&Previous"),
               Item("NACOnPosition", "&On Position"), Item("NACSearch", "Search"), Item("NACListAll", "List &All")}),
          Item("PreferedCharts1", "Prefered Charts"),
          Sub("NARoutes", "&Routes",
              {Item("NAOpenRoute", "&Open Route"), Item("NAReverseRoute", "&Reverse Route"),
               Check("ActivateRoute1", "&Activate Route")}),
          Sub("NAPositions", "&Positions",
              {Item("NAAddPosition", "&Add "), Item("NAAddCurrentPos", "Add Current Pos"),
               Item("DeleteWP", "&Delete Selected"), Item("NAOpenPositions", "&Open"),
               Item("NAClearMarker", "&Clear Marker"), Item("NAMarkCursor", "&Mark Cursor")}),
          Sub("NAZoom", "&Zoom",
              {Item("MZ12", "12.5%"), Item("MZ25", "25%"), Item("MZ50", "50%"), Item("MZ100", "&100%"),
               Item("MZ200", "200%"), Item("MZ400", "400%")}),
          Sub("NATools", "&Tools",
              {Item("LogBookEntry1", "Log Book Entry"), Item("SetDRPos1", "Set &DR Pos"),
               Item("AISInfo1", "AIS Info"), Item("RefreshScreen1", "&Refresh Screen", true),
               Item("NAProperties", "&Properties", true), Item("NAExit", "E&xit", true)}),
          Item("MarkMOB1", "&MARK MOB"),
      });

  RtePopup = MakeMenu(this, "RtePopup",
                      {
                          Item("RPBestChart", "&Best Chart"),
                          Sub("RPMoreCharts", "&More Charts",
                              {Item("RPOnPosition", "&On Position"), Item("RPLast", "Last"),
                               Item("RPSmallerScale", "Smaller Scale"), Item("RPListAll", "&List All")}),
                          Item("RPExtend", "E&xtend"),
                          Sub("RPZoom", "&Zoom",
                              {Item("RZ25", "25%"), Item("RZ50", "50%"), Item("RZ100", "&100%"),
                               Item("RZ200", "200%"), Item("RZ400", "400%")}),
                      });

  RouteFileMenu = MakeMenu(
      this, "RouteFileMenu",
      {
          Sub("RFRoute", "&Route",
              {Item("RFOpen", "&Open"), Item("RFSave", "&Save"), Item("RFSaveAs", "Save &As"),
               Item("RFImportTrack", "Import &Track"), Item("RFImport", "I&mport"), Item("RFExport", "E&xport"),
               Item("RFSendNMEA", "Send to &NMEA"), Item("RFListRoute", "&List Route"),
               Item("RFReverse", "&Reverse"), Item("RFClearRoute", "&Clear Route"), Item("RFPrint", "Print")}),
          Sub("RFOpenChart", "Open &Chart",
              {Item("RFListAll", "List &All"), Item("RFLast", "&Last"), Item("RFNotListed", "&Not Listed"),
               Item("RFOutline", "Outline")}),
          Item("RFOpenPositions", "Open &Positions"),
          Item("RFCloseEditor", "Close &Editor"),
      });

  InstrPopup = MakeMenu(this, "InstrPopup",
                        {Item("ResetTrip1", "Reset Trip"), Item("ResetTime1", "Reset Time"),
                         Item("ResetFuel1", "Reset Fuel"), Check("EngineOn1", "Engine On")});
  DelRtePopup = MakeMenu(this, "DelRtePopup", {Item("DelRteWaypoint", "Delete Waypoint")});
  DelWPPopup = MakeMenu(this, "DelWPPopup", {Item("DelWPWaypoint", "Delete Waypoint")});
  RteGoPopup = MakeMenu(this, "RteGoPopup",
                        {Item("AcknowledgeNewWP1", "Acknowledge New WP"),
                         Check("ShowMagneticHeadings1", "Show Magnetic Headings"),
                         Item("DeactivateRoute1", "Deactivate Route")});

  MenuItem("EngineOn1")->setChecked(true);

  // The window's own commands.
  connect(MenuItem("Exit1"), &QAction::triggered, this, &QWidget::close);
  connect(MenuItem("NAExit"), &QAction::triggered, this, &QWidget::close);
  connect(MenuItem("RefreshScreen1"), &QAction::triggered, this, [this] { RequestRepaint(); });
  connect(MenuItem("MParameters"), &QAction::triggered, this, &T_Form::MParametersClick);
  connect(MenuItem("NAProperties"), &QAction::triggered, this, &T_Form::MParametersClick);
  for (int i = 0; i < 4; ++i)
    connect(MenuItem(QStringLiteral("Clr%1").arg(i).toLatin1().constData()), &QAction::triggered, this,
            [this, i] { SetShadeLevel(i); });

  DBC_MENU_1->setMenu(FileMenu);
  DBC_MENU_2->setMenu(EditMenu);
}

QAction* T_Form::MenuItem(const char* name) const {
  // Only menu items: a submenu's own action carries no name.
  for (QMenu* m : {FileMenu, EditMenu, NormalPopup, RtePopup, RouteFileMenu, InstrPopup, DelRtePopup, DelWPPopup,
                   RteGoPopup}) {
    if (!m) continue;
    if (auto* a = m->findChild<QAction*>(QString::fromLatin1(name))) return a;
  }
  return nullptr;
}

QMenu* T_Form::SubMenu(const char* name) const {
  for (QMenu* m : {FileMenu, EditMenu, NormalPopup, RtePopup, RouteFileMenu, InstrPopup, DelRtePopup, DelWPPopup,
                   RteGoPopup}) {
    if (!m) continue;
    if (m->objectName() == QLatin1String(name)) return m;
    if (auto* s = m->findChild<QMenu*>(QString::fromLatin1(name))) return s;
  }
  return nullptr;
}
