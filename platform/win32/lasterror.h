// The calling thread's last-error value.
#pragma once

#include "platform/win32/wintypes.h"

DWORD GetLastError();
void SetLastError(DWORD code);
