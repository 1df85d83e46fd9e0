// A serial port of the plotter: port A (the one that also transmits), B or C.
// (A first version with what the main window needs: number, rate, open,
// close, purge, read and write. The full component comes with its own work.)
#pragma once

#include <QObject>

#include <stdexcept>
#include <string>

class QSerialPort;

// The port cannot be opened ("Invalid port number (COM3)", ...).
class EAfComPortCoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TAfComPort : public QObject {
  Q_OBJECT
 public:
  explicit TAfComPort(QObject* parent = nullptr);
  ~TAfComPort() override;

  // The port number; 0 means not used. Changing it on an open port closes
  // it, sets the number and opens it again.
  int ComNumber() const { return comNumber_; }
  void SetComNumber(int number);
  // Index into 110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400,
  // 56000, 57600, 115200 (the stored "BaudRateId").
  int BaudRate() const { return baudRate_; }
  void SetBaudRate(int index);
  // The device file; empty: "/dev/ttyS<n-1>" for port number n.
  std::string DeviceName;
  std::string Device() const;
  // Receive buffer size; data beyond it waits in the driver.
  int InBufSize = 4096;

  // Opens the device at the set rate, 8 data bits, no parity, one stop bit,
  // no flow control. Throws EAfComPortCoreError when it cannot.
  void Open();
  void Close();
  bool Active() const;
  void PurgeRx();
  void PurgeTx();
  // Everything received so far; empty when closed.
  std::string ReadString();
  // Queues text for sending; false when the port is closed.
  bool WriteString(const std::string& text);

 signals:
  // Bytes have arrived (count: how many are waiting).
  void DataRecived(int count);

 private:
  QSerialPort* port_;
  int comNumber_ = 0;
  int baudRate_ = 12;
};
