#include "platform/linux/samba_status.h"

#include <charconv>
#include <ctime>
#include <nlohmann/json.hpp>

namespace linuxsys {

namespace {

using Json = nlohmann::ordered_json;

struct BadOutput {
  std::string why;
};

[[noreturn]] void Fail(std::string why) {
  throw BadOutput{std::move(why)};
}

const Json& Member(const Json& object, const char* name) {
  if (!object.is_object()) Fail(std::string("not an object where ") + name + " was expected");
  auto it = object.find(name);
  if (it == object.end()) Fail(std::string("missing ") + name);
  return *it;
}

const Json* Optional(const Json& object, const char* name) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(name);
  return it == object.end() || it->is_null() ? nullptr : &*it;
}

std::string String(const Json& object, const char* name) {
  const Json& v = Member(object, name);
  if (!v.is_string()) Fail(std::string(name) + " is not a string");
  return v.get<std::string>();
}

// Samba writes 64-bit numbers as strings and small ones as numbers; both are accepted.
std::uint64_t Unsigned(const Json& v, const char* name) {
  if (v.is_number_unsigned()) return v.get<std::uint64_t>();
  if (v.is_number_integer()) {
    auto n = v.get<std::int64_t>();
    if (n < 0) Fail(std::string(name) + " is negative");
    return static_cast<std::uint64_t>(n);
  }
  if (v.is_string()) {
    const auto& s = v.get_ref<const std::string&>();
    std::uint64_t n = 0;
    int base = 10;
    std::string_view digits(s);
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
      base = 16;
      digits.remove_prefix(2);
    }
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n, base);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty())
      Fail(std::string(name) + " is not a number");
    return n;
  }
  Fail(std::string(name) + " is not a number");
}

std::uint64_t Unsigned(const Json& object, const char* name, std::uint64_t max) {
  std::uint64_t n = Unsigned(Member(object, name), name);
  if (n > max) Fail(std::string(name) + " out of range");
  return n;
}

std::int64_t Signed(const Json& v, const char* name) {
  if (v.is_number_integer()) return v.get<std::int64_t>();
  if (v.is_number_unsigned()) {
    auto n = v.get<std::uint64_t>();
    if (n > static_cast<std::uint64_t>(INT64_MAX)) Fail(std::string(name) + " out of range");
    return static_cast<std::int64_t>(n);
  }
  Fail(std::string(name) + " is not an integer");
}

SambaServerId ServerId(const Json& record) {
  const Json& s = Member(record, "server_id");
  SambaServerId id;
  id.pid = Unsigned(s, "pid", UINT32_MAX);
  if (id.pid == 0) Fail("pid 0");
  id.uniqueId = Unsigned(s, "unique_id", UINT64_MAX);
  if (const Json* t = Optional(s, "task_id"))
    id.taskId = static_cast<std::uint32_t>(Unsigned(*t, "task_id") & UINT32_MAX);
  if (const Json* v = Optional(s, "vnn"))
    id.vnn = static_cast<std::uint32_t>(Unsigned(*v, "vnn") & UINT32_MAX);
  return id;
}

SambaFileId FileId(const Json& record) {
  const Json& f = Member(record, "fileid");
  return {Unsigned(f, "devid", UINT64_MAX), Unsigned(f, "inode", UINT64_MAX),
          Unsigned(f, "extid", UINT64_MAX)};
}

const Json& ObjectMember(const Json& parent, const char* name, bool required) {
  static const Json empty = Json::object();
  const Json* v = required ? &Member(parent, name) : Optional(parent, name);
  if (!v) return empty;
  if (!v->is_object()) Fail(std::string(name) + " is not an object");
  return *v;
}

void ParseSessions(const Json& root, SambaStatus& out) {
  for (const auto& [key, s] : ObjectMember(root, "sessions", true).items()) {
    SambaSessionRecord r;
    r.sessionId = key;
    r.server = ServerId(s);
    if (const Json* uid = Optional(s, "uid")) r.uid = Signed(*uid, "uid");
    r.username = String(s, "username");
    r.remoteMachine = String(s, "remote_machine");
    r.hostname = String(s, "hostname");
    r.dialect = String(s, "session_dialect");
    if (const Json* e = Optional(s, "encryption")) {
      if (const Json* d = Optional(*e, "degree"); d && d->is_string()) r.encryptionDegree = *d;
    }
    if (const Json* c = Optional(s, "creation_time"); c && c->is_string())
      r.creationTime = ParseIsoTime(c->get_ref<const std::string&>());
    out.sessions.push_back(std::move(r));
  }
}

