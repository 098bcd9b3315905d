#include <gtest/gtest.h>

#include "app/Error.h"
#include "lang/CoreDictionary.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/winerror.h"
#include "tests/common/message_box_recorder.h"

namespace {

class ErrorBox : public testing::Test {
 protected:
  void SetUp() override { lang::ResetCoreDictionaryForTesting(); }
  void TearDown() override { lang::ResetCoreDictionaryForTesting(); }
  testsupport::MessageBoxRecorder boxes_;
};

// Raises a stored library text and shows it as the windows do.
void RaiseAndShow(const char16_t* stored) {
  try {
    Orv::RaiseLibraryError(stored);
  } catch (Orv::TError* e) {
    ShowError(e);
  }
}

TEST_F(ErrorBox, PlainFormIsOneLineWithoutTheStoredBlanks) {
  RaiseAndShow(u"Failed to Close Session!         ");
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text, "!!: Failed to Close Session!");
  EXPECT_EQ(boxes_.boxes()[0].caption, "Error");
  EXPECT_EQ(boxes_.boxes()[0].type, MB_TASKMODAL | MB_ICONERROR);
}

TEST_F(ErrorBox, TranslationFitsTheStoredLength) {
  // "Getting Service state failed!" and 11 blanks: 40 characters of room.
  lang::LoadCoreDictionaryFromText(
      "Getting Service state failed!           ===Dienststatus unbekannt\n"
      "Failed to Close Session!         ===" +
      std::string(50, 'x') + "\n");
  RaiseAndShow(u"Getting Service state failed!           ");
  RaiseAndShow(u"Failed to Close Session!         ");
  ASSERT_EQ(boxes_.boxes().size(), 2u);
  EXPECT_EQ(boxes_.boxes()[0].text, "!!: Dienststatus unbekannt");
  EXPECT_EQ(boxes_.boxes()[1].text, "!!: " + std::string(33, 'x'));
}

TEST_F(ErrorBox, SystemFormShowsMessageThenDescriptionWithCode) {
  auto* e = new Orv::TError;
  e->HasSystemText = 1;
  e->Message = Orv::NewWideString(u"Getting Computer Name failed!");
  FormatSystemError(e, ERROR_ACCESS_DENIED);
  ShowError(e);
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text,
            "Getting Computer Name failed!\nAccess is denied.\r\n Error: 5");
}

TEST_F(ErrorBox, CodeZeroMeansTheLastErrorAndUnknownCodesSaySo) {
  Orv::TError e;
  SetLastError(ERROR_FILE_NOT_FOUND);
  FormatSystemError(&e, 0);
  EXPECT_EQ(win32::Utf8FromUtf16(e.SystemText), "The file was not found.\r\n Error: 2");
  FormatSystemError(&e, 0x7777);
  EXPECT_EQ(win32::Utf8FromUtf16(e.SystemText), "GetErrorText Failed!");
}

TEST_F(ErrorBox, TranslatedFormatMayReorderItsInserts) {
  lang::LoadCoreDictionaryFromText("%s Error: %d===%d: %s\n");
  Orv::TError e;
  FormatSystemError(&e, ERROR_ACCESS_DENIED);
  EXPECT_EQ(win32::Utf8FromUtf16(e.SystemText), "5: Access is denied.\r\n");
}

TEST_F(ErrorBox, OverlongBoxTextIsCut) {
  std::u16string huge(6000, u'a');
  ShowError(Orv::NewPlainError(huge));
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text.size(), 4095u);
}

}  // namespace
