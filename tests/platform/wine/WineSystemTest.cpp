// Windows folders, version and time of a prefix.
#include "platform/wine/WineSystem.h"

#include "platform/wine/WinePrefix.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tw::wine {

using namespace tw::win;
namespace {

using test::PrefixBuilder;
using test::TempDir;

TEST(WineSystem, ReadsFoldersAndVersionOfARealPrefix)
{
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/fresh");
    WinePrefix prefix(dir.str());
    platform::System& system = prefix.system();
    EXPECT_EQ(system.windowsDirectory(), "C:\\windows");
    EXPECT_EQ(system.systemDirectory(), "C:\\windows\\system32");
    EXPECT_EQ(system.systemWow64Directory(), "C:\\windows\\syswow64");
    EXPECT_EQ(system.currentUserSid(), "S-1-5-21-0-0-0-1000");
    EXPECT_EQ(system.tempPath(), "C:\\users\\root\\Temp\\");
    const platform::OsVersionInfo version = system.versionEx();
    EXPECT_EQ(version.platformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(version.majorVersion, 6u);
    EXPECT_EQ(version.minorVersion, 1u);
    EXPECT_EQ(version.buildNumber, 7601u);
    EXPECT_EQ(version.csdVersion, "Service Pack 1");
}

TEST(WineSystem, TheCurrentUserIsTheOneItsHiveNames)
{
    TempDir dir;
    PrefixBuilder(dir.path());
    test::writeFile(dir.path() / "user.reg",
                    test::hiveText("REGISTRY\\\\User\\\\S-1-5-21-7-8-9-1001", ""));
    WinePrefix prefix(dir.str());
    EXPECT_EQ(prefix.system().currentUserSid(), "S-1-5-21-7-8-9-1001");
}

TEST(WineSystem, A32BitPrefixHasNoWow64Folder)
{
    TempDir dir;
    PrefixBuilder(dir.path()).systemHive("", "win32").userHive("", "win32");
    WinePrefix prefix(dir.str());
    EXPECT_EQ(prefix.system().systemWow64Directory(), "");
}

TEST(WineSystem, VersionChosenInWinecfgWins)
{
    TempDir dir;
    PrefixBuilder(dir.path())
        .fixtureHives("wine-8.0/fresh")
        .userHive("\n[Software\\\\Wine] 1\n\"Version\"=\"win98\"\n"
                  "\n[Environment] 1\n\"TEMP\"=str(2):\"%USERPROFILE%\\\\Local Temp\"\n");
    WinePrefix prefix(dir.str());
    const platform::OsVersionInfo version = prefix.system().versionEx();
    EXPECT_EQ(version.platformId, VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(version.majorVersion, 4u);
    EXPECT_EQ(version.minorVersion, 10u);
    EXPECT_EQ(prefix.system().tempPath(), "C:\\users\\root\\Local Temp\\");
}

TEST(WineSystem, EmptyPrefixFallsBackToWineDefaults)
{
    TempDir dir;
    PrefixBuilder builder(dir.path());
    WinePrefix prefix(dir.str());
    EXPECT_EQ(prefix.system().windowsDirectory(), "C:\\windows");
    EXPECT_EQ(prefix.system().tempPath(), "C:\\windows\\temp\\");
}

TEST(WineSystem, LocalFileTimeUsesTheCurrentOffset)
{
    TempDir dir;
    PrefixBuilder builder(dir.path());
    WinePrefix prefix(dir.str());
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "CET-1", 1); // one hour east of UTC, no daylight saving
    ::tzset();
    const platform::SystemTime noon{2024, 1, 1, 1, 12, 0, 0, 0};
    const FILETIME local =
        prefix.system().fileTimeToLocalFileTime(platform::systemTimeToFileTime(noon));
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
    EXPECT_EQ(platform::fileTimeToSystemTime(local).hour, 13);
}

} // namespace
} // namespace tw::wine
