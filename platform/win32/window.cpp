#include "platform/win32/window.h"

#include <map>
#include <mutex>

#include "platform/win32/lasterror.h"
#include "platform/win32/winerror.h"

namespace win32 {

namespace {

struct Windows {
  std::mutex lock;
  std::map<std::uintptr_t, std::shared_ptr<WindowObject>> byHandle;
  std::uintptr_t next = 0x10010;
};

Windows& All() {
  static Windows* windows = new Windows;
  return *windows;
}

}  // namespace

HWND RegisterWindow(std::shared_ptr<WindowObject> window) {
  auto& w = All();
  std::lock_guard guard(w.lock);
  std::uintptr_t h = w.next;
  w.next += 2;
  w.byHandle.emplace(h, std::move(window));
  return reinterpret_cast<HWND>(h);
}

void UnregisterWindow(HWND window) {
  std::shared_ptr<WindowObject> gone;  // released outside the lock
  auto& w = All();
  std::lock_guard guard(w.lock);
  auto it = w.byHandle.find(reinterpret_cast<std::uintptr_t>(window));
  if (it == w.byHandle.end()) return;
  gone = std::move(it->second);
  w.byHandle.erase(it);
}

std::shared_ptr<WindowObject> LookupWindow(HWND window) {
  auto& w = All();
  std::lock_guard guard(w.lock);
  auto it = w.byHandle.find(reinterpret_cast<std::uintptr_t>(window));
  return it == w.byHandle.end() ? nullptr : it->second;
}

}  // namespace win32

namespace {
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
}

BOOL IsWindow(HWND window) {
  return win32::LookupWindow(window) ? TRUE : FALSE;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto w = win32::LookupWindow(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  w->Post(message, wParam, lParam);
  return TRUE;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto w = win32::LookupWindow(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return w->Send(message, wParam, lParam);
}

LONG GetWindowLongW(HWND window, int index) {
  auto w = win32::LookupWindow(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return w->GetLong(index);
}

LONG SetWindowLongW(HWND window, int index, LONG value) {
  auto w = win32::LookupWindow(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return w->SetLong(index, value);
}

BOOL ShowWindow(HWND window, int command) {
  auto w = win32::LookupWindow(window);
  return w ? w->Show(command) : FALSE;
}

BOOL SetForegroundWindow(HWND window) {
  auto w = win32::LookupWindow(window);
  return w ? w->SetForeground() : FALSE;
}
