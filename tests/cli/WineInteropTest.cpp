// Tidewell and real Wine on one throwaway prefix: each reads what the other writes.
#include "platform/RegFile.h"
#include "platform/TextCodec.h"
#include "platform/wine/WinePaths.h"
#include "support/RegistryImage.h"
#include "support/TestSupport.h"
#include "support/WineSuite.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace tw::cli {
namespace {

using test::cliPath;
using test::readFile;
using test::runProcess;
using test::TempDir;
namespace fs = std::filesystem;

using test::RegistryImage;
const auto imageOf = test::registryImageOf;

class WineInterop : public test::WineSuite
{
protected:
    static std::string file(const std::string& name) { return (s_root->path() / name).string(); }
    static std::string windowsPath(const std::string& host)
    {
        std::string path = "Z:" + host;
        for (char& c : path)
            if (c == '/')
                c = '\\';
        return path;
    }
};

TEST_F(WineInterop, WholeRegistryExportCarriesWhatWineRegeditExports)
{
    ASSERT_EQ(wine({"regedit", "/E", windowsPath(file("wine-all.reg"))}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "export", file("ours-all.reg")}).exitCode, 0);
    const RegistryImage theirs = imageOf(readFile(file("wine-all.reg")));
    const RegistryImage ours = imageOf(readFile(file("ours-all.reg")));
    ASSERT_GT(ours.size(), 5000u);

    size_t compared = 0;
    for (const auto& [key, values] : ours) {
        const auto it = theirs.find(key);
        ASSERT_NE(it, theirs.end()) << "Wine's export lacks " << key;
        EXPECT_EQ(values, it->second) << "values differ in " << key;
        ++compared;
    }
    // What Wine's export has beyond the hive files are the volatile keys that wineserver and
    // Wine's services make while they run; none of them is ever saved in a hive.
    static const char* const volatileAreas[] = {
        "hkey_local_machine\\hardware",
        "\\volatile environment",
        "\\networkcards",
        "\\computername\\activecomputername",
        "\\control\\servicecurrent",
        "hkey_local_machine\\system\\mounteddevices",
        "\\software\\wine\\fonts\\cache",
        "\\software\\wine\\temporary system parameters",
        "\\enum\\",
        "\\devicemap",
    };
    for (const auto& [key, values] : theirs) {
        if (ours.count(key))
            continue;
        const bool deviceInterfaceState =
            key.find("\\deviceclasses\\") != std::string::npos &&
            (key.find("\\#\\") != std::string::npos || key.compare(key.size() - 2, 2, "\\#") == 0);
        bool isVolatile = deviceInterfaceState;
        for (const char* area : volatileAreas)
            isVolatile = isVolatile || key.find(area) != std::string::npos;
        EXPECT_TRUE(isVolatile) << "only in Wine's export: " << key;
    }
    EXPECT_EQ(compared, ours.size());
}

TEST_F(WineInterop, FileWrittenByWineRegeditImportsExactly)
{
    const std::string source =
        test::fixture("wine-8.0/varied/regedit-export-hkcu-fixture.reg").string();
    ASSERT_EQ(wine({"regedit", "/S", windowsPath(source)}).exitCode, 0);
    const std::string key = "HKEY_CURRENT_USER\\Software\\TidewellFixture";
    ASSERT_EQ(wine({"regedit", "/E", windowsPath(file("wine-key.reg")), key}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "export", file("ours-key.reg"), key}).exitCode, 0);
    EXPECT_EQ(test::firstDifference(readFile(file("ours-key.reg")), readFile(file("wine-key.reg"))),
              "")
        << "single-key exports are the same bytes";

    // Now the other way: our import of Wine's file.
    ASSERT_EQ(cli({"reg", "delete", key}).exitCode, 0);
    const auto imported = cli({"reg", "import", file("wine-key.reg")});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    ASSERT_EQ(cli({"reg", "export", file("ours-again.reg"), key}).exitCode, 0);
    EXPECT_EQ(
        test::firstDifference(readFile(file("ours-again.reg")), readFile(file("wine-key.reg"))),
        "");
}

