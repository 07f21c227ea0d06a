// The browser repair on a real prefix: exactly the values each item writes, the Run entries
// it removes, its undo backup, and the cases where it must change nothing.
#include "tools/browser/BrowserRepair.h"

#include "platform/RegFile.h"
#include "platform/TextCodec.h"
#include "platform/wine/HiveStore.h"
#include "registry/TRegistry.h"
#include "repair/BackupList.h"
#include "repair/BackupWriter.h"
#include "support/PrefixFixture.h"
#include "support/RegistryImage.h"
#include "tools/browser/BrowserRepairItems.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

using test::readFile;
using test::writeFile;
namespace fs = std::filesystem;

using test::RegistryImage;

RegistryImage imageOf(const Session& session)
{
    return test::registryImageOf(
        platform::exportRegFile(session.registry(), "", platform::RegFileFormat::Unicode));
}

/// The first difference of two images, for a readable failure.
std::string difference(const RegistryImage& actual, const RegistryImage& expected)
{
    for (const auto& [key, values] : expected) {
        const auto at = actual.find(key);
        if (at == actual.end())
            return "missing key " + key;
        for (const auto& [name, data] : values) {
            const auto value = at->second.find(name);
            if (value == at->second.end())
                return "missing value " + key + " \"" + name + "\"";
            if (value->second != data)
                return key + " \"" + name + "\" is " + value->second + ", expected " + data;
        }
        for (const auto& [name, data] : at->second) {
            if (!values.count(name))
                return "extra value " + key + " \"" + name + "\" = " + data;
        }
    }
    for (const auto& [key, values] : actual) {
        if (!expected.count(key))
            return "extra key " + key;
    }
    return "";
}

const std::string kHklm = "hkey_local_machine\\";
const std::string kHkcu = "hkey_users\\s-1-5-21-0-0-0-1000\\";
const std::string kDefault = "hkey_users\\.default\\";

std::string dword0()
{
    return "4:" + std::string(4, '\0');
}
std::string binary0()
{
    return "3:" + std::string(4, '\0');
}
std::string text(const std::string& value)
{
    return "1:" + value + std::string(1, '\0');
}

const char* kMachine = R"(
[Software\\Microsoft\\Internet Explorer\\Extensions\\{AAAA}] 1
"ButtonText"="Hijack"
[Software\\Microsoft\\Internet Explorer\\Extensions\\{AAAA}\\Sub] 1
"x"=dword:00000001
[Software\\Microsoft\\Internet Explorer\\Extensions\\{BBBB}] 1
[Software\\Microsoft\\Internet Explorer\\Main] 1
"Start Page"="http://hijack.example/start"
"Window Title"="Hijacked"
"Search Page"="http://hijack.example/search"
"Keep"="this stays"
[Software\\Microsoft\\Internet Explorer\\Search] 1
"SearchAssistant"="http://hijack.example/sa"
[Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer] 1
"NoFolderOptions"=dword:00000001
[Software\\Microsoft\\Windows\\CurrentVersion\\Run] 1
"Binary"=hex:68,74,74,70,3a,2f,2f,68,69,6a,61,63,6b,2e,65,78,61,6d,70,6c,65,2f,73,74,61,72,74
"Editor"="regedit.exe C:\\notes.reg"
"Hijacker"="C:\\evil\\launch.exe http://hijack.example/start"
"Importer"="REGEDIT /S C:\\evil\\x.reg"
"Importer2"=str(2):"cmd /c ReGeDiT -s y.reg"
"Other"="C:\\tools\\ok.exe"
"Upper"="C:\\evil\\launch.exe HTTP://HIJACK.EXAMPLE/START"
"registry.exe"="C:\\Program Files\\registry.exe"
)";

