// smbstatus output and /proc text are outside bytes: the readers must reject anything they do not
// understand without crashing.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/linux/samba_process.h"
#include "platform/linux/samba_status.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  linuxsys::SambaStatus status;
  if (linuxsys::ParseSambaStatusJson(text, status)) {
    for (const auto& s : status.sessions) {
      if (auto e = linuxsys::ParseClientEndpoint(s.hostname))
        linuxsys::FindServerEndpoint(text, e->family != 2, *e, {1, 2, 3});
    }
  }
  linuxsys::ParseIsoTime(text);
  linuxsys::ParseIoCounters(text);
  if (auto e = linuxsys::ParseClientEndpoint(text)) {
    linuxsys::FindServerEndpoint(text, false, *e, {0});
    linuxsys::FindServerEndpoint(text, true, *e, {0});
  }
  return 0;
}
