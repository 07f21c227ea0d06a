// Where the running program sits on the host: its own file and its start with the system.
#pragma once

#include "WinTypes.h"

#include <optional>
#include <string>

namespace tw::platform {

class Installation
{
public:
    virtual ~Installation() = default;
    /// The last-write time (UTC) of the running program's file; empty when it cannot be found.
    virtual std::optional<win::FILETIME> programFileTime() = 0;
    /// True when the program starts with the user's session.
    virtual bool autostartEnabled() = 0;
    /// Turns the start with the session on or off. Throws std::runtime_error with the reason;
    /// then nothing changed.
    virtual void setAutostart(bool enabled) = 0;
    /// Where the autostart entry lives, for messages.
    virtual std::string autostartLocation() = 0;
};

} // namespace tw::platform
