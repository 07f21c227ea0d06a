// tidewell-cli browser-repair as a user runs it: first on a prefix built from hive text,
// then on a prefix that real Wine made and hijacked with its own regedit and reg.
#include "platform/RegFile.h"
#include "platform/TextCodec.h"
#include "support/CliFixture.h"
#include "support/RealWinePrefix.h"

#include <gtest/gtest.h>
#include <map>

namespace tw::cli {
namespace {

using test::cliPath;
using test::PrefixBuilder;
using test::readFile;
using test::runProcess;
using test::TempDir;
namespace fs = std::filesystem;

class BrowserCommandTest : public test::CliTest
{
protected:
    void SetUp() override
    {
        PrefixBuilder(dir.path() / "prefix")
            .fixtureHives("wine-8.0/fresh")
            .file("Program Files/registry.exe", "planted");
        const fs::path system = dir.path() / "prefix" / "system.reg";
        test::writeFile(system, readFile(system) + R"(
[Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System] 1
"Marker"=dword:00000001
)");
    }
};

TEST_F(BrowserCommandTest, RunsTheChosenItemsAndNamesTheBackup)
{
    const auto run = cli({"browser-repair", "--items", "3,7", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string backupDir = prefix() + "/drive_c/Program Files/Tidewell/AllRegBack/";
    EXPECT_EQ(run.out.find("{\"backup\": \"" + backupDir + "Browser Repair Backup_"), 0u) << run.out;
    EXPECT_NE(run.out.find("\"rows\": [{\"name\": \"Restore Regedit\", \"status\": \"Completed\"}, "
                           "{\"name\": \"Enable Desktop Icon\", \"status\": \"Completed\"}]}\n"),
              std::string::npos)
        << run.out;
    const auto query = cli(
        {"reg", "query", "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"});
    EXPECT_NE(query.out.find("DisableRegistryTools"), std::string::npos) << query.out;
    EXPECT_TRUE(fs::exists(dir.path() / "prefix/drive_c/Program Files/registry.exe"))
        << "only Restore HomePage deletes it";
}

TEST_F(BrowserCommandTest, BadItemListsAreRefusedBeforeAnythingChanges)
{
    const std::string system = readFile(dir.path() / "prefix" / "system.reg");
    for (const char* items : {"0", "14", "2,x", ","}) {
        const auto run = cli({"browser-repair", "--items", items});
        EXPECT_EQ(run.exitCode, 2) << items;
        EXPECT_NE(run.err.find("item number"), std::string::npos) << run.err;
    }
    EXPECT_EQ(readFile(dir.path() / "prefix" / "system.reg"), system);
    EXPECT_FALSE(fs::exists(dir.path() / "prefix/drive_c/Program Files/Tidewell"));
}

TEST_F(BrowserCommandTest, BesideRunningWineNothingIsChanged)
{
    const std::map<std::string, std::string> env = {{"WINEPREFIX", prefix()},
                                                    {"WINEDEBUG", "-all"}};
    ASSERT_EQ(runProcess({"wineserver", "-p"}, env).exitCode, 0);
    const auto run = cli({"browser-repair"});
    runProcess({"wineserver", "-k"}, env);
    runProcess({"wineserver", "-w"}, env);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("wineserver -k"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(dir.path() / "prefix/drive_c/Program Files/Tidewell"));
    EXPECT_TRUE(fs::exists(dir.path() / "prefix/drive_c/Program Files/registry.exe"));
}

/// key path (lower case) -> value name (lower case) -> "type:data", from a .reg file.
using RegistryImage = std::map<std::string, std::map<std::string, std::string>>;

std::string lower(const std::string& text)
{
    std::u16string folded;
    for (char16_t c : platform::utf8ToUtf16(text))
        folded.push_back(platform::foldCase(c));
    return platform::utf16ToUtf8(folded);
}

void addToImage(RegistryImage& image, const std::string& regFile)
{
    for (const platform::RegFileOperation& op : platform::parseRegFile(regFile)) {
        const std::string path = lower(op.key.rootName + "\\" + op.key.subKey);
        if (op.kind == platform::RegFileOperation::Kind::CreateKey)
            image[path];
        else if (op.kind == platform::RegFileOperation::Kind::SetValue)
            image[path][lower(op.valueName)] = std::to_string(op.type) + ":" + op.data;
    }
}

const std::vector<std::string> kRepairedTrees = {
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Internet Explorer",
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies",
    "HKEY_CURRENT_USER\\Software\\Policies",
    "HKEY_USERS\\.DEFAULT\\Software"};

/// Real Wine's prefix, hijacked by Wine's own tools.
class BrowserWineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!test::wineInstalled())
            GTEST_SKIP() << "wine is not installed";
        fs::create_directories(m_dir.path() / "home");
        ASSERT_EQ(test::copyBootedPrefix(prefix()), "");
        ASSERT_TRUE(fs::exists(prefix() + "/system.reg"));
    }
    void TearDown() override
    {
        runProcess({"wineserver", "-k"}, env());
        runProcess({"wineserver", "-w"}, env());
    }

