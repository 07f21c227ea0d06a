// The clean actions on real files: delete, the desktop trash, and moving into one folder.
#include "cleaner/CleanJunk.h"

#include "support/PrefixFixture.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {
namespace {

namespace fs = test::fs;
using test::readFile;
using test::writeFile;

class RecordingCleanView : public CleanView
{
public:
    void cleanStarted(int max) override
    {
        maximum = max;
        rows.clear();
    }
    int addResultRow(const std::string& junkFile) override
    {
        rows.push_back({junkFile, ""});
        return static_cast<int>(rows.size()) - 1;
    }
    void setResultStatus(int row, const std::string& status) override
    {
        rows[static_cast<size_t>(row)].second = status;
    }
    void progressChanged(int position) override { progress.push_back(position); }
    void setResultReason(int row, const std::string& reason) override
    {
        reasons[rows[static_cast<size_t>(row)].first] = reason;
    }

    int maximum = -2;
    /// Why each failed row failed, by its path.
    std::map<std::string, std::string> reasons;
    std::vector<std::pair<std::string, std::string>> rows;
    std::vector<int> progress;
};

using Rows = std::vector<std::pair<std::string, std::string>>;

FoundJunkRow row(const std::string& path, bool checked = true)
{
    return {"", checked, path, std::nullopt};
}

/// A .trashinfo Path value back to the path it stands for.
std::string unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

class CleanJunkTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.file("a/x.tmp", "first")
            .file("b/x.tmp", "second")
            .file("b/keep.tmp", "kept")
            .file("c/100% done.tmp", "percent")
            .file("c/caf\xc3\xa9.log", "utf-8")
            .file("old.bak/inner/deep.txt", "deep")
            .file("old.bak/top.txt", "top")
            .folder("Junk");
    }
    void SetUp() override
    {
        PrefixTest::SetUp();
        // The desktop's trash of this test.
        const char* previous = std::getenv("XDG_DATA_HOME");
        m_previousDataHome = previous ? std::optional<std::string>(previous) : std::nullopt;
        ::setenv("XDG_DATA_HOME", (dataHome.path()).c_str(), 1);
    }
    void TearDown() override
    {
        if (m_previousDataHome)
            ::setenv("XDG_DATA_HOME", m_previousDataHome->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

    CleanOutcome clean(const std::vector<FoundJunkRow>& rows, CleanMode mode,
                       const std::string& folder = "")
    {
        return CleanJunkFiles(*session, rows, mode, folder, view);
    }
    fs::path trash() const { return dataHome.path() / "Trash"; }

    /// Puts a trashed entry back where its .trashinfo says, as a file manager restores it.
    static fs::path restore(const fs::path& trashDir, const std::string& trashedName)
    {
        const std::string info = readFile(trashDir / "info" / (trashedName + ".trashinfo"));
        std::smatch match;
        EXPECT_TRUE(std::regex_search(info, match, std::regex("\nPath=([^\n]*)\n")));
        const fs::path original = unescape(match[1]);
        fs::rename(trashDir / "files" / trashedName, original);
        fs::remove(trashDir / "info" / (trashedName + ".trashinfo"));
        return original;
    }

    test::TempDir dataHome;
    RecordingCleanView view;

private:
    std::optional<std::string> m_previousDataHome;
};

TEST_F(CleanJunkTest, DeleteRemovesTickedFilesAndGoesOnAfterAFailure)
{
    fs::remove(driveC() / "c/100% done.tmp");
    const CleanOutcome outcome =
        clean({row("C:\\a\\x.tmp"), row("C:\\b\\x.tmp", false), row("C:\\old.bak"),
               row("C:\\c\\100% done.tmp"), row("C:\\b\\keep.tmp ")},
              CleanMode::Delete);
    EXPECT_EQ(view.rows, (Rows{{"C:\\a\\x.tmp", "File Deleted"},
                               {"C:\\old.bak", "Deleted Error"},
                               {"C:\\c\\100% done.tmp", "Deleted Error"},
                               {"C:\\b\\keep.tmp ", "Deleted Error"}}));
    EXPECT_EQ(outcome.treated, 4);
    EXPECT_EQ(outcome.failed, 3);
    EXPECT_FALSE(fs::exists(driveC() / "a/x.tmp"));
    EXPECT_TRUE(fs::exists(driveC() / "b/keep.tmp"))
        << "a path is acted on as found, never trimmed into another file's name";
    EXPECT_TRUE(fs::exists(driveC() / "b/x.tmp")) << "an unticked row is left alone";
    EXPECT_TRUE(fs::exists(driveC() / "old.bak/inner/deep.txt")) << "DeleteFile takes no folder";
    EXPECT_EQ(view.maximum, 4);
    EXPECT_EQ(view.progress, (std::vector<int>{0, 0, 1, 2, 3, 4}));
    EXPECT_FALSE(fs::exists(trash()));
}

TEST_F(CleanJunkTest, AFolderSwappedForALinkAfterTheScanIsNeverFollowed)
{
    // The scan finds b\x.tmp and b\keep.tmp; then b becomes a link to a folder outside the
    // prefix that holds files of the same names.
    class Found : public JunkScanView
    {
    public:
        void clearFound() override { rows.clear(); }
        void addFound(const FoundJunkRow& row) override { rows.push_back(row); }
        std::vector<FoundJunkRow> rows;
    } found;
    JunkScan scan(*session, found);
    scan.FileTypes = {{1, "*.tmp", "Temporary files"}};
    scan.ScanSelectedDrives({"C:\\b"});
    ASSERT_EQ(found.rows.size(), 2u);
    test::TempDir outside;
    writeFile(outside.path() / "x.tmp", "outside x");
    writeFile(outside.path() / "keep.tmp", "outside keep");
    fs::remove_all(driveC() / "b");
    fs::create_directory_symlink(outside.path(), driveC() / "b");
    fs::create_directories(driveC() / "Junk");

    for (const CleanMode mode : {CleanMode::Delete, CleanMode::Recycle, CleanMode::Move}) {
        const CleanOutcome outcome = clean(found.rows, mode, "C:\\Junk");
        EXPECT_EQ(outcome.failed, 2);
        EXPECT_EQ(readFile(outside.path() / "x.tmp"), "outside x");
        EXPECT_EQ(readFile(outside.path() / "keep.tmp"), "outside keep");
    }
    EXPECT_FALSE(fs::exists(trash()));
    EXPECT_TRUE(fs::is_empty(driveC() / "Junk"));
}

TEST_F(CleanJunkTest, ACleanActsOnTheNameTheScanFoundAndNoOther)
{
    // Two files on Linux that Windows would take for one: names Windows cannot hold (a
    // trailing blank or dot) are never listed, so never found, and the clean acts on exactly
    // the name it was given.
    writeFile(driveC() / "t/trail.tmp ", "blank");
    writeFile(driveC() / "t/trail.tmp", "plain");
    writeFile(driveC() / "t/dot.tmp.", "dot");
    class Found : public JunkScanView
    {
    public:
        void clearFound() override { rows.clear(); }
        void addFound(const FoundJunkRow& row) override { rows.push_back(row); }
        std::vector<FoundJunkRow> rows;
    } found;
    JunkScan scan(*session, found);
    scan.FileTypes = {{1, "*.tmp", "Temporary files"}, {1, "*.tmp ", "With a blank"}};
    scan.ScanSelectedDrives({"C:\\t"});
    ASSERT_EQ(found.rows.size(), 1u);
    EXPECT_EQ(found.rows[0].path, "C:\\t\\trail.tmp");

    for (const CleanMode mode : {CleanMode::Recycle, CleanMode::Delete}) {
        clean(found.rows, mode);
        EXPECT_EQ(readFile(driveC() / "t/trail.tmp "), "blank");
        EXPECT_EQ(readFile(driveC() / "t/dot.tmp."), "dot");
    }
    EXPECT_EQ(view.rows, (Rows{{"C:\\t\\trail.tmp", "Deleted Error"}}))
        << "recycled first, then gone";
    EXPECT_EQ(readFile(trash() / "files/trail.tmp"), "plain");
}

TEST_F(CleanJunkTest, UntickedRowsAdvanceTheBarWithoutAResultRow)
{
    clean({row("C:\\a\\x.tmp", false), row("C:\\b\\x.tmp")}, CleanMode::Recycle);
    EXPECT_EQ(view.rows, (Rows{{"C:\\b\\x.tmp", "File Deleted"}}));
    EXPECT_EQ(view.maximum, 1);
    EXPECT_EQ(view.progress.back(), 1);
}

TEST_F(CleanJunkTest, RecycledFilesAndFoldersCanBeRestoredFromTheTrash)
{
    const CleanOutcome outcome =
        clean({row("C:\\a\\x.tmp"), row("C:\\b\\x.tmp"), row("C:\\c\\100% done.tmp"),
               row("C:\\c\\caf\xc3\xa9.log"), row("C:\\old.bak"), row("C:\\gone.tmp")},
              CleanMode::Recycle);
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_EQ(view.rows.back(),
              (std::pair<std::string, std::string>{"C:\\gone.tmp", "Deleted Error"}));
    for (const char* path : {"a/x.tmp", "b/x.tmp", "c/100% done.tmp", "old.bak"})
        EXPECT_FALSE(fs::exists(driveC() / path)) << path;

    // Every trashed entry has its information file, with the path escaped as URLs are.
    std::vector<std::string> trashed;
    for (const auto& entry : fs::directory_iterator(trash() / "files"))
        trashed.push_back(entry.path().filename().string());
    ASSERT_EQ(trashed.size(), 5u);
    const std::string percentInfo = readFile(trash() / "info" / "100% done.tmp.trashinfo");
    const std::string host = fs::canonical(driveC()).string();
    EXPECT_TRUE(
        std::regex_match(percentInfo, std::regex("\\[Trash Info\\]\nPath=" + host +
                                                 "/c/100%25%20done\\.tmp\nDeletionDate="
                                                 "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n")))
        << percentInfo;
    EXPECT_NE(readFile(trash() / "info" / "caf\xc3\xa9.log.trashinfo").find("/c/caf%C3%A9.log\n"),
              std::string::npos);

    for (const std::string& name : trashed)
        restore(trash(), name);
    EXPECT_EQ(readFile(driveC() / "a/x.tmp"), "first");
    EXPECT_EQ(readFile(driveC() / "b/x.tmp"), "second");
    EXPECT_EQ(readFile(driveC() / "c/100% done.tmp"), "percent");
    EXPECT_EQ(readFile(driveC() / "c/caf\xc3\xa9.log"), "utf-8");
    EXPECT_EQ(readFile(driveC() / "old.bak/inner/deep.txt"), "deep");
}

TEST_F(CleanJunkTest, RecycleOnAnotherFileSystemUsesTheTrashThere)
{
    struct stat shm;
    struct stat home;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(dataHome.str().c_str(), &home) != 0 ||
        shm.st_dev == home.st_dev || ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "needs /dev/shm as a writable file system of its own";
    char pattern[] = "/dev/shm/tidewell-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path other = pattern;
    const fs::path topTrash = "/dev/shm/.Trash-" + std::to_string(::getuid());
    const bool trashExisted = fs::exists(topTrash);
    writeFile(other / "elsewhere.tmp", "on tmpfs");
    test::PrefixBuilder(prefixPath()).drive('y', other);
    reopen();

    clean({row("Y:\\elsewhere.tmp")}, CleanMode::Recycle);
    EXPECT_EQ(view.rows, (Rows{{"Y:\\elsewhere.tmp", "File Deleted"}}));
    std::string trashedName;
    for (const auto& entry : fs::directory_iterator(topTrash / "files")) {
        if (entry.path().filename().string().rfind("elsewhere", 0) == 0)
            trashedName = entry.path().filename().string();
    }
    ASSERT_FALSE(trashedName.empty());
    EXPECT_EQ(restore(topTrash, trashedName), other / "elsewhere.tmp");
    EXPECT_EQ(readFile(other / "elsewhere.tmp"), "on tmpfs");
    fs::remove_all(other);
    if (!trashExisted)
        fs::remove_all(topTrash);
}

TEST_F(CleanJunkTest, ANameTheTrashCannotHoldStaysAndTheRowSaysWhy)
{
    // 255 bytes: as long as a name may be, so the trash's "<name>.trashinfo" cannot exist.
    const std::string name = std::string(251, 'n') + ".tmp";
    writeFile(driveC() / "a" / name, "longest");
    const CleanOutcome outcome = clean(
        {row("C:\\a\\" + name), row("C:\\a\\x.tmp"), row("C:\\a\\gone.tmp")}, CleanMode::Recycle);
    EXPECT_EQ(outcome.failed, 2);
    EXPECT_EQ(view.rows, (Rows{{"C:\\a\\" + name, "Deleted Error"},
                               {"C:\\a\\x.tmp", "File Deleted"},
                               {"C:\\a\\gone.tmp", "Deleted Error"}}));
    EXPECT_EQ(view.reasons["C:\\a\\" + name],
              "The name is too long for the desktop's trash: the trash keeps it with "
              "\".trashinfo\" added, past the 255 bytes a file name may have");
    EXPECT_EQ(view.reasons["C:\\a\\gone.tmp"], "No such file or directory");
    EXPECT_FALSE(view.reasons.contains("C:\\a\\x.tmp"));
    EXPECT_EQ(readFile(driveC() / "a" / name), "longest");
    EXPECT_EQ(std::distance(fs::directory_iterator(trash() / "info"), fs::directory_iterator()), 1)
        << "only x.tmp's information file, none half made";

    // A row whose file changed since the scan says so.
    FoundJunkRow changed = row("C:\\b\\keep.tmp");
    changed.id = session->files().fileId("C:\\b\\x.tmp");
    clean({changed}, CleanMode::Delete);
    EXPECT_EQ(view.reasons["C:\\b\\keep.tmp"],
              "It is gone, or is no longer the file the scan found");
    EXPECT_EQ(readFile(driveC() / "b/keep.tmp"), "kept");
}

TEST_F(CleanJunkTest, MoveKeepsEveryFileAndNeverReplacesOne)
{
    writeFile(driveC() / "Junk/keep.tmp", "already there");
    const CleanOutcome outcome =
        clean({row("C:\\a\\x.tmp"), row("C:\\b\\x.tmp"), row("C:\\old.bak"), row("C:\\b\\keep.tmp"),
               row("C:\\gone.tmp"), row("C:\\Junk\\keep.tmp")},
              CleanMode::Move, "C:\\Junk");
    EXPECT_EQ(view.rows, (Rows{{"C:\\a\\x.tmp", "File Moved"},
                               {"C:\\b\\x.tmp", "File Moved"},
                               {"C:\\old.bak", "File Moved"},
                               {"C:\\b\\keep.tmp", "File Moved"},
                               {"C:\\gone.tmp", "Moved Error"},
                               {"C:\\Junk\\keep.tmp", "Moved Error"}}));
    EXPECT_EQ(outcome.failed, 2);
    EXPECT_EQ(readFile(driveC() / "Junk/x.tmp"), "first");
    EXPECT_EQ(readFile(driveC() / "Junk/x (2).tmp"), "second");
    EXPECT_EQ(readFile(driveC() / "Junk/old.bak/inner/deep.txt"), "deep");
    EXPECT_EQ(readFile(driveC() / "Junk/keep.tmp"), "already there");
    EXPECT_EQ(readFile(driveC() / "Junk/keep (2).tmp"), "kept");
    EXPECT_FALSE(fs::exists(driveC() / "old.bak"));
}

TEST_F(CleanJunkTest, MoveRefusesAFolderIntoItselfAndAMissingFolder)
{
    clean({row("C:\\old.bak")}, CleanMode::Move, "C:\\old.bak\\inner");
    EXPECT_EQ(view.rows, (Rows{{"C:\\old.bak", "Moved Error"}}));
    clean({row("C:\\old.bak"), row("C:\\a\\x.tmp")}, CleanMode::Move, "C:\\No Such Folder");
    EXPECT_EQ(view.rows, (Rows{{"C:\\old.bak", "Moved Error"}, {"C:\\a\\x.tmp", "Moved Error"}}));
    EXPECT_TRUE(fs::exists(driveC() / "old.bak/inner/deep.txt"));
    EXPECT_EQ(readFile(driveC() / "a/x.tmp"), "first");
    EXPECT_FALSE(fs::exists(driveC() / "No Such Folder"));
}

TEST_F(CleanJunkTest, MoveToAnotherFileSystemCopiesThenRemoves)
{
    struct stat shm;
    struct stat here;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(driveC().c_str(), &here) != 0 ||
        shm.st_dev == here.st_dev || ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "needs /dev/shm as a writable file system of its own";
    char pattern[] = "/dev/shm/tidewell-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path other = pattern;
    const auto stamp =
        fs::last_write_time(driveC() / "old.bak/inner/deep.txt") - std::chrono::hours(48);
    fs::last_write_time(driveC() / "old.bak/inner/deep.txt", stamp);
    test::PrefixBuilder(prefixPath()).drive('y', other);
    reopen();

    clean({row("C:\\old.bak"), row("C:\\a\\x.tmp")}, CleanMode::Move, "Y:\\");
    EXPECT_EQ(view.rows, (Rows{{"C:\\old.bak", "File Moved"}, {"C:\\a\\x.tmp", "File Moved"}}));
    EXPECT_EQ(readFile(other / "old.bak/inner/deep.txt"), "deep");
    EXPECT_EQ(fs::last_write_time(other / "old.bak/inner/deep.txt"), stamp);
    EXPECT_EQ(readFile(other / "x.tmp"), "first");
    EXPECT_FALSE(fs::exists(driveC() / "old.bak"));
    EXPECT_FALSE(fs::exists(driveC() / "a/x.tmp"));
    fs::remove_all(other);
}

} // namespace
} // namespace tw
