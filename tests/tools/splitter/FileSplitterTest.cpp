// The file splitter on real files: piece contents and names, joining, failures that must
// leave every file as it was, and a file larger than 4 GiB.
#include "tools/splitter/FileSplitter.h"

#include "support/TestSupport.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tw {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

class RecordedView : public SplitterView
{
public:
    void setProgress(double position, std::int64_t maximum) override
    {
        positions.push_back(position);
        lastMaximum = maximum;
        if (onProgress)
            onProgress(position);
    }
    void pieceMissing(const std::string& path) override { missing.push_back(path); }

    std::vector<double> positions;
    std::int64_t lastMaximum = 0;
    std::vector<std::string> missing;
    std::function<void(double)> onProgress;
};

std::string pattern(size_t size, unsigned seed = 1)
{
    std::string data(size, '\0');
    unsigned x = seed;
    for (char& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return data;
}

std::vector<std::string> filesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

/// Lowers the largest file this process may write until it goes out of scope.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

TEST(FileSplitterNames, PiecesAreNumberedWithAtLeastThreeDigits)
{
    EXPECT_EQ(PieceName("C:\\Data\\movie.avi", 0), "C:\\Data\\movie.avi000.spt");
    EXPECT_EQ(PieceName("/tmp/a", 7), "/tmp/a007.spt");
    EXPECT_EQ(PieceName("/tmp/a", 999), "/tmp/a999.spt");
    EXPECT_EQ(PieceName("/tmp/a", 1000), "/tmp/a1000.spt");
    EXPECT_EQ(PieceName("/tmp/a", 5000000000LL), "/tmp/a5000000000.spt");
}

TEST(FileSplitterNames, ProposedTargetDropsNumberAndExtension)
{
    EXPECT_EQ(ProposedJoinTarget({"C:\\Data\\movie.avi000.spt", "x"}), "C:\\Data\\movie.avi");
    EXPECT_EQ(ProposedJoinTarget({}), "");
    EXPECT_EQ(ProposedJoinTarget({"a.spt"}), "");
}

TEST(FileSplitterNames, SizeTableAndCustomSizes)
{
    const auto choices = PieceSizeChoices();
    ASSERT_EQ(choices.size(), 7u);
    EXPECT_EQ(choices[0].label, "360K");
    EXPECT_EQ(choices[0].bytes, 355870);
    EXPECT_EQ(choices[3].bytes, 1457660);
    EXPECT_EQ(choices[5].bytes, 102400000);
    EXPECT_EQ(choices[6].bytes, kCustomPieceSize);
    EXPECT_EQ(ParsePieceSize(" 1000 "), 1000);
    EXPECT_EQ(ParsePieceSize("0"), 0);
    EXPECT_EQ(ParsePieceSize("-5"), -5);
    EXPECT_EQ(ParsePieceSize("2147483647"), 2147483647);
    EXPECT_FALSE(ParsePieceSize("2147483648"));
    EXPECT_FALSE(ParsePieceSize("abc"));
    EXPECT_FALSE(ParsePieceSize("12k"));
    EXPECT_FALSE(ParsePieceSize(""));
}

TEST(FileSplitter, EmptyFileGivesNoPieceAndSucceeds)
{
    TempDir dir;
    writeFile(dir.path() / "empty", "");
    RecordedView view;
    const SplitOutcome outcome = SplitFile((dir.path() / "empty").string(), "", 355870, view);
    EXPECT_TRUE(outcome.ok) << outcome.error;
    EXPECT_TRUE(outcome.pieces.empty());
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"empty"});
}

TEST(FileSplitter, ExactMultipleGivesFullPiecesAndOneMoreByteAThirdPiece)
{
    TempDir dir;
    const std::string data = pattern(2 * 355870 + 1);
    writeFile(dir.path() / "exact", data.substr(0, 2 * 355870));
    writeFile(dir.path() / "more", data);
    RecordedView view;
    const std::string prefix = (dir.path() / "p").string();
    SplitOutcome outcome = SplitFile((dir.path() / "exact").string(), prefix, 355870, view);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(outcome.pieces, (std::vector<std::string>{prefix + "000.spt", prefix + "001.spt"}));
    EXPECT_EQ(readFile(prefix + "000.spt"), data.substr(0, 355870));
    EXPECT_EQ(readFile(prefix + "001.spt"), data.substr(355870, 355870));
    EXPECT_EQ(view.lastMaximum, 3);
    EXPECT_EQ(view.positions.back(), 3.0);

    outcome = SplitFile((dir.path() / "more").string(), (dir.path() / "q").string(), 355870, view);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    ASSERT_EQ(outcome.pieces.size(), 3u);
    EXPECT_EQ(readFile(outcome.pieces[2]), data.substr(2 * 355870));
}

