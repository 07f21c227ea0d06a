// Backup, repair and restore together: what a repair removes, its backup brings back.
#include "platform/RegFile.h"
#include "platform/TextCodec.h"
#include "platform/wine/PrefixLocator.h"
#include "platform/wine/WineFiles.h"
#include "repair/BackupList.h"
#include "repair/BackupSeal.h"
#include "repair/BackupWriter.h"
#include "repair/RepairDriver.h"
#include "scanner/ScannerTestSupport.h"
#include "scanner/sections/SmallSections.h"

#include <set>

namespace tw {
namespace {

const char* kProblems = R"hive(
[Software\\Microsoft\\Windows NT\\CurrentVersion] 1
"SystemRoot"="C:\\windows"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe] 1
@="C:\\Gone\\gone.exe"
"Path"="C:\\Gone"
"Blob"=hex:00,01,02

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe\\Deeper] 1
"Multi"=str(7):"a\0b\0"

[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\Lib\\gone.dll"=dword:00000002
"C:\\Lib\\multi.dll"=str(7):"x\0"
"C:\\Lib\\quote\"d.dll"="0"

[Software\\Microsoft\\Windows\\Help] 1
"gone.hlp"="C:\\Help"
)hive";

class RepairTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kProblems).userHive("\n[Software\\\\Tidewell] 1\n\"SelectAll\"=\"1\"\n");
    }
    void SetUp() override
    {
        ScannerTest::SetUp();
        session->AppSettings.SelectAll = true;
        session->PlatformKind = 4;
    }
    void scanAll()
    {
        SectionSelection all;
        all.fill(true);
        ScanSections(*session, all, grid, view);
    }
    std::string wholeRegistry()
    {
        return platform::exportRegFile(prefix->registry(), "", platform::RegFileFormat::Unicode);
    }
    std::string hostPath(const std::string& windowsPath)
    {
        return prefix->files().paths().toHost(windowsPath).value();
    }
    /// The backup's text without its two "; Tidewell" lines (checked to be there).
    std::string backupText(const std::string& windowsPath)
    {
        const std::string bytes = test::readFile(hostPath(windowsPath));
        std::string text = bytes.substr(0, 2) == "\xFF\xFE"
                               ? platform::utf16ToUtf8(platform::bytesToUtf16(bytes.substr(2)))
                               : bytes;
        const size_t origin = text.find("; Tidewell backup of machine ");
        const size_t checksum = text.find("\r\n; Tidewell checksum sha256:");
        EXPECT_NE(origin, std::string::npos);
        EXPECT_NE(checksum, std::string::npos);
        if (origin == std::string::npos || checksum == std::string::npos)
            return text;
        return text.erase(origin, text.find('\n', checksum + 2) + 1 - origin);
    }
    test::RecordingRepairView repairView;
};

TEST_F(RepairTest, RestoringTheBackupUndoesTheRepairCompletely)
{
    const std::string before = wholeRegistry();
    scanAll();
    ASSERT_EQ(session->ReportRowSection, (std::vector<int>{0, 6, 8}));
    const RepairRun run = RepairProblems(*session, repairView);
    ASSERT_TRUE(run.repaired);
    ASSERT_TRUE(run.backupPath);
    EXPECT_NE(run.backupNotice.find("C:\\Program Files\\Tidewell\\AllRegBack\\ folder."),
              std::string::npos);
    EXPECT_EQ(run.completedMessage, "Repair Completed!");
    ASSERT_EQ(repairView.rows.size(), 5u);
    EXPECT_NE(wholeRegistry(), before);

    const BackupActionResult restored = RestoreBackup(*session, *run.backupPath);
    EXPECT_TRUE(restored.ok) << restored.error;
    EXPECT_EQ(restored.message, "Restore registry successfully!");
    EXPECT_EQ(test::firstDifference(wholeRegistry(), before), "");
}

