// One computer and the network-management calls the program is built around: its sessions,
// the resources open over the network, closing one, ending a session, sending a message.
#pragma once

#include <type_traits>
#include "orvlib/orvObject.h"

#include "platform/win32/netapi.h"
#include "platform/win32/winerror.h"

namespace Orv {

// An account handed to a computer; the computer destroys it with itself.
class TorvAccount {
 public:
  virtual ~TorvAccount() = default;
};

// A buffer allocated by the network-management calls, released with NetApiBufferFree.
template <class T>
class NetApiBuffer {
 public:
  NetApiBuffer() = default;
  ~NetApiBuffer() { reset(); }
  NetApiBuffer(const NetApiBuffer&) = delete;
  NetApiBuffer& operator=(const NetApiBuffer&) = delete;
  T* get() const { return FData; }
  template <class U = T>
  std::enable_if_t<!std::is_void_v<U>, U&> operator[](DWORD i) const {
    return FData[i];
  }
  explicit operator bool() const { return FData != nullptr; }
  void reset(T* data = nullptr) {
    if (FData) NetApiBufferFree(FData);
    FData = data;
  }

 private:
  T* FData = nullptr;
};

class TorvComputer : public TorvObject {
 public:
  // name: the UNC name ("\\NAME"), required; account may be null.
  TorvComputer(const WCHAR* name, TorvAccount* account);
  ~TorvComputer() override;

  void GetDisplayName(WCHAR*& name) override;
  BYTE GetKind() override;
  void GetChildren(TorvObject**& objects, DWORD& count) override;

  void EnumSessions();
  void EnumOpenFiles();
  void CloseOpenFile(DWORD id);
  void DeleteSession(SESSION_INFO_502 entry);
  void SendNetMessage(const WCHAR* to, const WCHAR* message, const WCHAR* from);

  // The last enumerations; valid until the next enumeration of the same list.
  NetApiBuffer<SESSION_INFO_502> FSessions;
  DWORD FSessionCount = 0;
  NetApiBuffer<FILE_INFO_3> FOpenFiles;
  DWORD FOpenFileCount = 0;

 private:
  std::unique_ptr<TorvAccount> FAccount;
  // Reserved: filled by none of this system's operations, released when set.
  NetApiBuffer<void> FServerInfo;
  NetApiBuffer<void> FReserved1, FReserved2;
  DWORD FReserved1Count = 0, FReserved2Count = 0;
  void* FTerminalSessions = nullptr;
  void* FTerminalProcesses = nullptr;
  DWORD FTerminalSessionCount = 0, FTerminalProcessCount = 0;
  HANDLE FTerminalServer = nullptr;
};

// The local computer's UNC name ("\\" and its NetBIOS name), new[]-allocated. Raises the system
// form of Orv::TError on failure.
void GetLocalComputerUncName(WCHAR*& name);

}  // namespace Orv
