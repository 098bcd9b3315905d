#include "app/Error.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "lang/CoreDictionary.h"
#include "platform/win32/format_message.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/messagebox.h"

namespace Orv {

namespace {

constexpr size_t kSystemTextUnits = 1025;
// The box text is formed in a buffer of its own; longer texts are cut to fit.
constexpr size_t kBoxTextUnits = 4096;

}  // namespace

void RaiseLibraryError(const char16_t* storedText) {
  std::vector<WCHAR> buffer(storedText,
                            storedText + std::char_traits<char16_t>::length(storedText) + 1);
  TranslateCoreText(buffer.data(), true);
  throw NewPlainError(buffer.data());
}

}  // namespace Orv

void FormatSystemError(Orv::TError* record, DWORD code) {
  const DWORD c = code ? code : GetLastError();
  LPWSTR systemText = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
      nullptr, c, 0, reinterpret_cast<LPWSTR>(&systemText), 0, nullptr);
  std::unique_ptr<void, HLOCAL (*)(HLOCAL)> owned(systemText, LocalFree);
  std::u16string text;
  if (length > 0 && systemText) {
    WCHAR format[] = u"%s Error: %d";
    TranslateCoreText(format, true);
    const DWORD shown = code ? code : GetLastError();
    std::u16string f = format;
    std::u16string number;
    for (char ch : std::to_string(static_cast<long long>(static_cast<LONG>(shown)))) number += ch;
    // Each insert is used once, in whatever order a translation puts them.
    bool textUsed = false, numberUsed = false;
    for (size_t i = 0; i < f.size(); ++i) {
      if (f[i] == u'%' && i + 1 < f.size() && f[i + 1] == u's' && !textUsed) {
        text.append(systemText, length);
        textUsed = true;
        ++i;
      } else if (f[i] == u'%' && i + 1 < f.size() && f[i + 1] == u'd' && !numberUsed) {
        text += number;
        numberUsed = true;
        ++i;
      } else {
        text += f[i];
      }
    }
  } else {
    WCHAR failed[] = u"GetErrorText Failed!                            ";
    TranslateCoreText(failed, true);
    text = failed;
  }
  text.resize(std::min(text.size(), Orv::kSystemTextUnits - 1));
  std::copy(text.begin(), text.end(), record->SystemText);
  record->SystemText[text.size()] = u'\0';
}

void ShowError(Orv::TError* record) {
  Orv::TErrorPtr owned = Orv::TakeError(record);
  if (!owned) return;
  std::u16string text = owned->Message ? owned->Message : u"";
  if (owned->HasSystemText) {
    text += u"\n";
    text += owned->SystemText;
  }
  if (text.size() > Orv::kBoxTextUnits - 1) text.resize(Orv::kBoxTextUnits - 1);
  MessageBoxW(nullptr, text.c_str(), u"Error", MB_TASKMODAL | MB_ICONERROR | MB_OK);
}