TEST(FileSplitter, EmptyPrefixPutsPiecesBesideTheSourceAndNeverOverAnExistingFile)
{
    TempDir dir;
    const fs::path source = dir.path() / "movie.avi";
    writeFile(source, "abcdefg");
    RecordedView view;
    const SplitOutcome outcome = SplitFile(source.string(), "", 4, view);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(readFile(dir.path() / "movie.avi000.spt"), "abcd");
    EXPECT_EQ(readFile(dir.path() / "movie.avi001.spt"), "efg");
    EXPECT_EQ(filesIn(dir.path()),
              (std::vector<std::string>{"movie.avi", "movie.avi000.spt", "movie.avi001.spt"}));

    // A file that only has a piece's name (the second here) refuses the split whole.
    fs::remove(dir.path() / "movie.avi000.spt");
    writeFile(dir.path() / "movie.avi001.spt", "unrelated file");
    const SplitOutcome refused = SplitFile(source.string(), "", 4, view);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("movie.avi001.spt exists already"), std::string::npos)
        << refused.error;
    EXPECT_EQ(readFile(dir.path() / "movie.avi001.spt"), "unrelated file");
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"movie.avi", "movie.avi001.spt"}));
}

TEST(FileSplitter, AThousandPiecesAtMostEachWithThreeDigits)
{
    TempDir dir;
    const std::string data = pattern(1000);
    writeFile(dir.path() / "src", data);
    RecordedView view;
    const SplitOutcome outcome =
        SplitFile((dir.path() / "src").string(), (dir.path() / "p").string(), 1, view);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    ASSERT_EQ(outcome.pieces.size(), 1000u);
    EXPECT_EQ(outcome.pieces.back(), (dir.path() / "p999.spt").string());
    EXPECT_EQ(readFile(outcome.pieces.back()), data.substr(999));

    // One byte more would need p1000.spt, which sorts before p101.spt: refused, nothing written.
    TempDir more;
    writeFile(more.path() / "src", pattern(1001));
    const SplitOutcome refused =
        SplitFile((more.path() / "src").string(), (more.path() / "p").string(), 1, view);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.pieces.empty());
    EXPECT_NE(refused.error.find("1001 pieces"), std::string::npos) << refused.error;
    EXPECT_NE(refused.error.find("at least 2 bytes"), std::string::npos) << refused.error;
    EXPECT_EQ(filesIn(more.path()), std::vector<std::string>{"src"});
}

TEST(FileSplitter, RefusalNamesThePieceSizeThatWouldDo)
{
    // Sparse files: the refusal comes before any byte is read.
    TempDir dir;
    const fs::path big = dir.path() / "big";
    writeFile(big, "");
    fs::resize_file(big, 400000000);
    RecordedView view;
    const SplitOutcome listed = SplitFile(big.string(), "", kDefaultPieceSize, view);
    EXPECT_FALSE(listed.ok);
    EXPECT_NE(listed.error.find("1125 pieces"), std::string::npos) << listed.error;
    EXPECT_NE(listed.error.find("at least 400000 bytes (720K will do)"), std::string::npos)
        << listed.error;

    fs::resize_file(big, 200000000000LL);
    const SplitOutcome custom = SplitFile(big.string(), "", 102400000, view);
    EXPECT_FALSE(custom.ok);
    EXPECT_NE(custom.error.find("at least 200000000 bytes"), std::string::npos) << custom.error;
    EXPECT_EQ(custom.error.find("will do"), std::string::npos) << custom.error;

    fs::resize_file(big, 3000000000000LL);
    const SplitOutcome none = SplitFile(big.string(), "", 102400000, view);
    EXPECT_FALSE(none.ok);
    EXPECT_NE(none.error.find("no piece size is large enough"), std::string::npos) << none.error;
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"big"});
}

