#include <gtest/gtest.h>

#include "app/SystemBinding.h"
#include "platform/win32/library.h"
#include "platform/win32/sysinfo.h"
#include "tests/common/message_box_recorder.h"

namespace {

class Binding : public testing::Test {
 protected:
  void TearDown() override {
    UnbindSystemLibraries();
    win32::testing::RestoreBuiltinModules();
  }
  testsupport::MessageBoxRecorder boxes_;
};

TEST_F(Binding, AllFiveLibrariesAndTheirEntryPointsBindAndUnbind) {
  ASSERT_TRUE(BindSystemLibraries());
  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_NE(SystemBinding.Ntdsapi, nullptr);
  EXPECT_NE(SystemBinding.WTSSendMessageW, nullptr);
  EXPECT_NE(SystemBinding.DsGetDomainControllerInfoW, nullptr);
  EXPECT_TRUE(UnbindSystemLibraries());
  for (HMODULE h : {SystemBinding.Psapi, SystemBinding.Mprapi, SystemBinding.Wtsapi32,
                    SystemBinding.ActiveDS, SystemBinding.Ntdsapi})
    EXPECT_EQ(h, nullptr);
  EXPECT_EQ(win32::testing::LoadedModuleCount(), 0);
}

TEST_F(Binding, MissingEntryPointNamesIt) {
  win32::testing::RemoveBuiltinExport("Ntdsapi.dll", "DsBindW");
  EXPECT_FALSE(BindSystemLibraries());
  EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"!!: Failed to init DsBindW"});
  EXPECT_EQ(boxes_.boxes()[0].caption, "Error");
}

TEST_F(Binding, FirstMissingLibraryInTableOrderNamesIt) {
  win32::testing::RemoveBuiltinModule("ActiveDS.dll");
  win32::testing::RemoveBuiltinModule("Mprapi.dll");
  EXPECT_FALSE(BindSystemLibraries());
  EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"!!: error loading Mprapi.dll"});
  // The libraries that did load stay loaded until unbinding.
  EXPECT_NE(SystemBinding.Psapi, nullptr);
}

struct VersionCase {
  DWORD platform, major, minor;
  bool w2k, xp;
};

class VersionTests : public testing::TestWithParam<VersionCase> {
 protected:
  void TearDown() override { win32::testing::ResetVersion(); }
};

TEST_P(VersionTests, TwoThousandAndXp) {
  const auto& c = GetParam();
  win32::testing::SetVersion(c.platform, c.major, c.minor);
  EXPECT_EQ(IsWindows2000OrLater(), c.w2k);
  EXPECT_EQ(IsWindowsXPOrLater(), c.xp);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionTests,
                         testing::Values(VersionCase{VER_PLATFORM_WIN32_NT, 4, 0, false, false},
                                         VersionCase{VER_PLATFORM_WIN32_NT, 5, 0, true, false},
                                         VersionCase{VER_PLATFORM_WIN32_NT, 5, 1, true, true},
                                         VersionCase{VER_PLATFORM_WIN32_NT, 6, 0, true, true},
                                         VersionCase{VER_PLATFORM_WIN32_WINDOWS, 5, 1, false,
                                                     false}));

TEST(Version, FailingQueryAnswersFalseToBoth) {
  win32::testing::SetVersionFails();
  EXPECT_FALSE(IsWindows2000OrLater());
  EXPECT_FALSE(IsWindowsXPOrLater());
  win32::testing::ResetVersion();
}

TEST(Privilege, EnableDebugPrivilegeNeverRaises) {
  // Whether or not the process may hold it, the call is accepted by the system.
  EXPECT_TRUE(EnableDebugPrivilege());
}

}  // namespace
