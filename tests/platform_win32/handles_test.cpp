#include <gtest/gtest.h>

#include "platform/win32/handles.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/mutex.h"
#include "platform/win32/winerror.h"

namespace {

TEST(Handles, ClosedHandleIsInvalidAndObjectsRefuseWhatTheyDoNotDo) {
  HANDLE h = CreateMutexA(nullptr, FALSE, nullptr);
  ASSERT_NE(h, nullptr);
  char buffer[4];
  DWORD n = 99;
  EXPECT_FALSE(ReadFile(h, buffer, sizeof buffer, &n, nullptr));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
  EXPECT_FALSE(CloseHandle(nullptr));
}

}  // namespace
