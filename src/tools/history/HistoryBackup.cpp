#include "HistoryBackup.h"

#include "HistoryCleaner.h"
#include "repair/UndoBackup.h"

namespace tw {

std::string BackUpHistoryValues(const Session& session, const std::vector<HistoryValue>& values)
{
    std::vector<RegistryChange> changes;
    for (const HistoryValue& value : values)
        changes.push_back(RegistryChange::deleteValue(
            std::string("HKEY_CURRENT_USER\\") + value.key, value.name));
    if (changes.empty())
        return std::string();
    const UndoBackupOutcome outcome = WriteUndoBackup(session, "History Clearing", changes);
    if (!outcome.error.empty())
        throw HistoryRefused("Nothing was cleared: the backup of the registry values cannot be "
                             "written (" +
                             outcome.error + ")");
    return outcome.path;
}

void DiscardHistoryBackup(const Session& session, const std::string& path)
{
    DiscardUndoBackup(session, path);
}

} // namespace tw
