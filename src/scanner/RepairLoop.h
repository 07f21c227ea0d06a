// The loop every section repair follows.
#pragma once

#include "ScanView.h"
#include "registry/Session.h"

#include <functional>
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

/// The repair that deletes the value `ValueName` of the key `KeyPath`, shown as `KeyPath`.
SectionRepair RecordValueRepair(const Session& session, bool swallowErrors);

/// Repairs every checked record in order until "Cancel" is pressed: label, result row,
/// deletion, "Repair Succeed" or "Repair Error". Records stay as they are.
void RunSectionRepair(Session& session, RepairView& view, const TRegistryContents& contents,
                      const SectionRepair& repair);

} // namespace tw
