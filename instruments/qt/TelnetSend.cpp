#include "instruments/qt/TelnetSend.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>

namespace {

// TCP holds back what the link has not taken beyond this; the server then
// waits.
constexpr qint64 kSocketReadBuffer = 64 * 1024;

std::string LoginBytes(const std::string& user, const std::string& password) {
  std::string s(1, '\x01');
  s += user;
  s.push_back('\0');
  s += password;
  s.push_back('\0');
  return s;
}

std::string Text(const QString& s) { return s.toStdString(); }

}  // namespace

TTelnetSend::TTelnetSend(QObject* parent) : TTelnetSend(Clock(), parent) {}

TTelnetSend::TTelnetSend(IClock& clock, QObject* parent) : TNetLink(clock, parent) {}

TTelnetSend::~TTelnetSend() {
  // No signal of a socket may reach the half-destroyed link.
  if (tcp_) {
    tcp_->disconnect(this);
    tcp_->abort();
    delete tcp_;
  }
  if (udp_) {
    udp_->disconnect(this);
    udp_->close();
    delete udp_;
  }
}

void TTelnetSend::SetAddress(std::string_view address) { SetSource(ParseNetworkSource("IP:" + std::string(address))); }

void TTelnetSend::SetSource(const TNetSource& source) {
  Disconnect();
  source_ = source;
  gpsd_ = TGpsdStream();
  backoff_.Reset();
  lastFailure_.clear();
}

void TTelnetSend::SetLogin(std::string_view user, std::string_view password) {
  loginUser_ = std::string(user);
  loginPassword_ = std::string(password);
}

uint16_t TTelnetSend::ResolvePort() const {
  if (const uint16_t n = PortNumber(source_.Port)) return n;
  if (source_.Port.empty()) return 0;
  // A service name ("nmea-0183"), from the system's list of services.
  const servent* s = ::getservbyname(source_.Port.c_str(), source_.Kind == TNetKind::Udp ? "udp" : "tcp");
  return s ? ntohs(static_cast<uint16_t>(s->s_port)) : 0;
}

bool TTelnetSend::Connect() {
  if (source_.Kind == TNetKind::None) {
    Stop("no network source is set");
    return false;
  }
  if (!source_.Error.empty()) {
    Stop(source_.Error);
    return false;
  }
  if (ResolvePort() == 0) {
    Stop("\"" + source_.Port + "\" is not a known service");
    return false;
  }
  if (source_.Kind == TNetKind::Udp && !source_.Host.empty() &&
      QHostAddress(QString::fromStdString(source_.Host)).isNull()) {
    Stop("\"" + source_.Host + "\" is not an IP address (a multicast group or a local address)");
    return false;
  }
  StartAttempt();
  return true;
}

void TTelnetSend::Disconnect() {
  DropSockets();
  queue_.Clear();
  pending_.clear();
  freshAt_.reset();
  SetState(TState::Off);
}

void TTelnetSend::DropSockets() {
  // The sockets may be in the middle of one of their own signals: they go
  // once the event loop is back.
  if (tcp_) {
    tcp_->disconnect(this);
    tcp_->abort();
    tcp_->deleteLater();
    tcp_ = nullptr;
  }
  if (udp_) {
    udp_->disconnect(this);
    udp_->close();
    udp_->deleteLater();
    udp_ = nullptr;
  }
}

void TTelnetSend::StartAttempt() {
  DropSockets();
  queue_.Clear();
  ++attempts_;
  attemptStart_ = Now();
  textThisConnection_ = false;
  echo_.clear();
  echoMatched_ = 0;
  gpsd_.Reset();
  const uint16_t port = ResolvePort();
  if (source_.Kind == TNetKind::Udp)
    StartUdp(port);
  else
    StartTcp(port);
}

