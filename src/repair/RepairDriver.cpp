#include "RepairDriver.h"

#include "BackupWriter.h"
#include "registry/RegistryContents.h"
#include "registry/Settings.h"
#include "scanner/ScanDriver.h"
#include "scanner/ScanState.h"

namespace tw {

std::string BackupNotice()
{
    return "Tidewell will automatically backup any problems fixed before actually removing "
           "them at \r" +
           BackupFolder() +
           " folder.\r\rYou can using Tidewell Restore function to resume them.\rPress Ok to "
           "repair problems now!";
}

void RepairSections(RepairView& view)
{
    for (const std::string& row : ReportRowSection) {
        if (OperationState == kOperationCancelRepair)
            break;
        const int number = SectionNumberOf(row);
        if (number < 0)
            continue;
        const SectionInfo& section = Sections()[static_cast<size_t>(number)];
        if (section.repair)
            section.repair(view, SectionContents[static_cast<size_t>(number)]);
    }
}

RepairRun RepairProblems(RepairView& view, bool skipBackup,
                         const std::function<void(const RepairRun&)>& afterBackup)
{
    RepairRun run;
    if (ReportRowSection.empty())
        return run;
    OperationState = kOperationIdle;
    if (!skipBackup && !AppSettings.NotAutoBackup) {
        const BackupOutcome backup = WriteBackupFile();
        if (!backup.error.empty()) {
            run.failure = "The backup " + backup.path + " could not be written (" + backup.error +
                          "), so nothing was repaired.";
            return run;
        }
        if (backup.written) {
            run.backupPath = backup.path;
            run.backupNotice = BackupNotice();
            if (afterBackup)
                afterBackup(run);
        }
    }
    RepairSections(view);
    run.repaired = true;
    run.completedMessage = "Repair Completed!";
    return run;
}

void SelectAllReportedRecords()
{
    for (const std::string& row : ReportRowSection) {
        const int number = SectionNumberOf(row);
        for (int i = 0; number >= 0 && i < SectionContents[static_cast<size_t>(number)].Count();
             ++i)
            SetRecordChecked(number, i, true);
    }
}

void SetRecordChecked(int section, int index, bool checked)
{
    if (section < 0 || section >= kSectionCount)
        return;
    TRegistryContents& contents = SectionContents[static_cast<size_t>(section)];
    if (index < 0 || index >= contents.Count())
        return;
    contents.Items(index).Content.Checked = checked;
}

} // namespace tw