    std::string prefix() const { return (m_dir.path() / "prefix").string(); }
    std::string file(const std::string& name) const { return (m_dir.path() / name).string(); }
    std::map<std::string, std::string> env() const
    {
        return {{"WINEPREFIX", prefix()},
                {"HOME", (m_dir.path() / "home").string()},
                {"WINEDEBUG", "-all"},
                {"WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d"},
                {"DISPLAY", ""}};
    }
    static std::string windowsPath(const std::string& host)
    {
        std::string path = "Z:" + host;
        for (char& c : path)
            if (c == '/')
                c = '\\';
        return path;
    }
    /// Runs a Wine program and waits until Wine has written the registry back.
    test::ProcessResult wine(std::vector<std::string> args)
    {
        auto result = wineLeftRunning(std::move(args));
        runProcess({"wineserver", "-w"}, env());
        return result;
    }
    /// Runs a Wine program that only reads, and leaves Wine running for the next one.
    test::ProcessResult wineLeftRunning(std::vector<std::string> args)
    {
        args.insert(args.begin(), test::wineLoader64());
        return runProcess(args, env());
    }
    test::ProcessResult cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), {cliPath(), "--prefix", prefix()});
        return runProcess(args, env());
    }
    /// The trees the repair works in, as Wine's regedit exports them.
    RegistryImage wineImage(const std::string& name,
                            const std::vector<std::string>& keys = kRepairedTrees)
    {
        RegistryImage image;
        int part = 0;
        for (const std::string& key : keys) {
            const std::string out = file(name + std::to_string(part++) + ".reg");
            const auto exported = wineLeftRunning({"regedit", "/E", windowsPath(out), key});
            if (exported.exitCode != 0 || !fs::exists(out)) {
                image["(missing) " + lower(key)];
                continue;
            }
            addToImage(image, readFile(out));
        }
        runProcess({"wineserver", "-w"}, env());
        return image;
    }
    std::string wineQuery(const std::string& key, const std::string& name)
    {
        return wineLeftRunning({"reg", "query", key, "/v", name}).out;
    }

    TempDir m_dir;
};

const char* kHijack = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Main]
"Start Page"="http://hijack.example/"
"Search Page"="http://hijack.example/search"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Extensions\{11111111-2222-3333-4444-555555555555}]
"ButtonText"="Hijack"
"Exec"="C:\\evil\\button.exe"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]
"Updater"="C:\\evil\\upd.exe http://hijack.example/"
"Import"="regedit /s C:\\evil\\policy.reg"
"registry.exe"="C:\\Program Files\\registry.exe"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer]
"NoFolderOptions"=dword:00000001

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main]
"Start Page"="http://hijack.example/user"

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\MenuExt\&Search the hijacker]
@="res://evil.dll/menu.htm"

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\TypedURLs]
"url1"="http://hijack.example/"

[HKEY_CURRENT_USER\Software\Policies\Microsoft\Internet Explorer\Restrictions]
"NoBrowserOptions"=dword:00000001
"NoViewSource"=dword:00000001

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer]
"NoDesktop"=dword:00000001
)";

