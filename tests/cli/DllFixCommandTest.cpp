// tidewell-cli dllfix: what it collects, and a clear failure without Wine.
#include "support/CliFixture.h"

namespace tw::test {
namespace {

class DllFixCommandTest : public CliTest
{
protected:
    void SetUp() override
    {
        PrefixBuilder(dir.path() / "prefix")
            .systemHive("")
            .file("windows/system32/one.dll")
            .file("windows/system32/two.ocx")
            .file("windows/system32/readme.txt");
    }
    ProcessResult dllfixWithoutWine(std::vector<std::string> args)
    {
        args.insert(args.begin(), {cliPath(), "--prefix", prefix(), "dllfix"});
        return runProcess(args, {{"HOME", dir.str()}, {"PATH", dir.str()}});
    }
};

TEST_F(DllFixCommandTest, NamesEveryRegistrationThatFailedAndCountsNoneAsDone)
{
    const ProcessResult json = dllfixWithoutWine({"--json"});
    EXPECT_NE(json.exitCode, 0);
    EXPECT_NE(json.err.find("2 of 2 registrations failed"), std::string::npos) << json.err;
    EXPECT_NE(json.err.find("Wine is not installed"), std::string::npos) << json.err;
    EXPECT_EQ(json.out.rfind("{\"system\": \"C:\\\\windows\\\\system32\", \"folders\": "
                            "[\"C:\\\\windows\\\\system32\"], \"collected\": [",
                            0),
              0u)
        << json.out;
    EXPECT_NE(json.out.find("\"started\": 0, \"registered\": 0, \"failed\": [{\"path\": "),
              std::string::npos)
        << json.out;
    for (const char* name : {"one.dll", "two.ocx"}) {
        EXPECT_NE(json.out.find(std::string("{\"path\": \"C:\\\\windows\\\\system32\\\\") + name +
                                "\", \"reason\": \"Cannot start"),
                  std::string::npos)
            << json.out;
    }

    const ProcessResult text = dllfixWithoutWine({});
    EXPECT_NE(text.exitCode, 0);
    EXPECT_NE(text.out.find("Not registered: C:\\windows\\system32\\one.dll (Cannot start"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Not registered: C:\\windows\\system32\\two.ocx (Cannot start"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Registered again with regsvr32: 0 of 2 "), std::string::npos)
        << text.out;
    EXPECT_FALSE(fs::exists(dir.path() / "prefix/drive_c/Program Files/Tidewell"))
        << "no backup when regsvr32 cannot start";
}

} // namespace
} // namespace tw::test