TEST_F(WineInterop, WineRegeditImportsOurExportWithoutLoss)
{
    const std::string key = "HKEY_LOCAL_MACHINE\\Software\\TidewellRoundTrip";
    ASSERT_EQ(
        cli({"reg", "set", key + "\\Sub", "Text", "REG_SZ", "caf\xc3\xa9 \"q\" \\ end"}).exitCode,
        0);
    ASSERT_EQ(cli({"reg", "set", key, "List", "REG_MULTI_SZ", "a\\0b\\0c"}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "set", key, "Path", "REG_EXPAND_SZ", "%SystemRoot%\\system32"}).exitCode,
              0);
    ASSERT_EQ(cli({"reg", "set", key, "Big", "REG_QWORD", "0x1122334455667788"}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "set", key, "Blob", "REG_BINARY", std::string(300, 'a')}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "export", file("ours-rt.reg"), key}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "delete", key}).exitCode, 0);

    ASSERT_EQ(wine({"regedit", "/S", windowsPath(file("ours-rt.reg"))}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "export", file("ours-rt-again.reg"), key}).exitCode, 0);
    EXPECT_EQ(
        test::firstDifference(readFile(file("ours-rt-again.reg")), readFile(file("ours-rt.reg"))),
        "");
}

TEST_F(WineInterop, SetOfAUserValueIsWhatWineReadsAndTouchesNothingElse)
{
    const std::string system = readFile(prefix() + "/system.reg");
    const std::string userdef = readFile(prefix() + "/userdef.reg");
    const auto set = cli({"reg", "set", "HKEY_CURRENT_USER\\Software\\Tidewell", "Greeting",
                          "REG_SZ", "hello from tidewell"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(test::firstDifference(readFile(prefix() + "/system.reg"), system), "");
    EXPECT_EQ(test::firstDifference(readFile(prefix() + "/userdef.reg"), userdef), "");

    const auto query = wine({"reg", "query", "HKCU\\Software\\Tidewell", "/v", "Greeting"});
    EXPECT_NE(query.out.find("hello from tidewell"), std::string::npos) << query.out << query.err;
}

TEST_F(WineInterop, DeletedLinkIsGoneForWineAndItsTargetIsWhole)
{
    const std::string target = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
    const auto before = wine({"reg", "query", target});
    ASSERT_EQ(before.exitCode, 0) << before.err;
    ASSERT_NE(before.out.find("Pacific Standard Time"), std::string::npos) << before.out;

    const auto removed =
        cli({"reg", "delete", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Time Zones"});
    ASSERT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_NE(wine({"reg", "query",
                    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Time "
                    "Zones"})
                  .exitCode,
              0)
        << "the link is gone";
    const auto after = wine({"reg", "query", target});
    ASSERT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(after.out, before.out);
}

TEST_F(WineInterop, WritesAreRefusedWhileWineRuns)
{
    ASSERT_EQ(runProcess({"wineserver", "-p"}, wineEnv()).exitCode, 0);
    const auto set =
        cli({"reg", "set", "HKEY_CURRENT_USER\\Software\\Tidewell", "Refused", "REG_SZ", "x"});
    runProcess({"wineserver", "-k"}, wineEnv());
    runProcess({"wineserver", "-w"}, wineEnv());
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_NE(set.err.find("wineserver -k"), std::string::npos) << set.err;
    EXPECT_EQ(std::count(set.err.begin(), set.err.end(), '\n'), 1);
    EXPECT_EQ(readFile(prefix() + "/user.reg").find("Refused"), std::string::npos);
}

TEST_F(WineInterop, WineStartedWithItsOwnTmpdirHoldsWritesUntilItStops)
{
    const std::string wineTmp = file("wine-tmp");
    const std::string otherTmp = file("other-tmp");
    fs::create_directories(wineTmp);
    fs::create_directories(otherTmp);
    auto wineTmpEnv = wineEnv();
    wineTmpEnv["TMPDIR"] = wineTmp;
    auto otherTmpEnv = wineEnv();
    otherTmpEnv["TMPDIR"] = otherTmp;
    const std::vector<std::string> set = {
        cliPath(), "--prefix", prefix(), "reg", "set", "HKEY_CURRENT_USER\\Software\\Tidewell",
        "Held",    "REG_SZ",   "x"};

    ASSERT_EQ(runProcess({"wineserver", "-p"}, wineTmpEnv).exitCode, 0);
    // Found through its folder under the same TMPDIR, and among the processes from a shell
    // whose TMPDIR differs.
    const auto sameTmp = runProcess(set, wineTmpEnv);
    const auto otherTmpSet = runProcess(set, otherTmpEnv);
    const std::string whileRunning = readFile(prefix() + "/user.reg");
    runProcess({"wineserver", "-k"}, wineTmpEnv);
    runProcess({"wineserver", "-w"}, wineTmpEnv);

    for (const auto& refused : {sameTmp, otherTmpSet}) {
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_NE(refused.err.find("Wine is running in the prefix"), std::string::npos)
            << refused.err;
        EXPECT_NE(refused.err.find("TMPDIR='" + wineTmp + "' WINEPREFIX='" + prefix() +
                                   "' wineserver -k"),
                  std::string::npos)
            << refused.err;
    }
    EXPECT_EQ(whileRunning.find("Held"), std::string::npos);
    EXPECT_EQ(readFile(prefix() + "/user.reg").find("Held"), std::string::npos);

    const auto afterStop = runProcess(set, otherTmpEnv);
    ASSERT_EQ(afterStop.exitCode, 0) << afterStop.err;
    EXPECT_NE(readFile(prefix() + "/user.reg").find("\"Held\"=\"x\""), std::string::npos);
}

TEST_F(WineInterop, ScanFindsExactlyTheEntriesPlantedThroughWine)
{
    test::writeFile(
        file("planted.reg"),
        "REGEDIT4\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls]\r\n"
        "\"C:\\\\windows\\\\system32\\\\tidewell-gone.dll\"=dword:00000001\r\n"
        "\"C:\\\\windows\\\\system32\\\\kernel32.dll\"=dword:00000000\r\n"
        "\"C:\\\\windows\\\\system32\\\\ntdll.dll\"=dword:00000002\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Help]\r\n"
        "\"tidewell-gone.hlp\"=\"C:\\\\Tidewell Help\"\r\n"
        "\"notepad.exe\"=\"C:\\\\windows\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\r\n"
        "\"Tidewell Missing (TrueType)\"=\"tidewell-missing.ttf\"\r\n");
    ASSERT_EQ(wine({"regedit", "/S", windowsPath(file("planted.reg"))}).exitCode, 0);
    const std::string system = readFile(prefix() + "/system.reg");

    const auto scan = cli({"scan", "--sections", "6,8,9", "--json"});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    const std::string& json = scan.out;
    const std::string help =
        "\"6\": [{\"checked\": true, \"keyPath\": "
        "\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\Help\", \"itemName\": "
        "\"tidewell-gone.hlp\", \"valueName\": \"\", \"valueData\": "
        "\"C:\\\\Tidewell Help\\\\tidewell-gone.hlp\"}]";
    EXPECT_NE(json.find(help), std::string::npos) << json;
    const std::string shared =
        "\"8\": [{\"checked\": true, \"keyPath\": "
        "\"HKEY_LOCAL_"
        "MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\SharedDlls\", "
        "\"itemName\": \"SharedDlls\", \"valueName\": "
        "\"C:\\\\windows\\\\system32\\\\kernel32.dll\", "
        "\"valueData\": \"0\"}, {\"checked\": true, \"keyPath\": "
        "\"HKEY_LOCAL_"
        "MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\SharedDlls\", "
        "\"itemName\": \"SharedDlls\", \"valueName\": "
        "\"C:\\\\windows\\\\system32\\\\tidewell-gone.dll\", \"valueData\": \"1\"}]";
    EXPECT_NE(json.find(shared), std::string::npos) << json;
    EXPECT_NE(json.find("\"valueName\": \"Tidewell Missing (TrueType)\", \"valueData\": "
                        "\"tidewell-missing.ttf\"}"),
              std::string::npos);
    EXPECT_EQ(json.find("Z:\\\\"), std::string::npos) << "host fonts are never reported";
    EXPECT_EQ(readFile(prefix() + "/system.reg"), system) << "a scan writes nothing";
}

TEST_F(WineInterop, WineRegeditRestoresTheBackupOfARepair)
{
    test::writeFile(
        file("problems.reg"),
        "REGEDIT4\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App "
        "Paths\\gone.exe]\r\n"
        "@=\"C:\\\\Gone\\\\gone.exe\"\r\n"
        "\"Flags\"=hex(7):61,00,62,00,00\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App "
        "Paths\\gone.exe\\Sub]\r\n"
        "\"Caf\xc3\xa9\"=\"\\\"quoted\\\"\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone]\r\n"
        "\"UninstallString\"=\"C:\\\\Gone\\\\un.exe /S\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls]\r\n"
        "\"C:\\\\Gone\\\\lib.dll\"=dword:00000003\r\n");
    ASSERT_EQ(wine({"regedit", "/S", windowsPath(file("problems.reg"))}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "export", file("before-repair.reg")}).exitCode, 0);

    const auto repair = cli({"repair", "--sections", "0,8,12", "--json"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    const std::string marker = "{\"backup\": \"";
    ASSERT_EQ(repair.out.find(marker), 0u) << repair.out;
    const std::string backup =
        repair.out.substr(marker.size(), repair.out.find('"', marker.size()) - marker.size());
    EXPECT_EQ(repair.out.find("Repair Error"), std::string::npos) << repair.out;
    const auto rescan = cli({"scan", "--sections", "0,8,12", "--json"});
    EXPECT_EQ(rescan.out.find("gone"), std::string::npos) << rescan.out;

    ASSERT_EQ(wine({"regedit", "/S", windowsPath(backup)}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "export", file("after-restore.reg")}).exitCode, 0);
    const RegistryImage before = imageOf(readFile(file("before-repair.reg")));
    const RegistryImage after = imageOf(readFile(file("after-restore.reg")));
    for (const char* key :
         {"hkey_local_machine\\software\\microsoft\\windows\\currentversion\\app paths\\gone.exe",
          "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\app "
          "paths\\gone.exe\\sub",
          "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\uninstall\\gone",
          "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\shareddlls"}) {
        ASSERT_TRUE(after.count(key)) << key;
        EXPECT_EQ(after.at(key), before.at(key)) << key;
    }
    EXPECT_EQ(after.size(), before.size());
}

TEST_F(WineInterop, RepairOfEverySectionIsUndoneByItsBackup)
{
    test::writeFile(
        file("every.reg"),
        "REGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_"
        "USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start "
        "Menu\\Programs\\Gone Games]\r\n"
        "\"Order\"=hex:08,00\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{6F4E1B2C-0A7D-4C55-9B1E-3D2A1F000010}"
        "\\InprocServer32]\r\n"
        "\"ThreadingModel\"=\"Both\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\Gone Vendor]\r\n"
        "\"Folder\"=\"C:\\\\Gone Folder\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Gone Vendor]\r\n"
        "\"Tool\"=\"C:\\\\Gone\\\\tool.exe /x\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Classes\\.gonext]\r\n"
        "@=\"Gone.Class.1\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Classes\\.emptyext]\r\n"
        "@=\"\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone]\r\n"
        "\"UninstallString\"=\"C:\\\\Gone\\\\un.exe\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\Empty Planted]\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Internet Explorer\\ActiveX "
        "Compatibility\\{11111111-1111-1111-1111-111111111112}]\r\n"
        "\"Compatibility Flags\"=dword:00000000\r\n");
    ASSERT_EQ(wine({"regedit", "/S", windowsPath(file("every.reg"))}).exitCode, 0);
    const fs::path desktop = fs::path(prefix()) / "drive_c/users/Public/Desktop";
    fs::create_directories(desktop);
    fs::copy_file(test::fixture("wine-8.0/varied/lnk/missing-file.lnk"), desktop / "gone.lnk",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(test::fixture("wine-8.0/varied/lnk/present-folder.lnk"), desktop / "kept.lnk",
                  fs::copy_options::overwrite_existing);
    fs::create_directories(fs::path(prefix()) / "drive_c/Fixture");
    const fs::path outside = s_root->path() / "home" / "outside.lnk";
    fs::copy_file(test::fixture("wine-8.0/varied/lnk/missing-file.lnk"), outside,
                  fs::copy_options::overwrite_existing);

    ASSERT_EQ(cli({"reg", "export", file("every-before.reg")}).exitCode, 0);
    const auto repair = cli({"repair", "--json"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    for (const char* planted : {"Gone Games", "6F4E1B2C-0A7D-4C55-9B1E-3D2A1F000010", "Gone Vendor",
                                ".gonext", ".emptyext", "Uninstall\\\\Gone", "Empty Planted",
                                "11111111-1111-1111-1111-111111111112", "gone.lnk"})
        EXPECT_NE(repair.out.find(planted), std::string::npos) << planted;
    EXPECT_FALSE(fs::exists(desktop / "gone.lnk"));
    EXPECT_TRUE(fs::exists(desktop / "kept.lnk"));
    EXPECT_TRUE(fs::exists(outside)) << "nothing outside the prefix is touched";

    const auto rescan = cli({"scan", "--json"});
    // (The emptied vendor keys are now empty keys themselves; their values are gone.)
    for (const char* planted :
         {"Gone Games", "Gone Folder", "tool.exe", ".gonext", ".emptyext", "gone.lnk"})
        EXPECT_EQ(rescan.out.find(planted), std::string::npos) << planted;

    const std::string marker = "{\"backup\": \"";
    const std::string backup =
        repair.out.substr(marker.size(), repair.out.find('"', marker.size()) - marker.size());
    const auto restore = cli({"backups", "restore", backup});
    ASSERT_EQ(restore.exitCode, 0) << restore.err;
    ASSERT_EQ(cli({"reg", "export", file("every-after.reg")}).exitCode, 0);
    EXPECT_EQ(test::firstDifference(readFile(file("every-after.reg")),
                                    readFile(file("every-before.reg"))),
              "");
}

TEST_F(WineInterop, Regedit4TextIsInTheCodePageWineReadsAndWrites)
{
    const std::string key = "HKEY_CURRENT_USER\\Software\\TidewellAnsi";
    const std::string cafe = "Caf\xc3\xa9 \xc3\xbcn\xc3\xaf"
                             "c\xc3\xb6"
                             "d\xc3\xa9";
    ASSERT_EQ(cli({"reg", "set", key, "Caf\xc3\xa9", "REG_SZ", cafe}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "set", key, "Path", "REG_EXPAND_SZ", "%TEMP%\\" + cafe}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "set", key, "List", "REG_MULTI_SZ", cafe + "\\0b"}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "export", file("ours-ansi.reg"), key}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "export", file("ours4.reg"), key, "--regedit4"}).exitCode, 0);
    EXPECT_NE(readFile(file("ours4.reg"))
                  .find("\"Caf\xe9\"=\"Caf\xe9 \xfcn\xef"
                        "c\xf6"
                        "d\xe9\""),
              std::string::npos)
        << "the prefix's code page is 1252";

    // Wine's regedit reads our REGEDIT4 file to the same values.
    ASSERT_EQ(cli({"reg", "delete", key}).exitCode, 0);
    ASSERT_EQ(wine({"regedit", "/S", windowsPath(file("ours4.reg"))}).exitCode, 0);
    ASSERT_EQ(wine({"regedit", "/E", windowsPath(file("wine-ansi.reg")), key}).exitCode, 0);
    EXPECT_EQ(
        test::firstDifference(readFile(file("wine-ansi.reg")), readFile(file("ours-ansi.reg"))),
        "");

    // And a REGEDIT4 file in code page 1252 reads to the same values for Wine and for us.
    // (Wine's regedit writes REGEDIT4 only from its window; these are the bytes it writes.)
    test::writeFile(file("cp1252.reg"),
                    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\TidewellAnsi2]\r\n"
                    "\"Gr\xfc\xdf\"=\"\x80 na\xefve \xc6\"\r\n"
                    "\"Ex\"=hex(2):43,61,66,e9,00\r\n\r\n");
    const std::string key2 = "HKEY_CURRENT_USER\\Software\\TidewellAnsi2";
    ASSERT_EQ(wine({"regedit", "/S", windowsPath(file("cp1252.reg"))}).exitCode, 0);
    ASSERT_EQ(wine({"regedit", "/E", windowsPath(file("wine-cp1252.reg")), key2}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "delete", key2}).exitCode, 0);
    const auto imported = cli({"reg", "import", file("cp1252.reg")});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    ASSERT_EQ(cli({"reg", "export", file("ours-cp1252.reg"), key2}).exitCode, 0);
    EXPECT_EQ(
        test::firstDifference(readFile(file("ours-cp1252.reg")), readFile(file("wine-cp1252.reg"))),
        "");
    const auto query = cli({"reg", "query", key2, "Gr\xc3\xbc\xc3\x9f"});
    EXPECT_NE(query.out.find("\xe2\x82\xac na\xc3\xafve \xc3\x86"), std::string::npos) << query.out;
}

/// A name with each non-ASCII character as '?', whatever code page the console wrote.
std::string asciiOnly(const std::string& text, bool utf8)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (!utf8 || (c & 0xC0) != 0x80)
            out += '?';
    }
    return out;
}

