// tidewell-cli prefixes, --prefix NAME and scan --all-prefixes on a fake home's prefixes.
#include "support/ManagerFiles.h"
#include "support/RealWinePrefix.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <pwd.h>
#include <unistd.h>

namespace tw::cli {
namespace {

namespace fs = std::filesystem;
using test::PrefixBuilder;
using test::ProcessResult;

/// Two entries the scan reports (a help file and a shared DLL that are gone).
const char* kBroken = R"(
[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\Lib\\gone.dll"=dword:00000002

[Software\\Microsoft\\Windows\\Help] 1
"gone.hlp"="C:\\Help\\"
)";

/// Every file below a folder with its size and time, to see that nothing changed.
std::map<std::string, std::string> snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_symlink() || !entry.is_directory())
            files[entry.path().string()] =
                entry.is_symlink()
                    ? "link"
                    : std::to_string(entry.file_size()) + "@" +
                          std::to_string(
                              fs::last_write_time(entry.path()).time_since_epoch().count());
        else
            files[entry.path().string()] = "folder";
    }
    return files;
}

class PrefixesCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        home = root.path() / "home";
        data = root.path() / "data";
        PrefixBuilder(home / ".wine").folder("users/alice");

        const fs::path steam = home / ".local/share/Steam";
        const fs::path library2 = root.path() / "SteamLibrary";
        test::writeSteamLibraryFolders(steam, {steam, library2});
        PrefixBuilder(test::steamPrefixPath(library2, "400"))
            .systemHive(kBroken)
            .folder("users/steamuser");
        test::writeSteamAppManifest(library2, "400", "Portal");

        fs::create_directories(data / "bottles/bottles");
        ASSERT_EQ(test::copyBootedPrefix(data / "bottles/bottles/Office"), "");
        test::writeBottleConfig(data / "bottles/bottles/Office", "Office");
        PrefixBuilder(data / "bottles/bottles/Twin").folder("users/bob");
        test::writeBottleConfig(data / "bottles/bottles/Twin", "Twin");

        const fs::path damaged = root.path() / "Games/damaged";
        PrefixBuilder(damaged).folder("users/carol");
        test::writeFile(damaged / "system.reg", "this is no hive\n");
        test::writeLutrisGame(home / ".config/lutris/games", "damaged-game", damaged);
        test::writeFile(home / ".config/lutris/games/unreadable.yml", "game: {prefix: [\n");

        PrefixBuilder(home / ".PlayOnLinux/wineprefix/Twin").folder("users/dave");
    }

    ProcessResult cli(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{"env",          "-u", "WINEPREFIX", "-u", "XDG_CONFIG_HOME",
                                      test::cliPath()};
        argv.insert(argv.end(), args.begin(), args.end());
        return test::runProcess(argv, {{"HOME", home.string()}, {"XDG_DATA_HOME", data.string()}});
    }

    test::TempDir root;
    fs::path home;
    fs::path data;
};

