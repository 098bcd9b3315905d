// reestr-make FOLDER: writes the delivered settings database, FOLDER/orvRB.b and FOLDER/orvRB.r,
// holding the folders "./orvKestrow/" and "./orvKestrow/Settings/". A database already in
// FOLDER is kept as it is, so rebuilding never overwrites a user's saved settings.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/win32/strings.h"
#include "settingsdb/Reestr.h"
#include "settingsdb/ReestrDump.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: reestr-make FOLDER\n";
    return 2;
  }
  const fs::path folder = argv[1];
  const fs::path data = folder / "orvRB.b";
  const fs::path index = folder / "orvRB.r";
  std::error_code error;
  if (fs::exists(data, error)) return 0;
  fs::create_directories(folder, error);
  if (error) {
    std::cerr << "reestr-make: " << folder.string() << ": " << error.message() << '\n';
    return 1;
  }
  // Built under other names and moved into place, the data file last: a database is there
  // only once it is whole.
  const fs::path newData = folder / "orvRB.b.new";
  const fs::path newIndex = folder / "orvRB.r.new";
  fs::remove(newData, error);
  fs::remove(newIndex, error);
  try {
    Reestr db(win32::Utf16FromUtf8(newData.string()).c_str(),
              win32::Utf16FromUtf8(newIndex.string()).c_str(), 0);
    db.WriteValue(u"./", u"orvKestrow", nullptr, 0, Reestr::Folder, 0);
    db.WriteValue(u"./orvKestrow/", u"Settings", nullptr, 0, Reestr::Folder, 0);
  } catch (Reestr::ErrorCode code) {
    std::cerr << "reestr-make: " << folder.string() << ": " << ReestrErrorName(code) << " ("
              << static_cast<int>(code) << ")\n";
    return 1;
  }
  fs::rename(newIndex, index, error);
  if (!error) fs::rename(newData, data, error);
  if (error) {
    std::cerr << "reestr-make: " << folder.string() << ": " << error.message() << '\n';
    return 1;
  }
  std::cout << "reestr-make: wrote " << data.string() << " and " << index.string() << '\n';
  return 0;
}
