// The loop every section repair follows, and the standard repairs: what they remove for a
// record, which the backup reads too.
#pragma once

#include "ScanView.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"

#include <functional>
#include <set>
#include <string>

namespace tw {

inline constexpr const char* kRepairSucceed = "Repair Succeed";
inline constexpr const char* kRepairError = "Repair Error";

struct SectionRepair
{
    /// The text shown in the label and the result row.
    std::function<std::string(const TContent&)> displayText;
    /// Deletes what the record names; true on success.
    std::function<bool(const TContent&)> remove;
    /// An error inside the loop ends this section's repair quietly (rows so far stay).
    bool swallowErrors = false;
};

/// Repairs every checked record in order until "Cancel" is pressed: label, result row,
/// deletion, "Repair Succeed" or "Repair Error". Records stay as they are.
void RunSectionRepair(Session& session, RepairView& view, const TRegistryContents& contents,
                      const SectionRepair& repair);

/// What a section's repair removes for one record, so that its backup can hold it.
enum class RepairRemoves
{
    ValueNamedByValueName, ///< the value `ValueName` of the key `KeyPath`
    ValueNamedByItemName,  ///< the value `ItemName` of the key `KeyPath`
    WholeKey,              ///< the key `KeyPath` with everything below it
    ValueOrMenuKey,        ///< the whole key for a "Menu//" record, else the value
    NoRegistryData,        ///< a file, not registry data
};

/// The text a repair shows for a record.
enum class RepairShows
{
    KeyPath,            ///< `KeyPath`
    KeyPathWithoutRoot, ///< `KeyPath` without its root's name (it starts with "\")
};

/// What the repair of one record removes.
struct RecordRemoval
{
    enum class Kind
    {
        Key,
        Value,
        File,
    };
    Kind kind = Kind::File;
    /// The record's key, split as the repairs split it.
    RecordKeyPath key;
    /// For a value: its name, "" for the unnamed value ("default" in a record).
    std::string valueName;
};

RecordRemoval RemovalOf(RepairRemoves removes, const TContent& record);

/// What one repair run has removed so far. Two records may name one entry (a start-menu
/// order key is stale in one section and history in another): the first removes it, and
/// the second finds it gone by that removal rather than failing.
class RemovedEntries
{
public:
    /// True when that key, a key above it, or (for a value) that value was removed.
    bool covers(const RecordRemoval& removal) const;
    void add(const RecordRemoval& removal);

private:
    std::set<std::string> m_keys;
    std::set<std::string> m_values;
};

/// The repair of a section whose repair only removes what `removes` names: the key with
/// its subtree, or the value (its key is opened with may-create, as it always was). An
/// entry `removed` holds already counts as repaired.
void RunStandardRepair(Session& session, RepairView& view, const TRegistryContents& contents,
                       RepairRemoves removes, RepairShows shows, bool endsQuietly,
                       RemovedEntries& removed);

} // namespace tw
