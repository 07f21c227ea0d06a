// Finding the Wine prefixes a Linux user has, from the prefix managers' own files.
#pragma once

#include "WinePlatformOnly.h"

#include "platform/PrefixList.h"

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

using platform::FoundPrefix;
using platform::PrefixList;

/// Reads the managers' files below `places` and lists each real prefix (system.reg, user.reg
/// and drive_c) once, whatever path leads to it, in the order the managers are read: Wine,
/// Steam, Lutris, Bottles, Heroic, PlayOnLinux, Phoenicis. Writes nothing; never throws for a
/// damaged or missing file.
PrefixList discoverPrefixes(const DiscoveryPlaces& places);

/// The prefixes whose name matches `name` (case-insensitively) or whose Steam app id it is.
std::vector<const FoundPrefix*> prefixesNamed(const PrefixList& list, std::string_view name);

} // namespace tw::wine
