#include "BrowserRepair.h"

#include "BrowserRepairItems.h"
#include "BrowserRepairPlan.h"
#include "platform/RootKeys.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"
#include "repair/BackedUpChange.h"

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
    const std::vector<PlannedItem> plan = PlanBrowserRepair(session, rows);
    std::vector<RegistryChange> changes;
    std::vector<KeptFile> deletedFiles;
    for (const PlannedItem& item : plan) {
        changes.insert(changes.end(), item.changes.begin(), item.changes.end());
        deletedFiles.insert(deletedFiles.end(), item.files.begin(), item.files.end());
    }

    std::vector<int> completed;
    std::vector<KeptFile> files;
    const ChangeOutcome change = MakeBackedUpChange(
        session, "Browser Repair", changes, deletedFiles,
        [&] {
            auto next = plan.begin();
            // A write the registry refuses ends the repair; the items before it are kept.
            try {
                for (size_t row = 0; row < items.size(); ++row) {
                    view.yield();
                    if (row >= checked.size() || !checked[row])
                        continue;
                    const PlannedItem& item = *next++;
                    view.setStatus(item.row, kBrowserRepairing);
                    for (const RegistryChange& planned : item.changes)
                        apply(session, planned);
                    files.insert(files.end(), item.files.begin(), item.files.end());
                    view.setStatus(item.row, kBrowserCompleted);
                    completed.push_back(item.row);
                }
            } catch (const ERegistryException& e) {
                run.error = e.what();
            }
            return std::string();
        },
        [&] {
            // Only once the registry is saved: a file cannot be taken back with it.
            for (const KeptFile& file : files)
                session.files().deleteFile(file.path);
            return std::string();
        });
    if (!change.ok()) {
        for (const int row : completed)
            view.setStatus(row, "");
        run.error = change.error;
        return run;
    }
    if (!change.backupPath.empty())
        run.backupPath = change.backupPath;
    return run;
}

} // namespace tw
