#include "platform/win32/library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/win32/lasterror.h"
#include "platform/win32/strings.h"
#include "platform/win32/sysinfo.h"
#include "platform/win32/system_libraries.h"
#include "platform/win32/winerror.h"

namespace win32 {

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

struct Builtin {
  std::map<std::string, FARPROC> exports;
};

struct LoadedModule {
  const Builtin* builtin = nullptr;  // a module of the layer, or
  void* shared = nullptr;            // a dlopen handle
  int references = 1;
};

class Registry {
 public:
  Registry() { Restore(); }

  void Restore() {
    builtins_.clear();
    for (const BuiltinModule& m : SystemLibraryModules()) {
      Builtin& b = builtins_[Lower(m.fileName)];
      for (size_t i = 0; i < m.count; ++i) b.exports[m.exports[i].name] = m.exports[i].address;
    }
  }

  std::mutex lock;
  std::map<std::string, Builtin> builtins_;     // by lower-case file name
  std::map<const void*, LoadedModule*> loaded;  // by builtin or dlopen handle
  std::set<const LoadedModule*> valid;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // lives to the end of the process
  return *registry;
}

std::string ExecutableFolder() {
  const std::string path = ExecutablePath();
  return path.empty() ? "." : path.substr(0, path.rfind('/'));
}

void* OpenShared(const std::string& fileName) {
  std::string stem = fileName;
  if (stem.size() > 4 && Lower(stem.substr(stem.size() - 4)) == ".dll")
    stem.resize(stem.size() - 4);
  std::vector<std::string> candidates;
  if (fileName.find('/') != std::string::npos) {
    candidates.push_back(fileName);
  } else {
    const std::string folder = ExecutableFolder();
    candidates = {folder + "/lib" + stem + ".so", folder + "/" + stem + ".so",
                  "lib" + stem + ".so"};
  }
  for (const auto& candidate : candidates) {
    if (void* h = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
  }
  return nullptr;
}

HMODULE Load(const std::string& utf8Name) {
  Registry& r = TheRegistry();
  std::lock_guard guard(r.lock);
  const void* key = nullptr;
  const Builtin* builtin = nullptr;
  void* shared = nullptr;
  if (auto it = r.builtins_.find(Lower(utf8Name)); it != r.builtins_.end()) {
    builtin = &it->second;
    key = builtin;
  } else {
    shared = OpenShared(utf8Name);
    if (!shared) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    key = shared;
  }
  if (auto it = r.loaded.find(key); it != r.loaded.end()) {
    ++it->second->references;
    if (shared) dlclose(shared);  // dlopen counted it once more
    return reinterpret_cast<HMODULE>(it->second);
  }
  auto* m = new LoadedModule{builtin, shared, 1};
  r.loaded[key] = m;
  r.valid.insert(m);
  return reinterpret_cast<HMODULE>(m);
}

}  // namespace

}  // namespace win32

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::u16string wide;
  std::string utf8;
  if (!win32::AnsiToUtf16(fileName, wide) || !win32::Utf16ToUtf8(wide, utf8)) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  return win32::Load(utf8);
}

HMODULE LoadLibraryW(LPCWSTR fileName) {
  std::string utf8;
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!win32::Utf16ToUtf8(fileName, utf8)) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  return win32::Load(utf8);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  auto& r = win32::TheRegistry();
  std::lock_guard guard(r.lock);
  auto* m = reinterpret_cast<const win32::LoadedModule*>(module);
  if (!m || !r.valid.count(m)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // Lookups by ordinal (a pointer value below 0x10000) are not served.
  if (!procName || reinterpret_cast<std::uintptr_t>(procName) < 0x10000) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  if (m->builtin) {
    auto it = m->builtin->exports.find(procName);
    if (it == m->builtin->exports.end()) {
      SetLastError(ERROR_PROC_NOT_FOUND);
      return nullptr;
    }
    return it->second;
  }
  dlerror();
  void* symbol = dlsym(m->shared, procName);
  if (!symbol) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
  auto& r = win32::TheRegistry();
  std::lock_guard guard(r.lock);
  auto* m = reinterpret_cast<win32::LoadedModule*>(module);
  if (!m || !r.valid.count(m)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--m->references > 0) return TRUE;
  const void* key = m->builtin ? static_cast<const void*>(m->builtin) : m->shared;
  r.loaded.erase(key);
  r.valid.erase(m);
  if (m->shared) dlclose(m->shared);
  delete m;
  return TRUE;
}

namespace win32::testing {

void RemoveBuiltinModule(const std::string& fileName) {
  auto& r = TheRegistry();
  std::lock_guard guard(r.lock);
  auto it = r.builtins_.find(Lower(fileName));
  if (it != r.builtins_.end() && !r.loaded.count(&it->second)) r.builtins_.erase(it);
}

void RemoveBuiltinExport(const std::string& fileName, const std::string& exportName) {
  auto& r = TheRegistry();
  std::lock_guard guard(r.lock);
  auto it = r.builtins_.find(Lower(fileName));
  if (it != r.builtins_.end()) it->second.exports.erase(exportName);
}

void RestoreBuiltinModules() {
  auto& r = TheRegistry();
  std::lock_guard guard(r.lock);
  // Loaded modules point into the table, so only rebuild it when none is loaded.
  if (r.loaded.empty() || std::none_of(r.loaded.begin(), r.loaded.end(),
                                       [](const auto& e) { return e.second->builtin != nullptr; }))
    r.Restore();
}

int LoadedModuleCount() {
  auto& r = TheRegistry();
  std::lock_guard guard(r.lock);
  return static_cast<int>(r.valid.size());
}

}  // namespace win32::testing
