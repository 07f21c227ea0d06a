// The shell of the live system: ShellExecuteEx, shortcuts through IShellLinkW, and the
// Recycle Bin through SHFileOperation.
#pragma once

#include "platform/Shell.h"

namespace tw::win32 {

class Win32Shell : public platform::Shell
{
public:
    bool openUrl(std::string_view url) override;
    bool openFolder(std::string_view folder) override;
    bool execute(std::string_view file, std::string_view directory, bool elevate) override;
    bool canElevate() const override;
    std::string shortcutTarget(std::string_view shortcut) override;
    bool recycle(std::string_view path) override;
    bool moveToFolder(std::string_view path, std::string_view folder) override;
    std::vector<std::string> recycleBinFolders() override;
    std::string lastErrorText() override { return m_lastError; }
    platform::RecycleBinEmptied emptyRecycleBin() override;

private:
    std::string m_lastError;
};

} // namespace tw::win32
