#include "StartupManager.h"

#include "platform/IniFile.h"
#include "platform/RegFile.h"
#include "platform/TempFile.h"
#include "platform/TextCodec.h"
#include "registry/RegistryView.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"
#include "repair/BackedUpChange.h"
#include "repair/BackupWriter.h"

#include <optional>

namespace tw {

namespace {

constexpr const char* kStartupUndoName = "Startup Entry Removal";

/// win.ini's text as the initialisation-file functions read it: 8-bit in the system's code
/// page, or UTF-16LE or UTF-8 after a byte-order mark. The text is kept as it is in the
/// file (UTF-16 as UTF-8), so that a change leaves every other byte alone.
struct WinIni
{
    enum class Encoding
    {
        Ansi,
        Utf8,
        Utf16
    };
    platform::IniFile ini;
    Encoding encoding = Encoding::Ansi;
    unsigned codePage = 1252;

    /// Text of the file to UTF-8 for showing.
    std::string shown(const std::string& text) const
    {
        if (encoding != Encoding::Ansi)
            return text;
        try {
            return platform::codePageToUtf8(text, codePage);
        } catch (const std::exception&) {
            return text;
        }
    }
    /// UTF-8 text as the file holds it; empty when the code page cannot hold it.
    std::optional<std::string> stored(const std::string& text) const
    {
        if (encoding != Encoding::Ansi)
            return text;
        try {
            return platform::utf8ToCodePage(text, codePage);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    std::string bytes() const
    {
        switch (encoding) {
        case Encoding::Utf16:
            return "\xFF\xFE" + platform::utf16ToBytes(platform::utf8ToUtf16(ini.text()));
        case Encoding::Utf8:
            return "\xEF\xBB\xBF" + ini.text();
        case Encoding::Ansi:
            break;
        }
        return ini.text();
    }
};

std::optional<std::string> readAll(platform::Files& files, const std::string& path)
{
    auto in = files.openFile(path, platform::FileStream::Mode::Read);
    if (!in)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(in->size()), '\0');
    bytes.resize(
        static_cast<size_t>(in->read(bytes.data(), static_cast<std::int64_t>(bytes.size()))));
    return bytes;
}

std::optional<WinIni> readWinIni(const Session& session)
{
    std::optional<std::string> bytes = readAll(session.files(), WinIniPath(session));
    if (!bytes)
        return std::nullopt;
    WinIni file;
    if (bytes->starts_with("\xFF\xFE")) {
        file.encoding = WinIni::Encoding::Utf16;
        file.ini = platform::IniFile(
            platform::utf16ToUtf8(platform::bytesToUtf16(std::string_view(*bytes).substr(2))));
    } else if (bytes->starts_with("\xEF\xBB\xBF")) {
        file.encoding = WinIni::Encoding::Utf8;
        file.ini = platform::IniFile(bytes->substr(3));
    } else {
        file.codePage = platform::ansiCodePage(session.registry());
        file.ini = platform::IniFile(std::move(*bytes));
    }
    return file;
}

/// Writes beside the file, then puts it in its place in one step.
std::string writeWinIni(const Session& session, const WinIni& file)
{
    platform::Files& files = session.files();
    const std::string path = WinIniPath(session);
    const std::string bytes = file.bytes();
    try {
        platform::TempFile temporary(files, session.processes(), path);
        temporary.stream().write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        if (!temporary.moveTo(path, true))
            return "cannot replace " + path + ": " + files.lastErrorText();
    } catch (const std::exception& e) {
        return e.what();
    }
    return std::string();
}

void listStartupFolder(const Session& session, const std::string& folder,
                       std::vector<StartupEntry>& rows, const std::function<void()>& yield)
{
    auto search = session.files().findFirstFile(folder + "\\*.*");
    if (!search)
        return;
    do {
        const platform::FindData& data = search->current();
        if (data.attributes & (win::FILE_ATTRIBUTE_HIDDEN | win::FILE_ATTRIBUTE_SYSTEM))
            continue;
        if (data.name == "." || data.name == "..")
            continue;
        if (yield)
            yield();
        StartupEntry row;
        row.Kind = kKindStartupFolder;
        row.Name = data.name;
        row.Path = folder + "\\" + data.name;
        rows.push_back(std::move(row));
    } while (search->next());
}

void listRunKey(const Session& session, HKEY root, const std::string& key,
                std::vector<StartupEntry>& rows)
{
    TRegistry reg(session);
    reg.SelectRoot(root);
    if (!reg.OpenPath(key, false))
        return;
    std::vector<std::string> names;
    reg.ListValues(names);
    for (const std::string& name : names) {
        std::string data;
        // A value that cannot be read as its type claims shows no data.
        try {
            switch (reg.ValueType(name)) {
            case rdString:
            case rdExpandString:
                data = reg.ReadText(name);
                break;
            case rdInteger:
                data = std::to_string(reg.ReadNumber(name));
                break;
            default:
                break;
            }
        } catch (const ERegistryException&) {
            data.clear();
        }
        StartupEntry row;
        row.Kind = kKindRegistration;
        row.Name = name;
        row.Path = data;
        row.Registry = {root, key, name, data};
        row.view = root == win::HKEY_LOCAL_MACHINE ? viewOfKeyPath(key) : RegistryView::Native;
        rows.push_back(std::move(row));
    }
}

void listWinIniSection(const std::optional<WinIni>& file, const std::string& section,
                       std::vector<StartupEntry>& rows)
{
    if (!file)
        return;
    for (const std::string& entry : file->ini.keys(section)) {
        StartupEntry row;
        row.Kind = kKindWinIni;
        row.Name = file->shown(entry);
        row.Path = file->shown(file->ini.value(section, entry));
        row.WinIni = {section, row.Name};
        rows.push_back(std::move(row));
    }
}

std::string fullKeyPath(const TFolderData& record)
{
    return RootKeyName(record.RootKey) + "\\" + record.KeyName;
}

/// The removal's result from the backed-up change that made it.
StartupRemoval removal(const ChangeOutcome& change)
{
    StartupRemoval result;
    result.removed = change.ok();
    result.error = change.error;
    result.backupPath = change.backupPath;
    return result;
}

StartupRemoval removeFolderEntry(const Session& session, const StartupEntry& entry)
{
    platform::Files& files = session.files();
    // DeleteFile takes files only: a subfolder stays, and so does its row.
    if (!files.fileExists(entry.Path))
        return StartupRemoval();
    return removal(
        MakeBackedUpChange(session, kStartupUndoName, {}, {{entry.Path, false}}, {}, [&] {
            if (files.deleteFile(entry.Path))
                return std::string();
            return "cannot delete " + entry.Path + ": " + files.lastErrorText();
        }));
}

StartupRemoval removeRegistration(const Session& session, const StartupEntry& entry)
{
    {
        TRegistry reg(session);
        reg.SelectRoot(entry.Registry.RootKey);
        if (!reg.OpenPath(entry.Registry.KeyName, false) || !reg.HasValue(entry.Registry.ValueName))
            return StartupRemoval();
    }
    const std::vector<RegistryChange> change = {
        RegistryChange::deleteValue(fullKeyPath(entry.Registry), entry.Registry.ValueName)};
    return removal(MakeBackedUpChange(session, kStartupUndoName, change, {},
                                      [&] { return ApplyRegistryChanges(session, change); }));
}

StartupRemoval removeWinIniEntry(const Session& session, const StartupEntry& entry)
{
    StartupRemoval result;
    std::optional<WinIni> file = readWinIni(session);
    // An entry that is gone already leaves the list too.
    if (!file) {
        result.removed = !session.files().fileExists(WinIniPath(session));
        return result;
    }
    const std::optional<std::string> name = file->stored(entry.WinIni.Entry);
    if (!name || !file->ini.removeValue(entry.WinIni.Section, *name)) {
        result.removed = !name || !file->ini.find(entry.WinIni.Section, *name);
        return result;
    }
    return removal(MakeBackedUpChange(session, kStartupUndoName, {}, {{WinIniPath(session), true}},
                                      {}, [&] { return writeWinIni(session, *file); }));
}

} // namespace

std::string StartupRemoveQuestion()
{
    return "Are you sure you want to remove this entry from startup folder?\r"
           "A backup that brings it back is written first, to " +
           BackupFolder() + " (Restore on the backup page).";
}

std::string WinIniPath(const Session& session)
{
    return session.system().windowsDirectory() + "\\win.ini";
}

std::vector<TFolderData> ReadStartupFolders(const Session& session)
{
    std::vector<TFolderData> folders;
    try {
        GetStartupFolders(session, folders);
    } catch (const ERegistryException&) {
        folders.clear();
    }
    return folders;
}

std::vector<StartupEntry> ListStartupEntries(const Session& session,
                                             const std::vector<TFolderData>& startupFolders,
                                             const std::function<void()>& yield)
{
    std::vector<StartupEntry> rows;
    for (const char* valueName : {"Common Startup", "Startup"}) {
        for (const TFolderData& folder : startupFolders) {
            if (folder.ValueName == valueName)
                listStartupFolder(session, folder.ValueData, rows, yield);
        }
    }
    for (const HKEY root : {win::HKEY_LOCAL_MACHINE, win::HKEY_CURRENT_USER}) {
        for (const char* key : kRunKeys) {
            for (const std::string& view : keyViews(session, root, key))
                listRunKey(session, root, view, rows);
        }
    }
    const std::optional<WinIni> winIni = readWinIni(session);
    for (const char* section : kWinIniSections)
        listWinIniSection(winIni, section, rows);
    return rows;
}

StartupRemoval RemoveStartupEntry(const Session& session, const StartupEntry& entry)
{
    if (entry.Kind == kKindStartupFolder)
        return removeFolderEntry(session, entry);
    if (entry.Kind == kKindRegistration)
        return removeRegistration(session, entry);
    if (entry.Kind == kKindWinIni)
        return removeWinIniEntry(session, entry);
    return StartupRemoval();
}

std::string OpenPathFolder(const std::string& path)
{
    const size_t end = path.find_last_of("\\:");
    std::string folder = end == std::string::npos ? std::string() : path.substr(0, end + 1);
    std::erase(folder, '"');
    return folder;
}

} // namespace tw
