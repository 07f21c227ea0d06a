// Sections 7 and 1: shortcut files and Start menu order keys.
#include "scanner/sections/Shortcuts.h"

#include "ScannerTestSupport.h"

#include <sys/stat.h>

namespace tw {
namespace {

namespace fs = std::filesystem;

class ShortcutsTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder
            .systemHive(
                "\n[Software\\\\Wine\\\\Drives] 1\n\"d:\"=\"cdrom\"\n"
                "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell "
                "Folders] 1\n"
                "\"Common Programs\"=\"C:\\\\ProgramData\\\\Programs\"\n")
            .userHive("\n["
                      "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\MenuOrder"
                      "\\\\Start Menu\\\\Programs\\\\Games] 1\n"
                      "\n["
                      "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\MenuOrder"
                      "\\\\Start Menu\\\\Programs\\\\Office] 1\n"
                      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell "
                      "Folders] 1\n"
                      "\"Programs\"=\"C:\\\\users\\\\me\\\\Programs\"\n")
            .folder("ProgramData/Programs/Office")
            .folder("users/me/Programs")
            .file("Fixture/present.exe")
            .folder("Fixture/App 1.0")
            .drive('d', cd.path());
        const fs::path lnk = test::fixture("wine-8.0/varied/lnk");
        const fs::path desktop = builder.dir() / "drive_c/Desktop";
        fs::create_directories(desktop / "Sub");
        for (const char* name : {"present-file", "missing-file", "folder-with-dot",
                                 "present-folder", "missing-folder", "other-drive"})
            fs::copy_file(lnk / (std::string(name) + ".lnk"),
                          desktop / (std::string(name) + ".lnk"));
        fs::copy_file(lnk / "missing-file.lnk", desktop / "UPPER.LNK");
        fs::copy_file(lnk / "missing-file.lnk", desktop / "Sub/nested.lnk");
        fs::create_directories(desktop / "Locked");
        fs::copy_file(lnk / "missing-file.lnk", desktop / "Locked/locked.lnk");
        ::chmod((desktop / "Locked").c_str(), 0555); // read-only: attribute 17, not searched
    }
    void TearDown() override
    {
        ::chmod((driveC() / "Desktop/Locked").c_str(), 0755);
        ScannerTest::TearDown();
    }
    test::TempDir cd;
};

TEST_F(ShortcutsTest, ReadsTheTargetsWineWrote)
{
    const fs::path lnk = test::fixture("wine-8.0/varied/lnk");
    EXPECT_EQ(ReadShortcutTarget(*session, "C:\\Desktop\\present-file.lnk"),
              "C:\\Fixture\\present.exe");
    EXPECT_EQ(ReadShortcutTarget(*session, "C:\\Desktop\\missing-folder.lnk"),
              "C:\\Fixture\\Gone Folder");
    EXPECT_EQ(ReadShortcutTarget(*session, "C:\\Desktop\\other-drive.lnk"), "D:\\setup.exe");
    test::writeFile(driveC() / "broken.lnk", "not a shortcut");
    EXPECT_EQ(ReadShortcutTarget(*session, "C:\\broken.lnk"), "");
    fs::copy_file(lnk / "unicode-target.lnk", driveC() / "u.lnk");
    EXPECT_EQ(ReadShortcutTarget(*session, "C:\\u.lnk"),
              "C:\\Fixture\\Caf\xc3\xa9\\r\xc3\xa9sum\xc3\xa9.exe");
}

TEST_F(ShortcutsTest, ReportsShortcutsWhoseTargetIsGone)
{
    scanSection(7);
    std::vector<std::string> found;
    for (int i = 0; i < session->SectionContents[7].Count(); ++i)
        found.push_back(session->SectionContents[7].Items(i).Content.KeyPath + " -> " +
                        session->SectionContents[7].Items(i).Content.ValueName);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{
                         "C:\\Desktop\\Sub\\nested.lnk -> C:\\Fixture\\missing.exe",
                         "C:\\Desktop\\missing-file.lnk -> C:\\Fixture\\missing.exe",
                         "C:\\Desktop\\missing-folder.lnk -> C:\\Fixture\\Gone Folder",
                     }));
    EXPECT_EQ(row().status, RowStatus::Finished);
}

TEST_F(ShortcutsTest, AnExistingFolderWithADotInItsNameIsSound)
{
    scanSection(7);
    for (int i = 0; i < session->SectionContents[7].Count(); ++i)
        EXPECT_NE(session->SectionContents[7].Items(i).Content.ValueName, "C:\\Fixture\\App 1.0");
    fs::remove(driveC() / "Fixture/App 1.0");
    scanSection(7);
    std::vector<std::string> targets = valueNames(7);
    EXPECT_NE(std::find(targets.begin(), targets.end(), "C:\\Fixture\\App 1.0"), targets.end())
        << "once the folder is gone, the shortcut is reported";
}

