// The history cleaner on prefixes built in temporary folders: what each item lists, what its
// clear removes (and nothing else), the backup of removed values, Cancel and refusals.
#include "tools/history/HistoryCleaner.h"

#include "platform/RegFile.h"
#include "platform/wine/DesktopTrash.h"
#include "platform/wine/WineFiles.h"
#include "registry/TRegistry.h"
#include "repair/BackupList.h"
#include "support/PrefixFixture.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tw {
namespace {

namespace fs = test::fs;
using test::readFile;
using test::writeFile;

constexpr const char* kUser = "C:\\users\\tester";
constexpr const char* kRecent = "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Recent";
constexpr const char* kNetHood =
    "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Network Shortcuts";
constexpr const char* kHistory = "C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\History";
constexpr const char* kTemp = "C:\\users\\tester\\Temp\\";

const char* const kUserHive = R"(
[Environment] 1
"TEMP"="C:\\users\\tester\\Temp"
"TMP"="C:\\users\\tester\\Temp"

[Software\\Microsoft\\Internet Explorer\\TypedURLs] 1
"url1"="http://example.org/"
"url2"="http://example.net/page"

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU] 1
"a"="notepad\\1"
"b"="cmd /c dir\\1"
"MRUList"="ba"

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders] 1
"Cache"="C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\INetCache"
"History"="C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\History"
"NetHood"="C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Network Shortcuts"
"Recent"="C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Recent"
)";

/// Sets an environment variable for the life of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

struct Row
{
    int kind;
    std::string text;
    std::string origin;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row)
{
    return out << "{" << row.kind << ", " << row.text << ", " << row.origin << "}";
}

std::vector<Row> rowsOf(const std::vector<TRecycleData>& records)
{
    std::vector<Row> rows;
    for (const TRecycleData& record : records)
        rows.push_back({record.Kind, record.DisplayText, record.Origin});
    return rows;
}

/// Records what the state window is told; Cancel is pressed before the `cancelAt`-th yield.
class RecordingView : public HistoryView
{
public:
    explicit RecordingView(Session* session = nullptr, int cancelAt = -1)
        : m_session(session), m_cancelAt(cancelAt)
    {
    }
    void labelChanged(const std::string& text) override { labels.push_back(text); }
    void yield() override
    {
        if (m_session && yields++ == m_cancelAt)
            m_session->OperationState = kOperationCancelRepair;
    }
    std::vector<std::string> labels;
    int yields = 0;

private:
    Session* m_session;
    int m_cancelAt;
};

class HistoryCleanerTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.userHive(kUserHive)
            .file("users/tester/AppData/Roaming/Microsoft/Windows/Recent/report.txt.lnk", "lnk")
            .file("users/tester/AppData/Roaming/Microsoft/Windows/Recent/Budget.xls.lnk", "lnk")
            .file(
                "users/tester/AppData/Roaming/Microsoft/Windows/Network Shortcuts/share/target.lnk")
            .file("users/tester/AppData/Local/Microsoft/Windows/History/History.IE5/index.dat")
            .file("users/tester/Temp/a.tmp", "temp")
            .file("users/tester/Temp/.hidden.tmp", "hidden")
            .file("users/tester/Temp/locked.tmp", "read-only")
            .file("users/tester/Temp/build/obj/x.o", "object")
            .folder("users/tester/Temp/.cache")
            .file("users/tester/Documents/keep.doc", "mine");
        fs::permissions(builder.dir() / "drive_c/users/tester/Temp/locked.tmp",
                        fs::perms::owner_read | fs::perms::group_read);
    }

    /// As start-up finds it for a Wine prefix (the backups' format follows it).
    void sessionStarted() override { session->PlatformKind = 4; }

    fs::path userDir() const { return driveC() / "users/tester"; }
    fs::path tempDir() const { return userDir() / "Temp"; }
    fs::path recentDir() const { return userDir() / "AppData/Roaming/Microsoft/Windows/Recent"; }

    std::vector<std::string> valueNames(const char* key)
    {
        TRegistry reg(*session);
        reg.SelectRoot(win::HKEY_CURRENT_USER);
        std::vector<std::string> names;
        if (reg.OpenPath(key, false))
            reg.ListValues(names);
        return names;
    }

    /// The items of the trash whose original place is in the prefix.
    std::vector<std::string> trashed() const
    {
        std::vector<std::string> names;
        for (const wine::TrashedItem& item : wine::trashedItemsFrom({prefixPath()}))
            names.push_back(fs::path(item.originalPath).filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir data;
    ScopedEnv dataHome{"XDG_DATA_HOME", data.str()};
};

TEST_F(HistoryCleanerTest, ResolvesTheFiveFoldersFromTempPathAndShellFolders)
{
    HistoryCleaner cleaner(*session);
    EXPECT_EQ(cleaner.folders().TempFolder, kTemp);
    EXPECT_EQ(cleaner.folders().CacheFolder,
              std::string(kUser) + "\\AppData\\Local\\Microsoft\\Windows\\INetCache\\Content.IE5");
    EXPECT_EQ(cleaner.folders().NetHoodFolder, kNetHood);
    EXPECT_EQ(cleaner.folders().RecentFolder, kRecent);
    EXPECT_EQ(cleaner.folders().HistoryFolder, kHistory);
}

TEST_F(HistoryCleanerTest, EachItemListsItsKindsAndNothingElse)
{
    HistoryCleaner cleaner(*session);
    // Run history: every value in the registry's order, MRUList included.
    EXPECT_EQ(cleaner.ListItem(1), "");
    EXPECT_EQ(rowsOf(cleaner.records()),
              (std::vector<Row>{
                  {7, "notepad\\1", "a"}, {7, "cmd /c dir\\1", "b"}, {7, "ba", "MRUList"}}));
    cleaner.ListItem(2);
    EXPECT_EQ(rowsOf(cleaner.records()),
              (std::vector<Row>{{5, "Budget.xls.lnk", kRecent}, {5, "report.txt.lnk", kRecent}}));
    cleaner.ListItem(3);
    EXPECT_EQ(rowsOf(cleaner.records()), (std::vector<Row>{{4, "share", kNetHood}}));
    // Temp: a plain file, a folder and a hidden folder; not the hidden (0x22) nor the
    // read-only (0x21) file.
    cleaner.ListItem(4);
    EXPECT_EQ(rowsOf(cleaner.records()),
              (std::vector<Row>{{3, ".cache", kTemp}, {3, "a.tmp", kTemp}, {3, "build", kTemp}}));
    cleaner.ListItem(6);
    EXPECT_TRUE(cleaner.records().empty());
    cleaner.ListItem(7);
    EXPECT_EQ(rowsOf(cleaner.records()),
              (std::vector<Row>{{2, "http://example.org/", "url1"},
                                {2, "http://example.net/page", "url2"}}));
    cleaner.ListItem(8);
    EXPECT_EQ(rowsOf(cleaner.records()), (std::vector<Row>{{6, "History.IE5", kHistory}}));
    for (const TRecycleData& record : cleaner.records())
        EXPECT_TRUE(record.Selected);
}

TEST_F(HistoryCleanerTest, AllShowsTheRunHistoryAfterTheHistoryFolder)
{
    HistoryCleaner cleaner(*session);
    // "All" leaves the URL cache out (reading it starts Wine), so this prefix, which Wine
    // did not set up, lists without a problem.
    EXPECT_EQ(cleaner.ListItem(0), "");
    std::vector<int> kinds;
    for (const TRecycleData& record : cleaner.records())
        kinds.push_back(record.Kind);
    EXPECT_EQ(kinds, (std::vector<int>{2, 2, 3, 3, 3, 4, 5, 5, 6, 7, 7, 7}));
    // Every record but the History folder's is shown, the Run history after it too.
    std::vector<int> shownKinds;
    for (const size_t index : cleaner.ShownRecords())
        shownKinds.push_back(cleaner.records()[index].Kind);
    EXPECT_EQ(shownKinds, (std::vector<int>{2, 2, 3, 3, 3, 4, 5, 5, 7, 7, 7}));
}

TEST_F(HistoryCleanerTest, ValuesThatAreNotTextAreListedByTypeAndClearedWithTheOthers)
{
    writeFile(fs::path(prefixPath()) / "user.reg",
              test::hiveText("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000",
                             "\n[Software\\\\Microsoft\\\\Internet Explorer\\\\TypedURLs] 1\n"
                             "\"url1\"=hex:01,02\n\"url2\"=\"http://example.org/\"\n"
                             "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\"
                             "RunMRU] 1\n\"a\"=\"one\"\n\"b\"=dword:00000001\n\"c\"=\"three\"\n"));
    reopen();
    HistoryCleaner cleaner(*session);
    EXPECT_EQ(cleaner.ListItem(1), "");
    EXPECT_EQ(
        rowsOf(cleaner.records()),
        (std::vector<Row>{{7, "one", "a"}, {7, "(REG_DWORD value)", "b"}, {7, "three", "c"}}));
    cleaner.ListItem(0);
    std::vector<Row> values;
    for (const Row& row : rowsOf(cleaner.records()))
        if (row.kind == kKindTypedUrl || row.kind == kKindRunHistory)
            values.push_back(row);
    EXPECT_EQ(values, (std::vector<Row>{{2, "(REG_BINARY value)", "url1"},
                                        {2, "http://example.org/", "url2"},
                                        {7, "one", "a"},
                                        {7, "(REG_DWORD value)", "b"},
                                        {7, "three", "c"}}));

    cleaner.ListItem(1);
    RecordingView view;
    const HistoryClearOutcome outcome = cleaner.Clear(1, view);
    EXPECT_TRUE(outcome.failed.empty());
    EXPECT_EQ(outcome.removed.size(), 3u);
    EXPECT_TRUE(valueNames(kRunMruKey).empty());
    // The backup gives the number back as a number.
    const std::string bytes = readFile(*prefix->files().unixFileName(outcome.backupPath));
    platform::applyRegFile(session->registry(), platform::parseRegFile(bytes));
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenPath(kRunMruKey, false));
    EXPECT_EQ(reg.ReadNumber("b"), 1);

    cleaner.ListItem(7);
    EXPECT_EQ(cleaner.Clear(7, view).removed.size(), 2u);
    EXPECT_TRUE(valueNames(kTypedUrlsKey).empty());
}

