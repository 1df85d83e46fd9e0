#include "instruments/qt/TelnetSend.h"

#include <QTcpSocket>

TTelnetSend::TTelnetSend(QObject* parent) : QObject(parent), socket_(new QTcpSocket(this)) {
  socket_->setReadBufferSize(64 * 1024);
  connect(socket_, &QTcpSocket::readyRead, this, &TTelnetSend::DataReceived);
}

TTelnetSend::~TTelnetSend() { Disconnect(); }

bool TTelnetSend::SplitAddress(const std::string& address, std::string& host, uint16_t& port) {
  const size_t colon = address.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= address.size()) return false;
  uint32_t p = 0;
  for (size_t i = colon + 1; i < address.size(); ++i) {
    const char c = address[i];
    if (c < '0' || c > '9') return false;
    p = p * 10 + static_cast<uint32_t>(c - '0');
    if (p > 65535) return false;
  }
  if (p == 0) return false;
  host = address.substr(0, colon);
  port = static_cast<uint16_t>(p);
  return true;
}

bool TTelnetSend::Connect() {
  std::string host;
  uint16_t port = 0;
  if (!SplitAddress(Address, host, port)) return false;
  socket_->abort();
  socket_->connectToHost(QString::fromStdString(host), port);
  return true;
}

void TTelnetSend::Disconnect() { socket_->abort(); }

bool TTelnetSend::Connected() const { return socket_->state() == QAbstractSocket::ConnectedState; }

std::string TTelnetSend::ReadString() { return socket_->readAll().toStdString(); }

bool TTelnetSend::Send(std::string_view bytes) {
  if (!Connected()) return false;
  if (bytes.empty()) return true;
  if (socket_->bytesToWrite() + static_cast<int64_t>(bytes.size()) > kMaxPending) return false;
  const qint64 n = socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
  return n == static_cast<qint64>(bytes.size());
}
