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
// States: Connecting (look-up and connect under way), Connected (text has
// come in the last kNoDataAfter), NoData (connected or listening, but
// quiet), Retrying (waiting to try again after a failure), Off (not
// started, stopped, or a setting that can never work). A failed attempt,
// a connect that gets no answer within kConnectTimeout and a connection the
// server ends are all retried, 1 s after the first failure, doubling to
// 60 s, for as long as the link lives; the wait starts again from 1 s once
// a connection has brought text. The first failure of an outage is said
// once (Notice); the next is said only after text has come again.
//
// Time: every interval is measured on the monotonic clock given, and the
// time-driven rules (connect time-out, retry, no data) run in Poll, which
// the plotter's one-second tick calls. A test drives the link with a
// manual clock.
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

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "instruments/GpsdStream.h"
#include "instruments/NetSource.h"
#include "platform/Clock.h"

class QTcpSocket;
class QUdpSocket;

class TTelnetSend : public QObject {
  Q_OBJECT
 public:
  enum class TState : uint8_t { Off, Connecting, Connected, NoData, Retrying };

  // On the program clock.
  explicit TTelnetSend(QObject* parent = nullptr);
  explicit TTelnetSend(IClock& clock, QObject* parent = nullptr);
  ~TTelnetSend() override;
  TTelnetSend(const TTelnetSend&) = delete;
  TTelnetSend& operator=(const TTelnetSend&) = delete;

  // A TCP source, "host:port".
  void SetAddress(std::string_view address);
  void SetSource(const TNetSource& source);
  const TNetSource& Source() const { return source_; }
  const std::string& TargetHost() const { return source_.Host; }
  const std::string& TargetPort() const { return source_.Port; }
  // Local address a TCP connection starts from; "" for any.
  std::string IPInterface;
  // The login sent after every TCP connect (none when the user is empty).
  void SetLogin(std::string_view user, std::string_view password);
  bool HasLogin() const { return !loginUser_.empty(); }

  // Starts a new connection now (ending the one there is), without
  // waiting; failures are retried by the link. False, with the link Off,
  // when the setting can never work (LastFailure says why).
  bool Connect();
  // Ends the connection and stops retrying.
  void Disconnect();
  // Connected to the server (TCP, gpsd) or listening (UDP).
  bool Connected() const;
  // Received bytes not yet taken.
  int64_t BytesWaiting() const;
  // The text received since the last call. Text of a new connection is
  // never returned together with text of the one before; `startsAnew` is
  // set for the first text of each connection (a line begun before is to
  // be forgotten).
  std::string ReceiveText(bool* startsAnew = nullptr);

  // Output can go over the link: a TCP connection without a login.
  bool CanSend() const;
  // Queues text for the server and returns at once; nothing when output
  // cannot go (the text is dropped: it must not go out stale later).
  // Lines starting with `ownStart` are the plotter's own, kept before
  // relayed ones (see TSendQueue).
  void SendText(std::string_view text, std::string_view ownStart = {});
  const TSendQueue& OutputQueue() const { return queue_; }

  // The time-driven rules; the tick calls it every second.
  void Poll();

  TState State() const { return state_; }
  // "connecting", "connected", "no data", "retrying", "off".
  static const char* StateName(TState state);
  // The source in a few words ("TCP 127.0.0.1:10110"); never the login.
  std::string Description() const;
  // Why the last attempt or connection failed ("" before any failure).
  const std::string& LastFailure() const { return lastFailure_; }
  // Connection attempts (UDP: binds) made.
  int Attempts() const { return attempts_; }
  // When the next attempt is due (while Retrying).
  TMonoTime RetryAt() const { return retryAt_; }
  // gpsd's release, once it said it.
  const std::string& GpsdRelease() const { return gpsd_.Release(); }
  // Received bytes dropped because ReceiveText was not called in time
  // (UDP only; TCP is held back instead).
  int64_t DroppedInput() const { return droppedInput_; }

  static constexpr std::chrono::seconds kConnectTimeout{10};
  static constexpr std::chrono::seconds kFirstRetry{1};
  static constexpr std::chrono::seconds kLastRetry{60};
  static constexpr std::chrono::seconds kNoDataAfter{5};
  static constexpr size_t kMaxPending = 256 * 1024;
  static constexpr size_t kMaxQueuedOutput = 64 * 1024;
  static constexpr int64_t kMaxInFlight = 16 * 1024;
  static constexpr const char* kGpsdWatch = "?WATCH={\"enable\":true,\"nmea\":true}\n";

 signals:
  // Text has come in.
  void DataReceived();
  // The state changed, or what the link tells of itself (GpsdRelease,
  // LastFailure).
  void StateChanged();
  // A line for the user: why the link fails (once an outage), or what
  // gpsd reported.
  void Notice(const QString& text);

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
  void SetState(TState state);
  void Say(const std::string& text);
  // The port of the source as a number (service names looked up); 0 when
  // there is none.
  uint16_t ResolvePort() const;
  TMonoTime Now() const { return clock_.MonoNow(); }

  IClock& clock_;
  TNetSource source_;
  std::string loginUser_;
  std::string loginPassword_;
  QTcpSocket* tcp_ = nullptr;
  QUdpSocket* udp_ = nullptr;
  TState state_ = TState::Off;
  TMonoTime attemptStart_{0};
  TMonoTime retryAt_{0};
  TMonoTime lastData_{0};
  std::chrono::seconds retryDelay_ = kFirstRetry;
  bool textThisConnection_ = false;
  bool outageSaid_ = false;
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
  std::string lastFailure_;
};
