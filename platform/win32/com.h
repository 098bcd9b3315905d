// COM initialisation. No COM server runs on Linux and nothing of this layer uses COM, so the
// calls keep the per-thread initialisation count that callers may rely on and nothing else.
#pragma once

#include "platform/win32/wintypes.h"

inline constexpr HRESULT S_FALSE = 1;

HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
