#include "UserMachineSettings.h"

#include "AppPaths.h"
#include "FileView.h"
#include "SectionLoops.h"
#include "SectionText.h"
#include "Uninstall.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"

#include <algorithm>
#include <array>

namespace tw {

namespace {

constexpr sections::ByteSet kForbiddenBesideQuotes("%/*?<>|;,");
constexpr sections::ByteSet kNonPath("/*?\"<>|;.+-&@!,%");
constexpr const char* kMuiCache = "Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";
constexpr const char* kMenuPrograms =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs";
constexpr const char* kLastVisited =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU";
constexpr const char* kOpenSave =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";
constexpr const char* kMenuMarker = "Menu//";

/// Where winemenubuilder records the menu entries and file associations it made. Wine drops
/// the records of removed shortcuts and programs itself, at its next start.
constexpr const char* kMenuBuilderKeys[] = {"Software\\Wine\\MenuFiles",
                                            "Software\\Wine\\FileOpenAssociations"};

bool isMenuBuilderRecord(std::string_view path)
{
    return std::any_of(std::begin(kMenuBuilderKeys), std::end(kMenuBuilderKeys),
                       [&](std::string_view key) {
                           return path.size() >= key.size() &&
                                  platform::equalNoCase(path.substr(0, key.size()), key) &&
                                  (path.size() == key.size() || path[key.size()] == '\\');
                       });
}

/// A value as its readers may read it: one text, or one for each folder %ProgramFiles% may be.
class Readings
{
public:
    void add(std::string text) { m_texts.at(m_count++) = std::move(text); }
    const std::string& front() const { return m_texts[0]; }
    const std::string* begin() const { return m_texts.data(); }
    const std::string* end() const { return m_texts.data() + m_count; }
    template <typename Test> bool any(const Test& test) const
    {
        return std::any_of(begin(), end(), test);
    }

private:
    /// programFilesFolders() gives one folder, or the native and the 32-bit one.
    std::array<std::string, 2> m_texts;
    size_t m_count = 0;
};

/// The values of the key at `path`; `key` is that key when the caller has it open. `listed`
/// holds the values as read, kept from key to key.
void CheckKeyValues(ScanContext& context, const sections::FileView& files, win::HKEY root,
                    const std::string& path, win::HKEY key, TRegistryContents& contents,
                    bool machine, std::vector<TRegistry::TextValue>& listed)
{
    Session& session = context.session();
    if (key) {
        TRegistry::ListTextValues(session.registry(), key, listed);
    } else {
        TRegistry reg(session);
        reg.SelectRoot(root);
        if (!reg.OpenPath(path, false))
            return;
        reg.ListTextValues(listed);
    }
    // Most keys have no problem: their full name is made for the first one.
    std::string keyPath;
    const auto fullKeyPath = [&]() -> const std::string& {
        if (keyPath.empty())
            keyPath = RootKeyName(root) + "\\" + path;
        return keyPath;
    };
    const FileExists fileExists = [&](const std::string& file) { return files.fileExists(file); };
    const auto folderExists = [&](const std::string& folder) {
        return files.directoryExists(folder);
    };
    sections::forEachItem(context, listed, sections::kNoYield, {}, [&](const auto& entry) {
        const std::string& name = entry.name;
        const std::optional<std::string>& text = entry.text;
        if (!text)
            return sections::Next::Go;
        if (sections::containsNoCase(*text, ".SYS") || sections::containsNoCase(*text, ".VXD") ||
            (machine && sections::containsNoCase(*text, ".DLL")))
            return sections::Next::Stop;
        // Without a drive's colon or a variable that brings one, no reading of the text is a
        // drive path, nor is a program cut from it.
        if (text->find(':') == std::string::npos && text->find('%') == std::string::npos)
            return sections::Next::Go;
        Readings values;
        if (sections::containsNoCase(*text, "%ProgramFiles%")) {
            const sections::ValueReaders readers = sections::readersOfKey(path);
            for (const std::string& folder : files.programFilesFolders(0, readers))
                values.add(ExpandPathVariables(session, *text, folder));
        } else {
            values.add(ExpandPathVariables(session, *text, std::string()));
        }
        const std::string& value = values.front();
        const bool hostLike = machine && sections::containsNoCase(value, "h:\\");
        if (sections::trimmed(value).find(":\\") == 1 &&
            !sections::isUncheckablePath(session, value) && !hostLike && IsPlainPathText(value) &&
            !values.any(fileExists) && !values.any(folderExists)) {
            context.addRecord(contents, fullKeyPath(), value, name, value);
            return sections::Next::Go;
        }
        if (sections::isUncheckablePath(session, value) || hostLike || values.any(folderExists))
            return sections::Next::Go;
        Readings programs;
        for (const std::string& each : values)
            programs.add(ExtractCommandPath(session, fileExists, each));
        const std::string& program = programs.front();
        if (machine && program.find(":\\") == std::string::npos)
            return sections::Next::Go;
        if (!IsPlausibleFilePath(program))
            return sections::Next::Go;
        if (!programs.any(fileExists) && !sections::containsNoCase(program, "MSOE.DLL"))
            context.addRecord(contents, fullKeyPath(), "",
                              machine && name.empty() ? "default" : name, program);
        return sections::Next::Go;
    });
}

} // namespace

std::string ExpandPathVariables(const Session& session, const std::string& text,
                                std::string_view programFiles)
{
    if (text.find('%') == std::string::npos)
        return text;
    const std::string windows = sections::upperCase(session.system().windowsDirectory());
    std::string value = text;
    if (sections::containsNoCase(value, "%systemroot%"))
        value = sections::replaceAll(sections::upperCase(value), "%SYSTEMROOT%", windows);
    if (sections::containsNoCase(value, "%windir%"))
        value = sections::replaceAll(sections::upperCase(value), "%WINDIR%", windows);
    if (sections::containsNoCase(value, "%ProgramFiles%"))
        value = sections::replaceAll(sections::upperCase(value), "%PROGRAMFILES%",
                                     sections::upperCase(programFiles));
    return value;
}

bool IsPlainPathText(std::string_view text)
{
    return text.size() <= 260 && kNonPath.findIn(text) == std::string_view::npos;
}

std::string ExtractCommandPath(const Session& session, const FileExists& fileExists,
                               const std::string& text)
{
    return ExtractProgramPathWith(fileExists, text, [&](const std::string& raw) {
        std::string value = raw;
        if (!value.empty() && value.front() == '@')
            value.erase(0, 1);
        if (value.find('"') != std::string::npos)
            value = sections::removeAll(std::move(value), "\"");
        if (sections::containsNoCase(value, "%SYSTEMROOT%\\"))
            value = sections::replaceAll(sections::upperCase(value), "%SYSTEMROOT%\\",
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
    // Quotes are read as spaces, which are neither forbidden nor separators: a forbidden byte
    // anywhere else fails the text (trimming spaces cannot remove one), and the name and
    // extension are empty for the text as for the spaced one.
    if (kForbiddenBesideQuotes.findIn(text) != std::string_view::npos)
        return false;
    if (sections::ExtractFileName(text).empty() || sections::ExtractFileExt(text).empty() ||
        !HasSingleColon(text))
        return false;
    return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
}

void ScanUserKeyTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root)
{
    const sections::FileView files(context.session());
    std::vector<TRegistry::TextValue> listed;
    sections::KeyWalk walk;
    const sections::WalkPathParts passedOver({"WINLOGON"});
    walk.enters = [&](const std::string& path) { return !passedOver.heldBy(path, keyPath); };
    walk.visit = [&](const std::string&, const std::string& path, win::HKEY key) {
        context.tickStatus(path);
        if (isMenuBuilderRecord(path))
            return sections::Descent::Past;
        CheckKeyValues(context, files, root, path, key, contents, false, listed);
        return sections::Descent::Into;
    };
    sections::walkKeyTree(context, root, keyPath, walk);
}

namespace {

/// The machine walk below `keyPath`, passing over the top keys named in `passedOver`.
void walkMachineTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root, const std::vector<std::string>& passedOver)
{
    const sections::FileView files(context.session());
    std::vector<TRegistry::TextValue> listed;
    sections::KeyWalk walk;
    const sections::WalkPathParts passedParts(
        {"SYSTEM", "WINLOGON", "SOFTWARE\\MICROSOFT", "SOFTWARE\\WOW6432NODE\\MICROSOFT"});
    walk.enters = [&](const std::string& path) {
        const bool topKey = path.find('\\') == std::string::npos;
        return !passedParts.heldBy(path, keyPath) &&
               !(topKey &&
                 std::any_of(passedOver.begin(), passedOver.end(), [&](const std::string& name) {
                     return platform::equalNoCase(path, name);
                 }));
    };
    walk.visit = [&](const std::string& name, const std::string& path, win::HKEY key) {
        context.tickStatus(path);
        if (name == "App Paths")
            return sections::Descent::Past;
        CheckKeyValues(context, files, root, path, key, contents, true, listed);
        return sections::Descent::Into;
    };
    sections::walkKeyTree(context, root, keyPath, walk);
}

} // namespace

void ScanMachineKeyTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                        win::HKEY root)
{
    walkMachineTree(context, contents, keyPath, root, {});
}

void ScanOtherUsersKeyTree(ScanContext& context, TRegistryContents& contents,
                           std::string_view keyPath, win::HKEY root)
{
    // The current user's hive is HKEY_CURRENT_USER, which section 3 walks: found here too,
    // each of its problems would be reported twice, and the second repair would fail.
    const std::string user = context.session().system().currentUserSid();
    walkMachineTree(context, contents, keyPath, root, {user, user + "_Classes"});
}

void ScanMuiCache(ScanContext& context, TRegistryContents& contents, std::string_view, win::HKEY)
{
    Session& session = context.session();
    TRegistry reg(session);
    std::vector<std::string> names;
    if (!sections::openValueList(reg, win::HKEY_CURRENT_USER, kMuiCache, names))
        return;
    sections::forEachItem(
        context, names, {true, sections::YieldAt::AfterAbortTest}, {},
        [&](const std::string& name) {
            if (reg.ValueType(name) != rdString)
                return sections::Next::Go;
            const std::string data = reg.ReadText(name);
            context.status("HKEY_CURRENT_USER\\" + std::string(kMuiCache) + "\\" + data);
            context.addRecord(contents, "HKEY_CURRENT_USER\\" + std::string(kMuiCache), name, name,
                              data);
            return sections::Next::Go;
        });
}

void ScanStartMenuOrder(ScanContext& context, TRegistryContents& contents, std::string_view,
                        win::HKEY root)
{
    const std::vector<std::string> names =
        sections::subkeyNames(context.session(), win::HKEY_CURRENT_USER, kMenuPrograms)
            .value_or(std::vector<std::string>());
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
    const auto lists = sections::subkeyNames(session, win::HKEY_CURRENT_USER, kOpenSave);
    if (!lists)
        return;
    for (const std::string& list : *lists) {
        TRegistry reg(session);
        std::vector<std::string> names;
        const std::string path = std::string(kOpenSave) + "\\" + list;
        if (!sections::openValueList(reg, win::HKEY_CURRENT_USER, path, names))
            continue;
        for (const std::string& name : names)
            context.addRecord(contents, RootKeyName(root) + "\\" + path, list, name, "0");
    }
}

} // namespace tw
