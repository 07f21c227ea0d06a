// tidewell-cli history: the items' listings as scripts read them, and their clear.
#include "support/CliFixture.h"

#include <gtest/gtest.h>
#include <regex>

namespace tw::cli {
namespace {

using test::PrefixBuilder;
using test::readFile;
namespace fs = std::filesystem;

const char* const kUserHive = R"(
[Environment] 1
"TEMP"="C:\\users\\tester\\Temp"
"TMP"="C:\\users\\tester\\Temp"

[Software\\Microsoft\\Internet Explorer\\TypedURLs] 1
"url1"="http://example.org/"

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU] 1
"a"="notepad\\1"
"b"="regedit \"x\"\\1"
"MRUList"="ba"

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders] 1
"Cache"="C:\\users\\tester\\INetCache"
"History"="C:\\users\\tester\\History"
"NetHood"="C:\\users\\tester\\NetHood"
"Recent"="C:\\users\\tester\\Recent"
)";

class HistoryCommandTest : public test::CliTest
{
protected:
    void SetUp() override
    {
        PrefixBuilder(dir.path() / "prefix")
            .userHive(kUserHive)
            .file("users/tester/Temp/a.tmp", "temp")
            .file("users/tester/Recent/b.lnk", "lnk");
        fs::create_directories(dir.path() / "data");
    }
    /// With the desktop's trash in the test's folder.
    test::ProcessResult history(std::vector<std::string> args)
    {
        args.insert(args.begin(), {test::cliPath(), "--prefix", prefix(), "history"});
        return test::runProcess(
            args, {{"HOME", dir.str()}, {"XDG_DATA_HOME", (dir.path() / "data").string()}});
    }
    fs::path temp() const { return dir.path() / "prefix/drive_c/users/tester/Temp"; }
};

