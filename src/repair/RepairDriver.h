// The repair driver: backup first, then every reported section's repair, in section order.
#pragma once

#include "registry/Session.h"
#include "scanner/ScanView.h"

#include <functional>
#include <optional>
#include <string>

namespace tw {

struct RepairRun
{
    /// False when there was nothing to repair (an empty report) or the backup failed.
    bool repaired = false;
    /// The backup file, when one was written.
    std::optional<std::string> backupPath;
    /// The notice naming the backup folder, shown once the backup is written.
    std::string backupNotice;
    /// Why nothing was repaired (changes could not be saved, or the backup could not be
    /// written), or why the repair's registry changes were taken back.
    std::string error;
    /// "Repair Completed!" after a repair.
    std::string completedMessage;
};

/// What "Repair Problems" does. Refuses the whole repair (error) when its changes could
/// not be saved (storage's writeRefusal). Unless `skipBackup` (or the "NotAutoBackup"
/// setting) says otherwise, writes the backup and stops when it cannot be written; then
/// repairs the reported sections and saves the changes. When the save fails, the registry
/// changes are taken back, their rows say "Repair Error" and `error` says why. The
/// session's OperationState is reset at the start.
/// `afterBackup` runs once the backup is written, before anything is repaired (the window
/// shows its notice there).
RepairRun RepairProblems(Session& session, RepairView& view, bool skipBackup = false,
                         const std::function<void(const RepairRun&)>& afterBackup = {});

/// Calls the repair routine of each report row's section until "Cancel" is pressed.
void RepairSections(Session& session, RepairView& view);

/// Sets `Checked` of one record (nothing for a section or index out of range).
void SetRecordChecked(Session& session, int section, int index, bool checked);

/// Ticks every record of every reported section, as "Select All" in each details window.
void SelectAllReportedRecords(Session& session);

/// The notice shown after the backup was written.
std::string BackupNotice();

} // namespace tw
