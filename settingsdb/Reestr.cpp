#include "settingsdb/Reestr.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "platform/win32/files.h"
#include "platform/win32/handles.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/sysinfo.h"
#include "platform/win32/winerror.h"

namespace {

constexpr std::int32_t kNone = -1;
// "./" whose header cannot be read: no record lies here, so the caller's next read fails.
constexpr std::int32_t kUnreadable = -2;
constexpr int kLockAttempts = 20;
constexpr DWORD kLockPause = 100;
constexpr std::uint8_t kSignature[8] = {0x52, 0x00, 0x67, 0x00, 0x42, 0x00, 0x00, 0x00};

void Put16(std::uint8_t* p, std::int16_t value) {
  auto v = static_cast<std::uint16_t>(value);
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::int16_t Get16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

std::int32_t Get32(const std::uint8_t* p) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return static_cast<std::int32_t>(v);
}

void EncodeRecord(const Reestr::Record& r, std::uint8_t* out) {
  Put16(out + 0, r.type);
  Put16(out + 2, r.attribute);
  for (int i = 0; i < Reestr::kNameUnits; ++i) {
    Put16(out + 4 + 2 * i, static_cast<std::int16_t>(r.name[i]));
  }
  Put32(out + 260, r.prev);
  Put32(out + 264, r.next);
  Put32(out + 268, r.child);
  Put32(out + 272, r.reserved);
  Put16(out + 276, r.length);
}

void DecodeRecord(const std::uint8_t* in, Reestr::Record& r) {
  r.type = Get16(in + 0);
  r.attribute = Get16(in + 2);
  for (int i = 0; i < Reestr::kNameUnits; ++i) {
    r.name[i] = static_cast<char16_t>(static_cast<std::uint16_t>(Get16(in + 4 + 2 * i)));
  }
  r.prev = Get32(in + 260);
  r.next = Get32(in + 264);
  r.child = Get32(in + 268);
  r.reserved = Get32(in + 272);
  r.length = Get16(in + 276);
}

std::u16string_view NameOf(const Reestr::Record& r) {
  const auto* end = std::find(r.name.begin(), r.name.end(), u'\0');
  return {r.name.data(), static_cast<std::size_t>(end - r.name.begin())};
}

bool HasTerminator(const Reestr::Record& r) {
  return std::find(r.name.begin(), r.name.end(), u'\0') != r.name.end();
}

bool IsRoot(LPCWSTR path) {
  return path && path[0] == u'.' && path[1] == u'/' && path[2] == 0;
}

bool OnSlot(Reestr::File file, std::int64_t offset) {
  if (file == Reestr::File::Data) return offset >= 0 && offset % Reestr::kSlotSize == 0;
  return offset >= Reestr::kHeaderSize && (offset - Reestr::kHeaderSize) % Reestr::kRecordSize == 0;
}

std::int64_t SlotSize(Reestr::File file) {
  return file == Reestr::File::Data ? Reestr::kSlotSize : Reestr::kRecordSize;
}

// The first slot boundary at or after the end of a file: a torn slot left by a failed write is
// never overwritten nor addressed off its boundary.
std::int64_t AlignUp(Reestr::File file, std::int64_t end) {
  const std::int64_t base = file == Reestr::File::Data ? 0 : Reestr::kHeaderSize;
  if (end <= base) return base;
  const std::int64_t size = SlotSize(file);
  return base + (end - base + size - 1) / size * size;
}

Reestr::Record NewRecord(LPCWSTR name, std::int16_t type, std::int16_t attribute,
                         std::int16_t length) {
  Reestr::Record r;
  r.type = type;
  r.attribute = attribute;
  for (int i = 0; i < Reestr::kMaxNameLength && name[i] != 0; ++i) r.name[i] = name[i];
  r.length = length;
  return r;
}

}  // namespace

// ---- handles and raw file access ----

Reestr::Handle::~Handle() {
  if (valid()) CloseHandle(handle_);
}

void Reestr::Handle::reset(HANDLE handle) {
  if (valid()) CloseHandle(handle_);
  handle_ = handle;
}

bool Reestr::Handle::valid() const {
  return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
}