void ParseTcons(const Json& root, SambaStatus& out) {
  for (const auto& [key, t] : ObjectMember(root, "tcons", false).items()) {
    (void)key;
    SambaTconRecord r;
    r.sessionId = String(t, "session_id");
    r.server = ServerId(t);
    if (const Json* s = Optional(t, "service"); s && s->is_string()) r.service = *s;
    if (const Json* c = Optional(t, "connected_at"); c && c->is_string())
      r.connectedAt = ParseIsoTime(c->get_ref<const std::string&>());
    out.tcons.push_back(std::move(r));
  }
}

void ParseOpens(const Json& root, SambaStatus& out) {
  // Samba leaves the member out while no client has ever opened a file.
  for (const auto& [path, file] : ObjectMember(root, "open_files", false).items()) {
    SambaFileId id = FileId(file);
    for (const auto& [key, o] : ObjectMember(file, "opens", true).items()) {
      (void)key;
      SambaOpenRecord r;
      r.path = path;
      r.fileId = id;
      r.server = ServerId(o);
      r.uid = Signed(Member(o, "uid"), "uid");
      r.shareFileId = static_cast<std::uint32_t>(Unsigned(o, "share_file_id", UINT32_MAX));
      const Json& mask = Member(o, "access_mask");
      r.accessMask = static_cast<std::uint32_t>(
          Unsigned(mask.is_object() ? Member(mask, "hex") : mask, "access_mask") & UINT32_MAX);
      out.opens.push_back(std::move(r));
    }
  }
}

void ParseLocks(const Json& root, SambaStatus& out) {
  for (const auto& [path, file] : ObjectMember(root, "byte_range_locks", false).items()) {
    (void)path;
    SambaFileId id = FileId(file);
    const Json& locks = Member(file, "locks");
    if (!locks.is_array()) Fail("locks is not an array");
    for (const auto& l : locks) out.locks.push_back({id, ServerId(l)});
  }
}

int Digits(std::string_view& s, std::size_t n) {
  if (s.size() < n) return -1;
  int v = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (s[i] < '0' || s[i] > '9') return -1;
    v = v * 10 + (s[i] - '0');
  }
  s.remove_prefix(n);
  return v;
}

bool Expect(std::string_view& s, char c) {
  if (s.empty() || s.front() != c) return false;
  s.remove_prefix(1);
  return true;
}

}  // namespace

std::optional<std::int64_t> ParseIsoTime(std::string_view s) {
  int year = Digits(s, 4);
  if (year < 0 || !Expect(s, '-')) return std::nullopt;
  int month = Digits(s, 2);
  if (!Expect(s, '-')) return std::nullopt;
  int day = Digits(s, 2);
  if (!Expect(s, 'T')) return std::nullopt;
  int hour = Digits(s, 2);
  if (!Expect(s, ':')) return std::nullopt;
  int minute = Digits(s, 2);
  if (!Expect(s, ':')) return std::nullopt;
  int second = Digits(s, 2);
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 60)
    return std::nullopt;
  if (Expect(s, '.')) {
    std::size_t n = 0;
    while (n < s.size() && s[n] >= '0' && s[n] <= '9') ++n;
    if (n == 0) return std::nullopt;
    s.remove_prefix(n);
  }
  int offset = 0;
  if (Expect(s, 'Z')) {
  } else if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    int sign = s.front() == '-' ? -1 : 1;
    s.remove_prefix(1);
    int oh = Digits(s, 2);
    Expect(s, ':');
    int om = Digits(s, 2);
    if (oh < 0 || oh > 23 || om < 0 || om > 59) return std::nullopt;
    offset = sign * (oh * 3600 + om * 60);
  } else {
    return std::nullopt;
  }
  if (!s.empty()) return std::nullopt;
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return static_cast<std::int64_t>(::timegm(&tm)) - offset;
}

bool ParseSambaStatusJson(std::string_view text, SambaStatus& out, std::string* why) {
  out = SambaStatus{};
  Json root = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded()) {
    if (why) *why = "not JSON";
    return false;
  }
  try {
    if (!root.is_object()) Fail("not a JSON object");
    if (const Json* v = Optional(root, "version"); v && v->is_string()) out.version = *v;
    ParseSessions(root, out);
    ParseTcons(root, out);
    ParseOpens(root, out);
    ParseLocks(root, out);
    return true;
  } catch (const BadOutput& bad) {
    if (why) *why = bad.why;
  } catch (const nlohmann::json::exception& e) {
    if (why) *why = e.what();
  }
  out = SambaStatus{};
  return false;
}

}  // namespace linuxsys
