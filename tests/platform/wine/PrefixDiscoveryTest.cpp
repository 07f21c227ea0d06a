// Finding a user's prefixes from the managers' files in a fake home.
#include "platform/wine/PrefixDiscovery.h"

#include "support/ManagerFiles.h"
#include "support/RealWinePrefix.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::wine {
namespace {

namespace fs = std::filesystem;
using test::PrefixBuilder;

/// A small prefix of real hive files with a user folder beside Public.
void smallPrefix(const fs::path& dir, const std::string& user, const std::string& arch = "win64")
{
    PrefixBuilder(dir)
        .systemHive("", arch)
        .userHive("", arch)
        .folder("users/Public")
        .folder("users/" + user);
}

std::string loginName()
{
    const passwd* pw = ::getpwuid(::getuid());
    return pw ? pw->pw_name : "";
}

/// name | source | arch | user, one line per prefix.
std::vector<std::string> summary(const PrefixList& list)
{
    std::vector<std::string> lines;
    for (const FoundPrefix& p : list.prefixes)
        lines.push_back(p.name + " | " + p.source + " | " + p.arch + " | " + p.windowsUser);
    return lines;
}

/// Every entry below a folder with its kind, size and time, to see that nothing changed.
std::map<std::string, std::string> snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        struct stat st;
        if (::lstat(entry.path().c_str(), &st) != 0)
            continue;
        entries[entry.path().string()] =
            std::to_string(st.st_mode) + ":" + std::to_string(st.st_size) + ":" +
            std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    }
    return entries;
}

const FoundPrefix& named(const PrefixList& list, const std::string& name)
{
    for (const FoundPrefix& p : list.prefixes) {
        if (p.name == name)
            return p;
    }
    throw std::runtime_error("not listed: " + name);
}

/// A home laid out as each manager lays out its files, with real prefixes.
class PrefixDiscoveryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        home = root.path() / "home";
        disk = root.path() / "disk";
        places.home = home.string();
        places.dataHome = (root.path() / "xdg-data").string();
        places.configHome = (home / ".config").string();

        smallPrefix(home / ".wine", "alice");

        const fs::path steam = home / ".local/share/Steam";
        const fs::path library2 = disk / "SteamLibrary";
        test::writeSteamLibraryFolders(steam, {steam, library2});
        smallPrefix(test::steamPrefixPath(steam, "220"), "steamuser");
        test::writeSteamAppManifest(steam, "220", "Half-Life 2");
        smallPrefix(test::steamPrefixPath(steam, "300"), "steamuser"); // no manifest
        test::writeSteamAppManifest(steam, "500", "Not Started");
        fs::create_directories(test::steamPrefixPath(steam, "500") / "drive_c"); // no hives
        smallPrefix(test::steamPrefixPath(library2, "400"), "steamuser", "win32");
        test::writeSteamAppManifest(library2, "400", "Portal");
        fs::create_directories(home / ".steam");
        fs::create_directory_symlink("../.local/share/Steam", home / ".steam/steam");

        const fs::path lutris = home / ".config/lutris/games";
        test::writeFile(lutris / "a-damaged.yml", "game:\n  prefix: [unclosed\n");
        fs::create_directories(disk / "Games");
        ASSERT_EQ(test::copyBootedPrefix(disk / "Games/gog"), "");
        test::writeLutrisGame(lutris, "b-gog-game-1700000000", disk / "Games/gog");
        smallPrefix(home / "Games/epic", "bob", "win32");
        test::writeLutrisGame(lutris, "c-epic", "~/Games/epic", "Epic Thing"); // as typed
        fs::create_directory_symlink(test::steamPrefixPath(steam, "220"), disk / "hl2-link");
        test::writeLutrisGame(root.path() / "xdg-data/lutris/games", "d-linked", disk / "hl2-link");

        const fs::path bottles = root.path() / "xdg-data/bottles";
        fs::create_directories(bottles / "bottles");
        ASSERT_EQ(test::copyBootedPrefix(bottles / "bottles/Office"), "");
        test::writeBottleConfig(bottles / "bottles/Office", "Office 2010");
        test::writeFile(bottles / "bottles/Broken/bottle.yml", "Name: [Broken\n");
        smallPrefix(disk / "elsewhere/External", "dave");
        test::writeBottleConfig(disk / "elsewhere/External", "External Tools");
        test::writeBottlePlaceholder(bottles, "External", disk / "elsewhere/External");
        test::writeBottlesData(bottles, disk / "custom-bottles");
        smallPrefix(disk / "custom-bottles/Photo", "erin");
        test::writeBottleConfig(disk / "custom-bottles/Photo", "Photo Editor");
        const fs::path flatpak = home / ".var/app/com.usebottles.bottles/data/bottles";
        smallPrefix(flatpak / "bottles/Flat", "frank");
        test::writeBottleConfig(flatpak / "bottles/Flat", "Flatpak Bottle");

        smallPrefix(disk / "Heroic/Prefixes/Fortnite/pfx", "steamuser");
        test::writeHeroicGame(home / ".config", "Fortnite", disk / "Heroic/Prefixes/Fortnite",
                              "proton");
        smallPrefix(disk / "Heroic/Prefixes/gog", "gina", "win32");
        test::writeHeroicGame(home / ".config", "1207658924", disk / "Heroic/Prefixes/gog", "wine");

        smallPrefix(home / ".PlayOnLinux/wineprefix/Notepad", "carol", "win32");
        smallPrefix(home / ".Phoenicis/containers/wineprefix/Paint", "hank");
        places.winePrefix = (home / ".Phoenicis/containers/wineprefix/Paint/").string();
    }

    test::TempDir root;
    fs::path home;
    fs::path disk;
    DiscoveryPlaces places;
};

