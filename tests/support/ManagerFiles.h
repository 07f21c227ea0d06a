// The prefix managers' own files, written as Steam, Lutris, Bottles and Heroic write them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tw::test {

namespace fs = std::filesystem;

/// <root>/steamapps/libraryfolders.vdf listing `libraries` (the root first, as Steam does).
void writeSteamLibraryFolders(const fs::path& root, const std::vector<fs::path>& libraries);
/// <library>/steamapps/appmanifest_<appId>.acf naming the game.
void writeSteamAppManifest(const fs::path& library, const std::string& appId,
                           const std::string& name);
/// Where Proton keeps the prefix of `appId` in `library`.
fs::path steamPrefixPath(const fs::path& library, const std::string& appId);

/// <gamesDir>/<stem>.yml of a Wine game; `name` is left out when empty.
void writeLutrisGame(const fs::path& gamesDir, const std::string& stem, const fs::path& prefix,
                     const std::string& name = "");

/// <bottleDir>/bottle.yml of a bottle called `name`.
void writeBottleConfig(const fs::path& bottleDir, const std::string& name);
/// <base>/data.yml with custom_bottles_path.
void writeBottlesData(const fs::path& base, const fs::path& customPath);
/// <base>/bottles/<folder>/placeholder.yml pointing at a bottle kept elsewhere.
void writeBottlePlaceholder(const fs::path& base, const std::string& folder,
                            const fs::path& target);

/// <configHome>/heroic/GamesConfig/<appName>.json; `runner` is "wine" or "proton".
void writeHeroicGame(const fs::path& configHome, const std::string& appName,
                     const fs::path& winePrefix, const std::string& runner);

} // namespace tw::test
