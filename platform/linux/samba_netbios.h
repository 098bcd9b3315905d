// This computer's NetBIOS name as its SMB server presents it.
#pragma once

#include <string>

namespace linuxsys {
// Samba's "netbios name" of the configured smb.conf when set, else the host name's first label;
// upper case, at most 15 characters. Empty only when neither can be read.
std::string NetbiosName();
}  // namespace linuxsys
