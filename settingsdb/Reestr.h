// The settings database: a tree of named entries in two files, the index file (header and
// top-level folders) and the data file (790-byte slots: a record and a 512-byte data area).
// Every operation goes to the files, so several processes may share one database; they take
// turns through a byte-range lock on byte 0 of each file. Every failure is thrown as a
// Reestr::ErrorCode.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/win32/wintypes.h"

class Reestr {
 public:
  enum ErrorCode : std::int32_t {
    ecOpenFailed = -2,
    ecHeaderWriteFailed = -4,
    ecNotFound = -5,
    ecReadFailed = -6,
    ecWriteFailed = -7,
    ecScanFailed = -8,
    ecStoreFailed = -10,
    ecLockTimeout = -16,
    ecNoDatabase = -100,
  };

  enum ValueType : std::int16_t {
    Folder = 0,
    Binary = 1,
  };

  static constexpr std::int32_t kHeaderSize = 20;
  static constexpr std::int32_t kRecordSize = 278;
  static constexpr std::int32_t kDataSize = 512;
  static constexpr std::int32_t kSlotSize = kRecordSize + kDataSize;
  static constexpr std::int32_t kNameUnits = 128;
  static constexpr std::int32_t kMaxNameLength = kNameUnits - 1;

  // One entry record as it lies in either file.
  struct Record {
    std::int16_t type = Folder;
    std::int16_t attribute = 0;
    std::array<char16_t, kNameUnits> name{};  // NUL-terminated; kept whole, filler included
    std::int32_t prev = -1;
    std::int32_t next = -1;
    std::int32_t child = -1;
    std::int32_t reserved = 0;
    std::int16_t length = 0;
  };

  struct Header {
    std::int32_t count = 0;
    std::int32_t dataFreeList = 0;
    std::int32_t indexFreeList = 0;
  };

  enum class File { Data, Index };

  // Opens the database, or creates an empty one when the data file is missing and
  // openExistingOnly is 0.
  Reestr(LPCWSTR dataPath, LPCWSTR indexPath, std::int32_t openExistingOnly);
  // Releases the locks, flushes both files to disk and closes them.
  ~Reestr();
  Reestr(const Reestr&) = delete;
  Reestr& operator=(const Reestr&) = delete;

  // Index 0 finds the entry called name directly inside the folder; index n >= 1 takes the
  // n-th entry and copies its name into name (128 code units). A data-file entry's bytes go to
  // data, which holds dataSize bytes: a stored value that does not fit is ecReadFailed.
  void ReadValue(LPCWSTR folderPath, LPWSTR name, void* data, DWORD dataSize, std::int32_t* length,
                 std::int32_t* type, std::int32_t index);
  // The same with a read-only name: in index mode the found name is not delivered.
  void ReadValue(LPCWSTR folderPath, LPCWSTR name, void* data, DWORD dataSize, std::int32_t* length,
                 std::int32_t* type, std::int32_t index = 0);

  // Creates or updates the entry called name directly inside an existing folder. Data may be
  // null (length 0); a length above 512 stores 512 bytes, a negative one 0.
  void WriteValue(LPCWSTR folderPath, LPCWSTR name, const void* data, std::int16_t length,
                  std::int16_t type, std::int16_t attribute);

  // The number of entries directly inside the folder.
  std::int32_t CountEntries(LPCWSTR folderPath);

  // Byte 0 of the data file, then of the index file: 20 attempts each, 100 ms apart.
  void Lock();
  void Unlock();

  // Raw access for tools that show a database; the caller holds the lock. Each throws the code
  // of the step that reads the same bytes: ecReadFailed, or ecStoreFailed for a free-slot list.
  Header InspectHeader();
  Record InspectRecord(File file, std::int32_t offset);
  std::vector<std::uint8_t> InspectData(std::int32_t offset, std::int16_t length);
  std::vector<std::int32_t> InspectFreeList(File file);

 private:
  class Handle {
   public:
    Handle() = default;
    ~Handle();
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    void reset(HANDLE handle);
    HANDLE get() const { return handle_; }
    bool valid() const;

   private:
    HANDLE handle_ = nullptr;
  };

  class LockGuard;
  enum class Component { Taken, End, Bad };
  enum class Search { Found, NotFound, Failed };
  struct Match {
    Search status = Search::NotFound;
    std::int32_t offset = -1;
  };

  HANDLE Of(File file) const;
  bool Seek(HANDLE file, std::int64_t offset);
  bool ReadAt(HANDLE file, std::int64_t offset, void* buffer, DWORD size);
  bool WriteAt(HANDLE file, std::int64_t offset, const void* buffer, DWORD size);
  bool FileEnd(HANDLE file, std::int64_t& end);
  bool Truncate(HANDLE file, std::int64_t size);
  bool LoadHeader(Header& header);
  bool StoreHeader(const Header& header);
  bool LoadRecord(File file, std::int32_t offset, Record& record);
  bool StoreRecord(File file, std::int32_t offset, const Record& record);
  bool StoreSlot(std::int32_t offset, const Record& record, const void* data);
  std::int64_t ChainLimit(File file);
  template <class Visit>
  bool WalkChain(File file, std::int32_t first, Visit&& visit);
  Match FindSibling(File file, std::int32_t first, const char16_t* name);
  Match FindTopLevel(const char16_t* name);

  Component NextComponent(LPCWSTR path);
  bool ValidPath(LPCWSTR path);
  std::int32_t ResolvePath(LPCWSTR folderPath);
  std::int32_t Count(LPCWSTR folderPath);
  void Read(LPCWSTR folderPath, LPCWSTR lookupName, LPWSTR nameOut, void* data, DWORD dataSize,
            std::int32_t* length, std::int32_t* type, std::int32_t index);
  void WriteTopLevel(Record& record);
  void WriteIntoFolder(LPCWSTR folderPath, Record& record, const void* data);
  void WriteIntoEmptyFolder(LPCWSTR folderPath, Record& record, const void* data);
  bool TakeFreeSlot(File file, Header& header, std::int64_t& slot);
  std::int32_t AllocateSlot(const Record& record, const void* data);
  void AppendTopLevel(Record& record);

  std::int32_t FOpenExistingOnly;
  Handle FDataFile;
  Handle FIndexFile;
  char16_t FComponent[kNameUnits] = {};
  std::int32_t FPos = 0;
};
