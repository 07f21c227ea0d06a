// The two comment lines that make a backup file tell where it came from and whether it was
// changed since: "; Tidewell backup of machine {GUID}" and "; Tidewell checksum sha256:...".
// Windows' and Wine's registry editors pass over comment lines.
#pragma once

#include "platform/Files.h"
#include "platform/RegFile.h"
#include "platform/Sha256.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tw {

class Session;

/// The installation the registry belongs to: its MachineGuid (Wine sets one per prefix);
/// empty when it has none.
std::string MachineIdentity(const Session& session);

/// The file's bytes with the two lines put after its first line. `bytes` is a registry file
/// as the writer makes it (8-bit, or UTF-16LE with a byte-order mark).
std::string SealBackup(std::string_view bytes, const std::string& machine);

/// SealBackup for a file written piece by piece to `out` from its start: the same bytes. The
/// checksum line holds a placeholder until finish() writes the checksum into it.
class BackupSealWriter
{
public:
    BackupSealWriter(platform::FileStream& out, const std::string& machine);
    ~BackupSealWriter();
    BackupSealWriter(const BackupSealWriter&) = delete;
    BackupSealWriter& operator=(const BackupSealWriter&) = delete;

    /// The next piece of the registry file, whole lines.
    void write(const platform::RegFilePiece& piece);
    void finish();

private:
    void put(std::string_view bytes);

    platform::FileStream& m_out;
    std::string m_originLine;
    std::unique_ptr<platform::Sha256> m_hash;
    bool m_started = false;
    bool m_unicode = false;
    std::int64_t m_written = 0;
    std::int64_t m_checksumAt = 0;
};

enum class BackupOrigin
{
    /// Written by Tidewell on this installation and unchanged since.
    Sealed,
    /// Without the lines: an older backup or a file of the user's own.
    Unsealed,
    /// The lines are there but the content no longer matches its checksum.
    Altered,
    /// Unchanged, but made on another installation.
    OtherMachine,
};

struct BackupCheck
{
    BackupOrigin origin = BackupOrigin::Unsealed;
    /// What to tell the user before restoring an altered or foreign backup.
    std::string warning;
    bool needsConfirmation() const
    {
        return origin == BackupOrigin::Altered || origin == BackupOrigin::OtherMachine;
    }
};

/// Reads the backup file (a Windows path) and checks its lines against its content and this
/// installation. A file that cannot be read is Unsealed (the restore says why it fails).
BackupCheck CheckBackup(const Session& session, const std::string& path);
/// The same for a file's bytes.
BackupCheck CheckBackupBytes(std::string_view bytes, const std::string& machine,
                             const std::string& path);

} // namespace tw
