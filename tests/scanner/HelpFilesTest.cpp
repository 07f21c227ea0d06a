// Section 6: registered help files.
#include "scanner/sections/HelpFiles.h"

#include "ScannerTestSupport.h"

namespace tw {
namespace {

const char* kHelp = R"(
[Software\\Microsoft\\Windows\\Help] 1
"gone.hlp"="C:\\Help\\"
"here.hlp"="C:\\Help"
"IMEJP.HLP"="C:\\Help"
"cd.hlp"="D:\\Help"
"number.hlp"=dword:00000001

[Software\\Microsoft\\Windows\\Html Help] 1
"gone.chm"="C:\\Missing"
"ime.chm"="C:\\Missing"
)";

class HelpFilesTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder
            .systemHive(std::string(kHelp) + "\n[Software\\\\Wine\\\\Drives] 1\n\"d:\"=\"cdrom\"\n")
            .file("Help/here.hlp")
            .file("Help/imejp.hlp")
            .drive('d', cd.path());
    }
    test::TempDir cd;
};

TEST_F(HelpFilesTest, ReportsMissingAndInputMethodHelp)
{
    scanSection(6);
    const TRegistryContents& contents = session->SectionContents[6];
    ASSERT_EQ(contents.Count(), 3);
    EXPECT_EQ(contents.Items(0).Content.ItemName, "gone.hlp");
    EXPECT_EQ(contents.Items(0).Content.ValueData, "C:\\Help\\gone.hlp");
    EXPECT_EQ(contents.Items(0).Content.ValueName, "");
    EXPECT_EQ(contents.Items(0).Content.KeyPath,
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help");
    EXPECT_EQ(contents.Items(1).Content.ItemName, "IMEJP.HLP") << "exists, but input-method help";
    EXPECT_EQ(contents.Items(2).Content.KeyPath,
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Html Help");
    EXPECT_EQ(contents.Items(2).Content.ItemName, "ime.chm")
        << "under Html Help only input-method help counts, present or not";
    EXPECT_EQ(row().problems, 3);
    EXPECT_EQ(row().status, RowStatus::Finished);
}

TEST_F(HelpFilesTest, NoHelpKeysStillFinishesTheRow)
{
    prefix->registry().deleteKey(win::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\Help");
    prefix->registry().deleteKey(win::HKEY_LOCAL_MACHINE,
                                 "Software\\Microsoft\\Windows\\Html Help");
    scanSection(6);
    EXPECT_EQ(row().problems, 0);
    EXPECT_EQ(row().status, RowStatus::Finished);
}

TEST_F(HelpFilesTest, RepairRemovesOnlyThatHelpFilesValue)
{
    session->AppSettings.SelectAll = true;
    scanSection(6);
    test::RecordingRepairView repairView;
    RepairSection(*session, repairView, 6);
    ASSERT_EQ(repairView.rows.size(), 3u);
    EXPECT_EQ(repairView.rows[0].first, "\\SOFTWARE\\Microsoft\\Windows\\Help");
    EXPECT_EQ(repairView.rows[0].second, "Repair Succeed");
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath("\\Software\\Microsoft\\Windows\\Help", false));
    EXPECT_FALSE(reg.HasValue("gone.hlp"));
    EXPECT_TRUE(reg.HasValue("here.hlp"));
    EXPECT_TRUE(reg.HasValue("cd.hlp"));
}

TEST(JoinFolderAndName, UsesExactlyOneBackslash)
{
    EXPECT_EQ(JoinFolderAndName("C:\\Help\\", "x.hlp"), "C:\\Help\\x.hlp");
    EXPECT_EQ(JoinFolderAndName("C:\\Help", "x.hlp"), "C:\\Help\\x.hlp");
    EXPECT_EQ(JoinFolderAndName("", "x.hlp"), "\\x.hlp");
}

} // namespace
} // namespace tw
