#include "RepairDriver.h"

#include "BackupWriter.h"
#include "scanner/ScanDriver.h"

namespace tw {

std::string BackupNotice()
{
    return "Tidewell will automatically backup any problems fixed before actually removing "
           "them at \r" +
           BackupFolder() +
           " folder.\r\rYou can using Tidewell Restore function to resume them.\rPress Ok to "
           "repair problems now!";
}

void RepairSections(Session& session, RepairView& view)
{
    RemovedEntries removed;
    for (const int number : session.ReportRowSection) {
        if (session.OperationState == kOperationCancelRepair)
            break;
        RepairSection(session, view, number, removed);
    }
}

RepairRun RepairProblems(Session& session, RepairView& view, bool skipBackup,
                         const std::function<void(const RepairRun&)>& afterBackup)
{
    RepairRun run;
    if (session.ReportRowSection.empty())
        return run;
    session.OperationState = kOperationIdle;
    if (!skipBackup && !session.AppSettings.NotAutoBackup) {
        const BackupOutcome backup = WriteBackupFile(session);
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
    RepairSections(session, view);
    run.repaired = true;
    run.completedMessage = "Repair Completed!";
    return run;
}

void SelectAllReportedRecords(Session& session)
{
    for (const int number : session.ReportRowSection) {
        for (int i = 0; number >= 0 && number < kSectionCount &&
                        i < session.SectionContents[static_cast<size_t>(number)].Count();
             ++i)
            SetRecordChecked(session, number, i, true);
    }
}

void SetRecordChecked(Session& session, int section, int index, bool checked)
{
    if (section < 0 || section >= kSectionCount)
        return;
    TRegistryContents& contents = session.SectionContents[static_cast<size_t>(section)];
    if (index < 0 || index >= contents.Count())
        return;
    contents.Items(index).Content.Checked = checked;
}

} // namespace tw
