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
            .file("windows/system32/readme.txt");
    }
};

TEST_F(DllFixCommandTest, ListsTheCollectedLibrariesAndSaysWhyNoneStarted)
{
    const ProcessResult fixed = runProcess({cliPath(), "--prefix", prefix(), "dllfix", "--json"},
                                           {{"HOME", dir.str()}, {"PATH", dir.str()}});
    EXPECT_EQ(fixed.out, "{\"system\": \"C:\\\\windows\\\\system32\", \"collected\": "
                         "[\"C:\\\\windows\\\\system32\\\\one.dll\"], \"started\": 0}\n");
    EXPECT_NE(fixed.exitCode, 0);
    EXPECT_NE(fixed.err.find("Wine is not installed"), std::string::npos) << fixed.err;
}

} // namespace
} // namespace tw::test