TEST_F(WineInterop, ShortNamesWineGivesResolveToTheSameFiles)
{
    const fs::path drive = fs::path(prefix()) / "drive_c";
    const std::vector<std::string> created = {
        "Long Folder Name.dir/Sub Folder Two/My Sound File.wav",
        "Long Folder Name.dir/readme.markdown",
        "Long Folder Name.dir/UPPER.TXT",
        "Long Folder Name.dir/a.bcde",
        "Long Folder Name.dir/two words.txt",
        "MixedCase Tools/tool[1].exe",
        "a.b.c.long name/x+y=z.txt",
        ".hidden stuff/.config.json",
        "v1.2.3 setup.exe.d/Setup Helper.DLL",
        "Caf\xc3\xa9 Files/na\xc3\xafve.txt",
        "\xc3\x9c"
        "BER Daten/Gro\xc3\x9f Datei.Text",
    };
    for (const std::string& relative : created) {
        fs::create_directories((drive / relative).parent_path());
        test::writeFile(drive / relative, "x");
    }
    std::set<std::string> folders = {""};
    for (const std::string& relative : created) {
        for (fs::path p = fs::path(relative).parent_path(); !p.empty(); p = p.parent_path())
            folders.insert(p.string());
    }

    wine::WinePathMapper mapper(prefix());
    std::set<std::string> resolved;
    for (const std::string& folder : folders) {
        std::string windowsFolder = "C:\\" + folder;
        std::replace(windowsFolder.begin(), windowsFolder.end(), '/', '\\');
        const auto listing = wineLeftRunning({"cmd", "/c", "dir", "/x", "/a", windowsFolder});
        ASSERT_EQ(listing.exitCode, 0) << windowsFolder << listing.err;
        std::istringstream lines(listing.out);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            // "<date> <time> <DIR>|size SHORT~NAM.EXT long name"
            std::istringstream words(line);
            std::vector<std::string> tokens;
            for (std::string word; words >> word;)
                tokens.push_back(word);
            if (tokens.size() < 5 || tokens[4].find('~') == std::string::npos)
                continue;
            const std::string shortName = tokens[4];
            const size_t longStart = line.find(shortName) + shortName.size();
            const std::string longName = line.substr(line.find_first_not_of(' ', longStart));

            const std::string shortPath = windowsFolder + (folder.empty() ? "" : "\\") + shortName;
            const std::optional<std::string> host = mapper.toHost(shortPath);
            ASSERT_TRUE(host) << shortPath;
            EXPECT_TRUE(fs::exists(*host)) << shortPath << " -> " << *host;
            EXPECT_EQ(fs::path(*host).parent_path(),
                      fs::canonical(folder.empty() ? drive : drive / folder));
            EXPECT_EQ(asciiOnly(fs::path(*host).filename().string(), true),
                      asciiOnly(longName, false))
                << shortPath;
            resolved.insert(*host);
        }
    }
    waitForWine();
    // Every created name but UPPER.TXT (an 8.3 name has no short name) was listed and found.
    std::set<std::string> expected;
    for (const std::string& relative : created) {
        for (fs::path p = relative; !p.empty(); p = p.parent_path())
            expected.insert(fs::canonical(drive / p).string());
    }
    expected.erase(fs::canonical(drive / "Long Folder Name.dir/UPPER.TXT").string());
    for (const char* wineFolder : {"Program Files", "Program Files (x86)", "ProgramData"})
        expected.insert(fs::canonical(drive / wineFolder).string());
    EXPECT_EQ(resolved, expected);
}

