// The five system libraries of the process-status, remote-access administration, terminal
// services, directory services and their directory-services API families, as modules of this
// layer. Each entry point that Linux can serve does its real work; the rest answer with the
// platform's not-supported result in the function's own error convention (docs/architecture.md
// lists which).
#pragma once

#include <vector>

#include "platform/win32/library.h"

namespace win32 {
std::vector<BuiltinModule> SystemLibraryModules();
}  // namespace win32
