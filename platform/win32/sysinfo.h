// System information: computer name, version, the module's own path, Windows Sockets start-up.
#pragma once

#include <string>

#include "platform/win32/wintypes.h"

inline constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;
inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};
struct OSVERSIONINFOEXW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};
static_assert(sizeof(OSVERSIONINFOW) == 276);
static_assert(sizeof(OSVERSIONINFOEXW) == 284);
using LPOSVERSIONINFOW = OSVERSIONINFOW*;

// This computer's NetBIOS name: the configured Samba's "netbios name", else the host name's
// first label in upper case, cut to 15 characters. *size is in characters: on entry the buffer
// size, on success the length without the terminator; too small a buffer fails with
// ERROR_BUFFER_OVERFLOW (111) and *size set to the size needed.
BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size);
inline constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;

// The layer reports Windows NT 10.0 with the running kernel's release in szCSDVersion; it
// accepts the 276- and 284-byte record sizes and fails with ERROR_INSUFFICIENT_BUFFER otherwise.
BOOL GetVersionExW(LPOSVERSIONINFOW info);

// The full path of the running executable (module null) in the ANSI code page.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

void Sleep(DWORD milliseconds);
DWORD GetTickCount();
DWORD GetCurrentProcessId();

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};
using LPWSADATA = WSADATA*;
// Linux sockets need no start-up; the call reports the version asked for (1.1 to 2.2).
int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSACleanup();

namespace win32 {
// The running executable's full path (UTF-8), empty when it cannot be read.
std::string ExecutablePath();
}  // namespace win32

namespace win32::testing {
// Makes GetVersionExW report another version, or fail (both record sizes), until reset.
void SetVersion(DWORD platformId, DWORD major, DWORD minor);
void SetVersionFails();
void ResetVersion();
}  // namespace win32::testing
