// The DLL fixer: which names it collects, and registrations under real Wine, a few at a time.
#include "tools/dllfix/DllFix.h"

#include "platform/wine/WinePrefix.h"
#include "registry/TRegistry.h"
#include "repair/BackupList.h"
#include "support/PrefixFixture.h"
#include "support/RealWinePrefix.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace tw {
namespace {

namespace fs = std::filesystem;

/// Records the status lines; stops running after `stopAfter` entries.
class RecordingView final : public DllFixView
{
public:
    explicit RecordingView(size_t stopAfter = SIZE_MAX) : m_stopAfter(stopAfter) {}
    void statusChanged(const std::string& text) override { statuses.push_back(text); }
    void yield() override {}
    bool running() override { return statuses.size() < m_stopAfter; }
    std::vector<std::string> statuses;

private:
    size_t m_stopAfter;
};

class DllFixTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        for (const char* name :
             {"windows/system32/a.dll", "windows/system32/B.DLL", "windows/system32/c.Dll",
              "windows/system32/x.dll.bak", "windows/system32/z.OCX", "windows/system32/notes.txt",
              "windows/system32/dllhost.exe", "windows/system32/ocx"})
            builder.file(name);
        builder.folder("windows/system32/y.ocx");
        builder.file("windows/system32/sub/deep.dll");
    }
};

TEST_F(DllFixTest, CollectsEveryNameThatHoldsDllOrOcxAnywhere)
{
    EXPECT_EQ(DllFixSystemFolder(*session), "C:\\windows\\system32");
    RecordingView view;
    std::vector<std::string> paths = CollectDllFiles(*session, "C:\\windows\\system32", view);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{
                         "C:\\windows\\system32\\B.DLL", "C:\\windows\\system32\\a.dll",
                         "C:\\windows\\system32\\c.Dll", "C:\\windows\\system32\\x.dll.bak",
                         "C:\\windows\\system32\\y.ocx", "C:\\windows\\system32\\z.OCX"}));
    // A status line for every entry, collected or not.
    EXPECT_NE(std::find(view.statuses.begin(), view.statuses.end(),
                        "Scanning: C:\\windows\\system32\\notes.txt"),
              view.statuses.end());
    EXPECT_EQ(RegistrationCommand("C:\\windows\\system32\\a.dll"),
              "regsvr32.exe /s \"C:\\windows\\system32\\a.dll\"");
}

TEST_F(DllFixTest, StoppedScanKeepsWhatItCollectedAndMissingFolderCollectsNothing)
{
    RecordingView all;
    const auto every = CollectDllFiles(*session, "C:\\windows\\system32", all);
    RecordingView stopped(3);
    const auto some = CollectDllFiles(*session, "C:\\windows\\system32", stopped);
    EXPECT_EQ(stopped.statuses.size(), 3u);
    EXPECT_LT(some.size(), every.size());
    EXPECT_TRUE(std::equal(some.begin(), some.end(), every.begin()));
    RecordingView none;
    EXPECT_TRUE(CollectDllFiles(*session, "C:\\windows\\nowhere", none).empty());
}

class DllFixWine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!test::wineInstalled())
            GTEST_SKIP() << "wine is not installed";
        ASSERT_EQ(test::copyBootedPrefix(prefixDir()), "");
        prefix = std::make_unique<wine::WinePrefix>(prefixDir().string());
        session = std::make_unique<Session>(prefix->platform());
    }
    void TearDown() override
    {
        if (fs::exists(prefixDir()))
            test::stopWine(prefixDir());
    }
    fs::path prefixDir() const { return dir.path() / "prefix"; }

    test::TempDir dir;
    std::unique_ptr<wine::WinePrefix> prefix;
    std::unique_ptr<Session> session;
};

TEST_F(DllFixWine, CollectsExactlyTheLibrariesOfARealSystemFolder)
{
    std::vector<std::string> expected;
    for (const auto& entry : fs::directory_iterator(prefixDir() / "drive_c/windows/system32")) {
        std::string name = entry.path().filename().string();
        std::string upper = name;
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        if (upper.find(".DLL") != std::string::npos || upper.find(".OCX") != std::string::npos)
            expected.push_back("C:\\windows\\system32\\" + name);
    }
    RecordingView view;
    std::vector<std::string> collected =
        CollectDllFiles(*session, DllFixSystemFolder(*session), view);
    std::sort(expected.begin(), expected.end());
    std::sort(collected.begin(), collected.end());
    EXPECT_GT(collected.size(), 300u);
    EXPECT_EQ(collected, expected);
}

