// tidewell-cli ignore, and scan and repair with an ignore list, as a user runs them.
#include "support/CliFixture.h"

#include <gtest/gtest.h>

namespace tw::cli {
namespace {

using test::PrefixBuilder;
using test::readFile;
namespace fs = std::filesystem;

const char* kSystem = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\Lib\\one.dll"=dword:00000000
"C:\\Lib\\two.dll"=dword:00000000

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo] 1
"UninstallString"="C:\\Foo\\un.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\FooBar] 1
"UninstallString"="C:\\FooBar\\un.exe"
)hive";

constexpr const char* kShared = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr const char* kFoo = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo";

class IgnoreCommandTest : public test::CliTest
{
protected:
    void SetUp() override
    {
        PrefixBuilder(dir.path() / "prefix").fixtureHives("wine-8.0/fresh");
        const fs::path system = dir.path() / "prefix" / "system.reg";
        test::writeFile(system, readFile(system) + kSystem);
    }
    void add(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"ignore", "add"});
        const auto result = cli(args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
    }
};

TEST_F(IgnoreCommandTest, ListsNumberedEntriesAndRemovesThem)
{
    add({"--key", "hklm\\Software\\A"});
    add({"--key", kShared, "--value", "C:\\Lib\\one.dll"});
    add({"--file", "C:\\Lib\\*.dll"});
    const auto again = cli({"ignore", "add", "--key", "HKEY_LOCAL_MACHINE\\software\\a"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, "Already ignored key HKEY_LOCAL_MACHINE\\software\\a\n");

    EXPECT_EQ(cli({"ignore", "list"}).out,
              "1  key  HKEY_LOCAL_MACHINE\\Software\\A\n"
              "2  value  HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\"
              "SharedDlls \"C:\\Lib\\one.dll\"\n"
              "3  file  C:\\Lib\\*.dll\n");

    const auto removed = cli({"ignore", "remove", "2"});
    ASSERT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(removed.out, "Removed 2: value HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
                           "CurrentVersion\\SharedDlls \"C:\\Lib\\one.dll\"\n");
    EXPECT_EQ(cli({"ignore", "list", "--json"}).out,
              "{\"entries\": [{\"number\": 1, \"kind\": \"key\", \"key\": "
              "\"HKEY_LOCAL_MACHINE\\\\Software\\\\A\"}, {\"number\": 2, \"kind\": \"file\", "
              "\"pattern\": \"C:\\\\Lib\\\\*.dll\"}]}\n");

    const auto outOfRange = cli({"ignore", "remove", "3"});
    EXPECT_EQ(outOfRange.exitCode, 2);
    EXPECT_NE(outOfRange.err.find("\"3\" is not an entry of the list (1 to 2)"), std::string::npos)
        << outOfRange.err;

    ASSERT_EQ(cli({"ignore", "remove", "2"}).exitCode, 0);
    ASSERT_EQ(cli({"ignore", "remove", "1"}).exitCode, 0);
    EXPECT_EQ(cli({"ignore", "list"}).out, "");
    EXPECT_EQ(cli({"reg", "query", "HKCU\\Software\\Tidewell\\Ignore"}).exitCode, 1)
        << "the emptied key is gone";
    const auto empty = cli({"ignore", "remove", "1"});
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_NE(empty.err.find("the ignore list is empty"), std::string::npos) << empty.err;
}

TEST_F(IgnoreCommandTest, RefusesWhatItCannotStoreAndChangesNothing)
{
    const std::string hive = readFile(dir.path() / "prefix" / "user.reg");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--key", "HKXX\\Software\\A"}, "\"HKXX\\Software\\A\" is no registry key"},
        {{"--key", "HKLM"}, "\"HKLM\" is no registry key"},
        {{"--file", "Lib\\*.dll"}, "\"Lib\\*.dll\" is no Windows path pattern"},
        {{}, "either --key KEY [--value NAME] or --file PATTERN"},
        {{"--key", "HKLM\\Software\\A", "--file", "C:\\*"}, "either --key KEY"},
        {{"--file", "C:\\*", "--value", "x"}, "--value goes with --key"},
    };
    for (const auto& [args, message] : cases) {
        std::vector<std::string> words = {"ignore", "add"};
        words.insert(words.end(), args.begin(), args.end());
        const auto result = cli(words);
        SCOPED_TRACE(message);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
    }
    EXPECT_EQ(readFile(dir.path() / "prefix" / "user.reg"), hive);
}

TEST_F(IgnoreCommandTest, ScanCountsWhatItLeftOut)
{
    const auto before = cli({"scan", "--sections", "8,12"});
    EXPECT_EQ(before.out.find("ignored"), std::string::npos) << before.out;
    EXPECT_NE(
        cli({"scan", "--sections", "8,12", "--json"}).out.find("\"total\": 4, \"ignored\": 0"),
        std::string::npos);

    add({"--key", kFoo});
    add({"--file", "c:\\lib\\ONE.*"});
    const auto plain = cli({"scan", "--sections", "8,12"});
    EXPECT_NE(plain.out.find("Scan Completed!\n2 ignored\n"), std::string::npos) << plain.out;
    EXPECT_EQ(plain.out.find("one.dll"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("two.dll"), std::string::npos) << plain.out;
    const auto json = cli({"scan", "--sections", "8,12", "--json"});
    EXPECT_NE(json.out.find("\"total\": 2, \"ignored\": 2"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("Uninstall\\\\FooBar\""), std::string::npos) << json.out;
    EXPECT_EQ(json.out.find("Uninstall\\\\Foo\""), std::string::npos) << json.out;
}

TEST_F(IgnoreCommandTest, RepairLeavesIgnoredEntriesOnDisk)
{
    add({"--key", kShared, "--value", "C:\\Lib\\one.dll"});
    add({"--key", kFoo});
    const auto repair = cli({"repair", "--sections", "8,12"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;

    const std::string system = readFile(dir.path() / "prefix" / "system.reg");
    EXPECT_NE(system.find("\"C:\\\\Lib\\\\one.dll\"=dword:00000000"), std::string::npos);
    EXPECT_EQ(system.find("two.dll"), std::string::npos) << "the other one was repaired";
    EXPECT_NE(system.find("\"C:\\\\Foo\\\\un.exe\""), std::string::npos);
    EXPECT_EQ(system.find("\"C:\\\\FooBar\\\\un.exe\""), std::string::npos);
    EXPECT_NE(
        cli({"scan", "--sections", "8,12", "--json"}).out.find("\"total\": 0, \"ignored\": 2"),
        std::string::npos);
}

} // namespace
} // namespace tw::cli
