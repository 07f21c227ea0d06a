#include "PrefixDiscovery.h"

#include "PathKinds.h"
#include "PrefixSources.h"
#include "WineServer.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <utility>

namespace tw::wine {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

struct FolderEntry
{
    std::string name;
    bool isFolder = false;
    bool isFile = false;
};

std::vector<FolderEntry> listFolder(const std::string& dir)
{
    std::vector<FolderEntry> entries;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return entries;
    while (const dirent* entry = ::readdir(d)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (::stat((dir + "/" + name).c_str(), &st) != 0)
            continue;
        entries.push_back({name, S_ISDIR(st.st_mode), S_ISREG(st.st_mode)});
    }
    ::closedir(d);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return entries;
}

/// "win32" or "win64" from the #arch line among the first lines of system.reg (at most its
/// first 4 KiB are read, whatever the file's size).
std::string prefixArch(const std::string& dir)
{
    std::ifstream in(dir + "/system.reg", std::ios::binary);
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    size_t at = 0;
    for (int line = 0; line < 8 && at < head.size(); ++line) {
        const size_t end = std::min(head.find('\n', at), head.size());
        if (head.compare(at, 6, "#arch=") == 0) {
            std::string arch = head.substr(at + 6, end - at - 6);
            while (!arch.empty() && std::isspace(static_cast<unsigned char>(arch.back())))
                arch.pop_back();
            return arch;
        }
        at = end + 1;
    }
    return {};
}

std::string windowsUser(const std::string& dir)
{
    for (const FolderEntry& entry : listFolder(dir + "/drive_c/users")) {
        if (entry.isFolder && !platform::equalNoCase(entry.name, "Public"))
            return entry.name;
    }
    return {};
}

void readHiveFacts(FoundPrefix& prefix)
{
    for (const char* hive : {"system.reg", "user.reg", "userdef.reg"}) {
        struct stat st;
        if (::stat((prefix.path + "/" + hive).c_str(), &st) != 0)
            continue;
        prefix.hiveBytes += static_cast<std::uintmax_t>(st.st_size);
        prefix.lastChange = std::max<std::int64_t>(prefix.lastChange, st.st_mtim.tv_sec);
    }
}

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

using Reader = void (*)(const DiscoveryPlaces&, CandidateList&);

/// The managers in the order their prefixes are listed (the first to name a prefix wins).
constexpr Reader kReaders[] = {addWinePrefixes,    addSteamPrefixes,  addLutrisPrefixes,
                               addBottlesPrefixes, addHeroicPrefixes, addFolderPrefixes};

/// Managers that keep one prefix per subfolder of one folder (relative to the home folder).
struct FolderManager
{
    const char* source;
    const char* folder;
};
constexpr FolderManager kFolderManagers[] = {
    {"PlayOnLinux", ".PlayOnLinux/wineprefix"},
    {"Phoenicis", ".Phoenicis/containers/wineprefix"},
};

} // namespace

bool isWinePrefix(const std::string& dir)
{
    return isRegularFile(dir + "/system.reg") && isRegularFile(dir + "/user.reg") &&
           isDirectory(dir + "/drive_c");
}

std::vector<std::string> subfolderNames(const std::string& dir)
{
    std::vector<std::string> names;
    for (const FolderEntry& entry : listFolder(dir)) {
        if (entry.isFolder)
            names.push_back(entry.name);
    }
    return names;
}

std::vector<std::string> fileNames(const std::string& dir, const std::string& extension)
{
    std::vector<std::string> names;
    for (const FolderEntry& entry : listFolder(dir)) {
        if (entry.isFile && entry.name.size() > extension.size() &&
            entry.name.compare(entry.name.size() - extension.size(), extension.size(), extension) ==
                0)
            names.push_back(entry.name);
    }
    return names;
}

void addWinePrefixes(const DiscoveryPlaces& places, CandidateList& out)
{
    if (!places.winePrefix.empty()) {
        const std::string path = withoutTrailingSlashes(places.winePrefix);
        std::string name = path.substr(path.rfind('/') + 1);
        name.erase(0, name.find_first_not_of('.')); // ~/.wine is "wine"
        out.candidates.push_back({path, name, "Wine", ""});
    }
    out.candidates.push_back({places.home + "/.wine", "wine", "Wine", ""});
}

void addFolderPrefixes(const DiscoveryPlaces& places, CandidateList& out)
{
    for (const FolderManager& manager : kFolderManagers) {
        const std::string folder = places.home + "/" + manager.folder;
        for (const std::string& name : subfolderNames(folder))
            out.candidates.push_back({folder + "/" + name, name, manager.source, ""});
    }
}

DiscoveryPlaces DiscoveryPlaces::fromEnvironment()
{
    DiscoveryPlaces places;
    // Without HOME (or with HOME=/) the paths below start at the root: home + "/.wine".
    places.home = withoutTrailingSlashes(environment("HOME"));
    if (places.home == "/")
        places.home.clear();
    // The XDG folders count only when absolute, as the base directory rules say.
    const std::string data = environment("XDG_DATA_HOME");
    places.dataHome =
        data.rfind('/', 0) == 0 ? withoutTrailingSlashes(data) : places.home + "/.local/share";
    const std::string config = environment("XDG_CONFIG_HOME");
    places.configHome =
        config.rfind('/', 0) == 0 ? withoutTrailingSlashes(config) : places.home + "/.config";
    places.winePrefix = environment("WINEPREFIX");
    return places;
}

PrefixList discoverPrefixes(const DiscoveryPlaces& places)
{
    CandidateList candidates;
    for (Reader reader : kReaders)
        reader(places, candidates);

    PrefixList list;
    list.warnings = std::move(candidates.warnings);
    const WineserverProcesses servers;
    std::map<std::pair<dev_t, ino_t>, size_t> byIdentity;
    for (PrefixCandidate& candidate : candidates.candidates) {
        // Hand-edited game files may start a path with "~/".
        if (candidate.path.rfind("~/", 0) == 0)
            candidate.path = places.home + candidate.path.substr(1);
        candidate.path = withoutTrailingSlashes(candidate.path);
        struct stat st;
        if (candidate.path.rfind('/', 0) != 0 || ::stat(candidate.path.c_str(), &st) != 0 ||
            !isWinePrefix(candidate.path))
            continue;
        const auto [at, added] =
            byIdentity.try_emplace({st.st_dev, st.st_ino}, list.prefixes.size());
        if (!added) {
            std::vector<std::string>& sources = list.prefixes[at->second].sources;
            if (std::find(sources.begin(), sources.end(), candidate.source) == sources.end())
                sources.push_back(candidate.source);
            continue;
        }
        FoundPrefix prefix;
        prefix.path = std::move(candidate.path);
        prefix.name = std::move(candidate.name);
        prefix.source = candidate.source;
        prefix.sources = {candidate.source};
        prefix.steamAppId = std::move(candidate.steamAppId);
        prefix.arch = prefixArch(prefix.path);
        prefix.windowsUser = windowsUser(prefix.path);
        readHiveFacts(prefix);
        prefix.wineRunning = servers.serving(prefix.path).has_value();
        list.prefixes.push_back(std::move(prefix));
    }
    return list;
}

std::vector<const FoundPrefix*> prefixesNamed(const PrefixList& list, std::string_view name)
{
    std::vector<const FoundPrefix*> found;
    for (const FoundPrefix& prefix : list.prefixes) {
        if (platform::equalNoCase(prefix.name, name) ||
            (!prefix.steamAppId.empty() && prefix.steamAppId == name))
            found.push_back(&prefix);
    }
    return found;
}

} // namespace tw::wine
