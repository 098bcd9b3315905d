#include <gtest/gtest.h>
#include <sys/capability.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/win32/handles.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/security.h"
#include "platform/win32/winerror.h"

namespace {

// Whether CAP_SYS_PTRACE is in the given set of this process.
bool DebugIn(cap_flag_t set) {
  cap_t caps = cap_get_proc();
  cap_flag_value_t v = CAP_CLEAR;
  cap_get_flag(caps, CAP_SYS_PTRACE, set, &v);
  cap_free(caps);
  return v == CAP_SET;
}
bool DebugEffective() {
  return DebugIn(CAP_EFFECTIVE);
}
bool DebugPermitted() {
  return DebugIn(CAP_PERMITTED);
}

// Enables SeDebugPrivilege as the program does; returns the call's result and its last error.
std::pair<BOOL, DWORD> EnableDebug(DWORD access = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY) {
  HANDLE token = nullptr;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), access, &token));
  TOKEN_PRIVILEGES p{};
  p.PrivilegeCount = 1;
  EXPECT_TRUE(LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &p.Privileges[0].Luid));
  p.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  SetLastError(0);
  BOOL ok = AdjustTokenPrivileges(token, FALSE, &p, 0, nullptr, nullptr);
  DWORD error = GetLastError();
  CloseHandle(token);
  return {ok, error};
}

TEST(Privileges, UnknownPrivilegeIsNotFound) {
  LUID luid{};
  EXPECT_FALSE(LookupPrivilegeValueW(nullptr, u"SeNoSuchPrivilege", &luid));
  EXPECT_EQ(GetLastError(), ERROR_NO_SUCH_PRIVILEGE);
  EXPECT_TRUE(LookupPrivilegeValueW(nullptr, u"sedebugprivilege", &luid));
}

TEST(Privileges, DebugPrivilegeRaisesPtraceWhenPermitted) {
  if (!DebugPermitted()) GTEST_SKIP() << "CAP_SYS_PTRACE is not in this process's permitted set";
  auto [ok, error] = EnableDebug();
  EXPECT_TRUE(ok);
  EXPECT_EQ(error, ERROR_SUCCESS);
  EXPECT_TRUE(DebugEffective());
}

TEST(Privileges, NotHeldIsAcceptedWithNotAllAssigned) {
  // A child without the capability in its permitted set.
  pid_t child = fork();
  if (child == 0) {
    cap_t none = cap_init();
    if (cap_set_proc(none) != 0) _exit(3);
    cap_free(none);
    auto [ok, error] = EnableDebug();
    _exit(ok && error == ERROR_NOT_ALL_ASSIGNED && !DebugEffective() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Privileges, TokenWithoutAdjustRightFails) {
  auto [ok, error] = EnableDebug(TOKEN_QUERY);
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
}

}  // namespace