const char* kUser = R"(
[Software\\Microsoft\\Internet Explorer\\Main] 1
"Start Page"="http://hijack.example/user"
[Software\\Microsoft\\Internet Explorer\\MenuExt] 1
"Stray"="x"
[Software\\Microsoft\\Internet Explorer\\MenuExt\\&Hijack] 1
@="res://evil"
[Software\\Microsoft\\Internet Explorer\\TypedUrls] 1
"url1"="http://a.example/"
"url2"="http://b.example/"
[Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System] 1
"DisableRegistryTools"=dword:00000001
"NoDispCPL"=dword:00000001
[Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions] 1
"NoBrowserContextMenu"=dword:00000001
"NoViewSource"=dword:00000002
)";

class RecordedStatuses : public BrowserRepairView
{
public:
    void setStatus(int row, const std::string& status) override
    {
        events.push_back(std::to_string(row) + " " + status);
    }
    void yield() override { ++yields; }
    std::vector<std::string> events;
    int yields = 0;
};

class BrowserRepairTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kMachine).userHive(kUser).userdefHive("[Software] 1\n");
        builder.file("Program Files/registry.exe", "not a registry tool");
    }
    void sessionStarted() override { session->PlatformKind = 4; }

    BrowserRepairRun repair(const std::vector<bool>& checked)
    {
        return RepairBrowser(*session, checked, statuses);
    }
    static std::vector<bool> only(std::initializer_list<int> rows)
    {
        std::vector<bool> checked(13, false);
        for (int row : rows)
            checked[static_cast<size_t>(row)] = true;
        return checked;
    }
    std::vector<std::string> runValues()
    {
        TRegistry reg(*session);
        reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
        std::vector<std::string> names;
        if (reg.OpenPath("Software\\Microsoft\\Windows\\CurrentVersion\\Run", false))
            reg.ListValues(names);
        return names;
    }

    RecordedStatuses statuses;
};

TEST_F(BrowserRepairTest, ItemsAreTheThirteenInListOrder)
{
    std::vector<std::string_view> names;
    for (const BrowserRepairItem& item : BrowserRepairItems())
        names.push_back(item.name);
    EXPECT_EQ(names,
              (std::vector<std::string_view>{
                  "Restore HomePage", "Fix Explorer", "Restore Regedit",
                  "Fix Explorer Search Engine", "Enable Explorer Control", "Explorer Right Menu",
                  "Enable Desktop Icon", "Restore IE Option", "Restore Program's Menu",
                  "Restore Control Panel", "Delete Explorer Context Menu",
                  "Delete Explorer Address's URL", "Fix Explorer Button"}));
}

