// A 64-bit prefix: sections that name a key under HKLM\Software read its Wow6432Node twin too,
// where 32-bit programs register their entries.
#include "ScannerTestSupport.h"
#include "platform/RegFile.h"
#include "platform/TextCodec.h"
#include "registry/RegistryView.h"
#include "repair/BackupList.h"
#include "repair/RepairDriver.h"
#include "scanner/sections/SectionText.h"

#include <cstdio>

namespace tw {
namespace {

constexpr const char* kSharedDlls = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

// Each 32-bit entry is either sound (its file is in the x86 folder or syswow64) or broken;
// the native keys hold a broken entry each, so both views are read in one scan.
const char* kMachine = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\Zeta\\zetanative.dll"=dword:00000001

[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\windows\\system32\\zeta32.dll"=dword:00000001
"C:\\windows\\system32\\zeta32gone.dll"=dword:00000001
"C:\\Program Files (x86)\\Zeta\\zetalib.dll"=dword:00000002
"C:\\Program Files (x86)\\Zeta\\zetalibgone.dll"=dword:00000002

[Software\\Microsoft\\Windows\\Help] 1
"zetanative.hlp"="C:\\Zeta"

[Software\\Wow6432Node\\Microsoft\\Windows\\Help] 1
"zeta32.hlp"="C:\\windows\\system32"
"zeta.hlp"="C:\\Program Files (x86)\\Zeta"
"zetagone.hlp"="C:\\Program Files (x86)\\Zeta"

[Software\\Microsoft\\Windows\\Html Help] 1
"zetaime.chm"="C:\\Program Files (x86)\\Zeta"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zeta Native] 1
"UninstallString"="C:\\Zeta\\uninst.exe"

[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zeta Tool] 1
"UninstallString"="\"C:\\Program Files (x86)\\Zeta\\uninst.exe\" /S"

[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zeta Helper] 1
"UninstallString"="C:\\windows\\system32\\zeta32.exe /uninstall"

[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zeta Gone] 1
"UninstallString"="C:\\Program Files (x86)\\Zeta Gone\\uninst.exe /S"

[Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{5A4E7A00-0000-4000-8000-000000000001}] 1
"Compatibility Flags"=dword:00000400

[Software\\Wow6432Node\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{5A4E7A00-0000-4000-8000-000000000001}] 1
"Compatibility Flags"=dword:00000000

[Software\\Wow6432Node\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{5A4E7A00-0000-4000-8000-000000000002}] 1
"Compatibility Flags"=dword:00000400
)hive";

// Keys a 32-bit program finds in the twins of keys Wine links to the native ones, once the
// twins are keys of their own.
const char* kUnlinked = R"hive(
[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zeta.exe] 1
@=str(2):"%ProgramFiles%\\Zeta\\zeta.exe"

[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zetagone.exe] 1
@="C:\\Program Files (x86)\\Zeta\\zetagone.exe"

[Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Fonts] 1
"Zeta (TrueType)"="C:\\Program Files (x86)\\Zeta\\zeta.ttf"
"Zeta Gone (TrueType)"="C:\\Program Files (x86)\\Zeta\\zetagone.ttf"

[Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts] 1
"Zeta Native (TrueType)"="C:\\Zeta\\zetanative.ttf"
)hive";

/// The hive text of a key that Wine links to `target` (a path below HKEY_LOCAL_MACHINE).
std::string linkKey(const std::string& key, const std::string& target)
{
    std::string text = "\n[" + key + "] 1\n#link\n\"SymbolicLinkValue\"=hex(6):";
    const std::string bytes = platform::utf16ToBytes(platform::utf8ToUtf16(
        "\\Registry\\Machine\\" + sections::replaceAll(target, "\\\\", "\\")));
    for (size_t i = 0; i < bytes.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(bytes[i]));
        text += (i ? "," : "") + std::string(hex);
    }
    return text + "\n";
}

