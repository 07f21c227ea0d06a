// The scan's second thread: the same findings as one thread, abort, and changes waiting for it.
#include "scanner/SideLane.h"

#include "ScannerTestSupport.h"
#include "SyntheticPrefix.h"
#include "scanner/sections/SmallSections.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace tw::win;

/// A generated prefix with findings in most sections, dead shortcuts among them.
class SideLaneTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new test::TempDir;
        bench::writeSyntheticPrefix(prefixDir(), 20000, 7);
        const fs::path lnk = test::fixture("wine-8.0/varied/lnk");
        const fs::path desktop = fs::path(prefixDir()) / "drive_c/users/Public/Desktop";
        fs::create_directories(desktop / "Tools");
        fs::copy_file(lnk / "missing-file.lnk", desktop / "gone.lnk");
        fs::copy_file(lnk / "missing-folder.lnk", desktop / "Tools/gone too.lnk");
        fs::copy_file(lnk / "present-file.lnk", desktop / "Tools/fine.lnk");
        fs::create_directories(fs::path(prefixDir()) / "drive_c/Fixture");
        test::writeFile(fs::path(prefixDir()) / "drive_c/Fixture/present.exe", "x");
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::string prefixDir() { return (s_dir->path() / "prefix").string(); }

    void SetUp() override { prefix = std::make_unique<wine::WinePrefix>(prefixDir()); }

    /// A session as the front ends start one, over `platform`.
    std::unique_ptr<Session> startSession(const platform::Platform& platform)
    {
        auto session = std::make_unique<Session>(platform);
        BuildExcludedDrives(*session, session->ExcludedDrives);
        LoadAddonList(*session, std::string(TIDEWELL_SOURCE_DIR) + "/data/addons/addon-list.txt");
        return session;
    }
    static SectionSelection all()
    {
        SectionSelection selection;
        selection.fill(true);
        return selection;
    }
    static std::vector<std::string> records(const Session& session, int section)
    {
        std::vector<std::string> texts;
        const TRegistryContents& contents = session.SectionContents[static_cast<size_t>(section)];
        for (int i = 0; i < contents.Count(); ++i) {
            const TContent& c = contents.Items(i).Content;
            texts.push_back((c.Checked ? "+" : "-") + c.KeyPath + "|" + c.ItemName + "|" +
                            c.ValueName + "|" + c.ValueData);
        }
        return texts;
    }

    static inline test::TempDir* s_dir = nullptr;
    std::unique_ptr<wine::WinePrefix> prefix;
};

TEST_F(SideLaneTest, FindsWhatOneThreadFinds)
{
    ASSERT_TRUE(prefix->platform().sideReader);
    platform::Platform oneThread = prefix->platform();
    oneThread.sideReader = nullptr;

    const std::unique_ptr<Session> sequential = startSession(oneThread);
    OutcomeGrid sequentialGrid;
    test::RecordingView sequentialView;
    const ScanResult expected = ScanSections(*sequential, all(), sequentialGrid, sequentialView);

    const std::unique_ptr<Session> parallel = startSession(prefix->platform());
    OutcomeGrid grid;
    test::RecordingView view;
    const ScanResult result = ScanSections(*parallel, all(), grid, view);

    EXPECT_EQ(result.message, "Scan Completed!");
    EXPECT_EQ(result.totalProblems, expected.totalProblems);
    EXPECT_EQ(result.reportRows, expected.reportRows);
    EXPECT_EQ(view.progress, sequentialView.progress);
    ASSERT_EQ(grid.rows.size(), sequentialGrid.rows.size());
    int besideRows = 0;
    for (size_t i = 0; i < grid.rows.size(); ++i) {
        EXPECT_EQ(grid.rows[i].problems, sequentialGrid.rows[i].problems) << "row " << i;
        EXPECT_EQ(grid.rows[i].status, sequentialGrid.rows[i].status) << "row " << i;
        // Each row says how long its section ran, and where.
        if (grid.rows[i].isTotal)
            continue;
        EXPECT_GT(grid.rows[i].ran.count(), 0) << "row " << i;
        EXPECT_GT(sequentialGrid.rows[i].ran.count(), 0) << "row " << i;
        EXPECT_FALSE(sequentialGrid.rows[i].ranBeside) << "row " << i;
        if (grid.rows[i].ranBeside) {
            EXPECT_TRUE(RunsOnSideLane(grid.rows[i].section)) << "row " << i;
            ++besideRows;
        }
    }
    EXPECT_GT(besideRows, 0);
    for (int section = 0; section < kSectionCountTotal; ++section)
        EXPECT_EQ(records(*parallel, section), records(*sequential, section))
            << "section " << section;
    // Both threads found something: the comparison covers each of them.
    for (int section : {4, 7, 8, 12, 13}) {
        EXPECT_TRUE(RunsOnSideLane(section));
        EXPECT_GT(parallel->SectionContents[static_cast<size_t>(section)].Count(), 0)
            << "section " << section;
    }
    EXPECT_EQ(records(*parallel, 7).size(), 2u) << "the two dead shortcuts";
    for (int section : {0, 3}) {
        EXPECT_FALSE(RunsOnSideLane(section));
        EXPECT_GT(parallel->SectionContents[static_cast<size_t>(section)].Count(), 0)
            << "section " << section;
    }
}

