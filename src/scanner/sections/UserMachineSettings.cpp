#include "UserMachineSettings.h"

#include "AppPaths.h"
#include "RegistryWalk.h"
#include "SectionText.h"
#include "Uninstall.h"
#include "platform/Platform.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"
#include "scanner/RepairLoop.h"

namespace tw {

namespace {

constexpr std::string_view kForbidden = "%/*?\"<>|;,";
constexpr std::string_view kNonPath = "/*?\"<>|;.+-&@!,%";
constexpr const char* kMuiCache = "Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";
constexpr const char* kMenuPrograms =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs";
constexpr const char* kLastVisited =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU";
constexpr const char* kOpenSave =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";
constexpr const char* kMenuMarker = "Menu//";

std::string replaceAll(std::string text, std::string_view from, std::string_view to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

void CheckKeyValues(ScanContext& context, win::HKEY root, const std::string& path,
                    TRegistryContents& contents, bool machine)
{
    Session& session = context.session();
    TRegistry reg(session);
    std::vector<std::string> names;
    if (!sections::openValueList(reg, root, path, names))
        return;
    platform::Files& files = session.files();
    const std::string keyPath = RootKeyName(root) + "\\" + path;
    for (const std::string& name : names) {
        if (context.aborted())
            break;
        const TRegDataType type = reg.ValueType(name);
        if (type != rdString && type != rdExpandString)
            continue;
        std::string value = reg.ReadText(name);
        const std::string upper = sections::upperCase(value);
        if (upper.find(".SYS") != std::string::npos || upper.find(".VXD") != std::string::npos ||
            (machine && upper.find(".DLL") != std::string::npos))
            break;
        value = ExpandPathVariables(session, value);
        const bool hostLike = machine && sections::containsNoCase(value, "h:\\");
        if (sections::trimmed(value).find(":\\") == 1 &&
            !sections::isUncheckablePath(session, value) && !hostLike && IsPlainPathText(value) &&
            !files.fileExists(value) && !files.directoryExists(value)) {
            context.addRecord(contents, keyPath, value, name, value);
            continue;
        }
        if (sections::isUncheckablePath(session, value) || hostLike || files.directoryExists(value))
            continue;
        const std::string program = ExtractCommandPath(session, value);
        if (machine && program.find(":\\") == std::string::npos)
            continue;
        if (!IsPlausibleFilePath(program))
            continue;
        if (!files.fileExists(program) &&
            sections::upperCase(program).find("MSOE.DLL") == std::string::npos)
            context.addRecord(contents, keyPath, "", machine && name.empty() ? "default" : name,
                              program);
    }
}

void countAndShow(ScanContext& context, const std::string& path)
{
    Session& session = context.session();
    if (++session.StatusTick % 200 == 0)
        context.status(path);
}

} // namespace

std::string ExpandPathVariables(const Session& session, const std::string& text)
{
    if (text.find('%') == std::string::npos)
        return text;
    const std::string windows = sections::upperCase(session.system().windowsDirectory());
    std::string value = text;
    if (sections::containsNoCase(value, "%systemroot%"))
        value = replaceAll(sections::upperCase(value), "%SYSTEMROOT%", windows);
    if (sections::containsNoCase(value, "%windir%"))
        value = replaceAll(sections::upperCase(value), "%WINDIR%", windows);
    if (sections::containsNoCase(value, "%ProgramFiles%"))
        value = replaceAll(sections::upperCase(value), "%PROGRAMFILES%",
                           sections::upperCase(GetProgramFilesDir(session, 0)));
    return value;
}

bool IsPlainPathText(std::string_view text)
{
    return text.size() <= 260 && text.find_first_of(kNonPath) == std::string_view::npos;
}

std::string ExtractCommandPath(const Session& session, const std::string& text)
{
    return ExtractProgramPathWith(session, text, [&](const std::string& raw) {
        std::string value = raw;
        if (!value.empty() && value.front() == '@')
            value.erase(0, 1);
        value = sections::removeAll(value, "\"");
        if (sections::upperCase(value).find("%SYSTEMROOT%\\") != std::string::npos)
            value = replaceAll(sections::upperCase(value), "%SYSTEMROOT%\\",
                               WindowsFolderGuess(session));
        return value;
    });
}

bool HasSingleColon(std::string_view text)
{
    const size_t first = text.find(':');
    return first == std::string_view::npos || text.find(':', first + 1) == std::string_view::npos;
}

bool IsPlausibleFilePath(const std::string& text)
{
    const std::string g = replaceAll(text, "\"", " ");
    if (sections::trimmed(g).find_first_of(kForbidden) != std::string::npos)
        return false;
    const std::string name = sections::ExtractFileName(g);
    const std::string extension = sections::ExtractFileExt(g);
    if (name.empty() || extension.empty() ||
        extension.find_first_of(kForbidden) != std::string::npos || !HasSingleColon(g))
        return false;
    return g.size() >= 2 && std::isalpha(static_cast<unsigned char>(g[0])) && g[1] == ':';
}

void ScanUserKeyTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root)
{
    if (sections::upperCase(keyPath).find("WINLOGON") != std::string::npos)
        return;
    sections::forEachSubkey(context.session(), root, keyPath,
                            [&](const std::string&, const std::string& path) {
                                if (context.aborted())
                                    return false;
                                countAndShow(context, path);
                                CheckKeyValues(context, root, path, contents, false);
                                ScanUserKeyTree(context, contents, path, root);
                                context.yield();
                                return true;
                            });
}

void ScanMachineKeyTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                        win::HKEY root)
{
    const std::string upper = sections::upperCase(keyPath);
    if (upper.find("SYSTEM") != std::string::npos || upper.find("WINLOGON") != std::string::npos ||
        upper.find("SOFTWARE\\MICROSOFT") != std::string::npos)
        return;
    sections::forEachSubkey(context.session(), root, keyPath,
                            [&](const std::string& name, const std::string& path) {
                                if (context.aborted())
                                    return false;
                                countAndShow(context, path);
                                if (name != "App Paths") {
                                    CheckKeyValues(context, root, path, contents, true);
                                    ScanMachineKeyTree(context, contents, path, root);
                                }
                                context.yield();
                                return true;
                            });
}

