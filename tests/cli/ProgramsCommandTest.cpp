// tidewell-cli programs: the entries as JSON, removal with its backup, and a real installer
// and uninstaller under Wine.
#include "support/CliFixture.h"
#include "support/RealWinePrefix.h"

#include <chrono>
#include <fstream>
#include <thread>
#include <unistd.h>

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
              "\"\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App\", "
              "\"root\": \"HKEY_LOCAL_MACHINE\", \"view\": \"native\"}]}\n");
}

TEST_F(ProgramsCommandTest, RemoveDeletesTheEntryAndNamesItsBackup)
{
    EXPECT_NE(cli({"programs", "remove", "2"}).exitCode, 0) << "there is one entry";
    const ProcessResult removed = cli({"programs", "remove", "1"});
    ASSERT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_NE(removed.out.find("Backup: C:\\Program Files\\Tidewell\\AllRegBack\\Uninstall "
                               "Entry Removal Backup_"),
              std::string::npos)
        << removed.out;
    EXPECT_EQ(cli({"programs", "list", "--json"}).out, "{\"programs\": []}\n");
    EXPECT_NE(cli({"reg", "query",
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                   "App\\Sub"})
                  .exitCode,
              0);
}

TEST_F(ProgramsCommandTest, UninstallerThatWouldNotStartWritesNoBackup)
{
    const fs::path backups = dir.path() / "prefix/drive_c/Program Files/Tidewell";
    const ProcessResult noWine =
        runProcess({cliPath(), "--prefix", prefix(), "programs", "uninstall", "1"},
                   {{"HOME", dir.str()}, {"PATH", dir.str()}});
    EXPECT_NE(noWine.exitCode, 0);
    EXPECT_NE(noWine.err.find("Wine is not installed"), std::string::npos) << noWine.err;
    EXPECT_FALSE(fs::exists(backups));

    if (!wineInstalled())
        GTEST_SKIP() << "wine is not installed";
    // Wine is there, the entry's uninstaller is not.
    const ProcessResult missing = cli({"programs", "uninstall", "1"});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.err.find("C:\\Program Files\\App\\un.exe was not found in the prefix"),
              std::string::npos)
        << missing.err;
    EXPECT_FALSE(fs::exists(backups));
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

/// Builds the NSIS script in `dir` with makensis and runs its installer silently under Wine,
/// waiting until Wine has written the registry. Returns what went wrong, empty when nothing did.
std::string installSilently(const char* script, const fs::path& dir,
                            const std::map<std::string, std::string>& env)
{
    writeFile(dir / "setup.nsi", script);
    const ProcessResult built = runProcess({"makensis", "-V2", (dir / "setup.nsi").string()});
    if (built.exitCode != 0)
        return "makensis failed: " + built.out + built.err;
    const ProcessResult installed = runProcess({"wine", (dir / "setup.exe").string(), "/S"}, env);
    runProcess({"wineserver", "-w"}, env);
    return installed.exitCode == 0 ? std::string() : "the installer failed: " + installed.err;
}

/// A copy of a booted prefix (where a test may run a real NSIS installer), and tidewell-cli
/// on it.
class ProgramsCommandWine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!wineInstalled())
            GTEST_SKIP() << "wine is not installed";
        if (runProcess({"sh", "-c", "command -v makensis"}).exitCode != 0)
            GTEST_SKIP() << "makensis (Debian's nsis) is not installed";
        ASSERT_EQ(copyBootedPrefix(prefix), "");
    }
    std::string install(const char* script) { return installSilently(script, dir.path(), env); }
    ProcessResult cli(std::vector<std::string> args) const
    {
        args.insert(args.begin(), {cliPath(), "--prefix", prefix.string()});
        return runProcess(args, env);
    }

    TempDir dir;
    const fs::path prefix = dir.path() / "prefix";
    const test::WineStopper stop{prefix};
    const std::map<std::string, std::string> env{{"WINEPREFIX", prefix.string()},
                                                 {"HOME", dir.str()}};
};

TEST_F(ProgramsCommandWine, RealUninstallerRemovesItsEntryAndOurChangeSurvives)
{
    ASSERT_EQ(install(kInstallerScript), "");

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

/// The processes of this user that run in `prefix` (its WINEPREFIX), wineserver aside.
std::vector<pid_t> processesIn(const fs::path& prefix)
{
    std::vector<pid_t> pids;
    const std::string wanted = "WINEPREFIX=" + prefix.string();
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream environ(entry.path() / "environ");
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name.starts_with("wineserver"))
            continue;
        for (std::string variable; std::getline(environ, variable, '\0');) {
            if (variable == wanted) {
                pids.push_back(std::stoi(pid));
                break;
            }
        }
    }
    return pids;
}