/// The hive text without the block of `key` (named as the hive file names it).
std::string withoutKey(std::string text, const std::string& key)
{
    const size_t start = text.find("\n[" + key + "] ");
    EXPECT_NE(start, std::string::npos) << key;
    if (start == std::string::npos)
        return text;
    const size_t end = text.find("\n[", start + 1);
    return text.erase(start, end == std::string::npos ? std::string::npos : end - start);
}

class BothViewsTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.fixtureHives("wine-8.0/fresh")
            .file("Program Files (x86)/Zeta/zetalib.dll")
            .file("Program Files (x86)/Zeta/zeta.hlp")
            .file("Program Files (x86)/Zeta/uninst.exe")
            .file("Program Files (x86)/Zeta/zeta.exe")
            .file("Program Files (x86)/Zeta/zeta.ttf")
            .file("windows/syswow64/zeta32.dll")
            .file("windows/syswow64/zeta32.hlp")
            .file("windows/syswow64/zeta32.exe");
        const std::filesystem::path system = builder.dir() / "system.reg";
        test::writeFile(system, machineHive(test::readFile(system)));
    }
    virtual std::string machineHive(const std::string& fixture)
    {
        // The 32-bit Html Help is the native key, as the same key reached twice.
        return fixture + kMachine +
               linkKey("Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\Html Help",
                       "Software\\\\Microsoft\\\\Windows\\\\Html Help");
    }
    void SetUp() override
    {
        ScannerTest::SetUp();
        session->MemoActiveX = {"Zeta One{5A4E7A00-0000-4000-8000-000000000001}",
                                "Zeta Two{5A4E7A00-0000-4000-8000-000000000002}"};
        session->AppSettings.SelectAll = true;
        DetectPlatform(*session);
    }

    /// The records of a section that name the planted entries.
    std::vector<std::string> zetaRecords(int section)
    {
        return recordsNaming(section, {"zeta", "5A4E7A00"});
    }
    std::string wholeRegistry()
    {
        return platform::exportRegFile(prefix->registry(), "", platform::RegFileFormat::Unicode);
    }
    /// Scans `sections`, repairs what they found, scans again and restores the backup: the
    /// rescan finds none of the planted entries and the restore gives the registry back.
    void repairAndRestore(const std::vector<int>& sections, size_t repaired)
    {
        const std::string before = wholeRegistry();
        SectionSelection selection{};
        for (int section : sections)
            selection[static_cast<size_t>(section)] = true;
        ScanSections(*session, selection, grid, view);
        test::RecordingRepairView repairView;
        const RepairRun run = RepairProblems(*session, repairView);
        ASSERT_TRUE(run.backupPath);
        size_t succeeded = 0;
        for (const auto& [problem, status] : repairView.rows) {
            EXPECT_EQ(status, "Repair Succeed") << problem;
            succeeded += sections::containsNoCase(problem, "Wow6432Node");
        }
        EXPECT_EQ(succeeded, repaired) << "the 32-bit entries are repaired where they are";
        EXPECT_NE(wholeRegistry(), before);
        for (int section : sections)
            EXPECT_EQ(zetaRecords(section), std::vector<std::string>()) << section;

        const BackupActionResult restored = RestoreBackup(*session, *run.backupPath);
        ASSERT_TRUE(restored.ok) << restored.error;
        EXPECT_EQ(test::firstDifference(wholeRegistry(), before), "");
    }
};

