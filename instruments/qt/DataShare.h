// The navigation data line shared with other programs on this computer: a
// local socket server (Unix domain, in the user's runtime directory, open
// to the user only). A client gets the current line as soon as it
// connects and every new line after that, each ending with "\n". Clients
// that do not keep up are dropped; nothing ever waits for a client.
#pragma once

#include <QObject>

#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

class TDataShareServer : public QObject {
  Q_OBJECT
 public:
  explicit TDataShareServer(QObject* parent = nullptr);
  ~TDataShareServer() override;

  // Listens on `path`. A socket file left by a program that has gone is
  // removed first; one that a running program still serves is left alone
  // (false: "in use"). False with the reason on failure.
  bool Start(const std::string& path, std::string* error = nullptr);
  // Closes every client and removes the socket.
  void Stop();
  bool Listening() const;
  const std::string& Path() const { return path_; }

  // The line now, sent to every client (unchanged lines too: one line per
  // update, as the clients count on).
  void Publish(const std::string& line);
  const std::string& Current() const { return current_; }
  int ClientCount() const { return static_cast<int>(clients_.size()); }

  // A client with more than this waiting to be sent is dropped.
  static constexpr qint64 kMaxPending = 64 * 1024;

 private:
  void Accept();
  void Send(QLocalSocket* client, const std::string& text);
  void Drop(QLocalSocket* client);

  QLocalServer* server_;
  std::vector<QLocalSocket*> clients_;
  std::string path_;
  std::string current_ = "NO DATA";
};
