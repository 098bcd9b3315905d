// One copy per executable name, across real processes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/temp_folder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Program {
 public:
  Program(const std::string& path, const std::string& runtimeDir, const std::string& log) {
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + runtimeDir,
                                    "HOME=" + runtimeDir};
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string p = path;
    char* argv[] = {p.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    EXPECT_EQ(posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // The exit code, or -1 while it still runs after the wait.
  int WaitExit(std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }
  void Kill() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// A running copy holds its name's lock; wait until it does.
bool WaitUntilHeld(const fs::path& lockFile, std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    int fd = open(lockFile.c_str(), O_RDONLY);
    if (fd >= 0) {
      bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
      if (!held) flock(fd, LOCK_UN);
      close(fd);
      if (held) return true;
    }
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

class SingleInstance : public testing::Test {
 protected:
  void SetUp() override {
    runtime_ = root_ / "run";
    fs::create_directories(runtime_);
    fs::permissions(runtime_, fs::perms::owner_all);
  }
  fs::path Lock(const std::string& name) const {
    return runtime_ / "win32-objects" / ("mutex." + name);
  }
  std::string Log(const std::string& name) const { return (root_ / (name + ".log")).string(); }

  testsupport::TempFolder temp_{"kestrow-single"};
  const fs::path root_ = temp_.path();
  fs::path runtime_;
};

TEST_F(SingleInstance, SecondCopyEndsWithOneAndAnotherNameRunsBeside) {
  Program first(KESTROW_PROGRAM, runtime_, Log("first"));
  ASSERT_TRUE(WaitUntilHeld(Lock("orvKestrow"), 20s));

  Program second(KESTROW_PROGRAM, runtime_, Log("second"));
  EXPECT_EQ(second.WaitExit(20s), 1);
  EXPECT_EQ(fs::file_size(Log("second")), 0u) << "the second copy shows and says nothing";

  // A copy under another file name forms another mutex name.
  fs::path renamed = root_ / "orvKestrowCopy";
  fs::copy_file(KESTROW_PROGRAM, renamed);
  Program other(renamed.string(), runtime_, Log("other"));
  EXPECT_TRUE(WaitUntilHeld(Lock("orvKestrowCopy"), 20s));
  EXPECT_EQ(other.WaitExit(0ms), -1) << "it runs";
}

TEST_F(SingleInstance, KilledFirstCopyDoesNotBlockTheNext) {
  {
    Program first(KESTROW_PROGRAM, runtime_, Log("first"));
    ASSERT_TRUE(WaitUntilHeld(Lock("orvKestrow"), 20s));
    first.Kill();
  }
  Program next(KESTROW_PROGRAM, runtime_, Log("next"));
  EXPECT_TRUE(WaitUntilHeld(Lock("orvKestrow"), 20s));
  EXPECT_EQ(next.WaitExit(0ms), -1);
}

}  // namespace
