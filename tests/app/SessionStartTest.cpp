// Start-up as both front ends run it, on prefixes in temporary folders.
#include "app/SessionStart.h"

#include "app/Startup.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineRegistry.h"
#include "registry/TRegistry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

using test::PrefixBuilder;
using test::TempDir;

constexpr const char* kWindows7WithUac = R"(
[Software\\Microsoft\\Windows NT\\CurrentVersion] 1
"CurrentVersion"="6.1"
"CurrentBuildNumber"="7601"

[Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System] 1
"EnableLUA"=dword:00000001
)";

bool keyExists(Session& session, win::HKEY root, const std::string& path)
{
    TRegistry reg(session);
    reg.SelectRoot(root);
    return reg.PathExists(path);
}

class SessionStartTest : public ::testing::Test
{
protected:
    std::unique_ptr<app::StartedSession> start(app::SettingsMode mode)
    {
        return app::startSession({(dir.path() / "prefix").string(), mode});
    }
    TempDir dir;
};

TEST_F(SessionStartTest, WithUserAccountControlOnTheWindowStillOpensOnWine)
{
    PrefixBuilder(dir.path() / "prefix").systemHive(kWindows7WithUac);
    auto started = start(app::SettingsMode::Load);
    EXPECT_FALSE(started->restarted) << "no elevated copy can start on Wine";
    Session& session = started->session();
    EXPECT_FALSE(keyExists(session, win::HKEY_CURRENT_USER, "\\Software\\Kestrin"))
        << "the elevation step leaves no empty key for the next scan to report";
    EXPECT_TRUE(keyExists(session, win::HKEY_CURRENT_USER, "\\Software\\Tidewell"));
    EXPECT_TRUE(session.AppSettings.SelectAll) << "the first start runs with the defaults";
    wine::WinePrefix onDisk((dir.path() / "prefix").string(), wine::OpenMode::Preview);
    Session reread(onDisk.platform());
    EXPECT_TRUE(keyExists(reread, win::HKEY_CURRENT_USER, "\\Software\\Tidewell"))
        << "start-up writes are saved";
}

TEST_F(SessionStartTest, ALeftoverElevationFlagIsRemovedWithItsKey)
{
    PrefixBuilder(dir.path() / "prefix")
        .systemHive(kWindows7WithUac)
        .userHive("\n[Software\\\\Kestrin] 1\n\"vista\"=\"1\"\n");
    auto started = start(app::SettingsMode::Load);
    EXPECT_FALSE(keyExists(started->session(), win::HKEY_CURRENT_USER, "\\Software\\Kestrin"));
}

TEST_F(SessionStartTest, AKeyHoldingMoreThanTheFlagStays)
{
    PrefixBuilder(dir.path() / "prefix")
        .systemHive(kWindows7WithUac)
        .userHive("\n[Software\\\\Kestrin] 1\n\"vista\"=\"1\"\n\"other\"=\"x\"\n");
    auto started = start(app::SettingsMode::Load);
    TRegistry reg(started->session());
    ASSERT_TRUE(reg.OpenPath("\\Software\\Kestrin", false));
    EXPECT_FALSE(reg.HasValue("vista"));
    EXPECT_TRUE(reg.HasValue("other"));
}

TEST_F(SessionStartTest, TheCommandLineStartWritesNothing)
{
    PrefixBuilder(dir.path() / "prefix").systemHive(kWindows7WithUac);
    const std::string before = test::readFile(dir.path() / "prefix" / "user.reg");
    auto started = start(app::SettingsMode::Read);
    EXPECT_EQ(test::readFile(dir.path() / "prefix" / "user.reg"), before);
    EXPECT_TRUE(started->addonListLoaded);
    EXPECT_EQ(started->session().PlatformKind, 4);
}

TEST_F(SessionStartTest, AnEmptyPrefixArgumentIsRefused)
{
    EXPECT_THROW(app::startSession({std::string(), app::SettingsMode::Read}), std::runtime_error);
}

} // namespace
} // namespace tw