TEST_F(PrefixDiscoveryTest, ListsEveryManagersPrefixOnceInManagerOrder)
{
    const PrefixList list = discoverPrefixes(places);
    const std::vector<std::string> expected = {
        "Paint | Wine | win64 | hank",
        "wine | Wine | win64 | alice",
        "Half-Life 2 | Steam | win64 | steamuser",
        "Steam app 300 | Steam | win64 | steamuser",
        "Portal | Steam | win32 | steamuser",
        "b-gog-game-1700000000 | Lutris | win64 | " + loginName(),
        "Epic Thing | Lutris | win32 | bob",
        "External Tools | Bottles | win64 | dave",
        "Office 2010 | Bottles | win64 | " + loginName(),
        "Photo Editor | Bottles | win64 | erin",
        "Flatpak Bottle | Bottles | win64 | frank",
        "1207658924 | Heroic | win32 | gina",
        "Fortnite | Heroic | win64 | steamuser",
        "Notepad | PlayOnLinux | win32 | carol",
    };
    EXPECT_EQ(summary(list), expected);

    EXPECT_EQ(named(list, "Portal").path, test::steamPrefixPath(disk / "SteamLibrary", "400"));
    EXPECT_EQ(named(list, "Portal").steamAppId, "400");
    EXPECT_EQ(named(list, "Epic Thing").path, (home / "Games/epic").string());
    EXPECT_EQ(named(list, "Fortnite").path, (disk / "Heroic/Prefixes/Fortnite/pfx").string());
    EXPECT_EQ(named(list, "External Tools").path, (disk / "elsewhere/External").string());
    // The symlinked Lutris path and the Phoenicis folder are the prefixes listed before.
    EXPECT_EQ(named(list, "Half-Life 2").sources, (std::vector<std::string>{"Steam", "Lutris"}));
    EXPECT_EQ(named(list, "Paint").sources, (std::vector<std::string>{"Wine", "Phoenicis"}));
    EXPECT_EQ(named(list, "Paint").path,
              (home / ".Phoenicis/containers/wineprefix/Paint").string());
}

TEST_F(PrefixDiscoveryTest, OlderSteamFilesAndFlatpakSteamListLibrariesToo)
{
    // Steam's Flatpak, with the libraryfolders.vdf of older Steam (bare paths under numbers)
    // and config.vdf's BaseInstallFolder_N.
    const fs::path flatpak = home / ".var/app/com.valvesoftware.Steam/.local/share/Steam";
    test::writeFile(flatpak / "steamapps/libraryfolders.vdf",
                    "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1588017153\"\n"
                    "\t\"ContentStatsID\"\t\t\"-1\"\n\t\"1\"\t\t\"" +
                        (disk / "OldLibrary").string() + "\"\n}\n");
    test::writeFile(flatpak / "config/config.vdf",
                    "\"InstallConfigStore\"\n{\n\t\"Software\"\n\t{\n\t\t\"Valve\"\n\t\t{\n"
                    "\t\t\t\"Steam\"\n\t\t\t{\n\t\t\t\t\"BaseInstallFolder_1\"\t\t\"" +
                        (disk / "ConfigLibrary").string() + "\"\n\t\t\t}\n\t\t}\n\t}\n}\n");
    smallPrefix(test::steamPrefixPath(flatpak, "10"), "steamuser");
    test::writeSteamAppManifest(flatpak, "10", "Counter-Strike");
    smallPrefix(test::steamPrefixPath(disk / "OldLibrary", "20"), "steamuser");
    test::writeSteamAppManifest(disk / "OldLibrary", "20", "Team Fortress Classic");
    smallPrefix(test::steamPrefixPath(disk / "ConfigLibrary", "30"), "steamuser");
    test::writeSteamAppManifest(disk / "ConfigLibrary", "30", "Day of Defeat");

    const PrefixList list = discoverPrefixes(places);
    std::vector<std::string> steam;
    for (const FoundPrefix& p : list.prefixes) {
        if (p.source == "Steam")
            steam.push_back(p.steamAppId + " " + p.name);
    }
    EXPECT_EQ(steam, (std::vector<std::string>{"220 Half-Life 2", "300 Steam app 300", "400 Portal",
                                               "10 Counter-Strike", "20 Team Fortress Classic",
                                               "30 Day of Defeat"}));
    EXPECT_EQ(list.warnings.size(), 2u); // the damaged ymls
}

