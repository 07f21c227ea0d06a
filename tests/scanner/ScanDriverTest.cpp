// The scan driver: rows, progress, abort, the total row and the report.
#include "ScannerTestSupport.h"

namespace tw {
namespace {

const char* kSections = R"(
[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\a.dll"=dword:00000001
"C:\\b.dll"=dword:00000001
"C:\\c.dll"=dword:00000001

[Software\\Microsoft\\Windows\\Help] 1
"x.hlp"="C:\\Help"
)";

class ScanDriverTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override { builder.systemHive(kSections); }

    SectionSelection only(std::initializer_list<int> numbers)
    {
        SectionSelection selection{};
        for (int n : numbers)
            selection[static_cast<size_t>(n)] = true;
        return selection;
    }
};

TEST(ProgressPosition, RoundsHalfToEven)
{
    std::vector<int> eight;
    for (int i = 0; i < 8; ++i)
        eight.push_back(ProgressPosition(i, 8));
    EXPECT_EQ(eight, (std::vector<int>{12, 25, 38, 50, 62, 75, 88, 100}));
    EXPECT_EQ(ProgressPosition(0, 3), 33);
    EXPECT_EQ(ProgressPosition(1, 3), 67);
    EXPECT_EQ(ProgressPosition(2, 3), 100);
    EXPECT_EQ(ProgressPosition(0, 2), 50);
}

TEST_F(ScanDriverTest, NoSectionGivesOnlyTheTotalRow)
{
    const ScanResult result = ScanSections(*session, only({}), grid, view);
    ASSERT_EQ(grid.rows.size(), 1u);
    EXPECT_EQ(grid.rows[0].caption, "Problems Found:");
    EXPECT_EQ(grid.rows[0].problems, 0);
    EXPECT_EQ(result.message, "Scan Completed!");
    EXPECT_EQ(result.totalProblems, 0);
    EXPECT_TRUE(result.reportRows.empty());
    EXPECT_TRUE(session->ReportRowSection.empty());
}

TEST_F(ScanDriverTest, RowsFollowSectionOrderAndTheReportListsTheProblems)
{
    const ScanResult result = ScanSections(*session, only({9, 8, 6, 1}), grid, view);
    ASSERT_EQ(grid.rows.size(), 5u);
    EXPECT_EQ(grid.rows[0].caption, "Startup Programs");
    EXPECT_EQ(grid.rows[0].problems, 0) << "the driver starts and finishes this row";
    EXPECT_EQ(grid.rows[0].problemsText(), "0");
    EXPECT_EQ(grid.rows[0].status, RowStatus::Finished);
    EXPECT_EQ(grid.rows[0].statusText(), "Finished");
    EXPECT_EQ(grid.rows[1].caption, "Help Files");
    EXPECT_EQ(grid.rows[1].problems, 1);
    EXPECT_EQ(grid.rows[2].caption, "Shared Dll     ");
    EXPECT_EQ(grid.rows[2].problems, 3);
    EXPECT_EQ(grid.rows[3].problems, std::nullopt) << "no Fonts key: the row is left as it was";
    EXPECT_EQ(grid.rows[4].problems, 4);
    EXPECT_EQ(view.progress, (std::vector<int>{25, 50, 75, 100}));
    EXPECT_EQ(result.reportRows, (std::vector<std::string>{"Help Files.1 Problem(s)",
                                                           "Shared Dll     .3 Problem(s)"}));
    EXPECT_EQ(session->ReportRowSection, (std::vector<int>{6, 8}));
    EXPECT_EQ(result.totalProblems, 4);
    EXPECT_EQ(view.statuses.back(), "") << "the status text is emptied at the end";
}

TEST_F(ScanDriverTest, AbortStopsAtTheNextRow)
{
    // Abort while the Help Files row (the second) runs.
    view.onYield = [this] {
        if (grid.rows.size() > 1 && grid.rows[1].status == RowStatus::Scanning)
            session->OperationState = kOperationAbortScan;
    };
    const ScanResult result = ScanSections(*session, only({1, 6, 8, 9}), grid, view);
    EXPECT_EQ(result.message, "Scan Aborted!");
    EXPECT_EQ(grid.rows[1].status, RowStatus::Aborted);
    EXPECT_EQ(grid.rows[1].statusText(), "Abort Scan");
    EXPECT_EQ(grid.rows[2].problems, std::nullopt);
    EXPECT_EQ(grid.rows[2].problemsText(), "");
    EXPECT_EQ(grid.rows[2].statusText(), "");
    EXPECT_EQ(grid.rows[2].status, RowStatus::Empty);
    EXPECT_EQ(grid.rows[3].status, RowStatus::Empty);
    EXPECT_EQ(view.progress, (std::vector<int>{25, 50}));
}

TEST_F(ScanDriverTest, ANewScanResetsTheAbort)
{
    session->OperationState = kOperationAbortScan;
    const ScanResult result = ScanSections(*session, only({8}), grid, view);
    EXPECT_EQ(result.message, "Scan Completed!");
    EXPECT_EQ(grid.rows[0].problems, 3);
}

TEST_F(ScanDriverTest, TotalRowAddsTheProblemsCells)
{
    grid.rows = {{"A", 3, RowStatus::Finished, 0},
                 {"B", std::nullopt, RowStatus::Empty, 1},
                 {"C", 0, RowStatus::Scanning, 2},
                 {"D", 4, RowStatus::Aborted, 3}};
    AddTotalRow(grid);
    EXPECT_EQ(grid.rows.back().problems, 7);
    EXPECT_TRUE(grid.rows.back().isTotal);
}

TEST_F(ScanDriverTest, ReportSkipsZeroRowsAndTheTotal)
{
    grid.rows = {{"Shared Dll     ", 3, RowStatus::Finished, 8},
                 {"Help Files", 0, RowStatus::Finished, 6},
                 {"Problems Found:", 3, RowStatus::Empty, -1, true}};
    EXPECT_EQ(BuildReport(*session, grid),
              (std::vector<std::string>{"Shared Dll     .3 Problem(s)"}));
    EXPECT_EQ(session->ReportRowSection, (std::vector<int>{8}));
}

TEST_F(ScanDriverTest, RowsWithoutASectionNumberDispatchNothing)
{
    grid.rows = {{"Odd", std::nullopt, RowStatus::Empty, -1},
                 {"Out of range", std::nullopt, RowStatus::Empty, 15},
                 {"Shared Dll     ", std::nullopt, RowStatus::Empty, 8}};
    RunScan(*session, grid, view);
    EXPECT_EQ(grid.rows[0].problems, std::nullopt);
    EXPECT_EQ(grid.rows[1].problems, std::nullopt);
    EXPECT_EQ(grid.rows[2].problems, 3);
}

TEST_F(ScanDriverTest, ScanSettingChoosesTheStartingSelection)
{
    SectionSelection selection{};
    bool box = false;
    RestoreScanSelection(*session, selection, box);
    EXPECT_FALSE(box) << "no settings key: nothing changes";
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software\\Tidewell", true));
    reg.WriteText("ScanSetting", "1");
    RestoreScanSelection(*session, selection, box);
    EXPECT_TRUE(box);
    EXPECT_EQ(std::count(selection.begin(), selection.end(), true), 15);
    reg.WriteText("ScanSetting", "yes");
    RestoreScanSelection(*session, selection, box);
    EXPECT_FALSE(box);
    EXPECT_EQ(std::count(selection.begin(), selection.end(), true), 0);
}

TEST_F(ScanDriverTest, SectionTableKeepsTheCaptionsAsListed)
{
    EXPECT_EQ(Sections()[8].caption, "Shared Dll     ");
    EXPECT_EQ(Sections()[10].caption, "File Associations    ");
    for (int i = 0; i < kSectionCountTotal; ++i)
        EXPECT_EQ(Sections()[static_cast<size_t>(i)].number, i);
}

} // namespace
} // namespace tw
