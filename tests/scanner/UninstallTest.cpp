// Section 12: uninstall entries.
#include "scanner/sections/Uninstall.h"

#include "ScannerTestSupport.h"

namespace tw {
namespace {

const char* kUninstall = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone] 1
"DisplayName"="Gone"
"UninstallString"="\"C:\\App\\un.exe\" /S"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Here] 1
"UninstallString"="C:\\Here\\un.exe /S"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Msi] 1
"UninstallString"="MsiExec.exe /X{1234}"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Floppy] 1
"UninstallString"="a:\\setup.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NoString] 1
"DisplayName"="x"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Rundll] 1
"UninstallString"="rundll32.exe C:\\Here\\x.dll,Uninstall"
)hive";

class UninstallTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kUninstall).file("Here/un.exe").file("App/log.txt");
    }
};

TEST_F(UninstallTest, ExtractsTheProgramOfACommandLine)
{
    const FileExists fileExists = [this](const std::string& path) {
        return session->files().fileExists(path);
    };
    EXPECT_EQ(ExtractProgramPath(fileExists, "C:\\Program Files\\App\\uninst.exe /S"),
              "C:\\Program Files\\App\\uninst.exe");
    EXPECT_EQ(ExtractProgramPath(fileExists, "rundll32.exe C:\\WINDOWS\\x.dll,Uninstall"),
              "C:\\WINDOWS\\x.dll");
    EXPECT_EQ(ExtractProgramPath(fileExists, "C:\\App\\un.exe C:\\App\\log.txt"),
              "C:\\App\\un.exe");
    EXPECT_EQ(ExtractProgramPath(fileExists, "C:\\App\\log.txt"), "C:\\App\\log.txt")
        << "an existing file";
    EXPECT_EQ(ExtractProgramPath(fileExists, "C:\\My App\\setup v2.exe -x"),
              "C:\\My App\\setup v2.exe");
}

TEST_F(UninstallTest, ReportsMissingUninstallers)
{
    scanSection(12);
    ASSERT_EQ(session->SectionContents[12].Count(), 2);
    const TContent& gone = session->SectionContents[12].Items(0).Content;
    EXPECT_EQ(gone.KeyPath,
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone");
    EXPECT_EQ(gone.ItemName, "Gone");
    EXPECT_EQ(gone.ValueName, "UninstallString");
    EXPECT_EQ(gone.ValueData, "C:\\App\\un.exe /S") << "quotes removed";
    EXPECT_EQ(session->SectionContents[12].Items(1).Content.ItemName, "Rundll");
    EXPECT_EQ(row().problems, 2);
    EXPECT_EQ(view.statuses.size(), 6u);
}

TEST_F(UninstallTest, RepairRemovesOnlyTheUninstallString)
{
    session->AppSettings.SelectAll = true;
    scanSection(12);
    test::RecordingRepairView repairView;
    RepairSection(*session, repairView, 12);
    ASSERT_EQ(repairView.rows.size(), 2u);
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(
        reg.OpenPath("\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone", false));
    EXPECT_FALSE(reg.HasValue("UninstallString"));
    EXPECT_EQ(reg.ReadText("DisplayName"), "Gone");
}

} // namespace
} // namespace tw
