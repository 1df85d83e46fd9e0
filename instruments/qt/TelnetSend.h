// The TCP link to a network source of NMEA data ("NMEA_SIMUL" = "IP:" +
// host ":" port). (A first version with what the main window needs: the
// address, the login and an asynchronous connect. The full client comes with
// its own work.)
#pragma once

#include <QObject>

#include <cstdint>
#include <string>
#include <string_view>

class QTcpSocket;

class TTelnetSend : public QObject {
  Q_OBJECT
 public:
  explicit TTelnetSend(QObject* parent = nullptr);
  ~TTelnetSend() override;

  std::string Address;  // "host:port"
  std::string Login;
  std::string Password;

  // Starts connecting to Address without waiting; false when the address
  // is not of the form host:port.
  bool Connect();
  void Disconnect();
  bool Connected() const;
  std::string ReadString();
  // Queues bytes for sending and returns at once (the event loop writes
  // them). False, and nothing queued, when the link is not connected or
  // more than kMaxPending bytes still wait: a peer that does not read
  // never stalls the program.
  bool Send(std::string_view bytes);
  static constexpr int64_t kMaxPending = 64 * 1024;

  // Splits "host:port"; false when malformed.
  static bool SplitAddress(const std::string& address, std::string& host, uint16_t& port);

 signals:
  void DataReceived();

 private:
  QTcpSocket* socket_;
};
