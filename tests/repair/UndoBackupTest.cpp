// The undo backup: planned registry and file changes, made and then taken back by a restore.
#include "repair/UndoBackup.h"

#include "platform/RegFile.h"
#include "platform/TextCodec.h"
#include "repair/BackupList.h"
#include "repair/BackupSeal.h"
#include "repair/BackupWriter.h"
#include "support/PrefixFixture.h"

#include <algorithm>

namespace tw {
namespace {

namespace fs = std::filesystem;

const char* kMachine = R"hive(
[Software\\Microsoft\\Windows NT\\CurrentVersion] 1
"SystemRoot"="C:\\windows"

[Software\\Tree] 1
"Top"="t"

[Software\\Tree\\Branch] 1
"Leaf"=dword:00000007
"None"=hex(0):
"Quad"=hex(b):01,02,03,04,05,06,07,08

[Software\\Tree\\Branch\\Twig] 1
@="twig"
)hive";

const char* kUser = R"hive(
[Software\\App] 1
@="unnamed"
"Str"="old \"quoted\" text"
"Num"=dword:00000005
"Exp"=str(2):"%TEMP%\\x"
"Bin"=hex:01,02,ff
"Multi"=str(7):"a\0b\0"

[Software\\App\\Sub] 1
"Kept"="k"

[Software\\Gone] 1
"G"="g"

[Software\\Gone\\Deep\\Deeper] 1
"D"=hex(2):25,00,00,00
)hive";

class UndoBackupTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kMachine).userHive(kUser);
        builder.file("windows/win.ini", "[windows]\r\nload=a.exe\r\n");
        builder.file("users/Public/kept.txt", "kept bytes");
    }
    void sessionStarted() override { session->PlatformKind = 4; }
    std::string wholeRegistry()
    {
        return platform::exportRegFile(session->registry(), "", platform::RegFileFormat::Unicode);
    }
    static std::string sz(const std::string& text) { return text + '\0'; }
    static std::string dword(std::uint32_t v)
    {
        return std::string(reinterpret_cast<const char*>(&v), 4);
    }
    std::string valueOf(const std::string& key, const std::string& name, win::DWORD* type)
    {
        const auto path = platform::parseKeyPath(key).value();
        platform::KeyHandle handle(session->registry());
        std::string data;
        if (session->registry().openKey(path.root, path.subKey, win::KEY_READ, handle.out()) ||
            session->registry().queryValue(handle.get(), name, type, &data))
            return "<missing>";
        return data;
    }
    bool keyExists(const std::string& key)
    {
        const auto path = platform::parseKeyPath(key).value();
        platform::KeyHandle handle(session->registry());
        return session->registry().openKey(path.root, path.subKey, win::KEY_READ, handle.out()) ==
               win::ERROR_SUCCESS;
    }
};

const std::string kApp = "HKEY_CURRENT_USER\\Software\\App";

std::vector<RegistryChange> everyKindOfChange()
{
    using C = RegistryChange;
    return {
        C::setValue(kApp, "Str", win::REG_SZ, std::string("new") + '\0'),
        C::setValue(kApp, "exp", win::REG_DWORD, std::string("\1\0\0\0", 4)),
        C::setValue(kApp, "", win::REG_BINARY, "\x09"),
        C::setValue(kApp, "Fresh", win::REG_SZ, std::string("f") + '\0'),
        C::deleteValue(kApp, "Bin"),
        C::deleteValue(kApp, "multi"),
        C::deleteValue(kApp, "Num"),
        // The caller's letter case differs from the stored one.
        C::deleteKey("HKCU\\software\\gone"),
        C::createKey("HKEY_LOCAL_MACHINE\\Software\\New\\Deeper\\Deepest"),
        C::setValue("HKLM\\Software\\Other\\Made", "v", win::REG_SZ, std::string("x") + '\0'),
        C::createKey(kApp + "\\Sub\\Added"),
        // Deleted, then made again with other content: the restore gives the old tree.
        C::deleteKey("HKEY_LOCAL_MACHINE\\Software\\Tree"),
        C::setValue("HKEY_LOCAL_MACHINE\\Software\\Tree\\Branch", "After", win::REG_SZ,
                    std::string("a") + '\0'),
    };
}

