// A serial port of the plotter: port A (which also transmits), B or C.
//
// The port runs on the program's event loop: the device is opened
// non-blocking and watched with socket notifiers, so every notification
// arrives on the thread that owns the port and no call ever waits for the
// device. The line is always 8 data bits, no parity, one stop bit and no
// flow control; the rate is one of TAfBaudrate.
//
// Ports are numbered (0 = not used); the number names the port in messages
// ("Can't open device COM3"), and the device file is DeviceName, or
// "/dev/ttyS<n-1>" when that is empty. The device is opened exclusively:
// a terminal-exclusive flag keeps other programs out and an advisory lock
// keeps out other instances of this program (the flag alone does not stop
// root).
//
// A device that vanishes while open (USB adapter unplugged, far end of a
// pseudo-terminal closed) is reported once with PortLost, closed at once so
// that the system can reuse its name, and opened again by a timer with
// back-off until it is back (PortRestored). Close or Open ends the waiting.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

class QSocketNotifier;
class QTimer;

// Baud rates; the integer is the ordinal the settings store.
enum TAfBaudrate : int {
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000,
  brUser,
};
inline constexpr int kAfBaudrateCount = 16;

// The rate in bits per second of a TAfBaudrate ordinal (brUser: userRate);
// 0 for an ordinal outside the list.
int AfBaudRateValue(int ordinal, int userRate);

// The port cannot be opened or its line cannot be set up ("Invalid port
// number (COM3)", "Can't open device COM3", ...). Detail() adds what the
// system said, with the device path, for logs and hints.
class EAfComPortCoreError : public std::runtime_error {
 public:
  explicit EAfComPortCoreError(const std::string& message, std::string detail = {});
  const std::string& Detail() const { return detail_; }

 private:
  std::string detail_;
};

// A misuse of an open port: the message reads "<port name> - <text> ".
class EAfComPortError : public std::runtime_error {
 public:
  EAfComPortError(const std::string& portName, const std::string& text);
};

class TAfComPort : public QObject {
  Q_OBJECT
 public:
  explicit TAfComPort(QObject* parent = nullptr);
  // Closes the port without notifications.
  ~TAfComPort() override;

  // ---- settings ----

  // The port number; 0 means not used. Changing it on an open port closes
  // the port, sets the number and opens it again (which may throw).
  int ComNumber() const { return comNumber_; }
  void SetComNumber(int number);
  // A TAfBaudrate ordinal. On an open port the rate changes at once; when
  // the device refuses it the previous rate stays and EAfComPortCoreError
  // ("Error setting parameters from DCB") is thrown. Ordinals outside the
  // list are ignored.
  int BaudRate() const { return baudRate_; }
  void SetBaudRate(int ordinal);
  // The rate of brUser (0: none, which the line refuses).
  int UserBaudRate() const { return userBaudRate_; }
  void SetUserBaudRate(int rate);
  // The device file; empty: "/dev/ttyS<n-1>" for port number n. Read at
  // each open.
  std::string DeviceName;
  std::string Device() const;
  // Bytes held for the reader before reading from the device pauses (the
  // rest waits in the driver), and capacity of the transmit queue. Both
  // may only change while the port is closed ("Port is not closed").
  int InBufSize() const { return inBufSize_; }
  void SetInBufSize(int size);
  int OutBufSize() const { return outBufSize_; }
  void SetOutBufSize(int size);
  // Modem control lines, raised while set; they change at once on an open
  // port (devices without modem lines ignore them).
  bool DTR() const { return dtr_; }
  void SetDTR(bool on);
  bool RTS() const { return rts_; }
  void SetRTS(bool on);

  // Waiting for a lost device: the first attempt to reopen comes after
  // RetryInterval ms, each failure doubles the wait up to RetryIntervalMax.
  int RetryInterval = 2000;
  int RetryIntervalMax = 5000;

  // ---- operations ----

