#include "RepairDriver.h"

#include "BackupWriter.h"
#include "scanner/RepairLoop.h"
#include "scanner/ScanDriver.h"

#include <unordered_map>
#include <vector>

namespace tw {

std::string BackupNotice()
{
    return "Tidewell will automatically backup any problems fixed before actually removing "
           "them at \r" +
           BackupFolder() +
           " folder.\r\rYou can using Tidewell Restore function to resume them.\rPress Ok to "
           "repair problems now!";
}

namespace {

/// Passes the rows on and remembers which section each belongs to, so that a repair whose
/// registry changes could not be saved can say so in its rows.
class TrackingRepairView : public RepairView
{
public:
    TrackingRepairView(RepairView& view) : m_view(view) {}
    void setSection(const SectionInfo* section) { m_section = section; }
    void setLabel(const std::string& text) override { m_view.setLabel(text); }
    int addResultRow(const std::string& problem) override
    {
        const int row = m_view.addResultRow(problem);
        m_index[row] = m_rows.size();
        m_rows.push_back({row, m_section, ""});
        return row;
    }
    void setResultStatus(int row, const std::string& status) override
    {
        // One lookup per status: a repair may have hundreds of thousands of rows.
        if (const auto at = m_index.find(row); at != m_index.end())
            m_rows[at->second].status = status;
        m_view.setResultStatus(row, status);
    }
    void yield() override { m_view.yield(); }

    /// Every registry row that said it succeeded now says it failed.
    void failRegistryRows()
    {
        for (const Row& r : m_rows) {
            if (r.section && r.section->removes != RepairRemoves::NoRegistryData &&
                r.status == kRepairSucceed)
                m_view.setResultStatus(r.row, kRepairError);
        }
    }

private:
    struct Row
    {
        int row;
        const SectionInfo* section;
        std::string status;
    };
    RepairView& m_view;
    const SectionInfo* m_section = nullptr;
    std::vector<Row> m_rows;
    /// Where each row of the view is in m_rows.
    std::unordered_map<int, size_t> m_index;
};

void repairReportedSections(Session& session, TrackingRepairView& view)
{
    RemovedEntries removed;
    for (const int number : session.ReportRowSection) {
        if (session.OperationState == kOperationCancelRepair)
            break;
        if (number < 0 || number >= kSectionCountTotal)
            continue;
        view.setSection(&Sections()[static_cast<size_t>(number)]);
        RepairSection(session, view, number, removed);
    }
}

} // namespace

void RepairSections(Session& session, RepairView& view)
{
    TrackingRepairView tracking(view);
    repairReportedSections(session, tracking);
}

namespace {
/// The keys of the findings the repair is to change.
std::vector<std::string> checkedKeys(const Session& session)
{
    std::vector<std::string> keys;
    for (const int number : session.ReportRowSection) {
        if (number < 0 || number >= kSectionCount)
            continue;
        const TRegistryContents& contents = session.SectionContents[static_cast<size_t>(number)];
        for (int i = 0; i < contents.Count(); ++i) {
            if (contents.Items(i).Content.Checked)
                keys.push_back(contents.Items(i).Content.KeyPath);
        }
    }
    return keys;
}
} // namespace

RepairRun RepairProblems(Session& session, RepairView& view, bool skipBackup,
                         const std::function<void(const RepairRun&)>& afterBackup)
{
    RepairRun run;
    if (session.ReportRowSection.empty())
        return run;
    session.OperationState = kOperationIdle;
    // All or nothing: a repair that could not be saved is not begun (its file deletions
    // could not be taken back with the registry changes).
    const std::string refusal = session.changeRefusalFor(checkedKeys(session));
    if (!refusal.empty()) {
        run.error = "Nothing was repaired. " + refusal;
        return run;
    }
    if (!skipBackup && !session.AppSettings.NotAutoBackup) {
        const BackupOutcome backup = WriteBackupFile(session);
        if (!backup.error.empty()) {
            run.error = "The backup " + backup.path + " could not be written (" + backup.error +
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
    TrackingRepairView tracking(view);
    repairReportedSections(session, tracking);
    try {
        session.storage().commit();
    } catch (const platform::StorageError& e) {
        session.storage().rollback();
        tracking.failRegistryRows();
        run.error =
            std::string("The registry changes of the repair could not be saved, so the "
                        "registry is as it was: ") +
            e.what() +
            (run.backupPath ? " Files it removed are kept in the backup " + *run.backupPath + "."
                            : std::string());
        return run;
    }
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