TEST_F(HistoryCleanerTest, ClearingRunHistoryRemovesOnlyTheTickedValuesAfterABackup)
{
    HistoryCleaner cleaner(*session);
    cleaner.ListItem(1);
    cleaner.records()[2].Selected = false; // MRUList stays
    RecordingView view;
    const HistoryClearOutcome outcome = cleaner.Clear(1, view);
    EXPECT_FALSE(prefix->hasUnsavedChanges()) << "the clear saves the registry";
    reopen();
    EXPECT_EQ(valueNames(kRunMruKey), std::vector<std::string>{"MRUList"});
    EXPECT_EQ(valueNames(kTypedUrlsKey), (std::vector<std::string>{"url1", "url2"}));
    ASSERT_EQ(outcome.removed.size(), 2u);
    EXPECT_EQ(outcome.removed[0].origin, "a");
    EXPECT_TRUE(outcome.failed.empty());

    // The backup holds exactly the removed values and brings them back.
    ASSERT_FALSE(outcome.backupPath.empty());
    const std::vector<BackupEntry> backups = ListBackups(*session);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].path, outcome.backupPath);
    const std::string bytes = readFile(*prefix->files().unixFileName(outcome.backupPath));
    std::vector<std::string> restored;
    for (const platform::RegFileOperation& op : platform::parseRegFile(bytes))
        if (op.kind == platform::RegFileOperation::Kind::SetValue)
            restored.push_back(op.key.subKey + "|" + op.valueName);
    EXPECT_EQ(restored, (std::vector<std::string>{std::string(kRunMruKey) + "|a",
                                                  std::string(kRunMruKey) + "|b"}));
    platform::applyRegFile(session->registry(), platform::parseRegFile(bytes));
    EXPECT_EQ(valueNames(kRunMruKey), (std::vector<std::string>{"a", "b", "MRUList"}));
}

