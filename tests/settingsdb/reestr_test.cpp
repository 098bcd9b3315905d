// Reestr against files laid out by hand from the record tables: every file written is compared
// byte for byte, and damaged files must fail with the code of their step without touching
// memory outside the caller's buffer.
#include "settingsdb/Reestr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "tests/settingsdb/ReestrFixtures.h"

namespace {

using fixture::Bytes;
using fixture::Cat;
using fixture::HeaderBytes;
using fixture::Le32;
using fixture::Offsets;
using fixture::Rec;
using fixture::RecordBytes;
using fixture::SlotBytes;

constexpr char16_t kSettings[] = u"./orvKestrow/Settings/";
constexpr char16_t kMain[] = u"./orvKestrow/Settings/frmMain/";
constexpr std::int16_t kBinary = Reestr::Binary;
constexpr std::int16_t kFolder = Reestr::Folder;
const std::uint8_t kOne = 1;

using fixture::Outcome;

void PutInt(Reestr& db, const char16_t* folder, const char16_t* name, std::int32_t value) {
  const Bytes bytes = Le32(value);
  db.WriteValue(folder, name, bytes.data(), 4, kBinary, 0);
}

std::int32_t GetInt(Reestr& db, const char16_t* folder, const char16_t* name) {
  std::uint8_t bytes[4] = {};
  std::int32_t length = -1, type = -1;
  db.ReadValue(folder, name, bytes, sizeof bytes, &length, &type, 0);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(type, Reestr::Binary);
  std::int32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}

// The delivered database with frmMain holding Height = 600 and Width = 800.
Bytes MainData() {
  return Cat({SlotBytes({.name = u"Settings", .child = 790}),
              SlotBytes({.name = u"frmMain", .child = 1580, .length = 1}, {1}),
              SlotBytes({.type = 1, .name = u"Height", .next = 2370, .length = 4}, Le32(600)),
              SlotBytes({.type = 1, .name = u"Width", .prev = 1580, .length = 4}, Le32(800))});
}

class ReestrTest : public ::testing::Test {
 protected:
  fixture::Scratch db_;
};

// ---- opening ----

TEST_F(ReestrTest, MissingDatabaseIsCreatedEmptyAndUnshared) {
  {
    Reestr created(db_.data(), db_.index(), 0);
    EXPECT_EQ(db_.Index(), HeaderBytes(0));
    EXPECT_EQ(db_.Data(), Bytes{});
    // No sharing while the creator lives, in this process as in any other.
    EXPECT_EQ(Outcome([&] { Reestr other(db_.data(), db_.index(), 0); }), Reestr::ecOpenFailed);
    EXPECT_EQ(fixture::InChild([&] {
                return Outcome([&] { Reestr other(db_.data(), db_.index(), 0); }) ==
                               Reestr::ecOpenFailed
                           ? 0
                           : 1;
              }),
              0);
  }
  EXPECT_EQ(Outcome([&] { Reestr later(db_.data(), db_.index(), 0); }), 0);
}

TEST_F(ReestrTest, OpenExistingOnlyCreatesNothing) {
  EXPECT_EQ(Outcome([&] { Reestr db(db_.data(), db_.index(), 1); }), Reestr::ecNoDatabase);
  EXPECT_FALSE(std::filesystem::exists(db_.dataPath()));
  EXPECT_FALSE(std::filesystem::exists(db_.indexPath()));
  // An index file without its data file is left as it is.
  fixture::WriteAll(db_.indexPath(), fixture::DeliveredIndex());
  EXPECT_EQ(Outcome([&] { Reestr db(db_.data(), db_.index(), 1); }), Reestr::ecNoDatabase);
  EXPECT_EQ(db_.Index(), fixture::DeliveredIndex());
  EXPECT_FALSE(std::filesystem::exists(db_.dataPath()));
}

TEST_F(ReestrTest, MissingSettingsFolderFailsToOpen) {
  const auto data = win32::Utf16FromUtf8((db_.dir() / "settings" / "orvRB.b").string());
  const auto index = win32::Utf16FromUtf8((db_.dir() / "settings" / "orvRB.r").string());
  EXPECT_EQ(Outcome([&] { Reestr db(data.c_str(), index.c_str(), 0); }), Reestr::ecOpenFailed);
  EXPECT_FALSE(std::filesystem::exists(db_.dir() / "settings"));
}

struct IndexCase {
  const char* label;
  Bytes index;  // beside an existing data file
  bool present;
};

class OpenIndexTest : public ReestrTest, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(OpenIndexTest, DataFileWithoutASoundIndexFailsToOpen) {
  fixture::WriteAll(db_.dataPath(), fixture::DeliveredData());
  if (GetParam().present) fixture::WriteAll(db_.indexPath(), GetParam().index);
  EXPECT_EQ(Outcome([&] { Reestr db(db_.data(), db_.index(), 0); }), Reestr::ecOpenFailed);
  EXPECT_EQ(db_.Data(), fixture::DeliveredData());
}

Bytes WithSignature(const Bytes& signature) {
  Bytes index = fixture::DeliveredIndex();
  std::copy(signature.begin(), signature.end(), index.begin());
  return index;
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, OpenIndexTest,
    ::testing::Values(IndexCase{"Missing", {}, false}, IndexCase{"Empty", {}, true},
                      IndexCase{"ShorterThanHeader", Bytes(19, 0), true},
                      IndexCase{"LowerCaseSignature", WithSignature({0x72, 0, 0x67, 0, 0x42, 0}),
                                true},
                      IndexCase{"SignatureWithoutTerminator",
                                WithSignature({0x52, 0, 0x67, 0, 0x42, 0, 0x42, 0}), true},
                      IndexCase{"ZeroSignature", WithSignature(Bytes(8, 0)), true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ReestrTest, FirstTopLevelFolderResetsBothFiles) {
  // An index left from an older database, whose data file is gone.
  const Bytes stale = RecordBytes({.name = u"Old", .next = 298, .child = 790});
  fixture::WriteAll(db_.indexPath(), Cat({HeaderBytes(3, 1580, 400), stale, stale}));
  {
    Reestr db(db_.data(), db_.index(), 0);
    // Created: a fresh header, the older records behind it left but disregarded.
    EXPECT_EQ(db_.Index(), Cat({HeaderBytes(0), stale, stale}));
    EXPECT_EQ(db.CountEntries(u"./"), 0);
    db.WriteValue(u"./", u"orvKestrow", nullptr, 0, kFolder, 0);
    db.WriteValue(u"./orvKestrow/", u"Settings", nullptr, 0, kFolder, 0);
  }
  EXPECT_EQ(db_.Index(), fixture::DeliveredIndex());
  EXPECT_EQ(db_.Data(), fixture::DeliveredData());
}

// ---- an empty database ----

TEST_F(ReestrTest, EmptyDatabaseFindsNothingAndWritesNothing) {
  { Reestr created(db_.data(), db_.index(), 0); }
  Reestr db(db_.data(), db_.index(), 0);
  const struct {
    const char16_t* folder;
    const char16_t* name;
    int code;
  } reads[] = {
      {kMain, u"Height", Reestr::ecNotFound},
      {u"./orvKestrow/", u"Settings", Reestr::ecNotFound},
      {u"./", u"orvKestrow", Reestr::ecReadFailed},
  };
  for (const auto& r : reads) {
    std::uint8_t value[4];
    std::int32_t length, type;
    EXPECT_EQ(Outcome([&] { db.ReadValue(r.folder, r.name, value, 4, &length, &type, 0); }),
              r.code);
  }
  EXPECT_EQ(db.CountEntries(u"./"), 0);
  EXPECT_EQ(Outcome([&] { db.CountEntries(kSettings); }), Reestr::ecNotFound);
  EXPECT_EQ(Outcome([&] { PutInt(db, kMain, u"Height", 600); }), Reestr::ecNotFound);
  EXPECT_EQ(Outcome([&] { db.WriteValue(kSettings, u"frmMain", &kOne, 1, kFolder, 0); }),
            Reestr::ecNotFound);
  EXPECT_EQ(db_.Index(), HeaderBytes(0));
  EXPECT_EQ(db_.Data(), Bytes{});
}

// ---- reading the delivered database ----

struct ReadCase {
  const char* label;
  const char16_t* folder;
  const char16_t* name;
  int code;
};

class DeliveredReadTest : public ReestrTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(DeliveredReadTest, FindsOrFailsWithTheStepsCode) {
  db_.Write(fixture::DeliveredIndex(), fixture::DeliveredData());
  Reestr db(db_.data(), db_.index(), 1);
  std::uint8_t value[4] = {9, 9, 9, 9};
  std::int32_t length = -1, type = -1;
  const auto& c = GetParam();
  EXPECT_EQ(Outcome([&] { db.ReadValue(c.folder, c.name, value, 4, &length, &type, 0); }), c.code);
  if (c.code == 0) {
    EXPECT_EQ(length, 0);
    EXPECT_EQ(type, Reestr::Folder);
  }
  // Folders hold no value here: the buffer is never written.
  EXPECT_EQ(Bytes(value, value + 4), (Bytes{9, 9, 9, 9}));
}

INSTANTIATE_TEST_SUITE_P(
    Reads, DeliveredReadTest,
    ::testing::Values(
        ReadCase{"TopLevelFolder", u"./", u"orvKestrow", 0},
        ReadCase{"MissingTopLevel", u"./", u"Missing", Reestr::ecNotFound},
        ReadCase{"SecondLevelFolder", u"./orvKestrow/", u"Settings", 0},
        ReadCase{"OtherRootMarker", u"../orvKestrow/", u"Settings", 0},
        ReadCase{"InsideEmptyFolder", kSettings, u"frmMain", Reestr::ecReadFailed},
        ReadCase{"PathThroughEmptyFolder", kMain, u"Height", Reestr::ecReadFailed},
        ReadCase{"MissingTopLevelOnPath", u"./Missing/", u"x", Reestr::ecNotFound},
        ReadCase{"MissingFolderOnPath", u"./orvKestrow/Missing/", u"x", Reestr::ecNotFound},
        ReadCase{"NamesAreCaseSensitive", u"./orvkestrow/", u"Settings", Reestr::ecNotFound}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- writing ----

TEST_F(ReestrTest, KeysInAnEmptyFolderAreLinkedAsChildThenSiblings) {
  db_.Write(fixture::DeliveredIndex(), fixture::DeliveredData());
  {
    Reestr db(db_.data(), db_.index(), 0);
    db.WriteValue(kSettings, u"frmMain", &kOne, 1, kFolder, 0);
    EXPECT_EQ(db_.Data(), Cat({SlotBytes({.name = u"Settings", .child = 790}),
                               SlotBytes({.name = u"frmMain", .length = 1}, {1})}));
    PutInt(db, kMain, u"Height", 600);
    PutInt(db, kMain, u"Width", 800);
    EXPECT_EQ(GetInt(db, kMain, u"Height"), 600);
    EXPECT_EQ(GetInt(db, kMain, u"Width"), 800);
    EXPECT_EQ(db.CountEntries(kMain), 2);
    EXPECT_EQ(db.CountEntries(kSettings), 1);
  }
  EXPECT_EQ(db_.Data(), MainData());
  EXPECT_EQ(db_.Index(), fixture::DeliveredIndex());
}

TEST_F(ReestrTest, RewriteKeepsTheSlotAndTheFirstType) {
  db_.Write(fixture::DeliveredIndex(), MainData());
  {
    Reestr db(db_.data(), db_.index(), 0);
    const std::uint8_t two[] = {0xAA, 0xBB};
    db.WriteValue(kMain, u"Height", two, 2, kFolder, 7);
    std::uint8_t value[4] = {};
    std::int32_t length = 0, type = 0;
    db.ReadValue(kMain, u"Height", value, 4, &length, &type, 0);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(type, Reestr::Binary);
    EXPECT_EQ(value[0], 0xAA);
    EXPECT_EQ(value[1], 0xBB);
  }
  Bytes expected = MainData();
  const Bytes slot = SlotBytes(
      {.type = 1, .attribute = 7, .name = u"Height", .next = 2370, .length = 2}, {0xAA, 0xBB});
  std::copy(slot.begin(), slot.end(), expected.begin() + 1580);
  EXPECT_EQ(db_.Data(), expected);
}

struct LengthCase {
  const char* label;
  bool withData;
  std::int16_t length;
  std::int16_t stored;
};

class StoredLengthTest : public ReestrTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(StoredLengthTest, DataAreaHoldsTheValueThenZeros) {
  db_.Write(fixture::DeliveredIndex(), fixture::DeliveredData());
  Bytes source(700);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i + 1);
  const auto& c = GetParam();
  {
    Reestr db(db_.data(), db_.index(), 0);
    db.WriteValue(kSettings, u"Blob", c.withData ? source.data() : nullptr, c.length, kBinary, 0);
  }
  const Bytes value(source.begin(), source.begin() + c.stored);
  EXPECT_EQ(db_.Data(), Cat({SlotBytes({.name = u"Settings", .child = 790}),
                             SlotBytes({.type = 1, .name = u"Blob", .length = c.stored}, value)}));
}

INSTANTIATE_TEST_SUITE_P(Lengths, StoredLengthTest,
                         ::testing::Values(LengthCase{"Four", true, 4, 4},
                                           LengthCase{"Whole", true, 512, 512},
                                           LengthCase{"AboveWholeIsCut", true, 600, 512},
                                           LengthCase{"NoDataStoresNothing", false, 4, 0},
                                           LengthCase{"NegativeStoresNothing", true, -3, 0}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(ReestrTest, LongNameIsCutTo127Characters) {
  db_.Write(fixture::DeliveredIndex(), fixture::DeliveredData());
  std::u16string name;
  for (int i = 0; i < 130; ++i) name.push_back(static_cast<char16_t>(u'a' + i % 26));
  const std::u16string cut = name.substr(0, 127);
  {
    Reestr db(db_.data(), db_.index(), 0);
    db.WriteValue(kSettings, name.c_str(), &kOne, 1, kFolder, 0);
    // The same long name again finds the entry it made.
    db.WriteValue(kSettings, name.c_str(), &kOne, 1, kFolder, 0);
    EXPECT_EQ(db.CountEntries(kSettings), 1);
    // A 127-character component is a path; a 128-character one is not.
    const std::u16string folder = std::u16string(kSettings) + cut + u"/";
    PutInt(db, folder.c_str(), u"Key", 5);
    EXPECT_EQ(GetInt(db, folder.c_str(), u"Key"), 5);
    const std::u16string longer = std::u16string(kSettings) + name.substr(0, 128) + u"/";
    EXPECT_EQ(Outcome([&] { db.CountEntries(longer.c_str()); }), Reestr::ecNotFound);
  }
  const Bytes data = db_.Data();
  ASSERT_GE(data.size(), 790u * 2);
  EXPECT_EQ(Bytes(data.begin() + 790, data.begin() + 790 + 278),
            RecordBytes({.name = cut, .child = 1580, .length = 1}));
}

TEST_F(ReestrTest, IndexModeTakesTheNthEntry) {
  Bytes data = MainData();
  fixture::Put32(data, 2370 + 264, 3160);
  data =
      Cat({data,
           SlotBytes({.type = 1, .attribute = 2, .name = u"Autorefresh", .prev = 2370, .length = 4},
                     Le32(1))});
  db_.Write(fixture::DeliveredIndex(), data);
  Reestr db(db_.data(), db_.index(), 1);
  char16_t name[128];
  std::uint8_t value[4] = {};
  std::int32_t length = 0, type = 0;
  db.ReadValue(kMain, name, value, 4, &length, &type, 2);
  EXPECT_EQ(std::u16string(name), u"Width");
  EXPECT_EQ(length, 4);
  EXPECT_EQ(type, Reestr::Binary);
  EXPECT_EQ(Bytes(value, value + 4), Le32(800));
  db.ReadValue(kMain, name, value, 4, &length, &type, 3);
  EXPECT_EQ(std::u16string(name), u"Autorefresh");
  EXPECT_EQ(Outcome([&] { db.ReadValue(kMain, name, value, 4, &length, &type, 4); }),
            Reestr::ecNotFound);
  EXPECT_EQ(Outcome([&] { db.ReadValue(kMain, name, value, 4, &length, &type, -1); }),
            Reestr::ecNotFound);
  db.ReadValue(u"./", name, value, 4, &length, &type, 1);
  EXPECT_EQ(std::u16string(name), u"orvKestrow");
  EXPECT_EQ(length, 0);
  EXPECT_EQ(db.CountEntries(kMain), 3);
}

TEST_F(ReestrTest, TopLevelFoldersAppendAndRewriteInTheIndexFile) {
  db_.Write(fixture::DeliveredIndex(), fixture::DeliveredData());
  {
    Reestr db(db_.data(), db_.index(), 0);
    db.WriteValue(u"./", u"Other", &kOne, 1, kFolder, 3);
    // Rewriting keeps the type and the links; the length stays 0 in the index file.
    const Bytes value = Le32(5);
    db.WriteValue(u"./", u"orvKestrow", value.data(), 4, kBinary, 9);
    EXPECT_EQ(db.CountEntries(u"./"), 2);
  }
  EXPECT_EQ(db_.Index(),
            Cat({HeaderBytes(2),
                 RecordBytes({.attribute = 9, .name = u"orvKestrow", .next = 298, .child = 0}),
                 RecordBytes({.attribute = 3, .name = u"Other", .prev = 20})}));
  EXPECT_EQ(db_.Data(), fixture::DeliveredData());
}

TEST_F(ReestrTest, DataFreeSlotListIsUsedFromItsEnd) {
  const Bytes junk1 = SlotBytes({.name = u"old1"}, {7, 7});
  const Bytes junk2 = SlotBytes({.name = u"old2"}, {8, 8});
  db_.Write(Cat({HeaderBytes(1, 2370), RecordBytes({.name = u"orvKestrow", .child = 0})}),
            Cat({fixture::DeliveredData(), junk1, junk2, Offsets({790, 1580})}));
  Reestr db(db_.data(), db_.index(), 0);
  db.WriteValue(kSettings, u"frmMain", &kOne, 1, kFolder, 0);
  EXPECT_EQ(db_.Data(), Cat({SlotBytes({.name = u"Settings", .child = 1580}), junk1,
                             SlotBytes({.name = u"frmMain", .length = 1}, {1}), Offsets({790})}));
  EXPECT_EQ(db_.Index(),
            Cat({HeaderBytes(1, 2370), RecordBytes({.name = u"orvKestrow", .child = 0})}));

  db.WriteValue(kSettings, u"frmInformation", &kOne, 1, kFolder, 0);
  EXPECT_EQ(db_.Data(), Cat({SlotBytes({.name = u"Settings", .child = 1580}),
                             SlotBytes({.name = u"frmInformation", .prev = 1580, .length = 1}, {1}),
                             SlotBytes({.name = u"frmMain", .next = 790, .length = 1}, {1})}));
  EXPECT_EQ(db_.Index(), fixture::DeliveredIndex());
  // With the list used up, slots come from the end again.
  db.WriteValue(kSettings, u"frmConnectionNotifyPopup", &kOne, 1, kFolder, 0);
  EXPECT_EQ(db_.Data().size(), 790u * 4);
}

TEST_F(ReestrTest, IndexFreeSlotListIsUsedFromItsEnd) {
  const Bytes junk = RecordBytes({.name = u"gone"});
  db_.Write(Cat({HeaderBytes(1, 0, 854), RecordBytes({.name = u"orvKestrow", .child = 0}), junk,
                 junk, Offsets({298, 576})}),
            fixture::DeliveredData());
  Reestr db(db_.data(), db_.index(), 0);
  db.WriteValue(u"./", u"Other", nullptr, 0, kFolder, 0);
  EXPECT_EQ(db_.Index(), Cat({HeaderBytes(2, 0, 854),
                              RecordBytes({.name = u"orvKestrow", .next = 576, .child = 0}), junk,
                              RecordBytes({.name = u"Other", .prev = 20}), Offsets({298})}));
  db.WriteValue(u"./", u"Third", nullptr, 0, kFolder, 0);
  EXPECT_EQ(db_.Index(),
            Cat({HeaderBytes(3), RecordBytes({.name = u"orvKestrow", .next = 576, .child = 0}),
                 RecordBytes({.name = u"Third", .prev = 576}),
                 RecordBytes({.name = u"Other", .prev = 20, .next = 298})}));
  EXPECT_EQ(db_.Data(), fixture::DeliveredData());
}

// A writer that died leaving its header field set on a list it had used up.
TEST_F(ReestrTest, UsedUpFreeSlotListIsCleared) {
  db_.Write(Cat({HeaderBytes(1, 790), RecordBytes({.name = u"orvKestrow", .child = 0})}),
            fixture::DeliveredData());
  Reestr db(db_.data(), db_.index(), 0);
  db.WriteValue(kSettings, u"frmMain", &kOne, 1, kFolder, 0);
  EXPECT_EQ(db_.Index(), fixture::DeliveredIndex());
  EXPECT_EQ(db_.Data(), Cat({SlotBytes({.name = u"Settings", .child = 790}),
                             SlotBytes({.name = u"frmMain", .length = 1}, {1})}));
}

// A slot torn by a failed write at the end of the file is left alone; the next one starts on
// the following slot boundary.
TEST_F(ReestrTest, TornSlotAtTheEndIsSteppedOver) {
  const Bytes torn(100, 0x5A);
  db_.Write(fixture::DeliveredIndex(), Cat({fixture::DeliveredData(), torn}));
  Reestr db(db_.data(), db_.index(), 0);
  db.WriteValue(kSettings, u"frmMain", &kOne, 1, kFolder, 0);
  EXPECT_EQ(db_.Data(), Cat({SlotBytes({.name = u"Settings", .child = 1580}), torn, Bytes(690, 0),
                             SlotBytes({.name = u"frmMain", .length = 1}, {1})}));
}

TEST_F(ReestrTest, StoredValueLargerThanTheBufferIsNotCopied) {
  Bytes data = MainData();
  const Bytes eight = {1, 2, 3, 4, 5, 6, 7, 8};
  const Bytes slot = SlotBytes({.type = 1, .name = u"Height", .next = 2370, .length = 8}, eight);
  std::copy(slot.begin(), slot.end(), data.begin() + 1580);
  db_.Write(fixture::DeliveredIndex(), data);
  Reestr db(db_.data(), db_.index(), 1);
  std::uint8_t buffer[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  std::int32_t length = 0, type = 0;
  char16_t name[128];
  EXPECT_EQ(Outcome([&] { db.ReadValue(kMain, u"Height", buffer, 4, &length, &type, 0); }),
            Reestr::ecReadFailed);
  EXPECT_EQ(Outcome([&] { db.ReadValue(kMain, name, buffer, 4, &length, &type, 1); }),
            Reestr::ecReadFailed);
  EXPECT_EQ(Outcome([&] { db.ReadValue(kMain, u"Height", nullptr, 0, &length, &type, 0); }),
            Reestr::ecReadFailed);
  EXPECT_EQ(Bytes(buffer, buffer + 8), Bytes(8, 0xEE));
  db.ReadValue(kMain, u"Height", buffer, 8, &length, &type, 0);
  EXPECT_EQ(Bytes(buffer, buffer + 8), eight);
  EXPECT_EQ(length, 8);
}

TEST_F(ReestrTest, EveryObjectSeesTheOthersWrites) {
  db_.Write(fixture::DeliveredIndex(), MainData());
  Reestr a(db_.data(), db_.index(), 0);
  Reestr b(db_.data(), db_.index(), 0);
  PutInt(a, kMain, u"Height", 1);
  EXPECT_EQ(GetInt(b, kMain, u"Height"), 1);
  PutInt(b, kMain, u"Autorefresh", 2);
  EXPECT_EQ(GetInt(a, kMain, u"Autorefresh"), 2);
  EXPECT_EQ(a.CountEntries(kMain), 3);
}

// ---- malformed paths ----

const std::u16string kLongComponent = u"./" + std::u16string(128, u'x') + u"/";

struct PathCase {
  const char* label;
  const char16_t* path;
};

class MalformedPathTest : public ReestrTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(MalformedPathTest, IsNotFoundAndChangesNothing) {
  db_.Write(fixture::DeliveredIndex(), MainData());
  Reestr db(db_.data(), db_.index(), 0);
  const char16_t* path = GetParam().path;
  std::uint8_t value[4];
  std::int32_t length, type;
  EXPECT_EQ(Outcome([&] { db.ReadValue(path, u"Height", value, 4, &length, &type, 0); }),
            Reestr::ecNotFound);
  EXPECT_EQ(Outcome([&] { db.CountEntries(path); }), Reestr::ecNotFound);
  EXPECT_EQ(Outcome([&] { PutInt(db, path, u"Height", 1); }), Reestr::ecNotFound);
  EXPECT_EQ(db_.Index(), fixture::DeliveredIndex());
  EXPECT_EQ(db_.Data(), MainData());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MalformedPathTest,
    ::testing::Values(PathCase{"NoRootMarker", u"orvKestrow/Settings/frmMain/"},
                      PathCase{"MarkerNotADot", u"x/orvKestrow/Settings/frmMain/"},
                      PathCase{"NoTrailingSlash", u"./orvKestrow/Settings/frmMain"},
                      PathCase{"Empty", u""}, PathCase{"DotAlone", u"."},
                      PathCase{"ComponentOf128", kLongComponent.c_str()},
                      PathCase{"Null", nullptr}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- damaged files ----

enum class Op { Read, Count, Write, WriteRoot };

struct DamageCase {
  const char* label;
  std::function<void(Bytes& index, Bytes& data)> damage;
  Op op;
  const char16_t* folder;
  const char16_t* name;
  int code;
};

class DamagedFileTest : public ReestrTest, public ::testing::WithParamInterface<DamageCase> {};

// Whatever the damage, the operation ends with its step's code, reads and writes nothing
// outside the caller's buffer, and a failed write changes neither file.
TEST_P(DamagedFileTest, FailsWithTheStepsCode) {
  const auto& c = GetParam();
  Bytes index = fixture::DeliveredIndex();
  Bytes data = MainData();
  c.damage(index, data);
  db_.Write(index, data);
  Reestr db(db_.data(), db_.index(), 1);
  std::uint8_t buffer[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  std::int32_t length = 0, type = 0;
  int code = Outcome([&] {
    switch (c.op) {
      case Op::Read:
        db.ReadValue(c.folder, c.name, buffer, 4, &length, &type, 0);
        break;
      case Op::Count:
        db.CountEntries(c.folder);
        break;
      case Op::Write:
        PutInt(db, c.folder, c.name, 42);
        break;
      case Op::WriteRoot:
        db.WriteValue(u"./", c.name, nullptr, 0, kFolder, 0);
        break;
    }
  });
  EXPECT_EQ(code, c.code);
  EXPECT_EQ(Bytes(buffer + 4, buffer + 8), Bytes(4, 0xEE));
  if (c.op == Op::Write || c.op == Op::WriteRoot) {
    EXPECT_EQ(db_.Index(), index);
    EXPECT_EQ(db_.Data(), data);
  }
}

void SetData16(Bytes& data, std::size_t at, std::int32_t v) {
  fixture::Put16(data, at, v);
}

const DamageCase kDamage[] = {
    {"LengthAbove512", [](Bytes&, Bytes& d) { SetData16(d, 1580 + 276, 513); }, Op::Read, kMain,
     u"Height", Reestr::ecReadFailed},
    {"LengthAbove512Counted", [](Bytes&, Bytes& d) { SetData16(d, 1580 + 276, 513); }, Op::Count,
     kMain, nullptr, Reestr::ecScanFailed},
    {"NegativeLength", [](Bytes&, Bytes& d) { SetData16(d, 1580 + 276, -1); }, Op::Read, kMain,
     u"Height", Reestr::ecReadFailed},
    {"NegativeLengthBeforeNewKey", [](Bytes&, Bytes& d) { SetData16(d, 2370 + 276, -1); },
     Op::Write, kMain, u"New", Reestr::ecScanFailed},
    {"NameWithoutTerminator",
     [](Bytes&, Bytes& d) {
       for (int i = 0; i < 128; ++i) SetData16(d, 1580 + 4 + 2 * i, u'H');
     },
     Op::Read, kMain, u"Width", Reestr::ecReadFailed},
    {"FolderNameWithoutTerminator",
     [](Bytes& x, Bytes&) {
       for (int i = 0; i < 128; ++i) SetData16(x, 20 + 4 + 2 * i, u'o');
     },
     Op::Read, kMain, u"Width", Reestr::ecReadFailed},
    {"ChildOutsideFile", [](Bytes&, Bytes& d) { fixture::Put32(d, 790 + 268, 100000); }, Op::Read,
     kMain, u"Height", Reestr::ecReadFailed},
    {"ChildOutsideFileCounted", [](Bytes&, Bytes& d) { fixture::Put32(d, 790 + 268, 100000); },
     Op::Count, kMain, nullptr, Reestr::ecScanFailed},
    {"ChildOutsideFileWritten", [](Bytes&, Bytes& d) { fixture::Put32(d, 790 + 268, 100000); },
     Op::Write, kMain, u"New", Reestr::ecScanFailed},
    {"ChildOffSlotBoundary", [](Bytes&, Bytes& d) { fixture::Put32(d, 790 + 268, 1581); }, Op::Read,
     kMain, u"Height", Reestr::ecReadFailed},
    {"NegativeChild", [](Bytes&, Bytes& d) { fixture::Put32(d, 790 + 268, -7); }, Op::Read, kMain,
     u"Height", Reestr::ecReadFailed},
    {"PathChildOutsideFile", [](Bytes& x, Bytes&) { fixture::Put32(x, 20 + 268, 7900); }, Op::Read,
     kMain, u"Height", Reestr::ecReadFailed},
    {"SiblingLoopsToItself", [](Bytes&, Bytes& d) { fixture::Put32(d, 2370 + 264, 2370); },
     Op::Read, kMain, u"Missing", Reestr::ecReadFailed},
    {"SiblingsLoop", [](Bytes&, Bytes& d) { fixture::Put32(d, 2370 + 264, 1580); }, Op::Read, kMain,
     u"Missing", Reestr::ecReadFailed},
    {"SiblingsLoopCounted", [](Bytes&, Bytes& d) { fixture::Put32(d, 2370 + 264, 1580); },
     Op::Count, kMain, nullptr, Reestr::ecScanFailed},
    {"SiblingsLoopWritten", [](Bytes&, Bytes& d) { fixture::Put32(d, 2370 + 264, 1580); },
     Op::Write, kMain, u"New", Reestr::ecScanFailed},
    {"NextOutsideFile", [](Bytes&, Bytes& d) { fixture::Put32(d, 2370 + 264, 50000); }, Op::Read,
     kMain, u"Missing", Reestr::ecReadFailed},
    {"TopLevelLoop", [](Bytes& x, Bytes&) { fixture::Put32(x, 20 + 264, 20); }, Op::Read, u"./",
     u"Missing", Reestr::ecReadFailed},
    {"TopLevelLoopCounted", [](Bytes& x, Bytes&) { fixture::Put32(x, 20 + 264, 20); }, Op::Count,
     u"./", nullptr, Reestr::ecScanFailed},
    {"TopLevelLoopWritten", [](Bytes& x, Bytes&) { fixture::Put32(x, 20 + 264, 20); },
     Op::WriteRoot, nullptr, u"New", Reestr::ecReadFailed},
    {"TopLevelLoopOnPath", [](Bytes& x, Bytes&) { fixture::Put32(x, 20 + 264, 20); }, Op::Read,
     u"./Missing/", u"x", Reestr::ecReadFailed},
    {"TopLevelNextOffSlot", [](Bytes& x, Bytes&) { fixture::Put32(x, 20 + 264, 21); }, Op::Count,
     u"./", nullptr, Reestr::ecScanFailed},
    {"NegativeCount", [](Bytes& x, Bytes&) { fixture::Put32(x, 8, -1); }, Op::Read, u"./",
     u"orvKestrow", Reestr::ecReadFailed},
    {"NegativeCountCounted", [](Bytes& x, Bytes&) { fixture::Put32(x, 8, -1); }, Op::Count, u"./",
     nullptr, Reestr::ecScanFailed},
    {"NegativeCountWritten", [](Bytes& x, Bytes&) { fixture::Put32(x, 8, -1); }, Op::WriteRoot,
     nullptr, u"New", Reestr::ecStoreFailed},
    {"RecordCutShort", [](Bytes&, Bytes& d) { d.resize(1580 + 100); }, Op::Read, kMain, u"Height",
     Reestr::ecReadFailed},
    {"ValueCutShort", [](Bytes&, Bytes& d) { d.resize(2370 + 278 + 2); }, Op::Read, kMain, u"Width",
     Reestr::ecReadFailed},
    {"DataListPastTheEnd", [](Bytes& x, Bytes&) { fixture::Put32(x, 12, 99999); }, Op::Write, kMain,
     u"New", Reestr::ecStoreFailed},
    {"DataListNegative", [](Bytes& x, Bytes&) { fixture::Put32(x, 12, -4); }, Op::Write, kMain,
     u"New", Reestr::ecStoreFailed},
    {"DataListRagged",
     [](Bytes& x, Bytes& d) { fixture::Put32(x, 12, static_cast<int>(d.size()) - 2); }, Op::Write,
     kMain, u"New", Reestr::ecStoreFailed},
    {"DataListSlotOffBoundary",
     [](Bytes& x, Bytes& d) {
       fixture::Put32(x, 12, static_cast<int>(d.size()));
       d = Cat({d, Offsets({795})});
     },
     Op::Write, kMain, u"New", Reestr::ecStoreFailed},
    {"DataListSlotInsideTheList",
     [](Bytes& x, Bytes& d) {
       fixture::Put32(x, 12, static_cast<int>(d.size()));
       d = Cat({d, Offsets({static_cast<int>(d.size())})});
     },
     Op::Write, kMain, u"New", Reestr::ecStoreFailed},
    {"IndexListPastTheEnd", [](Bytes& x, Bytes&) { fixture::Put32(x, 16, 5000); }, Op::WriteRoot,
     nullptr, u"New", Reestr::ecStoreFailed},
    {"IndexListSlotOffBoundary",
     [](Bytes& x, Bytes&) {
       fixture::Put32(x, 16, static_cast<int>(x.size()));
       x = Cat({x, Offsets({300})});
     },
     Op::WriteRoot, nullptr, u"New", Reestr::ecStoreFailed},
};

INSTANTIATE_TEST_SUITE_P(Damage, DamagedFileTest, ::testing::ValuesIn(kDamage),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
