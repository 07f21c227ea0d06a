// Steam's Proton prefixes: <library>/steamapps/compatdata/<appid>/pfx of every library.
#include "KeyValues.h"
#include "PrefixSources.h"

#include <set>
#include <sys/stat.h>
#include <utility>

namespace tw::wine {

namespace {

/// Where Steam is installed, relative to the home folder (the data folder comes first).
constexpr const char* kSteamRoots[] = {
    ".local/share/Steam",
    ".steam/steam",
    ".steam/debian-installation",
    "snap/steam/common/.local/share/Steam",
    ".var/app/com.valvesoftware.Steam/.local/share/Steam",
};

bool fileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

/// Folders seen already, by device and inode, so that a root or library linked twice is read
/// once.
class SeenFolders
{
public:
    bool firstTime(const std::string& dir)
    {
        struct stat st;
        if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
        return m_seen.insert({st.st_dev, st.st_ino}).second;
    }

private:
    std::set<std::pair<dev_t, ino_t>> m_seen;
};

/// The library folders a root lists: libraryfolders.vdf ("path" of each entry, or the bare
/// path of older files) and config.vdf's BaseInstallFolder_N.
std::vector<std::string> listedLibraries(const std::string& root, CandidateList& out)
{
    std::vector<std::string> libraries;
    for (const char* file : {"/steamapps/libraryfolders.vdf", "/config/libraryfolders.vdf"}) {
        const std::string path = root + file;
        if (!fileExists(path))
            continue;
        try {
            const KeyValue doc = readKeyValuesFile(path);
            for (const KeyValue& top : doc.children) {
                for (const KeyValue& entry : top.children) {
                    if (entry.isObject && !entry.text("path").empty())
                        libraries.push_back(entry.text("path"));
                    else if (!entry.isObject && !entry.key.empty() &&
                             entry.key.find_first_not_of("0123456789") == std::string::npos)
                        libraries.push_back(entry.value);
                }
            }
        } catch (const KeyValuesError& e) {
            out.warnings.push_back(std::string("Steam: ") + e.what());
        }
    }
    const std::string config = root + "/config/config.vdf";
    if (fileExists(config)) {
        try {
            const KeyValue doc = readKeyValuesFile(config);
            const KeyValue* steam = doc.child("InstallConfigStore");
            for (const char* level : {"Software", "Valve", "Steam"})
                steam = steam ? steam->child(level) : nullptr;
            if (steam) {
                for (const KeyValue& entry : steam->children) {
                    if (!entry.isObject && entry.key.rfind("BaseInstallFolder_", 0) == 0)
                        libraries.push_back(entry.value);
                }
            }
        } catch (const KeyValuesError& e) {
            out.warnings.push_back(std::string("Steam: ") + e.what());
        }
    }
    return libraries;
}

/// The game's name from appmanifest_<appid>.acf, else empty.
std::string gameName(const std::string& library, const std::string& appId, CandidateList& out)
{
    const std::string manifest = library + "/steamapps/appmanifest_" + appId + ".acf";
    if (!fileExists(manifest))
        return {};
    try {
        const KeyValue doc = readKeyValuesFile(manifest);
        const KeyValue* state = doc.child("AppState");
        return state ? state->text("name") : std::string();
    } catch (const KeyValuesError& e) {
        out.warnings.push_back(std::string("Steam: ") + e.what());
        return {};
    }
}

void addLibrary(const std::string& library, CandidateList& out)
{
    const std::string compat = library + "/steamapps/compatdata";
    for (const std::string& appId : subfolderNames(compat)) {
        const std::string pfx = compat + "/" + appId + "/pfx";
        if (!isWinePrefix(pfx))
            continue;
        std::string name = gameName(library, appId, out);
        if (name.empty())
            name = "Steam app " + appId;
        out.candidates.push_back({pfx, name, "Steam", appId});
    }
}

} // namespace

void addSteamPrefixes(const DiscoveryPlaces& places, CandidateList& out)
{
    std::vector<std::string> roots{places.dataHome + "/Steam"};
    for (const char* root : kSteamRoots)
        roots.push_back(places.home + "/" + root);

    SeenFolders seenRoots;
    SeenFolders seenLibraries;
    for (const std::string& root : roots) {
        if (!seenRoots.firstTime(root))
            continue;
        std::vector<std::string> libraries{root};
        for (std::string& library : listedLibraries(root, out))
            libraries.push_back(std::move(library));
        for (const std::string& library : libraries) {
            if (seenLibraries.firstTime(library))
                addLibrary(library, out);
        }
    }
}

} // namespace tw::wine
