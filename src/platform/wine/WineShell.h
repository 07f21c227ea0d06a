// The shell of a Wine prefix: the desktop's browser and trash, and programs started through
// wine.
#pragma once

#include "platform/Shell.h"

#include <string>
#include <utility>
#include <vector>

namespace tw::wine {

class WinePrefix;

class WineShell final : public platform::Shell
{
public:
    explicit WineShell(WinePrefix& prefix);
    /// Hands the address to xdg-open.
    bool openUrl(std::string_view url) override;
    /// Runs the program with `wine` in the prefix; Wine has no elevation.
    bool execute(std::string_view file, std::string_view directory, bool elevate) override;
    /// Reads the shortcut's local path with liblnk.
    std::string shortcutTarget(std::string_view shortcut) override;
    /// Into the desktop's trash, which Wine's Recycle Bin is too.
    bool recycle(std::string_view path) override;
    bool moveToFolder(std::string_view path, std::string_view folder) override;

private:
    WinePrefix& m_prefix;
};

/// Starts a program detached, with extra environment entries; false when it cannot start.
bool startDetached(const std::vector<std::string>& argv, const std::string& directory,
                   const std::vector<std::pair<std::string, std::string>>& env = {});

} // namespace tw::wine
