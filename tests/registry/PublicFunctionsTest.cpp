// The helpers shared by sections, repairs, start-up and tools.
#include "registry/PublicFunctions.h"

#include "registry/TRegistry.h"
#include "support/PrefixFixture.h"

#include <cstdlib>
#include <unistd.h>

namespace tw {
namespace {

using namespace tw::win;
namespace fs = std::filesystem;

class PublicFunctionsTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder
            .systemHive(
                "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n"
                "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n"
                "\"CommonFilesDir\"=\"C:\\\\Program Files\\\\Common Files\"\n"
                "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell "
                "Folders] 1\n"
                "\"Common Startup\"=\"C:\\\\ProgramData\\\\Startup\"\n"
                "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Policies\\\\System] 1\n"
                "\"EnableLUA\"=dword:00000001\n"
                "\n[Software\\\\Wine\\\\Drives] 1\n\"d:\"=\"cdrom\"\n"
                "\n[SOFTWARE\\\\X\\\\Sub\\\\Deeper] 1\n\"v\"=\"1\"\n")
            .userHive("\n[Software\\\\A] 1\n@=\"unnamed\"\n\"named\"=\"x\"\n"
                      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell "
                      "Folders] 1\n"
                      "\"Startup\"=\"C:\\\\users\\\\me\\\\Startup\"\n")
            .drive('d', outside.path())
            .drive('z', "/");
    }
    test::TempDir outside;
};

TEST_F(PublicFunctionsTest, RootNamesAreExact)
{
    EXPECT_EQ(RootKeyFromName("HKEY_LOCAL_MACHINE"), 0x80000002u);
    EXPECT_EQ(RootKeyFromName("hkey_local_machine"), 0u);
    EXPECT_EQ(RootKeyFromName("HKEY_PERFORMANCE_DATA"), 0u);
    EXPECT_EQ(RootKeyName(HKEY_CURRENT_CONFIG), "HKEY_CURRENT_CONFIG");
    EXPECT_EQ(RootKeyName(HKEY_PERFORMANCE_DATA), "");
}

TEST_F(PublicFunctionsTest, DeleteRegistryValueTakesTheRecordForm)
{
    EXPECT_TRUE(DeleteRegistryValue(*session, "HKEY_CURRENT_USER\\Software\\A", "default"));
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software\\A", false));
    EXPECT_FALSE(reg.HasValue(""));
    EXPECT_TRUE(reg.HasValue("named"));
    EXPECT_TRUE(DeleteRegistryValue(*session, "HKEY_CURRENT_USER\\Software\\A", "named"));

    EXPECT_FALSE(DeleteRegistryValue(*session, "HKEY_CURRENT_USER\\Software\\Missing", "v"));
    EXPECT_TRUE(reg.PathExists("\\Software\\Missing")) << "the key is created on the way";
    EXPECT_FALSE(DeleteRegistryValue(*session, "NoRootHere", "v"));
}

TEST_F(PublicFunctionsTest, DeleteRegistryKeyRemovesTheSubtree)
{
    EXPECT_TRUE(DeleteRegistryKey(*session, HKEY_LOCAL_MACHINE, "\\SOFTWARE\\X"));
    TRegistry reg(*session);
    reg.SelectRoot(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.PathExists("\\SOFTWARE\\X"));
    EXPECT_FALSE(DeleteRegistryKey(*session, HKEY_LOCAL_MACHINE, "\\SOFTWARE\\X"));
}

TEST_F(PublicFunctionsTest, ExcludedDrivesAndCheckablePaths)
{
    std::vector<std::string> drives;
    BuildExcludedDrives(*session, drives);
    EXPECT_EQ(drives, (std::vector<std::string>{"D:", "Z:"}));
    EXPECT_FALSE(IsCheckablePath(drives, "d:\\setup.exe"));
    EXPECT_TRUE(IsCheckablePath(drives, "C:\\Windows\\notepad.exe"));
    EXPECT_FALSE(IsCheckablePath(drives, "C:\\Tools\\copy.exe E:\\data Z:\\x"))
        << "a substring test, not a prefix test";
}

TEST_F(PublicFunctionsTest, WellKnownFolders)
{
    EXPECT_EQ(GetProgramFilesDir(*session, 0), "C:\\Program Files");
    EXPECT_EQ(GetProgramFilesDir(*session, 1), "C:\\Program Files\\Common Files");
    std::vector<TFolderData> folders;
    GetStartupFolders(*session, folders);
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0].RootKey, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(folders[0].ValueName, "Common Startup");
    EXPECT_EQ(folders[0].ValueData, "C:\\ProgramData\\Startup");
    EXPECT_EQ(folders[1].RootKey, HKEY_CURRENT_USER);
    EXPECT_EQ(folders[1].ValueData, "C:\\users\\me\\Startup");
}

TEST_F(PublicFunctionsTest, PlatformAndUserAccountControl)
{
    session->PlatformKind = 0;
    DetectPlatform(*session);
    EXPECT_EQ(session->PlatformKind, 4);
    EXPECT_TRUE(IsLuaEnabled(*session));
}

TEST_F(PublicFunctionsTest, LocalDateTimeOfAFileTime)
{
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "CET-1", 1);
    ::tzset();
    const platform::SystemTime local = FileTimeToLocalDateTime(
        *session, platform::systemTimeToFileTime({2024, 6, 0, 3, 12, 0, 0, 0}));
    old ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
    EXPECT_EQ(local.hour, 13);
}

TEST_F(PublicFunctionsTest, OpenInBrowserHandsTheAddressToTheDesktop)
{
    // A stand-in xdg-open that records what it was given.
    const std::string bin = (dir.path() / "bin").string();
    const std::string record = (dir.path() / "opened.txt").string();
    test::writeFile(bin + "/xdg-open", "#!/bin/sh\necho \"$1\" > " + record + "\n");
    fs::permissions(bin + "/xdg-open", fs::perms::owner_all);
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", (bin + ":" + path).c_str(), 1);
    OpenInBrowser(*session, "https://example.org/page");
    for (int i = 0; i < 100 && !fs::exists(record); ++i)
        ::usleep(20000);
    ::setenv("PATH", "/nonexistent", 1);
    EXPECT_THROW(OpenInBrowser(*session, "https://example.org/"), std::runtime_error);
    ::setenv("PATH", path.c_str(), 1);
    ASSERT_TRUE(fs::exists(record));
    EXPECT_EQ(test::readFile(record), "https://example.org/page\n");
}

} // namespace
} // namespace tw
