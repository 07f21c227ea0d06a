// Every command's --json output is one JSON document a real parser reads.
#include "support/CliFixture.h"

#include <nlohmann/json.hpp>
#include <unistd.h>

namespace tw::test {
namespace {

const char* kSystem = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\Lib\\gone.dll"=dword:00000002

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App] 1
"DisplayName"="App \"One\""
"UninstallString"="\"C:\\Program Files\\App\\un.exe\" /S"

[Software\\Microsoft\\Windows\\CurrentVersion\\Run] 1
"Tool \"quoted\""="C:\\gone\\tool.exe"
)hive";

const char* kUser = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU] 1
"a"="notepad\\1"
"MRUList"="a"

[Software\\Tidewell] 1
"SelectAll"="1"
)hive";

class JsonOutputTest : public CliTest
{
protected:
    void SetUp() override
    {
        PrefixBuilder(dir.path() / "prefix")
            .systemHive(kSystem)
            .userHive(kUser)
            .file("windows/temp/old.tmp")
            .file("data/bad\xff name.tmp")
            .file("data/with \"quote\".tmp")
            .folder("moved");
        fs::create_directory_symlink(dir.path() / "prefix", dir.path() / ".wine");
        fs::create_directory(dir.path() / "bin");
        writeFile(dir.path() / "piece.bin", std::string(2500, 'p'));
    }

    /// tidewell-cli with `args` (after --prefix unless `ownPrefix` is false); no Wine on the
    /// PATH, home and desktop folders in the test's folder.
    ProcessResult run(std::vector<std::string> args, bool ownPrefix = true)
    {
        if (ownPrefix)
            args.insert(args.begin(), {"--prefix", prefix()});
        args.insert(args.begin(), cliPath());
        return runProcess(args, {{"HOME", dir.str()},
                                 {"XDG_CONFIG_HOME", dir.str() + "/config"},
                                 {"XDG_DATA_HOME", dir.str() + "/data"},
                                 {"PATH", dir.str() + "/bin"}});
    }
};

TEST_F(JsonOutputTest, EveryCommandPrintsOneJsonObject)
{
    // Text a scan and the lists show, with quotes, control characters and a byte that is no
    // UTF-8.
    const std::string runKey =
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"reg", "set", runKey, "Tab\there \"\\", "REG_SZ",
              "C:\\gone\\a\x01"
              "b\xfe.exe"},
             {"ignore", "add", "--key", "HKEY_CURRENT_USER\\Software\\Quote\"d"},
             {"ignore", "add", "--file", "C:\\x\\*.tmp"},
             {"ignore", "add", "--key", "HKEY_CURRENT_USER\\Software\\A", "--value", "v\\al"}}) {
        const ProcessResult set = this->run(args);
        ASSERT_EQ(set.exitCode, 0) << args[0] << ": " << set.err;
    }

    const std::string self = std::to_string(::getpid());
    const std::vector<std::pair<std::vector<std::string>, bool>> commands = {
        {{"scan", "--json"}, true},
        {{"scan", "--sections", "1,8", "--json"}, true},
        {{"scan", "--all-prefixes", "--json"}, false},
        {{"prefixes", "--json"}, false},
        {{"ignore", "list", "--json"}, true},
        {{"junk", "types", "--json"}, true},
        {{"junk", "drives", "--json"}, true},
        {{"junk", "scan", "--json"}, true},
        {{"settings", "show", "--json"}, true},
        {{"update", "check", "--json"}, true},
        {{"startup", "list", "--json"}, true},
        {{"programs", "list", "--json"}, true},
        {{"history", "list", "0", "--json"}, true},
        {{"processes", "list", "--json"}, true},
        {{"processes", "modules", self, "--json"}, true},
        {{"split", (dir.path() / "piece.bin").string(), "--size", "1000", "--json"}, false},
        {{"dllfix", "--json"}, true},
        {{"repair", "--json"}, true},
        {{"junk", "clean", "--mode", "move", "--to", "C:\\moved", "--json"}, true},
        {{"history", "clear", "1", "--json"}, true},
        {{"browser-repair", "--items", "1,2", "--json"}, true},
        {{"scan", "--json"}, true},
    };
    for (const auto& [args, ownPrefix] : commands) {
        std::string shown;
        for (const std::string& arg : args)
            shown += " " + arg;
        const ProcessResult result = this->run(args, ownPrefix);
        ASSERT_FALSE(result.out.empty()) << shown << ": " << result.err;
        EXPECT_EQ(result.out.back(), '\n') << shown;
        EXPECT_EQ(result.out.find('\n'), result.out.size() - 1) << shown << ": one line";
        try {
            const nlohmann::json doc = nlohmann::json::parse(result.out);
            EXPECT_TRUE(doc.is_object()) << shown << ": " << result.out;
        } catch (const nlohmann::json::parse_error& e) {
            ADD_FAILURE() << shown << ": " << e.what() << "\n" << result.out;
        }
    }
}

} // namespace
} // namespace tw::test
