#include "platform/linux/samba_netbios.h"

#include <unistd.h>

#include "platform/linux/samba_config.h"

namespace linuxsys {

std::string NetbiosName() {
  std::string name;
  if (auto configured = SambaGlobalParameter("netbios name"); configured && !configured->empty()) {
    name = *configured;
  } else {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) return {};
    name = host;
    name = name.substr(0, name.find('.'));
  }
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (name.size() > 15) name.resize(15);
  return name;
}

}  // namespace linuxsys
