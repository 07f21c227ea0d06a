// Files a Windows program could leave in a prefix made by Wine, aimed at files outside it: the
// cleaners never delete, move or trash anything outside the prefix.
#include "support/WineSuite.h"

#include <gtest/gtest.h>

namespace tw::cli {
namespace {

using test::readFile;
using test::runProcess;
using test::writeFile;
namespace fs = std::filesystem;

class ConfinementWine : public test::WineSuite
{
protected:
    void SetUp() override
    {
        WineSuite::SetUp();
        fs::remove_all(home() / ".local");
        ASSERT_TRUE(fs::is_symlink(user() / "Desktop")) << "Wine links the user folders";
        // Canaries: files of the user's own, outside the prefix; the user folders of the
        // prefix lead into this home.
        writeFile(home() / "victim.txt", "the user's letter");
        writeFile(home() / "~victim.tmp", "looks like junk, is the user's");
        writeFile(elsewhere() / "victim.txt", "another file of the user's");
        m_canaries = canaries();
    }
    void TearDown() override { EXPECT_EQ(canaries(), m_canaries) << "a file outside changed"; }

    /// The files of the home (its trash aside) and of another folder outside the prefix.
    static std::map<std::string, std::string> canaries()
    {
        std::map<std::string, std::string> all;
        for (const auto& [name, content] : test::treeContents(home())) {
            if (name != ".local" && name.rfind(".local/", 0) != 0)
                all["home/" + name] = content;
        }
        for (const auto& [name, content] : test::treeContents(elsewhere()))
            all["elsewhere/" + name] = content;
        return all;
    }
    static fs::path home() { return root() / "home"; }
    static fs::path elsewhere() { return root() / "elsewhere"; }
    static fs::path trash() { return home() / ".local/share/Trash"; }
    /// The prefix's user folder (C:\users\<name>).
    static fs::path user()
    {
        for (const auto& entry : fs::directory_iterator(fs::path(prefix()) / "drive_c/users")) {
            if (fs::is_symlink(entry.path() / "Desktop"))
                return entry.path();
        }
        return fs::path(prefix()) / "drive_c/users/none";
    }
    /// tidewell-cli with the desktop's trash in the test's home.
    static test::ProcessResult cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), {test::cliPath(), "--prefix", prefix()});
        std::map<std::string, std::string> env = wineEnv();
        env["XDG_DATA_HOME"] = (home() / ".local/share").string();
        return runProcess(args, env);
    }

private:
    std::map<std::string, std::string> m_canaries;
};

TEST_F(ConfinementWine, ANameWithBackslashesNeverLeadsTheJunkCleanerOut)
{
    // "~z" matches the junk type ~*.*; read as a Windows path it climbs into the Desktop link.
    const std::string user = ConfinementWine::user().filename().string();
    const fs::path planted =
        fs::path(prefix()) / "drive_c" / ("~z\\..\\..\\users\\" + user + "\\Desktop\\victim.txt");
    const fs::path plantedJunk =
        fs::path(prefix()) / "drive_c" / ("~z\\..\\..\\users\\" + user + "\\Desktop\\~victim.tmp");
    writeFile(planted, "planted");
    writeFile(plantedJunk, "planted");
    const auto scan = cli({"junk", "scan", "--json"});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_EQ(scan.out.find("victim"), std::string::npos) << scan.out;

    fs::create_directories(ConfinementWine::user() / "Kept");
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{"--mode", "delete"},
          {"--mode", "recycle"},
          {"--mode", "move", "--to", "C:\\users\\" + user + "\\Kept"}}) {
        std::vector<std::string> args = {"junk", "clean", "--json"};
        args.insert(args.end(), mode.begin(), mode.end());
        const auto clean = cli(args);
        EXPECT_EQ(clean.out.find("victim"), std::string::npos) << clean.out;
        EXPECT_EQ(canaries(), (std::map<std::string, std::string>{
                                  {"home/victim.txt", "the user's letter"},
                                  {"home/~victim.tmp", "looks like junk, is the user's"},
                                  {"elsewhere/victim.txt", "another file of the user's"}}))
            << mode[1];
    }
    EXPECT_EQ(readFile(planted), "planted") << "a name Windows cannot hold is left alone";
    EXPECT_EQ(readFile(plantedJunk), "planted");
}

TEST_F(ConfinementWine, TheHistoryCleanerTakesNothingFromOutsideThroughTempOrTheRecycleBin)
{
    const fs::path temp = user() / "Temp";
    ASSERT_TRUE(fs::is_directory(temp));
    writeFile(temp / "x\\..\\..\\Desktop\\victim.txt", "planted");
    writeFile(temp / "plain.tmp", "temp");
    // An item the desktop's trash holds that reached it from the user's Desktop, recorded by
    // a path through the prefix's Desktop link: not one of the prefix's own.
    writeFile(trash() / "files/letter.txt", "trashed by the user");
    writeFile(trash() / "info/letter.txt.trashinfo",
              "[Trash Info]\nPath=" + (user() / "Desktop/letter.txt").string() +
                  "\nDeletionDate=2026-12-01T10:00:00\n");

    const auto list = cli({"history", "list", "4"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("plain.tmp"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find("victim"), std::string::npos) << list.out;

    const auto clearTemp = cli({"history", "clear", "4"});
    EXPECT_EQ(clearTemp.exitCode, 0) << clearTemp.err << clearTemp.out;
    EXPECT_EQ(readFile(trash() / "files/plain.tmp"), "temp");
    const auto clearBin = cli({"history", "clear", "6"});
    EXPECT_EQ(clearBin.exitCode, 0) << clearBin.err << clearBin.out;
    EXPECT_FALSE(fs::exists(trash() / "files/plain.tmp")) << "the prefix's own item went";
    EXPECT_EQ(readFile(trash() / "files/letter.txt"), "trashed by the user");
    EXPECT_EQ(readFile(temp / "x\\..\\..\\Desktop\\victim.txt"), "planted");
}

} // namespace
} // namespace tw::cli
