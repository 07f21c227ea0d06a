// tidewell-cli split and join on host files.
#include "support/CliFixture.h"

#include <gtest/gtest.h>

namespace tw::cli {
namespace {

using test::readFile;
using test::writeFile;
namespace fs = std::filesystem;

class SplitterCommandTest : public test::CliTest
{
protected:
    void SetUp() override { test::PrefixBuilder(dir.path() / "prefix"); }
    std::string file(const std::string& name) const { return (dir.path() / name).string(); }
};

TEST_F(SplitterCommandTest, SplitsWithAPrefixAndJoinsBack)
{
    std::string data(1457660 + 10, 'x');
    for (size_t i = 0; i < data.size(); i += 4096)
        data[i] = static_cast<char>(i / 4096);
    writeFile(file("disk.img"), data);
    fs::create_directory(file("pieces"));
    const auto split =
        cli({"split", file("disk.img"), "--size", "1.44M", "--prefix", file("pieces/d"), "--json"});
    ASSERT_EQ(split.exitCode, 0) << split.err;
    EXPECT_EQ(split.out, "{\"pieces\": [\"" + file("pieces/d000.spt") + "\", \"" +
                             file("pieces/d001.spt") + "\"]}\n");
    EXPECT_EQ(fs::file_size(file("pieces/d000.spt")), 1457660u);

    const auto join =
        cli({"join", file("pieces/d000.spt"), file("pieces/d001.spt"), "--to", file("back.img")});
    ASSERT_EQ(join.exitCode, 0) << join.err;
    EXPECT_EQ(readFile(file("back.img")), data);
}

TEST_F(SplitterCommandTest, DefaultsToThreeHundredSixtyKBesideTheSource)
{
    writeFile(file("f"), std::string(355870 + 1, 'a'));
    const auto split = cli({"split", file("f")});
    ASSERT_EQ(split.exitCode, 0) << split.err;
    EXPECT_EQ(split.out,
              file("f000.spt") + "\n" + file("f001.spt") + "\n2 pieces of 355870 bytes\n");
    const auto bytes = cli({"split", file("f"), "--size", "200000", "--prefix", file("g")});
    ASSERT_EQ(bytes.exitCode, 0) << bytes.err;
    EXPECT_EQ(fs::file_size(file("g000.spt")), 200000u);
}

TEST_F(SplitterCommandTest, BadInputIsRefusedAndLosesNothing)
{
    writeFile(file("f"), "0123456789");
    for (const char* size : {"0", "-1", "1.5M", "big", "3000000000", " 100", "100 ", "+100"}) {
        const auto run = cli({"split", file("f"), "--size", size});
        EXPECT_EQ(run.exitCode, 2) << size;
        EXPECT_NE(run.err.find("not a piece size"), std::string::npos) << run.err;
    }
    const auto missing = cli({"split", file("none")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("Nothing was split"), std::string::npos) << missing.err;
    EXPECT_EQ(cli({"join", file("f")}).exitCode, 2);

    writeFile(file("a000.spt"), "abc");
    const auto onItself = cli({"join", file("a000.spt"), "--to", file("a000.spt")});
    EXPECT_EQ(onItself.exitCode, 1);
    EXPECT_NE(onItself.err.find("one of the pieces"), std::string::npos) << onItself.err;
    EXPECT_EQ(readFile(file("a000.spt")), "abc");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3)
        << "f, a000.spt and the prefix folder";
}

TEST_F(SplitterCommandTest, ExistingPieceNameRefusesTheSplitWhole)
{
    writeFile(file("f"), "0123456789");
    writeFile(file("f001.spt"), "an unrelated file");
    const auto split = cli({"split", file("f"), "--size", "4"});
    EXPECT_EQ(split.exitCode, 1);
    EXPECT_NE(split.err.find(file("f001.spt") + " exists already"), std::string::npos) << split.err;
    EXPECT_EQ(readFile(file("f001.spt")), "an unrelated file");
    EXPECT_FALSE(fs::exists(file("f000.spt")));
    EXPECT_FALSE(fs::exists(file("f002.spt")));
}

TEST_F(SplitterCommandTest, JoinWithAPieceMissingIsRefusedAndLeavesTheTarget)
{
    writeFile(file("a000.spt"), "abc");
    writeFile(file("a002.spt"), "ghi");
    writeFile(file("a"), "the old target");
    // As the shell expands a*.spt without the lost piece, as typed, and out of order.
    const std::vector<std::pair<std::vector<std::string>, std::string>> lists = {
        {{file("a000.spt"), file("a002.spt")}, file("a001.spt") + " is missing"},
        {{file("a000.spt"), file("a001.spt"), file("a002.spt")}, file("a001.spt") + " is missing"},
        {{file("a002.spt")}, file("a000.spt") + " should come where " + file("a002.spt")},
        {{file("a002.spt"), file("a000.spt")}, file("a000.spt") + " should come where"},
    };
    for (const auto& [pieces, reason] : lists) {
        std::vector<std::string> args = {"join"};
        args.insert(args.end(), pieces.begin(), pieces.end());
        args.insert(args.end(), {"--to", file("a")});
        const auto join = cli(args);
        EXPECT_EQ(join.exitCode, 1) << reason;
        EXPECT_NE(join.err.find("Nothing was joined: the piece"), std::string::npos) << join.err;
        EXPECT_NE(join.err.find(reason), std::string::npos) << join.err;
        EXPECT_EQ(readFile(file("a")), "the old target");
    }
    // Files not named as pieces are joined in the order given; each must exist.
    writeFile(file("x"), "x1");
    writeFile(file("y"), "y2");
    const auto missing = cli({"join", file("x"), file("z"), "--to", file("a")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find(file("z") + " is missing"), std::string::npos) << missing.err;
    EXPECT_EQ(readFile(file("a")), "the old target");
    const auto plain = cli({"join", file("y"), file("x"), "--to", file("a")});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(readFile(file("a")), "y2x1");
}

TEST_F(SplitterCommandTest, MoreThanAThousandPiecesAreRefusedBeforeAnyIsWritten)
{
    fs::create_directory(file("pieces"));
    writeFile(file("f"), std::string(2001, 'z'));
    const auto run = cli({"split", file("f"), "--size", "2", "--prefix", file("pieces/p")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Nothing was split: 2001 bytes in pieces of 2 bytes make 1001 pieces"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("at least 3 bytes"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_empty(file("pieces")));
    const auto fits = cli({"split", file("f"), "--size", "3", "--prefix", file("pieces/p")});
    ASSERT_EQ(fits.exitCode, 0) << fits.err;
    EXPECT_EQ(fs::file_size(file("pieces/p666.spt")), 3u);
    EXPECT_FALSE(fs::exists(file("pieces/p667.spt")));
}

TEST_F(SplitterCommandTest, HostFilesNeedNoWinePrefix)
{
    writeFile(file("f"), std::string(1000, 'y'));
    // A damaged prefix, and $WINEPREFIX naming a folder that is not there.
    fs::create_directory(file("broken"));
    writeFile(file("broken/system.reg"), "not a registry\n");
    const auto split = test::runProcess({test::cliPath(), "--prefix", file("broken"), "split",
                                         file("f"), "--size", "400", "--prefix", file("p")},
                                        {{"HOME", dir.str()}, {"WINEPREFIX", file("none")}});
    ASSERT_EQ(split.exitCode, 0) << split.err;
    EXPECT_EQ(fs::file_size(file("p002.spt")), 200u);
    const auto join = test::runProcess({test::cliPath(), "join", file("p000.spt"), file("p001.spt"),
                                        file("p002.spt"), "--to", file("back")},
                                       {{"HOME", dir.str()}, {"WINEPREFIX", file("none")}});
    ASSERT_EQ(join.exitCode, 0) << join.err;
    EXPECT_EQ(readFile(file("back")), std::string(1000, 'y'));
    EXPECT_EQ(readFile(file("broken/system.reg")), "not a registry\n");
    // Commands on the prefix still say what is wrong with it.
    const auto scan = test::runProcess({test::cliPath(), "--prefix", file("broken"), "scan"},
                                       {{"HOME", dir.str()}});
    EXPECT_EQ(scan.exitCode, 1);
    EXPECT_NE(scan.err.find("system.reg"), std::string::npos) << scan.err;
}

} // namespace
} // namespace tw::cli