TEST_F(UndoBackupTest, RestoringTheBackupGivesTheRegistryBeforeEveryKindOfChange)
{
    const std::string before = wholeRegistry();
    const std::vector<RegistryChange> changes = everyKindOfChange();
    const UndoBackupOutcome backup = WriteUndoBackup(*session, "Test Change", changes);
    ASSERT_TRUE(backup.written()) << backup.error;
    EXPECT_EQ(backup.path.rfind(BackupFolder() + "Test Change Backup_", 0), 0u);

    ASSERT_EQ(ApplyRegistryChanges(*session, changes), "");
    win::DWORD type = 0;
    EXPECT_EQ(valueOf(kApp, "Exp", &type), dword(1));
    EXPECT_EQ(valueOf(kApp, "Fresh", &type), sz("f"));
    EXPECT_EQ(valueOf(kApp, "Num", &type), "<missing>");
    EXPECT_FALSE(keyExists("HKEY_CURRENT_USER\\Software\\Gone"));
    EXPECT_TRUE(keyExists("HKEY_LOCAL_MACHINE\\Software\\New\\Deeper\\Deepest"));
    EXPECT_FALSE(keyExists("HKEY_LOCAL_MACHINE\\Software\\Tree\\Branch\\Twig"));
    ASSERT_NE(wholeRegistry(), before);
    session->storage().commit();

    // A normal backup of the backup page: listed, sealed, restored by "Restore Registry".
    const std::vector<BackupEntry> listed = ListBackups(*session);
    EXPECT_TRUE(std::any_of(listed.begin(), listed.end(),
                            [&](const BackupEntry& e) { return e.path == backup.path; }));
    EXPECT_EQ(CheckBackup(*session, backup.path).origin, BackupOrigin::Sealed);
    const BackupActionResult restored = RestoreBackup(*session, backup.path);
    ASSERT_TRUE(restored.ok) << restored.error;
    EXPECT_EQ(test::firstDifference(wholeRegistry(), before), "");
    EXPECT_EQ(valueOf(kApp, "Exp", &type), sz("%TEMP%\\x"));
    EXPECT_EQ(type, win::REG_EXPAND_SZ);

    reopen();
    EXPECT_EQ(test::firstDifference(wholeRegistry(), before), "") << "as saved in the hives";
}

TEST_F(UndoBackupTest, BackupLinesUndoInAnyOrder)
{
    const UndoBackupOutcome backup =
        WriteUndoBackup(*session, "Test Change", {RegistryChange::deleteValue(kApp, "Num"),
                                   RegistryChange::setValue(kApp, "Fresh", win::REG_SZ, "f"),
                                   RegistryChange::createKey("HKLM\\Software\\New\\Deeper"),
                                   RegistryChange::deleteKey("HKCU\\Software\\Gone")});
    ASSERT_TRUE(backup.written()) << backup.error;
    std::string bytes = test::readFile(session->files().unixFileName(backup.path).value());
    ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::string text = platform::utf16ToUtf8(platform::bytesToUtf16(bytes.substr(2)));
    // Keys that are new go first, then the deleted key (emptied, then refilled), then values.
    const size_t newKey = text.find("[-HKEY_LOCAL_MACHINE\\Software\\New]\r\n");
    const size_t cleared = text.find("[-HKEY_CURRENT_USER\\Software\\Gone]\r\n");
    const size_t refilled =
        text.find("[HKEY_CURRENT_USER\\Software\\Gone\\Deep\\Deeper]\r\n\"D\"=hex(2):25,00,00,00");
    const size_t value = text.find("[" + kApp + "]\r\n\"Num\"=dword:00000005\r\n");
    const size_t absent = text.find("[" + kApp + "]\r\n\"Fresh\"=-\r\n");
    ASSERT_NE(newKey, std::string::npos) << text;
    ASSERT_NE(cleared, std::string::npos) << text;
    ASSERT_NE(refilled, std::string::npos) << text;
    ASSERT_NE(value, std::string::npos) << text;
    ASSERT_NE(absent, std::string::npos) << text;
    EXPECT_LT(newKey, cleared);
    EXPECT_LT(cleared, refilled);
    EXPECT_LT(refilled, value);
}

