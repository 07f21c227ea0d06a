// The desktop's trash (freedesktop.org Trash specification 1.0), which Wine's Recycle Bin
// shows too.
#pragma once

#include "WinePlatformOnly.h"

#include <string>
#include <vector>

namespace tw::wine {

/// Moves a host file or folder into the desktop's trash: the home trash ($XDG_DATA_HOME/Trash,
/// else ~/.local/share/Trash, made when missing) for files on its file system, else the trash
/// at the top of the file's own file system ($topdir/.Trash/$uid when an administrator made
/// $topdir/.Trash, else $topdir/.Trash-$uid). The `.trashinfo` is written first, as the
/// specification asks, and removed again when the move fails. False, with nothing changed,
/// when the file cannot be trashed; it is never copied.
bool moveToDesktopTrash(const std::string& hostPath);
/// The same for the entry `name` of the open folder `folderFd`: the folder is not looked up
/// again by its path, and the information file records where it is now. On failure errno
/// tells why (ENAMETOOLONG: the name grows too long in the trash).
bool moveToDesktopTrash(int folderFd, const std::string& name);

/// The trash folders that exist inside one of `roots` (resolved host folders) or are one of
/// them: the home trash, and `.Trash` and `.Trash-$uid` at each root and at the top of every
/// file system mounted inside a root.
std::vector<std::string> trashFoldersWithin(const std::vector<std::string>& roots);

/// A path as a `.trashinfo` file's Path key holds it: bytes other than letters, digits,
/// "-._~" and "/" as %XX.
std::string trashInfoPath(const std::string& path);

/// One item of a trash: where it came from and where it is kept.
struct TrashedItem
{
    /// The original path, as its .trashinfo names it (decoded, absolute).
    std::string originalPath;
    /// files/<name> and info/<name>.trashinfo of its trash.
    std::string storedPath;
    std::string infoPath;
};

/// The items of the home trash and of the trashes at the top of the file systems of `folders`
/// whose original path lies inside one of `folders` (host paths, compared as written and
/// resolved). The user's other trashed files are never among them.
std::vector<TrashedItem> trashedItemsFrom(const std::vector<std::string>& folders);

/// Removes an item for good: its stored file or folder (links are not followed), then its
/// information file. False, with the information file kept, when the stored copy stays.
bool removeTrashedItem(const TrashedItem& item);

/// The path a `.trashinfo` file's Path key stands for (%XX decoded).
std::string decodedTrashInfoPath(const std::string& value);

} // namespace tw::wine
