#include "platform/win32/netapi.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/ascii.h"
#include "platform/linux/samba_backend.h"
#include "platform/linux/samba_netbios.h"
#include "platform/win32/strings.h"
#include "platform/win32/winerror.h"

namespace {

using linuxsys::SmbStatus;

NET_API_STATUS FromStatus(SmbStatus status) {
  switch (status) {
    case SmbStatus::kOk:
      return NERR_Success;
    case SmbStatus::kAccessDenied:
      return ERROR_ACCESS_DENIED;
    case SmbStatus::kNotRunning:
    case SmbStatus::kNoConfig:
      return NERR_ServerNotStarted;
    case SmbStatus::kToolMissing:
    case SmbStatus::kNotSupported:
      return ERROR_NOT_SUPPORTED;
    case SmbStatus::kToolFailed:
      return NERR_InternalError;
    case SmbStatus::kBadOutput:
      return ERROR_INVALID_DATA;
    case SmbStatus::kTimeout:
      return ERROR_TIMEOUT;
    case SmbStatus::kFileNotFound:
      return NERR_FileIdNotFound;
    case SmbStatus::kClientNotFound:
      return NERR_ClientNameNotFound;
    case SmbStatus::kUserNotFound:
      return NERR_UserNotFound;
    case SmbStatus::kNameNotFound:
      return NERR_NameNotFound;
    case SmbStatus::kInvalidParameter:
      return ERROR_INVALID_PARAMETER;
  }
  return NERR_InternalError;
}

std::u16string_view View(LPCWSTR s) {
  return s ? std::u16string_view(s) : std::u16string_view();
}

std::string Utf8(LPCWSTR s) {
  return win32::Utf8FromUtf16(View(s));
}

// "\\NAME" and "NAME" both name NAME.
std::string MachineName(LPCWSTR s) {
  std::u16string_view v = View(s);
  if (v.size() >= 2 && v[0] == u'\\' && v[1] == u'\\') v.remove_prefix(2);
  return win32::Utf8FromUtf16(v);
}

using linuxsys::EqualNoCase;

bool IsThisServer(LPCWSTR serverName) {
  if (!serverName || !*serverName) return true;
  std::string name = MachineName(serverName);
  return !name.empty() && EqualNoCase(name, linuxsys::NetbiosName());
}

std::size_t StringBytes(const std::u16string& s) {
  return (s.size() + 1) * sizeof(char16_t);
}

// Lays out `count` records of type Record and their strings in one buffer; fill(i, record,
// place) sets record i, calling place(string) for each string it points to.
template <class Record, class Strings, class Fill>
NET_API_STATUS Pack(std::size_t first, std::size_t count, const Strings& strings, Fill fill,
                    LPBYTE* out) {
  *out = nullptr;
  if (count == 0) return NERR_Success;
  std::size_t size = count * sizeof(Record);
  for (std::size_t i = first; i < first + count; ++i) {
    for (const auto& s : strings[i]) size += StringBytes(s);
  }
  if (size > 0xFFFFFFFFu) return ERROR_NOT_ENOUGH_MEMORY;
  LPVOID block = nullptr;
  if (NET_API_STATUS rc = NetApiBufferAllocate(static_cast<DWORD>(size), &block); rc != 0)
    return rc;
  auto* records = static_cast<Record*>(block);
  auto* text = reinterpret_cast<char16_t*>(static_cast<BYTE*>(block) + count * sizeof(Record));
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t next = 0;
    auto place = [&]() -> LPWSTR {
      const std::u16string& s = strings[first + i][next++];
      LPWSTR at = text;
      std::memcpy(at, s.c_str(), StringBytes(s));
      text += s.size() + 1;
      return at;
    };
    fill(first + i, records[i], place);
  }
  *out = static_cast<LPBYTE>(block);
  return NERR_Success;
}

