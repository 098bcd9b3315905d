// Named mutexes. A name lives in the user's session namespace (as a name without "Global\" does
// on Windows) and exists while any process holds a handle to it; it goes with the last holder,
// also when that holder crashes.
#pragma once

#include <string>

#include "platform/win32/wintypes.h"

// Sets the last error to ERROR_ALREADY_EXISTS (and still returns a handle) when the name
// existed; 0 otherwise. Ownership is not served: initialOwner must be FALSE.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);

namespace win32 {
// The folder of the session namespace's objects: $XDG_RUNTIME_DIR/win32-objects, or
// /tmp/win32-objects-UID, created private to the user.
std::string SessionObjectFolder();
}  // namespace win32