TEST_F(HistoryCommandTest, ListPrintsTheItemsRecordsAsJson)
{
    auto result = history({"list", "1", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"item\": 1, \"name\": \"Run Menu's History\", \"records\": ["
              "{\"kind\": 7, \"text\": \"notepad\\\\1\", \"origin\": \"a\", \"selected\": true}, "
              "{\"kind\": 7, \"text\": \"regedit \\\"x\\\"\\\\1\", \"origin\": \"b\", "
              "\"selected\": true}, "
              "{\"kind\": 7, \"text\": \"ba\", \"origin\": \"MRUList\", \"selected\": true}]}\n");
    result = history({"list", "4", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "{\"item\": 4, \"name\": \"Windows Temporary Files\", \"records\": ["
                          "{\"kind\": 3, \"text\": \"a.tmp\", \"origin\": "
                          "\"C:\\\\users\\\\tester\\\\Temp\\\\\", \"selected\": true}]}\n");
    result = history({"list", "6", "--json"});
    EXPECT_EQ(result.out, "{\"item\": 6, \"name\": \"Recycle Bin\", \"records\": []}\n");
}

TEST_F(HistoryCommandTest, AnItemThatIsNotOneIsAUsageError)
{
    for (const char* item : {"9", "-1", "x", "01"}) {
        const auto result = history({"list", item});
        EXPECT_EQ(result.exitCode, 2) << item;
        EXPECT_NE(result.err.find("is not a history item (0 to 8)"), std::string::npos);
    }
}

TEST_F(HistoryCommandTest, ClearSaysWhatWentAndKeepsABackup)
{
    auto result = history({"clear", "1", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::regex shape(
        "\\{\"item\": 1, \"name\": \"Run Menu's History\", \"removed\": \\["
        "\\{\"kind\": 7, \"text\": \"notepad\\\\\\\\1\", \"origin\": \"a\"\\}, "
        "\\{\"kind\": 7, \"text\": \"regedit \\\\\"x\\\\\"\\\\\\\\1\", \"origin\": \"b\"\\}, "
        "\\{\"kind\": 7, \"text\": \"ba\", \"origin\": \"MRUList\"\\}\\], \"failed\": \\[\\], "
        "\"backup\": \"C:\\\\\\\\Program Files\\\\\\\\Tidewell\\\\\\\\AllRegBack\\\\\\\\"
        "History Clearing Backup_[0-9_]+\\.reg\", \"urlHistory\": null, \"stopped\": null, "
        "\"notes\": \\[\\]\\}\n");
    EXPECT_TRUE(std::regex_match(result.out, shape)) << result.out;
    result = history({"list", "1", "--json"});
    EXPECT_EQ(result.out, "{\"item\": 1, \"name\": \"Run Menu's History\", \"records\": []}\n");
    // Nothing else went.
    result = history({"list", "7", "--json"});
    EXPECT_NE(result.out.find("http://example.org/"), std::string::npos);
    EXPECT_TRUE(fs::exists(temp() / "a.tmp"));
    // The backup page lists the backup.
    result = test::runProcess({test::cliPath(), "--prefix", prefix(), "backups", "list"},
                              {{"HOME", dir.str()}});
    EXPECT_NE(result.out.find("History Clearing Backup_"), std::string::npos) << result.out;
}

TEST_F(HistoryCommandTest, AValueThatIsNotTextIsListedByTypeAndCleared)
{
    auto result = test::runProcess({test::cliPath(), "--prefix", prefix(), "reg", "set",
                                    "HKCU\\Software\\Microsoft\\Internet Explorer\\TypedURLs",
                                    "url0", "REG_DWORD", "7"},
                                   {{"HOME", dir.str()}});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    result = history({"list", "7", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "{\"item\": 7, \"name\": \"Explorer Address's History\", \"records\": ["
                          "{\"kind\": 2, \"text\": \"(REG_DWORD value)\", \"origin\": \"url0\", "
                          "\"selected\": true}, "
                          "{\"kind\": 2, \"text\": \"http://example.org/\", \"origin\": \"url1\", "
                          "\"selected\": true}]}\n");
    result = history({"clear", "7"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("2 removed, 0 failed"), std::string::npos) << result.out;
    result = history({"list", "7", "--json"});
    EXPECT_EQ(result.out,
              "{\"item\": 7, \"name\": \"Explorer Address's History\", \"records\": []}\n");
}

TEST_F(HistoryCommandTest, ClearingFilesPutsThemInTheRecycleBin)
{
    const auto result = history({"clear", "4"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "removed  3  a.tmp  (C:\\users\\tester\\Temp\\)\n1 removed, 0 failed\n");
    EXPECT_FALSE(fs::exists(temp() / "a.tmp"));
    EXPECT_EQ(readFile(dir.path() / "data/Trash/files/a.tmp"), "temp");
    EXPECT_TRUE(fs::exists(dir.path() / "prefix/drive_c/users/tester/Recent/b.lnk"));
}

TEST_F(HistoryCommandTest, TheCacheOfAPrefixWineDidNotSetUpIsNotReadWithWine)
{
    const auto result = history({"list", "5"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("wininet.dll is missing"), std::string::npos) << result.err;
    // Wine was not run in it.
    EXPECT_FALSE(fs::exists(dir.path() / "prefix/.update-timestamp"));
    EXPECT_FALSE(fs::exists(dir.path() / "prefix/drive_c/windows"));
}

TEST_F(HistoryCommandTest, BesideRunningWineTheClearIsRefused)
{
    const std::map<std::string, std::string> env = {{"WINEPREFIX", prefix()},
                                                    {"WINEDEBUG", "-all"}};
    ASSERT_EQ(test::runProcess({"wineserver", "-p"}, env).exitCode, 0);
    struct StopServer
    {
        std::map<std::string, std::string> env;
        ~StopServer()
        {
            test::runProcess({"wineserver", "-k"}, env);
            test::runProcess({"wineserver", "-w"}, env);
        }
    } stop{env};
    const std::string hive = readFile(dir.path() / "prefix/user.reg");
    for (const char* item : {"0", "1", "4", "6"}) {
        const auto result = history({"clear", item});
        EXPECT_EQ(result.exitCode, 1) << item;
        EXPECT_NE(result.err.find("wineserver -k"), std::string::npos) << result.err;
    }
    EXPECT_EQ(readFile(dir.path() / "prefix/user.reg"), hive);
    EXPECT_TRUE(fs::exists(temp() / "a.tmp"));
    EXPECT_FALSE(fs::exists(dir.path() / "prefix/drive_c/Program Files/Tidewell"));
}

} // namespace
} // namespace tw::cli
