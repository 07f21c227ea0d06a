#include "BackedUpChange.h"

#include "platform/Storage.h"
#include "registry/Session.h"

#include <exception>

namespace tw {

namespace {

std::string run(const ChangeStep& step)
{
    if (!step)
        return std::string();
    try {
        return step();
    } catch (const std::exception& e) {
        return e.what();
    }
}

} // namespace

std::string NothingChanged(std::string_view why)
{
    return "Nothing was changed: " + std::string(why);
}

ChangeOutcome MakeBackedUpChange(const Session& session, std::string_view undoes,
                                 const std::vector<RegistryChange>& changes,
                                 const std::vector<KeptFile>& files, const ChangeStep& change,
                                 const ChangeStep& afterSave)
{
    ChangeOutcome outcome;
    platform::Storage& storage = session.storage();
    std::vector<std::string> keys;
    for (const RegistryChange& registryChange : changes)
        keys.push_back(registryChange.key);
    if (std::string refusal = session.changeRefusalFor(keys); !refusal.empty()) {
        outcome.error = NothingChanged(refusal);
        return outcome;
    }
    const UndoBackupOutcome backup = WriteUndoBackup(session, undoes, changes, files);
    if (!backup.error.empty()) {
        outcome.error = NothingChanged("the backup could not be written (" + backup.error + ").");
        return outcome;
    }
    const auto undo = [&](const std::string& why) {
        storage.rollback();
        if (!backup.path.empty())
            DiscardUndoBackup(session, backup.path);
        outcome.error = NothingChanged(why);
        return outcome;
    };
    if (std::string error = run(change); !error.empty())
        return undo(error);
    try {
        storage.commit();
    } catch (const platform::StorageError& e) {
        return undo(std::string("the change could not be saved (") + e.what() + ").");
    }
    if (std::string error = run(afterSave); !error.empty())
        return undo(error);
    outcome.backupPath = backup.path;
    return outcome;
}

} // namespace tw
