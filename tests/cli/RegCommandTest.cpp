// tidewell-cli reg ... as a user runs it: a real process on a prefix in a temporary folder.
#include "support/CliFixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace tw::cli {
namespace {

using test::cliPath;
using test::PrefixBuilder;
using test::readFile;
using test::runProcess;
using test::TempDir;
namespace fs = std::filesystem;

class RegCommandTest : public test::CliTest
{
protected:
    void SetUp() override { PrefixBuilder(dir.path() / "prefix").fixtureHives("wine-8.0/varied"); }

    std::string hive(const char* name) const { return readFile(dir.path() / "prefix" / name); }
};

TEST_F(RegCommandTest, QueriesAKeyAndOneValue)
{
    auto result = cli({"reg", "query", "HKEY_CURRENT_USER\\Software\\TidewellFixture"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("    (Default)    REG_SZ    default value\n"), std::string::npos);
    EXPECT_NE(result.out.find("    Dword    REG_DWORD    0x12345678\n"), std::string::npos);
    EXPECT_NE(result.out.find("    Multi    REG_MULTI_SZ    one\\0two\n"), std::string::npos);
    EXPECT_NE(result.out.find("    Binary    REG_BINARY    010203FF\n"), std::string::npos);
    EXPECT_NE(result.out.find("HKEY_CURRENT_USER\\Software\\TidewellFixture\\_under\n"),
              std::string::npos);

    result = cli({"reg", "query", "hkcu\\software\\tidewellfixture", "qword"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("REG_QWORD    0x1122334455667788"), std::string::npos);
}

TEST_F(RegCommandTest, FailuresExitNonZeroWithOneLine)
{
    auto result = cli({"reg", "query", "HKEY_CURRENT_USER\\Software\\Missing"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err,
              "tidewell-cli: The key HKEY_CURRENT_USER\\Software\\Missing does not exist\n");
    result = cli({"reg", "query", "HKEY_NOWHERE\\X"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
    result = cli({"reg", "set", "HKEY_CURRENT_USER\\Software\\T", "n", "REG_DWORD", "lots"});
    EXPECT_EQ(result.exitCode, 2);
    result = cli({"reg", "set", "HKEY_CURRENT_USER\\Software\\T", "n", "REG_WHAT", "1"});
    EXPECT_EQ(result.exitCode, 2);
    result = runProcess({cliPath(), "--prefix", (dir.path() / "none").string(), "info"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("no such folder"), std::string::npos);
}

TEST_F(RegCommandTest, SetOfAUserValueRewritesUserRegOnly)
{
    const std::string system = hive("system.reg");
    const std::string userdef = hive("userdef.reg");
    struct Case
    {
        const char* name;
        const char* type;
        const char* data;
        const char* shown;
    };
    for (const Case& c :
         {Case{"Text", "REG_SZ", "hello world", "REG_SZ    hello world"},
          Case{"Path", "REG_EXPAND_SZ", "%SystemRoot%\\x", "REG_EXPAND_SZ    %SystemRoot%\\x"},
          Case{"List", "REG_MULTI_SZ", "a\\0b", "REG_MULTI_SZ    a\\0b"},
          Case{"Count", "REG_DWORD", "0x10", "REG_DWORD    0x10"},
          Case{"Big", "REG_QWORD", "4294967296", "REG_QWORD    0x100000000"},
          Case{"Raw", "REG_BINARY", "01,ff,7a", "REG_BINARY    01FF7A"}}) {
        auto result =
            cli({"reg", "set", "HKEY_CURRENT_USER\\Software\\Tidewell", c.name, c.type, c.data});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        result = cli({"reg", "query", "HKEY_CURRENT_USER\\Software\\Tidewell", c.name});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_NE(result.out.find(c.shown), std::string::npos) << result.out;
    }
    EXPECT_EQ(hive("system.reg"), system);
    EXPECT_EQ(hive("userdef.reg"), userdef);
    EXPECT_NE(hive("user.reg").find("\"Raw\"=hex:01,ff,7a\n"), std::string::npos);
    EXPECT_NE(hive("user.reg").find("\"List\"=str(7):\"a\\0b\\0\"\n"), std::string::npos);
}

TEST_F(RegCommandTest, DeletesValuesAndKeyTrees)
{
    auto result = cli({"reg", "delete", "HKEY_CURRENT_USER\\Software\\TidewellFixture", "Sz"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    result = cli({"reg", "delete", "HKEY_CURRENT_USER\\Software\\TidewellFixture", "Sz"});
    EXPECT_EQ(result.exitCode, 1);
    result = cli({"reg", "delete", "HKEY_CURRENT_USER\\Software\\TidewellFixture\\Deep"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(hive("user.reg").find("Deepest"), std::string::npos);
    result = cli({"reg", "delete", "HKEY_CURRENT_USER"});
    EXPECT_EQ(result.exitCode, 1);
}

TEST_F(RegCommandTest, ExportImportRoundTrip)
{
    const std::string file = (dir.path() / "fixture.reg").string();
    auto result = cli({"reg", "export", file, "HKEY_CURRENT_USER\\Software\\TidewellFixture"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::firstDifference(
                  readFile(file),
                  readFile(test::fixture("wine-8.0/varied/regedit-export-hkcu-fixture.reg"))),
              "");

    ASSERT_EQ(cli({"reg", "delete", "HKEY_CURRENT_USER\\Software\\TidewellFixture"}).exitCode, 0);
    result = cli({"reg", "import", file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string again = (dir.path() / "again.reg").string();
    ASSERT_EQ(
        cli({"reg", "export", again, "HKEY_CURRENT_USER\\Software\\TidewellFixture"}).exitCode, 0);
    EXPECT_EQ(test::firstDifference(readFile(again), readFile(file)), "");
}

TEST_F(RegCommandTest, ImportIsAllOrNothing)
{
    const std::string user = hive("user.reg");
    const std::string file = (dir.path() / "bad.reg").string();
    test::writeFile(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Good]\r\n\"a\"=\"1\"\r\n"
                          "[HKEY_CURRENT_USER\\Software\\Bad]\r\n\"b\"=hex:zz\r\n");
    const auto result = cli({"reg", "import", file});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("line 6"), std::string::npos) << result.err;
    EXPECT_EQ(hive("user.reg"), user);

    const auto folder = cli({"reg", "import", dir.str()});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("is a folder"), std::string::npos) << folder.err;
}

TEST_F(RegCommandTest, ImportAndSetKeepToWhatTheHivesCanHold)
{
    const std::vector<std::string> hives = {hive("system.reg"), hive("user.reg"),
                                            hive("userdef.reg")};
    const std::string good =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Good]\r\n\"a\"=\"1\"\r\n";
    struct Refused
    {
        std::string lines;
        std::string says;
    };
    const std::vector<Refused> files = {
        {"[HKEY_CURRENT_USER\\Software\\Long]\r\n\"" + std::string(16384, 'v') + "\"=\"1\"\r\n",
         "line 6: a value name longer than 16383 characters"},
        {"[HKEY_LOCAL_MACHINE\\Software\\" + std::string(256, 'k') + "\\Below]\r\n",
         "line 5: a key name longer than 255 characters"},
        {"[HKEY_USERS\\S-1-5-21-1-2-3-1001\\Software\\Other]\r\n\"b\"=\"2\"\r\n",
         "line 5: no registry file of this prefix holds HKEY_USERS\\S-1-5-21-1-2-3-1001"},
    };
    for (const Refused& refused : files) {
        const std::string file = (dir.path() / "refused.reg").string();
        test::writeFile(file, good + refused.lines);
        const auto result = cli({"reg", "import", file});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find(refused.says), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("nothing was imported"), std::string::npos) << result.err;
    }

    // reg set refuses the same with the errors Windows gives.
    auto result =
        cli({"reg", "set", "HKCU\\Software\\Good", std::string(16384, 'v'), "REG_SZ", "1"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("invalid name"), std::string::npos) << result.err;
    result = cli({"reg", "set", "HKCU\\Software\\" + std::string(256, 'k'), "a", "REG_SZ", "1"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("invalid name"), std::string::npos) << result.err;
    result = cli({"reg", "set", "HKEY_USERS\\S-1-5-21-1-2-3-1001\\Software", "a", "REG_SZ", "1"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("access denied"), std::string::npos) << result.err;

    EXPECT_EQ(hive("system.reg"), hives[0]);
    EXPECT_EQ(hive("user.reg"), hives[1]);
    EXPECT_EQ(hive("userdef.reg"), hives[2]);

    // Names at the limits import, and another process reads them from the saved hives.
    const std::string key = "HKEY_CURRENT_USER\\Software\\" + std::string(255, 'k');
    const std::string value(16383, 'v');
    const std::string file = (dir.path() / "limits.reg").string();
    test::writeFile(file, "REGEDIT4\r\n\r\n[" + key + "]\r\n\"" + value +
                              "\"=\"kept\"\r\n"
                              "[HKEY_USERS\\.DEFAULT\\Software\\Tidewell]\r\n\"c\"=\"3\"\r\n");
    result = cli({"reg", "import", file});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    result = cli({"reg", "query", key, value});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("REG_SZ    kept"), std::string::npos) << result.out;
    result = cli({"reg", "query", "HKEY_USERS\\.DEFAULT\\Software\\Tidewell", "c"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
}

TEST_F(RegCommandTest, DamagedHiveIsNamedWithItsLine)
{
    std::string system = hive("system.reg");
    system += "\n[Broken] 1\n\"x\"=\"unterminated\n";
    test::writeFile(dir.path() / "prefix" / "system.reg", system);
    const std::string user = hive("user.reg");
    const auto result = cli({"reg", "set", "HKEY_CURRENT_USER\\Software\\T", "a", "REG_SZ", "b"});
    EXPECT_EQ(result.exitCode, 1);
    const size_t lines = static_cast<size_t>(std::count(system.begin(), system.end(), '\n'));
    EXPECT_NE(result.err.find("system.reg line " + std::to_string(lines)), std::string::npos)
        << result.err;
    EXPECT_EQ(hive("user.reg"), user);
}

TEST_F(RegCommandTest, InfoNamesThePrefixAndItsDrives)
{
    const auto result = cli({"info"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Prefix:          " + prefix() + " (--prefix)"), std::string::npos);
    EXPECT_NE(result.out.find("Local Disk (C:)  fixed"), std::string::npos);
}

TEST_F(RegCommandTest, APrefixTheUserMayNotWriteIsReadOnly)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run the command line as another user";
    // Another user may read the prefix but not write it.
    fs::permissions(dir.path(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    const std::string user = readFile(fs::path(prefix()) / "user.reg");
    auto as = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                   cliPath(), "--prefix", prefix()});
        return runProcess(args, {{"HOME", dir.str()}});
    };
    const auto info = as({"info"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("State:           read-only: You may not write to"), std::string::npos)
        << info.out;
    const auto set = as({"reg", "set", "HKCU\\Software\\T", "n", "REG_SZ", "x"});
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_NE(set.err.find("You may not write to"), std::string::npos) << set.err;
    EXPECT_EQ(readFile(fs::path(prefix()) / "user.reg"), user);
}

TEST_F(RegCommandTest, ChoosesWineprefixThenTheDemoPrefix)
{
    auto result = runProcess({cliPath(), "info"}, {{"HOME", dir.str()}, {"WINEPREFIX", prefix()}});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find(prefix() + " (WINEPREFIX)"), std::string::npos);

    const std::string home = (dir.path() / "home").string();
    fs::create_directories(home);
    result = runProcess({"env", "-u", "WINEPREFIX", "-u", "XDG_DATA_HOME", cliPath(), "info"},
                        {{"HOME", home}});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string demo = home + "/.local/share/tidewell/demo-prefix";
    EXPECT_NE(result.out.find(demo + " (demo)"), std::string::npos) << result.out;
    EXPECT_TRUE(fs::is_directory(demo + "/drive_c/windows/system32"));
    EXPECT_TRUE(fs::is_symlink(demo + "/dosdevices/c:"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(demo + "/dosdevices/z:")))
        << "the demo never reaches the host";
}

} // namespace
} // namespace tw::cli
