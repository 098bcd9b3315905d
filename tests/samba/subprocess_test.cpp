#include "platform/linux/subprocess.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

namespace {

using linuxsys::ChildProcess;
using linuxsys::RunOptions;
using linuxsys::RunProcess;
using namespace std::chrono_literals;

TEST(RunProcess, CapturesOutputExitCodeAndInput) {
  RunOptions options;
  options.input = "from stdin\n";
  auto r = RunProcess({"/bin/sh", "-c", "cat; echo out; echo err >&2; exit 3"}, options);
  EXPECT_TRUE(r.started);
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_FALSE(r.Succeeded());
  EXPECT_EQ(r.out, "from stdin\nout\n");
  EXPECT_EQ(r.err, "err\n");
}

TEST(RunProcess, ArgumentsReachTheProgramUnchangedWithoutAShell) {
  auto r = RunProcess({"/usr/bin/printf", "%s|", "a b", "$(id)", "*", ";rm"});
  ASSERT_TRUE(r.Succeeded());
  EXPECT_EQ(r.out, "a b|$(id)|*|;rm|");
}

TEST(RunProcess, MissingProgramIsReportedNotRun) {
  auto r = RunProcess({"no-such-tool-anywhere"});
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.spawnError, ENOENT);
  EXPECT_FALSE(r.Succeeded());
  EXPECT_FALSE(RunProcess({}).started);
}

TEST(RunProcess, HangingChildIsStoppedAtTheDeadline) {
  RunOptions options;
  options.timeout = 300ms;
  auto start = std::chrono::steady_clock::now();
  // It ignores SIGTERM, so the SIGKILL after the grace period has to end it.
  auto r = RunProcess({"/bin/sh", "-c", "trap '' TERM; echo started; while :; do sleep 1; done"},
                      options);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(r.timedOut);
  EXPECT_FALSE(r.Succeeded());
  EXPECT_EQ(r.signal, SIGKILL);
  EXPECT_EQ(r.out, "started\n");
  EXPECT_LT(took, 5s);  // promised: a few seconds at most
}

TEST(RunProcess, DescendantHoldingTheOutputOpenDoesNotHoldTheCaller) {
  RunOptions options;
  options.timeout = 10s;
  auto start = std::chrono::steady_clock::now();
  auto r = RunProcess({"/bin/sh", "-c", "sleep 30 & echo done"}, options);
  EXPECT_TRUE(r.Succeeded());
  EXPECT_EQ(r.out, "done\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST(RunProcess, OutputBeyondTheLimitIsCutAndFlagged) {
  RunOptions options;
  options.maxOutput = 1000;
  auto r = RunProcess({"/bin/sh", "-c", "head -c 100000 /dev/zero"}, options);
  EXPECT_TRUE(r.Succeeded());
  EXPECT_TRUE(r.truncated);
  EXPECT_EQ(r.out.size(), 1000u);
}

TEST(RunProcess, ChildThatIgnoresItsInputDoesNotBreakTheCaller) {
  RunOptions options;
  options.input = std::string(1 << 20, 'x');  // more than a pipe holds
  auto r = RunProcess({"/bin/true"}, options);
  EXPECT_TRUE(r.Succeeded());  // and no SIGPIPE ended the test
}

TEST(RunProcess, EnvironmentEntriesAreAddedAndReplaced) {
  RunOptions options;
  options.env = {"SUBPROCESS_TEST_VALUE=one", "HOME=/elsewhere"};
  auto r = RunProcess({"/bin/sh", "-c", "echo $SUBPROCESS_TEST_VALUE $HOME"}, options);
  EXPECT_EQ(r.out, "one /elsewhere\n");
}

TEST(ChildProcess, TalksThroughItsInputAndOutput) {
  int error = 0;
  auto child = ChildProcess::Start({"/bin/cat"}, {}, &error);
  ASSERT_TRUE(child) << error;
  EXPECT_TRUE(child->Running());
  ASSERT_TRUE(child->Write("hello\n"));
  auto end = child->WaitForOutput("hello\n", 0, 5s);
  EXPECT_EQ(end, 6u);
  EXPECT_EQ(child->WaitForOutput("hello", end, 100ms), std::string::npos);  // not seen twice
  child->CloseInput();
  EXPECT_TRUE(child->WaitExit(5s));
  EXPECT_FALSE(child->Running());
  EXPECT_TRUE(WIFEXITED(child->ExitStatus()));
  EXPECT_FALSE(child->Write("late\n"));
}

TEST(ChildProcess, StopEndsAChildThatIgnoresSigterm) {
  auto child = ChildProcess::Start(
      {"/bin/sh", "-c", "trap '' TERM; echo up; while :; do sleep 1; done"}, {});
  ASSERT_TRUE(child);
  ASSERT_NE(child->WaitForOutput("up\n", 0, 5s), std::string::npos);
  pid_t pid = child->Pid();
  int status = child->Stop(200ms);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
  EXPECT_NE(::kill(pid, 0), 0);  // reaped, nothing left
}

TEST(ChildProcess, DestructorStopsTheChild) {
  pid_t pid;
  {
    auto child = ChildProcess::Start({"/bin/sleep", "30"}, {});
    ASSERT_TRUE(child);
    pid = child->Pid();
  }
  EXPECT_NE(::kill(pid, 0), 0);
}

TEST(ChildProcess, MissingProgramGivesNoChild) {
  int error = 0;
  EXPECT_FALSE(ChildProcess::Start({"no-such-tool-anywhere"}, {}, &error));
  EXPECT_EQ(error, ENOENT);
}

}  // namespace
