// Section 0: App Paths entries.
#include "scanner/sections/AppPaths.h"

#include "ScannerTestSupport.h"

namespace tw {
namespace {

const char* kAppPaths = R"hive(
[Software\\Microsoft\\Windows NT\\CurrentVersion] 1
"SystemRoot"="C:\\windows"

[Software\\Microsoft\\Windows\\CurrentVersion] 1
"ProgramFilesDir"="C:\\Program Files"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\bare.exe] 1
@="bare.exe"
"Path"="C:\\App"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\nofolder.exe] 1
@="nofolder.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\pf.exe] 1
@="\"%ProgramFiles%\\App\\pf.exe\""

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\sys.exe] 1
@="%SystemRoot%\\system32\\sys.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\lower.exe] 1
@="%systemroot%\\system32\\sys.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\args.exe] 1
@="\"C:\\App\\bare.exe\" /x"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe] 1
@="C:\\Gone\\gone.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe\\Sub] 1
"x"="y"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\noext] 1
@="C:\\Gone\\noext"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\cd.exe] 1
@="D:\\setup.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\net.exe] 1
@="\\\\server\\share\\net.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\number.exe] 1
@=dword:00000001

[Software\\Wine\\Drives] 1
"d:"="cdrom"
)hive";

class AppPathsTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kAppPaths)
            .file("App/bare.exe")
            .file("Program Files/App/pf.exe")
            .file("windows/system32/sys.exe")
            .drive('d', cd.path());
    }
    test::TempDir cd;
};

TEST_F(AppPathsTest, ResolvesTheProgramPath)
{
    EXPECT_EQ(ResolveAppPath(*session, "x.exe", "C:\\App", "C:\\Program Files"), "C:\\App\\x.exe");
    EXPECT_EQ(ResolveAppPath(*session, "x.exe", "C:\\App\\", "C:\\Program Files"),
              "C:\\App\\x.exe");
    EXPECT_EQ(ResolveAppPath(*session, "x.exe", "", "C:\\Program Files"), "\\x.exe");
    EXPECT_EQ(ResolveAppPath(*session, "\"%ProgramFiles%\\App\\x.exe\"", "", "C:\\Program Files"),
              "C:\\Program Files\\App\\x.exe");
    EXPECT_EQ(ResolveAppPath(*session, "%SystemRoot%\\system32\\x.exe", "", "C:\\Program Files"),
              "C:\\windows\\system32\\x.exe");
    EXPECT_EQ(ResolveAppPath(*session, "\"C:\\A\\x.exe\" /s", "", "C:\\Program Files"),
              "C:\\A\\x.exe /s");
    EXPECT_EQ(WindowsFolderGuess(*session), "C:\\windows\\")
        << "the real Windows folder, not WINNT";
    EXPECT_TRUE(HasFileNameAndExt("C:\\a\\b.exe"));
    EXPECT_FALSE(HasFileNameAndExt("C:\\a.d\\b"));
    EXPECT_FALSE(HasFileNameAndExt("C:\\a\\"));
}

TEST_F(AppPathsTest, ReportsEntriesWhoseProgramIsMissing)
{
    scanSection(0);
    std::vector<std::string> items;
    for (int i = 0; i < session->SectionContents[0].Count(); ++i)
        items.push_back(session->SectionContents[0].Items(i).Content.ItemName + " -> " +
                        session->SectionContents[0].Items(i).Content.ValueData);
    EXPECT_EQ(items, (std::vector<std::string>{
                         "args.exe -> C:\\App\\bare.exe /x",
                         "gone.exe -> C:\\Gone\\gone.exe",
                         "lower.exe -> %systemroot%\\system32\\sys.exe",
                         "nofolder.exe -> \\nofolder.exe",
                     }));
    const TContent& gone = session->SectionContents[0].Items(1).Content;
    EXPECT_EQ(
        gone.KeyPath,
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe");
    EXPECT_EQ(gone.ValueName, "Path");
    EXPECT_EQ(row().status, RowStatus::Finished);
}

TEST_F(AppPathsTest, RepairRemovesTheWholeSubkey)
{
    session->AppSettings.SelectAll = true;
    scanSection(0);
    test::RecordingRepairView repairView;
    RepairSection(*session, repairView, 0);
    ASSERT_EQ(repairView.rows.size(), 4u);
    for (const auto& [problem, status] : repairView.rows)
        EXPECT_EQ(status, "Repair Succeed") << problem;
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(
        reg.PathExists("\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe"));
    EXPECT_TRUE(
        reg.PathExists("\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\bare.exe"));
}

} // namespace
} // namespace tw
