#include "app/SystemBinding.h"

#include <string>

#include "app/Error.h"
#include "lang/CoreDictionary.h"
#include "platform/win32/handles.h"
#include "platform/win32/library.h"
#include "platform/win32/security.h"
#include "platform/win32/strings.h"
#include "platform/win32/sysinfo.h"

SystemBindingTable SystemBinding{};

namespace {

struct Library {
  const char16_t* file;
  const char16_t* message;
  HMODULE SystemBindingTable::*handle;
  struct Entry {
    const char* name;
    FARPROC SystemBindingTable::*address;
  };
  std::initializer_list<Entry> entries;
};

using T = SystemBindingTable;
const Library kLibraries[] = {
    {u"Psapi.dll",
     u"error loading Psapi.dll",
     &T::Psapi,
     {{"EnumProcessModules", &T::EnumProcessModules},
      {"EnumProcesses", &T::EnumProcesses},
      {"GetModuleFileNameExW", &T::GetModuleFileNameExW}}},
    {u"Mprapi.dll",
     u"error loading Mprapi.dll",
     &T::Mprapi,
     {{"MprAdminUserSetInfo", &T::MprAdminUserSetInfo},
      {"MprAdminUserGetInfo", &T::MprAdminUserGetInfo}}},
    {u"Wtsapi32.dll",
     u"error loading Wtsapi32.dll",
     &T::Wtsapi32,
     {{"WTSFreeMemory", &T::WTSFreeMemory},
      {"WTSCloseServer", &T::WTSCloseServer},
      {"WTSOpenServerW", &T::WTSOpenServerW},
      {"WTSEnumerateSessionsW", &T::WTSEnumerateSessionsW},
      {"WTSQuerySessionInformationW", &T::WTSQuerySessionInformationW},
      {"WTSEnumerateProcessesW", &T::WTSEnumerateProcessesW},
      {"WTSDisconnectSession", &T::WTSDisconnectSession},
      {"WTSLogoffSession", &T::WTSLogoffSession},
      {"WTSTerminateProcess", &T::WTSTerminateProcess},
      {"WTSSendMessageW", &T::WTSSendMessageW}}},
    {u"ActiveDS.dll",
     u"error loading ActiveDS.dll",
     &T::ActiveDS,
     {{"ADsOpenObject", &T::ADsOpenObject},
      {"ADsGetObject", &T::ADsGetObject},
      {"ADsBuildVarArrayStr", &T::ADsBuildVarArrayStr},
      {"ADsBuildEnumerator", &T::ADsBuildEnumerator},
      {"ADsEnumerateNext", &T::ADsEnumerateNext},
      {"ADsFreeEnumerator", &T::ADsFreeEnumerator}}},
    {u"Ntdsapi.dll",
     u"error loading Ntdsapi.dll",
     &T::Ntdsapi,
     {{"DsFreeDomainControllerInfoW", &T::DsFreeDomainControllerInfoW},
      {"DsUnBindW", &T::DsUnBindW},
      {"DsBindW", &T::DsBindW},
      {"DsGetDomainControllerInfoW", &T::DsGetDomainControllerInfoW}}},
};

// The version record as the tests ask for it: the extended size first, then the plain one.
bool QueryVersion(OSVERSIONINFOEXW& info) {
  info = OSVERSIONINFOEXW{};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
  if (GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&info))) return true;
  info = OSVERSIONINFOEXW{};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  return GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&info)) != FALSE;
}

}  // namespace

bool BindSystemLibraries() {
  for (const Library& lib : kLibraries) SystemBinding.*lib.handle = LoadLibraryW(lib.file);
  try {
    for (const Library& lib : kLibraries) {
      if (!(SystemBinding.*lib.handle)) Orv::RaisePlainError(lib.message);
    }
    for (const Library& lib : kLibraries) {
      for (const auto& entry : lib.entries) {
        SystemBinding.*entry.address = GetProcAddress(SystemBinding.*lib.handle, entry.name);
        if (!(SystemBinding.*entry.address)) {
          std::u16string message = u"Failed to init ";
          for (const char* c = entry.name; *c; ++c) message += static_cast<char16_t>(*c);
          Orv::RaisePlainError(message);
        }
      }
    }
  } catch (Orv::TError* e) {
    ShowError(e);
    return false;
  }
  return true;
}

bool UnbindSystemLibraries() {
  for (const Library& lib : kLibraries) {
    if (SystemBinding.*lib.handle) {
      FreeLibrary(SystemBinding.*lib.handle);
      SystemBinding.*lib.handle = nullptr;
    }
  }
  return true;
}

bool IsWindows2000OrLater() {
  OSVERSIONINFOEXW info;
  if (!QueryVersion(info)) return false;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
}

bool IsWindowsXPOrLater() {
  OSVERSIONINFOEXW info;
  if (!QueryVersion(info)) return false;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
         ((info.dwMajorVersion == 5 && info.dwMinorVersion >= 1) || info.dwMajorVersion > 5);
}

void EnablePrivilege(const WCHAR* name) {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid);
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  // The token handle is released here; it is not needed past the adjustment.
  if (token) CloseHandle(token);
  if (!adjusted) Orv::RaiseLibraryError(u"Getting necessary privilegies failed!");
}

bool EnableDebugPrivilege() {
  try {
    EnablePrivilege(SE_DEBUG_NAME);
    return true;
  } catch (Orv::TError* e) {
    Orv::TakeError(e);  // released, nothing shown
    return false;
  }
}