TEST_F(HistoryCleanerTest, ValuesOfAClearThatCannotBeSavedComeBackAsFailedWithoutABackup)
{
    const fs::path userReg = fs::path(prefixPath()) / "user.reg";
    const std::string otherWriter = readFile(userReg) + "\n[Software\\\\Other] 1\n";
    // Another program writes user.reg while the clear is being saved.
    prefix->hiveStore().setSaveObserver([&](wine::SaveStep step, const std::string& file) {
        if (step == wine::SaveStep::TemporaryWritten && file.find("user.reg") != std::string::npos)
            writeFile(userReg, otherWriter);
    });
    HistoryCleaner cleaner(*session);
    cleaner.ListItem(7);
    RecordingView view;
    const HistoryClearOutcome outcome = cleaner.Clear(7, view);
    EXPECT_EQ(outcome.error.rfind("The registry values were not cleared: the change could not be "
                                  "saved",
                                  0),
              0u)
        << outcome.error;
    EXPECT_TRUE(outcome.removed.empty());
    ASSERT_EQ(outcome.failed.size(), 2u);
    EXPECT_EQ(outcome.failed[0].text, "http://example.org/");
    EXPECT_EQ(outcome.failed[0].reason, "the registry could not be saved");
    EXPECT_EQ(valueNames(kTypedUrlsKey), (std::vector<std::string>{"url1", "url2"}));
    EXPECT_EQ(readFile(userReg), otherWriter);
    EXPECT_TRUE(outcome.backupPath.empty());
    EXPECT_TRUE(ListBackups(*session).empty());
}

TEST_F(HistoryCleanerTest, ClearingTypedAddressesLeavesTheRunHistory)
{
    HistoryCleaner cleaner(*session);
    cleaner.ListItem(7);
    RecordingView view;
    const HistoryClearOutcome outcome = cleaner.Clear(7, view);
    EXPECT_TRUE(valueNames(kTypedUrlsKey).empty());
    EXPECT_EQ(valueNames(kRunMruKey).size(), 3u);
    EXPECT_EQ(outcome.removed.size(), 2u);
    EXPECT_FALSE(outcome.backupPath.empty());
}

TEST_F(HistoryCleanerTest, ClearingFilesSendsTheTickedOnesToTheRecycleBin)
{
    HistoryCleaner cleaner(*session);
    cleaner.ListItem(4);
    cleaner.records()[0].Selected = false; // .cache stays
    RecordingView view;
    const HistoryClearOutcome outcome = cleaner.Clear(4, view);
    EXPECT_EQ(view.labels, (std::vector<std::string>{"a.tmp", "build"}));
    EXPECT_FALSE(fs::exists(tempDir() / "a.tmp"));
    EXPECT_FALSE(fs::exists(tempDir() / "build"));
    EXPECT_TRUE(fs::exists(tempDir() / ".cache"));
    EXPECT_TRUE(fs::exists(tempDir() / ".hidden.tmp"));
    EXPECT_TRUE(fs::exists(tempDir() / "locked.tmp"));
    EXPECT_TRUE(fs::exists(userDir() / "Documents/keep.doc"));
    // Both can be brought back: the folder with what it held.
    EXPECT_EQ(trashed(), (std::vector<std::string>{"a.tmp", "build"}));
    EXPECT_EQ(readFile(data.path() / "Trash/files/build/obj/x.o"), "object");
    EXPECT_EQ(outcome.removed.size(), 2u);
    EXPECT_TRUE(outcome.backupPath.empty());
    // Listing again shows what is left.
    cleaner.ListItem(4);
    EXPECT_EQ(rowsOf(cleaner.records()), (std::vector<Row>{{3, ".cache", kTemp}}));
}

TEST_F(HistoryCleanerTest, CancelStopsTheFileAndRunHistoryStepsOfClearAll)
{
    HistoryCleaner cleaner(*session);
    cleaner.ListItem(0);
    // Records: two typed addresses, then .cache, a.tmp, build, ...; Cancel comes in
    // before "build".
    RecordingView view(session.get(), 4);
    const HistoryClearOutcome outcome = cleaner.Clear(0, view);
    EXPECT_TRUE(outcome.cancelled);
    // The URL history step does not look at Cancel; here it cannot reach Wine's object.
    EXPECT_NE(outcome.error.find("wininet.dll is missing"), std::string::npos);
    EXPECT_EQ(view.labels, (std::vector<std::string>{".cache", "a.tmp"}));
    EXPECT_TRUE(fs::exists(tempDir() / "build"));
    EXPECT_TRUE(fs::exists(recentDir() / "report.txt.lnk"));
    // The typed addresses went before the files; the Run history stays.
    EXPECT_TRUE(valueNames(kTypedUrlsKey).empty());
    EXPECT_EQ(valueNames(kRunMruKey).size(), 3u);
}

