// Signal K's own server (the npm package signalk-server, which
// tools/bootstrap.sh installs into ~/.cache/brismare/signalk-server, or
// $BRISMARE_SIGNALK_SERVER) for the tests: started on free loopback ports
// with a configuration directory made here (an NMEA 0183 log played once
// through its file provider, security and TLS as asked), stopped with the
// test. Why() says why it is not there, for the test to skip.
//
// The admin calls (security on, approving an access request, removing a
// device) go through the server's REST API, as its admin page does.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSslConfiguration>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "TestSupport.h"
#include "instruments/qt/GpsdDaemon.h"

// Runs the event loop until `done` or the time is up; true when done.
inline bool WaitFor(const std::function<bool()>& done, int ms, const std::function<void()>& each = {}) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (each) each();
    QThread::msleep(5);
  }
  return true;
}

struct THttpAnswer {
  int status = 0;
  std::string body;
};

// One HTTP request, waited for (the server's REST API, from the test).
inline THttpAnswer HttpCall(const std::string& method, const std::string& url, const std::string& body = {},
                            const std::string& token = {}) {
  QNetworkAccessManager nam;
  QNetworkRequest req(QUrl(QString::fromStdString(url)));
  req.setTransferTimeout(10000);
  if (!token.empty()) req.setRawHeader("Authorization", QByteArray("Bearer ") + QByteArray::fromStdString(token));
  req.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
  QSslConfiguration ssl = req.sslConfiguration();
  ssl.setPeerVerifyMode(QSslSocket::VerifyNone);  // the test's own server
  req.setSslConfiguration(ssl);
  QNetworkReply* r = method == "GET"    ? nam.get(req)
                     : method == "POST" ? nam.post(req, QByteArray::fromStdString(body))
                     : method == "PUT"  ? nam.put(req, QByteArray::fromStdString(body))
                                        : nam.deleteResource(req);
  WaitFor([r] { return r->isFinished(); }, 12000);
  THttpAnswer a;
  a.status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  a.body = r->readAll().toStdString();
  delete r;
  return a;
}

class TSignalKServer {
 public:
  struct TOptions {
    std::string nmeaFile;   // played once at the start ("" for none)
    bool security = false;  // token security (the admin made by EnableSecurity)
    bool tls = false;       // https/wss with the certificate files given
    std::string certFile, keyFile;
    // Bytes a second of the log (the server's throttle).
    int rate = 200000;
  };

