// The link to a Signal K server ("SK:host:port", "SKS:host:port", "SK";
// instruments/NetSource.h): on the event loop, without threads.
//
// An attempt: the server is found first when no host is set (mDNS,
// TSignalKDiscovery; localhost:3000 when nothing answers within
// kDiscoveryWait); "GET /signalk" names the stream's endpoint; the access
// state machine (TSignalKAccess) checks that the plotter may read, makes a
// device access request and waits for its approval where the server wants
// a login; then the WebSocket stream opens with "subscribe=none" and the
// subscription of TSignalKReader::SubscribeMessage. Every message goes to
// the reader, which writes the values into the attached parser's
// navigation state and the AIS table, and to the input monitor (the
// parser's OnSentence) as one line.
//
// States and retries are those of every network source (TNetLink): a
// failed attempt, a stream the server ends, a connect without an answer
// within kConnectTimeout and a stream without a delta for kStalled are
// retried with the shared back-off; the first failure of an outage is said
// once.
//
// TLS ("SKS"): certificates are checked. A server whose certificate the
// system does not trust (a self-signed one) is refused, the link goes Off
// and CertificateUntrusted tells its SHA-256 fingerprint; once the user
// has accepted it (AcceptCertificate, kept in the settings) exactly that
// certificate is taken, and only it.
//
// Secrets: the token and the client id are kept in the settings through
// CredentialsChanged; neither goes into a notice, a failure text, the
// description or the monitor.
//
// Output: a Signal K source takes no NMEA (CanSend is false).
#pragma once

#include <QHostAddress>
#include <QSslError>
#include <QString>

#include <chrono>
#include <memory>
#include <string>

#include "instruments/SignalK.h"
#include "instruments/SignalKAccess.h"
#include "instruments/qt/NetLink.h"

class QNetworkAccessManager;
class QNetworkReply;
class QWebSocket;
class QSslCertificate;
class TSignalKDiscovery;

class TSignalKLink : public TNetLink, private ISignalKHttp {
  Q_OBJECT
 public:
  explicit TSignalKLink(QObject* parent = nullptr);
  explicit TSignalKLink(IClock& clock, QObject* parent = nullptr);
  ~TSignalKLink() override;

  void SetSource(const TNetSource& source) override;
  void AttachInstruments(TNMEA* parser, TAisDecoder* ais) override;
  bool Connect() override;
  void Disconnect() override;
  bool Connected() const override;
  std::string ReceiveText(bool* startsAnew = nullptr) override;
  void Poll() override;
  std::string Description() const override;
  std::string ServerRelease() const override;

  // What the settings keep for the link.
  struct TCredentials {
    std::string ClientId;     // the plotter's id for access requests
    std::string Token;        // the token the server granted
    std::string Fingerprint;  // SHA-256 of the accepted certificate ("AB:CD:...")
  };
  void SetCredentials(const TCredentials& credentials);
  const TCredentials& Credentials() const { return credentials_; }
  // The user accepts the certificate the server showed (its fingerprint,
  // as CertificateUntrusted told it); the link tries again.
  void AcceptCertificate(const std::string& fingerprint);
  // "Transducer Depth", for a depth the server gives below the surface.
  void SetTransducerDepth(double metres);

  // Where discovery sends its query (tests: a responder of their own).
  void SetDiscoveryTarget(const QHostAddress& address, uint16_t port);
  // The server the link talks to ("" before one is known).
  const std::string& ServerHost() const { return host_; }
  uint16_t ServerPort() const { return port_; }
  const TSignalKReader* Reader() const { return reader_.get(); }
  const TSignalKAccess& Access() const { return access_; }
  int Attempts() const { return attempts_; }

  static std::string Fingerprint(const QSslCertificate& certificate);

  static constexpr std::chrono::seconds kConnectTimeout{10};
  static constexpr std::chrono::seconds kNoDataAfter{5};
  static constexpr std::chrono::seconds kStalled{60};
  static constexpr std::chrono::seconds kDiscoveryWait{3};
  static constexpr qint64 kMaxHttpReply = 256 * 1024;

 signals:
  // The token or the client id changed: the settings keep them.
  void CredentialsChanged();
  // A TLS server showed a certificate nobody trusts yet.
  void CertificateUntrusted(const QString& fingerprint, const QString& subject);

 private:
  enum class TStep : uint8_t { Idle, Discovering, Endpoints, Access, Stream };
  void StartAttempt();
  void Found();
  void AskEndpoints();
  void EndpointsReply(int status, const QByteArray& body);
  void OpenStream();
  void StreamConnected();
  void StreamDown();
  void Message(const QString& text);
  void Fail(const std::string& reason);
  void Stop(const std::string& reason, bool say = true);
  void DropConnections();
  // ISignalKHttp, for the access state machine.
  void Send(std::string_view method, std::string_view path, std::string_view body, std::string_view token) override;
  QNetworkReply* Http(const std::string& method, const std::string& path, const std::string& body,
                      const std::string& token);
  // Checks a server's certificate against the accepted fingerprint; true
  // when the errors may be ignored.
  bool TakeSslErrors(const QList<QSslError>& errors);
  std::string BaseUrl(bool websocket) const;

  TCredentials credentials_;
  TSignalKAccess access_{*this, clock_};
  std::unique_ptr<TSignalKReader> reader_;
  TNMEA* parser_ = nullptr;
  TAisDecoder* ais_ = nullptr;
  double transducerDepth_ = 0.5;
  QNetworkAccessManager* http_ = nullptr;
  QNetworkReply* reply_ = nullptr;
  QWebSocket* ws_ = nullptr;
  TSignalKDiscovery* discovery_ = nullptr;
  QHostAddress discoveryTarget_;
  uint16_t discoveryPort_ = 0;
  TStep step_ = TStep::Idle;
  std::string host_;
  uint16_t port_ = 0;
  std::string streamPath_ = "/signalk/v1/stream";
  TMonoTime stepStart_{0};
  TMonoTime lastDelta_{0};
  bool deltaThisConnection_ = false;
  bool certificateRefused_ = false;
  int attempts_ = 0;
};
