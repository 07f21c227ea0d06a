#include "BackupList.h"

#include "BackupWriter.h"
#include "platform/Platform.h"
#include "registry/PublicFunctions.h"

namespace tw {

namespace {

std::optional<BackupEntry> entryFor(const std::string& path)
{
    auto found = platform::files().findFirstFile(path);
    if (!found)
        return std::nullopt;
    return BackupEntry{FileTimeToLocalDateTime(found->current().creationTime), path};
}

std::string withoutQuotes(std::string text)
{
    std::erase(text, '"');
    return text;
}

} // namespace

std::vector<BackupEntry> ListBackups()
{
    std::vector<BackupEntry> entries;
    const std::string folder = BackupFolder();
    auto search = platform::files().findFirstFile(folder + "*.reg");
    if (!search)
        return entries;
    do {
        const platform::FindData& data = search->current();
        if (data.attributes & win::FILE_ATTRIBUTE_DIRECTORY)
            continue;
        entries.push_back({FileTimeToLocalDateTime(data.creationTime), folder + data.name});
    } while (search->next());
    return entries;
}

std::string ExportWholeRegistry()
{
    const std::string path = NewBackupPath();
    CreateBackupFolder();
    platform::registryEditor().exportToFile(path, "", platform::RegFileFormat::Unicode);
    return "\"" + path + "\"";
}

BackupActionResult FullBackup()
{
    BackupActionResult result;
    std::string path;
    try {
        path = withoutQuotes(ExportWholeRegistry());
    } catch (const std::exception& e) {
        result.detail = e.what();
    }
    if (!path.empty() && platform::files().fileExists(path)) {
        result.ok = true;
        result.added = entryFor(path);
        result.message = "Backup registry successfuly!";
    } else {
        result.message = "Backup registry fail!";
    }
    return result;
}

BackupActionResult RestoreBackup(const std::string& path)
{
    BackupActionResult result;
    try {
        platform::registryEditor().importFile(path);
        result.ok = true;
        result.message = "Restore registry successfuly!";
    } catch (const std::exception& e) {
        result.message = "Restore registry fail!";
        result.detail = e.what();
    }
    return result;
}

BackupActionResult RemoveBackup(const std::string& path)
{
    BackupActionResult result;
    platform::Files& files = platform::files();
    if (!files.fileExists(path))
        return result;
    if (files.deleteFile(path)) {
        result.ok = true;
        result.message = "Backup file remove successfuly!";
    } else {
        result.message = "Backup file remove fail!";
    }
    return result;
}

} // namespace tw
