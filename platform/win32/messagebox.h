// Message boxes go through one presenter: the window layer installs one that shows a real box,
// tests install a recorder. Without one, the box is written to standard error and answered OK.
#pragma once

#include <memory>
#include <string>

#include "platform/win32/wintypes.h"

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_OKCANCEL = 0x00000001;
inline constexpr UINT MB_YESNO = 0x00000004;
inline constexpr UINT MB_ICONERROR = 0x00000010;
inline constexpr UINT MB_ICONQUESTION = 0x00000020;
inline constexpr UINT MB_ICONWARNING = 0x00000030;
inline constexpr UINT MB_ICONINFORMATION = 0x00000040;
inline constexpr UINT MB_APPLMODAL = 0x00000000;
inline constexpr UINT MB_SYSTEMMODAL = 0x00001000;
inline constexpr UINT MB_TASKMODAL = 0x00002000;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

namespace win32 {

class MessageBoxPresenter {
 public:
  virtual ~MessageBoxPresenter() = default;
  virtual int Present(HWND owner, const std::u16string& text, const std::u16string& caption,
                      UINT type) = 0;
};

// Returns the previous presenter.
std::unique_ptr<MessageBoxPresenter> SetMessageBoxPresenter(
    std::unique_ptr<MessageBoxPresenter> presenter);

}  // namespace win32

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
