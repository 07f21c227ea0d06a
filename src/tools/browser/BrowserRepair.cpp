#include "BrowserRepair.h"

#include "BrowserRepairItems.h"
#include "BrowserRepairPlan.h"
#include "platform/RootKeys.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"
#include "repair/UndoBackup.h"

#include <cstring>
#include <optional>

namespace tw {

namespace {

/// Makes one planned change on a fresh registry object, as the item's routine does: a key
/// that does not open skips the change; a write it refuses throws ERegistryException.
void apply(const Session& session, const RegistryChange& change)
{
    const std::optional<platform::KeyPath> key = platform::parseKeyPath(change.key);
    if (!key)
        return;
    TRegistry reg(session);
    reg.SelectRoot(key->root);
    switch (change.kind) {
    case RegistryChange::Kind::CreateKey:
        reg.OpenPath(key->subKey, true);
        break;
    case RegistryChange::Kind::SetValue:
        if (!reg.OpenPath(key->subKey, true))
            break;
        if (change.type == win::REG_DWORD) {
            std::int32_t number = 0;
            std::memcpy(&number, change.data.data(), sizeof number);
            reg.WriteNumber(change.valueName, number);
        } else if (change.type == win::REG_SZ) {
            reg.WriteText(change.valueName, change.data.substr(0, change.data.find('\0')));
        } else {
            reg.WriteBytes(change.valueName, change.data.data(),
                           static_cast<int>(change.data.size()));
        }
        break;
    case RegistryChange::Kind::DeleteValue:
        if (reg.OpenPath(key->subKey, false))
            reg.RemoveValue(change.valueName);
        break;
    case RegistryChange::Kind::DeleteKey:
        reg.RemoveKeyTree(key->subKey);
        break;
    }
}

} // namespace

BrowserRepairRun RepairBrowser(Session& session, const std::vector<bool>& checked,
                               BrowserRepairView& view)
{
    BrowserRepairRun run;
    const auto items = BrowserRepairItems();
    std::vector<int> rows;
    for (size_t row = 0; row < items.size() && row < checked.size(); ++row) {
        if (checked[row])
            rows.push_back(static_cast<int>(row));
    }
    if (rows.empty())
        return run;
    const std::string refusal = session.changeRefusal();
    if (!refusal.empty()) {
        run.failure = "Nothing was repaired. " + refusal;
        return run;
    }

    const std::vector<PlannedItem> plan = PlanBrowserRepair(session, rows);
    std::vector<RegistryChange> changes;
    std::vector<KeptFile> deletedFiles;
    for (const PlannedItem& item : plan) {
        changes.insert(changes.end(), item.changes.begin(), item.changes.end());
        deletedFiles.insert(deletedFiles.end(), item.files.begin(), item.files.end());
    }
    const UndoBackupOutcome backup = WriteUndoBackup(session, "Browser Repair", changes, deletedFiles);
    if (!backup.error.empty()) {
        run.failure =
            "The backup could not be written (" + backup.error + "), so nothing was repaired.";
        return run;
    }
    if (backup.written())
        run.backupPath = backup.path;

    std::vector<int> completed;
    std::vector<KeptFile> files;
    auto next = plan.begin();
    try {
        for (size_t row = 0; row < items.size(); ++row) {
            view.yield();
            if (row >= checked.size() || !checked[row])
                continue;
            const PlannedItem& item = *next++;
            view.setStatus(item.row, kBrowserRepairing);
            for (const RegistryChange& change : item.changes)
                apply(session, change);
            files.insert(files.end(), item.files.begin(), item.files.end());
            view.setStatus(item.row, kBrowserCompleted);
            completed.push_back(item.row);
        }
    } catch (const ERegistryException& e) {
        run.failure = e.what();
    }

    try {
        session.storage().commit();
    } catch (const platform::StorageError& e) {
        session.storage().rollback();
        for (const int row : completed)
            view.setStatus(row, "");
        if (run.backupPath)
            DiscardUndoBackup(session, *run.backupPath);
        run.backupPath.reset();
        run.failure = std::string("The changes of the repair could not be saved, so nothing "
                                  "was changed: ") +
                      e.what();
        return run;
    }
    // Only once the registry is saved: a file cannot be taken back with it.
    for (const KeptFile& file : files)
        session.files().deleteFile(file.path);
    return run;
}

} // namespace tw
