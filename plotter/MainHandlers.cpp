// The main window's handlers and the operations the other parts of the
// program reach it by, each handed to the feature that does the work; a
// feature that could not be made leaves its handlers doing nothing. The
// menu items and buttons of a feature are wired to it when it is made; the
// handlers here are the same commands for the keyboard, the program body
// and the tests.
#include <QDialog>

#include "instruments/qt/AfComPort.h"
#include "plotter/ChartCanvas.h"
#include "plotter/MainForm.h"
#include "plotter/ais/AisView.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/UpdateCycle.h"
#include "plotter/dashboard/DashboardColumn.h"
#include "plotter/dashboard/NightShade.h"
#include "plotter/dialogs/DialogCommands.h"
#include "plotter/dialogs/NmeaMonitors.h"
#include "plotter/gps/GpsTransfer.h"
#include "plotter/output/NmeaOutput.h"
#include "plotter/ports/PortLinks.h"
#include "plotter/positions/PositionCommands.h"
#include "plotter/printing/ChartPrinting.h"
#include "plotter/route/RouteEditor.h"
#include "plotter/route/RouteExchange.h"
#include "plotter/route/RouteGuidanceView.h"
#include "plotter/tick/UpdateTick.h"
#include "plotter/track/TrackFiles.h"
#include "plotter/track/TrackView.h"
#include "sharedui/DialogSupport.h"

// ---------------------------------------------------------------------------
// The operations of the main window

bool T_Form::LoadChart(const std::string& file, bool interactive) {
  return chart_ && chart_->LoadChart(file, interactive);
}
int T_Form::OpenCatalogChart(int index, bool interactive) {
  return chart_ ? chart_->OpenCatalogChart(index, interactive) : -1;
}
void T_Form::FindPosition(const TFPoint& pos) {
  if (chart_) chart_->FindPosition(pos);
}
void T_Form::Repaint() {
  if (chart_) chart_->Repaint();
}
void T_Form::UpdateStatus() {
  if (dashboard_) dashboard_->UpdateStatus();
}
void T_Form::LayoutDashboard() {
  if (dashboard_) dashboard_->LayoutDashboard();
}
void T_Form::SetShadeLevel(int level) {
  if (shading_) shading_->SetShadeLevel(level);
}
int T_Form::ShadeLevel() const { return shading_ ? shading_->Level() : 0; }
TUpdateCycle* T_Form::UpdateCycle() const { return tick_ ? &tick_->Cycle() : nullptr; }
int T_Form::ExecDialog(QDialog& dialog) { return RunDialog ? RunDialog(dialog) : dialog.exec(); }
std::optional<std::string> T_Form::AskDialogText(const std::string& title, const std::string& prompt,
                                                 const std::string& offered) {
  if (InputQuery) return InputQuery(title, prompt);
  return AskText(this, title, prompt, offered);
}

// ---------------------------------------------------------------------------
// The tick and the ports

void T_Form::ComTimerTimer() {
  // The cycle catches its own failures; nothing may reach the event loop.
  try {
    if (tick_) tick_->Cycle().Tick();
  } catch (...) {
  }
}

void T_Form::GPSComDataRecived(int /*count*/) {
  // Whichever port fired, all three are served. Nothing may escape into the
  // event loop from here.
  try {
    if (ports_) ports_->PumpPorts();
  } catch (...) {
  }
}

void T_Form::GPSComLinkChanged() {
  if (ports_) ports_->LinkChanged(qobject_cast<TAfComPort*>(sender()));
}

// ---------------------------------------------------------------------------
// The handlers

void T_Form::XOpenClick() { if (chart_) chart_->XOpenClick(); }
void T_Form::ListAllChartsClick() { if (chart_) chart_->ListAllChartsClick(); }
void T_Form::Last1Click() { if (chart_) chart_->Last1Click(); }
void T_Form::OnPosition1Click() { if (chart_) chart_->OnPosition1Click(); }
void T_Form::MChartInfo1Click() { if (chart_) chart_->MChartInfo1Click(); }
void T_Form::FindBest1Click() { if (chart_) chart_->FindBest1Click(); }
void T_Form::NextChart1Click() { if (chart_) chart_->NextChart1Click(); }
void T_Form::SmallerScale1Click() { if (chart_) chart_->SmallerScale1Click(); }
void T_Form::OutlineMnuClick() { if (chart_) chart_->OutlineMnuClick(); }
void T_Form::DBBLatClick() { if (chart_) chart_->DBBLatClick(); }
void T_Form::DBBLatDblClick() { if (chart_) chart_->DBBLatDblClick(); }
void T_Form::SetMark1Click() { if (chart_) chart_->SetMark1Click(); }
void T_Form::MeasureLabClick() { if (chart_) chart_->MeasureLabClick(); }
void T_Form::CenterLabClick() { if (chart_) chart_->CenterLabClick(); }
void T_Form::MANOVERBOARD1Click() { if (chart_) chart_->MANOVERBOARD1Click(); }
void T_Form::DBI_AUTOClick() { if (chart_) chart_->DBI_AUTOClick(); }
void T_Form::DBI_TRACEClick() { if (track_) track_->DBI_TRACEClick(); }
void T_Form::DBI_PILOTClick() { if (output_) output_->DBI_PILOTClick(); }
void T_Form::DRUpdateClick() { if (tick_) tick_->DRUpdateClick(); }