TEST_F(HistoryCleanerTest, ABackupOfValuesThatAllStayedIsNotKept)
{
    HistoryCleaner cleaner(*session);
    cleaner.ListItem(0);
    for (TRecycleData& record : cleaner.records())
        record.Selected = record.Kind != kKindTypedUrl;
    // Cancel before the first file: the Run history step is not reached either.
    RecordingView view(session.get(), 0);
    const HistoryClearOutcome outcome = cleaner.Clear(0, view);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(valueNames(kRunMruKey).size(), 3u);
    EXPECT_EQ(valueNames(kTypedUrlsKey).size(), 2u);
    EXPECT_TRUE(outcome.backupPath.empty());
    EXPECT_TRUE(ListBackups(*session).empty());
}

TEST_F(HistoryCleanerTest, EmptyingTheRecycleBinRemovesOnlyThisPrefixsItems)
{
    // One item trashed from this prefix, one of the user's own files elsewhere.
    ASSERT_TRUE(session->shell().recycle("C:\\users\\tester\\Temp\\a.tmp"));
    test::TempDir elsewhere;
    writeFile(elsewhere.path() / "holiday.jpg", "photo");
    ASSERT_TRUE(wine::moveToDesktopTrash((elsewhere.path() / "holiday.jpg").string()));
    ASSERT_EQ(trashed(), std::vector<std::string>{"a.tmp"});

    HistoryCleaner cleaner(*session);
    cleaner.ListItem(6);
    EXPECT_TRUE(cleaner.records().empty());
    RecordingView view;
    const HistoryClearOutcome outcome = cleaner.Clear(6, view);
    ASSERT_EQ(outcome.removed.size(), 1u);
    EXPECT_EQ(outcome.removed[0].text, "C:\\users\\tester\\Temp\\a.tmp");
    EXPECT_TRUE(trashed().empty());
    EXPECT_FALSE(fs::exists(data.path() / "Trash/files/a.tmp"));
    EXPECT_EQ(readFile(data.path() / "Trash/files/holiday.jpg"), "photo");
    EXPECT_TRUE(fs::exists(data.path() / "Trash/info/holiday.jpg.trashinfo"));
}

TEST_F(HistoryCleanerTest, ABackupThatCannotBeWrittenRefusesTheWholeClear)
{
    // A file where the backup folder belongs.
    writeFile(driveC() / "Program Files/Tidewell", "in the way");
    HistoryCleaner cleaner(*session);
    cleaner.ListItem(0);
    RecordingView view;
    EXPECT_THROW(cleaner.Clear(0, view), HistoryRefused);
    EXPECT_EQ(valueNames(kRunMruKey).size(), 3u);
    EXPECT_EQ(valueNames(kTypedUrlsKey).size(), 2u);
    EXPECT_TRUE(fs::exists(tempDir() / "a.tmp"));
    EXPECT_TRUE(trashed().empty());
    EXPECT_EQ(session->OperationState, kOperationIdle);
}

TEST_F(HistoryCleanerTest, BesideRunningWineEveryClearIsRefusedWhole)
{
    const std::map<std::string, std::string> env = {{"WINEPREFIX", prefixPath()},
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
    ASSERT_TRUE(session->shell().recycle("C:\\users\\tester\\Temp\\a.tmp"));
    reopen();
    ASSERT_TRUE(prefix->isReadOnly());
    HistoryCleaner cleaner(*session);
    for (int row = 0; row < kHistoryItemCount; ++row) {
        cleaner.ListItem(row);
        RecordingView view;
        try {
            cleaner.Clear(row, view);
            ADD_FAILURE() << "row " << row << " was cleared";
        } catch (const HistoryRefused& e) {
            EXPECT_NE(std::string(e.what()).find("wineserver -k"), std::string::npos);
        }
    }
    EXPECT_EQ(valueNames(kRunMruKey).size(), 3u);
    EXPECT_TRUE(fs::exists(recentDir() / "report.txt.lnk"));
    EXPECT_EQ(trashed(), std::vector<std::string>{"a.tmp"});
    EXPECT_FALSE(fs::exists(driveC() / "Program Files/Tidewell"));
}

} // namespace
} // namespace tw
