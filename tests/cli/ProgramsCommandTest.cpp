// tidewell-cli programs: the entries as JSON, removal with its backup, and a real installer
// and uninstaller under Wine.
#include "support/CliFixture.h"
#include "support/RealWinePrefix.h"

#include <chrono>
#include <thread>

namespace tw::test {
namespace {

const char* kEntries = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App] 1
"DisplayName"="App \"One\""
"UninstallString"="\"C:\\Program Files\\App\\un.exe\" /S"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App\\Sub] 1

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Half] 1
"DisplayName"="Half"
)hive";

class ProgramsCommandTest : public CliTest
{
protected:
    void SetUp() override { PrefixBuilder(dir.path() / "prefix").systemHive(kEntries); }
};

TEST_F(ProgramsCommandTest, ListsEntriesAsJson)
{
    const ProcessResult listed = cli({"programs", "list", "--json"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out,
              "{\"programs\": [{\"name\": \"App \\\"One\\\"\", \"uninstallString\": "
              "\"\\\"C:\\\\Program Files\\\\App\\\\un.exe\\\" /S\", \"key\": "
              "\"\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App\"}]}"
              "\n");
}

TEST_F(ProgramsCommandTest, RemoveDeletesTheEntryAndNamesItsBackup)
{
    EXPECT_NE(cli({"programs", "remove", "2"}).exitCode, 0) << "there is one entry";
    const ProcessResult removed = cli({"programs", "remove", "1"});
    ASSERT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_NE(removed.out.find("Backup: C:\\Program Files\\Tidewell\\AllRegBack\\"),
              std::string::npos)
        << removed.out;
    EXPECT_EQ(cli({"programs", "list", "--json"}).out, "{\"programs\": []}\n");
    EXPECT_NE(cli({"reg", "query",
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                   "App\\Sub"})
                  .exitCode,
              0);
}

TEST_F(ProgramsCommandTest, UninstallWithoutWineSaysSo)
{
    const ProcessResult started =
        runProcess({cliPath(), "--prefix", prefix(), "programs", "uninstall", "1"},
                   {{"HOME", dir.str()}, {"PATH", dir.str()}});
    EXPECT_NE(started.exitCode, 0);
    EXPECT_NE(started.err.find("Wine is not installed"), std::string::npos) << started.err;
}

const char* kInstallerScript = R"nsis(
Unicode true
Target amd64-unicode
Name "Tidewell Test App"
OutFile "setup.exe"
InstallDir "$PROGRAMFILES64\Tidewell Test App"
RequestExecutionLevel admin
!define Entry "Software\Microsoft\Windows\CurrentVersion\Uninstall\TidewellTestApp"
Section
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${Entry}" "DisplayName" "Tidewell Test App"
  WriteRegStr HKLM "${Entry}" "UninstallString" '"$INSTDIR\uninstall.exe" /S'
SectionEnd
Section "Uninstall"
  DeleteRegKey HKLM "${Entry}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
)nsis";

TEST(ProgramsCommandWine, RealUninstallerRemovesItsEntryAndOurChangeSurvives)
{
    if (!wineInstalled())
        GTEST_SKIP() << "wine is not installed";
    if (runProcess({"sh", "-c", "command -v makensis"}).exitCode != 0)
        GTEST_SKIP() << "makensis (Debian's nsis) is not installed";
    TempDir dir;
    const fs::path prefix = dir.path() / "prefix";
    ASSERT_EQ(copyBootedPrefix(prefix), "");
    struct Stop
    {
        fs::path prefix;
        ~Stop() { stopWine(prefix); }
    } stop{prefix};
    writeFile(dir.path() / "setup.nsi", kInstallerScript);
    const ProcessResult built =
        runProcess({"makensis", "-V2", (dir.path() / "setup.nsi").string()});
    ASSERT_EQ(built.exitCode, 0) << built.out << built.err;
    const std::map<std::string, std::string> env{{"WINEPREFIX", prefix.string()},
                                                 {"HOME", dir.str()}};
    ASSERT_EQ(runProcess({"wine", (dir.path() / "setup.exe").string(), "/S"}, env).exitCode, 0);
    runProcess({"wineserver", "-w"}, env);

    const auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {cliPath(), "--prefix", prefix.string()});
        return runProcess(args, env);
    };
    const ProcessResult listed = cli({"programs", "list"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("1. Tidewell Test App\n   \"C:\\Program Files\\Tidewell Test "
                              "App\\uninstall.exe\" /S"),
              std::string::npos)
        << listed.out;
    ASSERT_TRUE(fs::exists(prefix / "drive_c/Program Files/Tidewell Test App/uninstall.exe"));

    ASSERT_EQ(
        cli({"reg", "set", "HKEY_CURRENT_USER\\Software\\TidewellBefore", "Kept", "REG_SZ", "yes"})
            .exitCode,
        0);
    const ProcessResult started = cli({"programs", "uninstall", "1"});
    ASSERT_EQ(started.exitCode, 0) << started.err;
    // The command does not wait, and the uninstaller may not have reached Wine's server yet
    // when it returns: wait for its work (bounded), then for the server to end.
    const fs::path uninstaller = prefix / "drive_c/Program Files/Tidewell Test App/uninstall.exe";
    for (int i = 0; i < 600 && fs::exists(uninstaller); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    runProcess({"wineserver", "-w"}, env);
    EXPECT_EQ(cli({"programs", "list", "--json"}).out, "{\"programs\": []}\n");
    EXPECT_FALSE(fs::exists(prefix / "drive_c/Program Files/Tidewell Test App/uninstall.exe"));
    const ProcessResult kept =
        cli({"reg", "query", "HKEY_CURRENT_USER\\Software\\TidewellBefore", "Kept"});
    EXPECT_NE(kept.out.find("yes"), std::string::npos) << kept.out << kept.err;
}

} // namespace
} // namespace tw::test