class Reestr::LockGuard {
 public:
  explicit LockGuard(Reestr& db) : db_(db) { db_.Lock(); }
  ~LockGuard() { db_.Unlock(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  Reestr& db_;
};

HANDLE Reestr::Of(File file) const {
  return file == File::Data ? FDataFile.get() : FIndexFile.get();
}

bool Reestr::Seek(HANDLE file, std::int64_t offset) {
  if (offset < 0) return false;
  LONG high = static_cast<LONG>(offset >> 32);
  DWORD low = SetFilePointer(file, static_cast<LONG>(static_cast<std::uint32_t>(offset)), &high,
                             FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool Reestr::ReadAt(HANDLE file, std::int64_t offset, void* buffer, DWORD size) {
  DWORD done = 0;
  return Seek(file, offset) && ReadFile(file, buffer, size, &done, nullptr) && done == size;
}

bool Reestr::WriteAt(HANDLE file, std::int64_t offset, const void* buffer, DWORD size) {
  DWORD done = 0;
  return Seek(file, offset) && WriteFile(file, buffer, size, &done, nullptr) && done == size;
}

bool Reestr::FileEnd(HANDLE file, std::int64_t& end) {
  LONG high = 0;
  DWORD low = SetFilePointer(file, 0, &high, FILE_END);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
  end =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<DWORD>(high)) << 32) | low);
  return true;
}

bool Reestr::Truncate(HANDLE file, std::int64_t size) {
  return Seek(file, size) && SetEndOfFile(file);
}

bool Reestr::LoadHeader(Header& header) {
  std::uint8_t bytes[kHeaderSize];
  if (!ReadAt(FIndexFile.get(), 0, bytes, kHeaderSize)) return false;
  header.count = Get32(bytes + 8);
  header.dataFreeList = Get32(bytes + 12);
  header.indexFreeList = Get32(bytes + 16);
  // A negative count is no count at all: take the header as unreadable.
  return header.count >= 0;
}

bool Reestr::StoreHeader(const Header& header) {
  std::uint8_t bytes[kHeaderSize];
  std::memcpy(bytes, kSignature, sizeof kSignature);
  Put32(bytes + 8, header.count);
  Put32(bytes + 12, header.dataFreeList);
  Put32(bytes + 16, header.indexFreeList);
  return WriteAt(FIndexFile.get(), 0, bytes, kHeaderSize);
}

// A record that is not on a slot boundary, not wholly inside the file, without its name's
// terminator or with a length outside 0..512 cannot be read.
bool Reestr::LoadRecord(File file, std::int32_t offset, Record& record) {
  if (!OnSlot(file, offset)) return false;
  std::uint8_t bytes[kRecordSize];
  if (!ReadAt(Of(file), offset, bytes, kRecordSize)) return false;
  DecodeRecord(bytes, record);
  return HasTerminator(record) && record.length >= 0 && record.length <= kDataSize;
}

bool Reestr::StoreRecord(File file, std::int32_t offset, const Record& record) {
  if (!OnSlot(file, offset)) return false;
  std::uint8_t bytes[kRecordSize];
  EncodeRecord(record, bytes);
  return WriteAt(Of(file), offset, bytes, kRecordSize);
}

// The record and its data area in one write: the value's first `length` bytes, then zeros.
bool Reestr::StoreSlot(std::int32_t offset, const Record& record, const void* data) {
  if (!OnSlot(File::Data, offset)) return false;
  std::uint8_t bytes[kSlotSize] = {};
  EncodeRecord(record, bytes);
  if (data && record.length > 0) std::memcpy(bytes + kRecordSize, data, record.length);
  return WriteAt(FDataFile.get(), offset, bytes, kSlotSize);
}

// No chain can hold more distinct records than the file has slots; a longer walk is a loop.
std::int64_t Reestr::ChainLimit(File file) {
  std::int64_t end = 0;
  if (!FileEnd(Of(file), end)) return 0;
  const std::int64_t base = file == File::Data ? 0 : kHeaderSize;
  return end <= base ? 1 : (end - base) / SlotSize(file) + 1;
}

// Reads the records from `first` along `next` and hands each to visit(offset, record), which
// returns false to stop. False when a record cannot be read or the chain loops.
template <class Visit>
bool Reestr::WalkChain(File file, std::int32_t first, Visit&& visit) {
  const std::int64_t limit = ChainLimit(file);
  std::int32_t offset = first;
  for (std::int64_t step = 0; step < limit; ++step) {
    Record record;
    if (!LoadRecord(file, offset, record)) return false;
    if (!visit(offset, record)) return true;
    if (record.next == kNone) return true;
    offset = record.next;
  }
  return false;
}

Reestr::Match Reestr::FindSibling(File file, std::int32_t first, const char16_t* name) {
  Match match;
  const std::u16string_view wanted(name);
  bool ok = WalkChain(file, first, [&](std::int32_t offset, const Record& record) {
    if (NameOf(record) != wanted) return true;
    match = {Search::Found, offset};
    return false;
  });
  if (!ok) match.status = Search::Failed;
  return match;
}

Reestr::Match Reestr::FindTopLevel(const char16_t* name) {
  Header header;
  if (!LoadHeader(header) || header.count == 0) return {};
  return FindSibling(File::Index, kHeaderSize, name);
}

// ---- construction ----

Reestr::Reestr(LPCWSTR dataPath, LPCWSTR indexPath, std::int32_t openExistingOnly)
    : FOpenExistingOnly(openExistingOnly) {
  if (!dataPath || !indexPath) throw ecOpenFailed;
  constexpr DWORD kAccess = GENERIC_READ | GENERIC_WRITE;
  constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;
  FDataFile.reset(CreateFileW(dataPath, kAccess, kShared, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (FDataFile.valid()) {
    FIndexFile.reset(CreateFileW(indexPath, kAccess, kShared, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FIndexFile.valid()) throw ecOpenFailed;
    std::uint8_t header[kHeaderSize];
    if (!ReadAt(FIndexFile.get(), 0, header, kHeaderSize)) throw ecOpenFailed;
    if (std::memcmp(header, kSignature, sizeof kSignature) != 0) throw ecOpenFailed;
    return;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) throw ecOpenFailed;
  if (FOpenExistingOnly) throw ecNoDatabase;

  // The data file's existence is what marks a database, so it is made last: a creation cut
  // short is simply done again by the next opener. Creators hold the index file unshared, so
  // while this one does, no other can make the data file; one that appeared since the test
  // above belongs to a database another process has finished, which is left alone.
  FIndexFile.reset(
      CreateFileW(indexPath, kAccess, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!FIndexFile.valid()) throw ecOpenFailed;
  Handle probe;
  probe.reset(CreateFileW(dataPath, 0, kShared, nullptr, OPEN_EXISTING, 0, nullptr));
  if (probe.valid()) throw ecOpenFailed;
  const DWORD probeError = GetLastError();
  if (probeError != ERROR_FILE_NOT_FOUND && probeError != ERROR_PATH_NOT_FOUND) {
    throw ecOpenFailed;
  }
  if (!StoreHeader(Header{})) throw ecHeaderWriteFailed;
  FDataFile.reset(
      CreateFileW(dataPath, kAccess, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!FDataFile.valid()) throw ecOpenFailed;
}

Reestr::~Reestr() {
  Unlock();
  if (FDataFile.valid()) FlushFileBuffers(FDataFile.get());
  if (FIndexFile.valid()) FlushFileBuffers(FIndexFile.get());
}

// ---- locking ----

void Reestr::Lock() {
  for (HANDLE file : {FDataFile.get(), FIndexFile.get()}) {
    for (int attempt = 1; !LockFile(file, 0, 0, 1, 0); ++attempt) {
      if (attempt == kLockAttempts) {
        if (file == FIndexFile.get()) UnlockFile(FDataFile.get(), 0, 0, 1, 0);
        throw ecLockTimeout;
      }
      Sleep(kLockPause);
    }
  }
}

void Reestr::Unlock() {
  if (FDataFile.valid()) UnlockFile(FDataFile.get(), 0, 0, 1, 0);
  if (FIndexFile.valid()) UnlockFile(FIndexFile.get(), 0, 0, 1, 0);
}

// ---- paths ----

// Copies the component at FPos into FComponent and moves past its "/".
Reestr::Component Reestr::NextComponent(LPCWSTR path) {
  if (path[FPos] == 0) return Component::End;
  int n = 0;
  while (path[FPos] != u'/') {
    if (path[FPos] == 0 || n == kMaxNameLength) return Component::Bad;
    FComponent[n++] = path[FPos++];
  }
  FComponent[n] = 0;
  ++FPos;
  return Component::Taken;
}

// The root marker and then components, each ended by "/" and at most 127 characters long.
bool Reestr::ValidPath(LPCWSTR path) {
  if (!path) return false;
  FPos = 0;
  if (NextComponent(path) != Component::Taken || FComponent[0] != u'.') return false;
  Component c;
  while ((c = NextComponent(path)) == Component::Taken) {
  }
  return c == Component::End;
}

std::int32_t Reestr::ResolvePath(LPCWSTR folderPath) {
  if (!ValidPath(folderPath)) throw ecNotFound;
  if (IsRoot(folderPath)) {
    Header header;
    if (!LoadHeader(header)) return kUnreadable;
    return header.count == 0 ? kNone : kHeaderSize;
  }
  FPos = 0;
  NextComponent(folderPath);  // the root marker
  if (NextComponent(folderPath) != Component::Taken) throw ecNotFound;
  Match match = FindTopLevel(FComponent);
  File file = File::Index;
  while (true) {
    if (match.status == Search::NotFound) throw ecNotFound;
    if (match.status == Search::Failed) throw ecReadFailed;
    Record record;
    if (!LoadRecord(file, match.offset, record)) throw ecReadFailed;
    if (NextComponent(folderPath) != Component::Taken) return record.child;
    file = File::Data;
    match = FindSibling(File::Data, record.child, FComponent);
  }
}

// ---- reading and counting ----

void Reestr::ReadValue(LPCWSTR folderPath, LPWSTR name, void* data, DWORD dataSize,
                       std::int32_t* length, std::int32_t* type, std::int32_t index) {
  Read(folderPath, name, name, data, dataSize, length, type, index);
}

void Reestr::ReadValue(LPCWSTR folderPath, LPCWSTR name, void* data, DWORD dataSize,
                       std::int32_t* length, std::int32_t* type, std::int32_t index) {
  Read(folderPath, name, nullptr, data, dataSize, length, type, index);
}

void Reestr::Read(LPCWSTR folderPath, LPCWSTR lookupName, LPWSTR nameOut, void* data,
                  DWORD dataSize, std::int32_t* length, std::int32_t* type, std::int32_t index) {
  LockGuard guard(*this);
  if (index < 0 || (index == 0 && !lookupName)) throw ecNotFound;
  const std::int32_t first = ResolvePath(folderPath);
  const File file = IsRoot(folderPath) ? File::Index : File::Data;
  const std::u16string_view wanted = index == 0 ? std::u16string_view(lookupName) : u"";
  std::int32_t seen = 0;
  std::int32_t foundAt = kNone;
  Record found;
  bool ok = WalkChain(file, first, [&](std::int32_t offset, const Record& record) {
    ++seen;
    if (index == 0 ? NameOf(record) != wanted : seen != index) return true;
    foundAt = offset;
    found = record;
    return false;
  });
  if (!ok) throw ecReadFailed;
  if (foundAt == kNone) throw ecNotFound;
  if (file == File::Data && found.length > 0) {
    if (!data || static_cast<DWORD>(found.length) > dataSize) throw ecReadFailed;
    if (!ReadAt(FDataFile.get(), std::int64_t{foundAt} + kRecordSize, data,
                static_cast<DWORD>(found.length))) {
      throw ecReadFailed;
    }
  }
  if (index > 0 && nameOut) {
    const auto stored = NameOf(found);
    std::copy(stored.begin(), stored.end(), nameOut);
    nameOut[stored.size()] = 0;
  }
  if (length) *length = found.length;
  if (type) *type = found.type;
}

std::int32_t Reestr::CountEntries(LPCWSTR folderPath) {
  LockGuard guard(*this);
  return Count(folderPath);
}

std::int32_t Reestr::Count(LPCWSTR folderPath) {
  const std::int32_t first = ResolvePath(folderPath);
  if (first == kNone) return 0;
  std::int32_t count = 0;
  const File file = IsRoot(folderPath) ? File::Index : File::Data;
  if (!WalkChain(file, first, [&](std::int32_t, const Record&) {
        ++count;
        return true;
      })) {
    throw ecScanFailed;
  }
  return count;
}

// ---- writing ----

void Reestr::WriteValue(LPCWSTR folderPath, LPCWSTR name, const void* data, std::int16_t length,
                        std::int16_t type, std::int16_t attribute) {
  LockGuard guard(*this);
  if (!folderPath || !name) throw ecNotFound;
  const std::int16_t stored =
      data ? static_cast<std::int16_t>(std::clamp<int>(length, 0, kDataSize)) : 0;
  Record record = NewRecord(name, type, attribute, stored);
  if (IsRoot(folderPath)) {
    WriteTopLevel(record);
  } else if (Count(folderPath) > 0) {
    WriteIntoFolder(folderPath, record, data);
  } else {
    WriteIntoEmptyFolder(folderPath, record, data);
  }
}

void Reestr::WriteTopLevel(Record& record) {
  record.length = 0;
  Match match = FindTopLevel(record.name.data());
  if (match.status == Search::Failed) throw ecReadFailed;
  if (match.status == Search::NotFound) {
    AppendTopLevel(record);
    return;
  }
  Record existing;
  if (!LoadRecord(File::Index, match.offset, existing)) throw ecReadFailed;
  record.type = existing.type;
  record.prev = existing.prev;
  record.next = existing.next;
  record.child = existing.child;
  if (!StoreRecord(File::Index, match.offset, record)) throw ecWriteFailed;
}

void Reestr::WriteIntoFolder(LPCWSTR folderPath, Record& record, const void* data) {
  const std::int32_t first = ResolvePath(folderPath);
  Match match = FindSibling(File::Data, first, record.name.data());
  if (match.status == Search::Failed) throw ecReadFailed;
  if (match.status == Search::Found) {
    Record existing;
    if (!LoadRecord(File::Data, match.offset, existing)) throw ecReadFailed;
    record.type = existing.type;
    record.prev = existing.prev;
    record.next = existing.next;
    record.child = existing.child;
    if (!StoreSlot(match.offset, record, data)) throw ecWriteFailed;
    return;
  }
  std::int32_t lastAt = kNone;
  Record last;
  if (!WalkChain(File::Data, first, [&](std::int32_t offset, const Record& r) {
        lastAt = offset;
        last = r;
        return true;
      })) {
    throw ecScanFailed;
  }
  record.prev = lastAt;
  const std::int32_t slot = AllocateSlot(record, data);
  last.next = slot;
  if (!StoreRecord(File::Data, lastAt, last)) throw ecScanFailed;
}

void Reestr::WriteIntoEmptyFolder(LPCWSTR folderPath, Record& record, const void* data) {
  // Split into the parent path and the folder's own name.
  const std::u16string path(folderPath);
  const auto nameEnd = path.size() - 1;
  const auto nameStart = path.rfind(u'/', nameEnd - 1) + 1;
  const std::u16string parent = path.substr(0, nameStart);
  const std::u16string name = path.substr(nameStart, nameEnd - nameStart);
  const bool parentIsRoot = parent.find(u'/') == parent.size() - 1;

  File file = File::Index;
  Match match;
  if (parentIsRoot) {
    match = FindTopLevel(name.c_str());
  } else {
    file = File::Data;
    match = FindSibling(File::Data, ResolvePath(parent.c_str()), name.c_str());
  }
  if (match.status == Search::NotFound) throw ecNotFound;
  Record folder;
  if (match.status == Search::Failed || !LoadRecord(file, match.offset, folder)) {
    throw ecReadFailed;
  }
  const std::int32_t slot = AllocateSlot(record, data);
  folder.child = slot;
  if (!StoreRecord(file, match.offset, folder)) throw ecWriteFailed;
}

// Takes the last offset of the file's free-slot list, if the header names one. A list that
// runs past the end of the file, is not whole 32-bit offsets, or names an offset off a slot
// boundary or inside the list itself cannot serve. A list already used up (its header field
// left set by an interrupted writer) is cleared.
bool Reestr::TakeFreeSlot(File file, Header& header, std::int64_t& slot) {
  std::int32_t& field = file == File::Data ? header.dataFreeList : header.indexFreeList;
  std::int64_t end = 0;
  if (!FileEnd(Of(file), end)) return false;
  if (field == 0) {
    slot = AlignUp(file, end);
    return true;
  }
  const std::int64_t list = field;
  const std::int64_t base = file == File::Data ? 0 : kHeaderSize;
  if (list < base || list > end || (end - list) % 4 != 0) return false;
  const std::int64_t entries = (end - list) / 4;
  if (entries == 0) {
    field = 0;
    slot = AlignUp(file, end);
    return StoreHeader(header);
  }
  std::uint8_t bytes[4];
  if (!ReadAt(Of(file), end - 4, bytes, 4)) return false;
  slot = Get32(bytes);
  if (!OnSlot(file, slot) || slot + SlotSize(file) > list) return false;
  if (!Truncate(Of(file), end - 4)) return false;
  if (entries == 1) {
    field = 0;
    if (!StoreHeader(header)) return false;
  }
  return true;
}

std::int32_t Reestr::AllocateSlot(const Record& record, const void* data) {
  Header header;
  std::int64_t slot = 0;
  if (!LoadHeader(header) || !TakeFreeSlot(File::Data, header, slot)) throw ecStoreFailed;
  if (slot > std::numeric_limits<std::int32_t>::max() - kSlotSize) throw ecStoreFailed;
  const auto offset = static_cast<std::int32_t>(slot);
  if (!StoreSlot(offset, record, data)) throw ecStoreFailed;
  return offset;
}

void Reestr::AppendTopLevel(Record& record) {
  Header header;
  if (!LoadHeader(header) || header.count == std::numeric_limits<std::int32_t>::max()) {
    throw ecStoreFailed;
  }
  if (header.count == 0) {
    header.dataFreeList = 0;
    header.indexFreeList = 0;
    if (!Truncate(FIndexFile.get(), kHeaderSize) || !Truncate(FDataFile.get(), 0)) {
      throw ecStoreFailed;
    }
    record.prev = kNone;
    record.next = kNone;
    if (!StoreRecord(File::Index, kHeaderSize, record)) throw ecStoreFailed;
  } else {
    std::int32_t lastAt = kNone;
    Record last;
    if (!WalkChain(File::Index, kHeaderSize, [&](std::int32_t offset, const Record& r) {
          lastAt = offset;
          last = r;
          return true;
        })) {
      throw ecStoreFailed;
    }
    record.prev = lastAt;
    record.next = kNone;
    std::int64_t slot = 0;
    if (!TakeFreeSlot(File::Index, header, slot) ||
        slot > std::numeric_limits<std::int32_t>::max() - kRecordSize) {
      throw ecStoreFailed;
    }
    // The new record is written before it is linked in, so a writer that dies in between
    // leaves an unused record rather than a link to nothing.
    if (!StoreRecord(File::Index, static_cast<std::int32_t>(slot), record)) throw ecStoreFailed;
    last.next = static_cast<std::int32_t>(slot);
    if (!StoreRecord(File::Index, lastAt, last)) throw ecStoreFailed;
  }
  ++header.count;
  if (!StoreHeader(header)) throw ecStoreFailed;
}

// ---- inspection ----

Reestr::Header Reestr::InspectHeader() {
  Header header;
  if (!LoadHeader(header)) throw ecReadFailed;
  return header;
}

Reestr::Record Reestr::InspectRecord(File file, std::int32_t offset) {
  Record record;
  if (!LoadRecord(file, offset, record)) throw ecReadFailed;
  return record;
}

std::vector<std::uint8_t> Reestr::InspectData(std::int32_t offset, std::int16_t length) {
  if (!OnSlot(File::Data, offset) || length < 0 || length > kDataSize) throw ecReadFailed;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  if (length > 0 && !ReadAt(FDataFile.get(), std::int64_t{offset} + kRecordSize, bytes.data(),
                            static_cast<DWORD>(length))) {
    throw ecReadFailed;
  }
  return bytes;
}

std::vector<std::int32_t> Reestr::InspectFreeList(File file) {
  Header header = InspectHeader();
  const std::int64_t list = file == File::Data ? header.dataFreeList : header.indexFreeList;
  std::vector<std::int32_t> offsets;
  if (list == 0) return offsets;
  std::int64_t end = 0;
  const std::int64_t base = file == File::Data ? 0 : kHeaderSize;
  if (!FileEnd(Of(file), end) || list < base || list > end || (end - list) % 4 != 0) {
    throw ecStoreFailed;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(end - list));
  if (!bytes.empty() && !ReadAt(Of(file), list, bytes.data(), static_cast<DWORD>(bytes.size()))) {
    throw ecStoreFailed;
  }
  for (std::size_t i = 0; i < bytes.size(); i += 4) offsets.push_back(Get32(bytes.data() + i));
  return offsets;
}
