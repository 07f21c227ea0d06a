// The backup file written before a repair: what the repair will remove, importable again.
#pragma once

#include "platform/Files.h"
#include "platform/RegFile.h"
#include "platform/TempFile.h"
#include "registry/TRegistry.h"

#include <functional>
#include <string>
#include <string_view>

namespace tw {

class Session;

/// The folder of the backups, such as C:\Program Files\Tidewell\AllRegBack\.
std::string BackupFolder();
/// Creates the backup folder and every missing folder above it; true when it exists.
bool CreateBackupFolder(const Session& session);
/// The name of the backups of the whole registry and of repairs.
inline constexpr const char* kFullBackupName = "Full Registry Backup";
/// "<folder><name>_yyyy_mm_dd_hh_nn_ss.reg" for the current local time; when a backup of that
/// second exists, the first free "..._N.reg" (N from 2).
std::string NewBackupPath(const Session& session, std::string_view name = kFullBackupName);
/// Writes `bytes` as the backup `path`: a platform::TempFile first, then the rename of
/// PlaceBackupFile (which may choose the next free name). Returns an error text.
std::string WriteBackupBytes(const Session& session, std::string& path, const std::string& bytes);
/// The same for a file that `produce` writes to the stream in pieces.
std::string WriteBackupStream(const Session& session, std::string& path,
                              const std::function<void(platform::FileStream&)>& produce);
/// Renames a finished `temporary` file to `path`, or to the next free name when `path` was
/// taken meanwhile (updating `path`); never replaces a file or a link. False when it cannot.
bool PlaceBackupFile(const Session& session, platform::TempFile& temporary, std::string& path);

/// A writer with the first line and format backups have on this platform (PlatformKind).
platform::RegFileWriter NewBackupFileWriter(const Session& session);

struct BackupOutcome
{
    /// The path chosen, whether or not a file was written.
    std::string path;
    /// True when a file was written; false when there was nothing to back up.
    bool written = false;
    /// Why the backup could not be written; empty on success.
    std::string error;
};

/// Writes everything the repair of the checked records of the reported sections will
/// remove, as the registry holds it now: values with their real type and data, keys with
/// their whole subtree. Report-row order, record order, a key line before each value.
BackupOutcome WriteBackupFile(const Session& session);

/// The type code (0 to 4) of value `valueName` of the key `keyPath` in record form.
TRegDataType LookupValueType(const Session& session, std::string_view keyPath,
                             std::string_view valueName);

} // namespace tw
