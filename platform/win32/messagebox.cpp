#include "platform/win32/messagebox.h"

#include <cstdio>
#include <mutex>

#include "platform/win32/strings.h"

namespace win32 {

namespace {

class StderrPresenter : public MessageBoxPresenter {
 public:
  int Present(HWND, const std::u16string& text, const std::u16string& caption, UINT) override {
    std::fprintf(stderr, "[%s] %s\n", Utf8FromUtf16(caption).c_str(), Utf8FromUtf16(text).c_str());
    return IDOK;
  }
};

std::mutex g_lock;
std::unique_ptr<MessageBoxPresenter>& Current() {
  static auto* presenter = new std::unique_ptr<MessageBoxPresenter>(new StderrPresenter);
  return *presenter;
}

}  // namespace

std::unique_ptr<MessageBoxPresenter> SetMessageBoxPresenter(
    std::unique_ptr<MessageBoxPresenter> presenter) {
  std::lock_guard guard(g_lock);
  if (!presenter) presenter = std::make_unique<StderrPresenter>();
  std::swap(presenter, Current());
  return presenter;
}

}  // namespace win32

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  std::u16string t = text ? text : u"";
  std::u16string c = caption ? caption : u"Error";  // Windows' title for a null caption
  // The presenter runs a modal loop of its own; it is not held under the lock.
  win32::MessageBoxPresenter* presenter;
  {
    std::lock_guard guard(win32::g_lock);
    presenter = win32::Current().get();
  }
  return presenter->Present(owner, t, c, type);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  std::u16string t, c;
  if (text) win32::AnsiToUtf16(text, t);
  if (caption) win32::AnsiToUtf16(caption, c);
  return MessageBoxW(owner, text ? t.c_str() : nullptr, caption ? c.c_str() : nullptr, type);
}
