// Access to a Signal K server that wants a login: the device access
// request, the wait for the owner's approval and the token it brings.
//
//   Start      asks for a small resource, with the kept token if there is
//              one. An answer other than 401/403 means the plotter may
//              read: Granted.
//   401/403    a kept token is no longer taken (revoked, expired): it is
//              forgotten (OnToken("")). Then a device access request
//              (POST /signalk/v1/access/requests, read-only, with the
//              plotter's client id and description).
//   Pending    the server keeps the request for its owner, who approves it
//              on the server's admin page; the plotter says so once
//              (OnNotice) and asks for the request's state every
//              kPollInterval (Poll).
//   Approved   the token is kept (OnToken(token)): Granted.
//   Denied     said once; no new request until Start is called again.
//   Failed     the server takes no requests, or answers nonsense: said.
// A network failure ends the attempt (OnFailure); the link retries it with
// its back-off by calling Start again. A stream the server refuses later
// (Rejected) goes through the 401 path.
//
// The token is a secret: it goes only into requests (the HTTP seam's
// `token`) and to OnToken, never into a notice, a failure text or the
// input monitor.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Clock.h"

// The HTTP calls the state machine makes: one at a time; the answer comes
// back through TSignalKAccess::Reply (status 0 when none came: no
// connection, a time-out).
class ISignalKHttp {
 public:
  virtual ~ISignalKHttp() = default;
  // `path` is absolute on the server ("/signalk/v1/..."); `body` JSON or
  // empty (a GET); `token` empty for none.
  virtual void Send(std::string_view method, std::string_view path, std::string_view body,
                    std::string_view token) = 0;
};

class TSignalKAccess {
 public:
  enum class TState : uint8_t { Idle, Checking, Requesting, Pending, Polling, Granted, Denied, Failed };

  TSignalKAccess(ISignalKHttp& http, IClock& clock) : http_(http), clock_(clock) {}

  // Kept in the settings: the plotter's client id (a v4 UUID; made by
  // NewClientId when empty) and the token the server granted.
  std::string ClientId;
  std::string Token;
  std::string Description = "Brismare chart plotter";

  // Access is granted: open the stream (with Token when not empty).
  std::function<void()> OnGranted;
  // A new token to keep, or "" to forget the kept one.
  std::function<void(const std::string& token)> OnToken;
  // A line for the user (once a wait or a refusal).
  std::function<void(const std::string& text)> OnNotice;
  // The attempt could not reach the server (the link retries it).
  std::function<void(const std::string& why)> OnFailure;

  void Start();
  void Reply(int status, std::string_view body);
  // Asks for the pending request's state when it is due.
  void Poll();
  // The stream was refused with the token (or without one).
  void Rejected();

  TState State() const { return state_; }
  // While Pending: the request's address on the server.
  const std::string& RequestHref() const { return href_; }
  int Requests() const { return requests_; }

  static constexpr std::chrono::seconds kPollInterval{3};
  static constexpr const char* kCheckPath = "/signalk/v1/api/vessels/self/uuid";
  static constexpr const char* kRequestPath = "/signalk/v1/access/requests";

  // A random v4 UUID.
  static std::string NewClientId();

 private:
  void Request();
  void RequestReply(int status, std::string_view body);
  void PollReply(int status, std::string_view body);
  void Say(const std::string& text);
  void Fail(const std::string& why);

  ISignalKHttp& http_;
  IClock& clock_;
  TState state_ = TState::Idle;
  std::string href_;
  TMonoTime nextPoll_{0};
  bool waitSaid_ = false;
  int requests_ = 0;
};
