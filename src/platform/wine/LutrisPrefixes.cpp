// Lutris's Wine games: `game: prefix:` of each game file.
#include "PrefixSources.h"

#include <yaml-cpp/yaml.h>

namespace tw::wine {

namespace {

/// The folders of Lutris's game files, relative to the home, data and config folders.
std::vector<std::string> gameFolders(const DiscoveryPlaces& places)
{
    const std::string flatpak = places.home + "/.var/app/net.lutris.Lutris";
    return {places.configHome + "/lutris/games", places.dataHome + "/lutris/games",
            flatpak + "/config/lutris/games", flatpak + "/data/lutris/games"};
}

std::string scalar(const YAML::Node& node)
{
    return node && node.IsScalar() ? node.as<std::string>() : std::string();
}

} // namespace

void addLutrisPrefixes(const DiscoveryPlaces& places, CandidateList& out)
{
    for (const std::string& folder : gameFolders(places)) {
        for (const std::string& file : fileNames(folder, ".yml")) {
            const std::string path = folder + "/" + file;
            try {
                const YAML::Node doc = YAML::LoadFile(path);
                if (!doc.IsMap())
                    throw YAML::Exception(YAML::Mark::null_mark(), "not a map of settings");
                const YAML::Node game = doc["game"];
                const std::string prefix = game && game.IsMap() ? scalar(game["prefix"]) : "";
                if (prefix.empty())
                    continue; // not a Wine game
                std::string name = scalar(doc["name"]);
                if (name.empty())
                    name = file.substr(0, file.size() - 4);
                out.candidates.push_back({prefix, name, "Lutris", ""});
            } catch (const YAML::Exception& e) {
                out.warnings.push_back("Lutris: " + path + ": " + e.what());
            }
        }
    }
}

} // namespace tw::wine
