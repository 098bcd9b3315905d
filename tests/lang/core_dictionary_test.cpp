#include <gtest/gtest.h>

#include <vector>

#include "lang/CoreDictionary.h"
#include "platform/win32/strings.h"

namespace {

// Translates a stored text in a buffer of its own length, as the library does.
std::string Translate(const std::u16string& stored, bool trim = true) {
  std::vector<char16_t> buffer(stored.begin(), stored.end());
  buffer.push_back(u'\0');
  TranslateCoreText(buffer.data(), trim);
  return win32::Utf8FromUtf16(buffer.data());
}

class CoreDictionary : public testing::Test {
 protected:
  void SetUp() override { lang::ResetCoreDictionaryForTesting(); }
  void TearDown() override { lang::ResetCoreDictionaryForTesting(); }
};

TEST_F(CoreDictionary, WithoutEntryOnlyTheBlanksGo) {
  EXPECT_EQ(Translate(u"Access to Service denied!               "), "Access to Service denied!");
  EXPECT_EQ(Translate(u"keep  ", false), "keep  ");
  EXPECT_EQ(Translate(u"  inner blanks stay  "), "  inner blanks stay");
}

TEST_F(CoreDictionary, KeysIncludeTheirBlanksAndTranslationsAreCutToTheStoredLength) {
  const std::u16string stored = u"Getting Service state failed!           ";  // 40 units
  ASSERT_EQ(stored.size(), 40u);
  lang::LoadCoreDictionaryFromText(
      "Getting Service state failed!           ===" + std::string(50, 'y') +
      "\nGetting Service state failed!===not this one\n");
  EXPECT_EQ(Translate(stored), std::string(40, 'y'));
  EXPECT_EQ(Translate(u"Getting Service state failed!"), "not this one");
}

TEST_F(CoreDictionary, UnconvertibleAndEmptyLinesAreSkippedNotFatal) {
  lang::LoadCoreDictionaryFromText("bad\xFF===x\n\nok===ja\n");
  EXPECT_EQ(Translate(u"ok"), "ja");
  EXPECT_EQ(Translate(u"bad"), "bad");
}

TEST_F(CoreDictionary, LongestUsableLineIs4095AndLoadsOnce) {
  lang::LoadCoreDictionaryFromText("a===" + std::string(4091, 'v') +
                                   "\nb===" + std::string(4092, 'w') + "\nc===z\n");
  // A one-character stored text takes only the first character of its translation.
  EXPECT_EQ(Translate(u"a"), "v");
  EXPECT_EQ(Translate(u"b"), "b") << "an overlong line ends the loading";
  EXPECT_EQ(Translate(u"c"), "c");
  lang::LoadCoreDictionaryFromText("c===again\n");
  EXPECT_EQ(Translate(u"c"), "c") << "loaded only once";
}

TEST_F(CoreDictionary, FileThatIsADirectoryLoadsNothing) {
  EXPECT_TRUE(LoadCoreDictionary("/tmp"));
  EXPECT_EQ(Translate(u"x  "), "x");
}

}  // namespace
