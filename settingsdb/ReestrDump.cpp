#include "settingsdb/ReestrDump.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <set>
#include <string_view>
#include <vector>

#include "platform/win32/strings.h"

namespace {

const char* TypeName(std::int16_t type) {
  switch (type) {
    case Reestr::Folder:
      return "Folder";
    case Reestr::Binary:
      return "Binary";
    default:
      return nullptr;
  }
}

// The name as UTF-8 in quotes, control characters shown as "?" so a hostile file cannot steer
// the terminal.
std::string Printable(const Reestr::Record& r) {
  const auto* end = std::find(r.name.begin(), r.name.end(), u'\0');
  std::string text = win32::Utf8FromUtf16(
      std::u16string_view(r.name.data(), static_cast<std::size_t>(end - r.name.begin())));
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return '"' + text + '"';
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char buffer[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, i ? " %02x" : "%02x", bytes[i]);
    text += buffer;
  }
  return text;
}

const char* FileName(Reestr::File file) {
  return file == Reestr::File::Data ? "data" : "index";
}

std::string At(Reestr::File file, std::int32_t offset) {
  return std::string(FileName(file)) + " offset " + std::to_string(offset);
}

void PrintList(std::ostream& out, Reestr::File file, std::int32_t start,
               const std::vector<std::int32_t>& slots) {
  out << FileName(file) << " free-slot list: ";
  if (start == 0) {
    out << "none\n";
    return;
  }
  out << "at " << start << ",";
  if (slots.empty()) out << " empty";
  for (auto slot : slots) out << ' ' << slot;
  out << '\n';
}

}  // namespace

const char* ReestrErrorName(Reestr::ErrorCode code) {
  switch (code) {
    case Reestr::ecOpenFailed:
      return "ecOpenFailed";
    case Reestr::ecHeaderWriteFailed:
      return "ecHeaderWriteFailed";
    case Reestr::ecNotFound:
      return "ecNotFound";
    case Reestr::ecReadFailed:
      return "ecReadFailed";
    case Reestr::ecWriteFailed:
      return "ecWriteFailed";
    case Reestr::ecScanFailed:
      return "ecScanFailed";
    case Reestr::ecStoreFailed:
      return "ecStoreFailed";
    case Reestr::ecLockTimeout:
      return "ecLockTimeout";
    case Reestr::ecNoDatabase:
      return "ecNoDatabase";
  }
  return "unknown error code";
}

std::optional<ReestrDamage> PrintReestr(Reestr& db, std::ostream& out) {
  using File = Reestr::File;
  try {
    db.Lock();
  } catch (Reestr::ErrorCode code) {
    return ReestrDamage{code, "the database lock"};
  }
  struct Unlocker {
    Reestr& db;
    ~Unlocker() { db.Unlock(); }
  } unlocker{db};

  Reestr::Header header;
  std::string where = "the index header";
  try {
    header = db.InspectHeader();
    out << "index header: count " << header.count << ", data free-slot list at "
        << header.dataFreeList << ", index free-slot list at " << header.indexFreeList << '\n';
    where = "the data free-slot list";
    PrintList(out, File::Data, header.dataFreeList, db.InspectFreeList(File::Data));
    where = "the index free-slot list";
    PrintList(out, File::Index, header.indexFreeList, db.InspectFreeList(File::Index));
  } catch (Reestr::ErrorCode code) {
    return ReestrDamage{code, where};
  }

  struct Item {
    File file;
    std::int32_t offset;
    int depth;
    std::int32_t expectedPrev;
  };
  std::vector<Item> pending;
  if (header.count != 0) pending.push_back({File::Index, Reestr::kHeaderSize, 1, -1});
  std::set<std::int32_t> seen[2];
  std::int32_t topLevel = 0;
  std::int32_t entries = 0;
  out << "./\n";
  while (!pending.empty()) {
    const Item item = pending.back();
    pending.pop_back();
    if (!seen[item.file == File::Data].insert(item.offset).second) {
      return ReestrDamage{Reestr::ecReadFailed,
                          "the record at " + At(item.file, item.offset) + " is reached twice"};
    }
    Reestr::Record record;
    std::vector<std::uint8_t> value;
    try {
      record = db.InspectRecord(item.file, item.offset);
      if (item.file == File::Data) value = db.InspectData(item.offset, record.length);
    } catch (Reestr::ErrorCode code) {
      return ReestrDamage{code, "the record at " + At(item.file, item.offset)};
    }
    ++entries;
    if (item.file == File::Index) ++topLevel;
    out << std::string(static_cast<std::size_t>(item.depth) * 2, ' ') << Printable(record) << ' ';
    if (const char* type = TypeName(record.type)) {
      out << type;
    } else {
      out << "type " << record.type;
    }
    out << " attr " << record.attribute << " len " << record.length << " @"
        << At(item.file, item.offset);
    if (!value.empty()) out << " value " << Hex(value);
    if (value.size() == 4) {
      const auto v = static_cast<std::int32_t>(
          static_cast<std::uint32_t>(value[0]) | static_cast<std::uint32_t>(value[1]) << 8 |
          static_cast<std::uint32_t>(value[2]) << 16 | static_cast<std::uint32_t>(value[3]) << 24);
      out << " (" << v << ')';
    }
    out << '\n';
    if (record.prev != item.expectedPrev) {
      out << "  note: prev is " << record.prev << ", the record before is at " << item.expectedPrev
          << '\n';
    }
    if (record.next != -1) pending.push_back({item.file, record.next, item.depth, item.offset});
    if (record.child != -1) pending.push_back({File::Data, record.child, item.depth + 1, -1});
  }
  if (topLevel != header.count) {
    out << "note: the header counts " << header.count << " top-level folders, the chain holds "
        << topLevel << '\n';
  }
  out << entries << " entries\n";
  return std::nullopt;
}
