// The preferences: what the window shows, what OK writes, and the desktop autostart entry.
#include "tools/update/Preferences.h"

#include "platform/wine/WineInstallation.h"
#include "registry/TRegistry.h"
#include "support/PrefixFixture.h"

#include <cstdlib>

namespace tw {
namespace {

namespace fs = std::filesystem;

class PreferencesTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.userHive("\n[Software\\\\Tidewell] 1\n\"NotAutoBackup\"=\"1\"\n"
                         "\"SelectAll\"=\"1 \"\n\"ScanSetting\"=\"0\"\n\"CheckUpdate\"=\"1\"\n"
                         "\"Version\"=\"   \"\n");
    }
    void SetUp() override
    {
        ::setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
        PrefixTest::SetUp();
    }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }
    std::string stored(const std::string& name)
    {
        TRegistry reg(*session);
        return reg.OpenPath("\\Software\\Tidewell", false) ? reg.ReadText(name) : "<no key>";
    }
    fs::path desktopFile() { return prefix->installation().desktopFilePath(); }
};

TEST_F(PreferencesTest, ShowsTheStoredFlagsExactlyAndABlankVersionAsTwoPointZero)
{
    const PreferencesState state = LoadPreferences(*session);
    ASSERT_TRUE(state.settings);
    EXPECT_TRUE(state.settings->notAutoBackup);
    EXPECT_FALSE(state.settings->selectAll); // "1 " is not "1"
    EXPECT_FALSE(state.settings->scanSetting);
    EXPECT_TRUE(state.settings->checkUpdate);
    EXPECT_EQ(state.version, "2.0");
    ASSERT_TRUE(state.runAtStartup);
    EXPECT_FALSE(*state.runAtStartup);
    EXPECT_TRUE(state.programTime);
}

TEST_F(PreferencesTest, ValuesThatAreNotTextReadAsNotSet)
{
    {
        TRegistry reg(*session);
        ASSERT_TRUE(reg.OpenPath("\\Software\\Tidewell", false));
        reg.WriteNumber("NotAutoBackup", 1);
        reg.WriteNumber("Version", 3);
        reg.WriteNumber("UpdateURL", 1);
    }
    const PreferencesState state = LoadPreferences(*session);
    ASSERT_TRUE(state.settings);
    EXPECT_FALSE(state.settings->notAutoBackup);
    EXPECT_TRUE(state.settings->checkUpdate);
    EXPECT_EQ(state.version, "2.0");
    const auto rows = StoredSettings(*session);
    const auto row = [&](const std::string& name) {
        for (const auto& [rowName, value] : rows)
            if (rowName == name)
                return value;
        return std::optional<std::string>("<no row>");
    };
    EXPECT_EQ(row("NotAutoBackup"), std::nullopt);
    EXPECT_EQ(row("UpdateURL"), std::nullopt);
    EXPECT_EQ(row("CheckUpdate"), "1");
}

TEST_F(PreferencesTest, MissingSettingsKeyLeavesTheBoxesAndVersionEmpty)
{
    {
        TRegistry reg(*session);
        ASSERT_TRUE(reg.RemoveKeyTree("\\Software\\Tidewell"));
    }
    const PreferencesState state = LoadPreferences(*session);
    EXPECT_FALSE(state.settings);
    EXPECT_EQ(state.version, "");
}

TEST_F(PreferencesTest, OkWritesTheFourFlagsAndTheyAreReadAfterAReopen)
{
    PreferenceBoxes boxes;
    boxes.notAutoBackup = false;
    boxes.selectAll = true;
    boxes.scanSetting = true;
    boxes.checkUpdate = false;
    EXPECT_EQ(SavePreferences(*session, boxes), "");
    prefix->save();
    reopen();
    EXPECT_EQ(stored("NotAutoBackup"), "0");
    EXPECT_EQ(stored("SelectAll"), "1");
    EXPECT_EQ(stored("ScanSetting"), "1");
    EXPECT_EQ(stored("CheckUpdate"), "0");
    const PreferencesState state = LoadPreferences(*session);
    EXPECT_TRUE(state.settings->selectAll);
    EXPECT_FALSE(state.settings->checkUpdate);
}

