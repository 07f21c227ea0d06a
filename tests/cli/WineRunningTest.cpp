// tidewell-cli beside a running Wine: every command that changes the prefix is refused whole
// and changes no file; once Wine has stopped the same commands run. Listing the history
// items that do not need Wine starts none.
#include "platform/wine/WineServer.h"
#include "support/UpdateServer.h"
#include "support/WineSuite.h"

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::cli {
namespace {

using test::readFile;
using test::runProcess;
using test::writeFile;
namespace fs = std::filesystem;

/// What changed between two digests, for the failure message.
std::string changes(const std::map<std::string, std::string>& before,
                    const std::map<std::string, std::string>& after)
{
    std::string text;
    for (const auto& [name, value] : before) {
        const auto now = after.find(name);
        if (now == after.end())
            text += " gone: " + name + ";";
        else if (now->second != value)
            text += " changed: " + name + ";";
    }
    for (const auto& [name, value] : after) {
        if (!before.count(name))
            text += " new: " + name + ";";
    }
    return text;
}

/// The folders a wineserver for `prefix` would make: under /tmp/.wine-<uid> and under the
/// folder Debian's Wine names in the prefix's "wineserver" file.
std::vector<fs::path> serverFolders(const fs::path& prefix)
{
    struct stat st;
    if (::stat(prefix.c_str(), &st) != 0)
        return {};
    char name[64];
    std::snprintf(name, sizeof name, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    std::vector<fs::path> folders{fs::path("/tmp/.wine-" + std::to_string(::getuid())) / name};
    std::ifstream recorded(prefix / "wineserver");
    std::string tmpName;
    if (recorded && std::getline(recorded, tmpName) && !tmpName.empty())
        folders.push_back(fs::path("/tmp") / tmpName / name);
    return folders;
}

class WineRunning : public test::WineSuite
{
protected:
    static void SetUpTestSuite()
    {
        if (!setUpPrefix())
            return;
        fs::create_directories(root() / "config");
        fs::create_directories(root() / "data");
    }
    void SetUp() override
    {
        WineSuite::SetUp();
        writeFile(fs::path(prefix()) / "drive_c/Junk/old.tmp", "junk");
    }

    /// tidewell-cli with the desktop's folders in the test's own folder.
    static test::ProcessResult run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {test::cliPath(), "--prefix", prefix()});
        auto env = wineEnv();
        env["XDG_CONFIG_HOME"] = (root() / "config").string();
        env["XDG_DATA_HOME"] = (root() / "data").string();
        return runProcess(args, env);
    }
    static fs::path autostartFolder() { return root() / "config/autostart"; }
    static fs::path trash() { return root() / "data/Trash"; }

    /// The name of the first backup of "backups list".
    static std::string firstBackup()
    {
        const std::string listed = run({"backups", "list"}).out;
        const size_t start = listed.find("C:\\");
        const size_t end = listed.find(".reg", start);
        if (start == std::string::npos || end == std::string::npos)
            return std::string();
        return listed.substr(start, end + 4 - start);
    }
};

TEST_F(WineRunning, EveryChangeIsRefusedWholeAndRunsOnceWineHasStopped)
{
    ASSERT_EQ(run({"backups", "full"}).exitCode, 0);
    const std::string backup = firstBackup();
    ASSERT_FALSE(backup.empty()) << run({"backups", "list"}).out;
    test::UpdateServer server;
    const std::vector<std::vector<std::string>> commands = {
        {"junk", "clean", "--mode", "recycle"},
        {"junk", "clean", "--mode", "delete"},
        {"junk", "clean", "--mode", "move", "--to", "C:\\users"},
        {"junk", "types", "add", "*.zzz", "Z files"},
        {"junk", "types", "remove", "1"},
        {"junk", "types", "check", "1", "off"},
        {"backups", "remove", backup},
        {"update", "check", "--url", server.host("2.1")},
        {"settings", "set", "Autostart", "1"},
        {"history", "clear", "4"},
        {"ignore", "add", "--key", "HKLM\\Software\\Ignored"},
    };

    ASSERT_EQ(runProcess({"wineserver", "-p"}, wineEnv()).exitCode, 0);
    const auto before = test::treeContents(prefix());
    std::vector<test::ProcessResult> refused;
    for (const auto& command : commands)
        refused.push_back(run(command));
    const auto after = test::treeContents(prefix());
    runProcess({"wineserver", "-k"}, wineEnv());
    runProcess({"wineserver", "-w"}, wineEnv());

    for (size_t i = 0; i < commands.size(); ++i) {
        SCOPED_TRACE(commands[i][0] + " " + commands[i][1]);
        EXPECT_NE(refused[i].exitCode, 0);
        EXPECT_NE(refused[i].err.find("Wine is running in the prefix"), std::string::npos)
            << refused[i].err;
        EXPECT_NE(refused[i].err.find("wineserver -k"), std::string::npos) << refused[i].err;
    }
    EXPECT_EQ(before, after) << changes(before, after);
    EXPECT_FALSE(fs::exists(autostartFolder())) << "the autostart entry was written";
    EXPECT_FALSE(fs::exists(trash())) << "files went to the trash";

    // Wine has stopped: the same commands run.
    for (const auto& command : {commands[0], commands[3], commands[4], commands[5], commands[6],
                                commands[7], commands[8], commands[9], commands[10]}) {
        const auto result = run(command);
        EXPECT_EQ(result.exitCode, 0) << command[0] << " " << command[1] << ": " << result.err;
    }
    EXPECT_FALSE(fs::exists(fs::path(prefix()) / "drive_c/Junk/old.tmp"));
    EXPECT_TRUE(fs::exists(fs::path(prefix()) / "drive_c/Program Files/Tidewell/Update.ini"));
    EXPECT_FALSE(fs::is_empty(autostartFolder()));
    EXPECT_EQ(firstBackup(), "") << "the backup was removed";
    EXPECT_EQ(run({"settings", "set", "Autostart", "0"}).exitCode, 0);
}

class HistoryWithoutWine : public test::WineSuite
{
};

TEST_F(HistoryWithoutWine, ListingItemsThatNeedNoWineStartsNone)
{
    const fs::path dir = prefix();
    const std::vector<std::string> hives = {"system.reg", "user.reg", "userdef.reg"};
    std::map<std::string, std::string> hivesBefore;
    for (const std::string& hive : hives)
        hivesBefore[hive] = readFile(dir / hive);
    // A folder left by an earlier prefix that had the same inode goes first.
    ASSERT_FALSE(wine::runningWineserver(dir.string()));
    for (const fs::path& folder : serverFolders(dir))
        fs::remove_all(folder);

    for (const std::vector<std::string>& args : {std::vector<std::string>{"history", "list"},
                                                 {"history", "list", "0"},
                                                 {"history", "list", "1", "--json"},
                                                 {"history", "list", "2"},
                                                 {"history", "list", "3"},
                                                 {"history", "list", "4"},
                                                 {"history", "list", "6"},
                                                 {"history", "list", "7"},
                                                 {"history", "list", "8"}}) {
        const auto result = cli(args);
        EXPECT_EQ(result.exitCode, 0) << args.back() << ": " << result.err;
        for (const fs::path& folder : serverFolders(dir))
            EXPECT_FALSE(fs::exists(folder)) << "a wineserver started for " << args.back();
    }
    for (const std::string& hive : hives)
        EXPECT_EQ(readFile(dir / hive), hivesBefore[hive]) << hive;

    // "All" says what it left out; the help says which items use Wine.
    EXPECT_NE(cli({"history", "list"}).out.find("history list 5"), std::string::npos);
    const auto help = cli({"history", "--help"});
    EXPECT_NE(help.out.find("only item 5 starts"), std::string::npos) << help.out;
}

} // namespace
} // namespace tw::cli
