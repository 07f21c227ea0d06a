// Telling whether a wineserver is running for a prefix.
#pragma once

#include "WinePlatformOnly.h"

#include <optional>
#include <string>
#include <vector>

namespace tw::wine {

/// The folder of the wineserver that serves `prefixDir`, when one runs. Wine names it
/// server-<dev>-<inode> (of the prefix folder); it lies under .wine-<uid>/ in /tmp or in
/// $TMPDIR, or under the folder named in the prefix's "wineserver" file in either of them
/// (Debian's Wine). There a server runs while its "lock" file is locked and its "socket"
/// exists. A server started with another TMPDIR, or whose folder was removed, is found among
/// the processes: a wineserver works in its server folder and holds the prefix folder open.
std::optional<std::string> runningWineserver(const std::string& prefixDir);

/// The wineserver processes of this user, read from /proc once (when a prefix's server folder
/// does not tell), to tell for many prefixes whether Wine runs in them.
class WineserverProcesses
{
public:
    WineserverProcesses();
    ~WineserverProcesses();
    WineserverProcesses(const WineserverProcesses&) = delete;
    WineserverProcesses& operator=(const WineserverProcesses&) = delete;

    /// The server folder of the wineserver that serves `prefixDir`, when one runs.
    std::optional<std::string> serving(const std::string& prefixDir) const;

private:
    struct Server;
    const std::vector<Server>& servers() const;
    mutable std::optional<std::vector<Server>> m_servers;
};

/// The message for a prefix in which Wine runs.
std::string wineRunningMessage(const std::string& prefixDir);

} // namespace tw::wine
