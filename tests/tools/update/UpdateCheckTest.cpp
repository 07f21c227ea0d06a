// The update check against a real HTTP server on 127.0.0.1: the descriptor lands whole in the
// program folder, versions compare byte by byte, and every failure ends the check with a reason.
#include "tools/update/UpdateCheck.h"

#include "platform/curl/CurlHttp.h"
#include "registry/TRegistry.h"
#include "support/PrefixFixture.h"
#include "support/UpdateServer.h"

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
    // Byte order: "1" comes before "2".
    UpdateOutcome ten = check("10.0");
    EXPECT_EQ(ten.result, UpdateResult::Current);
    EXPECT_EQ(ten.offered, "10.0");
    EXPECT_EQ(test::readFile(updateIni()), "; release notes\r\n[Version]\r\nVer=10.0\r\n");
}

TEST_F(UpdateCheckTest, DescriptorWithoutVersionIsNotNewer)
{
    for (const char* name : {"none", "damaged"}) {
        SCOPED_TRACE(name);
        const UpdateOutcome outcome = check(name);
        EXPECT_EQ(outcome.result, UpdateResult::Current);
        EXPECT_EQ(outcome.offered, "");
        EXPECT_TRUE(fs::exists(updateIni()));
    }
}

TEST_F(UpdateCheckTest, EmptyInstalledVersionTakesAnyOffer)
{
    {
        TRegistry reg(*session);
        ASSERT_TRUE(reg.OpenPath("\\Software\\Tidewell", false));
        reg.RemoveValue("Version");
    }
    const UpdateOutcome outcome = check("none");
    EXPECT_EQ(outcome.result, UpdateResult::Newer);
    EXPECT_EQ(outcome.installed, "");
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
    EXPECT_EQ(UpdateDescriptorUrl(*session), TIDEWELL_DEFAULT_UPDATE_URL "/update/Update.ini");
    {
        TRegistry reg(*session);
        ASSERT_TRUE(reg.OpenPath("\\Software\\Tidewell", false));
        reg.WriteText("UpdateURL", "http://mirror.example:8080/");
    }
    EXPECT_EQ(UpdateDescriptorUrl(*session), "http://mirror.example:8080/update/Update.ini");
    EXPECT_EQ(UpdateDescriptorUrl(*session, "http://h/update/Update.ini"),
              "http://h/update/Update.ini");
}

TEST(VersionOrderTest, ComparesBytes)
{
    EXPECT_TRUE(IsNewerVersion("2.1", "2.0"));
    EXPECT_FALSE(IsNewerVersion("2.0", "2.0"));
    EXPECT_FALSE(IsNewerVersion("10.0", "2.0"));
    EXPECT_TRUE(IsNewerVersion("2.0.1", "2.0"));
    EXPECT_FALSE(IsNewerVersion("2", "2.0"));
    EXPECT_TRUE(IsNewerVersion("2.0b", "2.0B"));
    EXPECT_TRUE(IsNewerVersion("\xc3\xa9", "z"));
    EXPECT_TRUE(IsNewerVersion("", ""));
    EXPECT_FALSE(IsNewerVersion("", "2.0"));
}

TEST_F(UpdateCheckTest, MissingUpdaterIsToldAndNothingStarts)
{
    const std::string error = StartUpdater(*session);
    EXPECT_NE(error.find("Gantry.exe is missing"), std::string::npos) << error;
}

} // namespace
} // namespace tw
