// The history cleaner on a prefix Wine set up, with traces Wine itself made: URL cache
// entries and cookies from Wine's WinINet, Run history and typed addresses from `wine reg`.
#include "platform/wine/DesktopTrash.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineUrlCache.h"
#include "registry/Session.h"
#include "support/RealWinePrefix.h"
#include "support/TestSupport.h"
#include "tools/history/HistoryCleaner.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>

namespace tw {
namespace {

namespace fs = test::fs;
using test::runProcess;
using test::TempDir;

class HistoryWine : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_root = new TempDir;
        fs::create_directories(s_root->path() / "home");
        fs::create_directories(s_root->path() / "data");
        // The helper runs wine with this process's environment.
        ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d", 1);
        ::setenv("XDG_DATA_HOME", (s_root->path() / "data").c_str(), 1);
        if (wine::urlCacheHelperPath().empty()) {
            s_skip = "tidewell-urlcache.exe was not built (no x86_64-w64-mingw32-gcc)";
            return;
        }
        if (!test::wineInstalled())
            s_skip = "wine is not installed";
        else
            s_bootError = test::copyBootedPrefix(prefixDir());
    }
    static void TearDownTestSuite()
    {
        runProcess({"wineserver", "-k"}, wineEnv());
        runProcess({"wineserver", "-w"}, wineEnv());
        ::unsetenv("XDG_DATA_HOME");
        delete s_root;
        s_root = nullptr;
    }
    void SetUp() override
    {
        if (!s_skip.empty())
            GTEST_SKIP() << s_skip;
        ASSERT_TRUE(s_bootError.empty()) << s_bootError;
        open();
        // Each test starts from an empty cache.
        std::vector<std::string> urls;
        for (const platform::UrlCacheEntry& entry : prefix->urlCache().entries().entries)
            urls.push_back(entry.sourceUrl);
        prefix->urlCache().deleteEntries(urls);
        ASSERT_TRUE(prefix->urlCache().entries().entries.empty());
    }
    void TearDown() override
    {
        session.reset();
        prefix.reset();
    }

    void open()
    {
        session.reset();
        prefix.reset();
        prefix = std::make_unique<wine::WinePrefix>(prefixDir().string());
        session = std::make_unique<Session>(prefix->platform());
        session->PlatformKind = 4;
    }

    static fs::path prefixDir() { return s_root->path() / "prefix"; }
    static std::map<std::string, std::string> wineEnv()
    {
        return {{"WINEPREFIX", prefixDir().string()},
                {"HOME", (s_root->path() / "home").string()},
                {"WINEDEBUG", "-all"},
                {"WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d"},
                {"DISPLAY", ""}};
    }
    /// Runs a Wine program and waits until Wine has written the registry back.
    static test::ProcessResult wine(std::vector<std::string> args)
    {
        args.insert(args.begin(), test::wineLoader64());
        auto result = runProcess(args, wineEnv());
        runProcess({"wineserver", "-w"}, wineEnv());
        return result;
    }
    /// The profile folder Wine made for the user.
    fs::path profile() const
    {
        for (const auto& entry : fs::directory_iterator(prefixDir() / "drive_c/users"))
            if (entry.path().filename() != "Public")
                return entry.path();
        return {};
    }

    std::vector<std::string> listedTexts(int row)
    {
        HistoryCleaner cleaner(*session);
        EXPECT_EQ(cleaner.ListItem(row), "");
        std::vector<std::string> texts;
        for (const TRecycleData& record : cleaner.records())
            texts.push_back(record.DisplayText);
        return texts;
    }
    std::vector<std::string> allCacheUrls()
    {
        std::vector<std::string> urls;
        for (const platform::UrlCacheEntry& entry : prefix->urlCache().entries().entries)
            urls.push_back(entry.sourceUrl);
        std::sort(urls.begin(), urls.end());
        return urls;
    }

    std::unique_ptr<wine::WinePrefix> prefix;
    std::unique_ptr<Session> session;

    static TempDir* s_root;
    static std::string s_skip;
    static std::string s_bootError;
};

TempDir* HistoryWine::s_root = nullptr;
std::string HistoryWine::s_skip;
std::string HistoryWine::s_bootError;

