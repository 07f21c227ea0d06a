// The startup manager on a prefix with entries planted in every place it looks at.
#include "tools/startup/StartupManager.h"

#include "platform/RegFile.h"
#include "repair/BackupList.h"
#include "repair/BackupWriter.h"
#include "support/PrefixFixture.h"

#include <cerrno>
#include <cstring>
#include <sys/xattr.h>

namespace tw {
namespace {

namespace fs = std::filesystem;

const char* kMachine = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders] 1
"Common Desktop"="C:\\users\\Public\\Desktop"
"Common StartUp"="C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"

[Software\\Microsoft\\Windows\\CurrentVersion\\Run] 1
@="C:\\default.exe"
"Updater"="C:\\Machine\\upd.exe"
"Count"=dword:00000005
"Minus"=dword:ffffffff
"Expand"=str(2):"%ProgramFiles%\\App\\app.exe"
"Blob"=hex:01,02
"Multi"=str(7):"a\0b\0"
"Quad"=hex(b):05,00,00,00,00,00,00,00

[Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce] 1
"Once"="C:\\once.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup] 1
"NotListed"="C:\\sub.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\RunServices] 1
"Service"="C:\\svc.exe"
)hive";

const char* kUser = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders] 1
"Startup"="C:\\users\\me\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"

[Software\\Microsoft\\Windows\\CurrentVersion\\Run] 1
"Updater"="\"C:\\Program Files\\App\\app.exe\" /min"

[Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx] 1
"Ex"="C:\\ex.exe"
)hive";

const std::string kWinIni = "[windows]\r\nload=C:\\not-this.exe\r\n"
                            "[Load]\r\nfirst=C:\\first.exe\r\n; a comment\r\nbare\r\n"
                            "[Other]\r\nRun=x\r\n"
                            "[Run]\r\n  runner = \"C:\\run.exe\" /q \r\nsecond=C:\\second.exe\r\n"
                            "\r\n[After]\r\nz=1";

const std::string kCommon = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
const std::string kMine =
    "C:\\users\\me\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";

class StartupManagerTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kMachine).userHive(kUser).file("windows/win.ini", kWinIni);
        const std::string common = "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp/";
        const std::string mine =
            "users/me/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/";
        builder.file(common + "app.lnk", "link bytes")
            .file(common + ".dotfile")
            .file(common + "hidden.lnk")
            .file(common + "system.dat")
            .file(common + "noext")
            .folder(common + "Sub Folder")
            .file(mine + "desktop.ini")
            .file(mine + "mine.lnk");
        m_xattrs = markDos(builder.dir() / "drive_c" / (common + "hidden.lnk"), "0x2") &&
                   markDos(builder.dir() / "drive_c" / (common + "system.dat"), "0x4") &&
                   markDos(builder.dir() / "drive_c" / (mine + "desktop.ini"), "0x6");
    }
    void sessionStarted() override { session->PlatformKind = 4; }

    static bool markDos(const fs::path& file, const std::string& value)
    {
        return ::setxattr(file.c_str(), "user.DOSATTRIB", value.data(), value.size(), 0) == 0;
    }
    std::vector<StartupEntry> list()
    {
        return ListStartupEntries(*session, ReadStartupFolders(*session));
    }
    static std::vector<std::string> rowsOf(const std::vector<StartupEntry>& entries)
    {
        std::vector<std::string> rows;
        for (const StartupEntry& e : entries)
            rows.push_back(e.Kind + "|" + e.Name + "|" + e.Path);
        return rows;
    }
    const StartupEntry& find(const std::vector<StartupEntry>& entries, const std::string& row)
    {
        for (const StartupEntry& e : entries) {
            if (e.Kind + "|" + e.Name + "|" + e.Path == row)
                return e;
        }
        throw std::runtime_error("no row " + row);
    }
    std::string wholeRegistry()
    {
        return platform::exportRegFile(session->registry(), "", platform::RegFileFormat::Unicode);
    }
    fs::path winIni() const { return driveC() / "windows" / "win.ini"; }

    bool m_xattrs = false;
};

