// System facts of a Wine prefix: its Windows folders, version and time.
#pragma once

#include "WinePlatformOnly.h"

#include "platform/Registry.h"
#include "platform/System.h"

#include <optional>
#include <string>
#include <vector>

namespace tw::wine {

class HiveStore;

/// System facts read through the registry; the clock and the user of the hive store.
class WineSystem final : public platform::System
{
public:
    WineSystem(platform::Registry& registry, const HiveStore& store);

    std::string windowsDirectory() override;
    std::string systemDirectory() override;
    std::string systemWow64Directory() override;
    std::string currentUserSid() override;
    std::string tempPath() override;
    platform::OsVersionInfo versionEx() override;
    win::FILETIME currentTime() override;
    win::FILETIME fileTimeToLocalFileTime(win::FILETIME utc) override;
    /// A file of the fonts folder of Wine's data folder (../share/wine/fonts beside the
    /// folder of the `wine` on the PATH, or Debian's /usr/share/wine/fonts; read once), or
    /// one of the four fonts Wine registers itself for the code page.
    bool isBuiltInFont(std::string_view valueName, std::string_view fileName) override;

private:
    bool query(win::HKEY root, std::string_view key, std::string_view name, win::DWORD* type,
               std::string* data);
    std::optional<std::string> readString(win::HKEY root, std::string_view key,
                                          std::string_view name);
    std::optional<win::DWORD> readNumber(win::HKEY root, std::string_view key,
                                         std::string_view name);
    /// Expands %SystemRoot%, %windir%, %USERPROFILE% and the like from the prefix.
    std::string expand(const std::string& text);

    platform::Registry& m_registry;
    const HiveStore& m_store;
    /// The file names in Wine's fonts folders, once read.
    std::optional<std::vector<std::string>> m_builtInFonts;
};

} // namespace tw::wine
