#include "platform/linux/samba_config.h"

#include <fstream>
#include <mutex>
#include <sstream>

namespace linuxsys {

namespace {

std::mutex g_lock;
std::string g_path = kSystemSambaConfig;

// Samba compares parameter names ignoring case, blanks and underscores.
std::string NormalName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == ' ' || c == '\t' || c == '_') continue;
    out += static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
  }
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::optional<std::string> Lookup(std::string_view text, const std::string& wanted, int depth) {
  std::optional<std::string> found;
  bool inGlobal = true;  // parameters before any section header are global
  std::istringstream lines{std::string(text)};
  std::string line, joined;
  while (std::getline(lines, line)) {
    // A trailing backslash continues the line.
    if (!line.empty() && line.back() == '\\') {
      joined += line.substr(0, line.size() - 1);
      continue;
    }
    joined += line;
    std::string_view l = Trim(joined);
    std::string current = std::string(l);
    joined.clear();
    l = current;
    if (l.empty() || l.front() == '#' || l.front() == ';') continue;
    if (l.front() == '[') {
      auto close = l.find(']');
      inGlobal = close != std::string_view::npos && NormalName(l.substr(1, close - 1)) == "global";
      continue;
    }
    if (!inGlobal) continue;
    auto eq = l.find('=');
    if (eq == std::string_view::npos) continue;
    std::string key = NormalName(l.substr(0, eq));
    std::string value(Trim(l.substr(eq + 1)));
    if (key == "include" && depth < 8) {
      if (auto sub = ReadFile(value)) {
        if (auto v = Lookup(*sub, wanted, depth + 1)) found = v;
      }
    } else if (key == wanted) {
      found = value;  // the last setting wins, as in Samba
    }
  }
  return found;
}

}  // namespace

void SetSambaConfigPath(std::string path) {
  std::lock_guard guard(g_lock);
  g_path = std::move(path);
}

std::string SambaConfigPath() {
  std::lock_guard guard(g_lock);
  return g_path;
}

std::optional<std::string> SambaGlobalParameterIn(std::string_view text, std::string_view name) {
  return Lookup(text, NormalName(name), 0);
}

std::optional<std::string> SambaGlobalParameter(std::string_view name) {
  auto text = ReadFile(SambaConfigPath());
  if (!text) return std::nullopt;
  return SambaGlobalParameterIn(*text, name);
}

}  // namespace linuxsys