const std::vector<std::string> kListing = {
    "Startup Folder|app.lnk|" + kCommon + "\\app.lnk",
    "Startup Folder|noext|" + kCommon + "\\noext",
    "Startup Folder|Sub Folder|" + kCommon + "\\Sub Folder",
    "Startup Folder|mine.lnk|" + kMine + "\\mine.lnk",
    "Registration||C:\\default.exe",
    "Registration|Blob|",
    "Registration|Count|5",
    "Registration|Expand|%ProgramFiles%\\App\\app.exe",
    "Registration|Minus|-1",
    "Registration|Multi|",
    "Registration|Quad|",
    "Registration|Updater|C:\\Machine\\upd.exe",
    "Registration|Once|C:\\once.exe",
    "Registration|Service|C:\\svc.exe",
    "Registration|Updater|\"C:\\Program Files\\App\\app.exe\" /min",
    "Registration|Ex|C:\\ex.exe",
    "Win.ini|first|C:\\first.exe",
    "Win.ini|runner|\"C:\\run.exe\" /q",
    "Win.ini|second|C:\\second.exe",
};

TEST_F(StartupManagerTest, ListsEveryPlaceInTheWindowsOrder)
{
    if (!m_xattrs)
        GTEST_SKIP() << "the file system of the test folder keeps no user attributes";
    const std::vector<StartupEntry> entries = list();
    EXPECT_EQ(rowsOf(entries), kListing);
    const StartupEntry& user = entries[14];
    EXPECT_EQ(user.Registry.RootKey, win::HKEY_CURRENT_USER);
    EXPECT_EQ(user.Registry.KeyName, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_EQ(user.Registry.ValueName, "Updater");
    EXPECT_EQ(entries[17].WinIni.Section, "Run");
    EXPECT_EQ(entries[17].WinIni.Entry, "runner");
}

TEST_F(StartupManagerTest, MissingPlacesListNothing)
{
    fs::remove(winIni());
    fs::remove_all(driveC() / "ProgramData");
    std::vector<TFolderData> folders = ReadStartupFolders(*session);
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0].ValueName, "Common Startup");
    const std::vector<StartupEntry> entries = ListStartupEntries(*session, folders);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().Name, "mine.lnk");
    EXPECT_EQ(entries.back().Kind, kKindRegistration);
}

TEST_F(StartupManagerTest, RemovingTheUserValueLeavesTheMachineOneAndIsUndone)
{
    const std::string before = wholeRegistry();
    const StartupEntry user =
        find(list(), "Registration|Updater|\"C:\\Program Files\\App\\app.exe\" /min");
    const StartupRemoval removal = RemoveStartupEntry(*session, user);
    ASSERT_TRUE(removal.removed) << removal.error;
    ASSERT_FALSE(removal.backupPath.empty());

    reopen();
    std::vector<std::string> expected = kListing;
    std::erase(expected, "Registration|Updater|\"C:\\Program Files\\App\\app.exe\" /min");
    if (m_xattrs) {
        EXPECT_EQ(rowsOf(list()), expected) << "saved, and only that value is gone";
    }

    const BackupActionResult restored = RestoreBackup(*session, removal.backupPath);
    ASSERT_TRUE(restored.ok) << restored.error;
    EXPECT_EQ(test::firstDifference(wholeRegistry(), before), "");
}

TEST_F(StartupManagerTest, ValueThatIsGoneStaysInTheListWithoutABackup)
{
    StartupEntry gone = find(list(), "Registration|Once|C:\\once.exe");
    gone.Registry.ValueName = "Vanished";
    const StartupRemoval removal = RemoveStartupEntry(*session, gone);
    EXPECT_FALSE(removal.removed);
    EXPECT_EQ(removal.error, "");
    EXPECT_TRUE(ListBackups(*session).empty());
}

TEST_F(StartupManagerTest, FolderFileIsKeptInTheBackupAndComesBack)
{
    const fs::path file =
        driveC() / "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp/app.lnk";
    const StartupRemoval removal = RemoveStartupEntry(
        *session, find(list(), "Startup Folder|app.lnk|" + kCommon + "\\app.lnk"));
    ASSERT_TRUE(removal.removed) << removal.error;
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(
        fs::exists(driveC() / "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp/noext"));
    ASSERT_TRUE(RestoreBackup(*session, removal.backupPath).ok);
    EXPECT_EQ(test::readFile(file), "link bytes");
}

TEST_F(StartupManagerTest, SubfolderIsNotRemovedAndLeavesNoBackup)
{
    const StartupRemoval removal = RemoveStartupEntry(
        *session, find(list(), "Startup Folder|Sub Folder|" + kCommon + "\\Sub Folder"));
    EXPECT_FALSE(removal.removed);
    EXPECT_EQ(removal.error, "");
    EXPECT_TRUE(fs::is_directory(
        driveC() / "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp/Sub Folder"));
    EXPECT_TRUE(ListBackups(*session).empty());
}

