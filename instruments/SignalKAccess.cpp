#include "instruments/SignalKAccess.h"

#include <cstdio>
#include <random>

#include "foundation/Json.h"

namespace {

// A server's own words, for the user: printable, short.
std::string Words(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (out.size() >= 120) break;
    out += c >= 32 && c < 127 ? static_cast<char>(c) : ' ';
  }
  return out;
}

std::string MessageOf(std::string_view body) {
  TJsonLimits limits;
  limits.MaxBytes = 64 * 1024;
  if (std::optional<TJsonValue> v = ParseJson(body, limits)) {
    if (const std::string* m = v->StringOf("message")) return Words(*m);
    return {};
  }
  return Words(body);
}

}  // namespace

std::string TSignalKAccess::NewClientId() {
  std::random_device rd;
  std::mt19937_64 gen((static_cast<uint64_t>(rd()) << 32) ^ rd());
  uint8_t b[16];
  for (int i = 0; i < 16; i += 8) {
    const uint64_t r = gen();
    for (int k = 0; k < 8; ++k) b[i + k] = static_cast<uint8_t>(r >> (8 * k));
  }
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // variant 1
  char s[37];
  std::snprintf(s, sizeof s, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1], b[2],
                b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return s;
}

void TSignalKAccess::Say(const std::string& text) {
  if (OnNotice) OnNotice(text);
}

void TSignalKAccess::Fail(const std::string& why) {
  state_ = TState::Idle;
  if (OnFailure) OnFailure(why);
}

void TSignalKAccess::Start() {
  state_ = TState::Checking;
  http_.Send("GET", kCheckPath, {}, Token);
}

void TSignalKAccess::Rejected() {
  if (!Token.empty()) {
    Token.clear();
    if (OnToken) OnToken("");
    Say("The Signal K server no longer accepts the plotter's token; asking for access again");
  }
  Request();
}

void TSignalKAccess::Request() {
  if (ClientId.empty()) ClientId = NewClientId();
  state_ = TState::Requesting;
  ++requests_;
  const std::string body = "{\"clientId\":" + JsonQuoted(ClientId) + ",\"description\":" + JsonQuoted(Description) +
                           ",\"permissions\":\"readonly\"}";
  http_.Send("POST", kRequestPath, body, {});
}

void TSignalKAccess::Reply(int status, std::string_view body) {
  switch (state_) {
    case TState::Checking:
      if (status == 0) return Fail("no answer from the server");
      if (status == 401 || status == 403) return Rejected();
      state_ = TState::Granted;
      waitSaid_ = false;
      if (OnGranted) OnGranted();
      return;
    case TState::Requesting:
      return RequestReply(status, body);
    case TState::Polling:
      return PollReply(status, body);
    default:
      return;  // an answer nobody waits for any more
  }
}

void TSignalKAccess::RequestReply(int status, std::string_view body) {
  if (status == 0) return Fail("no answer from the server");
  TJsonLimits limits;
  limits.MaxBytes = 64 * 1024;
  const std::optional<TJsonValue> v = ParseJson(body, limits);
  const std::string* href = v ? v->StringOf("href") : nullptr;
  const std::string* st = v ? v->StringOf("state") : nullptr;
  if ((status == 200 || status == 202) && href && !href->empty() && href->front() == '/' && href->size() < 300) {
    if (st && *st == "COMPLETED") {
      // Already decided (a request the owner answered before).
      href_ = *href;
      return PollReply(status, body);
    }
    href_ = *href;
    state_ = TState::Pending;
    nextPoll_ = clock_.MonoNow() + kPollInterval;
    if (!waitSaid_) {
      waitSaid_ = true;
      Say("Waiting for approval on the Signal K server: accept the access request of \"" + Description +
          "\" on the server's admin page (Security, Access Requests)");
    }
    return;
  }
  state_ = TState::Failed;
  std::string why = MessageOf(body);
  Say("The Signal K server takes no access request (" + std::to_string(status) + (why.empty() ? "" : ": " + why) +
      ")");
}

void TSignalKAccess::Poll() {
  if (state_ != TState::Pending || clock_.MonoNow() < nextPoll_) return;
  state_ = TState::Polling;
  http_.Send("GET", href_, {}, {});
}

void TSignalKAccess::PollReply(int status, std::string_view body) {
  if (status == 0) {
    // Asked again later: the server may be restarting.
    state_ = TState::Pending;
    nextPoll_ = clock_.MonoNow() + kPollInterval;
    return;
  }
  TJsonLimits limits;
  limits.MaxBytes = 64 * 1024;
  const std::optional<TJsonValue> v = ParseJson(body, limits);
  const std::string* st = v ? v->StringOf("state") : nullptr;
  if (status >= 200 && status < 300 && st && *st == "PENDING") {
    state_ = TState::Pending;
    nextPoll_ = clock_.MonoNow() + kPollInterval;
    return;
  }
  const TJsonValue* ar = v ? v->ObjectOf("accessRequest") : nullptr;
  const std::string* permission = ar ? ar->StringOf("permission") : nullptr;
  if (status >= 200 && status < 300 && st && *st == "COMPLETED" && permission) {
    if (*permission == "APPROVED") {
      const std::string* token = ar->StringOf("token");
      if (!token || token->empty() || token->size() > 8192) {
        state_ = TState::Failed;
        Say("The Signal K server approved the access request but sent no token");
        return;
      }
      Token = *token;
      if (OnToken) OnToken(Token);
      Say("The Signal K server approved the access request");
      state_ = TState::Granted;
      waitSaid_ = false;
      if (OnGranted) OnGranted();
      return;
    }
    state_ = TState::Denied;
    Say("The Signal K server denied access to the plotter");
    return;
  }
  // The request is gone (a server restarted) or failed: ask anew.
  Request();
}
