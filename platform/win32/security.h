// The process token and its privileges. A privilege is a Linux capability of the process:
// SeDebugPrivilege is CAP_SYS_PTRACE (reading and signalling other users' processes).
// Enabling raises the capability into the effective set when it is in the permitted set.
#pragma once

#include "platform/win32/wintypes.h"

inline constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x0020;
inline constexpr DWORD TOKEN_QUERY = 0x0008;
inline constexpr DWORD SE_PRIVILEGE_ENABLED = 0x00000002;
inline constexpr const char16_t* SE_DEBUG_NAME = u"SeDebugPrivilege";

struct LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes;
};
struct TOKEN_PRIVILEGES {
  DWORD PrivilegeCount;
  LUID_AND_ATTRIBUTES Privileges[1];
};
using PTOKEN_PRIVILEGES = TOKEN_PRIVILEGES*;

HANDLE GetCurrentProcess();
BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token);
// Only privileges with a capability behind them are known; others fail with
// ERROR_NO_SUCH_PRIVILEGE.
BOOL LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, PLUID luid);
// As on Windows, success with ERROR_NOT_ALL_ASSIGNED when the process may not hold a privilege.
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                           DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                           LPDWORD returnLength);
