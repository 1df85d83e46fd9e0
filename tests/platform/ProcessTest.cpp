#include "platform/Process.h"

#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ChildProcess.h"
#include "ScopedEnv.h"
#include "TestSupport.h"

namespace {

using TSteady = std::chrono::steady_clock;

// Waits up to five seconds for `done`.
template <class F>
bool Eventually(F done) {
  auto until = TSteady::now() + std::chrono::seconds(5);
  while (!done()) {
    if (TSteady::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace

TEST(RunProgram, ReportsExitCodesAndPassesArgumentsUnquoted) {
  struct Case {
    std::string program;
    std::vector<std::string> args;
    int exitCode;
  } cases[] = {
      {"true", {}, 0},
      {"false", {}, 1},
      {"/bin/sh", {"-c", "exit 7"}, 7},
      {"sh", {"-c", "exit 255"}, 255},
      // Arguments reach the program as they are: blanks, quotes and ";" included.
      {"sh", {"-c", "test \"$1\" = 'a b;\"c\"' && test $# = 1", "sh", "a b;\"c\""}, 0},
  };
  for (const Case& c : cases) {
    TRunResult r = RunProgram(c.program, c.args, 10000, true);
    EXPECT_TRUE(r.started) << c.program;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.program << " " << (c.args.empty() ? "" : c.args.back());
    EXPECT_EQ(r.osError, 0);
    EXPECT_FALSE(IsOurZombie(r.pid));
  }
}

TEST(RunProgram, MissingOrUnusableProgramsDoNotStart) {
  TTempDir dir;
  // A search path entry the user may not read would turn "not found" into
  // "permission denied", as the shell reports it too.
  TScopedEnv env;
  env.Set("PATH", "/usr/bin:/bin");
  std::string plain = dir / "not-a-program";
  WriteTestFile(plain, "data");
  ::chmod(plain.c_str(), 0644);
  struct Case {
    std::string program;
    int osError;
  } cases[] = {
      {"no-such-program-brismare-g7towin", ENOENT},
      {dir / "missing", ENOENT},
      {"", ENOENT},
      {std::string("tr\0ue", 5), EINVAL},
  };
  for (const Case& c : cases) {
    TRunResult r = RunProgram(c.program, {}, 1000, true);
    EXPECT_FALSE(r.started) << c.program;
    EXPECT_EQ(r.osError, c.osError) << c.program;
    EXPECT_EQ(r.exitCode, -1);
  }
  // Not executable: refused (root may execute only files with an x bit, too).
  TRunResult r = RunProgram(plain, {}, 1000, true);
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.osError, EACCES);
}

TEST(RunProgram, TimeOutStopsAndReapsTheProgram) {
  auto start = TSteady::now();
  TRunResult r = RunProgram("sleep", {"30"}, 200, true);
  auto took = TSteady::now() - start;
  EXPECT_TRUE(r.started);
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.termSignal, SIGTERM);
  EXPECT_GE(took, std::chrono::milliseconds(190));
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_FALSE(IsRunning(r.pid));
  EXPECT_FALSE(IsOurZombie(r.pid));
}

// A program that ignores SIGTERM, with a child of its own: both are killed.
TEST(RunProgram, TimeOutKillsWhatIgnoresTerminationAndItsChildren) {
  TTempDir dir;
  std::string pidFile = dir / "grandchild";
  auto start = TSteady::now();
  TRunResult r = RunProgram("sh", {"-c", "trap '' TERM; sleep 30 & echo $! > \"$1\"; wait", "sh", pidFile}, 1000, true);
  auto took = TSteady::now() - start;
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.termSignal, SIGKILL);
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_FALSE(IsOurZombie(r.pid));
  std::string text = ReadTestFile(pidFile);
  ASSERT_FALSE(text.empty());
  pid_t grandchild = static_cast<pid_t>(std::stol(text));
  EXPECT_TRUE(Eventually([&] { return !IsRunning(grandchild); })) << "the program's own child is still running";
}

TEST(RunProgram, WithoutWaitingReturnsAtOnceAndLeavesNoZombie) {
  auto start = TSteady::now();
  TRunResult r = RunProgram("sh", {"-c", "sleep 1"}, 0, false);
  EXPECT_LT(TSteady::now() - start, std::chrono::milliseconds(500));
  ASSERT_TRUE(r.started);
  EXPECT_GT(r.pid, 0);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_TRUE(IsRunning(r.pid));
  EXPECT_TRUE(Eventually([&] { return !IsRunning(r.pid) && !IsOurZombie(r.pid); }));
}

TEST(RunProgram, TheProgramGetsDefaultSignalHandling) {
  // A program started while this process ignores SIGPIPE must not inherit
  // that (it would never notice a closed pipe).
  struct sigaction ignore{}, old{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &old);
  TRunResult r = RunProgram("sh", {"-c", "kill -PIPE $$; exit 0"}, 10000, true);
  ::sigaction(SIGPIPE, &old, nullptr);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.termSignal, SIGPIPE);
  EXPECT_EQ(r.exitCode, -1);
}
