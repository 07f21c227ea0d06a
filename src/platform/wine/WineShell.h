// The shell of a Wine prefix: the desktop's browser and trash, and programs started through
// wine.
#pragma once

#include "WinePlatformOnly.h"

#include "WinePaths.h"
#include "platform/Shell.h"

#include <string>
#include <utility>
#include <vector>

namespace tw::wine {

class WineShell final : public platform::Shell
{
public:
    explicit WineShell(const WinePathMapper& paths);
    /// Hands the address to xdg-open.
    bool openUrl(std::string_view url) override;
    /// Hands the folder's host path to xdg-open.
    bool openFolder(std::string_view folder) override;
    /// Runs the program with `wine` in the prefix; Wine has no elevation.
    bool execute(std::string_view file, std::string_view directory, bool elevate) override;
    /// Wine has no user account control.
    bool canElevate() const override { return false; }
    /// Reads the shortcut's local path with liblnk.
    std::string shortcutTarget(std::string_view shortcut) override;
    /// Into the desktop's trash, which Wine's Recycle Bin is too.
    /// From now on recycling and moving fail (a preview of the prefix).
    void refuseWrites() { m_writesRefused = true; }
    bool recycle(std::string_view path) override;
    bool moveToFolder(std::string_view path, std::string_view folder) override;
    /// The desktop's trash folders that lie on a drive: the home trash, and `.Trash` and
    /// `.Trash-$uid` at a drive's root or at the top of a file system mounted inside one.
    std::vector<std::string> recycleBinFolders() override;
    std::string lastErrorText() override { return m_lastError; }
    /// Wine's Recycle Bin is the desktop's trash, which holds the user's other files too:
    /// only the items whose original place lies inside this prefix go.
    platform::RecycleBinEmptied emptyRecycleBin() override;

private:
    /// Notes why the last change failed (from errno, none when it is 0) when `ok` is false;
    /// returns `ok`.
    bool noteFailure(bool ok);
    bool noteFailure(const HeldFolder::Failure& failure);

    const WinePathMapper& m_paths;
    bool m_writesRefused = false;
    std::string m_lastError;
};

/// Starts a program detached, with extra environment entries; false when it cannot start.
bool startDetached(const std::vector<std::string>& argv, const std::string& directory,
                   const std::vector<std::pair<std::string, std::string>>& env = {});

} // namespace tw::wine
