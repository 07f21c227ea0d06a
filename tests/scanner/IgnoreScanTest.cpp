// Scans leave out what the ignore list covers, and count it.
#include "ScannerTestSupport.h"
#include "registry/IgnoreList.h"

#include <chrono>
#include <thread>

namespace tw {
namespace {

const char* kSystem = R"(
[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\Lib\\one.dll"=dword:00000000
"C:\\Lib\\two.dll"=dword:00000000
"C:\\Other\\three.dll"=dword:00000000

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo] 1
"DisplayName"="Foo"
"UninstallString"="C:\\Foo\\un.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\FooBar] 1
"DisplayName"="Foo Bar"
"UninstallString"="C:\\FooBar\\un.exe"
)";

constexpr const char* kShared = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr const char* kUninstall = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class IgnoreScanTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override { builder.systemHive(kSystem); }

    /// Stores the entries, scans sections 8 and 12 and gives what they report: SharedDlls
    /// value names and uninstall key names.
    std::vector<std::string> scanWith(std::initializer_list<IgnoreEntry> entries)
    {
        for (const IgnoreEntry& entry : entries)
            EXPECT_TRUE(AddIgnoreEntry(*session, entry));
        SectionSelection selection{};
        selection[8] = selection[12] = true;
        result = ScanSections(*session, selection, grid, view);
        std::vector<std::string> found = valueNames(8);
        const TRegistryContents& uninstall = session->SectionContents[12];
        for (int i = 0; i < uninstall.Count(); ++i)
            found.push_back(uninstall.Items(i).Content.ItemName);
        return found;
    }

    ScanResult result;
};

using Found = std::vector<std::string>;

TEST_F(IgnoreScanTest, NothingIgnoredReportsEveryFinding)
{
    EXPECT_EQ(scanWith({}), (Found{"C:\\Lib\\one.dll", "C:\\Lib\\two.dll", "C:\\Other\\three.dll",
                                   "Foo", "FooBar"}));
    EXPECT_EQ(result.ignored, 0);
    EXPECT_EQ(result.totalProblems, 5);
}

TEST_F(IgnoreScanTest, KeyEntryHidesThatKeyAndKeysBelowItOnly)
{
    // Written in another case: "Foo" leaves its sibling "FooBar" alone.
    EXPECT_EQ(scanWith({IgnoreKeyEntry(
                  "hklm\\SOFTWARE\\microsoft\\windows\\currentversion\\UNINSTALL\\foo")}),
              (Found{"C:\\Lib\\one.dll", "C:\\Lib\\two.dll", "C:\\Other\\three.dll", "FooBar"}));
    EXPECT_EQ(result.ignored, 1);
    EXPECT_EQ(result.totalProblems, 4);
    EXPECT_EQ(grid.rows[1].problems, 1);
    EXPECT_EQ(grid.rows[1].ignored, 1);
}

TEST_F(IgnoreScanTest, KeyEntryCoversEveryKeyBeneathIt)
{
    EXPECT_EQ(scanWith({IgnoreKeyEntry(kUninstall)}),
              (Found{"C:\\Lib\\one.dll", "C:\\Lib\\two.dll", "C:\\Other\\three.dll"}));
    EXPECT_EQ(result.ignored, 2);
}

TEST_F(IgnoreScanTest, ValueEntryHidesExactlyThatValue)
{
    EXPECT_EQ(scanWith({IgnoreValueEntry(kShared, "c:\\lib\\ONE.DLL"),
                        // The uninstall finding is on UninstallString, not on DisplayName.
                        IgnoreValueEntry(std::string(kUninstall) + "\\Foo", "DisplayName"),
                        // A value of that name on the parent key is another value.
                        IgnoreValueEntry(kUninstall, "UninstallString")}),
              (Found{"C:\\Lib\\two.dll", "C:\\Other\\three.dll", "Foo", "FooBar"}));
    EXPECT_EQ(result.ignored, 1);

    EXPECT_EQ(scanWith({IgnoreValueEntry(std::string(kUninstall) + "\\FOOBAR", "uninstallstring")}),
              (Found{"C:\\Lib\\two.dll", "C:\\Other\\three.dll", "Foo"}));
    EXPECT_EQ(result.ignored, 2);
}

TEST_F(IgnoreScanTest, FilePatternHidesFindingsOnMatchingFiles)
{
    // SharedDlls name their file in the value name, uninstall entries in the command.
    EXPECT_EQ(scanWith({IgnoreFileEntry("c:\\LIB\\*.DLL"), IgnoreFileEntry("C:\\Foo?ar\\*")}),
              (Found{"C:\\Other\\three.dll", "Foo"}));
    EXPECT_EQ(result.ignored, 3);
}

TEST_F(IgnoreScanTest, FilePatternMatchesTheWholePath)
{
    EXPECT_EQ(
        scanWith({IgnoreFileEntry("C:\\Lib\\one.dl"), IgnoreFileEntry("C:\\Lib"),
                  IgnoreFileEntry("C:\\Foo\\un.exe?")}),
        (Found{"C:\\Lib\\one.dll", "C:\\Lib\\two.dll", "C:\\Other\\three.dll", "Foo", "FooBar"}));
    EXPECT_EQ(result.ignored, 0);
}

TEST_F(IgnoreScanTest, SecondThreadLeavesOutAndCountsTheSame)
{
    ASSERT_TRUE(prefix->platform().sideReader);
    ASSERT_TRUE(AddIgnoreEntry(*session, IgnoreFileEntry("C:\\Lib\\*")));
    ASSERT_TRUE(AddIgnoreEntry(*session, IgnoreKeyEntry(std::string(kUninstall) + "\\Foo")));
    SectionSelection selection{};
    selection[0] = selection[8] = selection[12] = true;
    // Section 0 runs on the first thread; the pause before it lets the second take 8 and 12.
    bool paused = false;
    struct PausingView : test::RecordingView
    {
        bool* paused = nullptr;
        void progressChanged(int) override
        {
            if (!*paused)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            *paused = true;
        }
    } pausing;
    pausing.paused = &paused;
    result = ScanSections(*session, selection, grid, pausing);
    ASSERT_TRUE(grid.rows[1].ranBeside && grid.rows[2].ranBeside)
        << "sections 8 and 12 were to run on the second thread";
    EXPECT_EQ(grid.rows[1].ignored, 2);
    EXPECT_EQ(grid.rows[2].ignored, 1);
    EXPECT_EQ(result.ignored, 3);
    EXPECT_EQ(valueNames(8), (Found{"C:\\Other\\three.dll"}));
}

class OwnSettingsScanTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.userHive("\n[Software\\\\Tidewell] 1\n\n[Software\\\\Tidewell\\\\Ignore] 1\n\n"
                         "[Software\\\\Tidewell Old] 1\n");
    }
};

TEST_F(OwnSettingsScanTest, EmptyKeysNeverReportsTidewellsOwnKeys)
{
    scanSection(13);
    std::vector<std::string> keys;
    const TRegistryContents& contents = session->SectionContents[13];
    for (int i = 0; i < contents.Count(); ++i)
        keys.push_back(contents.Items(i).Content.KeyPath.substr(
            contents.Items(i).Content.KeyPath.find("\\Software")));
    EXPECT_EQ(keys, (Found{"\\Software\\Tidewell Old"}));
    EXPECT_EQ(row().ignored, 0) << "not an ignored finding, never one";
}

} // namespace
} // namespace tw
