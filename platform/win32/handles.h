// Kernel-object handles. Every HANDLE the layer gives out (files, pipes, mutexes, tokens) is an
// entry of one process-wide table; CloseHandle, ReadFile, WriteFile and FlushFileBuffers dispatch
// to the object behind it. Objects are shared, so a thread blocked in one keeps it alive while
// another thread closes the handle.
#pragma once

#include <memory>

#include "platform/win32/wintypes.h"

namespace win32 {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Each sets the last error and returns FALSE when the object does not support it.
  virtual BOOL Read(void* buffer, DWORD size, DWORD* read);
  virtual BOOL Write(const void* buffer, DWORD size, DWORD* written);
  virtual BOOL Flush();
  // Called once when the last handle to it is closed; blocked callers should wake up.
  virtual void Closed() {}
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// The Windows error code nearest to an errno value.
DWORD ErrorFromErrno(int error);
// Sets the last error from errno and returns FALSE, for the common failure path.
BOOL FailWithErrno();
BOOL FailWith(DWORD code);

}  // namespace win32

BOOL CloseHandle(HANDLE handle);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
               LPOVERLAPPED overlapped);
BOOL FlushFileBuffers(HANDLE file);
