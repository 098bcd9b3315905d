#include "platform/win32/system_libraries.h"

#include <cstdlib>

#include "platform/win32/lasterror.h"
#include "platform/win32/winerror.h"

namespace {

// Process status. These back the process list's modules; they serve nothing yet.
BOOL EnumProcessModules(HANDLE, HMODULE*, DWORD, LPDWORD needed) {
  if (needed) *needed = 0;
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
BOOL EnumProcesses(DWORD*, DWORD, LPDWORD returned) {
  if (returned) *returned = 0;
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
DWORD GetModuleFileNameExW(HANDLE, HMODULE, LPWSTR buffer, DWORD size) {
  if (buffer && size) buffer[0] = u'\0';
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return 0;
}

// Remote access administration: Linux has no such service; results are error codes.
DWORD MprAdminUserSetInfo(LPCWSTR, LPCWSTR, DWORD, const BYTE*) {
  return ERROR_CALL_NOT_IMPLEMENTED;
}
DWORD MprAdminUserGetInfo(LPCWSTR, LPCWSTR, DWORD, BYTE*) {
  return ERROR_CALL_NOT_IMPLEMENTED;
}

// Terminal services. No call of this layer hands out terminal-services memory or server
// handles, so the release functions accept what they are given and do nothing else.
void WTSFreeMemory(LPVOID memory) {
  std::free(memory);
}
void WTSCloseServer(HANDLE) {}
HANDLE WTSOpenServerW(LPWSTR) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return nullptr;
}
BOOL WTSEnumerateSessionsW(HANDLE, DWORD, DWORD, LPVOID* sessions, LPDWORD count) {
  if (sessions) *sessions = nullptr;
  if (count) *count = 0;
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
BOOL WTSQuerySessionInformationW(HANDLE, DWORD, int, LPWSTR* buffer, LPDWORD bytes) {
  if (buffer) *buffer = nullptr;
  if (bytes) *bytes = 0;
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
BOOL WTSEnumerateProcessesW(HANDLE, DWORD, DWORD, LPVOID* processes, LPDWORD count) {
  if (processes) *processes = nullptr;
  if (count) *count = 0;
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
BOOL WTSDisconnectSession(HANDLE, DWORD, BOOL) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
BOOL WTSLogoffSession(HANDLE, DWORD, BOOL) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
BOOL WTSTerminateProcess(HANDLE, DWORD, DWORD) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
BOOL WTSSendMessageW(HANDLE, DWORD, LPWSTR, DWORD, LPWSTR, DWORD, DWORD, DWORD, DWORD* response,
                     BOOL) {
  if (response) *response = 0;
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}

// Directory services (COM results).
HRESULT ADsOpenObject(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, const void*, void** object) {
  if (object) *object = nullptr;
  return E_NOTIMPL;
}
HRESULT ADsGetObject(LPCWSTR, const void*, void** object) {
  if (object) *object = nullptr;
  return E_NOTIMPL;
}
HRESULT ADsBuildVarArrayStr(LPWSTR*, DWORD, void*) {
  return E_NOTIMPL;
}
HRESULT ADsBuildEnumerator(void*, void** enumerator) {
  if (enumerator) *enumerator = nullptr;
  return E_NOTIMPL;
}
HRESULT ADsEnumerateNext(void*, ULONG, void*, ULONG* fetched) {
  if (fetched) *fetched = 0;
  return E_NOTIMPL;
}
HRESULT ADsFreeEnumerator(void*) {
  return E_NOTIMPL;
}

// Directory-service binding (Win32 error results).
void DsFreeDomainControllerInfoW(DWORD, DWORD, LPVOID) {}
DWORD DsUnBindW(HANDLE* handle) {
  if (handle) *handle = nullptr;
  return ERROR_INVALID_HANDLE;
}
DWORD DsBindW(LPCWSTR, LPCWSTR, HANDLE* handle) {
  if (handle) *handle = nullptr;
  return ERROR_CALL_NOT_IMPLEMENTED;
}
DWORD DsGetDomainControllerInfoW(HANDLE, LPCWSTR, DWORD, LPDWORD count, LPVOID* info) {
  if (count) *count = 0;
  if (info) *info = nullptr;
  return ERROR_CALL_NOT_IMPLEMENTED;
}

template <class F>
FARPROC Entry(F* f) {
  return reinterpret_cast<FARPROC>(f);
}

const win32::BuiltinExport kPsapi[] = {
    {"EnumProcessModules", Entry(EnumProcessModules)},
    {"EnumProcesses", Entry(EnumProcesses)},
    {"GetModuleFileNameExW", Entry(GetModuleFileNameExW)},
};
const win32::BuiltinExport kMprapi[] = {
    {"MprAdminUserSetInfo", Entry(MprAdminUserSetInfo)},
    {"MprAdminUserGetInfo", Entry(MprAdminUserGetInfo)},
};
const win32::BuiltinExport kWtsapi32[] = {
    {"WTSFreeMemory", Entry(WTSFreeMemory)},
    {"WTSCloseServer", Entry(WTSCloseServer)},
    {"WTSOpenServerW", Entry(WTSOpenServerW)},
    {"WTSEnumerateSessionsW", Entry(WTSEnumerateSessionsW)},
    {"WTSQuerySessionInformationW", Entry(WTSQuerySessionInformationW)},
    {"WTSEnumerateProcessesW", Entry(WTSEnumerateProcessesW)},
    {"WTSDisconnectSession", Entry(WTSDisconnectSession)},
    {"WTSLogoffSession", Entry(WTSLogoffSession)},
    {"WTSTerminateProcess", Entry(WTSTerminateProcess)},
    {"WTSSendMessageW", Entry(WTSSendMessageW)},
};
const win32::BuiltinExport kActiveDS[] = {
    {"ADsOpenObject", Entry(ADsOpenObject)},
    {"ADsGetObject", Entry(ADsGetObject)},
    {"ADsBuildVarArrayStr", Entry(ADsBuildVarArrayStr)},
    {"ADsBuildEnumerator", Entry(ADsBuildEnumerator)},
    {"ADsEnumerateNext", Entry(ADsEnumerateNext)},
    {"ADsFreeEnumerator", Entry(ADsFreeEnumerator)},
};
const win32::BuiltinExport kNtdsapi[] = {
    {"DsFreeDomainControllerInfoW", Entry(DsFreeDomainControllerInfoW)},
    {"DsUnBindW", Entry(DsUnBindW)},
    {"DsBindW", Entry(DsBindW)},
    {"DsGetDomainControllerInfoW", Entry(DsGetDomainControllerInfoW)},
};

template <size_t N>
win32::BuiltinModule Module(const char* name, const win32::BuiltinExport (&exports)[N]) {
  return {name, exports, N};
}

}  // namespace

namespace win32 {
std::vector<BuiltinModule> SystemLibraryModules() {
  return {Module("Psapi.dll", kPsapi), Module("Mprapi.dll", kMprapi),
          Module("Wtsapi32.dll", kWtsapi32), Module("ActiveDS.dll", kActiveDS),
          Module("Ntdsapi.dll", kNtdsapi)};
}
}  // namespace win32