TEST_F(PrefixesCommandTest, JsonListsThePrefixesOfTheHomeAndDataFolders)
{
    const ProcessResult result = cli({"prefixes", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const nlohmann::json doc = nlohmann::json::parse(result.out);
    std::vector<std::string> rows;
    for (const auto& p : doc["prefixes"])
        rows.push_back(p["name"].get<std::string>() + " | " + p["source"].get<std::string>() +
                       " | " + p["arch"].get<std::string>() + " | " +
                       p["windowsUser"].get<std::string>());
    const passwd* login = ::getpwuid(::getuid()); // whom wineboot named the user after
    ASSERT_NE(login, nullptr);
    const std::vector<std::string> expected = {"wine | Wine | win64 | alice",
                                               "Portal | Steam | win64 | steamuser",
                                               "damaged-game | Lutris |  | carol", // no #arch line
                                               "Office | Bottles | win64 | " +
                                                   std::string(login->pw_name),
                                               "Twin | Bottles | win64 | bob",
                                               "Twin | PlayOnLinux | win64 | dave"};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(doc["prefixes"][1]["steamAppId"], "400");
    EXPECT_EQ(doc["prefixes"][1]["path"],
              test::steamPrefixPath(root.path() / "SteamLibrary", "400").string());
    EXPECT_EQ(doc["prefixes"][0]["hiveBytes"],
              fs::file_size(home / ".wine/system.reg") + fs::file_size(home / ".wine/user.reg"));
    EXPECT_EQ(doc["prefixes"][0]["wineRunning"], false);
    ASSERT_EQ(doc["warnings"].size(), 1u);
    EXPECT_NE(doc["warnings"][0].get<std::string>().find("unreadable.yml"), std::string::npos);
    // Listing needs no prefix of its own: no demo prefix was laid out.
    EXPECT_FALSE(fs::exists(data / "tidewell"));
}

TEST_F(PrefixesCommandTest, TellsWhereWineRunsNow)
{
    if (!test::wineInstalled())
        GTEST_SKIP() << "wine is not installed";
    const fs::path office = data / "bottles/bottles/Office";
    const test::WineStopper stopper{office};
    ASSERT_EQ(test::runProcess({"wineserver", "-p"},
                               {{"WINEPREFIX", office.string()}, {"WINEDEBUG", "-all"}})
                  .exitCode,
              0);
    const ProcessResult result = cli({"prefixes", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const nlohmann::json doc = nlohmann::json::parse(result.out);
    std::vector<std::string> running;
    for (const auto& p : doc["prefixes"]) {
        if (p["wineRunning"] == true)
            running.push_back(p["name"]);
    }
    EXPECT_EQ(running, std::vector<std::string>{"Office"});
}

TEST_F(PrefixesCommandTest, PrefixOptionTakesANameOrAppId)
{
    const std::string portal = test::steamPrefixPath(root.path() / "SteamLibrary", "400");
    for (const char* word : {"400", "portal", "Portal"}) {
        const ProcessResult result = cli({"--prefix", word, "info"});
        ASSERT_EQ(result.exitCode, 0) << word << ": " << result.err;
        EXPECT_NE(result.out.find("Prefix:          " + portal + " (Steam prefix \"Portal\")"),
                  std::string::npos)
            << result.out;
    }
    ProcessResult result = cli({"--prefix", "twin", "info"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("--prefix twin names 2 prefixes; give one of their folders:\n  " +
                              (data / "bottles/bottles/Twin").string() + " (Bottles)\n  " +
                              (home / ".PlayOnLinux/wineprefix/Twin").string() + " (PlayOnLinux)"),
              std::string::npos)
        << result.err;
    result = cli({"--prefix", "Nowhere", "info"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("--prefix Nowhere: no such folder, and no prefix of that name"),
              std::string::npos)
        << result.err;
    // A path is a path, never a name.
    result = cli({"--prefix", (root.path() / "Portal").string(), "info"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.find("no prefix of that name"), std::string::npos) << result.err;
}

TEST_F(PrefixesCommandTest, ScanAllPrefixesGivesEachItsOwnFindingsAndWritesNothing)
{
    const auto before = snapshot(root.path());
    const ProcessResult result = cli({"scan", "--all-prefixes", "--sections", "6,8", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(snapshot(root.path()), before);
    const nlohmann::json doc = nlohmann::json::parse(result.out);
    ASSERT_EQ(doc["prefixes"].size(), 6u) << result.out;
    for (const auto& row : doc["prefixes"]) {
        const std::string name = row["name"];
        if (name == "damaged-game") {
            EXPECT_NE(row["error"].get<std::string>().find("system.reg"), std::string::npos) << row;
            continue;
        }
        ASSERT_TRUE(row.contains("total")) << row;
        EXPECT_EQ(row["total"], name == "Portal" ? 2 : 0) << row;
        EXPECT_EQ(row["sections"].value("6", 0), name == "Portal" ? 1 : 0) << row;
        // Where no SharedDlls key exists, the section does not run at all.
        EXPECT_EQ(row["sections"].value("8", 0), name == "Portal" ? 1 : 0) << row;
    }

    const ProcessResult plain = cli({"scan", "--all-prefixes", "--sections", "6,8"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_NE(plain.out.find("\nPortal                        Steam             2   1   1\n"),
              std::string::npos)
        << plain.out;
    EXPECT_NE(plain.out.find("damaged-game                  Lutris         not scanned: "),
              std::string::npos)
        << plain.out;

    const ProcessResult refused = cli({"--prefix", "Portal", "scan", "--all-prefixes"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("give no --prefix"), std::string::npos) << refused.err;
}

} // namespace
} // namespace tw::cli
