// System facts as the Win32 system-information functions present them.
#pragma once

#include "WinTypes.h"

#include <string>
#include <string_view>

namespace tw::platform {

/// What GetVersionEx reports.
struct OsVersionInfo
{
    win::DWORD platformId = win::VER_PLATFORM_WIN32_NT;
    win::DWORD majorVersion = 0;
    win::DWORD minorVersion = 0;
    win::DWORD buildNumber = 0;
    std::string csdVersion;
};

/// A calendar time, as SYSTEMTIME holds it.
struct SystemTime
{
    int year = 1601;
    int month = 1;
    int dayOfWeek = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;

    bool operator==(const SystemTime&) const = default;
};

class System
{
public:
    virtual ~System() = default;

    /// GetWindowsDirectory, such as "C:\windows" (no trailing backslash).
    virtual std::string windowsDirectory() = 0;
    /// GetSystemDirectory, such as "C:\windows\system32".
    virtual std::string systemDirectory() = 0;
    /// GetSystemWow64Directory: where a 64-bit system keeps the 32-bit programs' system
    /// files, such as "C:\windows\syswow64"; empty on a 32-bit system.
    virtual std::string systemWow64Directory() = 0;
    /// The string SID of the user the program runs as, whose hive HKEY_CURRENT_USER is and
    /// HKEY_USERS holds under that name (GetTokenInformation, ConvertSidToStringSid).
    virtual std::string currentUserSid() = 0;
    /// GetTempPath, with a trailing backslash.
    virtual std::string tempPath() = 0;
    /// GetVersionEx.
    virtual OsVersionInfo versionEx() = 0;
    /// The current time as a FILETIME (UTC).
    virtual win::FILETIME currentTime() = 0;
    /// FileTimeToLocalFileTime: applies the current offset from UTC, as Windows does.
    virtual win::FILETIME fileTimeToLocalFileTime(win::FILETIME utc) = 0;
    /// True when a font registered under `valueName` with this bare file name is the
    /// system's own though no Windows Fonts folder holds it: a file of a fonts folder of its
    /// own (Wine's), or an entry it writes itself for its code page whatever it ships (Wine's
    /// "MS Serif" and the like). False where the system has neither.
    virtual bool isBuiltInFont(std::string_view valueName, std::string_view fileName)
    {
        (void)valueName;
        (void)fileName;
        return false;
    }
};

/// FileTimeToSystemTime: pure calendar arithmetic.
SystemTime fileTimeToSystemTime(win::FILETIME time);
/// SystemTimeToFileTime.
win::FILETIME systemTimeToFileTime(const SystemTime& time);

} // namespace tw::platform
