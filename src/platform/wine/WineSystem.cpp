#include "WineSystem.h"

#include "HiveStore.h"
#include "WinePrograms.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace tw::wine {

using namespace tw::win;

namespace {

constexpr std::string_view kNtCurrentVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::string_view kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
/// The fonts Wine registers itself for the code page in use.
constexpr std::string_view kCodePageFonts[] = {"Courier", "MS Serif", "MS Sans Serif",
                                               "Small Fonts"};

/// The versions winecfg can set ("Version" under Software\Wine).
struct WineVersion
{
    std::string_view name;
    DWORD platformId;
    DWORD major;
    DWORD minor;
    DWORD build;
};

constexpr WineVersion kWineVersions[] = {
    {"win31", VER_PLATFORM_WIN32s, 3, 10, 0},
    {"win95", VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950},
    {"win98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222},
    {"winme", VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000},
    {"nt351", VER_PLATFORM_WIN32_NT, 3, 51, 1057},
    {"nt40", VER_PLATFORM_WIN32_NT, 4, 0, 1381},
    {"win2k", VER_PLATFORM_WIN32_NT, 5, 0, 2195},
    {"winxp", VER_PLATFORM_WIN32_NT, 5, 1, 2600},
    {"winxp64", VER_PLATFORM_WIN32_NT, 5, 2, 3790},
    {"win2003", VER_PLATFORM_WIN32_NT, 5, 2, 3790},
    {"vista", VER_PLATFORM_WIN32_NT, 6, 0, 6002},
    {"win2008", VER_PLATFORM_WIN32_NT, 6, 0, 6002},
    {"win7", VER_PLATFORM_WIN32_NT, 6, 1, 7601},
    {"win2008r2", VER_PLATFORM_WIN32_NT, 6, 1, 7601},
    {"win8", VER_PLATFORM_WIN32_NT, 6, 2, 9200},
    {"win81", VER_PLATFORM_WIN32_NT, 6, 3, 9600},
    {"win10", VER_PLATFORM_WIN32_NT, 10, 0, 19043},
    {"win11", VER_PLATFORM_WIN32_NT, 10, 0, 22000},
};

std::string withoutNul(std::string text)
{
    const size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    return text;
}

void parseVersion(const std::string& text, DWORD& major, DWORD& minor, DWORD& build)
{
    unsigned a = 0, b = 0, c = 0;
    const int n = std::sscanf(text.c_str(), "%u.%u.%u", &a, &b, &c);
    if (n >= 1)
        major = a;
    if (n >= 2)
        minor = b;
    if (n >= 3)
        build = c;
}

} // namespace

WineSystem::WineSystem(platform::Registry& registry, const HiveStore& store)
    : m_registry(registry), m_store(store)
{
}

bool WineSystem::query(HKEY root, std::string_view key, std::string_view name, DWORD* type,
                       std::string* data)
{
    platform::Registry& registry = m_registry;
    platform::KeyHandle handle(registry);
    return registry.openKey(root, key, KEY_READ, handle.out()) == ERROR_SUCCESS &&
           registry.queryValue(handle.get(), name, type, data) == ERROR_SUCCESS;
}

std::optional<std::string> WineSystem::readString(HKEY root, std::string_view key,
                                                  std::string_view name)
{
    DWORD type = 0;
    std::string data;
    if (!query(root, key, name, &type, &data))
        return std::nullopt;
    if (type == REG_SZ)
        return withoutNul(data);
    if (type == REG_EXPAND_SZ)
        return expand(withoutNul(data));
    return std::nullopt;
}

std::optional<DWORD> WineSystem::readNumber(HKEY root, std::string_view key, std::string_view name)
{
    DWORD type = 0;
    std::string data;
    if (!query(root, key, name, &type, &data) || type != REG_DWORD || data.size() != 4)
        return std::nullopt;
    DWORD value;
    std::memcpy(&value, data.data(), 4);
    return value;
}

std::string WineSystem::expand(const std::string& text)
{
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find('%', pos);
        const size_t close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos) {
            out += text.substr(pos);
            break;
        }
        out += text.substr(pos, open - pos);
        const std::string name = text.substr(open + 1, close - open - 1);
        std::optional<std::string> value;
        auto is = [&](std::string_view candidate) {
            return platform::equalNoCase(name, candidate);
        };
        if (is("SystemRoot") || is("windir"))
            value = windowsDirectory();
        else if (is("SystemDrive"))
            value = windowsDirectory().substr(0, 2);
        else if (is("USERPROFILE"))
            value = readString(HKEY_LOCAL_MACHINE,
                               std::string(kNtCurrentVersion) + "\\ProfileList\\" +
                                   platform::utf16ToUtf8(m_store.userSid()),
                               "ProfileImagePath");
        else if (is("ProgramFiles"))
            value = readString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
        if (value) {
            out += *value;
        } else {
            out += text.substr(open, close - open + 1);
        }
        pos = close + 1;
    }
    return out;
}

