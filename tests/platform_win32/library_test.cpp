#include <gtest/gtest.h>

#include "platform/win32/lasterror.h"
#include "platform/win32/library.h"
#include "platform/win32/winerror.h"

namespace {

class Library : public testing::Test {
 protected:
  void TearDown() override { win32::testing::RestoreBuiltinModules(); }
};

TEST_F(Library, SystemModulesAreFoundWithoutCaseAndServeTheirEntryPoints) {
  HMODULE psapi = LoadLibraryW(u"PSAPI.DLL");
  ASSERT_NE(psapi, nullptr);
  EXPECT_NE(GetProcAddress(psapi, "EnumProcessModules"), nullptr);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(psapi, "NoSuchEntry"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  // Loading again counts; the module goes with the last release.
  HMODULE again = LoadLibraryA("psapi.dll");
  EXPECT_EQ(again, psapi);
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_NE(GetProcAddress(psapi, "EnumProcesses"), nullptr);
  EXPECT_TRUE(FreeLibrary(psapi));
  EXPECT_EQ(GetProcAddress(psapi, "EnumProcesses"), nullptr);
  EXPECT_FALSE(FreeLibrary(psapi));
}

TEST_F(Library, EntryPointsWithoutALinuxSourceAnswerNotSupported) {
  HMODULE ntds = LoadLibraryW(u"Ntdsapi.dll");
  ASSERT_NE(ntds, nullptr);
  using DsBind = DWORD (*)(LPCWSTR, LPCWSTR, HANDLE*);
  auto bind = reinterpret_cast<DsBind>(GetProcAddress(ntds, "DsBindW"));
  ASSERT_NE(bind, nullptr);
  HANDLE h = reinterpret_cast<HANDLE>(1);
  EXPECT_EQ(bind(nullptr, nullptr, &h), ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_EQ(h, nullptr);
  FreeLibrary(ntds);
}

TEST_F(Library, RemovedModuleOrEntryPointIsMissing) {
  win32::testing::RemoveBuiltinExport("Ntdsapi.dll", "DsBindW");
  HMODULE ntds = LoadLibraryW(u"Ntdsapi.dll");
  ASSERT_NE(ntds, nullptr);
  EXPECT_EQ(GetProcAddress(ntds, "DsBindW"), nullptr);
  EXPECT_NE(GetProcAddress(ntds, "DsUnBindW"), nullptr);
  FreeLibrary(ntds);
  win32::testing::RemoveBuiltinModule("Mprapi.dll");
  SetLastError(0);
  EXPECT_EQ(LoadLibraryW(u"Mprapi.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST_F(Library, OtherNamesAreSharedObjectsBesideTheExecutable) {
  HMODULE plugin = LoadLibraryA("kestrowtestplugin.dll");
  ASSERT_NE(plugin, nullptr) << "libkestrowtestplugin.so beside the test";
  using Answer = int (*)();
  auto answer = reinterpret_cast<Answer>(GetProcAddress(plugin, "KestrowTestAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_TRUE(FreeLibrary(plugin));
  EXPECT_EQ(LoadLibraryA("definitely-not-here.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

}  // namespace
