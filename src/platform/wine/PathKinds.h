// What a host path names, links followed.
#pragma once

#include "WinePlatformOnly.h"

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::wine {

inline bool isRegularFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

inline bool isDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

/// A regular file this user may run.
inline bool isExecutableFile(const std::string& path)
{
    return isRegularFile(path) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace tw::wine
