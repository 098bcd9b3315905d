// Loading libraries by name. The system libraries a program binds at start are modules of this
// layer (see system_libraries.h); any other name is a shared object beside the executable:
// "Name.dll" is looked for as libName.so, then Name.so, in the executable's folder, then as
// libName.so on the loader's usual search path.
#pragma once

#include <string>

#include "platform/win32/wintypes.h"

HMODULE LoadLibraryW(LPCWSTR fileName);
HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

namespace win32 {

struct BuiltinExport {
  const char* name;
  FARPROC address;
};

// A module of the layer, found by its file name (compared without case, as Windows does).
struct BuiltinModule {
  const char* fileName;
  const BuiltinExport* exports;
  size_t count;
};

}  // namespace win32

namespace win32::testing {
// Make a built-in module or one of its entry points unavailable, as on a system that lacks it.
void RemoveBuiltinModule(const std::string& fileName);
void RemoveBuiltinExport(const std::string& fileName, const std::string& exportName);
void RestoreBuiltinModules();
// Modules currently loaded through LoadLibrary and not yet freed.
int LoadedModuleCount();
}  // namespace win32::testing
