// The files a repair removes (shortcuts), kept in a folder beside its registry backup so that
// restoring the backup brings them back.
#pragma once

#include <string>
#include <vector>

namespace tw {

class Session;

/// "<backup without .reg>.files", the folder beside a backup file.
std::string BackupFilesFolder(const std::string& backupPath);

/// A file kept in a backup's folder.
struct KeptFile
{
    /// The file's Windows path.
    std::string path;
    /// False: put back only when it is gone (a deleted file). True: put back over the file
    /// that is there then (a file that was changed in place, such as win.ini).
    bool replaceOnRestore = false;
};

/// Copies each file (Windows paths) into the backup's folder and lists it in the folder's
/// index. Returns an error text; on failure the folder is removed again.
std::string SaveFilesIntoBackup(const Session& session, const std::string& backupPath,
                                const std::vector<KeptFile>& files);
/// The same for files that are put back only when they are gone.
std::string SaveFilesIntoBackup(const Session& session, const std::string& backupPath,
                                const std::vector<std::string>& files);

struct FilesRestore
{
    int restored = 0;
    /// Files that could not be put back, with the reason.
    std::vector<std::string> failed;
};

/// Puts each file of the backup's folder back at its place; a file that is there again is
/// left as it is, unless it was kept to replace it. Nothing happens for a backup without a
/// folder.
FilesRestore RestoreFilesFromBackup(const Session& session, const std::string& backupPath);

/// Removes the backup's folder with its files; true when it is gone (or was never there).
bool RemoveBackupFiles(const Session& session, const std::string& backupPath);

} // namespace tw
