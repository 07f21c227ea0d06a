// The backup page: the list of backups, a full backup, restore and remove.
#pragma once

#include "BackedUpChange.h"
#include "platform/System.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class Session;

struct BackupEntry
{
    /// When the file was made, in local time.
    platform::SystemTime time;
    /// The file's full (Windows) path.
    std::string path;
};

/// What an action on the page ends with: the message to show and, on failure, why.
struct BackupActionResult
{
    bool ok = false;
    /// Shown after the action, on success too ("Backup registry successfully!").
    std::string message;
    /// Why it failed; empty on success.
    std::string error;
    std::optional<BackupEntry> added;
};

/// The ".reg" files of the backup folder, in the order the folder lists them.
std::vector<BackupEntry> ListBackups(const Session& session);

/// Exports the whole registry to a new file in the backup folder; returns its path in
/// double quotes. Throws RegistryEditorError when the export fails.
std::string ExportWholeRegistry(const Session& session);

/// "BackRegistry": a full export, then the new row.
BackupActionResult FullBackup(const Session& session);
/// A full backup before a Windows program started for the user changes the registry (an
/// uninstaller, regsvr32), so that the backup page can take its changes back. The outcome
/// names the backup, or says why it could not be written.
ChangeOutcome BackupBeforeProgramRun(const Session& session);
/// "BackRegistry" is refused while changes could not be saved (Wine runs in the prefix):
/// the hive files may then miss what Wine holds.
/// "Restore Registry": imports the file through the registry editor and saves it, then puts
/// back the files kept beside it; refused whole when the registry could not be saved.
BackupActionResult RestoreBackup(const Session& session, const std::string& path);
/// True for a ".reg" file directly inside the backup folder (any letter case).
bool IsBackupFile(std::string_view path);
/// "Remove Backup": deletes the file; a file outside the backup folder is refused, and so is
/// any while the prefix may not be changed. A file that is gone already gives ok = false and
/// no message.
BackupActionResult RemoveBackup(const Session& session, const std::string& path);

inline constexpr const char* kNoSelectionMessage = "You not select registry item!";
inline constexpr const char* kRestoreQuestion = "Are you want to restore registry now?";
inline constexpr const char* kRemoveQuestion = "Are you want to remove registry now?";

} // namespace tw