void TTelnetSend::StartTcp(uint16_t port) {
  SetState(TState::Connecting);
  tcp_ = new QTcpSocket(this);
  tcp_->setReadBufferSize(kSocketReadBuffer);
  connect(tcp_, &QTcpSocket::connected, this, &TTelnetSend::TcpConnected);
  connect(tcp_, &QTcpSocket::readyRead, this, &TTelnetSend::ReadTcp);
  connect(tcp_, &QTcpSocket::bytesWritten, this, &TTelnetSend::Flush);
  connect(tcp_, &QAbstractSocket::errorOccurred, this, &TTelnetSend::TcpDown);
  connect(tcp_, &QAbstractSocket::disconnected, this, &TTelnetSend::TcpDown);
  if (!IPInterface.empty() && !tcp_->bind(QHostAddress(QString::fromStdString(IPInterface)), 0)) {
    Fail("cannot start from the local address " + IPInterface + ": " + Text(tcp_->errorString()));
    return;
  }
  // The last use of tcp_ here: a failure may already be reported inside.
  tcp_->connectToHost(QString::fromStdString(source_.Host), port);
}

void TTelnetSend::StartUdp(uint16_t port) {
  udp_ = new QUdpSocket(this);
  connect(udp_, &QUdpSocket::readyRead, this, &TTelnetSend::ReadUdp);
  QHostAddress local(QHostAddress::AnyIPv4);
  QHostAddress group;
  if (!source_.Host.empty()) {
    const QHostAddress a(QString::fromStdString(source_.Host));
    if (a.isMulticast()) {
      group = a;
      local = a.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress(QHostAddress::AnyIPv6)
                                                            : QHostAddress(QHostAddress::AnyIPv4);
    } else {
      local = a;
    }
  }
  if (!udp_->bind(local, port, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
    Fail("cannot listen on port " + std::to_string(port) + ": " + Text(udp_->errorString()));
    return;
  }
  if (!group.isNull() && !udp_->joinMulticastGroup(group)) {
    Fail("cannot join the group " + source_.Host + ": " + Text(udp_->errorString()));
    return;
  }
  lastData_ = Now();
  freshAt_ = pending_.size();
  SetState(TState::NoData);
}

void TTelnetSend::TcpConnected() {
  if (!tcp_) return;
  lastData_ = Now();
  freshAt_ = pending_.size();
  SetState(TState::Connected);
  if (source_.Kind == TNetKind::Tcp && !loginUser_.empty()) {
    echo_ = LoginBytes(loginUser_, loginPassword_);
    tcp_->write(echo_.data(), static_cast<qint64>(echo_.size()));
  }
  if (source_.Kind == TNetKind::Gpsd) tcp_->write(kGpsdWatch);
}

void TTelnetSend::TcpDown() {
  if (!tcp_) return;
  if (state_ == TState::Connecting) {
    Fail(Text(tcp_->errorString()));
    return;
  }
  // The connection ended: what it brought still counts.
  ReadTcp();
  Fail(tcp_->error() == QAbstractSocket::RemoteHostClosedError ? "the server closed the connection"
                                                               : Text(tcp_->errorString()));
}

void TTelnetSend::ReadTcp() {
  // A socket already closed has nothing more (and reading it would only
  // warn).
  while (tcp_ && tcp_->isOpen() && pending_.size() < kMaxPending) {
    const QByteArray b = tcp_->read(static_cast<qint64>(kMaxPending - pending_.size()));
    if (b.isEmpty()) break;
    Take(std::string_view(b.constData(), static_cast<size_t>(b.size())));
  }
}

void TTelnetSend::ReadUdp() {
  while (udp_ && udp_->hasPendingDatagrams()) {
    QByteArray b(std::max<qint64>(udp_->pendingDatagramSize(), 0), Qt::Uninitialized);
    const qint64 n = udp_->readDatagram(b.data(), b.size());
    if (n < 0) break;
    if (pending_.size() + static_cast<size_t>(n) > kMaxPending) {
      droppedInput_ += n;
      continue;
    }
    Take(std::string_view(b.constData(), static_cast<size_t>(n)));
  }
}

void TTelnetSend::Take(std::string_view bytes) {
  // An echo of the login is not text from the server.
  if (echoMatched_ < echo_.size()) {
    size_t k = 0;
    while (k < bytes.size() && echoMatched_ < echo_.size() && bytes[k] == echo_[echoMatched_]) {
      ++k;
      ++echoMatched_;
    }
    bytes.remove_prefix(k);
    if (echoMatched_ == echo_.size() || !bytes.empty()) {
      echo_.clear();
      echoMatched_ = 0;
    }
  }
  std::string text;
  if (source_.Kind == TNetKind::Gpsd) {
    const std::string releaseBefore = gpsd_.Release();
    text = gpsd_.Take(bytes);
    if (std::optional<std::string> e = gpsd_.TakeError()) Say(Description() + " reports: " + *e);
    // gpsd said its release (after the connect): what the link tells
    // changed.
    if (gpsd_.Release() != releaseBefore) emit StateChanged();
  } else {
    text = std::string(bytes);
  }
  if (text.empty()) return;
  pending_ += text;
  lastData_ = Now();
  if (!textThisConnection_) {
    // A source that works again: the next outage is said, and retried
    // from the first wait.
    textThisConnection_ = true;
    backoff_.Working();
  }
  SetState(TState::Connected);
  emit DataReceived();
}

int64_t TTelnetSend::BytesWaiting() const {
  return static_cast<int64_t>(pending_.size()) + (tcp_ ? tcp_->bytesAvailable() : 0);
}

std::string TTelnetSend::ReceiveText(bool* startsAnew) {
  if (startsAnew) *startsAnew = false;
  ReadTcp();
  std::string out;
  if (freshAt_ && *freshAt_ > 0) {
    // The rest of the connection before goes out alone.
    out = pending_.substr(0, *freshAt_);
    pending_.erase(0, *freshAt_);
    freshAt_ = 0;
    return out;
  }
  if (pending_.empty()) return out;
  if (freshAt_) {
    if (startsAnew) *startsAnew = true;
    freshAt_.reset();
  }
  out.swap(pending_);
  return out;
}

bool TTelnetSend::Connected() const {
  if (tcp_) return tcp_->state() == QAbstractSocket::ConnectedState;
  if (udp_) return udp_->state() == QAbstractSocket::BoundState;
  return false;
}

bool TTelnetSend::CanSend() const {
  return source_.Kind == TNetKind::Tcp && loginUser_.empty() && tcp_ &&
         tcp_->state() == QAbstractSocket::ConnectedState;
}

void TTelnetSend::SendText(std::string_view text, std::string_view ownStart) {
  if (!CanSend() || text.empty()) return;
  queue_.Add(text, ownStart);
  Flush();
}

void TTelnetSend::Flush() {
  if (!tcp_ || tcp_->state() != QAbstractSocket::ConnectedState) return;
  while (!queue_.Empty() && tcp_->bytesToWrite() < kMaxInFlight) {
    const std::string chunk = queue_.Take(static_cast<size_t>(kMaxInFlight - tcp_->bytesToWrite()));
    if (tcp_->write(chunk.data(), static_cast<qint64>(chunk.size())) < 0) break;
  }
}

void TTelnetSend::Poll() {
  const TMonoTime now = Now();
  switch (state_) {
    case TState::Connecting:
      if (now - attemptStart_ >= kConnectTimeout)
        Fail("no answer within " + std::to_string(kConnectTimeout.count()) + " s");
      break;
    case TState::Connected:
      if (now - lastData_ >= kNoDataAfter) SetState(TState::NoData);
      break;
    case TState::Retrying:
      if (backoff_.Due(now)) StartAttempt();
      break;
    case TState::NoData:
    case TState::Off:
      break;
  }
}

void TTelnetSend::Fail(const std::string& reason) {
  DropSockets();
  queue_.Clear();
  lastFailure_ = reason;
  const bool tell = backoff_.Failed(Now());
  SetState(TState::Retrying);
  if (tell) Say(Description() + ": " + reason + "; trying again");
}

void TTelnetSend::Stop(const std::string& reason) {
  DropSockets();
  queue_.Clear();
  lastFailure_ = reason;
  if (state_ == TState::Off)
    emit StateChanged();  // the failure is news
  else
    SetState(TState::Off);
  Say(Description().empty() ? "Network input: " + reason : Description() + ": " + reason);
}
