// Finding out, without waiting, whether a program serves a local socket.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>

#include "TestSupport.h"
#include "platform/RuntimeDir.h"

namespace {

// A socket bound at `path`; listening (with a backlog of `backlog`) or not.
int BoundSocket(const std::string& path, bool listening, int backlog = 4) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  path.copy(a.sun_path, path.size());
  if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return -1;
  if (listening && ::listen(fd, backlog) != 0) return -1;
  return fd;
}

TEST(LocalSocketProbe, TellsServedStaleAndMissingSocketsApartAtOnce) {
  TTempDir dir;
  const std::string path = dir / "nmeadata";
  EXPECT_EQ(ProbeLocalSocket(path), TLocalSocketState::None);
  EXPECT_EQ(ProbeLocalSocket(""), TLocalSocketState::None);

  int fd = BoundSocket(path, true);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(ProbeLocalSocket(path), TLocalSocketState::Served);
  // Left behind: the file stays, nobody listens.
  ::close(fd);
  EXPECT_EQ(ProbeLocalSocket(path), TLocalSocketState::Stale);
  ::unlink(path.c_str());

  // A server that takes no connections: its backlog fills up, and the probe
  // still says it is served, without waiting for it.
  fd = BoundSocket(path, true, 0);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(ProbeLocalSocket(path), TLocalSocketState::Served) << i;
  ::close(fd);

  // A regular file of that name is no server either.
  ::unlink(path.c_str());
  WriteTestFile(path, "x");
  EXPECT_EQ(ProbeLocalSocket(path), TLocalSocketState::Stale);
}

}  // namespace
