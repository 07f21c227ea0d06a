// Sections 3 and 4: values naming files and folders that are gone, and history lists.
#include "scanner/sections/UserMachineSettings.h"

#include "ScannerTestSupport.h"

namespace tw {
namespace {

const char* kUser = R"hive(
[Software\\App] 1
"Folder"="C:\\Gone"
"HereFolder"="C:\\Here"
"Command"="C:\\Program Files\\App\\app.exe /s"
"HereCommand"="C:\\Here\\tool.exe /s"
"Outlook"="C:\\Gone\\MSOE.DLL"
"Pf"="%ProgramFiles%\\App\\x.exe"
"Web"="http://example.org/"
"TwoColons"="C:\\a\\b.exe:"

[Software\\App\\Drivers] 1
"Driver"="C:\\windows\\system32\\drivers\\x.sys"
"Zafter"="C:\\Gone2"

[Software\\App\\Drivers2] 1
"Driver"="x.sys"
"Zafter"="C:\\Gone2"

[Software\\App\\Words] 1
"Plain"="no drive named here"
"Var"="%windir%\\gone.exe"

[Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Deeper] 1
"Skipped"="C:\\Gone3"

[Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache] 1
"C:\\x.exe"="X"
"Expand"=str(2):"Y"

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs\\Games] 1
"Order"=hex:00

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU] 1
"a"="notepad.exe"
"MRUList"="a"

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU\\txt] 1
"a"="C:\\x.txt"
)hive";

const char* kSystem = R"hive(
[Software\\Microsoft\\Windows NT\\CurrentVersion] 1
"SystemRoot"="C:\\windows"

[Software\\Microsoft\\Windows\\CurrentVersion] 1
"ProgramFilesDir"="C:\\Program Files"

[Software\\Microsoft\\Skipped] 1
"x"="C:\\GoneMs"

[Software\\Wow6432Node\\Microsoft\\Skipped] 1
"x"="C:\\GoneMs32"

[Software\\Vendor] 1
"Dir"="C:\\GoneVendor"
"HDrive"="h:\\Gone"
"Res"="@%SystemRoot%\\system32\\shell32.dll,-123"
"ZAfterDll"="C:\\GoneAfterDll"

[Software\\Vendor\\App Paths] 1
"x"="C:\\GoneAppPaths"

[Software\\FileSystem\\Deep] 1
"x"="C:\\GoneSystem"

[Software\\Other] 1
@="C:\\Gone\\prog.exe"
)hive";

class UserMachineSettingsTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kSystem)
            .userHive(kUser)
            .userdefHive("\n[Software\\\\Old] 1\n\"Dir\"=\"C:\\\\GoneDefault\"\n")
            .folder("Here")
            .file("Here/tool.exe");
    }
    std::vector<std::string> records(int section)
    {
        std::vector<std::string> out;
        for (int i = 0; i < session->SectionContents[section].Count(); ++i) {
            const TContent& r = session->SectionContents[section].Items(i).Content;
            out.push_back(r.KeyPath + " | " + r.ItemName + " | " + r.ValueName + " | " +
                          r.ValueData);
        }
        return out;
    }
};

TEST_F(UserMachineSettingsTest, PathHelpers)
{
    EXPECT_EQ(ExpandPathVariables(*session, "%ProgramFiles%\\App\\x.exe", "C:\\Program Files"),
              "C:\\PROGRAM FILES\\APP\\X.EXE");
    EXPECT_EQ(ExpandPathVariables(*session, "%windir%\\x", ""), "C:\\WINDOWS\\X");
    EXPECT_EQ(ExpandPathVariables(*session, "C:\\Plain", ""), "C:\\Plain");
    EXPECT_TRUE(IsPlainPathText("C:\\Program Files\\App"));
    EXPECT_FALSE(IsPlainPathText("C:\\App\\x.exe"));
    EXPECT_TRUE(IsPlausibleFilePath("o:\\x.exe"));
    EXPECT_FALSE(IsPlausibleFilePath("C:\\a\\b.exe:"));
    EXPECT_FALSE(IsPlausibleFilePath("x.exe"));
    EXPECT_FALSE(IsPlausibleFilePath("C:\\a\\noext"));
    // Quotes read as spaces: a leading one leaves no drive letter in front, a trailing one
    // is part of the extension.
    EXPECT_FALSE(IsPlausibleFilePath("\"C:\\a\\b.exe\""));
    EXPECT_TRUE(IsPlausibleFilePath("C:\\a\\b.exe\""));
    EXPECT_FALSE(IsPlausibleFilePath(" C:\\a\\b.exe"));
    EXPECT_FALSE(IsPlausibleFilePath("C:\\a\\b.e|e"));
    EXPECT_FALSE(IsPlausibleFilePath("C:\\x.exe,1"));
    EXPECT_FALSE(IsPlausibleFilePath("C:\\x.exe /a/b"));
    EXPECT_FALSE(IsPlausibleFilePath("C:\\a.b\\"));
    EXPECT_FALSE(IsPlausibleFilePath("C"));
    EXPECT_FALSE(IsPlausibleFilePath(""));
    EXPECT_TRUE(HasSingleColon("C:\\x"));
    EXPECT_FALSE(HasSingleColon("C:\\x:"));
    const FileExists fileExists = [this](const std::string& path) {
        return session->files().fileExists(path);
    };
    EXPECT_EQ(
        ExtractCommandPath(*session, fileExists, "@\"%SystemRoot%\\system32\\shell32.dll\",-123"),
        "C:\\windows\\SYSTEM32\\SHELL32.DLL");
}

