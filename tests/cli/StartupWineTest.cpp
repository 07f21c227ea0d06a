// tidewell-cli startup on a prefix made by wineboot, its entries planted through Wine.
#include "support/TestSupport.h"
#include "support/WineSuite.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tw::cli {
namespace {

using test::cliPath;
using test::readFile;
using test::runProcess;
using test::TempDir;
namespace fs = std::filesystem;

const std::string kRun = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kUserRun = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kCommon = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
const std::string kWinIniTail = "[Load]\r\nfirst=C:\\first.exe\r\n\r\n[Other]\r\nRun=not.exe\r\n"
                                "[Run]\r\nrunner = \"C:\\run.exe\" /q\r\n[After]\r\nz=1\r\n";

class StartupWine : public test::WineSuite
{
protected:
    static void SetUpTestSuite()
    {
        if (setUpPrefix())
            s_error = plant();
    }

    /// Every value type in both roots, one name in both, files Wine marks hidden or system,
    /// a dot file, a subfolder, and win.ini's sections among others.
    static std::string plant()
    {
        const std::vector<std::vector<std::string>> values = {
            {kRun, "Updater", "REG_SZ", "C:\\Machine\\upd.exe"},
            {kRun, "Expand", "REG_EXPAND_SZ", "%ProgramFiles%\\App\\app.exe"},
            {kRun, "Count", "REG_DWORD", "5"},
            {kRun, "Blob", "REG_BINARY", "0102"},
            {kRun, "Multi", "REG_MULTI_SZ", "a\\0b"},
            {kRun, "Quad", "REG_QWORD", "5"},
            {kRun, "None", "REG_NONE", ""},
            {kUserRun, "Updater", "REG_SZ", "\"C:\\Program Files\\App\\app.exe\" /min"},
            {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "Once", "REG_SZ",
             "C:\\once.exe"},
        };
        for (const auto& v : values) {
            const auto added =
                wineLeftRunning({"reg", "add", v[0], "/v", v[1], "/t", v[2], "/d", v[3], "/f"});
            if (added.exitCode != 0)
                return "reg add " + v[1] + ": " + added.out + added.err;
        }
        // A 32-bit program's entry, named like a native one.
        const auto added32 = wineLeftRunning(
            {"reg", "add", kRun, "/v", "Updater", "/d", "C:\\x86\\upd.exe", "/reg:32", "/f"});
        if (added32.exitCode != 0)
            return "reg add /reg:32: " + added32.out + added32.err;
        const fs::path common =
            driveC() / "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp";
        const fs::path mine = driveC() / "users" / user() /
                              "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp";
        for (const fs::path& file : {common / "tool.lnk", common / "secret.lnk", common / "sys.lnk",
                                     common / ".dot.lnk", mine / "mine.lnk", mine / "desktop.ini"})
            test::writeFile(file, file.filename().string());
        fs::create_directories(common / "Sub Folder");
        for (const auto& [flags, name] : std::vector<std::pair<std::string, std::string>>{
                 {"+h", kCommon + "\\secret.lnk"}, {"+s", kCommon + "\\sys.lnk"}}) {
            const auto marked = wineLeftRunning({"cmd", "/c", "attrib", flags, name});
            if (marked.exitCode != 0)
                return "attrib " + name + ": " + marked.out + marked.err;
        }
        const auto desktop = wineLeftRunning({"cmd", "/c", "attrib", "+h", "+s",
                                              "C:\\users\\" + user() +
                                                  "\\AppData\\Roaming\\Microsoft\\Windows\\Start "
                                                  "Menu\\Programs\\StartUp\\desktop.ini"});
        waitForWine();
        if (desktop.exitCode != 0)
            return "attrib desktop.ini: " + desktop.out + desktop.err;
        s_winIni = readFile(winIni()) + kWinIniTail;
        test::writeFile(winIni(), s_winIni);
        return "";
    }

    static std::string user()
    {
        for (const auto& entry : fs::directory_iterator(driveC() / "users"))
            if (entry.path().filename() != "Public")
                return entry.path().filename().string();
        return "";
    }
    static fs::path driveC() { return fs::path(prefix()) / "drive_c"; }
    static fs::path winIni() { return driveC() / "windows" / "win.ini"; }

