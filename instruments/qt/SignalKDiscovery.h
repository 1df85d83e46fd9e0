// Finds Signal K servers on the local network: a one-shot multicast DNS
// query for "_signalk-ws._tcp" and "_signalk-http._tcp" sent from an
// ordinary port, whose answers come straight back (instruments/Mdns.h
// reads them). The computer's own mDNS responder (Avahi) answers for a
// server on this computer, the server's host for one on the boat's network.
//
// Runs on the event loop; Start sends the query (again), answers are
// collected as they come, Found is emitted for every new server.
#pragma once

#include <QHostAddress>
#include <QObject>

#include <string>
#include <vector>

#include "instruments/Mdns.h"

class QUdpSocket;

class TSignalKDiscovery : public QObject {
  Q_OBJECT
 public:
  explicit TSignalKDiscovery(QObject* parent = nullptr);
  ~TSignalKDiscovery() override;

  // Where the query goes: the mDNS group and port, unless a test names a
  // responder of its own.
  void SetTarget(const QHostAddress& address, uint16_t port);
  // Sends the query; false when no socket could be opened.
  bool Start();
  void Stop();

  // What has answered so far, each server once (first by address and
  // port).
  const std::vector<TMdnsService>& Services() const { return services_; }
  // Replies that were not well-formed DNS (dropped).
  int BadReplies() const { return badReplies_; }

  // The "NMEA_SIMUL" value of a found server ("SK:boat.local:3000"; the
  // address when the reply carried one, TLS as asked).
  static std::string SourceText(const TMdnsService& service, bool tls);

 signals:
  void Found();

 private:
  void Read();

  QUdpSocket* socket_ = nullptr;
  QHostAddress target_{QStringLiteral("224.0.0.251")};
  uint16_t port_ = 5353;
  std::vector<TMdnsService> services_;
  int badReplies_ = 0;
};
