// The link to a network source of NMEA text: a TCP server ("IP:"), UDP
// datagrams ("UDP:") or a gpsd daemon ("GPSD:"); instruments/NetSource.h
// describes the setting.
//
// The link runs on the program's event loop: sockets are non-blocking,
// name look-ups and connects go on while the window works, and nothing
// ever waits for the network. Received text is kept (at most
// kMaxPending bytes; a TCP peer is then slowed down by the socket, UDP
// datagrams beyond it are dropped) until ReceiveText takes it.
//
// States and retries are those of every network source (TNetLink,
// instruments/LinkState.h): a failed attempt, a connect that gets no answer
// within kConnectTimeout and a connection the server ends are all retried
// with the shared back-off; the first failure of an outage is said once
// (Notice). Connected means text has come in the last kNoDataAfter.
//
// TCP: after every connect the login, when a user is set: the byte 1, the
// user, the byte 0, the password, the byte 0, nothing more. An echo of
// those bytes at the start of the connection is not taken for text, so
// the password never reaches the parser, its monitor or a capture. The
// plotter's output goes back over the link (SendText) only with no login;
// it waits in a bounded queue (TSendQueue) and at most kMaxInFlight bytes
// are handed to the socket at a time, so a server that does not read
// costs nothing but the oldest relayed sentences.
//
// gpsd: after every connect the watch command kGpsdWatch; the JSON lines
// gpsd sends are kept back (TGpsdStream) and only its NMEA passes on.
//
// UDP: the socket is bound with the address shared, so that other
// programs on the computer may listen to the same port; a multicast group
// is joined on the default interface.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "instruments/GpsdStream.h"
#include "instruments/NetSource.h"
#include "instruments/qt/NetLink.h"
#include "platform/Clock.h"

class QTcpSocket;
class QUdpSocket;

class TTelnetSend : public TNetLink {
  Q_OBJECT
 public:
  // On the program clock.
  explicit TTelnetSend(QObject* parent = nullptr);
  explicit TTelnetSend(IClock& clock, QObject* parent = nullptr);
  ~TTelnetSend() override;
  TTelnetSend(const TTelnetSend&) = delete;
  TTelnetSend& operator=(const TTelnetSend&) = delete;

  // A TCP source, "host:port".
  void SetAddress(std::string_view address);
  void SetSource(const TNetSource& source) override;
  const std::string& TargetHost() const { return source_.Host; }
  const std::string& TargetPort() const { return source_.Port; }
  // Local address a TCP connection starts from; "" for any.
  std::string IPInterface;
  // The login sent after every TCP connect (none when the user is empty).
  void SetLogin(std::string_view user, std::string_view password) override;
  bool HasLogin() const { return !loginUser_.empty(); }

  // Starts a new connection now (ending the one there is), without
  // waiting; failures are retried by the link. False, with the link Off,
  // when the setting can never work (LastFailure says why).
  bool Connect() override;
  // Ends the connection and stops retrying.
  void Disconnect() override;
  // Connected to the server (TCP, gpsd) or listening (UDP).
  bool Connected() const override;
  // Received bytes not yet taken.
  int64_t BytesWaiting() const;
  // The text received since the last call. Text of a new connection is
  // never returned together with text of the one before; `startsAnew` is
  // set for the first text of each connection (a line begun before is to
  // be forgotten).
  std::string ReceiveText(bool* startsAnew = nullptr) override;

  // Output can go over the link: a TCP connection without a login.
  bool CanSend() const override;
  // Queues text for the server and returns at once; nothing when output
  // cannot go (the text is dropped: it must not go out stale later).
  // Lines starting with `ownStart` are the plotter's own, kept before
  // relayed ones (see TSendQueue).
  void SendText(std::string_view text, std::string_view ownStart = {}) override;
  const TSendQueue& OutputQueue() const { return queue_; }

  // The time-driven rules; the tick calls it every second.
  void Poll() override;

  // Connection attempts (UDP: binds) made.
  int Attempts() const { return attempts_; }
  // gpsd's release, once it said it.
  const std::string& GpsdRelease() const { return gpsd_.Release(); }
  std::string ServerRelease() const override {
    return gpsd_.Release().empty() ? std::string() : "gpsd " + gpsd_.Release();
  }
  // Received bytes dropped because ReceiveText was not called in time
  // (UDP only; TCP is held back instead).
  int64_t DroppedInput() const { return droppedInput_; }

  static constexpr std::chrono::seconds kConnectTimeout{10};
  static constexpr std::chrono::seconds kFirstRetry = TLinkBackoff::kFirstRetry;
  static constexpr std::chrono::seconds kLastRetry = TLinkBackoff::kLastRetry;
  static constexpr std::chrono::seconds kNoDataAfter{5};
  static constexpr size_t kMaxPending = 256 * 1024;
  static constexpr size_t kMaxQueuedOutput = 64 * 1024;
  static constexpr int64_t kMaxInFlight = 16 * 1024;
  static constexpr const char* kGpsdWatch = "?WATCH={\"enable\":true,\"nmea\":true}\n";

 private:
  void StartAttempt();
  void StartTcp(uint16_t port);
  void StartUdp(uint16_t port);
  void DropSockets();
  void TcpConnected();
  void TcpDown();
  void ReadTcp();
  void ReadUdp();
  void Take(std::string_view bytes);
  void Flush();
  void Fail(const std::string& reason);
  void Stop(const std::string& reason);
  // The port of the source as a number (service names looked up); 0 when
  // there is none.
  uint16_t ResolvePort() const;

  std::string loginUser_;
  std::string loginPassword_;
  QTcpSocket* tcp_ = nullptr;
  QUdpSocket* udp_ = nullptr;
  TMonoTime attemptStart_{0};
  TMonoTime lastData_{0};
  bool textThisConnection_ = false;
  int attempts_ = 0;
  // Received text, and where the text of the newest connection starts in
  // it (none once that text was handed out).
  std::string pending_;
  std::optional<size_t> freshAt_;
  int64_t droppedInput_ = 0;
  // The login bytes still expected as an echo at the start of a connection.
  std::string echo_;
  size_t echoMatched_ = 0;
  TGpsdStream gpsd_;
  TSendQueue queue_{kMaxQueuedOutput};
};
