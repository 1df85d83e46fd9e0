// The access request state machine against a scripted server.
#include <string>
#include <vector>

#include "TestSupport.h"
#include "instruments/SignalKAccess.h"

namespace {

struct TCall {
  std::string method, path, body, token;
};

class TFakeHttp final : public ISignalKHttp {
 public:
  std::vector<TCall> calls;
  void Send(std::string_view method, std::string_view path, std::string_view body, std::string_view token) override {
    calls.push_back({std::string(method), std::string(path), std::string(body), std::string(token)});
  }
};

class AccessFixture : public testing::Test {
 protected:
  TManualClock clock;
  TFakeHttp http;
  TSignalKAccess access{http, clock};
  int granted = 0;
  std::vector<std::string> tokens, notices, failures;

  void SetUp() override {
    access.ClientId = "1b9f5a6c-3f0e-4f55-9d41-2f2f7d1c0a01";
    access.OnGranted = [this] { ++granted; };
    access.OnToken = [this](const std::string& t) { tokens.push_back(t); };
    access.OnNotice = [this](const std::string& t) { notices.push_back(t); };
    access.OnFailure = [this](const std::string& t) { failures.push_back(t); };
  }
  const TCall& Last() const { return http.calls.back(); }
  static constexpr const char* kPending =
      R"({"state":"PENDING","requestId":"e73b","statusCode":202,"href":"/signalk/v1/requests/e73b"})";
};

TEST_F(AccessFixture, RequestWaitApproveAndKeepTheToken) {
  access.Start();
  ASSERT_EQ(http.calls.size(), 1u);
  EXPECT_EQ(Last().method, "GET");
  EXPECT_EQ(Last().token, "");
  access.Reply(401, "Unauthorized");
  ASSERT_EQ(http.calls.size(), 2u);
  EXPECT_EQ(Last().method, "POST");
  EXPECT_EQ(Last().path, TSignalKAccess::kRequestPath);
  EXPECT_NE(Last().body.find("\"clientId\":\"1b9f5a6c-3f0e-4f55-9d41-2f2f7d1c0a01\""), std::string::npos);
  EXPECT_NE(Last().body.find("\"permissions\":\"readonly\""), std::string::npos);
  access.Reply(202, kPending);
  EXPECT_EQ(access.State(), TSignalKAccess::TState::Pending);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("admin page"), std::string::npos);
  // Asked again only after the interval, and said only once.
  access.Poll();
  EXPECT_EQ(http.calls.size(), 2u);
  for (int i = 0; i < 3; ++i) {
    clock.Advance(TSignalKAccess::kPollInterval);
    access.Poll();
    EXPECT_EQ(Last().path, "/signalk/v1/requests/e73b");
    access.Reply(200, kPending);
  }
  EXPECT_EQ(notices.size(), 1u);
  clock.Advance(TSignalKAccess::kPollInterval);
  access.Poll();
  access.Reply(200, R"({"state":"COMPLETED","statusCode":200,"accessRequest":{"permission":"APPROVED","token":"SECRET.TOKEN"}})");
  EXPECT_EQ(access.State(), TSignalKAccess::TState::Granted);
  EXPECT_EQ(granted, 1);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0], "SECRET.TOKEN");
  EXPECT_EQ(access.Token, "SECRET.TOKEN");
  // The next start uses the token, and a server that takes it makes no request.
  access.Start();
  EXPECT_EQ(Last().token, "SECRET.TOKEN");
  access.Reply(200, "\"urn:mrn:signalk:uuid:1\"");
  EXPECT_EQ(granted, 2);
  EXPECT_EQ(access.Requests(), 1);
  for (const std::string& n : notices) EXPECT_EQ(n.find("SECRET"), std::string::npos) << n;
}

TEST_F(AccessFixture, ARevokedTokenMakesANewRequest) {
  access.Token = "OLD";
  access.Start();
  access.Reply(401, "bad auth token");
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0], "");  // forgotten in the settings
  EXPECT_EQ(Last().method, "POST");
  EXPECT_EQ(Last().token, "");
  // The same when the stream is refused later.
  access.Reply(202, kPending);
  access.Token = "NEWER";
  access.Rejected();
  EXPECT_EQ(tokens.back(), "");
  EXPECT_EQ(access.Requests(), 2);
}

TEST_F(AccessFixture, RefusalsAndFailures) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, std::string>> replies;
    TSignalKAccess::TState state;
    size_t failures;
  } cases[] = {
      {"no server", {{0, ""}}, TSignalKAccess::TState::Idle, 1},
      {"open server", {{404, "Not Found"}}, TSignalKAccess::TState::Granted, 0},
      {"requests not taken", {{401, ""}, {403, R"({"message":"Access requests not allowed"})"}},
       TSignalKAccess::TState::Failed, 0},
      {"nonsense", {{401, ""}, {202, "<html>"}}, TSignalKAccess::TState::Failed, 0},
      {"an href off the server", {{401, ""}, {202, R"({"state":"PENDING","href":"http://elsewhere/x"})"}},
       TSignalKAccess::TState::Failed, 0},
      {"denied",
       {{401, ""}, {202, kPending}, {200, R"({"state":"COMPLETED","accessRequest":{"permission":"DENIED"}})"}},
       TSignalKAccess::TState::Denied, 0},
      {"approved without a token",
       {{401, ""}, {202, kPending}, {200, R"({"state":"COMPLETED","accessRequest":{"permission":"APPROVED"}})"}},
       TSignalKAccess::TState::Failed, 0},
      {"request gone after a restart: asked anew", {{401, ""}, {202, kPending}, {404, R"({"state":"FAILED"})"}},
       TSignalKAccess::TState::Requesting, 0},
      {"server away while waiting: still waiting", {{401, ""}, {202, kPending}, {0, ""}},
       TSignalKAccess::TState::Pending, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    failures.clear();
    granted = 0;
    access.Token.clear();
    access.Start();
    for (const auto& [status, body] : c.replies) {
      if (access.State() == TSignalKAccess::TState::Pending) {
        clock.Advance(TSignalKAccess::kPollInterval);
        access.Poll();
      }
      access.Reply(status, body);
    }
    EXPECT_EQ(access.State(), c.state);
    EXPECT_EQ(failures.size(), c.failures);
    EXPECT_EQ(granted, c.state == TSignalKAccess::TState::Granted ? 1 : 0);
  }
}

TEST(SignalKAccess, ClientIdsAreVersion4Uuids) {
  const std::string a = TSignalKAccess::NewClientId(), b = TSignalKAccess::NewClientId();
  EXPECT_NE(a, b);
  ASSERT_EQ(a.size(), 36u);
  EXPECT_EQ(a[14], '4');
  EXPECT_NE(std::string("89ab").find(a[19]), std::string::npos);
}

}  // namespace
