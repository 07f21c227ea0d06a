// The program's own folder (backups and their kept files, FileList, Update.ini), which no
// scan reports and no junk scan offers.
#pragma once

#include "platform/Files.h"

#include <string>
#include <unordered_set>

namespace tw {

class Session;

/// The program's folder and the folders under it, told apart by file identity: another
/// spelling, case or drive letter leads to the same ones.
class OwnFolders
{
public:
    /// Reads the identities once (links inside the folder are not followed); none when the
    /// folder does not exist.
    explicit OwnFolders(const Session& session);

    /// True for the program's folder and every folder under it.
    bool holds(const platform::FileId& folder) const { return m_ids.contains(folder); }

private:
    void collect(platform::Files& files, const std::string& folder);

    std::unordered_set<platform::FileId> m_ids;
};

} // namespace tw
