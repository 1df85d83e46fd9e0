// The shared data line: a client gets the line at once and each new one, a
// client that does not read is dropped without holding anything up, a
// socket left behind is taken over and one in use is not.
#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "TestSupport.h"
#include "instruments/qt/DataShare.h"
#include "instruments/qt/PtyPair.h"
#include "platform/RuntimeDir.h"
#include "platform/ScopedEnv.h"

namespace {

std::string ReadLine(QLocalSocket& s, std::string& pending) {
  WaitFor([&] {
    pending += s.readAll().toStdString();
    return pending.find('\n') != std::string::npos;
  });
  const size_t nl = pending.find('\n');
  if (nl == std::string::npos) return "<none>";
  std::string line = pending.substr(0, nl);
  pending.erase(0, nl + 1);
  return line;
}

TEST(DataShare, AClientGetsTheLineAtOnceAndEveryNewOne) {
  TTempDir dir;
  const std::string path = dir / "nmeadata";
  TDataShareServer server;
  ASSERT_TRUE(server.Start(path));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 077, 0u);  // the user's alone

  QLocalSocket client;
  client.connectToServer(QString::fromStdString(path));
  ASSERT_TRUE(client.waitForConnected(2000));
  std::string pending;
  EXPECT_EQ(ReadLine(client, pending), "NO DATA");
  server.Publish("59.50833,18.07083,5.20");
  EXPECT_EQ(ReadLine(client, pending), "59.50833,18.07083,5.20");
  server.Publish("59.50833,18.07083,5.20");  // one line per update, also unchanged
  EXPECT_EQ(ReadLine(client, pending), "59.50833,18.07083,5.20");
  EXPECT_EQ(server.ClientCount(), 1);

  // A second client gets the current line, not the first one.
  QLocalSocket late;
  late.connectToServer(QString::fromStdString(path));
  ASSERT_TRUE(late.waitForConnected(2000));
  std::string latePending;
  EXPECT_EQ(ReadLine(late, latePending), "59.50833,18.07083,5.20");
  client.disconnectFromServer();
  ASSERT_TRUE(WaitFor([&] { return server.ClientCount() == 1; }));

  server.Stop();
  EXPECT_FALSE(TestFileExists(path));
}

TEST(DataShare, AClientThatNeverReadsIsDropped) {
  TTempDir dir;
  const std::string path = dir / "nmeadata";
  TDataShareServer server;
  ASSERT_TRUE(server.Start(path));
  // A raw socket that connects and then never reads a byte.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_TRUE(WaitFor([&] { return server.ClientCount() == 1; }));
  const std::string line(2000, 'x');
  int published = 0;
  // Every publish returns at once; once the system's buffer and ours are
  // full, the client goes.
  EXPECT_TRUE(WaitFor(
      [&] {
        server.Publish(line);
        ++published;
        return server.ClientCount() == 0;
      },
      20000));
  EXPECT_LT(published, 5000);
  ::close(fd);
}

TEST(DataShare, ASocketLeftBehindIsTakenOverButOneInUseIsNot) {
  TTempDir dir;
  const std::string path = dir / "nmeadata";
  {
    // What a program killed while sharing leaves: a socket nobody serves.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
  }
  TDataShareServer first;
  std::string error;
  ASSERT_TRUE(first.Start(path, &error)) << error;
  TDataShareServer second;
  EXPECT_FALSE(second.Start(path, &error));
  EXPECT_NE(error.find("in use"), std::string::npos) << error;
  EXPECT_TRUE(first.Listening());
}

TEST(RuntimeDirectory, IsTheUsersAloneOrRefused) {
  TTempDir dir;
  TScopedEnv env;
  env.Set("XDG_RUNTIME_DIR", dir.path());
  EXPECT_EQ(RuntimeDirectory(), dir / "brismare");
  EXPECT_EQ(DataSocketPath(), dir / "brismare/nmeadata");
  ASSERT_TRUE(EnsureRuntimeDirectory());
  struct stat st {};
  ASSERT_EQ(::stat((dir / "brismare").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // Opened to others (by mistake or by someone else): not used.
  ASSERT_EQ(::chmod((dir / "brismare").c_str(), 0777), 0);
  std::string error;
  EXPECT_FALSE(EnsureRuntimeDirectory(&error));
  EXPECT_NE(error.find("open to other users"), std::string::npos);
  // A relative value does not count.
  env.Set("XDG_RUNTIME_DIR", "relative");
  EXPECT_EQ(RuntimeDirectory().rfind("/", 0), 0u);
}

}  // namespace
