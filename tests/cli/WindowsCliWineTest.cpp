// tidewell-cli.exe, the Windows build, run under Wine in real prefixes: it finds, lists,
// repairs and restores what the Linux build does on the same prefix.
#include "support/RealWinePrefix.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tw::test {
namespace {

using nlohmann::json;

/// Values Windows programs are started with here: nothing but the prefix's own.
class WindowsCliWine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!wineInstalled())
            GTEST_SKIP() << "wine is not installed";
        ASSERT_TRUE(fs::exists(TIDEWELL_WINDOWS_CLI_PATH))
            << TIDEWELL_WINDOWS_CLI_PATH << " is missing: build it with scripts/build-windows.sh";
        ASSERT_EQ(copyBootedPrefix(prefix), "");
    }

    /// tidewell-cli.exe under Wine's 64-bit loader, inside the prefix; Wine has ended (and
    /// saved the registry) when it returns.
    ProcessResult exe(std::vector<std::string> args) const
    {
        args.insert(args.begin(), {wineLoader64(), TIDEWELL_WINDOWS_CLI_PATH});
        ProcessResult result = runProcess(args, env);
        runProcess({"wineserver", "-w"}, env);
        return result;
    }
    /// The Linux build on the same prefix.
    ProcessResult cli(std::vector<std::string> args) const
    {
        args.insert(args.begin(), {cliPath(), "--prefix", prefix.string()});
        return runProcess(args, env);
    }
    static json parsed(const ProcessResult& result, const std::string& what)
    {
        EXPECT_EQ(result.exitCode, 0) << what << ": " << result.err;
        try {
            return json::parse(result.out);
        } catch (const json::exception& e) {
            ADD_FAILURE() << what << " is no JSON (" << e.what() << "): " << result.out;
            return json();
        }
    }
    /// The JSON of one command from both builds; the Windows build's first.
    std::pair<json, json> both(const std::vector<std::string>& args) const
    {
        std::string what;
        for (const std::string& arg : args)
            what += arg + " ";
        json windows = parsed(exe(args), "tidewell-cli.exe " + what);
        json linux = parsed(cli(args), "tidewell-cli " + what);
        return {std::move(windows), std::move(linux)};
    }
    /// A subtree as the Linux build exports it (after Wine has ended).
    std::string exported(const std::string& key) const
    {
        const fs::path file = dir.path() / "export.reg";
        const ProcessResult result = cli({"reg", "export", file.string(), key});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return readFile(file);
    }

    TempDir dir;
    const fs::path prefix = dir.path() / "prefix";
    const fs::path home = dir.path() / "home";
    const WineStopper stop{prefix};
    const std::map<std::string, std::string> env = wineEnvironment(prefix, home);
};

/// The shape of a JSON value: its keys and the types of their values, arrays by their first
/// element.
json shapeOf(const json& value)
{
    if (value.is_object()) {
        json shape = json::object();
        for (const auto& [key, item] : value.items())
            shape[key] = shapeOf(item);
        return shape;
    }
    if (value.is_array())
        return value.empty() ? json::array() : json::array({shapeOf(value.front())});
    return value.type_name();
}

TEST_F(WindowsCliWine, EveryListingOfAFreshPrefixEqualsTheLinuxBuilds)
{
    // The prefix is each build's own name for it.
    auto [windowsScan, linuxScan] = both({"scan", "--json"});
    EXPECT_EQ(windowsScan["prefix"], "C:\\windows");
    windowsScan.erase("prefix");
    linuxScan.erase("prefix");
    EXPECT_EQ(windowsScan, linuxScan);
    EXPECT_EQ(linuxScan["total"], 0) << "a fresh prefix has nothing to find";

    for (const std::vector<std::string> command :
         {std::vector<std::string>{"programs", "list", "--json"},
          {"startup", "list", "--json"},
          {"ignore", "list", "--json"},
          {"junk", "scan", "--json"},
          {"history", "list", "1", "--json"}}) {
        const auto [windows, linux] = both(command);
        EXPECT_EQ(windows, linux) << command[0] << " " << command[1];
    }

    // The FileList is named by each build's own path for it.
    auto [windowsTypes, linuxTypes] = both({"junk", "types", "--json"});
    EXPECT_EQ(windowsTypes["file"], "C:\\Program Files\\Tidewell\\FileList");
    windowsTypes.erase("file");
    linuxTypes.erase("file");
    EXPECT_EQ(windowsTypes, linuxTypes);

    auto [windowsSettings, linuxSettings] = both({"settings", "show", "--json"});
    EXPECT_EQ(windowsSettings["settings"], linuxSettings["settings"]);
    EXPECT_EQ(windowsSettings["autostart"], linuxSettings["autostart"]);

    // Free space changes between the two runs; the drives do not.
    const auto [windowsDrives, linuxDrives] = both({"junk", "drives", "--json"});
    ASSERT_EQ(windowsDrives["drives"].size(), linuxDrives["drives"].size());
    for (size_t i = 0; i < linuxDrives["drives"].size(); ++i) {
        EXPECT_EQ(windowsDrives["drives"][i]["root"], linuxDrives["drives"][i]["root"]);
        EXPECT_EQ(windowsDrives["drives"][i]["name"], linuxDrives["drives"][i]["name"]);
    }

    // What runs differs by nature: the shape does not.
    for (const std::vector<std::string> command :
         {std::vector<std::string>{"processes", "list", "--json"}, {"history", "list", "--json"}}) {
        const auto [windows, linux] = both(command);
        EXPECT_EQ(shapeOf(windows), shapeOf(linux)) << command[0];
    }
}

