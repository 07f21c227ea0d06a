// The update check against a real HTTP server on 127.0.0.1: the descriptor lands whole in the
// program folder, versions compare as dotted numbers, and every failure ends the check with a
// reason.
#include "tools/update/UpdateCheck.h"

#include "platform/curl/CurlHttp.h"
#include "registry/TRegistry.h"
#include "support/PrefixFixture.h"
#include "support/UpdateServer.h"

#include <functional>
#include <set>
#include <unistd.h>

namespace tw {
namespace {

namespace fs = std::filesystem;

class UpdateCheckTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.userHive("\n[Software\\\\Tidewell] 1\n\"Version\"=\"2.0\"\n")
            .folder("Program Files");
    }
    void sessionStarted() override
    {
        platform::Platform withHttp = prefix->platform();
        withHttp.http = &http;
        session = std::make_unique<Session>(withHttp);
    }
    UpdateOutcome check(const std::string& name,
                        const platform::HttpLimits& limits = UpdateLimits())
    {
        return CheckForUpdate(*session, UpdateDescriptorUrl(*session, server.host(name)), limits);
    }
    fs::path updateIni() const { return driveC() / "Program Files" / "Tidewell" / "Update.ini"; }
    /// Every file below the prefix, with its size.
    std::set<std::pair<std::string, std::uintmax_t>> files() const
    {
        std::set<std::pair<std::string, std::uintmax_t>> all;
        for (const auto& entry : fs::recursive_directory_iterator(prefixPath()))
            if (entry.is_regular_file())
                all.emplace(entry.path().string(), entry.file_size());
        return all;
    }

    platform::CurlHttp http;
    test::UpdateServer server;
};

TEST_F(UpdateCheckTest, NewerEqualAndOlderVersions)
{
    UpdateOutcome newer = check("2.1");
    EXPECT_EQ(newer.result, UpdateResult::Newer);
    EXPECT_EQ(newer.offered, "2.1");
    EXPECT_EQ(newer.installed, "2.0");
    EXPECT_EQ(test::readFile(updateIni()), "; release notes\r\n[Version]\r\nVer=2.1\r\n");

    EXPECT_EQ(check("2.0").result, UpdateResult::Current);
    EXPECT_EQ(check("1.9").result, UpdateResult::Current);
    EXPECT_EQ(check("2").result, UpdateResult::Current);
    // As numbers: 10 comes after 2.
    UpdateOutcome ten = check("10.0");
    EXPECT_EQ(ten.result, UpdateResult::Newer);
    EXPECT_EQ(ten.offered, "10.0");
    EXPECT_EQ(test::readFile(updateIni()), "; release notes\r\n[Version]\r\nVer=10.0\r\n");
    EXPECT_EQ(check("2.0.1").result, UpdateResult::Newer);
    EXPECT_EQ(check("1.10").result, UpdateResult::Current);
}

TEST_F(UpdateCheckTest, DescriptorsWithAByteOrderMarkOrInUtf16)
{
    for (const char* name : {"bom-2.1", "utf16le-2.1", "utf16be-2.1"}) {
        SCOPED_TRACE(name);
        const UpdateOutcome outcome = check(name);
        EXPECT_EQ(outcome.result, UpdateResult::Newer) << outcome.reason;
        EXPECT_EQ(outcome.offered, "2.1");
    }
    EXPECT_EQ(check("utf16le-1.9").result, UpdateResult::Current);
    // Kept as it came.
    EXPECT_EQ(test::readFile(updateIni()).substr(0, 4), std::string("\xff\xfe[\0", 4));
}

TEST_F(UpdateCheckTest, AnOfferThatIsNoVersionFailsAndKeepsTheEarlierDescriptor)
{
    ASSERT_EQ(check("2.1").result, UpdateResult::Newer);
    const std::string earlier = test::readFile(updateIni());
    struct Case
    {
        const char* name;
        const char* reason;
    };
    for (const Case& c : {Case{"none", "offers no version"}, Case{"blank", "offers no version"},
                          Case{"damaged", "offers no version"},
                          Case{"garbage", "offers \"garbage\", which is not a version"},
                          Case{"2.x", "offers \"2.x\", which is not a version"},
                          Case{"1..2", "offers \"1..2\", which is not a version"}}) {
        SCOPED_TRACE(c.name);
        const UpdateOutcome outcome = check(c.name);
        EXPECT_EQ(outcome.result, UpdateResult::Failed);
        EXPECT_FALSE(outcome.downloadFailed);
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << outcome.reason;
        EXPECT_EQ(test::readFile(updateIni()), earlier);
    }
}

TEST_F(UpdateCheckTest, AMissingInstalledVersionIsTheProgramsOwn)
{
    const auto setVersion = [this](const std::function<void(TRegistry&)>& change) {
        TRegistry reg(*session);
        ASSERT_TRUE(reg.OpenPath("\\Software\\Tidewell", false));
        change(reg);
    };
    for (const auto& change : std::vector<std::function<void(TRegistry&)>>{
             [](TRegistry& reg) { reg.RemoveValue("Version"); },
             [](TRegistry& reg) { reg.WriteText("Version", " "); },
             [](TRegistry& reg) { reg.WriteNumber("Version", 3); }}) {
        setVersion(change);
        const UpdateOutcome older = check("1.9");
        EXPECT_EQ(older.result, UpdateResult::Current);
        EXPECT_EQ(older.installed, "2.0");
        EXPECT_EQ(check("2.0").result, UpdateResult::Current);
        EXPECT_EQ(check("2.1").result, UpdateResult::Newer);
    }
    setVersion([](TRegistry& reg) { reg.WriteText("Version", "two"); });
    const UpdateOutcome unreadable = check("2.1");
    EXPECT_EQ(unreadable.result, UpdateResult::Failed);
    EXPECT_NE(
        unreadable.reason.find("installed version \"two\" (setting Version) is not a version"),
        std::string::npos)
        << unreadable.reason;
}