TEST(RepairOfEverySection, LeavesNothingToFindAndTheBackupUndoesIt)
{
    // The demo prefix plants problems for every section: whole keys, values named by the
    // record's value or item, start-menu order keys, a kill bit and a shortcut file. After the
    // repair a scan finds nothing, not even what the repair emptied or the shortcut it kept.
    test::TempDir dir;
    wine::WinePrefix prefix(wine::layOutDemoPrefix((dir.path() / "demo").string()));
    Session session(prefix.platform());
    session.PlatformKind = 4;
    session.AppSettings.SelectAll = true;
    ASSERT_TRUE(LoadAddonList(session, wine::dataDirectory() + "/addons/addon-list.txt"));
    BuildExcludedDrives(session, session.ExcludedDrives);
    // Type libraries whose help folder is gone, the machine's and the user's: the repair
    // removes the value and leaves its key empty.
    for (const auto& [root, path] :
         {std::pair(win::HKEY_LOCAL_MACHINE, "Software\\Classes\\TypeLib\\{7D1E0C44-0000-4000-8000-"
                                             "000000000001}\\1.0\\HELPDIR"),
          std::pair(win::HKEY_CURRENT_USER, "Software\\Classes\\TypeLib\\{7D1E0C44-0000-4000-8000-"
                                            "000000000002}\\1.0\\HELPDIR")}) {
        TRegistry reg(session);
        reg.SelectRoot(root);
        ASSERT_TRUE(reg.OpenPath(path, true));
        reg.WriteText("", "C:\\Gone\\help");
    }
    const auto wholeRegistry = [&] {
        return platform::exportRegFile(prefix.registry(), "", platform::RegFileFormat::Unicode);
    };
    const std::string before = wholeRegistry();
    SectionSelection all;
    all.fill(true);
    OutcomeGrid grid;
    ScanView view;
    ScanSections(session, all, grid, view);
    ASSERT_EQ(session.ReportRowSection.size(), 14u) << "every section but 11 finds something";

    test::RecordingRepairView repairView;
    const RepairRun run = RepairProblems(session, repairView);
    ASSERT_TRUE(run.backupPath);
    int succeeded = 0;
    for (const auto& [problem, status] : repairView.rows)
        succeeded += status == "Repair Succeed";
    EXPECT_GE(succeeded, 24);
    EXPECT_NE(wholeRegistry(), before);

    // A repair leaves nothing that the next scan reports.
    ScanSections(session, all, grid, view);
    std::vector<std::string> left;
    for (size_t section = 0; section < session.SectionContents.size(); ++section) {
        const TRegistryContents& contents = session.SectionContents[section];
        for (int i = 0; i < contents.Count(); ++i)
            left.push_back(std::to_string(section) + ": " + contents.Items(i).Content.KeyPath +
                           " " + contents.Items(i).Content.ValueName);
    }
    EXPECT_EQ(left, std::vector<std::string>());

    const BackupActionResult restored = RestoreBackup(session, *run.backupPath);
    ASSERT_TRUE(restored.ok) << restored.error;
    EXPECT_EQ(test::firstDifference(wholeRegistry(), before), "");
}

TEST_F(RepairTest, BackupHoldsWhatEachRepairRemovesInReportOrder)
{
    scanAll();
    const BackupOutcome backup = WriteBackupFile(*session);
    ASSERT_TRUE(backup.written) << backup.error;
    EXPECT_EQ(backup.path.find("C:\\Program Files\\Tidewell\\AllRegBack\\Full Registry Backup_"),
              0u);
    EXPECT_EQ(
        backup.path.size(),
        std::string(
            "C:\\Program Files\\Tidewell\\AllRegBack\\Full Registry Backup_2024_03_05_14_07_09.reg")
            .size());
    const std::string text = backupText(backup.path);
    const std::string key =
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls]\r\n";
    const std::string expected =
        "Windows Registry Editor Version 5.00\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
        "Paths\\gone.exe]\r\n"
        "@=\"C:\\\\Gone\\\\gone.exe\"\r\n\"Blob\"=hex:00,01,02\r\n\"Path\"=\"C:\\\\Gone\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
        "Paths\\gone.exe\\Deeper]\r\n"
        "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help]\r\n"
        "\"gone.hlp\"=\"C:\\\\Help\"\r\n" +
        key + "\"C:\\\\Lib\\\\gone.dll\"=dword:00000002\r\n" + key +
        "\"C:\\\\Lib\\\\multi.dll\"=hex(7):78,00,00,00,00,00\r\n" + key +
        "\"C:\\\\Lib\\\\quote\\\"d.dll\"=\"0\"\r\n";
    EXPECT_EQ(test::firstDifference(text, expected), "");
}