std::string WineSystem::windowsDirectory()
{
    const std::optional<std::string> root =
        readString(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "SystemRoot");
    if (root && !root->empty() && root->find('%') == std::string::npos)
        return *root;
    return "C:\\windows";
}

std::string WineSystem::systemDirectory()
{
    return windowsDirectory() + "\\system32";
}

std::string WineSystem::systemWow64Directory()
{
    // A 64-bit prefix ("#arch=win64") runs 32-bit programs from syswow64.
    for (const auto& hive : m_store.hives()) {
        if (hive->header().arch == "win64")
            return windowsDirectory() + "\\syswow64";
    }
    return std::string();
}

std::string WineSystem::currentUserSid()
{
    return platform::utf16ToUtf8(m_store.userSid());
}

std::string WineSystem::tempPath()
{
    std::optional<std::string> temp = readString(HKEY_CURRENT_USER, "Environment", "TMP");
    if (!temp || temp->empty())
        temp = readString(HKEY_CURRENT_USER, "Environment", "TEMP");
    if (!temp || temp->empty() || temp->find('%') != std::string::npos)
        temp = windowsDirectory() + "\\temp";
    if (temp->back() != '\\')
        *temp += '\\';
    return *temp;
}

platform::OsVersionInfo WineSystem::versionEx()
{
    platform::OsVersionInfo info;
    std::optional<std::string> chosen = readString(HKEY_CURRENT_USER, "Software\\Wine", "Version");
    if (!chosen)
        chosen = readString(HKEY_LOCAL_MACHINE, "Software\\Wine", "Version");
    if (chosen) {
        for (const WineVersion& v : kWineVersions) {
            if (platform::equalNoCase(*chosen, v.name)) {
                info.platformId = v.platformId;
                info.majorVersion = v.major;
                info.minorVersion = v.minor;
                info.buildNumber = v.build;
                return info;
            }
        }
    }
    if (const std::optional<std::string> nt =
            readString(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CurrentVersion")) {
        info.platformId = VER_PLATFORM_WIN32_NT;
        parseVersion(*nt, info.majorVersion, info.minorVersion, info.buildNumber);
        if (const auto major =
                readNumber(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CurrentMajorVersionNumber"))
            info.majorVersion = *major;
        if (const auto minor =
                readNumber(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CurrentMinorVersionNumber"))
            info.minorVersion = *minor;
        if (const auto build =
                readString(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CurrentBuildNumber"))
            info.buildNumber = static_cast<DWORD>(std::strtoul(build->c_str(), nullptr, 10));
        info.csdVersion =
            readString(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CSDVersion").value_or(std::string());
        return info;
    }
    if (const std::optional<std::string> v9x =
            readString(HKEY_LOCAL_MACHINE, kCurrentVersion, "VersionNumber")) {
        info.platformId = VER_PLATFORM_WIN32_WINDOWS;
        parseVersion(*v9x, info.majorVersion, info.minorVersion, info.buildNumber);
    }
    return info;
}

FILETIME WineSystem::currentTime()
{
    return m_store.now();
}

FILETIME WineSystem::fileTimeToLocalFileTime(FILETIME utc)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    const long long offset = static_cast<long long>(local.tm_gmtoff) * 10000000LL;
    return static_cast<FILETIME>(static_cast<long long>(utc) + offset);
}

bool WineSystem::isBuiltInFont(std::string_view valueName, std::string_view fileName)
{
    if (fileName.empty() || fileName.find_first_of("\\/") != std::string_view::npos)
        return false;
    // Wine writes these at each change of code page, with files it may not ship at all.
    if (std::any_of(std::begin(kCodePageFonts), std::end(kCodePageFonts),
                    [&](std::string_view name) { return platform::equalNoCase(name, valueName); }))
        return true;
    if (!m_builtInFonts) {
        namespace fs = std::filesystem;
        // Wine looks in <data folder>/fonts: share/wine beside the bin folder it runs from
        // (or two levels up from Debian's lib/wine), as the PATH or its links lead to it.
        std::vector<fs::path> folders{"/usr/share/wine/fonts"};
        std::error_code error;
        if (const std::string wine = findOnPath("wine"); !wine.empty()) {
            const fs::path real = fs::canonical(wine, error);
            for (const fs::path& bin :
                 {fs::path(wine).parent_path(), error ? fs::path() : real.parent_path(),
                  error ? fs::path() : real.parent_path().parent_path()}) {
                if (!bin.empty())
                    folders.push_back(bin.parent_path() / "share" / "wine" / "fonts");
            }
        }
        m_builtInFonts.emplace();
        for (const fs::path& folder : folders) {
            for (fs::directory_iterator it(folder, error), end; !error && it != end;
                 it.increment(error))
                m_builtInFonts->push_back(it->path().filename().string());
        }
    }
    return std::any_of(
        m_builtInFonts->begin(), m_builtInFonts->end(),
        [&](const std::string& name) { return platform::equalNoCase(name, fileName); });
}

} // namespace tw::wine
