#include <gtest/gtest.h>

#include <string>

#include "platform/win32/lasterror.h"
#include "platform/win32/strings.h"
#include "platform/win32/winerror.h"

namespace {

struct ToWideCase {
  const char* name;
  std::string input;
  int inputLength;  // -1: NUL-terminated
  int bufferUnits;  // 0: ask for the size
  int expected;     // the result; 0 = failure
  DWORD error;      // the last error on failure
  std::u16string text;
};

class MultiByteToWide : public testing::TestWithParam<ToWideCase> {};

TEST_P(MultiByteToWide, ConvertsOrFailsAsWindowsDoes) {
  const auto& c = GetParam();
  std::u16string out(64, u'#');
  SetLastError(0);
  int n = MultiByteToWideChar(CP_UTF8, 0, c.input.c_str(), c.inputLength,
                              c.bufferUnits ? out.data() : nullptr, c.bufferUnits);
  EXPECT_EQ(n, c.expected);
  if (n == 0) {
    EXPECT_EQ(GetLastError(), c.error);
  } else if (c.bufferUnits) {
    EXPECT_EQ(out.substr(0, static_cast<size_t>(n)), c.text);
    EXPECT_EQ(out[static_cast<size_t>(n)], u'#') << "wrote past the converted text";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MultiByteToWide,
    testing::Values(
        ToWideCase{"terminated_counts_nul", "abc", -1, 64, 4, 0, std::u16string(u"abc\0", 4)},
        ToWideCase{"explicit_length", "abcdef", 3, 64, 3, 0, u"abc"},
        ToWideCase{"size_query",
                   "Gr\xC3\xBC\xC3\x9F"
                   "e",
                   -1, 0, 6, 0, u""},
        ToWideCase{"umlauts",
                   "Gr\xC3\xBC\xC3\x9F"
                   "e",
                   7, 64, 5, 0, u"Gr\u00FC\u00DFe"},
        ToWideCase{"astral_is_a_pair", "\xF0\x9F\x98\x80", 4, 64, 2, 0, u"\U0001F600"},
        ToWideCase{"buffer_too_small", "abcdef", -1, 3, 0, ERROR_INSUFFICIENT_BUFFER, u""},
        ToWideCase{"bad_continuation", "\xC3\x28", 2, 64, 0, ERROR_NO_UNICODE_TRANSLATION, u""},
        ToWideCase{"overlong_slash", "\xC0\xAF", 2, 64, 0, ERROR_NO_UNICODE_TRANSLATION, u""},
        ToWideCase{"encoded_surrogate", "\xED\xA0\x80", 3, 64, 0, ERROR_NO_UNICODE_TRANSLATION,
                   u""},
        ToWideCase{"truncated_sequence", "ab\xE2\x82", 4, 64, 0, ERROR_NO_UNICODE_TRANSLATION, u""},
        ToWideCase{"empty_input", "", 0, 64, 0, ERROR_INVALID_PARAMETER, u""}),
    [](const auto& info) { return info.param.name; });

TEST(WideCharToMultiByte, UnpairedSurrogateFails) {
  const char16_t text[] = {u'a', 0xD800, u'b', 0};
  char out[16];
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(WideCharToMultiByte, TooSmallBufferFailsAndSizeQueryCountsNul) {
  char out[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00FC\u00FC", -1, nullptr, 0, nullptr, nullptr), 5);
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00FC\u00FC", -1, out, 4, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

// The ANSI code page follows the locale's character set; a Windows-125x system is one whose
// locale uses such a set.
class AnsiCodePage : public testing::Test {
 protected:
  void SetUp() override { win32::SetAnsiCharsetForTesting("WINDOWS-1252"); }
  void TearDown() override { win32::SetAnsiCharsetForTesting("UTF-8"); }
};

TEST_F(AnsiCodePage, SingleByteSetConvertsBothWays) {
  char16_t wide[8] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xE9\x80", 2, wide, 8), 2);
  EXPECT_EQ(std::u16string(wide, 2), u"\u00E9\u20AC");
  char narrow[8] = {};
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u00E9\u20AC", 2, narrow, 8, nullptr, nullptr), 2);
  EXPECT_EQ(std::string(narrow, 2), "\xE9\x80");
  EXPECT_EQ(GetACP(), 1252u);
}

TEST_F(AnsiCodePage, UnrepresentableCharacterBecomesDefaultChar) {
  char narrow[8] = {};
  BOOL used = FALSE;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u4E2Db", 3, narrow, 8, nullptr, &used), 3);
  EXPECT_EQ(std::string(narrow, 3), "a?b");
  EXPECT_TRUE(used);
}

TEST(Utf8Helpers, ReplacingVariantsNeverFail) {
  EXPECT_EQ(win32::Utf16FromUtf8("a\xFF"
                                 "b"),
            u"a\uFFFDb");
  const char16_t lone[] = {u'x', 0xDC00, 0};
  EXPECT_EQ(win32::Utf8FromUtf16(lone), "x\xEF\xBF\xBD");
}

}  // namespace
