#include "PrefixLocator.h"

#include "PrefixDiscovery.h"
#include "WinePrefix.h"
#include "WineRegistryEditor.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

#ifndef TIDEWELL_DATA_DIR
#define TIDEWELL_DATA_DIR "data"
#endif

namespace tw::wine {

namespace fs = std::filesystem;

namespace {

std::string homeDirectory()
{
    const char* home = std::getenv("HOME");
    return home && *home ? home : "/";
}

bool holdsPrefix(const std::string& dir)
{
    std::error_code ec;
    return fs::is_regular_file(dir + "/system.reg", ec);
}

/// Creates the folders and files a listing names (kind, size, path), below `driveC`.
void layOutFiles(const fs::path& listing, const fs::path& driveC)
{
    std::ifstream list(listing);
    std::string line;
    while (std::getline(list, line)) {
        const size_t t1 = line.find('\t');
        const size_t t2 = line.find('\t', t1 + 1);
        const size_t t3 = line.find('\t', t2 + 1);
        if (t1 == std::string::npos || t2 == std::string::npos)
            continue;
        const std::string kind = line.substr(0, t1);
        const std::uintmax_t size = std::stoull(line.substr(t1 + 1, t2 - t1 - 1));
        std::string rel =
            line.substr(t2 + 1, t3 == std::string::npos ? std::string::npos : t3 - t2 - 1);
        if (rel.rfind("./", 0) == 0)
            rel = rel.substr(2);
        const fs::path path = driveC / rel;
        if (kind == "d" || kind == "l") {
            fs::create_directories(path);
        } else if (kind == "f") {
            fs::create_directories(path.parent_path());
            std::ofstream(path, std::ios::binary).close();
            fs::resize_file(path, size);
        }
    }
}

/// The listed prefix called `name` (or with that Steam app id). Throws when none or several are.
PrefixChoice listedPrefix(const std::string& name)
{
    const PrefixList list = discoverPrefixes(DiscoveryPlaces::fromEnvironment());
    const std::vector<const FoundPrefix*> found = prefixesNamed(list, name);
    if (found.empty())
        throw std::runtime_error("--prefix " + name +
                                 ": no such folder, and no prefix of that name or Steam app id "
                                 "(tidewell-cli prefixes lists them)");
    if (found.size() > 1) {
        std::string candidates;
        for (const FoundPrefix* prefix : found)
            candidates += "\n  " + prefix->path + " (" + prefix->source + ")";
        throw std::runtime_error("--prefix " + name + " names " + std::to_string(found.size()) +
                                 " prefixes; give one of their folders:" + candidates);
    }
    return {found.front()->path, found.front()->source + " prefix \"" + found.front()->name + "\""};
}

} // namespace

std::string dataDirectory()
{
    if (const char* env = std::getenv("TIDEWELL_DATA_DIR"); env && *env)
        return env;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path installed = exe.parent_path().parent_path() / "share" / "tidewell";
        if (fs::is_directory(installed / "demo-prefix", ec))
            return installed.string();
    }
    return TIDEWELL_DATA_DIR;
}

std::string defaultDemoPrefixPath()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const std::string base = xdg && *xdg ? xdg : homeDirectory() + "/.local/share";
    return base + "/tidewell/demo-prefix";
}

PrefixChoice choosePrefix(const std::optional<std::string>& commandLinePrefix)
{
    if (commandLinePrefix) {
        // An empty folder name is a mistake (an unset variable, say), never "the default".
        if (commandLinePrefix->empty())
            throw std::runtime_error("--prefix was given an empty folder name");
        // A word that is no folder may name a listed prefix; a path stays a path.
        std::error_code ec;
        if (commandLinePrefix->find('/') == std::string::npos &&
            !fs::exists(*commandLinePrefix, ec))
            return listedPrefix(*commandLinePrefix);
        return {*commandLinePrefix, "--prefix"};
    }
    if (const char* env = std::getenv("WINEPREFIX"); env && *env)
        return {env, "WINEPREFIX"};
    const std::string wine = homeDirectory() + "/.wine";
    if (holdsPrefix(wine))
        return {wine, "~/.wine"};
    return {layOutDemoPrefix(defaultDemoPrefixPath()), "demo"};
}

std::string layOutDemoPrefix(const std::string& target)
{
    if (holdsPrefix(target))
        return target;
    const fs::path templateDir = fs::path(dataDirectory()) / "demo-prefix";
    if (!fs::is_regular_file(templateDir / "system.reg"))
        throw std::runtime_error("The demo prefix template is missing at " + templateDir.string());

    // Build beside the target and rename, so that a half-made prefix is never used.
    const fs::path finalDir(target);
    const fs::path work = finalDir.string() + ".tmp-" + std::to_string(::getpid());
    std::error_code ec;
    fs::remove_all(work, ec);
    try {
        fs::create_directories(work / "dosdevices");
        for (const char* hive : {"system.reg", "user.reg", "userdef.reg"})
            fs::copy_file(templateDir / hive, work / hive);
        fs::create_directory_symlink("../drive_c", work / "dosdevices" / "c:");

        // drive_c as the template lists it: folders, and files of their real size
        // (sparse, so they take no room). User folders become plain folders.
        for (const char* list : {"drive_c.tsv", "planted-files.tsv"})
            layOutFiles(templateDir / list, work / "drive_c");
        if (fs::is_directory(templateDir / "drive_c-extra"))
            fs::copy(templateDir / "drive_c-extra", work / "drive_c",
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        // The entries planted for the scan sections, imported as the registry editor would.
        if (fs::is_regular_file(templateDir / "planted.reg")) {
            WinePrefix prefix(work.string());
            prefix.registryEditor().importHostFile((templateDir / "planted.reg").string());
            prefix.save();
        }
        fs::create_directories(finalDir.parent_path());
        fs::rename(work, finalDir);
    } catch (const std::exception& e) {
        fs::remove_all(work, ec);
        if (holdsPrefix(target))
            return target; // laid out meanwhile by another run
        throw std::runtime_error("Cannot lay out the demo prefix at " + target + ": " + e.what());
    }
    return target;
}

} // namespace tw::wine