/// Broken entries in both views, as uninstalled programs leave them.
constexpr const char* kPlanted[][4] = {
    {"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone64.exe", "", "REG_SZ",
     "C:\\Program Files\\Gone\\gone64.exe"},
    {"HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone32.exe", "",
     "REG_SZ", "C:\\Program Files (x86)\\Gone\\gone32.exe"},
    {"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
     "C:\\Program Files\\Gone\\gone64.dll", "REG_DWORD", "1"},
    {"HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\Help", "gone32.hlp", "REG_SZ",
     "C:\\Program Files (x86)\\Gone"},
    {"HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone32",
     "DisplayName", "REG_SZ", "Gone 32"},
    {"HKCU\\Software\\Classes\\.gone", "", "REG_SZ", "Gone.Document"},
    {"HKCU\\Software\\Gone Café", "", "REG_SZ", ""},
};

TEST_F(WindowsCliWine, PlantedProblemsAreFoundRepairedAndRestoredExactly)
{
    for (const auto& [key, name, type, data] : kPlanted) {
        const ProcessResult set = cli({"reg", "set", key, name, type, data});
        ASSERT_EQ(set.exitCode, 0) << key << ": " << set.err;
    }
    auto [windowsScan, linuxScan] = both({"scan", "--json"});
    windowsScan.erase("prefix");
    linuxScan.erase("prefix");
    EXPECT_EQ(windowsScan, linuxScan);
    EXPECT_GE(linuxScan["total"].get<int>(), 4);

    const std::string machineBefore = exported("HKEY_LOCAL_MACHINE\\Software");
    const std::string userBefore = exported("HKEY_CURRENT_USER\\Software");

    const ProcessResult repair = exe({"repair", "--json"});
    ASSERT_EQ(repair.exitCode, 0) << repair.out << repair.err;
    const json repaired = json::parse(repair.out);
    ASSERT_TRUE(repaired.contains("backup")) << repair.out;
    const json rescan = parsed(cli({"scan", "--json"}), "scan after the repair");
    EXPECT_EQ(rescan["total"], 0) << rescan.dump();
    EXPECT_NE(exported("HKEY_LOCAL_MACHINE\\Software"), machineBefore);

    const ProcessResult restore =
        exe({"backups", "restore", repaired["backup"].get<std::string>()});
    ASSERT_EQ(restore.exitCode, 0) << restore.out << restore.err;
    EXPECT_EQ(exported("HKEY_LOCAL_MACHINE\\Software"), machineBefore);
    EXPECT_EQ(exported("HKEY_CURRENT_USER\\Software"), userBefore);
}

TEST_F(WindowsCliWine, ExportsEqualTheLinuxBuildsAndNamesAndTextKeepTheirCharacters)
{
    ASSERT_EQ(
        cli({"reg", "set", "HKCU\\Software\\Tidewell Test\\café", "naïve", "REG_SZ", "中文 ✓"})
            .exitCode,
        0);
    const fs::path windowsFile = dir.path() / "café-windows.reg";
    const ProcessResult exported64 =
        exe({"reg", "export", "Z:" + windowsFile.string(), "HKEY_LOCAL_MACHINE\\Software\\Wine"});
    ASSERT_EQ(exported64.exitCode, 0) << exported64.err;
    ASSERT_TRUE(fs::exists(windowsFile)) << "the file keeps its name";
    EXPECT_EQ(readFile(windowsFile), exported("HKEY_LOCAL_MACHINE\\Software\\Wine"));

    const ProcessResult query =
        exe({"reg", "query", "HKCU\\Software\\Tidewell Test\\café", "naïve"});
    EXPECT_EQ(query.exitCode, 0) << query.err;
    EXPECT_NE(query.out.find("中文 ✓"), std::string::npos) << query.out;
}

} // namespace
} // namespace tw::test
