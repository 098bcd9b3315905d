#include "orvlib/orvComputer.h"

#include <string>

#include "app/Error.h"
#include "app/SystemBinding.h"
#include "lang/CoreDictionary.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/strings.h"
#include "platform/win32/sysinfo.h"

namespace Orv {

namespace {

// The computer's own name: its UNC name without the two leading backslashes.
const WCHAR* WithoutBackslashes(const WCHAR* unc) {
  if (unc && unc[0] == u'\\' && unc[1] == u'\\') return unc + 2;
  return unc;
}

}  // namespace

TorvComputer::TorvComputer(const WCHAR* name, TorvAccount* account) : TorvObject(name) {
  std::unique_ptr<TorvAccount> owned(account);
  if (!name) RaiseLibraryError(u"Creating object failed! ");
  FAccount = std::move(owned);
  FHasChildren = true;
}

TorvComputer::~TorvComputer() {
  // The terminal-services buffers and handle go back to their own library.
  using FreeMemory = void (*)(LPVOID);
  using CloseServer = void (*)(HANDLE);
  auto freeMemory = reinterpret_cast<FreeMemory>(SystemBinding.WTSFreeMemory);
  auto closeServer = reinterpret_cast<CloseServer>(SystemBinding.WTSCloseServer);
  if (freeMemory) {
    if (FTerminalSessions) freeMemory(FTerminalSessions);
    if (FTerminalProcesses) freeMemory(FTerminalProcesses);
  }
  if (closeServer && FTerminalServer) closeServer(FTerminalServer);
}

void TorvComputer::GetDisplayName(WCHAR*& name) {
  if (!FName) {
    name = CopyWideString(u"");
    return;
  }
  std::u16string full = FName.get();
  size_t slash = full.rfind(u'\\');
  name =
      CopyWideString(slash == std::u16string::npos ? full.c_str() : full.substr(slash + 1).c_str());
}

BYTE TorvComputer::GetKind() {
  return okComputer;
}

void TorvComputer::GetChildren(TorvObject**& objects, DWORD& count) {
  // No window of this system asks a computer for what it contains.
  objects = nullptr;
  count = 0;
}

void TorvComputer::EnumSessions() {
  FSessions.reset();
  FSessionCount = 0;
  LPBYTE buffer = nullptr;
  DWORD entriesRead = 0, totalEntries = 0, resume = 0;
  NET_API_STATUS status =
      NetSessionEnum(FName.get(), nullptr, nullptr, 502, &buffer, MAX_PREFERRED_LENGTH,
                     &entriesRead, &totalEntries, &resume);
  FSessions.reset(reinterpret_cast<SESSION_INFO_502*>(buffer));
  if (status != NERR_Success) {
    FSessions.reset();
    RaiseLibraryError(u"Getting list of Open Sessions failed!       ");
  }
  // The total is what the list is read by; never more than the buffer holds.
  FSessionCount = totalEntries <= entriesRead ? totalEntries : entriesRead;
}

void TorvComputer::EnumOpenFiles() {
  FOpenFiles.reset();
  FOpenFileCount = 0;
  LPBYTE buffer = nullptr;
  DWORD entriesRead = 0, totalEntries = 0;
  DWORD_PTR resume = 0;
  NET_API_STATUS status = NetFileEnum(FName.get(), nullptr, nullptr, 3, &buffer,
                                      MAX_PREFERRED_LENGTH, &entriesRead, &totalEntries, &resume);
  FOpenFiles.reset(reinterpret_cast<FILE_INFO_3*>(buffer));
  if (status != NERR_Success || entriesRead != totalEntries) {
    FOpenFiles.reset();
    RaiseLibraryError(u"Getting list of Open Files failed!          ");
  }
  FOpenFileCount = totalEntries;
}

void TorvComputer::CloseOpenFile(DWORD id) {
  if (NetFileClose(FName.get(), id) != NERR_Success)
    RaiseLibraryError(u"Failed to Close Resource!        ");
}

void TorvComputer::DeleteSession(SESSION_INFO_502 entry) {
  std::u16string client = u"\\\\";
  if (entry.sesi502_cname) client += entry.sesi502_cname;
  if (NetSessionDel(FName.get(), client.data(), entry.sesi502_username) != NERR_Success)
    RaiseLibraryError(u"Failed to Close Session!         ");
}

void TorvComputer::SendNetMessage(const WCHAR* to, const WCHAR* message, const WCHAR* from) {
  if (!message) RaiseLibraryError(u"message is NULL");
  const WCHAR* self = WithoutBackslashes(FName.get());
  if (!to) to = self;
  if (!from) from = self;
  const DWORD length = static_cast<DWORD>((lstrlenW(message) + 1) * 2);
  if (NetMessageBufferSend(FName.get(), to, from,
                           reinterpret_cast<LPBYTE>(const_cast<WCHAR*>(message)),
                           length) != NERR_Success)
    RaiseLibraryError(u"Failed to Send Message!        ");
}

void GetLocalComputerUncName(WCHAR*& name) {
  name = nullptr;
  std::unique_ptr<WCHAR[]> buffer(new WCHAR[16]);
  DWORD size = 16;
  if (!GetComputerNameW(buffer.get(), &size)) {
    const DWORD error = GetLastError();
    buffer.reset();
    auto record = std::make_unique<TError>();
    record->HasSystemText = 1;
    WCHAR text[] = u"Getting Computer Name failed!       ";
    TranslateCoreText(text, true);
    record->Message = NewWideString(text);
    FormatSystemError(record.get(), error);
    throw record.release();
  }
  std::u16string unc = u"\\\\";
  unc += buffer.get();
  name = CopyWideString(unc.c_str());
}

}  // namespace Orv
