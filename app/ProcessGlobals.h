// Process-wide values set once by the entry routine.
#pragma once

#include <string>

// The command-line text without the program path (8-bit, ANSI code page).
extern std::string CommandLine;
// Folder of the executable + "settings/orvRB.b" / "settings/orvRB.r" (UTF-16).
extern std::u16string SettingsDataFile;
extern std::u16string SettingsIndexFile;

// The 8-bit (ANSI) folder of the running executable, ending with its path separator.
std::string ExecutableFolderAnsi();
// Sets the two settings paths from the executable's folder.
void FormSettingsPaths();
