// The shell: opening web pages, starting programs, and the file operations of the desktop.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw::platform {

/// What emptying the Recycle Bin did, by the items' original paths (Windows paths where they
/// lie on a drive).
struct RecycleBinEmptied
{
    std::vector<std::string> removed;
    std::vector<std::string> failed;
};

class Shell
{
public:
    virtual ~Shell() = default;
    /// Shows a web page in a browser window; false when no browser could be started.
    virtual bool openUrl(std::string_view url) = 0;
    /// ShellExecute "open" on a folder (a Windows path): shows it in the desktop's file
    /// manager. Returns at once; false when it is no folder or nothing could be started.
    virtual bool openFolder(std::string_view folder) = 0;
    /// ShellExecuteEx: starts `file` (a Windows path) in `directory`, elevated when `elevate`
    /// is set and the system knows elevation. Returns at once; false when it could not start.
    virtual bool execute(std::string_view file, std::string_view directory, bool elevate) = 0;
    /// True when the system has user account control, so that an elevated start differs
    /// from a plain one.
    virtual bool canElevate() const = 0;
    /// The target path a shortcut (.lnk) file names; empty when it cannot be read as one.
    virtual std::string shortcutTarget(std::string_view shortcut) = 0;
    /// SHFileOperation FO_DELETE with FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI:
    /// sends a file, or a folder with everything in it, to the Recycle Bin, from where the
    /// user can restore it. Asks nothing; false, with nothing changed, when it cannot.
    virtual bool recycle(std::string_view path) = 0;
    /// SHFileOperation FO_MOVE with the same flags: moves a file, or a folder with everything
    /// in it, into the existing folder `folder`. It keeps its name, or takes the first free
    /// "name (2).ext", "name (3).ext", ... there: nothing is ever replaced. False, with the
    /// source left in place, when it cannot be moved (the folder it is in already, among
    /// other reasons).
    virtual bool moveToFolder(std::string_view path, std::string_view folder) = 0;
    /// The folders on the drives in which the Recycle Bin keeps what it holds (Windows paths
    /// of folders that exist, such as "D:\.Trash-1000"): walks over the drives leave them
    /// out, so that nothing recycled is offered again.
    virtual std::vector<std::string> recycleBinFolders() = 0;
    /// Why the last failed recycle() or moveToFolder() failed, in words for the user; empty
    /// when none did.
    virtual std::string lastErrorText() = 0;
    /// SHEmptyRecycleBin of all drives with SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI |
    /// SHERB_NOSOUND: removes every item of the Recycle Bin for good, asking nothing.
    virtual RecycleBinEmptied emptyRecycleBin() = 0;
};

} // namespace tw::platform