TEST_F(ProgramsCommandWine, UninstallerHasNoneOfOurOutputAndRunsInItsOwnSession)
{
    // An uninstaller that runs until the test lets it end.
    writeFile(prefix / "drive_c/looper/un.bat", "@echo off\r\n"
                                                "echo running> C:\\looper\\running\r\n"
                                                ":wait\r\n"
                                                "if not exist C:\\looper\\go goto wait\r\n");
    const std::string entry =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Looper";
    ASSERT_EQ(cli({"reg", "set", entry, "DisplayName", "REG_SZ", "Looper"}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "set", entry, "UninstallString", "REG_SZ",
                   "C:\\windows\\system32\\cmd.exe /c C:\\looper\\un.bat"})
                  .exitCode,
              0);
    const ProcessResult listed = cli({"programs", "list"});
    const size_t number = listed.out.find(". Looper\n");
    ASSERT_NE(number, std::string::npos) << listed.out;
    const std::string index = listed.out.substr(listed.out.rfind('\n', number) + 1,
                                                number - listed.out.rfind('\n', number) - 1);

    const ProcessResult started = cli({"programs", "uninstall", index});
    ASSERT_EQ(started.exitCode, 0) << started.err;
    EXPECT_NE(started.out.find("Started the uninstaller of Looper"), std::string::npos);
    for (int i = 0; i < 600 && !fs::exists(prefix / "drive_c/looper/running"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(fs::exists(prefix / "drive_c/looper/running"));

    const std::vector<pid_t> running = processesIn(prefix);
    EXPECT_FALSE(running.empty());
    for (const pid_t pid : running) {
        const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
        for (const char* fd : {"0", "1", "2"})
            EXPECT_EQ(fs::read_symlink(fds / fd), "/dev/null") << "process " << pid << " fd " << fd;
        EXPECT_NE(::getsid(pid), ::getsid(0)) << "process " << pid;
    }
    writeFile(prefix / "drive_c/looper/go", "");
}

// A 64-bit installer that registers itself for 32-bit programs and for the user alone.
const char* kViewsInstallerScript = R"nsis(
Unicode true
Target amd64-unicode
Name "Tidewell Views"
OutFile "setup.exe"
InstallDir "$PROGRAMFILES64\Tidewell Views"
RequestExecutionLevel admin
!define Entry "Software\Microsoft\Windows\CurrentVersion\Uninstall\TidewellViews"
Section
  SetRegView 32
  WriteRegStr HKLM "${Entry}" "DisplayName" "Views 32"
  WriteRegStr HKLM "${Entry}" "UninstallString" "C:\un32.exe"
  WriteRegDWORD HKLM "${Entry}\Sub" "Size" 7
  SetRegView 64
  WriteRegStr HKCU "${Entry}" "DisplayName" "Views User"
  WriteRegStr HKCU "${Entry}" "UninstallString" "C:\unuser.exe"
SectionEnd
)nsis";

TEST_F(ProgramsCommandWine, EntriesOf32BitProgramsAndTheUserAreListedRemovedAndRestored)
{
    ASSERT_EQ(install(kViewsInstallerScript), "");
    const std::string entry =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TidewellViews";
    const auto query = [&](const std::string& key, const std::string& view) {
        const ProcessResult result =
            runProcess({"wine", "reg", "query", key, "/v", "DisplayName", view}, env);
        runProcess({"wineserver", "-w"}, env);
        return result;
    };

    const ProcessResult listed = cli({"programs", "list"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out,
              "1. Views 32 (32-bit)\n   C:\\un32.exe\n2. Views User\n   C:\\unuser.exe\n");
    const std::string json = cli({"programs", "list", "--json"}).out;
    EXPECT_NE(json.find("\"key\": \"\\\\SOFTWARE\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\"
                        "CurrentVersion\\\\Uninstall\\\\TidewellViews\", \"root\": "
                        "\"HKEY_LOCAL_MACHINE\", \"view\": \"32-bit\"}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"root\": \"HKEY_CURRENT_USER\", \"view\": \"native\"}"),
              std::string::npos)
        << json;

    const auto removeFirst = [&] {
        const ProcessResult removed = cli({"programs", "remove", "1"});
        EXPECT_EQ(removed.exitCode, 0) << removed.err;
        const size_t at = removed.out.find("Backup: ");
        EXPECT_NE(at, std::string::npos) << removed.out;
        return at == std::string::npos
                   ? std::string()
                   : removed.out.substr(at + 8, removed.out.find('\n', at) - at - 8);
    };
    const std::string machineBackup = removeFirst();
    const std::string userBackup = removeFirst();
    EXPECT_EQ(cli({"programs", "list", "--json"}).out, "{\"programs\": []}\n");
    EXPECT_NE(query("HKLM\\" + entry, "/reg:32").exitCode, 0) << "gone for 32-bit programs";
    EXPECT_NE(query("HKCU\\" + entry, "/reg:64").exitCode, 0);

    for (const std::string& backup : {machineBackup, userBackup}) {
        const ProcessResult restored = cli({"backups", "restore", backup});
        EXPECT_EQ(restored.exitCode, 0) << restored.out << restored.err;
    }
    EXPECT_EQ(cli({"programs", "list"}).out, listed.out);
    EXPECT_NE(query("HKLM\\" + entry, "/reg:32").out.find("Views 32"), std::string::npos);
    const ProcessResult size = runProcess(
        {"wine", "reg", "query", "HKLM\\" + entry + "\\Sub", "/v", "Size", "/reg:32"}, env);
    EXPECT_NE(size.out.find("0x7"), std::string::npos) << size.out << size.err;
}

} // namespace
} // namespace tw::test