    static std::vector<std::string> expectedRows()
    {
        const std::string mine =
            "C:\\users\\" + user() +
            "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
        return {
            "Startup Folder|Sub Folder|" + kCommon + "\\Sub Folder",
            "Startup Folder|tool.lnk|" + kCommon + "\\tool.lnk",
            "Startup Folder|mine.lnk|" + mine + "\\mine.lnk",
            "Registration|Blob|",
            "Registration|Count|5",
            "Registration|Expand|%ProgramFiles%\\App\\app.exe",
            "Registration|Multi|",
            "Registration|None|",
            "Registration|Quad|",
            "Registration|Updater|C:\\Machine\\upd.exe",
            "Registration|Updater|C:\\x86\\upd.exe",
            "Registration|winemenubuilder|C:\\windows\\system32\\winemenubuilder.exe -a -r",
            "Registration|Updater|\"C:\\Program Files\\App\\app.exe\" /min",
            "Registration|Once|C:\\once.exe",
            "Win.ini|first|C:\\first.exe",
            "Win.ini|runner|\"C:\\run.exe\" /q",
        };
    }
    /// The rows as `startup list --json` gives them, "kind|name|path" each.
    static std::vector<std::string> listedRows()
    {
        const auto listed = cli({"startup", "list", "--json"});
        EXPECT_EQ(listed.exitCode, 0) << listed.err;
        std::vector<std::string> rows;
        const std::string& json = listed.out;
        for (size_t at = json.find("{\"kind\": "); at != std::string::npos;
             at = json.find("{\"kind\": ", at + 1)) {
            std::string row;
            size_t pos = at;
            for (const char* field : {"\"kind\": \"", "\"name\": \"", "\"path\": \""}) {
                pos = json.find(field, pos) + std::string(field).size();
                std::string text;
                for (; json[pos] != '"'; ++pos) {
                    if (json[pos] == '\\')
                        ++pos;
                    text += json[pos];
                }
                row += (row.empty() ? "" : "|") + text;
            }
            rows.push_back(row);
        }
        return rows;
    }
    static int rowNumber(const std::string& row)
    {
        const std::vector<std::string> rows = expectedRows();
        return static_cast<int>(std::find(rows.begin(), rows.end(), row) - rows.begin()) + 1;
    }
    /// Removes row N and returns the host path of its backup.
    static std::string remove(const std::string& row)
    {
        const auto removed = cli({"startup", "remove", std::to_string(rowNumber(row))});
        EXPECT_EQ(removed.exitCode, 0) << removed.err;
        const size_t at = removed.out.find("Backup: ");
        EXPECT_NE(at, std::string::npos) << removed.out;
        if (at == std::string::npos)
            return "";
        EXPECT_NE(removed.out.find("Startup Entry Removal Backup_", at), std::string::npos)
            << "named after what it undoes: " << removed.out;
        return removed.out.substr(at + 8, removed.out.find('\n', at) - at - 8);
    }
    static void restore(const std::string& backup)
    {
        const auto restored = cli({"backups", "restore", backup});
        EXPECT_EQ(restored.exitCode, 0) << restored.out << restored.err;
    }

    static std::string s_winIni;
};

std::string StartupWine::s_winIni;

TEST_F(StartupWine, ListShowsWhatWinePlantedInTheWindowsOrder)
{
    EXPECT_EQ(listedRows(), expectedRows());
    const auto text = cli({"startup", "list"});
    EXPECT_NE(text.out.find("2  Startup Folder  tool.lnk  " + kCommon + "\\tool.lnk\n"),
              std::string::npos)
        << text.out;

    // Open Path on the command line prints the folder's host path.
    const auto folder = cli({"startup", "open", "2"});
    EXPECT_EQ(folder.out,
              (driveC() / "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp").string() +
                  "\n");
    const auto none = cli({"startup", "open", std::to_string(rowNumber("Registration|Count|5"))});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("names no folder"), std::string::npos) << none.err;
}

TEST_F(StartupWine, RemovingTheUserValueLeavesTheMachineOneAndItsBackupBringsItBack)
{
    const std::string backup =
        remove("Registration|Updater|\"C:\\Program Files\\App\\app.exe\" /min");
    EXPECT_NE(wine({"reg", "query", kUserRun, "/v", "Updater"}).exitCode, 0) << "gone for Wine too";
    const auto machine = wine({"reg", "query", kRun, "/v", "Updater"});
    EXPECT_NE(machine.out.find("C:\\Machine\\upd.exe"), std::string::npos) << machine.out;
    std::vector<std::string> expected = expectedRows();
    std::erase(expected, "Registration|Updater|\"C:\\Program Files\\App\\app.exe\" /min");
    EXPECT_EQ(listedRows(), expected);

    restore(backup);
    const auto user = wine({"reg", "query", kUserRun, "/v", "Updater"});
    EXPECT_NE(user.out.find("\"C:\\Program Files\\App\\app.exe\" /min"), std::string::npos)
        << user.out;
    EXPECT_EQ(listedRows(), expectedRows());
}