// How many records from `first` on fit in prefMaxLen bytes.
template <class Record, class Strings>
std::size_t Fitting(std::size_t first, DWORD prefMaxLen, const Strings& strings) {
  if (prefMaxLen == MAX_PREFERRED_LENGTH) return strings.size() - first;
  std::size_t used = 0, n = 0;
  for (std::size_t i = first; i < strings.size(); ++i) {
    std::size_t size = sizeof(Record);
    for (const auto& s : strings[i]) size += StringBytes(s);
    if (used + size > prefMaxLen) break;
    used += size;
    ++n;
  }
  return n;
}

void ClearOutputs(LPBYTE* buffer, LPDWORD entriesRead, LPDWORD totalEntries) {
  if (buffer) *buffer = nullptr;
  if (entriesRead) *entriesRead = 0;
  if (totalEntries) *totalEntries = 0;
}

}  // namespace

NET_API_STATUS NetApiBufferAllocate(DWORD byteCount, LPVOID* buffer) {
  if (!buffer) return ERROR_INVALID_PARAMETER;
  *buffer = std::calloc(1, byteCount ? byteCount : 1);
  return *buffer ? NERR_Success : ERROR_NOT_ENOUGH_MEMORY;
}

NET_API_STATUS NetApiBufferFree(LPVOID buffer) {
  std::free(buffer);
  return NERR_Success;
}

NET_API_STATUS NetSessionEnum(LPWSTR serverName, LPWSTR clientName, LPWSTR userName, DWORD level,
                              LPBYTE* buffer, DWORD prefMaxLen, LPDWORD entriesRead,
                              LPDWORD totalEntries, LPDWORD resumeHandle) {
  ClearOutputs(buffer, entriesRead, totalEntries);
  if (!buffer || !entriesRead || !totalEntries) return ERROR_INVALID_PARAMETER;
  if (level != 502) return ERROR_INVALID_LEVEL;
  if (!IsThisServer(serverName)) return ERROR_BAD_NETPATH;

  std::vector<linuxsys::SmbSession> all;
  if (SmbStatus s = linuxsys::CurrentSmbServerBackend()->EnumSessions(all); s != SmbStatus::kOk)
    return FromStatus(s);
  const std::string client = MachineName(clientName), user = Utf8(userName);
  std::vector<const linuxsys::SmbSession*> sessions;
  for (const auto& s : all) {
    if (clientName && !EqualNoCase(s.computer, client)) continue;
    if (userName && !EqualNoCase(s.user, user)) continue;
    sessions.push_back(&s);
  }
  std::vector<std::vector<std::u16string>> strings;
  for (const auto* s : sessions) {
    strings.push_back({win32::Utf16FromUtf8(s->computer), win32::Utf16FromUtf8(s->user),
                       win32::Utf16FromUtf8(s->clientType), win32::Utf16FromUtf8(s->transport)});
  }
  std::size_t first = resumeHandle ? *resumeHandle : 0;
  if (first > sessions.size()) first = sessions.size();
  std::size_t count = Fitting<SESSION_INFO_502>(first, prefMaxLen, strings);
  NET_API_STATUS rc = Pack<SESSION_INFO_502>(
      first, count, strings,
      [&](std::size_t i, SESSION_INFO_502& r, auto& place) {
        const auto& s = *sessions[i];
        r.sesi502_cname = place();
        r.sesi502_username = place();
        r.sesi502_num_opens = s.opens;
        r.sesi502_time = s.secondsConnected;
        r.sesi502_idle_time = s.secondsIdle;
        r.sesi502_user_flags =
            (s.guest ? SESS_GUEST : 0) | (s.noEncryption ? SESS_NOENCRYPTION : 0);
        r.sesi502_cltype_name = place();
        r.sesi502_transport = place();
      },
      buffer);
  if (rc != NERR_Success) return rc;
  *entriesRead = static_cast<DWORD>(count);
  *totalEntries = static_cast<DWORD>(sessions.size() - first);
  if (first + count < sessions.size()) {
    if (resumeHandle) *resumeHandle = static_cast<DWORD>(first + count);
    return ERROR_MORE_DATA;
  }
  if (resumeHandle) *resumeHandle = 0;
  return NERR_Success;
}

