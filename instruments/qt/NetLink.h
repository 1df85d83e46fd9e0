// What the plotter sees of a network source, whatever its kind: a link
// that connects without waiting, retries with the shared back-off
// (instruments/LinkState.h), shows its state and tells the user once why it
// fails. TTelnetSend (NMEA text over TCP, UDP or from gpsd) and
// TSignalKLink (a Signal K server) are the two kinds; MakeNetLink makes the
// one a "NMEA_SIMUL" setting names.
//
// Sources of NMEA text hand it out through ReceiveText for the line
// assembler; a source that delivers values already decoded (Signal K)
// writes them into the parser's navigation state and the AIS table given
// with AttachInstruments and returns no text.
//
// Time: every interval is measured on the monotonic clock given; the
// time-driven rules run in Poll, which the plotter's one-second tick calls.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <string_view>

#include "instruments/LinkState.h"
#include "instruments/NetSource.h"
#include "platform/Clock.h"

class TAisDecoder;
class TNMEA;

class TNetLink : public QObject {
  Q_OBJECT
 public:
  using TState = TLinkState;

  TNetLink(IClock& clock, QObject* parent);
  ~TNetLink() override;
  TNetLink(const TNetLink&) = delete;
  TNetLink& operator=(const TNetLink&) = delete;

  // A new source (ending the connection there is; the back-off starts
  // again).
  virtual void SetSource(const TNetSource& source) = 0;
  const TNetSource& Source() const { return source_; }
  // The login of a TCP source; other kinds have none.
  virtual void SetLogin(std::string_view /*user*/, std::string_view /*password*/) {}
  // Where decoded values go (Signal K); the text sources ignore it. The
  // parser and the decoder must outlive the link, or be detached (nullptr)
  // first.
  virtual void AttachInstruments(TNMEA* /*parser*/, TAisDecoder* /*ais*/) {}

  // Starts a new connection now, without waiting; failures are retried by
  // the link. False, with the link Off, when the setting can never work
  // (LastFailure says why).
  virtual bool Connect() = 0;
  // Ends the connection and stops retrying.
  virtual void Disconnect() = 0;
  virtual bool Connected() const = 0;
  // Text received since the last call (see TTelnetSend); "" for a source
  // without text. `startsAnew` is set for the first text of a connection.
  virtual std::string ReceiveText(bool* startsAnew = nullptr) = 0;
  // Output can go over the link now.
  virtual bool CanSend() const { return false; }
  // Queues the plotter's output for the link; dropped when it cannot go.
  virtual void SendText(std::string_view /*text*/, std::string_view /*ownStart*/ = {}) {}
  // The time-driven rules; the tick calls it every second.
  virtual void Poll() = 0;

  TState State() const { return state_; }
  static const char* StateName(TState state) { return LinkStateName(state); }
  // The source in a few words ("TCP 127.0.0.1:10110"); never a secret.
  virtual std::string Description() const { return DescribeNetworkSource(source_); }
  // What the server told of itself ("gpsd 3.22", "signalk-server 2.23.0"),
  // "" before it did.
  virtual std::string ServerRelease() const { return {}; }
  // Why the last attempt or connection failed ("" before any failure).
  const std::string& LastFailure() const { return lastFailure_; }
  // When the next attempt is due (while Retrying).
  TMonoTime RetryAt() const { return backoff_.RetryAt(); }

 signals:
  // Data has come in.
  void DataReceived();
  // The state changed, or what the link tells of itself.
  void StateChanged();
  // A line for the user: why the link fails (once an outage), or what the
  // server reports.
  void Notice(const QString& text);

 protected:
  void SetState(TState state);
  void Say(const std::string& text);
  TMonoTime Now() const { return clock_.MonoNow(); }

  IClock& clock_;
  TNetSource source_;
  TState state_ = TState::Off;
  std::string lastFailure_;
  TLinkBackoff backoff_;
};

// The link for a source: TSignalKLink for Signal K, TTelnetSend for the
// others; nullptr for a setting that names no network source.
std::unique_ptr<TNetLink> MakeNetLink(const TNetSource& source, IClock& clock, QObject* parent = nullptr);
