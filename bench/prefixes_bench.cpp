// tidewell-prefixes-bench DIR [N]: lays out a home in DIR with N prefixes (100 by default)
// spread over Steam (two libraries), Lutris, Bottles, Heroic and PlayOnLinux, each with hives
// of a real prefix's size, then times the listing of them all.
#include "platform/wine/PrefixDiscovery.h"
#include "support/ManagerFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

/// A prefix with hives of about a booted prefix's size (the rest of each file is blank
/// lines, which the listing never reads) and a user folder.
void writePrefix(const fs::path& dir, const std::string& user, const char* arch)
{
    fs::create_directories(dir / "drive_c/users/Public");
    fs::create_directories(dir / "drive_c/users" / user);
    const struct
    {
        const char* name;
        const char* relativeTo;
        std::uintmax_t size;
    } hives[] = {{"system.reg", "REGISTRY\\\\Machine", 2 << 20},
                 {"user.reg", "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000", 256 << 10},
                 {"userdef.reg", "REGISTRY\\\\User\\\\.Default", 64 << 10}};
    for (const auto& hive : hives) {
        std::string text = std::string("WINE REGISTRY Version 2\n;; All keys relative to ") +
                           hive.relativeTo + "\n\n#arch=" + arch + "\n\n";
        text.resize(hive.size, '\n');
        std::ofstream(dir / hive.name, std::ios::binary) << text;
    }
}

void layOut(const fs::path& root, int count)
{
    const fs::path home = root / "home";
    const fs::path steam = home / ".local/share/Steam";
    const fs::path library2 = root / "SteamLibrary";
    tw::test::writeSteamLibraryFolders(steam, {steam, library2});
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        const char* arch = i % 3 ? "win64" : "win32";
        switch (i % 5) {
        case 0:
        case 1: {
            const fs::path library = i % 2 ? library2 : steam;
            const std::string appId = std::to_string(100000 + i);
            writePrefix(tw::test::steamPrefixPath(library, appId), "steamuser", arch);
            tw::test::writeSteamAppManifest(library, appId, "Game " + n);
            break;
        }
        case 2:
            writePrefix(root / "Games" / n, "user", arch);
            tw::test::writeLutrisGame(home / ".config/lutris/games", "game-" + n,
                                      root / "Games" / n);
            break;
        case 3: {
            const fs::path bottle = home / ".local/share/bottles/bottles" / ("Bottle" + n);
            writePrefix(bottle, "user", arch);
            tw::test::writeBottleConfig(bottle, "Bottle " + n);
            break;
        }
        default:
            if (i % 10 == 4) {
                writePrefix(root / "Heroic" / n / "pfx", "steamuser", arch);
                tw::test::writeHeroicGame(home / ".config", "app" + n, root / "Heroic" / n,
                                          "proton");
            } else {
                writePrefix(home / ".PlayOnLinux/wineprefix" / ("App" + n), "user", arch);
            }
        }
    }
}

double secondsOf(const tw::wine::DiscoveryPlaces& places, size_t& found)
{
    const auto start = std::chrono::steady_clock::now();
    found = tw::wine::discoverPrefixes(places).prefixes.size();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tidewell-prefixes-bench DIR [N]\n");
        return 2;
    }
    const fs::path root = argv[1];
    const int count = argc > 2 ? std::stoi(argv[2]) : 100;
    layOut(root, count);

    tw::wine::DiscoveryPlaces places;
    places.home = (root / "home").string();
    places.dataHome = places.home + "/.local/share";
    places.configHome = places.home + "/.config";
    size_t found = 0;
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i)
        runs.push_back(secondsOf(places, found));
    const double first = runs.front();
    std::sort(runs.begin(), runs.end());
    std::printf("prefixes: %zu of %d listed; first listing %.3f s, median of 7 %.3f s\n", found,
                count, first, runs[runs.size() / 2]);
    return found == static_cast<size_t>(count) ? 0 : 1;
}