TEST_F(StartupManagerTest, WinIniLosesOnlyTheEntryLineAndTheBackupBringsItBack)
{
    const StartupRemoval removal =
        RemoveStartupEntry(*session, find(list(), "Win.ini|runner|\"C:\\run.exe\" /q"));
    ASSERT_TRUE(removal.removed) << removal.error;
    std::string expected = kWinIni;
    expected.erase(expected.find("  runner"),
                   std::string("  runner = \"C:\\run.exe\" /q \r\n").size());
    EXPECT_EQ(test::firstDifference(test::readFile(winIni()), expected), "");
    EXPECT_FALSE(fs::exists(winIni().string() + ".part"));

    const StartupRemoval second =
        RemoveStartupEntry(*session, find(list(), "Win.ini|second|C:\\second.exe"));
    ASSERT_TRUE(second.removed) << second.error;
    ASSERT_TRUE(RestoreBackup(*session, second.backupPath).ok);
    EXPECT_EQ(test::firstDifference(test::readFile(winIni()), expected), "");
    ASSERT_TRUE(RestoreBackup(*session, removal.backupPath).ok);
    EXPECT_EQ(test::firstDifference(test::readFile(winIni()), kWinIni), "");
}

TEST_F(StartupManagerTest, UnicodeWinIniStaysUnicode)
{
    const std::string wide =
        "\xFF\xFE" + std::string("[\0R\0u\0n\0]\0\r\0\n\0a\0=\0b\0\r\0\n\0c\0=\0d\0", 30);
    test::writeFile(winIni(), wide);
    const std::vector<StartupEntry> entries = list();
    const StartupRemoval removal = RemoveStartupEntry(*session, find(entries, "Win.ini|a|b"));
    ASSERT_TRUE(removal.removed) << removal.error;
    EXPECT_EQ(test::readFile(winIni()),
              "\xFF\xFE" + std::string("[\0R\0u\0n\0]\0\r\0\n\0c\0=\0d\0", 20));
}

TEST_F(StartupManagerTest, BackupThatCannotBeWrittenRefusesTheRemovalWhole)
{
    test::writeFile(driveC() / "Program Files" / "Tidewell" / "AllRegBack", "in the way");
    const std::vector<StartupEntry> entries = list();
    const std::string registry = wholeRegistry();
    for (const std::string& row :
         {std::string("Registration|Count|5"), std::string("Win.ini|first|C:\\first.exe"),
          "Startup Folder|app.lnk|" + kCommon + "\\app.lnk"}) {
        const StartupRemoval removal = RemoveStartupEntry(*session, find(entries, row));
        EXPECT_FALSE(removal.removed) << row;
        EXPECT_NE(removal.error.find("AllRegBack"), std::string::npos) << removal.error;
    }
    EXPECT_EQ(wholeRegistry(), registry);
    EXPECT_EQ(test::readFile(winIni()), kWinIni);
    EXPECT_TRUE(
        fs::exists(driveC() / "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp/app.lnk"));
}

TEST_F(StartupManagerTest, HiveRewrittenMeanwhileRefusesEveryKindOfRemovalWhole)
{
    const std::vector<StartupEntry> entries = list();
    // Another program rewrote user.reg since it was read: nothing may be saved now.
    const fs::path userReg = fs::path(prefixPath()) / "user.reg";
    const std::string otherWriter = test::readFile(userReg) + "\n[Software\\\\Other] 1\n";
    test::writeFile(userReg, otherWriter);
    const std::string registry = wholeRegistry();
    for (const std::string& row :
         {std::string("Registration|Count|5"), std::string("Win.ini|first|C:\\first.exe"),
          "Startup Folder|app.lnk|" + kCommon + "\\app.lnk"}) {
        const StartupRemoval removal = RemoveStartupEntry(*session, find(entries, row));
        EXPECT_FALSE(removal.removed) << row;
        EXPECT_EQ(removal.error.rfind("Nothing was changed: ", 0), 0u) << removal.error;
        EXPECT_EQ(removal.backupPath, "");
    }
    EXPECT_EQ(wholeRegistry(), registry);
    EXPECT_EQ(test::readFile(userReg), otherWriter);
    EXPECT_EQ(test::readFile(winIni()), kWinIni);
    EXPECT_TRUE(
        fs::exists(driveC() / "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp/app.lnk"));
    EXPECT_FALSE(fs::exists(driveC() / "Program Files/Tidewell"));
}

