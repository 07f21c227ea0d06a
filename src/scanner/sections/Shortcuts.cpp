#include "Shortcuts.h"

#include "FileView.h"
#include "SectionLoops.h"
#include "SectionText.h"
#include "platform/Platform.h"
#include "registry/OwnFolders.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"
#include "scanner/RepairLoop.h"

#include <unordered_set>

namespace tw {

namespace {

/// Attribute words of folder entries that are counted and may be searched.
constexpr win::DWORD kSearchedAttributes[] = {2, 4, 16, 19, 22, 32, 128, 256};
constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kUserShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

bool isSearched(win::DWORD attributes)
{
    for (win::DWORD a : kSearchedAttributes) {
        if (a == attributes)
            return true;
    }
    return false;
}

/// The folders a scan has entered. Links (`x -> .`) and drives that map to the same place
/// (`d: -> ..` holds drive_c again) would otherwise lead into a folder again and again.
using VisitedFolders = std::unordered_set<platform::FileId>;

void ScanFolderShortcuts(ScanContext& context, const sections::FileView& view,
                         const std::string& folder, TRegistryContents& contents,
                         VisitedFolders& visited, const OwnFolders& own)
{
    Session& session = context.session();
    platform::Files& files = session.files();
    // Only folders' attributes decide anything here; files are told apart by name.
    auto search = files.findFirstFile(folder + "\\*.*", platform::FindDetail::FolderDetails);
    if (!search)
        return;
    std::string path;
    do {
        if (context.aborted())
            break;
        context.yield();
        const platform::FindData& entry = search->current();
        path.assign(folder).append("\\").append(entry.name);
        if (isSearched(entry.attributes)) {
            context.tickStatus(path);
            if (entry.name != "." && entry.name != ".." &&
                (entry.attributes & win::FILE_ATTRIBUTE_DIRECTORY) && !own.holds(entry.id) &&
                visited.insert(entry.id).second)
                ScanFolderShortcuts(context, view, path, contents, visited, own);
        }
        if (sections::ExtractFileExt(entry.name) != ".lnk")
            continue;
        const std::string target = ReadShortcutTarget(session, path);
        if (target.empty() || sections::upperCase(target).find("A:") != std::string::npos ||
            !IsCheckablePath(session.ExcludedDrives, target) ||
            target.find("//") != std::string::npos)
            continue;
        // A folder may have a "." in its name, a file none: what exists decides.
        if (!view.fileExists(target) && !view.directoryExists(target))
            context.addRecord(contents, path, path, target, "");
    } while (search->next());
}

/// "Programs" of a shell-folders key under HKEY_CURRENT_USER, or empty.
std::string programsFolder(const Session& session, const char* key, bool* opened)
{
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    *opened = reg.OpenPath(key, false);
    return *opened ? reg.ReadText("Programs") : std::string();
}

/// The common Programs folder: what the machine's shell folders say, else the guess built
/// from the user's folder.
std::string commonProgramsFolder(const Session& session)
{
    TRegistry machine(session);
    machine.SelectRoot(win::HKEY_LOCAL_MACHINE);
    if (machine.OpenPath(kShellFolders, false) &&
        machine.ValueType("Common Programs") == rdString) {
        const std::string common = machine.ReadText("Common Programs");
        if (!common.empty())
            return common + "\\";
    }
    bool opened = false;
    const std::string user = programsFolder(session, kUserShellFolders, &opened);
    if (!opened)
        return std::string();
    return sections::replaceAll(user, "%USERPROFILE%", AllUsersProfileGuess(session)) + "\\";
}

} // namespace

std::string ReadShortcutTarget(const Session& session, const std::string& path)
{
    return session.shell().shortcutTarget(path);
}

std::string AllUsersProfileGuess(const Session& session)
{
    return session.system().systemDirectory().substr(0, 3) + "Documents and Settings\\All Users";
}

void ScanShortcuts(ScanContext& context, TRegistryContents& contents, std::string_view, win::HKEY)
{
    Session& session = context.session();
    context.rowStart();
    platform::Files& files = session.files();
    const sections::FileView view(session);
    VisitedFolders visited;
    // The shortcuts a repair keeps beside its backup are not looked at.
    const OwnFolders own(session);
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        if (context.aborted())
            break;
        const std::string drive(1, letter);
        if (files.driveType(drive + ":\\") != win::DRIVE_FIXED)
            continue;
        const std::optional<platform::FileId> root = files.fileId(drive + ":\\");
        if (root && !own.holds(*root) && visited.insert(*root).second)
            ScanFolderShortcuts(context, view, drive + ":", contents, visited, own);
    }
    context.rowFinish();
}

void RepairShortcuts(Session& session, RepairView& view, const TRegistryContents& contents)
{
    RunSectionRepair(session, view, contents,
                     {[&](const TContent& r) { return r.KeyPath; },
                      [&](const TContent& r) { return session.files().deleteFile(r.ItemName); },
                      true});
}

void ScanStartMenuFolders(ScanContext& context, TRegistryContents& contents,
                          std::string_view keyPath, win::HKEY root)
{
    Session& session = context.session();
    std::string menuPath(keyPath);
    for (const std::string& name :
         sections::subkeyNames(session, root, keyPath).value_or(std::vector<std::string>())) {
        if (name.find("Start Menu") != std::string::npos) {
            menuPath = std::string(keyPath) + "\\" + name + "\\Programs";
            break;
        }
    }
    const auto names = sections::subkeyNames(session, root, menuPath);
    if (!names)
        return;
    const std::string common = commonProgramsFolder(session);
    bool opened = false;
    std::string user = programsFolder(session, kShellFolders, &opened);
    if (opened)
        user += "\\";
    platform::Files& files = session.files();
    for (const std::string& name : *names) {
        if (sections::isUncheckablePath(session, common) ||
            sections::isUncheckablePath(session, user) || files.directoryExists(common + name) ||
            files.directoryExists(user + name))
            continue;
        context.addRecord(contents, RootKeyName(root) + "\\" + menuPath + "\\" + name, name, name,
                          "");
    }
}

} // namespace tw
