// Which hive files Tidewell itself wrote last, so that a hive that changed on disk tells
// whether another Tidewell saved it or Wine (or another program) wrote it.
#pragma once

#include "WinePlatformOnly.h"

#include <string>
#include <vector>

namespace tw::wine {

/// Notes in "<folder>/.tidewell.saved" that a save has just written `files` (paths in
/// `folder`), as they are now; called under the save lock. A record that cannot be written
/// only makes later messages less precise, so nothing is thrown.
void recordSave(const std::string& folder, const std::vector<std::string>& files);

/// Removes the temporary files that a save killed while it wrote the record left; called
/// under the save lock.
void removeStaleRecordFiles(const std::string& folder);

/// True when `file` (a path in `folder`) is still as the last Tidewell save left it.
bool savedByTidewell(const std::string& folder, const std::string& file);

} // namespace tw::wine
