// The program's entry routine.
#pragma once

#include "platform/win32/wintypes.h"

// Returns 1 when another copy already runs, 2 when the system libraries cannot be bound, 0
// otherwise.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
