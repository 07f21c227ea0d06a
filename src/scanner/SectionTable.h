// The fifteen scan sections: captions, roots, key paths, the routines they run and what their
// repairs remove.
#pragma once

#include "RepairLoop.h"
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

/// One call a section makes.
struct SectionCall
{
    SectionScanRoutine routine = nullptr;
    /// The root it is given when not the section's own.
    win::HKEY otherRoot = 0;
};

struct SectionInfo
{
    int number;
    /// Exactly as the section list shows it, trailing blanks included.
    std::string_view caption;
    /// 0 for the section that reads files, not the registry.
    win::HKEY root;
    std::string_view keyPath;
    bool driverStartsRow;
    bool driverFinishesRow;
    /// The calls in order.
    std::vector<SectionCall> calls;
    /// What the repair removes for a record; the standard repair of that kind runs unless
    /// `specialRepair` is given.
    RepairRemoves removes;
    /// The text the repair shows for a record.
    RepairShows shows;
    /// An error inside the repair loop ends the section's repair quietly.
    bool repairEndsQuietly;
    /// A repair that does more than remove what `removes` names; null for the standard one.
    SectionRepairRoutine specialRepair = nullptr;
};

inline constexpr int kSectionCountTotal = 15;

/// The section table, indexed by section number.
const std::array<SectionInfo, kSectionCountTotal>& Sections();

/// Makes the section's calls in order, each with its root, into the section's collection.
void RunSectionCalls(ScanContext& context, const SectionInfo& section);
/// The calls with the row started and finished where the driver does it.
void RunSectionRow(ScanContext& context, const SectionInfo& section);

/// Repairs the checked records of section `number`: its special repair, or the standard
/// repair of what it removes, knowing what this repair run removed before. Nothing for a
/// number outside the table.
void RepairSection(Session& session, RepairView& view, int number, RemovedEntries& removed);
/// The same as a repair run of its own.
void RepairSection(Session& session, RepairView& view, int number);

} // namespace tw
