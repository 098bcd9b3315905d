// The file API under the settings database: creation dispositions, share modes within and
// across processes, the file pointer, end of file and byte-range locks.
#include "platform/win32/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/win32/handles.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/winerror.h"
#include "tests/settingsdb/ReestrFixtures.h"

namespace {

using fixture::Bytes;
using fixture::InChild;

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

class FilesTest : public ::testing::Test {
 protected:
  std::u16string Path(const std::string& leaf) const {
    return win32::Utf16FromUtf8((scratch_.dir() / leaf).string());
  }
  std::filesystem::path FsPath(const std::string& leaf) const { return scratch_.dir() / leaf; }
  HANDLE Open(const std::string& leaf, DWORD access, DWORD share, DWORD disposition) const {
    return CreateFileW(Path(leaf).c_str(), access, share, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  fixture::Scratch scratch_;
};

// Closes a handle at the end of a scope.
struct Closer {
  HANDLE h;
  ~Closer() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

struct DispositionCase {
  const char* label;
  DWORD disposition;
  bool exists;
  bool opens;
  DWORD lastError;
  std::size_t sizeAfter;  // the file held 5 bytes when it existed
};

class DispositionTest : public FilesTest, public ::testing::WithParamInterface<DispositionCase> {};

TEST_P(DispositionTest, OpensCreatesOrRefusesAsWindowsDoes) {
  const auto& c = GetParam();
  if (c.exists) fixture::WriteAll(FsPath("f"), Bytes{1, 2, 3, 4, 5});
  HANDLE h = Open("f", kReadWrite, kShareAll, c.disposition);
  Closer closer{h};
  EXPECT_EQ(GetLastError(), c.lastError);
  ASSERT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
  if (c.opens || c.exists) {
    EXPECT_EQ(std::filesystem::file_size(FsPath("f")), c.sizeAfter);
  } else {
    EXPECT_FALSE(std::filesystem::exists(FsPath("f")));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Dispositions, DispositionTest,
    ::testing::Values(
        DispositionCase{"CreateNewMissing", CREATE_NEW, false, true, ERROR_SUCCESS, 0},
        DispositionCase{"CreateNewExisting", CREATE_NEW, true, false, ERROR_FILE_EXISTS, 5},
        DispositionCase{"OpenExistingMissing", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND,
                        0},
        DispositionCase{"OpenExistingExisting", OPEN_EXISTING, true, true, ERROR_SUCCESS, 5},
        DispositionCase{"OpenAlwaysMissing", OPEN_ALWAYS, false, true, ERROR_SUCCESS, 0},
        DispositionCase{"OpenAlwaysExisting", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, 5},
        DispositionCase{"CreateAlwaysExisting", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, 0},
        DispositionCase{"TruncateExistingExisting", TRUNCATE_EXISTING, true, true, ERROR_SUCCESS,
                        0},
        DispositionCase{"TruncateExistingMissing", TRUNCATE_EXISTING, false, false,
                        ERROR_FILE_NOT_FOUND, 0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(FilesTest, MissingFolderAndDirectoryAreRefused) {
  EXPECT_EQ(Open("nowhere/f", kReadWrite, kShareAll, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Open("nowhere/f", kReadWrite, kShareAll, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  std::filesystem::create_directory(FsPath("dir"));
  EXPECT_EQ(Open("dir", GENERIC_READ, kShareAll, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFileW(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

struct ShareCase {
  const char* label;
  DWORD firstAccess, firstShare, secondAccess, secondShare;
  bool admitted;
};

class ShareModeTest : public FilesTest, public ::testing::WithParamInterface<ShareCase> {};

TEST_P(ShareModeTest, SecondOpenerMeetsTheFirstOnesShareMode) {
  const auto& c = GetParam();
  HANDLE first = Open("f", c.firstAccess, c.firstShare, OPEN_ALWAYS);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  HANDLE second = Open("f", c.secondAccess, c.secondShare, OPEN_EXISTING);
  const DWORD error = GetLastError();
  Closer closeSecond{second};
  EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.admitted);
  if (!c.admitted) {
    EXPECT_EQ(error, ERROR_SHARING_VIOLATION);
  }
  CloseHandle(first);
  // Once the first handle is closed nothing stands in the way.
  if (!c.admitted) {
    HANDLE later = Open("f", c.secondAccess, c.secondShare, OPEN_EXISTING);
    EXPECT_NE(later, INVALID_HANDLE_VALUE);
    Closer closeLater{later};
  }
}

INSTANTIATE_TEST_SUITE_P(
    ShareModes, ShareModeTest,
    ::testing::Values(
        ShareCase{"NoSharingRefusesReader", kReadWrite, 0, GENERIC_READ, kShareAll, false},
        ShareCase{"NoSharingRefusesSharingWriter", kReadWrite, 0, kReadWrite, kShareAll, false},
        ShareCase{"SharingAdmitsSharing", kReadWrite, kShareAll, kReadWrite, kShareAll, true},
        ShareCase{"ReadSharingRefusesWriter", GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE,
                  kShareAll, false},
        ShareCase{"ReadSharingAdmitsReader", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, kShareAll,
                  true},
        ShareCase{"SecondDenyingWhatFirstHas", GENERIC_READ, kShareAll, GENERIC_READ,
                  FILE_SHARE_WRITE, false},
        ShareCase{"SecondDenyingWhatFirstLacks", GENERIC_READ, kShareAll, GENERIC_READ,
                  FILE_SHARE_READ, true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(FilesTest, RefusedCreateAlwaysLeavesTheFileAlone) {
  fixture::WriteAll(FsPath("f"), Bytes{1, 2, 3});
  HANDLE holder = Open("f", kReadWrite, 0, OPEN_EXISTING);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  Closer closer{holder};
  EXPECT_EQ(Open("f", kReadWrite, kShareAll, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(std::filesystem::file_size(FsPath("f")), 3u);
}

// The share mode holds against another process, and the record goes with the closed handle.
TEST_F(FilesTest, ShareModeHoldsAcrossProcesses) {
  auto childOpens = [&](DWORD share) {
    return InChild([&] {
      HANDLE h = Open("f", kReadWrite, share, OPEN_EXISTING);
      if (h != INVALID_HANDLE_VALUE) return 0;
      return GetLastError() == ERROR_SHARING_VIOLATION ? 1 : 2;
    });
  };
  HANDLE exclusive = Open("f", kReadWrite, 0, CREATE_NEW);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_EQ(childOpens(kShareAll), 1);
  CloseHandle(exclusive);
  EXPECT_EQ(childOpens(kShareAll), 0);

  HANDLE shared = Open("f", kReadWrite, kShareAll, OPEN_EXISTING);
  ASSERT_NE(shared, INVALID_HANDLE_VALUE);
  EXPECT_EQ(childOpens(kShareAll), 0);
  EXPECT_EQ(childOpens(0), 1);
  CloseHandle(shared);
}

TEST_F(FilesTest, PointerReadWriteAndEndOfFile) {
  HANDLE h = Open("f", kReadWrite, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  Closer closer{h};
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(h, "abcdefgh", 8, &done, nullptr));
  EXPECT_EQ(done, 8u);
  EXPECT_EQ(SetFilePointer(h, -3, nullptr, FILE_CURRENT), 5u);
  char buffer[8] = {};
  // A read across the end succeeds with what there is; at the end it delivers nothing.
  ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(std::string(buffer, done), "fgh");
  ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), 8u);
  EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_BEGIN), 2u);

  // A seek before the start fails and leaves the pointer where it was.
  EXPECT_EQ(SetFilePointer(h, -10, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 2u);

  ASSERT_TRUE(SetEndOfFile(h));
  EXPECT_EQ(std::filesystem::file_size(FsPath("f")), 2u);
  EXPECT_EQ(SetFilePointer(h, 100, nullptr, FILE_BEGIN), 100u);
  ASSERT_TRUE(SetEndOfFile(h));
  EXPECT_EQ(std::filesystem::file_size(FsPath("f")), 100u);
  EXPECT_TRUE(FlushFileBuffers(h));

  // Past 4 GiB the high part carries the position; without it the call refuses.
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(h, 16, &high, FILE_BEGIN), 16u);
  EXPECT_EQ(high, 1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FilesTest, HandleAccessIsEnforced) {
  fixture::WriteAll(FsPath("f"), Bytes{1, 2, 3});
  HANDLE reader = Open("f", GENERIC_READ, kShareAll, OPEN_EXISTING);
  HANDLE writer = Open("f", GENERIC_WRITE, kShareAll, OPEN_EXISTING);
  Closer closeReader{reader}, closeWriter{writer};
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  char byte = 0;
  DWORD done = 0;
  EXPECT_FALSE(WriteFile(reader, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(SetEndOfFile(reader));
  EXPECT_FALSE(ReadFile(writer, &byte, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(fixture::ReadAll(FsPath("f")), (Bytes{1, 2, 3}));
}

TEST_F(FilesTest, LocksExcludeOtherHandlesOfThisProcess) {
  HANDLE a = Open("f", kReadWrite, kShareAll, OPEN_ALWAYS);
  HANDLE b = Open("f", kReadWrite, kShareAll, OPEN_ALWAYS);
  Closer closeA{a}, closeB{b};
  ASSERT_TRUE(LockFile(a, 0, 0, 1, 0));
  EXPECT_FALSE(LockFile(b, 0, 0, 1, 0));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  // Locks are not re-entrant: the holder itself is refused an overlapping range.
  EXPECT_FALSE(LockFile(a, 0, 0, 4, 0));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  EXPECT_TRUE(LockFile(b, 1, 0, 1, 0));
  // Only the range as locked, through the handle that locked it, unlocks.
  EXPECT_FALSE(UnlockFile(b, 0, 0, 1, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  EXPECT_FALSE(UnlockFile(a, 0, 0, 2, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  EXPECT_TRUE(UnlockFile(a, 0, 0, 1, 0));
  EXPECT_TRUE(LockFile(b, 0, 0, 1, 0));
  EXPECT_FALSE(LockFile(a, 0, 0, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FilesTest, LocksExcludeOtherProcessesAndGoWithTheHandle) {
  HANDLE holder = Open("f", kReadWrite, kShareAll, OPEN_ALWAYS);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(LockFile(holder, 0, 0, 1, 0));
  auto childLocks = [&] {
    return InChild([&] {
      HANDLE h = Open("f", kReadWrite, kShareAll, OPEN_EXISTING);
      if (h == INVALID_HANDLE_VALUE) return 2;
      if (LockFile(h, 0, 0, 1, 0)) return 0;
      return GetLastError() == ERROR_LOCK_VIOLATION ? 1 : 3;
    });
  };
  EXPECT_EQ(childLocks(), 1);
  CloseHandle(holder);  // no UnlockFile: closing releases
  EXPECT_EQ(childLocks(), 0);
}

TEST_F(FilesTest, ClosedHandleIsInvalid) {
  HANDLE h = Open("f", kReadWrite, 0, CREATE_NEW);
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(LockFile(h, 0, 0, 1, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEndOfFile(h));
  // A closed no-sharing handle no longer refuses anyone.
  HANDLE again = Open("f", kReadWrite, 0, OPEN_EXISTING);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  Closer closer{again};
}

}  // namespace
