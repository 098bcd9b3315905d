// The process entry: the framework's application object, then the entry routine.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/EntryRoutine.h"
#include "platform/linux/samba_config.h"
#include "platform/vcl/Forms.h"

int main(int argc, char** argv) {
  // Qt would abort without a display; say so plainly instead.
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !(platform && *platform)) {
    std::fprintf(stderr, "orvKestrow: no display (set DISPLAY to an X server)\n");
    return 1;
  }
  // The Samba instance this program administers.
  if (const char* conf = std::getenv("KESTROW_SMB_CONF"); conf && *conf)
    linuxsys::SetSambaConfigPath(conf);

  // The command-line text without the program path, as the entry routine receives it.
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  int result;
  {
    TApplication application(argc, argv);
    result = WinMain(nullptr, nullptr, commandLine.data(), 1);
    // The windows are destroyed with the application object, after the entry routine returned.
  }
  return result;
}
