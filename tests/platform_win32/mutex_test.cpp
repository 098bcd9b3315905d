#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/win32/handles.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/mutex.h"
#include "platform/win32/winerror.h"
#include "tests/common/temp_folder.h"

namespace {

// Each test gets a session namespace of its own.
class NamedMutex : public testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    saved_ = old ? old : "";
    hadOld_ = old != nullptr;
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_)
      setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
  }
  // Creates the name; returns the last error the call left.
  static DWORD Create(const char* name, HANDLE* out) {
    SetLastError(12345);
    *out = CreateMutexA(nullptr, FALSE, name);
    return GetLastError();
  }
  testsupport::TempFolder temp_{"kestrow-mutex"};
  const std::string folder_ = temp_.str();
  std::string saved_;
  bool hadOld_ = false;
};

TEST_F(NamedMutex, SecondCreateInTheSameProcessSeesItExists) {
  HANDLE a, b;
  EXPECT_EQ(Create("orvKestrow", &a), ERROR_SUCCESS);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(Create("orvKestrow", &b), ERROR_ALREADY_EXISTS);
  ASSERT_NE(b, nullptr);
  HANDLE other;
  EXPECT_EQ(Create("orvKestrow2", &other), ERROR_SUCCESS) << "another name is another mutex";
  // The name lives while any handle does.
  CloseHandle(a);
  HANDLE c;
  EXPECT_EQ(Create("orvKestrow", &c), ERROR_ALREADY_EXISTS);
  CloseHandle(b);
  CloseHandle(c);
  HANDLE d;
  EXPECT_EQ(Create("orvKestrow", &d), ERROR_SUCCESS);
  CloseHandle(d);
  CloseHandle(other);
}

TEST_F(NamedMutex, NamesWithSeparatorsStayInTheNamespace) {
  HANDLE a, b;
  EXPECT_EQ(Create("../../etc/x", &a), ERROR_SUCCESS);
  EXPECT_EQ(Create("../../etc/x", &b), ERROR_ALREADY_EXISTS);
  for (const auto& entry : std::filesystem::directory_iterator(folder_ + "/win32-objects"))
    EXPECT_EQ(entry.path().parent_path(), folder_ + "/win32-objects");
  CloseHandle(a);
  CloseHandle(b);
}

TEST_F(NamedMutex, AcrossProcessesAndGoneWhenTheHolderIsKilled) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  if (child == 0) {
    HANDLE h = CreateMutexA(nullptr, FALSE, "shared-name");
    char ok = (h && GetLastError() == ERROR_SUCCESS) ? 'y' : 'n';
    (void)!write(ready[1], &ok, 1);
    pause();  // holds the handle until killed
    _exit(0);
  }
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 'y');
  HANDLE h;
  EXPECT_EQ(Create("shared-name", &h), ERROR_ALREADY_EXISTS);
  CloseHandle(h);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(Create("shared-name", &h), ERROR_SUCCESS) << "a killed holder must not block";
  CloseHandle(h);
  close(ready[0]);
  close(ready[1]);
}

}  // namespace