TEST_F(BrowserRepairTest, AllItemsChangeExactlyWhatTheyWriteAndTheBackupUndoesIt)
{
    const RegistryImage before = imageOf(*session);
    const BrowserRepairRun run = repair(std::vector<bool>(13, true));
    ASSERT_EQ(run.error, "");
    ASSERT_TRUE(run.backupPath);

    std::vector<std::string> expectedEvents;
    for (int row = 0; row < 13; ++row) {
        expectedEvents.push_back(std::to_string(row) + " Repairing");
        expectedEvents.push_back(std::to_string(row) + " Completed");
    }
    EXPECT_EQ(statuses.events, expectedEvents);
    EXPECT_EQ(statuses.yields, 13);

    RegistryImage expected = before;
    const std::string main = kHklm + "software\\microsoft\\internet explorer\\main";
    expected[main]["start page"] = text("about:blank");
    expected[main]["window title"] = text("Microsoft Internet Explorer");
    expected[main]["default_page_url"] = text("");
    expected[main]["default_search_url"] = text("");
    expected[main]["search page"] = text("");
    const std::string userMain = kHkcu + "software\\microsoft\\internet explorer\\main";
    expected[userMain]["start page"] = text("about:blank");
    expected[userMain]["window title"] = text("Microsoft Internet Explorer");
    const std::string run0 = kHklm + "software\\microsoft\\windows\\currentversion\\run";
    for (const char* gone : {"hijacker", "importer", "importer2", "registry.exe"})
        expected[run0].erase(gone);
    expected[kHklm + "software\\microsoft\\windows\\currentversion\\policies\\explorer"]
            ["nofolderoptions"] = binary0();
    const std::string controlPan =
        kDefault + "software\\policies\\microsoft\\internet explorer\\control pan";
    expected[kDefault + "software\\policies"];
    expected[kDefault + "software\\policies\\microsoft"];
    expected[kDefault + "software\\policies\\microsoft\\internet explorer"];
    expected[controlPan]["homepage"] = dword0();
    const std::string system =
        kHkcu + "software\\microsoft\\windows\\currentversion\\policies\\system";
    expected[system]["disableregistrytools"] = dword0();
    const std::string search = kHklm + "software\\microsoft\\internet explorer\\search";
    const std::string assistant =
        text("http://ie.search.msn.com/{SUB_RFC1766}/srchasst/srchasst.htm");
    expected[search]["customizesearch"] = assistant;
    expected[search]["searchassistant"] = assistant;
    const std::string restrictions =
        kHkcu + "software\\policies\\microsoft\\internet explorer\\restrictions";
    for (const char* name :
         {"noviewsource", "nobrowsercontextmenu", "nobrowserclose", "nobrowseroptions",
          "nobrowsersaveas", "nofavorites", "nofilenew", "nofileopen", "nofindfiles",
          "noselectdownloaddir", "notheatermode", "noaddressbar", "notoolbar", "nolinksbar"})
        expected[restrictions][name] = dword0();
    const std::string defaultRestrictions =
        kDefault + "software\\policies\\microsoft\\internet explorer\\restrictions";
    expected[defaultRestrictions]["noviewsource"] = dword0();
    expected[defaultRestrictions]["nobrowsercontextmenu"] = dword0();
    const std::string explorer =
        kHkcu + "software\\microsoft\\windows\\currentversion\\policies\\explorer";
    expected[kHkcu + "software\\microsoft\\windows\\currentversion\\policies"];
    expected[explorer]["nodesktop"] = dword0();
    expected[explorer]["nofolderoptions"] = binary0();
    expected[explorer]["restrictrun"] = dword0();
    const std::string defaultExplorer =
        kDefault + "software\\microsoft\\windows\\currentversion\\policies\\explorer";
    for (const char* part : {"software\\microsoft", "software\\microsoft\\windows",
                             "software\\microsoft\\windows\\currentversion",
                             "software\\microsoft\\windows\\currentversion\\policies"})
        expected[kDefault + part];
    for (const char* name : {"norun", "nologoff", "nofind", "noclose", "nosetfolders",
                             "nofavoritesmenu", "nostartbanner"})
        expected[defaultExplorer][name] = dword0();
    for (const char* name : {"noseccpl", "nodispcpl", "nodispbackgroundpage", "nodispscrsavpage",
                             "nodispappearancepage", "nodispsettingspage", "nodevmgrpage",
                             "noconfigpage", "novirtmempage", "nofilesyspage", "nonetsetup",
                             "nonetsetupidpage", "nonetsetupsecuritypage", "noworkgroupcontents",
                             "noentirenetwork", "nofilesharingcontrol"})
        expected[system][name] = dword0();
    expected[kHkcu + "software\\microsoft\\internet explorer\\menuext"].clear();
    expected[kHkcu + "software\\microsoft\\internet explorer\\typedurls"].clear();
    for (auto it = expected.begin(); it != expected.end();) {
        if (it->first.rfind(kHklm + "software\\microsoft\\internet explorer\\extensions\\", 0) == 0)
            it = expected.erase(it);
        else
            ++it;
    }
    const RegistryImage after = imageOf(*session);
    EXPECT_EQ(difference(after, expected), "");
    EXPECT_TRUE(after.count(kHkcu + "software\\microsoft\\internet explorer\\menuext\\&hijack"))
        << "the context menu's subkeys stay";
    EXPECT_FALSE(fs::exists(driveC() / "Program Files" / "registry.exe"));

    // The changes are on disk: a new session reads them.
    reopen();
    EXPECT_EQ(difference(imageOf(*session), expected), "");

    const std::vector<BackupEntry> backups = ListBackups(*session);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].path, *run.backupPath);
    const BackupActionResult restored = RestoreBackup(*session, *run.backupPath);
    ASSERT_TRUE(restored.ok) << restored.message << " " << restored.error;
    EXPECT_EQ(difference(imageOf(*session), before), "");
    EXPECT_EQ(readFile(driveC() / "Program Files" / "registry.exe"), "not a registry tool");
}

