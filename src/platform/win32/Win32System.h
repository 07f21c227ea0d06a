// System facts of the live system through the Win32 system-information functions.
#pragma once

#include "platform/System.h"

#include <optional>
#include <string>
#include <vector>

namespace tw::win32 {

class Win32System : public platform::System
{
public:
    Win32System() = default;

    std::string windowsDirectory() override;
    std::string systemDirectory() override;
    std::string systemWow64Directory() override;
    std::string currentUserSid() override;
    std::string tempPath() override;
    platform::OsVersionInfo versionEx() override;
    win::FILETIME currentTime() override;
    win::FILETIME fileTimeToLocalFileTime(win::FILETIME utc) override;
    bool isBuiltInFont(std::string_view valueName, std::string_view fileName) override;

    /// True when the program runs under Wine (ntdll exports wine_get_version).
    static bool runsUnderWine();
    /// Under Wine, the prefix's drive_c folder as a path through the drive of the host's root
    /// ("Z:\\home\\me\\.wine\\drive_c"); empty off Wine.
    static std::wstring winePrefixDriveC();
    /// The folders Wine loads its own fonts from, as Windows paths; empty off Wine.
    static std::vector<std::wstring> wineFontFolders();

private:
    std::optional<std::vector<std::wstring>> m_builtInFonts;
};

} // namespace tw::win32