NET_API_STATUS NetFileEnum(LPWSTR serverName, LPWSTR basePath, LPWSTR userName, DWORD level,
                           LPBYTE* buffer, DWORD prefMaxLen, LPDWORD entriesRead,
                           LPDWORD totalEntries, PDWORD_PTR resumeHandle) {
  ClearOutputs(buffer, entriesRead, totalEntries);
  if (!buffer || !entriesRead || !totalEntries) return ERROR_INVALID_PARAMETER;
  if (level != 3) return ERROR_INVALID_LEVEL;
  if (!IsThisServer(serverName)) return ERROR_BAD_NETPATH;

  std::vector<linuxsys::SmbOpenFile> all;
  if (SmbStatus s = linuxsys::CurrentSmbServerBackend()->EnumOpenFiles(all); s != SmbStatus::kOk)
    return FromStatus(s);
  const std::string base = Utf8(basePath), user = Utf8(userName);
  std::vector<const linuxsys::SmbOpenFile*> files;
  for (const auto& f : all) {
    if (basePath && f.path.compare(0, base.size(), base) != 0) continue;
    if (userName && !EqualNoCase(f.user, user)) continue;
    files.push_back(&f);
  }
  std::vector<std::vector<std::u16string>> strings;
  for (const auto* f : files)
    strings.push_back({win32::Utf16FromUtf8(f->path), win32::Utf16FromUtf8(f->user)});
  std::size_t first = resumeHandle ? *resumeHandle : 0;
  if (first > files.size()) first = files.size();
  std::size_t count = Fitting<FILE_INFO_3>(first, prefMaxLen, strings);
  NET_API_STATUS rc = Pack<FILE_INFO_3>(
      first, count, strings,
      [&](std::size_t i, FILE_INFO_3& r, auto& place) {
        const auto& f = *files[i];
        r.fi3_id = f.id;
        // The permission bits are the first three access rights: read data, write data and
        // append data (for a folder: add file, add subfolder).
        r.fi3_permissions = f.accessMask & (PERM_FILE_READ | PERM_FILE_WRITE | PERM_FILE_CREATE);
        r.fi3_num_locks = f.locks;
        r.fi3_pathname = place();
        r.fi3_username = place();
      },
      buffer);
  if (rc != NERR_Success) return rc;
  *entriesRead = static_cast<DWORD>(count);
  *totalEntries = static_cast<DWORD>(files.size() - first);
  if (first + count < files.size()) {
    if (resumeHandle) *resumeHandle = first + count;
    return ERROR_MORE_DATA;
  }
  if (resumeHandle) *resumeHandle = 0;
  return NERR_Success;
}

NET_API_STATUS NetFileClose(LPWSTR serverName, DWORD fileId) {
  if (!IsThisServer(serverName)) return ERROR_BAD_NETPATH;
  return FromStatus(linuxsys::CurrentSmbServerBackend()->CloseFile(fileId));
}

NET_API_STATUS NetSessionDel(LPWSTR serverName, LPWSTR clientName, LPWSTR userName) {
  if (!IsThisServer(serverName)) return ERROR_BAD_NETPATH;
  const std::string client = MachineName(clientName), user = Utf8(userName);
  if (client.empty() && user.empty()) return ERROR_INVALID_PARAMETER;
  return FromStatus(linuxsys::CurrentSmbServerBackend()->EndSession(client, user));
}

NET_API_STATUS NetMessageBufferSend(LPCWSTR serverName, LPCWSTR msgName, LPCWSTR fromName,
                                    LPBYTE buffer, DWORD bufferLength) {
  if (!IsThisServer(serverName)) return ERROR_BAD_NETPATH;
  if (!msgName || !*msgName || (!buffer && bufferLength) || bufferLength % 2 != 0)
    return ERROR_INVALID_PARAMETER;
  std::u16string text(bufferLength / 2, u'\0');
  if (bufferLength) std::memcpy(text.data(), buffer, bufferLength);
  text.resize(std::u16string_view(text.c_str()).size());  // up to the terminator
  const std::string from = fromName ? Utf8(fromName) : linuxsys::NetbiosName();
  return FromStatus(linuxsys::CurrentSmbServerBackend()->SendMessage(Utf8(msgName), from,
                                                                     win32::Utf8FromUtf16(text)));
}
