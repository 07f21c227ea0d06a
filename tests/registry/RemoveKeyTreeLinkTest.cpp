// Removing a key tree that is, or holds, a registry link: the link goes, its target stays.
#include "platform/RegFile.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineRegistry.h"
#include "registry/TRegistry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

using test::PrefixBuilder;
using test::TempDir;
using namespace tw::win;

TEST(RemoveKeyTree, DeletesALinkAsALinkAndLeavesItsTargetWhole)
{
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/fresh");
    wine::WinePrefix prefix(dir.str());
    const std::vector<std::string> targets = {
        "HKEY_LOCAL_MACHINE\\Software\\Classes\\AppId",
        "HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib",
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones"};
    std::vector<std::string> before;
    for (const std::string& target : targets)
        before.push_back(
            platform::exportRegFile(prefix.registry(), target, platform::RegFileFormat::Unicode));

    {
        TRegistry reg(prefix.registry());
        reg.SelectRoot(HKEY_LOCAL_MACHINE);
        EXPECT_TRUE(reg.RemoveKeyTree("Software\\Microsoft\\Windows\\CurrentVersion\\Time Zones"));
        ASSERT_TRUE(reg.OpenPath("Software\\Classes", false));
        EXPECT_TRUE(reg.RemoveKeyTree("Wow6432Node"));
        EXPECT_FALSE(reg.PathExists("Wow6432Node"));
    }
    for (size_t i = 0; i < targets.size(); ++i)
        EXPECT_EQ(platform::exportRegFile(prefix.registry(), targets[i],
                                          platform::RegFileFormat::Unicode),
                  before[i])
            << targets[i] << " lost keys";
    EXPECT_EQ(prefix.registry().openHandleCount(), 0u);
}

} // namespace
} // namespace tw
