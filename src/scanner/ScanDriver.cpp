#include "ScanDriver.h"

#include "SideLane.h"
#include "platform/Files.h"
#include "registry/ProgramInfo.h"
#include "registry/Settings.h"
#include "registry/TRegistry.h"

#include <cfenv>
#include <cmath>

namespace tw {

namespace {

constexpr int kProgressMax = 100;
constexpr const char* kTotalCaption = "Problems Found:";

} // namespace

std::string RowStatusText(RowStatus status)
{
    switch (status) {
    case RowStatus::Scanning:
        return "Scanning";
    case RowStatus::Finished:
        return "Finished";
    case RowStatus::Aborted:
        return "Abort Scan";
    case RowStatus::Empty:
        break;
    }
    return std::string();
}

int ProgressPosition(int index, int rows)
{
    const double exact = static_cast<double>(kProgressMax) / rows * (index + 1);
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(exact);
    std::fesetround(previous);
    return static_cast<int>(rounded);
}

void RunScan(Session& session, OutcomeGrid& grid, ScanView& view)
{
    session.StatusTick = 0;
    session.OperationState = kOperationIdle;
    const int rows = static_cast<int>(grid.rows.size());
    // Some sections may run on a second thread meanwhile; their rows are taken in turn.
    const std::unique_ptr<SideLane> lane = SideLane::start(session, grid);
    for (int i = 0; i < rows; ++i) {
        if (session.OperationState == kOperationAbortScan)
            break;
        view.progressChanged(ProgressPosition(i, rows));
        const int number = grid.rows[static_cast<size_t>(i)].section;
        if (number < 0 || number >= kSectionCountTotal)
            continue;
        if (lane && lane->takeRow(i, session, grid, view))
            continue;
        ScanContext context(session, grid, view, i);
        RunSectionRow(context, Sections()[static_cast<size_t>(number)]);
    }
}

void AddTotalRow(OutcomeGrid& grid)
{
    int sum = 0;
    for (const OutcomeRow& row : grid.rows)
        sum += row.problems.value_or(0);
    OutcomeRow total;
    total.caption = kTotalCaption;
    total.problems = sum;
    total.isTotal = true;
    grid.rows.push_back(total);
}

int TotalProblemCount(const Session& session)
{
    int total = 0;
    for (const TRegistryContents& contents : session.SectionContents)
        total += contents.Count();
    return total;
}

std::string ReportRowText(std::string_view caption, int problems)
{
    return std::string(caption) + "." + std::to_string(problems) + " Problem(s)";
}

std::vector<std::string> BuildReport(Session& session, const OutcomeGrid& grid)
{
    std::vector<std::string> rows;
    session.ReportRowSection.clear();
    for (const OutcomeRow& row : grid.rows) {
        if (row.isTotal || row.problems.value_or(0) <= 0)
            continue;
        rows.push_back(ReportRowText(row.caption, *row.problems));
        session.ReportRowSection.push_back(row.section);
    }
    return rows;
}

ScanResult ScanSections(Session& session, const SectionSelection& selection, OutcomeGrid& grid,
                        ScanView& view)
{
    ClearAllSections(session);
    session.Ignored = LoadIgnoreList(session);
    grid.rows.clear();
    for (const SectionInfo& section : Sections()) {
        if (!selection[static_cast<size_t>(section.number)])
            continue;
        OutcomeRow row;
        row.caption = std::string(section.caption);
        row.section = section.number;
        grid.rows.push_back(row);
    }
    view.gridChanged(-1);
    {
        // Sections ask about the same files and folders again and again.
        const platform::FileQueryCache cache(session.files());
        RunScan(session, grid, view);
    }
    AddTotalRow(grid);
    view.gridChanged(-1);
    view.statusChanged("");

    ScanResult result;
    result.message =
        session.OperationState == kOperationAbortScan ? "Scan Aborted!" : "Scan Completed!";
    result.totalProblems = TotalProblemCount(session);
    for (const OutcomeRow& row : grid.rows)
        result.ignored += row.ignored;
    result.reportRows = BuildReport(session, grid);
    return result;
}

void RestoreScanSelection(const Session& session, SectionSelection& selection, bool& selectAllBox)
{
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (!reg.OpenPath(kSettingsKey, false))
        return;
    const bool all = ReadSetting(reg, "ScanSetting") == "1";
    selection.fill(all);
    selectAllBox = all;
}

void CreateSectionContents(Session& session)
{
    ClearAllSections(session);
}

void ClearAllSections(Session& session)
{
    ClearSectionContents(session);
}

} // namespace tw
