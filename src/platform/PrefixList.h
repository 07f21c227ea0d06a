// The Wine prefixes found on the host, as the prefix managers' files describe them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw::platform {

/// One prefix found, with what its own files tell about it.
struct FoundPrefix
{
    std::string path;
    std::string name;
    /// The first manager that names it: "Wine", "Steam", "Lutris", "Bottles", "Heroic",
    /// "PlayOnLinux" or "Phoenicis".
    std::string source;
    /// Every manager that names it, `source` first.
    std::vector<std::string> sources;
    /// The Steam app id of a Proton prefix.
    std::string steamAppId;
    /// "win32" or "win64" from system.reg's #arch line; empty when it has none.
    std::string arch;
    /// The Windows user of drive_c\users (other than Public); empty when there is none.
    std::string windowsUser;
    /// Bytes of system.reg, user.reg and userdef.reg.
    std::uintmax_t hiveBytes = 0;
    /// The newest change of those files, in seconds since 1970.
    std::int64_t lastChange = 0;
    /// A wineserver serves the prefix now.
    bool wineRunning = false;
};

struct PrefixList
{
    std::vector<FoundPrefix> prefixes;
    /// Managers' files that could not be read, each with its reason; they were skipped.
    std::vector<std::string> warnings;
};

} // namespace tw::platform
