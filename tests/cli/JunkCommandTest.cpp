// tidewell-cli junk as a user runs it: the types, the drives, the scan and the clean.
#include "support/CliFixture.h"

#include <gtest/gtest.h>

namespace tw::cli {
namespace {

using test::PrefixBuilder;
using test::readFile;
namespace fs = std::filesystem;

class JunkCommandTest : public test::CliTest
{
protected:
    void SetUp() override
    {
        PrefixBuilder(dir.path() / "prefix")
            .file("Sounds/Album/track01.wav")
            .file("Sounds/Album/track01.bak", "backup")
            .file("Sounds/old.bak/inner.tmp", "inner")
            .file("Sounds/Thumbs.db")
            .file("setup.log", "log")
            .drive('d', "../drive_d")
            .drive('z', "/");
        test::writeFile(dir.path() / "prefix/drive_d/game/save.tmp", "save");
        fs::create_directories(dir.path() / "data");
    }
    /// With the desktop's trash in the test's folder.
    test::ProcessResult junk(std::vector<std::string> args)
    {
        args.insert(args.begin(), {test::cliPath(), "--prefix", prefix(), "junk"});
        return test::runProcess(
            args, {{"HOME", dir.str()}, {"XDG_DATA_HOME", (dir.path() / "data").string()}});
    }
    fs::path fileList() const
    {
        return dir.path() / "prefix/drive_c/Program Files/Tidewell/FileList";
    }
    fs::path trash() const { return dir.path() / "data/Trash"; }
};

TEST_F(JunkCommandTest, TypesAreTheBuiltInOnesWhileTheFileIsMissing)
{
    const auto before = test::treeContents(dir.path() / "prefix");
    const auto result = junk({"types", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.rfind("{\"file\": \"" + fileList().string() +
                                   "\", \"exists\": false, \"types\": [{\"checked\": true, "
                                   "\"pattern\": \"*.swp\", \"description\": \"Temporary Junk "
                                   "Files\"}, ",
                               0),
              0u)
        << result.out;
    EXPECT_NE(result.out.find("{\"checked\": false, \"pattern\": \"readme.txt\", \"description\": "
                              "\"Readme Files\"}]}\n"),
              std::string::npos);
    EXPECT_EQ(test::treeContents(dir.path() / "prefix"), before) << "listing writes nothing";
}

TEST_F(JunkCommandTest, TypeVerbsEditTheFile)
{
    ASSERT_EQ(junk({"types", "add", "*.wav", "Sound files"}).exitCode, 0);
    ASSERT_EQ(fs::file_size(fileList()), 48u * 203u) << "the built-in types and the new one";
    ASSERT_EQ(junk({"types", "remove", "1"}).exitCode, 0);
    ASSERT_EQ(junk({"types", "check", "2", "off"}).exitCode, 0);
    const auto result = junk({"types", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\"exists\": true, \"types\": [{\"checked\": true, \"pattern\": "
                              "\"*.$$$\", \"description\": \"Temporary Junk Files\"}, "
                              "{\"checked\": false, \"pattern\": \"*.~*\""),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("{\"checked\": true, \"pattern\": \"*.wav\", \"description\": "
                              "\"Sound files\"}]}"),
              std::string::npos);

    // Bad numbers and words change nothing.
    const std::string bytes = readFile(fileList());
    for (const std::vector<std::string>& args : {std::vector<std::string>{"types", "remove", "0"},
                                                 {"types", "remove", "48"},
                                                 {"types", "check", "1", "maybe"},
                                                 {"types", "add", "  ", "blank"},
                                                 {"types", "remove", "1x"},
                                                 {"types", "remove", " 1"},
                                                 {"types", "remove", "+1"},
                                                 {"types", "remove", "01"},
                                                 {"types", "check", " 1", "on"},
                                                 {"types", "check", "1 ", "off"},
                                                 {"types", "add", "*.x"}}) {
        const auto bad = junk(args);
        EXPECT_EQ(bad.exitCode, 2) << args[1] << " \"" << args[2] << "\"";
        EXPECT_FALSE(bad.err.empty());
        if (args[1] != "add" && args[2] != "1") {
            EXPECT_NE(bad.err.find("\"" + args[2] + "\" is not a type number (1 to "),
                      std::string::npos)
                << bad.err;
        }
    }
    EXPECT_EQ(readFile(fileList()), bytes);
    EXPECT_FALSE(fs::exists(fileList().string() + ".part"));

    const auto unknown = junk({"types", "rename", "1"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown junk types command \"rename\" (add, remove, check)"),
              std::string::npos)
        << unknown.err;
    const auto help = junk({"types", "add", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("junk types add PATTERN DESCRIPTION"), std::string::npos);
    EXPECT_EQ(help.out.find("junk types remove"), std::string::npos) << help.out;
}

TEST_F(JunkCommandTest, TypesInTheFilesCodePageAreShownAsUtf8)
{
    // A FileList written on Windows holds its texts in the ANSI code page, 1252 here.
    const auto record = [](char checked, const std::string& pattern, const std::string& text) {
        std::string bytes(203, '\0');
        bytes[0] = checked;
        bytes[1] = static_cast<char>(pattern.size());
        bytes.replace(2, pattern.size(), pattern);
        bytes[102] = static_cast<char>(text.size());
        bytes.replace(103, text.size(), text);
        return bytes;
    };
    const std::string stored = record(1, "caf\xe9.tmp", "R\xe9sum\xe9 copies") +
                               record(0, "*.bak", "\x93Old\x94 files") +
                               record(1, "*.old", "caf\xc3\xa9 as UTF-8");
    test::writeFile(fileList(), stored);

    const auto json = junk({"types", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(json.out.find("\"types\": ["
                            "{\"checked\": true, \"pattern\": \"caf\xc3\xa9.tmp\", "
                            "\"description\": \"R\xc3\xa9sum\xc3\xa9 copies\"}, "
                            "{\"checked\": false, \"pattern\": \"*.bak\", "
                            "\"description\": \"\xe2\x80\x9cOld\xe2\x80\x9d files\"}, "
                            "{\"checked\": true, \"pattern\": \"*.old\", "
                            "\"description\": \"caf\xc3\xa9 as UTF-8\"}]}\n"),
              std::string::npos)
        << json.out;
    const auto text = junk({"types"});
    EXPECT_NE(text.out.find("   1 [x] caf\xc3\xa9.tmp"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("R\xc3\xa9sum\xc3\xa9 copies"), std::string::npos) << text.out;

    // Ticking a type keeps the other bytes of the file as they were.
    ASSERT_EQ(junk({"types", "check", "2", "on"}).exitCode, 0);
    std::string ticked = stored;
    ticked[203] = 1;
    EXPECT_EQ(readFile(fileList()), ticked);
}

TEST_F(JunkCommandTest, JsonStaysUtf8ForHostNamesThatAreNot)
{
    test::writeFile(dir.path() / "prefix/drive_c/Sounds/bad\xff.tmp", "x");
    const auto result = junk({"scan", "--drives", "C:", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\"C:\\\\Sounds\\\\bad\xef\xbf\xbd.tmp\""), std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find('\xff'), std::string::npos);
}

TEST_F(JunkCommandTest, DrivesAreTheFixedOnesInsideThePrefix)
{
    const auto result = junk({"drives", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.rfind("{\"drives\": [{\"root\": \"C:\", \"name\": \"Local Disk (C:)\", "
                               "\"freeMiB\": ",
                               0),
              0u)
        << result.out;
    EXPECT_NE(result.out.find("{\"root\": \"D:\", \"name\": \"Local Disk (D:)\""),
              std::string::npos);
    EXPECT_EQ(result.out.find("Z:"), std::string::npos);
}

TEST_F(JunkCommandTest, ScanListsFindsInScanOrderAndChangesNothing)
{
    const auto before = test::treeContents(dir.path() / "prefix");
    auto result = junk({"scan", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "{\"drives\": [\"C:\", \"D:\"], \"found\": ["
                          "{\"number\": 1, \"path\": \"C:\\\\Sounds\\\\Album\\\\track01.bak\"}, "
                          "{\"number\": 2, \"path\": \"C:\\\\Sounds\\\\old.bak\\\\inner.tmp\"}, "
                          "{\"number\": 3, \"path\": \"C:\\\\Sounds\\\\old.bak\"}, "
                          "{\"number\": 4, \"path\": \"C:\\\\Sounds\\\\Thumbs.db\"}, "
                          "{\"number\": 5, \"path\": \"D:\\\\game\\\\save.tmp\"}]}\n");

    // The drive tree's order, whatever order the list names them in.
    result = junk({"scan", "--drives", "d,C:\\", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.rfind("{\"drives\": [\"C:\", \"D:\"]", 0), 0u);
    result = junk({"scan", "--drives", "D:"});
    EXPECT_EQ(result.out, "     1  D:\\game\\save.tmp\n1 found on D:\n");
    EXPECT_EQ(test::treeContents(dir.path() / "prefix"), before);

    result = junk({"scan", "--drives", "Z:"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("\"Z:\" is not one of the drives the cleaner lists (C:, D:)"),
              std::string::npos)
        << result.err;
}

TEST_F(JunkCommandTest, ScanFollowsTheTicksOfTheFile)
{
    ASSERT_EQ(junk({"types", "check", "35", "on"}).exitCode, 0) << "*.log";
    ASSERT_EQ(junk({"types", "check", "6", "off"}).exitCode, 0) << "*.tmp";
    const auto result = junk({"scan", "--json"});
    EXPECT_EQ(result.out, "{\"drives\": [\"C:\", \"D:\"], \"found\": ["
                          "{\"number\": 1, \"path\": \"C:\\\\setup.log\"}, "
                          "{\"number\": 2, \"path\": \"C:\\\\Sounds\\\\Album\\\\track01.bak\"}, "
                          "{\"number\": 3, \"path\": \"C:\\\\Sounds\\\\old.bak\"}, "
                          "{\"number\": 4, \"path\": \"C:\\\\Sounds\\\\Thumbs.db\"}]}\n");
}

TEST_F(JunkCommandTest, RecycleLeavesEveryFindInTheTrash)
{
    const auto result = junk({"clean", "--mode", "recycle", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"mode\": \"recycle\", \"rows\": ["
              "{\"path\": \"C:\\\\Sounds\\\\Album\\\\track01.bak\", \"status\": \"File Deleted\"}, "
              "{\"path\": \"C:\\\\Sounds\\\\old.bak\\\\inner.tmp\", \"status\": \"File Deleted\"}, "
              "{\"path\": \"C:\\\\Sounds\\\\old.bak\", \"status\": \"File Deleted\"}, "
              "{\"path\": \"C:\\\\Sounds\\\\Thumbs.db\", \"status\": \"File Deleted\"}, "
              "{\"path\": \"D:\\\\game\\\\save.tmp\", \"status\": \"File Deleted\"}]}\n");
    EXPECT_EQ(readFile(trash() / "files/track01.bak"), "backup");
    EXPECT_TRUE(fs::is_directory(trash() / "files/old.bak"));
    EXPECT_EQ(readFile(trash() / "files/save.tmp"), "save");
    const std::string info = readFile(trash() / "info/track01.bak.trashinfo");
    EXPECT_NE(info.find("Path=" + fs::canonical(dir.path() / "prefix/drive_c").string() +
                        "/Sounds/Album/track01.bak\n"),
              std::string::npos)
        << info;
    EXPECT_TRUE(fs::exists(dir.path() / "prefix/drive_c/Sounds/Album/track01.wav"));
    EXPECT_TRUE(fs::exists(trash() / "files/Thumbs.db"));
    EXPECT_EQ(readFile(dir.path() / "prefix/drive_c/setup.log"), "log") << "*.log starts unticked";
}

TEST_F(JunkCommandTest, DeleteFailsOnAFolderAndSaysSo)
{
    const auto result = junk({"clean", "--mode", "delete", "--drives", "C:"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "File Deleted   C:\\Sounds\\Album\\track01.bak\n"
                          "File Deleted   C:\\Sounds\\old.bak\\inner.tmp\n"
                          "Deleted Error  C:\\Sounds\\old.bak  (Is a directory)\n"
                          "File Deleted   C:\\Sounds\\Thumbs.db\n"
                          "4 treated, 1 failed\n");
    EXPECT_TRUE(fs::is_directory(dir.path() / "prefix/drive_c/Sounds/old.bak"));
    EXPECT_TRUE(fs::exists(dir.path() / "prefix/drive_d/game/save.tmp"));
    EXPECT_FALSE(fs::exists(trash()));
}

TEST_F(JunkCommandTest, MoveTakesAWindowsOrAHostFolder)
{
    fs::create_directories(dir.path() / "prefix/drive_d/Kept");
    auto result = junk({"clean", "--mode", "move", "--to", "D:\\Kept", "--drives", "C:", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(
        result.out.find("{\"path\": \"C:\\\\Sounds\\\\old.bak\", \"status\": \"File Moved\"}"),
        std::string::npos);
    EXPECT_EQ(readFile(dir.path() / "prefix/drive_d/Kept/inner.tmp"), "inner");
    EXPECT_TRUE(fs::is_directory(dir.path() / "prefix/drive_d/Kept/old.bak"));

    const fs::path hostFolder = dir.path() / "prefix/drive_c/Elsewhere";
    fs::create_directories(hostFolder);
    result = junk({"clean", "--mode", "move", "--to", hostFolder.string(), "--drives", "D:"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(hostFolder / "save.tmp"), "save");
}

TEST_F(JunkCommandTest, CleanRefusesABadCommandLineBeforeChangingAnything)
{
    const auto before = test::treeContents(dir.path() / "prefix");
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"clean"},
             {"clean", "--mode", "shred"},
             {"clean", "--mode", "move"},
             {"clean", "--mode", "delete", "--to", "C:\\"},
             {"clean", "--mode", "move", "--to", "C:\\No Such Folder"},
             {"clean", "--mode", "delete", "--drives", "Q:"},
         }) {
        const auto result = junk(args);
        EXPECT_NE(result.exitCode, 0) << args.back();
        EXPECT_FALSE(result.err.empty()) << args.back();
        EXPECT_TRUE(result.out.empty()) << args.back();
    }
    EXPECT_EQ(test::treeContents(dir.path() / "prefix"), before);
    EXPECT_FALSE(fs::exists(trash()));
}

} // namespace
} // namespace tw::cli