TEST_F(BothViewsTest, BrokenEntriesOfBothViewsAreFoundOnceAndSoundOnesNever)
{
    EXPECT_EQ(zetaRecords(8),
              (std::vector<std::string>{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls | "
                  "SharedDlls | C:\\Zeta\\zetanative.dll | 1",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\"
                  "SharedDlls | SharedDlls | C:\\Program Files (x86)\\Zeta\\zetalibgone.dll | 2",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\"
                  "SharedDlls | SharedDlls | C:\\windows\\system32\\zeta32gone.dll | 1",
              }));
    EXPECT_EQ(zetaRecords(6),
              (std::vector<std::string>{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help | zetanative.hlp |  | "
                  "C:\\Zeta\\zetanative.hlp",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\Help | "
                  "zetagone.hlp |  | C:\\Program Files (x86)\\Zeta\\zetagone.hlp",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Html Help | zetaime.chm |  | "
                  "C:\\Program Files (x86)\\Zeta\\zetaime.chm",
              }))
        << "the linked 32-bit Html Help is the native key, read once";
    EXPECT_EQ(zetaRecords(12),
              (std::vector<std::string>{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                  "Zeta Native | Zeta Native | UninstallString | C:\\Zeta\\uninst.exe",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\"
                  "Uninstall\\Zeta Gone | Zeta Gone | UninstallString | "
                  "C:\\Program Files (x86)\\Zeta Gone\\uninst.exe /S",
              }));
    EXPECT_EQ(zetaRecords(14),
              (std::vector<std::string>{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer\\"
                  "ActiveX Compatibility\\{5A4E7A00-0000-4000-8000-000000000001} | "
                  "{5A4E7A00-0000-4000-8000-000000000001} | Compatibility Flags | 0",
              }))
        << "a kill bit in one view does not stand for the other";
}

TEST_F(BothViewsTest, RepairRemovesThe32BitEntriesAndTheBackupBringsThemBack)
{
    repairAndRestore({6, 8, 12, 14}, 5);
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath(
        "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", false));
    EXPECT_TRUE(reg.HasValue("C:\\windows\\system32\\zeta32gone.dll")) << "restored";
}

TEST_F(BothViewsTest, KeysLinkedBetweenTheViewsAreReadOnce)
{
    const win::HKEY machine = win::HKEY_LOCAL_MACHINE;
    EXPECT_EQ(
        keyViews(*session, machine, kSharedDlls),
        (std::vector<std::string>{
            kSharedDlls, "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDlls"}));
    // Wine links these twins to the native keys.
    EXPECT_EQ(keyViews(*session, machine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"),
              (std::vector<std::string>{"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"}));
    EXPECT_EQ(keyViews(*session, machine,
                       std::vector<std::string>{"Software\\Microsoft\\Windows\\Html Help",
                                                "Software\\Wow6432Node\\Microsoft\\Windows\\Html "
                                                "Help"}),
              (std::vector<std::string>{"Software\\Microsoft\\Windows\\Html Help"}));
    EXPECT_EQ(keyViews(*session, win::HKEY_CURRENT_USER, "Software\\Wine"),
              (std::vector<std::string>{"Software\\Wine"}))
        << "the user's hive is not split";
    EXPECT_EQ(keyViews(*session, machine, "Software\\Zeta"), std::vector<std::string>());
}

/// Twins of App Paths and Fonts that are keys of their own, not Wine's links.
class UnlinkedViewsTest : public BothViewsTest
{
protected:
    std::string machineHive(const std::string& fixture) override
    {
        std::string text = fixture;
        for (const char* twin :
             {"Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths",
              "Software\\\\Wow6432Node\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Fonts"})
            text = withoutKey(text, twin);
        return text + kUnlinked;
    }
};

TEST_F(UnlinkedViewsTest, AppPathsAndFontsOfThe32BitViewAreFoundAndRepaired)
{
    EXPECT_EQ(zetaRecords(0), (std::vector<std::string>{
                                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\"
                                  "CurrentVersion\\App Paths\\zetagone.exe | zetagone.exe | Path | "
                                  "C:\\Program Files (x86)\\Zeta\\zetagone.exe",
                              }))
        << "%ProgramFiles% of a 32-bit entry is the x86 folder";
    EXPECT_EQ(zetaRecords(9),
              (std::vector<std::string>{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts | "
                  "Fonts | Zeta Native (TrueType) | C:\\Zeta\\zetanative.ttf",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\"
                  "CurrentVersion\\Fonts | Fonts | Zeta Gone (TrueType) | "
                  "C:\\Program Files (x86)\\Zeta\\zetagone.ttf",
              }));
    repairAndRestore({0, 9}, 2);
}

} // namespace
} // namespace tw
