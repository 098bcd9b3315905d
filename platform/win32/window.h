// Window handles. The window layer registers each of its windows here, so that the
// Windows-shaped calls on an HWND (posting a message, styles, showing) reach it. Posting is safe
// from any thread; the window receives the message on its own thread.
#pragma once

#include <memory>

#include "platform/win32/wintypes.h"

inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWL_STYLE = -16;
inline constexpr LONG WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr LONG WS_EX_TOPMOST = 0x00000008;
inline constexpr LONG WS_EX_APPWINDOW = 0x00040000;

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_SIZING = 0x0214;
inline constexpr UINT WM_MOVING = 0x0216;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;
inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_RESTORE = 0xF120;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;

struct RECT {
  LONG left, top, right, bottom;
};

namespace win32 {

class WindowObject {
 public:
  virtual ~WindowObject() = default;
  // Called on any thread; delivers later on the window's thread.
  virtual void Post(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // Called on the window's thread.
  virtual LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  virtual LONG GetLong(int index) = 0;
  virtual LONG SetLong(int index, LONG value) = 0;
  virtual BOOL Show(int command) = 0;
  virtual BOOL SetForeground() = 0;
};

HWND RegisterWindow(std::shared_ptr<WindowObject> window);
void UnregisterWindow(HWND window);
std::shared_ptr<WindowObject> LookupWindow(HWND window);

}  // namespace win32

BOOL IsWindow(HWND window);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LONG GetWindowLongW(HWND window, int index);
LONG SetWindowLongW(HWND window, int index, LONG value);
BOOL ShowWindow(HWND window, int command);
BOOL SetForegroundWindow(HWND window);