TEST_F(RepairTest, HeaderFollowsThePlatform)
{
    scanAll();
    session->PlatformKind = 2;
    BackupOutcome backup = WriteBackupFile(*session);
    ASSERT_TRUE(backup.written);
    EXPECT_EQ(backupText(backup.path).substr(0, 11), "REGEDIT4\r\n[");
    session->PlatformKind = 0;
    backup = WriteBackupFile(*session);
    ASSERT_TRUE(backup.written);
    EXPECT_EQ(backupText(backup.path).substr(0, 3), "\r\n[");
}

TEST_F(RepairTest, NothingCheckedWritesNoFile)
{
    scanAll();
    for (const int section : session->ReportRowSection)
        for (int i = 0; i < session->SectionContents[static_cast<size_t>(section)].Count(); ++i)
            SetRecordChecked(*session, section, i, false);
    const BackupOutcome backup = WriteBackupFile(*session);
    EXPECT_FALSE(backup.written);
    EXPECT_FALSE(backup.path.empty());
    EXPECT_FALSE(session->files().directoryExists("C:\\Program Files\\Tidewell\\AllRegBack"));
    const RepairRun run = RepairProblems(*session, repairView);
    EXPECT_TRUE(run.repaired);
    EXPECT_TRUE(repairView.rows.empty());
}

TEST_F(RepairTest, NoBackupWhenTheSettingSaysSo)
{
    scanAll();
    session->AppSettings.NotAutoBackup = true;
    const RepairRun run = RepairProblems(*session, repairView);
    EXPECT_TRUE(run.repaired);
    EXPECT_FALSE(run.backupPath);
    EXPECT_TRUE(run.backupNotice.empty());
    EXPECT_TRUE(ListBackups(*session).empty());
}

TEST_F(RepairTest, AnEmptyReportRepairsNothing)
{
    const RepairRun run = RepairProblems(*session, repairView);
    EXPECT_FALSE(run.repaired);
    EXPECT_TRUE(repairView.rows.empty());
}

TEST_F(RepairTest, ABackupThatCannotBeWrittenStopsTheRepair)
{
    scanAll();
    // A file where the program's folder should be: the backup folder cannot be made.
    test::writeFile(driveC() / "Program Files" / "Tidewell", "in the way");
    const std::string before = wholeRegistry();
    const RepairRun run = RepairProblems(*session, repairView);
    EXPECT_FALSE(run.repaired);
    EXPECT_NE(run.error.find("nothing was repaired"), std::string::npos) << run.error;
    EXPECT_TRUE(repairView.rows.empty());
    EXPECT_EQ(wholeRegistry(), before);
}

TEST_F(RepairTest, RepairingTwiceReportsErrorsAndLosesNothing)
{
    scanAll();
    RepairProblems(*session, repairView);
    const std::string afterFirst = wholeRegistry();
    test::RecordingRepairView again;
    const RepairRun second = RepairProblems(*session, again);
    ASSERT_EQ(again.rows.size(), 5u);
    for (const auto& [problem, status] : again.rows)
        EXPECT_EQ(status, "Repair Error") << problem;
    EXPECT_FALSE(second.backupPath) << "nothing left to back up";
    // Help and Shared Dll repairs open their keys with may-create; the keys exist already.
    EXPECT_EQ(test::firstDifference(wholeRegistry(), afterFirst), "");
}

