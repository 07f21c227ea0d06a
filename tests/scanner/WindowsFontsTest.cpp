// Section 9: registered fonts.
#include "scanner/sections/WindowsFonts.h"

#include "ScannerTestSupport.h"

namespace tw {
namespace {

const char* kFonts = R"hive(
[Software\\Microsoft\\Windows NT\\CurrentVersion] 1
"SystemRoot"="C:\\windows"

[Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts] 1
"Arial (TrueType)"="ARIAL.TTF"
"Gone (TrueType)"="gone.ttf"
"Elsewhere (TrueType)"="C:\\Other\\x.ttf"
"Elsewhere Present (TrueType)"="C:\\Other\\here.ttf"
"Host (TrueType)"="Z:\\usr\\share\\fonts\\host.ttf"
"Number"=dword:00000001
"Expand"=str(2):"missing-expand.ttf"
)hive";

class WindowsFontsTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kFonts)
            .file("windows/Fonts/arial.ttf")
            .file("Other/here.ttf")
            .drive('z', "/");
    }
};

TEST_F(WindowsFontsTest, ReportsFontsWhoseFileIsMissing)
{
    scanSection(9);
    EXPECT_EQ(valueNames(9),
              (std::vector<std::string>{"Elsewhere (TrueType)", "Expand", "Gone (TrueType)"}));
    const TContent& record = session->SectionContents[9].Items(2).Content;
    EXPECT_EQ(record.KeyPath,
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
    EXPECT_EQ(record.ItemName, "Fonts");
    EXPECT_EQ(record.ValueData, "gone.ttf");
    EXPECT_FALSE(record.Checked);
    EXPECT_EQ(row().problems, 3);
    EXPECT_EQ(row().status, RowStatus::Finished);
    EXPECT_EQ(view.yields, 7) << "one yield per value, whatever its type";
    EXPECT_EQ(view.statuses.front(),
              "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\Arial (TrueType)");
}

TEST_F(WindowsFontsTest, RepairRemovesTheRegistrations)
{
    session->AppSettings.SelectAll = true;
    scanSection(9);
    test::RecordingRepairView repairView;
    RepairSection(*session, repairView, 9);
    ASSERT_EQ(repairView.rows.size(), 3u);
    EXPECT_EQ(repairView.rows[0].second, "Repair Succeed");
    scanSection(9);
    EXPECT_EQ(session->SectionContents[9].Count(), 0);
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath("\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", false));
    EXPECT_TRUE(reg.HasValue("Arial (TrueType)"));
    EXPECT_TRUE(reg.HasValue("Host (TrueType)"));
}

} // namespace
} // namespace tw
