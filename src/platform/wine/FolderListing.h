// A host folder's entries as read once, found with and without regard to case.
#pragma once

#include "WinePlatformOnly.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tw::wine {

/// A folder's entries as read when it had this change time; the short names are worked
/// out only when one is looked up. Once the path mapper shares a listing between threads,
/// only its short names change, under the lock of the store that holds it.
class FolderListing
{
public:
    long long changedNs = -1;
    /// `readable` false when the folder exists but could not be read, `missing` when there
    /// is no such folder.
    bool readable = false;
    bool missing = false;
    /// A name and its type (DT_DIR, DT_REG, ...).
    struct Entry
    {
        std::uint32_t offset;
        std::uint32_t length;
        std::uint32_t hash;
        unsigned char type;
    };
    /// The entries in the folder's order, their names one after the other in `names`.
    std::vector<Entry> list;
    std::string names;
    bool shortNamesRead = false;
    std::unordered_map<std::u16string, std::string> byShortName;

    void add(std::string_view name, unsigned char type);
    /// Makes the entries added so far findable.
    void index();
    std::string_view nameOf(const Entry& entry) const
    {
        return std::string_view(names).substr(entry.offset, entry.length);
    }
    /// Of the names that differ from `name` only in case, the first in the folder's order;
    /// null when there is none.
    const Entry* findNoCase(std::string_view name) const;
    /// The entry named exactly `name`, or null.
    const Entry* exactEntry(std::string_view name) const;

private:
    /// Open addressing by the names' case-blind hash: 1 + the index in `list` of the first
    /// name of each spelling without regard to case, 0 for a free slot.
    std::vector<std::uint32_t> m_slots;
    /// The other names that differ only in case from one before them, in folder order.
    std::vector<std::uint32_t> m_caseTwins;
};

} // namespace tw::wine
