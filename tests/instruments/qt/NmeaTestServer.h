// A TCP server of the tests standing in for an NMEA server on the boat's
// network: it listens on a loopback port of the system's choosing, takes
// every connection, records what each one sends and sends to the newest.
// It can stop (closing everything, then refusing), come back on the same
// port, and stop reading as a stuck peer would.
#pragma once

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TNmeaTestServer {
 public:
  TNmeaTestServer() {
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        const size_t i = conns_.size();
        conns_.emplace_back(s);
        received_.emplace_back();
        QObject::connect(s, &QTcpSocket::readyRead, [this, i] { Drain(i); });
      }
    });
  }
  ~TNmeaTestServer() { Stop(); }
  TNmeaTestServer(const TNmeaTestServer&) = delete;
  TNmeaTestServer& operator=(const TNmeaTestServer&) = delete;

  // Listens on 127.0.0.1 (port 0: one the system chooses; the port it had,
  // after Stop).
  bool Listen(uint16_t port = 0) {
    if (!server_.listen(QHostAddress::LocalHost, port)) return false;
    port_ = server_.serverPort();
    return true;
  }
  uint16_t Port() const { return port_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

  // Stops listening and ends every connection: the server is gone.
  void Stop() {
    server_.close();
    for (const QPointer<QTcpSocket>& s : conns_)
      if (s) s->abort();
  }
  // Ends the newest connection, still listening.
  void Hangup() {
    if (QTcpSocket* s = Current()) s->disconnectFromHost();
  }

  int Connections() const { return static_cast<int>(conns_.size()); }
  QTcpSocket* Current() const { return conns_.empty() ? nullptr : conns_.back().data(); }
  bool Send(std::string_view bytes) {
    QTcpSocket* s = Current();
    if (!s || s->state() != QAbstractSocket::ConnectedState) return false;
    const bool ok = s->write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
    s->flush();
    return ok;
  }
  // What connection i has sent so far.
  const std::string& Received(size_t i) {
    Drain(i);
    return received_[i];
  }

  // The newest connection stops reading: what it is sent piles up in the
  // system's buffers, then at the sender.
  void PauseReading() {
    reading_ = false;
    if (QTcpSocket* s = Current()) s->setReadBufferSize(1);
  }
  void ResumeReading() {
    reading_ = true;
    if (QTcpSocket* s = Current()) s->setReadBufferSize(0);
    if (!conns_.empty()) Drain(conns_.size() - 1);
  }

 private:
  void Drain(size_t i) {
    if (!reading_ && i + 1 == conns_.size()) return;
    if (conns_[i] && conns_[i]->isOpen()) received_[i] += conns_[i]->readAll().toStdString();
  }

  QTcpServer server_;
  uint16_t port_ = 0;
  bool reading_ = true;
  std::vector<QPointer<QTcpSocket>> conns_;
  std::vector<std::string> received_;
};
