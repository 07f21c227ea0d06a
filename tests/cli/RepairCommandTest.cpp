// tidewell-cli repair and backups as a user runs them.
#include "support/CliFixture.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(restore.out, "Restore registry successfuly!\n");
    ASSERT_EQ(cli({"reg", "export", (dir.path() / "after.reg").string()}).exitCode, 0);
    EXPECT_EQ(test::firstDifference(readFile(dir.path() / "after.reg"),
                                    readFile(dir.path() / "before.reg")),
              "");

    const auto remove = cli({"backups", "remove", backupDir + shown.substr(shown.rfind('\\') + 1)});
    ASSERT_EQ(remove.exitCode, 0) << remove.err;
    EXPECT_EQ(remove.out, "Backup file remove successfuly!\n");
    EXPECT_EQ(cli({"backups", "list"}).out, "");
}

TEST_F(RepairCommandTest, FullBackupAndNoBackupRepair)
{
    const auto full = cli({"backups", "full"});
    ASSERT_EQ(full.exitCode, 0) << full.err;
    EXPECT_EQ(full.out.find("Backup registry successfuly!\n"), 0u);
    const auto repair = cli({"repair", "--sections", "8", "--no-backup"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    EXPECT_EQ(repair.out.find("Backup: none\n"), 0u);
    const auto list = cli({"backups", "list"});
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 1) << "only the full backup";
    const auto missing = cli({"backups", "restore", "C:\\nothing.reg"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.find("tidewell-cli: Restore registry fail!"), 0u) << missing.err;
}

TEST_F(RepairCommandTest, WithWineRunningEveryRowFailsAndNothingChanges)
{
    const std::map<std::string, std::string> env = {{"WINEPREFIX", prefix()},
                                                    {"WINEDEBUG", "-all"}};
    ASSERT_EQ(runProcess({"wineserver", "-p"}, env).exitCode, 0);
    const auto repair = cli({"repair", "--sections", "8,12", "--json"});
    runProcess({"wineserver", "-k"}, env);
    runProcess({"wineserver", "-w"}, env);
    EXPECT_EQ(repair.exitCode, 1);
    EXPECT_NE(repair.err.find("wineserver -k"), std::string::npos) << repair.err;
    EXPECT_EQ(std::count(repair.err.begin(), repair.err.end(), '\n'), 1);
    EXPECT_NE(repair.out.find("{\"backup\": null, \"rows\": [{"), std::string::npos) << repair.out;
    EXPECT_EQ(repair.out.find("Repair Succeed"), std::string::npos);
    EXPECT_NE(repair.out.find("Repair Error"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.path() / "prefix/drive_c/Program Files/Tidewell"));
}

} // namespace
} // namespace tw::cli
