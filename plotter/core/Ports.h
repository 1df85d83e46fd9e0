// Opening and closing the plotter's three serial ports after the settings.
// Written against any port type with this shape (the serial port component,
// or a fake in tests):
//   int ComNumber() const;     void SetComNumber(int);
//   int BaudRate() const;      void SetBaudRate(int);   // index into kBaudRates
//   bool Active() const;       void Open();             // may throw
//   void Close();              void PurgeRx();          void PurgeTx();
#pragma once

#include <array>
#include <functional>
#include <string>

// Baud rates by the index the settings store ("BaudRateId").
inline constexpr std::array<int, 13> kBaudRates = {110,  300,   600,   1200,  2400,  4800,  9600,
                                                   14400, 19200, 38400, 56000, 57600, 115200};
inline constexpr int kDefaultBaudRateId = 5;  // 4800

// A stored index outside the table reads as the default.
inline int CheckedBaudRateId(int id) {
  return id >= 0 && id < static_cast<int>(kBaudRates.size()) ? id : kDefaultBaudRateId;
}

struct TPortSetting {
  int number = 0;  // 0: not used
  int baudRateId = kDefaultBaudRateId;
};

// Closes an open port: output purged, input purged, closed. A port that
// lost its device and waits to reopen by itself stops waiting (it must not
// come back after the program let go of it, or with a setting of 0).
template <class Port>
void ClosePort(Port& port) {
  if (!port.Active()) {
    if constexpr (requires { port.Reopening(); }) {
      if (port.Reopening()) port.Close();
    }
    return;
  }
  port.PurgeTx();
  port.PurgeRx();
  port.Close();
}

// Brings one port in line with its setting. A port that already runs with
// the set number and rate is left open; otherwise it is closed and, unless
// the number is 0, opened with the setting. When opening fails, `notify`
// gets "Could Not Open Communication Port" followed by a blank and the port
// number (when opening raised an error) or alone (when it returned with the
// port still closed). Either way the port's buffers are purged at the end.
template <class Port>
void OpenPort(Port& port, const TPortSetting& setting, const std::string& failText,
              const std::function<void(const std::string&)>& notify) {
  const int baudId = CheckedBaudRateId(setting.baudRateId);
  if (port.ComNumber() != setting.number || !port.Active() || port.BaudRate() != baudId) {
    ClosePort(port);
    if (setting.number != 0) {
      bool raised = false;
      try {
        port.SetBaudRate(baudId);
        port.SetComNumber(setting.number);
        port.Open();
      } catch (...) {
        raised = true;
      }
      if (!port.Active()) notify(raised ? failText + " " + std::to_string(setting.number) : failText);
    }
  }
  port.PurgeTx();
  port.PurgeRx();
}