void ScanMuiCache(ScanContext& context, TRegistryContents& contents, std::string_view, win::HKEY)
{
    Session& session = context.session();
    TRegistry reg(session);
    std::vector<std::string> names;
    if (!sections::openValueList(reg, win::HKEY_CURRENT_USER, kMuiCache, names))
        return;
    for (const std::string& name : names) {
        if (context.aborted())
            break;
        context.yield();
        if (reg.ValueType(name) != rdString)
            continue;
        const std::string data = reg.ReadText(name);
        context.status("HKEY_CURRENT_USER\\" + std::string(kMuiCache) + "\\" + data);
        context.addRecord(contents, "HKEY_CURRENT_USER\\" + std::string(kMuiCache), name, name,
                          data);
    }
}

void ScanStartMenuOrder(ScanContext& context, TRegistryContents& contents, std::string_view,
                        win::HKEY root)
{
    Session& session = context.session();
    std::vector<std::string> names;
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (reg.OpenPath(kMenuPrograms, false))
        reg.ListSubkeys(names);
    for (const std::string& name : names)
        context.addRecord(contents, RootKeyName(root) + "\\" + kMenuPrograms + "\\" + name, name,
                          kMenuMarker, kMenuMarker);
}

void ScanDialogHistory(ScanContext& context, TRegistryContents& contents, std::string_view,
                       win::HKEY root)
{
    Session& session = context.session();
    {
        TRegistry reg(session);
        std::vector<std::string> names;
        if (sections::openValueList(reg, win::HKEY_CURRENT_USER, kLastVisited, names)) {
            for (const std::string& name : names)
                context.addRecord(contents, RootKeyName(root) + "\\" + kLastVisited,
                                  "LastVisitedMRU", name, "0");
        }
    }
    std::vector<std::string> lists;
    {
        TRegistry reg(session);
        reg.SelectRoot(win::HKEY_CURRENT_USER);
        if (!reg.OpenPath(kOpenSave, false))
            return;
        reg.ListSubkeys(lists);
    }
    for (const std::string& list : lists) {
        TRegistry reg(session);
        std::vector<std::string> names;
        const std::string path = std::string(kOpenSave) + "\\" + list;
        if (!sections::openValueList(reg, win::HKEY_CURRENT_USER, path, names))
            continue;
        for (const std::string& name : names)
            context.addRecord(contents, RootKeyName(root) + "\\" + path, list, name, "0");
    }
}

void RepairUserSettings(Session& session, RepairView& view, const TRegistryContents& contents)
{
    RunSectionRepair(session, view, contents,
                     {[&](const TContent& r) { return r.KeyPath; },
                      [&](const TContent& r) {
                          if (r.ValueName == kMenuMarker)
                              return DeleteRegistryKey(
                                  session, win::HKEY_CURRENT_USER,
                                  sections::removeAll(r.KeyPath, "HKEY_CURRENT_USER"));
                          return DeleteRegistryValue(session, r.KeyPath, r.ValueName);
                      },
                      false});
}

void RepairMachineSettings(Session& session, RepairView& view, const TRegistryContents& contents)
{
    RunSectionRepair(session, view, contents, RecordValueRepair(session, true));
}

} // namespace tw
