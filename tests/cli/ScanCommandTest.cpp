// tidewell-cli scan as a user runs it.
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

const char* kSystem = R"(
[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\Lib\\gone.dll"=dword:00000002
"C:\\Lib\\here.dll"=dword:00000002

[Software\\Microsoft\\Windows\\Help] 1
"gone.hlp"="C:\\Help\\"
)";

/// Every file below a folder with its size and time, to see that nothing changed.
std::map<std::string, std::string> snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_symlink() || !entry.is_regular_file())
            continue;
        files[entry.path().string()] =
            readFile(entry.path()) + "@" +
            std::to_string(fs::last_write_time(entry.path()).time_since_epoch().count());
    }
    return files;
}

class ScanCommandTest : public test::CliTest
{
protected:
};

TEST_F(ScanCommandTest, JsonHasTheRowsAndRecordsInOrder)
{
    PrefixBuilder(dir.path() / "prefix")
        .systemHive(kSystem)
        .userHive("\n[Software\\\\Tidewell] 1\n\"SelectAll\"=\"1\"\n")
        .file("Lib/here.dll");
    const auto result = cli({"scan", "--sections", "8,6,9", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string expected =
        "{\"prefix\": \"" + prefix() +
        "\", \"result\": \"Scan Completed!\", \"total\": 2, \"ignored\": 0, \"rows\": ["
        "{\"section\": 6, \"caption\": \"Help Files\", \"problems\": \"1\", \"status\": "
        "\"Finished\"}, "
        "{\"section\": 8, \"caption\": \"Shared Dll     \", \"problems\": \"1\", \"status\": "
        "\"Finished\"}, "
        "{\"section\": 9, \"caption\": \"Windows Fonts    \", \"problems\": \"\", \"status\": "
        "\"\"}], "
        "\"records\": {\"6\": [{\"checked\": true, \"keyPath\": "
        "\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\Help\", \"itemName\": "
        "\"gone.hlp\", \"valueName\": \"\", \"valueData\": \"C:\\\\Help\\\\gone.hlp\"}], "
        "\"8\": [{\"checked\": true, \"keyPath\": "
        "\"HKEY_LOCAL_"
        "MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\SharedDlls\", "
        "\"itemName\": \"SharedDlls\", \"valueName\": \"C:\\\\Lib\\\\gone.dll\", \"valueData\": "
        "\"2\"}], \"9\": []}}\n";
    EXPECT_EQ(test::firstDifference(result.out, expected), "");
}

TEST_F(ScanCommandTest, ScanningARealPrefixChangesNoByte)
{
    PrefixBuilder(dir.path() / "prefix").fixtureHives("wine-8.0/fresh").drive('z', "/");
    const auto before = snapshot(dir.path() / "prefix");
    const auto result = cli({"scan"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Scan Completed!"), std::string::npos);
    EXPECT_NE(result.out.find("Problems Found:"), std::string::npos);
    // The fonts Wine registers from the host (Z:) are never reported.
    EXPECT_EQ(result.out.find("Z:\\usr\\share\\fonts"), std::string::npos);
    EXPECT_EQ(snapshot(dir.path() / "prefix"), before);
}

TEST_F(ScanCommandTest, RejectsUnknownSections)
{
    PrefixBuilder(dir.path() / "prefix");
    auto result = cli({"scan", "--sections", "8,15"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("\"15\" is not a section number"), std::string::npos);
    result = cli({"scan", "--sections", "x"});
    EXPECT_EQ(result.exitCode, 2);
    result = cli({"scan", "extra"});
    EXPECT_EQ(result.exitCode, 2) << "words the command does not take are refused";
    result = cli({"scan", "--sectoins", "8"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("unknown option --sectoins"), std::string::npos) << result.err;
    result = cli({"scan", "--sections", "ALL", "--json"});
    EXPECT_EQ(result.exitCode, 0) << "all in any letter case: " << result.err;
    result = cli({"--prefix", "", "info"});
    EXPECT_EQ(result.exitCode, 1) << "an empty prefix never falls back to another prefix";
    EXPECT_NE(result.err.find("empty"), std::string::npos) << result.err;
}

TEST_F(ScanCommandTest, HelpComesFromTheCommandTable)
{
    auto result = cli({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* line : {"  scan [--sections LIST] [--json]", "  reg import FILE",
                             "  backups restore FILE", "  repair [--sections LIST] [--no-backup]"})
        EXPECT_NE(result.out.find(line), std::string::npos) << line << "\n" << result.out;
    result = cli({"backups", "--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("backups remove FILE"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("reg query"), std::string::npos) << result.out;
    result = cli({"reg", "frobnicate"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("query, set, delete, export, import"), std::string::npos)
        << result.err;
}

TEST_F(ScanCommandTest, DemoPrefixHasSomethingForEverySection)
{
    const std::string home = (dir.path() / "home").string();
    fs::create_directories(home);
    const auto result = runProcess({"env", "-u", "WINEPREFIX", "-u", "XDG_DATA_HOME", cliPath(),
                                    "scan", "--sections", "6,8,9", "--json"},
                                   {{"HOME", home}});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* expected : {"contoso.hlp", "imedemo.hlp", "contoso-shared.dll", "litware.ocx",
                                 "kernel32.dll", "contososans.ttf"})
        EXPECT_NE(result.out.find(expected), std::string::npos) << expected;
    for (const char* sound : {"tidewell.hlp", "tidewell.chm", "ntdll.dll", "present.dll",
                              "msoe.dll", "oldfilter.sys", "tidewelldemo.ttf", "DejaVu"})
        EXPECT_EQ(result.out.find(sound), std::string::npos) << sound;
}

} // namespace
} // namespace tw::cli
