// Network management of this computer's SMB server: sessions, open files, closing a file,
// ending sessions, messenger messages. The server is this machine's (linuxsys::
// CurrentSmbServerBackend); a server name other than null, empty, NAME or \\NAME of this
// computer's NetBIOS name fails with ERROR_BAD_NETPATH.
//
// An enumeration returns one block from NetApiBufferAllocate: the records, followed by the
// UTF-16 strings they point to; one NetApiBufferFree releases it. No entries: a null buffer.
#pragma once

#include "platform/win32/wintypes.h"

using PDWORD_PTR = DWORD_PTR*;

inline constexpr DWORD MAX_PREFERRED_LENGTH = 0xFFFFFFFF;

inline constexpr DWORD SESS_GUEST = 0x00000001;
inline constexpr DWORD SESS_NOENCRYPTION = 0x00000002;

inline constexpr DWORD PERM_FILE_READ = 0x1;
inline constexpr DWORD PERM_FILE_WRITE = 0x2;
inline constexpr DWORD PERM_FILE_CREATE = 0x4;

struct SESSION_INFO_502 {
  LPWSTR sesi502_cname;
  LPWSTR sesi502_username;
  DWORD sesi502_num_opens;
  DWORD sesi502_time;
  DWORD sesi502_idle_time;
  DWORD sesi502_user_flags;
  LPWSTR sesi502_cltype_name;
  LPWSTR sesi502_transport;
};
using PSESSION_INFO_502 = SESSION_INFO_502*;
using LPSESSION_INFO_502 = SESSION_INFO_502*;

struct FILE_INFO_3 {
  DWORD fi3_id;
  DWORD fi3_permissions;
  DWORD fi3_num_locks;
  LPWSTR fi3_pathname;
  LPWSTR fi3_username;
};
using PFILE_INFO_3 = FILE_INFO_3*;
using LPFILE_INFO_3 = FILE_INFO_3*;

// Level 502 only (ERROR_INVALID_LEVEL otherwise). clientName ("\\NAME" or "NAME") and userName
// filter when not null; a prefMaxLen below MAX_PREFERRED_LENGTH returns the records that fit
// from *resumeHandle on and ERROR_MORE_DATA while more remain.
NET_API_STATUS NetSessionEnum(LPWSTR serverName, LPWSTR clientName, LPWSTR userName, DWORD level,
                              LPBYTE* buffer, DWORD prefMaxLen, LPDWORD entriesRead,
                              LPDWORD totalEntries, LPDWORD resumeHandle);
// Level 3 only. basePath keeps the files whose path starts with it, userName those of that user.
NET_API_STATUS NetFileEnum(LPWSTR serverName, LPWSTR basePath, LPWSTR userName, DWORD level,
                           LPBYTE* buffer, DWORD prefMaxLen, LPDWORD entriesRead,
                           LPDWORD totalEntries, PDWORD_PTR resumeHandle);
NET_API_STATUS NetFileClose(LPWSTR serverName, DWORD fileId);
// Ends the sessions from clientName ("\\NAME" or "NAME") of userName; either may be null (any),
// not both.
NET_API_STATUS NetSessionDel(LPWSTR serverName, LPWSTR clientName, LPWSTR userName);
// Sends buffer (UTF-16, bufferLength bytes, up to a NUL) to the computer msgName; a null
// fromName is this computer's name.
NET_API_STATUS NetMessageBufferSend(LPCWSTR serverName, LPCWSTR msgName, LPCWSTR fromName,
                                    LPBYTE buffer, DWORD bufferLength);
NET_API_STATUS NetApiBufferAllocate(DWORD byteCount, LPVOID* buffer);
NET_API_STATUS NetApiBufferFree(LPVOID buffer);
