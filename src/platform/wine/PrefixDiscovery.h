// Finding the Wine prefixes a Linux user has, from the prefix managers' own files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw::wine {

/// Where discovery looks: the home folder and the XDG folders, as the environment gives them.
struct DiscoveryPlaces
{
    /// Without a trailing slash; empty for the root.
    std::string home;
    /// $XDG_DATA_HOME, else home/.local/share.
    std::string dataHome;
    /// $XDG_CONFIG_HOME, else home/.config.
    std::string configHome;
    /// $WINEPREFIX, empty when unset.
    std::string winePrefix;

    /// From HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and WINEPREFIX.
    static DiscoveryPlaces fromEnvironment();
};

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

/// Reads the managers' files below `places` and lists each real prefix (system.reg, user.reg
/// and drive_c) once, whatever path leads to it, in the order the managers are read: Wine,
/// Steam, Lutris, Bottles, Heroic, PlayOnLinux, Phoenicis. Writes nothing; never throws for a
/// damaged or missing file.
PrefixList discoverPrefixes(const DiscoveryPlaces& places);

/// The prefixes whose name matches `name` (case-insensitively) or whose Steam app id it is.
std::vector<const FoundPrefix*> prefixesNamed(const PrefixList& list, std::string_view name);

} // namespace tw::wine