TEST_F(BrowserRepairTest, StartPageEntryNamedLikeThePageIsDeletedAlone)
{
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath("Software\\Microsoft\\Windows\\CurrentVersion\\Run", false));
    reg.WriteText("HTTP://hijack.example/start", "C:\\x.exe");
    ASSERT_EQ(repair(only({0})).error, "");
    const std::vector<std::string> left = runValues();
    EXPECT_EQ(std::count(left.begin(), left.end(), "HTTP://hijack.example/start"), 0);
    EXPECT_EQ(std::count(left.begin(), left.end(), "Hijacker"), 1)
        << "the data of the other values is not looked at";
}

TEST_F(BrowserRepairTest, StartPageInDataIsMatchedExactlyInStringValuesOnly)
{
    ASSERT_EQ(repair(only({0})).error, "");
    const std::vector<std::string> left = runValues();
    EXPECT_EQ(left, (std::vector<std::string>{"Binary", "Editor", "Other", "Upper"}));
}

TEST_F(BrowserRepairTest, EmptyOrUnreadableStartPageRemovesNoRunEntry)
{
    for (const bool binary : {false, true}) {
        SCOPED_TRACE(binary);
        reopen();
        TRegistry reg(*session);
        reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenPath("Software\\Microsoft\\Internet Explorer\\Main", false));
        if (binary)
            reg.WriteBytes("Start Page", "http://hijack.example/start", 27);
        else
            reg.WriteText("Start Page", "");
        ASSERT_EQ(repair(only({0})).error, "");
        const std::vector<std::string> left = runValues();
        EXPECT_EQ(std::count(left.begin(), left.end(), "Hijacker"), 1);
        EXPECT_EQ(std::count(left.begin(), left.end(), "Importer"), 0);
    }
}

TEST_F(BrowserRepairTest, ItemsOfOneKeyEachTouchOnlyTheirValues)
{
    ASSERT_EQ(repair(only({10, 11, 12})).error, "");
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    std::vector<std::string> names;
    ASSERT_TRUE(reg.OpenPath("Software\\Microsoft\\Internet Explorer\\MenuExt", false));
    reg.ListValues(names);
    EXPECT_TRUE(names.empty());
    reg.ListSubkeys(names);
    EXPECT_EQ(names, std::vector<std::string>{"&Hijack"});
    ASSERT_TRUE(reg.OpenPath("\\Software\\Microsoft\\Internet Explorer\\TypedUrls", false));
    reg.ListValues(names);
    EXPECT_TRUE(names.empty());
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath("Software\\Microsoft\\Internet Explorer\\Extensions", false));
    reg.ListSubkeys(names);
    EXPECT_TRUE(names.empty());
    // The start page and the Run key are another item's.
    EXPECT_EQ(runValues().size(), 8u);
    EXPECT_EQ(statuses.events,
              (std::vector<std::string>{"10 Repairing", "10 Completed", "11 Repairing",
                                        "11 Completed", "12 Repairing", "12 Completed"}));
}

TEST_F(BrowserRepairTest, NothingCheckedChangesNothing)
{
    const std::string system = readFile(fs::path(prefixPath()) / "system.reg");
    const BrowserRepairRun run = repair(std::vector<bool>(13, false));
    EXPECT_EQ(run.error, "");
    EXPECT_FALSE(run.backupPath);
    EXPECT_TRUE(statuses.events.empty());
    EXPECT_EQ(readFile(fs::path(prefixPath()) / "system.reg"), system);
    EXPECT_TRUE(ListBackups(*session).empty());
}

