// Where tidewell-cli.exe sits on the live system, and its start with the user's session (the
// Run key).
#pragma once

#include "platform/Installation.h"

#include <string>

namespace tw::win32 {

/// The path of the running program's file (GetModuleFileName); empty when it cannot be had.
std::wstring programFilePath();

class Win32Installation : public platform::Installation
{
public:
    std::optional<win::FILETIME> programFileTime() override;
    bool autostartEnabled() override;
    /// Turning it on is refused: the Windows build has no window to start with the session.
    /// Turning it off removes an entry left by another build.
    void setAutostart(bool enabled) override;
    std::string autostartLocation() override;
};

} // namespace tw::win32