TEST_F(UserMachineSettingsTest, UserSectionFindsGonePathsAndListsTheHistory)
{
    scanSection(3);
    EXPECT_EQ(records(3),
              (std::vector<std::string>{
                  "HKEY_CURRENT_USER\\Software\\App |  | Command | C:\\Program Files\\App\\app.exe",
                  "HKEY_CURRENT_USER\\Software\\App | C:\\Gone | Folder | C:\\Gone",
                  "HKEY_CURRENT_USER\\Software\\App |  | Pf | C:\\PROGRAM FILES\\APP\\X.EXE",
                  "HKEY_CURRENT_USER\\Software\\App |  | TwoColons | C:\\a\\b.exe",
                  "HKEY_CURRENT_USER\\Software\\App\\Words |  | Var | C:\\WINDOWS\\GONE.EXE",
                  "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                  "ComDlg32\\OpenSaveMRU\\txt |  | a | C:\\x.txt",
                  "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache | "
                  "C:\\x.exe | C:\\x.exe | X",
                  "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                  "MenuOrder\\Start Menu\\Programs\\Games | Games | Menu// | Menu//",
                  "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                  "ComDlg32\\LastVisitedMRU | LastVisitedMRU | a | 0",
                  "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                  "ComDlg32\\LastVisitedMRU | LastVisitedMRU | MRUList | 0",
                  "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                  "ComDlg32\\OpenSaveMRU\\txt | txt | a | 0",
              }));
}

TEST_F(UserMachineSettingsTest, MachineSectionLeavesSystemAreasAlone)
{
    scanSection(4);
    const auto found = records(4);
    EXPECT_EQ(found.front(),
              "HKEY_LOCAL_MACHINE\\Software\\Other |  | default | C:\\Gone\\prog.exe");
    EXPECT_EQ(found[1],
              "HKEY_LOCAL_MACHINE\\Software\\Vendor | C:\\GoneVendor | Dir | C:\\GoneVendor");
    for (const std::string& record : found) {
        for (const char* never :
             {"GoneMs", "GoneMs32", "h:\\", "GoneAfterDll", "GoneAppPaths", "GoneSystem"})
            EXPECT_EQ(record.find(never), std::string::npos) << record;
    }
    // HKEY_USERS: the default profile is walked; the current user's hive is section 3's.
    EXPECT_EQ(found.back(),
              "HKEY_USERS\\.Default\\Software\\Old | C:\\GoneDefault | Dir | C:\\GoneDefault");
    for (const std::string& record : found)
        EXPECT_EQ(record.find("HKEY_USERS\\S-1-5-21-0-0-0-1000"), std::string::npos) << record;
}

TEST_F(UserMachineSettingsTest, EachProblemOfTheUserIsReportedOnceAndRepairedOnce)
{
    session->AppSettings.SelectAll = true;
    SectionSelection userAndMachine{};
    userAndMachine[3] = userAndMachine[4] = true;
    ScanSections(*session, userAndMachine, grid, view);
    int folderRecords = 0;
    for (const int section : {3, 4}) {
        for (const std::string& record : records(section))
            folderRecords += record.find("| C:\\Gone | Folder |") != std::string::npos;
    }
    EXPECT_EQ(folderRecords, 1);
    test::RecordingRepairView repairView;
    RepairSection(*session, repairView, 4);
    for (const auto& [problem, status] : repairView.rows)
        EXPECT_EQ(status, "Repair Succeed") << problem;
}

TEST_F(UserMachineSettingsTest, RepairDeletesValuesAndMenuOrderKeys)
{
    session->AppSettings.SelectAll = true;
    scanSection(3);
    test::RecordingRepairView view;
    RepairSection(*session, view, 3);
    // The walk and the history pass both list the dialog value: it is removed once, and the
    // second row finds it gone by that removal.
    ASSERT_EQ(view.rows.size(), 11u);
    for (const auto& [problem, status] : view.rows)
        EXPECT_EQ(status, "Repair Succeed") << problem;
    TRegistry reg(*session);
    EXPECT_FALSE(reg.PathExists("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrde"
                                "r\\Start Menu\\Programs\\Games"));
    ASSERT_TRUE(reg.OpenPath("\\Software\\App", false));
    EXPECT_FALSE(reg.HasValue("Folder"));
    EXPECT_TRUE(reg.HasValue("HereFolder"));
}

} // namespace
} // namespace tw
