// The shell: opening web pages and starting programs.
#pragma once

#include <string>
#include <string_view>

namespace tw::platform {

class Shell
{
public:
    virtual ~Shell() = default;
    /// Shows a web page in a browser window; false when no browser could be started.
    virtual bool openUrl(std::string_view url) = 0;
    /// ShellExecuteEx: starts `file` (a Windows path) in `directory`, elevated when `elevate`
    /// is set and the system knows elevation. Returns at once; false when it could not start.
    virtual bool execute(std::string_view file, std::string_view directory, bool elevate) = 0;
    /// True when the system has user account control, so that an elevated start differs
    /// from a plain one.
    virtual bool canElevate() const = 0;
    /// The target path a shortcut (.lnk) file names; empty when it cannot be read as one.
    virtual std::string shortcutTarget(std::string_view shortcut) = 0;
};

} // namespace tw::platform
