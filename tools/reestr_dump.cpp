// reestr-dump FOLDER | DATA INDEX: prints a settings database as a tree. Exits 0 for a sound
// database, 1 naming the error code for a missing or damaged one, 2 for a wrong command line.
#include <iostream>
#include <string>

#include "platform/win32/strings.h"
#include "settingsdb/Reestr.h"
#include "settingsdb/ReestrDump.h"

int main(int argc, char** argv) {
  std::string data, index;
  if (argc == 2) {
    data = std::string(argv[1]) + "/orvRB.b";
    index = std::string(argv[1]) + "/orvRB.r";
  } else if (argc == 3) {
    data = argv[1];
    index = argv[2];
  } else {
    std::cerr << "usage: reestr-dump FOLDER | reestr-dump DATA-FILE INDEX-FILE\n";
    return 2;
  }
  try {
    Reestr db(win32::Utf16FromUtf8(data).c_str(), win32::Utf16FromUtf8(index).c_str(), 1);
    if (auto damage = PrintReestr(db, std::cout)) {
      std::cout.flush();
      std::cerr << "reestr-dump: damaged: " << ReestrErrorName(damage->code) << " ("
                << static_cast<int>(damage->code) << ") at " << damage->where << '\n';
      return 1;
    }
  } catch (Reestr::ErrorCode code) {
    std::cerr << "reestr-dump: " << data << ": " << ReestrErrorName(code) << " ("
              << static_cast<int>(code) << ")\n";
    return 1;
  }
  return 0;
}