TEST_F(UndoBackupTest, NothingToUndoWritesNoFile)
{
    const UndoBackupOutcome backup =
        WriteUndoBackup(*session, "Test Change", {RegistryChange::deleteValue(kApp, "NoSuchValue"),
                                   RegistryChange::deleteKey("HKCU\\Software\\NoSuchKey"),
                                   RegistryChange::createKey(kApp + "\\Sub")});
    EXPECT_EQ(backup.error, "");
    EXPECT_FALSE(backup.written());
    EXPECT_FALSE(session->files().directoryExists(BackupFolder()));
}

TEST_F(UndoBackupTest, FailureLeavesNothingBehind)
{
    // The backup folder's place is taken by a file.
    test::writeFile(driveC() / "Program Files" / "Tidewell" / "AllRegBack", "not a folder");
    UndoBackupOutcome backup =
        WriteUndoBackup(*session, "Test Change", {RegistryChange::deleteValue(kApp, "Num")});
    EXPECT_FALSE(backup.written());
    EXPECT_NE(backup.error.find("AllRegBack"), std::string::npos) << backup.error;

    EXPECT_FALSE(
        WriteUndoBackup(*session, "Test Change", {RegistryChange::deleteKey("HKXX\\Software")}).error.empty());
    EXPECT_FALSE(
        WriteUndoBackup(*session, "Test Change", {RegistryChange::deleteKey("HKEY_CURRENT_USER")}).error.empty());
    EXPECT_EQ(test::readFile(driveC() / "Program Files" / "Tidewell" / "AllRegBack"),
              "not a folder");
}

TEST_F(UndoBackupTest, KeptFilesComeBackWithTheRegistry)
{
    const std::string winIni = "C:\\windows\\win.ini";
    const std::string kept = "C:\\users\\Public\\kept.txt";
    const UndoBackupOutcome backup = WriteUndoBackup(
        *session, "Test Change", {RegistryChange::deleteValue(kApp, "Num")}, {{winIni, true}, {kept, false}});
    ASSERT_TRUE(backup.written()) << backup.error;
    ASSERT_EQ(ApplyRegistryChanges(*session, {RegistryChange::deleteValue(kApp, "Num")}), "");
    test::writeFile(driveC() / "windows" / "win.ini", "[windows]\r\n");
    fs::remove(driveC() / "users" / "Public" / "kept.txt");

    const BackupActionResult restored = RestoreBackup(*session, backup.path);
    ASSERT_TRUE(restored.ok) << restored.error;
    EXPECT_EQ(test::readFile(driveC() / "windows" / "win.ini"), "[windows]\r\nload=a.exe\r\n");
    EXPECT_EQ(test::readFile(driveC() / "users" / "Public" / "kept.txt"), "kept bytes");
    win::DWORD type = 0;
    EXPECT_EQ(valueOf(kApp, "Num", &type), dword(5));
    EXPECT_FALSE(fs::exists(driveC() / "windows" / "win.ini.restore.part"));
}

TEST_F(UndoBackupTest, OnlyFilesMakeABackupOfTheirOwn)
{
    const UndoBackupOutcome backup =
        WriteUndoBackup(*session, "Test Change", {}, {{"C:\\windows\\win.ini", true}});
    ASSERT_TRUE(backup.written()) << backup.error;
    test::writeFile(driveC() / "windows" / "win.ini", "changed");
    ASSERT_TRUE(RestoreBackup(*session, backup.path).ok);
    EXPECT_EQ(test::readFile(driveC() / "windows" / "win.ini"), "[windows]\r\nload=a.exe\r\n");

    EXPECT_TRUE(DiscardUndoBackup(*session, backup.path));
    EXPECT_FALSE(session->files().fileExists(backup.path));
    EXPECT_FALSE(session->files().directoryExists(BackupFilesFolder(backup.path)));
}

TEST_F(UndoBackupTest, ApplyStopsAtTheFirstRefusal)
{
    const std::string error =
        ApplyRegistryChanges(*session, {RegistryChange::deleteValue(kApp, "Num"),
                                        RegistryChange::deleteValue(kApp, "NoSuchValue"),
                                        RegistryChange::deleteValue(kApp, "Str")});
    EXPECT_NE(error.find("NoSuchValue"), std::string::npos) << error;
    win::DWORD type = 0;
    EXPECT_EQ(valueOf(kApp, "Num", &type), "<missing>");
    EXPECT_NE(valueOf(kApp, "Str", &type), "<missing>");
}

} // namespace
} // namespace tw
