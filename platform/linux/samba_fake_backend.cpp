#include "platform/linux/samba_fake_backend.h"

#include <algorithm>

namespace linuxsys {

SmbStatus FakeSmbServerBackend::EnumSessions(std::vector<SmbSession>& sessions) {
  std::lock_guard guard(lock_);
  ++state_.enumSessionsCalls;
  sessions.clear();
  if (state_.enumSessionsStatus != SmbStatus::kOk) return state_.enumSessionsStatus;
  sessions = state_.sessions;
  return SmbStatus::kOk;
}

SmbStatus FakeSmbServerBackend::EnumOpenFiles(std::vector<SmbOpenFile>& files) {
  std::lock_guard guard(lock_);
  ++state_.enumFilesCalls;
  files.clear();
  if (state_.enumFilesStatus != SmbStatus::kOk) return state_.enumFilesStatus;
  files = state_.files;
  return SmbStatus::kOk;
}

SmbStatus FakeSmbServerBackend::CloseFile(std::uint32_t id) {
  std::lock_guard guard(lock_);
  if (state_.closeStatus != SmbStatus::kOk) return state_.closeStatus;
  auto it = std::find_if(state_.files.begin(), state_.files.end(),
                         [&](const SmbOpenFile& f) { return f.id == id; });
  if (it == state_.files.end()) return SmbStatus::kFileNotFound;
  state_.files.erase(it);
  state_.closedFiles.push_back(id);
  return SmbStatus::kOk;
}

namespace {

// Client and user names compare as the server compares them: ASCII letters without case.
bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return fold(x) == fold(y);
  });
}

}  // namespace

SmbStatus FakeSmbServerBackend::EndSession(std::string_view client, std::string_view user) {
  std::lock_guard guard(lock_);
  if (state_.endStatus != SmbStatus::kOk) return state_.endStatus;
  bool clientSeen = false;
  std::size_t before = state_.sessions.size();
  std::erase_if(state_.sessions, [&](const SmbSession& s) {
    if (!client.empty() && !SameName(s.computer, client)) return false;
    clientSeen = true;
    return user.empty() || SameName(s.user, user);
  });
  if (state_.sessions.size() == before)
    return clientSeen ? SmbStatus::kUserNotFound : SmbStatus::kClientNotFound;
  state_.endedSessions.push_back({std::string(client), std::string(user)});
  return SmbStatus::kOk;
}

SmbStatus FakeSmbServerBackend::SendMessage(std::string_view to, std::string_view from,
                                            std::string_view text) {
  std::lock_guard guard(lock_);
  if (state_.sendStatus != SmbStatus::kOk) return state_.sendStatus;
  state_.messages.push_back({std::string(to), std::string(from), std::string(text)});
  return SmbStatus::kOk;
}

}  // namespace linuxsys
