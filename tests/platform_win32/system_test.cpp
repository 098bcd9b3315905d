#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/linux/samba_config.h"
#include "platform/win32/format_message.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/strings.h"
#include "platform/win32/sysinfo.h"
#include "platform/win32/winerror.h"
#include "tests/common/temp_folder.h"

namespace {

TEST(FormatMessage, SystemTextEndsWithLineEndAndIsReleasedByLocalFree) {
  LPWSTR text = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
      nullptr, ERROR_ACCESS_DENIED, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  ASSERT_GT(n, 2u);
  ASSERT_NE(text, nullptr);
  std::u16string s(text, n);
  EXPECT_EQ(s, u"Access is denied.\r\n");
  LocalFree(text);
}

TEST(FormatMessage, UnknownCodeHasNoText) {
  LPWSTR text = nullptr;
  SetLastError(0);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                           0xDEAD, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr),
            0u);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
}

TEST(FormatMessage, CallerBufferTooSmallFails) {
  char16_t small[4];
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, small, 4,
                           nullptr),
            0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

class ComputerName : public testing::Test {
 protected:
  void SetUp() override { saved_ = linuxsys::SambaConfigPath(); }
  void TearDown() override { linuxsys::SetSambaConfigPath(saved_); }
  void Configure(const std::string& text) {
    std::ofstream(folder_ + "/smb.conf") << text;
    linuxsys::SetSambaConfigPath(folder_ + "/smb.conf");
  }
  testsupport::TempFolder temp_{"kestrow-name"};
  const std::string folder_ = temp_.str();
  std::string saved_;
};

TEST_F(ComputerName, SambaNetbiosNameIsUpperCaseAndCutTo15) {
  Configure("[global]\n  netbios name = fileserver-upstairs\n[share]\n netbios name = no\n");
  char16_t name[16];
  DWORD size = 16;
  ASSERT_TRUE(GetComputerNameW(name, &size));
  EXPECT_EQ(size, 15u);
  EXPECT_EQ(std::u16string(name), u"FILESERVER-UPST");
}

TEST_F(ComputerName, WithoutSambaNameTheHostNameFirstLabel) {
  Configure("[global]\n workgroup = HOME\n");
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::string expected = std::string(host).substr(0, std::string(host).find('.'));
  for (char& c : expected) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  expected.resize(std::min<size_t>(expected.size(), 15));
  char16_t name[16];
  DWORD size = 16;
  ASSERT_TRUE(GetComputerNameW(name, &size));
  EXPECT_EQ(win32::Utf8FromUtf16(name), expected);
}

TEST_F(ComputerName, ShortBufferFailsWithTheSizeNeeded) {
  Configure("[global]\nnetbios name = ABCDEFGH\n");
  char16_t name[4];
  DWORD size = 4;
  SetLastError(0);
  EXPECT_FALSE(GetComputerNameW(name, &size));
  EXPECT_EQ(GetLastError(), ERROR_BUFFER_OVERFLOW);
  EXPECT_EQ(size, 9u);
}

TEST(Version, ReportsNtAndHonoursBothRecordSizes) {
  win32::testing::ResetVersion();
  OSVERSIONINFOEXW ex{};
  ex.dwOSVersionInfoSize = sizeof ex;
  ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex)));
  EXPECT_EQ(ex.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_GE(ex.dwMajorVersion, 5u);
  OSVERSIONINFOW plain{};
  plain.dwOSVersionInfoSize = sizeof plain;
  EXPECT_TRUE(GetVersionExW(&plain));
  OSVERSIONINFOW wrong{};
  wrong.dwOSVersionInfoSize = 100;
  EXPECT_FALSE(GetVersionExW(&wrong));
}

TEST(Version, OverrideAndFailure) {
  win32::testing::SetVersion(VER_PLATFORM_WIN32_NT, 5, 1);
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExW(&v));
  EXPECT_EQ(v.dwMajorVersion, 5u);
  EXPECT_EQ(v.dwMinorVersion, 1u);
  win32::testing::SetVersionFails();
  EXPECT_FALSE(GetVersionExW(&v));
  win32::testing::ResetVersion();
}

TEST(ModuleFileName, IsTheRunningExecutable) {
  char path[4096];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::string(path).substr(std::string(path).rfind('/') + 1), "platform_win32_tests");
  char tiny[5];
  EXPECT_EQ(GetModuleFileNameA(nullptr, tiny, sizeof tiny), 5u);
  EXPECT_EQ(tiny[4], '\0');
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(WindowsSockets, VersionOneOneStarts) {
  WSADATA data;
  EXPECT_EQ(WSAStartup(0x0101, &data), 0);
  EXPECT_EQ(data.wVersion, 0x0101);
  EXPECT_NE(WSAStartup(0x0001, &data), 0);
}

}  // namespace
