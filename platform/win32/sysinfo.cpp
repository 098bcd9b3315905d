#include "platform/win32/sysinfo.h"

#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "platform/linux/samba_netbios.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/strings.h"
#include "platform/win32/winerror.h"

namespace {

struct VersionOverride {
  bool fails = false;
  DWORD platform = VER_PLATFORM_WIN32_NT, major = 10, minor = 0;
};
std::mutex g_versionLock;
std::optional<VersionOverride> g_version;

}  // namespace

std::string win32::ExecutablePath() {
  std::string path(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0) return {};
  path.resize(static_cast<size_t>(n));
  return path;
}

BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string name = win32::Utf16FromUtf8(linuxsys::NetbiosName());
  if (name.empty()) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  if (!buffer || *size < name.size() + 1) {
    *size = static_cast<DWORD>(name.size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = u'\0';
  *size = static_cast<DWORD>(name.size());
  return TRUE;
}

BOOL GetVersionExW(LPOSVERSIONINFOW info) {
  if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) &&
                info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  VersionOverride v;
  {
    std::lock_guard guard(g_versionLock);
    if (g_version) v = *g_version;
  }
  if (v.fails) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD recordSize = info->dwOSVersionInfoSize;
  std::memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0, recordSize - sizeof(DWORD));
  info->dwMajorVersion = v.major;
  info->dwMinorVersion = v.minor;
  info->dwPlatformId = v.platform;
  utsname uts{};
  if (uname(&uts) == 0) {
    unsigned a = 0, b = 0, c = 0;
    std::sscanf(uts.release, "%u.%u.%u", &a, &b, &c);
    info->dwBuildNumber = c;
    std::u16string release = win32::Utf16FromUtf8(std::string("Linux ") + uts.release);
    release.resize(std::min<size_t>(release.size(), 127));
    std::copy(release.begin(), release.end(), info->szCSDVersion);
  }
  if (recordSize == sizeof(OSVERSIONINFOEXW)) {
    reinterpret_cast<OSVERSIONINFOEXW*>(info)->wProductType = 1;  // a workstation
  }
  return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  if (module || !buffer || size == 0) {
    SetLastError(module ? ERROR_MOD_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string utf8 = win32::ExecutablePath();
  std::u16string wide = win32::Utf16FromUtf8(utf8);
  std::string ansi;
  if (utf8.empty() || !win32::Utf16ToAnsi(wide, ansi)) {
    SetLastError(ERROR_GEN_FAILURE);
    return 0;
  }
  // As on Windows: a short buffer gets the cut, terminated path and ERROR_INSUFFICIENT_BUFFER.
  if (ansi.size() + 1 > size) {
    std::memcpy(buffer, ansi.data(), size - 1);
    buffer[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, ansi.c_str(), ansi.size() + 1);
  return static_cast<DWORD>(ansi.size());
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  if (module || !buffer || size == 0) {
    SetLastError(module ? ERROR_MOD_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string wide = win32::Utf16FromUtf8(win32::ExecutablePath());
  if (wide.size() + 1 > size) {
    std::copy_n(wide.begin(), size - 1, buffer);
    buffer[size - 1] = u'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::copy(wide.begin(), wide.end(), buffer);
  buffer[wide.size()] = u'\0';
  return static_cast<DWORD>(wide.size());
}

void Sleep(DWORD milliseconds) {
  timespec ts{static_cast<time_t>(milliseconds / 1000),
              static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

DWORD GetTickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<DWORD>(ts.tv_sec * 1000ULL + ts.tv_nsec / 1000000);
}

DWORD GetCurrentProcessId() {
  return static_cast<DWORD>(getpid());
}

int WSAStartup(WORD versionRequested, LPWSADATA data) {
  constexpr int kWSAVERNOTSUPPORTED = 10092;
  constexpr int kWSAEFAULT = 10014;
  if (!data) return kWSAEFAULT;
  const BYTE major = versionRequested & 0xFF, minor = versionRequested >> 8;
  std::memset(data, 0, sizeof(*data));
  data->wHighVersion = 0x0202;
  if (major < 1 || (major == 1 && minor < 1)) return kWSAVERNOTSUPPORTED;
  data->wVersion = (major > 2 || (major == 2 && minor > 2)) ? WORD{0x0202} : versionRequested;
  std::strcpy(data->szDescription, "Linux sockets");
  std::strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = 0;
  data->iMaxUdpDg = 0;
  return 0;
}

int WSACleanup() {
  return 0;
}

namespace win32::testing {
void SetVersion(DWORD platformId, DWORD major, DWORD minor) {
  std::lock_guard guard(g_versionLock);
  g_version = VersionOverride{false, platformId, major, minor};
}
void SetVersionFails() {
  std::lock_guard guard(g_versionLock);
  g_version = VersionOverride{true, 0, 0, 0};
}
void ResetVersion() {
  std::lock_guard guard(g_versionLock);
  g_version.reset();
}
}  // namespace win32::testing
