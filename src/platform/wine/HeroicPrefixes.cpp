// Heroic: winePrefix of each game's settings in GamesConfig (Proton keeps the prefix in pfx/).
#include "PrefixSources.h"

#include <fstream>
#include <nlohmann/json.hpp>

namespace tw::wine {

namespace {

void addGameFile(const std::string& path, const std::string& appName, CandidateList& out)
{
    std::ifstream in(path);
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception& e) {
        out.warnings.push_back("Heroic: " + path + ": " + e.what());
        return;
    }
    if (!doc.is_object()) {
        out.warnings.push_back("Heroic: " + path + ": not an object of settings");
        return;
    }
    // One object per game, keyed by its app name, beside "version" and "explicit".
    for (const auto& [key, game] : doc.items()) {
        if (!game.is_object() || !game.contains("winePrefix") || !game["winePrefix"].is_string())
            continue;
        std::string prefix = game["winePrefix"].get<std::string>();
        if (prefix.empty())
            continue;
        const auto version = game.find("wineVersion");
        const bool proton = version != game.end() && version->is_object() &&
                            version->value("type", std::string()) == "proton";
        if (proton)
            prefix += "/pfx";
        out.candidates.push_back({prefix, key.empty() ? appName : key, "Heroic", ""});
    }
}

} // namespace

void addHeroicPrefixes(const DiscoveryPlaces& places, CandidateList& out)
{
    for (const std::string& folder :
         {places.configHome + "/heroic/GamesConfig",
          places.home + "/.var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig"}) {
        for (const std::string& file : fileNames(folder, ".json"))
            addGameFile(folder + "/" + file, file.substr(0, file.size() - 5), out);
    }
}

} // namespace tw::wine
