#include "instruments/qt/DataShare.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <algorithm>

#include "platform/RuntimeDir.h"

TDataShareServer::TDataShareServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
  // The socket file: read and write for the user alone.
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &TDataShareServer::Accept);
}

TDataShareServer::~TDataShareServer() { Stop(); }

bool TDataShareServer::Start(const std::string& path, std::string* error) {
  Stop();
  const QString name = QString::fromStdString(path);
  // A program still serving the socket answers; then it is not ours to
  // take. A file nobody answers on is what a program that ended without
  // closing left behind. The probe never waits: the window is not held up.
  if (ProbeLocalSocket(path) == TLocalSocketState::Served) {
    if (error) *error = path + " is in use by another program";
    return false;
  }
  QLocalServer::removeServer(name);
  if (!server_->listen(name)) {
    if (error) *error = "cannot listen on " + path + ": " + server_->errorString().toStdString();
    return false;
  }
  path_ = path;
  return true;
}

void TDataShareServer::Stop() {
  for (QLocalSocket* c : clients_) {
    c->disconnect(this);
    c->abort();
    c->deleteLater();
  }
  clients_.clear();
  if (server_->isListening()) server_->close();
  path_.clear();
}

bool TDataShareServer::Listening() const { return server_->isListening(); }

void TDataShareServer::Accept() {
  while (QLocalSocket* c = server_->nextPendingConnection()) {
    clients_.push_back(c);
    connect(c, &QLocalSocket::disconnected, this, [this, c] { Drop(c); });
    // Clients only listen; whatever they send is read and forgotten.
    connect(c, &QLocalSocket::readyRead, c, [c] { c->readAll(); });
    Send(c, current_);
  }
}

void TDataShareServer::Send(QLocalSocket* client, const std::string& text) {
  if (client->bytesToWrite() > kMaxPending) {
    Drop(client);
    return;
  }
  std::string line = text;
  line.push_back('\n');
  client->write(line.data(), static_cast<qint64>(line.size()));
}

void TDataShareServer::Drop(QLocalSocket* client) {
  auto it = std::find(clients_.begin(), clients_.end(), client);
  if (it == clients_.end()) return;
  clients_.erase(it);
  client->disconnect(this);
  client->abort();
  client->deleteLater();
}

void TDataShareServer::Publish(const std::string& line) {
  current_ = line;
  // A copy: Send may drop clients.
  const std::vector<QLocalSocket*> clients = clients_;
  for (QLocalSocket* c : clients) Send(c, current_);
}