TEST_F(PrefixDiscoveryTest, DamagedManagerFilesAreReportedAndSkipped)
{
    test::writeFile(home / ".local/share/Steam/steamapps/appmanifest_220.acf", "\"AppState\"\n{\n");
    test::writeFile(home / ".config/heroic/GamesConfig/Broken.json", "{\"Broken\": {");
    const PrefixList list = discoverPrefixes(places);
    ASSERT_EQ(list.warnings.size(), 4u);
    EXPECT_NE(list.warnings[0].find("Steam: " +
                                    (home / ".local/share/Steam/steamapps/"
                                            "appmanifest_220.acf")
                                        .string() +
                                    ", line 2: a { is never closed"),
              std::string::npos)
        << list.warnings[0];
    EXPECT_EQ(list.warnings[1].rfind(
                  "Lutris: " + (home / ".config/lutris/games/a-damaged.yml").string(), 0),
              0u)
        << list.warnings[1];
    EXPECT_EQ(
        list.warnings[2].rfind(
            "Bottles: " + (root.path() / "xdg-data/bottles/bottles/Broken/bottle.yml").string(), 0),
        0u)
        << list.warnings[2];
    EXPECT_EQ(list.warnings[3].rfind(
                  "Heroic: " + (home / ".config/heroic/GamesConfig/Broken.json").string(), 0),
              0u)
        << list.warnings[3];
    // The game whose manifest is damaged is still listed, under its app id.
    EXPECT_EQ(named(list, "Steam app 220").source, "Steam");
    EXPECT_EQ(list.prefixes.size(), 14u);
}

TEST_F(PrefixDiscoveryTest, FactsComeFromTheHivesAndNothingIsWritten)
{
    const fs::path notepad = home / ".PlayOnLinux/wineprefix/Notepad";
    test::writeFile(notepad / "userdef.reg", std::string(1000, ';'));
    const auto before = snapshot(root.path());
    const PrefixList list = discoverPrefixes(places);
    EXPECT_EQ(snapshot(root.path()), before);

    const FoundPrefix& found = named(list, "Notepad");
    EXPECT_EQ(found.hiveBytes,
              fs::file_size(notepad / "system.reg") + fs::file_size(notepad / "user.reg") + 1000);
    struct stat st;
    ASSERT_EQ(::stat((notepad / "userdef.reg").c_str(), &st), 0);
    EXPECT_EQ(found.lastChange, st.st_mtim.tv_sec);
    EXPECT_FALSE(found.wineRunning);
}

TEST_F(PrefixDiscoveryTest, NamesAndAppIdsPickPrefixes)
{
    const PrefixList list = discoverPrefixes(places);
    ASSERT_EQ(prefixesNamed(list, "portal").size(), 1u);
    EXPECT_EQ(prefixesNamed(list, "portal")[0]->steamAppId, "400");
    ASSERT_EQ(prefixesNamed(list, "400").size(), 1u);
    EXPECT_EQ(prefixesNamed(list, "400")[0]->name, "Portal");
    EXPECT_TRUE(prefixesNamed(list, "Portal 2").empty());
}

TEST_F(PrefixDiscoveryTest, TheEnvironmentSaysWhereToLook)
{
    const char* saved[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "WINEPREFIX"};
    std::map<std::string, std::optional<std::string>> old;
    for (const char* name : saved)
        old[name] =
            std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt;
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", places.dataHome.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    ::unsetenv("WINEPREFIX");
    const DiscoveryPlaces fromEnv = DiscoveryPlaces::fromEnvironment();
    for (const auto& [name, value] : old) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    EXPECT_EQ(fromEnv.home, home.string());
    EXPECT_EQ(fromEnv.dataHome, places.dataHome);
    EXPECT_EQ(fromEnv.configHome, (home / ".config").string());
    EXPECT_EQ(fromEnv.winePrefix, "");
    places.winePrefix.clear();
    EXPECT_EQ(summary(discoverPrefixes(fromEnv)), summary(discoverPrefixes(places)));
}

} // namespace
} // namespace tw::wine
