#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/Error.h"
#include "lang/Language.h"
#include "platform/win32/strings.h"
#include "tests/common/temp_folder.h"

namespace {

struct Lookup {
  std::string text, expected;
};

struct DictionaryCase {
  const char* name;
  std::string file;
  std::vector<Lookup> lookups;
};

class FormDictionary : public testing::TestWithParam<DictionaryCase> {};

TEST_P(FormDictionary, TranslatesExactlyWhatTheFileSays) {
  TLanguage language;
  language.LoadFromText(GetParam().file);
  for (const auto& l : GetParam().lookups)
    EXPECT_EQ(language.Translate(l.text), l.expected) << "text: " << l.text;
}

const std::string kLong(3000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Files, FormDictionary,
    testing::Values(
        DictionaryCase{
            "exact_key_only",
            "Options===Optionen\n",
            {{"Options", "Optionen"}, {"Options...", "Options..."}, {"options", "options"}}},
        DictionaryCase{"blank_before_separator_is_part_of_key",
                       "Options ===Optionen\n",
                       {{"Options", "Options"}, {"Options ", "Optionen"}}},
        DictionaryCase{"first_of_duplicates_wins", "a===first\na===second\n", {{"a", "first"}}},
        DictionaryCase{"split_at_first_separator", "a===b===c\n", {{"a", "b===c"}}},
        DictionaryCase{"empty_key", "===Empty\n", {{"", "Empty"}}},
        DictionaryCase{"lines_without_separator_ignored",
                       "no separator here\n\n==\nk===v\n",
                       {{"k", "v"}, {"no separator here", "no separator here"}}},
        DictionaryCase{"crlf_dropped_lone_cr_kept",
                       "a===b\r\nc===d\re===f\n",
                       {{"a", "b"}, {"c", "d\re===f"}}},
        DictionaryCase{"ctrl_z_ends_the_file",
                       "a===b\n\x1A"
                       "c===d\n",
                       {{"a", "b"}, {"c", "c"}}},
        DictionaryCase{"nul_ends_the_line_text",
                       std::string("a===b\0tail\nc===d\n", 17),
                       {{"a", "b"}, {"c", "d"}}},
        DictionaryCase{"overlong_third_line_stops_loading",
                       "a===1\nb===2\n" + kLong + "===3\nd===4\n",
                       {{"a", "1"}, {"b", "2"}, {"d", "d"}}},
        DictionaryCase{
            "longest_usable_line_is_2047",
            "k===" + std::string(2043, 'v') + "\nz===" + std::string(2044, 'w') + "\nafter===x\n",
            {{"k", std::string(2043, 'v')}, {"z", "z"}, {"after", "after"}}},
        DictionaryCase{"last_line_without_line_end", "a===b", {{"a", "b"}}}),
    [](const auto& info) { return info.param.name; });

TEST(FormDictionaryFile, LoadsOnceAndMissingOrDirectoryFilesLoadNothing) {
  testsupport::TempFolder dir("kestrow-lang");
  const std::string first = dir / "lang.dic";
  std::ofstream(first) << "Options===Optionen\n";
  {
    TLanguage language;
    EXPECT_TRUE(language.LoadFromFile(first));
    std::ofstream(first) << "Options===Changed\n";
    EXPECT_TRUE(language.LoadFromFile(first));
    EXPECT_EQ(language.Translate("Options"), "Optionen") << "read only the first time";
  }
  {
    TLanguage language;
    EXPECT_TRUE(language.LoadFromFile(dir / "missing.dic"));
    EXPECT_EQ(language.Translate("Options"), "Options");
    EXPECT_TRUE(language.LoadFromFile(first)) << "a failed first load is never retried";
    EXPECT_EQ(language.Translate("Options"), "Options");
  }
  {
    TLanguage language;
    EXPECT_TRUE(language.LoadFromFile(dir.str()));  // a directory reads as nothing
    EXPECT_EQ(language.Translate("Options"), "Options");
  }
}

std::string Message(Orv::TError* e) {
  Orv::TErrorPtr owned = Orv::TakeError(e);
  return win32::Utf8FromUtf16(owned->Message);
}

TEST(TranslateW, NullAndEmptyLookUpTheEmptyText) {
  TLanguage plain;
  plain.LoadFromText("");
  EXPECT_EQ(std::u16string(plain.TranslateW(nullptr)), u"");
  TLanguage withEmpty;
  withEmpty.LoadFromText("===Leer\nOptions===Optionen\n");
  EXPECT_EQ(std::u16string(withEmpty.TranslateW(nullptr)), u"Leer");
  EXPECT_EQ(std::u16string(withEmpty.TranslateW(u"")), u"Leer");
  EXPECT_EQ(std::u16string(withEmpty.TranslateW(u"Options")), u"Optionen");
}

TEST(TranslateW, ConversionFailuresRaiseTheirTexts) {
  TLanguage language;
  language.LoadFromText("");
  // More than the 2048-byte work buffer holds.
  std::u16string huge(2048, u'a');
  try {
    language.TranslateW(huge.c_str());
    FAIL() << "no error";
  } catch (Orv::TError* e) {
    EXPECT_EQ(Message(e), "!!: Error encoding to ANSI");
  }
  const char16_t lone[] = {u'a', 0xD800, 0};
  try {
    language.TranslateW(lone);
    FAIL() << "no error";
  } catch (Orv::TError* e) {
    EXPECT_EQ(Message(e), "!!: Error encoding to ANSI");
  }
  // A translation that is not valid in the code page cannot come back as UTF-16.
  TLanguage broken;
  broken.LoadFromText("k===\xFF\xFE\n");
  try {
    broken.TranslateW(u"k");
    FAIL() << "no error";
  } catch (Orv::TError* e) {
    EXPECT_EQ(Message(e), "!!: Error encoding to UNICODE");
  }
  // 2047 characters and the terminator fit exactly.
  std::u16string fits(2047, u'b');
  EXPECT_EQ(std::u16string(language.TranslateW(fits.c_str())), fits);
}

}  // namespace