TEST_F(PreferencesTest, AutostartWritesADesktopEntryThatStartsThisPrefix)
{
    PreferenceBoxes boxes;
    boxes.runAtStartup = true;
    EXPECT_EQ(SavePreferences(*session, boxes), "");
    ASSERT_TRUE(fs::exists(desktopFile()));
    EXPECT_EQ(desktopFile().parent_path(), dir.path() / "config" / "autostart");
    const std::string text = test::readFile(desktopFile());
    EXPECT_NE(text.find("[Desktop Entry]\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find(" --prefix " + fs::canonical(prefixPath()).string() + "\n"),
              std::string::npos)
        << text;
    EXPECT_TRUE(*LoadPreferences(*session).runAtStartup);

    // An entry edited by hand is replaced when OK is pressed with the box ticked.
    test::writeFile(desktopFile(), "[Desktop Entry]\nExec=other\nHidden=true\n");
    EXPECT_FALSE(*LoadPreferences(*session).runAtStartup);
    SavePreferences(*session, boxes);
    EXPECT_NE(test::readFile(desktopFile()).find("--prefix"), std::string::npos);

    boxes.runAtStartup = false;
    EXPECT_EQ(SavePreferences(*session, boxes), "");
    EXPECT_FALSE(fs::exists(desktopFile()));
    EXPECT_FALSE(*LoadPreferences(*session).runAtStartup);
}

TEST_F(PreferencesTest, EachPrefixHasItsOwnEntry)
{
    test::PrefixBuilder other(dir.path() / "other");
    wine::WineInstallation first(prefixPath(), false);
    wine::WineInstallation second(other.str(), false);
    EXPECT_NE(first.desktopFilePath(), second.desktopFilePath());
    first.setAutostart(true);
    EXPECT_TRUE(first.autostartEnabled());
    EXPECT_FALSE(second.autostartEnabled());
}

TEST_F(PreferencesTest, APreviewLeavesTheAutostartAlone)
{
    wine::WinePrefix preview(prefixPath(), wine::OpenMode::Preview);
    Session previewSession(preview.platform());
    PreferenceBoxes boxes;
    boxes.runAtStartup = true;
    EXPECT_NE(SavePreferences(previewSession, boxes), "");
    EXPECT_FALSE(fs::exists(desktopFile()));
}

TEST(DesktopExecTest, QuotesWordsAsTheSpecificationAsks)
{
    EXPECT_EQ(wine::desktopExecWord("/usr/bin/tidewell"), "/usr/bin/tidewell");
    EXPECT_EQ(wine::desktopExecWord("/home/me/My Games"), "\"/home/me/My Games\"");
    // Inside quotes $ takes a backslash, which the value's escaping doubles; % is doubled.
    EXPECT_EQ(wine::desktopExecWord("/p/$x 100%"), "\"/p/\\\\$x 100%%\"");
    EXPECT_EQ(wine::desktopExecWord("a\"b"), "\"a\\\\\"b\"");
}

TEST_F(PreferencesTest, SettingsAreWrittenByNameAndFlagsTakeOneOrZero)
{
    EXPECT_EQ(WriteSetting(*session, "updateurl", "http://h"), "UpdateURL");
    EXPECT_EQ(stored("UpdateURL"), "http://h");
    EXPECT_THROW(WriteSetting(*session, "SelectAll", "yes"), std::invalid_argument);
    EXPECT_THROW(WriteSetting(*session, "Colour", "1"), std::invalid_argument);
    EXPECT_EQ(stored("SelectAll"), "1 ");
    const auto rows = StoredSettings(*session);
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[0].first, "HomePage");
    EXPECT_FALSE(rows[0].second);
    EXPECT_EQ(rows[8].second, std::optional<std::string>("http://h"));
}

} // namespace
} // namespace tw