TEST_F(BrowserRepairTest, BackupThatCannotBeWrittenChangesNothing)
{
    // A file where the backup folder should be.
    writeFile(driveC() / "Program Files" / "Tidewell", "in the way");
    const RegistryImage before = imageOf(*session);
    const BrowserRepairRun run = repair(std::vector<bool>(13, true));
    EXPECT_NE(run.error.find("Nothing was changed: the backup could not be written"),
              std::string::npos)
        << run.error;
    EXPECT_FALSE(run.backupPath);
    EXPECT_TRUE(statuses.events.empty());
    EXPECT_EQ(difference(imageOf(*session), before), "");
    reopen();
    EXPECT_EQ(difference(imageOf(*session), before), "");
    EXPECT_TRUE(fs::exists(driveC() / "Program Files" / "registry.exe"));
}

TEST_F(BrowserRepairTest, HiveChangedOnDiskMeanwhileIsRefusedWhole)
{
    const fs::path user = fs::path(prefixPath()) / "user.reg";
    const std::string changed = readFile(user) + "\n[Software\\\\Other] 1\n";
    writeFile(user, changed);
    const BrowserRepairRun run = repair(std::vector<bool>(13, true));
    EXPECT_NE(run.error.find("Nothing was changed: "), std::string::npos) << run.error;
    EXPECT_TRUE(statuses.events.empty());
    EXPECT_EQ(readFile(user), changed);
    EXPECT_TRUE(fs::exists(driveC() / "Program Files" / "registry.exe"));
    EXPECT_FALSE(fs::exists(driveC() / "Program Files" / "Tidewell" / "AllRegBack"));
}

TEST_F(BrowserRepairTest, SaveThatFailsTakesTheRepairBackWhole)
{
    const fs::path user = fs::path(prefixPath()) / "user.reg";
    const std::string system = readFile(fs::path(prefixPath()) / "system.reg");
    const std::string otherWriter = readFile(user) + "\n[Software\\\\Other] 1\n";
    // Another program writes user.reg while the repair's hives are being saved.
    prefix->hiveStore().setSaveObserver([&](wine::SaveStep step, const std::string& file) {
        if (step == wine::SaveStep::Renamed && file.find("system.reg") != std::string::npos)
            writeFile(user, otherWriter);
    });
    const RegistryImage before = imageOf(*session);
    const BrowserRepairRun run = repair(std::vector<bool>(13, true));
    EXPECT_NE(run.error.find("Nothing was changed: the change could not be saved"),
              std::string::npos)
        << run.error;
    EXPECT_FALSE(run.backupPath);
    ASSERT_FALSE(statuses.events.empty());
    EXPECT_EQ(statuses.events.back(), "12 ");
    // The registry reads as the files on disk: as before, with the other program's key.
    RegistryImage expected = before;
    expected[kHkcu + "software\\other"];
    EXPECT_EQ(difference(imageOf(*session), expected), "");
    EXPECT_EQ(readFile(fs::path(prefixPath()) / "system.reg"), system);
    EXPECT_EQ(readFile(user), otherWriter);
    EXPECT_TRUE(fs::exists(driveC() / "Program Files" / "registry.exe"));
    EXPECT_TRUE(ListBackups(*session).empty());
}

// A 64-bit prefix hijacked in the 32-bit view, whose toolbar extensions key Wine links to the
// native one.
const std::string kViewsMachine = std::string(R"(
[Software\\Microsoft\\Internet Explorer\\Extensions\\{AAAA}] 1
"ButtonText"="Hijack"
[Software\\Microsoft\\Internet Explorer\\Main] 1
"Start Page"="http://native.example/"
[Software\\Microsoft\\Windows\\CurrentVersion\\Run] 1
"Native"="C:\\tools\\launch.exe http://hijack32.example/"
[Software\\Wow6432Node\\Microsoft\\Internet Explorer\\Main] 1
"Start Page"="http://hijack32.example/"
"Keep"="this stays"
[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer] 1
"NoFolderOptions"=dword:00000001
[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run] 1
"Hijack32"="C:\\evil\\launch.exe http://hijack32.example/"
"Importer32"="regedit /s C:\\evil\\x.reg"
"Fine"="C:\\tools\\ok.exe"
)") + test::linkSection("Software\\\\Wow6432Node\\\\Microsoft\\\\Internet Explorer\\\\Extensions",
                        "\\Registry\\Machine\\Software\\Microsoft\\Internet Explorer\\Extensions");

class BrowserViewsTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kViewsMachine).userHive("[Software] 1\n").userdefHive("[Software] 1\n");
    }
    void sessionStarted() override { session->PlatformKind = 4; }

    std::vector<std::string> valuesOf(const std::string& key)
    {
        TRegistry reg(*session);
        reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
        std::vector<std::string> names;
        if (reg.OpenPath(key, false))
            reg.ListValues(names);
        return names;
    }
    std::string textOf(const std::string& key, const std::string& name)
    {
        TRegistry reg(*session);
        reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
        return reg.OpenPath(key, false) ? reg.ReadTextValue(name).value_or("(none)") : "(no key)";
    }

    RecordedStatuses statuses;
};

TEST_F(BrowserViewsTest, RepairsThe32BitViewTooAndALinkedKeyOnce)
{
    const RegistryImage before = imageOf(*session);
    // Restore HomePage, Fix Explorer, Fix Explorer Search Engine, Fix Explorer Button.
    std::vector<bool> checked(13, false);
    for (const size_t row : {0u, 1u, 3u, 12u})
        checked[row] = true;
    const BrowserRepairRun run = RepairBrowser(*session, checked, statuses);
    ASSERT_EQ(run.error, "");
    ASSERT_TRUE(run.backupPath);

    reopen();
    const std::string wow = "Software\\Wow6432Node\\Microsoft\\";
    EXPECT_EQ(valuesOf(wow + "Windows\\CurrentVersion\\Run"), std::vector<std::string>{"Fine"});
    EXPECT_EQ(valuesOf("Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
              std::vector<std::string>{"Native"})
        << "the 32-bit start page is looked for in the 32-bit Run key only";
    EXPECT_EQ(textOf(wow + "Internet Explorer\\Main", "Start Page"), "about:blank");
    EXPECT_EQ(textOf(wow + "Internet Explorer\\Main", "Keep"), "this stays");
    EXPECT_EQ(imageOf(*session)[kHklm + "software\\wow6432node\\microsoft\\windows\\currentversion"
                                        "\\policies\\explorer"]["nofolderoptions"],
              binary0());
    EXPECT_EQ(textOf(wow + "Internet Explorer\\Search", "SearchAssistant"), "(no key)")
        << "keys missing in the 32-bit view are not made";
    EXPECT_TRUE(valuesOf("Software\\Microsoft\\Internet Explorer\\Extensions\\{AAAA}").empty());
    EXPECT_EQ(textOf(wow + "Internet Explorer\\Extensions\\{AAAA}", "ButtonText"), "(no key)");
    // The linked key's subtree is deleted, and kept in the backup, once.
    std::string backup;
    {
        auto in = session->files().openFile(*run.backupPath, platform::FileStream::Mode::Read);
        ASSERT_TRUE(in);
        backup.resize(static_cast<size_t>(in->size()));
        backup.resize(
            static_cast<size_t>(in->read(backup.data(), static_cast<std::int64_t>(backup.size()))));
    }
    if (backup.starts_with("\xFF\xFE"))
        backup = platform::utf16ToUtf8(platform::bytesToUtf16(backup.substr(2)));
    size_t kept = 0;
    for (size_t at = backup.find("\"ButtonText\""); at != std::string::npos;
         at = backup.find("\"ButtonText\"", at + 1))
        ++kept;
    EXPECT_EQ(kept, 1u) << backup;

    const BackupActionResult restored = RestoreBackup(*session, *run.backupPath);
    ASSERT_TRUE(restored.ok) << restored.message << " " << restored.error;
    EXPECT_EQ(difference(imageOf(*session), before), "");
}

} // namespace
} // namespace tw
