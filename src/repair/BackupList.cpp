#include "BackupList.h"

#include "BackupSeal.h"
#include "BackupWriter.h"
#include "FileBackup.h"
#include "platform/RegFile.h"
#include "platform/TextCodec.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"

#include <stdexcept>

namespace tw {

namespace {

std::optional<BackupEntry> entryFor(const Session& session, const std::string& path)
{
    auto found = session.files().findFirstFile(path);
    if (!found)
        return std::nullopt;
    return BackupEntry{FileTimeToLocalDateTime(session, found->creationTime()), path};
}

std::string withoutQuotes(std::string text)
{
    std::erase(text, '"');
    return text;
}

} // namespace

std::vector<BackupEntry> ListBackups(const Session& session)
{
    std::vector<BackupEntry> entries;
    const std::string folder = BackupFolder();
    auto search = session.files().findFirstFile(folder + "*.reg");
    if (!search)
        return entries;
    do {
        const platform::FindData& data = search->current();
        if (data.attributes & win::FILE_ATTRIBUTE_DIRECTORY)
            continue;
        entries.push_back(
            {FileTimeToLocalDateTime(session, search->creationTime()), folder + data.name});
    } while (search->next());
    return entries;
}

std::string ExportWholeRegistry(const Session& session)
{
    std::string path = NewBackupPath(session);
    CreateBackupFolder(session);
    platform::Registry& registry = session.registry();
    const std::string machine = MachineIdentity(session);
    const unsigned codePage = platform::ansiCodePage(registry);
    // Written as it is made, in pieces: the whole registry never sits in memory as text.
    const std::string error = WriteBackupStream(session, path, [&](platform::FileStream& stream) {
        BackupSealWriter seal(stream, machine);
        platform::exportRegFile(registry, "", platform::RegFileFormat::Unicode, codePage,
                                [&](const platform::RegFilePiece& piece) { seal.write(piece); });
        seal.finish();
    });
    if (!error.empty())
        throw std::runtime_error(error);
    return "\"" + path + "\"";
}

BackupActionResult FullBackup(const Session& session)
{
    BackupActionResult result;
    // Beside a running Wine the hive files lag behind what Wine holds: such a backup would
    // silently miss changes.
    if (const std::string refusal = session.changeRefusal(); !refusal.empty()) {
        result.message = "Backup registry fail!";
        result.error = refusal;
        return result;
    }
    std::string path;
    try {
        path = withoutQuotes(ExportWholeRegistry(session));
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    if (!path.empty() && session.files().fileExists(path)) {
        result.ok = true;
        result.added = entryFor(session, path);
        result.message = "Backup registry successfully!";
    } else {
        result.message = "Backup registry fail!";
    }
    return result;
}

ChangeOutcome BackupBeforeProgramRun(const Session& session)
{
    const BackupActionResult backup = FullBackup(session);
    if (backup.ok)
        return {backup.added ? backup.added->path : std::string(), std::string()};
    return {std::string(), "The registry could not be backed up first: " +
                               (backup.error.empty() ? backup.message : backup.error)};
}

BackupActionResult RestoreBackup(const Session& session, const std::string& path)
{
    BackupActionResult result;
    try {
        if (const std::string refusal = session.changeRefusal(); !refusal.empty())
            throw platform::StorageError(refusal);
        session.registryEditor().importFile(path);
        try {
            session.storage().commit();
        } catch (const platform::StorageError&) {
            session.storage().rollback();
            throw;
        }
        // Files only once the registry is saved, so that both come back or neither.
        const FilesRestore files = RestoreFilesFromBackup(session, path);
        if (files.failed.empty()) {
            result.ok = true;
            result.message = "Restore registry successfully!";
        } else {
            result.message = "Restore registry fail!";
            result.error = "The registry was restored, but these files could not be put back:";
            for (const std::string& failed : files.failed)
                result.error += " " + failed + ";";
        }
    } catch (const std::exception& e) {
        result.message = "Restore registry fail!";
        result.error = e.what();
    }
    return result;
}

bool IsBackupFile(std::string_view path)
{
    const std::string folder = BackupFolder();
    if (path.size() <= folder.size() + 4 ||
        !platform::equalNoCase(path.substr(0, folder.size()), folder))
        return false;
    const std::string_view name = path.substr(folder.size());
    return name.find_first_of("\\/") == std::string_view::npos && name != "." && name != ".." &&
           platform::equalNoCase(name.substr(name.size() - 4), ".reg");
}

BackupActionResult RemoveBackup(const Session& session, const std::string& path)
{
    BackupActionResult result;
    platform::Files& files = session.files();
    if (!IsBackupFile(path)) {
        result.message = "Backup file remove fail!";
        result.error = path + " is not a file of the backup folder " + BackupFolder();
        return result;
    }
    if (std::string refusal = session.changeRefusal(); !refusal.empty()) {
        result.message = "Backup file remove fail!";
        result.error = std::move(refusal);
        return result;
    }
    if (!files.fileExists(path))
        return result;
    if (files.deleteFile(path) && RemoveBackupFiles(session, path)) {
        result.ok = true;
        result.message = "Backup file remove successfully!";
    } else {
        result.message = "Backup file remove fail!";
    }
    return result;
}

} // namespace tw
