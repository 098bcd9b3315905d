// Files with the Windows semantics: CreateFileW with share modes that hold across processes,
// the file pointer, end of file and byte-range locks. ReadFile, WriteFile,
// FlushFileBuffers and CloseHandle (handles.h) work on these handles; FlushFileBuffers is fsync.
//
// Share modes: every handle is its own open file description, and records what it does and
// what it refuses as shared (read) OFD locks on four bytes far beyond any real data: "has read
// access", "has write access", "denies read sharing", "denies write sharing". An opener tests
// the bytes that conflict with its request while holding an exclusive OFD lock on a fifth byte,
// so the test and the recording are atomic across threads and processes. The records vanish
// with the last close of the description, also when a process dies.
//
// LockFile / UnlockFile are exclusive non-blocking OFD locks (F_OFD_SETLK): two handles exclude
// each other even within one process, as on Windows. Linux byte-range locks are advisory, so a
// locked range still reads and writes through other handles; callers that cooperate through
// LockFile (as all of ours do) see the Windows behaviour.
#pragma once

#include <cstdint>

#include "platform/win32/wintypes.h"

inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD GENERIC_ALL = 0x10000000;

inline constexpr DWORD FILE_SHARE_READ = 0x00000001;
inline constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
inline constexpr DWORD FILE_SHARE_DELETE = 0x00000004;

inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;

inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;

using PLONG = LONG*;

// Returns INVALID_HANDLE_VALUE and sets the last error on failure: ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND, ERROR_FILE_EXISTS (CREATE_NEW), ERROR_SHARING_VIOLATION,
// ERROR_ACCESS_DENIED (also for a directory), ERROR_INVALID_PARAMETER. OPEN_ALWAYS and
// CREATE_ALWAYS set ERROR_ALREADY_EXISTS when the file was there, else 0. The security
// attributes and the template are ignored; handles are never inherited by child programs.
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES security, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);

// Without distanceHigh the distance is a signed 32-bit value and a result past 4 GiB - 2
// fails. Returns the low 32 bits of the new position; INVALID_SET_FILE_POINTER with a last
// error other than NO_ERROR is a failure (ERROR_NEGATIVE_SEEK for a position before 0).
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD moveMethod);

// Cuts or extends the file to the current file pointer.
BOOL SetEndOfFile(HANDLE file);

// Exclusive lock of a byte range, refused at once (ERROR_LOCK_VIOLATION) when any other handle
// holds an overlapping lock or this handle already does. A zero-length range is
// ERROR_INVALID_PARAMETER; a file this process may only read (opened without write permission)
// cannot carry an exclusive lock on Linux and gives ERROR_ACCESS_DENIED.
BOOL LockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD bytesLow, DWORD bytesHigh);
// Releases a range exactly as it was locked through this handle; else ERROR_NOT_LOCKED.
BOOL UnlockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD bytesLow, DWORD bytesHigh);

namespace win32::testing {

// How many LockFile calls in this process were refused with ERROR_LOCK_VIOLATION.
std::uint64_t LockViolationCount();

}  // namespace win32::testing