TEST_F(StartupWine, The32BitValueIsMarkedAndGoesAndComesBackInItsOwnView)
{
    const std::string row = "Registration|Updater|C:\\x86\\upd.exe";
    const auto json = cli({"startup", "list", "--json"}).out;
    EXPECT_NE(json.find("\"path\": \"C:\\\\x86\\\\upd.exe\", \"view\": \"32-bit\"}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"path\": \"C:\\\\Machine\\\\upd.exe\", \"view\": \"native\"}"),
              std::string::npos)
        << json;
    const auto text = cli({"startup", "list"}).out;
    EXPECT_NE(text.find("Registration  Updater (32-bit)  C:\\x86\\upd.exe\n"), std::string::npos)
        << text;

    const std::string backup = remove(row);
    EXPECT_NE(wine({"reg", "query", kRun, "/v", "Updater", "/reg:32"}).exitCode, 0)
        << "gone for 32-bit programs";
    const auto machine = wine({"reg", "query", kRun, "/v", "Updater", "/reg:64"});
    EXPECT_NE(machine.out.find("C:\\Machine\\upd.exe"), std::string::npos) << machine.out;
    std::vector<std::string> expected = expectedRows();
    std::erase(expected, row);
    EXPECT_EQ(listedRows(), expected);

    restore(backup);
    const auto back = wine({"reg", "query", kRun, "/v", "Updater", "/reg:32"});
    EXPECT_NE(back.out.find("C:\\x86\\upd.exe"), std::string::npos) << back.out;
    EXPECT_EQ(listedRows(), expectedRows());
}

TEST_F(StartupWine, NonStringValueComesBackWithItsType)
{
    const std::string backup = remove("Registration|Quad|");
    EXPECT_NE(wine({"reg", "query", kRun, "/v", "Quad"}).exitCode, 0);
    restore(backup);
    // Wine's reg prints no QWORD data; its export does.
    const fs::path exported = s_root->path() / "run.reg";
    ASSERT_EQ(wine({"reg", "export", kRun, exported.string(), "/y"}).exitCode, 0);
    const std::string bytes = readFile(exported);
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += bytes[i + 1] == 0 ? bytes[i] : '?';
    EXPECT_NE(text.find("\"Quad\"=hex(b):05,00,00,00,00,00,00,00\r\n"), std::string::npos) << text;
}

TEST_F(StartupWine, WinIniLosesOnlyTheEntryAndTheBackupBringsBackEveryByte)
{
    const std::string backup = remove("Win.ini|runner|\"C:\\run.exe\" /q");
    std::string expected = s_winIni;
    const std::string line = "runner = \"C:\\run.exe\" /q\r\n";
    expected.erase(expected.find(line), line.size());
    EXPECT_EQ(test::firstDifference(readFile(winIni()), expected), "");
    restore(backup);
    EXPECT_EQ(test::firstDifference(readFile(winIni()), s_winIni), "");
}

TEST_F(StartupWine, StartupFileGoesAndComesBackButASubfolderStays)
{
    const fs::path tool =
        driveC() / "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp/tool.lnk";
    const std::string backup = remove("Startup Folder|tool.lnk|" + kCommon + "\\tool.lnk");
    EXPECT_FALSE(fs::exists(tool));
    restore(backup);
    EXPECT_EQ(readFile(tool), "tool.lnk");

    const auto backupsBefore = cli({"backups", "list"}).out;
    const auto folder =
        cli({"startup", "remove",
             std::to_string(rowNumber("Startup Folder|Sub Folder|" + kCommon + "\\Sub Folder"))});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("Sub Folder"), std::string::npos) << folder.err;
    EXPECT_EQ(cli({"backups", "list"}).out, backupsBefore) << "no backup for what was not done";
    EXPECT_EQ(listedRows(), expectedRows());
}

TEST_F(StartupWine, WithWineRunningNothingIsRemoved)
{
    ASSERT_EQ(runProcess({"wineserver", "-p"}, wineEnv()).exitCode, 0);
    const auto removed = cli({"startup", "remove", "2"});
    const auto winIniEntry =
        cli({"startup", "remove", std::to_string(rowNumber("Win.ini|first|C:\\first.exe"))});
    runProcess({"wineserver", "-k"}, wineEnv());
    runProcess({"wineserver", "-w"}, wineEnv());
    EXPECT_EQ(removed.exitCode, 1);
    EXPECT_NE(removed.err.find("wineserver -k"), std::string::npos) << removed.err;
    EXPECT_EQ(winIniEntry.exitCode, 1);
    EXPECT_EQ(readFile(winIni()), s_winIni);
    EXPECT_EQ(listedRows(), expectedRows());
}

} // namespace
} // namespace tw::cli
