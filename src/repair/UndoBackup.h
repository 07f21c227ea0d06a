// The backup written before a tool changes the registry: importing it takes the changes back.
#pragma once

#include "FileBackup.h"
#include "platform/WinTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw {

class Session;

/// One registry change a tool is about to make. `key` is a full path such as
/// "HKEY_CURRENT_USER\Software\App" (the short root names HKCU, HKLM, ... too).
struct RegistryChange
{
    enum class Kind
    {
        /// Sets `valueName` (empty: the unnamed value) to `type` and `data`, creating the key
        /// when it is missing.
        SetValue,
        DeleteValue,
        /// Deletes the key with its whole subtree.
        DeleteKey,
        /// Creates the key and every missing key above it.
        CreateKey,
    };
    Kind kind = Kind::SetValue;
    std::string key;
    std::string valueName;
    win::DWORD type = 0;
    /// As Registry::setValue takes it (string types as 8-bit text with their NULs).
    std::string data;

    static RegistryChange setValue(std::string key, std::string name, win::DWORD type,
                                   std::string data);
    static RegistryChange deleteValue(std::string key, std::string name);
    static RegistryChange deleteKey(std::string key);
    static RegistryChange createKey(std::string key);
};

struct UndoBackupOutcome
{
    /// The backup file (a Windows path in the backup folder); empty when none was written.
    std::string path;
    /// Why it could not be written; empty on success.
    std::string error;
    bool written() const { return error.empty() && !path.empty(); }
};

/// Before the changes are made: writes one backup of the backup folder, sealed and listed
/// like the repair's, whose restore brings the registry back to its state now: an
/// overwritten or deleted value with its type and data, a value that is new as "name"=-, a
/// deleted key with its whole subtree, a key that is new (the highest missing one of its
/// path) as [-key]. `files` are kept in the backup's folder and put back by its restore.
/// On failure nothing is left behind and the caller must not make the changes. The file is
/// named after what it undoes: "<undoes> Backup_<time stamp>.reg".
UndoBackupOutcome WriteUndoBackup(const Session& session, std::string_view undoes,
                                  const std::vector<RegistryChange>& changes,
                                  const std::vector<KeptFile>& files = {});

/// Makes the changes in order, in the session's registry (not saved). Returns an error text
/// at the first one the registry refuses; the ones before it stay made.
std::string ApplyRegistryChanges(const Session& session,
                                 const std::vector<RegistryChange>& changes);

/// Removes a backup that WriteUndoBackup wrote, with its files, for changes that were not
/// made after all. True when it is gone.
bool DiscardUndoBackup(const Session& session, const std::string& path);

} // namespace tw
