#include "platform/win32/com.h"

#include "platform/win32/winerror.h"

namespace {
thread_local int g_initialised = 0;
}

HRESULT CoInitialize(LPVOID reserved) {
  if (reserved) return static_cast<HRESULT>(0x80070057u);  // E_INVALIDARG
  return g_initialised++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (g_initialised > 0) --g_initialised;
}
