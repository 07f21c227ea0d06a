// The running program on a Linux desktop: its executable and its freedesktop.org autostart
// entry, which starts the window on this prefix when the user's session starts.
#pragma once

#include "WinePlatformOnly.h"

#include "platform/Installation.h"

#include <string>

namespace tw::wine {

class WineInstallation final : public platform::Installation
{
public:
    /// `prefixDir` is the prefix the autostart entry opens; with `refuseWrites` (a preview)
    /// setAutostart changes nothing and throws.
    WineInstallation(std::string prefixDir, bool refuseWrites);

    std::optional<win::FILETIME> programFileTime() override;
    /// True when this prefix's entry exists and is not hidden.
    bool autostartEnabled() override;
    void setAutostart(bool enabled) override;
    std::string autostartLocation() override { return desktopFilePath(); }

    /// $XDG_CONFIG_HOME/autostart/tidewell-<hash of the prefix path>.desktop.
    std::string desktopFilePath() const;

private:
    std::string m_prefixDir;
    bool m_refuseWrites;
};

/// The window program: "tidewell" beside the running executable, else the one of the build.
std::string windowProgramPath();

/// A word of a desktop entry's Exec line, quoted as the Desktop Entry Specification asks.
std::string desktopExecWord(const std::string& word);

} // namespace tw::wine
