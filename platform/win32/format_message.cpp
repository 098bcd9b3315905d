#include "platform/win32/format_message.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/win32/lasterror.h"
#include "platform/win32/strings.h"
#include "platform/win32/winerror.h"

namespace {

// Descriptions of the codes this layer reports, in our own words.
const std::unordered_map<DWORD, const char*>& SystemTexts() {
  static const std::unordered_map<DWORD, const char*> texts = {
      {ERROR_SUCCESS, "The operation completed successfully."},
      {ERROR_INVALID_FUNCTION, "Incorrect function."},
      {ERROR_FILE_NOT_FOUND, "The file was not found."},
      {ERROR_PATH_NOT_FOUND, "The path was not found."},
      {ERROR_TOO_MANY_OPEN_FILES, "Too many files are open."},
      {ERROR_ACCESS_DENIED, "Access is denied."},
      {ERROR_INVALID_HANDLE, "The handle is invalid."},
      {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory to complete the operation."},
      {ERROR_INVALID_DATA, "The data is invalid."},
      {ERROR_OUTOFMEMORY, "Not enough storage to complete the operation."},
      {ERROR_WRITE_FAULT, "The device cannot be written to."},
      {ERROR_READ_FAULT, "The device cannot be read from."},
      {ERROR_GEN_FAILURE, "A device attached to the system is not functioning."},
      {ERROR_SHARING_VIOLATION, "The file is in use by another process."},
      {ERROR_LOCK_VIOLATION, "Another process has locked a portion of the file."},
      {ERROR_HANDLE_EOF, "Reached the end of the file."},
      {ERROR_NOT_SUPPORTED, "The request is not supported on this system."},
      {ERROR_BAD_NETPATH, "The network path was not found."},
      {ERROR_BAD_NET_NAME, "The network name cannot be found."},
      {ERROR_FILE_EXISTS, "The file exists."},
      {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
      {ERROR_BROKEN_PIPE, "The pipe has been ended."},
      {ERROR_DISK_FULL, "There is not enough space on the disk."},
      {ERROR_CALL_NOT_IMPLEMENTED, "This function is not supported on this system."},
      {ERROR_SEM_TIMEOUT, "The operation timed out."},
      {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
      {ERROR_INVALID_NAME, "The name is not valid."},
      {ERROR_INVALID_LEVEL, "The system call level is not correct."},
      {ERROR_MOD_NOT_FOUND, "The module could not be found."},
      {ERROR_PROC_NOT_FOUND, "The entry point could not be found."},
      {ERROR_ALREADY_EXISTS, "The object already exists."},
      {ERROR_PIPE_BUSY, "All pipe instances are busy."},
      {ERROR_NO_DATA, "The pipe is being closed."},
      {ERROR_PIPE_NOT_CONNECTED, "No process is on the other end of the pipe."},
      {ERROR_MORE_DATA, "More data is available."},
      {ERROR_PIPE_CONNECTED, "There is a process on the other end of the pipe."},
      {ERROR_NO_UNICODE_TRANSLATION, "No mapping for the character exists in the code page."},
      {ERROR_NOT_ALL_ASSIGNED, "Not all privileges referenced are assigned to the caller."},
      {ERROR_NO_SUCH_PRIVILEGE, "The privilege does not exist."},
      {ERROR_PRIVILEGE_NOT_HELD, "A required privilege is not held by the client."},
      {ERROR_TIMEOUT, "The operation returned because the timeout period expired."},
      {ERROR_CONNECTION_REFUSED, "The remote computer refused the connection."},
      {NERR_UserNotFound, "The user name could not be found."},
      {NERR_ClientNameNotFound, "The session does not exist with that computer name."},
      {NERR_FileIdNotFound, "There is not an open file with that identification number."},
      {NERR_NameNotFound, "The message alias could not be found on the network."},
      {NERR_ServerNotStarted, "The Server service is not started."},
      {NERR_InternalError, "An internal error occurred."},
  };
  return texts;
}

}  // namespace

DWORD FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPWSTR buffer, DWORD size,
                     va_list*) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto it = SystemTexts().find(messageId);
  if (it == SystemTexts().end()) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  std::u16string text = win32::Utf16FromUtf8(it->second);
  text += u"\r\n";
  const size_t bytes = (text.size() + 1) * sizeof(char16_t);
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    auto* out = static_cast<char16_t*>(LocalAlloc(LMEM_FIXED, bytes));
    if (!out) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    std::memcpy(out, text.c_str(), bytes);
    *reinterpret_cast<LPWSTR*>(buffer) = out;
  } else {
    if (size < text.size() + 1) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    std::memcpy(buffer, text.c_str(), bytes);
  }
  return static_cast<DWORD>(text.size());
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  void* p =
      (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
  if (!p) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return p;
}

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}