TEST(FileSplitter, JoinInListOrderReproducesSourceAndOtherOrdersPermute)
{
    TempDir dir;
    const std::string data = pattern(2500);
    writeFile(dir.path() / "src", data);
    RecordedView view;
    const SplitOutcome split =
        SplitFile((dir.path() / "src").string(), (dir.path() / "p").string(), 1000, view);
    ASSERT_TRUE(split.ok);
    const std::string target = (dir.path() / "joined").string();
    JoinOutcome join = JoinFiles(split.pieces, target, view);
    ASSERT_TRUE(join.ok) << join.error;
    EXPECT_EQ(readFile(target), data);
    EXPECT_EQ(view.lastMaximum, 4);

    join = JoinFiles({split.pieces[2], split.pieces[0], split.pieces[1]}, target, view);
    ASSERT_TRUE(join.ok) << join.error;
    EXPECT_EQ(readFile(target), data.substr(2000) + data.substr(0, 2000));
    EXPECT_EQ(filesIn(dir.path()),
              (std::vector<std::string>{"joined", "p000.spt", "p001.spt", "p002.spt", "src"}));
}

TEST(FileSplitter, AMissingPieceIsReportedAndRefusesTheJoin)
{
    TempDir dir;
    writeFile(dir.path() / "a", "AAA");
    writeFile(dir.path() / "c", "CCC");
    writeFile(dir.path() / "t", "the old target");
    RecordedView view;
    const std::string gone = (dir.path() / "b").string();
    const JoinOutcome join =
        JoinFiles({(dir.path() / "a").string(), gone, (dir.path() / "c").string()},
                  (dir.path() / "t").string(), view);
    EXPECT_FALSE(join.ok);
    EXPECT_EQ(join.error, "the piece " + gone + " is missing");
    EXPECT_EQ(view.missing, std::vector<std::string>{gone});
    EXPECT_EQ(readFile(dir.path() / "t"), "the old target") << "no short file in its place";
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"a", "c", "t"}));
}

TEST(FileSplitter, ProgressMovesWithinOnePiece)
{
    TempDir dir;
    writeFile(dir.path() / "src", pattern(5 << 20));
    RecordedView view;
    ASSERT_TRUE(
        SplitFile((dir.path() / "src").string(), (dir.path() / "p").string(), 5 << 20, view).ok);
    // One piece: the bar's last step (to its maximum minus one) is not taken, but the copy
    // reports its buffers on the way.
    EXPECT_EQ(view.lastMaximum, 2);
    const long partial = std::count_if(view.positions.begin(), view.positions.end(),
                                       [](double p) { return p > 0 && p < 1; });
    EXPECT_GE(partial, 3);
    EXPECT_TRUE(std::is_sorted(view.positions.begin(), view.positions.end()));
}

TEST(FileSplitterFailures, MissingSourceOrFolderWritesNothing)
{
    TempDir dir;
    RecordedView view;
    SplitOutcome outcome =
        SplitFile((dir.path() / "none").string(), (dir.path() / "p").string(), 10, view);
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.error.find("none"), std::string::npos) << outcome.error;
    writeFile(dir.path() / "src", "0123456789abc");
    outcome =
        SplitFile((dir.path() / "src").string(), (dir.path() / "no/such/p").string(), 10, view);
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(view.positions.size() <= 1);
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"src"});
}

TEST(FileSplitterFailures, SplitStoppedHalfWayLeavesNoPiece)
{
    TempDir dir;
    writeFile(dir.path() / "src", pattern(3000));
    RecordedView view;
    std::unique_ptr<FileSizeLimit> limit;
    // Once the first piece is complete, no file may grow beyond 10 bytes.
    view.onProgress = [&](double) {
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            if (!limit && entry.path().filename().string().starts_with("p000.spt.") &&
                entry.file_size() == 1000)
                limit = std::make_unique<FileSizeLimit>(10);
        }
    };
    const SplitOutcome outcome =
        SplitFile((dir.path() / "src").string(), (dir.path() / "p").string(), 1000, view);
    limit.reset();
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.error.find("p001.spt"), std::string::npos) << outcome.error;
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"src"}));
}