TEST_F(ShortcutsTest, RepairDeletesTheShortcutFiles)
{
    session->AppSettings.SelectAll = true;
    scanSection(7);
    test::RecordingRepairView view;
    RepairSection(*session, view, 7);
    EXPECT_EQ(view.rows.size(), 3u);
    EXPECT_FALSE(fs::exists(driveC() / "Desktop/missing-file.lnk"));
    EXPECT_TRUE(fs::exists(driveC() / "Desktop/folder-with-dot.lnk"));
    EXPECT_TRUE(fs::exists(driveC() / "Desktop/present-file.lnk"));
    EXPECT_TRUE(fs::exists(driveC() / "Desktop/UPPER.LNK"));
}

TEST_F(ShortcutsTest, StartMenuOrderKeysWithoutAFolderAreReported)
{
    scanSection(1);
    ASSERT_EQ(session->SectionContents[1].Count(), 1) << "Office is among the common programs";
    const TContent& games = session->SectionContents[1].Items(0).Content;
    EXPECT_EQ(games.KeyPath, "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                             "Explorer\\MenuOrder\\Start Menu\\Programs\\Games");
    EXPECT_EQ(games.ItemName, "Games");
    session->AppSettings.SelectAll = true;
    scanSection(1);
    test::RecordingRepairView view;
    RepairSection(*session, view, 1);
    TRegistry reg(*session);
    EXPECT_FALSE(reg.PathExists("\\" + games.KeyPath.substr(18)));
    EXPECT_TRUE(
        reg.PathExists("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\"
                       "Start Menu\\Programs\\Office"));
}

/// Folders that can be reached again and again: two `x -> .` links in one folder, a link
/// back to the parent, and drive D: mapped to the prefix folder, which holds drive_c again.
class ShortcutWalkTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.file("Fixture/present.exe").drive('d', "..");
        const fs::path lnk = test::fixture("wine-8.0/varied/lnk");
        const fs::path loop = builder.dir() / "drive_c/Loop";
        fs::create_directories(loop / "Inner");
        fs::copy_file(lnk / "missing-file.lnk", loop / "Inner/broken.lnk");
        fs::copy_file(lnk / "present-file.lnk", loop / "present.lnk");
        fs::create_directory_symlink(".", loop / "again");
        fs::create_directory_symlink(".", loop / "more");
        fs::create_directory_symlink("..", loop / "Inner/up");
        // Only the D: drive reaches the prefix folder itself.
        fs::copy_file(lnk / "missing-folder.lnk", builder.dir() / "outside-c.lnk");
    }
};

TEST_F(ShortcutWalkTest, WalksEachFolderOnceAndReportsEachBrokenShortcutOnce)
{
    // A walk that goes round the links never ends: stop it well past what this prefix needs.
    constexpr int kEnough = 20000;
    view.onYield = [this] {
        if (view.yields > kEnough)
            session->OperationState = kOperationAbortScan;
    };
    scanSection(7);
    EXPECT_LE(view.yields, kEnough);
    EXPECT_EQ(row().status, RowStatus::Finished);
    std::vector<std::string> found;
    for (int i = 0; i < session->SectionContents[7].Count() && i < 10; ++i)
        found.push_back(session->SectionContents[7].Items(i).Content.KeyPath);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found,
              (std::vector<std::string>{"C:\\Loop\\Inner\\broken.lnk", "D:\\outside-c.lnk"}));
    EXPECT_EQ(session->SectionContents[7].Count(), 2);
}

TEST_F(ShortcutsTest, AnOrderKeyTwoSectionsReportIsRemovedOnceByTheRepair)
{
    // Games is a stale order key (section 1) and a history entry (section 3).
    session->AppSettings.SelectAll = true;
    scanSection(1);
    scanSection(3);
    RemovedEntries removed;
    test::RecordingRepairView view;
    RepairSection(*session, view, 1, removed);
    RepairSection(*session, view, 3, removed);
    ASSERT_EQ(view.rows.size(), 3u);
    for (const auto& [problem, status] : view.rows)
        EXPECT_EQ(status, "Repair Succeed") << problem;
    TRegistry reg(*session);
    EXPECT_FALSE(reg.PathExists("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                "MenuOrder\\Start Menu\\Programs\\Games"));

    // Another run knows nothing of this one: what is gone now fails.
    test::RecordingRepairView again;
    RepairSection(*session, again, 1);
    ASSERT_EQ(again.rows.size(), 1u);
    EXPECT_EQ(again.rows[0].second, "Repair Error");
}

} // namespace
} // namespace tw
