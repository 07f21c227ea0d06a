// Bottles: each bottle folder (or the custom folder its placeholder.yml points at) and the
// bottles of data.yml's custom_bottles_path, named by bottle.yml's Name.
#include "PrefixSources.h"

#include <sys/stat.h>
#include <yaml-cpp/yaml.h>

namespace tw::wine {

namespace {

bool fileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

/// The value of `key` in the YAML map of `path`; empty when the file lacks it. Throws
/// YAML::Exception for a damaged file.
std::string yamlText(const std::string& path, const char* key)
{
    const YAML::Node doc = YAML::LoadFile(path);
    if (!doc.IsMap())
        throw YAML::Exception(YAML::Mark::null_mark(), "not a map of settings");
    const YAML::Node value = doc[key];
    return value && value.IsScalar() ? value.as<std::string>() : std::string();
}

/// Adds the bottle in `dir` when its bottle.yml reads; a damaged one is a warning.
void addBottle(const std::string& dir, const std::string& folderName, CandidateList& out)
{
    const std::string config = dir + "/bottle.yml";
    std::string name;
    if (fileExists(config)) {
        try {
            name = yamlText(config, "Name");
        } catch (const YAML::Exception& e) {
            out.warnings.push_back("Bottles: " + config + ": " + e.what());
            return;
        }
    }
    out.candidates.push_back({dir, name.empty() ? folderName : name, "Bottles", ""});
}

/// The bottles of one Bottles data folder (the native or the Flatpak one).
void addDataFolder(const std::string& base, CandidateList& out)
{
    const std::string bottles = base + "/bottles";
    for (const std::string& folder : subfolderNames(bottles)) {
        const std::string dir = bottles + "/" + folder;
        const std::string placeholder = dir + "/placeholder.yml";
        if (!fileExists(placeholder)) {
            addBottle(dir, folder, out);
            continue;
        }
        try {
            const std::string target = yamlText(placeholder, "Path");
            if (target.empty())
                throw YAML::Exception(YAML::Mark::null_mark(), "no Path");
            addBottle(target, folder, out);
        } catch (const YAML::Exception& e) {
            out.warnings.push_back("Bottles: " + placeholder + ": " + e.what());
        }
    }
    const std::string data = base + "/data.yml";
    if (!fileExists(data))
        return;
    try {
        const std::string custom = yamlText(data, "custom_bottles_path");
        if (custom.empty())
            return;
        for (const std::string& folder : subfolderNames(custom))
            addBottle(custom + "/" + folder, folder, out);
    } catch (const YAML::Exception& e) {
        out.warnings.push_back("Bottles: " + data + ": " + e.what());
    }
}

} // namespace

void addBottlesPrefixes(const DiscoveryPlaces& places, CandidateList& out)
{
    addDataFolder(places.dataHome + "/bottles", out);
    addDataFolder(places.home + "/.var/app/com.usebottles.bottles/data/bottles", out);
}

} // namespace tw::wine
