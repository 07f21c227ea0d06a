// The fifteen scan sections: captions, roots, key paths and the routines they run.
#pragma once

#include "ScanContext.h"
#include "platform/WinTypes.h"

#include <array>
#include <string_view>
#include <vector>

namespace tw {

using SectionScanRoutine = void (*)(ScanContext& context, TRegistryContents& contents,
                                    std::string_view keyPath, win::HKEY root);
using SectionRepairRoutine = void (*)(Session& session, RepairView& view,
                                      const TRegistryContents& contents);

/// One call a section makes, with the root it is given.
struct SectionCall
{
    SectionScanRoutine routine = nullptr;
    win::HKEY root = 0;
};

/// What a section's repair removes for one record, so that its backup can hold it.
enum class RepairRemoves
{
    ValueNamedByValueName, ///< the value `ValueName` of the key `KeyPath`
    ValueNamedByItemName,  ///< the value `ItemName` of the key `KeyPath`
    WholeKey,              ///< the key `KeyPath` with everything below it
    ValueOrMenuKey,        ///< the whole key for a "Menu//" record, else the value
    NoRegistryData,        ///< a file, not registry data
};

struct SectionInfo
{
    int number;
    /// Exactly as the section list shows it, trailing blanks included.
    std::string_view caption;
    win::HKEY root;
    std::string_view keyPath;
    bool driverStartsRow;
    bool driverFinishesRow;
    /// The calls in order; sections not built yet have none.
    std::vector<SectionCall> calls;
    SectionRepairRoutine repair;
    RepairRemoves removes;
};

inline constexpr int kSectionCountTotal = 15;

/// The section table, indexed by section number.
const std::array<SectionInfo, kSectionCountTotal>& Sections();

} // namespace tw