TEST(FileSplitterFailures, PieceNamedLikeTheSourceIsRefused)
{
    TempDir dir;
    const std::string data = pattern(100);
    writeFile(dir.path() / "a000.spt", data);
    RecordedView view;
    const SplitOutcome outcome =
        SplitFile((dir.path() / "a000.spt").string(), (dir.path() / "a").string(), 10, view);
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.error.find("would replace"), std::string::npos) << outcome.error;
    EXPECT_EQ(readFile(dir.path() / "a000.spt"), data);
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"a000.spt"});
}

TEST(FileSplitterFailures, TargetThatIsAListedPieceIsRefused)
{
    TempDir dir;
    writeFile(dir.path() / "p000.spt", "first");
    writeFile(dir.path() / "p001.spt", "second");
    fs::create_symlink(dir.path() / "p001.spt", dir.path() / "link");
    RecordedView view;
    const std::vector<std::string> pieces = {(dir.path() / "p000.spt").string(),
                                             (dir.path() / "p001.spt").string()};
    JoinOutcome join = JoinFiles(pieces, pieces[0], view);
    EXPECT_FALSE(join.ok);
    EXPECT_NE(join.error.find("one of the pieces"), std::string::npos) << join.error;
    // The same file under another name is the same piece.
    join = JoinFiles(pieces, (dir.path() / "link").string(), view);
    EXPECT_FALSE(join.ok);
    EXPECT_EQ(readFile(dir.path() / "p000.spt"), "first");
    EXPECT_EQ(readFile(dir.path() / "p001.spt"), "second");
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"link", "p000.spt", "p001.spt"}));
}

TEST(FileSplitterFailures, FailedJoinLeavesTheOldTargetAndNoHalfFile)
{
    TempDir dir;
    writeFile(dir.path() / "a", pattern(600, 1));
    writeFile(dir.path() / "b", pattern(600, 2));
    fs::create_directory(dir.path() / "folder");
    writeFile(dir.path() / "t", "the old target");
    const std::string target = (dir.path() / "t").string();
    RecordedView view;
    // A listed folder exists but cannot be read as a piece.
    JoinOutcome join =
        JoinFiles({(dir.path() / "a").string(), (dir.path() / "folder").string()}, target, view);
    EXPECT_FALSE(join.ok);
    EXPECT_EQ(readFile(target), "the old target");
    {
        // The disk fills after the first piece.
        FileSizeLimit limit(1000);
        join = JoinFiles({(dir.path() / "a").string(), (dir.path() / "b").string()}, target, view);
    }
    EXPECT_FALSE(join.ok);
    EXPECT_NE(join.error.find("cannot write"), std::string::npos) << join.error;
    EXPECT_EQ(readFile(target), "the old target");
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"a", "b", "folder", "t"}));
    join = JoinFiles({(dir.path() / "a").string()}, "", view);
    EXPECT_FALSE(join.ok);
}

TEST(FileSplitterTemporaries, LinksAtGuessableNamesNeitherStopNorRedirectSplitOrJoin)
{
    TempDir dir;
    const std::string data = pattern(2500);
    writeFile(dir.path() / "src", data);
    writeFile(dir.path() / "canary", "canary!!!");
    // Every name a writer could have guessed for the first piece and the joined file.
    for (const std::string& name : {std::string("p000.spt"), std::string("joined")}) {
        fs::create_symlink(dir.path() / "canary", dir.path() / (name + ".part"));
        for (int number = 2; number < 1000; ++number)
            fs::create_symlink(dir.path() / "canary",
                               dir.path() / (name + ".part" + std::to_string(number)));
    }
    RecordedView view;
    const SplitOutcome split =
        SplitFile((dir.path() / "src").string(), (dir.path() / "p").string(), 1000, view);
    ASSERT_TRUE(split.ok) << split.error;
    ASSERT_EQ(split.pieces.size(), 3u);
    const JoinOutcome join = JoinFiles(split.pieces, (dir.path() / "joined").string(), view);
    ASSERT_TRUE(join.ok) << join.error;
    EXPECT_EQ(readFile(dir.path() / "joined"), data);
    EXPECT_EQ(readFile(dir.path() / "canary"), "canary!!!");
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_TRUE(entry.is_symlink() || !entry.path().string().ends_with(".part"))
            << entry.path();
}

