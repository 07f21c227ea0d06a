// tidewell-cli settings and update check, as a process against a local update host.
#include "support/CliFixture.h"
#include "support/UpdateServer.h"

namespace tw::test {
namespace {

class UpdateCommandTest : public CliTest
{
protected:
    void SetUp() override
    {
        PrefixBuilder(dir.path() / "prefix")
            .userHive("\n[Software\\\\Tidewell] 1\n\"Version\"=\"2.0\"\n")
            .folder("Program Files");
    }
    /// As CliTest::cli, with the autostart folder below the test's folder too.
    ProcessResult cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), {cliPath(), "--prefix", prefix()});
        return runProcess(args, {{"HOME", dir.str()}, {"XDG_CONFIG_HOME", dir.str() + "/.config"}});
    }
};

TEST_F(UpdateCommandTest, ChecksAndSaysWhyACheckFailed)
{
    UpdateServer server;
    ProcessResult newer = cli({"update", "check", "--url", server.host("2.1"), "--json"});
    EXPECT_EQ(newer.exitCode, 0) << newer.err;
    EXPECT_EQ(newer.out.substr(0, newer.out.find(", \"url\"")),
              R"({"result": "newer", "offered": "2.1", "installed": "2.0", "reason": "")");
    EXPECT_EQ(readFile(dir.path() / "prefix/drive_c/Program Files/Tidewell/Update.ini"),
              "; release notes\r\n[Version]\r\nVer=2.1\r\n");

    ProcessResult current = cli({"update", "--url", server.host("2.0")});
    EXPECT_EQ(current.exitCode, 0);
    EXPECT_NE(current.out.find("There are no updates available at this time."), std::string::npos);

    ProcessResult failed = cli({"update", "check", "--url", server.host("huge"), "--json"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.out.find(R"("result": "failed")"), std::string::npos) << failed.out;
    EXPECT_NE(failed.err.find("larger than 65536 bytes"), std::string::npos) << failed.err;
}

TEST_F(UpdateCommandTest, UpdateUrlSettingChoosesTheHost)
{
    UpdateServer server;
    ProcessResult set = cli({"settings", "set", "updateurl", server.host("2.1")});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    ProcessResult check = cli({"update", "--json"});
    EXPECT_NE(check.out.find(R"("result": "newer")"), std::string::npos) << check.out;
}

TEST_F(UpdateCommandTest, SettingsShowAndSet)
{
    EXPECT_EQ(cli({"settings", "set", "SelectAll", "0"}).exitCode, 0);
    ProcessResult bad = cli({"settings", "set", "SelectAll", "on"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("SelectAll is 1 (on) or 0 (off)"), std::string::npos);
    EXPECT_EQ(cli({"settings", "set", "Autostart", "1"}).exitCode, 0);
    ProcessResult shown = cli({"settings", "--json"});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_NE(shown.out.find(R"("SelectAll": "0", "CheckUpdate": null)"), std::string::npos)
        << shown.out;
    EXPECT_NE(shown.out.find(R"("autostart": true)"), std::string::npos);
    // HOME is the test's folder, so the entry is below it.
    EXPECT_NE(shown.out.find(dir.str() + "/.config/autostart/tidewell-"), std::string::npos);
    EXPECT_EQ(cli({"settings", "set", "Autostart", "0"}).exitCode, 0);
    EXPECT_NE(cli({"settings"}).out.find("Autostart:     0"), std::string::npos);
}

TEST_F(UpdateCommandTest, WithoutAnUpdateAddressTheCheckSaysHowToSetOne)
{
    ProcessResult none = cli({"update", "check", "--json"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, R"j({"result": "failed", "offered": "", "installed": "", "reason": )j"
                        R"j("No update address is set: set the update host with \"tidewell-cli )j"
                        R"j(settings set UpdateURL https://HOST\" (the descriptor is then )j"
                        R"j(HOST/update/Update.ini)", "url": null})j"
                        "\n");
    EXPECT_NE(none.err.find("No update address is set"), std::string::npos) << none.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "prefix/drive_c/Program Files/Tidewell"));
}

TEST_F(UpdateCommandTest, AnOlderOrUnreadableOfferIsNoUpdate)
{
    UpdateServer server;
    ASSERT_EQ(cli({"reg", "delete", "HKCU\\Software\\Tidewell", "Version"}).exitCode, 0);
    ProcessResult older = cli({"update", "check", "--url", server.host("1.5"), "--json"});
    EXPECT_EQ(older.exitCode, 0) << older.err;
    EXPECT_NE(older.out.find(R"("result": "current", "offered": "1.5", "installed": "2.0")"),
              std::string::npos)
        << older.out;
    ProcessResult garbage = cli({"update", "check", "--url", server.host("garbage")});
    EXPECT_EQ(garbage.exitCode, 1);
    EXPECT_NE(garbage.err.find("offers \"garbage\", which is not a version"), std::string::npos)
        << garbage.err;
    ProcessResult ten = cli({"update", "check", "--url", server.host("10.0"), "--json"});
    EXPECT_NE(ten.out.find(R"("result": "newer")"), std::string::npos) << ten.out;
}

TEST_F(UpdateCommandTest, ASettingThatIsNotTextIsToldOnceAndReadsAsNotSet)
{
    ASSERT_EQ(
        cli({"reg", "set", "HKCU\\Software\\Tidewell", "CheckUpdate", "REG_DWORD", "0"}).exitCode,
        0);
    ProcessResult shown = cli({"settings", "show"});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.out.find("CheckUpdate:   (not set)\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("Version:       2.0\n"), std::string::npos) << shown.out;
    const std::string told = "tidewell-cli: The setting CheckUpdate under "
                             "HKEY_CURRENT_USER\\Software\\Tidewell is a REG_DWORD, not text";
    const size_t first = shown.err.find(told);
    EXPECT_NE(first, std::string::npos) << shown.err;
    EXPECT_EQ(shown.err.find(told, first + 1), std::string::npos) << shown.err;
    ProcessResult json = cli({"settings", "show", "--json"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(json.out.find(R"("CheckUpdate": null)"), std::string::npos) << json.out;
    // The value stays as it was.
    EXPECT_NE(cli({"reg", "query", "HKCU\\Software\\Tidewell", "CheckUpdate"}).out.find("0x0"),
              std::string::npos);
}

} // namespace
} // namespace tw::test