// The Run-type keys of a 64-bit prefix: the native ones and the 32-bit view's, some of them
// one key under two names.
const std::string kNative = "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\";
const std::string kWow32 = "Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\";
const std::string kViewsMachine =
    "[" + kNative + "Run] 1\n\"Native\"=\"C:\\\\native.exe\"\n\n" + "[" + kWow32 +
    "Run] 1\n\"Native\"=\"C:\\\\x86.exe\"\n\"Tray\"=\"C:\\\\tray.exe\"\n\n" + "[" + kNative +
    "RunOnce] 1\n\"Once\"=\"C:\\\\once.exe\"\n" +
    test::linkSection(
        kWow32 + "RunOnce",
        "\\Registry\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce") +
    "\n[" + kWow32 + "RunOnceEx] 1\n\"Ex32\"=\"C:\\\\ex32.exe\"\n" +
    test::linkSection(kNative + "RunOnceEx", "\\Registry\\Machine\\Software\\Wow6432Node\\Microsoft"
                                             "\\Windows\\CurrentVersion\\RunOnceEx") +
    "\n[" + kWow32 + "RunServices] 1\n\"Svc32\"=\"C:\\\\svc32.exe\"\n";

class StartupViewsTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kViewsMachine)
            .userHive("[" + kNative + "Run] 1\n\"Mine\"=\"C:\\\\mine.exe\"\n");
    }
    void sessionStarted() override { session->PlatformKind = 4; }

    std::vector<StartupEntry> list()
    {
        return ListStartupEntries(*session, ReadStartupFolders(*session));
    }
    static std::vector<std::string> rowsOf(const std::vector<StartupEntry>& entries)
    {
        std::vector<std::string> rows;
        for (const StartupEntry& e : entries) {
            rows.push_back(e.Kind + "|" + withViewMark(e.Name, e.view) + "|" + e.Path + "|" +
                           e.Registry.KeyName);
        }
        return rows;
    }
    std::string wholeRegistry()
    {
        return platform::exportRegFile(session->registry(), "", platform::RegFileFormat::Unicode);
    }
};

const std::string kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
const std::string kWow32RunKey = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";

TEST_F(StartupViewsTest, ListsBothViewsNativeFirstAndALinkedKeyOnce)
{
    EXPECT_EQ(rowsOf(list()),
              (std::vector<std::string>{
                  "Registration|Native|C:\\native.exe|" + kRunKey + "Run",
                  "Registration|Native (32-bit)|C:\\x86.exe|" + kWow32RunKey + "Run",
                  "Registration|Tray (32-bit)|C:\\tray.exe|" + kWow32RunKey + "Run",
                  "Registration|Once|C:\\once.exe|" + kRunKey + "RunOnce",
                  "Registration|Ex32|C:\\ex32.exe|" + kRunKey + "RunOnceEx",
                  "Registration|Svc32 (32-bit)|C:\\svc32.exe|" + kWow32RunKey + "RunServices",
                  "Registration|Mine|C:\\mine.exe|" + kRunKey + "Run",
              }));
}

TEST_F(StartupViewsTest, Removing32BitValueLeavesTheNativeOneAndIsUndone)
{
    const std::string before = wholeRegistry();
    const std::vector<StartupEntry> entries = list();
    ASSERT_GE(entries.size(), 2u);
    const StartupRemoval removal = RemoveStartupEntry(*session, entries[1]);
    ASSERT_TRUE(removal.removed) << removal.error;

    reopen();
    std::vector<std::string> rows = rowsOf(list());
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], "Registration|Native|C:\\native.exe|" + kRunKey + "Run");
    EXPECT_EQ(rows[1], "Registration|Tray (32-bit)|C:\\tray.exe|" + kWow32RunKey + "Run");

    const BackupActionResult restored = RestoreBackup(*session, removal.backupPath);
    ASSERT_TRUE(restored.ok) << restored.error;
    EXPECT_EQ(test::firstDifference(wholeRegistry(), before), "");
}

TEST(OpenPathFolder, TakesTheFolderOfTheProgramWithoutQuotes)
{
    EXPECT_EQ(OpenPathFolder("\"C:\\Program Files\\App\\app.exe\" /min"),
              "C:\\Program Files\\App\\");
    EXPECT_EQ(OpenPathFolder("C:app.exe"), "C:");
    EXPECT_EQ(OpenPathFolder("app.exe /q"), "");
    EXPECT_EQ(OpenPathFolder("5"), "");
}

} // namespace
} // namespace tw
