// Where the program lives on the Windows side, and its version.
#pragma once

namespace tw {

/// The program's folder; backups, the junk list and the update descriptor live in it.
inline constexpr const char* kProgramFolder = "C:\\Program Files\\Tidewell";
inline constexpr const char* kProgramFileName = "Tidewell.exe";
inline constexpr const char* kProgramPath = "C:\\Program Files\\Tidewell\\Tidewell.exe";
inline constexpr const char* kProgramVersion = "2.0";
inline constexpr const char* kSettingsKey = "\\Software\\Tidewell";
inline constexpr const char* kHomePageAddress = "https://tidewell.example.org/";
inline constexpr const char* kHelpPageAddress = "https://tidewell.example.org/page/help.htm";

} // namespace tw
