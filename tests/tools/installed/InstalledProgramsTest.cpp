// The uninstall entries: which are listed, and their removal with a backup that restores it.
#include "tools/installed/InstalledPrograms.h"

#include "platform/RegFile.h"
#include "platform/wine/WineServer.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"
#include "repair/BackupList.h"
#include "support/PrefixFixture.h"

namespace tw {
namespace {

const char* kUninstall = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall] 1

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zeta] 1
"DisplayName"="Zeta Tool"
"UninstallString"=str(2):"%ProgramFiles%\\Zeta\\un.exe /S"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha] 1
"DisplayName"="Alpha"
"UninstallString"="\"C:\\Program Files\\Alpha\\uninst.exe\""

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha\\Parts] 1
"Part"="one"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha\\Parts\\Deep] 1
"More"=dword:00000002

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NameOnly] 1
"DisplayName"="Name only"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\StringOnly] 1
"UninstallString"="C:\\x.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Numbered] 1
"DisplayName"=dword:00000007
"UninstallString"="C:\\n.exe"
)hive";

class InstalledProgramsTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override { builder.systemHive(kUninstall); }
    // As the start-up's DetectPlatform leaves it.
    void sessionStarted() override { session->PlatformKind = 4; }
};

TEST_F(InstalledProgramsTest, ListsEntriesWithBothValuesInRegistryOrder)
{
    const std::vector<InstalledProgram> programs = ListInstalledPrograms(*session);
    ASSERT_EQ(programs.size(), 3u);
    EXPECT_EQ(programs[0].name, "Alpha");
    EXPECT_EQ(programs[0].uninstallString, "\"C:\\Program Files\\Alpha\\uninst.exe\"");
    EXPECT_EQ(programs[0].keyPath,
              "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha");
    // A name that is no string is shown empty.
    EXPECT_EQ(programs[1].name, "");
    EXPECT_EQ(programs[1].uninstallString, "C:\\n.exe");
    // An expandable string is shown as it stands.
    EXPECT_EQ(programs[2].name, "Zeta Tool");
    EXPECT_EQ(programs[2].uninstallString, "%ProgramFiles%\\Zeta\\un.exe /S");
}

TEST_F(InstalledProgramsTest, NoUninstallKeyListsNothing)
{
    test::PrefixBuilder(dir.path() / "prefix").systemHive("");
    reopen();
    EXPECT_TRUE(ListInstalledPrograms(*session).empty());
}

TEST_F(InstalledProgramsTest, RemoveDeletesTheWholeEntryAndItsBackupBringsItBack)
{
    const InstalledProgram alpha = ListInstalledPrograms(*session)[0];
    const RemoveOutcome removed = RemoveInstalledEntry(*session, alpha);
    ASSERT_EQ(removed.error, "");
    ASSERT_FALSE(removed.backupPath.empty());
    EXPECT_FALSE(prefix->hasUnsavedChanges()) << "saved at once";

    reopen();
    std::vector<InstalledProgram> programs = ListInstalledPrograms(*session);
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[1].name, "Zeta Tool");
    const std::vector<BackupEntry> backups = ListBackups(*session);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].path, removed.backupPath);

    const BackupActionResult restored = RestoreBackup(*session, removed.backupPath);
    ASSERT_TRUE(restored.ok) << restored.message << " " << restored.error;
    reopen();
    programs = ListInstalledPrograms(*session);
    ASSERT_EQ(programs.size(), 3u);
    EXPECT_EQ(programs[0].name, "Alpha");
    TRegistry registry(*session);
    registry.SelectRoot(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenPath(alpha.keyPath + "\\Parts", false));
    EXPECT_EQ(registry.ReadText("Part"), "one");
    ASSERT_TRUE(registry.OpenPath(alpha.keyPath + "\\Parts\\Deep", false));
    EXPECT_EQ(registry.ReadNumber("More"), 2);
}

