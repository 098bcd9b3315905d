// One node of the session tree: a user's sessions from one client computer over one transport.
#pragma once

#include "platform/vcl/System.h"
#include "platform/win32/wintypes.h"

struct TConnectionInfo {
  AnsiString Computer;
  AnsiString User;
  DWORD Opens = 0;
  DWORD Time = 0;
  DWORD IdleTime = 0;
  DWORD UserFlags = 0;
  AnsiString ClientType;
  AnsiString Transport;
};

// A UTF-16 text of a session entry in the ANSI code page; a null text is empty, and a text that
// does not convert keeps its convertible characters (never lost whole).
AnsiString AnsiFromWide(const WCHAR* text);