TEST_F(HistoryWine, TheCacheListsNormalEntriesButNoCookiesAndClearsOnlyTheTickedOnes)
{
    wine::WineUrlCache& cache = prefix->urlCache();
    // Four pages (one whose address needs quoting on a command line), and a cookie as
    // Windows stores it (normal and cookie type) ...
    const std::string awkward = "http://example.org/a b \"c\"\\ d\\";
    cache.seedEntries({{platform::NORMAL_CACHE_ENTRY, "http://example.org/a.html"},
                       {platform::NORMAL_CACHE_ENTRY, awkward},
                       {platform::NORMAL_CACHE_ENTRY, "http://example.org/b.html"},
                       {platform::NORMAL_CACHE_ENTRY, "http://example.org/c.html"},
                       {platform::NORMAL_CACHE_ENTRY | platform::COOKIE_CACHE_ENTRY,
                        "Cookie:tester@example.com/"}});
    // ... and one set through WinINet, which Wine stores as a cookie entry only (not normal).
    cache.setCookie("http://example.net/", "id=42; expires=Fri, 01 Jan 2100 00:00:00 GMT");
    const std::vector<std::string> before = allCacheUrls();
    ASSERT_EQ(before.size(), 6u);

    HistoryCleaner cleaner(*session);
    ASSERT_EQ(cleaner.ListItem(5), "");
    std::vector<std::pair<int, std::string>> listed;
    for (const TRecycleData& record : cleaner.records()) {
        listed.emplace_back(record.Kind, record.DisplayText);
        EXPECT_EQ(record.Origin, cleaner.folders().CacheFolder);
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::pair<int, std::string>>{{1, awkward},
                                                                {1, "http://example.org/a.html"},
                                                                {1, "http://example.org/b.html"},
                                                                {1, "http://example.org/c.html"}}));
    EXPECT_NE(cleaner.folders().CacheFolder.find("\\Content.IE5"), std::string::npos);

    // b is unticked and stays, as do the cookies.
    for (TRecycleData& record : cleaner.records())
        record.Selected = record.DisplayText != "http://example.org/b.html";
    HistoryView view;
    const HistoryClearOutcome outcome = cleaner.Clear(5, view);
    EXPECT_EQ(outcome.removed.size(), 3u);
    EXPECT_TRUE(outcome.failed.empty());
    EXPECT_TRUE(outcome.notes.empty());
    EXPECT_TRUE(outcome.backupPath.empty());
    std::vector<std::string> expected = before;
    std::erase(expected, awkward);
    std::erase(expected, "http://example.org/a.html");
    std::erase(expected, "http://example.org/c.html");
    EXPECT_EQ(allCacheUrls(), expected);
    EXPECT_EQ(listedTexts(5), std::vector<std::string>{"http://example.org/b.html"});
}

