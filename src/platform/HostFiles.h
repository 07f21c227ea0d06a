// Files of the host's own file system (where the command line's paths lie), for the few
// places that write them directly.
#pragma once

#include "WinTypes.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace tw::platform {

/// The host's identifier of this process.
win::DWORD currentHostProcessId();
/// False only when certainly no process with this identifier runs.
bool hostProcessMayRun(win::DWORD processId);
/// A new file opened for writing in binary mode, made only where nothing, not even a link,
/// has the name; null with errno set (EEXIST when the name is taken) when it cannot be.
std::FILE* createNewHostFile(const std::string& path);
/// The local calendar time of a time_t.
std::tm localCalendarTime(std::time_t time);

} // namespace tw::platform
