// Section 9: registered fonts.
#include "scanner/sections/WindowsFonts.h"

#include "ScannerTestSupport.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

const char* kFonts = R"hive(
[Software\\Microsoft\\Windows NT\\CurrentVersion] 1
"SystemRoot"="C:\\windows"

[Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts] 1
"Arial (TrueType)"="ARIAL.TTF"
"Gone (TrueType)"="gone.ttf"
"MS Serif"="serife.fon"
"MS Serif Elsewhere"="serife.fon"
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
    // "MS Serif" is Wine's own (it writes it for the code page and ships no such file).
    EXPECT_EQ(valueNames(9), (std::vector<std::string>{"Elsewhere (TrueType)", "Expand",
                                                       "Gone (TrueType)", "MS Serif Elsewhere"}));
    const TContent& record = session->SectionContents[9].Items(2).Content;
    EXPECT_EQ(record.KeyPath,
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
    EXPECT_EQ(record.ItemName, "Fonts");
    EXPECT_EQ(record.ValueData, "gone.ttf");
    EXPECT_FALSE(record.Checked);
    EXPECT_EQ(row().problems, 4);
    EXPECT_EQ(row().status, RowStatus::Finished);
    EXPECT_EQ(view.yields, 9) << "one yield per value, whatever its type";
    EXPECT_EQ(view.statuses.front(),
              "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\Arial (TrueType)");
}

TEST_F(WindowsFontsTest, FontsOfWinesOwnFolderAreFound)
{
    // Wine's data folder is share/wine beside the bin folder of the `wine` on the PATH.
    test::TempDir wine;
    test::writeFile(wine.path() / "bin/wine", "#!/bin/sh\n");
    fs::permissions(wine.path() / "bin/wine", fs::perms::owner_all);
    test::writeFile(wine.path() / "share/wine/fonts/Gone.TTF", "font");
    test::writeFile(wine.path() / "share/wine/fonts/x.ttf", "font");
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (wine.path() / "bin").c_str(), 1);
    reopen();
    scanSection(9);
    ::setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ(valueNames(9),
              (std::vector<std::string>{"Elsewhere (TrueType)", "Expand", "MS Serif Elsewhere"}))
        << "a bare name is found there in any case; a full path only where it says";
}

TEST_F(WindowsFontsTest, RepairRemovesTheRegistrations)
{
    session->AppSettings.SelectAll = true;
    scanSection(9);
    test::RecordingRepairView repairView;
    RepairSection(*session, repairView, 9);
    ASSERT_EQ(repairView.rows.size(), 4u);
    EXPECT_EQ(repairView.rows[0].second, "Repair Succeed");
    scanSection(9);
    EXPECT_EQ(session->SectionContents[9].Count(), 0);
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath("\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", false));
    EXPECT_TRUE(reg.HasValue("Arial (TrueType)"));
    EXPECT_TRUE(reg.HasValue("Host (TrueType)"));
    EXPECT_TRUE(reg.HasValue("MS Serif"));
}

} // namespace
} // namespace tw