void T_Form::RteActBtnClick() { if (guidance_) guidance_->RteActBtnClick(); }
void T_Form::DeactivateRoute1Click() { if (guidance_) guidance_->DeactivateRoute1Click(); }
void T_Form::DBRteHINTDblClick() { if (guidance_) guidance_->DBRteHINTDblClick(); }
void T_Form::ShowMagneticHeadings1Click() { if (guidance_) guidance_->ShowMagneticHeadings1Click(); }
void T_Form::RouteEditor1Click() { if (routeEditor_) routeEditor_->RouteEditor1Click(); }
void T_Form::RteEditCloseClick() { if (routeEditor_) routeEditor_->RteEditCloseClick(); }
void T_Form::RouteAdd1Click() { if (routeEditor_) routeEditor_->RouteAdd1Click(); }
void T_Form::RteEdUpdateClick() { if (routeEditor_) routeEditor_->RteEdUpdateClick(); }
void T_Form::RteDelSelBtnClick() { if (routeEditor_) routeEditor_->RteDelSelBtnClick(); }
void T_Form::RteAddWPBtnClick() { if (routeEditor_) routeEditor_->RteAddWPBtnClick(); }
void T_Form::RteReverseBtnClick() { if (routeEditor_) routeEditor_->RteReverseBtnClick(); }
void T_Form::LoadRoute2Click() { if (routeEditor_) routeEditor_->LoadRoute2Click(); }
void T_Form::RteSaveBtnClick() { if (routeEditor_) routeEditor_->RteSaveBtnClick(); }
void T_Form::RteSaveAsClick() { if (routeEditor_) routeEditor_->RteSaveAsClick(); }
void T_Form::Delete1Click() { if (routeEditor_) routeEditor_->Delete1Click(); }
void T_Form::RteClear1Click() { if (routeEditor_) routeEditor_->RteClear1Click(); }
void T_Form::ImportWP2Click() { if (routeExchange_) routeExchange_->ImportWP2Click(); }
void T_Form::ExportWP2Click() { if (routeExchange_) routeExchange_->ExportWP2Click(); }
void T_Form::ImportTrack1Click() { if (routeExchange_) routeExchange_->ImportTrack1Click(); }
void T_Form::DBC_RTListChange(int index) {
  if (routeEditor_) routeEditor_->DBC_RTListChange(index);
}

void T_Form::OpenWPMnuClick() { if (positions_) positions_->OpenWPMnuClick(); }
void T_Form::WPSaveMnuClick() { if (positions_) positions_->WPSaveMnuClick(); }
void T_Form::WPSaveAsMnuClick() { if (positions_) positions_->WPSaveAsMnuClick(); }
void T_Form::AddWaypoint1Click() { if (positions_) positions_->AddWaypoint1Click(); }
void T_Form::AddCurrentPos1Click() { if (positions_) positions_->AddCurrentPos1Click(); }
void T_Form::WPImportMnuClick() { if (positions_) positions_->WPImportMnuClick(); }
void T_Form::WPExportMnuClick() { if (positions_) positions_->WPExportMnuClick(); }
void T_Form::WPUnlockClick() { if (positions_) positions_->WPUnlockClick(); }
void T_Form::WPDelSelectClick() { if (positions_) positions_->WPDelSelectClick(); }
void T_Form::MenuItem5Click() { if (positions_) positions_->MenuItem5Click(); }
void T_Form::WPClearMnuClick() { if (positions_) positions_->WPClearMnuClick(); }
void T_Form::RteGotoBtnClick() { if (positions_) positions_->RteGotoBtnClick(); }
void T_Form::DBC_RTAddWPDblClick() { if (positions_) positions_->DBC_RTAddWPDblClick(); }

void T_Form::OpenOld1Click() { if (trackFiles_) trackFiles_->OpenOld1Click(); }
void T_Form::ImportTRCClick() { if (trackFiles_) trackFiles_->ImportTRCClick(); }
void T_Form::TrackExport1Click() { if (trackFiles_) trackFiles_->TrackExport1Click(); }
void T_Form::Positions1Click() { if (gps_) gps_->Positions1Click(); }
void T_Form::Route1Click() { if (gps_) gps_->Route1Click(); }
void T_Form::Positions2Click() { if (gps_) gps_->Positions2Click(); }
void T_Form::Route2Click() { if (gps_) gps_->Route2Click(); }
void T_Form::rack2Click() { if (gps_) gps_->rack2Click(); }
void T_Form::AIS_FindClick() { if (aisView_) aisView_->AIS_FindClick(); }
void T_Form::AIS_InfoClick() { if (aisView_) aisView_->AIS_InfoClick(); }
void T_Form::AISInfo1Click() { if (aisView_) aisView_->AISInfo1Click(); }

void T_Form::PrintImageClick() { if (printing_) printing_->PrintImageClick(); }
void T_Form::PrintChartListClick() { if (printing_) printing_->PrintChartListClick(); }
void T_Form::RoutePrintClick() { if (printing_) printing_->RoutePrintClick(); }
void T_Form::WPPrint1Click() { if (printing_) printing_->WPPrint1Click(); }
void T_Form::TrackPrint1Click() { if (printing_) printing_->TrackPrint1Click(); }
void T_Form::SearchByName1Click() { if (dialogs_) dialogs_->SearchByName1Click(); }
void T_Form::PrefScale1Click() { if (dialogs_) dialogs_->PrefScale1Click(); }
void T_Form::Groups1Click() { if (dialogs_) dialogs_->Groups1Click(); }
void T_Form::RteListMnuClick() { if (dialogs_) dialogs_->RteListMnuClick(); }
void T_Form::About1Click() { if (dialogs_) dialogs_->About1Click(); }
void T_Form::NMEAInput1Click() { if (monitors_) monitors_->NMEAInput1Click(); }
void T_Form::NMEAOutput1Click() { if (monitors_) monitors_->NMEAOutput1Click(); }
