#include "PublicFunctions.h"

#include "Session.h"
#include "TRegistry.h"
#include "platform/RootKeys.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace tw {

namespace {

/// Platform ids as GetVersionEx reports them, and the kind each one means.
struct PlatformKindEntry
{
    win::DWORD platformId;
    std::uint8_t kind;
};
constexpr PlatformKindEntry kPlatformKinds[] = {
    {win::VER_PLATFORM_WIN32s, 1},
    {win::VER_PLATFORM_WIN32_WINDOWS, 2},
    {win::VER_PLATFORM_WIN32_NT, 4},
};

} // namespace

HKEY RootKeyFromName(std::string_view name)
{
    for (const platform::RootKeyName& root : platform::kRootKeys) {
        if (root.name == name)
            return root.key;
    }
    return 0;
}

std::string RootKeyName(HKEY root)
{
    return std::string(platform::rootKeyName(root));
}

RecordKeyPath SplitRecordKeyPath(std::string_view keyPath)
{
    const size_t slash = keyPath.find('\\');
    RecordKeyPath split;
    split.rootName = std::string(slash == std::string_view::npos ? std::string_view()
                                                                 : keyPath.substr(0, slash));
    split.path = std::string(keyPath);
    if (!split.rootName.empty()) {
        for (size_t at = split.path.find(split.rootName); at != std::string::npos;
             at = split.path.find(split.rootName, at))
            split.path.erase(at, split.rootName.size());
    }
    return split;
}

bool DeleteRegistryValue(const Session& session, std::string_view keyPath,
                         std::string_view valueName)
{
    const RecordKeyPath key = SplitRecordKeyPath(keyPath);
    TRegistry reg(session);
    reg.SelectRoot(RootKeyFromName(key.rootName));
    if (!reg.OpenPath(key.path, true))
        return false;
    return reg.RemoveValue(valueName == "default" ? std::string_view() : valueName);
}

bool DeleteRegistryKey(const Session& session, HKEY root, std::string_view path)
{
    TRegistry reg(session);
    reg.SelectRoot(root);
    if (!reg.OpenPath(path, false))
        return false;
    return reg.RemoveKeyTree(path);
}

bool CreateFolderChain(platform::Files& files, std::string_view folder)
{
    size_t start = 0;
    while (start < folder.size()) {
        size_t sep = folder.find('\\', start);
        if (sep == std::string_view::npos)
            sep = folder.size();
        const std::string path(folder.substr(0, sep));
        start = sep + 1;
        if (path.size() <= 2 || files.directoryExists(path))
            continue;
        // Another writer may have made it meanwhile.
        if (!files.createDirectory(path) && !files.directoryExists(path))
            return false;
    }
    return files.directoryExists(folder);
}

void BuildExcludedDrives(const Session& session, std::vector<std::string>& list)
{
    platform::Files& files = session.files();
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        switch (files.driveType(std::string(1, letter) + ":\\")) {
        case win::DRIVE_REMOVABLE:
        case win::DRIVE_REMOTE:
        case win::DRIVE_CDROM:
        case win::DRIVE_RAMDISK:
            list.push_back(std::string(1, letter) + ":");
            break;
        default:
            break;
        }
    }
}

bool IsCheckablePath(const std::vector<std::string>& drives, std::string_view path)
{
    const auto sameLetter = [](unsigned char a, unsigned char b) {
        return std::toupper(a) == std::toupper(b);
    };
    for (const std::string& drive : drives) {
        if (std::search(path.begin(), path.end(), drive.begin(), drive.end(), sameLetter) !=
                path.end() ||
            drive.empty())
            return false;
    }
    return true;
}

std::string GetProgramFilesDir(const Session& session, int selector)
{
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    if (!reg.OpenPath("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false))
        return std::string();
    const std::string programFiles = reg.ReadText("ProgramFilesDir");
    const std::string commonFiles = reg.ReadText("CommonFilesDir");
    return selector == 0 ? programFiles : commonFiles;
}

void GetStartupFolders(const Session& session, std::vector<TFolderData>& list)
{
    list.clear();
    const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    {
        TRegistry reg(session);
        reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
        if (reg.OpenPath(key, false))
            list.push_back(
                {win::HKEY_LOCAL_MACHINE, key, "Common Startup", reg.ReadText("Common Startup")});
    }
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (!reg.OpenPath(key, false))
        return;
    list.push_back({win::HKEY_CURRENT_USER, key, "Startup", reg.ReadText("Startup")});
}

platform::SystemTime FileTimeToLocalDateTime(const Session& session, win::FILETIME time)
{
    return platform::fileTimeToSystemTime(session.system().fileTimeToLocalFileTime(time));
}

void DetectPlatform(Session& session)
{
    const win::DWORD id = session.system().versionEx().platformId;
    for (const PlatformKindEntry& entry : kPlatformKinds) {
        if (entry.platformId == id)
            session.PlatformKind = entry.kind;
    }
}

bool IsLuaEnabled(const Session& session)
{
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    if (!reg.OpenPath("Software\\microsoft\\Windows\\CurrentVersion\\Policies\\System", false))
        return false;
    if (!reg.HasValue("EnableLUA"))
        return false;
    return reg.ReadNumber("EnableLUA") != 0;
}

void OpenInBrowser(const Session& session, std::string_view url)
{
    if (!session.shell().openUrl(url))
        throw std::runtime_error("No web browser could be started for " + std::string(url));
}

int ShellRun(const Session& session, std::string_view file, std::string_view directory)
{
    session.shell().execute(file, directory, true);
    return 0;
}

} // namespace tw
