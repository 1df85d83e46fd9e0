#include "instruments/qt/SignalKLink.h"

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QUrl>
#include <QWebSocket>

#include "foundation/Json.h"
#include "instruments/NMEA.h"
#include "instruments/qt/SignalKDiscovery.h"

namespace {

constexpr int kHttpTimeoutMs = 10000;

std::string Text(const QString& s) { return s.toStdString(); }

bool IsV6(const std::string& host) { return host.find(':') != std::string::npos; }

}  // namespace

TSignalKLink::TSignalKLink(QObject* parent) : TSignalKLink(Clock(), parent) {}

TSignalKLink::TSignalKLink(IClock& clock, QObject* parent) : TNetLink(clock, parent) {
  access_.OnGranted = [this] { OpenStream(); };
  access_.OnToken = [this](const std::string& token) {
    credentials_.Token = token;
    emit CredentialsChanged();
  };
  access_.OnNotice = [this](const std::string& text) { Say(text); };
  access_.OnFailure = [this](const std::string& why) { Fail(why); };
}

TSignalKLink::~TSignalKLink() {
  // No signal of a socket or a reply may reach the half-destroyed link.
  if (reply_) {
    reply_->disconnect(this);
    reply_->abort();
    delete reply_;
    reply_ = nullptr;
  }
  if (ws_) {
    ws_->disconnect(this);
    ws_->abort();
    delete ws_;
    ws_ = nullptr;
  }
  delete discovery_;
  discovery_ = nullptr;
}

void TSignalKLink::SetSource(const TNetSource& source) {
  Disconnect();
  source_ = source;
  backoff_.Reset();
  lastFailure_.clear();
  certificateRefused_ = false;
  host_.clear();
  port_ = 0;
}

void TSignalKLink::AttachInstruments(TNMEA* parser, TAisDecoder* ais) {
  parser_ = parser;
  ais_ = ais;
  reader_.reset();
  if (!parser_) return;
  reader_ = std::make_unique<TSignalKReader>(*parser_, ais_);
  reader_->TransducerDepth = transducerDepth_;
  reader_->OnMessage = [this](std::string_view line) {
    if (parser_ && parser_->OnSentence) parser_->OnSentence(line);
  };
}

void TSignalKLink::SetTransducerDepth(double metres) {
  transducerDepth_ = metres;
  if (reader_) reader_->TransducerDepth = metres;
}

void TSignalKLink::SetCredentials(const TCredentials& c) {
  credentials_ = c;
  if (credentials_.ClientId.empty()) {
    credentials_.ClientId = TSignalKAccess::NewClientId();
    emit CredentialsChanged();
  }
  access_.ClientId = credentials_.ClientId;
  access_.Token = credentials_.Token;
}

void TSignalKLink::AcceptCertificate(const std::string& fingerprint) {
  credentials_.Fingerprint = fingerprint;
  certificateRefused_ = false;
  emit CredentialsChanged();
  if (source_.Kind == TNetKind::SignalK) Connect();
}

void TSignalKLink::SetDiscoveryTarget(const QHostAddress& address, uint16_t port) {
  discoveryTarget_ = address;
  discoveryPort_ = port;
}

