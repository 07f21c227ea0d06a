#include "HistoryBackup.h"

#include "HistoryCleaner.h"
#include "platform/RegFile.h"
#include "registry/Session.h"
#include "repair/BackupSeal.h"
#include "repair/BackupWriter.h"

namespace tw {

std::string BackUpHistoryValues(const Session& session, const std::vector<HistoryValue>& values)
{
    platform::Registry& registry = session.registry();
    const bool ansi = session.PlatformKind == 2;
    platform::RegFileWriter writer(
        registry, ansi ? platform::RegFileFormat::Ansi : platform::RegFileFormat::Unicode,
        {ansi ? "REGEDIT4" : "Windows Registry Editor Version 5.00", false, false});
    int saved = 0;
    for (const HistoryValue& value : values) {
        platform::KeyHandle key(registry);
        if (registry.openKey(win::HKEY_CURRENT_USER, value.key, win::KEY_READ, key.out()) !=
            win::ERROR_SUCCESS)
            continue;
        win::DWORD type = 0;
        std::string data;
        if (registry.queryValue(key.get(), value.name, &type, &data) != win::ERROR_SUCCESS)
            continue;
        writer.addKeyLine(std::string("HKEY_CURRENT_USER\\") + value.key);
        writer.addValue(value.name, type, data);
        ++saved;
    }
    if (saved == 0)
        return std::string();
    if (!CreateBackupFolder(session))
        throw HistoryRefused("Nothing was cleared: the backup folder " + BackupFolder() +
                             " cannot be created");
    std::string path = NewBackupPath(session);
    const std::string error =
        WriteBackupBytes(session, path, SealBackup(writer.finish(), MachineIdentity(session)));
    if (!error.empty())
        throw HistoryRefused("Nothing was cleared: the backup of the registry values cannot be "
                             "written (" +
                             error + ")");
    return path;
}

} // namespace tw