TEST_F(RepairTest, ALargeRepairBackupIsWrittenInPiecesAndSealedAsAWholeOne)
{
    // A value of 1.5 MB under a key the repair removes whole: the backup passes through
    // several pieces on its way to the file.
    std::string blob(1536 * 1024, '\0');
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = static_cast<char>(i * 7 + i / 251);
    {
        TRegistry reg(*session);
        reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenPath(
            "\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe", false));
        reg.WriteBytes("Blob", blob.data(), static_cast<int>(blob.size()));
    }
    scanAll();
    const BackupOutcome backup = WriteBackupFile(*session);
    ASSERT_TRUE(backup.written) << backup.error;
    const std::string bytes = test::readFile(hostPath(backup.path));
    EXPECT_GT(bytes.size(), 4u * 1024 * 1024);
    const std::string machine = MachineIdentity(*session);
    EXPECT_EQ(CheckBackupBytes(bytes, machine, backup.path).origin, BackupOrigin::Sealed);
    // The same bytes as the text sealed whole.
    const std::string text = backupText(backup.path);
    EXPECT_EQ(
        SealBackup(std::string("\xFF\xFE", 2) + platform::utf16ToBytes(platform::utf8ToUtf16(text)),
                   machine),
        bytes);
    bool found = false;
    for (const platform::RegFileOperation& change : platform::parseRegFile(bytes)) {
        if (change.valueName == "Blob") {
            found = true;
            EXPECT_EQ(change.data, blob);
        }
    }
    EXPECT_TRUE(found);
    EXPECT_FALSE(test::fs::exists(hostPath(backup.path) + ".part"));
}

TEST_F(RepairTest, ASaveThatFailsTurnsEveryRegistryRowIntoAnError)
{
    scanAll();
    const std::string before = wholeRegistry();
    // Another program rewrites the machine hive while the repair runs: the save must refuse.
    bool touched = false;
    repairView.onYield = [&] {
        if (touched)
            return;
        touched = true;
        test::writeFile(prefixPath() + "/system.reg",
                        test::readFile(prefixPath() + "/system.reg") + "\n");
    };
    const RepairRun run = RepairProblems(*session, repairView);
    EXPECT_FALSE(run.repaired);
    EXPECT_NE(run.error.find("could not be saved"), std::string::npos) << run.error;
    ASSERT_EQ(repairView.rows.size(), 5u);
    for (const auto& [problem, status] : repairView.rows)
        EXPECT_EQ(status, "Repair Error") << problem;
    EXPECT_EQ(test::firstDifference(wholeRegistry(), before), "");
}

TEST_F(RepairTest, CancelStopsBeforeTheNextRecord)
{
    scanAll();
    repairView.onYield = [this] { session->OperationState = kOperationCancelRepair; };
    RepairProblems(*session, repairView);
    EXPECT_EQ(repairView.rows.size(), 1u);
}

TEST_F(RepairTest, SingleTicksCount)
{
    scanAll();
    for (int i = 0; i < session->SectionContents[8].Count(); ++i)
        SetRecordChecked(*session, 8, i, i == 1);
    SetRecordChecked(*session, 0, 0, false);
    SetRecordChecked(*session, 6, 0, false);
    SetRecordChecked(*session, 15, 0, true); // out of range: nothing
    SetRecordChecked(*session, 8, 99, true);
    RepairProblems(*session, repairView);
    ASSERT_EQ(repairView.rows.size(), 1u);
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath("\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", false));
    EXPECT_FALSE(reg.HasValue("C:\\Lib\\multi.dll"));
    EXPECT_TRUE(reg.HasValue("C:\\Lib\\gone.dll"));
}

