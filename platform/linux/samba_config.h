// Which Samba instance this machine's server calls go to, and the [global] parameters of its
// smb.conf. The default is the system's configuration; a program may point it elsewhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace linuxsys {

inline constexpr const char* kSystemSambaConfig = "/etc/samba/smb.conf";

void SetSambaConfigPath(std::string path);
// The configured path (the system's one unless set).
std::string SambaConfigPath();
// A parameter of the [global] section (names compared as Samba does: case and blanks ignored),
// following "include =" lines. Empty when the file or the parameter is missing.
std::optional<std::string> SambaGlobalParameter(std::string_view name);
// Parses smb.conf text; exposed for tests.
std::optional<std::string> SambaGlobalParameterIn(std::string_view text, std::string_view name);

}  // namespace linuxsys
