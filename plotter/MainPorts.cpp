// The main window's serial ports: their signals to the window's handlers,
// which hand them to the ports' feature (plotter/ports/PortLinks.h).
#include <QFrame>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "instruments/NMEA.h"
#include "instruments/NetSource.h"
#include "instruments/qt/AfComPort.h"
#include "instruments/qt/TelnetSend.h"
#include "plotter/MainForm.h"
#include "plotter/ports/PortLinks.h"
#include "plotter/core/Lifecycle.h"


void T_Form::SetUpPorts() {
  // Port A carries all output; B and C only receive.
  GPSCom->SetOutBufSize(8192);
  NMEAPort1->SetOutBufSize(32);
  NMEAPort2->SetOutBufSize(32);
  for (TAfComPort* port : {GPSCom, NMEAPort1, NMEAPort2}) {
    connect(port, &TAfComPort::DataRecived, this, &T_Form::GPSComDataRecived);
    connect(port, &TAfComPort::PortLost, this, &T_Form::GPSComLinkChanged);
    connect(port, &TAfComPort::PortRestored, this, &T_Form::GPSComLinkChanged);
    connect(port, &TAfComPort::PortOpen, this, &T_Form::GPSComLinkChanged);
    connect(port, &TAfComPort::PortClose, this, &T_Form::GPSComLinkChanged);
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