TEST_F(DllFixWine, RegistersAFewAtATimeAndReadsWhatTheyWrote)
{
    // The filter graph class that quartz.dll registers, removed beforehand.
    const std::string clsid = "\\CLSID\\{e436ebb3-524f-11ce-9f53-0020af0ba770}";
    {
        TRegistry registry(*session);
        registry.SelectRoot(win::HKEY_CLASSES_ROOT);
        ASSERT_TRUE(registry.RemoveKeyTree(clsid));
    }
    RecordingView view;
    std::vector<std::string> paths = CollectDllFiles(*session, DllFixSystemFolder(*session), view);
    paths.resize(7);
    paths.push_back("C:\\windows\\system32\\quartz.dll");

    RegistrationQueue queue(*session, paths, 3);
    while (queue.pump()) {
        EXPECT_TRUE(prefix->isReadOnly());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(queue.started(), paths.size());
    EXPECT_EQ(queue.ended(), paths.size());
    EXPECT_EQ(queue.firstError(), "");
    // Not every library of the folder can register itself; quartz.dll does.
    for (const RegistrationFailure& failure : queue.failures())
        EXPECT_NE(failure.path, paths.back()) << failure.reason;
    EXPECT_LE(queue.peakRunning(), 3u);
    EXPECT_GE(queue.peakRunning(), 2u) << "they do run side by side";

    session->programs().waitUntilIdle();
    EXPECT_FALSE(prefix->isReadOnly());
    TRegistry registry(*session);
    registry.SelectRoot(win::HKEY_CLASSES_ROOT);
    EXPECT_TRUE(registry.PathExists(clsid)) << "the registration's key is read back";
    // The whole registry as it was before is in a backup of the backup page.
    ASSERT_EQ(ListBackups(*session).size(), 1u);
    EXPECT_GT(fs::file_size(*prefix->platform().files->unixFileName(ListBackups(*session)[0].path)),
              1000000u);
}

TEST_F(DllFixWine, CountsOnlyWhatRegsvr32RegisteredAndNamesTheRest)
{
    test::writeFile(prefixDir() / "drive_c/windows/system32/tidewell-text.dll", "no library");
    const std::string text = "C:\\windows\\system32\\tidewell-text.dll";
    const std::string gone = "C:\\windows\\system32\\tidewell-gone.dll";
    RegistrationQueue queue(*session, {text, "C:\\windows\\system32\\quartz.dll", gone});
    while (queue.pump())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    session->programs().waitUntilIdle();

    EXPECT_EQ(queue.started(), 3u);
    EXPECT_EQ(queue.registered(), 1u);
    EXPECT_EQ(queue.ended(), 3u);
    std::vector<std::string> failed;
    for (const RegistrationFailure& failure : queue.failures()) {
        failed.push_back(failure.path);
        EXPECT_EQ(failure.reason.rfind("regsvr32 returned ", 0), 0u) << failure.reason;
        EXPECT_NE(failure.reason, "regsvr32 returned 0");
    }
    std::sort(failed.begin(), failed.end());
    EXPECT_EQ(failed, (std::vector<std::string>{gone, text}));
    EXPECT_EQ(queue.firstError(), "") << "all of them started";
}

TEST_F(DllFixWine, The32BitSystemFolderIsRegisteredByThe32BitRegsvr32IntoItsOwnView)
{
    if (!test::wineRuns32Bit())
        GTEST_SKIP() << "wine32 is not installed: the prefix has no 32-bit system folder";
    EXPECT_EQ(DllFixFolders(*session),
              (std::vector<std::string>{"C:\\windows\\system32", "C:\\windows\\syswow64"}));
    const std::string library = "C:\\windows\\syswow64\\quartz.dll";
    EXPECT_EQ(RegistrationCommand(library),
              "C:\\windows\\syswow64\\regsvr32.exe /s \"" + library + "\"");
    RecordingView view;
    const std::vector<std::string> all = CollectAllDllFiles(*session, view);
    EXPECT_NE(std::find(all.begin(), all.end(), library), all.end());
    EXPECT_NE(std::find(all.begin(), all.end(), "C:\\windows\\system32\\quartz.dll"), all.end());

    // The filter graph class in each view, removed beforehand; only the 32-bit library runs.
    const std::string native = "\\Software\\Classes\\CLSID\\{e436ebb3-524f-11ce-9f53-0020af0ba770}";
    const std::string wow64 =
        "\\Software\\Classes\\Wow6432Node\\CLSID\\{e436ebb3-524f-11ce-9f53-0020af0ba770}";
    {
        TRegistry registry(*session);
        registry.SelectRoot(win::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.RemoveKeyTree(native));
        ASSERT_TRUE(registry.RemoveKeyTree(wow64));
    }
    RegistrationQueue queue(*session, {library});
    while (queue.pump())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    session->programs().waitUntilIdle();
    EXPECT_EQ(queue.registered(), 1u) << (queue.failures().empty() ? "" : queue.failures()[0].reason);

    TRegistry registry(*session);
    registry.SelectRoot(win::HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(registry.PathExists(wow64)) << "written where 32-bit programs read it";
    EXPECT_FALSE(registry.PathExists(native)) << "the 64-bit view is not the 32-bit library's";
}

TEST_F(DllFixWine, WithoutABackupNothingIsRegistered)
{
    // A file where the backup folder would go.
    test::writeFile(prefixDir() / "drive_c/Program Files/Tidewell", "in the way");
    RegistrationQueue queue(*session, {"C:\\windows\\system32\\quartz.dll"});
    EXPECT_FALSE(queue.pump());
    EXPECT_EQ(queue.started(), 0u);
    EXPECT_EQ(queue.failed(), 1u);
    EXPECT_NE(queue.firstError().find("could not be backed up"), std::string::npos)
        << queue.firstError();
    EXPECT_FALSE(prefix->isReadOnly()) << "no Wine was started";
}

} // namespace
} // namespace tw
