// Section 8: shared DLL reference counts.
#include "scanner/sections/SharedDlls.h"

#include "ScannerTestSupport.h"

namespace tw {
namespace {

const char* kSharedDlls = R"(
[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\Lib\\zero.dll"=dword:00000000
"C:\\Lib\\five.dll"=dword:00000005
"C:\\Lib\\gone.dll"=dword:00000001
"C:\\Lib\\multi-gone.dll"=str(7):"x\0"
"C:\\Lib\\multi-here.dll"=str(7):"x\0"
"C:\\Lib\\text.dll"="3"
"C:\\Lib\\badtext.dll"="three"
"C:\\Lib\\bin.dll"=hex:0a
"C:\\Lib\\DRIVER.SyS"=dword:00000000
"C:\\Lib\\old.vxd"=dword:00000000
"D:\\Lib\\cd.dll"=dword:00000000
"a:\\floppy.dll"=dword:00000000
"\\\\server\\share\\net.dll"=dword:00000000
"C:\\Office\\msoe.dll"=dword:00000000
"C:\\Mail\\MSOE.DLL"=dword:00000000
"C:\\Lib\\zz-last.dll"=dword:00000000
)";

class SharedDllsTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder
            .systemHive(std::string(kSharedDlls) +
                        "\n[Software\\\\Wine\\\\Drives] 1\n\"d:\"=\"cdrom\"\n")
            .file("Lib/zero.dll")
            .file("Lib/five.dll")
            .file("Lib/multi-here.dll")
            .file("Lib/text.dll")
            .file("Lib/badtext.dll")
            .file("Lib/bin.dll")
            .drive('d', cd.path());
    }
    test::TempDir cd;
};

TEST_F(SharedDllsTest, ReportsZeroCountsAndMissingFiles)
{
    session->AppSettings.SelectAll = true;
    scanSection(8);
    EXPECT_EQ(valueNames(8),
              (std::vector<std::string>{"C:\\Lib\\badtext.dll", "C:\\Lib\\gone.dll",
                                        "C:\\Lib\\multi-gone.dll", "C:\\Lib\\zero.dll",
                                        "C:\\Lib\\zz-last.dll", "C:\\Mail\\MSOE.DLL"}));
    const TRegistryContents& contents = session->SectionContents[8];
    const TContent& first = contents.Items(0).Content;
    EXPECT_TRUE(first.Checked);
    EXPECT_EQ(first.KeyPath,
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls");
    EXPECT_EQ(first.ItemName, "SharedDlls");
    EXPECT_EQ(first.ValueData, "0") << "a count that is not a number counts 0";
    EXPECT_EQ(contents.Items(1).Content.ValueData, "1");
    EXPECT_EQ(contents.Items(2).Content.ValueData, "-1") << "types without a count";
    EXPECT_EQ(contents.Items(3).Content.ValueData, "0");
    EXPECT_EQ(row().problems, 6);
    EXPECT_EQ(row().status, RowStatus::Finished);
}

TEST_F(SharedDllsTest, BinaryCountIsTheNumberItHolds)
{
    scanSection(8);
    const auto names = valueNames(8);
    EXPECT_EQ(std::count(names.begin(), names.end(), "C:\\Lib\\bin.dll"), 0)
        << "0a is ten references, and the file exists";
}

TEST_F(SharedDllsTest, StatusNamesEachValueAndSkipsDriversWithoutYield)
{
    scanSection(8);
    EXPECT_EQ(view.statuses.size(), 16u);
    EXPECT_EQ(view.yields, 14) << "every value yields except .sys and .vxd";
}

TEST_F(SharedDllsTest, MissingKeyLeavesTheRowAlone)
{
    prefix->registry().deleteKey(win::HKEY_LOCAL_MACHINE,
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls");
    AddContentItem(session->SectionContents[8]);
    scanSection(8, false);
    EXPECT_EQ(session->SectionContents[8].Count(), 0) << "the collection is cleared first";
    EXPECT_EQ(row().problems, std::nullopt);
    EXPECT_EQ(row().status, RowStatus::Empty);
}

TEST_F(SharedDllsTest, AbortStopsTheLoopAndFinishesTheRow)
{
    view.onYield = [this] { session->OperationState = kOperationAbortScan; };
    scanSection(8);
    EXPECT_EQ(row().status, RowStatus::Aborted);
    EXPECT_LE(session->SectionContents[8].Count(), 1);
}

TEST_F(SharedDllsTest, RepairDeletesTheCheckedEntries)
{
    session->AppSettings.SelectAll = true;
    scanSection(8);
    session->SectionContents[8].Items(1).Content.Checked = false; // gone.dll stays
    test::RecordingRepairView repairView;
    RepairSection(*session, repairView, 8);
    ASSERT_EQ(repairView.rows.size(), 5u);
    for (const auto& [problem, status] : repairView.rows) {
        EXPECT_EQ(problem,
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls");
        EXPECT_EQ(status, "Repair Succeed");
    }
    EXPECT_EQ(session->SectionContents[8].Count(), 6) << "records stay after a repair";

    // A second repair of the same records finds their values gone.
    test::RecordingRepairView again;
    RepairSection(*session, again, 8);
    ASSERT_EQ(again.rows.size(), 5u);
    for (const auto& [problem, status] : again.rows)
        EXPECT_EQ(status, "Repair Error");

    scanSection(8);
    EXPECT_EQ(valueNames(8), (std::vector<std::string>{"C:\\Lib\\gone.dll"}));
}

TEST_F(SharedDllsTest, RepairStopsWhenCancelled)
{
    session->AppSettings.SelectAll = true;
    scanSection(8);
    test::RecordingRepairView repairView;
    repairView.onYield = [this] { session->OperationState = kOperationCancelRepair; };
    RepairSection(*session, repairView, 8);
    EXPECT_EQ(repairView.rows.size(), 1u);
}

} // namespace
} // namespace tw
