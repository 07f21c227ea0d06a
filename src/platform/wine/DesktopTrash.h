// The desktop's trash (freedesktop.org Trash specification 1.0), which Wine's Recycle Bin
// shows too.
#pragma once

#include <string>

namespace tw::wine {

/// Moves a host file or folder into the desktop's trash: the home trash ($XDG_DATA_HOME/Trash,
/// else ~/.local/share/Trash, made when missing) for files on its file system, else the trash
/// at the top of the file's own file system ($topdir/.Trash/$uid when an administrator made
/// $topdir/.Trash, else $topdir/.Trash-$uid). The `.trashinfo` is written first, as the
/// specification asks, and removed again when the move fails. False, with nothing changed,
/// when the file cannot be trashed; it is never copied.
bool moveToDesktopTrash(const std::string& hostPath);

/// A path as a `.trashinfo` file's Path key holds it: bytes other than letters, digits,
/// "-._~" and "/" as %XX.
std::string trashInfoPath(const std::string& path);

} // namespace tw::wine
