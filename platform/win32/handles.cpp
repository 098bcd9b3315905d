#include "platform/win32/handles.h"

#include <cerrno>
#include <mutex>
#include <unordered_map>

#include "platform/win32/lasterror.h"
#include "platform/win32/winerror.h"

namespace win32 {

namespace {

struct HandleTable {
  std::mutex lock;
  std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
  std::uintptr_t next = 4;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // outlives static destructors of callers
  return *table;
}

}  // namespace

BOOL KernelObject::Read(void*, DWORD, DWORD*) {
  return FailWith(ERROR_INVALID_HANDLE);
}
BOOL KernelObject::Write(const void*, DWORD, DWORD*) {
  return FailWith(ERROR_INVALID_HANDLE);
}
BOOL KernelObject::Flush() {
  return FailWith(ERROR_INVALID_HANDLE);
}

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  auto& table = Table();
  std::lock_guard guard(table.lock);
  // Values are multiples of 4 as on Windows, never 0 or INVALID_HANDLE_VALUE.
  std::uintptr_t value = table.next;
  table.next += 4;
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  auto& table = Table();
  std::lock_guard guard(table.lock);
  auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == table.objects.end() ? nullptr : it->second;
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EPIPE:
      return ERROR_BROKEN_PIPE;
    case EAGAIN:
      return ERROR_LOCK_VIOLATION;
    case ETIMEDOUT:
      return ERROR_SEM_TIMEOUT;
    case ECONNREFUSED:
      return ERROR_CONNECTION_REFUSED;
    case ENOSYS:
    case EOPNOTSUPP:
      return ERROR_NOT_SUPPORTED;
    case EIO:
      return ERROR_GEN_FAILURE;
    default:
      return ERROR_GEN_FAILURE;
  }
}

BOOL FailWith(DWORD code) {
  SetLastError(code);
  return FALSE;
}

BOOL FailWithErrno() {
  return FailWith(ErrorFromErrno(errno));
}

}  // namespace win32

BOOL CloseHandle(HANDLE handle) {
  auto& table = win32::Table();
  std::shared_ptr<win32::KernelObject> object;
  {
    std::lock_guard guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == table.objects.end()) return win32::FailWith(ERROR_INVALID_HANDLE);
    object = std::move(it->second);
    table.objects.erase(it);
  }
  object->Closed();
  return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
  if (read) *read = 0;
  auto object = win32::LookupHandle(file);
  if (!object) return win32::FailWith(ERROR_INVALID_HANDLE);
  DWORD done = 0;
  BOOL ok = object->Read(buffer, toRead, &done);
  if (read) *read = done;
  return ok;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED) {
  if (written) *written = 0;
  auto object = win32::LookupHandle(file);
  if (!object) return win32::FailWith(ERROR_INVALID_HANDLE);
  DWORD done = 0;
  BOOL ok = object->Write(buffer, toWrite, &done);
  if (written) *written = done;
  return ok;
}

BOOL FlushFileBuffers(HANDLE file) {
  auto object = win32::LookupHandle(file);
  if (!object) return win32::FailWith(ERROR_INVALID_HANDLE);
  return object->Flush();
}