std::string TSignalKLink::Description() const {
  std::string d = DescribeNetworkSource(source_);
  if (source_.Host.empty() && !host_.empty())
    d += ": " + (IsV6(host_) ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
  return d;
}

std::string TSignalKLink::ServerRelease() const {
  if (!reader_ || reader_->ServerName().empty()) return {};
  return reader_->ServerName() + (reader_->ServerVersion().empty() ? "" : " " + reader_->ServerVersion());
}

std::string TSignalKLink::ReceiveText(bool* startsAnew) {
  // The values went into the navigation state as they came.
  if (startsAnew) *startsAnew = false;
  return {};
}

bool TSignalKLink::Connected() const { return ws_ && ws_->state() == QAbstractSocket::ConnectedState; }

std::string TSignalKLink::Fingerprint(const QSslCertificate& certificate) {
  const QByteArray d = certificate.digest(QCryptographicHash::Sha256).toHex().toUpper();
  std::string out;
  for (int i = 0; i + 1 < d.size(); i += 2) {
    if (!out.empty()) out += ':';
    out += d[i];
    out += d[i + 1];
  }
  return out;
}

// ---------------------------------------------------------------------------
// Attempts

bool TSignalKLink::Connect() {
  if (source_.Kind != TNetKind::SignalK) {
    Stop("no Signal K source is set");
    return false;
  }
  if (!source_.Error.empty()) {
    Stop(source_.Error);
    return false;
  }
  StartAttempt();
  return true;
}

void TSignalKLink::Disconnect() {
  DropConnections();
  step_ = TStep::Idle;
  SetState(TState::Off);
}

void TSignalKLink::DropConnections() {
  // Sockets and replies may be in the middle of one of their own signals:
  // they go once the event loop is back.
  if (reply_) {
    reply_->disconnect(this);
    reply_->abort();
    reply_->deleteLater();
    reply_ = nullptr;
  }
  if (ws_) {
    ws_->disconnect(this);
    ws_->abort();
    ws_->deleteLater();
    ws_ = nullptr;
  }
  if (discovery_) {
    discovery_->disconnect(this);
    discovery_->Stop();
    discovery_->deleteLater();
    discovery_ = nullptr;
  }
}

void TSignalKLink::StartAttempt() {
  DropConnections();
  ++attempts_;
  stepStart_ = Now();
  deltaThisConnection_ = false;
  SetState(TState::Connecting);
  if (!source_.Host.empty()) {
    host_ = source_.Host;
    port_ = PortNumber(source_.Port);
    AskEndpoints();
    return;
  }
  step_ = TStep::Discovering;
  discovery_ = new TSignalKDiscovery(this);
  if (!discoveryTarget_.isNull()) discovery_->SetTarget(discoveryTarget_, discoveryPort_);
  connect(discovery_, &TSignalKDiscovery::Found, this, &TSignalKLink::Found);
  if (!discovery_->Start()) {
    // No socket for the query: straight to the usual place.
    discovery_->deleteLater();
    discovery_ = nullptr;
    Found();
  }
}

void TSignalKLink::Found() {
  if (step_ != TStep::Discovering) return;
  const TMdnsService* best = nullptr;
  if (discovery_) {
    // The stream's own announcement first, then the HTTP one.
    for (const TMdnsService& s : discovery_->Services())
      if (!best || (s.Type == kSignalKWsService && best->Type != kSignalKWsService)) best = &s;
  }
  if (best) {
    host_ = best->Address.empty() ? best->Host : best->Address;
    port_ = best->Port;
  } else {
    host_ = "localhost";
    port_ = PortNumber(source_.Tls ? kSignalKTlsDefaultPort : kSignalKDefaultPort);
  }
  if (discovery_) {
    discovery_->disconnect(this);
    discovery_->Stop();
    discovery_->deleteLater();
    discovery_ = nullptr;
  }
  emit StateChanged();  // the description names the server now
  AskEndpoints();
}

std::string TSignalKLink::BaseUrl(bool websocket) const {
  const std::string scheme = websocket ? (source_.Tls ? "wss" : "ws") : (source_.Tls ? "https" : "http");
  return scheme + "://" + (IsV6(host_) ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
}

QNetworkReply* TSignalKLink::Http(const std::string& method, const std::string& path, const std::string& body,
                                  const std::string& token) {
  if (!http_) http_ = new QNetworkAccessManager(this);
  QNetworkRequest req(QUrl(QString::fromStdString(BaseUrl(false) + path)));
  req.setTransferTimeout(kHttpTimeoutMs);
  req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  req.setRawHeader("Accept", "application/json");
  if (!token.empty()) req.setRawHeader("Authorization", QByteArray("Bearer ") + QByteArray::fromStdString(token));
  QNetworkReply* r;
  if (method == "POST") {
    req.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    r = http_->post(req, QByteArray::fromStdString(body));
  } else {
    r = http_->get(req);
  }
  connect(r, &QNetworkReply::sslErrors, this, [this, r](const QList<QSslError>& errors) {
    if (TakeSslErrors(errors)) r->ignoreSslErrors(errors);
  });
  return r;
}

void TSignalKLink::AskEndpoints() {
  step_ = TStep::Endpoints;
  stepStart_ = Now();
  reply_ = Http("GET", "/signalk", {}, {});
  QNetworkReply* r = reply_;
  connect(r, &QNetworkReply::finished, this, [this, r] {
    if (r != reply_) return;
    reply_ = nullptr;
    r->deleteLater();
    const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (certificateRefused_) return;
    if (status == 0) return Fail(Text(r->errorString()));
    EndpointsReply(status, r->read(kMaxHttpReply));
  });
}

void TSignalKLink::EndpointsReply(int status, const QByteArray& body) {
  if (status != 200) return Fail("GET /signalk answered " + std::to_string(status) + ": not a Signal K server?");
  TJsonLimits limits;
  limits.MaxBytes = kMaxHttpReply;
  const std::optional<TJsonValue> v = ParseJson(std::string_view(body.constData(), static_cast<size_t>(body.size())),
                                                limits);
  const TJsonValue* endpoints = v ? v->ObjectOf("endpoints") : nullptr;
  const TJsonValue* v1 = endpoints ? endpoints->ObjectOf("v1") : nullptr;
  if (!v1) return Fail("the server's answer to GET /signalk names no Signal K endpoints");
  // The stream's path on this server; its host as we reach it.
  streamPath_ = "/signalk/v1/stream";
  if (const std::string* ws = v1->StringOf("signalk-ws")) {
    const QUrl u(QString::fromStdString(*ws));
    if (u.isValid() && u.path().startsWith(QLatin1Char('/')) && u.path().size() < 200)
      streamPath_ = Text(u.path());
  }
  step_ = TStep::Access;
  access_.ClientId = credentials_.ClientId;
  access_.Token = credentials_.Token;
  access_.Start();
}

void TSignalKLink::Send(std::string_view method, std::string_view path, std::string_view body,
                        std::string_view token) {
  if (reply_) {
    reply_->disconnect(this);
    reply_->abort();
    reply_->deleteLater();
  }
  reply_ = Http(std::string(method), std::string(path), std::string(body), std::string(token));
  QNetworkReply* r = reply_;
  connect(r, &QNetworkReply::finished, this, [this, r] {
    if (r != reply_) return;
    reply_ = nullptr;
    r->deleteLater();
    if (certificateRefused_) return;
    const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = r->read(kMaxHttpReply);
    access_.Reply(status, std::string_view(body.constData(), static_cast<size_t>(body.size())));
    // Denied, or no requests taken: said by the access machine; the link
    // waits for the user.
    if (access_.State() == TSignalKAccess::TState::Denied || access_.State() == TSignalKAccess::TState::Failed)
      Stop("access refused", false);
  });
}

void TSignalKLink::OpenStream() {
  step_ = TStep::Stream;
  stepStart_ = Now();
  if (reader_) reader_->Restart();
  ws_ = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
  // Messages somewhat beyond the reader's cap still arrive, to be counted
  // and dropped there; far larger ones end the connection.
  ws_->setMaxAllowedIncomingMessageSize(4 * TSignalKReader::kMaxMessage);
  ws_->setMaxAllowedIncomingFrameSize(4 * TSignalKReader::kMaxMessage);
  connect(ws_, &QWebSocket::connected, this, &TSignalKLink::StreamConnected);
  connect(ws_, &QWebSocket::disconnected, this, &TSignalKLink::StreamDown);
  connect(ws_, &QWebSocket::textMessageReceived, this, &TSignalKLink::Message);
  connect(ws_, &QWebSocket::binaryMessageReceived, this,
          [this](const QByteArray& b) { Message(QString::fromUtf8(b)); });
  connect(ws_, &QWebSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
    if (ws_ && TakeSslErrors(errors)) ws_->ignoreSslErrors(errors);
  });
  QNetworkRequest req(QUrl(QString::fromStdString(BaseUrl(true) + streamPath_ + "?subscribe=none")));
  if (!credentials_.Token.empty())
    req.setRawHeader("Authorization", QByteArray("Bearer ") + QByteArray::fromStdString(credentials_.Token));
  ws_->open(req);
}

void TSignalKLink::StreamConnected() {
  if (!ws_) return;
  lastDelta_ = Now();
  SetState(TState::NoData);
  const std::string messages = TSignalKReader::SubscribeMessage();
  size_t start = 0;
  while (start < messages.size()) {
    size_t nl = messages.find('\n', start);
    if (nl == std::string::npos) nl = messages.size();
    ws_->sendTextMessage(QString::fromStdString(messages.substr(start, nl - start)));
    start = nl + 1;
  }
}

void TSignalKLink::StreamDown() {
  if (!ws_ || certificateRefused_) return;
  const QString error = ws_->errorString();
  const bool wasOpen = state_ == TState::Connected || state_ == TState::NoData;
  if (!wasOpen && (error.contains(QLatin1String("401")) || error.contains(QLatin1String("403")))) {
    // The server refuses the stream: a token revoked since the check.
    ws_->disconnect(this);
    ws_->deleteLater();
    ws_ = nullptr;
    step_ = TStep::Access;
    access_.Rejected();
    return;
  }
  Fail(wasOpen ? "the server closed the stream" : Text(error));
}

void TSignalKLink::Message(const QString& text) {
  if (!reader_) return;
  const QByteArray utf8 = text.toUtf8();
  const TSignalKReader::TKind kind =
      reader_->Take(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
  if (kind == TSignalKReader::TKind::Hello) emit StateChanged();  // the server's release
  if (kind != TSignalKReader::TKind::Delta) return;
  lastDelta_ = Now();
  if (!deltaThisConnection_) {
    deltaThisConnection_ = true;
    backoff_.Working();
  }
  SetState(TState::Connected);
  emit DataReceived();
}

bool TSignalKLink::TakeSslErrors(const QList<QSslError>& errors) {
  QSslCertificate cert;
  for (const QSslError& e : errors)
    if (!e.certificate().isNull()) {
      cert = e.certificate();
      break;
    }
  // The connection goes once its own signal has returned.
  certificateRefused_ = true;
  if (cert.isNull()) {
    const std::string why =
        "the server's TLS connection failed: " + (errors.isEmpty() ? std::string() : Text(errors.first().errorString()));
    QMetaObject::invokeMethod(this, [this, why] { Stop(why); }, Qt::QueuedConnection);
    return false;
  }
  const std::string fp = Fingerprint(cert);
  if (!credentials_.Fingerprint.empty() && fp == credentials_.Fingerprint) {
    certificateRefused_ = false;
    return true;
  }
  // Not trusted: refused until the user accepts exactly this certificate.
  const QString subject = cert.subjectDisplayName();
  const std::string why = credentials_.Fingerprint.empty()
                              ? "the server's certificate is not trusted (SHA-256 " + fp + "); accept it to connect"
                              : "the server's certificate has changed (SHA-256 " + fp + "); accept it to connect";
  QMetaObject::invokeMethod(
      this,
      [this, why, fp, subject] {
        Stop(why);
        emit CertificateUntrusted(QString::fromStdString(fp), subject);
      },
      Qt::QueuedConnection);
  return false;
}

void TSignalKLink::Poll() {
  const TMonoTime now = Now();
  switch (state_) {
    case TState::Retrying:
      if (backoff_.Due(now)) StartAttempt();
      return;
    case TState::Off:
      return;
    default:
      break;
  }
  switch (step_) {
    case TStep::Discovering:
      if (now - stepStart_ >= kDiscoveryWait) Found();
      break;
    case TStep::Access:
      access_.Poll();
      break;
    case TStep::Stream:
      if (state_ == TState::Connecting && now - stepStart_ >= kConnectTimeout) {
        Fail("no answer within " + std::to_string(kConnectTimeout.count()) + " s");
      } else if (state_ == TState::Connected || state_ == TState::NoData) {
        if (now - lastDelta_ >= kStalled)
          Fail("no delta for " + std::to_string(kStalled.count()) + " s");
        else if (now - lastDelta_ >= kNoDataAfter)
          SetState(TState::NoData);
      }
      break;
    default:
      break;
  }
}

void TSignalKLink::Fail(const std::string& reason) {
  DropConnections();
  step_ = TStep::Idle;
  lastFailure_ = reason;
  const bool tell = backoff_.Failed(Now());
  SetState(TState::Retrying);
  if (tell) Say(Description() + ": " + reason + "; trying again");
}

void TSignalKLink::Stop(const std::string& reason, bool say) {
  DropConnections();
  step_ = TStep::Idle;
  lastFailure_ = reason;
  if (state_ == TState::Off)
    emit StateChanged();
  else
    SetState(TState::Off);
  if (say) Say(Description() + ": " + reason);
}
