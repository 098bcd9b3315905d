// The tree printer behind reestr-dump, and the two tools run as programs.
#include "settingsdb/ReestrDump.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>

#include "settingsdb/Reestr.h"
#include "tests/settingsdb/ReestrFixtures.h"

namespace {

using fixture::Bytes;
using fixture::Cat;
using fixture::Le32;
using fixture::SlotBytes;

Bytes MainData() {
  return Cat({SlotBytes({.name = u"Settings", .child = 790}),
              SlotBytes({.name = u"frmMain", .child = 1580, .length = 1}, {1}),
              SlotBytes({.type = 1, .name = u"Height", .next = 2370, .length = 4}, Le32(600)),
              SlotBytes({.type = 1, .name = u"Width", .prev = 1580, .length = 4}, Le32(800))});
}

class InspectorTest : public ::testing::Test {
 protected:
  std::optional<ReestrDamage> Print(std::string& text) {
    Reestr db(db_.data(), db_.index(), 1);
    std::ostringstream out;
    auto damage = PrintReestr(db, out);
    text = out.str();
    return damage;
  }

  fixture::Scratch db_;
};

TEST_F(InspectorTest, PrintsEveryEntryAsATree) {
  db_.Write(fixture::DeliveredIndex(), MainData());
  std::string text;
  EXPECT_FALSE(Print(text));
  EXPECT_EQ(text,
            "index header: count 1, data free-slot list at 0, index free-slot list at 0\n"
            "data free-slot list: none\n"
            "index free-slot list: none\n"
            "./\n"
            "  \"orvKestrow\" Folder attr 0 len 0 @index offset 20\n"
            "    \"Settings\" Folder attr 0 len 0 @data offset 0\n"
            "      \"frmMain\" Folder attr 0 len 1 @data offset 790 value 01\n"
            "        \"Height\" Binary attr 0 len 4 @data offset 1580 value 58 02 00 00 (600)\n"
            "        \"Width\" Binary attr 0 len 4 @data offset 2370 value 20 03 00 00 (800)\n"
            "5 entries\n");
}

TEST_F(InspectorTest, PrintsFreeSlotListsAndNotes) {
  Bytes data = Cat({MainData(), fixture::Offsets({3160, 7900})});
  fixture::Put32(data, 2370 + 260, 0);  // a wrong prev: Reestr never follows it
  db_.Write(Cat({fixture::HeaderBytes(2, 3160),
                 fixture::RecordBytes({.name = u"orvKestrow", .child = 0})}),
            data);
  std::string text;
  EXPECT_FALSE(Print(text));
  EXPECT_NE(text.find("data free-slot list: at 3160, 3160 7900\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  note: prev is 0, the record before is at 1580\n"), std::string::npos);
  EXPECT_NE(text.find("note: the header counts 2 top-level folders, the chain holds 1\n"),
            std::string::npos);
}

struct DamageCase {
  const char* label;
  std::function<void(Bytes& index, Bytes& data)> damage;
  Reestr::ErrorCode code;
  const char* where;
};

class InspectorDamageTest : public InspectorTest,
                            public ::testing::WithParamInterface<DamageCase> {};

TEST_P(InspectorDamageTest, NamesTheCodeAndThePlace) {
  Bytes index = fixture::DeliveredIndex();
  Bytes data = MainData();
  GetParam().damage(index, data);
  db_.Write(index, data);
  std::string text;
  auto damage = Print(text);
  ASSERT_TRUE(damage);
  EXPECT_EQ(damage->code, GetParam().code);
  EXPECT_EQ(damage->where, GetParam().where);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, InspectorDamageTest,
    ::testing::Values(
        DamageCase{"FolderIsItsOwnChild", [](Bytes&, Bytes& d) { fixture::Put32(d, 268, 0); },
                   Reestr::ecReadFailed, "the record at data offset 0 is reached twice"},
        DamageCase{"SiblingsLoop", [](Bytes&, Bytes& d) { fixture::Put32(d, 2370 + 264, 1580); },
                   Reestr::ecReadFailed, "the record at data offset 1580 is reached twice"},
        DamageCase{"LengthAbove512", [](Bytes&, Bytes& d) { fixture::Put16(d, 1580 + 276, 600); },
                   Reestr::ecReadFailed, "the record at data offset 1580"},
        DamageCase{"ChildOffSlot", [](Bytes&, Bytes& d) { fixture::Put32(d, 790 + 268, 1000); },
                   Reestr::ecReadFailed, "the record at data offset 1000"},
        DamageCase{"NegativeCount", [](Bytes& x, Bytes&) { fixture::Put32(x, 8, -2); },
                   Reestr::ecReadFailed, "the index header"},
        DamageCase{"DataListPastTheEnd", [](Bytes& x, Bytes&) { fixture::Put32(x, 12, 9999); },
                   Reestr::ecStoreFailed, "the data free-slot list"}),
    [](const auto& info) { return std::string(info.param.label); });

#ifdef REESTR_MAKE

// Runs a command line; returns its exit status with stdout and stderr in files of the scratch.
int RunTool(const fixture::Scratch& scratch, const std::string& command, std::string& out,
            std::string& err) {
  const auto outPath = scratch.dir() / "out.txt";
  const auto errPath = scratch.dir() / "err.txt";
  int status =
      std::system((command + " >'" + outPath.string() + "' 2>'" + errPath.string() + "'").c_str());
  const Bytes o = fixture::ReadAll(outPath), e = fixture::ReadAll(errPath);
  out.assign(o.begin(), o.end());
  err.assign(e.begin(), e.end());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(InspectorTest, MakerWritesTheDeliveredDatabaseAndNeverOverwrites) {
  const auto folder = db_.dir() / "settings";
  std::string out, err;
  const std::string make = std::string("'") + REESTR_MAKE + "' '" + folder.string() + "'";
  ASSERT_EQ(RunTool(db_, make, out, err), 0) << err;
  EXPECT_EQ(fixture::ReadAll(folder / "orvRB.r"), fixture::DeliveredIndex());
  EXPECT_EQ(fixture::ReadAll(folder / "orvRB.b"), fixture::DeliveredData());
  EXPECT_FALSE(std::filesystem::exists(folder / "orvRB.b.new"));

  // A user's saved setting survives the next build.
  const auto data = win32::Utf16FromUtf8((folder / "orvRB.b").string());
  const auto index = win32::Utf16FromUtf8((folder / "orvRB.r").string());
  {
    Reestr db(data.c_str(), index.c_str(), 1);
    const std::uint8_t one = 1;
    db.WriteValue(u"./orvKestrow/Settings/", u"frmMain", &one, 1, Reestr::Folder, 0);
  }
  const Bytes saved = fixture::ReadAll(folder / "orvRB.b");
  ASSERT_EQ(RunTool(db_, make, out, err), 0) << err;
  EXPECT_EQ(fixture::ReadAll(folder / "orvRB.b"), saved);
  EXPECT_EQ(saved.size(), 790u * 2);
}

TEST_F(InspectorTest, InspectorExitsNamingTheCode) {
  std::string out, err;
  const std::string inspect = std::string("'") + REESTR_DUMP + "' '" + db_.dir().string() + "'";
  EXPECT_EQ(RunTool(db_, inspect, out, err), 1);
  EXPECT_NE(err.find("ecNoDatabase (-100)"), std::string::npos) << err;

  db_.Write(fixture::DeliveredIndex(), MainData());
  EXPECT_EQ(RunTool(db_, inspect, out, err), 0) << err;
  EXPECT_NE(out.find("\"Height\" Binary attr 0 len 4"), std::string::npos) << out;

  Bytes data = MainData();
  fixture::Put32(data, 2370 + 264, 1580);
  db_.Write(fixture::DeliveredIndex(), data);
  EXPECT_EQ(RunTool(db_, inspect, out, err), 1);
  EXPECT_NE(err.find("damaged: ecReadFailed (-6) at the record at data offset 1580"),
            std::string::npos)
      << err;
}

// The build leaves the delivered database in the installation.
TEST(InstalledDatabase, HoldsTheSettingsFolders) {
  const std::string settings = std::string(KESTROW_BIN_DIR) + "/settings/";
  const auto data = win32::Utf16FromUtf8(settings + "orvRB.b");
  const auto index = win32::Utf16FromUtf8(settings + "orvRB.r");
  Reestr db(data.c_str(), index.c_str(), 1);
  std::int32_t length = -1, type = -1;
  db.ReadValue(u"./", u"orvKestrow", nullptr, 0, &length, &type, 0);
  EXPECT_EQ(type, Reestr::Folder);
  db.ReadValue(u"./orvKestrow/", u"Settings", nullptr, 0, &length, &type, 0);
  EXPECT_EQ(type, Reestr::Folder);
}

#endif

}  // namespace
