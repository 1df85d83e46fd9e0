#include "instruments/qt/SignalKDiscovery.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include <algorithm>

#include "instruments/NetSource.h"

namespace {
const std::vector<std::string>& Types() {
  static const std::vector<std::string> types = {kSignalKWsService, kSignalKHttpService};
  return types;
}
// A reply larger than this is not one a responder sends.
constexpr qint64 kMaxReply = 9000;
}  // namespace

TSignalKDiscovery::TSignalKDiscovery(QObject* parent) : QObject(parent) {}

TSignalKDiscovery::~TSignalKDiscovery() { Stop(); }

void TSignalKDiscovery::SetTarget(const QHostAddress& address, uint16_t port) {
  target_ = address;
  port_ = port;
}

bool TSignalKDiscovery::Start() {
  if (!socket_) {
    socket_ = new QUdpSocket(this);
    if (!socket_->bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
      delete socket_;
      socket_ = nullptr;
      return false;
    }
    connect(socket_, &QUdpSocket::readyRead, this, &TSignalKDiscovery::Read);
  }
  const std::vector<uint8_t> q = MdnsQuery(Types());
  socket_->writeDatagram(reinterpret_cast<const char*>(q.data()), static_cast<qint64>(q.size()), target_, port_);
  return true;
}

void TSignalKDiscovery::Stop() {
  if (!socket_) return;
  socket_->disconnect(this);
  socket_->close();
  socket_->deleteLater();
  socket_ = nullptr;
}

void TSignalKDiscovery::Read() {
  bool found = false;
  while (socket_ && socket_->hasPendingDatagrams()) {
    const QNetworkDatagram d = socket_->receiveDatagram(kMaxReply);
    const QByteArray b = d.data();
    auto services = ParseMdnsReply(reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size()),
                                   Types());
    if (!services) {
      ++badReplies_;
      continue;
    }
    for (TMdnsService& s : *services) {
      // A reply without the host's address: the sender is the host.
      if (s.Address.empty() && d.senderAddress().protocol() == QAbstractSocket::IPv4Protocol)
        s.Address = d.senderAddress().toString().toStdString();
      const bool known = std::any_of(services_.begin(), services_.end(), [&](const TMdnsService& k) {
        return k.Port == s.Port && (k.Address == s.Address || k.Host == s.Host);
      });
      if (known || services_.size() >= 64) continue;
      services_.push_back(std::move(s));
      found = true;
    }
  }
  if (found) emit Found();
}

std::string TSignalKDiscovery::SourceText(const TMdnsService& s, bool tls) {
  const std::string host = s.Address.empty() ? s.Host : s.Address;
  return NetworkSourceText(TNetKind::SignalK, host, std::to_string(s.Port), tls);
}
