// tidewell-cli repair and backups as a user runs them.
#include "support/CliFixture.h"

#include <gtest/gtest.h>
#include <map>

namespace tw::cli {
namespace {

using test::cliPath;
using test::PrefixBuilder;
using test::readFile;
using test::runProcess;
using test::TempDir;
namespace fs = std::filesystem;

const char* kSystem = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\Lib\\gone.dll"=dword:00000002

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone] 1
"DisplayName"="Gone"
"UninstallString"="C:\\Gone\\un.exe"
)hive";

class RepairCommandTest : public test::CliTest
{
protected:
    void SetUp() override
    {
        PrefixBuilder(dir.path() / "prefix").fixtureHives("wine-8.0/fresh");
        const fs::path system = dir.path() / "prefix" / "system.reg";
        test::writeFile(system, readFile(system) + kSystem);
    }
};

TEST_F(RepairCommandTest, RepairsBacksUpAndRestores)
{
    const auto before = cli({"reg", "export", (dir.path() / "before.reg").string()});
    ASSERT_EQ(before.exitCode, 0) << before.err;
    const auto repair = cli({"repair", "--sections", "8,12", "--json"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    const std::string backupDir = prefix() + "/drive_c/Program Files/Tidewell/AllRegBack/";
    EXPECT_EQ(repair.out.find("{\"backup\": \"" + backupDir + "Full Registry Backup_"), 0u)
        << repair.out;
    EXPECT_NE(
        repair.out.find(
            "\"rows\": [{\"problem\": "
            "\"HKEY_LOCAL_"
            "MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\SharedDlls\", "
            "\"status\": \"Repair Succeed\"}, {\"problem\": "
            "\"HKEY_LOCAL_"
            "MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Gone\", "
            "\"status\": \"Repair Succeed\"}]}"),
        std::string::npos)
        << repair.out;

    const auto rescan = cli({"scan", "--sections", "8,12", "--json"});
    EXPECT_NE(rescan.out.find("\"total\": 0"), std::string::npos) << rescan.out;

    const auto list = cli({"backups", "list"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    const size_t at =
        list.out.find("C:\\Program Files\\Tidewell\\AllRegBack\\Full Registry Backup_");
    ASSERT_NE(at, std::string::npos) << list.out;
    const std::string shown = list.out.substr(at, list.out.find(".reg", at) + 4 - at);

    const auto restore = cli({"backups", "restore", shown});
    ASSERT_EQ(restore.exitCode, 0) << restore.err;
    EXPECT_EQ(restore.out, "Restore registry successfully!\n");
    ASSERT_EQ(cli({"reg", "export", (dir.path() / "after.reg").string()}).exitCode, 0);
    EXPECT_EQ(test::firstDifference(readFile(dir.path() / "after.reg"),
                                    readFile(dir.path() / "before.reg")),
              "");

    const auto remove = cli({"backups", "remove", backupDir + shown.substr(shown.rfind('\\') + 1)});
    ASSERT_EQ(remove.exitCode, 0) << remove.err;
    EXPECT_EQ(remove.out, "Backup file remove successfully!\n");
    EXPECT_EQ(cli({"backups", "list"}).out, "");
}

TEST_F(RepairCommandTest, FullBackupAndNoBackupRepair)
{
    const auto full = cli({"backups", "full"});
    ASSERT_EQ(full.exitCode, 0) << full.err;
    EXPECT_EQ(full.out.find("Backup registry successfully!\n"), 0u);
    const auto repair = cli({"repair", "--sections", "8", "--no-backup"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    EXPECT_EQ(repair.out.find("Backup: none\n"), 0u);
    const auto list = cli({"backups", "list"});
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 1) << "only the full backup";
    const auto missing = cli({"backups", "restore", "C:\\nothing.reg"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.find("tidewell-cli: Restore registry fail!"), 0u) << missing.err;
}

TEST_F(RepairCommandTest, AnAlteredBackupIsRestoredOnlyWithForce)
{
    const auto full = cli({"backups", "full"});
    ASSERT_EQ(full.exitCode, 0) << full.err;
    const std::string shown = full.out.substr(full.out.find('\n') + 1,
                                              full.out.rfind(".reg") + 4 - full.out.find('\n') - 1);
    const std::string host = prefix() + "/drive_c/Program Files/Tidewell/AllRegBack/" +
                             shown.substr(shown.rfind('\\') + 1);
    std::string bytes = readFile(host);
    // "Gone" -> "Gane" in UTF-16: an edit the checksum notices.
    const std::string gone("G\0o\0n\0e\0", 8);
    const size_t at = bytes.find(gone);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 2] = 'a';
    test::writeFile(host, bytes);

    const auto refused = cli({"backups", "restore", shown});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("was changed after Tidewell wrote it"), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
    const auto forced = cli({"backups", "restore", shown, "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
}

/// A broken shortcut on the desktop (section 7) beside the registry problems.
class ShortcutRepairTest : public RepairCommandTest
{
protected:
    void SetUp() override
    {
        RepairCommandTest::SetUp();
        fs::create_directories(desktop());
        fs::copy_file(test::fixture("wine-8.0/varied/lnk/missing-file.lnk"), shortcut());
    }
    fs::path desktop() const { return dir.path() / "prefix/drive_c/users/Public/Desktop"; }
    fs::path shortcut() const { return desktop() / "Broken.lnk"; }
};

TEST_F(ShortcutRepairTest, WithWineRunningNothingIsBegun)
{
    const std::map<std::string, std::string> env = {{"WINEPREFIX", prefix()},
                                                    {"WINEDEBUG", "-all"}};
    ASSERT_EQ(runProcess({"wineserver", "-p"}, env).exitCode, 0);
    const auto repair = cli({"repair", "--sections", "7,8,12", "--json"});
    const auto full = cli({"backups", "full"});
    runProcess({"wineserver", "-k"}, env);
    runProcess({"wineserver", "-w"}, env);
    EXPECT_EQ(repair.exitCode, 1);
    EXPECT_EQ(repair.err.find("tidewell-cli: Nothing was repaired. "), 0u) << repair.err;
    EXPECT_NE(repair.err.find("wineserver -k"), std::string::npos) << repair.err;
    EXPECT_EQ(std::count(repair.err.begin(), repair.err.end(), '\n'), 1);
    EXPECT_TRUE(fs::exists(shortcut())) << "no file is deleted when the registry cannot change";
    EXPECT_EQ(full.exitCode, 1) << "a backup of hives Wine has not written yet would mislead";
    EXPECT_NE(full.err.find("wineserver -k"), std::string::npos) << full.err;
    EXPECT_FALSE(fs::exists(dir.path() / "prefix/drive_c/Program Files/Tidewell"));
}

TEST_F(ShortcutRepairTest, RemovedShortcutsComeBackWithTheBackup)
{
    const auto repair = cli({"repair", "--sections", "7,8", "--json"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    EXPECT_FALSE(fs::exists(shortcut()));
    const std::string backup = repair.out.substr(12, repair.out.find(".reg\"") + 4 - 12);
    const fs::path kept = backup.substr(0, backup.size() - 4) + ".files";
    EXPECT_TRUE(fs::exists(kept / "1.lnk")) << kept;

    const auto restore = cli({"backups", "restore", backup});
    ASSERT_EQ(restore.exitCode, 0) << restore.err;
    ASSERT_TRUE(fs::exists(shortcut()));
    EXPECT_EQ(readFile(shortcut()),
              readFile(test::fixture("wine-8.0/varied/lnk/missing-file.lnk")));

    const auto remove = cli({"backups", "remove", backup});
    ASSERT_EQ(remove.exitCode, 0) << remove.err;
    EXPECT_FALSE(fs::exists(kept)) << "the kept files go with their backup";
    EXPECT_FALSE(fs::exists(backup));
}

TEST_F(ShortcutRepairTest, TheShortcutsABackupKeepsAreNoFindings)
{
    // Tidewell's folder through a drive letter of its own as well.
    fs::create_directories(dir.path() / "prefix/drive_c/Program Files/Tidewell");
    fs::create_directory_symlink("../drive_c/Program Files/Tidewell",
                                 dir.path() / "prefix/dosdevices/t:");
    const auto repair = cli({"repair", "--sections", "7", "--json"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    const std::string backup = repair.out.substr(12, repair.out.find(".reg\"") + 4 - 12);
    const fs::path kept = backup.substr(0, backup.size() - 4) + ".files";
    ASSERT_TRUE(fs::exists(kept / "1.lnk")) << kept;

    const auto scan = cli({"scan", "--sections", "7"});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_EQ(scan.out.find(".lnk"), std::string::npos) << scan.out;
    const auto again = cli({"repair", "--sections", "7", "--json"});
    EXPECT_EQ(again.out.find(".lnk"), std::string::npos) << again.out;
    EXPECT_TRUE(fs::exists(kept / "1.lnk"));

    const auto restore = cli({"backups", "restore", backup});
    ASSERT_EQ(restore.exitCode, 0) << restore.err;
    EXPECT_EQ(readFile(shortcut()),
              readFile(test::fixture("wine-8.0/varied/lnk/missing-file.lnk")));
}

TEST_F(ShortcutRepairTest, AReadOnlyShortcutStays)
{
    fs::permissions(shortcut(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const auto repair = cli({"repair", "--sections", "7", "--json"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    EXPECT_NE(repair.out.find("\"status\": \"Repair Error\""), std::string::npos) << repair.out;
    EXPECT_TRUE(fs::exists(shortcut()));
}

} // namespace
} // namespace tw::cli
