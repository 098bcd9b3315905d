#include "platform/win32/security.h"

#include <sys/capability.h>

#include <memory>
#include <string_view>

#include "platform/win32/handles.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/winerror.h"

namespace {

constexpr DWORD kDebugLuid = 20;  // SeDebugPrivilege's well-known value

class ProcessToken : public win32::KernelObject {
 public:
  explicit ProcessToken(DWORD access) : access_(access) {}
  DWORD access() const { return access_; }

 private:
  DWORD access_;
};

struct CapFree {
  void operator()(cap_t c) const { cap_free(c); }
};
using Caps = std::unique_ptr<std::remove_pointer_t<cap_t>, CapFree>;

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

// Raises or drops one capability in the effective set; false when it is not permitted.
bool SetEffective(cap_value_t cap, bool on, bool* notPermitted) {
  Caps caps(cap_get_proc());
  if (!caps) return false;
  cap_flag_value_t permitted = CAP_CLEAR;
  cap_get_flag(caps.get(), cap, CAP_PERMITTED, &permitted);
  if (on && permitted != CAP_SET) {
    *notPermitted = true;
    return true;
  }
  cap_value_t list[] = {cap};
  if (cap_set_flag(caps.get(), CAP_EFFECTIVE, 1, list, on ? CAP_SET : CAP_CLEAR) != 0) return false;
  return cap_set_proc(caps.get()) == 0;
}

}  // namespace

HANDLE GetCurrentProcess() {
  return kCurrentProcess;
}

BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token) {
  if (!token) return win32::FailWith(ERROR_INVALID_PARAMETER);
  *token = nullptr;
  if (process != kCurrentProcess) return win32::FailWith(ERROR_ACCESS_DENIED);
  *token = win32::InsertHandle(std::make_shared<ProcessToken>(desiredAccess));
  return TRUE;
}

BOOL LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, PLUID luid) {
  if (!name || !luid) return win32::FailWith(ERROR_INVALID_PARAMETER);
  if (systemName && *systemName) return win32::FailWith(ERROR_NOT_SUPPORTED);
  // Privilege names compare without case on Windows.
  std::u16string_view n(name), debug(SE_DEBUG_NAME);
  bool same = n.size() == debug.size();
  for (size_t i = 0; same && i < n.size(); ++i) {
    auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; };
    same = lower(n[i]) == lower(debug[i]);
  }
  if (!same) return win32::FailWith(ERROR_NO_SUCH_PRIVILEGE);
  luid->LowPart = kDebugLuid;
  luid->HighPart = 0;
  return TRUE;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD,
                           PTOKEN_PRIVILEGES previousState, LPDWORD returnLength) {
  auto t = win32::LookupHandleAs<ProcessToken>(token);
  if (!t) return win32::FailWith(ERROR_INVALID_HANDLE);
  if (!(t->access() & TOKEN_ADJUST_PRIVILEGES)) return win32::FailWith(ERROR_ACCESS_DENIED);
  if (previousState || returnLength) return win32::FailWith(ERROR_NOT_SUPPORTED);
  bool notAssigned = false;
  if (disableAll) {
    if (!SetEffective(CAP_SYS_PTRACE, false, &notAssigned)) return win32::FailWithErrno();
  } else {
    if (!newState) return win32::FailWith(ERROR_INVALID_PARAMETER);
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
      const auto& p = newState->Privileges[i];
      if (p.Luid.LowPart != kDebugLuid || p.Luid.HighPart != 0) {
        notAssigned = true;
        continue;
      }
      bool on = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
      if (!SetEffective(CAP_SYS_PTRACE, on, &notAssigned)) return win32::FailWithErrno();
    }
  }
  SetLastError(notAssigned ? ERROR_NOT_ALL_ASSIGNED : ERROR_SUCCESS);
  return TRUE;
}