  // Opens the device at the set rate. Throws EAfComPortCoreError when it
  // cannot; the port is then closed. Opening an open port does nothing.
  void Open();
  // Empties both queues and closes the device; stops waiting for a lost
  // device.
  void Close();
  bool Active() const { return fd_ >= 0; }
  // The device was lost and the port waits for it to return.
  bool Reopening() const { return reopening_; }
  // Why the device was lost ("/dev/ttyUSB0: hang-up"); empty when it was not.
  const std::string& LostReason() const { return lostReason_; }
  // Attempts to reopen since the device was last lost.
  int ReopenAttempts() const { return reopenAttempts_; }

  // Received bytes waiting to be read (held by the port and in the driver);
  // 0 when closed.
  int InBufUsed() const;
  // Free space of the transmit queue; 0 when closed.
  int OutBufFree() const;
  // Everything received so far; empty when closed.
  std::string ReadString();
  // Exactly `count` bytes; when fewer are waiting nothing is taken and
  // EAfComPortError ("Read data error") is thrown.
  void Read(void* buffer, int count);
  // Queues bytes for sending, all or nothing: when the queue cannot take
  // the whole block nothing is queued and EAfComPortError ("Write data
  // error [requested: N, free: M]") is thrown. Ignored when the port is
  // closed; nothing for an empty block.
  void WriteString(std::string_view text);
  void Write(const void* data, int count);
  // Queues lines of text (sentences ending in a line feed) and never
  // refuses: when the queue would exceed OutBufSize, the oldest whole
  // sentences waiting are dropped (never a sentence already partly sent).
  // Returns how many were dropped now; DroppedSentences counts them all.
  // Ignored when the port is closed.
  int WriteSentences(std::string_view text);
  int64_t DroppedSentences() const { return droppedSentences_; }
  // Bytes handed to the device since the port was created.
  int64_t BytesSent() const { return bytesSent_; }
  // Discard what was received / what waits to be sent.
  void PurgeRx();
  bool PurgeTx();
  // The rate the device reports (0 when closed or unknown).
  int ActualBaudRate() const;

 signals:
  // Bytes have arrived; count is InBufUsed.
  void DataRecived(int count);
  // The transmit queue has been sent completely.
  void OutBufEmptied();
  // Open has opened the port; Close has closed it or ended the wait for
  // its lost device.
  void PortOpen();
  void PortClose();
  // The device vanished (reported once per loss) / came back.
  void PortLost(const QString& reason);
  void PortRestored();

 private:
  void OpenDevice();
  void CloseDevice();
  void ApplyLine(int fd, int ordinal) const;
  void SetModemLine(int bit, bool on) const;
  void OnReadable();
  void OnWritable();
  void Lose(const std::string& why);
  void TryReopen();
  void StopReopening();
  void DrainDriver(std::string& into, size_t limit);
  void ArmWrite();
  [[noreturn]] void Fail(const std::string& text) const;

  int fd_ = -1;
  int comNumber_ = 0;
  int baudRate_ = br115200;
  int userBaudRate_ = 0;
  int inBufSize_ = 4096;
  int outBufSize_ = 2048;
  bool dtr_ = true;
  bool rts_ = true;
  QSocketNotifier* readNotifier_ = nullptr;
  QSocketNotifier* writeNotifier_ = nullptr;
  QTimer* retryTimer_;
  // Received bytes not yet read.
  std::string rx_;
  // Bytes to send: tx_[txHead_..] waits.
  std::string tx_;
  size_t txHead_ = 0;
  // The last byte handed to the device did not end a sentence.
  bool midSentence_ = false;
  int64_t droppedSentences_ = 0;
  int64_t bytesSent_ = 0;
  // Read notifications in a row that found nothing to read.
  int idleWakeups_ = 0;
  // Counts opens and closes, so that work begun before a notification can
  // tell whether the port it started on is still the same.
  uint64_t session_ = 0;
  bool reopening_ = false;
  int retryDelay_ = 0;
  int reopenAttempts_ = 0;
  std::string lostReason_;
};
