#include "app/ProcessGlobals.h"

#include "platform/win32/strings.h"
#include "platform/win32/sysinfo.h"

std::string CommandLine;
std::u16string SettingsDataFile;
std::u16string SettingsIndexFile;

std::string ExecutableFolderAnsi() {
  char path[4096] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string full(path, n < sizeof path ? n : 0);
  // Cut after the last separator; on this system that is '/'.
  size_t cut = full.rfind('/');
  return cut == std::string::npos ? std::string() : full.substr(0, cut + 1);
}

void FormSettingsPaths() {
  std::u16string folder;
  win32::AnsiToUtf16(ExecutableFolderAnsi(), folder);
  SettingsDataFile = folder + u"settings/orvRB.b";
  SettingsIndexFile = folder + u"settings/orvRB.r";
}