  static std::string Home() {
    if (const char* h = std::getenv("BRISMARE_SIGNALK_SERVER"); h && *h) return h;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "/root") + "/.cache/brismare/signalk-server";
  }
  static std::string Program() { return Home() + "/node_modules/signalk-server/bin/signalk-server"; }
  // Why the server cannot run here ("" when it can).
  static std::string Missing() {
    if (::access(Program().c_str(), R_OK) != 0)
      return "signalk-server is not installed (" + Program() +
             "; tools/bootstrap.sh installs it with npm: npm install signalk-server@2.23.0)";
    if (std::system("node --version >/dev/null 2>&1") != 0) return "node is not installed";
    return {};
  }

  explicit TSignalKServer(TOptions options) : options_(std::move(options)) {}
  ~TSignalKServer() { Stop(); }
  TSignalKServer(const TSignalKServer&) = delete;
  TSignalKServer& operator=(const TSignalKServer&) = delete;

  // Starts it and waits until "GET /signalk" answers; false with Why().
  bool Start() {
    why_ = Missing();
    if (!why_.empty()) return false;
    if (port_ == 0) {
      port_ = FreeTcpPort();
      sslPort_ = FreeTcpPort();
      WriteConfig();
    }
    process_.setProgram(QStringLiteral("node"));
    process_.setArguments({QString::fromStdString(Program()), QStringLiteral("-c"), QString::fromStdString(dir_.path())});
    process_.setWorkingDirectory(QString::fromStdString(dir_.path()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PORT"), QString::number(port_));
    // SSLPORT alone makes the server serve TLS (and redirect plain HTTP).
    if (options_.tls) env.insert(QStringLiteral("SSLPORT"), QString::number(sslPort_));
    env.insert(QStringLiteral("NODE_OPTIONS"), QString());
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start();
    if (!process_.waitForStarted(10000)) {
      why_ = "node did not start: " + process_.errorString().toStdString();
      return false;
    }
    const bool up = WaitFor(
        [this] {
          if (process_.state() != QProcess::Running) return true;
          return HttpCall("GET", Url("/signalk")).status == 200;
        },
        40000);
    if (!up || process_.state() != QProcess::Running) {
      why_ = "signalk-server did not answer: " + Output().substr(0, 2000);
      Stop();
      return false;
    }
    return true;
  }

  void Stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(8000)) {
      process_.kill();
      process_.waitForFinished(3000);
    }
  }

  bool Running() const { return process_.state() == QProcess::Running; }
  const std::string& Why() const { return why_; }
  // The port of the stream: the TLS one with TLS.
  uint16_t Port() const { return options_.tls ? sslPort_ : port_; }
  std::string Url(const std::string& path) const {
    return (options_.tls ? "https://localhost:" : "http://localhost:") + std::to_string(Port()) + path;
  }
  std::string Output() {
    output_ += process_.readAll().toStdString();
    return output_;
  }

  // Security on, with an admin; then only those with a token may read.
  bool EnableSecurity() {
    if (HttpCall("POST", Url("/skServer/enableSecurity"), R"({"userId":"admin","password":"secret","type":"admin"})")
            .status != 200)
      return false;
    const THttpAnswer login =
        HttpCall("POST", Url("/signalk/v1/auth/login"), R"({"username":"admin","password":"secret"})");
    const size_t at = login.body.find("\"token\":\"");
    if (at == std::string::npos) return false;
    admin_ = login.body.substr(at + 9, login.body.find('"', at + 9) - at - 9);
    return HttpCall("PUT", Url("/skServer/security/config"),
                    R"({"allow_readonly":false,"expiration":"1d","allowNewUserRegistration":false,"allowDeviceAccessRequests":true})",
                    admin_)
               .status == 200;
  }
  // The pending access requests, as JSON.
  std::string Requests() { return HttpCall("GET", Url("/skServer/security/access/requests"), {}, admin_).body; }
  bool Approve(const std::string& clientId) {
    return HttpCall("PUT", Url("/skServer/security/access/requests/" + clientId + "/approved"),
                    R"({"permissions":"readonly","expiration":"1y"})", admin_)
               .status == 200;
  }
  bool RemoveDevice(const std::string& clientId) {
    return HttpCall("DELETE", Url("/skServer/security/devices/" + clientId), {}, admin_).status == 200;
  }

 private:
  void WriteConfig() {
    std::string providers;
    if (!options_.nmeaFile.empty())
      providers = R"([{"id":"file","enabled":true,"pipeElements":[
        {"type":"providers/filestream","options":{"filename":")" + options_.nmeaFile + R"(","keepRunning":false}},
        {"type":"providers/throttle","options":{"rate":)" + std::to_string(options_.rate) + R"(}},
        {"type":"providers/liner"},
        {"type":"providers/nmea0183-signalk"}]}])";
    else
      providers = "[]";
    std::string settings = R"({"interfaces":{"tcp":false,"nmea-tcp":false,"mdns":false,"appstore":false},)";
    settings += "\"pipedProviders\":" + providers;
    if (options_.security) settings += R"(,"security":{"strategy":"./tokensecurity"})";
    if (options_.tls) settings += R"(,"ssl":true)";
    settings += "}";
    WriteTestFile(dir_ / "settings.json", settings);
    WriteTestFile(dir_ / "package.json", "{}");
    if (options_.tls) {
      WriteTestFile(dir_ / "ssl-cert.pem", ReadTestFile(options_.certFile));
      WriteTestFile(dir_ / "ssl-key.pem", ReadTestFile(options_.keyFile));
      // The server refuses files others may read.
      ::chmod((dir_ / "ssl-key.pem").c_str(), 0600);
      ::chmod((dir_ / "ssl-cert.pem").c_str(), 0600);
    }
  }

  TOptions options_;
  TTempDir dir_;
  QProcess process_;
  uint16_t port_ = 0, sslPort_ = 0;
  std::string why_, output_, admin_;
};