TEST_F(RepairTest, LookupValueTypeReadsTheRegistryNow)
{
    EXPECT_EQ(LookupValueType(
                  *session,
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
                  "C:\\Lib\\gone.dll"),
              rdInteger);
    EXPECT_EQ(LookupValueType(
                  *session,
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
                  "C:\\Lib\\multi.dll"),
              rdUnknown);
    EXPECT_EQ(LookupValueType(*session, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Missing", "x"), rdUnknown);
}

TEST_F(RepairTest, BackupPageListsRestoresAndRemoves)
{
    EXPECT_TRUE(ListBackups(*session).empty()) << "a missing folder gives an empty list";
    const BackupActionResult full = FullBackup(*session);
    ASSERT_TRUE(full.ok) << full.error;
    EXPECT_EQ(full.message, "Backup registry successfully!");
    ASSERT_TRUE(full.added);
    const std::vector<BackupEntry> entries = ListBackups(*session);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, full.added->path);
    EXPECT_GE(entries[0].time.year, 2024);

    // A damaged file: the restore says it failed, and why.
    test::writeFile(driveC() / "Program Files/Tidewell/AllRegBack/broken.reg",
                    "REGEDIT4\r\n[HKEY_CURRENT_USER\\X]\r\n\"a\"=hex:zz\r\n");
    const BackupActionResult restore = RestoreBackup(*session, BackupFolder() + "broken.reg");
    EXPECT_FALSE(restore.ok);
    EXPECT_EQ(restore.message, "Restore registry fail!");
    EXPECT_NE(restore.error.find("line 3"), std::string::npos) << restore.error;
    EXPECT_EQ(ListBackups(*session).size(), 2u);

    const BackupActionResult removed = RemoveBackup(*session, full.added->path);
    EXPECT_TRUE(removed.ok);
    EXPECT_EQ(removed.message, "Backup file remove successfully!");
    const BackupActionResult again = RemoveBackup(*session, full.added->path);
    EXPECT_FALSE(again.ok);
    EXPECT_TRUE(again.message.empty()) << "a file that is gone: nothing happens";
}

TEST_F(RepairTest, AFileWrittenInPiecesIsTheFileWrittenWhole)
{
    platform::Registry& registry = prefix->registry();
    platform::applyRegFile(
        registry,
        platform::parseRegFile("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Caf\xc3\xa9]\r\n"
                               "\"Na\xc3\xafve\"=\"5 \xe2\x82\xac and more\"\r\n",
                               65001));
    const std::string machine = "{4a1b0000-0000-0000-0000-00000000c0de}";
    for (const platform::RegFileFormat format :
         {platform::RegFileFormat::Unicode, platform::RegFileFormat::Ansi}) {
        const std::string whole = platform::exportRegFile(registry, "", format);
        const std::string sealed = SealBackup(whole, machine);
        for (const size_t pieceSize : {size_t{1}, size_t{100}, size_t{1} << 20}) {
            std::string joined;
            auto stream =
                prefix->files().openFile("C:\\sealed.reg", platform::FileStream::Mode::Create);
            ASSERT_TRUE(stream);
            BackupSealWriter seal(*stream, machine);
            platform::RegFileWriter writer(registry, format);
            writer.streamTo(
                [&](const platform::RegFilePiece& piece) {
                    joined.append(piece.bytes);
                    seal.write(piece);
                },
                pieceSize);
            writer.addKeyTree(win::HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE");
            writer.addKeyTree(win::HKEY_USERS, "HKEY_USERS");
            EXPECT_EQ(writer.finish(), "");
            seal.finish();
            stream.reset();
            EXPECT_TRUE(joined == whole) << "pieces of " << pieceSize;
            EXPECT_TRUE(test::readFile(hostPath("C:\\sealed.reg")) == sealed)
                << "pieces of " << pieceSize;
        }
    }
    // The backup the page makes is sealed as a whole file would be.
    const BackupActionResult full = FullBackup(*session);
    ASSERT_TRUE(full.ok) << full.error;
    const std::string bytes = test::readFile(hostPath(full.added->path));
    EXPECT_EQ(CheckBackupBytes(bytes, MachineIdentity(*session), full.added->path).origin,
              BackupOrigin::Sealed);
    EXPECT_NE(backupText(full.added->path).find("5 \xe2\x82\xac and more"), std::string::npos);
}

TEST_F(RepairTest, BackupsMadeInTheSameSecondKeepEachOther)
{
    // Many backups at once land in one or two seconds; none may replace another.
    std::set<std::string> paths;
    std::set<std::string> contents;
    for (int i = 0; i < 4; ++i) {
        TRegistry reg(*session);
        ASSERT_TRUE(reg.OpenPath("\\Software\\Marker", true));
        reg.WriteText("n", std::to_string(i));
        const BackupActionResult full = FullBackup(*session);
        ASSERT_TRUE(full.ok) << full.error;
        paths.insert(full.added->path);
        contents.insert(test::readFile(hostPath(full.added->path)));
    }
    EXPECT_EQ(paths.size(), 4u);
    EXPECT_EQ(contents.size(), 4u) << "each file still holds its own export";
    EXPECT_EQ(ListBackups(*session).size(), 4u);

    // A repair's backup in the same second as a full backup: both stay.
    scanAll();
    const std::string taken = NewBackupPath(*session);
    test::writeFile(hostPath(taken), "not to be replaced");
    const BackupOutcome outcome = WriteBackupFile(*session);
    ASSERT_TRUE(outcome.written) << outcome.error;
    EXPECT_NE(outcome.path, taken);
    EXPECT_EQ(test::readFile(hostPath(taken)), "not to be replaced");
}

TEST_F(RepairTest, RemoveTakesOnlyFilesOfTheBackupFolder)
{
    test::writeFile(driveC() / "windows/win.ini", "[windows]\r\n");
    test::writeFile(driveC() / "Program Files/Tidewell/AllRegBack/keep.txt", "x");
    test::writeFile(driveC() / "Program Files/Tidewell/important.reg", "x");
    for (const std::string& path :
         {std::string("C:\\windows\\win.ini"), BackupFolder() + "keep.txt",
          BackupFolder() + "..\\important.reg",
          std::string("C:\\Program Files\\Tidewell\\important.reg"),
          BackupFolder() + "sub\\x.reg"}) {
        const BackupActionResult result = RemoveBackup(*session, path);
        EXPECT_FALSE(result.ok) << path;
        EXPECT_EQ(result.message, "Backup file remove fail!") << path;
    }
    EXPECT_TRUE(test::fs::exists(driveC() / "windows/win.ini"));
    EXPECT_TRUE(test::fs::exists(driveC() / "Program Files/Tidewell/AllRegBack/keep.txt"));
    EXPECT_TRUE(test::fs::exists(driveC() / "Program Files/Tidewell/important.reg"));

    test::writeFile(driveC() / "Program Files/Tidewell/AllRegBack/Mine.REG", "x");
    EXPECT_TRUE(RemoveBackup(*session, "c:\\program files\\tidewell\\allregback\\Mine.REG").ok);
}

TEST_F(RepairTest, ABackupTellsWhetherItWasChangedOrComesFromElsewhere)
{
    {
        TRegistry reg(*session);
        reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenPath("\\SOFTWARE\\Microsoft\\Cryptography", true));
        reg.WriteText("MachineGuid", "11111111-2222-3333-4444-555555555555");
    }
    const BackupActionResult full = FullBackup(*session);
    ASSERT_TRUE(full.ok) << full.error;
    const std::string path = full.added->path;
    EXPECT_EQ(CheckBackup(*session, path).origin, BackupOrigin::Sealed);

    // Windows' and Wine's editors pass over the lines: ours reads the file as before.
    const std::string bytes = test::readFile(hostPath(path));
    EXPECT_NO_THROW(platform::parseRegFile(bytes));

    // One value changed by hand: the checksum no longer matches.
    std::string text = platform::utf16ToUtf8(platform::bytesToUtf16(bytes.substr(2)));
    const size_t at = text.find("\"MachineGuid\"=\"1111");
    ASSERT_NE(at, std::string::npos);
    text[at + 16] = '9';
    const std::string altered = "\xFF\xFE" + platform::utf16ToBytes(platform::utf8ToUtf16(text));
    const BackupCheck changed =
        CheckBackupBytes(altered, "11111111-2222-3333-4444-555555555555", path);
    EXPECT_EQ(changed.origin, BackupOrigin::Altered);
    EXPECT_TRUE(changed.needsConfirmation());
    EXPECT_NE(changed.warning.find("changed"), std::string::npos);

    // The same file on another installation.
    const BackupCheck foreign =
        CheckBackupBytes(bytes, "99999999-0000-0000-0000-000000000000", path);
    EXPECT_EQ(foreign.origin, BackupOrigin::OtherMachine);
    EXPECT_TRUE(foreign.needsConfirmation());

    // A file without the lines (an older backup, a file of the user's own) is not questioned.
    EXPECT_EQ(CheckBackupBytes("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n", "m", path).origin,
              BackupOrigin::Unsealed);
}

TEST_F(RepairTest, OddBackupNamesStayInsideTheFolderAndCanBeRemoved)
{
    const std::string odd = "odd\nname.reg";
    test::writeFile(driveC() / "Program Files/Tidewell/AllRegBack" / odd, "x");
    EXPECT_TRUE(RemoveBackup(*session, BackupFolder() + odd).ok);
    EXPECT_FALSE(test::fs::exists(driveC() / "Program Files/Tidewell/AllRegBack" / odd));
    for (const std::string& name : {std::string("..\\..\\..\\windows\\x.reg"),
                                    std::string("\\x.reg"), std::string("sub/x.reg")})
        EXPECT_FALSE(IsBackupFile(BackupFolder() + name)) << name;
}

/// Values whose folders are gone, in keys that hold nothing else or something more.
class EmptiedKeysTest : public RepairTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive("\n[Software\\\\Litware\\\\Runtime] 1\n\"InstallDir\"=\"C:\\\\Gone\"\n")
            .userHive("\n[Software\\\\Tidewell] 1\n\"SelectAll\"=\"1\"\n"
                      "\n[Software\\\\Gone Vendor\\\\Editor] 1\n\"Folder\"=\"C:\\\\Gone\"\n"
                      "\n[Software\\\\Kept Vendor] 1\n\"Folder\"=\"C:\\\\Gone\"\n"
                      "\"Name\"=\"kept\"\n"
                      "\n[Software\\\\Kept Vendor\\\\Sub] 1\n\"Folder\"=\"C:\\\\Gone\"\n");
    }
    bool exists(win::HKEY root, const std::string& path)
    {
        TRegistry reg(*session);
        reg.SelectRoot(root);
        return reg.PathExists(path);
    }
};

