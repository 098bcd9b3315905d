// Binding of the optional system libraries, the version tests and privilege enabling.
#pragma once

#include "platform/win32/wintypes.h"

// The binding table: a module handle per library, an address per entry point, null while unbound.
struct SystemBindingTable {
  HMODULE Psapi, Mprapi, Wtsapi32, ActiveDS, Ntdsapi;
  FARPROC EnumProcessModules, EnumProcesses, GetModuleFileNameExW;
  FARPROC MprAdminUserSetInfo, MprAdminUserGetInfo;
  FARPROC WTSFreeMemory, WTSCloseServer, WTSOpenServerW, WTSEnumerateSessionsW,
      WTSQuerySessionInformationW, WTSEnumerateProcessesW, WTSDisconnectSession, WTSLogoffSession,
      WTSTerminateProcess, WTSSendMessageW;
  FARPROC ADsOpenObject, ADsGetObject, ADsBuildVarArrayStr, ADsBuildEnumerator, ADsEnumerateNext,
      ADsFreeEnumerator;
  FARPROC DsFreeDomainControllerInfoW, DsUnBindW, DsBindW, DsGetDomainControllerInfoW;
};
extern SystemBindingTable SystemBinding;

bool BindSystemLibraries();
bool UnbindSystemLibraries();
bool IsWindows2000OrLater();
bool IsWindowsXPOrLater();
// Raises Orv::TError* on failure.
void EnablePrivilege(const WCHAR* name);
bool EnableDebugPrivilege();
