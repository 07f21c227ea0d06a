// The settings store at start-up.
#include "registry/Settings.h"

#include "platform/wine/WineRegistry.h"
#include "registry/TRegistry.h"
#include "support/PrefixFixture.h"

namespace tw {
namespace {

const std::string kRunKey = "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\n";

class SettingsTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kRunKey).file("Program Files/Tidewell/Tidewell.exe");
    }
    void SetUp() override
    {
        PrefixTest::SetUp();
        session->AppSettings = TMyRegistryInfo();
    }
    std::string stored(const std::string& name)
    {
        TRegistry reg(*session);
        return reg.OpenPath("\\Software\\Tidewell", false) ? reg.ReadText(name) : "<no key>";
    }
    bool runEntryExists()
    {
        TRegistry reg(*session);
        reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
        return reg.OpenPath("\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", false) &&
               reg.HasValue("Tidewell.exe");
    }
    void set(const std::string& name, const std::string& value)
    {
        TRegistry reg(*session);
        ASSERT_TRUE(reg.OpenPath("\\Software\\Tidewell", true));
        reg.WriteText(name, value);
    }
};

TEST_F(SettingsTest, FirstStartWritesDefaultsAndRunsWithThem)
{
    LoadSettings(*session);
    EXPECT_EQ(stored("NotAutoBackup"), "0");
    EXPECT_EQ(stored("SelectAll"), "1");
    EXPECT_EQ(stored("CheckUpdate"), "1");
    EXPECT_EQ(stored("ScanSetting"), "1");
    EXPECT_EQ(stored("RunFirst"), "1");
    EXPECT_EQ(stored("Version"), "2.0");
    EXPECT_TRUE(runEntryExists());
    // New records start ticked on the very first start too.
    EXPECT_TRUE(session->AppSettings.SelectAll);
    EXPECT_TRUE(session->AppSettings.CheckUpdate);
    EXPECT_FALSE(session->AppSettings.NotAutoBackup);
    EXPECT_EQ(session->AppSettings.HomePage, "https://tidewell.example.org/");
    EXPECT_EQ(session->AppSettings.HelpURL.substr(session->AppSettings.HelpURL.size() - 13),
              "page/help.htm");

    TRegistry run(*session);
    run.SelectRoot(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(run.OpenPath("\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", false));
    EXPECT_EQ(run.ReadText("Tidewell.exe"), "C:\\Program Files\\Tidewell\\Tidewell.exe");
}

TEST_F(SettingsTest, LaterStartsUseTheStoredValues)
{
    LoadSettings(*session);
    set("HomePage", "https://example.org/home");
    set("Version", "1.5");
    {
        TRegistry run(*session);
        run.SelectRoot(win::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(run.OpenPath("\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", false));
        ASSERT_TRUE(run.RemoveValue("Tidewell.exe"));
    }
    session->AppSettings = TMyRegistryInfo();
    LoadSettings(*session);
    EXPECT_TRUE(session->AppSettings.SelectAll);
    EXPECT_TRUE(session->AppSettings.CheckUpdate);
    EXPECT_EQ(session->AppSettings.HomePage, "https://example.org/home");
    EXPECT_EQ(stored("Version"), "2.0");
    EXPECT_FALSE(runEntryExists()) << "the autostart entry is made on the first start only";
}

TEST_F(SettingsTest, OnlyExactlyOneCountsAsOn)
{
    set("SelectAll", "1 ");
    set("CheckUpdate", "0");
    set("NotAutoBackup", "1");
    LoadSettings(*session);
    EXPECT_FALSE(session->AppSettings.SelectAll);
    EXPECT_FALSE(session->AppSettings.CheckUpdate);
    EXPECT_TRUE(session->AppSettings.NotAutoBackup);
    EXPECT_EQ(stored("SelectAll"), "1 ") << "a non-empty value is never overwritten";
    EXPECT_EQ(stored("CheckUpdate"), "0");
}

TEST_F(SettingsTest, NoAutostartForAProgramThatIsNotThere)
{
    std::filesystem::remove(driveC() / "Program Files/Tidewell/Tidewell.exe");
    LoadSettings(*session);
    EXPECT_EQ(stored("RunFirst"), "1");
    EXPECT_FALSE(runEntryExists());
}

TEST_F(SettingsTest, AValueOfAnotherTypeReadsAsItsDefaultAndIsToldOnce)
{
    {
        TRegistry reg(*session);
        ASSERT_TRUE(reg.OpenPath("\\Software\\Tidewell", true));
        reg.WriteNumber("SelectAll", 0);
        reg.WriteNumber("CheckUpdate", 0);
        const char bytes[] = {1, 2};
        reg.WriteBytes("HomePage", bytes, 2);
        reg.WriteText("NotAutoBackup", "1");
    }
    ReadSettings(*session);
    EXPECT_TRUE(session->AppSettings.SelectAll);
    EXPECT_TRUE(session->AppSettings.CheckUpdate);
    EXPECT_TRUE(session->AppSettings.NotAutoBackup);
    EXPECT_EQ(session->AppSettings.HomePage, "https://tidewell.example.org/");
    EXPECT_EQ(SettingsTypeProblems(*session),
              (std::vector<std::string>{
                  "The setting HomePage under HKEY_CURRENT_USER\\Software\\Tidewell is a "
                  "REG_BINARY, not text, and reads as if it were not set; \"tidewell-cli settings "
                  "set HomePage VALUE\" stores it as text",
                  "The setting SelectAll under HKEY_CURRENT_USER\\Software\\Tidewell is a "
                  "REG_DWORD, not text, and reads as if it were not set; \"tidewell-cli settings "
                  "set SelectAll VALUE\" stores it as text",
                  "The setting CheckUpdate under HKEY_CURRENT_USER\\Software\\Tidewell is a "
                  "REG_DWORD, not text, and reads as if it were not set; \"tidewell-cli settings "
                  "set CheckUpdate VALUE\" stores it as text"}));

    // The start goes on and writes the missing values; the others stay as they are.
    session->AppSettings = TMyRegistryInfo();
    LoadSettings(*session);
    EXPECT_TRUE(session->AppSettings.SelectAll);
    EXPECT_TRUE(session->AppSettings.NotAutoBackup);
    EXPECT_EQ(stored("ScanSetting"), "1");
    EXPECT_EQ(stored("Version"), "2.0");
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software\\Tidewell", false));
    EXPECT_EQ(reg.ValueType("SelectAll"), rdInteger);
    EXPECT_EQ(reg.ReadNumber("CheckUpdate"), 0);
    EXPECT_EQ(SettingsTypeProblems(*session).size(), 3u);

    set("SelectAll", "0");
    EXPECT_EQ(SettingsTypeProblems(*session).size(), 2u);
}

TEST_F(SettingsTest, ReadSettingsWritesNothing)
{
    ReadSettings(*session);
    EXPECT_EQ(stored("SelectAll"), "<no key>");
    EXPECT_FALSE(prefix->hasUnsavedChanges());
    EXPECT_TRUE(session->AppSettings.SelectAll) << "a missing value reads as its default";
    set("SelectAll", "0");
    ReadSettings(*session);
    EXPECT_FALSE(session->AppSettings.SelectAll);
}

} // namespace
} // namespace tw