TEST_F(UpdateCheckTest, FailuresSayWhyAndLeaveTheEarlierDescriptor)
{
    ASSERT_EQ(check("2.1").result, UpdateResult::Newer);
    const auto before = files();
    const std::string earlier = test::readFile(updateIni());

    platform::HttpLimits quick = UpdateLimits();
    quick.totalTimeout = std::chrono::milliseconds(1500);
    struct Case
    {
        std::string url;
        std::string reason;
    };
    const Case cases[] = {
        {server.host("no/such"), "404"},
        {"http://127.0.0.1:" + std::to_string(test::closedPort()), "onnect"},
        {server.host("silent"), "no answer in time"},
        {server.host("huge"), "larger than 65536 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const UpdateOutcome outcome =
            CheckForUpdate(*session, UpdateDescriptorUrl(*session, c.url), quick);
        EXPECT_EQ(outcome.result, UpdateResult::Failed);
        EXPECT_TRUE(outcome.downloadFailed);
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << outcome.reason;
        EXPECT_EQ(test::readFile(updateIni()), earlier);
        EXPECT_EQ(files(), before);
    }
}

TEST_F(UpdateCheckTest, WritesOnlyTheDescriptorInTheProgramFolder)
{
    const auto before = files();
    ASSERT_EQ(check("2.1").result, UpdateResult::Newer);
    auto after = files();
    after.erase({updateIni().string(), fs::file_size(updateIni())});
    EXPECT_EQ(after, before);
}

TEST_F(UpdateCheckTest, ProgramFolderThatCannotBeMadeFailsTheCheck)
{
    // A file where the program folder belongs.
    test::writeFile(updateIni().parent_path(), "not a folder");
    const UpdateOutcome outcome = check("2.1");
    EXPECT_EQ(outcome.result, UpdateResult::Failed);
    EXPECT_FALSE(outcome.downloadFailed);
    EXPECT_NE(outcome.reason.find("Tidewell"), std::string::npos) << outcome.reason;
    EXPECT_EQ(test::readFile(updateIni().parent_path()), "not a folder");
}

TEST_F(UpdateCheckTest, DescriptorAddressFromTheSettingOrTheBuild)
{
    const std::string built = TIDEWELL_DEFAULT_UPDATE_URL;
    EXPECT_EQ(UpdateDescriptorUrl(*session), built.empty() ? "" : built + "/update/Update.ini");
    {
        TRegistry reg(*session);
        ASSERT_TRUE(reg.OpenPath("\\Software\\Tidewell", false));
        reg.WriteText("UpdateURL", "http://mirror.example:8080/");
    }
    EXPECT_EQ(UpdateDescriptorUrl(*session), "http://mirror.example:8080/update/Update.ini");
    EXPECT_EQ(UpdateDescriptorUrl(*session, "http://h/update/Update.ini"),
              "http://h/update/Update.ini");
}

TEST_F(UpdateCheckTest, WithoutAnAddressNothingIsContacted)
{
    if (!std::string(TIDEWELL_DEFAULT_UPDATE_URL).empty())
        GTEST_SKIP() << "this build names an update host";
    EXPECT_EQ(UpdateDescriptorUrl(*session), "");
    const auto before = files();
    const UpdateOutcome outcome = CheckForUpdate(*session, UpdateDescriptorUrl(*session));
    EXPECT_EQ(outcome.result, UpdateResult::Failed);
    EXPECT_TRUE(outcome.noAddress);
    EXPECT_EQ(outcome.reason, kNoUpdateAddress);
    EXPECT_NE(outcome.reason.find("settings set UpdateURL"), std::string::npos);
    EXPECT_EQ(files(), before);
}

TEST(VersionOrderTest, ComparesDottedNumbers)
{
    EXPECT_GT(CompareVersions("2.1", "2.0"), 0);
    EXPECT_EQ(CompareVersions("2.0", "2.0"), 0);
    EXPECT_GT(CompareVersions("10.0", "2.0"), 0);
    EXPECT_LT(CompareVersions("2.9", "2.10"), 0);
    EXPECT_GT(CompareVersions("2.0.1", "2.0"), 0);
    EXPECT_EQ(CompareVersions("2", "2.0.0"), 0);
    EXPECT_EQ(CompareVersions("02.00", "2.0"), 0);
    EXPECT_EQ(CompareVersions(" 2.0 ", "2.0"), 0);
    EXPECT_GT(CompareVersions("123456789012345678901234567890", "99999999999999999999"), 0);
    for (const char* bad : {"", " ", "2.0b", "v2", "2.", ".2", "2..0", "-1", "2,0", "\xc3\xa9"}) {
        EXPECT_EQ(CompareVersions(bad, "2.0"), std::nullopt) << bad;
        EXPECT_EQ(CompareVersions("2.0", bad), std::nullopt) << bad;
    }
}

TEST_F(UpdateCheckTest, MissingUpdaterIsToldAndNothingStarts)
{
    const std::string error = StartUpdater(*session);
    EXPECT_NE(error.find("Gantry.exe is missing"), std::string::npos) << error;
}

} // namespace
} // namespace tw
