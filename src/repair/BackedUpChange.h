// One change of the prefix that can be undone: refusal check, undo backup, change, save.
#pragma once

#include "UndoBackup.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class Session;

/// What a change of the prefix came to.
struct ChangeOutcome
{
    /// The backup written for the change; empty when none was needed or it was removed again.
    std::string backupPath;
    /// Why nothing was changed ("Nothing was changed: ..."); empty when the change is saved.
    std::string error;
    bool ok() const { return error.empty(); }
};

/// A step of a change: returns why it failed, empty when it was made; may throw
/// std::exception.
using ChangeStep = std::function<std::string()>;

/// Makes a change with its undo backup. Refused when the prefix cannot be saved now
/// (Storage::writeRefusal); then writes the undo backup of `changes` and `files` (see
/// WriteUndoBackup), runs `change` (the registry changes) and saves the registry, then runs
/// `afterSave` (what cannot be taken back with the registry: files). When the backup,
/// `change` or the save fails, the registry is rolled back to its last saved state, the
/// backup is removed, and `error` says why. When `afterSave` fails, the backup is removed
/// too: it may fail only when `change` changed nothing, and must then leave nothing changed.
ChangeOutcome MakeBackedUpChange(const Session& session, std::string_view undoes,
                                 const std::vector<RegistryChange>& changes,
                                 const std::vector<KeptFile>& files, const ChangeStep& change,
                                 const ChangeStep& afterSave = {});

/// The text of a change that was not made: "Nothing was changed: <why>".
std::string NothingChanged(std::string_view why);

} // namespace tw