TEST(FileSplitterTemporaries, LeftoversOfGoneWritersGoAtTheNextSplit)
{
    TempDir dir;
    writeFile(dir.path() / "src", pattern(100));
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const std::string random = "0abc1def2ghi";
    const auto ours = [&](pid_t pid) {
        return "p000.spt.tidewell-" + std::to_string(pid) + "-" + random + ".part";
    };
    // Of the parent: a writer that runs.
    const std::vector<std::string> others = {
        ours(::getppid()), "p000.spt.tidewell-" + std::to_string(gone) + "-short.part", "mine.part",
        "p000.spt.part"};
    writeFile(dir.path() / ours(gone), "half");
    for (const std::string& name : others)
        writeFile(dir.path() / name, "keep");
    RecordedView view;
    const SplitOutcome split =
        SplitFile((dir.path() / "src").string(), (dir.path() / "p").string(), 1000, view);
    ASSERT_TRUE(split.ok) << split.error;
    EXPECT_FALSE(fs::exists(dir.path() / ours(gone)));
    for (const std::string& name : others)
        EXPECT_EQ(readFile(dir.path() / name), "keep") << name;
}

/// SHA-256 of a stream of files, read in order.
class StreamHash
{
public:
    StreamHash() : m_context(EVP_MD_CTX_new())
    {
        EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr);
    }
    ~StreamHash() { EVP_MD_CTX_free(m_context); }
    void addFile(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::vector<char> buffer(1 << 20);
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            EVP_DigestUpdate(m_context, buffer.data(), static_cast<size_t>(in.gcount()));
        }
    }
    std::string finish()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned length = 0;
        EVP_DigestFinal_ex(m_context, digest, &length);
        return std::string(reinterpret_cast<char*>(digest), length);
    }

private:
    EVP_MD_CTX* m_context;
};

TEST(FileSplitterLarge, FiveGibibyteFileSplitsAndJoinsByteForByte)
{
    TempDir dir;
    constexpr std::int64_t kSize = 5LL << 30;
    constexpr std::int64_t kPiece = 102400000;
    const fs::space_info space = fs::space(dir.path());
    if (space.available < (12ULL << 30))
        GTEST_SKIP() << "needs 12 GiB free below " << dir.str() << " for the pieces and the "
                     << "joined file; " << (space.available >> 20) << " MiB are free";
    // A sparse file with data at its start, in its middle (across a piece boundary beyond
    // 4 GiB) and at its end.
    const fs::path source = dir.path() / "big.img";
    {
        std::ofstream out(source, std::ios::binary);
        const std::string head = pattern(4096, 1), middle = pattern(8192, 2),
                          tail = pattern(4096, 3);
        out.write(head.data(), static_cast<std::streamsize>(head.size()));
        out.seekp(42 * kPiece - 4096);
        out.write(middle.data(), static_cast<std::streamsize>(middle.size()));
        out.seekp(kSize - 4096);
        out.write(tail.data(), static_cast<std::streamsize>(tail.size()));
    }
    ASSERT_EQ(static_cast<std::int64_t>(fs::file_size(source)), kSize);
    StreamHash sourceHash;
    sourceHash.addFile(source);
    const std::string expected = sourceHash.finish();

    RecordedView view;
    const std::string prefix = (dir.path() / "big.img").string();
    const SplitOutcome split = SplitFile(source.string(), "", kPiece, view);
    ASSERT_TRUE(split.ok) << split.error;
    fs::remove(source);
    ASSERT_EQ(split.pieces.size(), 53u);
    EXPECT_EQ(split.pieces.front(), prefix + "000.spt");
    EXPECT_EQ(split.pieces.back(), prefix + "052.spt");
    EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(split.pieces[51])), kPiece);
    EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(split.pieces.back())), kSize - 52 * kPiece);
    EXPECT_EQ(view.lastMaximum, kSize / kPiece + 1);

    const std::string target = (dir.path() / "joined.img").string();
    const JoinOutcome join = JoinFiles(split.pieces, target, view);
    for (const std::string& piece : split.pieces)
        fs::remove(piece);
    ASSERT_TRUE(join.ok) << join.error;
    ASSERT_EQ(static_cast<std::int64_t>(fs::file_size(target)), kSize);
    StreamHash joinedHash;
    joinedHash.addFile(target);
    EXPECT_EQ(joinedHash.finish(), expected);
}

} // namespace
} // namespace tw
