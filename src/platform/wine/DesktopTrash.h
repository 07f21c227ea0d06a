// The desktop's trash (freedesktop.org Trash), which Wine's Recycle Bin shows too.
#pragma once

#include <string>

namespace tw::wine {

/// Moves a host file or folder into the trash of the desktop: the home trash
/// ($XDG_DATA_HOME/Trash) for files on its file system, else the trash at the top of the
/// file's own file system. Writes the `.trashinfo` the file managers restore from. False,
/// with nothing changed, when the file cannot be trashed.
bool moveToDesktopTrash(const std::string& hostPath);

/// A path as a `.trashinfo` file's Path key holds it: bytes other than letters, digits,
/// "-._~" and "/" as %XX.
std::string trashInfoPath(const std::string& path);

} // namespace tw::wine
