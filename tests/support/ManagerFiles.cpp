#include "ManagerFiles.h"

#include <fstream>
#include <stdexcept>

namespace tw::test {

namespace {

void write(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace

void writeSteamLibraryFolders(const fs::path& root, const std::vector<fs::path>& libraries)
{
    std::string text = "\"libraryfolders\"\n{\n";
    for (size_t i = 0; i < libraries.size(); ++i) {
        text += "\t\"" + std::to_string(i) + "\"\n\t{\n\t\t\"path\"\t\t\"" + libraries[i].string() +
                "\"\n\t\t\"label\"\t\t\"\"\n\t\t\"contentid\"\t\t\"7147262813\"\n"
                "\t\t\"totalsize\"\t\t\"0\"\n\t\t\"apps\"\n\t\t{\n\t\t}\n\t}\n";
    }
    write(root / "steamapps" / "libraryfolders.vdf", text + "}\n");
}

void writeSteamAppManifest(const fs::path& library, const std::string& appId,
                           const std::string& name)
{
    write(library / "steamapps" / ("appmanifest_" + appId + ".acf"),
          "\"AppState\"\n{\n\t\"appid\"\t\t\"" + appId +
              "\"\n\t\"Universe\"\t\t\"1\"\n\t\"name\"\t\t\"" + name +
              "\"\n\t\"StateFlags\"\t\t\"4\"\n\t\"installdir\"\t\t\"" + name +
              "\"\n\t\"UserConfig\"\n\t{\n\t\t\"language\"\t\t\"english\"\n\t}\n}\n");
}

fs::path steamPrefixPath(const fs::path& library, const std::string& appId)
{
    return library / "steamapps" / "compatdata" / appId / "pfx";
}

void writeLutrisGame(const fs::path& gamesDir, const std::string& stem, const fs::path& prefix,
                     const std::string& name)
{
    std::string text =
        "game:\n  arch: win64\n  exe: " + (prefix / "drive_c/Game/game.exe").string() +
        "\n  prefix: " + prefix.string() + "\nsystem: {}\nwine:\n  version: lutris-7.2\n";
    if (!name.empty())
        text = "name: " + name + "\n" + text;
    write(gamesDir / (stem + ".yml"), text);
}

void writeBottleConfig(const fs::path& bottleDir, const std::string& name)
{
    write(bottleDir / "bottle.yml",
          "Arch: win64\nCustom_Path: false\nEnvironment: Application\nName: " + name +
              "\nPath: " + bottleDir.filename().string() +
              "\nRunner: soda-7.0-9\nVersioning: false\nWindows: win10\n");
}

void writeBottlesData(const fs::path& base, const fs::path& customPath)
{
    write(base / "data.yml", "custom_bottles_path: " + customPath.string() + "\n");
}

void writeBottlePlaceholder(const fs::path& base, const std::string& folder, const fs::path& target)
{
    write(base / "bottles" / folder / "placeholder.yml", "Path: " + target.string() + "\n");
}

void writeHeroicGame(const fs::path& configHome, const std::string& appName,
                     const fs::path& winePrefix, const std::string& runner)
{
    write(configHome / "heroic" / "GamesConfig" / (appName + ".json"),
          "{\n  \"" + appName + "\": {\n    \"autoInstallDxvk\": true,\n    \"winePrefix\": \"" +
              winePrefix.string() + "\",\n    \"wineVersion\": {\n      \"bin\": \"/opt/" + runner +
              "/bin/wine\",\n      \"name\": \"" + runner + "-8\",\n      \"type\": \"" + runner +
              "\"\n    }\n  },\n  \"version\": \"v0\",\n  \"explicit\": true\n}\n");
}

} // namespace tw::test