TEST_F(HistoryWine, ClearAllOnWinesOwnTracesAndWineSeesTheResult)
{
    const std::string runMru =
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
    const std::string typed = "HKCU\\Software\\Microsoft\\Internet Explorer\\TypedURLs";
    ASSERT_EQ(wine({"reg", "add", runMru, "/v", "a", "/d", "notepad\\1", "/f"}).exitCode, 0);
    ASSERT_EQ(wine({"reg", "add", runMru, "/v", "MRUList", "/d", "a", "/f"}).exitCode, 0);
    ASSERT_EQ(wine({"reg", "add", typed, "/v", "url1", "/d", "http://example.org/", "/f"}).exitCode,
              0);
    test::writeFile(profile() / "Temp/setup-log.txt", "log");
    test::writeFile(profile() / "AppData/Roaming/Microsoft/Windows/Recent/letter.doc.lnk", "lnk");
    test::writeFile(profile() / "Documents/letter.doc", "mine");
    open();
    prefix->urlCache().seedEntries({{platform::NORMAL_CACHE_ENTRY, "http://example.org/a.html"},
                                    {platform::NORMAL_CACHE_ENTRY | platform::COOKIE_CACHE_ENTRY,
                                     "Cookie:tester@example.com/"}});

    HistoryCleaner cleaner(*session);
    ASSERT_EQ(cleaner.ListItem(0), "");
    std::vector<int> kinds;
    for (const size_t index : cleaner.ShownRecords())
        kinds.push_back(cleaner.records()[index].Kind);
    // Listing "All" reads no cache (that would start Wine); its clear does. WinINet keeps
    // its history container in the History folder; the Run history after it is shown all
    // the same.
    EXPECT_EQ(std::find(kinds.begin(), kinds.end(), 1), kinds.end());
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 2), 1);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 5), 1);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 7), 2);
    EXPECT_EQ(kinds.back(), 7);

    // A single unticked row counts: MRUList stays.
    for (TRecycleData& record : cleaner.records())
        if (record.Kind == kKindRunHistory && record.Origin == "MRUList")
            record.Selected = false;
    HistoryView view;
    const HistoryClearOutcome outcome = cleaner.Clear(0, view);
    // Wine's URL history object was created; its ClearHistory is not implemented in Wine 8
    // and says so.
    EXPECT_TRUE(outcome.error.empty()) << outcome.error;
    ASSERT_TRUE(outcome.historyResult.has_value());
    EXPECT_TRUE(*outcome.historyResult == 0 || *outcome.historyResult == 0x80004001u)
        << std::hex << *outcome.historyResult;
    EXPECT_FALSE(outcome.backupPath.empty());
    // The wine runs of the clear are over; the registry's changes can be written.
    ASSERT_NO_THROW(session->storage().commit());

    EXPECT_NE(wine({"reg", "query", runMru, "/v", "a"}).exitCode, 0);
    EXPECT_EQ(wine({"reg", "query", runMru, "/v", "MRUList"}).exitCode, 0);
    EXPECT_NE(wine({"reg", "query", typed, "/v", "url1"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(profile() / "Temp/setup-log.txt"));
    EXPECT_FALSE(fs::exists(profile() / "AppData/Roaming/Microsoft/Windows/Recent/letter.doc.lnk"));
    EXPECT_TRUE(fs::exists(profile() / "Documents/letter.doc"));
    EXPECT_EQ(allCacheUrls(), std::vector<std::string>{"Cookie:tester@example.com/"});
    // The files can be brought back from the Recycle Bin.
    std::vector<std::string> trashed;
    for (const wine::TrashedItem& item : wine::trashedItemsFrom({prefixDir().string()}))
        trashed.push_back(fs::path(item.originalPath).filename().string());
    std::sort(trashed.begin(), trashed.end());
    EXPECT_NE(std::find(trashed.begin(), trashed.end(), "setup-log.txt"), trashed.end());
    EXPECT_NE(std::find(trashed.begin(), trashed.end(), "letter.doc.lnk"), trashed.end());
}

TEST_F(HistoryWine, AUrlHistoryThatWasNotClearedIsSaidByTheServiceAndTheCommandLine)
{
    HistoryCleaner cleaner(*session);
    ASSERT_EQ(cleaner.ListItem(8), "");
    HistoryView view;
    const HistoryClearOutcome outcome = cleaner.Clear(8, view);
    ASSERT_TRUE(outcome.error.empty()) << outcome.error;
    ASSERT_TRUE(outcome.historyResult.has_value());
    // Wine 8's URL history object has no ClearHistory: E_NOTIMPL.
    ASSERT_EQ(*outcome.historyResult, 0x80004001u) << std::hex << *outcome.historyResult;
    EXPECT_EQ(outcome.notes,
              std::vector<std::string>{"The URL history was not cleared: ClearHistory returned "
                                       "0x80004001, not implemented on this system"});
    session.reset();
    prefix.reset();

    std::map<std::string, std::string> env = wineEnv();
    env.erase("WINEPREFIX");
    env["XDG_DATA_HOME"] = (s_root->path() / "data").string();
    const test::ProcessResult run = runProcess(
        {test::cliPath(), "--prefix", prefixDir().string(), "history", "clear", "8", "--json"},
        env);
    runProcess({"wineserver", "-w"}, wineEnv());
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("\"urlHistory\": \"0x80004001\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"notes\": [\"The URL history was not cleared: ClearHistory "
                           "returned 0x80004001, not implemented on this system\"]"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.err.find("The URL history was not cleared"), std::string::npos) << run.err;
}

} // namespace
} // namespace tw