TEST_F(BrowserWineTest, RepairsWhatWinePlantedAndItsBackupPutsEverythingBack)
{
    test::writeFile(file("hijack.reg"), kHijack);
    ASSERT_EQ(wine({"regedit", "/S", windowsPath(file("hijack.reg"))}).exitCode, 0);
    ASSERT_EQ(
        wine({"reg", "add", "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
              "/v", "DisableRegistryTools", "/t", "REG_DWORD", "/d", "1", "/f"})
            .exitCode,
        0);
    test::writeFile(fs::path(prefix()) / "drive_c/Program Files/registry.exe", "planted");
    const RegistryImage before = wineImage("before");
    for (const auto& [key, values] : before)
        ASSERT_NE(key.rfind("(missing)", 0), 0u) << "Wine's regedit could not export " << key;
    ASSERT_TRUE(
        before.count("hkey_local_machine\\software\\microsoft\\internet explorer\\extensions"
                     "\\{11111111-2222-3333-4444-555555555555}"));

    const auto run = cli({"browser-repair", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const size_t at = run.out.find("{\"backup\": \"");
    ASSERT_EQ(at, 0u) << run.out;
    const std::string backup = run.out.substr(12, run.out.find('"', 12) - 12);
    ASSERT_TRUE(fs::exists(backup)) << backup;
    EXPECT_NE(run.out.find("{\"name\": \"Fix Explorer Button\", \"status\": \"Completed\"}]}"),
              std::string::npos);

    // What Wine itself now reads.
    const std::string ieMain = "HKLM\\Software\\Microsoft\\Internet Explorer\\Main";
    EXPECT_NE(wineQuery(ieMain, "Start Page").find("about:blank"), std::string::npos);
    EXPECT_NE(wineQuery("HKCU\\Software\\Microsoft\\Internet Explorer\\Main", "Window Title")
                  .find("Microsoft Internet Explorer"),
              std::string::npos);
    EXPECT_NE(wineQuery("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                        "DisableRegistryTools")
                  .find("0x0"),
              std::string::npos);
    EXPECT_NE(wineQuery("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                        "NoFolderOptions")
                  .find("REG_BINARY"),
              std::string::npos);
    const std::string runKey =
        wine({"reg", "query", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"}).out;
    EXPECT_EQ(runKey.find("Updater"), std::string::npos) << runKey;
    EXPECT_EQ(runKey.find("Import"), std::string::npos) << runKey;
    EXPECT_EQ(runKey.find("registry.exe"), std::string::npos) << runKey;
    EXPECT_FALSE(fs::exists(fs::path(prefix()) / "drive_c/Program Files/registry.exe"));
    const RegistryImage repaired = wineImage("repaired");
    EXPECT_FALSE(repaired.count("hkey_local_machine\\software\\microsoft\\internet explorer\\"
                                "extensions\\{11111111-2222-3333-4444-555555555555}"));
    EXPECT_TRUE(repaired.count("hkey_current_user\\software\\microsoft\\internet "
                               "explorer\\menuext\\&search the hijacker"));

    EXPECT_NE(repaired, before);

    const auto restore = cli({"backups", "restore", backup});
    ASSERT_EQ(restore.exitCode, 0) << restore.err;
    const RegistryImage after = wineImage("after");
    for (const auto& [key, values] : before) {
        const auto found = after.find(key);
        if (found == after.end())
            ADD_FAILURE() << "not restored: " << key;
        else if (found->second != values)
            ADD_FAILURE() << "values differ in " << key;
    }
    for (const auto& [key, values] : after) {
        if (!before.count(key))
            ADD_FAILURE() << "left behind: " << key;
    }
    EXPECT_EQ(readFile(fs::path(prefix()) / "drive_c/Program Files/registry.exe"), "planted");
}

TEST_F(BrowserWineTest, RepairsA32BitHijackAndItsBackupPutsItBack)
{
    const std::string ieMain = "HKLM\\Software\\Microsoft\\Internet Explorer\\Main";
    const std::string run = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string policies =
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
    for (const std::vector<std::string>& add :
         {std::vector<std::string>{ieMain, "Start Page", "REG_SZ", "http://hijack32.example/"},
          {run, "Updater32", "REG_SZ", "C:\\evil\\upd.exe http://hijack32.example/"},
          {run, "Import32", "REG_SZ", "REGEDIT /S C:\\evil\\policy.reg"},
          {run, "Fine32", "REG_SZ", "C:\\tools\\ok.exe"},
          {policies, "NoFolderOptions", "REG_DWORD", "1"}})
        ASSERT_EQ(
            wine({"reg", "add", add[0], "/v", add[1], "/t", add[2], "/d", add[3], "/reg:32", "/f"})
                .exitCode,
            0)
            << add[1];
    // The 32-bit view's trees the hijack was planted in, and the native Run key.
    const std::vector<std::string> trees = {
        "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Internet Explorer",
        "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
        "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies",
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"};
    const RegistryImage before = wineImage("before", trees);
    for (const auto& [key, values] : before)
        ASSERT_NE(key.rfind("(missing)", 0), 0u) << "Wine's regedit could not export " << key;

    const auto repaired = cli({"browser-repair", "--items", "1,2", "--json"});
    ASSERT_EQ(repaired.exitCode, 0) << repaired.err;
    const std::string backup = repaired.out.substr(12, repaired.out.find('"', 12) - 12);
    ASSERT_TRUE(fs::exists(backup)) << repaired.out;

    const auto query32 = [&](const std::string& key) {
        return wine({"reg", "query", key, "/reg:32"}).out;
    };
    const std::string runKey = query32(run);
    EXPECT_EQ(runKey.find("Updater32"), std::string::npos) << runKey;
    EXPECT_EQ(runKey.find("Import32"), std::string::npos) << runKey;
    EXPECT_NE(runKey.find("Fine32"), std::string::npos) << runKey;
    EXPECT_NE(query32(ieMain).find("about:blank"), std::string::npos);
    const std::string policy = query32(policies);
    EXPECT_NE(policy.find("NoFolderOptions    REG_BINARY"), std::string::npos) << policy;

    const auto restore = cli({"backups", "restore", backup});
    ASSERT_EQ(restore.exitCode, 0) << restore.err;
    EXPECT_EQ(wineImage("after", trees), before);
}

} // namespace
} // namespace tw::cli
