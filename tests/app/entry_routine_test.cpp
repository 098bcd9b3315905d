#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/EntryRoutine.h"
#include "app/ProcessGlobals.h"
#include "app/SystemBinding.h"
#include "platform/win32/library.h"
#include "platform/win32/sysinfo.h"
#include "tests/common/message_box_recorder.h"
#include "tests/common/temp_folder.h"

namespace {

class EntryRoutine : public testing::Test {
 protected:
  void SetUp() override { setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1); }
  void TearDown() override {
    UnbindSystemLibraries();  // a failed start leaves what it loaded to the ending process
    win32::testing::RestoreBuiltinModules();
    win32::testing::ResetVersion();
  }
  testsupport::TempFolder temp_{"kestrow-entry"};
  const std::string folder_ = temp_.str();
  testsupport::MessageBoxRecorder boxes_;
};

TEST_F(EntryRoutine, FailedBindingShowsBothBoxesAndStopsBeforeAnythingElse) {
  win32::testing::RemoveBuiltinExport("Ntdsapi.dll", "DsBindW");
  char args[] = "-%pi";
  EXPECT_EQ(WinMain(nullptr, nullptr, args, 1), 2);
  EXPECT_EQ(boxes_.texts(),
            (std::vector<std::string>{"!!: Failed to init DsBindW", "Error initialize Orv-env!"}));
  EXPECT_EQ(CommandLine, "-%pi");
  EXPECT_TRUE(SettingsDataFile.empty()) << "step 4 must not have run";
}

TEST_F(EntryRoutine, OlderSystemIsRefusedWithExitCodeZero) {
  win32::testing::SetVersion(VER_PLATFORM_WIN32_NT, 4, 0);
  char args[] = "";
  EXPECT_EQ(WinMain(nullptr, nullptr, args, 1), 0);
  EXPECT_EQ(boxes_.texts(),
            std::vector<std::string>{"Error: This program must be run under W2k and above"});
  EXPECT_EQ(boxes_.boxes()[0].type, MB_TASKMODAL | MB_ICONERROR);
  // The settings paths end with the relative names as written.
  std::string data = win32::Utf8FromUtf16(SettingsDataFile);
  EXPECT_EQ(data.substr(data.size() - 17), "/settings/orvRB.b");
  EXPECT_EQ(win32::testing::LoadedModuleCount(), 0) << "libraries released at the end";
}

}  // namespace