TEST_F(EmptiedKeysTest, ARepairTakesOnlyTheReportableKeysItEmptied)
{
    const std::string before = wholeRegistry();
    scanAll();
    ASSERT_EQ(session->SectionContents[13].Count(), 0);
    const RepairRun run = RepairProblems(*session, repairView);
    ASSERT_TRUE(run.repaired);
    ASSERT_TRUE(run.backupPath);

    EXPECT_FALSE(exists(win::HKEY_CURRENT_USER, "Software\\Gone Vendor"))
        << "the key and the one above it held only the value";
    EXPECT_TRUE(exists(win::HKEY_CURRENT_USER, "Software\\Kept Vendor"));
    EXPECT_FALSE(exists(win::HKEY_CURRENT_USER, "Software\\Kept Vendor\\Sub"));
    EXPECT_TRUE(exists(win::HKEY_LOCAL_MACHINE, "Software\\Litware\\Runtime"))
        << "an empty machine key is no finding, so it stays";
    TRegistry machine(*session);
    machine.SelectRoot(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(machine.OpenPath("Software\\Litware\\Runtime", false));
    EXPECT_FALSE(machine.HasValue("InstallDir"));
    scanAll();
    EXPECT_TRUE(session->ReportRowSection.empty());

    const BackupActionResult restored = RestoreBackup(*session, *run.backupPath);
    ASSERT_TRUE(restored.ok) << restored.error;
    EXPECT_EQ(test::firstDifference(wholeRegistry(), before), "");
}

} // namespace
} // namespace tw