/// How often `part` occurs in `text`.
size_t occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST_F(WineInterop, SoundEntriesOfA64BitPrefixAreNeverReported)
{
    // A 32-bit program's settings, written by Wine's reg into the 32-bit view.
    const std::string vendor = "HKLM\\Software\\TidewellVendor\\Tool";
    for (const std::vector<std::string>& value :
         {std::vector<std::string>{"Program", "REG_EXPAND_SZ",
                                   "%ProgramFiles%\\TidewellVendor\\tool.exe"},
          {"Missing", "REG_EXPAND_SZ", "%ProgramFiles%\\TidewellVendor\\gone.exe"},
          {"Helper", "REG_SZ", "C:\\windows\\system32\\tidewell-helper.exe /quiet"}})
        ASSERT_EQ(wineLeftRunning({"reg", "add", vendor, "/v", value[0], "/t", value[1], "/d",
                                   value[2], "/reg:32", "/f"})
                      .exitCode,
                  0);
    ASSERT_EQ(wine({"reg", "add", "HKLM\\Software\\Microsoft\\TidewellGone", "/v", "Dir", "/d",
                    "C:\\Tidewell Gone", "/reg:32", "/f"})
                  .exitCode,
              0);
    test::writeFile(
        file("sound.reg"),
        "REGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\TidewellVendor]\r\n"
        "\"Data\"=\"C:\\\\Tidewell Vendor Data\"\r\n"
        "\"Helper\"=\"C:\\\\windows\\\\system32\\\\tidewell-helper.exe /quiet\"\r\n"
        "[HKEY_CLASSES_ROOT\\TypeLib\\{5A4E0001-0000-4000-8000-000000000001}\\1.0\\HELPDIR]\r\n"
        "@=\"\"\r\n"
        "[HKEY_CLASSES_ROOT\\.tidewellzip]\r\n"
        "@=\"CompressedFolder\"\r\n"
        "[HKEY_CLASSES_ROOT\\CompressedFolder]\r\n"
        "@=\"Compressed (zipped) Folder\"\r\n");
    ASSERT_EQ(wine({"regedit", "/S", windowsPath(file("sound.reg"))}).exitCode, 0);
    const fs::path driveC = fs::path(prefix()) / "drive_c";
    test::writeFile(driveC / "Program Files (x86)/TidewellVendor/tool.exe", "MZ");
    test::writeFile(driveC / "windows/syswow64/tidewell-helper.exe", "MZ");
    fs::create_directories(driveC / "Fixture/App 1.0");
    fs::create_directories(driveC / "users/Public/Desktop");
    fs::copy_file(test::fixture("wine-8.0/varied/lnk/folder-with-dot.lnk"),
                  driveC / "users/Public/Desktop/tidewell-dotted.lnk",
                  fs::copy_options::overwrite_existing);

    const auto scan = cli({"scan", "--json"});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    const std::string& json = scan.out;
    EXPECT_EQ(json.find("TIDEWELLVENDOR\\\\TOOL.EXE"), std::string::npos)
        << "found in Program Files (x86)";
    EXPECT_EQ(json.find("tidewell-helper"), std::string::npos) << "found in syswow64";
    EXPECT_EQ(occurrences(json, "\"C:\\\\PROGRAM FILES (X86)\\\\TIDEWELLVENDOR\\\\GONE.EXE\""), 1u)
        << "the 32-bit program's missing file, as it would look for it";
    EXPECT_EQ(json.find("Tidewell Gone"), std::string::npos) << "Wow6432Node\\Microsoft";
    EXPECT_EQ(occurrences(json, "\"valueData\": \"C:\\\\Tidewell Vendor Data\""), 1u)
        << "the user's problem, once";
    EXPECT_EQ(occurrences(json, "{5A4E0001-0000-4000-8000-000000000001}\\\\1.0\\\\HELPDIR\", "
                                "\"itemName\""),
              1u)
        << "one key, one record, however many links lead to it";
    EXPECT_EQ(json.find(".tidewellzip"), std::string::npos) << "its class key exists";
    EXPECT_EQ(json.find("tidewell-dotted.lnk"), std::string::npos) << "its folder exists";
}

