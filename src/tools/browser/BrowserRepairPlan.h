// What the browser repair of the checked items will change, worked out before anything is.
#pragma once

#include "repair/UndoBackup.h"

#include <string>
#include <vector>

namespace tw {

class Session;

/// The changes of one item, in the order the item makes them.
struct PlannedItem
{
    int row = 0;
    std::vector<RegistryChange> changes;
    /// Files the item deletes; only ones that exist now.
    std::vector<KeptFile> files;
};

/// Walks the items of `rows` (list order) over the registry as it is, as each earlier change
/// had been made, and returns what each will change. Reads only.
std::vector<PlannedItem> PlanBrowserRepair(const Session& session, const std::vector<int>& rows);

} // namespace tw