TEST_F(InstalledProgramsTest, RemoveBesideRunningWineIsRefusedWhole)
{
    const InstalledProgram alpha = ListInstalledPrograms(*session)[0];
    const std::map<std::string, std::string> env{{"WINEPREFIX", prefixPath()}};
    if (test::runProcess({"wineserver", "-p"}, env).exitCode != 0)
        GTEST_SKIP() << "wineserver is not installed";
    struct Stop
    {
        std::map<std::string, std::string> env;
        ~Stop()
        {
            test::runProcess({"wineserver", "-k"}, env);
            test::runProcess({"wineserver", "-w"}, env);
        }
    } stop{env};
    const std::string systemHive = test::readFile(dir.path() / "prefix" / "system.reg");

    const RemoveOutcome refused = RemoveInstalledEntry(*session, alpha);
    EXPECT_NE(refused.error.find("wineserver -k"), std::string::npos) << refused.error;
    EXPECT_EQ(refused.backupPath, "");
    EXPECT_EQ(ListInstalledPrograms(*session).size(), 3u);
    EXPECT_TRUE(ListBackups(*session).empty());
    EXPECT_FALSE(prefix->hasUnsavedChanges());
    EXPECT_EQ(test::readFile(dir.path() / "prefix" / "system.reg"), systemHive);
}

// A 64-bit prefix: the native uninstall key, the 32-bit view's (one entry of it reached twice
// through a link), and the user's own.
const std::string kViewsMachine =
    R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Native] 1
"DisplayName"="Native Tool"
"UninstallString"="C:\\native\\un.exe"

[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old] 1
"DisplayName"="Old Tool"
"UninstallString"="\"C:\\Program Files (x86)\\Old\\un.exe\" /S"

[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old\\Parts] 1
"Part"=dword:00000003
)hive" +
    test::linkSection(
        "Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Shared",
        "\\Registry\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Native");

const char* kViewsUser = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mine] 1
"DisplayName"="My Tool"
"UninstallString"="C:\\users\\me\\un.exe"
)hive";

class InstalledViewsTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kViewsMachine).userHive(kViewsUser);
    }
    void sessionStarted() override { session->PlatformKind = 4; }

    std::vector<std::string> rows()
    {
        std::vector<std::string> list;
        for (const InstalledProgram& p : ListInstalledPrograms(*session))
            list.push_back(withViewMark(p.name, p.view) + "|" + RootKeyName(p.root) + p.keyPath);
        return list;
    }
    std::string wholeRegistry()
    {
        return platform::exportRegFile(session->registry(), "", platform::RegFileFormat::Unicode);
    }
};

const std::string kUninstallKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kWow32UninstallKey =
    "\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

TEST_F(InstalledViewsTest, ListsMachineViewsThenTheUsersEntries)
{
    // "Shared" is the native entry under a second name: listed once, where it is first met.
    EXPECT_EQ(rows(), (std::vector<std::string>{
                          "Native Tool|HKEY_LOCAL_MACHINE" + kUninstallKey + "Native",
                          "Old Tool (32-bit)|HKEY_LOCAL_MACHINE" + kWow32UninstallKey + "Old",
                          "My Tool|HKEY_CURRENT_USER" + kUninstallKey + "Mine",
                      }));
}

TEST_F(InstalledViewsTest, Removes32BitAndUserEntriesWhereTheyAreAndTheBackupsBringThemBack)
{
    const std::string before = wholeRegistry();
    const std::vector<InstalledProgram> programs = ListInstalledPrograms(*session);
    ASSERT_EQ(programs.size(), 3u);
    const RemoveOutcome old = RemoveInstalledEntry(*session, programs[1]);
    ASSERT_EQ(old.error, "");
    const RemoveOutcome mine = RemoveInstalledEntry(*session, programs[2]);
    ASSERT_EQ(mine.error, "");

    reopen();
    EXPECT_EQ(rows(), (std::vector<std::string>{"Native Tool|HKEY_LOCAL_MACHINE" + kUninstallKey +
                                                "Native"}));
    TRegistry registry(*session);
    registry.SelectRoot(win::HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(registry.PathExists(kWow32UninstallKey + "Old")) << "its subtree went too";
    EXPECT_TRUE(registry.PathExists(kWow32UninstallKey + "Shared"));

    ASSERT_TRUE(RestoreBackup(*session, mine.backupPath).ok);
    ASSERT_TRUE(RestoreBackup(*session, old.backupPath).ok);
    reopen();
    EXPECT_EQ(test::firstDifference(wholeRegistry(), before), "");
}

TEST_F(InstalledProgramsTest, UninstallerThatCannotStartSaysWhy)
{
    // The entry's program is not in the prefix.
    const std::string error = StartUninstaller(*session, ListInstalledPrograms(*session)[0]).error;
    EXPECT_NE(error.find("uninst.exe"), std::string::npos) << error;
    EXPECT_FALSE(prefix->isReadOnly());
    EXPECT_TRUE(ListBackups(*session).empty()) << "no backup for a program that did not start";
}

} // namespace
} // namespace tw