TEST_F(WineInterop, ThirtyTwoBitEntriesAreFoundRepairedAndRestored)
{
    // What a 32-bit installer registers, imported by Wine's reg into the 32-bit view.
    test::writeFile(
        file("view32.reg"),
        "REGEDIT4\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls]\r\n"
        "\"C:\\\\windows\\\\system32\\\\tidewell32.dll\"=dword:00000001\r\n"
        "\"C:\\\\windows\\\\system32\\\\tidewell32-gone.dll\"=dword:00000001\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Help]\r\n"
        "\"tidewell32.hlp\"=\"C:\\\\Program Files (x86)\\\\Tidewell32\"\r\n"
        "\"tidewell32-gone.hlp\"=\"C:\\\\Program Files (x86)\\\\Tidewell32\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
        "Tidewell32 Tool]\r\n"
        "\"UninstallString\"=\"\\\"C:\\\\Program Files (x86)\\\\Tidewell32\\\\uninst.exe\\\" "
        "/S\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
        "Tidewell32 Gone]\r\n"
        "\"UninstallString\"=\"C:\\\\Program Files (x86)\\\\Tidewell32 Gone\\\\uninst.exe\"\r\n");
    ASSERT_EQ(wine({"reg", "import", windowsPath(file("view32.reg")), "/reg:32"}).exitCode, 0);
    const fs::path driveC = fs::path(prefix()) / "drive_c";
    test::writeFile(driveC / "windows/syswow64/tidewell32.dll", "MZ");
    test::writeFile(driveC / "Program Files (x86)/Tidewell32/tidewell32.hlp", "?_");
    test::writeFile(driveC / "Program Files (x86)/Tidewell32/uninst.exe", "MZ");
    ASSERT_EQ(cli({"reg", "export", file("view32-before.reg")}).exitCode, 0);

    const auto scan = cli({"scan", "--sections", "6,8,12", "--json"});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    const std::string wow64 = "\"keyPath\": \"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Wow6432Node\\\\"
                              "Microsoft\\\\Windows\\\\";
    for (const std::string& found :
         {wow64 + "Help\", \"itemName\": \"tidewell32-gone.hlp\"",
          wow64 + "CurrentVersion\\\\SharedDlls\", \"itemName\": \"SharedDlls\", \"valueName\": "
                  "\"C:\\\\windows\\\\system32\\\\tidewell32-gone.dll\"",
          wow64 + "CurrentVersion\\\\Uninstall\\\\Tidewell32 Gone\", \"itemName\": "
                  "\"Tidewell32 Gone\""})
        EXPECT_EQ(occurrences(scan.out, found), 1u) << found << "\n" << scan.out;
    EXPECT_NE(scan.out.find("\"total\": 3,"), std::string::npos) << "nothing sound is reported";

    const auto repair = cli({"repair", "--sections", "6,8,12", "--json"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    EXPECT_EQ(repair.out.find("Repair Error"), std::string::npos) << repair.out;
    const auto query =
        wine({"reg", "query", "HKLM\\Software\\Microsoft\\Windows\\Help", "/reg:32"});
    EXPECT_EQ(query.out.find("tidewell32-gone.hlp"), std::string::npos) << query.out;
    EXPECT_NE(query.out.find("tidewell32.hlp"), std::string::npos) << query.out;
    const auto rescan = cli({"scan", "--sections", "6,8,12", "--json"});
    EXPECT_EQ(rescan.out.find("tidewell32"), std::string::npos) << rescan.out;

    const std::string marker = "{\"backup\": \"";
    ASSERT_EQ(repair.out.find(marker), 0u) << repair.out;
    const std::string backup =
        repair.out.substr(marker.size(), repair.out.find('"', marker.size()) - marker.size());
    ASSERT_EQ(cli({"backups", "restore", backup}).exitCode, 0);
    ASSERT_EQ(cli({"reg", "export", file("view32-after.reg")}).exitCode, 0);
    EXPECT_EQ(test::firstDifference(readFile(file("view32-after.reg")),
                                    readFile(file("view32-before.reg"))),
              "");
}

/// A prefix just as `wineboot -i` left it, scanned before anything else touches it.
class FreshWinePrefix : public test::WineSuite
{
};

TEST_F(FreshWinePrefix, ScanFindsNothing)
{
    const auto scan = cli({"scan", "--json"});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_NE(scan.out.find("\"result\": \"Scan Completed!\""), std::string::npos) << scan.out;
    EXPECT_NE(scan.out.find("\"total\": 0,"), std::string::npos) << scan.out;
}

} // namespace
} // namespace tw::cli
