#include "plotter/dialogs/NmeaMonitors.h"

#include <QAction>
#include <QWidget>

#include "instruments/NMEA.h"
#include "sharedui/SpyFrm.h"

namespace {

TSpyFrm* MakeMonitor(QWidget* owner, const QString& caption) {
  auto* w = new TSpyFrm(owner);
  w->setAttribute(Qt::WA_DeleteOnClose, false);
  QString c = caption;
  c.remove(u'&');
  w->setWindowTitle(c);
  w->setModal(false);
  w->SetRunning(true);
  return w;
}

}  // namespace

TNmeaMonitors::TNmeaMonitors(const TWindowContext& c, TNMEA& parser) : TWindowFeature(c), parser_(parser) {
  WireCommand("NMEAInputMonitor1", [this] { NMEAInput1Click(); });
  WireCommand("NMEAOutputMonitor1", [this] { NMEAOutput1Click(); });
  for (const char* name : {"NMEAInputMonitor1", "NMEAOutputMonitor1"})
    if (QAction* a = window_.MenuItem(name)) a->setCheckable(true);
}

void TNmeaMonitors::NMEAInput1Click() {
  QAction* item = window_.MenuItem("NMEAInputMonitor1");
  if (InputMonitor) {
    parser_.OnSentence = nullptr;
    delete InputMonitor.data();
    if (item) item->setChecked(false);
    return;
  }
  InputMonitor = MakeMonitor(&window_.Window(), item ? item->text() : QStringLiteral("NMEA Input Monitor"));
  QPointer<TSpyFrm> w = InputMonitor;
  parser_.OnSentence = [w](std::string_view text) {
    if (!w) return;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    w->AddInputLine(std::string(text));
  };
  InputMonitor->show();
  if (item) item->setChecked(true);
}

void TNmeaMonitors::NMEAOutput1Click() {
  QAction* item = window_.MenuItem("NMEAOutputMonitor1");
  if (OutputMonitor) {
    delete OutputMonitor.data();
    if (item) item->setChecked(false);
    return;
  }
  OutputMonitorPartial.clear();
  OutputMonitor = MakeMonitor(&window_.Window(), item ? item->text() : QStringLiteral("NMEA Output Monitor"));
  OutputMonitor->show();
  if (item) item->setChecked(true);
}

void TNmeaMonitors::MonitorOutput(std::string_view text) {
  if (!OutputMonitor) return;
  if (OutputMonitor->isHidden()) {
    // Closed with its "X": switched off as by its menu item.
    NMEAOutput1Click();
    return;
  }
  // One line per sentence; the part of a line not yet sent waits (a
  // little of it: a line of NMEA is short).
  std::string& pending = OutputMonitorPartial;
  for (char c : text) {
    if (c == '\n') {
      if (!pending.empty() && pending.back() == '\r') pending.pop_back();
      if (!pending.empty()) OutputMonitor->AddOutputLine(pending);
      pending.clear();
    } else if (pending.size() < 1024) {
      pending += c;
    }
  }
}

void TNmeaMonitors::CloseHiddenMonitors() {
  if (InputMonitor && InputMonitor->isHidden()) NMEAInput1Click();
}
