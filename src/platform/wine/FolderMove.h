// Moving a host file or folder into a folder without replacing anything there.
#pragma once

#include "WinePlatformOnly.h"

#include <string>

namespace tw::wine {

/// Moves `source` (a file, or a folder with everything in it) into the existing folder
/// `folder` under its own name, or the first free "name (2).ext", "name (3).ext", ...;
/// across file systems by copying, then removing the source. False when it cannot, with the
/// source where it was (a copy that failed half-way is removed again).
bool moveIntoFolder(const std::string& source, const std::string& folder);

/// The n-th name (n >= 2) tried for `name`: "a (2).tmp", "README (2)", ".hid (2)".
std::string numberedName(const std::string& name, int n, bool isFolder);

} // namespace tw::wine