TEST_F(SideLaneTest, AbortLeavesRowsNotReachedEmptyAndStopsTheLane)
{
    const std::unique_ptr<Session> session = startSession(prefix->platform());
    OutcomeGrid grid;
    test::RecordingView view;
    // Abort as soon as the first row lets the window run.
    view.onYield = [&] { session->OperationState = kOperationAbortScan; };
    const ScanResult result = ScanSections(*session, all(), grid, view);
    EXPECT_EQ(result.message, "Scan Aborted!");
    EXPECT_EQ(grid.rows[0].status, RowStatus::Aborted);
    for (size_t row = 1; row + 1 < grid.rows.size(); ++row) {
        EXPECT_EQ(grid.rows[row].status, RowStatus::Empty) << "row " << row;
        EXPECT_EQ(session->SectionContents[row].Count(), 0) << "row " << row;
    }
    // The next scan starts afresh and runs the lane again.
    view.onYield = nullptr;
    EXPECT_EQ(ScanSections(*session, all(), grid, view).message, "Scan Completed!");
    EXPECT_GT(session->SectionContents[13].Count(), 0);
}

TEST_F(SideLaneTest, AbortWhileTheLoopWaitsForALaneRowMarksThatRow)
{
    const std::unique_ptr<Session> session = startSession(prefix->platform());
    OutcomeGrid grid;
    test::RecordingView view;
    // Empty Keys is the lane's only row, taken up at once while the loop runs App Paths; the
    // abort comes when the loop waits for it and lets the window run.
    SectionSelection rows{};
    rows[0] = true;
    rows[13] = true;
    view.onYield = [&] {
        if (view.progress.size() >= 2)
            session->OperationState = kOperationAbortScan;
    };
    const ScanResult result = ScanSections(*session, rows, grid, view);
    EXPECT_EQ(result.message, "Scan Aborted!");
    EXPECT_EQ(grid.rows[0].status, RowStatus::Finished);
    EXPECT_EQ(grid.rows[1].status, RowStatus::Aborted);
    EXPECT_EQ(grid.rows[1].statusText(), "Abort Scan");
    EXPECT_EQ(grid.rows[1].problems, session->SectionContents[13].Count());
}

TEST_F(SideLaneTest, ChangesWaitUntilTheReaderIsGone)
{
    std::unique_ptr<platform::SideReader> reader = prefix->platform().sideReader();
    std::atomic<bool> gone{false};
    std::thread other([&] {
        platform::KeyHandle key(*reader->platform().registry);
        EXPECT_EQ(reader->platform().registry->openKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ,
                                                       key.out()),
                  ERROR_SUCCESS);
        key.reset();
        // Long enough for a change that does not wait to end first.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        gone = true;
        reader.reset();
    });
    platform::KeyHandle key(prefix->registry());
    ASSERT_EQ(prefix->registry().createKey(HKEY_CURRENT_USER, "Software\\Tidewell", KEY_ALL_ACCESS,
                                           key.out()),
              ERROR_SUCCESS);
    EXPECT_TRUE(gone) << "the key was made while the other thread still read";
    other.join();
}

TEST_F(SideLaneTest, TheReaderChangesNothing)
{
    const std::string hive = test::readFile(fs::path(prefixDir()) / "system.reg");
    {
        std::unique_ptr<platform::SideReader> reader = prefix->platform().sideReader();
        const platform::Platform& parts = reader->platform();
        EXPECT_EQ(parts.registryEditor, nullptr);
        EXPECT_EQ(parts.storage, nullptr);
        platform::KeyHandle key(*parts.registry);
        // Refused at once, not left waiting for the reader itself.
        EXPECT_EQ(parts.registry->createKey(HKEY_LOCAL_MACHINE, "Software\\Made by reader",
                                            KEY_ALL_ACCESS, key.out()),
                  ERROR_ACCESS_DENIED);
        ASSERT_EQ(
            parts.registry->openKey(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS, key.out()),
            ERROR_SUCCESS);
        EXPECT_EQ(parts.registry->setValue(key.get(), "x", REG_SZ, std::string("y\0", 2)),
                  ERROR_ACCESS_DENIED);
        EXPECT_FALSE(parts.files->createDirectory("C:\\made by reader"));
    }
    EXPECT_FALSE(fs::exists(fs::path(prefixDir()) / "drive_c/made by reader"));
    EXPECT_FALSE(prefix->hasUnsavedChanges());
    platform::KeyHandle key(prefix->registry());
    EXPECT_EQ(prefix->registry().openKey(HKEY_LOCAL_MACHINE, "Software\\Made by reader", KEY_READ,
                                         key.out()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(test::readFile(fs::path(prefixDir()) / "system.reg"), hive);
}

} // namespace
} // namespace tw
