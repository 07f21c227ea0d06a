// Telling whether a wineserver is running for a prefix.
#pragma once

#include <optional>
#include <string>

namespace tw::wine {

/// The folder of the wineserver that serves `prefixDir`, when one runs: a folder
/// server-<dev>-<inode> (of the prefix folder) under /tmp/.wine-<uid>/ or under the /tmp
/// folder named in the prefix's "wineserver" file, whose "lock" file is locked and whose
/// "socket" exists.
std::optional<std::string> runningWineserver(const std::string& prefixDir);

/// The message for a prefix in which Wine runs.
std::string wineRunningMessage(const std::string& prefixDir);

} // namespace tw::wine
